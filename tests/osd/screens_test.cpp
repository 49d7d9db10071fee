// Screenshots of the composed screen with the shipped font over a camera-like picture, in
// every orientation, compared with the reference pictures in reference/. Each run writes its
// pictures to screens/ in the build folder; PELKAVO_UPDATE_REFERENCES=1 writes them over the
// references instead (look at them before committing).
#include <png.h>

#include <cstdlib>
#include <fstream>

#include "device/display.h"
#include "tests/osd/program_screen.h"

namespace {

// A smooth colour field with a dark and a light band, so that text shows over both.
std::vector<uint16_t> CameraPicture(uint32_t width, uint32_t height) {
  std::vector<uint16_t> pixels(size_t(width) * height);
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) {
      uint32_t r = x * 31 / width, g = y * 63 / height, b = ((x + y) / 12) & 31;
      if (y / 40 == 3) r = g = b = 0;                  // dark band
      if (y / 40 == 5) r = 31, g = 63, b = 31;         // light band
      pixels[size_t(y) * width + x] = uint16_t(r << 11 | g << 5 | b);
    }
  return pixels;
}

std::vector<uint8_t> DecodeRgb(const std::vector<uint8_t> &png, uint32_t &width, uint32_t &height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) return {};
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
  width = image.width;
  height = image.height;
  return rgb;
}

std::vector<uint8_t> ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class Screens : public ProgramScreen {
 protected:
  void SetUp() override {
    ProgramScreen::SetUp();
    UseShippedFont();
  }

  // Composes the overlay over the camera picture on a 240 × 320 screen in the orientation and
  // compares it with reference/<name>.png.
  void Shoot(const std::string &name, uint32_t orientation) {
    Lay(240, 320, orientation);
    const std::vector<uint16_t> camera = CameraPicture(240, 320);
    Compose(&camera);
    const std::vector<uint8_t> png = device::encodePng(picture_.data(), 240, 320);
    const std::string file = name + ".png";
    std::filesystem::create_directories(SCREENS_DIR);
    std::ofstream(std::string(SCREENS_DIR) + "/" + file, std::ios::binary)
        .write(reinterpret_cast<const char *>(png.data()), std::streamsize(png.size()));
    const std::string reference = std::string(REFERENCE_DIR) + "/" + file;
    const char *update = std::getenv("PELKAVO_UPDATE_REFERENCES");
    if (update && std::string(update) == "1") {
      std::ofstream(reference, std::ios::binary)
          .write(reinterpret_cast<const char *>(png.data()), std::streamsize(png.size()));
      return;
    }
    uint32_t w = 0, h = 0, rw = 0, rh = 0;
    const std::vector<uint8_t> actual = DecodeRgb(png, w, h);
    const std::vector<uint8_t> expected = DecodeRgb(ReadFile(reference), rw, rh);
    ASSERT_FALSE(expected.empty()) << "no reference " << reference;
    ASSERT_EQ(rw, w);
    ASSERT_EQ(rh, h);
    size_t differing = 0;
    for (size_t i = 0; i < actual.size(); i += 3)
      differing += actual[i] != expected[i] || actual[i + 1] != expected[i + 1] || actual[i + 2] != expected[i + 2];
    EXPECT_EQ(differing, 0u) << name << ": pixels differ from the reference; this run's picture is "
                             << SCREENS_DIR << "/" << file;
  }
};

TEST_F(Screens, PreviewInEveryOrientation) {
  g_App.camera.active.magnification = 98304;
  for (uint32_t orientation = 0; orientation < 4; ++orientation)
    Shoot("preview-" + std::to_string(orientation * 90), orientation);
}

TEST_F(Screens, MenuPageInEveryOrientation) {
  g_App.menu.current = &g_App.menu.pages[PAGE_GENERAL];
  g_App.menu.pages[PAGE_GENERAL].cursor = 2;
  g_App.menu.shown = 1;
  for (uint32_t orientation = 0; orientation < 4; ++orientation)
    Shoot("menu-" + std::to_string(orientation * 90), orientation);
}

TEST_F(Screens, EditAboutRecordingAndStatus) {
  MenuPage &capture = g_App.menu.pages[PAGE_CAPTURE];
  g_App.menu.current = &capture;
  g_App.menu.shown = 1;
  capture.cursor = 3;
  capture.editSaved = 7;
  Shoot("edit-quality", 0);
  g_App.menu.shown = 0;
  capture.editSaved = -1;

  g_App.captureState = STATE_ABOUT;
  Shoot("about", 0);

  g_App.captureState = STATE_CAPTURING;
  g_App.settings[SET_CAPTURE_MODE]->index = 1;
  g_App.recorder.writer = CreateAviWriter();
  ASSERT_NE(g_App.recorder.writer, nullptr);
  g_App.recorder.kind = RECORD_AVI;
  g_App.recorder.writer->frameInterval = 40;
  g_App.recorder.writer->slotCounter = 1000;
  g_App.recorder.writer->newFrames = 2400;  // 6 per second
  g_App.recorder.startTick = GetTickCount() - 400000;
  Blink(true);
  Shoot("recording", 1);

  g_App.captureState = STATE_PREVIEW;
  g_App.settings[SET_CAPTURE_MODE]->index = 0;
  ShowStatus("Exposure Locked", 0);
  Shoot("status", 3);
}

}  // namespace
