// The menu pages as built for each kind of handset, the cursor walk, the capture page's
// settings, and the pages as drawn (read back with the readable font).
#include <map>
#include <set>

#include "tests/osd/program_screen.h"

namespace {

using Menus = ProgramScreen;

MenuPage &Page(MenuPageId id) { return g_App.menu.pages[id]; }

// The items of a page that are drawn.
std::set<uint32_t> Visible(MenuPageId id) {
  std::set<uint32_t> items;
  for (uint32_t i = 0; i < Page(id).count; ++i)
    if (Page(id).items[i].label.load()) items.insert(i);
  return items;
}

std::set<uint32_t> All(MenuPageId id) {
  std::set<uint32_t> items;
  for (uint32_t i = 0; i < Page(id).count; ++i) items.insert(i);
  return items;
}

std::set<uint32_t> Without(MenuPageId id, std::set<uint32_t> hidden) {
  std::set<uint32_t> items = All(id);
  for (uint32_t i : hidden) items.erase(i);
  return items;
}

TEST_F(Menus, HandsetsAndModesHideTheirItems) {
  struct Case {
    const char *name;
    uint32_t model, vendorLibrary, smartphone;
    bool screenCapture;
    const char *flashSound;
    std::map<MenuPageId, std::set<uint32_t>> hidden;  // pages not named show every item
  } cases[] = {
      {"camera", 24, 1, 0, false, "", {{PAGE_GENERAL, {3}}, {PAGE_ADVANCED, {4, 5}}}},
      {"flash sound", 24, 1, 0, false, "\\Windows\\a.wav", {{PAGE_GENERAL, {3}}}},
      {"no vendor library", 24, 0, 0, false, "", {{PAGE_GENERAL, {3}}, {PAGE_PHOTO, {3}}, {PAGE_ADVANCED, {4, 5}}}},
      {"model 1", 1, 1, 0, false, "", {{PAGE_GENERAL, {3}}, {PAGE_PHOTO, {3}}, {PAGE_ADVANCED, {4, 5}}}},
      {"smartphone", 24, 1, 1, false, "", {{PAGE_GENERAL, {3}}, {PAGE_KEYS, {10}}, {PAGE_ADVANCED, {4, 5}}}},
      {"model 11", 11, 1, 0, false, "",
       {{PAGE_GENERAL, {3}}, {PAGE_CAPTURE, {1, 4}}, {PAGE_PICTURE, {3}}, {PAGE_ADVANCED, {4, 5}}}},
      {"screen capture", 24, 1, 0, true, "",
       {{PAGE_MAIN, {3, 4}},
        {PAGE_GENERAL, {1, 4}},
        {PAGE_CAPTURE, {1, 4}},
        {PAGE_PHOTO, {2, 3}},
        {PAGE_INTERVAL, {2, 3, 5}},
        {PAGE_ADVANCED, {4, 5}}}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    DeviceRecord device = g_App.device;
    device.modelCode = c.model;
    device.vendorLibrary = c.vendorLibrary;
    device.smartphone = uint8_t(c.smartphone);
    Prepare(device, c.screenCapture, c.flashSound);
    for (int id = 0; id < kMenuPageCount; ++id) {
      auto hidden = c.hidden.find(MenuPageId(id));
      EXPECT_EQ(Visible(MenuPageId(id)), hidden == c.hidden.end() ? All(MenuPageId(id)) : Without(MenuPageId(id), hidden->second))
          << "page " << id;
    }
  }
}

TEST_F(Menus, PagesStartClosedOnTheirFirstItem) {
  const uint32_t counts[kMenuPageCount] = {7, 10, 6, 7, 8, 5, 4, 8, 4, 4, 12, 7, 5, 6, 5};
  for (int id = 0; id < kMenuPageCount; ++id) {
    const MenuPage &page = Page(MenuPageId(id));
    EXPECT_EQ(page.count, counts[id]) << id;
    EXPECT_EQ(page.cursor.load(), 0) << id;
    EXPECT_EQ(page.parent.load(), nullptr) << id;
    EXPECT_EQ(page.editSaved.load(), -1) << id;
  }
  EXPECT_EQ(g_App.menu.current.load(), &Page(PAGE_MAIN));
  EXPECT_EQ(g_App.menu.shown.load(), 0);
  EXPECT_STREQ(Page(PAGE_ADVANCED).title, "Advanced Settings");
  EXPECT_STREQ(Page(PAGE_AFTER_PHOTO).title, "What next?");
  // The widest label with a setting: "Orientation" on the general page, "Exposure lock" on
  // the key page; the picture page's heading has none.
  EXPECT_EQ(Page(PAGE_GENERAL).width, 11u);
  EXPECT_EQ(Page(PAGE_KEYS).width, 13u);
  EXPECT_EQ(Page(PAGE_PICTURE).width, 13u);  // "White balance"

  // A page whose first item is hidden starts on the next selectable one.
  DeviceRecord device = g_App.device;
  Prepare(device, true);
  EXPECT_EQ(Page(PAGE_GENERAL).cursor.load(), 0);
  g_App.language.strings[38] = "~Light";  // item 0 of the general page as a heading
  Prepare(device, true);
  g_App.language.strings[38] = "Backlight";
  EXPECT_EQ(Page(PAGE_GENERAL).cursor.load(), 2);  // item 1 is hidden in screen capture
}

TEST_F(Menus, CursorWrapsAndSkipsHeadingsAndHiddenItems) {
  MenuPage *picture = &Page(PAGE_PICTURE);  // item 4 is a heading
  std::vector<int32_t> walk;
  for (int i = 0; i < 8; ++i) {
    CursorNext(picture);
    walk.push_back(picture->cursor);
  }
  EXPECT_EQ(walk, (std::vector<int32_t>{1, 2, 3, 5, 6, 7, 0, 1}));
  walk.clear();
  for (int i = 0; i < 4; ++i) {
    CursorPrevious(picture);
    walk.push_back(picture->cursor);
  }
  EXPECT_EQ(walk, (std::vector<int32_t>{0, 7, 6, 5}));
  CursorPrevious(picture);
  EXPECT_EQ(picture->cursor.load(), 3);

  MenuPage *main = &Page(PAGE_MAIN);  // screen capture hides items 3 and 4
  Prepare(g_App.device, true);
  main->cursor = 2;
  CursorNext(main);
  EXPECT_EQ(main->cursor.load(), 5);
  CursorPrevious(main);
  EXPECT_EQ(main->cursor.load(), 2);
  // The after-photo page's empty items can be selected.
  MenuPage *after = &Page(PAGE_AFTER_PHOTO);
  CursorPrevious(after);
  EXPECT_EQ(after->cursor.load(), 4);
}

TEST_F(Menus, CapturePageFollowsTheCaptureMode) {
  MenuItem *capture = Page(PAGE_CAPTURE).items;
  auto settings = [capture] {
    std::vector<OptionList *> lists;
    for (int i = 0; i < 5; ++i) lists.push_back(capture[i].setting);
    return lists;
  };
  auto table = [](std::initializer_list<int> numbers) {
    std::vector<OptionList *> lists;
    for (int n : numbers) lists.push_back(g_App.settings[n]);
    return lists;
  };
  const std::vector<OptionList *> still = table({25, 44, 24, 38, 36}), video = table({28, 43, 27, 39, 37});
  EXPECT_EQ(settings(), still);
  EXPECT_STREQ(Page(PAGE_MAIN).items[2].label.load(), "Photo");
  struct Case {
    int32_t mode;
    uint32_t still;
    const char *title;
  } cases[] = {{1, 0, "Video"}, {2, 1, "Interval"}, {0, 1, "Photo"}};
  for (const Case &c : cases) {
    g_App.settings[SET_CAPTURE_MODE]->index = c.mode;
    UpdateCapturePage(c.still);
    EXPECT_EQ(settings(), c.still ? still : video) << c.mode;
    EXPECT_STREQ(Page(PAGE_MAIN).items[2].label.load(), c.title);
    EXPECT_EQ(ModePage(), &Page(MenuPageId(PAGE_PHOTO + c.mode)));
  }
  EXPECT_TRUE(IsModePage(&Page(PAGE_VIDEO)));
  EXPECT_FALSE(IsModePage(&Page(PAGE_CAPTURE)));
}

TEST_F(Menus, PageShowsLabelsValuesAndCursor) {
  MenuPage *general = &Page(PAGE_GENERAL);
  general->cursor = 2;
  DrawMenu(&g_App.text, general);
  EXPECT_EQ(Line(0), ".General......................");
  EXPECT_EQ(Line(1), " Backlight..:Always on........");  // values after the widest label
  EXPECT_EQ(Line(2), " Camera mode:Normal...........");
  EXPECT_EQ(Line(3), ">Orientation:90 deg...........");  // the upright test screen
  EXPECT_EQ(Line(4), " Preview fps:MAX..............");  // item 3 hidden in camera mode
  EXPECT_EQ(Line(5), " Advanced.....................");
  EXPECT_EQ(Line(10), std::string(30, '.'));
  EXPECT_EQ(Colour(1, 0), kGreen);
  EXPECT_EQ(Colour(0, 1), kWhite);
  EXPECT_EQ(Colour(14, 1), kMenuValueColour);
  EXPECT_EQ(Colour(0, 3), kMenuCursorColour);
  EXPECT_EQ(Colour(1, 3), kMenuCursorColour);
  EXPECT_EQ(Colour(14, 3), kMenuCursorColour);  // the cursor item's value too

  // The heading is green and cannot be selected; the empty items of a page after a capture
  // are empty lines.
  std::fill(picture_.begin(), picture_.end(), kBackground);
  DrawMenu(&g_App.text, &Page(PAGE_PICTURE));
  EXPECT_EQ(Cells(0, 5, 10), " Exposure.");
  EXPECT_EQ(Colour(1, 5), kGreen);
  std::fill(picture_.begin(), picture_.end(), kBackground);
  DrawMenu(&g_App.text, &Page(PAGE_AFTER_PHOTO));
  EXPECT_EQ(Cells(0, 3, 2), " .");
  EXPECT_EQ(Cells(0, 4, 7), " Delete");
}

// The rows of an edited setting end on the selected one when they do not fit; an
// arithmetic list shows its values.
TEST_F(Menus, EditedSettingListsItsRows) {
  Prepare(g_App.device, false, "\\Windows\\a.wav");
  MenuPage *advanced = &Page(PAGE_ADVANCED);
  advanced->cursor = 5;  // "FDelay": #1, 0 to 9990 in steps of 10
  g_App.settings[SET_FLASH_SOUND_DELAY]->index = 19;
  advanced->editSaved = 19;
  Lay(240, 160, 1);  // upright: 10 lines
  DrawMenu(&g_App.text, advanced);
  EXPECT_EQ(Cells(0, 0, 8), ".FDelay.");
  for (uint32_t line = 1; line < 9; ++line) EXPECT_EQ(Cells(0, line, 5), " " + std::to_string((10 + line) * 10) + ".") << line;
  EXPECT_EQ(Cells(0, 9, 5), ">190.");
  EXPECT_EQ(Colour(0, 9), kMenuCursorColour);
  EXPECT_EQ(Colour(0, 1), kMenuValueColour);

  g_App.settings[SET_FLASH_SOUND_DELAY]->index = 2;  // fits: from row 0
  std::fill(picture_.begin(), picture_.end(), kBackground);
  DrawMenu(&g_App.text, advanced);
  EXPECT_EQ(Cells(0, 1, 3), " 0.");
  EXPECT_EQ(Cells(0, 3, 4), ">20.");

  // The preview mode of the capture mode in force shows what the last preview cost.
  Lay(240, 320, 1);
  g_App.PreviewCost = 12;
  MenuPage *capture = &Page(PAGE_CAPTURE);
  capture->cursor = 4;
  capture->editSaved = 0;
  DrawMenu(&g_App.text, capture);
  EXPECT_EQ(Cells(0, 0, 19), ".Preview mode 12ms.");
  EXPECT_EQ(Cells(0, 1, 8), ">Colour.");
  capture->cursor = 3;
  std::fill(picture_.begin(), picture_.end(), kBackground);
  DrawMenu(&g_App.text, capture);
  EXPECT_EQ(Cells(0, 0, 9), ".Quality.");
}

// Titles and labels come from the language file: whatever they hold is drawn as it is, with
// "%%" showing as "%" where the text is a message (the page title and the edited label).
TEST_F(Menus, LabelsFromTheLanguageFileAreNeverFormats) {
  const char *title = g_App.language.strings[71], *label = g_App.language.strings[37];
  g_App.language.strings[71] = "%s%n%x 100%%";
  g_App.language.strings[37] = "%n%n%s";
  Prepare(g_App.device, false);
  g_App.language.strings[71] = title;
  g_App.language.strings[37] = label;
  DrawMenu(&g_App.text, &Page(PAGE_MAIN));
  EXPECT_EQ(Cells(0, 0, 13), ".%s%n%x 100%.");
  EXPECT_EQ(Cells(0, 1, 8), ">%n%n%s.");
}

}  // namespace
