// The handset's camera sensor: what each control does to the picture, the zoom, the formats,
// the frame stamp through JPEG and every turn, the colour bars the program's own, the picture
// sources.
#include "device/camera.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "camera/screen_source.h"
#include "device/microphone.h"
#include "device/profile.h"
#include "tests/support/stamp.h"

namespace fs = std::filesystem;
using namespace device;

namespace {

Profile CameraProfile(const std::string &extra = "", const std::string &origin = "camera.profile") {
  return Profile::parse("camera = vendor\ncamera_largest = 1600x1200\ncamera_native = 640x480\ncamera_mounting = 1\n" +
                            extra,
                        origin);
}

SensorRequest Whole(uint32_t width, uint32_t height, uint32_t format) {
  return {width, height, 0, 0, width, height, format};
}

std::vector<uint8_t> Take(Sensor &sensor, const SensorRequest &request, FrameStamp *stamp = nullptr) {
  std::vector<uint8_t> out(Sensor::frameBytes(request));
  out.resize(sensor.capture(request, out.data(), out.size(), stamp));
  return out;
}

// Means over the top fifth of a UYVY picture, away from the frame stamp in its middle.
struct Means {
  double y = 0, u = 0, v = 0, chroma = 0, spread = 0;
};
Means TopFifth(const std::vector<uint8_t> &uyvy, uint32_t width, uint32_t height) {
  Means m;
  double squares = 0;
  const size_t pairs = size_t(width / 2) * (height / 5);
  for (size_t i = 0; i < pairs; ++i) {
    const uint8_t *q = &uyvy[i * 4];
    m.u += q[0], m.v += q[2], m.y += (q[1] + q[3]) / 2.0;
    m.chroma += std::abs(q[0] - 128) + std::abs(q[2] - 128);
    squares += (q[1] * q[1] + q[3] * q[3]) / 2.0;
  }
  m.y /= pairs, m.u /= pairs, m.v /= pairs, m.chroma /= pairs;
  m.spread = std::sqrt(squares / pairs - m.y * m.y);
  return m;
}

class SensorTest : public ::testing::Test {
 protected:
  void SetUp() override { setMicrophoneClock(1000); }
  void TearDown() override { releaseMicrophoneClock(); }
};

struct ControlRow {
  const char *name;
  std::function<void(SensorControls &)> set;
  std::function<bool(const Means &neutral, const Means &changed)> expected;
};

TEST_F(SensorTest, EachControlChangesThePictureTheWayItSays) {
  const ControlRow rows[] = {
      {"brighter", [](SensorControls &c) { c.brightness = 50; }, [](auto &n, auto &m) { return m.y > n.y + 20; }},
      {"darker", [](SensorControls &c) { c.brightness = -50; }, [](auto &n, auto &m) { return m.y < n.y - 20; }},
      {"more contrast", [](SensorControls &c) { c.contrast = 60; }, [](auto &n, auto &m) { return m.spread > n.spread * 1.3; }},
      {"less contrast", [](SensorControls &c) { c.contrast = -60; }, [](auto &n, auto &m) { return m.spread < n.spread * 0.7; }},
      {"saturated", [](SensorControls &c) { c.saturation = 60; }, [](auto &n, auto &m) { return m.chroma > n.chroma * 1.3; }},
      {"no colour", [](SensorControls &c) { c.saturation = -100; }, [](auto &, auto &m) { return m.chroma < 1; }},
      {"hue half a turn", [](SensorControls &c) { c.hue = 180; },
       [](auto &n, auto &m) { return std::abs((m.u - 128) + (n.u - 128)) < 2 && std::abs(m.u - n.u) > 10; }},
      {"gamma up", [](SensorControls &c) { c.gamma = 60; }, [](auto &n, auto &m) { return m.y > n.y + 10; }},
      {"longer exposure", [](SensorControls &c) { c.exposure = 60; }, [](auto &n, auto &m) { return m.y > n.y + 20; }},
      {"gain", [](SensorControls &c) { c.gain = 50; }, [](auto &n, auto &m) { return m.y > n.y + 20; }},
      {"night", [](SensorControls &c) { c.night = true; }, [](auto &n, auto &m) { return m.y > n.y + 20; }},
      {"flash", [](SensorControls &c) { c.flash = true; }, [](auto &n, auto &m) { return m.y > n.y + 20; }},
      {"tungsten light", [](SensorControls &c) { c.whiteBalance = WhiteBalance::tungsten; },
       [](auto &n, auto &m) { return m.u > n.u + 10 && m.v < n.v - 8; }},
      {"grey", [](SensorControls &c) { c.effect = Effect::grey; }, [](auto &, auto &m) { return m.chroma < 1; }},
      {"negative", [](SensorControls &c) { c.effect = Effect::negative; },
       [](auto &n, auto &m) { return std::abs(m.y - (255 - n.y)) < 2; }},
      {"sharper", [](SensorControls &c) { c.sharpness = 100; }, [](auto &n, auto &m) { return m.spread > n.spread; }},
  };
  Sensor sensor(CameraProfile());
  const SensorRequest request = Whole(320, 240, kSensorUYVY);
  const Means neutral = TopFifth(Take(sensor, request), 320, 240);
  for (const ControlRow &row : rows) {
    SensorControls controls;
    row.set(controls);
    sensor.setControls(controls);
    const Means changed = TopFifth(Take(sensor, request), 320, 240);
    EXPECT_TRUE(row.expected(neutral, changed))
        << row.name << ": luma " << neutral.y << " -> " << changed.y << ", chroma " << neutral.chroma << " -> "
        << changed.chroma << ", U " << neutral.u << " -> " << changed.u << ", spread " << neutral.spread << " -> "
        << changed.spread;
  }
  sensor.setControls(SensorControls{});
  const uint32_t interval = sensor.frameInterval();
  SensorControls night;
  night.night = true;
  sensor.setControls(night);
  EXPECT_EQ(sensor.frameInterval(), 2 * interval);
}

// The zoom magnifies the field of view's centre: twice at 320 × 240 is the middle of the mode
// twice as large; a crop is the same cut of the capture picture.
TEST_F(SensorTest, ZoomAndCropCutTheSameFieldOfView) {
  Sensor sensor(CameraProfile());
  const std::vector<uint8_t> cropped = Take(sensor, {640, 480, 160, 120, 320, 240, kSensorUYVY});
  SensorControls zoomed;
  zoomed.zoom = 2 * 65536;
  sensor.setControls(zoomed);
  const std::vector<uint8_t> magnified = Take(sensor, Whole(320, 240, kSensorUYVY));
  const size_t fifth = 320 * 2 * 48;  // the top fifth's bytes, away from the stamp
  ASSERT_EQ(cropped.size(), magnified.size());
  EXPECT_TRUE(std::equal(cropped.begin(), cropped.begin() + fifth, magnified.begin()));
  sensor.setControls(SensorControls{});
  const std::vector<uint8_t> whole = Take(sensor, Whole(320, 240, kSensorUYVY));
  EXPECT_FALSE(std::equal(whole.begin(), whole.begin() + fifth, magnified.begin()));
}

TEST_F(SensorTest, FormatsCarryTheSamePicture) {
  Sensor sensor(CameraProfile());
  const uint32_t w = 176, h = 144;
  const std::vector<uint8_t> uyvy = Take(sensor, Whole(w, h, kSensorUYVY));
  const std::vector<uint8_t> yuy2 = Take(sensor, Whole(w, h, kSensorYUY2));
  const std::vector<uint8_t> yv12 = Take(sensor, Whole(w, h, kSensorYV12));
  const std::vector<uint8_t> i420 = Take(sensor, Whole(w, h, kSensorI420));
  const std::vector<uint8_t> rgb = Take(sensor, Whole(w, h, kSensorRGB565));
  ASSERT_EQ(uyvy.size(), w * h * 2);
  ASSERT_EQ(yv12.size(), w * h * 3 / 2);
  ASSERT_EQ(rgb.size(), w * h * 2);
  const size_t c = w * h / 4;
  for (uint32_t i = 0; i < w * h / 5; ++i) {  // the top fifth, away from the stamp
    ASSERT_EQ(uyvy[2 * i + 1], yuy2[2 * i]) << i;
    ASSERT_EQ(uyvy[2 * i + 1], yv12[i]) << i;
    ASSERT_EQ(yv12[i], i420[i]) << i;
  }
  // YV12 has V before U, I420 U before V.
  EXPECT_TRUE(std::equal(yv12.begin() + w * h, yv12.begin() + w * h + c / 4, i420.begin() + w * h + c));
  // RGB 565: green's six bits follow the luma.
  const uint16_t first = uint16_t(rgb[0] | rgb[1] << 8);
  EXPECT_NEAR((first >> 5 & 63) * 4, uyvy[1], 40);
  const std::vector<uint8_t> jpeg = Take(sensor, {w, h, 0, 0, w, h, kSensorIJPG, 90});
  ASSERT_GT(jpeg.size(), 100u);
  EXPECT_EQ(jpeg[0], 0xFF);
  EXPECT_EQ(jpeg[1], 0xD8);
  EXPECT_EQ(Take(sensor, Whole(1920, 1440, kSensorUYVY)).size(), 0u) << "a mode above the largest";
  EXPECT_EQ(Sensor::frameBytes({320, 240, 200, 0, 200, 240, kSensorUYVY}), 0u) << "a crop outside the mode";
}

// Turns an RGB picture a quarter clockwise.
std::vector<uint8_t> Turned(const std::vector<uint8_t> &rgb, int width, int height) {
  std::vector<uint8_t> out(rgb.size());
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      std::copy_n(&rgb[(size_t(y) * width + x) * 3], 3, &out[(size_t(x) * height + (height - 1 - y)) * 3]);
  return out;
}

std::vector<uint8_t> Mirrored(const std::vector<uint8_t> &rgb, int width, int height) {
  std::vector<uint8_t> out(rgb.size());
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      std::copy_n(&rgb[(size_t(y) * width + x) * 3], 3, &out[(size_t(y) * width + (width - 1 - x)) * 3]);
  return out;
}

TEST_F(SensorTest, TheFrameStampSurvivesJpegAndEveryTurn) {
  Sensor sensor(CameraProfile());
  tjhandle decoder = tjInitDecompress();
  SensorControls extreme;
  extreme.brightness = 100, extreme.contrast = 100, extreme.effect = Effect::negative, extreme.flash = true;
  for (const SensorControls &controls : {SensorControls{}, extreme}) {
    sensor.setControls(controls);
    for (auto [w, h] : {std::pair{640u, 480u}, {160u, 120u}, {88u, 72u}}) {
      advanceMicrophoneClock(67);
      FrameStamp stamp;
      const std::vector<uint8_t> jpeg = Take(sensor, {w, h, 0, 0, w, h, kSensorIJPG, 25}, &stamp);
      std::vector<uint8_t> rgb(size_t(w) * h * 3);
      ASSERT_EQ(tjDecompress2(decoder, jpeg.data(), jpeg.size(), rgb.data(), int(w), 0, int(h), TJPF_RGB, 0), 0);
      int width = int(w), height = int(h);
      for (int way = 0; way < 8; ++way) {
        const std::vector<uint8_t> seen = way & 4 ? Mirrored(rgb, width, height) : rgb;
        const auto read = ReadFrameStamp(seen.data(), width, height);
        ASSERT_TRUE(read) << w << "x" << h << " way " << way;
        EXPECT_EQ(read->frame, stamp.frame);
        EXPECT_EQ(read->ms, stamp.ms);
        rgb = Turned(rgb, width, height);
        std::swap(width, height);
      }
    }
  }
  tjDestroy(decoder);
  EXPECT_EQ(ReadFrameStamp(std::vector<uint8_t>(88 * 72 * 3, 200).data(), 88, 72), std::nullopt);
}

TEST_F(SensorTest, ColourBarsAreTheProgramsOwnAndCarryNoStamp) {
  Sensor sensor(CameraProfile("camera_picture = bars\n"));
  for (auto [w, h] : {std::pair{240u, 320u}, {176u, 144u}}) {
    std::vector<uint8_t> program(w * h * 2);
    FillColourBars(program.data(), w, h);
    EXPECT_EQ(Take(sensor, Whole(w, h, kSensorUYVY)), program) << w << "x" << h;
  }
}

TEST_F(SensorTest, PictureSources) {
  // A clip of one colour from ffmpeg is what the camera sees; a webcam that is not there gives
  // way to the scene with a message.
  const fs::path folder = fs::temp_directory_path() / ("sensor-test-" + std::to_string(getpid()));
  fs::create_directories(folder);
  const std::string clip = (folder / "red.mp4").string();
  const std::string make = "ffmpeg -loglevel error -y -f lavfi -i color=c=red:s=160x120:d=1 -c:v mpeg4 '" + clip + "'";
  if (std::system(make.c_str()) != 0) GTEST_SKIP() << "ffmpeg cannot make the clip";
  Sensor filmed(CameraProfile("camera_picture = file:red.mp4\n", (folder / "camera.profile").string()));
  EXPECT_EQ(filmed.pictureSource(), "file");
  for (int second = 0; second < 3; ++second) {  // looped beyond its one second
    advanceMicrophoneClock(1000);
    const Means m = TopFifth(Take(filmed, Whole(320, 240, kSensorUYVY)), 320, 240);
    EXPECT_NEAR(m.y, 81, 6);
    EXPECT_NEAR(m.v, 240, 8);
  }
  EXPECT_THROW(Sensor(CameraProfile("camera_picture = file:missing.mp4\n", (folder / "camera.profile").string())),
               ProfileError);
  fs::remove_all(folder);

  if (fs::exists("/dev/video0")) GTEST_SKIP() << "this host has a camera at /dev/video0";
  testing::internal::CaptureStderr();
  Sensor fallback(CameraProfile("camera_picture = webcam\n"));
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(fallback.pictureSource(), "scene");
  EXPECT_NE(said.find("webcam /dev/video0 cannot be used"), std::string::npos) << said;
}

}  // namespace
