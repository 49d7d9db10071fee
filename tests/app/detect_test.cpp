#include "app/detect.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "camera/vendor_library.h"
#include "device/display.h"
#include "device/profile.h"

namespace {

struct Handset {
  std::string oem;  // empty: the system reports no OEM information
  std::string platform = "PocketPC";
  std::string core = "ARM926";
  std::string processor = "OMAP850";
  bool vendorLibrary = false;
  std::string frameBuffer = "raw";
};

class Detection : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = std::filesystem::temp_directory_path() /
            ("detect-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(root_);
    device::setRoot(root_.string());
  }
  void TearDown() override {
    ReleaseVendorLibrary();
    std::filesystem::remove_all(root_);
  }

  DeviceRecord detect(const Handset &h, uint32_t *found = nullptr) {
    std::string text = "display = 240x320\nbits_per_pixel = 16\nos_version = 5.1.1700\n";
    if (!h.oem.empty()) text += "oem_info = " + h.oem + "\n";
    if (!h.platform.empty()) text += "platform_type = " + h.platform + "\n";
    if (!h.core.empty()) text += "processor_core = " + h.core + "\nprocessor_name = " + h.processor + "\n";
    if (h.vendorLibrary) text += "system_library = HTCcamera.dll\n";
    text += "frame_buffer = " + h.frameBuffer + "\n";
    device::setCurrent(device::Profile::parse(text, "test.profile"));
    device::resetDisplay();
    ReleaseVendorLibrary();
    DeviceRecord record = {};
    uint32_t result = DetectDevice(&record);
    if (found) *found = result;
    return record;
  }

  std::filesystem::path root_;
};

TEST_F(Detection, ModelTableFirstMatchWins) {
  struct Case {
    const char *oem;
    bool vendorLibrary;
    uint32_t model;
  } cases[] = {
      {"HTC Hermes", false, 11},        // maker and model word, matched anywhere
      {"htc trinity", false, 11},       // the name is upper-cased before matching
      {"PM10 WIZARD", false, 0},        // both "PM10" and "WIZA": the first row wins
      {"Qtek S200", false, 24},         // no row matches
      {"Qtek S200", true, 13},          // ... but the vendor library works
      {"HTC Hermes", true, 11},         // a known model keeps its code with the library
      {"Treo 650", false, 24},          // neither Treo row
      {"Treo 700w", false, 21},
      {"Palm Treo 750", false, 21},
      {"i-mate SP5m", false, 10},
      {"Qtek 8310", false, 10},         // "QTEK" and "83"
      {"Qtek 8010", false, 7},          // "QTEK" and "80"
      {"FSC LOOX 720", false, 12},
      {"LOOX 420", false, 24},          // "LOOX" alone is not enough
      {"Microsoft DeviceEmulator", false, 15},
      {"XDA Atom", false, 23},
  };
  for (const Case &c : cases) {
    Handset h;
    h.oem = c.oem;
    h.vendorLibrary = c.vendorLibrary;
    DeviceRecord record = detect(h);
    EXPECT_EQ(record.modelCode, c.model) << c.oem << (c.vendorLibrary ? " with library" : "");
    EXPECT_EQ(record.vendorLibrary, c.vendorLibrary ? 1u : 0u) << c.oem;
  }
}

TEST_F(Detection, OemNameIsUpperCasedWithin127Characters) {
  Handset h;
  h.oem = std::string(120, 'x') + "Hermes";
  DeviceRecord record = detect(h);
  EXPECT_EQ(std::string(record.oemName), std::string(120, 'X') + "HERMES");
  EXPECT_EQ(record.modelCode, 11u);

  h.oem = std::string(130, 'x') + "Hermes";  // longer than the query's buffer: the call fails
  EXPECT_EQ(detect(h).modelCode, 24u);

  h.oem.clear();  // no OEM information at all
  h.vendorLibrary = true;
  EXPECT_EQ(detect(h).modelCode, 13u);
}

TEST_F(Detection, SmartphoneFlagNeedsTheExactPlatformType) {
  Handset h;
  h.oem = "HTC Hermes";
  h.platform = "SmartPhone";
  EXPECT_EQ(detect(h).smartphone, 1);
  h.platform = "smartphone";
  EXPECT_EQ(detect(h).smartphone, 0);
  h.platform = "PocketPC";
  EXPECT_EQ(detect(h).smartphone, 0);
  h.platform.clear();  // the query fails
  EXPECT_EQ(detect(h).smartphone, 1);
}

