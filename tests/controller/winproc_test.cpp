// The main window's procedure: messages in, what the program gives up and takes back out.
#include <aygshell.h>
#include <winreg.h>

#include "app/backlight.h"
#include "app/capture_control.h"
#include "app/fullscreen.h"
#include "app/winproc.h"
#include "tests/controller/controller_fixture.h"

namespace {

constexpr DWORD kKeepLit = 0x8000000;

class WindowTest : public ControllerTest {
 protected:
  void SetUp() override {
    ControllerTest::SetUp();
    WNDCLASSW wc{};
    wc.lpfnWndProc = MainWindowProc;
    wc.lpszClassName = u"ControllerTestWindow";
    ASSERT_TRUE(RegisterClassW(&wc));
    window_ = CreateWindowExW(0, u"ControllerTestWindow", u"controller", WS_VISIBLE, 0, 0, 240, 320, nullptr,
                              nullptr, nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
    WriteBacklight(30, 60);
    SetBacklight(BACKLIGHT_SAVE);
  }
  void TearDown() override {
    if (IsWindow(window_)) DestroyWindow(window_);
    UnregisterClassW(u"ControllerTestWindow", nullptr);
    Drain();
  }

  static void WriteBacklight(DWORD battery, DWORD ac) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"ControlPanel\\Backlight", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, u"BatteryTimeout", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&battery), 4);
    RegSetValueExW(key, u"ACTimeout", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&ac), 4);
    RegCloseKey(key);
  }
  static std::pair<DWORD, DWORD> Backlight() {
    HKEY key;
    DWORD battery = 0, ac = 0, size = 4;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, u"ControlPanel\\Backlight", 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
      return {0, 0};
    RegQueryValueExW(key, u"BatteryTimeout", nullptr, nullptr, reinterpret_cast<BYTE *>(&battery), &size);
    size = 4;
    RegQueryValueExW(key, u"ACTimeout", nullptr, nullptr, reinterpret_cast<BYTE *>(&ac), &size);
    RegCloseKey(key);
    return {battery, ac};
  }
  // Handles what is queued; true when a quit message was among it.
  static bool Drain() {
    MSG msg;
    bool quit = false;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) quit = true;
      DispatchMessageW(&msg);
    }
    return quit;
  }
  LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendMessageW(window_, message, wParam, lParam);
  }

  HWND window_ = nullptr;
};

TEST_F(WindowTest, KeysAndTapsReachTheController) {
  EXPECT_EQ(g_App.shellActivate.cbSize, sizeof(SHACTIVATEINFO));
  g_App.ScreenPicture.header.biWidth = 240;  // taps are placed on the screen picture
  g_App.ScreenPicture.header.biHeight = 320;
  Send(WM_KEYDOWN, VK_APP1);  // A
  EXPECT_TRUE(Shown());
  EXPECT_FALSE(Drain());
  Send(WM_KEYDOWN, VK_APP1 | 0xABCD0000);  // only the low word is the key
  EXPECT_FALSE(Shown());
  Send(WM_LBUTTONDOWN, 0, MAKELPARAM(120, 160));  // tap action: the menu
  EXPECT_TRUE(Shown());
  EXPECT_FALSE(Drain());

  // The closing corner and the end key post the quit message.
  Send(WM_LBUTTONDOWN, 0, MAKELPARAM(3, 3));
  EXPECT_TRUE(Drain());
  AssignKey(SET_KEY_EXIT, VK_F4);
  Send(WM_KEYDOWN, VK_F4);
  EXPECT_TRUE(Drain());
  g_App.ScreenPicture.header = BITMAPINFOHEADER{};
}

TEST_F(WindowTest, CaptureFinishedOutsideAPreviewOnly) {
  Send(WM_APP, 0);  // in the preview: nothing to finish
  EXPECT_EQ(g_App.captureState.load(), STATE_PREVIEW);
  EXPECT_FALSE(Shown());

  g_App.captureState = STATE_CAPTURING;  // a photo taken in the background
  Send(WM_APP, 0);
  EXPECT_EQ(g_App.captureState.load(), STATE_DIALOG);
  EXPECT_EQ(Current(), Page(PAGE_AFTER_PHOTO));
  EXPECT_TRUE(Shown());
}

