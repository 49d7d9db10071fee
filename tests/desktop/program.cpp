#include "program.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char **environ;

namespace testing_programs {

Program::Program(std::string path, std::vector<std::string> arguments, std::map<std::string, std::string> environment) {
  static int serial = 0;
  outputFile_ = freshFolder("output-" + std::to_string(++serial)) + "/out.txt";
  std::map<std::string, std::string> env;
  for (char **e = environ; *e; ++e) {
    std::string entry = *e;
    size_t eq = entry.find('=');
    if (eq != std::string::npos) env[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  for (auto &[key, value] : environment) env[key] = value;
  std::vector<std::string> envText;
  for (auto &[key, value] : env) envText.push_back(key + "=" + value);
  std::vector<char *> envp, argv;
  for (std::string &e : envText) envp.push_back(e.data());
  envp.push_back(nullptr);
  argv.push_back(path.data());
  for (std::string &a : arguments) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outputFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  int error = posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (error) throw std::runtime_error("cannot start " + path);
}

Program::~Program() {
  if (!ended_) wait(std::chrono::milliseconds(0));
}

Run Program::wait(std::chrono::milliseconds timeout) {
  if (ended_) return result_;
  auto deadline = std::chrono::steady_clock::now() + timeout;
  int status = 0;
  while (true) {
    pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      result_.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      result_.exitCode = -1;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ended_ = true;
  result_.output = output();
  return result_;
}

void Program::kill() {
  if (ended_) return;
  ::kill(pid_, SIGKILL);
  wait(std::chrono::seconds(10));
}

std::string Program::output() const {
  std::ifstream in(outputFile_);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Program::waitForOutput(const std::string &text, std::chrono::milliseconds timeout) const {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (output().find(text) != std::string::npos) return true;
    siginfo_t info{};
    if (!ended_ && waitid(P_PID, pid_, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid_)
      return output().find(text) != std::string::npos;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

std::string freshFolder(const std::string &name) {
  const char *tmp = std::getenv("TMPDIR");
  std::filesystem::path folder = std::filesystem::path(tmp && *tmp ? tmp : "/tmp") / "pelkavo-tests" /
                                  (name + "-" + std::to_string(getpid()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder.string();
}

std::string buildDir() {
  const char *dir = std::getenv("PELKAVO_BUILD_DIR");
  if (!dir || !*dir) throw std::runtime_error("PELKAVO_BUILD_DIR is not set");
  return dir;
}

}  // namespace testing_programs
