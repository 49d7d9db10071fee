// ShellExecuteEx. A program is started; any other file goes to the handset's viewer, which is
// the desktop's own (HANDSET_VIEWER, "xdg-open" by default) while the display is shown in a
// window, and nobody when headless. Every request is written to "<device root>/shell.log", one
// line of tab-separated fields: what was done ("started", "viewer", "recorded" for a file
// nobody shows, "failed"), the file as given, and the parameters.
#include <fcntl.h>
#include <shellapi.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "crt/text.h"
#include "device/display.h"
#include "device/profile.h"
#include "files/own_files.h"
#include "files/paths.h"
#include "kernel/process.h"
#include "windows/internal.h"

namespace platform {
namespace {

void logRequest(const char *outcome, const SHELLEXECUTEINFO &info) {
  std::string line = std::string(outcome) + "\t" + toUtf8(info.lpFile) + "\t" +
                     (info.lpParameters ? toUtf8(info.lpParameters) : std::string()) + "\n";
  // A link planted as the log is not written through.
  int fd = open((device::root() + "/" + kShellLog).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC,
                0644);
  if (fd < 0) return;
  ssize_t written = write(fd, line.data(), line.size());  // one write: lines of several programs never mix
  (void)written;
  close(fd);
}

bool isProgram(std::u16string_view file) {
  return file.size() >= 4 && equalsNoCase(file.substr(file.size() - 4), u".exe");
}

// The viewer comes to the front: the program in front goes to the background, told through its
// queue as any activation change it does not cause itself.
void viewerTakesTheForeground() {
  if (std::shared_ptr<Window> active = findWindow(GetActiveWindow())) runOn(*active->queue, [] { activate(nullptr); });
}

BOOL fail(SHELLEXECUTEINFO &info, DWORD error, int shellError) {
  logRequest("failed", info);
  info.hInstApp = reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(shellError));
  SetLastError(error);
  return FALSE;
}

}  // namespace
}  // namespace platform

using namespace platform;

extern "C" BOOL WINAPI ShellExecuteEx(LPSHELLEXECUTEINFO info) {
  if (!info || info->cbSize != sizeof(SHELLEXECUTEINFO) || !info->lpFile) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  info->hProcess = nullptr;
  if (info->lpVerb && *info->lpVerb && !equalsNoCase(info->lpVerb, u"open"))
    return fail(*info, ERROR_NO_ASSOCIATION, SE_ERR_NOASSOC);
  MappedPath file;
  struct stat st;
  if (!mapPath(info->lpFile, file) || stat(file.host.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
    return fail(*info, ERROR_FILE_NOT_FOUND, SE_ERR_FNF);

  if (isProgram(info->lpFile)) {
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(info->lpFile, info->lpParameters, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr,
                        &started))
      return fail(*info, GetLastError(), SE_ERR_NOASSOC);
    CloseHandle(started.hThread);
    if (info->fMask & SEE_MASK_NOCLOSEPROCESS)
      info->hProcess = started.hProcess;
    else
      CloseHandle(started.hProcess);
    logRequest("started", *info);
  } else if (device::display().windowShown()) {
    const char *viewer = std::getenv("HANDSET_VIEWER");
    if (startChild(viewer && *viewer ? viewer : "xdg-open", {file.host}, true, nullptr) != 0)
      return fail(*info, ERROR_NO_ASSOCIATION, SE_ERR_NOASSOC);
    logRequest("viewer", *info);
    viewerTakesTheForeground();
  } else {
    logRequest("recorded", *info);
    viewerTakesTheForeground();
  }
  info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(SE_ERR_SUCCESS));
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}
