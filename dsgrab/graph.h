// The capture graph and the nine operations of the CaptureTable over it.
#pragma once

#include "dsgrab/dsgrab.h"

namespace dsgrab {

uint32_t OpenCamera();
uint32_t CloseCamera();
uint32_t SetGraphState(uint32_t state);
uint32_t SetFrameCallback(FrameCallback fn);
uint32_t EnumFormats(FormatRecord *list, uint32_t *count, uint32_t still);
uint32_t SelectFormat(const FormatRecord *fmt, uint32_t still);
uint32_t CaptureStill(FrameCallback fn);
uint32_t GetPropertyRanges(PropertyRange *list, uint32_t count, uint32_t procAmp);
uint32_t AccessProperties(PropertyValue *list, uint32_t count, uint32_t procAmp, uint32_t set);

}  // namespace dsgrab
