#include "app/window.h"

#include <utility>

#include "app/appstate.h"
#include "app/fullscreen.h"
#include "app/settings.h"
#include "pipeline/overlay.h"

namespace {

struct KeyEntry {
  short &vk;
  POINT &pt;
};

void Swap(KeyEntry a, KeyEntry b) {
  std::swap(a.vk, b.vk);
  std::swap(a.pt, b.pt);
}

}  // namespace

GXKeyList DeriveKeyList(const GXKeyList &landscape, const GXKeyList &portrait, uint32_t orientation,
                        uint32_t quarterTurns) {
  orientation &= 3;
  GXKeyList k = orientation == 0 || orientation == 2 ? landscape : portrait;
  KeyEntry up{k.vkUp, k.ptUp}, down{k.vkDown, k.ptDown}, left{k.vkLeft, k.ptLeft},
      right{k.vkRight, k.ptRight};
  if (orientation >= 2) {
    Swap(left, right);
    Swap(up, down);
    Swap({k.vkA, k.ptA}, {k.vkB, k.ptB});
  }
  // Four turns are none.
  for (uint32_t turn = 0; turn < quarterTurns % 4; ++turn) {
    // up <- right <- down <- left <- up
    Swap(up, right);
    Swap(right, down);
    Swap(down, left);
  }
  return k;
}

void SetOverlayOrientation() {
  SetOverlayTextOrientation();
  g_App.keys = DeriveKeyList(g_App.landscapeKeys, g_App.portraitKeys,
                             uint32_t(SettingValue(SET_SCREEN_ORIENTATION)),
                             uint32_t(SettingValue(SET_KEY_ROTATION)));
}

void Minimise(uint32_t release) {
  g_App.releaseOnDeactivate = release;
  SetFullScreen(g_App.MainWindow, 0);
  ShowWindow(g_App.MainWindow, SW_MINIMIZE);
}
