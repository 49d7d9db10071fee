// What the pieces of capture control share: the capture mode and state, the frame geometry the
// encoder and the series are sized for, and the pages shown after a capture.
#pragma once

#include "app/appstate.h"
#include "app/menus.h"
#include "app/settings.h"
#include "camera/camera.h"

namespace capture {

constexpr uint32_t kModeVideo = 1, kModeInterval = 2;
constexpr uint32_t kModelHardwareZoom = 11;  // the model whose camera zooms and records itself

inline uint32_t Mode() { return EffectiveRow(*g_App.settings[SET_CAPTURE_MODE]); }
// Photo and interval captures take stills; video does not.
inline uint32_t Still() { return Mode() != kModeVideo; }
inline CaptureState State() { return CaptureState(g_App.captureState.load(std::memory_order_acquire)); }
inline void SetState(CaptureState state) { g_App.captureState.store(state, std::memory_order_release); }
// Quarter turns between the screen and the camera.
inline uint32_t Rotation() {
  return uint32_t(SettingValue(SET_SCREEN_ORIENTATION) - SettingValue(SET_MOUNTING)) & 3;
}
// The geometry before any fitting to the preview: what a still or video frame really has.
inline const CaptureGeometry &Frame() { return g_App.camera.requested; }

// Stops the source's stream, waiting for its thread, as the Camera does.
inline void StopSource() {
  Camera &c = g_App.camera;
  if (!c.streaming) return;
  c.streaming = 0;
  c.ops->Stop(0, 0, 0, 0);
}

// The page becomes current with the given parent, cursor on its first item, menu shown.
inline void ShowCapturePage(MenuPageId id, MenuPage *parent) {
  MenuState &menu = g_App.menu;
  MenuPage &page = menu.pages[id];
  page.parent = parent;
  page.cursor = 0;
  menu.current = &page;
  menu.shown = 1;
}

// The page's parent (the main page when it has none) becomes current and the menu hides.
inline void LeaveCapturePage(MenuPage *page) {
  MenuState &menu = g_App.menu;
  MenuPage *parent = page->parent;
  menu.current = parent ? parent : &menu.pages[PAGE_MAIN];
  menu.shown = 0;
}

}  // namespace capture
