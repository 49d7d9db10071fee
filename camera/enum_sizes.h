// The sizes the camera sources that do not go through DirectShow offer: the vendor camera
// library and the two camera drivers. They depend only on the handset model, never on the
// library or driver.
#pragma once

#include <cstdint>

#include "camera/frame.h"

struct DeviceRecord;

// What the sizes imply for the stream.
struct SensorModes {
  uint32_t nativeWidth;   // the largest size the sensor streams without a warm-up
  uint32_t nativeHeight;
  bool jpeg;              // the camera delivers "IJPG" (or "YV12") frames instead of "UYVY"
};

// Fills sizes (capacity *count; sizes[0] holds the largest size the caller accepts) with the
// model's sizes and stores their number in *count. cameraMode is the value the vendor source's
// Open received (0 for the drivers). 0 for a model code the camera has no sizes for.
uint32_t EnumSizes(SizeEntry *sizes, uint32_t *count, const DeviceRecord &device, uint32_t cameraMode,
                   SensorModes *modes);
