// Handset settings the program cannot run with — the profile, the desktop window asked for where
// no desktop is, the window's scale, the input script: the program stops at once with the reason
// and exit code 2, every time, whichever of its threads first wanted the setting.
#include <gtest/gtest.h>

#include <fstream>

#include "program.h"

using namespace std::chrono_literals;

namespace {

TEST(DesktopFrontEnd, WithoutADesktopTheWindowIsRefusedAndTheProgramStops) {
  const std::string folder = testing_programs::freshFolder("no-desktop");
  // With neither an X nor a Wayland display SDL offers only windows that nobody sees.
  for (int run = 0; run < 3; ++run) {
    SCOPED_TRACE(run);
    testing_programs::Program probe(PROBE, {"window"},
                                    {{"HANDSET_ROOT", folder + "/root"}, {"HANDSET_PROFILE", "asus-p525"},
                                     {"HANDSET_DISPLAY", "sdl"}, {"HANDSET_INPUT", ""}, {"DISPLAY", ""},
                                     {"WAYLAND_DISPLAY", ""}, {"XDG_RUNTIME_DIR", ""}, {"SDL_VIDEODRIVER", ""}});
    auto result = probe.wait(30s);
    EXPECT_EQ(result.exitCode, 2) << result.output;
    EXPECT_NE(result.output.find("HANDSET_DISPLAY=sdl: cannot open a window: no desktop to show it on"),
              std::string::npos)
        << result.output;
    EXPECT_EQ(result.output.find("XDG_RUNTIME_DIR"), std::string::npos) << result.output;  // nobody else's noise
  }
}

TEST(HandsetSettings, OneThatCannotBeUsedStopsTheProgramEveryTime) {
  const std::string folder = testing_programs::freshFolder("bad-settings");
  std::ofstream(folder + "/unknown-key.profile") << "oem_info = A\ncolour = red\n";
  const struct {
    std::map<std::string, std::string> env;
    std::string message;
    int runs;
  } cases[] = {
      {{{"HANDSET_PROFILE", "nosuch"}}, "nosuch.profile: cannot read the handset profile", 25},
      {{{"HANDSET_PROFILE", folder + "/unknown-key.profile"}}, "unknown-key.profile:2: unknown key \"colour\"", 25},
      {{{"HANDSET_DISPLAY", "sdl"}, {"HANDSET_WINDOW_SCALE", "0"}},
       "HANDSET_WINDOW_SCALE: expected a whole number from 1 to 8, found \"0\"", 1},
      {{{"HANDSET_DISPLAY", "sdl"}, {"HANDSET_WINDOW_SCALE", "99"}}, "found \"99\"", 1},
      {{{"HANDSET_DISPLAY", "sdl"}, {"HANDSET_WINDOW_SCALE", "-1"}}, "found \"-1\"", 1},
      {{{"HANDSET_DISPLAY", "sdl"}, {"HANDSET_WINDOW_SCALE", "abc"}}, "found \"abc\"", 1},
      {{{"HANDSET_ROOT", folder + "/unknown-key.profile"}},
       "HANDSET_ROOT: \"" + folder + "/unknown-key.profile\" is no folder", 1},
      {{{"HANDSET_INPUT", folder}}, "handset input error: " + folder + ": cannot read the input script", 1},
      {{{"HANDSET_INPUT", folder + "/none.keys"}}, "none.keys: cannot read the input script", 1},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.message);
    std::map<std::string, std::string> env = {{"HANDSET_ROOT", folder + "/root"}, {"HANDSET_PROFILE", "asus-p525"},
                                              {"HANDSET_DISPLAY", "headless"}, {"HANDSET_INPUT", ""},
                                              {"HANDSET_WINDOW_SCALE", ""}, {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}};
    for (const auto &[key, value] : c.env) env[key] = value;
    for (int run = 0; run < c.runs; ++run) {
      testing_programs::Program probe(PROBE, {"window"}, env);
      const auto result = probe.wait(30s);
      ASSERT_EQ(result.exitCode, 2) << "run " << run << ":\n" << result.output;
      ASSERT_NE(result.output.find(c.message), std::string::npos) << result.output;
    }
  }
}

}  // namespace
