// System metrics and parameters: the screen follows the display's orientation, the work area
// leaves out the task bar, the OEM and platform names come from the handset's profile.
#include <algorithm>
#include <cstring>
#include <string>

#include "crt/text.h"
#include "device/display.h"
#include "device/profile.h"
#include "shell/taskbar.h"
#include <windows.h>

namespace platform {
namespace {

// Copies a profile text as UTF-16 into a buffer of `bytes` bytes; fails when the profile does
// not give it or it does not fit with its terminating zero.
BOOL profileText(const char *key, UINT bytes, PVOID data) {
  const device::Profile &profile = device::current();
  if (!profile.has(key) || !data) return FALSE;
  std::u16string text = toUtf16(profile.text(key));
  if ((text.size() + 1) * sizeof(WCHAR) > bytes) return FALSE;
  std::memcpy(data, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
  return TRUE;
}

}  // namespace
}  // namespace platform

using namespace platform;

extern "C" int WINAPI GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXSCREEN: return device::display().width();
    case SM_CYSCREEN: return device::display().height();
    default: return 0;
  }
}

extern "C" BOOL WINAPI SystemParametersInfoW(UINT action, UINT param, PVOID data, UINT) {
  switch (action) {
    case SPI_GETOEMINFO: return profileText("oem_info", param, data);
    case SPI_GETPLATFORMTYPE: return profileText("platform_type", param, data);
    case SPI_GETWORKAREA: {
      if (!data) return FALSE;
      const device::Display &display = device::display();
      RECT area{0, std::min(taskBarHeight(), display.height()), display.width(), display.height()};
      std::memcpy(data, &area, sizeof(area));
      return TRUE;
    }
    default: return FALSE;
  }
}
