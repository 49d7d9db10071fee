// Kernel objects behind handles (events, threads, searches) and the one wait that all blocking
// calls share, so that a cooperative TerminateThread can end a thread wherever it blocks.
#pragma once

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

namespace platform {

// Guards the handle table and the state of every kernel object.
extern std::mutex kernelLock;

class KernelObject {
 public:
  virtual ~KernelObject() = default;
};

// A search handle (storage cards, devices) that FindClose ends.
class Search : public KernelObject {};

// Woken with every Waitable's `changed`: a wait on several objects blocks on this one.
extern std::condition_variable &anyChanged;

// An object WaitForSingleObject accepts. State changes call notifyChanged().
class Waitable : public KernelObject {
 public:
  std::condition_variable changed;
  void notifyChanged() {
    changed.notify_all();
    anyChanged.notify_all();
  }
  virtual bool signalled() const = 0;
  // Ends a wait when signalled, taking what the wait takes (an auto-reset event resets).
  virtual bool acquire() { return signalled(); }
  // The state may change in another process, which cannot notify `changed`: waits look again
  // every few milliseconds.
  virtual bool polled() const { return false; }
};

// A thread started by CreateThread.
class Thread : public Waitable {
 public:
  DWORD id = 0;
  LPTHREAD_START_ROUTINE start = nullptr;
  LPVOID parameter = nullptr;
  int priority = THREAD_PRIORITY_NORMAL;
  bool finished = false;
  DWORD exitCode = STILL_ACTIVE;
  bool terminating = false;
  DWORD terminateCode = 0;
  // What the thread blocks on now, so that TerminateThread can wake it.
  std::condition_variable *blockedOn = nullptr;
  std::condition_variable asleep;

  bool signalled() const override { return finished; }
};

// Thrown at a terminated thread's next wait; caught where the thread started.
struct ThreadTerminated {
  DWORD exitCode;
};

// The calling thread's record, or null for a thread the platform did not start.
Thread *currentThread();

// Handle table; the caller holds kernelLock.
HANDLE addHandleLocked(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> findHandleLocked(HANDLE handle);
// Takes the handle out of the table; the caller lets the object go after unlocking.
std::shared_ptr<KernelObject> removeHandleLocked(HANDLE handle);

template <class T>
std::shared_ptr<T> handleObjectLocked(HANDLE handle) {
  return std::dynamic_pointer_cast<T>(findHandleLocked(handle));
}

// How often a wait looks again at an object whose state another process may change.
constexpr auto kPollInterval = std::chrono::milliseconds(5);

using Deadline = std::optional<std::chrono::steady_clock::time_point>;
// No deadline for INFINITE, else now + milliseconds.
Deadline deadlineAfter(DWORD milliseconds);

// Blocks (kernelLock held through `lock`) until ready() holds or the deadline passes, waking on
// `wake`; returns ready(). A thread being terminated leaves by ThreadTerminated instead.
template <class Ready>
bool blockUntil(std::unique_lock<std::mutex> &lock, std::condition_variable &wake,
                const Deadline &deadline, Ready ready) {
  Thread *self = currentThread();
  struct Blocked {
    Thread *self;
    ~Blocked() {
      if (self) self->blockedOn = nullptr;
    }
  } blocked{self};
  if (self) self->blockedOn = &wake;
  while (true) {
    if (self && self->terminating) throw ThreadTerminated{self->terminateCode};
    if (ready()) return true;
    if (!deadline) {
      wake.wait(lock);
    } else if (wake.wait_until(lock, *deadline) == std::cv_status::timeout) {
      if (self && self->terminating) throw ThreadTerminated{self->terminateCode};
      return ready();
    }
  }
}

}  // namespace platform
