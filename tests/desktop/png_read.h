// Reads a PNG screenshot back as 8-bit RGB.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Picture {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;  // rows packed
  uint32_t at(int x, int y) const {
    const uint8_t *p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
    return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
  }
};

// False when the file is not a PNG picture.
bool readPng(const std::string &path, Picture &picture);
// An RGB 565 colour as the screenshots widen it (high bits repeated), as 0xRRGGBB.
uint32_t widen565(uint16_t colour);
