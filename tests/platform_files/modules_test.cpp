// Libraries: the handset's search order, the profile's system libraries, reference counts and
// module names.
#include <windows.h>

#include <filesystem>

#include "handset_fixture.h"

namespace {

namespace fs = std::filesystem;

class Modules : public FreshHandset {
 protected:
  void SetUp() override {
    FreshHandset::SetUp();
    setenv("HANDSET_SYSTEM_LIB_DIR", PROBE_SYSTEM_DIR, 1);
    fs::copy_file(PROBE_PROGRAM_DIR "/probe.dll", prog + "/probe.dll");
    useProfile("system_library = probe.dll\nsystem_library = SysOnly.dll\n");
  }
  void TearDown() override {
    unsetenv("HANDSET_SYSTEM_LIB_DIR");
    FreshHandset::TearDown();
  }

  // Which copy a library is (0 when it does not load).
  static int copyOf(const char16_t *name) {
    HMODULE module = LoadLibraryW(name);
    if (!module) return 0;
    auto probe = reinterpret_cast<int (*)()>(GetProcAddressW(module, u"ProbeCopy"));
    int copy = probe ? probe() : -1;
    FreeLibrary(module);
    return copy;
  }
};

TEST_F(Modules, SearchOrderAndTheProfilesSystemLibraries) {
  EXPECT_EQ(copyOf(u"probe.dll"), 1);  // the program's directory comes first
  EXPECT_EQ(copyOf(u"PROBE"), 1);      // ".dll" is implied, case is not significant
  EXPECT_EQ(copyOf(u"\\Windows\\probe.dll"), 2);
  EXPECT_EQ(copyOf(u"\\Program Files\\Pelkavo\\probe.dll"), 1);
  EXPECT_EQ(copyOf(u"sysonly.DLL"), 3);
  fs::remove(prog + "/probe.dll");
  EXPECT_EQ(copyOf(u"probe.dll"), 2);

  // A library the profile does not list is not in "\Windows", although its stand-in was built.
  useProfile("system_library = probe.dll\n");
  EXPECT_EQ(LoadLibraryW(u"SysOnly.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(LoadLibraryW(u"\\Windows\\SysOnly.dll"), nullptr);
  EXPECT_EQ(LoadLibraryW(u"nothere.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));

  // A file put into the device's own Windows folder is there whatever the profile says.
  fs::create_directories(root + "/Windows");
  fs::copy_file(PROBE_SYSTEM_DIR "/SysOnly.dll", root + "/Windows/Extra.dll");
  EXPECT_EQ(copyOf(u"extra.dll"), 3);
}

TEST_F(Modules, OnlyDllFilesLoad) {
  fs::copy_file(PROBE_PROGRAM_DIR "/probe.dll", prog + "/probe.exe");
  EXPECT_EQ(LoadLibraryW(u"probe.exe"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
  EXPECT_EQ(LoadLibraryW(u""), nullptr);
  EXPECT_EQ(LoadLibraryW(nullptr), nullptr);
}

TEST_F(Modules, ReferenceCountsAndLookups) {
  HMODULE first = LoadLibraryW(u"probe.dll");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(LoadLibraryW(u"Probe.dll"), first);
  EXPECT_EQ(GetModuleHandleW(u"PROBE.DLL"), first);

  WCHAR name[MAX_PATH];
  EXPECT_EQ(GetModuleFileNameW(first, name, MAX_PATH), 32u);
  EXPECT_EQ(std::u16string(name), u"\\Program Files\\Pelkavo\\probe.dll");

  auto setError = reinterpret_cast<void (*)(DWORD)>(
      reinterpret_cast<void *>(GetProcAddress(first, "ProbeSetLastError")));
  ASSERT_NE(setError, nullptr);
  setError(4321);
  EXPECT_EQ(GetLastError(), 4321u);
  EXPECT_EQ(GetProcAddressW(first, u"NoSuchEntry"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  EXPECT_EQ(GetProcAddressW(first, reinterpret_cast<LPCWSTR>(7)), nullptr);

  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_EQ(GetModuleHandleW(u"probe"), first);  // one reference left
  EXPECT_NE(GetProcAddressW(first, u"ProbeCopy"), nullptr);
  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_EQ(GetModuleHandleW(u"probe.dll"), nullptr);
  EXPECT_FALSE(FreeLibrary(first));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(Modules, TheProgramsOwnNameIsAHandsetPath) {
  WCHAR name[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, name, MAX_PATH);
  std::u16string expected = u"\\Program Files\\Pelkavo\\platform_files_tests";
  EXPECT_EQ(std::u16string(name), expected);
  EXPECT_EQ(n, expected.size());
  EXPECT_EQ(GetModuleFileNameW(GetModuleHandleW(nullptr), name, 8), 8u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(std::u16string(name), u"\\Progra");
}

}  // namespace
