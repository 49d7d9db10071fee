#include "kernel/objects.h"

#include <unordered_map>

namespace platform {

std::mutex kernelLock;
// Never destroyed: a thread of the process (the reaper of a child process) may still notify it
// while the static objects are destroyed at exit.
std::condition_variable &anyChanged = *new std::condition_variable;

namespace {

// Handle values are never reused, so a stale handle fails instead of naming a newer object.
std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> handles;
uintptr_t nextHandle = 0x10000;

}  // namespace

HANDLE addHandleLocked(std::shared_ptr<KernelObject> object) {
  uintptr_t value = nextHandle;
  nextHandle += 4;
  handles.emplace(value, std::move(object));
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> findHandleLocked(HANDLE handle) {
  auto it = handles.find(reinterpret_cast<uintptr_t>(handle));
  return it == handles.end() ? nullptr : it->second;
}

std::shared_ptr<KernelObject> removeHandleLocked(HANDLE handle) {
  auto it = handles.find(reinterpret_cast<uintptr_t>(handle));
  if (it == handles.end()) return nullptr;
  std::shared_ptr<KernelObject> object = std::move(it->second);
  handles.erase(it);
  return object;
}

Deadline deadlineAfter(DWORD milliseconds) {
  if (milliseconds == INFINITE) return std::nullopt;
  return std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
}

}  // namespace platform

extern "C" BOOL WINAPI CloseHandle(HANDLE object) {
  std::shared_ptr<platform::KernelObject> released;
  {
    std::lock_guard<std::mutex> guard(platform::kernelLock);
    released = platform::removeHandleLocked(object);
  }
  if (!released) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
