// The PXA27x LCD controller of handsets with that processor: its register block at physical
// 0x44000000, the DMA frame descriptors its channels fetch, the base plane (the display's own
// frame buffer) and two video overlays, which a copy of the frame buffer does not see.
// This is the device's control API for the platform, tests and tools.
//
// HANDSET_LCD_OVERLAY shows an overlay from the start, "N:FORMAT:WxH+X+Y" with N 1 or 2 and
// FORMAT one of rgb16 (5 bits a component), rgb18, rgb18p, rgb19, rgb19p (overlay 1 or 2), ycbcr (packed 4:4:4),
// yuv444, yuv422, yuv420 (overlay 2 only); e.g. "2:yuv420:176x144+32+48". A value that cannot be
// used ends the process with the problem on stderr (exit code 2).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "device/physical.h"

namespace device {

constexpr uint64_t kLcdRegisterBase = 0x44000000;
constexpr size_t kLcdRegisterBytes = 4096;

// Register offsets in the block.
enum LcdRegister : uint32_t {
  LCCR0 = 0x00,
  LCCR1 = 0x04,  // 0..9 pixels per line - 1
  LCCR2 = 0x08,  // 0..9 lines per panel - 1
  LCCR3 = 0x0C,  // 24..26 BPP, 29 BPP bit 3, 30..31 pixel data format
  OVL1C1 = 0x50,  // 31 enable, 0..9 width - 1, 10..19 height - 1, 20..23 BPP
  OVL1C2 = 0x60,  // 0..9 x, 10..19 y
  OVL2C1 = 0x70,
  OVL2C2 = 0x80,  // 0..9 x, 10..19 y, 20..22 format
  FDADR0 = 0x200,  // base plane
  FDADR1 = 0x210,  // overlay 1
  FDADR2 = 0x220,  // overlay 2 Y (or RGB)
  FDADR3 = 0x230,  // overlay 2 Cb
  FDADR4 = 0x240,  // overlay 2 Cr
};

// BPP codes of the controller.
constexpr uint32_t kLcdBpp16 = 4, kLcdBpp18 = 5, kLcdBpp18Packed = 6, kLcdBpp19 = 7, kLcdBpp19Packed = 8;

// What an overlay shows, in the controller's terms.
struct OverlaySetup {
  int overlay = 2;      // 1 or 2
  uint32_t bpp = kLcdBpp16;  // RGB formats
  uint32_t format = 0;  // 0 RGB, 1 packed YCbCr 4:4:4, 2 planar 4:4:4, 3 planar 4:2:2, 4 planar 4:2:0
  uint32_t width = 0, height = 0, x = 0, y = 0;
};

// Reads "N:FORMAT:WxH+X+Y"; false with the reason in *error.
bool parseOverlaySetup(const std::string &text, OverlaySetup *setup, std::string *error);

class LcdController {
 public:
  LcdController();
  LcdController(const LcdController &) = delete;
  LcdController &operator=(const LcdController &) = delete;

  uint32_t read(uint32_t offset) const { return registers_[offset / 4]; }
  void write(uint32_t offset, uint32_t value) { registers_[offset / 4] = value; }

  // The base plane describes the display as it is now: size, 16 bits per pixel, and a
  // descriptor that points at its frame buffer.
  void syncBasePlane();

  // Shows an overlay filled with the eight colour bars in its own format (replacing what it
  // showed). False for a setup the controller cannot show (YCbCr on overlay 1, a size above
  // 1024, a plane longer than a descriptor can give).
  bool showOverlay(const OverlaySetup &setup);
  void hideOverlay(int overlay);
  // The plane memory of an overlay: 0 Y or RGB, 1 Cb, 2 Cr; null when not shown.
  uint8_t *overlayPlane(int overlay, int plane) const;
  size_t overlayPlaneBytes(int overlay, int plane) const;

 private:
  void setDescriptor(int channel, uint64_t address, size_t bytes);
  volatile uint32_t *registers_;
  PhysicalBlock descriptors_;  // one page per channel, so every descriptor starts a page
  PhysicalBlock planes_[2][3];
};

// The handset's controller, made on first use; null when the profile's processor_name is not
// a PXA27x. Each call brings the base plane up to date with the display.
LcdController *lcdController();

}  // namespace device
