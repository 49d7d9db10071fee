// KernelIoControl: the OEM layer's answers, taken from the handset profile, and its camera power.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "device/drivers.h"
#include "device/profile.h"

namespace {

// Copies profile text into a zero-terminated UTF-16 field (the profile check keeps it short enough).
template <size_t N>
void putText(WCHAR (&field)[N], const std::string &text) {
  std::u16string units = device::regtext::toUtf16(text).value_or(u"");
  size_t count = std::min(units.size(), N - 1);
  std::copy_n(units.begin(), count, field);
  field[count] = 0;
}

BOOL processorInformation(LPVOID out, DWORD outSize, LPDWORD returned) {
  const device::Profile &profile = device::current();
  if (!profile.has("processor_core") && !profile.has("processor_name")) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  if (!out || outSize < sizeof(PROCESSOR_INFO)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  PROCESSOR_INFO info;
  std::memset(&info, 0, sizeof info);
  info.wVersion = 1;
  putText(info.szProcessorCore, profile.text("processor_core"));
  putText(info.szProcessorName, profile.text("processor_name"));
  std::memcpy(out, &info, sizeof info);
  if (returned) *returned = sizeof info;
  return TRUE;
}

}  // namespace

extern "C" BOOL WINAPI KernelIoControl(DWORD ioControlCode, LPVOID, DWORD, LPVOID outBuffer, DWORD outSize,
                                       LPDWORD bytesReturned) {
  if (bytesReturned) *bytesReturned = 0;
  if (ioControlCode == IOCTL_PROCESSOR_INFORMATION) return processorInformation(outBuffer, outSize, bytesReturned);
  if ((ioControlCode == IOCTL_HAL_CAMERA_POWER_ON || ioControlCode == IOCTL_HAL_CAMERA_POWER_OFF) &&
      device::cameraPowerSwitch()) {
    device::setCameraPower(ioControlCode == IOCTL_HAL_CAMERA_POWER_ON);
    return TRUE;
  }
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}
