// The camera driver sources against the handset's emulated LCM1: and DSC1: drivers: their
// handshakes with the capture thread, the frames they hand on and the edge they blank.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "camera/driver_control.h"
#include "camera/dsc_source.h"
#include "camera/lcm_source.h"
#include "device/camera.h"
#include "device/drivers.h"
#include "device/profile.h"
#include "pipeline/pipeline.h"
#include "tests/support/stamp.h"

namespace {

using Clock = std::chrono::steady_clock;

// What the sources delivered.
struct Seen {
  std::mutex lock;
  std::condition_variable arrived;
  uint32_t frames = 0;
  std::vector<uint64_t> hashes;
  std::vector<uint8_t> last;
  FrameDesc desc{};
} g_seen;

uint64_t Hash(const uint8_t *p, size_t n) {
  uint64_t h = 1469598103934665603ull;
  for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
  return h;
}

bool WaitFrames(uint32_t count, int seconds = 10) {
  std::unique_lock<std::mutex> held(g_seen.lock);
  return g_seen.arrived.wait_for(held, std::chrono::seconds(seconds), [&] { return g_seen.frames >= count; });
}

uint32_t Frames() {
  std::lock_guard<std::mutex> held(g_seen.lock);
  return g_seen.frames;
}

void ResetSeen() {
  std::lock_guard<std::mutex> held(g_seen.lock);
  g_seen.frames = 0;
  g_seen.hashes.clear();
  g_seen.last.clear();
  g_seen.desc = {};
}

StreamParams Params(uint32_t captureWidth, uint32_t captureHeight, uint32_t cropWidth, uint32_t cropHeight) {
  StreamParams p{};
  p.exposure = 2;
  p.captureWidth = captureWidth;
  p.captureHeight = captureHeight;
  p.cropLeft = p.cropLeft2 = (captureWidth - cropWidth) / 2;
  p.cropTop = p.cropTop2 = (captureHeight - cropHeight) / 2;
  p.cropRight = p.cropRight2 = p.cropLeft + cropWidth - 1;
  p.cropBottom = p.cropBottom2 = p.cropTop + cropHeight - 1;
  p.one = 1;
  p.displayBottom = 239;
  p.displayRight = 319;
  p.callback = NoFrameCallback;
  return p;
}

// The stamp of the last frame, read from its luma.
std::optional<device::FrameStamp> LastStamp() {
  std::lock_guard<std::mutex> held(g_seen.lock);
  const FrameDesc &d = g_seen.desc;
  std::vector<uint8_t> rgb(size_t(d.width) * d.height * 3);
  for (size_t i = 0; i < size_t(d.width) * d.height && 2 * i + 1 < g_seen.last.size(); ++i)
    rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = g_seen.last[2 * i + 1];
  return ReadFrameStamp(rgb.data(), int(d.width), int(d.height));
}

class DriverSources : public testing::Test {
 protected:
  void SetUp() override {
    unsetenv("HANDSET_FAULTS");
    device::setCameraPower(false);
    ResetSeen();
  }
  void TearDown() override {
    unsetenv("HANDSET_FAULTS");
    device::setCameraPower(false);
  }
  void handset(const char *kind) {
    device::setCurrent(device::Profile::parse(std::string("camera = ") + kind +
                                                  "\ncamera_largest = 1280x960\ncamera_native = 1280x960\n"
                                                  "camera_rate = 30\nplatform_type = PocketPC\n",
                                              "driver-test.profile"));
    device::resetSensor();
  }
  static uint32_t Start(const SourceOps &ops, const StreamParams &p) { return ops.Start(uintptr_t(&p), 0, 0, 0); }
  static uint32_t Stop(const SourceOps &ops) { return ops.Stop(0, 0, 0, 0); }
  static uint32_t Close(const SourceOps &ops) { return ops.Close(0, 0, 0, 0); }
};

struct Driver {
  const char *kind;
  const SourceOps *ops;
};
const Driver kDrivers[] = {{"lcm", &LcmDriverSource}, {"dsc", &DscDriverSource}};

TEST_F(DriverSources, StopOfASourceThatNeverStartedReturnsWithinASecond) {
  for (const Driver &d : kDrivers) {
    SCOPED_TRACE(d.kind);
    handset(d.kind);
    DWORD word = 1;
    ASSERT_EQ(d.ops->Open(uintptr_t(&word), 0, 0, 0), 1u);
    const auto before = Clock::now();
    Stop(*d.ops);
    EXPECT_LT(Clock::now() - before, std::chrono::seconds(1));
    EXPECT_EQ(Close(*d.ops), 1u);
    EXPECT_EQ(g_DriverControl.run, nullptr) << "the events were closed";
    EXPECT_EQ(Close(*d.ops), 0u) << "nothing left to close";
  }
}

TEST_F(DriverSources, EachDeliversItsCropOfTheCamerasPictureAndStopsAndStartsAgain) {
  const struct {
    uint32_t captureWidth, captureHeight, cropWidth, cropHeight;
  } sizes[] = {{640, 480, 640, 480}, {640, 480, 320, 240}, {1280, 960, 1280, 960}, {176, 144, 176, 132},
               {160, 120, 160, 120}};
  for (const Driver &d : kDrivers) {
    handset(d.kind);
    DWORD word = 1;
    ASSERT_EQ(d.ops->Open(uintptr_t(&word), 0, 0, 0), 1u) << d.kind;
    for (const auto &s : sizes) {
      SCOPED_TRACE(std::string(d.kind) + " " + std::to_string(s.captureWidth) + " crop " +
                   std::to_string(s.cropWidth) + "x" + std::to_string(s.cropHeight));
      ResetSeen();
      ASSERT_EQ(Start(*d.ops, Params(s.captureWidth, s.captureHeight, s.cropWidth, s.cropHeight)), 1u);
      EXPECT_TRUE(WaitFrames(2));
      Stop(*d.ops);
      const uint32_t stopped = Frames();
      EXPECT_EQ(g_seen.desc.width, s.cropWidth);
      EXPECT_EQ(g_seen.desc.height, s.cropHeight);
      EXPECT_EQ(g_seen.desc.size, s.cropWidth * s.cropHeight * 2);
      EXPECT_EQ(g_seen.desc.format, uint32_t(FORMAT_UYVY));
      EXPECT_TRUE(LastStamp().has_value()) << "the camera's picture carries its stamp";
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      EXPECT_EQ(Frames(), stopped) << "no frame after Stop";
    }
    EXPECT_EQ(Close(*d.ops), 1u);
  }
}

TEST_F(DriverSources, ASecondOpenOfTheLcmSourceIsRefusedAndLeavesTheOpenDeviceAlone) {
  handset("lcm");
  DWORD word = 1;
  ASSERT_EQ(LcmDriverSource.Open(uintptr_t(&word), 0, 0, 0), 1u);
  EXPECT_EQ(word, 0u) << "the driver's answer to the initialising request";
  ASSERT_EQ(Start(LcmDriverSource, Params(320, 240, 320, 240)), 1u);
  ASSERT_TRUE(WaitFrames(1));
  DWORD second = 5;
  EXPECT_EQ(LcmDriverSource.Open(uintptr_t(&second), 0, 0, 0), 0u);
  EXPECT_EQ(second, 5u);
  const uint32_t before = Frames();
  EXPECT_TRUE(WaitFrames(before + 3)) << "the open device streams on";
  Stop(LcmDriverSource);
  EXPECT_EQ(Close(LcmDriverSource), 1u);
  EXPECT_FALSE(device::cameraPowered()) << "Close powers the camera off";
}

TEST_F(DriverSources, TheInitialisingRequestFailingClosesEverything) {
  handset("lcm");
  setenv("HANDSET_FAULTS", "lcm-init-silent", 1);
  DWORD word = 0;
  EXPECT_EQ(LcmDriverSource.Open(uintptr_t(&word), 0, 0, 0), 0u);
  EXPECT_EQ(word, 1u);
  EXPECT_EQ(g_DriverControl.run, nullptr);
  EXPECT_EQ(g_DriverControl.threadExited, nullptr);
  // The device handle was closed: the driver, which takes one caller, opens again.
  HANDLE lcm = CreateFileW(TEXT("LCM1:"), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(lcm, INVALID_HANDLE_VALUE);
  CloseHandle(lcm);
  EXPECT_EQ(Start(LcmDriverSource, Params(320, 240, 320, 240)), 0u) << "no device to start";
  unsetenv("HANDSET_FAULTS");
  ASSERT_EQ(LcmDriverSource.Open(uintptr_t(&word), 0, 0, 0), 1u);
  EXPECT_EQ(Close(LcmDriverSource), 1u);
}

TEST_F(DriverSources, AFetchWithoutAFrameIsRetried) {
  handset("lcm");
  setenv("HANDSET_FAULTS", "lcm-no-frame", 1);
  DWORD word = 1;
  ASSERT_EQ(LcmDriverSource.Open(uintptr_t(&word), 0, 0, 0), 1u);
  ASSERT_EQ(Start(LcmDriverSource, Params(320, 240, 320, 240)), 1u);
  // The driver has no frame for the stream's first half second.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(Frames(), 0u);
  EXPECT_TRUE(WaitFrames(3));
  Stop(LcmDriverSource);
  Close(LcmDriverSource);
}

TEST_F(DriverSources, AFailedReadDeliversThePreviousFrameAgain) {
  for (bool fault : {false, true}) {
    SCOPED_TRACE(fault ? "reads fail" : "reads succeed");
    handset("dsc");
    if (fault) setenv("HANDSET_FAULTS", "dsc-read-fails", 1);
    ResetSeen();
    DWORD word = 1;
    ASSERT_EQ(DscDriverSource.Open(uintptr_t(&word), 0, 0, 0), 1u);
    ASSERT_EQ(Start(DscDriverSource, Params(320, 240, 320, 240)), 1u);
    EXPECT_TRUE(WaitFrames(6)) << "frames arrive whether or not the reads succeed";
    Stop(DscDriverSource);
    Close(DscDriverSource);
    unsetenv("HANDSET_FAULTS");
    const std::set<uint64_t> distinct(g_seen.hashes.begin(), g_seen.hashes.end());
    if (fault)
      EXPECT_EQ(distinct.size(), 1u) << "after the first frame, the buffer as it stood";
    else
      EXPECT_GT(distinct.size(), 1u) << "a new picture each read";
  }
}

TEST_F(DriverSources, EdgeBlankingOnExactlyTheTwoSmallModes) {
  const struct {
    uint32_t captureWidth, captureHeight, cropWidth, cropHeight, blanked;
  } rows[] = {
      {320, 240, 320, 240, 4}, {160, 120, 160, 120, 6}, {320, 240, 256, 192, 0}, {160, 120, 128, 96, 0},
      {640, 480, 640, 480, 0}, {176, 144, 176, 144, 0}, {352, 288, 352, 288, 0},
  };
  handset("lcm");
  DWORD word = 1;
  ASSERT_EQ(LcmDriverSource.Open(uintptr_t(&word), 0, 0, 0), 1u);
  for (const auto &r : rows) {
    SCOPED_TRACE(std::to_string(r.captureWidth) + "x" + std::to_string(r.captureHeight) + " crop " +
                 std::to_string(r.cropWidth) + "x" + std::to_string(r.cropHeight));
    ResetSeen();
    ASSERT_EQ(Start(LcmDriverSource, Params(r.captureWidth, r.captureHeight, r.cropWidth, r.cropHeight)), 1u);
    ASSERT_TRUE(WaitFrames(1));
    Stop(LcmDriverSource);
    const std::vector<uint8_t> &f = g_seen.last;
    ASSERT_EQ(f.size(), size_t(r.cropWidth) * r.cropHeight * 2);
    int black = 0, wrong = 0;
    for (uint32_t y = 0; y < r.cropHeight; ++y) {
      const uint8_t *row = &f[size_t(y) * r.cropWidth * 2];
      // Black is U = V = 128 and Y = 0, which the camera itself never gives (its luma starts at 16).
      for (uint32_t x = 0; x < r.cropWidth; ++x) {
        const bool isBlack = row[2 * x + 1] == 0 && row[(2 * x) & ~3u] == 128 && row[((2 * x) & ~3u) + 2] == 128;
        const bool edge = x >= r.cropWidth - r.blanked;
        black += isBlack;
        wrong += isBlack != edge;
      }
    }
    EXPECT_EQ(black, int(r.blanked * r.cropHeight));
    EXPECT_EQ(wrong, 0);
  }
  Close(LcmDriverSource);
}

TEST_F(DriverSources, PropertiesRegistersAndTheFlash) {
  const struct {
    const char *kind;
    uint32_t id, value;
    bool taken;
  } rows[] = {
      {"lcm", 5, 9, true},  {"lcm", 5, 10, false}, {"lcm", 8, 0, true},   {"lcm", 10, 128, true},
      {"lcm", 10, 32, false}, {"lcm", 3, 1, false}, {"dsc", 4, 8, true},  {"dsc", 5, 7, false},
      {"dsc", 5, 0, true},  {"dsc", 2, 4, true},
  };
  for (const auto &r : rows) {
    SCOPED_TRACE(std::string(r.kind) + " property " + std::to_string(r.id) + " = " + std::to_string(r.value));
    handset(r.kind);
    const SourceOps &ops = std::string(r.kind) == "lcm" ? LcmDriverSource : DscDriverSource;
    DWORD word = 1;
    ASSERT_EQ(ops.Open(uintptr_t(&word), 0, 0, 0), 1u);
    EXPECT_EQ(ops.SetProperty(r.id, r.value, 0, 0) != 0, r.taken);
    DWORD value = 12345;
    ops.GetProperty(r.id, uintptr_t(&value), 0, 0);
    if (r.taken) {
      EXPECT_EQ(value, r.value);
    }
    EXPECT_NE(value, 12345u) << "the word is written either way";
    Close(ops);
  }

  handset("lcm");
  DWORD word = 1;
  ASSERT_EQ(LcmDriverSource.Open(uintptr_t(&word), 0, 0, 0), 1u);
  EXPECT_EQ(LcmDriverSource.WriteRegister(0x12, 0x34, 0, 0), 1u);
  DWORD reg = 0xFFFFFFFF;
  EXPECT_EQ(LcmDriverSource.ReadRegister(0x12, uintptr_t(&reg), 0, 0), 1u);
  EXPECT_EQ(reg & 0xFFFF, 0x34u);
  EXPECT_EQ(LcmDriverSource.FlashLight(FLASH_LIGHT_ON, 0, 0, 0), 1u);
  EXPECT_TRUE(device::sensor()->controls().flash);
  EXPECT_EQ(LcmDriverSource.FlashLight(FLASH_LIGHT_OFF, 0, 0, 0), 1u);
  EXPECT_FALSE(device::sensor()->controls().flash);
  Close(LcmDriverSource);
  EXPECT_EQ(DscDriverSource.FlashLight, nullptr);
  EXPECT_EQ(DscDriverSource.ReadRegister, nullptr);
}

}  // namespace

uint32_t OnFrame(const FrameDesc *frame, uint32_t) {
  std::lock_guard<std::mutex> held(g_seen.lock);
  g_seen.desc = *frame;
  g_seen.last.assign(frame->data, frame->data + frame->size);
  g_seen.hashes.push_back(Hash(frame->data, frame->size));
  ++g_seen.frames;
  g_seen.arrived.notify_all();
  return 1;
}

void FormatFallback() {}
