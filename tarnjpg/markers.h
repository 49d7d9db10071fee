// The JPEG header: SOI, APP0 (JFIF), DQT, DHT, SOF0 and SOS.
#pragma once

#include <cstdint>

namespace tarnjpg {

struct FrameLayout {
  uint32_t lines;          // SOF0 number of lines (of the turned picture)
  uint32_t samplesPerLine;
  bool colour;             // three components, else one
  uint8_t lumaSampling;    // H * 16 + V of the luminance component
};

// Writes the header at out and returns its length (623 bytes colour, 328 grey).
uint32_t writeHeader(uint8_t* out, const FrameLayout& layout, const uint8_t lumaQuant[64],
                     const uint8_t chromaQuant[64]);

}  // namespace tarnjpg
