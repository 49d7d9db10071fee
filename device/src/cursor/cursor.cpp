#include "device/cursor.h"

#include <mutex>

#include "device/display.h"

namespace device {

namespace {

std::mutex cursorLock;
bool waiting = false;         // under cursorLock
std::vector<bool> changes;    // under cursorLock

}  // namespace

void setWaitCursor(bool shown) {
  {
    std::lock_guard<std::mutex> guard(cursorLock);
    if (waiting == shown) return;
    waiting = shown;
    changes.push_back(shown);
  }
  display().showWaitCursor(shown);
}

bool waitCursorShown() {
  std::lock_guard<std::mutex> guard(cursorLock);
  return waiting;
}

std::vector<bool> waitCursorChanges() {
  std::lock_guard<std::mutex> guard(cursorLock);
  return changes;
}

void clearWaitCursorChanges() {
  std::lock_guard<std::mutex> guard(cursorLock);
  changes.clear();
}

}  // namespace device
