// AppState: the single program-wide record in which nearly all state of the running program
// lives. One static instance, zero-filled at load and never freed. Words that the frame,
// interval and sound threads share with the main thread are atomics of the same width.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "app/device.h"
#include "camera/camera.h"
#include "camera/options.h"
#include "pipeline/text.h"

constexpr int kSettingCount = 59;
constexpr int kLanguageStrings = 169;
constexpr int kFlashSoundChars = 100;  // 99 characters and the terminating zero

enum CaptureState : int32_t {
  STATE_PREVIEW = 0,
  STATE_DIALOG = 1,
  STATE_CAPTURING = 2,
  STATE_ABOUT = 3,
};

struct StatusMessage {
  const char *text;
  uint32_t startTick;
  uint32_t duration;  // ms
};

// The language file's strings: pointers into the one buffer that holds the whole file.
struct LanguageTable {
  const char *strings[kLanguageStrings];
  char *buffer;
};

struct AppState {
  std::atomic<int32_t> captureState;  // CaptureState; latched by the frame thread once per frame
  uint32_t CaptureStartTick;
  OptionList *settings[kSettingCount];
  StatusMessage status;
  WCHAR *currentFile;  // 256 units: the file the last capture wrote, or the "-f" target
  DeviceRecord device;
  uint8_t ScreenCaptureMode;
  uint8_t FullScreen;
  HINSTANCE instance;
  HWND MainWindow;
  const WCHAR *registryKey;  // the product key path in use
  WCHAR programPath[520];    // the program's own path; its file-name part is overwritten
  Camera camera;
  LanguageTable language;
  TextRenderer text;
  FontBitmaps font;
  char flashSound[kFlashSoundChars];  // "Config.txt" FlashSound, empty when not configured
  // The interval series, shared with its thread and the frame pipeline.
  std::atomic<uint8_t> intervalStop;
  std::atomic<uint32_t> shotCounter;
  std::atomic<uint32_t> FramesRemaining;
  uint8_t *ReferenceBuffer;
  uint32_t referenceBytes;
  HANDLE intervalDone;
  HANDLE intervalThread;
  uint32_t savedBatteryTimeout;       // backlight time-outs read at start-up, in seconds
  uint32_t savedAcTimeout;
};

extern AppState g_App;
