// Window classes and windows: creation, destruction, position, visibility and activation.
// Handles are multiples of four, never reused: the low bits stay free for the handset's habit
// of or-ing 1 into a handle given to SetForegroundWindow. The high half of a handle is the
// owning process, so that the handset's other programs can tell whose window it names.
#include <unistd.h>

#include <algorithm>
#include <map>

#include "crt/text.h"
#include "windows/internal.h"
#include "session/session.h"
#include "shell/taskbar.h"

namespace platform {
namespace {

struct WindowClass {
  ATOM atom;
  std::u16string name;
  WNDCLASSW info;
};

std::mutex tableLock;
std::vector<WindowClass> classes;
ATOM nextAtom = 0xC000;
std::map<HWND, std::shared_ptr<Window>> windows;
std::vector<HWND> creationOrder;
uintptr_t nextHandle = static_cast<uintptr_t>(getpid()) << 32 | 0x10000;
HWND activeWindow = nullptr;
HWND lastActive = nullptr;  // the window active before the program went to the background

// The class a name (or an atom made with MAKEINTATOM) stands for. Under tableLock.
WindowClass *classNamed(LPCWSTR name) {
  for (WindowClass &c : classes) {
    if (IS_INTRESOURCE(name) ? c.atom == reinterpret_cast<ULONG_PTR>(name) : equalsNoCase(c.name, name))
      return &c;
  }
  return nullptr;
}

HWND topLevelOf(HWND window) {
  std::lock_guard<std::mutex> guard(tableLock);
  for (auto it = windows.find(window); it != windows.end(); it = windows.find(it->second->parent))
    if (!it->second->parent) return it->first;
  return nullptr;
}

bool isCallerThread(const Window &w) { return w.queue == currentQueue(); }

}  // namespace

std::shared_ptr<Window> findWindow(HWND window) {
  std::lock_guard<std::mutex> guard(tableLock);
  auto it = windows.find(window);
  return it == windows.end() ? nullptr : it->second;
}

std::vector<HWND> topLevelWindows() {
  std::lock_guard<std::mutex> guard(tableLock);
  std::vector<HWND> result;
  for (auto it = creationOrder.rbegin(); it != creationOrder.rend(); ++it)
    if (!windows.at(*it)->parent) result.push_back(*it);
  return result;
}

void activate(HWND window) {
  HWND previous;
  {
    std::lock_guard<std::mutex> guard(tableLock);
    previous = activeWindow;
    if (previous == window) return;
    activeWindow = window;
    if (window) lastActive = window;
  }
  if (previous && IsWindow(previous))
    SendMessageW(previous, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(window));
  if (window) {
    SendMessageW(window, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0), reinterpret_cast<LPARAM>(previous));
    session::foregroundTaken();
  }
}

HWND windowToRestore() {
  std::lock_guard<std::mutex> guard(tableLock);
  if (windows.count(lastActive)) return lastActive;
  for (auto it = creationOrder.rbegin(); it != creationOrder.rend(); ++it) {
    const Window &w = *windows.at(*it);
    if (!w.parent && w.visible) return *it;
  }
  return nullptr;
}

}  // namespace platform

using namespace platform;

extern "C" ATOM WINAPI RegisterClassW(const WNDCLASSW *windowClass) {
  if (!windowClass || !windowClass->lpfnWndProc || !windowClass->lpszClassName ||
      IS_INTRESOURCE(windowClass->lpszClassName) || !*windowClass->lpszClassName)
    return 0;
  std::lock_guard<std::mutex> guard(tableLock);
  if (classNamed(windowClass->lpszClassName) || nextAtom == 0xFFFF) return 0;
  WindowClass entry{nextAtom++, windowClass->lpszClassName, *windowClass};
  entry.info.lpszClassName = nullptr;  // the caller's string need not outlive the call
  entry.info.lpszMenuName = nullptr;
  classes.push_back(std::move(entry));
  return classes.back().atom;
}

extern "C" BOOL WINAPI UnregisterClassW(LPCWSTR className, HINSTANCE) {
  std::lock_guard<std::mutex> guard(tableLock);
  WindowClass *c = className ? classNamed(className) : nullptr;
  if (!c) return FALSE;
  for (const auto &[handle, window] : windows)
    if (equalsNoCase(window->className, c->name)) return FALSE;  // still in use
  classes.erase(classes.begin() + (c - classes.data()));
  return TRUE;
}

