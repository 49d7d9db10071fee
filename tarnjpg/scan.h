// The MCU walk and the entropy coder, shared by every instruction set. Included only by the
// files that build one Kernels table each; everything here has internal linkage so that each
// of them gets its own copy compiled for its own instruction set.
#pragma once

#include "tarnjpg/kernels.h"
#include "tarnjpg/tables.h"

#include <cstdint>
#include <cstring>

namespace tarnjpg {
namespace {

// Bits are packed most significant first into a 64-bit accumulator; whole 32-bit words go out
// once 32 or more bits are pending, each byte FF followed by a stuffed 00.
struct BitWriter {
  uint8_t* out;
  uint64_t acc = 0;
  uint32_t pending = 0;

  void emitByte(uint32_t b) {
    *out++ = uint8_t(b);
    if (uint8_t(b) == 0xFF) *out++ = 0;
  }

  void emitWord(uint32_t w) {
    uint32_t inverted = ~w;
    if (((inverted - 0x01010101u) & ~inverted & 0x80808080u) == 0) {  // no byte is FF
      uint32_t be = __builtin_bswap32(w);
      std::memcpy(out, &be, 4);
      out += 4;
      return;
    }
    for (int s = 24; s >= 0; s -= 8) emitByte(w >> s);
  }

  // value holds `length` bits (length <= 32).
  void put(uint32_t value, uint32_t length) {
    acc = (acc << length) | value;
    pending += length;
    if (pending >= 32) {
      pending -= 32;
      emitWord(uint32_t(acc >> pending));
    }
  }

  // Pads the last byte with 0-bits and writes what is pending.
  uint8_t* finish() {
    uint32_t pad = (8 - pending % 8) % 8;
    acc <<= pad;
    pending += pad;
    while (pending) {
      pending -= 8;
      emitByte(uint32_t(acc >> pending) & 0xFF);
    }
    return out;
  }
};

// Emits the code of `symbolBase + size` (size = bit length of |v|) followed by the low size bits
// of v (v - 1 when negative).
inline void putCoded(BitWriter& w, const HuffmanCodeTable& table, uint32_t symbolBase, int v) {
  uint32_t magnitude = uint32_t(v < 0 ? -v : v);
  uint32_t size = magnitude ? 32 - uint32_t(__builtin_clz(magnitude)) : 0;
  uint32_t extra = uint32_t(v < 0 ? v - 1 : v) & ((1u << size) - 1);
  uint32_t entry = table.code[symbolBase + size];
  w.put(((entry & 0xFFFF) << size) | extra, (entry >> 16) + size);
}

// One quantised block, stored transposed, coded in zig-zag order. `nonzero` has bit i set when
// block[i] is not 0. The writer is worked on as a local copy so that its fields stay in
// registers (the byte stores could otherwise alias them).
inline void codeBlock(BitWriter& writer, const int16_t* block, uint64_t nonzero, int& predictor,
                      const HuffmanCodeTable& dc, const HuffmanCodeTable& ac) {
  BitWriter w = writer;
  int diff = block[0] - predictor;
  predictor = block[0];
  putCoded(w, dc, 0, diff);

  uint64_t zigzag = 0;
  for (uint64_t m = nonzero & ~1ull; m; m &= m - 1) zigzag |= 1ull << kTransposedToZigzag[__builtin_ctzll(m)];
  int last = 0;
  for (; zigzag; zigzag &= zigzag - 1) {
    int k = __builtin_ctzll(zigzag);
    int run = k - last - 1;
    for (; run >= 16; run -= 16) w.put(ac.code[0xF0] & 0xFFFF, ac.code[0xF0] >> 16);  // ZRL
    putCoded(w, ac, uint32_t(run) << 4, block[kZigzagTransposed[k]]);
    last = k;
  }
  if (last != 63) w.put(ac.code[0x00] & 0xFFFF, ac.code[0x00] >> 16);  // EOB
  writer = w;
}

// Turns a block of samples in place (natural order): 1 quarter counter-clockwise, 2 half,
// 3 quarter clockwise.
inline void turnBlock(int16_t* b, uint32_t rotation) {
  int16_t old[64];
  std::memcpy(old, b, sizeof old);
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c) {
      int from = rotation == 1 ? c * 8 + (7 - r) : rotation == 3 ? (7 - c) * 8 + r : 63 - (r * 8 + c);
      b[r * 8 + c] = old[from];
    }
}

// Order in which the four luminance blocks of a 16 x 16 area (top-left, top-right, bottom-left,
// bottom-right in the source) are coded so that they follow the raster of the turned area.
constexpr int kLumaOrder[4][4] = {{0, 1, 2, 3}, {1, 3, 0, 2}, {3, 2, 1, 0}, {2, 0, 3, 1}};

template <class Isa>
struct Coder {
  BitWriter w;
  WorkArea& work;
  int predictor[3] = {0, 0, 0};

