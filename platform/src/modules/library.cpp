// LoadLibraryW and friends over dlopen. Libraries are shared objects named *.dll; the handset's
// search rule is kept: a name with a path as given, a bare name in the program's directory and
// then in "\Windows" (which holds only the system libraries the profile lists).
#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "crt/text.h"
#include "files/paths.h"
#include <windows.h>

namespace platform {
namespace {

struct Module {
  int references = 0;
  std::u16string handsetPath;
};

std::mutex modulesLock;
std::map<void *, Module> modules;

void *programHandle() {
  static void *handle = dlopen(nullptr, RTLD_NOW);
  return handle;
}

std::u16string programPath() {
  return std::u16string(kProgramDirectory) + u"\\" + programFileName();
}

bool endsWithDll(std::u16string_view name) {
  return name.size() >= 4 && equalsNoCase(name.substr(name.size() - 4), u".dll");
}

bool isFile(const std::string &host) {
  struct stat info;
  return stat(host.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The handset paths to try, in order.
std::vector<std::u16string> candidates(std::u16string name) {
  if (name.find_first_of(u"\\/") != std::u16string::npos) return {name};
  if (name.find(u'.') == std::u16string::npos) name += u".dll";
  return {std::u16string(kProgramDirectory) + u"\\" + name, u"\\Windows\\" + name};
}

// The file name part of a handset path.
std::u16string_view fileNameOf(std::u16string_view path) {
  size_t slash = path.find_last_of(u"\\/");
  return slash == std::u16string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace
}  // namespace platform

using namespace platform;

extern "C" HMODULE WINAPI LoadLibraryW(LPCWSTR fileName) {
  if (!fileName || !*fileName) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  for (const std::u16string &candidate : candidates(fileName)) {
    MappedPath mapped;
    if (!mapPath(candidate.c_str(), mapped) || !isFile(mapped.host)) continue;
    if (!endsWithDll(candidate)) {
      SetLastError(ERROR_BAD_EXE_FORMAT);
      return nullptr;
    }
    void *handle = dlopen(mapped.host.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      // A library that is there but cannot be bound is a fault of the build: say why.
      std::fprintf(stderr, "LoadLibraryW: %s\n", dlerror());
      SetLastError(ERROR_MOD_NOT_FOUND);
      return nullptr;
    }
    std::lock_guard<std::mutex> guard(modulesLock);
    Module &module = modules[handle];
    if (module.references++ == 0) module.handsetPath = candidate;
    return reinterpret_cast<HMODULE>(handle);
  }
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

extern "C" BOOL WINAPI FreeLibrary(HMODULE module) {
  void *handle = reinterpret_cast<void *>(module);
  {
    std::lock_guard<std::mutex> guard(modulesLock);
    auto it = modules.find(handle);
    if (it == modules.end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    if (--it->second.references == 0) modules.erase(it);
  }
  dlclose(handle);
  return TRUE;
}

extern "C" FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName) {
  void *handle = reinterpret_cast<void *>(module);
  // Small values are ordinals, which these libraries do not export.
  if (reinterpret_cast<uintptr_t>(procName) < 0x10000) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  {
    std::lock_guard<std::mutex> guard(modulesLock);
    if (handle != programHandle() && !modules.count(handle)) {
      SetLastError(ERROR_INVALID_HANDLE);
      return nullptr;
    }
  }
  void *address = dlsym(handle, procName);
  if (!address) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(address);
}

extern "C" FARPROC WINAPI GetProcAddressW(HMODULE module, LPCWSTR procName) {
  if (reinterpret_cast<uintptr_t>(procName) < 0x10000) return GetProcAddress(module, nullptr);
  return GetProcAddress(module, toUtf8(procName).c_str());
}

extern "C" HMODULE WINAPI GetModuleHandleW(LPCWSTR moduleName) {
  if (!moduleName) return reinterpret_cast<HMODULE>(programHandle());
  std::u16string wanted(fileNameOf(moduleName));
  if (wanted.find(u'.') == std::u16string::npos) wanted += u".dll";
  std::lock_guard<std::mutex> guard(modulesLock);
  for (const auto &[handle, module] : modules)
    if (equalsNoCase(fileNameOf(module.handsetPath), wanted)) return reinterpret_cast<HMODULE>(handle);
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

extern "C" DWORD WINAPI GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
  void *handle = module ? reinterpret_cast<void *>(module) : programHandle();
  std::u16string path;
  if (handle == programHandle()) {
    path = programPath();
  } else {
    std::lock_guard<std::mutex> guard(modulesLock);
    auto it = modules.find(handle);
    if (it == modules.end()) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return 0;
    }
    path = it->second.handsetPath;
  }
  if (!fileName || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (path.size() >= size) {
    std::memcpy(fileName, path.data(), (size - 1) * sizeof(WCHAR));
    fileName[size - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::memcpy(fileName, path.data(), path.size() * sizeof(WCHAR));
  fileName[path.size()] = 0;
  return static_cast<DWORD>(path.size());
}
