// The settings menus: fifteen pages of items drawn over the live picture, each item a
// setting (an option list shown with its current value) or an action. The controller walks
// them on the main thread; the overlay draws the current page on whichever thread composes,
// so the words that change while the menu is up are atomic.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "camera/options.h"
#include "pipeline/text.h"

enum MenuPageId : int {
  PAGE_MAIN,
  PAGE_GENERAL,
  PAGE_CAPTURE,
  PAGE_IMAGE,
  PAGE_PICTURE,
  PAGE_PHOTO,  // the three capture-mode pages, in the order of the capture modes' values
  PAGE_VIDEO,
  PAGE_INTERVAL,
  PAGE_AVERAGING,
  PAGE_MOTION,
  PAGE_KEYS,
  PAGE_ADVANCED,
  PAGE_AFTER_PHOTO,  // the pages shown after a capture
  PAGE_PAUSED,
  PAGE_AFTER_RECORDING,
  kMenuPageCount
};

// An item: a label (null: hidden; a leading "~": a heading the cursor skips) and the setting
// it changes, null for an action.
struct MenuItem {
  std::atomic<const char *> label;
  std::atomic<OptionList *> setting;
};

struct MenuPage {
  const char *title;  // may be null
  MenuItem *items;
  uint32_t count;
  std::atomic<int32_t> cursor;  // the selected item
  uint32_t width;               // the longest label of the items that have a setting
  std::atomic<MenuPage *> parent;  // where "back" goes; null: the main page
  // The row index of the cursor item's setting when an edit began; -1 when not editing.
  std::atomic<int32_t> editSaved;
};

// The menu state kept in the program's record.
struct MenuState {
  MenuPage pages[kMenuPageCount];
  std::atomic<MenuPage *> current;  // never null after start-up
  std::atomic<uint8_t> shown;
};

// Colours of the menu (RGB 565).
constexpr uint16_t kMenuCursorColour = 0xF99F;
constexpr uint16_t kMenuValueColour = 0xFFF0;

// Builds the option lists (the Camera's must be filled), then every page: the items with
// their labels from the language table, the items this handset or mode hides, and each
// page's title, count, width, no parent, no edit and the cursor on its first selectable item.
// The main page becomes current and the menu is hidden.
void BuildPages(bool screenCapture);
// Points main item 2 at the page of the current capture mode (#23) and the capture page's
// items 0 to 4 at the still or the video settings.
void UpdateCapturePage(uint32_t still);
// The page of a capture mode's settings for the current value of #23.
MenuPage *ModePage();
bool IsModePage(const MenuPage *page);
// Draws the page with the renderer from its first line (the overlay has set nothing else up).
void DrawMenu(TextRenderer *renderer, const MenuPage *page);

// Whether the cursor may rest on the item: it has a label that does not begin with "~".
bool IsSelectable(const MenuItem &item);
// Moves the cursor to the next / previous selectable item, wrapping around.
void CursorNext(MenuPage *page);
void CursorPrevious(MenuPage *page);

// Opens the file with the shell's default action, out of full screen while the viewer is in
// front. 1 when the shell accepted it (full screen is then given back only when the program is
// activated again), 0 when not (full screen taken back at once).
uint32_t OpenWithShell(const WCHAR *path);
