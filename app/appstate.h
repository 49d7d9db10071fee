// AppState: the single program-wide record in which nearly all state of the running program
// lives. One static instance, zero-filled at load and never freed. Words that the frame,
// interval and sound threads share with the main thread are atomics of the same width.
#pragma once

#include <windows.h>
#include <aygshell.h>
#include <gx.h>

#include <atomic>
#include <cstdint>

#include "app/device.h"
#include "app/menus.h"
#include "camera/camera.h"
#include "camera/options.h"
#include "pipeline/picture.h"
#include "pipeline/text.h"
#include "capture/recorder.h"

constexpr int kSettingCount = 59;
constexpr int kLanguageStrings = 169;
constexpr int kFlashSoundChars = 100;  // 99 characters and the terminating zero

enum CaptureState : int32_t {
  STATE_PREVIEW = 0,
  STATE_DIALOG = 1,
  STATE_CAPTURING = 2,
  STATE_ABOUT = 3,
};

// Set on the main thread (start and duration before the text), drawn and cleared when it has
// run out by whichever thread composes the screen.
struct StatusMessage {
  std::atomic<const char *> text;
  std::atomic<uint32_t> startTick;
  std::atomic<uint32_t> duration;  // ms; 0 keeps the text until it is replaced
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
  MenuState menu;
  // The overlay's blink flag and the tick of its last change (by the composing thread).
  uint8_t blink;
  uint32_t blinkTick;
  WCHAR *currentFile;  // 256 units: the file the last capture wrote, or the "-f" target
  DeviceRecord device;
  uint8_t ScreenCaptureMode;
  std::atomic<uint8_t> FullScreen;  // the window covers the screen; read by the frame thread
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

  // The frame pipeline (frame thread), latched once per frame.
  uint32_t FrameState;  // capture state at the frame's arrival
  uint32_t FrameKind;   // index of the capture mode (#23) at the frame's arrival
  uint32_t FrameTick;   // GetTickCount() at the frame's arrival
  uint32_t IdleResetTick;
  uint32_t FrameChecksum;  // XOR of the frame's words (screen-capture mode)
  uint8_t NewFrame;        // the frame differs from the last picture written to the video
  uint32_t LastJpegSize;   // of the last picture encoded for the video
  // The preview and the screen.
  Picture PreviewPicture;  // the converted camera picture, screen-sized
  Picture ScreenPicture;   // PreviewPicture with the overlay, what goes to the display
  Picture EncodeBuffer;    // the encoders' output and work buffer, sized for the largest still
  std::atomic<uint8_t> ComposeBusy;  // held while PreviewPicture is written or the screen composed
  uint32_t LastPreviewTick;          // FrameTick of the last drawn preview
  std::atomic<uint32_t> PreviewCost;  // ms from the frame's arrival to the end of its preview
  std::atomic<uint16_t *> displayCache;  // the frame buffer's address after the first GXBeginDraw
  // The current key list (the window procedure derives it); its Start entry is the Action key.
  GXKeyList keys;
  GXKeyList landscapeKeys;  // GAPI's lists, read once at start-up
  GXKeyList portraitKeys;
  // The main window's activation: the shell's record, whether start-up has finished, whether
  // deactivation stopped the camera
  // (activation starts it again), whether deactivation may stop it (cleared by a minimise that
  // keeps capturing), and the display mode found at start-up.
  SHACTIVATEINFO shellActivate;
  uint8_t started;  // start-up is complete: activation changes are handled from then on
  uint8_t resumeOnActivate;
  uint32_t releaseOnDeactivate;
  DEVMODEW savedMode;
  Recorder recorder;  // the one video recording
};

extern AppState g_App;
