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
