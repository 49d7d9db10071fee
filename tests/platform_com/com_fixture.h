// A fresh handset (profile and root) for each COM test, and class registration.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "device/profile.h"

inline std::u16string toHandsetText(const std::string &s) { return std::u16string(s.begin(), s.end()); }

class ComFixture : public testing::Test {
 protected:
  // The profile text; the DirectShow tests put their camera in it.
  virtual std::string profileText() const { return "os_version = 5.1.1700\n"; }
  void SetUp() override {
    char pattern[] = "/tmp/com-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    device::setRoot(root_);
    device::setCurrent(device::Profile::parse(profileText(), "com.profile"));
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  // Registers the library at a host path as the class's in-process server.
  static void registerServer(REFCLSID clsid, const std::string &library) {
    OLECHAR text[39];
    StringFromGUID2(clsid, text, 39);
    std::u16string path = u"CLSID\\" + std::u16string(text) + u"\\InprocServer32";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, 0, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    std::u16string value = toHandsetText(library);
    ASSERT_EQ(RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                             DWORD((value.size() + 1) * sizeof(WCHAR))),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }

  std::string root_;
};
