// Hardware input from the emulated handset: keys and taps become messages posted to the active
// window, as the handset's input thread would post them; tap positions become client coordinates.
// The user's program-level actions (bringing the program back, switching to the home screen,
// closing it) change activation on the window's own thread.
#include "device/display.h"
#include "windows/internal.h"

namespace platform {
namespace {

// lParam of a key message: repeat count 1; key-up adds the previous-state and transition bits.
LPARAM keyData(bool down) { return down ? 1 : static_cast<LPARAM>(0xC0000001u); }

void bringBack() {
  HWND window = windowToRestore();
  if (std::shared_ptr<Window> w = findWindow(window)) runOn(*w->queue, [window] { SetForegroundWindow(window); });
}

void sendToBackground() {
  if (std::shared_ptr<Window> w = findWindow(GetActiveWindow())) runOn(*w->queue, [] { activate(nullptr); });
}

void deliver(const device::InputEvent &event) {
  HWND window = GetActiveWindow();
  switch (event.kind) {
    case device::InputEvent::keyDown:
    case device::InputEvent::keyUp: {
      if (!window) return;  // the shell has the screen
      bool down = event.kind == device::InputEvent::keyDown;
      PostMessageW(window, down ? WM_KEYDOWN : WM_KEYUP, static_cast<WPARAM>(event.key), keyData(down));
      break;
    }
    case device::InputEvent::tapDown:
    case device::InputEvent::tapUp: {
      if (!window) return;
      bool down = event.kind == device::InputEvent::tapDown;
      RECT rect;
      GetWindowRect(window, &rect);
      PostMessageW(window, down ? WM_LBUTTONDOWN : WM_LBUTTONUP, down ? MK_LBUTTON : 0,
                   MAKELPARAM(event.x - rect.left, event.y - rect.top));
      break;
    }
    case device::InputEvent::activate:
      if (!window) bringBack();
      break;
    case device::InputEvent::deactivate:
      sendToBackground();
      break;
    case device::InputEvent::switchTask:
      if (window)
        sendToBackground();
      else
        bringBack();
      break;
    case device::InputEvent::close:
      for (HWND top : topLevelWindows()) PostMessageW(top, WM_CLOSE, 0, 0);
      break;
  }
}

const bool registered = (device::setInputSink(deliver), true);

}  // namespace
}  // namespace platform
