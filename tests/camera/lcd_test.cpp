// The PXA27x LCD controller path: physical memory mapped with VirtualCopy, the emulated
// controller's registers and descriptors, and the screen source's choice and conversion of
// the plane on top.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <memory>
#include <string>

#include "camera/lcd_planes.h"
#include "camera/screen_source.h"
#include "device/display.h"
#include "device/lcd.h"
#include "device/profile.h"

namespace {

void UseHandset(const std::string &lines) {
  device::setCurrent(device::Profile::parse(lines, "test.profile"));
  device::resetDisplay();
}

class LcdTest : public testing::Test {
 protected:
  void SetUp() override {
    UseHandset("display = 240x320\nprocessor_name = PXA270\n");
    lcd = device::lcdController();
    ASSERT_NE(lcd, nullptr);
    lcd->hideOverlay(1);
    lcd->hideOverlay(2);
    capacity = 640 * 480 * 3;
    buffer = static_cast<uint8_t *>(std::malloc(capacity));
  }
  void TearDown() override { std::free(buffer); }

  // Chooses and converts one frame.
  bool Frame(LcdPlanes &planes, FrameDesc *frame) {
    planes.Choose(&buffer, &capacity);
    return planes.Convert(buffer, capacity, frame);
  }

  device::LcdController *lcd = nullptr;
  uint8_t *buffer = nullptr;
  uint32_t capacity = 0;
};

uint16_t Rgb565(const ColourBar &b) { return uint16_t((b.r >> 3) << 11 | (b.g >> 2) << 5 | (b.b >> 3)); }
uint16_t Rgb555(const ColourBar &b) { return uint16_t((b.r >> 3) << 10 | (b.g >> 3) << 5 | (b.b >> 3)); }

// The middle pixel (made even) of each bar on row y of a frame.
uint32_t BarX(int bar, uint32_t width) { return ((2 * bar + 1) * width / 16) & ~1u; }

void ExpectBars(const FrameDesc &f, bool rgb555) {
  for (uint32_t y : {0u, f.height / 2, f.height - 1})
    for (int bar = 0; bar < 8; ++bar) {
      const ColourBar &b = kColourBars[bar];
      const uint32_t x = BarX(bar, f.width);
      const uint8_t *p = f.data + (size_t(y) * f.width + x) * 2;
      if (f.format == FORMAT_UYVY) {
        EXPECT_EQ(p[0], b.u) << "bar " << bar << " row " << y;
        EXPECT_EQ(p[1], b.y) << "bar " << bar << " row " << y;
        EXPECT_EQ(p[2], b.v) << "bar " << bar << " row " << y;
        EXPECT_EQ(p[3], b.y) << "bar " << bar << " row " << y;
      } else {
        uint16_t pixel;
        std::memcpy(&pixel, p, 2);
        EXPECT_EQ(pixel, rgb555 ? Rgb555(b) : Rgb565(b)) << "bar " << bar << " row " << y;
      }
    }
}

TEST(VirtualMemory, ReservesMapsPhysicalMemoryAndRefusesWhatItCannot) {
  UseHandset("display = 240x320\nprocessor_name = PXA270\n");
  device::LcdController *lcd = device::lcdController();
  ASSERT_NE(lcd, nullptr);
  auto *regs = static_cast<volatile uint32_t *>(VirtualAlloc(nullptr, 4096, MEM_RESERVE, PAGE_NOACCESS));
  ASSERT_NE(regs, nullptr);
  const DWORD rw = PAGE_READWRITE | PAGE_NOCACHE | PAGE_PHYSICAL;
  ASSERT_TRUE(VirtualCopy(const_cast<uint32_t *>(regs), reinterpret_cast<LPVOID>(0x440000), 4096, rw));
  // Both sides see the same registers.
  EXPECT_EQ(regs[device::LCCR1 / 4], 239u);
  EXPECT_EQ(regs[device::LCCR2 / 4], 319u);
  lcd->write(device::OVL1C2, 0x1234);
  EXPECT_EQ(regs[device::OVL1C2 / 4], 0x1234u);
  regs[device::OVL1C2 / 4] = 0;
  EXPECT_EQ(lcd->read(device::OVL1C2), 0u);

  struct Refusal {
    const char *why;
    LPVOID dest;
    uintptr_t source;
    DWORD size, protect, error;
  } const refusals[] = {
      {"virtual copy", (void *)regs, 0x440000, 4096, PAGE_READWRITE, ERROR_NOT_SUPPORTED},
      {"physical address inside a page", (void *)regs, 0x440001, 256, rw, ERROR_INVALID_PARAMETER},
      {"no memory there", (void *)regs, 0x100000, 4096, rw, ERROR_INVALID_PARAMETER},
      {"beyond the register block", (void *)regs, 0x440000, 8192, rw, ERROR_INVALID_PARAMETER},
      {"outside a reservation", (void *)&refusals, 0x440000, 4096, rw, ERROR_INVALID_PARAMETER},
  };
  for (const Refusal &r : refusals) {
    SetLastError(0);
    EXPECT_FALSE(VirtualCopy(r.dest, reinterpret_cast<LPVOID>(r.source), r.size, r.protect)) << r.why;
    EXPECT_EQ(GetLastError(), r.error) << r.why;
  }
  EXPECT_TRUE(VirtualFree(const_cast<uint32_t *>(regs), 0, MEM_RELEASE));
  EXPECT_FALSE(VirtualFree(const_cast<uint32_t *>(regs), 0, MEM_RELEASE));

  // Committed memory is ordinary memory.
  auto *page = static_cast<uint8_t *>(VirtualAlloc(nullptr, 100, MEM_COMMIT, PAGE_READWRITE));
  ASSERT_NE(page, nullptr);
  page[99] = 7;
  EXPECT_TRUE(VirtualFree(page, 0, MEM_RELEASE));

  EXPECT_FALSE(SetKMode(TRUE));
  EXPECT_TRUE(SetKMode(FALSE));
}

TEST(VirtualMemory, HandsetsWithoutTheControllerHaveNoRegisters) {
  UseHandset("display = 240x320\nprocessor_name = OMAP850\n");
  EXPECT_EQ(device::lcdController(), nullptr);
  void *p = VirtualAlloc(nullptr, 4096, MEM_RESERVE, PAGE_NOACCESS);
  EXPECT_FALSE(VirtualCopy(p, reinterpret_cast<LPVOID>(0x440000), 4096, PAGE_READWRITE | PAGE_PHYSICAL));
  VirtualFree(p, 0, MEM_RELEASE);
  EXPECT_EQ(std::unique_ptr<LcdPlanes>(LcdPlanes::Create()), nullptr);
}

TEST_F(LcdTest, BasePlaneIsTheDisplay) {
  device::Display &d = device::display();
  for (int i = 0; i < 240 * 320; ++i) d.pixels()[i] = uint16_t(i * 7);
  std::unique_ptr<LcdPlanes> planes(LcdPlanes::Create());
  ASSERT_NE(planes, nullptr);
  FrameDesc f;
  ASSERT_TRUE(Frame(*planes, &f));
  EXPECT_EQ(f.format, uint32_t(FORMAT_RGB565));
  EXPECT_EQ(f.width, 240u);
  EXPECT_EQ(f.height, 320u);
  EXPECT_EQ(f.size, 240u * 320 * 2);
  EXPECT_EQ(std::memcmp(f.data, d.pixels(), f.size), 0);
  d.pixels()[5] = 0xABCD;  // the mapping follows what is drawn
  ASSERT_TRUE(Frame(*planes, &f));
  EXPECT_EQ(reinterpret_cast<uint16_t *>(f.data)[5], 0xABCD);
}

TEST_F(LcdTest, TheTopPlaneWinsAndGivesWayWhenHidden) {
  device::OverlaySetup o1, o2;
  o1.overlay = 1, o1.width = 160, o1.height = 120, o1.x = 8, o1.y = 16;
  o2.overlay = 2, o2.format = 4, o2.width = 176, o2.height = 144, o2.x = 32, o2.y = 48;
  ASSERT_TRUE(lcd->showOverlay(o1));
  ASSERT_TRUE(lcd->showOverlay(o2));
  std::unique_ptr<LcdPlanes> planes(LcdPlanes::Create());
  FrameDesc f;
  ASSERT_TRUE(Frame(*planes, &f));
  EXPECT_TRUE(planes->plane(LcdPlanes::OVERLAY2).active);
  EXPECT_FALSE(planes->plane(LcdPlanes::OVERLAY1).active);
  EXPECT_EQ(planes->plane(LcdPlanes::OVERLAY2).x, 32u);
  EXPECT_EQ(planes->plane(LcdPlanes::OVERLAY2).y, 48u);
  EXPECT_EQ(f.format, uint32_t(FORMAT_UYVY));
  EXPECT_EQ(f.width, 176u);
  EXPECT_EQ(f.height, 144u);
  EXPECT_EQ(f.size, 176u * 144 * 2);
  ExpectBars(f, false);

  lcd->hideOverlay(2);
  ASSERT_TRUE(Frame(*planes, &f));
  EXPECT_FALSE(planes->plane(LcdPlanes::OVERLAY2).active);
  EXPECT_EQ(f.format, uint32_t(FORMAT_RGB555));
  EXPECT_EQ(f.width, 160u);
  ExpectBars(f, true);

  lcd->hideOverlay(1);
  ASSERT_TRUE(Frame(*planes, &f));
  EXPECT_TRUE(planes->plane(LcdPlanes::BASE).active);
  EXPECT_EQ(f.format, uint32_t(FORMAT_RGB565));
  EXPECT_EQ(f.width, 240u);
}

TEST_F(LcdTest, EveryPlaneFormatConverts) {
  struct Case {
    const char *setup;
    uint32_t format;
  } const cases[] = {
      {"1:rgb16:64x32+0+0", FORMAT_RGB555},  {"2:rgb18:64x32+0+0", FORMAT_RGB565},
      {"1:rgb18p:64x32+0+0", FORMAT_RGB565}, {"2:rgb19:64x32+0+0", FORMAT_RGB565},
      {"2:rgb19p:64x32+0+0", FORMAT_RGB565}, {"2:ycbcr:64x32+0+0", FORMAT_UYVY},
      {"2:yuv444:64x32+0+0", FORMAT_UYVY},   {"2:yuv422:64x32+0+0", FORMAT_UYVY},
      {"2:yuv420:64x32+0+0", FORMAT_UYVY},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.setup);
    device::OverlaySetup setup;
    std::string error;
    ASSERT_TRUE(device::parseOverlaySetup(c.setup, &setup, &error)) << error;
    lcd->hideOverlay(1);
    lcd->hideOverlay(2);
    ASSERT_TRUE(lcd->showOverlay(setup));
    std::unique_ptr<LcdPlanes> planes(LcdPlanes::Create());
    FrameDesc f;
    ASSERT_TRUE(Frame(*planes, &f));
    EXPECT_EQ(f.format, c.format);
    EXPECT_EQ(f.width, 64u);
    EXPECT_EQ(f.height, 32u);
    ExpectBars(f, c.format == FORMAT_RGB555);
  }
}

