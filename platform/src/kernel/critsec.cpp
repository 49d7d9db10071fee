// Critical sections: recursive locks owned by one thread at a time. Entering one is not a wait
// point of the cooperative TerminateThread: a thread marked for termination keeps going until its
// next WaitForSingleObject, WaitForMultipleObjects or Sleep. On the handset a terminated thread
// dies at once and leaves its critical sections owned; here the stack unwinds, so sections
// released by destructors (CAutoLock) are freed and the others stay owned, as there.
#include <mutex>

#include <windows.h>

namespace {

struct Section {
  std::recursive_mutex mutex;
};

Section *sectionOf(LPCRITICAL_SECTION section) { return static_cast<Section *>(section->hCrit); }

}  // namespace

extern "C" void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION section) {
  section->LockCount = 0;
  section->OwnerThread = nullptr;
  section->hCrit = new Section;
  section->needtrap = 0;
  section->dwContentions = 0;
}

extern "C" void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION section) {
  delete sectionOf(section);
  section->hCrit = nullptr;
}

extern "C" void WINAPI EnterCriticalSection(LPCRITICAL_SECTION section) {
  Section *s = sectionOf(section);
  const bool contended = !s->mutex.try_lock();
  if (contended) s->mutex.lock();
  if (contended) ++section->dwContentions;  // counted under the lock, so no two threads race on it
  ++section->LockCount;
  section->OwnerThread = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(GetCurrentThreadId()));
}

extern "C" BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION section) {
  if (!sectionOf(section)->mutex.try_lock()) return FALSE;
  ++section->LockCount;
  section->OwnerThread = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(GetCurrentThreadId()));
  return TRUE;
}

extern "C" void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION section) {
  if (--section->LockCount == 0) section->OwnerThread = nullptr;
  sectionOf(section)->mutex.unlock();
}
