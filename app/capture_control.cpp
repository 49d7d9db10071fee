// Capture control: stills, interval series and recordings started and ended by the Action key,
// and the interval thread that takes the shots of a series.
#include "app/capture_control.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "app/capture_internal.h"
#include "app/config.h"
#include "app/window.h"
#include "camera/camera.h"
#include "capture/encoder.h"
#include "capture/recorder.h"
#include "capture/still.h"
#include "pipeline/overlay.h"
#include "pipeline/preview.h"

namespace {

using namespace capture;

constexpr uint32_t kStillTimeout = 8192;
constexpr uint32_t kFirstShotDelay = 3000;
constexpr uint32_t kStopWait = 5120;
constexpr uint32_t kVideoQualityProperty = 65;
constexpr uint64_t kMaxRecording = 0x80000000;
constexpr uint64_t kRecordingReserve = 3 * 1024 * 1024;
constexpr uint32_t kNoMemoryMs = 1024, kNoSpaceMs = 2000, kNoPictureMs = 2048;
constexpr char kNoPicture[] = "No picture taken.";

Camera &Cam() { return g_App.camera; }

void TakePhoto() {
  if (State() != STATE_PREVIEW || !PrepareEncoder()) return;
  g_App.CaptureStartTick = GetTickCount();
  SetState(STATE_CAPTURING);
  // The screen recorder takes the picture when it is activated again.
  if (g_App.ScreenCaptureMode) {
    Minimise(0);
    return;
  }
  const uint32_t restore = g_App.device.modelCode == kModelHardwareZoom ? 0 : 1;
  const StatusMessage &status = g_App.status;
  const char *saying = status.text.load();
  const uint32_t since = status.startTick.load();
  if (!CameraCapture(restore, 0, kStillTimeout)) {
    SetState(STATE_PREVIEW);
    // A still that failed never looks like nothing happened; a fall-back has said why already.
    if (status.text.load() == saying && status.startTick.load() == since)
      ShowStatus(kNoPicture, kNoPictureMs);
    return;
  }
  ShowCapturePage(PAGE_AFTER_PHOTO, g_App.menu.current);
  SetState(STATE_DIALOG);
}

// 2 to the power of the setting, 0 from 32 on.
uint32_t FramesPerShot() {
  const int32_t power = SettingValue(SET_AVERAGE_FRAMES);
  return power >= 0 && power < 32 ? uint32_t(1) << power : 0;
}

// An interval thread that did not end even when terminated; it keeps its handles, and no
// series starts while it lives.
HANDLE s_straggler;

bool StragglerLives() {
  if (!s_straggler) return false;
  if (WaitForSingleObject(s_straggler, 0) != WAIT_OBJECT_0) return true;
  CloseHandle(s_straggler);
  s_straggler = nullptr;
  return false;
}

// parameter: the series' completion event.
DWORD WINAPI IntervalThread(LPVOID parameter) {
  const uint32_t interval = uint32_t(SettingValue(SET_SHOT_INTERVAL));
  uint32_t due = GetTickCount() + kFirstShotDelay;
  bool failed = false;
  while (!g_App.intervalStop) {
    const bool averaging = SettingValue(SET_AVERAGING) != 0;
    const bool accumulate = averaging && g_App.ReferenceBuffer;
    g_App.FramesRemaining = accumulate ? FramesPerShot() : 1;
    const uint32_t now = GetTickCount();
    if (int32_t(now - due) < 0) {
      Sleep(10);
      continue;
    }
    due += interval;
    if (int32_t(due - now) < 0) due = now;
    if (accumulate) {
      // The two accumulators of the averaging: high bytes here, low bytes in EncodeBuffer.
      std::memset(g_App.ReferenceBuffer, 0, g_App.referenceBytes);
      std::memset(g_App.EncodeBuffer.pixels, 0, std::min(g_App.referenceBytes, g_App.EncodeBuffer.capacity));
    }
    if (g_App.intervalStop) break;
    const uint32_t repeat =
        g_App.FramesRemaining >= 2 || (!averaging && SettingValue(SET_MOTION_MODE) != 0) ? 1 : 0;
    if (!CameraCapture(1, repeat, INFINITE)) {
      // A shot cut short by the stop request is no failure.
      failed = !g_App.intervalStop;
      break;
    }
    ++g_App.shotCounter;
  }
  SetEvent(HANDLE(parameter));
  if (failed && g_App.MainWindow) PostMessageW(g_App.MainWindow, WM_APP, CAPTURE_STOPPED, 0);
  return 0;
}

// Bytes of the largest frame a shot can deliver: the capture size, 3 bytes a pixel for RGB 24.
uint32_t ReferenceBytes() {
  const CaptureGeometry &g = Frame();
  const uint64_t pixels = uint64_t(g.captureWidth) * g.captureHeight;
  const uint64_t bytes = pixels * (g.format == FORMAT_RGB24 ? 3 : 2);
  return bytes <= 0xFFFFFFFFu ? uint32_t(bytes) : 0;
}

void StartInterval() {
  if (StragglerLives() || !PrepareEncoder()) return;
  const int32_t averaging = SettingValue(SET_AVERAGING);
  if (averaging != 0 || SettingValue(SET_MOTION_MODE) != 0) {
    const uint32_t bytes = ReferenceBytes();
    // Zeroed: the first motion test compares against an empty picture, not leftover memory.
    uint8_t *buffer = bytes ? static_cast<uint8_t *>(std::calloc(bytes, 1)) : nullptr;
    if (!buffer) {
      ShowStatus(g_App.language.strings[LANG_NO_SPACE], kNoMemoryMs);
      return;
    }
    g_App.ReferenceBuffer = buffer;
    g_App.referenceBytes = bytes;
  }
  g_App.shotCounter = 0;
  g_App.intervalStop = 0;
  g_App.intervalDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ResetEvent(g_App.intervalDone);
  g_App.CaptureStartTick = GetTickCount();
  SetState(STATE_CAPTURING);
  g_App.intervalThread = g_App.intervalDone ? CreateThread(nullptr, 0, IntervalThread, g_App.intervalDone, 0, nullptr) : nullptr;
  if (!g_App.intervalThread) {
    SetState(STATE_PREVIEW);
    if (g_App.intervalDone) CloseHandle(g_App.intervalDone);
    g_App.intervalDone = nullptr;
    std::free(g_App.ReferenceBuffer);
    g_App.ReferenceBuffer = nullptr;
    g_App.referenceBytes = 0;
    ShowStatus(g_App.language.strings[LANG_NO_SPACE], kNoMemoryMs);
    return;
  }
  if (g_App.ScreenCaptureMode) Minimise(0);
}

void PauseRecording() {
  Recorder &recorder = g_App.recorder;
  MenuPage *previous = g_App.menu.current;
  PauseRecorder(&recorder);
  if (recorder.kind == RECORD_AVI && !recorder.failed) {
    ShowCapturePage(PAGE_PAUSED, previous);
  } else {
    ShowCapturePage(PAGE_AFTER_RECORDING, previous);
    Reconfigure(0);
    StartStream();
  }
  SetState(STATE_DIALOG);
}

// The size limit the free space of the path's volume allows, 0 when there is no room.
uint32_t RecordingLimit(const WCHAR *path) {
  // The file does not exist yet: the space is that of its folder.
  WCHAR folder[kFilePathUnits];
  std::memcpy(folder, path, sizeof folder);
  folder[kFilePathUnits - 1] = 0;
  if (WCHAR *slash = wcsrchr(folder, u'\\')) *slash = 0;
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExW(folder[0] ? folder : u"\\", &available, nullptr, nullptr) ||
      available.QuadPart > kMaxRecording)
    return uint32_t(kMaxRecording);
  if (available.QuadPart <= kRecordingReserve) return 0;
  return uint32_t(available.QuadPart - kRecordingReserve);
}

