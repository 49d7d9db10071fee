// The real desktop window on a virtual X display (Xvfb): the probe program shows its screen in
// the SDL window, keys typed into the window (xdotool) reach it, the window's picture as the X
// server has it is the handset's screen scaled up, a sound plays through the desktop's sound
// (SDL's disk driver, which writes what it plays to a file), and a file handed to the shell
// goes to the desktop's viewer. Then the real program, used through the window alone as a user
// does, with a window manager and without one.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <thread>

#include "probe.h"
#include "program.h"
#include "tests/support/screenshots.h"
#include "x_grab.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using testing_programs::Program;

extern char **environ;

namespace {

std::string readFile(const std::string &file) {
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// An X server of this test alone: Xvfb picks a free display and writes its number to a file.
class VirtualDisplay {
 public:
  VirtualDisplay(const std::string &folder, const std::string &screen) {
    const std::string numberFile = folder + "/display-number";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 3, numberFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 1, (folder + "/xvfb.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<std::string> args{"Xvfb", "-displayfd", "3", "-screen", "0", screen, "-nolisten", "tcp"};
    std::vector<char *> argv;
    for (std::string &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int error = posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error) {
      pid_ = -1;
      why_ = "Xvfb cannot be started: " + std::string(strerror(error));
      return;
    }
    for (auto deadline = std::chrono::steady_clock::now() + 30s; std::chrono::steady_clock::now() < deadline;) {
      std::string number = readFile(numberFile);
      if (!number.empty() && number.back() == '\n') {
        name_ = ":" + number.substr(0, number.size() - 1);
        return;
      }
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        break;
      }
      std::this_thread::sleep_for(20ms);
    }
    why_ = "Xvfb did not start: " + readFile(folder + "/xvfb.log");
  }
  ~VirtualDisplay() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  const std::string &name() const { return name_; }  // empty when it did not start
  const std::string &why() const { return why_; }

 private:
  pid_t pid_ = -1;
  std::string name_, why_;
};

class DesktopWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = testing_programs::freshFolder("desktop-window");
    display = std::make_unique<VirtualDisplay>(folder, "1280x800x24");
    if (display->name().empty()) GTEST_SKIP() << display->why();
  }
  // Runs xdotool against the virtual display; its output.
  std::string xdotool(std::vector<std::string> args) {
    Program tool("/usr/bin/xdotool", std::move(args), {{"DISPLAY", display->name()}});
    auto result = tool.wait(30s);
    EXPECT_EQ(result.exitCode, 0) << result.output;
    return result.output;
  }
  // The handset window, once the program has shown it.
  unsigned long findWindow() {
    for (auto deadline = std::chrono::steady_clock::now() + 30s; std::chrono::steady_clock::now() < deadline;) {
      Program search("/usr/bin/xdotool", {"search", "--onlyvisible", "--name", "Emulated handset"},
                     {{"DISPLAY", display->name()}});
      std::string found = search.wait(30s).output;
      if (!found.empty()) return std::stoul(found);
      std::this_thread::sleep_for(100ms);
    }
    return 0;
  }
  std::string folder;
  std::unique_ptr<VirtualDisplay> display;
};

// A RIFF WAVE image of 8 kHz 16-bit mono samples.
std::string waveFile(const std::vector<int16_t> &samples) {
  auto le = [](std::string &out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
  };
  std::string body;
  for (int16_t sample : samples) le(body, static_cast<uint16_t>(sample), 2);
  std::string wav = "RIFF";
  le(wav, static_cast<uint32_t>(36 + body.size()), 4);
  wav += "WAVEfmt ";
  le(wav, 16, 4), le(wav, 1, 2), le(wav, 1, 2), le(wav, 8000, 4), le(wav, 16000, 4), le(wav, 2, 2), le(wav, 16, 2);
  wav += "data";
  le(wav, static_cast<uint32_t>(body.size()), 4);
  return wav + body;
}

// What the probe printed, without the lines SDL's disk driver adds.
std::string withoutSdlNotes(const std::string &output) {
  std::istringstream lines(output);
  std::string kept;
  for (std::string line; std::getline(lines, line);)
    if (line.rfind("CRITICAL: ", 0) != 0) kept += line + "\n";
  return kept;
}

// A window pixel shows a handset pixel: each channel widened to eight bits, give or take the
// rounding of the desktop's conversion.
bool shows(uint32_t shown, uint16_t pixel) {
  const int wide[3] = {(pixel >> 11) * 255 / 31, ((pixel >> 5) & 63) * 255 / 63, (pixel & 31) * 255 / 31};
  for (int c = 0; c < 3; ++c)
    if (std::abs(static_cast<int>((shown >> (16 - 8 * c)) & 255) - wide[c]) > 1) return false;
  return true;
}

