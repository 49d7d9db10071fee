#include "app/controller.h"

#include "app/appstate.h"
#include "app/backlight.h"
#include "app/capture_control.h"
#include "app/config.h"
#include "app/menus.h"
#include "app/settings.h"
#include "app/window.h"
#include "camera/camera.h"
#include "camera/geometry.h"
#include "pipeline/overlay.h"

namespace {

constexpr uint32_t kCaptureVideo = 1;
constexpr uint32_t kStatusExposureMs = 2000;
constexpr int32_t kCorner = 32;

enum TapAction : int32_t { TAP_NONE = 0, TAP_MENU = 1, TAP_ACTION = 2 };

// Items of the pages whose actions are not settings.
enum : int32_t {
  MAIN_GENERAL = 0,
  MAIN_CAPTURE,
  MAIN_MODE,
  MAIN_IMAGE,
  MAIN_PICTURE,
  MAIN_ABOUT,
  GENERAL_ADVANCED = 5,
  GENERAL_CONFIG = 6,
  GENERAL_KEYS = 7,
  GENERAL_RESET = 8,
  INTERVAL_AVERAGING = 5,
  INTERVAL_MOTION = 6,
};

MenuPage *Page(MenuPageId id) { return &g_App.menu.pages[id]; }
OptionList &Setting(int n) { return *g_App.settings[n]; }
int32_t State() { return g_App.captureState.load(std::memory_order_relaxed); }
void SetState(CaptureState state) { g_App.captureState.store(state, std::memory_order_relaxed); }
MenuPage *Current() { return g_App.menu.current.load(std::memory_order_relaxed); }
void SetCurrent(MenuPage *page) { g_App.menu.current.store(page, std::memory_order_relaxed); }
MenuPage *ParentOrMain(const MenuPage *page) {
  MenuPage *parent = page->parent.load(std::memory_order_relaxed);
  return parent ? parent : Page(PAGE_MAIN);
}
const GXKeyList &Keys() { return g_App.keys; }

// A key setting (#48 to #57) matches only a real key: row 0 ("no key") has the value 0,
// which never arrives here.
bool IsKey(int32_t key, int setting) { return key == SettingValue(setting); }

// Opens a sub-page from its parent; a cursor left on "back" starts at the top again.
uint32_t OpenSubPage(MenuPage *page, MenuPage *parent) {
  page->parent.store(parent, std::memory_order_relaxed);
  if (page->count && page->cursor.load(std::memory_order_relaxed) == int32_t(page->count - 1))
    page->cursor.store(0, std::memory_order_relaxed);
  SetCurrent(page);
  return 1;
}

void RestartCamera(uint32_t still) {
  CameraClose();
  CameraOpen();
  StepZoom(0, still);
  Reconfigure(still);
  StartStream();
}

void ResetAll() {
  CameraClose();
  ResetSettings();
  const uint32_t still = StillMode();
  UpdateCapturePage(still);
  SetOverlayOrientation();
  SetBacklight(DWORD(SettingValue(SET_BACKLIGHT)));
  CameraOpen();
  ApplyOption(&Setting(SET_PROP10_ALT));
  StepZoom(0, still);
  Reconfigure(still);
  StartStream();
}

// Left, Right, Up and Down with the menu hidden: capture mode and zoom.
void PreviewKey(int32_t key) {
  const GXKeyList &k = Keys();
  if (key == k.vkLeft || key == k.vkRight) {
    if (!StepOption(Setting(SET_CAPTURE_MODE), key == k.vkLeft ? -1 : +1)) return;
    StepZoom(0, StillMode());
  } else if (key == k.vkUp || key == k.vkDown) {
    if (!StepZoom(key == k.vkUp ? +1 : -1, StillMode())) return;
  } else {
    return;
  }
  const uint32_t still = StillMode();
  Reconfigure(still);
  UpdateCapturePage(still);
}

bool IsCapturePage(const MenuPage *page) {
  return page == Page(PAGE_AFTER_PHOTO) || page == Page(PAGE_PAUSED) || page == Page(PAGE_AFTER_RECORDING);
}

// What a key does on the current page after a setting changed (changed is that setting) or
// on an item without one (changed is null).
uint32_t PageAction(MenuPage *page, int32_t key, const OptionList *changed) {
  const GXKeyList &k = Keys();
  const bool start = key == k.vkStart;
  if (IsCapturePage(page)) return start ? HandleCapturePage(page, key) : 1;

  const int32_t item = page->cursor.load(std::memory_order_relaxed);
  const bool last = page->count && item == int32_t(page->count - 1);
  if (page == Page(PAGE_MAIN)) {
    if (!start && key != k.vkRight) return 1;
    if (last) return 0;
    switch (item) {
      case MAIN_GENERAL: return OpenSubPage(Page(PAGE_GENERAL), page);
      case MAIN_CAPTURE: return OpenSubPage(Page(PAGE_CAPTURE), page);
      case MAIN_MODE: return OpenSubPage(ModePage(), page);
      case MAIN_IMAGE: return OpenSubPage(Page(PAGE_IMAGE), page);
      case MAIN_PICTURE: return OpenSubPage(Page(PAGE_PICTURE), page);
      case MAIN_ABOUT: SetState(STATE_ABOUT); return 1;
      default: return 1;
    }
  }
  if (last && !changed && (start || key == k.vkLeft)) {
    SetCurrent(ParentOrMain(page));
    return 1;
  }

  const uint32_t still = StillMode();
  if (page == Page(PAGE_CAPTURE)) {
    if (!changed) return 1;
    if (changed == &Setting(SET_PREVIEW_ASPECT) || changed == &Setting(SET_STILL_ASPECT))
      RelabelSizes(still);
    else if (changed == &Setting(SET_STILL_SIZE) || changed == &Setting(SET_PREVIEW_SIZE))
      StepZoom(0, still);
    else
      return 1;
    Reconfigure(still);
    return 1;
  }
  if (changed == &Setting(SET_FULL_RES_PREVIEW)) {
    Reconfigure(still);
    return 1;
  }
  if (page == Page(PAGE_IMAGE) || page == Page(PAGE_PICTURE)) {
    if (changed == &Setting(SET_EXPOSURE_PREVIEW))
      ApplyExposure();
    else if (changed)
      ApplyOption(const_cast<OptionList *>(changed));
    return 1;
  }
  if (page == Page(PAGE_INTERVAL)) {
    if (!changed && start && item == INTERVAL_AVERAGING) return OpenSubPage(Page(PAGE_AVERAGING), page);
    if (!changed && start && item == INTERVAL_MOTION) return OpenSubPage(Page(PAGE_MOTION), page);
    return 1;
  }
  if (page == Page(PAGE_ADVANCED)) {
    if (changed == &Setting(SET_KEY_ROTATION)) SetOverlayOrientation();
    return 1;
  }
  if (page == Page(PAGE_GENERAL)) {
    if (changed == &Setting(SET_BACKLIGHT)) {
      SetBacklight(DWORD(SettingValue(SET_BACKLIGHT)));
    } else if (changed == &Setting(SET_CAMERA_MODE)) {
      RestartCamera(still);
    } else if (changed == &Setting(SET_SCREEN_ORIENTATION)) {
      SetOverlayOrientation();
    } else if (!changed && start) {
      switch (item) {
        case GENERAL_ADVANCED: return OpenSubPage(Page(PAGE_ADVANCED), page);
        case GENERAL_KEYS: return OpenSubPage(Page(PAGE_KEYS), page);
        case GENERAL_CONFIG: OpenWithShell(ProgramDirPath(TEXT("Config.txt"))); return 0;
        case GENERAL_RESET: ResetAll(); return 1;
        default: return 1;
      }
    }
  }
  return 1;
}

// The menu is shown: move the cursor, edit the cursor item's setting, or act.
uint32_t NavigatePage(int32_t key) {
  const GXKeyList &k = Keys();
  MenuPage *page = Current();
  const int32_t cursor = page->cursor.load(std::memory_order_relaxed);
  OptionList *list = cursor >= 0 && uint32_t(cursor) < page->count
                         ? page->items[cursor].setting.load(std::memory_order_relaxed)
                         : nullptr;
  const int32_t saved = page->editSaved.load(std::memory_order_relaxed);
  if (saved >= 0) {
    if (!list) return 1;
    if (key == k.vkUp || key == k.vkDown) {
      StepOption(*list, key == k.vkUp ? -1 : +1);
    } else if (key == k.vkStart) {
      page->editSaved.store(-1, std::memory_order_relaxed);
      if (int32_t(EffectiveRow(*list)) != saved) return PageAction(page, key, list);
    }
    return 1;
  }
  if (key == k.vkUp) {
    CursorPrevious(page);
    return 1;
  }
  if (key == k.vkDown) {
    CursorNext(page);
    return 1;
  }
  if (list) {
    if (key == k.vkStart) {
      page->editSaved.store(int32_t(EffectiveRow(*list)), std::memory_order_relaxed);
      return 1;
    }
    if (key == k.vkLeft || key == k.vkRight) {
      if (StepOption(*list, key == k.vkLeft ? -1 : +1)) return PageAction(page, key, list);
      return 1;
    }
  }
  return PageAction(page, key, nullptr);
}

// A and B while idle: A opens or closes the menu, B goes back one page, either cancels an edit.
void MenuKey(int32_t key) {
  MenuPage *page = Current();
  const int32_t saved = page->editSaved.load(std::memory_order_relaxed);
  const bool editing = saved >= 0;
  if (editing) {
    const int32_t cursor = page->cursor.load(std::memory_order_relaxed);
    OptionList *list = cursor >= 0 && uint32_t(cursor) < page->count
                           ? page->items[cursor].setting.load(std::memory_order_relaxed)
                           : nullptr;
    if (list && uint32_t(saved) < list->count) list->index = saved;
  }
  if (page != Page(PAGE_MAIN) && key == Keys().vkB) {
    if (!editing) SetCurrent(ParentOrMain(page));
    g_App.menu.shown.store(0, std::memory_order_relaxed);
  }
  Current()->editSaved.store(-1, std::memory_order_relaxed);
  ToggleMenu();
  SetState(STATE_PREVIEW);
}

}  // namespace

