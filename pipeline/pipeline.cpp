// OnFrame and DispatchFrame: what happens to one frame, on the thread of the source that
// delivered it.
#include "pipeline/pipeline.h"

#include <cstring>

#include "app/appstate.h"
#include "app/capture_control.h"
#include "app/settings.h"
#include "camera/camera.h"
#include "capture/encoder.h"
#include "capture/recorder.h"
#include "capture/still.h"
#include "pipeline/preview.h"
#include "pipeline/transforms.h"

namespace {

constexpr uint32_t kIdleResetMs = 8192;

bool IsPlanar(uint32_t format) { return format == FORMAT_YV12 || format == FORMAT_IYUV; }

uint32_t Checksum(const FrameDesc &frame) {
  uint32_t x = 0;
  for (uint32_t i = 0; i + 4 <= frame.size; i += 4) {
    uint32_t word;
    std::memcpy(&word, frame.data + i, 4);
    x ^= word;
  }
  return x;
}

// The recording ends on the main thread, as the Action key would end it, also while the
// program is not in front (where the key itself is ignored); the frame thread only reports it
// (once).
void FailRecording() {
  if (SetRecordingFailed(&g_App.recorder) && g_App.MainWindow)
    PostMessageW(g_App.MainWindow, WM_APP, CAPTURE_FAILED, 0);
}

void RecordFrame(FrameDesc *frame) {
  Recorder &recorder = g_App.recorder;
  AviWriter *writer = recorder.writer;
  if (recorder.kind != RECORD_AVI || !writer) return;
  Picture &buffer = g_App.EncodeBuffer;
  uint8_t *jpeg = reinterpret_cast<uint8_t *>(buffer.pixels);
  const uint32_t tick = g_App.FrameTick;
  const int isNew = g_App.NewFrame;
  bool ok = WriteVideoSlot(writer, jpeg, g_App.LastJpegSize, tick, 1, isNew, g_App.FrameChecksum) != 0;
  if (ok && isNew) {
    DrawPreview(frame, 0);
    g_App.LastJpegSize = EncodeJpeg(&g_EncoderSetup, jpeg, buffer.capacity, frame, 1);
    ok = g_App.LastJpegSize != 0;
  }
  if (ok) ok = WriteVideoSlot(writer, jpeg, g_App.LastJpegSize, tick, 0, isNew, g_App.FrameChecksum) != 0;
  if (!ok) FailRecording();
}

uint32_t Save(FrameDesc *frame) {
  return SaveStill(reinterpret_cast<uint8_t *>(g_App.EncodeBuffer.pixels), g_App.EncodeBuffer.capacity, frame);
}

// One frame of a shot of an interval series.
void IntervalFrame(FrameDesc *frame) {
  Camera &camera = g_App.camera;
  uint8_t *reference = g_App.ReferenceBuffer;
  const uint32_t size = frame->size;
  const uint32_t planar = IsPlanar(frame->format);
  camera.StillFailed = 0;
  // The series' buffers are sized for its still size; a frame that does not fit fails the shot.
  const bool fits = size <= g_App.referenceBytes && size <= g_App.EncodeBuffer.capacity;
  if (!reference) {
    if (Save(frame)) {
      g_App.FramesRemaining = 0;
      camera.MoreFrames = 0;
    } else {
      camera.StillFailed = 1;
      camera.MoreFrames = g_App.FramesRemaining != 0;
    }
  } else if (!fits) {
    camera.StillFailed = 1;
    g_App.FramesRemaining = 0;
    camera.MoreFrames = 0;
  } else if (SettingValue(SET_AVERAGING) == 0 && SettingValue(SET_MOTION_MODE) != 0) {
    if (MotionTest(reference, frame->data, size, uint32_t(SettingValue(SET_MOTION_THRESHOLD)),
                   uint32_t(SettingValue(SET_MOTION_PERCENT)), uint32_t(SettingValue(SET_MOTION_MODE)), planar)) {
      std::memcpy(reference, frame->data, size);
      if (!Save(frame)) camera.StillFailed = 1;
      g_App.FramesRemaining = 0;
      camera.MoreFrames = 0;
    } else {
      camera.MoreFrames = g_App.FramesRemaining != 0;
    }
  } else {
    uint8_t *low = reinterpret_cast<uint8_t *>(g_App.EncodeBuffer.pixels);
    AccumulateFrame(reference, low, frame->data, size);
    uint32_t remaining = g_App.FramesRemaining;
    if (remaining == 1) {
      uint32_t target = SettingValue(SET_AVERAGING) == 2 ? uint32_t(SettingValue(SET_AVERAGE_TARGET)) : 0;
      AverageFrames(reference, low, frame->data, size, uint32_t(SettingValue(SET_AVERAGE_FRAMES)), target, planar);
      if (!Save(frame)) camera.StillFailed = 1;
    }
    if (remaining) --remaining;
    g_App.FramesRemaining = remaining;
    camera.MoreFrames = remaining != 0;
  }
  ComposeAndBlit();  // the overlay shows the shot count
}

}  // namespace

