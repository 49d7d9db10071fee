// Constant tables of the encoder and the builders of the per-context tables.
#pragma once

#include "tarnjpg/tarnjpg.h"

#include <array>
#include <cstdint>

namespace tarnjpg {

// Natural (row-major) index of the k-th zig-zag position.
extern const std::array<uint8_t, 64> kZigzagNatural;
// Index into a transposed block (column * 8 + row) of the k-th zig-zag position.
extern const std::array<uint8_t, 64> kZigzagTransposed;
// Zig-zag position of each index of a transposed block (inverse of kZigzagTransposed).
extern const std::array<uint8_t, 64> kTransposedToZigzag;

extern const std::array<uint8_t, 64> kBaseLumaQuant;    // natural order
extern const std::array<uint8_t, 64> kBaseChromaQuant;  // natural order
// DCT output scale folded into the reciprocals, natural order (row = vertical frequency).
extern const std::array<int16_t, 64> kDctScale;
// Left shift applied to each transform output before its reciprocal (transposed order): it
// undoes the power of two kDctScale carries, 2^-shift at (row r, column c), stored at c * 8 + r.
inline constexpr std::array<int16_t, 64> kQuantShift = [] {
  std::array<int16_t, 64> out{};
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c) out[c * 8 + r] = int16_t(r < 4 ? (c == 7 ? 1 : 0) : (c <= 4 ? 1 : c <= 6 ? 2 : 3));
  return out;
}();

struct HuffmanSpec {
  uint8_t bits[16];       // number of codes of each length 1..16
  const uint8_t* values;  // the symbols in code order
  int valueCount;
};
extern const HuffmanSpec kLumaDcSpec, kLumaAcSpec, kChromaDcSpec, kChromaAcSpec;

// Quantisation table for a quality value: only its low 7 bits count, clamped to 1..100.
void buildQuantTable(const std::array<uint8_t, 64>& base, uint32_t quality, uint8_t out[64]);
// R = (S + Q/2) / Q, stored transposed.
void buildReciprocals(const uint8_t quant[64], ReciprocalTable& out);
// Codes and lengths of a Huffman table's symbols, from its counts and values; undefined symbols are 0.
void buildHuffmanTable(const HuffmanSpec& spec, HuffmanCodeTable& out);

}  // namespace tarnjpg
