// GAPI over the emulated display, drawing and the PNG the display saves, the key lists.
#include <gtest/gtest.h>
#include <gx.h>
#include <png.h>
#include <unistd.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "handset.h"

namespace {

LRESULT CALLBACK plainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

class Gapi : public ::testing::Test {
 protected:
  void SetUp() override {
    useProfile("display = 240x320\nframe_buffer = none\n");
    WNDCLASSW wc{};
    wc.lpfnWndProc = plainProc;
    wc.lpszClassName = u"GapiTest";
    RegisterClassW(&wc);
    window = CreateWindowExW(0, u"GapiTest", u"g", 0, 0, 0, 240, 320, nullptr, nullptr, nullptr, nullptr);
  }
  void TearDown() override {
    GXCloseInput();
    GXCloseDisplay();
    DestroyWindow(window);
    UnregisterClassW(u"GapiTest", nullptr);
  }
  HWND window = nullptr;
};

TEST_F(Gapi, DrawingNeedsAnOpenDisplayThatIsNotSuspended) {
  EXPECT_EQ(GXBeginDraw(), nullptr);
  EXPECT_EQ(GXOpenDisplay(nullptr, GX_FULLSCREEN), 0);
  ASSERT_EQ(GXOpenDisplay(window, GX_FULLSCREEN), 1);
  EXPECT_EQ(GXOpenDisplay(window, GX_FULLSCREEN), 0);  // already open
  ASSERT_EQ(GXOpenInput(), 1);
  void *pixels = GXBeginDraw();
  EXPECT_EQ(pixels, device::display().pixels());
  EXPECT_EQ(GXEndDraw(), 1);
  GXSuspend();
  EXPECT_EQ(GXBeginDraw(), nullptr);
  GXResume();
  EXPECT_EQ(GXBeginDraw(), pixels);
  EXPECT_EQ(GXCloseDisplay(), 1);
  EXPECT_EQ(GXBeginDraw(), nullptr);
  EXPECT_EQ(GXCloseDisplay(), 0);
}

TEST_F(Gapi, PropertiesFollowTheOrientation) {
  GXDisplayProperties p = GXGetDisplayProperties();
  EXPECT_EQ(p.cxWidth, 240u);
  EXPECT_EQ(p.cyHeight, 320u);
  EXPECT_EQ(p.cbxPitch, 2);
  EXPECT_EQ(p.cbyPitch, 480);
  EXPECT_EQ(p.cBPP, 16);
  EXPECT_EQ(p.ffFormat, static_cast<DWORD>(kfDirect | kfDirect565));
  ASSERT_TRUE(device::display().setOrientation(90));
  p = GXGetDisplayProperties();
  EXPECT_EQ(p.cxWidth, 320u);
  EXPECT_EQ(p.cyHeight, 240u);
  EXPECT_EQ(p.cbyPitch, 640);
  EXPECT_EQ(p.ffFormat, static_cast<DWORD>(kfDirect | kfDirect565 | kfLandscape));
}

// Reads a PNG with libpng as 8-bit RGB.
std::vector<uint8_t> readPng(const std::string &path, int &width, int &height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
  width = static_cast<int>(image.width);
  height = static_cast<int>(image.height);
  return rgb;
}

std::string tempPath(const char *name) {
  return (std::filesystem::temp_directory_path() / (std::to_string(getpid()) + name)).string();
}

// Every 5-bit and 6-bit level occurs: red and blue run along x, green along y.
uint16_t testPixel(int x, int y) {
  return static_cast<uint16_t>(((x & 31) << 11) | (((y + x / 32) & 63) << 5) | ((31 - (x & 31)) & 31));
}

TEST_F(Gapi, DrawnPixelsComeBackFromThePng) {
  for (int degrees : {0, 90}) {
    SCOPED_TRACE(degrees);
    ASSERT_TRUE(device::display().setOrientation(degrees));
    ASSERT_EQ(GXOpenDisplay(window, GX_FULLSCREEN), 1);
    GXDisplayProperties p = GXGetDisplayProperties();
    auto *frame = static_cast<uint8_t *>(GXBeginDraw());
    ASSERT_NE(frame, nullptr);
    for (DWORD y = 0; y < p.cyHeight; ++y)
      for (DWORD x = 0; x < p.cxWidth; ++x)
        *reinterpret_cast<uint16_t *>(frame + y * p.cbyPitch + x * p.cbxPitch) = testPixel(x, y);
    GXEndDraw();
    GXCloseDisplay();

    std::string path = tempPath("-screen.png");
    ASSERT_TRUE(device::display().savePng(path));
    int width = 0, height = 0;
    std::vector<uint8_t> rgb = readPng(path, width, height);
    std::filesystem::remove(path);
    ASSERT_EQ(width, static_cast<int>(p.cxWidth));
    ASSERT_EQ(height, static_cast<int>(p.cyHeight));
    int wrong = 0;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        // Each channel widened to 8 bits by repeating its high bits: 31 → 255, 0 → 0.
        uint16_t v = testPixel(x, y);
        int r = v >> 11, g = (v >> 5) & 63, b = v & 31;
        const uint8_t *px = &rgb[(static_cast<size_t>(y) * width + x) * 3];
        if (px[0] != ((r << 3) | (r >> 2)) || px[1] != ((g << 2) | (g >> 4)) || px[2] != ((b << 3) | (b >> 2)))
          ++wrong;
      }
    }
    EXPECT_EQ(wrong, 0);
  }
}

