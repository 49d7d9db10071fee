// Virtual memory over mmap: reservations are inaccessible anonymous mappings; VirtualCopy with
// PAGE_PHYSICAL maps the handset's physical memory (its memory files) over part of one.
#include <windows.h>
#include <sys/mman.h>

#include <cerrno>
#include <cstdint>
#include <map>
#include <mutex>

#include "device/physical.h"
#include "kernel/lasterror.h"

namespace platform {
namespace {

constexpr uintptr_t kPage = 4096;

std::mutex memoryLock;
std::map<uintptr_t, size_t> reservations;  // start → bytes, whole pages

size_t wholePages(size_t bytes) { return (bytes + kPage - 1) & ~(kPage - 1); }

int hostProtection(DWORD protect) {
  switch (protect & 0xFF) {
    case PAGE_READONLY: return PROT_READ;
    case PAGE_READWRITE: return PROT_READ | PROT_WRITE;
    default: return -1;
  }
}

BOOL fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// The reservation that holds [address, address + bytes); the caller holds memoryLock.
bool insideReservation(uintptr_t address, size_t bytes) {
  auto it = reservations.upper_bound(address);
  if (it == reservations.begin()) return false;
  --it;
  return address - it->first <= it->second && bytes <= it->second - (address - it->first);
}

}  // namespace
}  // namespace platform

using namespace platform;

extern "C" LPVOID WINAPI VirtualAlloc(LPVOID address, DWORD size, DWORD type, DWORD protect) {
  if (address) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  if (size == 0 || !(type & (MEM_RESERVE | MEM_COMMIT)) || (type & ~(MEM_RESERVE | MEM_COMMIT))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  int prot = PROT_NONE;
  if (type & MEM_COMMIT) {
    prot = hostProtection(protect);
    if (prot < 0) prot = PROT_NONE;
  }
  const size_t bytes = wholePages(size);
  void *p = mmap(nullptr, bytes, prot, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (p == MAP_FAILED) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  std::lock_guard<std::mutex> guard(memoryLock);
  reservations[reinterpret_cast<uintptr_t>(p)] = bytes;
  return p;
}

extern "C" BOOL WINAPI VirtualFree(LPVOID address, DWORD size, DWORD type) {
  const uintptr_t start = reinterpret_cast<uintptr_t>(address);
  std::lock_guard<std::mutex> guard(memoryLock);
  if (type == MEM_RELEASE) {
    auto it = reservations.find(start);
    if (size != 0 || it == reservations.end()) return fail(ERROR_INVALID_PARAMETER);
    munmap(address, it->second);
    reservations.erase(it);
    return TRUE;
  }
  if (type == MEM_DECOMMIT) {
    if (start % kPage || size == 0 || !insideReservation(start, wholePages(size)))
      return fail(ERROR_INVALID_PARAMETER);
    void *p = mmap(address, wholePages(size), PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_FIXED,
                   -1, 0);
    return p == MAP_FAILED ? fail(ERROR_NOT_ENOUGH_MEMORY) : TRUE;
  }
  return fail(ERROR_INVALID_PARAMETER);
}

extern "C" BOOL WINAPI VirtualCopy(LPVOID dest, LPVOID source, DWORD size, DWORD protect) {
  if (!(protect & PAGE_PHYSICAL)) return fail(ERROR_NOT_SUPPORTED);
  const int prot = hostProtection(protect);
  const uintptr_t target = reinterpret_cast<uintptr_t>(dest);
  const uint64_t physical = uint64_t(reinterpret_cast<uintptr_t>(source)) << 8;
  if (prot < 0 || size == 0 || target % kPage || physical % kPage) return fail(ERROR_INVALID_PARAMETER);
  const size_t bytes = wholePages(size);
  device::PhysicalRange range;
  if (!device::findPhysical(physical, bytes, &range)) return fail(ERROR_INVALID_PARAMETER);
  std::lock_guard<std::mutex> guard(memoryLock);
  if (!insideReservation(target, bytes)) return fail(ERROR_INVALID_PARAMETER);
  void *p = mmap(dest, bytes, prot, MAP_SHARED | MAP_FIXED, range.fd, static_cast<off_t>(range.offset));
  if (p == MAP_FAILED) {
    setLastErrorFromErrno();
    return FALSE;
  }
  return TRUE;
}
