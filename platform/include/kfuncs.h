// Kernel calls of Windows CE that the desktop SDK lacks: event modification and the
// interlocked test-and-exchange.
#pragma once

#include <windef.h>
#include <winbase.h>

#define EVENT_PULSE 1
#define EVENT_RESET 2
#define EVENT_SET 3

// Sets (EVENT_SET) or resets (EVENT_RESET) an event. EVENT_PULSE is not supported here and
// fails with ERROR_INVALID_PARAMETER.
extern "C" BOOL WINAPI EventModify(HANDLE event, DWORD function);

inline BOOL SetEvent(HANDLE event) { return EventModify(event, EVENT_SET); }
inline BOOL ResetEvent(HANDLE event) { return EventModify(event, EVENT_RESET); }

// If *target equals oldValue it becomes newValue; returns the value *target had before.
inline LONG InterlockedTestExchange(LONG volatile *target, LONG oldValue, LONG newValue) {
  return InterlockedCompareExchange(target, newValue, oldValue);
}
