// Resources compiled into a module (<ceresource.h>): each module registers one table at load,
// and the instance handle that LoadStringW or LoadBitmapW is given picks the table. Instance
// handles are the modules' dlopen handles (the program's is dlopen(NULL)).
#include <ceresource.h>
#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "display/gdi.h"

namespace platform {
namespace {

struct Registered {
  void *module;
  const CeResourceTable *table;
};

std::mutex &resourcesLock() {
  static std::mutex lock;
  return lock;
}

std::vector<Registered> &registered() {
  static std::vector<Registered> tables;
  return tables;
}

// The dlopen handle of the loaded object that holds an address.
void *moduleHolding(const void *address) {
  Dl_info info;
  link_map *map = nullptr;
  if (!dladdr1(address, &info, reinterpret_cast<void **>(&map), RTLD_DL_LINKMAP)) return nullptr;
  return map;
}

void *programModule() {
  static void *handle = dlopen(nullptr, RTLD_NOW);
  return handle;
}

const CeResourceTable *tableOf(HINSTANCE instance) {
  void *module = instance ? static_cast<void *>(instance) : programModule();
  std::lock_guard<std::mutex> guard(resourcesLock());
  for (const Registered &r : registered())
    if (r.module == module) return r.table;
  return nullptr;
}

}  // namespace
}  // namespace platform

using namespace platform;

extern "C" void WINAPI CeRegisterResources(const CeResourceTable *table) {
  void *module = moduleHolding(table);
  if (!table || !module) return;
  std::lock_guard<std::mutex> guard(resourcesLock());
  auto &tables = registered();
  auto same = std::find_if(tables.begin(), tables.end(), [&](const Registered &r) { return r.module == module; });
  if (same != tables.end())
    same->table = table;
  else
    tables.push_back({module, table});
}

extern "C" int WINAPI LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int size) {
  if (!buffer || size <= 0) return 0;
  buffer[0] = 0;
  const CeResourceTable *table = tableOf(instance);
  if (!table) return 0;
  for (UINT i = 0; i < table->stringCount; ++i) {
    const CeStringResource &s = table->strings[i];
    if (s.id != id || !s.text) continue;
    int n = 0;
    while (n < size - 1 && s.text[n]) buffer[n] = s.text[n], ++n;
    buffer[n] = 0;
    return n;
  }
  return 0;
}

extern "C" HBITMAP WINAPI LoadBitmapW(HINSTANCE instance, LPCWSTR name) {
  if (!IS_INTRESOURCE(name)) return nullptr;  // bitmaps are named by number only
  const CeResourceTable *table = tableOf(instance);
  if (!table) return nullptr;
  const UINT id = static_cast<UINT>(reinterpret_cast<ULONG_PTR>(name));
  for (UINT i = 0; i < table->bitmapCount; ++i)
    if (table->bitmaps[i].id == id) return createBitmap(table->bitmaps[i].dib, table->bitmaps[i].size);
  return nullptr;
}
