#include "camera/lcd_planes.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {

constexpr uint32_t kRegisterBase = 0x44000000;
constexpr uint32_t kRegisterBytes = 4096;
constexpr uint32_t kPhysical = PAGE_READWRITE | PAGE_NOCACHE | PAGE_PHYSICAL;

enum : uint32_t {
  LCCR1 = 0x04,
  LCCR2 = 0x08,
  LCCR3 = 0x0C,
  OVL1C1 = 0x50,
  OVL1C2 = 0x60,
  OVL2C1 = 0x70,
  OVL2C2 = 0x80,
  FDADR0 = 0x200,
  FDADR1 = 0x210,
  FDADR2 = 0x220,
  FDADR3 = 0x230,
  FDADR4 = 0x240,
};
constexpr uint32_t kEnable = 1u << 31;
constexpr uint32_t kBpp16 = 4;
constexpr uint32_t kDescriptorBytes = 16;
constexpr uint32_t kLengthMask = 0x7FFFC;

uint32_t Field(uint32_t value, int low, int bits) { return (value >> low) & ((1u << bits) - 1); }

// Maps length bytes of physical memory; the address keeps the offset within 256 bytes.
LcdPlanes::Mapped MapPhysical(uint32_t physical, uint32_t length) {
  const uint32_t offset = physical & 255;
  uint8_t *reservation = static_cast<uint8_t *>(VirtualAlloc(nullptr, offset + length, MEM_RESERVE, PAGE_NOACCESS));
  if (!reservation) return {};
  if (!VirtualCopy(reservation, reinterpret_cast<LPVOID>(uintptr_t(physical >> 8)), offset + length, kPhysical)) {
    VirtualFree(reservation, 0, MEM_RELEASE);
    return {};
  }
  return {reservation + offset, length};
}

void Unmap(LcdPlanes::Mapped &m) {
  if (m.address) VirtualFree(reinterpret_cast<LPVOID>(uintptr_t(m.address) & ~uintptr_t(255)), 0, MEM_RELEASE);
  m = {};
}

// The frame a DMA descriptor points at.
LcdPlanes::Mapped MapPlane(uint32_t descriptor) {
  LcdPlanes::Mapped d = MapPhysical(descriptor & ~15u, kDescriptorBytes);
  if (!d.address) return {};
  uint32_t words[4];
  std::memcpy(words, d.address, sizeof(words));
  Unmap(d);
  const uint32_t start = words[1], length = words[3] & kLengthMask;
  return start && length ? MapPhysical(start, length) : LcdPlanes::Mapped{};
}

uint16_t Rgb565FromRgb18(uint32_t v) {
  return uint16_t((Field(v, 12, 6) >> 1) << 11 | Field(v, 6, 6) << 5 | Field(v, 0, 6) >> 1);
}

}  // namespace

LcdPlanes *LcdPlanes::Create() {
  void *reservation = VirtualAlloc(nullptr, kRegisterBytes, MEM_RESERVE, PAGE_NOACCESS);
  if (!reservation) return nullptr;
  if (!VirtualCopy(reservation, reinterpret_cast<LPVOID>(uintptr_t(kRegisterBase >> 8)), kRegisterBytes, kPhysical)) {
    VirtualFree(reservation, 0, MEM_RELEASE);
    return nullptr;
  }
  LcdPlanes *planes = new LcdPlanes;
  planes->reservation_ = reservation;
  planes->registers_ = static_cast<volatile const uint32_t *>(reservation);
  return planes;
}

LcdPlanes::~LcdPlanes() {
  for (int which = BASE; which <= OVERLAY2; ++which) Release(which);
  VirtualFree(reservation_, 0, MEM_RELEASE);
}

void LcdPlanes::Release(int which) {
  Plane &p = planes_[which];
  for (Mapped &m : p.planes) Unmap(m);
  p = {};
}

// Maps a plane marked active from the fields read into it and makes room for its picture.
bool LcdPlanes::Activate(int which, uint8_t **buffer, uint32_t *capacity) {
  Plane &p = planes_[which];
  static const uint32_t kFirstDescriptor[3] = {FDADR0, FDADR1, FDADR2};
  p.planes[0] = MapPlane(Register(kFirstDescriptor[which]));
  if (which == OVERLAY2 && p.format > 1) {
    p.planes[1] = MapPlane(Register(FDADR3));
    p.planes[2] = MapPlane(Register(FDADR4));
  }
  if (!p.planes[0].address || p.width == 0 || p.height == 0) return false;
  const uint64_t bytes = uint64_t(p.width) * p.height * 2;
  if (bytes > *capacity) {
    void *larger = std::malloc(bytes);
    if (!larger) return false;
    std::free(*buffer);
    *buffer = static_cast<uint8_t *>(larger);
    *capacity = uint32_t(bytes);
  }
  return true;
}

