// The program's 16-bit pictures: a device-independent bitmap header followed by the block
// that holds the pixels. Pixels are RGB 565, rows packed (pitch = width × 2 bytes).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

struct Picture {
  BITMAPINFOHEADER header;  // size 40, one plane, 3780 pixels per metre; width, height, image size
  void *block;              // the allocation, null when none
  uint16_t *pixels;         // block rounded up to 32 bytes
  uint32_t capacity;        // bytes usable from pixels on (at least the image size)
};
static_assert(sizeof(BITMAPINFOHEADER) == 40 && offsetof(Picture, block) == 40);
