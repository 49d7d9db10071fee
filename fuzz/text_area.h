// A picture of exactly its size on the heap for the text renderer, and the check that text
// drawn into it stayed inside the renderer's text area.
#pragma once

#include <cstdint>
#include <vector>

#include "pipeline/osd.h"
#include "support.h"

namespace fuzz {

class TextPicture {
 public:
  static constexpr uint16_t kBackground = 0x1234;

  TextPicture(TextRenderer &renderer, uint32_t width, uint32_t height, uint32_t orientation)
      : renderer_(renderer), width_(width), height_(height), orientation_(orientation & 3),
        pixels_(new uint16_t[size_t(width) * height]) {
    for (size_t i = 0; i < size_t(width) * height; ++i) pixels_[i] = kBackground;
    SetTextOrientation(&renderer, pixels_, width, height, orientation);
  }
  ~TextPicture() { delete[] pixels_; }
  TextPicture(const TextPicture &) = delete;
  TextPicture &operator=(const TextPicture &) = delete;

  // Every pixel outside the columns and rows of the text area keeps the background.
  void checkOutsideUntouched() const {
    const uint32_t along = renderer_.columns * renderer_.charWidth, down = renderer_.rows * renderer_.charHeight;
    for (uint32_t py = 0; py < height_; ++py)
      for (uint32_t px = 0; px < width_; ++px) {
        uint32_t a, b;  // steps along the text line and down from the text's origin
        switch (orientation_) {
          case 0: a = px, b = py; break;
          case 1: a = py, b = width_ - 1 - px; break;
          case 2: a = width_ - 1 - px, b = height_ - 1 - py; break;
          default: a = height_ - 1 - py, b = px; break;
        }
        if ((a >= along || b >= down) && pixels_[size_t(py) * width_ + px] != kBackground)
          fail("text stays inside the text area",
               std::to_string(px) + "," + std::to_string(py) + " of " + std::to_string(width_) + "x" +
                   std::to_string(height_) + " orientation " + std::to_string(orientation_));
      }
  }

 private:
  TextRenderer &renderer_;
  uint32_t width_, height_, orientation_;
  uint16_t *pixels_;
};

}  // namespace fuzz
