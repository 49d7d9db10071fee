// Locks of the DirectShow base classes.
#pragma once

#include <windows.h>

class CCritSec {
 public:
  CCritSec() { InitializeCriticalSection(&m_CritSec); }
  ~CCritSec() { DeleteCriticalSection(&m_CritSec); }
  CCritSec(const CCritSec &) = delete;
  CCritSec &operator=(const CCritSec &) = delete;
  void Lock() { EnterCriticalSection(&m_CritSec); }
  void Unlock() { LeaveCriticalSection(&m_CritSec); }

 private:
  CRITICAL_SECTION m_CritSec;
};

class CAutoLock {
 public:
  explicit CAutoLock(CCritSec *lock) : m_pLock(lock) { m_pLock->Lock(); }
  ~CAutoLock() { m_pLock->Unlock(); }
  CAutoLock(const CAutoLock &) = delete;
  CAutoLock &operator=(const CAutoLock &) = delete;

 private:
  CCritSec *m_pLock;
};

// A Win32 event owned by the object.
class CAMEvent {
 public:
  explicit CAMEvent(BOOL manualReset = FALSE) : m_hEvent(CreateEventW(nullptr, manualReset, FALSE, nullptr)) {}
  ~CAMEvent() {
    if (m_hEvent) CloseHandle(m_hEvent);
  }
  CAMEvent(const CAMEvent &) = delete;
  CAMEvent &operator=(const CAMEvent &) = delete;
  void Set() { SetEvent(m_hEvent); }
  void Reset() { ResetEvent(m_hEvent); }
  BOOL Wait(DWORD timeout = INFINITE) { return WaitForSingleObject(m_hEvent, timeout) == WAIT_OBJECT_0; }
  operator HANDLE() const { return m_hEvent; }

 private:
  HANDLE m_hEvent;
};