TEST_F(DesktopWindow, KeysReachTheProgramAndTheWindowShowsItsScreen) {
  const std::string root = folder + "/root", viewed = folder + "/viewed.txt", viewer = folder + "/viewer";
  fs::create_directories(root + "/My Documents");
  std::ofstream(root + "/My Documents/shown.txt") << "a note\n";
  std::ofstream(viewer) << "#!/bin/sh\necho \"$1\" > '" << viewed << "'\n";
  chmod(viewer.c_str(), 0755);
  std::vector<int16_t> samples;
  for (int i = 0; i < 2000; ++i) samples.push_back(static_cast<int16_t>((i * 3779) % 20000 - 10000));
  const std::string wav = waveFile(samples);
  std::ofstream(root + "/My Documents/beep.wav", std::ios::binary) << wav;
  const std::string played = folder + "/played.raw";
  Program probe(PROBE, {"window"},
                {{"DISPLAY", display->name()}, {"HANDSET_DISPLAY", "sdl"}, {"HANDSET_WINDOW_SCALE", "2"},
                 {"HANDSET_ROOT", root}, {"HANDSET_PROFILE", "asus-p525"}, {"HANDSET_INPUT", ""},
                 {"HANDSET_VIEWER", viewer}, {"SDL_VIDEODRIVER", "x11"}, {"SDL_AUDIODRIVER", "disk"},
                 {"SDL_DISKAUDIOFILE", played},
                 // Software rendering straight into the X window: no Mesa threads, which the thread
                 // sanitizer cannot follow.
                 {"SDL_RENDER_DRIVER", "software"}, {"SDL_FRAMEBUFFER_ACCELERATION", "0"},
                 {"LSAN_OPTIONS", "suppressions=" LSAN_SUPPRESSIONS ":print_suppressions=0"}});
  const unsigned long window = findWindow();
  ASSERT_NE(window, 0u) << probe.output();
  xdotool({"windowfocus", "--sync", std::to_string(window)});

  xdotool({"key", "Up"});
  ASSERT_TRUE(probe.waitForOutput("key 0x26\n", 30s)) << probe.output();
  // The screen, scaled twice, in the colour the key gave it (once the window has drawn it).
  int width = 0, height = 0;
  std::vector<uint32_t> picture;
  const uint16_t expected = probeColour(0x26);
  for (auto deadline = std::chrono::steady_clock::now() + 30s; std::chrono::steady_clock::now() < deadline;) {
    if (grabWindow(display->name(), window, picture, width, height) && shows(picture[picture.size() / 2], expected))
      break;
    std::this_thread::sleep_for(50ms);
  }
  EXPECT_EQ(width, 480);
  EXPECT_EQ(height, 640);
  EXPECT_EQ(std::count_if(picture.begin(), picture.end(), [&](uint32_t p) { return shows(p, expected); }), 480 * 640);

  // A sound plays to its end before PlaySoundW returns, and through the desktop's sound.
  xdotool({"key", "8"});
  ASSERT_TRUE(probe.waitForOutput("sound 1\n", 30s)) << probe.output();
  const std::string samplesBytes = wav.substr(44);
  for (auto deadline = std::chrono::steady_clock::now() + 30s;
       readFile(played).find(samplesBytes) == std::string::npos && std::chrono::steady_clock::now() < deadline;)
    std::this_thread::sleep_for(50ms);  // the desktop's sound lags a little behind
  EXPECT_NE(readFile(played).find(samplesBytes), std::string::npos) << "the samples did not reach the sound";

  // A file handed to the shell opens in the desktop's viewer, and the program goes to the
  // background; Tab brings it back, Escape closes it.
  xdotool({"key", "9"});
  ASSERT_TRUE(probe.waitForOutput("activate 0\n", 30s)) << probe.output();
  xdotool({"key", "Tab"});
  ASSERT_TRUE(probe.waitForOutput("activate 0\nactivate 1\n", 30s)) << probe.output();
  xdotool({"key", "Escape"});
  auto result = probe.wait(30s);
  result.output = withoutSdlNotes(result.output);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.output, "activate 1\nkey 0x26\nkey 0x38\nsound 1\nkey 0x39\nopen 1\nactivate 0\nactivate 1\n"
                           "key 0x1B\nactivate 0\ndestroy\n");
  for (auto deadline = std::chrono::steady_clock::now() + 30s;
       readFile(viewed).empty() && std::chrono::steady_clock::now() < deadline;)
    std::this_thread::sleep_for(20ms);  // the viewer runs on its own
  EXPECT_EQ(readFile(viewed), root + "/My Documents/shown.txt\n");
  EXPECT_EQ(readFile(root + "/shell.log"), "viewer\t\\My Documents\\shown.txt\t\n");
}

