// The PXA27x LCD controller as the screen source reads it: its registers and the planes its DMA
// descriptors point at, mapped into the program, and the conversion of the plane on top (overlay
// 2, then overlay 1, then the base plane) into a frame.
#pragma once

#include <cstdint>

#include "camera/frame.h"

class LcdPlanes {
 public:
  // Maps the register block; null when it cannot be mapped.
  static LcdPlanes *Create();
  ~LcdPlanes();
  LcdPlanes(const LcdPlanes &) = delete;
  LcdPlanes &operator=(const LcdPlanes &) = delete;

  // Follows the controller: maps the plane that is shown on top, releasing the others. The
  // frame buffer (*buffer, *capacity bytes) grows when the plane's picture needs more; a plane
  // it cannot hold is released.
  void Choose(uint8_t **buffer, uint32_t *capacity);
  // Converts the active plane into buffer: its size, RGB 565 or RGB 555 (16-bit planes), RGB 565
  // (18 and 19 bits per pixel) or UYVY (YCbCr). False when no plane gives a frame.
  bool Convert(uint8_t *buffer, uint32_t capacity, FrameDesc *frame) const;

  struct Mapped {
    uint8_t *address;
    uint32_t length;
  };
  struct Plane {
    bool active;
    uint32_t width, height;
    uint32_t bpp;     // the controller's BPP code
    uint32_t format;  // 0 RGB, 1 packed YCbCr 4:4:4, 2 planar 4:4:4, 3 planar 4:2:2, 4 planar 4:2:0
    uint32_t x, y;
    Mapped planes[3];  // Y or RGB, Cb, Cr
  };
  enum { BASE, OVERLAY1, OVERLAY2 };
  const Plane &plane(int which) const { return planes_[which]; }

 private:
  LcdPlanes() = default;
  uint32_t Register(uint32_t offset) const { return registers_[offset / 4]; }
  void Release(int which);
  bool Activate(int which, uint8_t **buffer, uint32_t *capacity);
  bool ConvertPlane(const Plane &p, bool base, uint8_t *buffer, uint32_t capacity, FrameDesc *frame) const;

  void *reservation_ = nullptr;
  volatile const uint32_t *registers_ = nullptr;
  Plane planes_[3] = {};
};
