// ChangeDisplaySettingsEx: the display's orientation is the one mode setting the handset
// changes. After a change the windows hear of it through WM_SETTINGCHANGE.
#include <cstddef>

#include "device/display.h"
#include <windows.h>

namespace platform {
namespace {

int degreesOf(DWORD orientation) {
  switch (orientation) {
    case DMDO_0: return 0;
    case DMDO_90: return 90;
    case DMDO_180: return 180;
    case DMDO_270: return 270;
    default: return -1;
  }
}

DWORD orientationOf(int degrees) {
  return degrees == 90 ? DMDO_90 : degrees == 180 ? DMDO_180 : degrees == 270 ? DMDO_270 : DMDO_0;
}

}  // namespace
}  // namespace platform

using namespace platform;

extern "C" LONG WINAPI ChangeDisplaySettingsEx(LPCWSTR deviceName, LPDEVMODEW mode, HWND, DWORD flags, LPVOID) {
  if (deviceName) return DISP_CHANGE_BADPARAM;
  if (!mode) return DISP_CHANGE_SUCCESSFUL;  // back to the mode in the registry: nothing else is kept
  if (mode->dmSize < offsetof(DEVMODEW, dmDisplayOrientation) + sizeof(DWORD)) return DISP_CHANGE_BADPARAM;
  const DWORD query = DM_DISPLAYORIENTATION | DM_DISPLAYQUERYORIENTATION;
  if (!(mode->dmFields & query) || (mode->dmFields & ~query)) return DISP_CHANGE_BADMODE;
  device::Display &display = device::display();

  if (flags & CDS_TEST) {
    if (mode->dmFields & DM_DISPLAYQUERYORIENTATION) {
      DWORD offered = 0;
      for (int degrees : display.orientations()) offered |= orientationOf(degrees);
      mode->dmDisplayOrientation = offered;
    } else {
      mode->dmDisplayOrientation = orientationOf(display.orientation());
    }
    return DISP_CHANGE_SUCCESSFUL;
  }
  if (mode->dmFields & DM_DISPLAYQUERYORIENTATION) return DISP_CHANGE_BADFLAGS;
  const int wanted = degreesOf(mode->dmDisplayOrientation);
  const int before = display.orientation();
  if (wanted < 0 || !display.setOrientation(wanted)) return DISP_CHANGE_BADMODE;
  if (wanted != before) PostMessageW(HWND_BROADCAST, WM_SETTINGCHANGE, SETTINGCHANGE_RESET, 0);
  return DISP_CHANGE_SUCCESSFUL;
}
