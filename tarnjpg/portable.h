// The portable form of every stage: sample loaders, the 16-bit DCT with fused quantisation and
// the non-zero mask. The SIMD tables reuse the pieces they do not replace. Internal linkage: see
// scan.h.
#pragma once

#include "tarnjpg/kernels.h"
#include "tarnjpg/tables.h"

#include <cstdint>

namespace tarnjpg {
namespace {

inline int average(int a, int b) { return (a + b + 1) >> 1; }

// Sample accessors: luma(x, y) of the (possibly halved) picture and the chroma sample (cx, cy)
// of a horizontal pair, cy counting chroma rows (pairs of rows when `tall`). All level-shifted.
struct UyvyPixels {
  const uint8_t* in;
  uint32_t pitch;
  explicit UyvyPixels(const ScanJob& job) : in(job.in), pitch(job.width * 2) {}
  int luma(uint32_t x, uint32_t y) const { return in[y * pitch + x * 2 + 1] - 128; }
  void chroma(uint32_t cx, uint32_t cy, bool tall, int& cb, int& cr) const {
    const uint8_t* p = in + (tall ? 2 * cy : cy) * pitch + cx * 4;
    if (tall) {
      cb = average(p[0], p[pitch]) - 128;
      cr = average(p[2], p[pitch + 2]) - 128;
    } else {
      cb = p[0] - 128;
      cr = p[2] - 128;
    }
  }
};

// UYVY at half width and height: every sample is the rounded average of a 2 x 2 square, rows first.
struct UyvyHalfPixels {
  const uint8_t* in;
  uint32_t pitch;
  explicit UyvyHalfPixels(const ScanJob& job) : in(job.in), pitch(job.width * 2) {}
  int quad(const uint8_t* p, uint32_t step) const {
    return average(average(p[0], p[pitch]), average(p[step], p[pitch + step]));
  }
  int luma(uint32_t x, uint32_t y) const { return quad(in + 2 * y * pitch + 4 * x + 1, 2) - 128; }
  int halfChroma(uint32_t cx, uint32_t row, int byte) const { return quad(in + 2 * row * pitch + 8 * cx + byte, 4); }
  void chroma(uint32_t cx, uint32_t cy, bool tall, int& cb, int& cr) const {
    if (tall) {
      cb = average(halfChroma(cx, 2 * cy, 0), halfChroma(cx, 2 * cy + 1, 0)) - 128;
      cr = average(halfChroma(cx, 2 * cy, 2), halfChroma(cx, 2 * cy + 1, 2)) - 128;
    } else {
      cb = halfChroma(cx, cy, 0) - 128;
      cr = halfChroma(cx, cy, 2) - 128;
    }
  }
};

// RGB pixels widened to 8 bits by shifting (no bit replication).
template <uint32_t Format>
struct RgbPixels {
  const uint8_t* in;
  uint32_t pitch;
  static constexpr uint32_t kBytes = Format == InputRgb24 ? 3 : 2;
  explicit RgbPixels(const ScanJob& job) : in(job.in), pitch(job.width * kBytes) {}
  void rgb(uint32_t x, uint32_t y, int& r, int& g, int& b) const {
    const uint8_t* p = in + y * pitch + x * kBytes;
    if constexpr (Format == InputRgb24) {
      b = p[0], g = p[1], r = p[2];
    } else {
      uint32_t v = p[0] | uint32_t(p[1]) << 8;
      if constexpr (Format == InputRgb565) {
        r = int(v >> 11) << 3, g = int((v >> 5) & 63) << 2, b = int(v & 31) << 3;
      } else {
        r = int((v >> 10) & 31) << 3, g = int((v >> 5) & 31) << 3, b = int(v & 31) << 3;
      }
    }
  }
  int luma(uint32_t x, uint32_t y) const {
    int r, g, b;
    rgb(x, y, r, g, b);
    return ((77 * r + 150 * g + 29 * b) >> 8) - 128;
  }
  void chroma(uint32_t cx, uint32_t cy, bool tall, int& cb, int& cr) const {
    int sr = 0, sg = 0, sb = 0;
    uint32_t rows = tall ? 2 : 1, y0 = cy * rows;
    for (uint32_t dy = 0; dy < rows; ++dy)
      for (uint32_t dx = 0; dx < 2; ++dx) {
        int r, g, b;
        rgb(2 * cx + dx, y0 + dy, r, g, b);
        sr += r, sg += g, sb += b;
      }
    int shift = tall ? 10 : 9;
    cb = (-43 * sr - 85 * sg + 128 * sb) >> shift;
    cr = (128 * sr - 107 * sg - 21 * sb) >> shift;
  }
};

// Planar 4:2:0: Y plane, then Cb and Cr (or Cr and Cb for InputPlanarYvu), a quarter each.
struct PlanarPixels {
  const uint8_t *y, *cb, *cr;
  uint32_t pitch;
  explicit PlanarPixels(const ScanJob& job) : y(job.in), pitch(job.width) {
    uint32_t area = job.width * job.height;
    const uint8_t* first = job.in + area;
    const uint8_t* second = job.in + area + area / 4;
    cb = job.format == InputPlanarYvu ? second : first;
    cr = job.format == InputPlanarYvu ? first : second;
  }
  int luma(uint32_t x, uint32_t row) const { return y[row * pitch + x] - 128; }
  void chroma(uint32_t cx, uint32_t cy, bool, int& b, int& r) const {
    b = cb[cy * (pitch / 2) + cx] - 128;
    r = cr[cy * (pitch / 2) + cx] - 128;
  }
};

// Fills the blocks of one area from an accessor: luminance top-left, top-right (then bottom-left,
// bottom-right for 16-row areas), then Cb and Cr.
template <class Pixels>
struct PortableLoader {
  static void colour(const ScanJob& job, uint32_t x, uint32_t y, bool tall, int16_t (*blocks)[64]) {
    Pixels px(job);
    uint32_t rows = tall ? 16 : 8;
    for (uint32_t r = 0; r < rows; ++r)
      for (uint32_t c = 0; c < 16; ++c)
        blocks[(r >= 8 ? 2 : 0) + (c >= 8)][(r & 7) * 8 + (c & 7)] = int16_t(px.luma(x + c, y + r));
    int16_t* cbBlock = blocks[tall ? 4 : 2];
    int16_t* crBlock = blocks[tall ? 5 : 3];
    uint32_t cy0 = tall ? y / 2 : y;
    for (uint32_t r = 0; r < 8; ++r)
      for (uint32_t k = 0; k < 8; ++k) {
        int cb, cr;
        px.chroma(x / 2 + k, cy0 + r, tall, cb, cr);
        cbBlock[r * 8 + k] = int16_t(cb);
        crBlock[r * 8 + k] = int16_t(cr);
      }
  }
  static void luma(const ScanJob& job, uint32_t x, uint32_t y, int16_t* block) {
    Pixels px(job);
    for (uint32_t r = 0; r < 8; ++r)
      for (uint32_t c = 0; c < 8; ++c) block[r * 8 + c] = int16_t(px.luma(x + c, y + r));
  }
};

// The DCT in signed 16-bit arithmetic: saturating additions, constant products as the high half
// of ((x << k) * C), x << k wrapping to 16 bits as a 16-bit lane shift does.
inline int16_t adds(int a, int b) {
  int v = a + b;
  return int16_t(v < -32768 ? -32768 : v > 32767 ? 32767 : v);
}
inline int16_t subs(int a, int b) { return adds(a, -b); }
inline int16_t mulConst(int16_t x, int k, int c) {
  int16_t shifted = int16_t(uint16_t(uint16_t(x) << k));
  return int16_t((int32_t(shifted) * c) >> 16);
}

inline void aanPass(const int16_t d[8], int16_t out[8]) {
  int16_t t0 = adds(d[0], d[7]), t1 = adds(d[1], d[6]), t2 = adds(d[2], d[5]), t3 = adds(d[3], d[4]);
  int16_t t7 = subs(d[0], d[7]), t6 = subs(d[1], d[6]), t5 = subs(d[2], d[5]), t4 = subs(d[3], d[4]);
  int16_t t10 = adds(t0, t3), t13 = subs(t0, t3), t11 = adds(t1, t2), t12 = subs(t1, t2);
  out[0] = adds(t10, t11);
  out[4] = subs(t10, t11);
  int16_t z1 = mulConst(adds(t12, t13), 1, 0x5A82);
  out[2] = adds(t13, z1);
  out[6] = subs(t13, z1);
  t10 = adds(t4, t5), t11 = adds(t5, t6), t12 = adds(t6, t7);
  int16_t z5 = mulConst(subs(t10, t12), 0, 0x61F8);
  int16_t z2 = adds(mulConst(t10, 1, 0x4546), z5);
  int16_t z4 = adds(mulConst(t12, 2, 0x539F), z5);
  int16_t z3 = mulConst(t11, 1, 0x5A82);
  int16_t z11 = adds(t7, z3), z13 = subs(t7, z3);
  out[5] = adds(z13, z2);
  out[3] = subs(z13, z2);
  out[1] = adds(z11, z4);
  out[7] = subs(z11, z4);
}

// q = ((((t << shift) * R) >> 16) + 1) >> 1: the rounded quotient by Q.
inline int16_t quantise(int16_t t, int shift, int16_t reciprocal) {
  int16_t scaled = int16_t(uint16_t(uint16_t(t) << shift));
  return int16_t((((int32_t(scaled) * reciprocal) >> 16) + 1) >> 1);
}

struct PortableIsa {
  using UyvyLoader = PortableLoader<UyvyPixels>;
  using UyvyHalfLoader = PortableLoader<UyvyHalfPixels>;
  using Rgb555Loader = PortableLoader<RgbPixels<InputRgb555>>;
  using Rgb565Loader = PortableLoader<RgbPixels<InputRgb565>>;
  using Rgb24Loader = PortableLoader<RgbPixels<InputRgb24>>;
  using PlanarLoader = PortableLoader<PlanarPixels>;

  // Column pass, then row pass with quantisation; the result is stored transposed.
  static void fdctQuant(int16_t* blocks, int count, const ReciprocalTable& recip) {
    for (int n = 0; n < count; ++n) {
      int16_t* b = blocks + 64 * n;
      int16_t columns[64], d[8], out[8];
      for (int x = 0; x < 8; ++x) {
        for (int y = 0; y < 8; ++y) d[y] = b[y * 8 + x];
        aanPass(d, out);
        for (int u = 0; u < 8; ++u) columns[u * 8 + x] = out[u];
      }
      for (int u = 0; u < 8; ++u) {
        aanPass(columns + u * 8, out);
        for (int v = 0; v < 8; ++v) {
          int i = v * 8 + u;
          b[i] = quantise(out[v], kQuantShift[i], recip.value[i]);
        }
      }
    }
  }

  static uint64_t nonzeroMask(const int16_t* block) {
    uint64_t mask = 0;
    for (int i = 0; i < 64; ++i) mask |= uint64_t(block[i] != 0) << i;
    return mask;
  }
};

}  // namespace
}  // namespace tarnjpg
