// Per-pixel forms of the ConvertFrame stages. The SIMD tables use them for the edges their
// tiles do not cover. Internal linkage: see scan.h.
#pragma once

#include "tarnjpg/kernels.h"

#include <algorithm>
#include <cstdint>

namespace tarnjpg {
namespace {

inline int clampTo(int v, int high) { return v < 0 ? 0 : v > high ? high : v; }

inline uint16_t pack565(int r, int g, int b) {
  return uint16_t(clampTo(r, 31) << 11 | clampTo(g, 63) << 5 | clampTo(b, 31));
}

// BT.601 video range, coefficients in 1/1024 (the exact downscale).
inline uint16_t rgbFine(int y, int cb, int cr) {
  int l = 1192 * (y - 16);
  cb -= 128, cr -= 128;
  return pack565((l + 1634 * cr) >> 13, (l - 401 * cb - 833 * cr) >> 12, (l + 2065 * cb) >> 13);
}

// BT.601 video range, coefficients in 1/256 (the general resize).
inline uint16_t rgbCoarse(int y, int cb, int cr) {
  int l = 298 * (y - 16);
  cb -= 128, cr -= 128;
  return pack565((l + 409 * cr) >> 11, (l - 100 * cb - 208 * cr) >> 10, (l + 516 * cb) >> 11);
}

// Offset of picture position (x, y) of a w x h picture once turned by kind, in elements of a
// turned picture whose rows are `pitch` elements apart.
inline int64_t turnedOffset(int x, int y, int w, int h, int kind, int64_t pitch) {
  switch (kind) {
    case 0: return y * pitch + x;
    case 1: return (w - 1 - x) * pitch + y;
    case 2: return x * pitch + (h - 1 - y);
    default: return (h - 1 - y) * pitch + (w - 1 - x);
  }
}

inline uint16_t* destinationPixel(const Destination& d, int x, int y) {
  int64_t row, column;
  switch (d.kind) {
    case 0: row = y, column = x; break;
    case 1: row = d.width - 1 - x, column = y; break;
    case 2: row = x, column = d.height - 1 - y; break;
    default: row = d.height - 1 - y, column = d.width - 1 - x; break;
  }
  return reinterpret_cast<uint16_t*>(reinterpret_cast<uint8_t*>(d.pixels) + row * d.pitchBytes) + column;
}

// Output pixels [x0, x1) x [y0, y1) of the exact downscale by f: luma of source pixel (f x, f y),
// chroma of the UYVY pair holding the first pixel of the output pair.
inline void downscaleRegion(const Destination& dst, const uint8_t* src, int32_t srcWidth, int f, int x0, int x1,
                            int y0, int y1) {
  const int64_t pitch = int64_t(srcWidth) * 2;
  for (int y = y0; y < y1; ++y) {
    const uint8_t* row = src + int64_t(f) * y * pitch;
    for (int x = x0; x < x1; ++x) {
      const uint8_t* pair = row + int64_t(f) * (x & ~1) * 2;
      *destinationPixel(dst, x, y) = rgbFine(row[int64_t(f) * x * 2 + 1], pair[0], pair[2]);
    }
  }
}

// Nearest source sample of destination index i: i * step rounded, kept inside the picture.
inline int nearest(int i, uint32_t step, int limit) {
  return int(std::min<uint64_t>((uint64_t(i) * step + 0x8000) >> 16, uint64_t(limit - 1)));
}

// Destination pixels [x0, x1) x [y0, y1) of the general resize; a 2 x 2 group shares the chroma
// sample at half the position of its first pixel.
inline void resizeRegion(const Destination& dst, const PlanarFrame& src, uint32_t stepX, uint32_t stepY, int x0,
                         int x1, int y0, int y1) {
  const int chromaWidth = src.width / 2, chromaHeight = src.height / 2;
  for (int y = y0; y < y1; ++y) {
    const int sy = nearest(y, stepY, src.height);
    const int cy = std::min(nearest(y & ~1, stepY, src.height) / 2, chromaHeight - 1);
    const uint8_t* luma = src.y + int64_t(sy) * src.width;
    for (int x = x0; x < x1; ++x) {
      const int cx = std::min(nearest(x & ~1, stepX, src.width) / 2, chromaWidth - 1);
      const int64_t c = int64_t(cy) * chromaWidth + cx;
      *destinationPixel(dst, x, y) = rgbCoarse(luma[nearest(x, stepX, src.width)], src.cb[c], src.cr[c]);
    }
  }
}

// Rows [y0, y1) (even) and columns [x0, x1) (even) of UYVY to planar 4:2:0, turned by kind:
// luma copied, chroma averaged over each pair of rows.
inline void planarRegion(uint8_t* out, const uint8_t* src, int32_t width, int32_t height, int kind, int x0, int x1,
                         int y0, int y1) {
  const int64_t pitch = int64_t(width) * 2, area = int64_t(width) * height;
  const bool quarter = kind == 1 || kind == 2;
  const int64_t lumaPitch = quarter ? height : width, chromaPitch = lumaPitch / 2;
  uint8_t* cbPlane = out + area;
  uint8_t* crPlane = out + area + area / 4;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      out[turnedOffset(x, y, width, height, kind, lumaPitch)] = src[y * pitch + x * 2 + 1];
  for (int cy = y0 / 2; cy < y1 / 2; ++cy)
    for (int cx = x0 / 2; cx < x1 / 2; ++cx) {
      const uint8_t* p = src + 2 * cy * pitch + cx * 4;
      int64_t o = turnedOffset(cx, cy, width / 2, height / 2, kind, chromaPitch);
      cbPlane[o] = uint8_t((p[0] + p[pitch] + 1) >> 1);
      crPlane[o] = uint8_t((p[2] + p[pitch + 2] + 1) >> 1);
    }
}

}  // namespace
}  // namespace tarnjpg
