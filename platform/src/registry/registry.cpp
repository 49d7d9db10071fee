// RegOpenKeyExW and its siblings over the handset's registry file.
#include <winreg.h>

#include <algorithm>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "registry/store.h"

namespace {
namespace rt = device::regtext;
using registry::Hive;
using registry::Key;

struct OpenKey {
  std::string path;
};

std::mutex handleLock;
std::set<const OpenKey *> handles;

HKEY newHandle(const std::string &path) {
  auto *open = new OpenKey{path};
  std::lock_guard<std::mutex> guard(handleLock);
  handles.insert(open);
  return reinterpret_cast<HKEY>(open);
}

struct Root {
  HKEY key;
  const char *name;
};
const Root kRoots[] = {{HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"},
                       {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
                       {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"},
                       {HKEY_USERS, "HKEY_USERS"}};

bool isPredefined(HKEY key) {
  for (const Root &root : kRoots)
    if (root.key == key) return true;
  return false;
}

// The full path a handle stands for; nullopt for a handle that is not open.
std::optional<std::string> pathOf(HKEY key) {
  for (const Root &root : kRoots)
    if (root.key == key) return std::string(root.name);
  std::lock_guard<std::mutex> guard(handleLock);
  auto it = handles.find(reinterpret_cast<const OpenKey *>(key));
  if (it == handles.end()) return std::nullopt;
  return (*it)->path;
}

// A key or value name as UTF-8; nullopt for ill-formed UTF-16 or a control character, which the
// registry file could not hold.
std::optional<std::string> utf8(LPCWSTR text) {
  if (!text) return std::string();
  std::u16string units(text);
  for (char16_t u : units)
    if (u < 0x20) return std::nullopt;
  return rt::toUtf8(units);
}

// The full path of `subKey` below `key` (whose own path goes to `base`), or the error that rules
// it out.
LONG resolve(HKEY key, LPCWSTR subKey, std::string &path, std::string *basePath = nullptr) {
  std::optional<std::string> base = pathOf(key);
  if (!base) return ERROR_INVALID_HANDLE;
  if (basePath) *basePath = *base;
  std::optional<std::string> sub = utf8(subKey);
  if (!sub) return ERROR_INVALID_PARAMETER;
  while (sub->ends_with('\\')) sub->pop_back();
  if (sub->starts_with('\\') || sub->find("\\\\") != std::string::npos) return ERROR_BAD_PATHNAME;
  path = sub->empty() ? *base : *base + "\\" + *sub;
  return ERROR_SUCCESS;
}

// The key a handle names. The roots always exist; an opened key may have gone since (another
// device root, or another process's file).
LONG keyOf(Hive &hive, const std::string &path, Key *&key) {
  key = hive.find(path);
  return key ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

}  // namespace

extern "C" LONG WINAPI RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM, PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  std::string path;
  if (LONG error = resolve(key, subKey, path)) return error;
  std::string found;
  LONG error = registry::read([&](Hive &hive) -> LONG {
    Key *k = hive.find(path);
    if (!k) return ERROR_FILE_NOT_FOUND;
    found = k->path;
    return ERROR_SUCCESS;
  });
  if (error) return error;
  *result = newHandle(found);
  return ERROR_SUCCESS;
}

extern "C" LONG WINAPI RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM,
                                       struct _SECURITY_ATTRIBUTES *, PHKEY result, LPDWORD disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  std::string path, base;
  if (LONG error = resolve(key, subKey, path, &base)) return error;
  std::string made;
  bool created = false;
  LONG error = registry::change([&](Hive &hive, bool &changed) -> LONG {
    if (!hive.find(base)) return ERROR_KEY_DELETED;
    made = hive.create(path, created).path;
    changed = created;
    return ERROR_SUCCESS;
  });
  if (error) return error;
  *result = newHandle(made);
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

extern "C" LONG WINAPI RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD, LPDWORD type, LPBYTE data,
                                        LPDWORD dataSize) {
  if (data && !dataSize) return ERROR_INVALID_PARAMETER;
  std::optional<std::string> path = pathOf(key);
  if (!path) return ERROR_INVALID_HANDLE;
  std::optional<std::string> name = utf8(valueName);
  if (!name) return ERROR_INVALID_PARAMETER;
  return registry::read([&](Hive &hive) -> LONG {
    Key *k;
    if (LONG error = keyOf(hive, *path, k)) return error;
    auto it = k->values.find(rt::fold(*name));
    if (it == k->values.end()) return ERROR_FILE_NOT_FOUND;
    const registry::Value &value = it->second;
    if (type) *type = value.type;
    if (!dataSize) return ERROR_SUCCESS;
    DWORD room = *dataSize;
    *dataSize = static_cast<DWORD>(value.data.size());
    if (!data) return ERROR_SUCCESS;
    if (room < value.data.size()) return ERROR_MORE_DATA;
    std::copy(value.data.begin(), value.data.end(), data);
    return ERROR_SUCCESS;
  });
}

extern "C" LONG WINAPI RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE *data,
                                      DWORD dataSize) {
  if (!data && dataSize) return ERROR_INVALID_PARAMETER;
  std::optional<std::string> path = pathOf(key);
  if (!path) return ERROR_INVALID_HANDLE;
  std::optional<std::string> name = utf8(valueName);
  if (!name) return ERROR_INVALID_PARAMETER;
  return registry::change([&](Hive &hive, bool &changed) -> LONG {
    Key *k;
    if (LONG error = keyOf(hive, *path, k)) return error;
    registry::Value &value = k->values[rt::fold(*name)];
    std::vector<uint8_t> bytes(data, data + dataSize);
    changed = value.name != *name || value.type != type || value.data != bytes;
    value = {*name, type, std::move(bytes)};
    return ERROR_SUCCESS;
  });
}

extern "C" LONG WINAPI RegDeleteValueW(HKEY key, LPCWSTR valueName) {
  std::optional<std::string> path = pathOf(key);
  if (!path) return ERROR_INVALID_HANDLE;
  std::optional<std::string> name = utf8(valueName);
  if (!name) return ERROR_INVALID_PARAMETER;
  return registry::change([&](Hive &hive, bool &changed) -> LONG {
    Key *k;
    if (LONG error = keyOf(hive, *path, k)) return error;
    changed = k->values.erase(rt::fold(*name)) > 0;
    return changed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  });
}

extern "C" LONG WINAPI RegCloseKey(HKEY key) {
  if (isPredefined(key)) return ERROR_SUCCESS;
  const OpenKey *open = reinterpret_cast<const OpenKey *>(key);
  {
    std::lock_guard<std::mutex> guard(handleLock);
    if (!handles.erase(open)) return ERROR_INVALID_HANDLE;
  }
  delete open;
  return ERROR_SUCCESS;
}
