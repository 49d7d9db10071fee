// The overlay laid over every composition: the status line, the hints, the capture-mode
// selector, the picture size, the zoom, the recording and series indicators, the menu and
// the about page. Nothing is kept between compositions but the blink flag.
#include "pipeline/overlay.h"

#include <cstdio>
#include <mutex>
#include <utility>

#include "app/appstate.h"
#include "app/config.h"
#include "app/menus.h"
#include "app/settings.h"
#include "pipeline/osd.h"
#include "pipeline/preview.h"

namespace {

constexpr uint32_t kBlinkMs = 500;
constexpr uint32_t kFpsShownAfterMs = 1024;
constexpr uint32_t kCaptureModeVideo = 1;
constexpr uint32_t kCaptureModeInterval = 2;
constexpr uint32_t kZoomStepModel = 11;  // zoom in powers of two, from the camera library

void At(TextRenderer *r, uint32_t column, uint32_t row, uint16_t colour) {
  r->column = column;
  r->row = row;
  r->colour = colour;
}

uint32_t Bottom(const TextRenderer *r) { return r->rows - 1; }

// The status text while it has not run out; an expired one is cleared, unless another has
// replaced it meanwhile.
const char *LiveStatus(uint32_t now) {
  StatusMessage &status = g_App.status;
  const char *text = status.text.load(std::memory_order_acquire);
  if (!text) return nullptr;
  uint32_t start = status.startTick.load(std::memory_order_relaxed);
  uint32_t duration = status.duration.load(std::memory_order_relaxed);
  if (duration != 0 && (now < start || now - start >= duration)) {
    status.text.compare_exchange_strong(text, nullptr, std::memory_order_acq_rel);
    return nullptr;
  }
  return text;
}

void DrawAbout(TextRenderer *r) {
  const bool screen = g_App.ScreenCaptureMode;
  const char *const *language = g_App.language.strings;
  const uint32_t column = r->columns > 23 ? (r->columns - 23) / 2 : 0;
  At(r, column, 1, kBlue);
  DrawText(r, screen ? "Vendrasol Mirantel" : "Vendrasol Pelkavo");
  At(r, column, 4, kYellow);
  DrawText(r, language[LANG_ABOUT_VERSION]);
  DrawText(r, screen ? " 1.1" : " 1.15.1");
  r->column = column;
  r->row = 6;
  DrawText(r, language[LANG_ABOUT_LINE]);
  r->column = column;
  r->row = 7;
  DrawText(r, language[LANG_ABOUT_DEVICE]);
  DrawText(r, ": ");
  DrawText(r, g_App.device.oemName);
}

void DrawCaptureModeSelector(TextRenderer *r) {
  const OptionList &mode = *g_App.settings[SET_CAPTURE_MODE];
  const uint32_t row = EffectiveRow(mode);
  At(r, 0, 0, kGreen);
  if (row != 0) DrawText(r, "<");
  DrawText(r, " ");
  if (mode.table) {
    if (row < mode.count) DrawText(r, mode.table[row].label);
  } else {
    char value[12];
    snprintf(value, sizeof value, "%d", OptionValue(mode));
    DrawText(r, value);
  }
  DrawText(r, " ");
  if (row != 2) DrawText(r, ">");
}

void DrawPictureSize(TextRenderer *r) {
  const CaptureGeometry g = ActiveGeometry();
  uint32_t width = g.outputWidth, height = g.outputHeight;
  if ((SettingValue(SET_SCREEN_ORIENTATION) - SettingValue(SET_MOUNTING)) & 1) std::swap(width, height);
  char text[24];
  int length = snprintf(text, sizeof text, "%ux%u", width, height);
  At(r, r->columns - uint32_t(length), Bottom(r), kGreen);
  DrawText(r, text);
}

void DrawZoom(TextRenderer *r) {
  char text[24];
  const CaptureGeometry g = ActiveGeometry();
  if (g_App.device.modelCode == kZoomStepModel) {
    snprintf(text, sizeof text, "%d00%%", 1 << (g_App.camera.zoomStep.load(std::memory_order_relaxed) & 15));
  } else {
    uint32_t percent = uint32_t((uint64_t(g.magnification) * 100) >> 16);
    bool half = g.cropWidth == 2 * g.outputWidth && g.cropHeight == 2 * g.outputHeight;
    snprintf(text, sizeof text, half ? "%u%%h" : "%u%%", percent);
  }
  At(r, r->columns - 8, 0, kGreen);
  DrawText(r, text);
}

// Milliseconds recorded so far, and for an AVI the pictures written, from the recording in
// hand.
struct RecordingTime {
  uint32_t elapsed;
  uint32_t newFrames;
  bool avi;
};

RecordingTime Recorded() {
  const Recorder &recorder = g_App.recorder;
  if (recorder.kind == RECORD_AVI && recorder.writer) {
    AviWriter *writer = recorder.writer;
    std::lock_guard<std::mutex> held(writer->lock);
    return {writer->frameInterval * writer->slotCounter, writer->newFrames, true};
  }
  if (recorder.kind == RECORD_MP4 || recorder.kind == RECORD_3GP)
    return {recorder.progress.load(std::memory_order_relaxed), 0, false};
  return {0, 0, false};
}

void DrawVideo(TextRenderer *r, int32_t state, bool statusShown, uint32_t now) {
  const RecordingTime time = Recorded();
  char text[24];
  if (!statusShown) {
    if (g_App.blink) {
      At(r, 1, Bottom(r), kRed);
      DrawText(r, state == STATE_DIALOG ? (time.avi ? "Paused " : "Stop:") : "Rec ");
    } else if (!g_App.recorder.soundOn && state == STATE_CAPTURING) {
      At(r, 1, Bottom(r), kYellow);
      DrawText(r, "nosnd");
    }
    snprintf(text, sizeof text, "%ds", int(time.elapsed / 1000));
    At(r, 8, Bottom(r), kGreen);
    DrawText(r, text);
  }
  if (state != STATE_CAPTURING || !time.avi) return;
  const uint32_t start = g_App.recorder.startTick;
  if (now > start) {
    const uint32_t t = now - start;
    const uint32_t fps = uint32_t((uint64_t(time.newFrames) * 1000 + t / 2) / t);
    if (fps >= 1 && fps <= 29 && time.elapsed >= kFpsShownAfterMs) {
      snprintf(text, sizeof text, "fps:%u", fps);
      At(r, r->columns - 6, 0, kGreen);
      DrawText(r, text);
    }
  }
}

void DrawSeries(TextRenderer *r) {
  char text[32];
  if (g_App.blink) {
    At(r, 1, Bottom(r), kRed);
    DrawText(r, "Shoots:");
  }
  uint32_t remaining = g_App.FramesRemaining.load(std::memory_order_relaxed);
  int length = snprintf(text, sizeof text, "%d", int(g_App.shotCounter.load(std::memory_order_relaxed)));
  if (remaining > 1) snprintf(text + length, sizeof text - size_t(length), " (%d)", int(remaining));
  At(r, 9, Bottom(r), kGreen);
  DrawText(r, text);
}

}  // namespace

