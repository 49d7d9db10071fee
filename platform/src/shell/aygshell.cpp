// The shell's part of a full-screen program: hiding the task bar, and the activation and
// setting-change handlers that keep a window on the visible screen.
#include <aygshell.h>

#include <mutex>

#include "shell/taskbar.h"

namespace platform {
namespace {

std::mutex shellLock;
HWND taskBarHiddenBy = nullptr;

bool validRecord(const SHACTIVATEINFO *info) { return info && info->cbSize == sizeof(SHACTIVATEINFO); }

bool hidesTaskBar(HWND window) {
  std::lock_guard<std::mutex> guard(shellLock);
  return taskBarHiddenBy == window;
}

}  // namespace

int taskBarHeight() {
  std::lock_guard<std::mutex> guard(shellLock);
  return taskBarHiddenBy ? 0 : kTaskBarHeight;
}

void shellWindowGone(HWND window) {
  std::lock_guard<std::mutex> guard(shellLock);
  if (taskBarHiddenBy == window) taskBarHiddenBy = nullptr;
}

}  // namespace platform

using namespace platform;

extern "C" BOOL WINAPI SHInitExtraControls(void) { return TRUE; }

extern "C" BOOL WINAPI SHFullScreen(HWND window, DWORD state) {
  if (!IsWindow(window)) return FALSE;
  const DWORD pairs[] = {SHFS_SHOWTASKBAR | SHFS_HIDETASKBAR, SHFS_SHOWSIPBUTTON | SHFS_HIDESIPBUTTON,
                         SHFS_SHOWSTARTICON | SHFS_HIDESTARTICON};
  DWORD known = 0;
  for (DWORD pair : pairs) {
    if ((state & pair) == pair) return FALSE;  // show and hide at once
    known |= pair;
  }
  if (state & ~known) return FALSE;
  std::lock_guard<std::mutex> guard(shellLock);
  if (state & SHFS_HIDETASKBAR) taskBarHiddenBy = window;
  if (state & SHFS_SHOWTASKBAR) taskBarHiddenBy = nullptr;
  return TRUE;
}

extern "C" BOOL WINAPI SHHandleWMActivate(HWND window, WPARAM wParam, LPARAM, SHACTIVATEINFO *info, DWORD) {
  if (!validRecord(info) || !IsWindow(window)) return FALSE;
  info->fActive = LOWORD(wParam) != WA_INACTIVE;
  return TRUE;
}

// After a change of the screen's layout (orientation, input panel) a window is fitted again:
// a full-screen window to the whole screen, any other to the work area.
extern "C" BOOL WINAPI SHHandleWMSettingChange(HWND window, WPARAM wParam, LPARAM, SHACTIVATEINFO *info) {
  if (!validRecord(info) || !IsWindow(window)) return FALSE;
  if (wParam != SETTINGCHANGE_RESET && wParam != SPI_SETSIPINFO) return TRUE;
  RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (!hidesTaskBar(window)) SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  return MoveWindow(window, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
}