uint32_t StillMode() { return uint32_t(SettingValue(SET_CAPTURE_MODE)) != kCaptureVideo ? 1 : 0; }

void ToggleOption(OptionList &list) {
  const uint32_t next = EffectiveRow(list) == 0 ? 1 : 0;
  if (next < list.count) list.index = int32_t(next);
}

bool StepOption(OptionList &list, int32_t delta) {
  if (list.count == 0) return false;
  const int64_t row = int64_t(EffectiveRow(list));
  int64_t next = row + delta;
  if (next < 0) next = 0;
  if (next > int64_t(list.count) - 1) next = int64_t(list.count) - 1;
  if (next == row) return false;
  list.index = int32_t(next);
  return true;
}

uint32_t HandleKey(int32_t key) {
  const GXKeyList &k = Keys();
  if (!g_App.FullScreen.load(std::memory_order_relaxed) && key == k.vkStart) return 1;
  const bool idle = State() == STATE_ABOUT || State() == STATE_PREVIEW;
  if (key == 0) return 1;

  if (IsKey(key, SET_KEY_MINIMISE)) {
    Minimise(0);
    return 1;
  }
  if (IsKey(key, SET_KEY_MINIMISE_RELEASE)) {
    // The camera goes with the window: a running capture is stopped or paused first, as a
    // deactivation does (which, out of full screen, no longer can).
    if (State() == STATE_CAPTURING) HandleAction();
    Minimise(1);
    return 1;
  }
  // The exposure lock and the second picture option restart the stream, which a running
  // capture (an interval shot on its own thread, a recording) must not have done under it.
  const bool capturing = State() == STATE_CAPTURING;
  if (IsKey(key, SET_KEY_EXPOSURE_LOCK)) {
    if (capturing) return 1;
    OptionList &exposure = Setting(SET_EXPOSURE_PREVIEW);
    ToggleOption(exposure);
    ApplyExposure();
    ShowStatus(EffectiveRow(exposure) ? "Exposure Locked" : "Exposure Auto", kStatusExposureMs);
    return 1;
  }
  if (IsKey(key, SET_KEY_EXIT)) return 0;
  if (IsKey(key, SET_KEY_PROP5_UP) || IsKey(key, SET_KEY_PROP5_DOWN)) {
    StepOption(Setting(SET_PROP5), IsKey(key, SET_KEY_PROP5_UP) ? +1 : -1);
    ApplyOption(&Setting(SET_PROP5));
    return 1;
  }
  if (IsKey(key, SET_KEY_FULL_RES) && idle) {
    ToggleOption(Setting(SET_FULL_RES_PREVIEW));
    if (StillMode()) Reconfigure(1);
    return 1;
  }
  if (IsKey(key, SET_KEY_PROP10_ALT)) {
    if (capturing) return 1;
    ToggleOption(Setting(SET_PROP10_ALT));
    ApplyOption(&Setting(SET_PROP10_ALT));
    return 1;
  }

  const int32_t pressed = key;
  if (IsKey(pressed, SET_KEY_ACTION)) key = k.vkStart;
  if (IsKey(pressed, SET_KEY_BACK)) key = k.vkB;

  if (idle && (key == k.vkA || key == k.vkB)) {
    MenuKey(key);
    return 1;
  }
  if (!g_App.menu.shown.load(std::memory_order_relaxed)) {
    if (key == k.vkStart) return HandleAction();
    if (State() == STATE_PREVIEW) PreviewKey(key);
    return 1;
  }
  return NavigatePage(key);
}

