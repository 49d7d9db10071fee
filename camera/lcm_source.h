// The camera driver source of the handsets whose camera sits behind "LCM1:": a capture thread in
// kernel mode fetches each frame's address from the driver's frame memory.
#pragma once

#include <cstdint>

#include "camera/frame.h"

extern const SourceOps LcmDriverSource;

// The right-hand edge the two small modes blank (the driver leaves garbage there): rows of `width`
// UYVY pixels, the last 4 pixels of each at width 320, the last 6 at width 160.
void BlankFrameEdge(uint8_t *frame, uint32_t width, uint32_t rows);
