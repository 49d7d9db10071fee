// The Camera's nineteen option lists: their rows, general defaults and the shapes that
// depend on the device. CameraInit fills them; the Camera's open and ApplyOption use the
// rest of this interface.
#pragma once

#include <cstdint>

#include "app/device.h"
#include "camera/camera.h"

// Fills all nineteen lists with their rows (labels from the 169-string language table) and
// defaults, applies the device-dependent shapes and sets every index to -1. The two size
// lists start arithmetic (100 rows, values 0 to 99, default 0) until the first open.
void InitCameraOptions(Camera &camera, const DeviceRecord &device, bool screenCapture,
                       const char *const *language);

// After the open-time probe of Prop5 with the value 120 (model 5): 18 rows 0..255 in steps
// of 15 (default 8) when the source accepted it, else 9 rows 0..8 (default 4). A selected row
// is kept when it differs from the new default and is below the new count.
void ShapeProp5AfterProbe(Camera &camera, bool accepted);

// The id under which a list's value is sent with SetProperty; 0 for lists that are not
// device properties.
uint32_t CameraPropertyId(const Camera &camera, const OptionList &list, uint32_t modelCode);

// Prop10's first row stands for whatever Prop10Alt selects; ApplyOption writes it here.
void SetProp10FirstRow(int32_t value);