void ToggleMenu() {
  if (State() != STATE_PREVIEW) return;
  const bool open = !g_App.menu.shown.load(std::memory_order_relaxed);
  if (open) {
    MenuPage *page = Current();
    if (IsModePage(page)) SetCurrent(ModePage());
    page = Current();
    if (!page->parent.load(std::memory_order_relaxed) && page != Page(PAGE_MAIN))
      page->parent.store(Page(PAGE_MAIN), std::memory_order_relaxed);
  }
  g_App.menu.shown.store(open ? 1 : 0, std::memory_order_relaxed);
}

uint32_t HandleTap(int32_t x, int32_t y, uint32_t width, uint32_t height) {
  const int32_t state = State();
  if ((state == STATE_PREVIEW || state == STATE_ABOUT) && Current()) {
    const bool top = y < kCorner, bottom = y > int32_t(height) - kCorner;
    const bool left = x < kCorner, right = x > int32_t(width) - kCorner;
    // Corners by orientation 0 to 3: the one that ends the program, the one that turns it.
    const bool closing[4] = {top && left, top && right, bottom && right, bottom && left};
    const bool turning[4] = {bottom && right, bottom && left, top && left, top && right};
    const uint32_t r = uint32_t(SettingValue(SET_SCREEN_ORIENTATION)) & 3;
    if (closing[r]) return 0;
    if (turning[r]) {
      OptionList &orientation = Setting(SET_SCREEN_ORIENTATION);
      if ((r + 1) % 4 < orientation.count) orientation.index = int32_t((r + 1) % 4);
      SetOverlayOrientation();
      return 1;
    }
    if (state == STATE_ABOUT) {
      SetState(STATE_PREVIEW);
      return 1;
    }
  }
  switch (SettingValue(SET_TAP_ACTION)) {
    case TAP_MENU: ToggleMenu(); return 1;
    case TAP_ACTION: return HandleKey(Keys().vkStart);
    default: return 1;
  }
}
