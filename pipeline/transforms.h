// Whole-frame operations on 8-bit samples: the normalisation steps of every frame (chroma swap,
// window crop, flip), the row flip, the motion test and the frame averaging of interval series,
// and the RGB-to-UYVY conversions of the vendor encoder's path.
// Integer arithmetic only; nothing is allocated.
#pragma once

#include <cstdint>

#include "camera/frame.h"

// Exchanges rows top to bottom in place.
void FlipRows(uint8_t *data, uint32_t rowBytes, uint32_t rows);

// 1 when more than percent % of the compared samples differ from the reference by more than
// threshold. mode 2 compares luma only (the Y plane of YV12, the Y bytes of UYVY), any other
// mode every byte.
uint32_t MotionTest(const uint8_t *reference, const uint8_t *frame, uint32_t size, uint32_t threshold,
                    uint32_t percent, uint32_t mode, uint32_t isYV12);

// Adds every byte of the frame to the 16-bit sums held as high and low bytes.
void AccumulateFrame(uint8_t *high, uint8_t *low, const uint8_t *frame, uint32_t size);
// Writes the sums shifted right by shift into out; with a nonzero target the luma is scaled so
// that its mean becomes target (left as it is when the mean is 0).
void AverageFrames(const uint8_t *high, const uint8_t *low, uint8_t *out, uint32_t size, uint32_t shift,
                   uint32_t target, uint32_t isYV12);

// RGB 565 (bits 16) or RGB 555 (bits 15) pixels to UYVY, size bytes rounded down to whole
// pixel pairs; out may be in.
void Rgb16ToUyvy(uint8_t *out, const uint8_t *in, uint32_t size, uint32_t bits);
// RGB 24 (blue, green, red) pixels to UYVY; outSize is the output's byte count, rounded down
// to whole pixel pairs (6 input bytes each); out may be in.
void Rgb24ToUyvy(uint8_t *out, const uint8_t *in, uint32_t outSize);

// The normalisation steps, in the order OnFrame applies them.
// Swaps the chroma components of a UYVY or YV12 frame in place.
void SwapChroma(const FrameDesc *frame);
// Moves the geometry's window to the start of a UYVY or RGB 565 frame (rows packed) and gives
// the descriptor the window's size, when the window differs from the crop and lies inside the
// frame; other frames are left as they are.
void CropWindow(FrameDesc *frame, const CaptureGeometry &geometry);
// Turns a UYVY, RGB 565, RGB 24 or YV12 frame upside down in place.
void FlipFrame(const FrameDesc *frame);
