#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "device/profile.h"

namespace {

TEST(KernelIoControl, ProcessorInformationFromTheProfile) {
  struct Case {
    const char *profile;
    BOOL ok;
    const char16_t *core;
    const char16_t *name;
  } cases[] = {
      {"processor_core = ARM920T\nprocessor_name = PXA270\n", TRUE, u"ARM920T", u"PXA270"},
      {"processor_name = PXA255\n", TRUE, u"", u"PXA255"},
      {"processor_core = ARM926\n", TRUE, u"ARM926", u""},
      {"processor_core = 012345678901234567890123456789012345678\n", TRUE, u"012345678901234567890123456789012345678",
       u""},
      {"oem_info = No processor\n", FALSE, nullptr, nullptr},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.profile);
    device::setCurrent(device::Profile::parse(c.profile, "cpu.profile"));
    PROCESSOR_INFO info;
    std::memset(&info, 0xAB, sizeof info);
    DWORD returned = 123;
    ASSERT_EQ(KernelIoControl(IOCTL_PROCESSOR_INFORMATION, nullptr, 0, &info, 576, &returned), c.ok);
    if (!c.ok) {
      EXPECT_EQ(returned, 0u);
      EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_SUPPORTED));
      continue;
    }
    EXPECT_EQ(returned, 576u);
    EXPECT_EQ(info.wVersion, 1);
    EXPECT_EQ(std::u16string(info.szProcessorCore), c.core);
    EXPECT_EQ(std::u16string(info.szProcessorName), c.name);
    EXPECT_EQ(info.szVendor[0], 0);
    EXPECT_EQ(info.dwClockSpeed, 0u);
  }
}

TEST(KernelIoControl, RefusesShortBuffersAndOtherCodes) {
  device::setCurrent(device::Profile::parse("processor_core = XScale\nprocessor_name = PXA270\n", "cpu.profile"));
  PROCESSOR_INFO info;
  DWORD returned = 7;
  EXPECT_FALSE(KernelIoControl(IOCTL_PROCESSOR_INFORMATION, nullptr, 0, &info, 575, &returned));
  EXPECT_EQ(returned, 0u);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_FALSE(KernelIoControl(IOCTL_PROCESSOR_INFORMATION, nullptr, 0, nullptr, 576, &returned));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_FALSE(KernelIoControl(0x01013C40, nullptr, 0, nullptr, 0, &returned));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_SUPPORTED));
  EXPECT_TRUE(KernelIoControl(IOCTL_PROCESSOR_INFORMATION, nullptr, 0, &info, 600, nullptr));
}

}  // namespace
