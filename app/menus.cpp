#include "app/menus.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include <shellapi.h>

#include "app/appstate.h"
#include "app/fullscreen.h"
#include "app/settings.h"
#include "pipeline/osd.h"

namespace {

// An item as the program defines it: the label is language string `language` when that is not
// negative, else the fixed text; `setting` is the settings-table number, or -1 for an action.
struct ItemDefinition {
  int16_t language;
  const char *text;
  int8_t setting;
};
constexpr ItemDefinition L(int16_t language, int8_t setting = -1) { return {language, nullptr, setting}; }
constexpr ItemDefinition Fixed(const char *text, int8_t setting = -1) { return {-1, text, setting}; }
constexpr ItemDefinition kBack = L(35);
constexpr ItemDefinition kEmpty = Fixed("");
// Main item 2: labelled with the title of the current capture mode's page.
constexpr ItemDefinition kModePageItem = Fixed(nullptr);

constexpr ItemDefinition kMain[] = {L(37), L(72), kModePageItem, L(75), L(77), L(76), L(36)};
constexpr ItemDefinition kGeneral[] = {L(38, 31), L(41, 10), L(44, 35), L(57, 8), L(60, 4),
                                 L(164),    L(61),     L(63),     L(62),    kBack};
// The still settings; UpdateCapturePage swaps in the video ones.
constexpr ItemDefinition kCapture[] = {L(88, 25), L(89, 44), L(90, 24), L(91, 38), L(92, 36), kBack};
constexpr ItemDefinition kImage[] = {L(10, 12), L(9, 13), L(14, 14), L(11, 15), L(12, 11), L(13, 16), kBack};
constexpr ItemDefinition kPicture[] = {L(0, 17), L(4, 18), L(15, 20), L(21, 19), L(78), L(79, 21), L(80, 22), kBack};
constexpr ItemDefinition kPhoto[] = {L(98, 26), L(99, 32), L(32, 34), L(28, 9), kBack};
constexpr ItemDefinition kVideo[] = {L(98, 29), L(122, 30), L(123, 33), kBack};
constexpr ItemDefinition kInterval[] = {L(98, 26), L(99, 32), L(32, 34), L(28, 9), L(106, 42), L(115), L(108), kBack};
constexpr ItemDefinition kAveraging[] = {L(116, 46), L(120, 45), L(121, 47), kBack};
constexpr ItemDefinition kMotion[] = {L(109, 5), L(113, 6), L(114, 7), kBack};
constexpr ItemDefinition kKeys[] = {L(64, 48), L(65, 49), L(36, 50), L(66, 51), L(67, 52), L(68, 53),
                              L(69, 54), L(24, 55), L(21, 56), L(32, 57), L(70, 58), kBack};
constexpr ItemDefinition kAdvanced[] = {L(49, 41),          L(165, 3),           L(166, 2), L(54, 40),
                                  Fixed("FMode", 0), Fixed("FDelay", 1), kBack};
constexpr ItemDefinition kAfterPhoto[] = {L(84), L(85), kEmpty, L(87), kEmpty};
constexpr ItemDefinition kPaused[] = {L(82), L(83), L(85), kEmpty, L(86), kEmpty};
constexpr ItemDefinition kAfterRecording[] = {L(83), L(85), kEmpty, L(86), kEmpty};

struct PageDefinition {
  int16_t title;  // language string, or -1 for the fixed title
  const char *fixedTitle;
  const ItemDefinition *items;
  uint32_t count;
};
template <size_t N>
constexpr PageDefinition Page(int16_t title, const ItemDefinition (&items)[N], const char *fixedTitle = nullptr) {
  return {title, fixedTitle, items, N};
}

// In the order of MenuPageId.
constexpr PageDefinition kPages[kMenuPageCount] = {
    Page(71, kMain),      Page(37, kGeneral),   Page(72, kCapture),  Page(75, kImage),
    Page(77, kPicture),   Page(102, kPhoto),    Page(104, kVideo),   Page(103, kInterval),
    Page(115, kAveraging), Page(108, kMotion),  Page(63, kKeys),     Page(-1, kAdvanced, "Advanced Settings"),
    Page(81, kAfterPhoto), Page(81, kPaused),   Page(81, kAfterRecording),
};

constexpr size_t ItemTotal() {
  size_t total = 0;
  for (const PageDefinition &page : kPages) total += page.count;
  return total;
}
MenuItem s_items[ItemTotal()];

// The capture page's items 0 to 4: the still setting and the video setting of each.
constexpr int kCaptureSettings[5][2] = {{SET_STILL_SIZE, SET_PREVIEW_SIZE},
                                        {SET_STILL_ASPECT, SET_PREVIEW_ASPECT},
                                        {SET_PHOTO_FORMAT, SET_VIDEO_FORMAT},
                                        {SET_PHOTO_QUALITY, SET_VIDEO_QUALITY},
                                        {SET_PHOTO_PREVIEW_MODE, SET_VIDEO_PREVIEW_MODE}};
constexpr uint32_t kCaptureModeVideo = 1;
constexpr uint32_t kZoomStepModel = 11;

MenuPage &PageOf(MenuPageId id) { return g_App.menu.pages[id]; }

const char *LanguageString(int16_t n) { return g_App.language.strings[n]; }

void Hide(MenuPageId id, std::initializer_list<uint32_t> items) {
  for (uint32_t item : items) PageOf(id).items[item].label = nullptr;
}

// The items this handset and this mode do without.
void HideItems(bool screenCapture) {
  const DeviceRecord &device = g_App.device;
  if (screenCapture) {
    Hide(PAGE_MAIN, {3, 4});
    Hide(PAGE_GENERAL, {1, 4});
    Hide(PAGE_CAPTURE, {1, 4});
    Hide(PAGE_PHOTO, {2, 3});
    Hide(PAGE_INTERVAL, {2, 3, 5});
  } else {
    Hide(PAGE_GENERAL, {3});
  }
  if (!device.vendorLibrary || device.modelCode <= 1) Hide(PAGE_PHOTO, {3});
  if (!g_App.flashSound[0]) Hide(PAGE_ADVANCED, {4, 5});
  if (device.smartphone) Hide(PAGE_KEYS, {10});
  if (device.modelCode == kZoomStepModel) {
    Hide(PAGE_CAPTURE, {1, 4});
    Hide(PAGE_PICTURE, {3});
  }
}

int32_t FirstSelectable(const MenuPage &page) {
  for (uint32_t i = 0; i < page.count; ++i)
    if (IsSelectable(page.items[i])) return int32_t(i);
  return 0;
}

uint32_t LongestSettingLabel(const MenuPage &page) {
  size_t width = 0;
  for (uint32_t i = 0; i < page.count; ++i) {
    const char *label = page.items[i].label.load(std::memory_order_relaxed);
    if (label && page.items[i].setting.load(std::memory_order_relaxed)) width = std::max(width, strlen(label));
  }
  return uint32_t(width);
}

void MoveCursor(MenuPage *page, int32_t step) {
  if (page->count == 0) return;
  const int32_t count = int32_t(page->count);
  int32_t at = page->cursor.load(std::memory_order_relaxed);
  for (int32_t tried = 0; tried < count; ++tried) {
    at += step;
    if (at >= count) at = 0;
    if (at < 0) at = count - 1;
    if (IsSelectable(page->items[at])) break;
  }
  page->cursor.store(at, std::memory_order_relaxed);
}

// A row of a setting as the menu shows it: its label, or the value in decimal for a list
// without a rows table.
void DrawRow(TextRenderer *r, const OptionList &list, uint32_t row) {
  if (row >= list.count) return;
  if (list.table) {
    DrawText(r, list.table[row].label);
    return;
  }
  char value[12];
  snprintf(value, sizeof value, "%d", list.base + list.step * int32_t(row));
  DrawText(r, value);
}

void DrawItems(TextRenderer *r, const MenuPage &page) {
  const int32_t cursor = page.cursor.load(std::memory_order_relaxed);
  for (uint32_t i = 0; i < page.count && r->row < r->rows; ++i) {
    const char *label = page.items[i].label.load(std::memory_order_relaxed);
    if (!label) continue;
    const OptionList *setting = page.items[i].setting.load(std::memory_order_relaxed);
    const bool selected = int32_t(i) == cursor;
    r->column = 0;
    r->colour = selected ? kMenuCursorColour : label[0] == '~' ? kGreen : kWhite;
    DrawText(r, selected ? ">" : " ");
    DrawText(r, label);
    if (setting) {
      r->column = page.width + 1;
      DrawText(r, ":");
      if (!selected) r->colour = kMenuValueColour;
      DrawRow(r, *setting, EffectiveRow(*setting));
    }
    ++r->row;
  }
}

// The rows of the edited setting, scrolled so that the selected one is on the last line at
// the latest.
void DrawEditRows(TextRenderer *r, const OptionList &list) {
  const uint32_t selected = EffectiveRow(list);
  const uint32_t below = r->rows > r->row ? r->rows - r->row - 1 : 0;
  for (uint32_t row = selected > below ? selected - below : 0; row < list.count && r->row < r->rows; ++row) {
    r->column = 0;
    r->colour = row == selected ? kMenuCursorColour : kMenuValueColour;
    DrawText(r, row == selected ? ">" : " ");
    DrawRow(r, list, row);
    ++r->row;
  }
}

}  // namespace

