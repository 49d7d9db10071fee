// The frame buffer as the display driver's escapes give it, and the display's orientation.
#include <gtest/gtest.h>
#include <gx.h>
#include <windows.h>

#include <cstring>

#include "handset.h"

namespace {

struct Escapes {
  int raw;  // GETRAWFRAMEBUFFER's result
  int gx;   // GETGXINFO's result
};

Escapes callEscapes(RawFrameBufferInfo &raw, GXDeviceInfo &gx) {
  HDC dc = GetDC(nullptr);
  std::memset(&raw, 0, sizeof(raw));
  std::memset(&gx, 0, sizeof(gx));
  gx.idVersion = sizeof(gx);
  Escapes r{ExtEscape(dc, GETRAWFRAMEBUFFER, 0, nullptr, sizeof(raw), reinterpret_cast<LPSTR>(&raw)),
            ExtEscape(dc, GETGXINFO, 0, nullptr, sizeof(gx), reinterpret_cast<LPSTR>(&gx))};
  EXPECT_EQ(ReleaseDC(nullptr, dc), 1);
  return r;
}

TEST(FrameBuffer, EscapesFollowTheProfile) {
  struct Case {
    const char *access;
    int raw, gx;
  } cases[] = {{"raw", 1, 1}, {"gxinfo", 0, 1}, {"none", 0, 0}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.access);
    useProfile(std::string("display = 240x320\nframe_buffer = ") + c.access + "\n");
    RawFrameBufferInfo raw;
    GXDeviceInfo gx;
    Escapes r = callEscapes(raw, gx);
    EXPECT_EQ(r.raw, c.raw);
    EXPECT_EQ(r.gx, c.gx);
    void *pixels = device::display().pixels();
    if (r.raw > 0) {
      EXPECT_EQ(raw.wFormat, FORMAT_565);
      EXPECT_EQ(raw.wBPP, 16);
      EXPECT_EQ(raw.pFramePointer, pixels);
      EXPECT_EQ(raw.cxStride, 2);
      EXPECT_EQ(raw.cyStride, 480);
      EXPECT_EQ(raw.cxPixels, 240);
      EXPECT_EQ(raw.cyPixels, 320);
    } else {
      EXPECT_EQ(raw.pFramePointer, nullptr);  // untouched
    }
    if (r.gx > 0) {
      EXPECT_EQ(gx.idVersion, static_cast<LONG>(sizeof(gx)));
      EXPECT_EQ(gx.pvFrameBuffer, pixels);
      EXPECT_EQ(gx.cbStride, 480u);
      EXPECT_EQ(gx.cxWidth, 240u);
      EXPECT_EQ(gx.cyHeight, 320u);
      EXPECT_EQ(gx.cBPP, 16u);
      EXPECT_EQ(gx.ffFormat, static_cast<DWORD>(kfDirect | kfDirect565));
      EXPECT_EQ(gx.vkButtonUpPortrait, VK_UP);
      EXPECT_EQ(gx.vkButtonUpLandscape, VK_LEFT);
    }
  }
}

TEST(FrameBuffer, EscapeRefusesShortRecordsUnknownCodesAndForeignContexts) {
  useProfile("frame_buffer = raw\n");
  HDC dc = GetDC(nullptr);
  char small[sizeof(RawFrameBufferInfo) - 1] = {};
  EXPECT_LT(ExtEscape(dc, GETRAWFRAMEBUFFER, 0, nullptr, sizeof(small), small), 0);
  EXPECT_LT(ExtEscape(dc, GETGXINFO, 0, nullptr, sizeof(GXDeviceInfo) - 1, small), 0);
  EXPECT_EQ(ExtEscape(dc, 0x12345, 0, nullptr, 0, nullptr), 0);
  DWORD asked = GETRAWFRAMEBUFFER;
  EXPECT_EQ(ExtEscape(dc, QUERYESCSUPPORT, sizeof(asked), reinterpret_cast<LPCSTR>(&asked), 0, nullptr), 1);
  asked = 0x12345;
  EXPECT_EQ(ExtEscape(dc, QUERYESCSUPPORT, sizeof(asked), reinterpret_cast<LPCSTR>(&asked), 0, nullptr), 0);
  ReleaseDC(nullptr, dc);
  RawFrameBufferInfo raw;
  EXPECT_LT(ExtEscape(dc, GETRAWFRAMEBUFFER, 0, nullptr, sizeof(raw), reinterpret_cast<LPSTR>(&raw)), 0);
}

