// Starting programs (CreateProcessW, ShellExecuteEx) and handing files to the shell's viewer.
#include <gtest/gtest.h>
#include <shellapi.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "device/profile.h"
#include "platform/session.h"
#include "program.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using testing_programs::Program;

namespace {

std::u16string wide(const std::string &text) { return std::u16string(text.begin(), text.end()); }
std::string narrow(const std::u16string &text) { return std::string(text.begin(), text.end()); }

class ProgramsAndFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = testing_programs::freshFolder("shell");
    root = folder + "/root";
    fs::create_directories(root);
    device::setRoot(root);
    setenv("HANDSET_ROOT", root.c_str(), 1);  // what the programs started from here see
    platform::joinSession();
  }
  std::string log() {
    std::ifstream in(root + "/shell.log");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::string folder, root;
};

TEST_F(ProgramsAndFiles, AStartedProgramRunsOnItsOwnAndItsHandleTellsTheEnd) {
  HANDLE gate = CreateEventW(nullptr, FALSE, FALSE, u"ProbeGate");
  ASSERT_NE(gate, nullptr);
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(CreateProcessW(wide(PROBE).c_str(), u"event ProbeGate 30000", nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, nullptr, &info));
  EXPECT_NE(info.dwProcessId, 0u);
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 200), WAIT_TIMEOUT);  // waiting for the gate
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_TRUE(EventModify(gate, EVENT_SET));
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 30000), WAIT_OBJECT_0);
  EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(WaitForSingleObject(gate, 0), WAIT_TIMEOUT);  // the program took the signal
  EXPECT_TRUE(CloseHandle(info.hThread));
  EXPECT_TRUE(CloseHandle(info.hProcess));
  CloseHandle(gate);
}

TEST_F(ProgramsAndFiles, ProgramsThatCannotStart) {
  std::ofstream(folder + "/notes.txt") << "not a program\n";
  std::ofstream(folder + "/script.exe") << "not a program either\n";
  chmod((folder + "/script.exe").c_str(), 0755);
  fs::create_directories(folder + "/folder.exe");
  STARTUPINFOW startup{sizeof(STARTUPINFOW)};
  struct Case {
    std::string image;
    DWORD flags;
    LPSTARTUPINFOW startup;
    DWORD error;
  } cases[] = {
      {folder + "/missing.exe", 0, nullptr, ERROR_FILE_NOT_FOUND},
      {folder + "/no folder/missing.exe", 0, nullptr, ERROR_PATH_NOT_FOUND},
      {folder + "/folder.exe", 0, nullptr, ERROR_ACCESS_DENIED},
      {folder + "/notes.txt", 0, nullptr, ERROR_ACCESS_DENIED},  // not executable
      {folder + "/script.exe", 0, nullptr, ERROR_BAD_EXE_FORMAT},
      {PROBE, 0x10, nullptr, ERROR_INVALID_PARAMETER},  // creation flags the handset has, not this one
      {PROBE, 0, &startup, ERROR_INVALID_PARAMETER},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.image);
    PROCESS_INFORMATION info{};
    SetLastError(0);
    EXPECT_FALSE(CreateProcessW(wide(c.image).c_str(), nullptr, nullptr, nullptr, FALSE, c.flags, nullptr, nullptr,
                                c.startup, &info));
    EXPECT_EQ(GetLastError(), c.error);
    EXPECT_EQ(info.hProcess, nullptr);
  }
}

TEST_F(ProgramsAndFiles, ShellExecuteStartsProgramsAndRefusesWhatItCannotOpen) {
  const std::u16string probe = wide(PROBE);
  SHELLEXECUTEINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpFile = probe.c_str();
  info.lpParameters = u"unknown mode";
  ASSERT_TRUE(ShellExecuteEx(&info));
  EXPECT_EQ(reinterpret_cast<intptr_t>(info.hInstApp), SE_ERR_SUCCESS);
  ASSERT_NE(info.hProcess, nullptr);
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 30000), WAIT_OBJECT_0);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(code, 6u);  // the probe's answer to a mode it does not know
  CloseHandle(info.hProcess);

  std::string expected = "started\t" + std::string(PROBE) + "\tunknown mode\n";
  struct Case {
    const char16_t *verb, *file;
    DWORD cbSize, error;
    const char *logged;  // null: refused before it became a request
  } cases[] = {
      {nullptr, u"\\My Documents\\none.jpg", sizeof(SHELLEXECUTEINFO), ERROR_FILE_NOT_FOUND, "failed"},
      {nullptr, u"\\My Documents", sizeof(SHELLEXECUTEINFO), ERROR_FILE_NOT_FOUND, "failed"},
      {nullptr, u"\\shell.log", sizeof(SHELLEXECUTEINFO), ERROR_FILE_NOT_FOUND, "failed"},  // the emulator's own
      {u"print", probe.c_str(), sizeof(SHELLEXECUTEINFO), ERROR_NO_ASSOCIATION, "failed"},
      {nullptr, probe.c_str(), 60, ERROR_INVALID_PARAMETER, nullptr},  // the size of another layout
      {nullptr, nullptr, sizeof(SHELLEXECUTEINFO), ERROR_INVALID_PARAMETER, nullptr},
  };
  fs::create_directories(root + "/My Documents");
  for (const Case &c : cases) {
    SHELLEXECUTEINFO bad{};
    bad.cbSize = c.cbSize;
    bad.lpVerb = c.verb;
    bad.lpFile = c.file;
    SetLastError(0);
    EXPECT_FALSE(ShellExecuteEx(&bad));
    EXPECT_EQ(GetLastError(), c.error);
    EXPECT_EQ(bad.hProcess, nullptr);
    if (c.logged) expected += std::string(c.logged) + "\t" + narrow(c.file) + "\t\n";
  }
  EXPECT_EQ(log(), expected);

  // A link planted as the log is not written through.
  const std::string victim = folder + "/victim";
  std::ofstream(victim) << "precious";
  fs::remove(root + "/shell.log");
  fs::create_symlink(victim, root + "/shell.log");
  SHELLEXECUTEINFO planted{};
  planted.cbSize = sizeof planted;
  planted.lpFile = u"\\My Documents\\none.jpg";
  EXPECT_FALSE(ShellExecuteEx(&planted));
  std::ifstream in(victim);
  std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(kept, "precious");
}

// A program hands a file to the shell: headless, the request is recorded and the program goes
// to the background as the viewer comes to the front.
TEST_F(ProgramsAndFiles, OpeningAFileSendsTheProgramToTheBackground) {
  std::ofstream(folder + "/script.txt") << "0 key 9\n0 activate\n0 close\n";
  std::map<std::string, std::string> env{{"HANDSET_ROOT", root},
                                         {"HANDSET_INPUT", folder + "/script.txt"},
                                         {"HANDSET_DISPLAY", "headless"},
                                         {"HANDSET_PROFILE", "asus-p525"}};
  Program missing(PROBE, {"window"}, env);  // nothing to open: the program stays in front
  EXPECT_EQ(missing.wait(60s).output, "activate 1\nkey 0x39\nopen 0\nactivate 0\ndestroy\n");

  fs::create_directories(root + "/My Documents");
  std::ofstream(root + "/My Documents/shown.txt") << "a note\n";
  Program opened(PROBE, {"window"}, env);
  EXPECT_EQ(opened.wait(60s).output, "activate 1\nkey 0x39\nopen 1\nactivate 0\nactivate 1\nactivate 0\ndestroy\n");
  EXPECT_EQ(log(), "failed\t\\My Documents\\shown.txt\t\nrecorded\t\\My Documents\\shown.txt\t\n");
}

}  // namespace
