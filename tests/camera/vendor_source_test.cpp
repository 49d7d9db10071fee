// The sizes of the camera sources without DirectShow, and the vendor camera library source
// against the handset's library stand-in.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/appstate.h"
#include "app/detect.h"
#include "app/device.h"
#include "camera/enum_sizes.h"
#include "camera/vendor_source.h"
#include "device/camera.h"
#include "device/profile.h"
#include "frame_sink.h"

namespace {

std::string Sizes(uint32_t model, uint32_t mode, bool smartphone = false, SensorModes *modes = nullptr) {
  DeviceRecord device{};
  device.modelCode = model;
  device.smartphone = smartphone;
  SizeEntry sizes[16] = {{16384, 16384, 0}};
  uint32_t count = 16;
  SensorModes m{};
  if (!EnumSizes(sizes, &count, device, mode, &m)) return "fails";
  if (modes) *modes = m;
  std::string s;
  for (uint32_t i = 0; i < count; ++i)
    s += (i ? " " : "") + std::to_string(sizes[i].width) + "x" + std::to_string(sizes[i].height) +
         (sizes[i].format == FORMAT_IJPG ? "j" : sizes[i].format == FORMAT_UYVY ? "" : "?");
  return s;
}

TEST(EnumSizes, TheModelGivesTheSizesAndTheNativeSize) {
  struct Row {
    uint32_t model, mode;
    bool smartphone;
    const char *sizes;
    uint32_t nativeWidth, nativeHeight;
  } rows[] = {
      {4, 1, false, "160x120 176x144 320x240 352x288 640x480 1280x1024 1600x1200", 640, 480},
      {7, 0, true, "160x120 176x144 320x240 352x288 640x480", 352, 288},
      {0, 0, false, "160x120 176x144 320x240 352x288 640x480 1280x960", 1280, 960},
      {9, 2, false, "160x120 176x144 320x240 352x288", 352, 288},
      {11, 0, false, "160x120j 176x144j 320x240j 352x288j 640x480j 1280x1024j 1600x1200j", 1600, 1200},
      {11, 2, false, "160x120j 320x240j", 1600, 1200},
      {13, 0, false, "160x120 176x144 320x240 352x288 640x480 1280x1024", 640, 480},
      {13, 0, true, "160x120 176x144 320x240 352x288 640x480 1280x1024", 352, 288},
  };
  for (const Row &r : rows) {
    SCOPED_TRACE("model " + std::to_string(r.model) + " mode " + std::to_string(r.mode));
    SensorModes modes{};
    EXPECT_EQ(Sizes(r.model, r.mode, r.smartphone, &modes), r.sizes);
    EXPECT_EQ(modes.nativeWidth, r.nativeWidth);
    EXPECT_EQ(modes.nativeHeight, r.nativeHeight);
    EXPECT_EQ(modes.jpeg, r.model == 11);
  }
  EXPECT_EQ(Sizes(15, 0), "fails");
}

TEST(EnumSizes, TheCallersLargestSizeAndCapacityBound) {
  DeviceRecord device{};
  device.modelCode = 4;
  SizeEntry sizes[16] = {{640, 480, 0}};
  uint32_t count = 16;
  SensorModes modes{};
  ASSERT_TRUE(EnumSizes(sizes, &count, device, 0, &modes));
  EXPECT_EQ(count, 5u);
  EXPECT_EQ(sizes[4].width, 640u);
  sizes[0] = {16384, 16384, 0};
  count = 3;
  ASSERT_TRUE(EnumSizes(sizes, &count, device, 0, &modes));
  EXPECT_EQ(count, 3u);
}

// The vendor source over the library stand-in on the handset with the warm-up: its sensor is
// 640 x 480, its largest size 1280 x 1024.
class VendorSource : public testing::Test {
 protected:
  void SetUp() override {
    root_ = std::filesystem::temp_directory_path() / ("vendor-source-" + std::to_string(::getpid()));
    std::filesystem::create_directories(root_);
    device::setRoot(root_.string());
    device::setCurrent(device::Profile::load(device::profileDirectory() + "/htc-wizard.profile"));
    device::resetSensor();
    ResetSink();
    DetectDevice(&g_App.device);
    ASSERT_EQ(g_App.device.modelCode, 5u);
  }
  void TearDown() override {
    unsetenv("HANDSET_FAULTS");
    std::filesystem::remove_all(root_);
  }