// Level of the camera's own video compression for a JPEG quality.
uint32_t QualityLevel(int32_t quality) { return quality >= 90 ? 8 : quality >= 75 ? 4 : quality >= 45 ? 2 : 1; }

void StartRecording() {
  PrepareEncoder();  // a video without a ready encoder is still tried
  const int32_t format = SettingValue(SET_VIDEO_FORMAT);
  const uint32_t kind = format == RECORD_MP4 || format == RECORD_3GP ? uint32_t(format) : RECORD_AVI;
  // The same-second check must see the name that is written, extension included.
  WCHAR *path = g_App.currentFile;
  const uint32_t limit = MakeFileName(g_App.settings, path, RecordingExtension(kind), -1) ? RecordingLimit(path) : 0;
  if (limit == 0) {
    ShowStatus(g_App.language.strings[LANG_NO_SPACE], kNoSpaceMs);
    return;
  }
  const CaptureGeometry &g = Frame();
  const bool turned = Rotation() & 1;
  const int32_t interval = SettingValue(SET_VIDEO_INTERVAL);
  Recorder &recorder = g_App.recorder;
  if (!SetupRecorder(&recorder, path, limit, SettingValue(SET_VIDEO_SOUND) != 0,
                     RecordingFramesPerSecond(interval), turned ? g.outputHeight : g.outputWidth,
                     turned ? g.outputWidth : g.outputHeight, kind)) {
    FormatFallback();
    return;
  }
  if (kind == RECORD_AVI) {
    Camera &c = Cam();
    if (!g_App.ScreenCaptureMode && g_App.device.modelCode == kModelHardwareZoom && c.ops->SetProperty)
      c.ops->SetProperty(kVideoQualityProperty,
                         QualityLevel(SettingValue(Still() ? SET_PHOTO_QUALITY : SET_VIDEO_QUALITY)), 0, 0);
    c.requestedKind = STREAM_VIDEO_PREVIEW;
    Reconfigure(0);
  }
  if (!StartRecorder(&recorder)) {
    FormatFallback();
    return;
  }
  // The screen recorder records from the background.
  if (g_App.ScreenCaptureMode) Minimise(0);
  g_App.CaptureStartTick = GetTickCount();
  SetState(STATE_CAPTURING);
}

}  // namespace

