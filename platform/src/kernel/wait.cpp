// WaitForMultipleObjects: any one of the objects (the lowest index wins) or all of them at once.
// The handset supports only waitAll = FALSE; all-at-once is kept for tests and tools.
#include <vector>

#include "kernel/objects.h"

using namespace platform;

extern "C" DWORD WINAPI WaitForMultipleObjects(DWORD count, const HANDLE *handles, BOOL waitAll,
                                               DWORD milliseconds) {
  if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  Deadline deadline = deadlineAfter(milliseconds);
  std::unique_lock<std::mutex> lock(kernelLock);
  std::vector<std::shared_ptr<Waitable>> objects;
  bool polled = false;
  for (DWORD i = 0; i < count; ++i) {
    std::shared_ptr<Waitable> object = handleObjectLocked<Waitable>(handles[i]);
    if (!object) {
      SetLastError(ERROR_INVALID_HANDLE);
      return WAIT_FAILED;
    }
    polled = polled || object->polled();
    objects.push_back(std::move(object));
  }
  DWORD which = WAIT_TIMEOUT;
  auto ready = [&] {
    if (waitAll) {
      for (const auto &object : objects)
        if (!object->signalled()) return false;
      for (const auto &object : objects) object->acquire();
      which = WAIT_OBJECT_0;
      return true;
    }
    for (DWORD i = 0; i < count; ++i)
      if (objects[i]->acquire()) {
        which = WAIT_OBJECT_0 + i;
        return true;
      }
    return false;
  };
  while (true) {
    Deadline until = deadline;
    if (polled) {
      auto next = std::chrono::steady_clock::now() + kPollInterval;
      if (!until || next < *until) until = next;
    }
    if (blockUntil(lock, anyChanged, until, ready)) return which;
    if (!polled || (deadline && std::chrono::steady_clock::now() >= *deadline)) return WAIT_TIMEOUT;
  }
}
