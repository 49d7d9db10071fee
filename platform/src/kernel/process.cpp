// CreateProcessW: a handset program is an executable of the host started as a child process.
// Each child is reaped by a small thread of its own, which marks the process object ended, so
// that nothing of a finished program stays behind whether or not anybody holds its handle.
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <thread>
#include <vector>

#include "crt/text.h"
#include "files/paths.h"
#include "kernel/objects.h"
#include "kernel/process.h"

extern char **environ;

namespace platform {
namespace {

class Process : public Waitable {
 public:
  explicit Process(pid_t pid) : pid(pid) {}
  const pid_t pid;
  bool finished = false;  // under kernelLock
  DWORD exitCode = STILL_ACTIVE;

  bool signalled() const override { return finished; }
};

// The main thread of a started program: its handle exists for the caller to close.
class ProcessThread : public KernelObject {};

void reap(std::shared_ptr<Process> process) {
  int status = 0;
  while (waitpid(process->pid, &status, 0) < 0 && errno == EINTR) {
  }
  std::lock_guard<std::mutex> guard(kernelLock);
  process->finished = true;
  process->exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  process->notifyChanged();
}

DWORD spawnError(int error) {
  switch (error) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case EACCES: return ERROR_ACCESS_DENIED;
    case ENOEXEC: return ERROR_BAD_EXE_FORMAT;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_GEN_FAILURE;
  }
}

std::atomic<DWORD> nextThreadId{0x40000000};

}  // namespace

int startChild(const std::string &file, std::vector<std::string> arguments, bool searchPath,
               LPPROCESS_INFORMATION info) {
  std::vector<char *> argv{const_cast<char *>(file.c_str())};
  for (std::string &a : arguments) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid;
  int error = searchPath ? posix_spawnp(&pid, file.c_str(), nullptr, nullptr, argv.data(), environ)
                         : posix_spawn(&pid, file.c_str(), nullptr, nullptr, argv.data(), environ);
  if (error) return error;
  auto process = std::make_shared<Process>(pid);
  std::thread(reap, process).detach();
  if (info) {
    std::lock_guard<std::mutex> guard(kernelLock);
    info->hProcess = addHandleLocked(process);
    info->hThread = addHandleLocked(std::make_shared<ProcessThread>());
    info->dwProcessId = static_cast<DWORD>(pid);
    info->dwThreadId = nextThreadId++;
  }
  return 0;
}

}  // namespace platform

using namespace platform;

extern "C" BOOL WINAPI CreateProcessW(LPCWSTR image, LPCWSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                                      LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD flags,
                                      LPVOID environment, LPWSTR currentDirectory, LPSTARTUPINFOW startup,
                                      LPPROCESS_INFORMATION info) {
  if (!image || processAttributes || threadAttributes || inheritHandles || flags || environment || currentDirectory ||
      startup) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  MappedPath file;
  if (!mapPath(image, file)) return FALSE;
  struct stat st;
  if (stat(file.host.c_str(), &st) != 0) {
    setFileError(errno, file.host);
    return FALSE;
  }
  if (!S_ISREG(st.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }

  // The handset hands the command line over whole; one argument keeps it exactly as given.
  std::vector<std::string> arguments;
  if (commandLine && *commandLine) arguments.push_back(toUtf8(commandLine));
  if (int error = startChild(file.host, std::move(arguments), false, info)) {
    SetLastError(spawnError(error));
    return FALSE;
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

extern "C" BOOL WINAPI GetExitCodeProcess(HANDLE handle, LPDWORD exitCode) {
  std::lock_guard<std::mutex> guard(kernelLock);
  std::shared_ptr<Process> process = handleObjectLocked<Process>(handle);
  if (!process || !exitCode) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  *exitCode = process->exitCode;
  return TRUE;
}