TEST_F(WindowTest, BackgroundGivesBackWhatTheProgramTook) {
  Setting(SET_BACKLIGHT).index = 1;  // keep lit while in front
  Send(WM_ACTIVATE, WA_ACTIVE);
  EXPECT_EQ(Backlight(), std::make_pair(kKeepLit, kKeepLit));
  EXPECT_EQ(g_App.FullScreen.load(), 1);

  g_App.releaseOnDeactivate = 0;  // minimised to keep capturing
  Send(WM_ACTIVATE, WA_INACTIVE);
  EXPECT_EQ(Backlight(), std::make_pair(DWORD(30), DWORD(60)));
  EXPECT_EQ(g_App.FullScreen.load(), 0);
  EXPECT_EQ(g_App.releaseOnDeactivate, 1u);
  EXPECT_EQ(g_App.resumeOnActivate, 0);

  Send(WM_ACTIVATE, WA_CLICKACTIVE);
  EXPECT_EQ(Backlight(), std::make_pair(kKeepLit, kKeepLit));
  EXPECT_EQ(g_App.FullScreen.load(), 1);
  Send(WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 1));  // minimised while losing activation
  EXPECT_EQ(Backlight(), std::make_pair(DWORD(30), DWORD(60)));

  // Out of full screen the Action key does nothing, even where it would end the program.
  Send(WM_KEYDOWN, VK_APP1);
  HandleKey(g_App.keys.vkUp);
  ASSERT_EQ(Current()->cursor.load(), 6);
  Send(WM_KEYDOWN, VK_RETURN);
  EXPECT_FALSE(Drain());
}

// A recording whose file could not be written ends as the Action key would end it, also while
// the program is out of full screen, where the key itself is ignored.
TEST_F(WindowTest, AFailedRecordingEndsAlsoOutOfFullScreen) {
  Setting(SET_CAPTURE_MODE).index = 1;  // video
  g_App.recorder.kind = RECORD_AVI;
  g_App.recorder.failed = 1;
  g_App.captureState = STATE_CAPTURING;
  SetFullScreen(window_, 0);
  Send(WM_APP, CAPTURE_FAILED);
  EXPECT_EQ(g_App.captureState.load(), STATE_DIALOG);
  EXPECT_EQ(Current(), Page(PAGE_AFTER_RECORDING));  // not the paused page: it cannot go on
  g_App.recorder.kind = 0;
  g_App.recorder.failed = 0;
}

// The key that minimises and releases the camera ends a running series first, as a deactivation
// would, rather than closing the camera under it.
TEST_F(WindowTest, MinimiseAndReleaseEndsTheRunningCaptureFirst) {
  g_App.MainWindow = window_;
  AssignKey(SET_KEY_MINIMISE_RELEASE, VK_F4);
  Setting(SET_CAPTURE_MODE).index = 2;  // interval series
  SetFullScreen(window_, 1);
  g_App.captureState = STATE_CAPTURING;
  Send(WM_KEYDOWN, VK_F4);
  EXPECT_EQ(g_App.captureState.load(), STATE_PREVIEW);
  EXPECT_EQ(g_App.FullScreen.load(), 0);
  Drain();
  g_App.MainWindow = nullptr;
}

TEST_F(WindowTest, MinimiseKeysLeaveFullScreen) {
  g_App.MainWindow = window_;
  AssignKey(SET_KEY_MINIMISE, VK_F3);
  AssignKey(SET_KEY_MINIMISE_RELEASE, VK_F4);
  RECT work{}, where{};
  for (WPARAM key : {VK_F3, VK_F4}) {
    SCOPED_TRACE(key);
    SetFullScreen(window_, 1);
    Send(WM_KEYDOWN, key);
    EXPECT_EQ(g_App.FullScreen.load(), 0);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(window_, &where);
    EXPECT_EQ(where.top, work.top);
    EXPECT_GT(work.top, 0);
    Drain();
  }
  g_App.MainWindow = nullptr;
}

}  // namespace