// The window's picture shows the handset's `screen` (an RGB picture of the handset's size),
// each pixel scaled up twice: all of it, or the window's rows [first, end).
bool showsScreen(const std::vector<uint32_t> &window, int width, int height, const RgbPicture &screen, int first = 0,
                 int end = -1) {
  if (screen.rgb.empty() || width != 2 * int(screen.width) || height != 2 * int(screen.height)) return false;
  if (end < 0) end = height;
  for (int y = first; y < end; ++y)
    for (int x = 0; x < width; ++x) {
      const uint32_t shown = window[size_t(y) * width + x];
      const uint8_t *expected = &screen.rgb[(size_t(y / 2) * screen.width + x / 2) * 3];
      for (int c = 0; c < 3; ++c)
        if (std::abs(int((shown >> (16 - 8 * c)) & 255) - int(expected[c])) > 2) return false;
    }
  return true;
}

class RealProgramWindow : public DesktopWindow, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    DesktopWindow::SetUp();
    if (IsSkipped() || !GetParam()) return;
    manager = std::make_unique<Program>("/usr/bin/openbox", std::vector<std::string>{},
                                        std::map<std::string, std::string>{{"DISPLAY", display->name()}});
    std::this_thread::sleep_for(500ms);  // it takes the screen over before the program's window comes
  }
  void TearDown() override {
    if (manager) manager->kill();
  }
  // Grabs the window until `wanted` holds for its picture; the last picture is left in `picture`.
  bool waitFor(unsigned long window, const std::function<bool()> &wanted) {
    for (auto deadline = std::chrono::steady_clock::now() + 30s; std::chrono::steady_clock::now() < deadline;) {
      if (grabWindow(display->name(), window, picture, width, height) && wanted()) return true;
      std::this_thread::sleep_for(100ms);
    }
    return false;
  }
  // Waits until the window's picture stays the same for half a second.
  bool waitForSteadyPicture(unsigned long window) {
    std::vector<uint32_t> before;
    return waitFor(window, [&] {
      const bool steady = picture == before;
      before = picture;
      if (!steady) std::this_thread::sleep_for(400ms);
      return steady;
    });
  }
  std::unique_ptr<Program> manager;
  std::vector<uint32_t> picture;
  int width = 0, height = 0;
};

