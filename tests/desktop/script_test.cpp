// Scripted input: the script's syntax, and a real handset program driven by a script.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "device/profile.h"
#include "platform/input_script.h"
#include "png_read.h"
#include "probe.h"
#include "program.h"

using namespace std::chrono_literals;
using platform::ScriptStep;
using testing_programs::Program;

namespace {

void useProfile(const char *platformType) {
  device::setCurrent(device::Profile::parse(std::string("platform_type = ") + platformType + "\n", "test.profile"));
}

TEST(InputScript, StepsAndTheirArguments) {
  useProfile("PocketPC");
  const auto steps = platform::parseInputScript(
      "# a comment line\n"
      "\n"
      "500 key Action      # trailing comment\n"
      "250ms down up\n"
      "1.5s up 0x26\n"
      "0 key a\n"
      "0 key 7\n"
      "0 key SOFT2\n"
      "2s tap 10 300\n"
      "0 deactivate\n"
      "0 activate\n"
      "0 switch\n"
      "0 front\n"
      "0 freeze\n"
      "0 unfreeze\n"
      "0 screenshot  shots/after photo.png \n"
      "0 close\n",
      "demo.txt");
  struct Expected {
    uint32_t delay;
    ScriptStep::Action action;
    int vk, x, y;
    const char *file;
    int line;
  } expected[] = {
      {500, ScriptStep::key, 0x0D, 0, 0, "", 3},    {250, ScriptStep::down, 0x26, 0, 0, "", 4},
      {1500, ScriptStep::up, 0x26, 0, 0, "", 5},    {0, ScriptStep::key, 0xC1, 0, 0, "", 6},
      {0, ScriptStep::key, '7', 0, 0, "", 7},       {0, ScriptStep::key, 0x71, 0, 0, "", 8},
      {2000, ScriptStep::tap, 0, 10, 300, "", 9},   {0, ScriptStep::deactivate, 0, 0, 0, "", 10},
      {0, ScriptStep::activate, 0, 0, 0, "", 11},   {0, ScriptStep::switchTask, 0, 0, 0, "", 12},
      {0, ScriptStep::front, 0, 0, 0, "", 13},      {0, ScriptStep::freeze, 0, 0, 0, "", 14},
      {0, ScriptStep::unfreeze, 0, 0, 0, "", 15},   {0, ScriptStep::screenshot, 0, 0, 0, "shots/after photo.png", 16},
      {0, ScriptStep::close, 0, 0, 0, "", 17},
  };
  ASSERT_EQ(steps.size(), std::size(expected));
  for (size_t i = 0; i < steps.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(steps[i].delayMs, expected[i].delay);
    EXPECT_EQ(steps[i].action, expected[i].action);
    EXPECT_EQ(steps[i].vk, expected[i].vk);
    EXPECT_EQ(steps[i].x, expected[i].x);
    EXPECT_EQ(steps[i].y, expected[i].y);
    EXPECT_EQ(steps[i].file, expected[i].file);
    EXPECT_EQ(steps[i].line, expected[i].line);
  }
}

TEST(InputScript, TheGapiButtonsFollowTheKindOfHandset) {
  useProfile("SmartPhone");
  const auto steps = platform::parseInputScript("0 key A\n0 key B\n0 key C\n", "s.txt");
  ASSERT_EQ(steps.size(), 3u);
  EXPECT_EQ(steps[0].vk, 0x70);  // the soft keys and Talk
  EXPECT_EQ(steps[1].vk, 0x71);
  EXPECT_EQ(steps[2].vk, 0x72);
}

TEST(InputScript, FaultsNameTheFileAndLine) {
  useProfile("PocketPC");
  const struct {
    const char *line;
    const char *message;
  } cases[] = {
      {"key Up", "bad.txt:2: expected a delay"},
      {"-5 key Up", "bad.txt:2: expected a delay"},
      {"5x key Up", "bad.txt:2: expected a delay"},
      {"500", "bad.txt:2: a delay without an action"},
      {"0 press Up", "bad.txt:2: unknown action \"press\""},
      {"0 key Jump", "bad.txt:2: unknown key \"Jump\""},
      {"0 key 0x100", "bad.txt:2: unknown key"},
      {"0 key", "bad.txt:2: \"key\" takes 1 argument"},
      {"0 key Up Down", "bad.txt:2: \"key\" takes 1 argument"},
      {"0 tap 10", "bad.txt:2: \"tap\" takes 2 arguments"},
      {"0 tap 10 -3", "bad.txt:2: tap wants two screen coordinates"},
      {"0 screenshot", "bad.txt:2: \"screenshot\" takes 1 argument"},
      {"0 close now", "bad.txt:2: \"close\" takes 0 arguments"},
      {"0 front 5s", "bad.txt:2: \"front\" takes 0 arguments"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.line);
    try {
      platform::parseInputScript(std::string("0 key Up\n") + c.line + "\n", "bad.txt");
      ADD_FAILURE() << "accepted";
    } catch (const platform::ScriptError &error) {
      EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
    }
  }
}

// The probe program prints what its window gets; the script drives it as a user would.
class ScriptedProbe : public ::testing::Test {
 protected:
  void SetUp() override { folder = testing_programs::freshFolder("scripted-probe"); }
  testing_programs::Run run(const std::string &script, std::map<std::string, std::string> env = {}) {
    std::ofstream(folder + "/script.txt") << script;
    env["HANDSET_ROOT"] = folder + "/root";
    env["HANDSET_INPUT"] = folder + "/script.txt";
    env["HANDSET_DISPLAY"] = "headless";
    if (!env.count("HANDSET_PROFILE")) env["HANDSET_PROFILE"] = "asus-p525";
    Program probe(PROBE, {"window"}, env);
    return probe.wait(60s);
  }
  std::string folder;
};

TEST_F(ScriptedProbe, KeysTapsActivationAndScreenshotReachTheProgramInOrder) {
  const std::string shot = folder + "/after action.png";
  auto result = run("0 key Up\n"
                    "100ms key Action\n"
                    "0 tap 10 20\n"
                    "0 screenshot " + shot + "\n"
                    "0 deactivate\n"
                    "0 key Down\n"  // nobody in front: the key goes nowhere
                    "0 activate\n"
                    "0 key 5\n"
                    "0 switch\n"
                    "0 switch\n"
                    "0 close\n");
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_EQ(result.output,
            "activate 1\nkey 0x26\nkey 0x0D\ntap 10 20\nactivate 0\nactivate 1\nkey 0x35\n"
            "activate 0\nactivate 1\nactivate 0\ndestroy\n");  // closing gives activation away first
  Picture picture;
  ASSERT_TRUE(readPng(shot, picture));
  EXPECT_EQ(picture.width, 240);
  EXPECT_EQ(picture.height, 320);
  // Taken after the program had handled the Action key: the whole screen in its colour.
  EXPECT_EQ(picture.at(0, 0), widen565(probeColour(0x0D)));
  EXPECT_EQ(picture.at(239, 319), widen565(probeColour(0x0D)));
}

TEST_F(ScriptedProbe, InTheBackgroundTheHomeScreenShowsAndFreezes) {
  auto result = run("0 key Action\n"
                    "0 deactivate\n"
                    "300 freeze\n"
                    "200 screenshot " + folder + "/a.png\n"
                    "300 screenshot " + folder + "/b.png\n"
                    "0 unfreeze\n"
                    "400 screenshot " + folder + "/c.png\n"
                    "0 close\n");
  EXPECT_EQ(result.exitCode, 0) << result.output;
  Picture a, b, c;
  ASSERT_TRUE(readPng(folder + "/a.png", a));
  ASSERT_TRUE(readPng(folder + "/b.png", b));
  ASSERT_TRUE(readPng(folder + "/c.png", c));
  size_t probeColoured = 0;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x) probeColoured += a.at(x, y) == widen565(probeColour(0x0D));
  EXPECT_LT(probeColoured, a.rgb.size() / 3 / 2);  // the shell drew over the program's picture
  EXPECT_EQ(a.rgb, b.rgb);                          // frozen: nothing moves
  EXPECT_NE(b.rgb, c.rgb);                          // moving again
}

TEST_F(ScriptedProbe, TapsNeedATouchScreen) {
  std::ofstream(folder + "/phone.profile") << "platform_type = SmartPhone\ndisplay = 176x220\ntouch_screen = no\n";
  auto result = run("0 tap 5 5\n0 key A\n0 close\n", {{"HANDSET_PROFILE", folder + "/phone.profile"}});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_NE(result.output.find("line 1: this handset has no touch screen"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("key 0x70"), std::string::npos) << result.output;  // A is the left soft key
  EXPECT_EQ(result.output.find("tap "), std::string::npos);
}

TEST_F(ScriptedProbe, AFaultyScriptStopsTheProgramWithItsLine) {
  auto result = run("0 key Up\n0 key Jump\n");
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_NE(result.output.find("script.txt:2: unknown key \"Jump\""), std::string::npos) << result.output;
  EXPECT_EQ(result.output.find("key 0x26"), std::string::npos);  // nothing of it ran
}

}  // namespace