void LcdPlanes::Choose(uint8_t **buffer, uint32_t *capacity) {
  Plane &base = planes_[BASE], &o1 = planes_[OVERLAY1], &o2 = planes_[OVERLAY2];
  const uint32_t c1 = Register(OVL2C1);
  if (c1 & kEnable) {
    Release(BASE);
    Release(OVERLAY1);
    if (!o2.active) {
      const uint32_t c2 = Register(OVL2C2);
      o2.active = true;
      o2.width = Field(c1, 0, 10) + 1;
      o2.height = Field(c1, 10, 10) + 1;
      o2.bpp = Field(c1, 20, 4);
      o2.x = Field(c2, 0, 10);
      o2.y = Field(c2, 10, 10);
      o2.format = Field(c2, 20, 3);
      if (!Activate(OVERLAY2, buffer, capacity)) Release(OVERLAY2);
    }
  } else if (o2.active) {
    Release(OVERLAY2);
  }
  if (!o2.active) {
    const uint32_t d1 = Register(OVL1C1);
    if (d1 & kEnable) {
      if (!o1.active) {
        Release(BASE);
        Release(OVERLAY2);
        const uint32_t d2 = Register(OVL1C2);
        o1.active = true;
        o1.width = Field(d1, 0, 10) + 1;
        o1.height = Field(d1, 10, 10) + 1;
        o1.bpp = Field(d1, 20, 4);
        o1.x = Field(d2, 0, 10);
        o1.y = Field(d2, 10, 10);
        o1.format = 0;
        if (!Activate(OVERLAY1, buffer, capacity)) Release(OVERLAY1);
      }
    } else if (o1.active) {
      Release(OVERLAY1);
    }
  }
  if (!o1.active && !o2.active && !base.active) {
    const uint32_t c3 = Register(LCCR3);
    base.active = true;
    base.width = Field(Register(LCCR1), 0, 10) + 1;
    base.height = Field(Register(LCCR2), 0, 10) + 1;
    base.bpp = Field(c3, 24, 3) + (Field(c3, 29, 1) ? 8 : 0);
    base.format = Field(c3, 30, 2);
    if (!Activate(BASE, buffer, capacity)) Release(BASE);
  }
}

bool LcdPlanes::Convert(uint8_t *buffer, uint32_t capacity, FrameDesc *frame) const {
  for (int which : {OVERLAY2, OVERLAY1, BASE})
    if (planes_[which].active) return ConvertPlane(planes_[which], which == BASE, buffer, capacity, frame);
  return false;
}

bool LcdPlanes::ConvertPlane(const Plane &p, bool base, uint8_t *buffer, uint32_t capacity,
                             FrameDesc *frame) const {
  const uint32_t w = p.width, h = p.height;
  const uint64_t pixels = uint64_t(w) * h;
  if (pixels * 2 > capacity) return false;
  const Mapped &src = p.planes[0];
  uint16_t *out16 = reinterpret_cast<uint16_t *>(buffer);
  *frame = {buffer, uint32_t(pixels * 2), 0, w, h};

  if (p.format == 0) {
    if (p.bpp == kBpp16) {
      if (src.length < pixels * 2) return false;
      std::memcpy(buffer, src.address, pixels * 2);
      frame->format = base ? FORMAT_RGB565 : FORMAT_RGB555;
      return true;
    }
    if (p.bpp < 5 || p.bpp > 8) return false;
    const uint32_t step = (p.bpp == 5 || p.bpp == 7) ? 4 : 3;  // unpacked in words, or packed
    if (src.length < pixels * step) return false;
    for (uint64_t i = 0; i < pixels; ++i) {
      const uint8_t *s = src.address + i * step;
      out16[i] = Rgb565FromRgb18(uint32_t(s[0]) | uint32_t(s[1]) << 8 | uint32_t(s[2]) << 16);
    }
    frame->format = FORMAT_RGB565;
    return true;
  }
  if (p.format > 4) return false;

  // YCbCr: one UYVY word per pair of pixels.
  const uint32_t pairs = w / 2;
  frame->width = pairs * 2;
  frame->size = frame->width * h * 2;
  frame->format = FORMAT_UYVY;
  if (p.format == 1) {
    if (src.length < pixels * 4) return false;
    for (uint32_t y = 0; y < h; ++y) {
      const uint8_t *in = src.address + size_t(y) * w * 4;
      uint8_t *out = buffer + size_t(y) * frame->width * 2;
      for (uint32_t i = 0; i < pairs; ++i, in += 8, out += 4) {
        out[0] = uint8_t((in[1] + in[5]) >> 1);
        out[1] = in[0];
        out[2] = uint8_t((in[2] + in[6]) >> 1);
        out[3] = in[4];
      }
    }
    return true;
  }
  const Mapped &cb = p.planes[1], &cr = p.planes[2];
  const uint32_t chromaWidth = p.format == 2 ? w : w / 2;
  const uint32_t chromaHeight = p.format == 4 ? h / 2 : h;
  const uint64_t chromaBytes = uint64_t(chromaWidth) * chromaHeight;
  if (!cb.address || !cr.address || src.length < pixels || cb.length < chromaBytes || cr.length < chromaBytes)
    return false;
  for (uint32_t y = 0; y < h; ++y) {
    const uint8_t *luma = src.address + size_t(y) * w;
    const uint32_t chromaRow = p.format == 4 ? y / 2 : y;
    if (chromaRow >= chromaHeight) break;
    const size_t rowStart = size_t(chromaRow) * chromaWidth;
    uint8_t *out = buffer + size_t(y) * frame->width * 2;
    for (uint32_t i = 0; i < pairs; ++i, out += 4) {
      // Planar 4:4:4 takes every second chroma sample; both pixels take the first luma sample.
      const size_t c = rowStart + (p.format == 2 ? 2 * i : i);
      out[0] = cb.address[c];
      out[1] = luma[2 * i];
      out[2] = cr.address[c];
      out[3] = luma[2 * i];
    }
  }
  frame->height = p.format == 4 ? chromaHeight * 2 : h;
  frame->size = frame->width * frame->height * 2;
  return true;
}
