// The launcher starts the program beside it as the screen recorder; started again while that
// runs, it brings the running one to the front. The small handset program of the desktop tests
// stands in for the camera program ("Pelkavo.exe" in the program directory).
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "program.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using testing_programs::Program;

namespace {

std::string readFile(const fs::path &file) {
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class Launcher : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = testing_programs::freshFolder("launcher");
    root = folder + "/root";
    // A folder with spaces, and a launcher under another name: only its folder counts.
    programs = folder + "/program files with spaces";
    fs::create_directories(programs);
    launcher = programs + "/Screen recorder.exe";
    fs::copy_file(LAUNCHER, launcher);
  }
  void TearDown() override {
    // Whatever the launcher started and a failed test left running.
    std::error_code error;
    for (auto &entry : fs::directory_iterator(root + "/.system/windows", error)) {
      std::ifstream in(entry.path());
      int pid = 0;
      if (in >> pid && pid > 0) kill(pid, SIGKILL);
    }
  }
  std::map<std::string, std::string> env(const std::string &script = "") {
    std::map<std::string, std::string> e{{"HANDSET_ROOT", root},           {"HANDSET_PROFILE", "asus-p525"},
                                         {"HANDSET_DISPLAY", "headless"},  {"HANDSET_INPUT", ""},
                                         {"HANDSET_PROGRAM_DIR", programs}};
    if (!script.empty()) {
      e["HANDSET_INPUT"] = folder + "/script.txt";
      std::ofstream(e["HANDSET_INPUT"]) << script;
    }
    return e;
  }
  // The launcher ends at once; what it started writes on into the same output.
  static bool eventuallyPrints(const Program &program, const std::string &text) {
    for (auto deadline = std::chrono::steady_clock::now() + 30s; std::chrono::steady_clock::now() < deadline;) {
      if (program.output().find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }
  std::string shellLog() { return readFile(root + "/shell.log"); }

  std::string folder, root, programs, launcher;
};

TEST_F(Launcher, StartsTheProgramBesideItAsTheScreenRecorderAndLaterBringsItBack) {
  fs::copy_file(PROBE, programs + "/Pelkavo.exe");
  // The recorder goes to the background at once (as it does when a recording starts) and
  // closes on Escape once it is in front again.
  Program first(launcher, {}, env("0 deactivate\n0 front\n0 key Escape\n"));
  EXPECT_EQ(first.wait(20s).exitCode, 0);  // the launcher does not wait for the program
  ASSERT_TRUE(eventuallyPrints(first, "args -s\nactivate 1\nactivate 0\n")) << first.output();
  const std::string started = "started\t\\Program Files\\Pelkavo\\Pelkavo.exe\t-s\n";
  EXPECT_EQ(shellLog(), started);

  Program second(launcher, {}, env());
  EXPECT_EQ(second.wait(20s).exitCode, 0);
  // The second program found the first, brought it to the front and ended.
  EXPECT_TRUE(eventuallyPrints(second, "args -s\n")) << second.output();
  ASSERT_TRUE(eventuallyPrints(first, "destroy\n")) << first.output();
  EXPECT_EQ(first.output(), "args -s\nactivate 1\nactivate 0\nactivate 1\nkey 0x1B\nactivate 0\ndestroy\n");
  EXPECT_EQ(second.output(), "args -s\n");
  EXPECT_EQ(shellLog(), started + started);
}

TEST_F(Launcher, WithoutTheProgramNothingStarts) {
  Program run(launcher, {}, env());
  auto result = run.wait(20s);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.output, "");
  EXPECT_EQ(shellLog(), "failed\t\\Program Files\\Pelkavo\\Pelkavo.exe\t-s\n");
}

}  // namespace
