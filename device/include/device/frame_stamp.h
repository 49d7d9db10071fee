// The frame stamp: what every camera picture carries so that a test (or a person) can read back
// which frame it is and when it was taken, whatever the program did to it afterwards.
//
// Where it sits: a grid of 10 × 8 square cells centred on the delivered picture, a cell being
// 1/24 of the picture's shorter side but at least 6 pixels, on a dark frame half a cell wide. Cell (column, row) holds
// bit row × 10 + column: light (luma 235) for 1, dark (luma 16) for 0, chroma neutral, so grey
// pictures and a swap of U and V leave it alone. It is drawn after the camera's controls.
// Bits 0-31: the frame count, least significant first; 32-63: the handset clock's ms; 64-79: a
// CRC-16 (CCITT, initial 0xFFFF) of those eight bytes, little-endian. To read it, sample each
// cell's centre in each of the eight ways the picture may be turned or flipped (the grid then
// lies 10 wide or 8 wide), threshold the luma at 128 and keep the reading whose CRC holds.
#pragma once

#include <cstdint>

#include "device/camera.h"

namespace device {

constexpr int kStampColumns = 10, kStampRows = 8, kStampBits = kStampColumns * kStampRows;
constexpr uint8_t kStampLight = 235, kStampDark = 16;

// The grid in a width × height picture in its own (stamped) orientation.
struct StampGeometry {
  double cell, left, top;
};
inline StampGeometry stampGeometry(int width, int height) {
  const double shorter = width < height ? width : height;
  const double cell = shorter / 24 > 6 ? shorter / 24 : 6;
  return {cell, width / 2.0 - kStampColumns * cell / 2, height / 2.0 - kStampRows * cell / 2};
}

inline uint16_t stampCrc(const uint8_t *bytes, int count) {
  uint16_t crc = 0xFFFF;
  for (int i = 0; i < count; ++i) {
    crc ^= uint16_t(bytes[i] << 8);
    for (int b = 0; b < 8; ++b) crc = uint16_t(crc & 0x8000 ? crc << 1 ^ 0x1021 : crc << 1);
  }
  return crc;
}

inline void stampBits(const FrameStamp &stamp, bool bits[kStampBits]) {
  uint8_t bytes[8];
  for (int i = 0; i < 4; ++i) bytes[i] = uint8_t(stamp.frame >> 8 * i), bytes[4 + i] = uint8_t(stamp.ms >> 8 * i);
  const uint16_t crc = stampCrc(bytes, 8);
  for (int i = 0; i < 64; ++i) bits[i] = bytes[i / 8] >> (i % 8) & 1;
  for (int i = 0; i < 16; ++i) bits[64 + i] = crc >> i & 1;
}

// The stamp the bits hold, or false when their CRC does not hold.
inline bool stampFromBits(const bool bits[kStampBits], FrameStamp &stamp) {
  uint8_t bytes[8] = {};
  for (int i = 0; i < 64; ++i) bytes[i / 8] = uint8_t(bytes[i / 8] | (bits[i] ? 1 : 0) << (i % 8));
  uint16_t crc = 0;
  for (int i = 0; i < 16; ++i) crc = uint16_t(crc | (bits[64 + i] ? 1 : 0) << i);
  if (crc != stampCrc(bytes, 8)) return false;
  stamp.frame = stamp.ms = 0;
  for (int i = 0; i < 4; ++i) stamp.frame |= uint32_t(bytes[i]) << 8 * i, stamp.ms |= uint32_t(bytes[4 + i]) << 8 * i;
  return true;
}

}  // namespace device
