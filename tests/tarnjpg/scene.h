// A synthesised natural-looking scene (sky gradient, hills, a sun with a soft edge, striped
// buildings, textured ground) in full-resolution Y, Cb, Cr planes, and the frame layouts the
// encoder and the converter read. Shared by the tests and the benchmark.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace scene {

struct Picture {
  int width = 0, height = 0;
  std::vector<uint8_t> y, cb, cr;  // width * height each
};

inline uint8_t clampByte(double v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : std::lround(v)); }

inline uint32_t hash(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352d;
  x ^= x >> 15;
  x *= 0x846ca68b;
  return x ^ (x >> 16);
}

inline Picture make(int width, int height, uint32_t seed = 1) {
  Picture p;
  p.width = width, p.height = height;
  p.y.resize(size_t(width) * height), p.cb.resize(p.y.size()), p.cr.resize(p.y.size());
  const double phase = (seed % 97) * 0.37;
  for (int j = 0; j < height; ++j)
    for (int i = 0; i < width; ++i) {
      double u = double(i) / width, v = double(j) / height;
      double r, g, b;
      double horizon = 0.55 + 0.08 * std::sin(6.0 * u + phase) + 0.03 * std::sin(17.0 * u);
      if (v < horizon) {  // sky, with a sun
        r = 90 + 120 * v, g = 140 + 80 * v, b = 230 - 40 * v;
        double dx = u - 0.72, dy = (v - 0.22) * height / width, d = std::sqrt(dx * dx + dy * dy);
        double sun = std::clamp((0.09 - d) * 60.0, 0.0, 1.0);
        r += (255 - r) * sun, g += (235 - g) * sun, b += (120 - b) * sun;
        if (u > 0.08 && u < 0.3 && v > horizon - 0.25) {  // a building with windows
          bool window = (int(u * 160) % 4 < 2) && (int(v * 120) % 5 < 3);
          r = g = b = window ? 210 : 70 + 30 * u;
        }
      } else {  // ground: grass with texture
        double t = 18 * std::sin(u * 90 + v * 40) * std::sin(v * 130) + double(hash(uint32_t(j * width + i) ^ seed) % 24);
        r = 60 + 50 * (v - horizon) + t, g = 120 + 40 * std::sin(u * 12) + t, b = 40 + t / 2;
      }
      size_t k = size_t(j) * width + i;
      p.y[k] = clampByte(16 + (65.481 * r + 128.553 * g + 24.966 * b) / 255);
      p.cb[k] = clampByte(128 + (-37.797 * r - 74.203 * g + 112.0 * b) / 255);
      p.cr[k] = clampByte(128 + (112.0 * r - 93.786 * g - 18.214 * b) / 255);
    }
  return p;
}

// Packed UYVY: the chroma of each pixel pair is that of its left pixel.
inline std::vector<uint8_t> uyvy(const Picture& p) {
  std::vector<uint8_t> out(size_t(p.width) * p.height * 2);
  for (int j = 0; j < p.height; ++j)
    for (int i = 0; i + 1 < p.width; i += 2) {
      size_t k = size_t(j) * p.width + i;
      uint8_t* o = &out[k * 2];
      o[0] = p.cb[k], o[1] = p.y[k], o[2] = p.cr[k], o[3] = p.y[k + 1];
    }
  return out;
}

// Planar 4:2:0 (Y, Cb, Cr; or Y, Cr, Cb when swapped), chroma of the top-left pixel of each square.
inline std::vector<uint8_t> planar420(const Picture& p, bool crFirst = false) {
  const size_t area = size_t(p.width) * p.height, cw = p.width / 2, ch = p.height / 2;
  std::vector<uint8_t> out(area + 2 * cw * ch);
  std::copy(p.y.begin(), p.y.end(), out.begin());
  uint8_t* first = &out[area];
  uint8_t* second = first + cw * ch;
  for (size_t j = 0; j < ch; ++j)
    for (size_t i = 0; i < cw; ++i) {
      size_t k = 2 * j * p.width + 2 * i;
      (crFirst ? second : first)[j * cw + i] = p.cb[k];
      (crFirst ? first : second)[j * cw + i] = p.cr[k];
    }
  return out;
}

// RGB of a pixel (BT.601 video range back to full range).
inline void rgbAt(const Picture& p, size_t k, int& r, int& g, int& b) {
  double y = 1.164 * (p.y[k] - 16), cb = p.cb[k] - 128, cr = p.cr[k] - 128;
  r = clampByte(y + 1.596 * cr), g = clampByte(y - 0.392 * cb - 0.813 * cr), b = clampByte(y + 2.017 * cb);
}

// format 1 RGB 555, 2 RGB 565, 3 RGB 24 (blue, green, red).
inline std::vector<uint8_t> rgb(const Picture& p, int format) {
  const size_t area = size_t(p.width) * p.height;
  std::vector<uint8_t> out(area * (format == 3 ? 3 : 2));
  for (size_t k = 0; k < area; ++k) {
    int r, g, b;
    rgbAt(p, k, r, g, b);
    if (format == 3) {
      out[3 * k] = uint8_t(b), out[3 * k + 1] = uint8_t(g), out[3 * k + 2] = uint8_t(r);
      continue;
    }
    uint32_t v = format == 2 ? (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3) : (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3);
    out[2 * k] = uint8_t(v), out[2 * k + 1] = uint8_t(v >> 8);
  }
  return out;
}

}  // namespace scene
