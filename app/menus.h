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

// Setting up (start-up, main thread).

// Builds the option lists (the Camera's must be filled), then every page: the items with
// their labels from the language table, the items this handset or mode hides, and each
// page's title, count, width, no parent, no edit and the cursor on its first selectable item.
// The main page becomes current and the menu is hidden.
void BuildPages(bool screenCapture);

// The walk through the pages, for the controller and capture control (main thread). They
// change the pages through the records themselves: g_App.menu.current (never null after
// BuildPages), g_App.menu.shown, and per page cursor, parent (null: the main page) and
// editSaved (-1: no edit). The item under the cursor is page->items[page->cursor]; its
// setting is null for an action; a page is &g_App.menu.pages[PAGE_...]. A composition on
// another thread draws whatever these hold.

// Points main item 2 at the page of the current capture mode (#23) and the capture page's
// items 0 to 4 at the still (still != 0) or the video settings. At start-up, after the
// capture mode changes and after a reset.
void UpdateCapturePage(uint32_t still);
// The page of the current capture mode's settings (#23: photo, video or interval).
MenuPage *ModePage();
// Whether the page is one of the three capture-mode pages.
bool IsModePage(const MenuPage *page);
// Whether the cursor may rest on the item: it has a label that does not begin with "~".
bool IsSelectable(const MenuItem &item);
// Moves the cursor to the next / previous selectable item, wrapping around past the last /
// first item. Every page keeps an item that is never hidden, so the move ends on one.
void CursorNext(MenuPage *page);
void CursorPrevious(MenuPage *page);

// Opens the file with the shell's default action, leaving full screen first so that the
// viewer can be seen. 1 when the shell accepted it (the program then stays behind the viewer
// and takes full screen back when it is activated again), 0 when not (full screen is taken
// back at once).
uint32_t OpenWithShell(const WCHAR *path);

// Drawing, by the overlay while the menu is shown (under ComposeBusy, any thread).

// Draws the page with the renderer from its first line: the title, or while an edit is in
// progress the edited label and the rows of its setting.
void DrawMenu(TextRenderer *renderer, const MenuPage *page);
