#include "device/lcd.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "device/display.h"
#include "device/profile.h"
#include "lcd/lcd_registers.h"

namespace device {
namespace {

constexpr uint32_t kEnable = 1u << 31;
constexpr uint32_t kMaxSide = 1024;             // the 10-bit size fields
constexpr uint32_t kDescriptorLengthMask = 0x7FFFC;
constexpr int kChannels = 5;

// The eight bars: R, G, B and Y, Cb, Cr.
constexpr uint8_t kBars[8][6] = {
    {255, 255, 255, 235, 128, 128}, {255, 255, 0, 211, 16, 146}, {0, 255, 255, 170, 166, 16},
    {0, 255, 0, 145, 54, 34},       {255, 0, 255, 106, 202, 222}, {255, 0, 0, 81, 90, 240},
    {0, 0, 255, 41, 240, 109},      {0, 0, 0, 16, 128, 128}};

const uint8_t *barAt(uint32_t x, uint32_t width) { return kBars[8 * x / width]; }

size_t roundUp4(size_t n) { return (n + 3) & ~size_t(3); }

// Bytes of each plane of an overlay setup (0 for planes it does not have).
void planeBytes(const OverlaySetup &s, size_t bytes[3]) {
  const size_t pixels = size_t(s.width) * s.height;
  bytes[1] = bytes[2] = 0;
  switch (s.format) {
    case 0:
      bytes[0] = s.bpp == kLcdBpp16 ? pixels * 2
                 : (s.bpp == kLcdBpp18Packed || s.bpp == kLcdBpp19Packed) ? pixels * 3
                                                                           : pixels * 4;
      break;
    case 1: bytes[0] = pixels * 4; break;
    case 2: bytes[0] = bytes[1] = bytes[2] = pixels; break;
    case 3: bytes[0] = pixels, bytes[1] = bytes[2] = size_t(s.width / 2) * s.height; break;
    default: bytes[0] = pixels, bytes[1] = bytes[2] = size_t(s.width / 2) * (s.height / 2); break;
  }
  for (int i = 0; i < 3; ++i) bytes[i] = roundUp4(bytes[i]);
}

// 6-bit fields, blue lowest; bit 18 (19 bits per pixel) is the transparency bit, left clear.
uint32_t rgb18(const uint8_t *bar) { return uint32_t(bar[0] >> 2) << 12 | uint32_t(bar[1] >> 2) << 6 | (bar[2] >> 2); }

void fillBars(const OverlaySetup &s, uint8_t *plane[3]) {
  const uint32_t w = s.width, h = s.height;
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x) {
      const uint8_t *bar = barAt(x, w);
      const size_t i = size_t(y) * w + x;
      switch (s.format) {
        case 0:
          if (s.bpp == kLcdBpp16) {  // overlays hold 5 bits a component
            const uint16_t p = uint16_t((bar[0] & 0xF8) << 7 | (bar[1] & 0xF8) << 2 | bar[2] >> 3);
            std::memcpy(plane[0] + i * 2, &p, 2);
          } else if (s.bpp == kLcdBpp18Packed || s.bpp == kLcdBpp19Packed) {
            const uint32_t p = rgb18(bar);
            plane[0][i * 3] = uint8_t(p), plane[0][i * 3 + 1] = uint8_t(p >> 8), plane[0][i * 3 + 2] = uint8_t(p >> 16);
          } else {
            const uint32_t p = rgb18(bar);
            std::memcpy(plane[0] + i * 4, &p, 4);
          }
          break;
        case 1:
          plane[0][i * 4] = bar[3], plane[0][i * 4 + 1] = bar[4], plane[0][i * 4 + 2] = bar[5], plane[0][i * 4 + 3] = 0;
          break;
        default: {
          plane[0][i] = bar[3];
          const uint32_t cw = s.format == 2 ? w : w / 2;
          const uint32_t cx = s.format == 2 ? x : x / 2, cy = s.format == 4 ? y / 2 : y;
          if (cx < cw && (s.format != 4 || cy < h / 2)) {
            plane[1][size_t(cy) * cw + cx] = bar[4];
            plane[2][size_t(cy) * cw + cx] = bar[5];
          }
        }
      }
    }
  }
}

bool parseFormat(const std::string &name, OverlaySetup *s) {
  struct Named {
    const char *name;
    uint32_t bpp, format;
  } const names[] = {{"rgb16", kLcdBpp16, 0},  {"rgb18", kLcdBpp18, 0}, {"rgb18p", kLcdBpp18Packed, 0},
                     {"rgb19", kLcdBpp19, 0},  {"rgb19p", kLcdBpp19Packed, 0}, {"ycbcr", kLcdBpp16, 1},
                     {"yuv444", kLcdBpp16, 2}, {"yuv422", kLcdBpp16, 3}, {"yuv420", kLcdBpp16, 4}};
  for (const Named &n : names)
    if (name == n.name) {
      s->bpp = n.bpp;
      s->format = n.format;
      return true;
    }
  return false;
}

}  // namespace

