// FindFirstDevice / FindNextDevice over the drivers the profile gives the handset: its
// DirectShow camera (dshow_device, e.g. "CAM1:") under the camera device class.
#include <cstring>
#include <string>
#include <vector>

#include <camera.h>

#include "crt/text.h"
#include "device/profile.h"
#include "kernel/objects.h"

namespace platform {
namespace {

struct Device {
  std::u16string legacyName, key, name, bus;
  GUID deviceClass;
};

std::vector<Device> devices() {
  std::vector<Device> found;
  const device::Profile &profile = device::current();
  if (profile.contains("camera", "directshow") && profile.has("dshow_device")) {
    std::u16string legacy = toUtf16(profile.text("dshow_device"));
    found.push_back({legacy, u"Drivers\\BuiltIn\\Camera", u"$device\\" + legacy.substr(0, legacy.size() - 1),
                     u"$bus\\BuiltIn_0", DEVCLASS_CAMERA_GUID});
  }
  return found;
}

bool matches(const Device &d, DeviceSearchType type, LPCVOID param) {
  auto nameIs = [&](const std::u16string &name) {
    std::u16string_view wanted(static_cast<const WCHAR *>(param));
    return wanted == u"*" || equalsNoCase(wanted, name);
  };
  switch (type) {
    case DeviceSearchByLegacyName: return nameIs(d.legacyName);
    case DeviceSearchByDeviceName: return nameIs(d.name);
    case DeviceSearchByBusName: return nameIs(d.bus);
    case DeviceSearchByGuid: return IsEqualGUID(*static_cast<const GUID *>(param), d.deviceClass);
    default: return false;
  }
}

void copyName(WCHAR *field, size_t capacity, const std::u16string &text) {
  size_t n = std::min(text.size(), capacity - 1);
  std::memcpy(field, text.data(), n * sizeof(WCHAR));
  field[n] = 0;
}

void describe(const Device &d, PDEVMGR_DEVICE_INFORMATION info) {
  DWORD size = info->dwSize;
  std::memset(info, 0, sizeof *info);
  info->dwSize = size;
  info->hDevice = reinterpret_cast<HANDLE>(uintptr_t(0xDE00));
  copyName(info->szLegacyName, 6, d.legacyName);
  copyName(info->szDeviceKey, MAX_PATH, d.key);
  copyName(info->szDeviceName, MAX_PATH, d.name);
  copyName(info->szBusName, MAX_PATH, d.bus);
}

class DeviceSearch : public Search {
 public:
  std::vector<Device> found;
  size_t next = 0;
};

}  // namespace
}  // namespace platform

using namespace platform;

extern "C" HANDLE WINAPI FindFirstDevice(DeviceSearchType type, LPCVOID param, PDEVMGR_DEVICE_INFORMATION info) {
  if (!param || !info || info->dwSize < sizeof(DEVMGR_DEVICE_INFORMATION) || type > DeviceSearchByParent) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  auto search = std::make_shared<DeviceSearch>();
  for (Device &d : devices())
    if (matches(d, type, param)) search->found.push_back(std::move(d));
  if (search->found.empty()) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    return INVALID_HANDLE_VALUE;
  }
  describe(search->found[0], info);
  search->next = 1;
  std::lock_guard<std::mutex> guard(kernelLock);
  return addHandleLocked(search);
}

extern "C" BOOL WINAPI FindNextDevice(HANDLE handle, PDEVMGR_DEVICE_INFORMATION info) {
  std::lock_guard<std::mutex> guard(kernelLock);
  std::shared_ptr<DeviceSearch> search = handleObjectLocked<DeviceSearch>(handle);
  if (!search) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!info || info->dwSize < sizeof(DEVMGR_DEVICE_INFORMATION)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (search->next >= search->found.size()) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
  }
  describe(search->found[search->next++], info);
  return TRUE;
}