uint32_t HandleAction() {
  const CaptureState state = State();
  switch (Mode()) {
    case kModeVideo:
      if (state == STATE_CAPTURING)
        PauseRecording();
      else if (state == STATE_PREVIEW)
        StartRecording();
      break;
    case kModeInterval:
      if (state == STATE_CAPTURING)
        CaptureFinished(CAPTURE_DONE);
      else if (state == STATE_PREVIEW)
        StartInterval();
      break;
    default: TakePhoto(); break;
  }
  return 1;
}

void CaptureFinished(uint32_t code) {
  const uint32_t mode = Mode();
  if (code == CAPTURE_FAILED) {
    if (mode == kModeVideo && State() == STATE_CAPTURING) PauseRecording();
    return;
  }
  if (mode == kModeInterval) {
    const bool ended = StopInterval();
    SetState(STATE_PREVIEW);
    Camera &c = Cam();
    if (ended) {
      // A frame of the last shot may still be on its way with the buffer: the source stops
      // (and waits for its thread) before the buffer goes.
      if (g_App.ReferenceBuffer) StopSource();
      std::free(g_App.ReferenceBuffer);
    } else {
      // The terminated thread may have left the source anywhere inside a shot, its frame
      // thread perhaps still using the buffer: the buffer is given up, not freed, and the
      // still request it left is withdrawn.
      c.MoreFrames = 0;
      c.requestedKind = STREAM_PREVIEW;
      c.repeat = 0;
      // It may have been ended inside the source's Stop: the source is stopped again (a
      // stopped source takes that) so that it is surely stopped before it starts again.
      if (!c.streaming) c.ops->Stop(0, 0, 0, 0);
    }
    g_App.ReferenceBuffer = nullptr;
    g_App.referenceBytes = 0;
  } else if (mode != kModeVideo) {
    if (code == CAPTURE_DONE) {
      ShowCapturePage(PAGE_AFTER_PHOTO, g_App.menu.current);
      SetState(STATE_DIALOG);
    } else {
      SetState(STATE_PREVIEW);
    }
  }
  Reconfigure(Still());
  StartStream();
  ClearPreview();
}

uint32_t StopInterval() {
  ClearPreview();
  if (!g_App.intervalThread) return 1;
  g_App.intervalStop = 1;
  // A shot waiting for its still without a time-out wakes and sees the stop.
  SetEvent(Cam().StillDoneEvent);
  const bool ended = WaitForSingleObject(g_App.intervalDone, kStopWait) == WAIT_OBJECT_0;
  bool gone = ended;
  if (!ended) {
    // Termination ends the thread at its next wait; its handles stay valid until it has.
    TerminateThread(g_App.intervalThread, 0);
    gone = WaitForSingleObject(g_App.intervalThread, kStopWait) == WAIT_OBJECT_0;
  }
  if (gone) {
    CloseHandle(g_App.intervalThread);
    CloseHandle(g_App.intervalDone);
  } else {
    s_straggler = g_App.intervalThread;
  }
  g_App.intervalThread = nullptr;
  g_App.intervalDone = nullptr;
  return ended ? 1 : 0;
}
