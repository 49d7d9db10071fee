// System parameters from the profile, the task bar, SHFullScreen and the shell's handlers.
#include <aygshell.h>
#include <gtest/gtest.h>
#include <windows.h>

#include "handset.h"

namespace {

LRESULT CALLBACK plainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

RECT workArea() {
  RECT r{};
  EXPECT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0));
  return r;
}

class Shell : public ::testing::Test {
 protected:
  void SetUp() override {
    useProfile(kPocketPc);
    WNDCLASSW wc{};
    wc.lpfnWndProc = plainProc;
    wc.lpszClassName = u"ShellTest";
    RegisterClassW(&wc);
    window = CreateWindowExW(0, u"ShellTest", u"shell", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
  }
  void TearDown() override {
    if (IsWindow(window)) DestroyWindow(window);
    UnregisterClassW(u"ShellTest", nullptr);
  }
  HWND window = nullptr;
};

TEST(SystemParameters, NamesComeFromTheProfileAndFailWithoutIt) {
  useProfile("oem_info = HTC Hermes\nplatform_type = PocketPC\n");
  WCHAR buffer[128];
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETOEMINFO, sizeof(buffer), buffer, 0));
  EXPECT_EQ(std::u16string(buffer), u"HTC Hermes");
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETPLATFORMTYPE, sizeof(buffer), buffer, 0));
  EXPECT_EQ(std::u16string(buffer), u"PocketPC");
  EXPECT_FALSE(SystemParametersInfoW(SPI_GETOEMINFO, 10 * sizeof(WCHAR), buffer, 0));  // "HTC Hermes" + 0 is 11 units
  EXPECT_FALSE(SystemParametersInfoW(12345, sizeof(buffer), buffer, 0));

  useProfile("display = 176x220\n");
  EXPECT_FALSE(SystemParametersInfoW(SPI_GETOEMINFO, sizeof(buffer), buffer, 0));
  EXPECT_FALSE(SystemParametersInfoW(SPI_GETPLATFORMTYPE, sizeof(buffer), buffer, 0));
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 176);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 220);
}

TEST_F(Shell, FullScreenHidesTheTaskBarUntilShownOrTheWindowEnds) {
  RECT r = workArea();
  EXPECT_EQ(r.top, 26);
  EXPECT_EQ(r.bottom, 320);
  EXPECT_EQ(r.right, 240);

  ASSERT_TRUE(SHFullScreen(window, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON));
  EXPECT_EQ(workArea().top, 0);
  ASSERT_TRUE(SHFullScreen(window, SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON | SHFS_SHOWSTARTICON));
  EXPECT_EQ(workArea().top, 26);

  ASSERT_TRUE(SHFullScreen(window, SHFS_HIDETASKBAR));
  DestroyWindow(window);
  EXPECT_EQ(workArea().top, 26);
}

TEST_F(Shell, FullScreenRefusesNonsense) {
  EXPECT_FALSE(SHFullScreen(nullptr, SHFS_HIDETASKBAR));
  EXPECT_FALSE(SHFullScreen(window, SHFS_HIDETASKBAR | SHFS_SHOWTASKBAR));
  EXPECT_FALSE(SHFullScreen(window, 0x100));
  EXPECT_EQ(workArea().top, 26);
}

TEST_F(Shell, HandlersCheckTheRecordAndRefitTheWindow) {
  SHACTIVATEINFO info{};
  EXPECT_FALSE(SHHandleWMActivate(window, WA_ACTIVE, 0, &info, 0));  // cbSize not set
  info.cbSize = sizeof(info);
  EXPECT_TRUE(SHHandleWMActivate(window, WA_ACTIVE, 0, &info, 0));
  EXPECT_EQ(info.fActive, 1u);
  EXPECT_TRUE(SHHandleWMActivate(window, WA_INACTIVE, 0, &info, 0));
  EXPECT_EQ(info.fActive, 0u);

  // After a layout change a window that is not full screen is fitted to the work area, a
  // full-screen one to the whole screen.
  RECT r;
  ASSERT_TRUE(SHHandleWMSettingChange(window, SETTINGCHANGE_RESET, 0, &info));
  GetWindowRect(window, &r);
  EXPECT_EQ(r.top, 26);
  SHFullScreen(window, SHFS_HIDETASKBAR);
  ASSERT_TRUE(SHHandleWMSettingChange(window, SETTINGCHANGE_RESET, 0, &info));
  GetWindowRect(window, &r);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.bottom, 320);
  SHFullScreen(window, SHFS_SHOWTASKBAR);
  EXPECT_TRUE(SHInitExtraControls());
}

}  // namespace
