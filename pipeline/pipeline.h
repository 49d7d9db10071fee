// The frame pipeline: every frame of every source goes through OnFrame on the source's own
// thread. It is normalised in place (chroma swap, window crop, flip) and then, by the capture
// state latched for that frame, drawn as the preview, written into the running video, saved
// as a still, or fed to the interval series (plain, motion-triggered or averaged shots).
#pragma once

#include <cstdint>

#include "camera/frame.h"

// isStill: 1 for a frame of a still pin or still request. Always 1.
uint32_t OnFrame(const FrameDesc *frame, uint32_t isStill);
// The second half of OnFrame, given the normalised local descriptor. Always 0.
uint32_t DispatchFrame(const FrameDesc *frame, uint32_t isStill);

// The normalisation steps, in the order OnFrame applies them.
// Swaps the chroma components of a UYVY or YV12 frame in place.
void SwapChroma(const FrameDesc *frame);
// Moves the geometry's window to the start of a UYVY or RGB 565 frame (rows packed) and gives
// the descriptor the window's size, when the window differs from the crop and lies inside the
// frame; other frames are left as they are.
void CropWindow(FrameDesc *frame, const CaptureGeometry &geometry);
// Turns a UYVY, RGB 565, RGB 24 or YV12 frame upside down in place.
void FlipFrame(const FrameDesc *frame);
