// GAPI over the emulated display: GXBeginDraw hands out the frame buffer itself, in the layout
// of the orientation in force.
#include <gx.h>

#include <atomic>

#include "device/display.h"
#include "device/home_screen.h"
#include "gapi/keys.h"
#include "input/script.h"

namespace platform {
namespace {

std::atomic<HWND> displayOwner{nullptr};
std::atomic<bool> suspended{false};
std::atomic<bool> inputOpen{false};

}  // namespace
}  // namespace platform

using namespace platform;

extern "C" int WINAPI GXOpenDisplay(HWND window, DWORD) {
  if (!IsWindow(window)) return 0;
  HWND none = nullptr;
  if (!displayOwner.compare_exchange_strong(none, window)) return 0;  // one program owns the display
  suspended = false;
  device::holdDisplay(true);
  return 1;
}

extern "C" int WINAPI GXCloseDisplay(void) {
  if (!displayOwner.exchange(nullptr)) return 0;
  device::holdDisplay(false);
  return 1;
}

extern "C" void *WINAPI GXBeginDraw(void) {
  if (!displayOwner.load() || suspended.load()) return nullptr;
  return device::display().pixels();
}

extern "C" int WINAPI GXEndDraw(void) {
  if (!displayOwner.load()) return 0;
  device::display().present();
  return 1;
}

extern "C" int WINAPI GXOpenInput(void) {
  inputOpen = true;
  startInputScript();
  return 1;
}

extern "C" int WINAPI GXCloseInput(void) {
  if (!inputOpen.exchange(false)) return 0;
  stopInputScript();
  return 1;
}

extern "C" GXDisplayProperties WINAPI GXGetDisplayProperties(void) {
  const device::Display &display = device::display();
  DWORD format = kfDirect | kfDirect565 | (display.width() > display.height() ? kfLandscape : 0);
  return {static_cast<DWORD>(display.width()), static_cast<DWORD>(display.height()), 2, display.pitch(), 16, format};
}

extern "C" GXKeyList WINAPI GXGetDefaultKeys(int options) {
  if (options != GX_NORMALKEYS && options != GX_LANDSCAPEKEYS) return GXKeyList{};
  return defaultKeys(options == GX_LANDSCAPEKEYS);
}

extern "C" int WINAPI GXSuspend(void) {
  suspended = true;
  device::holdDisplay(false);
  return 1;
}

extern "C" int WINAPI GXResume(void) {
  suspended = false;
  device::holdDisplay(displayOwner.load() != nullptr);
  return 1;
}
