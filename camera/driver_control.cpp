#include "camera/driver_control.h"

DriverControl g_DriverControl;

namespace {

constexpr DWORD kHandshakeWait = 1000;  // ms

DriverControl &C() { return g_DriverControl; }

void Close(HANDLE &event) {
  if (event) CloseHandle(event);
  event = nullptr;
}

}  // namespace

bool CreateDriverEvents() {
  DriverControl &c = C();
  c.run = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  c.streamStopped = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  c.threadExited = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!c.run || !c.streamStopped || !c.threadExited) {
    CloseDriverEvents();
    return false;
  }
  ResetEvent(c.run);
  c.quit = 0;
  c.pause = 0;
  c.streaming = 0;
  c.started = false;
  return true;
}

void CloseDriverEvents() {
  DriverControl &c = C();
  Close(c.run);
  Close(c.streamStopped);
  Close(c.threadExited);
}

void RunDriverThread() {
  C().started = true;
  SetEvent(C().run);
}

void PauseDriverThread() {
  DriverControl &c = C();
  ResetEvent(c.run);
  c.quit = 0;
  c.pause = 1;
  // A thread that was never let run is waiting for the run event and has nothing to answer.
  if (c.started && WaitForSingleObject(c.streamStopped, kHandshakeWait) != WAIT_OBJECT_0 && c.streaming)
    WaitForSingleObject(c.streamStopped, INFINITE);
  c.started = false;
  ResetEvent(c.streamStopped);
  c.pause = 0;
}

void EndDriverThread() {
  DriverControl &c = C();
  c.quit = 1;
  c.pause = 1;
  SetEvent(c.run);
  if (WaitForSingleObject(c.threadExited, kHandshakeWait) != WAIT_OBJECT_0)
    WaitForSingleObject(c.threadExited, INFINITE);
  if (c.thread) {
    WaitForSingleObject(c.thread, INFINITE);
    Close(c.thread);
  }
  ResetEvent(c.threadExited);
  ResetEvent(c.run);
  c.quit = 0;
  c.started = false;
}

void AdoptDriverThread(HANDLE thread) {
  SetThreadPriority(thread, THREAD_PRIORITY_NORMAL);
  C().thread = thread;
}

bool DriverThreadQuit() { return C().quit != 0; }

void DriverThreadWaitForRun() {
  WaitForSingleObject(C().run, INFINITE);
  C().streaming = 1;
}

bool DriverThreadPaused() {
  DriverControl &c = C();
  if (!c.pause) return false;
  c.streaming = 0;
  SetEvent(c.streamStopped);
  return true;
}

void DriverThreadExit() { SetEvent(C().threadExited); }
