// CreateFileW for device names and DeviceIoControl: the handset's drivers (device/drivers.h).
#include <windows.h>
#include <camdriver.h>

#include <cstddef>
#include <memory>
#include <string>

#include "device/drivers.h"
#include "kernel/kmode.h"
#include "kernel/objects.h"

// The drivers read the records as the SDK lays them out.
static_assert(sizeof(LCM_STREAM) == sizeof(device::LcmStreamRecord));
static_assert(offsetof(LCM_STREAM, dwCropBottom) == offsetof(device::LcmStreamRecord, cropBottom));
static_assert(offsetof(LCM_STREAM, dwKind) == offsetof(device::LcmStreamRecord, kind));
static_assert(sizeof(DSC_COMMAND) == sizeof(device::DscCommandRecord));
static_assert(offsetof(DSC_COMMAND, pFrame) == offsetof(device::DscCommandRecord, frame));
static_assert(offsetof(DSC_COMMAND, dwFormat) == offsetof(device::DscCommandRecord, format));
static_assert(DSC_SHORT_COMMAND_BYTES == device::kDscShortCommand);
static_assert(GENERIC_READ == device::kDriverRead && GENERIC_WRITE == device::kDriverWrite);
static_assert(FILE_SHARE_READ == device::kShareRead && FILE_SHARE_WRITE == device::kShareWrite);

namespace platform {
namespace {

class DeviceFile : public KernelObject {
 public:
  explicit DeviceFile(std::unique_ptr<device::DriverHandle> driver) : driver(std::move(driver)) {}
  std::unique_ptr<device::DriverHandle> driver;
};

DWORD win32Error(device::IoStatus status) {
  using device::IoStatus;
  switch (status) {
    case IoStatus::ok: return ERROR_SUCCESS;
    case IoStatus::noDevice: return ERROR_FILE_NOT_FOUND;
    case IoStatus::sharing: return ERROR_SHARING_VIOLATION;
    case IoStatus::notReady: return ERROR_NOT_READY;
    case IoStatus::accessDenied: return ERROR_ACCESS_DENIED;
    case IoStatus::badRequest: return ERROR_INVALID_FUNCTION;
    case IoStatus::badParameter: return ERROR_INVALID_PARAMETER;
    case IoStatus::smallBuffer: return ERROR_INSUFFICIENT_BUFFER;
    case IoStatus::timeout: return ERROR_TIMEOUT;
  }
  return ERROR_GEN_FAILURE;
}

bool isLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

// "LCM1:" (any case) as the upper-case name, else "".
std::string deviceName(const char16_t *name) {
  std::string upper;
  for (int i = 0; i < 5; ++i) {
    const char16_t c = name[i];
    const bool fits = i < 3 ? isLetter(c) : i == 3 ? c >= u'0' && c <= u'9' : c == u':';
    if (!fits) return "";
    upper += char(c >= u'a' && c <= u'z' ? c - u'a' + u'A' : c);
  }
  return name[5] == 0 ? upper : "";
}

}  // namespace
}  // namespace platform

using namespace platform;

extern "C" HANDLE WINAPI CreateFileW(LPCWSTR fileName, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES,
                                     DWORD creation, DWORD, HANDLE) {
  if (!fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  // Device names come before any path: "LCM1:" is never a file.
  const std::string name = deviceName(fileName);
  if (name.empty()) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return INVALID_HANDLE_VALUE;
  }
  if (creation != OPEN_EXISTING) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::unique_ptr<device::DriverHandle> driver;
  const device::IoStatus status = device::openDriver(name, access, shareMode, &driver);
  if (status != device::IoStatus::ok) {
    SetLastError(win32Error(status));
    return INVALID_HANDLE_VALUE;
  }
  auto file = std::make_shared<DeviceFile>(std::move(driver));
  std::lock_guard<std::mutex> guard(kernelLock);
  return addHandleLocked(std::move(file));
}

extern "C" BOOL WINAPI DeviceIoControl(HANDLE device, DWORD ioControlCode, LPVOID inBuffer, DWORD inSize,
                                       LPVOID outBuffer, DWORD outSize, LPDWORD bytesReturned,
                                       LPOVERLAPPED overlapped) {
  if (bytesReturned) *bytesReturned = 0;
  std::shared_ptr<DeviceFile> file;
  {
    std::lock_guard<std::mutex> guard(kernelLock);
    file = handleObjectLocked<DeviceFile>(device);
  }
  if (!file) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (overlapped) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  // The driver may block (a frame read): the kernel lock is not held meanwhile.
  device::IoRequest request{ioControlCode, inBuffer, inBuffer ? inSize : 0, outBuffer, outBuffer ? outSize : 0};
  request.kernelMode = threadInKernelMode();
  const device::IoStatus status = file->driver->control(request);
  if (status != device::IoStatus::ok) {
    SetLastError(win32Error(status));
    return FALSE;
  }
  if (bytesReturned) *bytesReturned = DWORD(request.returned);
  return TRUE;
}
