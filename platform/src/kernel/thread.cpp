// Threads: creation, priority, cooperative termination and Sleep.
#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <thread>

#include "kernel/objects.h"

namespace platform {
namespace {

thread_local std::shared_ptr<Thread> self;
thread_local DWORD selfId = 0;
std::atomic<DWORD> nextThreadId{0x100};

void *runThread(void *argument) {
  auto *handed = static_cast<std::shared_ptr<Thread> *>(argument);
  std::shared_ptr<Thread> thread = std::move(*handed);
  delete handed;
  self = thread;
  selfId = thread->id;
  DWORD code;
  try {
    code = thread->start(thread->parameter);
  } catch (const ThreadTerminated &terminated) {
    code = terminated.exitCode;
  }
  {
    std::lock_guard<std::mutex> guard(kernelLock);
    thread->finished = true;
    thread->exitCode = code;
    thread->notifyChanged();
  }
  self.reset();
  return nullptr;
}

std::shared_ptr<Thread> threadOf(HANDLE handle) {
  std::shared_ptr<Thread> thread = handleObjectLocked<Thread>(handle);
  if (!thread) SetLastError(ERROR_INVALID_HANDLE);
  return thread;
}

}  // namespace

Thread *currentThread() { return self.get(); }

}  // namespace platform

using namespace platform;

extern "C" HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, DWORD, LPTHREAD_START_ROUTINE start,
                                      LPVOID parameter, DWORD flags, LPDWORD threadId) {
  if (!start) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (flags != 0) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  auto thread = std::make_shared<Thread>();
  thread->id = nextThreadId.fetch_add(1);
  thread->start = start;
  thread->parameter = parameter;
  HANDLE handle;
  {
    std::lock_guard<std::mutex> guard(kernelLock);
    handle = addHandleLocked(thread);
  }
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  auto *handed = new std::shared_ptr<Thread>(thread);
  pthread_t host;
  int error = pthread_create(&host, &attributes, runThread, handed);
  pthread_attr_destroy(&attributes);
  if (error) {
    delete handed;
    CloseHandle(handle);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (threadId) *threadId = thread->id;
  return handle;
}

extern "C" BOOL WINAPI SetThreadPriority(HANDLE handle, int priority) {
  std::lock_guard<std::mutex> guard(kernelLock);
  std::shared_ptr<Thread> thread = threadOf(handle);
  if (!thread) return FALSE;
  if (priority < THREAD_PRIORITY_TIME_CRITICAL || priority > THREAD_PRIORITY_IDLE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  thread->priority = priority;
  return TRUE;
}

extern "C" int WINAPI GetThreadPriority(HANDLE handle) {
  std::lock_guard<std::mutex> guard(kernelLock);
  std::shared_ptr<Thread> thread = threadOf(handle);
  return thread ? thread->priority : THREAD_PRIORITY_ERROR_RETURN;
}

extern "C" DWORD WINAPI GetCurrentThreadId(void) {
  if (!selfId) selfId = nextThreadId.fetch_add(1);
  return selfId;
}

extern "C" BOOL WINAPI TerminateThread(HANDLE handle, DWORD exitCode) {
  {
    std::lock_guard<std::mutex> guard(kernelLock);
    std::shared_ptr<Thread> thread = threadOf(handle);
    if (!thread) return FALSE;
    if (thread->finished || thread->terminating) return TRUE;
    if (thread.get() != currentThread()) {
      thread->terminating = true;
      thread->terminateCode = exitCode;
      if (thread->blockedOn) thread->blockedOn->notify_all();
      return TRUE;
    }
  }
  throw ThreadTerminated{exitCode};
}

extern "C" BOOL WINAPI GetExitCodeThread(HANDLE handle, LPDWORD exitCode) {
  std::lock_guard<std::mutex> guard(kernelLock);
  std::shared_ptr<Thread> thread = threadOf(handle);
  if (!thread) return FALSE;
  if (exitCode) *exitCode = thread->finished ? thread->exitCode : STILL_ACTIVE;
  return TRUE;
}

extern "C" void WINAPI Sleep(DWORD milliseconds) {
  Thread *thread = currentThread();
  if (!thread) {
    if (milliseconds == 0) {
      sched_yield();
      return;
    }
    do {
      std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds == INFINITE ? 3600000 : milliseconds));
    } while (milliseconds == INFINITE);
    return;
  }
  Deadline deadline = deadlineAfter(milliseconds);
  {
    std::unique_lock<std::mutex> lock(kernelLock);
    blockUntil(lock, thread->asleep, deadline, [] { return false; });
  }
  if (milliseconds == 0) sched_yield();
}
