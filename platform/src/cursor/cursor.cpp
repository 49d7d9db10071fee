// The cursor shown over the handset's screen. Only the system's own shapes exist; the emulated
// display is told when the busy one comes up or goes, so a desktop window can show it.
#include <windows.h>

#include <mutex>

#include "device/cursor.h"

namespace {

// One object per system cursor; its address is the handle.
struct SystemCursor {
  WORD id;
};
constexpr SystemCursor kArrow{32512}, kWait{32514};
constexpr const SystemCursor *kSystemCursors[] = {&kArrow, &kWait};

HCURSOR handleOf(const SystemCursor &cursor) {
  return reinterpret_cast<HCURSOR>(const_cast<SystemCursor *>(&cursor));
}

std::mutex cursorLock;
HCURSOR shown = nullptr;  // under cursorLock

}  // namespace

extern "C" HCURSOR WINAPI LoadCursorW(HINSTANCE instance, LPCWSTR name) {
  if (!instance && IS_INTRESOURCE(name)) {
    const WORD id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
    for (const SystemCursor *cursor : kSystemCursors)
      if (cursor->id == id) return handleOf(*cursor);
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return nullptr;
}

extern "C" HCURSOR WINAPI SetCursor(HCURSOR cursor) {
  std::lock_guard<std::mutex> guard(cursorLock);
  const HCURSOR previous = shown;
  shown = cursor;
  const HCURSOR wait = handleOf(kWait);
  if ((previous == wait) != (cursor == wait)) device::setWaitCursor(cursor == wait);
  return previous;
}

extern "C" HCURSOR WINAPI GetCursor(void) {
  std::lock_guard<std::mutex> guard(cursorLock);
  return shown;
}
