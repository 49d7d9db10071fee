// Helpers of the tarnjpg tests: an encoder through its table, turned planes, PSNR, a float DCT.
#pragma once

#include "tarnjpg/tarnjpg.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace support {

struct Encoder {
  EncoderTable table{};
  EncoderContext* ctx = nullptr;
  explicit Encoder(uint32_t quality) {
    DllGetData(&table);
    table.Create(&ctx);
    table.SetQuality(ctx, quality);
  }
  ~Encoder() { table.Destroy(ctx); }
  Encoder(const Encoder&) = delete;
  Encoder& operator=(const Encoder&) = delete;

  // Encodes into a fresh buffer; an empty result when refused.
  std::vector<uint8_t> encode(const std::vector<uint8_t>& frame, EncodeParams params, uint32_t headerFlag = 1) {
    std::vector<uint8_t> out(size_t(params.width) * params.height * 4 + 4096);
    uint32_t n = table.Encode(ctx, out.data(), frame.data(), &params, headerFlag);
    out.resize(n);
    return out;
  }
};

// A plane turned by an EncodeParams rotation code (1 quarter counter-clockwise, 2 half,
// 3 quarter clockwise); w and h are updated to the turned size.
inline std::vector<uint8_t> turn(const std::vector<uint8_t>& in, int& w, int& h, uint32_t rotation) {
  std::vector<uint8_t> out(in.size());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t v = in[size_t(y) * w + x];
      switch (rotation) {
        case 0: out[size_t(y) * w + x] = v; break;
        case 1: out[size_t(w - 1 - x) * h + y] = v; break;
        case 2: out[size_t(h - 1 - y) * w + (w - 1 - x)] = v; break;
        default: out[size_t(x) * h + (h - 1 - y)] = v; break;
      }
    }
  if (rotation & 1) std::swap(w, h);
  return out;
}

// PSNR of one channel of an interleaved picture against a plane.
inline double psnr(const std::vector<uint8_t>& interleaved, int components, int channel,
                   const std::vector<uint8_t>& plane) {
  double sum = 0;
  for (size_t i = 0; i < plane.size(); ++i) {
    double d = double(interleaved[i * components + channel]) - plane[i];
    sum += d * d;
  }
  double mse = sum / double(plane.size());
  return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

// Forward DCT of T.81 A.3.3 of one 8 x 8 block of level-shifted samples (natural order out).
inline void floatDct(const double in[64], double out[64]) {
  for (int v = 0; v < 8; ++v)
    for (int u = 0; u < 8; ++u) {
      double s = 0;
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
          s += in[y * 8 + x] * std::cos((2 * x + 1) * u * M_PI / 16) * std::cos((2 * y + 1) * v * M_PI / 16);
      double cu = u ? 1 : M_SQRT1_2, cv = v ? 1 : M_SQRT1_2;
      out[v * 8 + u] = 0.25 * cu * cv * s;
    }
}

}  // namespace support