  static uint32_t Call(SourceOp op, uintptr_t a = 0, uintptr_t b = 0, uintptr_t c = 0) { return op(a, b, c, 0); }
  // Opens the camera in photo mode and learns its sizes.
  uint32_t Open() {
    uint32_t mode = 1;
    if (!Call(VendorCameraSource.Open, uintptr_t(&mode))) return 0;
    SizeEntry sizes[16] = {{16384, 16384, 0}};
    uint32_t count = 16;
    return Call(VendorCameraSource.EnumSizes, uintptr_t(sizes), uintptr_t(&count), uintptr_t(&g_App.device));
  }
  // Starts a stream of the whole sensor picture at the size.
  uint32_t Start(uint32_t width, uint32_t height, uint32_t kind) {
    params_ = StreamParams{};
    params_.captureWidth = width, params_.captureHeight = height;
    params_.cropRight = params_.cropRight2 = width - 1;
    params_.cropBottom = params_.cropBottom2 = height - 1;
    params_.one = 1;
    params_.displayBottom = 239, params_.displayRight = 319;
    params_.kind = kind;
    return Call(VendorCameraSource.Start, uintptr_t(&params_));
  }
  static bool FramesArrive(uint32_t count, int seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (g_sink.frames < count)
      if (std::chrono::steady_clock::now() > deadline)
        return false;
      else
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return true;
  }
  // The mean luma of the latest frame (UYVY: every second byte).
  static double MeanLuma() {
    double sum = 0;
    for (size_t i = 1; i < g_sink.data.size(); i += 2) sum += g_sink.data[i];
    return g_sink.data.empty() ? 0 : sum / double(g_sink.data.size() / 2);
  }

  std::filesystem::path root_;
  StreamParams params_{};
};

// Above its native size the library streams only after a 320 x 240 warm-up; the source's
// capture thread then delivers full-size frames until Stop.
TEST_F(VendorSource, AFullSizeStreamDeliversAfterItsWarmUp) {
  ASSERT_EQ(Open(), 1u);
  ASSERT_EQ(Start(1280, 1024, STREAM_PREVIEW), 1u);
  EXPECT_TRUE(FramesArrive(3, 30));
  EXPECT_EQ(Call(VendorCameraSource.Stop), 1u);
  EXPECT_EQ(g_sink.last.width, 1280u);
  EXPECT_EQ(g_sink.last.height, 1024u);
  EXPECT_EQ(g_sink.data.size(), 1280u * 1024 * 2);
  EXPECT_EQ(Call(VendorCameraSource.Close), 1u);
}

TEST_F(VendorSource, ABrightnessStepMovesTheMeanLuma) {
  ASSERT_EQ(Open(), 1u);
  double luma[2];
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(Call(VendorCameraSource.SetProperty, 5, i ? 200 : 60), 1u);
    ResetSink();
    ASSERT_EQ(Start(320, 240, STREAM_PREVIEW), 1u);
    EXPECT_TRUE(FramesArrive(2, 30));
    Call(VendorCameraSource.Stop);
    luma[i] = MeanLuma();
  }
  EXPECT_GT(luma[1], luma[0] + 20);
  Call(VendorCameraSource.Close);
}

// A library that fails leaves the source with an answer, never a hang: initialisation refused,
// a warm-up that never delivers, a full-size cycle that times out.
TEST_F(VendorSource, TheLibrarysFaultsEndInAnAnswer) {
  setenv("HANDSET_FAULTS", "camera-init", 1);
  EXPECT_EQ(Open(), 0u);

  setenv("HANDSET_FAULTS", "warmup-silent", 1);
  ASSERT_EQ(Open(), 1u);
  EXPECT_EQ(Start(1280, 1024, STREAM_STILL), 0u);  // after the warm-up's wait
  EXPECT_EQ(Start(320, 240, STREAM_PREVIEW), 1u);  // the native size needs no warm-up
  EXPECT_TRUE(FramesArrive(1, 30));
  Call(VendorCameraSource.Stop);
  Call(VendorCameraSource.Close);

  setenv("HANDSET_FAULTS", "cycle-timeout", 1);
  ResetSink();
  ASSERT_EQ(Open(), 1u);
  ASSERT_EQ(Start(1280, 1024, STREAM_PREVIEW), 1u);
  std::this_thread::sleep_for(std::chrono::seconds(1));
  EXPECT_EQ(Call(VendorCameraSource.Stop), 1u);  // wakes the waiting thread
  EXPECT_EQ(g_sink.frames, 0u);
  EXPECT_EQ(Call(VendorCameraSource.Close), 1u);
}

}  // namespace
