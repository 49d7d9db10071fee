// The sizes of the camera sources without DirectShow, and the vendor camera library source
// against the handset's library stand-in.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/device.h"
#include "camera/enum_sizes.h"

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

}  // namespace
