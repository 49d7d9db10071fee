// The display's desktop front end: the handset's screen in an SDL2 window, scaled up, with the
// PC keyboard as the handset's buttons and mouse clicks as taps (see device/desktop/KEYS.md).
#pragma once

#include <memory>

#include "device/display.h"

namespace device {

// Opens the window (HANDSET_DISPLAY=sdl); throws std::runtime_error when there is no desktop
// to open it on. HANDSET_WINDOW_SCALE (1 to 8) sets the scale, else it fits about 720 pixels.
std::unique_ptr<FrontEnd> createSdlWindow();

// What a PC key does on the handset: a virtual-key code to press, the task switch, or nothing.
struct KeyAction {
  enum Kind { none, key, switchTask } kind;
  int vk;
};
// `keycode` is an SDL key code (SDLK_*).
KeyAction mapDesktopKey(int keycode);

}  // namespace device