uint32_t OnFrame(const FrameDesc *frame, uint32_t isStill) {
  Camera &camera = g_App.camera;
  if (camera.MoreFrames) isStill = 1;
  if (isStill) SetFlashLight(0);
  if (frame->size == 0) return 1;
  FrameDesc local = *frame;
  g_App.FrameKind = EffectiveRow(*g_App.settings[SET_CAPTURE_MODE]);
  g_App.FrameState = uint32_t(g_App.captureState.load(std::memory_order_acquire));
  g_App.FrameTick = GetTickCount();
  if (g_App.FrameState == STATE_CAPTURING) {
    uint32_t tick = g_App.FrameTick;
    if (tick < g_App.IdleResetTick || tick - g_App.IdleResetTick > kIdleResetMs) {
      SystemIdleTimerReset();
      g_App.IdleResetTick = tick;
    }
  }
  if (SettingValue(SET_CHROMA_SWAP) == 1) SwapChroma(&local);
  // A copy under the Camera's lock: the main thread may be rewriting it while a source that
  // did not stop in time still delivers.
  CaptureGeometry window = ActiveGeometry();
  // The screen hands over the whole display whatever the size row, also for the capture window's
  // own row (where the window is the crop): the window is cut from all of it.
  if (g_App.ScreenCaptureMode) window.cropWidth = local.width, window.cropHeight = local.height;
  CropWindow(&local, window);
  switch (SettingValue(SET_FLIP_MODE)) {
    case 1: FlipFrame(&local); break;
    case 2:
      if (isStill) FlipFrame(&local);
      break;
    case 3:
      if (!isStill) FlipFrame(&local);
      break;
  }
  DispatchFrame(&local, isStill);
  return 1;
}

uint32_t DispatchFrame(const FrameDesc *frame, uint32_t isStill) {
  FrameDesc local = *frame;
  Camera &camera = g_App.camera;
  switch (g_App.FrameState) {
    case STATE_PREVIEW:
    case STATE_ABOUT: DrawPreview(&local, 0); break;
    case STATE_DIALOG:
      if (g_App.FrameKind != 1) break;
      // Sound captured while paused is dropped once it has caught up with the picture.
      if (g_App.recorder.writer) WritePausedSound(g_App.recorder.writer);
      DrawPreview(&local, 0);
      break;
    case STATE_CAPTURING:
      g_App.NewFrame = 1;
      if (g_App.ScreenCaptureMode) {
        g_App.FrameChecksum = Checksum(local);
        if (g_App.recorder.writer) g_App.NewFrame = uint8_t(IsNewPicture(g_App.recorder.writer, g_App.FrameChecksum));
      }
      if (g_App.FrameKind == 1) {
        RecordFrame(&local);
        return 0;
      }
      if (!isStill) return 0;  // no preview while a still is awaited
      if (g_App.FrameKind == 0) {
        if (Save(&local)) camera.StillFailed = 0;
        camera.MoreFrames = 0;
      } else if (g_App.FrameKind == 2) {
        IntervalFrame(&local);
      }
      if (!camera.MoreFrames) SetEvent(camera.StillDoneEvent);
      break;
  }
  return 0;
}
