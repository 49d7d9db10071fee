// The five operations behind the EncoderTable.
#pragma once

#include "tarnjpg/tarnjpg.h"

namespace tarnjpg {

uint32_t Create(EncoderContext** out);
uint32_t Destroy(EncoderContext* ctx);
uint32_t SetQuality(EncoderContext* ctx, uint32_t quality);
uint32_t Encode(EncoderContext* ctx, uint8_t* out, const uint8_t* in, EncodeParams* params, uint32_t headerFlag);
uint32_t ConvertFrame(uint16_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstPitchBytes, const uint8_t* src,
                      int32_t srcWidth, int32_t srcHeight, uint32_t srcFormat, uint32_t rotation, uint8_t* scratch);

}  // namespace tarnjpg
