#include "app/settings.h"

#include <cewchar.h>
#include <winreg.h>

#include <cstdio>
#include <iterator>

#include "capture/storage.h"

namespace {

constexpr WCHAR kCameraKey[] = TEXT("Software\\Vendrasol\\Pelkavo");
constexpr WCHAR kScreenCaptureKey[] = TEXT("Software\\Vendrasol\\Mirantel");
constexpr WCHAR kSettingsValue[] = TEXT("Settings");
constexpr DWORD kStoredBytes = 510;

constexpr RowDefinition kFlashSoundModeRows[] = {{-1, "Async", 0}, {-1, "Sync", 1}, {-1, "Simultaneously", 2}};
constexpr RowDefinition kQuarterTurnRows[] = {{50, nullptr, 0}, {51, nullptr, 1}, {52, nullptr, 2}, {53, nullptr, 3}};
constexpr RowDefinition kFlipRows[] = {{153, nullptr, 0}, {154, nullptr, 1}, {-1, "Snapshot", 2}, {-1, "Preview", 3}};
// Frames per second; the video frame interval uses all rows but the last.
constexpr RowDefinition kIntervalRows[] = {
    {-1, "1", 1000}, {-1, "2", 500}, {-1, "3", 332}, {-1, "4", 250}, {-1, "5", 200}, {-1, "10", 100},
    {-1, "12", 80},  {-1, "15", 66}, {-1, "20", 50}, {-1, "25", 40}, {-1, "MAX", 0}};
constexpr RowDefinition kMotionModeRows[] = {{110, nullptr, 0}, {111, nullptr, 1}, {112, nullptr, 2}};
constexpr RowDefinition kOverlayCaptureRows[] = {{58, nullptr, 0}, {59, nullptr, 1}};
constexpr RowDefinition kCaptureModeRows[] = {{102, nullptr, 0}, {104, nullptr, 1}, {103, nullptr, 2}};
constexpr RowDefinition kPhotoFormatRows[] = {{-1, "JPG 422", 2}, {-1, "JPG 420", 1}, {-1, "JPG Gray", 4}};
constexpr RowDefinition kPhotoFormatModel11Rows[] = {{-1, "JPG", 1}, {-1, "JPG Gray", 4}};
constexpr RowDefinition kVideoFormatRows[] = {
    {-1, "AVI (MJPG Gray)", 0}, {-1, "AVI (MJPG 420)", 1}, {-1, "AVI (MJPG 422)", 2}};
constexpr RowDefinition kVideoFormatModel11Rows[] = {{-1, "H263", 4}, {-1, "MP4", 3}, {-1, "AVI", 1}};
constexpr RowDefinition kVideoSoundRows[] = {{155, nullptr, 1}, {156, nullptr, 0}};
constexpr RowDefinition kBacklightRows[] = {{39, nullptr, 0}, {40, nullptr, 1}};
constexpr RowDefinition kShutterSoundRows[] = {{100, nullptr, 1}, {101, nullptr, 0}};
constexpr RowDefinition kOrientationRows[] = {{45, nullptr, 0}, {46, nullptr, 1}, {47, nullptr, 2}, {48, nullptr, 3}};
constexpr RowDefinition kPreviewModeRows[] = {
    {93, nullptr, 3}, {94, nullptr, 4}, {95, nullptr, 1}, {96, nullptr, 2}, {97, nullptr, 0}};
constexpr RowDefinition kPreviewModePxaRows[] = {{93, nullptr, 5}, {94, nullptr, 6}, {97, nullptr, 0}};
constexpr RowDefinition kQualityRows[] = {{-1, "25%", 25}, {-1, "30%", 30}, {-1, "45%", 45}, {-1, "55%", 55},
                                    {-1, "65%", 65}, {-1, "75%", 75}, {-1, "80%", 80}, {-1, "85%", 85},
                                    {-1, "90%", 90}, {-1, "100%", 100}};
constexpr RowDefinition kChromaSwapRows[] = {{55, nullptr, 0}, {56, nullptr, 1}};
// The first row is 1 ms, not 0: a series never runs with no pause at all.
constexpr RowDefinition kShotIntervalRows[] = {
    {-1, "0 sec", 1},          {-1, "1 sec", 1000},       {-1, "2 sec", 2000},   {-1, "3 sec", 3000},
    {-1, "4 sec", 4000},       {-1, "5 sec", 5000},       {-1, "10 sec", 10000}, {-1, "20 sec", 20000},
    {-1, "30 sec", 30000},     {-1, "1 min", 60000},      {-1, "2 min", 120000}, {-1, "3 min", 180000},
    {-1, "5 min", 300000},     {-1, "10 min", 600000}};
constexpr RowDefinition kAverageFramesRows[] = {{-1, "2", 1},  {-1, "4", 2},  {-1, "8", 3},   {-1, "16", 4},
                                          {-1, "32", 5}, {-1, "64", 6}, {-1, "128", 7}, {-1, "256", 8}};
constexpr RowDefinition kAveragingRows[] = {{117, nullptr, 0}, {118, nullptr, 1}, {119, nullptr, 2}};
// Virtual-key codes; 0 is no key.
constexpr RowDefinition kKeyRows[] = {
    {126, nullptr, 0},   {127, nullptr, 114}, {128, nullptr, 115}, {129, nullptr, 117},
    {130, nullptr, 118}, {131, nullptr, 193}, {132, nullptr, 194}, {133, nullptr, 195},
    {134, nullptr, 196}, {135, nullptr, 119}, {136, nullptr, 120}, {137, nullptr, 27},
    {138, nullptr, 48},  {139, nullptr, 49},  {140, nullptr, 50},  {141, nullptr, 51},
    {142, nullptr, 52},  {143, nullptr, 53},  {144, nullptr, 54},  {145, nullptr, 55},
    {146, nullptr, 56},  {147, nullptr, 57}};
constexpr RowDefinition kTapActionRows[] = {{148, nullptr, 0}, {149, nullptr, 1}, {150, nullptr, 2}};

// The rows with their labels, one store per rows table; shared tables are stored once.
template <size_t N>
struct Rows {
  constexpr explicit Rows(const RowDefinition (&definition)[N]) : table(definition), rows{} {}
  const RowDefinition (&table)[N];
  OptionRow rows[N];
};
Rows s_flashSoundMode{kFlashSoundModeRows};
Rows s_quarterTurn{kQuarterTurnRows};
Rows s_flip{kFlipRows};
Rows s_interval{kIntervalRows};
Rows s_motionMode{kMotionModeRows};
Rows s_overlayCapture{kOverlayCaptureRows};
Rows s_captureMode{kCaptureModeRows};
Rows s_photoFormat{kPhotoFormatRows};
Rows s_photoFormatModel11{kPhotoFormatModel11Rows};
Rows s_videoFormat{kVideoFormatRows};
Rows s_videoFormatModel11{kVideoFormatModel11Rows};
Rows s_videoSound{kVideoSoundRows};
Rows s_backlight{kBacklightRows};
Rows s_shutterSound{kShutterSoundRows};
Rows s_orientation{kOrientationRows};
Rows s_previewMode{kPreviewModeRows};
Rows s_previewModePxa{kPreviewModePxaRows};
Rows s_quality{kQualityRows};
Rows s_chromaSwap{kChromaSwapRows};
Rows s_shotInterval{kShotIntervalRows};
Rows s_averageFrames{kAverageFramesRows};
Rows s_averaging{kAveragingRows};
Rows s_keys{kKeyRows};
Rows s_tapAction{kTapActionRows};
OptionRow s_storageRows[kMaxStorages];

// The lists owned here, by setting number; the numbers of the Camera's lists stay unused.
OptionList s_lists[kSettingCount];

constexpr struct {
  int setting;
  OptionList Camera::*list;
} kCameraEntries[] = {
    {SET_FLASH, &Camera::Flash},
    {SET_CAMERA_MODE, &Camera::CameraMode},
    {SET_PROP8, &Camera::Prop8},
    {SET_PROP5, &Camera::Prop5},
    {SET_PROP4, &Camera::Prop4},
    {SET_PROP6, &Camera::Prop6},
    {SET_PROP7, &Camera::Prop7},
    {SET_PROP9, &Camera::Prop9},
    {SET_PROP1, &Camera::Prop1},
    {SET_PROP2, &Camera::Prop2},
    {SET_PROP10_ALT, &Camera::Prop10Alt},
    {SET_PROP10, &Camera::Prop10},
    {SET_EXPOSURE_PREVIEW, &Camera::ExposurePreview},
    {SET_EXPOSURE_STILL, &Camera::ExposureStill},
    {SET_STILL_SIZE, &Camera::StillSize},
    {SET_PREVIEW_SIZE, &Camera::PreviewSize},
    {SET_FULL_RES_PREVIEW, &Camera::FullResPreview},
    {SET_PREVIEW_ASPECT, &Camera::PreviewAspect},
    {SET_STILL_ASPECT, &Camera::StillAspect},
};
static_assert(std::size(kCameraEntries) == kCameraOptionCount);

template <size_t N>
void Use(int setting, Rows<N> &rows, uint32_t defaultRow, uint32_t count = N) {
  ShapeTable(s_lists[setting], rows.rows, count, defaultRow);
}

template <size_t N>
void Label(Rows<N> &rows, const char *const *language) {
  FillRows(rows.rows, rows.table, N, language);
}

void LabelAll(const char *const *language) {
  Label(s_flashSoundMode, language);
  Label(s_quarterTurn, language);
  Label(s_flip, language);
  Label(s_interval, language);
  Label(s_motionMode, language);
  Label(s_overlayCapture, language);
  Label(s_captureMode, language);
  Label(s_photoFormat, language);
  Label(s_photoFormatModel11, language);
  Label(s_videoFormat, language);
  Label(s_videoFormatModel11, language);
  Label(s_videoSound, language);
  Label(s_backlight, language);
  Label(s_shutterSound, language);
  Label(s_orientation, language);
  Label(s_previewMode, language);
  Label(s_previewModePxa, language);
  Label(s_quality, language);
  Label(s_chromaSwap, language);
  Label(s_shotInterval, language);
  Label(s_averageFrames, language);
  Label(s_averaging, language);
  Label(s_keys, language);
  Label(s_tapAction, language);
}

}  // namespace

