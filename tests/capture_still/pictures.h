// Test pictures and their decoding: four coloured quadrants in the camera's frame formats, and
// libjpeg-turbo reading a JPEG back into RGB.
#pragma once

#include <turbojpeg.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

struct Colour {
  const char *name;
  uint8_t r, g, b;
  uint8_t y, u, v;  // full-range YCbCr, as JPEG decoders read it
};

// Top left, top right, bottom left, bottom right.
inline constexpr Colour kQuadrants[4] = {
    {"red", 255, 0, 0, 76, 85, 255},
    {"green", 0, 255, 0, 150, 44, 21},
    {"blue", 0, 0, 255, 29, 255, 107},
    {"white", 255, 255, 255, 255, 128, 128},
};

inline int Quadrant(uint32_t x, uint32_t y, uint32_t w, uint32_t h) {
  return (y >= h / 2 ? 2 : 0) + (x >= w / 2 ? 1 : 0);
}

inline std::vector<uint8_t> QuadrantsUyvy(uint32_t w, uint32_t h) {
  std::vector<uint8_t> frame(size_t(w) * h * 2);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; x += 2) {
      const Colour &c = kQuadrants[Quadrant(x, y, w, h)];
      uint8_t *p = &frame[(size_t(y) * w + x) * 2];
      p[0] = c.u, p[1] = c.y, p[2] = c.v, p[3] = c.y;
    }
  return frame;
}

inline std::vector<uint8_t> QuadrantsYv12(uint32_t w, uint32_t h) {
  std::vector<uint8_t> frame(size_t(w) * h * 3 / 2);
  uint8_t *u = frame.data() + size_t(w) * h, *v = u + size_t(w) * h / 4;
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      const Colour &c = kQuadrants[Quadrant(x, y, w, h)];
      frame[size_t(y) * w + x] = c.y;
      if (x % 2 == 0 && y % 2 == 0) u[(y / 2) * (w / 2) + x / 2] = c.u, v[(y / 2) * (w / 2) + x / 2] = c.v;
    }
  return frame;
}

inline std::vector<uint8_t> QuadrantsRgb565(uint32_t w, uint32_t h) {
  std::vector<uint8_t> frame(size_t(w) * h * 2);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      const Colour &c = kQuadrants[Quadrant(x, y, w, h)];
      const uint16_t p = uint16_t((c.r >> 3) << 11 | (c.g >> 2) << 5 | c.b >> 3);
      frame[(size_t(y) * w + x) * 2] = uint8_t(p), frame[(size_t(y) * w + x) * 2 + 1] = uint8_t(p >> 8);
    }
  return frame;
}

struct Decoded {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
  bool ok() const { return width > 0; }
  // The quadrant colour nearest to the pixel, or -1 when none is near.
  int colourAt(int x, int y) const {
    const uint8_t *p = &rgb[(size_t(y) * width + x) * 3];
    for (int i = 0; i < 4; ++i) {
      const Colour &c = kQuadrants[i];
      if (std::abs(p[0] - c.r) < 48 && std::abs(p[1] - c.g) < 48 && std::abs(p[2] - c.b) < 48) return i;
    }
    return -1;
  }
};

inline Decoded Decode(const uint8_t *jpeg, size_t size) {
  Decoded d;
  tjhandle handle = tjInitDecompress();
  int w, h, sub, space;
  if (tjDecompressHeader3(handle, jpeg, size, &w, &h, &sub, &space) == 0) {
    d.rgb.resize(size_t(w) * h * 3);
    if (tjDecompress2(handle, jpeg, size, d.rgb.data(), w, 0, h, TJPF_RGB, TJFLAG_ACCURATEDCT) == 0)
      d.width = w, d.height = h;
  }
  tjDestroy(handle);
  return d;
}

inline Decoded Decode(const std::vector<uint8_t> &jpeg) { return Decode(jpeg.data(), jpeg.size()); }

// Where a quadrant of the picture lies once the picture is turned: rotation 1 a quarter turn
// counter-clockwise, 2 a half turn, 3 a quarter turn clockwise.
inline int TurnedQuadrant(int quadrant, uint32_t rotation) {
  static constexpr int kMap[4][4] = {{0, 1, 2, 3}, {2, 0, 3, 1}, {3, 2, 1, 0}, {1, 3, 0, 2}};
  return kMap[rotation][quadrant];
}

// Every quadrant of the decoded picture shows the colour the turned source puts there; checked
// at the quadrant centres.
inline std::string QuadrantReport(const Decoded &d, uint32_t rotation) {
  std::string report;
  for (int q = 0; q < 4; ++q) {
    const int target = TurnedQuadrant(q, rotation);
    const int x = (target % 2) * d.width / 2 + d.width / 4, y = (target / 2) * d.height / 2 + d.height / 4;
    const int seen = d.colourAt(x, y);
    if (seen != q)
      report += std::string(kQuadrants[q].name) + " expected at (" + std::to_string(x) + "," +
                std::to_string(y) + "), found " + (seen < 0 ? "no colour" : kQuadrants[seen].name) + "; ";
  }
  return report;
}
