// CoGetClassObject and CoCreateInstance over in-process servers registered under
// HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32.
#include <mutex>
#include <string>
#include <unordered_map>

#include <objbase.h>
#include <windows.h>

#include "com/apartment.h"

namespace {

// Libraries stay loaded: objects they made may outlive any count COM could keep.
std::mutex serversLock;
std::unordered_map<std::u16string, HMODULE> servers;

// The library path registered for the class, empty when none is.
std::u16string registeredServer(REFCLSID clsid) {
  OLECHAR text[40];
  StringFromGUID2(clsid, text, 40);
  std::u16string path = u"CLSID\\" + std::u16string(text) + u"\\InprocServer32";
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, 0, &key) != ERROR_SUCCESS) return {};
  WCHAR value[MAX_PATH] = {};
  DWORD type = 0, size = sizeof(value) - sizeof(WCHAR);
  LONG error = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE *>(value), &size);
  RegCloseKey(key);
  if (error != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return {};
  return std::u16string(value);
}

}  // namespace

extern "C" HRESULT WINAPI CoGetClassObject(REFCLSID clsid, DWORD context, LPVOID serverInfo, REFIID riid,
                                           LPVOID *ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!platform::com::initialised()) return CO_E_NOTINITIALIZED;
  if (serverInfo) return E_INVALIDARG;
  if (!(context & CLSCTX_INPROC_SERVER)) return E_NOTIMPL;
  std::u16string path = registeredServer(clsid);
  if (path.empty()) return REGDB_E_CLASSNOTREG;
  HMODULE module;
  {
    std::lock_guard<std::mutex> guard(serversLock);
    auto it = servers.find(path);
    if (it == servers.end()) {
      module = LoadLibraryW(path.c_str());
      if (!module) return CO_E_DLLNOTFOUND;
      servers.emplace(path, module);
    } else {
      module = it->second;
    }
  }
  auto entry = reinterpret_cast<LPFNGETCLASSOBJECT>(GetProcAddress(module, "DllGetClassObject"));
  if (!entry) return CO_E_ERRORINDLL;
  return entry(clsid, riid, ppv);
}

extern "C" HRESULT WINAPI CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID riid,
                                           LPVOID *ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  IClassFactory *factory = nullptr;
  HRESULT hr = CoGetClassObject(clsid, context, nullptr, IID_IClassFactory, reinterpret_cast<void **>(&factory));
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(outer, riid, ppv);
  factory->Release();
  if (FAILED(hr)) *ppv = nullptr;
  return hr;
}