const WCHAR *SettingsKeyPath(bool screenCapture) { return screenCapture ? kScreenCaptureKey : kCameraKey; }

void BuildOptionLists(const DeviceRecord &device, bool screenCapture) {
  // Labels are taken from the language table as it stands at each build.
  LabelAll(g_App.language.strings);
  const bool model11Camera = device.modelCode == 11 && !screenCapture;

  Use(SET_FLASH_SOUND_MODE, s_flashSoundMode, 0);
  ShapeArithmetic(s_lists[SET_FLASH_SOUND_DELAY], 1000, 0, 10, 0);
  Use(SET_KEY_ROTATION, s_quarterTurn, 0);
  Use(SET_FLIP_MODE, s_flip, 0);
  Use(SET_PREVIEW_INTERVAL, s_interval, 10);
  Use(SET_MOTION_MODE, s_motionMode, 0);
  ShapeArithmetic(s_lists[SET_MOTION_THRESHOLD], 33, 0, 4, 4);
  ShapeArithmetic(s_lists[SET_MOTION_PERCENT], 51, 0, 2, 5);
  Use(SET_OVERLAY_CAPTURE, s_overlayCapture, 0);
  Use(SET_CAPTURE_MODE, s_captureMode, 0);
  if (model11Camera)
    Use(SET_PHOTO_FORMAT, s_photoFormatModel11, 0);
  else
    Use(SET_PHOTO_FORMAT, s_photoFormat, 0);
  if (model11Camera)
    Use(SET_VIDEO_FORMAT, s_videoFormatModel11, 1);
  else
    Use(SET_VIDEO_FORMAT, s_videoFormat, 1);
  Use(SET_VIDEO_SOUND, s_videoSound, 0);
  Use(SET_BACKLIGHT, s_backlight, 1);
  Use(SET_SHUTTER_SOUND, s_shutterSound, 0);
  Use(SET_VIDEO_INTERVAL, s_interval, screenCapture ? 5 : 9, std::size(kIntervalRows) - 1);
  Use(SET_SCREEN_ORIENTATION, s_orientation, device.orientationDefault);
  if (device.pxa27x) {
    Use(SET_PHOTO_PREVIEW_MODE, s_previewModePxa, 0);
    Use(SET_VIDEO_PREVIEW_MODE, s_previewModePxa, 0);
  } else {
    Use(SET_PHOTO_PREVIEW_MODE, s_previewMode, 0);
    Use(SET_VIDEO_PREVIEW_MODE, s_previewMode, device.modelCode == 11 ? 0 : 1);
  }
  Use(SET_PHOTO_QUALITY, s_quality, 7);
  Use(SET_VIDEO_QUALITY, s_quality, 5);
  Use(SET_CHROMA_SWAP, s_chromaSwap, device.chromaDefault);
  Use(SET_MOUNTING, s_quarterTurn, device.mountingDefault);
  Use(SET_SHOT_INTERVAL, s_shotInterval, 4);
  Use(SET_AVERAGE_FRAMES, s_averageFrames, 0);
  Use(SET_AVERAGING, s_averaging, 0);
  ShapeArithmetic(s_lists[SET_AVERAGE_TARGET], 31, 8, 8, 8);
  for (int key = SET_KEY_MINIMISE; key <= SET_KEY_FULL_RES; ++key)
    Use(key, s_keys, key == SET_KEY_ACTION ? 7 : key == SET_KEY_BACK ? 11 : 0);
  Use(SET_TAP_ACTION, s_tapAction, 1);

  const uint32_t storages = BuildStorageList(g_StorageList);
  for (uint32_t i = 0; i < storages; ++i) s_storageRows[i] = {g_StorageList.entries[i].label, int32_t(i)};
  ShapeTable(s_lists[SET_PHOTO_STORAGE], s_storageRows, storages, storages >= 2 ? 1 : 0);
  ShapeTable(s_lists[SET_VIDEO_STORAGE], s_storageRows, storages, storages >= 2 ? 1 : 0);

  for (int n = 0; n < kSettingCount; ++n) {
    g_App.settings[n] = &s_lists[n];
    s_lists[n].index = -1;
  }
  for (const auto &entry : kCameraEntries) g_App.settings[entry.setting] = &(g_App.camera.*entry.list);
}

