// Semaphores: a count between 0 and a maximum; each wait that ends takes one.
#include "kernel/objects.h"

namespace platform {
namespace {

class Semaphore : public Waitable {
 public:
  Semaphore(LONG count, LONG maximum) : count(count), maximum(maximum) {}
  LONG count;
  const LONG maximum;

  bool signalled() const override { return count > 0; }
  bool acquire() override {
    if (count <= 0) return false;
    --count;
    return true;
  }
};

}  // namespace
}  // namespace platform

using namespace platform;

extern "C" HANDLE WINAPI CreateSemaphoreW(LPSECURITY_ATTRIBUTES, LONG initialCount, LONG maximumCount,
                                          LPCWSTR name) {
  if (maximumCount <= 0 || initialCount < 0 || initialCount > maximumCount) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (name && *name) {
    // Named semaphores are not shared here; nothing of this program names one.
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  std::lock_guard<std::mutex> guard(kernelLock);
  SetLastError(ERROR_SUCCESS);
  return addHandleLocked(std::make_shared<Semaphore>(initialCount, maximumCount));
}

extern "C" BOOL WINAPI ReleaseSemaphore(HANDLE handle, LONG releaseCount, LPLONG previousCount) {
  std::lock_guard<std::mutex> guard(kernelLock);
  std::shared_ptr<Semaphore> semaphore = handleObjectLocked<Semaphore>(handle);
  if (!semaphore) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  // A release beyond the maximum changes nothing and fails.
  if (releaseCount <= 0 || releaseCount > semaphore->maximum - semaphore->count) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (previousCount) *previousCount = semaphore->count;
  semaphore->count += releaseCount;
  semaphore->notifyChanged();
  return TRUE;
}