// Screen orientation 0 is the landscape view, the top of the picture at the screen's left
// edge, so its text runs up the screen's columns: text orientation 3; the others follow.
// Under ComposeBusy: a composition on another thread must never see the new line length
// with the old origin and steps, which would draw past the picture.
void SetOverlayTextOrientation() {
  Picture &screen = g_App.ScreenPicture;
  TakeCompose(true);
  SetTextOrientation(&g_App.text, screen.pixels, uint32_t(screen.header.biWidth), uint32_t(screen.header.biHeight),
                     (uint32_t(SettingValue(SET_SCREEN_ORIENTATION)) + 3) & 3);
  ReleaseCompose();
}

void ShowStatus(const char *text, uint32_t duration) {
  StatusMessage &status = g_App.status;
  status.startTick.store(GetTickCount(), std::memory_order_relaxed);
  status.duration.store(duration, std::memory_order_relaxed);
  status.text.store(text, std::memory_order_release);
}

void DrawOverlay(TextRenderer *r) {
  if (!r->origin || r->rows == 0) return;
  const uint32_t now = GetTickCount();
  if (now < g_App.blinkTick || now - g_App.blinkTick > kBlinkMs) {
    g_App.blink ^= 1;
    g_App.blinkTick = now;
  }
  // Acquire: the recording and series a capture state stands for were set up before it.
  const int32_t state = g_App.captureState.load(std::memory_order_acquire);
  const bool menuShown = g_App.menu.shown.load(std::memory_order_relaxed);

  const char *status = LiveStatus(now);
  if (status) {
    At(r, 1, Bottom(r), kYellow);
    DrawMessage(r, status);
  }
  const bool idle = state == STATE_PREVIEW || state == STATE_ABOUT;
  if (!g_App.device.smartphone && idle) {
    At(r, r->columns - 3, 0, kWhite);
    DrawText(r, "\x01");
    if (!menuShown && state == STATE_PREVIEW && !status) {
      At(r, 1, Bottom(r), kWhite);
      DrawText(r, "\x02");
    }
  }
  if (g_App.ScreenCaptureMode && !menuShown && state == STATE_PREVIEW) {
    static const char *const kHint[] = {"To start screen capture,", "press 'Action' button.",
                                        "Mirantel will be minimized.", "To stop capture,",
                                        "run Mirantel again."};
    const uint32_t column = r->columns > 30 ? (r->columns - 30) / 2 : 0;
    for (uint32_t i = 0; i < 5; ++i) {
      At(r, column, 4 + i, kWhite);
      DrawText(r, kHint[i]);
    }
  }
  if (state == STATE_ABOUT) {
    DrawAbout(r);
    return;
  }
  if (menuShown) {
    if (const MenuPage *page = g_App.menu.current.load(std::memory_order_acquire)) DrawMenu(r, page);
  }
  if (state != STATE_DIALOG && !menuShown) DrawCaptureModeSelector(r);
  DrawPictureSize(r);
  if (state == STATE_PREVIEW) {
    DrawZoom(r);
    return;
  }
  const uint32_t mode = EffectiveRow(*g_App.settings[SET_CAPTURE_MODE]);
  if (mode == kCaptureModeVideo)
    DrawVideo(r, state, status != nullptr, now);
  else if (mode == kCaptureModeInterval && !status)
    DrawSeries(r);
}