int LoadSettings(OptionList *const *table, int count) {
  // The stored text: at most 255 units and always terminated here, however the value was
  // stored (with or without its terminating zero).
  WCHAR text[kStoredBytes / sizeof(WCHAR) + 1];
  DWORD size = 0;
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, g_App.registryKey, 0, 0, &key) == ERROR_SUCCESS) {
    size = kStoredBytes;
    if (RegQueryValueExW(key, kSettingsValue, nullptr, nullptr, reinterpret_cast<BYTE *>(text), &size) !=
        ERROR_SUCCESS)
      size = 0;
    RegCloseKey(key);
  }
  const size_t units = size <= kStoredBytes ? size / sizeof(WCHAR) : 0;
  text[units] = 0;

  bool accepted = units > 0;
  const WCHAR *at = text;
  for (int n = 0; accepted && n < count; ++n) {
    const WCHAR *comma = at;
    while (*comma && *comma != TEXT(',')) ++comma;
    if (!*comma) {
      accepted = false;
      break;
    }
    const LONG row = _wtol(at);  // stops at the comma at the latest
    if (row >= LONG(table[n]->count)) {
      accepted = false;
      break;
    }
    table[n]->index = row;
    at = comma + 1;
  }
  if (!accepted)
    for (int n = 0; n < count; ++n) table[n]->index = -1;
  return accepted;
}

int SaveSettings(OptionList *const *table, int count) {
  HKEY key;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, g_App.registryKey, 0, nullptr, 0, 0, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return 1;
  WCHAR text[kSettingCount * 12 + 1];
  size_t units = 0;
  for (int n = 0; n < count && n < kSettingCount; ++n) {
    char field[16];
    const int length = snprintf(field, sizeof field, "%d,", int(table[n]->index));
    for (int i = 0; i < length; ++i) text[units++] = WCHAR(field[i]);
  }
  text[units] = 0;
  RegSetValueExW(key, kSettingsValue, 0, REG_SZ, reinterpret_cast<const BYTE *>(text),
                 DWORD((units + 1) * sizeof(WCHAR)));
  RegCloseKey(key);
  return 1;
}

void ResetSettings() {
  for (OptionList *list : g_App.settings) list->index = -1;
}
