#pragma once

#include "app/device.h"

// Fills the record from the system: model, capability flags, per-model defaults and the
// display's frame buffer. Returns non-zero when a frame-buffer address is known.
uint32_t DetectDevice(DeviceRecord *record);
