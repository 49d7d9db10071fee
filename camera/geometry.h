// Capture geometry and zoom: the size lists built from the source's capabilities, aspect
// correction, the crop inside the captured frame that gives zoom, aspect and the
// screen-capture window, and the fitting of a still-framed preview to the preview base size.
// Main thread only, inside the Camera's operations.
#pragma once

#include <cstdint>

#include "camera/frame.h"

// Aspect rows of the aspect options: 0 "4:3", 1 "3:4", 2 "16:9", 3 "9:16", 4 "1:1".
constexpr uint32_t kAspectCount = 5;

// Corrects w and h in place for the aspect row (4:3 leaves them as they are; the changed side
// is rounded down to a multiple of 16).
void AspectCorrect(uint32_t aspect, uint32_t *width, uint32_t *height);

// Turns a size (an index into the still or preview capabilities), an aspect row and the zoom
// step into a geometry. 1, or 0 (out untouched) when no capture size fits.
uint32_t ComputeGeometry(uint32_t sizeIndex, uint32_t aspect, uint32_t still, CaptureGeometry *out);

// The same magnification on the preview base size, crop centred on multiples of 8.
void FitToPreviewBase(CaptureGeometry *geometry, const SizeEntry &base);

// Moves the zoom step by delta (0: back to the model's starting step); nonzero when it changed.
uint32_t StepZoom(int32_t delta, uint32_t still);

// Rebuilds the still or preview size option from the capability list, with its labels.
void RebuildSizeList(uint32_t still);
// Rewrites the labels of one size option for the aspect now selected.
void RelabelSizes(uint32_t still);
