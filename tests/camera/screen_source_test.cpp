// The screen source: the sizes it offers, the picture it makes (colour bars, the display, the
// LCD controller's top plane) and the frame buffer it sizes from the display.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdlib>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "app/settings.h"
#include "camera/camera.h"
#include "camera/lcd_planes.h"
#include "camera/screen_source.h"
#include "camera_state.h"
#include "device/display.h"
#include "frame_sink.h"
#include "device/lcd.h"
#include "device/profile.h"

namespace {

TEST(ScreenSizes, TheDisplayAndATrimmedCaptureWindow) {
  struct Case {
    int32_t window[4];
    uint32_t count;
    int32_t trimmed[4];
  } const cases[] = {
      {{3, 5, 100, 50}, 2, {2, 4, 96, 48}},
      {{0, 0, 240, 320}, 1, {0, 0, 0, 320}},   // the whole display: switched off
      {{160, 0, 96, 48}, 1, {160, 0, 0, 48}},  // past the right edge
      {{-2, 0, 32, 32}, 1, {-2, 0, 0, 32}},
      {{0, 0, 15, 32}, 1, {0, 0, 0, 32}},      // less than 16 wide
  };
  for (const Case &c : cases) {
    DeviceRecord d{};
    d.width = 240, d.height = 320;
    std::memcpy(d.captureWindow, c.window, sizeof(c.window));
    SizeEntry sizes[16];
    uint32_t count = 16;
    ASSERT_EQ(ScreenSource.EnumSizes(uintptr_t(sizes), uintptr_t(&count), uintptr_t(&d), 1), 1u);
    ASSERT_EQ(count, c.count) << c.window[0] << "," << c.window[1] << " " << c.window[2] << "x" << c.window[3];
    EXPECT_EQ(sizes[0].width, 240u);
    EXPECT_EQ(sizes[0].height, 320u);
    EXPECT_EQ(sizes[0].format, uint32_t(FORMAT_UYVY));
    if (count == 2) {
      EXPECT_EQ(sizes[1].width, 96u);
      EXPECT_EQ(sizes[1].height, 48u);
    }
    for (int i = 0; i < 4; ++i) EXPECT_EQ(d.captureWindow[i], c.trimmed[i]) << "word " << i;
  }
}

TEST(ScreenSizes, TheSlotsTheSourceLeavesEmptyOrRefuses) {
  EXPECT_EQ(ScreenSource.ReadRegister, nullptr);
  EXPECT_EQ(ScreenSource.WriteRegister, nullptr);
  EXPECT_EQ(ScreenSource.SetFormat, nullptr);
  EXPECT_EQ(ScreenSource.TakeStill, nullptr);
  for (SourceOp op : {ScreenSource.SetProperty, ScreenSource.GetProperty, ScreenSource.FlashLight,
                      ScreenSource.SetMpegInfoParam, ScreenSource.GetYUV2JpegParam, ScreenSource.SetYUV2JpegParam,
                      ScreenSource.Reserved15}) {
    ASSERT_NE(op, nullptr);
    EXPECT_EQ(op(1, 2, 0, 0), 0u);
  }
}

class ScreenPictureTest : public testing::Test {
 protected:
  void SetUp() override {
    device::setCurrent(device::Profile::parse("display = 240x320\nprocessor_name = PXA270\n", "test.profile"));
    device::resetDisplay();
    ResetCamera();
    device::Display &d = device::display();
    g_App.device.frameBuffer = reinterpret_cast<uint8_t *>(d.pixels());
    g_App.device.bitsPerPixel = 16;
    g_App.device.width = 240;
    g_App.device.height = 320;
    for (int i = 0; i < 240 * 320; ++i) d.pixels()[i] = uint16_t(i * 13);
    ShapeArithmetic(overlayCapture, 2, 0, 1, 0);
    overlayCapture.index = -1;
    g_App.settings[SET_OVERLAY_CAPTURE] = &overlayCapture;
    capacity = 240 * 320 * 2;
    buffer = static_cast<uint8_t *>(std::malloc(capacity));
  }
  void TearDown() override {
    g_App.settings[SET_OVERLAY_CAPTURE] = nullptr;
    g_App.ScreenCaptureMode = 0;
    if (device::LcdController *lcd = device::lcdController()) lcd->hideOverlay(2);
    std::free(buffer);
  }
  FrameDesc Stream(uint32_t width, uint32_t height) { return {nullptr, width * height * 2, 0, width, height}; }