bool IsSelectable(const MenuItem &item) {
  const char *label = item.label.load(std::memory_order_relaxed);
  return label && label[0] != '~';
}

void CursorNext(MenuPage *page) { MoveCursor(page, +1); }

void CursorPrevious(MenuPage *page) { MoveCursor(page, -1); }

MenuPage *ModePage() {
  uint32_t mode = EffectiveRow(*g_App.settings[SET_CAPTURE_MODE]);
  return &PageOf(MenuPageId(PAGE_PHOTO + (mode <= 2 ? mode : 0)));
}

bool IsModePage(const MenuPage *page) {
  return page == &PageOf(PAGE_PHOTO) || page == &PageOf(PAGE_VIDEO) || page == &PageOf(PAGE_INTERVAL);
}

void BuildPages(bool screenCapture) {
  BuildOptionLists(g_App.device, screenCapture);
  MenuItem *items = s_items;
  for (int id = 0; id < kMenuPageCount; ++id) {
    const PageDefinition &def = kPages[id];
    MenuPage &page = PageOf(MenuPageId(id));
    page.title = def.title >= 0 ? LanguageString(def.title) : def.fixedTitle;
    page.items = items;
    page.count = def.count;
    for (uint32_t i = 0; i < def.count; ++i) {
      const ItemDefinition &item = def.items[i];
      items[i].label = item.language >= 0 ? LanguageString(item.language) : item.text;
      items[i].setting = item.setting >= 0 ? g_App.settings[item.setting] : nullptr;
    }
    items += def.count;
  }
  HideItems(screenCapture);
  UpdateCapturePage(EffectiveRow(*g_App.settings[SET_CAPTURE_MODE]) != kCaptureModeVideo);
  for (MenuPage &page : g_App.menu.pages) {
    page.width = LongestSettingLabel(page);
    page.parent = nullptr;
    page.editSaved = -1;
    page.cursor = FirstSelectable(page);
  }
  g_App.menu.current = &PageOf(PAGE_MAIN);
  g_App.menu.shown = 0;
}

