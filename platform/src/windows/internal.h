// What the window, message and painting files share: the window table and the per-thread
// message queues.
#pragma once

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

struct SentMessage;

// One thread's message queue. Every window belongs to the queue of the thread that created it.
struct Queue {
  std::mutex lock;
  std::condition_variable wake;
  std::deque<MSG> posted;
  std::deque<std::shared_ptr<SentMessage>> sent;  // SendMessageW from other threads, oldest first
  std::vector<HWND> dirty;                        // windows that want WM_PAINT, in order of invalidation
  std::deque<std::function<void()>> tasks;        // work of the system for this thread (runOn)
  bool quit = false;
  int quitCode = 0;
  // The owner waits in GetMessageW with nothing to do; `idle` is notified when it starts to.
  bool waiting = false;
  std::condition_variable idle;
};

// The calling thread's queue, made on first use.
std::shared_ptr<Queue> currentQueue();

struct Window {
  HWND handle;
  WNDPROC procedure;
  std::u16string className;
  std::u16string text;
  HINSTANCE instance;
  DWORD style;
  DWORD exStyle;
  HWND parent;
  RECT rect;  // screen coordinates
  bool visible = false;
  bool minimized = false;
  bool destroying = false;
  std::shared_ptr<Queue> queue;
};

// A live window, or null. The handle, procedure and queue never change; the other fields are
// read and written by window.cpp under its table lock.
std::shared_ptr<Window> findWindow(HWND window);
// Top-level windows, newest first.
std::vector<HWND> topLevelWindows();

// Calls a window's procedure on the calling thread.
LRESULT callProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Queue operations for the window code.
void postTo(Queue &queue, const MSG &msg);
void markDirty(Queue &queue, HWND window, bool dirty);
// A window goes away: its pending paints are dropped and senders still waiting on it get 0.
void forgetWindow(Queue &queue, HWND window);
// Runs `task` on the queue's own thread the next time that thread looks at its messages, after
// the messages other threads sent before it: how the system hands a thread the activation
// changes that others cause, never in the middle of what the thread is doing.
void runOn(Queue &queue, std::function<void()> task);
// Waits until the queue's thread waits for messages with nothing left to handle, or until
// `deadline` or `stop()` (checked whenever the queue changes; notify `idle` to recheck).
bool waitUntilIdle(Queue &queue, std::chrono::steady_clock::time_point deadline, const std::function<bool()> &stop);

// Makes a top-level window the active (foreground) one, or none; sends WM_ACTIVATE to the one
// that loses activation and to the one that gains it.
void activate(HWND window);
// The top-level window the user returns to: the one active last, else the newest visible one.
HWND windowToRestore();

}  // namespace platform