  OptionList overlayCapture{};
  uint8_t *buffer = nullptr;
  uint32_t capacity = 0;
};

TEST_F(ScreenPictureTest, WithoutScreenCaptureColourBarsInTheirOrder) {
  FrameDesc f = Stream(64, 4);
  ASSERT_TRUE(ScreenPicture(&buffer, &capacity, nullptr, &f));
  EXPECT_EQ(f.data, buffer);
  EXPECT_EQ(f.format, uint32_t(FORMAT_UYVY));
  EXPECT_EQ(f.width, 64u);
  for (uint32_t y = 0; y < 4; ++y)
    for (uint32_t x = 0; x < 64; x += 2) {
      const ColourBar &b = kColourBars[x / 8];
      const uint8_t *p = buffer + (y * 64 + x) * 2;
      ASSERT_EQ(p[0], b.u);
      ASSERT_EQ(p[1], b.y);
      ASSERT_EQ(p[2], b.v);
      ASSERT_EQ(p[3], b.y);
    }
}

TEST_F(ScreenPictureTest, ScreenCaptureCopiesTheDisplay) {
  g_App.ScreenCaptureMode = 1;
  FrameDesc f = Stream(240, 320);
  ASSERT_TRUE(ScreenPicture(&buffer, &capacity, nullptr, &f));
  EXPECT_EQ(f.format, uint32_t(FORMAT_RGB565));
  EXPECT_EQ(f.width, 240u);
  EXPECT_EQ(std::memcmp(buffer, device::display().pixels(), 240 * 320 * 2), 0);
  f = Stream(96, 48);  // a stream of the capture window still gets the whole display
  ASSERT_TRUE(ScreenPicture(&buffer, &capacity, nullptr, &f));
  EXPECT_EQ(f.width, 240u);
  EXPECT_EQ(f.height, 320u);
  EXPECT_EQ(f.size, 240u * 320 * 2);
  g_App.device.frameBuffer = nullptr;  // no frame buffer known: no picture
  EXPECT_FALSE(ScreenPicture(&buffer, &capacity, nullptr, &f));
}

TEST_F(ScreenPictureTest, OverlayCaptureTakesTheVideoOverlayWhenTheSettingIsOn) {
  g_App.ScreenCaptureMode = 1;
  device::OverlaySetup o;
  o.format = 4, o.width = 176, o.height = 144, o.x = 32, o.y = 48;
  ASSERT_TRUE(device::lcdController()->showOverlay(o));
  std::unique_ptr<LcdPlanes> planes(LcdPlanes::Create());
  ASSERT_NE(planes, nullptr);
  FrameDesc f = Stream(240, 320);
  ASSERT_TRUE(ScreenPicture(&buffer, &capacity, planes.get(), &f));
  EXPECT_EQ(f.format, uint32_t(FORMAT_RGB565));  // the setting is off: the display
  overlayCapture.index = 1;
  f = Stream(240, 320);
  ASSERT_TRUE(ScreenPicture(&buffer, &capacity, planes.get(), &f));
  EXPECT_EQ(f.format, uint32_t(FORMAT_UYVY));
  EXPECT_EQ(f.width, 176u);
  EXPECT_EQ(f.height, 144u);
  EXPECT_EQ(f.data[1], kColourBars[0].y);
}

TEST(ScreenStream, TheFrameBufferIsSizedFromTheDisplay) {
  ResetCamera();
  std::vector<uint16_t> screen(800 * 600);
  g_App.device.frameBuffer = reinterpret_cast<uint8_t *>(screen.data());
  g_App.device.bitsPerPixel = 16;
  g_App.device.width = 800;
  g_App.device.height = 600;
  uint32_t mode = 2;
  ASSERT_EQ(ScreenSource.Open(uintptr_t(&mode), 0, 0, 0), 1u);
  StreamParams p{};
  p.cropRight = 799, p.cropBottom = 599;  // 960000 bytes: more than 640 x 480 x 3
  EXPECT_EQ(ScreenSource.Start(uintptr_t(&p), 0, 0, 0), 1u);
  EXPECT_EQ(ScreenSource.Stop(0, 0, 0, 0), 1u);
  p.cropRight = 1023, p.cropBottom = 1023;  // larger than anything the source offers
  EXPECT_EQ(ScreenSource.Start(uintptr_t(&p), 0, 0, 0), 0u);
  EXPECT_EQ(ScreenSource.Close(0, 0, 0, 0), 1u);
}

// The capture thread: frames at the frame interval, colour bars outside screen capture,
// and the Camera running the screen source through a still.
class ScreenThreadTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetCamera();
    ResetSink();
    g_App.device.width = 240;
    g_App.device.height = 320;
    g_App.device.bitsPerPixel = 16;
    g_App.device.frameBuffer = reinterpret_cast<uint8_t *>(screen.data());
    g_App.settings[SET_VIDEO_INTERVAL] = &interval;
  }
  void TearDown() override {
    g_App.settings[SET_VIDEO_INTERVAL] = nullptr;
    g_App.device.frameBuffer = nullptr;
  }
  void Interval(int32_t ms) { ShapeArithmetic(interval, 1, ms, 0, 0); }
  // Waits (generously) until the sink has seen n frames.
  static bool WaitForFrames(uint32_t n) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (g_sink.frames < n) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }

  std::vector<uint16_t> screen = std::vector<uint16_t>(240 * 320, 0x1234);
  OptionList interval{};
};