// The preview within seconds of the start, the page after a photo, the home screen after Tab and
// the program again after a second Tab or a click: the window shows each as the handset's
// display has it.
TEST_P(RealProgramWindow, ShowsWhatTheHandsetShowsAsTheUserGoesOn) {
  const std::string root = folder + "/root", last = folder + "/last.png";
  // The screen source's colour bars, which the reference shows: no DirectShow camera library.
  const std::string program = ProgramDirectoryWithout(PELKAVO_PROGRAM_DIR, folder + "/prog", {"dsgrab.dll"});
  Program pelkavo(PELKAVO_PROGRAM_DIR "/Pelkavo.exe", {},
                  {{"DISPLAY", display->name()}, {"HANDSET_DISPLAY", "sdl"}, {"HANDSET_WINDOW_SCALE", "2"},
                   {"HANDSET_PROGRAM_DIR", program},
                   {"HANDSET_ROOT", root}, {"HANDSET_PROFILE", "asus-p525"}, {"HANDSET_CAMERA", "bars"},
                   {"HANDSET_INPUT", ""}, {"HANDSET_HOME_SCREEN", "frozen"}, {"HANDSET_SCREENSHOT", last}, {"SDL_VIDEODRIVER", "x11"},
                   {"SDL_AUDIODRIVER", "dummy"}, {"SDL_RENDER_DRIVER", "software"},
                   {"SDL_FRAMEBUFFER_ACCELERATION", "0"},
                   {"LSAN_OPTIONS", "suppressions=" LSAN_SUPPRESSIONS ":print_suppressions=0"}});
  const unsigned long window = findWindow();
  ASSERT_NE(window, 0u) << pelkavo.output();

  // At its final size, wholly on the screen and centred on it across (a window manager may put
  // its title bar above).
  WindowPlace place;
  ASSERT_TRUE(waitFor(window, [&] { return windowPlace(display->name(), window, place) && place.width == 480; }));
  EXPECT_EQ(place.height, 640);
  EXPECT_GE(place.left, 0);
  EXPECT_GE(place.top, 0);
  EXPECT_LE(place.left + place.width, place.screenWidth);
  EXPECT_LE(place.top + place.height, place.screenHeight);
  EXPECT_NEAR(place.left + place.width / 2, place.screenWidth / 2, 8);

  const RgbPicture preview = DecodePng(ReadFileBytes(REFERENCE_DIR "/asus-p525/preview-0.png"));
  ASSERT_FALSE(preview.rgb.empty());
  EXPECT_TRUE(waitFor(window, [&] { return showsScreen(picture, width, height, preview); }))
      << "the window does not show the preview";

  xdotool({"key", "Return"});
  auto photoTaken = [&] {
    for (const auto &entry : fs::recursive_directory_iterator(root))
      if (entry.path().extension() == ".jpg") return true;
    return false;
  };
  EXPECT_TRUE(waitFor(window, photoTaken)) << "no photo";
  ASSERT_TRUE(waitFor(window, [&] { return !showsScreen(picture, width, height, preview); }));
  ASSERT_TRUE(waitForSteadyPicture(window));
  const std::vector<uint32_t> afterPhoto = picture;
  // The page after the photo lies over the preview: the camera's picture in the middle stays.
  EXPECT_TRUE(showsScreen(afterPhoto, width, height, preview, height / 2 - 8, height / 2 + 8));

  xdotool({"key", "Tab"});
  EXPECT_TRUE(waitFor(window, [&] { return picture != afterPhoto; })) << "Tab left the program's picture up";
  ASSERT_TRUE(waitForSteadyPicture(window));
  const std::vector<uint32_t> homeScreen = picture;
  xdotool({"key", "Tab"});
  EXPECT_TRUE(waitFor(window, [&] { return picture == afterPhoto; })) << "the second Tab did not bring it back";
  // A click on the window while the home screen is up brings the program back too.
  xdotool({"key", "Tab"});
  EXPECT_TRUE(waitFor(window, [&] { return picture == homeScreen; }));
  xdotool({"mousemove", "--window", std::to_string(window), "100", "100", "click", "1"});
  EXPECT_TRUE(waitFor(window, [&] { return picture == afterPhoto; })) << "a click did not bring it back";

  // Closed as the window manager's close button does, the program gives the display back: the
  // handset's last picture is the (frozen) home screen the window showed after the first Tab.
  ASSERT_TRUE(askToClose(display->name(), window));
  auto result = pelkavo.wait(60s);
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_TRUE(showsScreen(homeScreen, width, height, DecodePng(ReadFileBytes(last))));
}

// The program as a user starts it: the DirectShow camera, and SDL drawing through the desktop's
// GL. Closed by the window manager, it ends cleanly, the window gone before the GL libraries'
// own exit handlers run.
TEST_P(RealProgramWindow, TheCameraHandsetClosesCleanlyWithTheDesktopsRenderer) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  // The desktop's GL (Mesa's software rasteriser on a virtual display) keeps memory to the end
  // and takes longer than the test waits to start under a sanitizer; the other window tests
  // draw without it.
  GTEST_SKIP() << "the desktop's GL is not run under a sanitizer";
#endif
  Program pelkavo(PELKAVO_PROGRAM_DIR "/Pelkavo.exe", {},
                  {{"DISPLAY", display->name()}, {"HANDSET_DISPLAY", "sdl"}, {"HANDSET_ROOT", folder + "/root"},
                   {"HANDSET_PROFILE", "asus-p525"}, {"HANDSET_INPUT", ""}, {"SDL_VIDEODRIVER", "x11"},
                   {"SDL_AUDIODRIVER", "dummy"},
                   {"LSAN_OPTIONS", "suppressions=" LSAN_SUPPRESSIONS ":print_suppressions=0"}});
  const unsigned long window = findWindow();
  ASSERT_NE(window, 0u) << pelkavo.output();
  ASSERT_TRUE(waitFor(window, [] { return true; })) << "the window shows nothing";
  ASSERT_TRUE(askToClose(display->name(), window));
  auto result = pelkavo.wait(60s);
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_EQ(result.output.find("X Error"), std::string::npos) << result.output;
}

INSTANTIATE_TEST_SUITE_P(WindowManager, RealProgramWindow, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool> &info) { return info.param ? "Openbox" : "None"; });

}  // namespace