extern "C" HWND WINAPI CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                                       int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                                       LPVOID param) {
  if (!className) return nullptr;
  if (parent && !IsWindow(parent)) return nullptr;
  if ((style & WS_CHILD) && !parent) return nullptr;
  RECT area;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  if (x == CW_USEDEFAULT) x = area.left, y = area.top;
  if (width == CW_USEDEFAULT) width = area.right - area.left, height = area.bottom - area.top;

  auto window = std::make_shared<Window>();
  {
    std::lock_guard<std::mutex> guard(tableLock);
    WindowClass *c = classNamed(className);
    if (!c) return nullptr;
    window->handle = reinterpret_cast<HWND>(nextHandle);
    nextHandle += 4;
    window->procedure = c->info.lpfnWndProc;
    window->className = c->name;
  }
  window->text = windowName ? windowName : u"";
  window->instance = instance;
  window->style = style & ~WS_VISIBLE;
  window->exStyle = exStyle;
  window->parent = parent;
  window->rect = {x, y, x + width, y + height};
  window->queue = currentQueue();
  HWND handle = window->handle;
  {
    std::lock_guard<std::mutex> guard(tableLock);
    windows[handle] = window;
    creationOrder.push_back(handle);
  }
  if (!parent) session::publishWindow(handle, window->className, window->text);

  CREATESTRUCTW create{param, instance, menu, parent, height, width, y, x, static_cast<LONG>(style),
                       windowName, IS_INTRESOURCE(className) ? nullptr : className, exStyle};
  if (SendMessageW(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
    DestroyWindow(handle);
    return nullptr;
  }
  if ((style & WS_VISIBLE) && IsWindow(handle)) ShowWindow(handle, SW_SHOW);
  return IsWindow(handle) ? handle : nullptr;
}

extern "C" BOOL WINAPI DestroyWindow(HWND handle) {
  std::shared_ptr<Window> window = findWindow(handle);
  if (!window || !isCallerThread(*window)) return FALSE;
  {
    std::lock_guard<std::mutex> guard(tableLock);
    if (window->destroying) return TRUE;
    window->destroying = true;
  }
  if (topLevelOf(GetActiveWindow()) == handle) activate(nullptr);
  SendMessageW(handle, WM_DESTROY, 0, 0);
  std::vector<HWND> children;
  {
    std::lock_guard<std::mutex> guard(tableLock);
    for (const auto &[h, w] : windows)
      if (w->parent == handle) children.push_back(h);
  }
  for (HWND child : children) DestroyWindow(child);
  {
    std::lock_guard<std::mutex> guard(tableLock);
    windows.erase(handle);
    creationOrder.erase(std::find(creationOrder.begin(), creationOrder.end(), handle));
  }
  forgetWindow(*window->queue, handle);
  shellWindowGone(handle);
  if (!window->parent) session::withdrawWindow(handle);
  return TRUE;
}

extern "C" BOOL WINAPI IsWindow(HWND window) { return findWindow(window) != nullptr; }

extern "C" BOOL WINAPI IsWindowVisible(HWND handle) {
  std::shared_ptr<Window> window = findWindow(handle);
  std::lock_guard<std::mutex> guard(tableLock);
  return window && window->visible && !window->minimized;
}

extern "C" BOOL WINAPI ShowWindow(HWND handle, int command) {
  std::shared_ptr<Window> window = findWindow(handle);
  if (!window) return FALSE;
  bool wasVisible, topLevel;
  {
    std::lock_guard<std::mutex> guard(tableLock);
    wasVisible = window->visible && !window->minimized;
    topLevel = !window->parent;
    switch (command) {
      case SW_HIDE: window->visible = false; break;
      case SW_MINIMIZE: window->visible = true, window->minimized = true; break;
      default: window->visible = true, window->minimized = false; break;
    }
  }
  bool nowVisible = command != SW_HIDE && command != SW_MINIMIZE;
  markDirty(*window->queue, handle, nowVisible);
  if (!nowVisible) {
    if (topLevelOf(GetActiveWindow()) == handle) activate(nullptr);
  } else if (topLevel && command != SW_SHOWNA && command != SW_SHOWNOACTIVATE) {
    activate(handle);
  }
  return wasVisible;
}

extern "C" BOOL WINAPI MoveWindow(HWND handle, int x, int y, int width, int height, BOOL repaint) {
  std::shared_ptr<Window> window = findWindow(handle);
  if (!window || width < 0 || height < 0) return FALSE;
  bool resized;
  {
    std::lock_guard<std::mutex> guard(tableLock);
    resized = window->rect.right - window->rect.left != width || window->rect.bottom - window->rect.top != height;
    window->rect = {x, y, x + width, y + height};
  }
  if (resized) SendMessageW(handle, WM_SIZE, 0, MAKELPARAM(width, height));
  if (repaint) InvalidateRect(handle, nullptr, TRUE);
  return TRUE;
}

extern "C" BOOL WINAPI GetWindowRect(HWND handle, LPRECT rect) {
  std::shared_ptr<Window> window = findWindow(handle);
  if (!window || !rect) return FALSE;
  std::lock_guard<std::mutex> guard(tableLock);
  *rect = window->rect;
  return TRUE;
}

extern "C" BOOL WINAPI GetClientRect(HWND handle, LPRECT rect) {
  if (!GetWindowRect(handle, rect)) return FALSE;
  *rect = {0, 0, rect->right - rect->left, rect->bottom - rect->top};
  return TRUE;
}

extern "C" BOOL WINAPI SetForegroundWindow(HWND window) {
  HWND handle = reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(window) & ~uintptr_t(3));
  HWND top = topLevelOf(handle);
  if (!top) return session::activateForeign(handle);  // another program's window, or none
  // A minimised window comes back when it is brought to the front.
  if (std::shared_ptr<Window> w = findWindow(top)) {
    std::lock_guard<std::mutex> guard(tableLock);
    w->visible = true;
    w->minimized = false;
  }
  activate(top);
  return TRUE;
}

