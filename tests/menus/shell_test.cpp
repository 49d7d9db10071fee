// Leaving and taking back the full screen around a file shown by the shell.
#include <aygshell.h>

#include "app/fullscreen.h"
#include "tests/osd/program_screen.h"

namespace {

LRESULT CALLBACK PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

class FullScreen : public ProgramScreen {
 protected:
  void SetUp() override {
    ProgramScreen::SetUp();
    WNDCLASSW wc{};
    wc.lpfnWndProc = PlainProc;
    wc.lpszClassName = u"MenuShellTest";
    RegisterClassW(&wc);
    window_ = CreateWindowExW(0, u"MenuShellTest", u"menus", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr,
                              nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
    g_App.MainWindow = window_;
  }
  void TearDown() override {
    g_App.MainWindow = nullptr;
    if (IsWindow(window_)) DestroyWindow(window_);
    UnregisterClassW(u"MenuShellTest", nullptr);
    ProgramScreen::TearDown();
  }
  RECT Where() const {
    RECT r{};
    GetWindowRect(window_, &r);
    return r;
  }
  HWND window_ = nullptr;
};

TEST_F(FullScreen, CoversTheScreenOrTheWorkArea) {
  ASSERT_EQ(SetFullScreen(window_, 1), 1u);
  EXPECT_EQ(g_App.FullScreen.load(), 1);
  RECT r = Where();
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.bottom, 320);
  RECT work{};
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
  EXPECT_EQ(work.top, 0);  // the task bar is hidden

  ASSERT_EQ(SetFullScreen(window_, 0), 1u);
  EXPECT_EQ(g_App.FullScreen.load(), 0);
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
  r = Where();
  EXPECT_GT(work.top, 0);
  EXPECT_EQ(r.top, work.top);
  EXPECT_EQ(r.bottom, work.bottom);

  // A window the shell does not know moves nowhere and keeps the state.
  DestroyWindow(window_);
  g_App.FullScreen = 1;
  EXPECT_EQ(SetFullScreen(window_, 0), 0u);
  EXPECT_EQ(g_App.FullScreen.load(), 1);
}

}  // namespace
