// A program just started on an emulated handset, as far as the controller sees it: the shipped
// language file, fresh settings and menu pages, GAPI key lists with distinct codes, full
// screen, the preview running (the camera itself stays closed).
#pragma once

#include <initializer_list>

#include "app/config.h"
#include "app/controller.h"
#include "app/menus.h"
#include "app/settings.h"
#include "app/window.h"
#include "camera/camera.h"
#include "tests/support/program_fixture.h"

// The GAPI lists the tests give the program: the portrait list is the arrow keys, the
// landscape list has them a quarter turn on, as a handset turned on its side does.
inline GXKeyList TestKeys(short up, short down, short left, short right) {
  GXKeyList k{};
  k.vkUp = up;
  k.vkDown = down;
  k.vkLeft = left;
  k.vkRight = right;
  k.vkA = VK_APP1;
  k.vkB = VK_APP2;
  k.vkC = VK_APP3;
  k.vkStart = VK_RETURN;
  return k;
}

class ControllerTest : public ProgramFixture {
 protected:
  void SetUp() override {
    g_App.FullScreen = 1;
    g_App.releaseOnDeactivate = 1;
    g_App.started = 1;
    StartProgram(EmulatedHandset(), false);
    g_App.portraitKeys = TestKeys(VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT);
    g_App.landscapeKeys = TestKeys(VK_LEFT, VK_RIGHT, VK_DOWN, VK_UP);
    SetOverlayOrientation();
  }

  static MenuPage *Page(MenuPageId id) { return &g_App.menu.pages[id]; }
  static MenuPage *Current() { return g_App.menu.current.load(); }
  static bool Shown() { return g_App.menu.shown.load() != 0; }
  static OptionList &Setting(int n) { return *g_App.settings[n]; }
  static int32_t Row(int n) { return int32_t(EffectiveRow(Setting(n))); }
  // Presses the logical keys of the current list, in order; false when one ended the program.
  static bool Press(std::initializer_list<short GXKeyList::*> keys) {
    for (short GXKeyList::*key : keys)
      if (!HandleKey(g_App.keys.*key)) return false;
    return true;
  }
  // The row of a key setting whose value is the code.
  static void AssignKey(int setting, int32_t code) {
    OptionList &list = Setting(setting);
    for (uint32_t row = 0; row < list.count; ++row)
      if (list.table[row].value == code) {
        list.index = int32_t(row);
        return;
      }
    FAIL() << "no row for key " << code;
  }
};

constexpr auto Up = &GXKeyList::vkUp;
constexpr auto Down = &GXKeyList::vkDown;
constexpr auto Left = &GXKeyList::vkLeft;
constexpr auto Right = &GXKeyList::vkRight;
constexpr auto A = &GXKeyList::vkA;
constexpr auto B = &GXKeyList::vkB;
constexpr auto Start = &GXKeyList::vkStart;
