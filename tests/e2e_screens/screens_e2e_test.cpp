// The real program on emulated handsets, played by a script: the preview with its overlay and
// the General menu page in the four screen orientations, the orientation turned through that
// page itself, and the menu, the orientation list and the about page, as the display shows
// them. The camera's picture is the colour bars, so whole screens are compared, pixel for
// pixel, with the pictures in reference/<handset>/. The OMAP850's preview and General pages
// are the in-process screens test's as well: with the same camera picture the program's parts
// in-process draw the same screens.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/screenshots.h"

namespace fs = std::filesystem;

namespace {

// The buttons that move a menu's cursor down and up in each screen orientation: the
// handset's buttons stay where they are while the text turns.
const char *const kDownButton[4] = {"Right", "Down", "Left", "Up"};
const char *const kUpButton[4] = {"Left", "Up", "Right", "Down"};

// The handset starts in orientation `start`: the preview, the menu, then the General page
// with its cursor on the orientation and that setting's list, which turns the screen a
// quarter at a time (from 270 back to 0) until each orientation has been seen; after each
// turn the page and the preview again; at last the about page. Every screenshot goes to
// folder/<name>.png.
std::string TurningScript(const fs::path &folder, int start, std::vector<std::string> &names) {
  std::string script;
  auto shot = [&](const std::string &name, int orientation) {
    // A key's own redraw is skipped while the preview thread composes a frame, which may
    // still show the state before the key: the screen is sure to be up to date only after
    // the next frames. The first screenshot waits for the preview's first frames.
    const std::string file = name + "-" + std::to_string(orientation * 90);
    script += (names.empty() ? "1s" : "300ms") + std::string(" screenshot ") + (folder / (file + ".png")).string() + "\n";
    names.push_back(file);
  };
  auto key = [&](const std::string &button) { script += "0 key " + button + "\n"; };
  shot("preview", start);
  key("A");  // the menu, the cursor on General
  shot("main-menu", start);
  key("Action");  // General
  key(kDownButton[start]);
  key(kDownButton[start]);
  shot("menu", start);
  int at = start;
  for (int turn = 1; turn < 4; ++turn) {
    const int to = (start + turn) % 4;
    if (turn > 1) {
      key("A");
      key("Action");  // General again, its cursor where it was left
    }
    key("Action");  // the orientation's list, the cursor on the current one
    if (turn == 1) shot("orientations", at);
    if (to > at) {
      key(kDownButton[at]);
    } else {
      for (int i = 0; i < 3; ++i) key(kUpButton[at]);
    }
    key("Action");
    at = to;
    shot("menu", at);
    key("Back");  // the menu
    key("Back");  // the preview
    shot("preview", at);
  }
  key("A");
  for (int i = 0; i < 5; ++i) key(kDownButton[at]);  // General, Capture, Photo, Image, Picture, About
  key("Action");
  shot("about", at);
  script += "0 close\n";
  return script;
}

struct Handset {
  const char *profile;
  int startOrientation;
};
void PrintTo(const Handset &handset, std::ostream *out) { *out << handset.profile; }

class ScreensE2e : public ::testing::TestWithParam<Handset> {
 protected:
  void SetUp() override {
    base_ = fs::temp_directory_path() / ("screens-e2e-" + std::to_string(::getpid()) + "-" + GetParam().profile);
    fs::remove_all(base_);
    fs::create_directories(base_ / "root");
  }
  void TearDown() override { fs::remove_all(base_); }

  // Runs the program on the handset with the script; its exit code.
  int run(const std::string &script) {
    const fs::path file = base_ / "script.txt";
    std::ofstream(file) << script;
    const std::string profile = WithoutCameraLibrary(std::string(PROFILES_DIR) + "/" + GetParam().profile + ".profile",
                                                     (base_ / "handset.profile").string());
    const std::string program = ProgramDirectoryWithout(PELKAVO_PROGRAM_DIR, (base_ / "prog").string(), {"dsgrab.dll"});
    const std::string command = "HANDSET_PROGRAM_DIR='" + program + "' HANDSET_ROOT='" + (base_ / "root").string() +
                                "' HANDSET_PROFILE='" + profile +
                                "' HANDSET_DISPLAY=headless HANDSET_HOME_SCREEN=frozen HANDSET_INPUT='" +
                                file.string() + "' timeout 120 " + PELKAVO_PROGRAM_DIR + "/Pelkavo.exe";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  fs::path base_;
};

TEST_P(ScreensE2e, PreviewAndMenuPagesInEveryOrientation) {
  std::vector<std::string> names;
  const std::string script = TurningScript(base_, GetParam().startOrientation, names);
  ASSERT_EQ(run(script), 0) << script;
  ASSERT_EQ(names.size(), 11u);
  for (const std::string &name : names) {
    const std::string file = std::string(GetParam().profile) + "/" + name + ".png";
    const std::vector<uint8_t> png = ReadFileBytes((base_ / (name + ".png")).string());
    ASSERT_FALSE(png.empty()) << "no screenshot " << name;
    EXPECT_EQ(CompareWithReference(png, std::string(REFERENCE_DIR) + "/" + file, std::string(SCREENS_DIR) + "/" + file),
              "");
  }
}

// A PXA270 whose preview goes through tarnjpg's converter (video-range colour), an OMAP850
// whose preview the program converts itself, a Smartphone (176 × 220, no menu button on the
// screen, the camera's chroma exchanged), which starts upright, and a 480 × 640 Pocket PC
// (text at double size), which starts in the other landscape view.
INSTANTIATE_TEST_SUITE_P(Handsets, ScreensE2e,
                         ::testing::Values(Handset{"asus-p525", 0}, Handset{"dopod-838", 0}, Handset{"spv-c500", 1},
                                           Handset{"htc-pu10", 2}),
                         [](const auto &info) {
                           std::string name = info.param.profile;
                           for (char &c : name)
                             if (c == '-') c = '_';
                           return name;
                         });

}  // namespace
