// What the two camera driver sources share to drive their capture thread (they are never active
// together, so one set serves both): the quit and pause requests and three events — run (manual
// reset) gates streaming, stream-stopped acknowledges a pause, thread-exited acknowledges a quit.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

struct DriverControl {
  std::atomic<uint32_t> quit;
  std::atomic<uint32_t> pause;
  HANDLE threadExited;   // auto-reset
  HANDLE streamStopped;  // auto-reset
  HANDLE run;            // manual reset
  // The capture thread, kept (not closed at once) so that Close waits until it has really ended,
  // not only answered: nothing it may still touch is freed under it.
  HANDLE thread;
  // Written by the thread: it is inside its streaming loop and will answer a pause.
  std::atomic<uint8_t> streaming;
  // Main thread only: the run event was set since the thread last answered a pause.
  bool started;
};
extern DriverControl g_DriverControl;

// Creates the three events (run reset) and clears quit and pause; false, with none left, when one
// cannot be created.
bool CreateDriverEvents();
void CloseDriverEvents();

// Stop's handshake: reset run, clear quit, set pause, wait for stream-stopped, reset it, clear
// pause. The wait is 1000 ms, and longer only while the thread is still streaming (it answers once
// its frame is done), so a new stream never starts under a thread still delivering the old one.
void PauseDriverThread();
// Close's handshake: set quit and pause, set run, wait until the thread has ended (the answer may
// take longer than the 1000 ms allowed for it, but nothing is freed under a running thread), reset
// thread-exited and run, clear quit; the thread's handle is closed.
void EndDriverThread();
// Keeps the capture thread just started, at priority 3.
void AdoptDriverThread(HANDLE thread);
// Start's part: the thread may stream.
void RunDriverThread();

// The thread's side, in its loop: until DriverThreadQuit, DriverThreadWaitForRun, then stream
// while !DriverThreadPaused (which answers the pause); at the end DriverThreadExit.
bool DriverThreadQuit();
void DriverThreadWaitForRun();
bool DriverThreadPaused();
void DriverThreadExit();
