// Events and WaitForSingleObject.
#include <string>
#include <unordered_map>

#include "kernel/objects.h"

namespace platform {
namespace {

class Event : public Waitable {
 public:
  Event(bool manualReset, bool state) : manualReset(manualReset), state(state) {}
  const bool manualReset;
  bool state;

  bool signalled() const override { return state; }
  void consume() override {
    if (!manualReset) state = false;
  }
};

// Named events of this process. A name lives as long as one handle to its event does. This is
// the one place a shared (cross-process) event would be looked up by name.
std::unordered_map<std::u16string, std::weak_ptr<Event>> namedEvents;

void forgetClosedNamesLocked() {
  std::erase_if(namedEvents, [](const auto &entry) { return entry.second.expired(); });
}

}  // namespace
}  // namespace platform

using namespace platform;

extern "C" HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState,
                                      LPCWSTR name) {
  std::lock_guard<std::mutex> guard(kernelLock);
  std::u16string key = name ? std::u16string(name) : std::u16string();
  if (!key.empty()) {
    auto it = namedEvents.find(key);
    if (it != namedEvents.end()) {
      if (std::shared_ptr<Event> existing = it->second.lock()) {
        HANDLE handle = addHandleLocked(existing);
        SetLastError(ERROR_ALREADY_EXISTS);
        return handle;
      }
    }
  }
  auto event = std::make_shared<Event>(manualReset != FALSE, initialState != FALSE);
  if (!key.empty()) {
    forgetClosedNamesLocked();
    namedEvents[key] = event;
  }
  SetLastError(ERROR_SUCCESS);
  return addHandleLocked(event);
}

extern "C" BOOL WINAPI EventModify(HANDLE handle, DWORD function) {
  std::lock_guard<std::mutex> guard(kernelLock);
  std::shared_ptr<Event> event = handleObjectLocked<Event>(handle);
  if (!event) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  switch (function) {
    case EVENT_SET:
      event->state = true;
      event->changed.notify_all();
      return TRUE;
    case EVENT_RESET:
      event->state = false;
      return TRUE;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
  }
}

extern "C" DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  Deadline deadline = deadlineAfter(milliseconds);
  std::unique_lock<std::mutex> lock(kernelLock);
  std::shared_ptr<Waitable> object = handleObjectLocked<Waitable>(handle);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  if (!blockUntil(lock, object->changed, deadline, [&] { return object->signalled(); }))
    return WAIT_TIMEOUT;
  object->consume();
  return WAIT_OBJECT_0;
}
