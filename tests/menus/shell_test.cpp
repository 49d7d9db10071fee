// Leaving and taking back the full screen around a file shown by the shell.
#include <aygshell.h>
#include <cewchar.h>

#include <cstdio>
#include <fstream>
#include <sstream>

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

// A file the shell shows: the program leaves full screen for the viewer and stays out of it;
// one it cannot show: full screen at once again.
TEST_F(FullScreen, OpenWithShellLeavesFullScreenOnlyForAViewer) {
  ASSERT_TRUE(CreateDirectoryW(u"\\My Documents", nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  FILE *file = _wfopen(u"\\My Documents\\shot.jpg", u"wb");
  ASSERT_NE(file, nullptr);
  fclose(file);
  RECT work{};
  ASSERT_EQ(SetFullScreen(window_, 1), 1u);

  EXPECT_EQ(OpenWithShell(u"\\My Documents\\shot.jpg"), 1u);
  EXPECT_EQ(g_App.FullScreen.load(), 0);
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
  EXPECT_EQ(Where().top, work.top);
  EXPECT_GT(work.top, 0);

  ASSERT_EQ(SetFullScreen(window_, 1), 1u);
  EXPECT_EQ(OpenWithShell(u"\\My Documents\\none.jpg"), 0u);
  EXPECT_EQ(g_App.FullScreen.load(), 1);
  EXPECT_EQ(Where().top, 0);
  EXPECT_EQ(Where().bottom, 320);

  std::ifstream in(device::root() + "/shell.log");
  std::stringstream log;
  log << in.rdbuf();
  EXPECT_NE(log.str().find("recorded\t\\My Documents\\shot.jpg"), std::string::npos) << log.str();
  EXPECT_NE(log.str().find("failed\t\\My Documents\\none.jpg"), std::string::npos) << log.str();
}

}  // namespace
