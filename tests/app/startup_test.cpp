// The interactive start-up's ways of failing, each run through the program's own start-up on an
// emulated handset: what the user is told, whether a window was made, and whether the settings
// were written at the end.
#include "app/startup.h"

#include <gtest/gtest.h>
#include <gx.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/appstate.h"
#include "camera/vendor_library.h"
#include "capture/encoder.h"
#include "device/display.h"
#include "device/profile.h"
#include "pipeline/preview.h"
#include "platform/files.h"

namespace fs = std::filesystem;

namespace {

constexpr char16_t kClass[] = u"PelkavoCamera", kTitle[] = u"Pelkavo";
constexpr char kLanguageMessage[] =
    "MessageBox \"Vendrasol Pelkavo.\": Language file is too old.\nPlease download new file.\n";

struct Failure {
  const char *name;
  const char *profile;  // lines added to the handset's profile
  const char *faults;   // HANDSET_FAULTS
  bool shortLanguage;   // the language file lacks its last entry
  bool displayHeld;     // another window holds the display
  // What the user sees and what is left behind.
  bool message, window, settingsWritten;
};

void PrintTo(const Failure &f, std::ostream *out) { *out << f.name; }

LRESULT CALLBACK Plain(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

class StartupFailure : public ::testing::TestWithParam<Failure> {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("startup-" + std::to_string(::getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "prog");
    device::setRoot(root_.string());
    const Failure &f = GetParam();
    device::setCurrent(device::Profile::parse(std::string("display = 240x320\n") + f.profile, "test.profile"));
    device::resetDisplay();
    if (*f.faults) setenv("HANDSET_FAULTS", f.faults, 1);
    for (const char *name : {"language.txt", "font0.bmp", "font1.bmp"})
      fs::copy_file(fs::path(PELKAVO_ASSETS_DIR) / name, root_ / "prog" / name);
    if (f.shortLanguage) {
      // The shipped file without its last entry.
      std::ifstream in(root_ / "prog" / "language.txt", std::ios::binary);
      std::string text(std::istreambuf_iterator<char>(in), {});
      in.close();
      const size_t last = text.find_last_of('=');
      ASSERT_NE(last, std::string::npos);
      text.erase(text.rfind('\n', last) + 1);
      std::ofstream(root_ / "prog" / "language.txt", std::ios::binary | std::ios::trunc) << text;
    }
    platform::setProgramDirectory((root_ / "prog").string());
    if (f.displayHeld) {
      WNDCLASSW wc{};
      wc.lpfnWndProc = Plain;
      wc.lpszClassName = u"DisplayHolder";
      RegisterClassW(&wc);
      holder_ = CreateWindowExW(0, u"DisplayHolder", u"holder", 0, 0, 0, 240, 320, nullptr, nullptr, nullptr,
                                nullptr);
      ASSERT_EQ(GXOpenDisplay(holder_, GX_FULLSCREEN), 1);
    }
  }

  void TearDown() override {
    if (HWND window = FindWindowW(kClass, kTitle)) DestroyWindow(window);  // closes GAPI too
    UnregisterClassW(kClass, nullptr);
    if (holder_) DestroyWindow(holder_);
    GXCloseDisplay();
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    unsetenv("HANDSET_FAULTS");
    ReleaseEncoders();
    ReleaseVendorLibrary();
    std::free(g_App.currentFile);
    // What a start-up that ended before its shutdown keeps.
    std::free(g_App.language.buffer);
    for (Picture *picture : {&g_App.PreviewPicture, &g_App.ScreenPicture, &g_App.EncodeBuffer}) FreePicture(picture);
    g_App.~AppState();
    new (&g_App) AppState{};
    platform::setProgramDirectory("");
    fs::remove_all(root_);
  }

  // The settings as the registry file holds them; empty when they were never written.
  std::string StoredSettings() const {
    std::ifstream in(root_ / "registry.reg");
    for (std::string line; std::getline(in, line);)
      if (line.rfind("\"Settings\"=", 0) == 0) return line;
    return "";
  }

  fs::path root_;
  HWND holder_ = nullptr;
};

TEST_P(StartupFailure, EndsTheProgramAsItShould) {
  const Failure &f = GetParam();
  // Were the message loop reached, it would end at once rather than wait for ever.
  PostQuitMessage(0);
  testing::internal::CaptureStdout();
  EXPECT_EQ(RunInteractive(nullptr, 0), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), f.message ? kLanguageMessage : "");
  MSG msg;
  EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the message loop ran";
  EXPECT_EQ(FindWindowW(kClass, kTitle) != nullptr, f.window);
  if (!f.window) {
    EXPECT_EQ(g_App.savedMode.dmSize, 0u) << "the display orientation was read";
  }
  const std::string stored = StoredSettings();
  if (f.settingsWritten) {
    EXPECT_NE(stored, "");
  } else {
    EXPECT_EQ(stored, "") << "the settings were written without having been read";
  }
}

INSTANTIATE_TEST_SUITE_P(
    , StartupFailure,
    ::testing::Values(
        Failure{"LanguageFileOneEntryShort", "", "", true, false, true, false, false},
        Failure{"DisplayHeldByAnotherWindow", "", "", false, true, false, true, false},
        // The camera's library refuses to start: no preview, but the settings are kept.
        Failure{"CameraThatDoesNotStart", "oem_info = HTC Wizard\ncamera = vendor\nsystem_library = HTCcamera.dll\n",
                "camera-init", false, false, false, true, true}),
    [](const ::testing::TestParamInfo<Failure> &info) { return std::string(info.param.name); });

}  // namespace
