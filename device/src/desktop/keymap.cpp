// The PC keyboard as the handset's buttons. The A, B and C keys press the buttons the GAPI key
// lists call A, B and C on this handset, so that they open and close the menus on a Pocket PC
// and on a Smartphone alike.
#include <SDL.h>

#include "desktop/sdl_window.h"

namespace device {
namespace {

// Virtual-key codes of the handset.
constexpr int kVkBack = 0x08, kVkReturn = 0x0D, kVkEscape = 0x1B, kVkLeft = 0x25, kVkUp = 0x26, kVkRight = 0x27,
              kVkDown = 0x28, kVkF1 = 0x70, kVkF8 = 0x77, kVkApp1 = 0xC1;

KeyAction press(int vk) { return {KeyAction::key, vk}; }

}  // namespace

KeyAction mapDesktopKey(int keycode) {
  if (keycode >= SDLK_0 && keycode <= SDLK_9) return press('0' + (keycode - SDLK_0));
  if (keycode >= SDLK_F1 && keycode <= SDLK_F12) return press(kVkF1 + (keycode - SDLK_F1));
  switch (keycode) {
    case SDLK_KP_0: return press('0');
    case SDLK_KP_1: case SDLK_KP_2: case SDLK_KP_3: case SDLK_KP_4: case SDLK_KP_5:
    case SDLK_KP_6: case SDLK_KP_7: case SDLK_KP_8: case SDLK_KP_9:
      return press('1' + (keycode - SDLK_KP_1));
    case SDLK_UP: return press(kVkUp);
    case SDLK_DOWN: return press(kVkDown);
    case SDLK_LEFT: return press(kVkLeft);
    case SDLK_RIGHT: return press(kVkRight);
    case SDLK_RETURN: case SDLK_KP_ENTER: case SDLK_SPACE: return press(kVkReturn);
    case SDLK_ESCAPE: return press(kVkEscape);
    case SDLK_BACKSPACE: return press(kVkBack);
    case SDLK_KP_MULTIPLY: case SDLK_ASTERISK: return press(kVkF8);  // the star key
    case SDLK_HASH: return press(kVkF8 + 1);                          // the pound key
    case SDLK_a: return press(applicationButtons().a);
    case SDLK_b: return press(applicationButtons().b);
    case SDLK_c: return press(applicationButtons().c);
    // The six application buttons: the block above the arrow keys.
    case SDLK_INSERT: return press(kVkApp1);
    case SDLK_HOME: return press(kVkApp1 + 1);
    case SDLK_PAGEUP: return press(kVkApp1 + 2);
    case SDLK_DELETE: return press(kVkApp1 + 3);
    case SDLK_END: return press(kVkApp1 + 4);
    case SDLK_PAGEDOWN: return press(kVkApp1 + 5);
    case SDLK_TAB: return {KeyAction::switchTask, 0};
    default: return {KeyAction::none, 0};
  }
}

}  // namespace device
