// GetVersionExW: the handset's OS version from its profile.
#include <cstdlib>
#include <cstring>
#include <string>

#include "device/profile.h"
#include <windows.h>

extern "C" BOOL WINAPI GetVersionExW(LPOSVERSIONINFOW info) {
  if (!info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  // "major.minor.build", checked when the profile was read.
  std::string version = device::current().text("os_version");
  if (version.empty()) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  const char *cursor = version.c_str();
  char *end = nullptr;
  DWORD parts[3] = {0, 0, 0};
  for (DWORD &part : parts) {
    part = static_cast<DWORD>(std::strtoul(cursor, &end, 10));
    cursor = *end == '.' ? end + 1 : end;
  }
  info->dwMajorVersion = parts[0];
  info->dwMinorVersion = parts[1];
  info->dwBuildNumber = parts[2];
  info->dwPlatformId = VER_PLATFORM_WIN32_CE;
  std::memset(info->szCSDVersion, 0, sizeof(info->szCSDVersion));
  return TRUE;
}
