// Message queues: one per thread, posted messages in order, messages sent from other threads
// handled while the owner waits for messages, WM_PAINT when nothing else is queued and WM_QUIT
// after everything posted before it.
#include <algorithm>

#include "windows/internal.h"

namespace platform {

struct SentMessage {
  MSG msg;
  LRESULT result = 0;
  bool done = false;                 // under replyTo->lock
  std::shared_ptr<Queue> replyTo;
};

std::shared_ptr<Queue> currentQueue() {
  thread_local std::shared_ptr<Queue> queue = std::make_shared<Queue>();
  return queue;
}

namespace {

void finish(SentMessage &item, LRESULT result) {
  std::lock_guard<std::mutex> guard(item.replyTo->lock);
  item.result = result;
  item.done = true;
  item.replyTo->wake.notify_all();
}

// Handles every message other threads sent to this queue's windows, then the system's tasks.
// Called without the lock.
void handleSent(Queue &queue) {
  while (true) {
    std::shared_ptr<SentMessage> item;
    std::function<void()> task;
    {
      std::lock_guard<std::mutex> guard(queue.lock);
      if (!queue.sent.empty()) {
        item = queue.sent.front();
        queue.sent.pop_front();
      } else if (!queue.tasks.empty()) {
        task = std::move(queue.tasks.front());
        queue.tasks.pop_front();
      } else {
        return;
      }
    }
    if (item)
      finish(*item, callProcedure(item->msg.hwnd, item->msg.message, item->msg.wParam, item->msg.lParam));
    else
      task();
  }
}

bool inRange(UINT message, UINT first, UINT last) {
  return (first == 0 && last == 0) || (message >= first && message <= last);
}

MSG makeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG msg{window, message, wParam, lParam, GetTickCount(), {0, 0}};
  return msg;
}

// The next message for the filter, or false. Under queue.lock.
bool take(Queue &queue, MSG *out, HWND window, UINT first, UINT last, bool remove) {
  auto posted = std::find_if(queue.posted.begin(), queue.posted.end(), [&](const MSG &m) {
    return (!window || m.hwnd == window) && inRange(m.message, first, last);
  });
  if (posted != queue.posted.end()) {
    *out = *posted;
    if (remove) queue.posted.erase(posted);
    return true;
  }
  if (queue.quit) {
    *out = makeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0);
    if (remove) queue.quit = false;
    return true;
  }
  if (inRange(WM_PAINT, first, last)) {
    auto dirty = std::find_if(queue.dirty.begin(), queue.dirty.end(), [&](HWND w) { return !window || w == window; });
    if (dirty != queue.dirty.end()) {
      // WM_PAINT stays due until the window is validated (BeginPaint).
      *out = makeMessage(*dirty, WM_PAINT, 0, 0);
      return true;
    }
  }
  return false;
}

}  // namespace

void postTo(Queue &queue, const MSG &msg) {
  std::lock_guard<std::mutex> guard(queue.lock);
  queue.posted.push_back(msg);
  queue.wake.notify_all();
}

void markDirty(Queue &queue, HWND window, bool dirty) {
  std::lock_guard<std::mutex> guard(queue.lock);
  auto it = std::find(queue.dirty.begin(), queue.dirty.end(), window);
  if (dirty && it == queue.dirty.end()) {
    queue.dirty.push_back(window);
    queue.wake.notify_all();
  } else if (!dirty && it != queue.dirty.end()) {
    queue.dirty.erase(it);
  }
}

void forgetWindow(Queue &queue, HWND window) {
  std::vector<std::shared_ptr<SentMessage>> orphans;
  {
    std::lock_guard<std::mutex> guard(queue.lock);
    queue.dirty.erase(std::remove(queue.dirty.begin(), queue.dirty.end(), window), queue.dirty.end());
    for (auto it = queue.sent.begin(); it != queue.sent.end();) {
      if ((*it)->msg.hwnd == window) {
        orphans.push_back(*it);
        it = queue.sent.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto &item : orphans) finish(*item, 0);
}

void runOn(Queue &queue, std::function<void()> task) {
  std::lock_guard<std::mutex> guard(queue.lock);
  queue.tasks.push_back(std::move(task));
  queue.wake.notify_all();
}

bool waitUntilIdle(Queue &queue, std::chrono::steady_clock::time_point deadline, const std::function<bool()> &stop) {
  std::unique_lock<std::mutex> guard(queue.lock);
  return queue.idle.wait_until(guard, deadline, [&] {
    return stop() || (queue.waiting && queue.posted.empty() && queue.sent.empty() && queue.tasks.empty());
  });
}

LRESULT callProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<Window> w = findWindow(window);
  return w ? w->procedure(window, message, wParam, lParam) : 0;
}

}  // namespace platform

