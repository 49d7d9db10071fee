// "Pelkavo -f" on emulated handsets: the exit code, and the picture read back with
// libjpeg-turbo at the size, with the content and from the encoder the handset calls for.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "device/home_screen.h"
#include "tests/capture_still/pictures.h"
#include "tests/support/screenshots.h"
#include "tests/support/stamp.h"

namespace fs = std::filesystem;

namespace {

// The colour bars of a handset without a usable camera, left to right, in video-range YUV.
struct Bar {
  const char *name;
  int y, u, v;
};
constexpr Bar kBars[8] = {{"white", 235, 128, 128},   {"yellow", 211, 16, 146}, {"cyan", 170, 166, 16},
                          {"green", 145, 54, 34},     {"magenta", 106, 202, 222}, {"red", 81, 90, 240},
                          {"blue", 41, 240, 109},     {"black", 16, 128, 128}};

// The RGB a JPEG decoder gives for the bar, with its chroma components exchanged when the
// handset swaps them.
void BarRgb(const Bar &b, bool swapped, int rgb[3]) {
  const double y = b.y, u = (swapped ? b.v : b.u) - 128, v = (swapped ? b.u : b.v) - 128;
  const double c[3] = {y + 1.402 * v, y - 0.344136 * u - 0.714136 * v, y + 1.772 * u};
  for (int i = 0; i < 3; ++i) rgb[i] = std::clamp(int(c[i] + 0.5), 0, 255);
}

// Which encoder wrote a stream: tarnjpg's JFIF header gives a density of 72, the vendor
// encoder's 1.
enum class Writer { Tarnjpg, Vendor, Unknown };
Writer WriterOf(const std::vector<uint8_t> &jpeg) {
  // SOI, then APP0: length, "JFIF\0", version, units, x density, y density
  if (jpeg.size() < 18 || jpeg[2] != 0xFF || jpeg[3] != 0xE0 ||
      std::string(jpeg.begin() + 6, jpeg.begin() + 10) != "JFIF")
    return Writer::Unknown;
  const int x = jpeg[14] << 8 | jpeg[15], y = jpeg[16] << 8 | jpeg[17];
  if (x == 72 && y == 72) return Writer::Tarnjpg;
  if (x == 1 && y == 1) return Writer::Vendor;
  return Writer::Unknown;
}

const char *Name(Writer w) {
  return w == Writer::Tarnjpg ? "tarnjpg" : w == Writer::Vendor ? "vendor encoder" : "unknown";
}

// Bars across the middle row; reversed when the picture was given a half turn.
std::string BarReport(const Decoded &d, bool swapped, bool reversed) {
  std::string report;
  for (int i = 0; i < 8; ++i) {
    const Bar &bar = kBars[reversed ? 7 - i : i];
    int rgb[3];
    BarRgb(bar, swapped, rgb);
    const int x = (2 * i + 1) * d.width / 16, y = d.height / 2;
    const uint8_t *p = &d.rgb[(size_t(y) * d.width + x) * 3];
    for (int c = 0; c < 3; ++c)
      if (std::abs(p[c] - rgb[c]) > 24) {
        report += std::string(bar.name) + " not at x " + std::to_string(x) + "; ";
        break;
      }
  }
  return report;
}

// Whether a camera picture stands upright with its colours right: blue sky along the top, red
// brick along the bottom of the scene.
std::string SceneReport(const Decoded &d) {
  auto band = [&](double top, int rgb[3]) {
    long sum[3] = {0, 0, 0}, n = 0;
    for (int y = int(top * d.height); y < int((top + 0.05) * d.height); ++y)
      for (int x = d.width / 3; x < d.width * 2 / 3; ++x, ++n)
        for (int c = 0; c < 3; ++c) sum[c] += d.rgb[(size_t(y) * d.width + x) * 3 + c];
    for (int c = 0; c < 3; ++c) rgb[c] = int(sum[c] / std::max(n, 1L));
  };
  int sky[3], wall[3];
  band(0.02, sky);
  band(0.92, wall);
  std::string report;
  if (sky[2] < sky[0] + 40) report += "no blue sky at the top; ";
  if (wall[0] < wall[2] + 40) report += "no red brick at the bottom; ";
  return report;
}

class StillE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = fs::temp_directory_path() /
            ("still-e2e-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(base_);
    fs::create_directories(base_ / "root");
    env_["HANDSET_ROOT"] = (base_ / "root").string();
    env_["HANDSET_HOME_SCREEN"] = "frozen";
  }
  void TearDown() override { fs::remove_all(base_); }

