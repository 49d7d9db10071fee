// The screen-capture source: the display's picture (or, on the PXA27x, the LCD controller's
// planes including its video overlays) in screen-capture mode, colour bars otherwise.
#pragma once

#include <cstdint>

#include "camera/frame.h"

extern const SourceOps ScreenSource;

class LcdPlanes;

// The source's next picture into *buffer (*capacity bytes; a large LCD plane may make it
// larger): in screen-capture mode the top plane of the LCD controller (planes given and the
// overlay-capture setting on) or else a copy of the display's frame buffer, outside it colour
// bars. The frame comes in with the stream's size, which the colour bars keep; the display and
// the planes give their own. False when there is no picture.
bool ScreenPicture(uint8_t **buffer, uint32_t *capacity, LcdPlanes *planes, FrameDesc *frame);

// The eight colour bars, left to right.
struct ColourBar {
  uint8_t r, g, b;
  uint8_t y, u, v;
};
constexpr ColourBar kColourBars[8] = {
    {255, 255, 255, 235, 128, 128},  // white
    {255, 255, 0, 211, 16, 146},     // yellow
    {0, 255, 255, 170, 166, 16},     // cyan
    {0, 255, 0, 145, 54, 34},        // green
    {255, 0, 255, 106, 202, 222},    // magenta
    {255, 0, 0, 81, 90, 240},        // red
    {0, 0, 255, 41, 240, 109},       // blue
    {0, 0, 0, 16, 128, 128},         // black
};

// Fills a UYVY picture of width × height (width even) with the bars.
void FillColourBars(uint8_t *data, uint32_t width, uint32_t height);
