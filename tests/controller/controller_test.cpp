// The command controller: keys and taps as the user gives them, checked by what they change
// in the menus, the settings and the capture state.
#include "tests/controller/controller_fixture.h"

namespace {

TEST(Options, ToggleAndStepKeepToTheList) {
  OptionList list{};
  ShapeArithmetic(list, 3, 0, 10, 2);
  list.index = -1;  // the default row, 2
  EXPECT_TRUE(StepOption(list, -1));
  EXPECT_EQ(list.index.load(), 1);
  EXPECT_TRUE(StepOption(list, -5));
  EXPECT_EQ(list.index.load(), 0);
  EXPECT_FALSE(StepOption(list, -1));
  EXPECT_TRUE(StepOption(list, 7));
  EXPECT_EQ(list.index.load(), 2);
  EXPECT_FALSE(StepOption(list, 1));
  list.index = -1;
  EXPECT_FALSE(StepOption(list, 1));  // already the last row
  EXPECT_EQ(list.index.load(), -1);

  ToggleOption(list);  // from row 2
  EXPECT_EQ(list.index.load(), 0);
  ToggleOption(list);
  EXPECT_EQ(list.index.load(), 1);
  OptionList single{};
  ShapeArithmetic(single, 1, 0, 1, 0);
  ToggleOption(single);
  EXPECT_EQ(single.index.load(), 0);
  ToggleOption(single);  // there is no row 1
  EXPECT_EQ(single.index.load(), 0);
}

TEST_F(ControllerTest, MenuWalkEditsAndGoesBack) {
  EXPECT_FALSE(Shown());
  ASSERT_TRUE(Press({A}));
  EXPECT_TRUE(Shown());
  EXPECT_EQ(Current(), Page(PAGE_MAIN));

  ASSERT_TRUE(Press({Start}));  // item 0: the general page
  EXPECT_EQ(Current(), Page(PAGE_GENERAL));
  EXPECT_EQ(Page(PAGE_GENERAL)->parent.load(), Page(PAGE_MAIN));

  ASSERT_TRUE(Press({Down, Down, Down}));  // item 3 is hidden in camera mode
  ASSERT_EQ(Current()->cursor.load(), 4);
  Setting(SET_PREVIEW_INTERVAL).index = 5;
  const int32_t before = Row(SET_PREVIEW_INTERVAL);
  ASSERT_TRUE(Press({Start, Down}));  // edit, one row on
  EXPECT_EQ(Current()->editSaved.load(), before);
  EXPECT_EQ(Row(SET_PREVIEW_INTERVAL), before + 1);
  ASSERT_TRUE(Press({B}));  // cancels the edit and stays
  EXPECT_EQ(Row(SET_PREVIEW_INTERVAL), before);
  EXPECT_EQ(Current(), Page(PAGE_GENERAL));
  EXPECT_EQ(Current()->editSaved.load(), -1);
  EXPECT_TRUE(Shown());

  ASSERT_TRUE(Press({Start, Down, Down, Up, Start}));  // an edit that is kept
  EXPECT_EQ(Row(SET_PREVIEW_INTERVAL), before + 1);
  EXPECT_EQ(Current()->editSaved.load(), -1);

  ASSERT_TRUE(Press({Down, Down, Down, Down, Down}));  // "back"
  ASSERT_EQ(Current()->cursor.load(), 9);
  ASSERT_TRUE(Press({Left}));
  EXPECT_EQ(Current(), Page(PAGE_MAIN));

  ASSERT_TRUE(Press({Start}));  // the cursor left on "back" starts at the top again
  EXPECT_EQ(Current()->cursor.load(), 0);
  ASSERT_TRUE(Press({B}));  // back one page, the menu stays
  EXPECT_EQ(Current(), Page(PAGE_MAIN));
  EXPECT_TRUE(Shown());
  ASSERT_TRUE(Press({A}));
  EXPECT_FALSE(Shown());

  ASSERT_TRUE(Press({A, Up}));  // wraps to the last item, "end"
  EXPECT_EQ(Current()->cursor.load(), 6);
  EXPECT_FALSE(Press({Right}));
}

TEST_F(ControllerTest, PagesOpenFromTheirParents) {
  struct Case {
    const char *name;
    std::initializer_list<short GXKeyList::*> keys;
    MenuPageId page, parent;
  } cases[] = {
      {"capture", {Down, Start}, PAGE_CAPTURE, PAGE_MAIN},
      {"mode", {Down, Down, Start}, PAGE_PHOTO, PAGE_MAIN},
      {"image", {Down, Down, Down, Start}, PAGE_IMAGE, PAGE_MAIN},
      {"picture", {Down, Down, Down, Down, Start}, PAGE_PICTURE, PAGE_MAIN},
      {"advanced", {Start, Down, Down, Down, Down, Start}, PAGE_ADVANCED, PAGE_GENERAL},
      {"keys", {Start, Up, Up, Up, Start}, PAGE_KEYS, PAGE_GENERAL},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    ASSERT_TRUE(Press({A}));
    ASSERT_TRUE(Press(c.keys));
    EXPECT_EQ(Current(), Page(c.page));
    EXPECT_EQ(Current()->parent.load(), Page(c.parent));
  }
  SetUp();  // the interval page's two sub-pages
  Setting(SET_CAPTURE_MODE).index = 2;
  UpdateCapturePage(1);
  ASSERT_TRUE(Press({A, Down, Down, Start}));
  ASSERT_EQ(Current(), Page(PAGE_INTERVAL));
  ASSERT_TRUE(Press({Up, Up, Up, Start}));  // item 5
  EXPECT_EQ(Current(), Page(PAGE_AVERAGING));
  EXPECT_EQ(Current()->parent.load(), Page(PAGE_INTERVAL));
  ASSERT_TRUE(Press({B, Down, Start}));  // item 6
  EXPECT_EQ(Current(), Page(PAGE_MOTION));

  SetUp();  // the about screen, left with A or a tap
  ASSERT_TRUE(Press({A, Up, Up, Start}));
  EXPECT_EQ(g_App.captureState.load(), STATE_ABOUT);
  ASSERT_TRUE(Press({A}));
  EXPECT_EQ(g_App.captureState.load(), STATE_PREVIEW);
  EXPECT_TRUE(Shown());
  ASSERT_TRUE(Press({Start}));
  ASSERT_EQ(g_App.captureState.load(), STATE_ABOUT);
  EXPECT_EQ(HandleTap(120, 160, 240, 320), 1u);
  EXPECT_EQ(g_App.captureState.load(), STATE_PREVIEW);
}

TEST_F(ControllerTest, PreviewKeysChangeModeAndZoom) {
  ASSERT_TRUE(Press({Left}));  // photo is the first mode
  EXPECT_EQ(Row(SET_CAPTURE_MODE), 0);
  ASSERT_TRUE(Press({Up}));
  EXPECT_EQ(g_App.camera.zoomStep, 1);
  ASSERT_TRUE(Press({Down, Down}));  // not below no zoom
  EXPECT_EQ(g_App.camera.zoomStep, 0);

  ASSERT_TRUE(Press({Right}));
  EXPECT_EQ(Row(SET_CAPTURE_MODE), 1);
  EXPECT_EQ(Page(PAGE_CAPTURE)->items[0].setting.load(), &Setting(SET_PREVIEW_SIZE));
  EXPECT_EQ(Page(PAGE_MAIN)->items[2].label.load(), Page(PAGE_VIDEO)->title);
  ASSERT_TRUE(Press({Right, Right}));
  EXPECT_EQ(Row(SET_CAPTURE_MODE), 2);
  EXPECT_EQ(Page(PAGE_CAPTURE)->items[0].setting.load(), &Setting(SET_STILL_SIZE));

  // The menu opened on a mode page shows the page of the mode now selected.
  ASSERT_TRUE(Press({A, Down, Down, Start}));
  ASSERT_EQ(Current(), Page(PAGE_INTERVAL));
  ASSERT_TRUE(Press({A, Left, A}));
  EXPECT_EQ(Current(), Page(PAGE_VIDEO));
  EXPECT_EQ(Current()->parent.load(), Page(PAGE_MAIN));
}

TEST_F(ControllerTest, SettingKeys) {
  AssignKey(SET_KEY_EXPOSURE_LOCK, VK_F3);
  AssignKey(SET_KEY_PROP5_UP, '1');
  AssignKey(SET_KEY_PROP5_DOWN, '2');
  AssignKey(SET_KEY_PROP10_ALT, '3');
  AssignKey(SET_KEY_FULL_RES, '4');
  AssignKey(SET_KEY_EXIT, VK_F4);

  ASSERT_EQ(HandleKey(VK_F3), 1u);
  EXPECT_EQ(Row(SET_EXPOSURE_PREVIEW), 1);
  EXPECT_STREQ(g_App.status.text.load(), "Exposure Locked");
  EXPECT_EQ(g_App.status.duration.load(), 2000u);
  ASSERT_EQ(HandleKey(VK_F3), 1u);
  EXPECT_EQ(Row(SET_EXPOSURE_PREVIEW), 0);
  EXPECT_STREQ(g_App.status.text.load(), "Exposure Auto");

  const int32_t prop5 = Row(SET_PROP5);
  HandleKey('1');
  EXPECT_EQ(Row(SET_PROP5), std::min<int32_t>(prop5 + 1, int32_t(Setting(SET_PROP5).count) - 1));
  HandleKey('2');
  HandleKey('2');
  EXPECT_EQ(Row(SET_PROP5), std::max(prop5 - 1, 0));

  const int32_t alt = Row(SET_PROP10_ALT);
  HandleKey('3');
  EXPECT_NE(Row(SET_PROP10_ALT), alt);

  const int32_t fullRes = Row(SET_FULL_RES_PREVIEW);
  HandleKey('4');
  EXPECT_NE(Row(SET_FULL_RES_PREVIEW), fullRes);
  g_App.captureState = STATE_DIALOG;  // only while idle
  HandleKey('4');
  EXPECT_NE(Row(SET_FULL_RES_PREVIEW), fullRes);
  // The keys that restart the stream wait while a capture runs.
  g_App.captureState = STATE_CAPTURING;
  HandleKey(VK_F3);
  HandleKey('3');
  EXPECT_EQ(Row(SET_EXPOSURE_PREVIEW), 0);
  EXPECT_NE(Row(SET_PROP10_ALT), alt);
  g_App.captureState = STATE_PREVIEW;

  EXPECT_EQ(HandleKey(VK_F4), 0u);
  // Row 0 of a key setting is "no key": code 0 never ends the program.
  Setting(SET_KEY_EXIT).index = 0;
  EXPECT_EQ(HandleKey(0), 1u);
}

TEST_F(ControllerTest, ActionAndBackKeys) {
  // The default back key (Escape) goes back one page.
  ASSERT_TRUE(Press({A, Start}));
  ASSERT_EQ(Current(), Page(PAGE_GENERAL));
  ASSERT_EQ(HandleKey(VK_ESCAPE), 1u);
  EXPECT_EQ(Current(), Page(PAGE_MAIN));

  // The action key acts as Start: on the main page's "end" it ends the program.
  AssignKey(SET_KEY_ACTION, '7');
  ASSERT_TRUE(Press({Up}));
  EXPECT_EQ(HandleKey('7'), 0u);

  // A key that is both acts as B.
  AssignKey(SET_KEY_BACK, '7');
  ASSERT_TRUE(Press({Down, Start}));
  ASSERT_EQ(Current(), Page(PAGE_GENERAL));
  EXPECT_EQ(HandleKey('7'), 1u);
  EXPECT_EQ(Current(), Page(PAGE_MAIN));

  // Out of full screen the Action key is ignored.
  ASSERT_TRUE(Press({Up}));
  g_App.FullScreen = 0;
  EXPECT_TRUE(Press({Start}));
  g_App.FullScreen = 1;
  EXPECT_FALSE(Press({Start}));
}

TEST_F(ControllerTest, OrientationAndKeyTurnsRebuildTheKeys) {
  ASSERT_TRUE(Press({A, Start, Down, Down}));  // general page, orientation
  ASSERT_EQ(Current()->cursor.load(), 2);
  const int32_t orientation = Row(SET_SCREEN_ORIENTATION);
  ASSERT_EQ(orientation, 0);
  ASSERT_TRUE(Press({Right}));
  EXPECT_EQ(Row(SET_SCREEN_ORIENTATION), 1);
  EXPECT_EQ(g_App.keys.vkUp, VK_UP);  // the portrait list now
  EXPECT_EQ(g_App.keys.vkRight, VK_RIGHT);
  // The orientation changed under the cursor: the same hardware key still walks down.
  HandleKey(VK_DOWN);
  EXPECT_EQ(Current()->cursor.load(), 4);

  SetUp();
  Setting(SET_SCREEN_ORIENTATION).index = 1;
  SetOverlayOrientation();
  ASSERT_TRUE(Press({A, Start, Down, Down, Down, Down, Start}));  // the advanced page
  ASSERT_EQ(Current(), Page(PAGE_ADVANCED));
  ASSERT_TRUE(Press({Down, Down}));  // quarter turns
  ASSERT_TRUE(Press({Right}));
  EXPECT_EQ(Row(SET_KEY_ROTATION), 1);
  EXPECT_EQ(g_App.keys.vkUp, VK_RIGHT);
}

TEST_F(ControllerTest, TapCorners) {
  const struct {
    int32_t x, y;
  } corners[4] = {{5, 5}, {235, 5}, {235, 315}, {5, 315}};  // TL, TR, BR, BL
  const int closing[4] = {0, 1, 2, 3};
  const int turning[4] = {2, 3, 0, 1};
  for (uint32_t r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      SCOPED_TRACE(testing::Message() << "orientation " << r << ", corner " << c);
      SetUp();
      Setting(SET_SCREEN_ORIENTATION).index = int32_t(r);
      SetOverlayOrientation();
      const uint32_t result = HandleTap(corners[c].x, corners[c].y, 240, 320);
      if (c == closing[r]) {
        EXPECT_EQ(result, 0u);
      } else if (c == turning[r]) {
        EXPECT_EQ(result, 1u);
        EXPECT_EQ(Row(SET_SCREEN_ORIENTATION), int32_t((r + 1) % 4));
        const short up[4] = {VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN};  // the landscape list, the portrait list, each upside down
        EXPECT_EQ(g_App.keys.vkUp, up[(r + 1) % 4]);
        EXPECT_FALSE(Shown());
      } else {
        EXPECT_EQ(result, 1u);  // the tap action: the menu
        EXPECT_EQ(Row(SET_SCREEN_ORIENTATION), int32_t(r));
        EXPECT_TRUE(Shown());
      }
    }
  }
  SetUp();  // corners do nothing after a capture; the tap action then finds no preview
  g_App.captureState = STATE_DIALOG;
  EXPECT_EQ(HandleTap(5, 5, 240, 320), 1u);
  EXPECT_FALSE(Shown());
  g_App.captureState = STATE_PREVIEW;
  Setting(SET_TAP_ACTION).index = 0;
  EXPECT_EQ(HandleTap(120, 160, 240, 320), 1u);
  EXPECT_FALSE(Shown());
}

}  // namespace
