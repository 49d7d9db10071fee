// The handset's programs together: one finds the other's window and brings it to the front,
// the foreground moves between them, and named events are shared.
#include <gtest/gtest.h>
#include <windows.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

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

// The abstract socket a handset program listens on, as the host lists it ("" when none).
std::string socketOf(int pid) {
  std::ifstream table("/proc/net/unix");
  const std::string end = "/" + std::to_string(pid);
  for (std::string line; std::getline(table, line);) {
    const size_t at = line.find("@pelkavo-handset/");
    if (at != std::string::npos && line.ends_with(end)) return line.substr(at + 1);
  }
  return "";
}

// Sends `message` to an abstract socket, as the user `uid` when given (from a child process).
bool sendAs(const std::string &name, const std::string &message, int uid = -1) {
  pid_t child = fork();
  if (child == 0) {
    if (uid >= 0 && (setgid(uid) != 0 || setuid(uid) != 0)) _exit(2);
    int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    _exit(sendto(fd, message.data(), message.size(), 0, reinterpret_cast<sockaddr *>(&address), length) ==
                  ssize_t(message.size())
              ? 0
              : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A program hears only the programs of its own user: another user's request to go to the
// background, or to end its listening, is ignored.
TEST_F(Session, RequestsOfAnotherUserAreIgnored) {
  if (geteuid() != 0) GTEST_SKIP() << "sending as another user needs root";
  Program first(PROBE, {"window"}, env());
  ASSERT_TRUE(first.waitForOutput("activate 1", 20s)) << first.output();
  const std::string name = socketOf(first.pid());
  ASSERT_FALSE(name.empty());
  ASSERT_TRUE(sendAs(name, "quit", 65534));
  ASSERT_TRUE(sendAs(name, "background", 65534));
  std::this_thread::sleep_for(1s);
  EXPECT_EQ(first.output(), "activate 1\n");
  EXPECT_EQ(socketOf(first.pid()), name);  // still listening
  ASSERT_TRUE(sendAs(name, "background"));
  EXPECT_TRUE(first.waitForOutput("activate 1\nactivate 0\n", 20s)) << first.output();
  first.kill();
}

// What the programs share lies in a folder of their own user, mode 0700; one planted as a link
// or owned by another user is not used (a named event then stays the program's own).
TEST_F(Session, TheSharedFolderIsPrivate) {
  device::setRoot(root);
  platform::joinSession();
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, u"PrivateEvent");
  ASSERT_NE(event, nullptr);
  CloseHandle(event);
  EXPECT_EQ(std::filesystem::status(root + "/.system").permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_all);

  const std::string elsewhere = folder + "/elsewhere";
  std::filesystem::create_directories(elsewhere);
  std::filesystem::remove_all(root + "/.system");
  std::filesystem::create_directory_symlink(elsewhere, root + "/.system");

  testing::internal::CaptureStderr();
  event = CreateEventW(nullptr, FALSE, FALSE, u"PlantedEvent");
  Program other(PROBE, {"event PlantedEvent 0"}, env());
  auto run = other.wait(20s);
  EXPECT_NE(run.output.find("/.system cannot hold what the programs share"), std::string::npos) << run.output;
  EXPECT_TRUE(run.output.ends_with("new\nset\n")) << run.output;  // not shared: each has its own
  EXPECT_NE(testing::internal::GetCapturedStderr().find(".system"), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
  CloseHandle(event);

  if (geteuid() != 0) return;  // only root can give the folder to another user
  const std::string foreign = folder + "/foreign";
  std::filesystem::create_directories(foreign + "/.system");
  ASSERT_EQ(chown((foreign + "/.system").c_str(), 65534, 65534), 0);
  auto environment = env();
  environment["HANDSET_ROOT"] = foreign;
  Program third(PROBE, {"event PlantedEvent 0"}, environment);
  auto refused = third.wait(20s);
  EXPECT_NE(refused.output.find("/.system cannot hold what the programs share (it belongs to another user)"),
            std::string::npos)
      << refused.output;
  EXPECT_TRUE(std::filesystem::is_empty(foreign + "/.system"));
}

}  // namespace
