// The screen-capture source: the display's picture (or, on the PXA27x, the LCD controller's
// planes including its video overlays) in screen-capture mode, colour bars otherwise.
#pragma once

#include <cstdint>

#include "camera/frame.h"

extern const SourceOps ScreenSource;

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
