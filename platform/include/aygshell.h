// The shell library AYGSHELL: full-screen windows and the shell's handling of activation and
// setting changes.
#pragma once

#include <windows.h>

#define SHFS_SHOWTASKBAR 0x0001
#define SHFS_HIDETASKBAR 0x0002
#define SHFS_SHOWSIPBUTTON 0x0004
#define SHFS_HIDESIPBUTTON 0x0008
#define SHFS_SHOWSTARTICON 0x0010
#define SHFS_HIDESTARTICON 0x0020

// What the shell remembers of a window across activations.
typedef struct {
  DWORD cbSize;
  HWND hwndLastFocus;
  UINT fSipUp : 1;
  UINT fSipOnDeactivation : 1;
  UINT fActive : 1;
  UINT fReserved : 29;
} SHACTIVATEINFO, *PSHACTIVATEINFO;

extern "C" {

// Ordinal 9: prepares the shell's controls; no arguments.
BOOL WINAPI SHInitExtraControls(void);
// Ordinal 65: hides or shows the task bar, the SIP button and the Start icon for a window.
BOOL WINAPI SHFullScreen(HWND window, DWORD state);
// Ordinal 83.
BOOL WINAPI SHHandleWMSettingChange(HWND window, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO *info);
// Ordinal 84.
BOOL WINAPI SHHandleWMActivate(HWND window, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO *info, DWORD flags);

}  // extern "C"
