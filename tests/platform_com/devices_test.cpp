// The device manager's search: the DirectShow camera under the camera class, nothing without it.
#include <windows.h>
#include <camera.h>

#include <gtest/gtest.h>

#include "device/profile.h"

namespace {

TEST(DeviceSearch, AnswersTheProfilesCameraByClassAndName) {
  struct Case {
    const char *profile;
    bool found;
  } cases[] = {
      {"camera = directshow\ndshow_device = CAM1:\n", true},
      {"camera = directshow\n", false},              // no driver name given
      {"camera = vendor\ndshow_device = CAM1:\n", false},  // the camera is not a DirectShow one
      {"camera = none\n", false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.profile);
    device::setCurrent(device::Profile::parse(c.profile, "devices.profile"));
    DEVMGR_DEVICE_INFORMATION info;
    info.dwSize = sizeof info;
    HANDLE search = FindFirstDevice(DeviceSearchByGuid, &DEVCLASS_CAMERA_GUID, &info);
    if (!c.found) {
      EXPECT_EQ(search, INVALID_HANDLE_VALUE);
      EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_MORE_ITEMS);
      continue;
    }
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_EQ(std::u16string(info.szLegacyName), u"CAM1:");
    EXPECT_EQ(info.dwSize, sizeof info);
    EXPECT_FALSE(FindNextDevice(search, &info));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_MORE_ITEMS);
    EXPECT_TRUE(FindClose(search));
    EXPECT_FALSE(FindClose(search));

    search = FindFirstDevice(DeviceSearchByLegacyName, u"cam1:", &info);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    FindClose(search);
    GUID other = DEVCLASS_CAMERA_GUID;
    other.Data1 ^= 1;
    EXPECT_EQ(FindFirstDevice(DeviceSearchByGuid, &other, &info), INVALID_HANDLE_VALUE);
    info.dwSize = 100;
    EXPECT_EQ(FindFirstDevice(DeviceSearchByGuid, &DEVCLASS_CAMERA_GUID, &info), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  }
}

}  // namespace