TEST_F(ScreenThreadTest, ColourBarsFlowUnlessTheIntervalHoldsThemBack) {
  struct Case {
    int32_t interval;
    bool paced;
  } const cases[] = {
      {0, false},     // as fast as the thread loops
      {5000, false},  // more than 2048 ms ahead: not waited for
      {300, true},
  };
  uint32_t mode = 2;
  ASSERT_EQ(ScreenSource.Open(uintptr_t(&mode), 0, 0, 0), 1u);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.interval);
    Interval(c.interval);
    ResetSink();
    StreamParams p{};
    p.cropLeft = 16, p.cropTop = 8, p.cropRight = 16 + 63, p.cropBottom = 8 + 7;
    ASSERT_EQ(ScreenSource.Start(uintptr_t(&p), 0, 0, 0), 1u);
    if (c.paced) {
      std::this_thread::sleep_for(std::chrono::milliseconds(900));
    } else {
      EXPECT_TRUE(WaitForFrames(5));
    }
    EXPECT_EQ(ScreenSource.Stop(0, 0, 0, 0), 1u);
    const uint32_t seen = g_sink.frames;
    // 900 ms hold at most four frames 300 ms apart; a slow machine only gives fewer.
    if (c.paced) {
      EXPECT_LE(seen, 4u);
    }
    ASSERT_GE(seen, 1u);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(g_sink.frames, seen);  // nothing after Stop
    const FrameDesc &f = g_sink.last;
    EXPECT_EQ(f.format, uint32_t(FORMAT_UYVY));
    EXPECT_EQ(f.width, 64u);
    EXPECT_EQ(f.height, 8u);
    ASSERT_EQ(f.size, 64u * 8 * 2);
    for (uint32_t x = 0; x < 64; x += 2) {
      const ColourBar &b = kColourBars[x / 8];
      const uint8_t *pair = &g_sink.data[(7 * 64 + x) * 2];
      ASSERT_EQ(pair[0], b.u) << x;
      ASSERT_EQ(pair[1], b.y) << x;
      ASSERT_EQ(pair[2], b.v) << x;
    }
  }
  EXPECT_EQ(ScreenSource.Close(0, 0, 0, 0), 1u);
}

// CPU time of the whole process (every thread) so far.
std::chrono::microseconds ProcessCpu() {
  rusage use{};
  getrusage(RUSAGE_SELF, &use);
  auto us = [](const timeval &t) { return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec); };
  return us(use.ru_utime) + us(use.ru_stime);
}

TEST_F(ScreenThreadTest, WithNothingToCopyTheThreadWaitsInsteadOfSpinning) {
  Interval(0);
  g_App.ScreenCaptureMode = 1;
  g_App.device.frameBuffer = nullptr;
  uint32_t mode = 1;
  ASSERT_EQ(ScreenSource.Open(uintptr_t(&mode), 0, 0, 0), 1u);
  StreamParams p{};
  p.cropRight = 239, p.cropBottom = 319;
  const auto before = ProcessCpu();
  ASSERT_EQ(ScreenSource.Start(uintptr_t(&p), 0, 0, 0), 1u);
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  const auto used = ProcessCpu() - before;
  const auto stopping = std::chrono::steady_clock::now();
  EXPECT_EQ(ScreenSource.Stop(0, 0, 0, 0), 1u);
  // The stop request wakes the wait: well within the 2048 ms Stop allows.
  EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::milliseconds(1500));
  EXPECT_EQ(ScreenSource.Close(0, 0, 0, 0), 1u);
  EXPECT_EQ(g_sink.frames, 0u);
  // A spinning thread burns most of the second even on a busy machine; waiting costs nearly nothing.
  EXPECT_LT(used, std::chrono::milliseconds(100));
}

TEST_F(ScreenThreadTest, TheCameraCapturesAStillOfTheDisplay) {
  Interval(0);
  g_App.ScreenCaptureMode = 1;
  CameraInit(&g_App.device);
  ASSERT_EQ(g_App.camera.ops, &ScreenSource);
  ASSERT_EQ(CameraOpen(), 1u);
  ASSERT_EQ(Reconfigure(0), 1u);
  ASSERT_EQ(StartStream(), 1u);
  ASSERT_TRUE(WaitForFrames(2));
  EXPECT_EQ(g_sink.stills, 0u);
  EXPECT_EQ(CameraCapture(1, 0, 8192), 1u);
  EXPECT_EQ(g_sink.stills, 1u);
  EXPECT_TRUE(g_App.camera.streaming);
  EXPECT_EQ(g_App.camera.activeKind, uint32_t(STREAM_PREVIEW));
  EXPECT_EQ(CameraClose(), 1u);
  const FrameDesc &f = g_sink.last;
  EXPECT_EQ(f.format, uint32_t(FORMAT_RGB565));
  EXPECT_EQ(f.width, 240u);
  EXPECT_EQ(f.height, 320u);
  ASSERT_EQ(g_sink.data.size(), 240u * 320 * 2);
  EXPECT_EQ(std::memcmp(g_sink.data.data(), screen.data(), g_sink.data.size()), 0);
}

}  // namespace
