#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "device/camera.h"
#include "device/profile.h"

namespace {

namespace fs = std::filesystem;

const char16_t *const kEntries[] = {
    u"Camera_Init",          u"Camera_Begin",        u"Camera_End",
    u"Camera_Deinit",        u"Camera_SetProperty",  u"Camera_GetProperty",
    u"Camera_WriteRegister", u"Camera_ReadRegister", u"Camera_FlashLight",
    u"Camera_SetMpegInfoParam", u"Camera_GetYUV2JpegParam", u"Camera_SetYUV2JpegParam"};

// Each shipped profile reaches the vendor camera library under exactly the names it lists, and the
// stand-in exports all twelve entries and opens the handset's camera.
TEST(VendorCameraLibrary, LoadsWhereTheProfileListsIt) {
  char pattern[] = "/tmp/standin-test-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  device::setRoot(pattern);
  std::map<std::string, int> listedBy;
  for (const auto &file : fs::directory_iterator(device::profileDirectory())) {
    if (file.path().extension() != ".profile") continue;
    SCOPED_TRACE(file.path().string());
    device::setCurrent(device::Profile::load(file.path().string()));
    device::resetSensor();
    for (const char *name : {"HTCcamera.dll", "HTCcamera1.dll"}) {
      bool listed = device::current().contains("system_library", name);
      listedBy[name] += listed;
      HMODULE module = LoadLibraryW(device::regtext::toUtf16(name)->c_str());
      EXPECT_EQ(module != nullptr, listed) << name;
      if (!module) continue;
      for (const char16_t *entry : kEntries)
        EXPECT_NE(GetProcAddressW(module, entry), nullptr) << name << " " << device::regtext::toUtf8(entry).value();
      auto init = reinterpret_cast<int (*)(void *, DWORD, DWORD)>(GetProcAddressW(module, u"Camera_Init"));
      DWORD mode = 1;
      EXPECT_EQ(init(&mode, 0, mode), 1);
      EXPECT_EQ(reinterpret_cast<DWORD (*)()>(GetProcAddressW(module, u"Camera_Deinit"))(), 1u);
      FreeLibrary(module);
    }
  }
  EXPECT_GT(listedBy["HTCcamera.dll"], 0);
  EXPECT_GT(listedBy["HTCcamera1.dll"], 0);
  fs::remove_all(pattern);
}

}  // namespace