using namespace platform;

extern "C" BOOL WINAPI PeekMessageW(LPMSG msg, HWND window, UINT first, UINT last, UINT remove) {
  if (!msg) return FALSE;
  std::shared_ptr<Queue> queue = currentQueue();
  handleSent(*queue);
  std::lock_guard<std::mutex> guard(queue->lock);
  return take(*queue, msg, window, first, last, remove & PM_REMOVE);
}

extern "C" BOOL WINAPI GetMessageW(LPMSG msg, HWND window, UINT first, UINT last) {
  if (!msg || (window && !IsWindow(window))) return -1;
  std::shared_ptr<Queue> queue = currentQueue();
  while (true) {
    handleSent(*queue);
    std::unique_lock<std::mutex> guard(queue->lock);
    if (take(*queue, msg, window, first, last, true)) return msg->message != WM_QUIT;
    // Anything that arrives now (posted, sent, a paint, the quit) notifies under the lock.
    queue->waiting = true;
    queue->idle.notify_all();
    queue->wake.wait(guard);
    queue->waiting = false;
  }
}

extern "C" BOOL WINAPI PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window == HWND_BROADCAST) {
    for (HWND top : topLevelWindows()) PostMessageW(top, message, wParam, lParam);
    return TRUE;
  }
  if (!window) {
    postTo(*currentQueue(), makeMessage(nullptr, message, wParam, lParam));
    return TRUE;
  }
  std::shared_ptr<Window> w = findWindow(window);
  if (!w) return FALSE;
  postTo(*w->queue, makeMessage(window, message, wParam, lParam));
  return TRUE;
}

extern "C" LRESULT WINAPI SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window == HWND_BROADCAST) {
    for (HWND top : topLevelWindows()) SendMessageW(top, message, wParam, lParam);
    return 0;
  }
  std::shared_ptr<Window> w = findWindow(window);
  if (!w) return 0;
  std::shared_ptr<Queue> own = currentQueue();
  if (w->queue == own) return w->procedure(window, message, wParam, lParam);

  auto item = std::make_shared<SentMessage>();
  item->msg = makeMessage(window, message, wParam, lParam);
  item->replyTo = own;
  {
    std::lock_guard<std::mutex> guard(w->queue->lock);
    w->queue->sent.push_back(item);
    w->queue->wake.notify_all();
  }
  // While waiting, answer what others send to this thread, so that two threads sending to
  // each other do not wait for ever.
  while (true) {
    handleSent(*own);
    std::unique_lock<std::mutex> guard(own->lock);
    if (item->done) return item->result;
    if (own->sent.empty()) own->wake.wait(guard);
  }
}

extern "C" LRESULT WINAPI DispatchMessageW(const MSG *msg) {
  if (!msg || !msg->hwnd) return 0;
  return callProcedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

// Character keys become WM_CHAR: digits, letters (lower case: the handset has no shift state
// here), space, Enter, Escape and Backspace.
extern "C" BOOL WINAPI TranslateMessage(const MSG *msg) {
  if (!msg || msg->message != WM_KEYDOWN) return FALSE;
  WPARAM key = msg->wParam;
  WPARAM ch = 0;
  if ((key >= '0' && key <= '9') || key == VK_SPACE || key == VK_RETURN || key == VK_ESCAPE || key == VK_BACK)
    ch = key;
  else if (key >= 'A' && key <= 'Z')
    ch = key - 'A' + 'a';
  if (!ch) return FALSE;
  PostMessageW(msg->hwnd, WM_CHAR, ch, msg->lParam);
  return TRUE;
}

extern "C" void WINAPI PostQuitMessage(int exitCode) {
  std::shared_ptr<Queue> queue = currentQueue();
  std::lock_guard<std::mutex> guard(queue->lock);
  queue->quit = true;
  queue->quitCode = exitCode;
  queue->wake.notify_all();
}