extern "C" HWND WINAPI GetForegroundWindow(void) { return GetActiveWindow(); }

extern "C" HWND WINAPI GetActiveWindow(void) {
  std::lock_guard<std::mutex> guard(tableLock);
  return activeWindow;
}

extern "C" HWND WINAPI FindWindowW(LPCWSTR className, LPCWSTR windowName) {
  for (HWND handle : topLevelWindows()) {
    std::shared_ptr<Window> w = findWindow(handle);
    if (!w) continue;
    std::lock_guard<std::mutex> guard(tableLock);
    bool classMatches = !className;
    if (className) {
      WindowClass *c = classNamed(className);
      classMatches = c && equalsNoCase(c->name, w->className);
    }
    if (classMatches && (!windowName || w->text == windowName)) return handle;
  }
  return session::findForeignWindow(className, windowName);
}

extern "C" BOOL WINAPI SetWindowTextW(HWND handle, LPCWSTR text) {
  std::shared_ptr<Window> window = findWindow(handle);
  if (!window) return FALSE;
  std::u16string className, title = text ? text : u"";
  bool topLevel;
  {
    std::lock_guard<std::mutex> guard(tableLock);
    window->text = title;
    className = window->className;
    topLevel = !window->parent;
  }
  if (topLevel) session::publishWindow(handle, className, title);
  return TRUE;
}

extern "C" int WINAPI GetWindowTextW(HWND handle, LPWSTR buffer, int size) {
  std::shared_ptr<Window> window = findWindow(handle);
  if (!window || !buffer || size <= 0) return 0;
  std::lock_guard<std::mutex> guard(tableLock);
  size_t n = std::min(window->text.size(), static_cast<size_t>(size - 1));
  std::copy_n(window->text.begin(), n, buffer);
  buffer[n] = 0;
  return static_cast<int>(n);
}

extern "C" LRESULT WINAPI DefWindowProcW(HWND window, UINT message, WPARAM, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_SETTEXT:
      return SetWindowTextW(window, reinterpret_cast<LPCWSTR>(lParam));
    default:
      return 0;
  }
}
