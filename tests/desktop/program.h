// Runs a handset program of the build as a child process with its own environment and reads
// what it printed: the desktop and launcher tests' way to drive real programs.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace testing_programs {

struct Run {
  int exitCode = -1;     // -1: killed after the time-out
  std::string output;    // stdout and stderr, interleaved
};

class Program {
 public:
  // `path` is the host file of the program; `environment` is added to (or overrides) ours.
  Program(std::string path, std::vector<std::string> arguments, std::map<std::string, std::string> environment);
  ~Program();
  Program(const Program &) = delete;
  Program &operator=(const Program &) = delete;

  // Waits for the end; kills the program after `timeout`.
  Run wait(std::chrono::milliseconds timeout);
  // Ends it at once, as a crash would (nothing of its own clean-up runs).
  void kill();
  // What it printed so far.
  std::string output() const;
  // Waits until the output contains `text`; false after `timeout` or when the program ended
  // without printing it.
  bool waitForOutput(const std::string &text, std::chrono::milliseconds timeout) const;
  int pid() const { return pid_; }

 private:
  int pid_ = -1;
  std::string outputFile_;
  Run result_;
  bool ended_ = false;
};

// A fresh, empty folder of this test process under the temporary directory.
std::string freshFolder(const std::string &name);
// The build folder (PELKAVO_BUILD_DIR).
std::string buildDir();

}  // namespace testing_programs
