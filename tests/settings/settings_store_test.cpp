// The settings table over the registry: what is stored, what is rejected, and the lists that
// depend on the device and the mode.
#include <windows.h>
#include <winreg.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/settings.h"
#include "camera/camera_options.h"
#include "capture/storage.h"
#include "handset.h"

namespace {

std::u16string Widen(const std::string &s) { return std::u16string(s.begin(), s.end()); }

std::string Repeat(const std::string &piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

std::vector<int32_t> Values(OptionList &list) {
  std::vector<int32_t> values;
  for (uint32_t row = 0; row < list.count; ++row) {
    list.index = int32_t(row);
    values.push_back(OptionValue(list));
  }
  list.index = -1;
  return values;
}

class SettingsStore : public HandsetTest {
 protected:
  void SetUp() override {
    HandsetTest::SetUp();
    g_App.registryKey = SettingsKeyPath(false);
    build(DeviceRecord{});
  }
  void build(DeviceRecord device, bool screenCapture = false) {
    if (!device.modelCode) device.modelCode = MODEL_UNKNOWN;
    InitCameraOptions(g_App.camera, device, screenCapture, g_App.language.strings);
    BuildOptionLists(device, screenCapture);
  }
  HKEY createKey() {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, g_App.registryKey, 0, nullptr, 0, 0, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    return key;
  }
  // Stores `units` UTF-16 units of the text as the "Settings" value, with no terminator added.
  void storeUnits(const std::string &text, size_t units) {
    std::u16string wide = Widen(text);
    wide.resize(units);
    HKEY key = createKey();
    ASSERT_EQ(RegSetValueExW(key, TEXT("Settings"), 0, REG_SZ, reinterpret_cast<const BYTE *>(wide.data()),
                             DWORD(units * 2)),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  void store(const std::string &text) { storeUnits(text, text.size() + 1); }
  std::u16string stored() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, g_App.registryKey, 0, 0, &key) != ERROR_SUCCESS) return u"(no key)";
    char16_t text[1024] = {};
    DWORD size = sizeof text;
    LONG result = RegQueryValueExW(key, TEXT("Settings"), nullptr, nullptr, reinterpret_cast<BYTE *>(text), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? std::u16string(text, size / 2) : u"(no value)";
  }
  std::vector<int> indices() {
    std::vector<int> out;
    for (OptionList *list : g_App.settings) out.push_back(list->index);
    return out;
  }
  void selectSome() {
    g_App.settings[SET_CAPTURE_MODE]->index = 2;
    g_App.settings[SET_PHOTO_QUALITY]->index = 9;
    g_App.settings[SET_PROP5]->index = 3;
  }
};

TEST_F(SettingsStore, SelectionsRoundTripThroughTheRegistry) {
  EXPECT_EQ(LoadSettings(g_App.settings, kSettingCount), 0);  // no key yet
  EXPECT_EQ(SaveSettings(g_App.settings, kSettingCount), 1);
  EXPECT_EQ(stored(), Widen(Repeat("-1,", 59)) + u'\0');
  EXPECT_EQ(LoadSettings(g_App.settings, kSettingCount), 1);
  EXPECT_EQ(indices(), std::vector<int>(kSettingCount, -1));

  selectSome();
  SaveSettings(g_App.settings, kSettingCount);
  EXPECT_EQ(stored().substr(0, 3 * 12 + 2), Widen(Repeat("-1,", 12) + "3,"));
  ResetSettings();
  EXPECT_EQ(indices(), std::vector<int>(kSettingCount, -1));
  EXPECT_EQ(LoadSettings(g_App.settings, kSettingCount), 1);
  EXPECT_EQ(g_App.settings[SET_CAPTURE_MODE]->index, 2);
  EXPECT_EQ(OptionValue(*g_App.settings[SET_PHOTO_QUALITY]), 100);
  EXPECT_EQ(OptionValue(g_App.camera.Prop5), 4);
}

TEST_F(SettingsStore, RejectedValuesResetEverySetting) {
  const std::string defaults = Repeat("-1,", 58);
  struct Case {
    const char *what;
    std::string text;
    int units;  // -1: the text with its terminator
    int accepted;
    int flashMode;  // index of #0 when accepted
  } cases[] = {
      {"59 defaults", Repeat("-1,", 59), -1, 1, -1},
      {"58 fields", defaults, -1, 0, 0},
      {"last row of #0", "2," + defaults, -1, 1, 2},
      {"beyond the rows of #0", "3," + defaults, -1, 0, 0},
      {"letters read as row 0", "ab," + defaults, -1, 1, 0},
      {"other negatives are the default", "-7," + defaults, -1, 1, -7},
      {"empty text", "", -1, 0, 0},
      {"a size of 0", "", 0, 0, 0},
      {"longer than 510 bytes", Repeat("-1,", 59) + std::string(200, 'x'), -1, 0, 0},
      {"510 bytes, no terminator", Repeat("-1,", 59) + std::string(78, '7'), 255, 1, -1},
      {"510 bytes, no terminator, last comma missing", defaults + std::string(81, '1'), 255, 0, 0},
      {"a zero before the last field", Repeat("-1,", 30) + std::string(1, '\0') + Repeat("-1,", 29), -1, 0, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    if (c.units < 0)
      store(c.text);
    else
      storeUnits(c.text, size_t(c.units));
    selectSome();
    EXPECT_EQ(LoadSettings(g_App.settings, kSettingCount), c.accepted);
    if (c.accepted) {
      EXPECT_EQ(g_App.settings[SET_FLASH_SOUND_MODE]->index, c.flashMode);
      EXPECT_EQ(g_App.settings[SET_CAPTURE_MODE]->index, -1);
    } else {
      EXPECT_EQ(indices(), std::vector<int>(kSettingCount, -1));
    }
  }
}

TEST_F(SettingsStore, MissingValueIsRejected) {
  RegCloseKey(createKey());
  selectSome();
  EXPECT_EQ(LoadSettings(g_App.settings, kSettingCount), 0);
  EXPECT_EQ(indices(), std::vector<int>(kSettingCount, -1));
}

TEST_F(SettingsStore, RemovedStorageCardRejectsTheStoredStorage) {
  useProfile("storage_card = Storage Card, 64M\n");
  build(DeviceRecord{});
  ASSERT_EQ(g_App.settings[SET_PHOTO_STORAGE]->count, 2u);
  EXPECT_EQ(OptionValue(*g_App.settings[SET_PHOTO_STORAGE]), 1);  // the card by default
  g_App.settings[SET_VIDEO_STORAGE]->index = 1;
  g_App.settings[SET_CAPTURE_MODE]->index = 1;
  SaveSettings(g_App.settings, kSettingCount);

  useProfile("");
  build(DeviceRecord{});
  EXPECT_EQ(g_App.settings[SET_PHOTO_STORAGE]->count, 1u);
  EXPECT_EQ(LoadSettings(g_App.settings, kSettingCount), 0);
  EXPECT_EQ(OptionValue(*g_App.settings[SET_VIDEO_STORAGE]), 0);
  EXPECT_EQ(g_App.settings[SET_CAPTURE_MODE]->index, -1);
}

TEST_F(SettingsStore, SelectionsSurviveARestartOfTheProgram) {
  write("test.profile", "display = 240x320\n");
  const std::string run = "HANDSET_ROOT='" + root_.string() + "' HANDSET_PROFILE='" + (root_ / "test.profile").string() +
                          "' " + SETTINGS_RUN + " ";
  ASSERT_EQ(std::system((run + "save 23=1 38=4 41=3 58=2").c_str()), 0);
  FILE *out = popen((run + "load").c_str(), "r");
  ASSERT_NE(out, nullptr);
  char line[512] = {};
  ASSERT_NE(fgets(line, sizeof line, out), nullptr);
  pclose(out);
  std::string expected = "1:";
  for (int n = 0; n < kSettingCount; ++n)
    expected += std::to_string(n == 23 ? 1 : n == 38 ? 4 : n == 41 ? 3 : n == 58 ? 2 : -1) + ",";
  EXPECT_EQ(std::string(line), expected + "\n");
}

TEST_F(SettingsStore, TableReachesTheCameraListsAndOwnDefaults) {
  const std::pair<int, OptionList *> camera[] = {
      {9, &g_App.camera.Flash},          {10, &g_App.camera.CameraMode},      {11, &g_App.camera.Prop8},
      {12, &g_App.camera.Prop5},         {13, &g_App.camera.Prop4},           {14, &g_App.camera.Prop6},
      {15, &g_App.camera.Prop7},         {16, &g_App.camera.Prop9},           {17, &g_App.camera.Prop1},
      {18, &g_App.camera.Prop2},         {19, &g_App.camera.Prop10Alt},       {20, &g_App.camera.Prop10},
      {21, &g_App.camera.ExposurePreview}, {22, &g_App.camera.ExposureStill}, {25, &g_App.camera.StillSize},
      {28, &g_App.camera.PreviewSize},   {34, &g_App.camera.FullResPreview},  {43, &g_App.camera.PreviewAspect},
      {44, &g_App.camera.StillAspect}};
  for (auto [n, list] : camera) EXPECT_EQ(g_App.settings[n], list) << n;

  struct Default {
    int setting;
    uint32_t count;
    int32_t value;
  } defaults[] = {
      {0, 3, 0},   {1, 1000, 0}, {2, 4, 0},    {3, 4, 0},    {4, 11, 0},   {5, 3, 0},    {6, 33, 16},
      {7, 51, 10}, {8, 2, 0},    {23, 3, 0},   {24, 3, 2},   {27, 3, 1},   {30, 2, 1},   {31, 2, 1},
      {32, 2, 1},  {33, 10, 40}, {38, 10, 85}, {39, 10, 75}, {42, 14, 4000}, {45, 8, 1}, {46, 3, 0},
      {47, 31, 72}, {48, 22, 0}, {51, 22, 195}, {52, 22, 27}, {57, 22, 0}, {58, 3, 1}};
  for (const Default &d : defaults) {
    SCOPED_TRACE(d.setting);
    EXPECT_EQ(g_App.settings[d.setting]->count, d.count);
    EXPECT_EQ(SettingValue(d.setting), d.value);
  }
  EXPECT_EQ(Values(*g_App.settings[SET_SHOT_INTERVAL])[0], 1);  // "0 sec" is 1 ms
  EXPECT_EQ(Values(*g_App.settings[SET_FLASH_SOUND_DELAY]).back(), 9990);
  EXPECT_EQ(Values(*g_App.settings[SET_VIDEO_INTERVAL]).back(), 40);  // no "MAX"
}

TEST_F(SettingsStore, ListsFollowTheDeviceAndTheMode) {
  struct Case {
    const char *what;
    uint32_t model;
    bool pxa27x, screenCapture;
    std::vector<int32_t> photoFormat, videoFormat, photoPreview;
    int32_t videoFormatDefault, videoPreviewDefault, videoInterval;
  } cases[] = {
      {"generic", 24, false, false, {2, 1, 4}, {0, 1, 2}, {3, 4, 1, 2, 0}, 1, 4, 40},
      {"model 11", 11, false, false, {1, 4}, {4, 3, 1}, {3, 4, 1, 2, 0}, 3, 3, 40},
      {"model 11 screen capture", 11, false, true, {2, 1, 4}, {0, 1, 2}, {3, 4, 1, 2, 0}, 1, 3, 100},
      {"PXA27x", 16, true, false, {2, 1, 4}, {0, 1, 2}, {5, 6, 0}, 1, 5, 40},
      {"PXA27x screen capture", 24, true, true, {2, 1, 4}, {0, 1, 2}, {5, 6, 0}, 1, 5, 100},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    DeviceRecord device{};
    device.modelCode = c.model;
    device.pxa27x = c.pxa27x;
    build(device, c.screenCapture);
    EXPECT_EQ(Values(*g_App.settings[SET_PHOTO_FORMAT]), c.photoFormat);
    EXPECT_EQ(SettingValue(SET_VIDEO_FORMAT), c.videoFormatDefault);
    EXPECT_EQ(Values(*g_App.settings[SET_VIDEO_FORMAT]), c.videoFormat);
    EXPECT_EQ(Values(*g_App.settings[SET_PHOTO_PREVIEW_MODE]), c.photoPreview);
    EXPECT_EQ(SettingValue(SET_VIDEO_PREVIEW_MODE), c.videoPreviewDefault);
    EXPECT_EQ(SettingValue(SET_VIDEO_INTERVAL), c.videoInterval);
  }

  DeviceRecord device{};
  device.orientationDefault = 2;
  device.chromaDefault = 1;
  device.mountingDefault = 3;
  build(device);
  EXPECT_EQ(SettingValue(SET_SCREEN_ORIENTATION), 2);
  EXPECT_EQ(SettingValue(SET_CHROMA_SWAP), 1);
  EXPECT_EQ(SettingValue(SET_MOUNTING), 3);
}

TEST_F(SettingsStore, StorageListNamesTheCards) {
  std::string cards = "storage_card = Storage Card, 64M\nstorage_card = Carte \xC3\xA9t\xC3\xA9, 64M\n";
  for (int i = 3; i <= 11; ++i) cards += "storage_card = Card" + std::to_string(i) + ", 1M\n";
  useProfile(cards);
  ASSERT_EQ(BuildStorageList(g_StorageList), 10u);
  const StorageList &list = g_StorageList;
  EXPECT_EQ(std::u16string(list.entries[0].path), u"\\My Documents");
  EXPECT_STREQ(list.entries[0].label, "\\My Documents\\My..");
  EXPECT_EQ(std::u16string(list.entries[1].path), u"\\Storage Card\\My Documents");
  EXPECT_STREQ(list.entries[1].label, "\\Storage Card\\My..");
  EXPECT_EQ(std::u16string(list.entries[2].path), u"\\Carte \u00E9t\u00E9\\My Documents");
  EXPECT_STREQ(list.entries[2].label, "\\Storage2\\My..");
  EXPECT_STREQ(list.entries[9].label, "\\Card9\\My..");  // cards 10 and 11 are never listed

  build(DeviceRecord{});
  OptionList &photo = *g_App.settings[SET_PHOTO_STORAGE];
  ASSERT_EQ(photo.count, 10u);
  EXPECT_STREQ(photo.table[1].label, "\\Storage Card\\My..");
  EXPECT_EQ(Values(photo)[9], 9);
}

}  // namespace