DEVMODEW orientationRecord(DWORD fields, DWORD orientation = 0) {
  DEVMODEW mode{};
  mode.dmSize = sizeof(mode);
  mode.dmFields = fields;
  mode.dmDisplayOrientation = orientation;
  return mode;
}

TEST(Orientation, TestReportsTheOrientationInForceAndWhatThePanelOffers) {
  useProfile("display = 240x320\ndisplay_orientation = 90\ndisplay_orientations = 0 90 270\n");
  DEVMODEW mode = orientationRecord(DM_DISPLAYORIENTATION, 77);
  ASSERT_EQ(ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_TEST, nullptr), DISP_CHANGE_SUCCESSFUL);
  EXPECT_EQ(mode.dmDisplayOrientation, static_cast<DWORD>(DMDO_90));
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 320);
  mode = orientationRecord(DM_DISPLAYQUERYORIENTATION);
  ASSERT_EQ(ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_TEST, nullptr), DISP_CHANGE_SUCCESSFUL);
  EXPECT_EQ(mode.dmDisplayOrientation, static_cast<DWORD>(DMDO_90 | DMDO_270));

  mode = orientationRecord(DM_DISPLAYORIENTATION, DMDO_180);
  EXPECT_EQ(ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_RESET, nullptr), DISP_CHANGE_BADMODE);
  mode = orientationRecord(DM_DISPLAYORIENTATION, 3);
  EXPECT_EQ(ChangeDisplaySettingsEx(nullptr, &mode, nullptr, 0, nullptr), DISP_CHANGE_BADMODE);
  EXPECT_EQ(device::display().orientation(), 90);
  mode = orientationRecord(DM_DISPLAYORIENTATION);
  mode.dmSize = 100;
  EXPECT_EQ(ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_TEST, nullptr), DISP_CHANGE_BADPARAM);
}

LRESULT CALLBACK plainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

TEST(Orientation, ChangeSwapsMetricsAndTheFrameBufferLayoutAndTellsTheWindows) {
  useProfile("display = 240x320\nframe_buffer = raw\n");
  WNDCLASSW wc{};
  wc.lpfnWndProc = plainProc;
  wc.lpszClassName = u"OrientationTest";
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(0, u"OrientationTest", u"o", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  RawFrameBufferInfo before, after;
  GXDeviceInfo gx;
  callEscapes(before, gx);

  device::display().pixels()[5] = 0xFFFF;
  DEVMODEW mode = orientationRecord(DM_DISPLAYORIENTATION, DMDO_270);
  ASSERT_EQ(ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_RESET, nullptr), DISP_CHANGE_SUCCESSFUL);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 320);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 240);
  RECT area;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  EXPECT_EQ(area.right, 320);
  EXPECT_EQ(area.bottom, 240);
  callEscapes(after, gx);
  EXPECT_EQ(after.pFramePointer, before.pFramePointer);  // the program may keep the address
  EXPECT_EQ(after.cxPixels, 320);
  EXPECT_EQ(after.cyPixels, 240);
  EXPECT_EQ(after.cyStride, 640);
  EXPECT_EQ(gx.cxWidth, 320u);
  EXPECT_EQ(device::display().pixel(5, 0), 0);  // the new layout starts black

  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, window, WM_SETTINGCHANGE, WM_SETTINGCHANGE, PM_REMOVE));
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>(SETTINGCHANGE_RESET));
  // Setting the orientation already in force tells nobody.
  ASSERT_EQ(ChangeDisplaySettingsEx(nullptr, &mode, nullptr, 0, nullptr), DISP_CHANGE_SUCCESSFUL);
  EXPECT_FALSE(PeekMessageW(&msg, window, WM_SETTINGCHANGE, WM_SETTINGCHANGE, PM_REMOVE));

  mode = orientationRecord(DM_DISPLAYORIENTATION, DMDO_0);
  ASSERT_EQ(ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_RESET, nullptr), DISP_CHANGE_SUCCESSFUL);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 240);
  DestroyWindow(window);
  UnregisterClassW(u"OrientationTest", nullptr);
}

TEST(Orientation, ProfileValuesTheDisplayCannotUseAreErrors) {
  const char *bad[] = {
      "display_orientation = 45\n",
      "display_orientations = 90 180\n",
      "display_orientation = 90\ndisplay_orientations = 0 180\n",
      "bits_per_pixel = 24\n",
  };
  for (const char *text : bad) {
    device::setCurrent(device::Profile::parse(text, "bad.profile"));
    device::resetDisplay();
    EXPECT_EXIT(device::display(), testing::ExitedWithCode(2), "bad.profile:[0-9]+: (display_orientation|bits_per_pixel)") << text;
  }
}

}  // namespace
