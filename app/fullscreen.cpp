#include "app/fullscreen.h"

#include <aygshell.h>

#include "app/appstate.h"

uint32_t SetFullScreen(HWND window, uint32_t on) {
  const DWORD state = on ? SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON
                         : SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON | SHFS_SHOWSTARTICON;
  if (!SHFullScreen(window, state)) return 0;
  RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (!on) SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  MoveWindow(window, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
  g_App.FullScreen = on ? 1 : 0;
  return 1;
}
