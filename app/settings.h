// The settings store: the 59-entry settings table (every user setting, by number), the
// lists that are not the Camera's, and the selected rows kept in the registry between runs.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/appstate.h"
#include "app/device.h"
#include "camera/options.h"

// The settings by number; g_App.settings[n] is setting #n.
enum SettingId : int {
  SET_FLASH_SOUND_MODE = 0,   // 0 async, 1 sync, 2 simultaneously
  SET_FLASH_SOUND_DELAY = 1,  // ms
  SET_KEY_ROTATION = 2,       // quarter turns of the direction keys
  SET_FLIP_MODE = 3,
  SET_PREVIEW_INTERVAL = 4,  // ms between drawn previews, 0 for as fast as possible
  SET_MOTION_MODE = 5,
  SET_MOTION_THRESHOLD = 6,
  SET_MOTION_PERCENT = 7,
  SET_OVERLAY_CAPTURE = 8,  // screen-capture mode only
  SET_FLASH = 9,
  SET_CAMERA_MODE = 10,
  SET_PROP8 = 11,
  SET_PROP5 = 12,
  SET_PROP4 = 13,
  SET_PROP6 = 14,
  SET_PROP7 = 15,
  SET_PROP9 = 16,
  SET_PROP1 = 17,
  SET_PROP2 = 18,
  SET_PROP10_ALT = 19,
  SET_PROP10 = 20,
  SET_EXPOSURE_PREVIEW = 21,
  SET_EXPOSURE_STILL = 22,
  SET_CAPTURE_MODE = 23,  // 0 photo, 1 video, 2 interval
  SET_PHOTO_FORMAT = 24,
  SET_STILL_SIZE = 25,
  SET_PHOTO_STORAGE = 26,
  SET_VIDEO_FORMAT = 27,
  SET_PREVIEW_SIZE = 28,
  SET_VIDEO_STORAGE = 29,
  SET_VIDEO_SOUND = 30,
  SET_BACKLIGHT = 31,  // 0 follow the system, 1 keep lit
  SET_SHUTTER_SOUND = 32,
  SET_VIDEO_INTERVAL = 33,  // ms between video frames
  SET_FULL_RES_PREVIEW = 34,
  SET_SCREEN_ORIENTATION = 35,
  SET_PHOTO_PREVIEW_MODE = 36,
  SET_VIDEO_PREVIEW_MODE = 37,
  SET_PHOTO_QUALITY = 38,
  SET_VIDEO_QUALITY = 39,
  SET_CHROMA_SWAP = 40,
  SET_MOUNTING = 41,  // camera mounting, quarter turns
  SET_SHOT_INTERVAL = 42,
  SET_PREVIEW_ASPECT = 43,
  SET_STILL_ASPECT = 44,
  SET_AVERAGE_FRAMES = 45,  // power of two
  SET_AVERAGING = 46,
  SET_AVERAGE_TARGET = 47,
  SET_KEY_MINIMISE = 48,
  SET_KEY_MINIMISE_RELEASE = 49,
  SET_KEY_EXIT = 50,
  SET_KEY_ACTION = 51,
  SET_KEY_BACK = 52,
  SET_KEY_PROP5_UP = 53,
  SET_KEY_PROP5_DOWN = 54,
  SET_KEY_EXPOSURE_LOCK = 55,
  SET_KEY_PROP10_ALT = 56,
  SET_KEY_FULL_RES = 57,
  SET_TAP_ACTION = 58,
};

// The registry key paths under HKEY_LOCAL_MACHINE, one per product mode.
const WCHAR *SettingsKeyPath(bool screenCapture);

// The value of setting #n as the program uses it.
inline int32_t SettingValue(int n) { return OptionValue(*g_App.settings[n]); }

// Fills the settings table (the Camera's lists must have been filled first), builds the
// lists owned here with their rows, defaults and device-dependent choices, rebuilds the
// storage list for #26 and #29, and sets every index owned here to -1.
void BuildOptionLists(const DeviceRecord &device, bool screenCapture);

// Reads the stored selections from the value "Settings" under g_App.registryKey. 1 when the
// stored value was accepted; 0 when every index was set to -1 instead.
int LoadSettings(OptionList *const *table, int count);
// Writes the selections; 1 also when the key cannot be created.
int SaveSettings(OptionList *const *table, int count);
// Every index of the settings table back to -1.
void ResetSettings();
