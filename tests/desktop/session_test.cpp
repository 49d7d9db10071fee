// The handset's programs together: one finds the other's window and brings it to the front,
// the foreground moves between them, and named events are shared.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>

#include "device/profile.h"
#include "platform/session.h"
#include "program.h"

using namespace std::chrono_literals;
using testing_programs::Program;

namespace {

class Session : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = testing_programs::freshFolder("session");
    root = folder + "/root";
  }
  std::map<std::string, std::string> env(const std::string &script = "") {
    std::map<std::string, std::string> e{{"HANDSET_ROOT", root}, {"HANDSET_PROFILE", "asus-p525"},
                                         {"HANDSET_DISPLAY", "headless"}, {"HANDSET_INPUT", ""}};
    if (!script.empty()) {
      std::string file = folder + "/script-" + std::to_string(++scripts) + ".txt";
      std::ofstream(file) << script;
      e["HANDSET_INPUT"] = file;
    }
    return e;
  }
  size_t windowFiles() {
    std::error_code error;
    size_t n = 0;
    for (auto &entry : std::filesystem::directory_iterator(root + "/.system/windows", error)) n += !entry.is_directory();
    return n;
  }
  std::string folder, root;
  int scripts = 0;
};

// The probe goes to the background and, once something brings it back, closes on Escape.
const char kEscapeWhenBack[] = "0 deactivate\n0 front\n0 key Escape\n";

TEST_F(Session, ASecondStartBringsTheRunningWindowBack) {
  Program first(PROBE, {"window"}, env(kEscapeWhenBack));
  ASSERT_TRUE(first.waitForOutput("activate 0", 20s)) << first.output();
  EXPECT_EQ(windowFiles(), 1u);

  Program second(PROBE, {"window"}, env());
  EXPECT_EQ(second.wait(20s).exitCode, 3) << second.output();  // found the first, ended

  auto result = first.wait(40s);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.output, "activate 1\nactivate 0\nactivate 1\nkey 0x1B\nactivate 0\ndestroy\n");
  EXPECT_EQ(windowFiles(), 0u);
  Program third(PROBE, {"find Probe"}, env());
  EXPECT_EQ(third.wait(20s).exitCode, 0);  // nothing left to find
}

TEST_F(Session, TheForegroundMovesBetweenProgramsAndAGoneProgramIsForgotten) {
  Program first(PROBE, {"window"}, env());
  ASSERT_TRUE(first.waitForOutput("activate 1", 20s)) << first.output();
  Program other(PROBE, {"window Other"}, env("0 close\n"));
  EXPECT_EQ(other.wait(20s).exitCode, 0) << other.output();
  EXPECT_TRUE(first.waitForOutput("activate 1\nactivate 0\n", 20s)) << first.output();

  Program find(PROBE, {"find Probe"}, env());
  EXPECT_EQ(find.wait(20s).exitCode, 1);  // found, and asked it to the front
  EXPECT_TRUE(first.waitForOutput("activate 0\nactivate 1\n", 20s)) << first.output();

  first.kill();  // a crash leaves its window file behind
  EXPECT_EQ(windowFiles(), 1u);
  Program again(PROBE, {"find Probe"}, env());
  EXPECT_EQ(again.wait(20s).exitCode, 0);
  EXPECT_EQ(windowFiles(), 0u);
}

TEST_F(Session, NamedEventsAreSharedWithTheOtherPrograms) {
  device::setRoot(root);
  platform::joinSession();
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, u"BackLightChangeEvent");
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));

  Program setter(PROBE, {"event BackLightChangeEvent 0"}, env());
  auto set = setter.wait(20s);
  EXPECT_EQ(set.output, "existed\nset\n");
  EXPECT_EQ(WaitForSingleObject(event, 20000), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);  // auto-reset: taken by the one wait

  Program waiter(PROBE, {"event BackLightChangeEvent 20000"}, env());
  ASSERT_TRUE(waiter.waitForOutput("existed", 20s));
  EXPECT_TRUE(EventModify(event, EVENT_SET));
  auto waited = waiter.wait(30s);
  EXPECT_EQ(waited.output, "existed\nsignalled\n");
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);  // the other program took it

  CloseHandle(event);
  Program fresh(PROBE, {"event BackLightChangeEvent 0"}, env());
  EXPECT_EQ(fresh.wait(20s).output, "new\nset\n");  // nobody held it: a new event
}

}  // namespace
