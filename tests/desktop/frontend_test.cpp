// The desktop window asked for where no desktop is: the program stops at once, with the reason
// and exit code 2, whichever of its threads first wanted the display.
#include <gtest/gtest.h>

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
                                     {"WAYLAND_DISPLAY", ""}, {"SDL_VIDEODRIVER", ""}});
    auto result = probe.wait(30s);
    EXPECT_EQ(result.exitCode, 2) << result.output;
    EXPECT_NE(result.output.find("HANDSET_DISPLAY=sdl: cannot open a window: no desktop to show it on"),
              std::string::npos)
        << result.output;
  }
}

}  // namespace