TEST_F(Detection, Pxa27xFromModelOrProcessor) {
  Handset h;
  h.oem = "Unknown Phone";
  h.core = "ARM920T";
  h.processor = "PXA255";
  EXPECT_EQ(detect(h).pxa27x, 0);
  h.processor = "PXA270";
  EXPECT_EQ(detect(h).pxa27x, 1);
  h.core = "xscale pxa";   // "PXA" in the core, "27" in the name
  h.processor = "Bulverde 27x";
  EXPECT_EQ(detect(h).pxa27x, 1);
  h.core.clear();  // no processor information
  EXPECT_EQ(detect(h).pxa27x, 0);
  h.oem = "Asus P525";  // a model known to have one
  EXPECT_EQ(detect(h).pxa27x, 1);
}

TEST_F(Detection, PerModelDefaults) {
  struct Case {
    const char *oem;
    uint32_t chroma, mounting, orientation;
  } cases[] = {
      {"HTC Hermes", 1, 2, 2}, {"PU10", 0, 2, 2},  {"WIZA", 1, 2, 2},     {"SPV 500", 1, 1, 1},
      {"PA10A", 0, 0, 2},      {"PM200", 1, 0, 0}, {"Treo 700w", 0, 0, 0},
  };
  for (const Case &c : cases) {
    Handset h;
    h.oem = c.oem;
    DeviceRecord r = detect(h);
    EXPECT_EQ(r.chromaDefault, c.chroma) << c.oem;
    EXPECT_EQ(r.mountingDefault, c.mounting) << c.oem;
    EXPECT_EQ(r.orientationDefault, c.orientation) << c.oem;
  }
}

TEST_F(Detection, FrameBufferThroughEitherEscape) {
  Handset h;
  h.oem = "Asus P525";
  uint32_t found = 0;
  DeviceRecord raw = detect(h, &found);
  EXPECT_EQ(found, 1u);
  ASSERT_NE(raw.frameBuffer, nullptr);
  EXPECT_EQ(raw.width, 240u);
  EXPECT_EQ(raw.height, 320u);
  EXPECT_EQ(raw.bitsPerPixel, 16);
  EXPECT_EQ(raw.xStride, 2);
  EXPECT_EQ(raw.yStride, 480);

  h.frameBuffer = "gxinfo";
  DeviceRecord gx = detect(h, &found);
  EXPECT_EQ(found, 1u);
  ASSERT_NE(gx.frameBuffer, nullptr);
  EXPECT_EQ(gx.xStride, 2);
  EXPECT_EQ(gx.yStride, 480);
  EXPECT_EQ(gx.width, 240u);
  EXPECT_EQ(gx.bitsPerPixel, 16);

  h.frameBuffer = "none";
  DeviceRecord none = detect(h, &found);
  EXPECT_EQ(found, 0u);
  EXPECT_EQ(none.frameBuffer, nullptr);
  EXPECT_EQ(none.width, 0u);
}

TEST_F(Detection, OsVersion) {
  Handset h;
  h.oem = "HTC Hermes";
  EXPECT_EQ(detect(h).osMajorVersion, 5u);
}

}  // namespace

namespace {

TEST(DetectionOnShippedProfiles, EveryModelCodeTheTableCanGive) {
  const struct {
    const char *profile;
    uint32_t model;
  } expected[] = {
      {"htc-pm10", 0},         {"htc-ph10c", 1},       {"htc-pm200", 2},
      {"htc-pu10", 3},         {"htc-pm300", 4},       {"htc-wizard", 5},
      {"htc-pa10a", 6},        {"spv-c500", 7},        {"htc-star-trek", 8},
      {"spv-c550", 9},         {"spv-c600", 10},       {"htc-hermes", 11},
      {"fsc-loox-720", 12},    {"qtek-s200", 13},      {"dopod-838", 13},
      {"motorola-mpx220", 14}, {"motorola-mpx220-encoder", 14}, {"microsoft-emulator", 15}, {"asus-p525", 16},
      {"benq-p51", 17},        {"gigabyte-gsmart", 18}, {"motoq", 19},
      {"treo-700w", 21},       {"samsung-sgh-i320", 22}, {"xda-atom", 23},
      {"dell-axim-x51v", 24},
  };
  auto root = std::filesystem::temp_directory_path() / ("detect-profiles-" + std::to_string(::getpid()));
  device::setRoot(root.string());
  for (const auto &e : expected) {
    device::setCurrent(device::Profile::load(device::profilePath(e.profile)));
    device::resetDisplay();
    ReleaseVendorLibrary();
    DeviceRecord record = {};
    DetectDevice(&record);
    EXPECT_EQ(record.modelCode, e.model) << e.profile << " (" << record.oemName << ")";
  }
  ReleaseVendorLibrary();
  std::filesystem::remove_all(root);
}

}  // namespace