TEST_F(LcdTest, APlaneLargerThanTheBufferGrowsIt) {
  device::OverlaySetup o;
  o.format = 4, o.width = 800, o.height = 600;
  ASSERT_TRUE(lcd->showOverlay(o));
  std::unique_ptr<LcdPlanes> planes(LcdPlanes::Create());
  FrameDesc f;
  ASSERT_TRUE(Frame(*planes, &f));
  EXPECT_GE(capacity, 800u * 600 * 2);
  EXPECT_EQ(f.size, 800u * 600 * 2);
  ExpectBars(f, false);
}

TEST_F(LcdTest, APlaneShorterThanItsSizeGivesNoFrame) {
  // A 480 x 640 frame buffer is longer than the descriptor's length field can say.
  UseHandset("display = 480x640\nprocessor_name = PXA270\n");
  ASSERT_NE(device::lcdController(), nullptr);
  std::unique_ptr<LcdPlanes> planes(LcdPlanes::Create());
  FrameDesc f;
  EXPECT_FALSE(Frame(*planes, &f));
  EXPECT_TRUE(planes->plane(LcdPlanes::BASE).active);
  EXPECT_LT(planes->plane(LcdPlanes::BASE).planes[0].length, 480u * 640 * 2);
}

TEST_F(LcdTest, APlanarOverlayWithoutChromaGivesNoFrame) {
  device::OverlaySetup o;
  o.format = 3, o.width = 64, o.height = 32;
  ASSERT_TRUE(lcd->showOverlay(o));
  lcd->write(device::FDADR4, 0x100);  // Cr's descriptor points nowhere
  std::unique_ptr<LcdPlanes> planes(LcdPlanes::Create());
  FrameDesc f;
  EXPECT_FALSE(Frame(*planes, &f));
  EXPECT_TRUE(planes->plane(LcdPlanes::OVERLAY2).active);
}

TEST(OverlaySetup, ParsesAndRefuses) {
  device::OverlaySetup s;
  std::string error;
  ASSERT_TRUE(device::parseOverlaySetup("2:yuv420:176x144+32+48", &s, &error));
  EXPECT_EQ(s.overlay, 2);
  EXPECT_EQ(s.format, 4u);
  EXPECT_EQ(s.width, 176u);
  EXPECT_EQ(s.y, 48u);
  for (const char *bad : {"1:yuv420:176x144+0+0", "3:rgb16:10x10+0+0", "2:rgb15:10x10+0+0", "2:rgb16:0x10+0+0",
                          "2:rgb16:2000x10+0+0", "2:rgb16:10x10+0", "2:rgb16:10x10+0+0x"})
    EXPECT_FALSE(device::parseOverlaySetup(bad, &s, &error)) << bad;
}

}  // namespace