void UpdateCapturePage(uint32_t still) {
  PageOf(PAGE_MAIN).items[2].label.store(ModePage()->title, std::memory_order_relaxed);
  MenuItem *items = PageOf(PAGE_CAPTURE).items;
  for (int i = 0; i < 5; ++i)
    items[i].setting.store(g_App.settings[kCaptureSettings[i][still ? 0 : 1]], std::memory_order_relaxed);
}

void DrawMenu(TextRenderer *r, const MenuPage *page) {
  r->colour = kGreen;
  r->column = 1;
  r->row = 0;
  const int32_t saved = page->editSaved.load(std::memory_order_relaxed);
  const int32_t cursor = page->cursor.load(std::memory_order_relaxed);
  const OptionList *edited = nullptr;
  if (saved >= 0 && cursor >= 0 && uint32_t(cursor) < page->count) {
    const MenuItem &item = page->items[cursor];
    edited = item.setting.load(std::memory_order_relaxed);
    DrawMessage(r, item.label.load(std::memory_order_relaxed));
    const bool video = EffectiveRow(*g_App.settings[SET_CAPTURE_MODE]) == kCaptureModeVideo;
    if (edited && edited == g_App.settings[video ? SET_VIDEO_PREVIEW_MODE : SET_PHOTO_PREVIEW_MODE]) {
      char cost[16];
      snprintf(cost, sizeof cost, " %ums", g_App.PreviewCost.load(std::memory_order_relaxed));
      DrawText(r, cost);
    }
  } else {
    DrawMessage(r, page->title);
  }
  ++r->row;
  if (edited)
    DrawEditRows(r, *edited);
  else if (saved < 0)
    DrawItems(r, *page);
}

uint32_t OpenWithShell(const WCHAR *path) {
  SHELLEXECUTEINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpFile = path;
  info.nShow = SW_SHOWNORMAL;
  HWND window = g_App.MainWindow;
  SetFullScreen(window, 0);
  if (ShellExecuteEx(&info)) {
    if (info.hProcess) CloseHandle(info.hProcess);  // a program the file started: not waited for
    return 1;
  }
  SetFullScreen(window, 1);
  return 0;
}
