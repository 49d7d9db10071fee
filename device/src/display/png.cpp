// PNG writer for screenshots: one IHDR, one zlib-compressed IDAT, IEND.
#include <zlib.h>

#include <stdexcept>

#include "device/display.h"

namespace device {
namespace {

void putBig32(std::vector<uint8_t> &out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 24));
  out.push_back(static_cast<uint8_t>(v >> 16));
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

// Length, type, data and the CRC over type and data.
void putChunk(std::vector<uint8_t> &out, const char type[4], const std::vector<uint8_t> &data) {
  putBig32(out, static_cast<uint32_t>(data.size()));
  size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  uLong crc = crc32(0L, out.data() + typeAt, static_cast<uInt>(4 + data.size()));
  putBig32(out, static_cast<uint32_t>(crc));
}

}  // namespace

std::vector<uint8_t> encodePng(const uint16_t *pixels, int width, int height) {
  if (width <= 0 || height <= 0) throw std::invalid_argument("encodePng: empty picture");
  // Filter type 0 before each row, then R, G, B.
  const size_t rowBytes = 1 + static_cast<size_t>(width) * 3;
  std::vector<uint8_t> raw(rowBytes * height);
  for (int y = 0; y < height; ++y) {
    uint8_t *row = &raw[y * rowBytes];
    *row++ = 0;
    for (int x = 0; x < width; ++x) {
      uint16_t p = pixels[static_cast<size_t>(y) * width + x];
      uint8_t r = (p >> 11) & 0x1F, g = (p >> 5) & 0x3F, b = p & 0x1F;
      *row++ = static_cast<uint8_t>((r << 3) | (r >> 2));
      *row++ = static_cast<uint8_t>((g << 2) | (g >> 4));
      *row++ = static_cast<uint8_t>((b << 3) | (b >> 2));
    }
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 6) != Z_OK)
    throw std::runtime_error("encodePng: compression failed");
  packed.resize(packedSize);

  std::vector<uint8_t> header;
  putBig32(header, static_cast<uint32_t>(width));
  putBig32(header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, truecolour, deflate, adaptive, no interlace

  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  putChunk(out, "IHDR", header);
  putChunk(out, "IDAT", packed);
  putChunk(out, "IEND", {});
  return out;
}

}  // namespace device