  void code(int slot, int component) {
    const int16_t* block = work.blocks[slot];
    bool luma = component == 0;
    codeBlock(w, block, Isa::nonzeroMask(block), predictor[component], luma ? work.lumaDc : work.chromaDc,
              luma ? work.lumaAc : work.chromaAc);
  }
};

// Colour areas (16 x 16 or 16 x 8 in the source), walked so that the output is a raster scan of
// the turned picture.
template <class Isa, class Loader>
void walkColour(const ScanJob& job, Coder<Isa>& coder) {
  WorkArea& work = coder.work;
  const bool tall = job.layout == Layout::Yuv420;
  const uint32_t areaHeight = tall ? 16 : 8;
  const uint32_t columns = job.outWidth / 16, rows = job.outHeight / areaHeight;
  const uint32_t rotation = job.rotation;
  const bool turnedQuarter = rotation & 1;
  const uint32_t outer = turnedQuarter ? columns : rows, inner = turnedQuarter ? rows : columns;
  const int lumaBlocks = tall ? 4 : 2;
  const int* order = kLumaOrder[tall ? rotation : rotation == 2 ? 2 : 0];
  int shortOrder[2] = {rotation == 2 ? 1 : 0, rotation == 2 ? 0 : 1};
  if (!tall) order = shortOrder;

  for (uint32_t o = 0; o < outer; ++o)
    for (uint32_t i = 0; i < inner; ++i) {
      uint32_t ax, ay;
      switch (rotation) {
        case 0: ax = i, ay = o; break;
        case 1: ax = columns - 1 - o, ay = i; break;
        case 2: ax = columns - 1 - i, ay = rows - 1 - o; break;
        default: ax = o, ay = rows - 1 - i; break;
      }
      Loader::colour(job, ax * 16, ay * areaHeight, tall, work.blocks);
      int chroma = lumaBlocks;
      if (rotation)
        for (int b = 0; b < lumaBlocks + 2; ++b) turnBlock(work.blocks[b], rotation);
      Isa::fdctQuant(work.blocks[0], lumaBlocks, work.lumaReciprocal);
      Isa::fdctQuant(work.blocks[chroma], 2, work.chromaReciprocal);
      for (int b = 0; b < lumaBlocks; ++b) coder.code(order[b], 0);
      coder.code(chroma, 1);
      coder.code(chroma + 1, 2);
    }
}

// Greyscale: a single-component scan is decoded in block raster order, so the blocks are coded
// in the raster of the turned picture, two neighbours at a time.
template <class Isa, class Loader>
void walkGrey(const ScanJob& job, Coder<Isa>& coder) {
  WorkArea& work = coder.work;
  const uint32_t bw = job.outWidth / 8, bh = job.outHeight / 8;  // source size in blocks
  const bool turnedQuarter = job.rotation & 1;
  const uint32_t outColumns = turnedQuarter ? bh : bw, outRows = turnedQuarter ? bw : bh;
  for (uint32_t oy = 0; oy < outRows; ++oy)
    for (uint32_t ox = 0; ox < outColumns; ox += 2) {
      for (int n = 0; n < 2; ++n) {
        uint32_t x = ox + n, bx, by;
        switch (job.rotation) {
          case 0: bx = x, by = oy; break;
          case 1: bx = bw - 1 - oy, by = x; break;
          case 2: bx = bw - 1 - x, by = bh - 1 - oy; break;
          default: bx = oy, by = bh - 1 - x; break;
        }
        Loader::luma(job, bx * 8, by * 8, work.blocks[n]);
        if (job.rotation) turnBlock(work.blocks[n], job.rotation);
      }
      Isa::fdctQuant(work.blocks[0], 2, work.lumaReciprocal);
      coder.code(0, 0);
      coder.code(1, 0);
    }
}

template <class Isa, class Loader>
uint8_t* walk(const ScanJob& job, WorkArea& work, uint8_t* out) {
  Coder<Isa> coder{BitWriter{out}, work};
  if (job.layout == Layout::Grey)
    walkGrey<Isa, Loader>(job, coder);
  else
    walkColour<Isa, Loader>(job, coder);
  return coder.w.finish();
}

template <class Isa>
uint8_t* encodeScan(const ScanJob& job, WorkArea& work, uint8_t* out) {
  switch (job.format) {
    case InputUyvy:
      return job.shift ? walk<Isa, typename Isa::UyvyHalfLoader>(job, work, out)
                       : walk<Isa, typename Isa::UyvyLoader>(job, work, out);
    case InputRgb555: return walk<Isa, typename Isa::Rgb555Loader>(job, work, out);
    case InputRgb565: return walk<Isa, typename Isa::Rgb565Loader>(job, work, out);
    case InputRgb24: return walk<Isa, typename Isa::Rgb24Loader>(job, work, out);
    default: return walk<Isa, typename Isa::PlanarLoader>(job, work, out);
  }
}

}  // namespace
}  // namespace tarnjpg