bool parseOverlaySetup(const std::string &text, OverlaySetup *setup, std::string *error) {
  OverlaySetup s;
  char format[16];
  int overlay, used = 0;
  unsigned w, h, x, y;
  if (std::sscanf(text.c_str(), "%d:%15[a-z0-9]:%ux%u+%u+%u%n", &overlay, format, &w, &h, &x, &y, &used) != 6 ||
      size_t(used) != text.size()) {
    *error = "expected N:FORMAT:WxH+X+Y, found \"" + text + "\"";
    return false;
  }
  if (overlay != 1 && overlay != 2) {
    *error = "the overlay is 1 or 2";
    return false;
  }
  if (!parseFormat(format, &s)) {
    *error = std::string("unknown format \"") + format + "\"";
    return false;
  }
  if (overlay == 1 && s.format != 0) {
    *error = "overlay 1 shows RGB formats only";
    return false;
  }
  if (w == 0 || h == 0 || w > kMaxSide || h > kMaxSide || x >= kMaxSide || y >= kMaxSide) {
    *error = "size and position must lie within 1024 x 1024";
    return false;
  }
  s.overlay = overlay, s.width = w, s.height = h, s.x = x, s.y = y;
  *setup = s;
  return true;
}

LcdController::LcdController()
    : registers_(mapRegisterBlock(kLcdRegisterBase, kLcdRegisterBytes)),
      descriptors_(kChannels * kPageBytes) {
  for (int channel = 0; channel < kChannels; ++channel) setDescriptor(channel, 0, 0);
}

void LcdController::setDescriptor(int channel, uint64_t address, size_t bytes) {
  const uint64_t descriptor = descriptors_.address() + uint64_t(channel) * kPageBytes;
  uint32_t words[4] = {uint32_t(descriptor), uint32_t(address), 0, uint32_t(bytes) & 0x1FFFFF};
  std::memcpy(descriptors_.data() + size_t(channel) * kPageBytes, words, sizeof(words));
  write(FDADR0 + uint32_t(channel) * 0x10, uint32_t(descriptor));
}

void LcdController::syncBasePlane() {
  Display &d = display();
  const uint32_t w = uint32_t(d.width()), h = uint32_t(d.height());
  write(LCCR1, (w - 1) & 0x3FF);
  write(LCCR2, (h - 1) & 0x3FF);
  write(LCCR3, kLcdBpp16 << 24);  // 16 bits per pixel, RGB
  setDescriptor(0, d.frameBufferAddress(), size_t(w) * h * 2);
}

bool LcdController::showOverlay(const OverlaySetup &s) {
  if ((s.overlay != 1 && s.overlay != 2) || (s.overlay == 1 && s.format != 0) || s.format > 4 ||
      s.width == 0 || s.height == 0 || s.width > kMaxSide || s.height > kMaxSide || s.x >= kMaxSide ||
      s.y >= kMaxSide)
    return false;
  size_t bytes[3];
  planeBytes(s, bytes);
  for (size_t b : bytes)
    if (b > kDescriptorLengthMask) return false;
  hideOverlay(s.overlay);
  PhysicalBlock *planes = planes_[s.overlay - 1];
  uint8_t *data[3] = {};
  for (int i = 0; i < 3; ++i)
    if (bytes[i]) {
      planes[i] = PhysicalBlock(bytes[i]);
      data[i] = planes[i].data();
    }
  fillBars(s, data);
  const uint32_t control = kEnable | (s.width - 1) | (s.height - 1) << 10 | s.bpp << 20;
  const uint32_t position = s.x | s.y << 10;
  if (s.overlay == 1) {
    setDescriptor(1, planes[0].address(), bytes[0]);
    write(OVL1C2, position);
    write(OVL1C1, control);
  } else {
    for (int i = 0; i < 3; ++i) setDescriptor(2 + i, bytes[i] ? planes[i].address() : 0, bytes[i]);
    write(OVL2C2, position | s.format << 20);
    write(OVL2C1, control);
  }
  return true;
}

void LcdController::hideOverlay(int overlay) {
  if (overlay != 1 && overlay != 2) return;
  write(overlay == 1 ? OVL1C1 : OVL2C1, 0);
  if (overlay == 1)
    setDescriptor(1, 0, 0);
  else
    for (int i = 0; i < 3; ++i) setDescriptor(2 + i, 0, 0);
  for (PhysicalBlock &plane : planes_[overlay - 1]) plane = PhysicalBlock();
}

uint8_t *LcdController::overlayPlane(int overlay, int plane) const {
  if ((overlay != 1 && overlay != 2) || plane < 0 || plane > 2) return nullptr;
  return planes_[overlay - 1][plane].data();
}

size_t LcdController::overlayPlaneBytes(int overlay, int plane) const {
  if ((overlay != 1 && overlay != 2) || plane < 0 || plane > 2) return 0;
  return planes_[overlay - 1][plane].size();
}

namespace {

bool hasController() {
  const std::string name = current().text("processor_name");
  return name.compare(0, 5, "PXA27") == 0;
}

LcdController *makeController() {
  LcdController *lcd = new LcdController;  // lives as long as its register block: the process
  if (const char *text = std::getenv("HANDSET_LCD_OVERLAY"); text && *text) {
    OverlaySetup setup;
    std::string error;
    if (!parseOverlaySetup(text, &setup, &error)) {
      stopOnBadSetting("handset LCD error: HANDSET_LCD_OVERLAY: " + error);
    }
    lcd->showOverlay(setup);
  }
  return lcd;
}

std::mutex lcdLock;

}  // namespace

LcdController *lcdController() {
  std::lock_guard<std::mutex> guard(lcdLock);
  static LcdController *lcd = nullptr;
  if (!hasController()) return nullptr;  // tests may change the handset
  if (!lcd) lcd = makeController();
  lcd->syncBasePlane();
  return lcd;
}

bool ensureRegisters(uint64_t address) {
  if (address >= kLcdRegisterBase && address < kLcdRegisterBase + kLcdRegisterBytes)
    return lcdController() != nullptr;
  return true;
}

}  // namespace device
