// Screenshots of the handset's display: a camera frame through the preview, the overlay
// over it with the shipped font, composed and blitted as the program does, in every screen
// orientation, compared with the reference pictures in reference/. Each run writes its
// pictures to screens/ in the build folder; PELKAVO_UPDATE_REFERENCES=1 writes them over the
// references instead (look at them before committing).
#include <gx.h>

#include "device/display.h"
#include "camera/screen_source.h"
#include "pipeline/preview.h"
#include "tests/osd/program_screen.h"
#include "tests/support/screenshots.h"

namespace {

// A 640 × 480 camera frame in RGB 565: eight colour bars over a grey ramp, and a white
// block in the top-left corner so that the turn of the picture shows.
std::vector<uint8_t> CameraFrame() {
  static const uint16_t kBars[8] = {0xFFFF, 0xFFE0, 0x07FF, 0x07E0, 0xF81F, 0xF800, 0x001F, 0x0000};
  std::vector<uint8_t> frame(640 * 480 * 2);
  for (uint32_t y = 0; y < 480; ++y)
    for (uint32_t x = 0; x < 640; ++x) {
      uint16_t pixel = kBars[x / 80];
      if (y >= 320) {
        uint32_t level = x * 31 / 639;
        pixel = uint16_t(level << 11 | level << 6 | level);
      }
      if (x < 96 && y < 96) pixel = 0xFFFF;
      frame[(y * 640 + x) * 2] = uint8_t(pixel);
      frame[(y * 640 + x) * 2 + 1] = uint8_t(pixel >> 8);
    }
  return frame;
}

LRESULT CALLBACK PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

class Screens : public ProgramScreen {
 protected:
  void SetUp() override {
    ProgramScreen::SetUp();
    UseShippedFont();
    WNDCLASSW wc{};
    wc.lpfnWndProc = PlainProc;
    wc.lpszClassName = u"ScreensTest";
    RegisterClassW(&wc);
    window_ = CreateWindowExW(0, u"ScreensTest", u"screens", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr,
                              nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
    ASSERT_EQ(GXOpenDisplay(window_, GX_FULLSCREEN), 1);
    g_App.MainWindow = window_;
    g_App.FullScreen = 1;
    g_App.device.bitsPerPixel = 16;
    g_App.ScreenPicture = Picture{};
    ASSERT_EQ(SetPictureSize(&g_App.PreviewPicture, 240, 320), 1u);
    ASSERT_EQ(SetPictureSize(&g_App.ScreenPicture, 240, 320), 1u);
  }
  void TearDown() override {
    FreePicture(&g_App.PreviewPicture);
    FreePicture(&g_App.ScreenPicture);
    g_App.displayCache = nullptr;
    g_App.MainWindow = nullptr;
    g_App.FullScreen = 0;
    GXCloseDisplay();
    DestroyWindow(window_);
    UnregisterClassW(u"ScreensTest", nullptr);
    ProgramScreen::TearDown();
  }

  // The camera frame as the preview shows it for the camera's mounting (#41), the overlay
  // over it in the screen orientation (#35), on the display; compared with reference/<name>.png,
  // or given a handset, with the real program's screenshot <handset>/<name>.png.
  void Shoot(const std::string &name, uint32_t orientation, const FrameDesc *frame = nullptr,
             const std::string &handset = "") {
    g_App.settings[SET_SCREEN_ORIENTATION]->index = int32_t(orientation);
    SetOverlayTextOrientation();
    std::vector<uint8_t> data;
    FrameDesc own{};
    if (!frame) {
      data = CameraFrame();
      own = {data.data(), uint32_t(data.size()), FORMAT_RGB565, 640, 480};
      frame = &own;
    }
    ASSERT_TRUE(TakeCompose(true));
    ConvertPreview(frame, uint32_t(SettingValue(SET_MOUNTING)), PREVIEW_COLOUR, nullptr, 0);
    ReleaseCompose();
    ComposeAndBlit();
    const device::Display &display = device::display();
    ASSERT_EQ(display.width(), 240);
    const std::vector<uint8_t> png = device::encodePng(display.pixels(), 240, 320);
    const std::string file = handset.empty() ? name + ".png" : handset + "/" + name + ".png";
    const std::string reference = handset.empty() ? REFERENCE_DIR : E2E_REFERENCE_DIR;
    EXPECT_EQ(CompareWithReference(png, reference + "/" + file, std::string(SCREENS_DIR) + "/" + file), "");
  }

  HWND window_ = nullptr;
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

// The camera of a handset without a usable one: the colour bars, 240 × 320 UYVY, shown at
// 100 %. The real program shows the same on an OMAP850 handset (whose preview converts its
// frames itself): the in-process pictures must equal its screenshots.
TEST_F(Screens, TheRealProgramsPicturesInEveryOrientation) {
  std::vector<uint8_t> bars(240 * 320 * 2);
  FillColourBars(bars.data(), 240, 320);
  const FrameDesc frame{bars.data(), uint32_t(bars.size()), FORMAT_UYVY, 240, 320};
  CaptureGeometry &g = g_App.camera.active;
  g.captureWidth = g.cropWidth = g.outputWidth = 240;
  g.captureHeight = g.cropHeight = g.outputHeight = 320;
  MenuPage &general = g_App.menu.pages[PAGE_GENERAL];
  general.cursor = 2;
  for (uint32_t orientation = 0; orientation < 4; ++orientation) {
    const std::string degrees = std::to_string(orientation * 90);
    g_App.menu.shown = 0;
    Shoot("preview-" + degrees, orientation, &frame, "dopod-838");
    g_App.menu.current = &general;
    g_App.menu.shown = 1;
    Shoot("menu-" + degrees, orientation, &frame, "dopod-838");
  }
}

}  // namespace
