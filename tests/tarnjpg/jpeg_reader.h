// Reading JPEG streams back with libjpeg-turbo: pixels (in the stream's own colour space) and
// quantised coefficients.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace jpegread {

struct Image {
  bool ok = false;
  std::string error;
  int warnings = 0;
  int width = 0, height = 0, components = 0;
  std::vector<uint8_t> pixels;  // interleaved Y (Cb Cr), chroma replicated, no fancy upsampling
};
Image decode(const uint8_t* data, size_t size);

struct Component {
  int h = 0, v = 0;                  // sampling factors
  int blocksWide = 0, blocksHigh = 0;
  std::vector<int16_t> coefficients;  // 64 per block in natural order, blocks in raster order
  std::vector<uint16_t> quant;        // natural order
};
struct Coefficients {
  bool ok = false;
  std::string error;
  int warnings = 0;
  int width = 0, height = 0;
  std::vector<Component> components;
};
Coefficients readCoefficients(const uint8_t* data, size_t size);

}  // namespace jpegread
