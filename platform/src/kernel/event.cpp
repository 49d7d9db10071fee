// Events and WaitForSingleObject. A named event of a handset program (see platform/session.h)
// is shared with the handset's other programs: its state lies in a small file of the device
// root mapped into every process that has it open, and it lives as long as one of them holds it
// (each holds a shared lock on the file; a creator that can lock it alone starts it afresh).
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <unordered_map>

#include "kernel/objects.h"
#include "session/session.h"

namespace platform {
namespace {

// The state as the processes share it: two 32-bit words.
struct SharedState {
  uint32_t signalled;
  uint32_t manualReset;
};

class Event : public Waitable {
 public:
  Event(bool manualReset, bool state) : manualReset(manualReset), local(state) {}
  ~Event() override {
    if (shared) munmap(shared, sizeof(SharedState));
    if (fd >= 0) close(fd);
  }

  bool manualReset;

  bool signalled() const override { return shared ? word().load() != 0 : local; }
  bool acquire() override {
    if (!shared) {
      if (!local) return false;
      if (!manualReset) local = false;
      return true;
    }
    if (manualReset) return word().load() != 0;
    uint32_t set = 1;
    return word().compare_exchange_strong(set, 0);
  }
  bool polled() const override { return shared != nullptr; }
  void set(bool state) {
    if (shared)
      word().store(state ? 1 : 0);
    else
      local = state;
    if (state) notifyChanged();
  }

  // Maps the handset-wide state of `name`; false (the event stays this process's own) when the
  // file cannot be used. `existed`: another process holds the event already.
  bool share(const std::u16string &name, bool initialState, bool &existed) {
    std::string folder = session::directory("events");
    if (folder.empty()) return false;
    int lockFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (lockFd < 0) return false;
    flock(lockFd, LOCK_EX);  // one opening at a time decides whether the event is new
    std::string file = folder + "/";
    for (char16_t c : name) {
      static const char hex[] = "0123456789abcdef";
      for (int shift = 12; shift >= 0; shift -= 4) file += hex[(c >> shift) & 15];
    }
    fd = open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    void *mapped = MAP_FAILED;
    if (fd >= 0 && ftruncate(fd, sizeof(SharedState)) == 0)
      mapped = mmap(nullptr, sizeof(SharedState), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (mapped != MAP_FAILED) {
      shared = static_cast<SharedState *>(mapped);
      existed = flock(fd, LOCK_EX | LOCK_NB) != 0;
      if (!existed) {
        shared->manualReset = manualReset;
        word().store(initialState ? 1 : 0);
      }
      flock(fd, LOCK_SH);
      manualReset = shared->manualReset != 0;
    }
    flock(lockFd, LOCK_UN);
    close(lockFd);
    return shared != nullptr;
  }

 private:
  std::atomic_ref<uint32_t> word() const { return std::atomic_ref<uint32_t>(shared->signalled); }

  bool local;
  SharedState *shared = nullptr;
  int fd = -1;
};

// Named events of this process. A name lives as long as one handle to its event does.
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
  bool existed = false;
  if (!key.empty()) {
    if (session::joined()) event->share(key, initialState != FALSE, existed);
    forgetClosedNamesLocked();
    namedEvents[key] = event;
  }
  SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
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
    case EVENT_RESET:
      event->set(function == EVENT_SET);
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
  while (true) {
    Deadline until = deadline;
    if (object->polled()) {
      auto next = std::chrono::steady_clock::now() + kPollInterval;
      if (!until || next < *until) until = next;
    }
    if (blockUntil(lock, object->changed, until, [&] { return object->acquire(); })) return WAIT_OBJECT_0;
    if (!object->polled() || (deadline && std::chrono::steady_clock::now() >= *deadline)) return WAIT_TIMEOUT;
  }
}