TEST_F(Gapi, HeadlessDisplayLeavesAScreenshotWhenAskedTo) {
  std::string path = tempPath("-last.png");
  setenv("HANDSET_SCREENSHOT", path.c_str(), 1);
  device::display().pixels()[0] = 0xF800;
  device::resetDisplay();  // the display closes as at process end
  unsetenv("HANDSET_SCREENSHOT");
  int width = 0, height = 0;
  std::vector<uint8_t> rgb = readPng(path, width, height);
  std::filesystem::remove(path);
  ASSERT_EQ(width, 240);
  ASSERT_EQ(height, 320);
  EXPECT_EQ(rgb[0], 255);
  EXPECT_EQ(rgb[1], 0);
}

bool samePoint(POINT a, POINT b) { return a.x == b.x && a.y == b.y; }

TEST(GapiKeys, LandscapeTurnsTheDirectionPadAndThePointsWithIt) {
  struct Case {
    const char *platform;
    short a, b, c;
  } cases[] = {{"PocketPC", VK_APP1, VK_APP2, VK_APP3}, {"SmartPhone", VK_TSOFT1, VK_TSOFT2, VK_TTALK}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.platform);
    useProfile(std::string("display = 240x320\nplatform_type = ") + c.platform + "\n");
    GXKeyList portrait = GXGetDefaultKeys(GX_NORMALKEYS), landscape = GXGetDefaultKeys(GX_LANDSCAPEKEYS);
    EXPECT_EQ(portrait.vkUp, VK_UP);
    EXPECT_EQ(portrait.vkDown, VK_DOWN);
    EXPECT_EQ(portrait.vkLeft, VK_LEFT);
    EXPECT_EQ(portrait.vkRight, VK_RIGHT);
    // Held with the buttons on the left, the pad's left key points up.
    EXPECT_EQ(landscape.vkUp, VK_LEFT);
    EXPECT_EQ(landscape.vkRight, VK_UP);
    EXPECT_EQ(landscape.vkDown, VK_RIGHT);
    EXPECT_EQ(landscape.vkLeft, VK_DOWN);
    for (const GXKeyList &list : {portrait, landscape}) {
      EXPECT_EQ(list.vkA, c.a);
      EXPECT_EQ(list.vkB, c.b);
      EXPECT_EQ(list.vkC, c.c);
      EXPECT_EQ(list.vkStart, VK_RETURN);
    }
    // A button keeps its place on the case: portrait (x, y) is seen at (319 - y, x).
    EXPECT_TRUE(samePoint(landscape.ptUp, POINT{319 - portrait.ptLeft.y, portrait.ptLeft.x}));
    EXPECT_TRUE(samePoint(landscape.ptA, POINT{319 - portrait.ptA.y, portrait.ptA.x}));
    EXPECT_GE(portrait.ptStart.y, 320);  // below the screen
    EXPECT_LT(landscape.ptStart.x, 0);    // left of it
  }
  GXKeyList none = GXGetDefaultKeys(0);
  EXPECT_EQ(none.vkUp, 0);
  EXPECT_EQ(none.vkStart, 0);
}

}  // namespace