  // Runs the program with the arguments on a fresh handset root; its exit code.
  int run(const std::string &arguments) {
    fs::remove_all(base_ / "root");
    fs::create_directories(base_ / "root");
    std::string command;
    for (const auto &[name, value] : env_) command += name + "='" + value + "' ";
    command += program_ + "/Pelkavo.exe " + arguments;
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  static std::vector<uint8_t> read(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }

  // A shipped profile with extra lines; without its camera library the handset shows the colour bars.
  void profile(const std::string &name, const std::string &extra = "", bool cameraLibrary = true) {
    std::string shipped = std::string(PELKAVO_PROFILES) + "/" + name + ".profile";
    if (!cameraLibrary) shipped = WithoutCameraLibrary(shipped, (base_ / "bars.profile").string());
    std::ifstream in(shipped);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    const fs::path path = base_ / (name + ".profile");
    std::ofstream(path) << text << "\n" << extra;
    env_["HANDSET_PROFILE"] = path.string();
  }

  // The program directory without the named libraries, as the program's directory.
  void programWithout(const std::vector<std::string> &missing) {
    program_ = ProgramDirectoryWithout(PELKAVO_PROGRAM_DIR, (base_ / "prog").string(), missing);
    env_["HANDSET_PROGRAM_DIR"] = program_;
  }

  // "-f" with the arguments before it on the shipped profile, with or without tarnjpg.dll in the
  // program directory and the camera library (the vendor's, or dsgrab.dll) on the handset; the
  // picture's file (which may be missing), after asserting that the capture ran.
  fs::path shoot(const char *name, bool tarnjpg, const std::string &arguments, bool cameraLibrary) {
    env_.erase("HANDSET_PROGRAM_DIR");
    program_ = PELKAVO_PROGRAM_DIR;
    std::vector<std::string> missing;
    if (!tarnjpg) missing.push_back("tarnjpg.dll");
    if (!cameraLibrary) missing.push_back("dsgrab.dll");
    if (!missing.empty()) programWithout(missing);
    profile(name, "", cameraLibrary);
    const fs::path shot = base_ / "shot.jpg";
    fs::remove(shot);
    EXPECT_EQ(run(arguments + "-f " + shot.string()), 1);
    return shot;
  }

  fs::path base_;
  std::string program_ = PELKAVO_PROGRAM_DIR;
  std::map<std::string, std::string> env_;
};

struct BarCase {
  const char *profile;
  bool tarnjpgInProgramDirectory;
  const char *arguments;  // before "-f"
  Writer writer;          // Unknown: no encoder, no picture
  int width, height;
  bool swapped;   // the model's chroma default exchanges U and V
  bool reversed;  // the model's screen orientation gives the picture a half turn
};

TEST_F(StillE2e, ColourBarsOnEveryEncoderPath) {
  const BarCase cases[] = {
      {"asus-p525", true, "", Writer::Tarnjpg, 240, 320, false, false},   // PXA270
      {"asus-p525", true, "-r0 ", Writer::Tarnjpg, 240, 320, false, false},
      {"asus-p525", true, "-r9 ", Writer::Tarnjpg, 240, 320, false, false},  // beyond the list
      {"dopod-838", true, "", Writer::Vendor, 240, 320, false, false},    // OMAP850, JPEGENC.dll
      {"htc-hermes", true, "", Writer::Vendor, 240, 320, true, false},    // S3C2442, JPEGENC.dll
      {"spv-c500", true, "", Writer::Vendor, 176, 220, true, false},      // smartphone display
      {"htc-pa10a", true, "", Writer::Tarnjpg, 240, 320, false, true},    // PXA270, JPEGENC.dll
      {"htc-pa10a", false, "", Writer::Vendor, 240, 320, false, true},
      {"motorola-mpx220", true, "", Writer::Unknown, 0, 0, false, false},  // PXA255, no JPEGENC.dll
      {"asus-p525", false, "", Writer::Unknown, 0, 0, false, false},
  };
  for (const BarCase &c : cases) {
    SCOPED_TRACE(std::string(c.profile) + (c.tarnjpgInProgramDirectory ? "" : " without tarnjpg.dll") +
                 " " + c.arguments);
    // The capture ran, whether or not a picture could be encoded.
    const fs::path shot = shoot(c.profile, c.tarnjpgInProgramDirectory, c.arguments, false);
    if (c.writer == Writer::Unknown) {
      EXPECT_FALSE(fs::exists(shot)) << "no encoder, yet a picture was written";
      continue;
    }
    const std::vector<uint8_t> jpeg = read(shot);
    EXPECT_STREQ(Name(WriterOf(jpeg)), Name(c.writer));
    const Decoded d = Decode(jpeg);
    ASSERT_TRUE(d.ok());
    EXPECT_EQ(d.width, c.width);
    EXPECT_EQ(d.height, c.height);
    EXPECT_EQ(BarReport(d, c.swapped, c.reversed), "");
  }
}

// Every kind of camera handset takes the camera's picture at its size rows' sizes with the encoder
// it calls for: a stamped frame of the moving scene, upright and in its colours. The vendor camera
// library's models at their largest size; "LCM1:" on the PXA270 (tarnjpg, or the vendor encoder
// without it) and "DSC1:" on the PXA255 (the vendor encoder only) at several rows; DirectShow
// from the still pin (the last row is planar, the "640 x 480" row the halved middle of the
// 1280 x 1024 picture) and, on a camera without one, from the capture pin.
TEST_F(StillE2e, CameraPicturesOnEveryKindOfCameraHandset) {
  const struct {
    const char *profile;
    bool tarnjpgInProgramDirectory;
    const char *arguments;  // before "-f"
    Writer writer;
    int width, height;
  } cases[] = {
      {"htc-wizard", true, "", Writer::Vendor, 1280, 1024},  // ModelCode 5, warm-up above 640 x 480
      {"spv-c550", true, "", Writer::Vendor, 1280, 1024},    // ModelCode 9, a Smartphone
      {"htc-hermes", true, "", Writer::Vendor, 1600, 1200},  // ModelCode 11, JPEG frames from the camera
      {"htc-pm300", true, "", Writer::Vendor, 1600, 1200},   // ModelCode 4
      {"spv-c500", true, "", Writer::Vendor, 640, 480},
      {"htc-pa10a", true, "", Writer::Tarnjpg, 1280, 1024},  // ModelCode 6: its defaults turn a half turn
      {"htc-pm10", true, "", Writer::Tarnjpg, 1280, 960},
      {"htc-pm10", false, "-r2 ", Writer::Vendor, 320, 240},
      {"htc-pm10", true, "-r4 ", Writer::Tarnjpg, 640, 480},
      {"motorola-mpx220-encoder", true, "", Writer::Vendor, 1280, 960},
      {"motorola-mpx220-encoder", true, "-r4 ", Writer::Vendor, 640, 480},
      {"motorola-mpx220-encoder", true, "-r1 ", Writer::Vendor, 176, 144},
      {"motorola-mpx220-encoder", true, "-r0 ", Writer::Vendor, 160, 120},
      {"asus-p525", true, "", Writer::Tarnjpg, 1024, 768},
      {"asus-p525", true, "-r0 ", Writer::Tarnjpg, 1280, 1024},
      {"asus-p525", true, "-r1 ", Writer::Tarnjpg, 640, 480},
      {"treo-700w", true, "", Writer::Tarnjpg, 176, 144},
      {"treo-700w", true, "-r0 ", Writer::Tarnjpg, 640, 480},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(std::string(c.profile) + (c.tarnjpgInProgramDirectory ? "" : " without tarnjpg.dll") + " " +
                 c.arguments);
    const fs::path shot = shoot(c.profile, c.tarnjpgInProgramDirectory, c.arguments, true);
    const std::vector<uint8_t> jpeg = read(shot);
    EXPECT_STREQ(Name(WriterOf(jpeg)), Name(c.writer));
    const Decoded d = Decode(jpeg);
    ASSERT_TRUE(d.ok());
    EXPECT_EQ(d.width, c.width);
    EXPECT_EQ(d.height, c.height);
    EXPECT_TRUE(ReadFrameStampFromJpeg(jpeg).has_value()) << "no frame stamp: not the camera's picture";
    EXPECT_EQ(SceneReport(d), "");
  }
}

// A still format the DirectShow camera refuses, or a still that never comes, writes nothing and
// ends the run as usual.
TEST_F(StillE2e, AStillTheDirectShowCameraDoesNotGiveWritesNothing) {
  for (const char *fault : {"dshow-format:1280x1024", "dshow-still-silent"}) {
    SCOPED_TRACE(fault);
    env_["HANDSET_FAULTS"] = fault;
    EXPECT_FALSE(fs::exists(shoot("asus-p525", true, "-r0 ", true)));
  }
}

TEST_F(StillE2e, AFileNameWithSpacesAndAHandsetPath) {
  profile("asus-p525");
  const fs::path host = base_ / "a shot with spaces.jpg";
  ASSERT_EQ(run("-f " + host.string()), 1);
  EXPECT_TRUE(Decode(read(host)).ok());
  // A path starting with a backslash lies on the handset.
  ASSERT_EQ(run("-f '\\Storage Card\\handset shot.jpg'"), 1);
  EXPECT_TRUE(Decode(read(base_ / "root" / "Storage Card" / "handset shot.jpg")).ok());
  // A fresh handset has its own memory's documents folder from the factory.
  ASSERT_EQ(run("-f '\\My Documents\\x.jpg'"), 1);
  EXPECT_TRUE(Decode(read(base_ / "root" / "My Documents" / "x.jpg")).ok());
}

TEST_F(StillE2e, ScreenCaptureTakesTheDisplaysPicture) {
  profile("asus-p525");
  const fs::path shot = base_ / "screen.jpg";
  ASSERT_EQ(run("-s -f " + shot.string()), 1);
  const Decoded d = Decode(read(shot));
  ASSERT_TRUE(d.ok());
  ASSERT_EQ(d.width, 240);
  ASSERT_EQ(d.height, 320);
  std::vector<uint16_t> home(240 * 320);
  device::drawHomeScreen(home.data(), 240, 320, 0);
  double error = 0;
  for (size_t i = 0; i < home.size(); ++i) {
    const int r = (home[i] >> 11) * 255 / 31, g = ((home[i] >> 5) & 63) * 255 / 63, b = (home[i] & 31) * 255 / 31;
    error += std::abs(r - d.rgb[i * 3]) + std::abs(g - d.rgb[i * 3 + 1]) + std::abs(b - d.rgb[i * 3 + 2]);
  }
  EXPECT_LT(error / (home.size() * 3), 12.0) << "mean difference from the home screen";
}

TEST_F(StillE2e, ScreenCaptureWithAnOverlayTakesTheOverlay) {
  // Overlay capture on (setting 8) in the screen recorder's settings, all else at defaults.
  std::string settings;
  for (int n = 0; n < 59; ++n) settings += n == 8 ? "1," : "-1,";
  profile("asus-p525", "registry = [HKEY_LOCAL_MACHINE\\Software\\Vendrasol\\Mirantel] \"Settings\"=\"" +
                           settings + "\"\n");
  env_["HANDSET_LCD_OVERLAY"] = "2:yuv420:176x144+32+48";
  const fs::path shot = base_ / "overlay.jpg";
  ASSERT_EQ(run("-s -f " + shot.string()), 1);
  const Decoded d = Decode(read(shot));
  ASSERT_TRUE(d.ok());
  EXPECT_EQ(d.width, 176);
  EXPECT_EQ(d.height, 144);
  EXPECT_EQ(BarReport(d, false, false), "");
}

TEST_F(StillE2e, ScreenCaptureWithoutAKnownFrameBufferDoesNotStart) {
  profile("microsoft-emulator");  // neither a raw frame buffer nor GX information
  const fs::path shot = base_ / "screen.jpg";
  EXPECT_EQ(run("-s -f " + shot.string()), 0);
  EXPECT_FALSE(fs::exists(shot));
}

}  // namespace
