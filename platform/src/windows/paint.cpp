// Painting: a window is either valid or wants WM_PAINT as a whole (no update regions).
#include <algorithm>
#include <cstring>

#include "windows/internal.h"

using namespace platform;

extern "C" BOOL WINAPI InvalidateRect(HWND handle, const RECT *, BOOL) {
  if (!handle) {
    for (HWND top : topLevelWindows()) InvalidateRect(top, nullptr, TRUE);
    return TRUE;
  }
  std::shared_ptr<Window> window = findWindow(handle);
  if (!window) return FALSE;
  if (IsWindowVisible(handle)) markDirty(*window->queue, handle, true);
  return TRUE;
}

extern "C" BOOL WINAPI ValidateRect(HWND handle, const RECT *) {
  std::shared_ptr<Window> window = findWindow(handle);
  if (!window) return FALSE;
  markDirty(*window->queue, handle, false);
  return TRUE;
}

extern "C" BOOL WINAPI UpdateWindow(HWND handle) {
  std::shared_ptr<Window> window = findWindow(handle);
  if (!window) return FALSE;
  bool due;
  {
    std::lock_guard<std::mutex> guard(window->queue->lock);
    auto &dirty = window->queue->dirty;
    due = std::find(dirty.begin(), dirty.end(), handle) != dirty.end();
  }
  if (due) SendMessageW(handle, WM_PAINT, 0, 0);
  return TRUE;
}

extern "C" HDC WINAPI BeginPaint(HWND handle, LPPAINTSTRUCT paint) {
  if (!paint || !ValidateRect(handle, nullptr)) return nullptr;
  std::memset(paint, 0, sizeof(*paint));
  GetClientRect(handle, &paint->rcPaint);
  paint->hdc = GetDC(handle);
  return paint->hdc;
}

extern "C" BOOL WINAPI EndPaint(HWND handle, const PAINTSTRUCT *paint) {
  if (!paint) return FALSE;
  ReleaseDC(handle, paint->hdc);
  return TRUE;
}
