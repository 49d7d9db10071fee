// The still handshake: the Camera restarts its source as a still stream (or, on DirectShow,
// triggers the still path) and waits for the frame pipeline to handle the still. Apart from the
// rest of the Camera because it falls back on capture control when the source refuses the still.
#include "app/appstate.h"
#include "app/capture_control.h"
#include "camera/camera.h"
#include "camera/geometry.h"
#include "pipeline/preview.h"

namespace {

// DirectShow takes the still on its own path at the still size, the preview running on; the
// graph is stopped and run again afterwards whether or not the still came.
uint32_t DirectShowStill(uint32_t timeout) {
  Camera &c = g_App.camera;
  CaptureGeometry g;
  if (!ComputeGeometry(uint32_t(OptionValue(c.StillSize)), uint32_t(OptionValue(c.StillAspect)), 1, &g)) return 0;
  SizeEntry format{g.captureWidth, g.captureHeight, g.format};
  uint32_t taken = 0;
  // A refused still format leaves the graph stopped: it runs again below, so the preview goes on.
  if (c.ops->SetFormat(uintptr_t(&format), 1, 0, 0)) {
    ClearPreview();
    ResetEvent(c.StillDoneEvent);
    taken = c.ops->TakeStill(uintptr_t(&g), 0, 0, 0);
    if (taken) WaitForSingleObject(c.StillDoneEvent, timeout);
  }
  if (!taken) FormatFallback();
  const bool arrived = taken && c.StillFailed == 0;
  if (!arrived) c.MoreFrames = 0;  // an averaging series must not take the next frames for it
  RestartStream();
  return arrived ? taken : 0;
}

}  // namespace

uint32_t CameraCapture(uint32_t restore, uint32_t repeat, uint32_t timeout) {
  Camera &c = g_App.camera;
  c.MoreFrames = 0;
  c.StillFailed = 1;
  if (g_CameraSource == SOURCE_DIRECTSHOW) return DirectShowStill(timeout);
  c.requestedKind = STREAM_STILL;
  c.repeat = uint8_t(repeat != 0);
  const bool started = Reconfigure(1) != 0;
  if (started) WaitForSingleObject(c.StillDoneEvent, timeout);
  const bool failed = !started || c.StillFailed != 0;
  if (failed) {
    // A still that never came must not stay pending: not for the next stream (a stopped
    // camera keeps the request until it starts) and not as the next preview frame.
    c.requestedKind = STREAM_PREVIEW;
    c.repeat = 0;
    c.MoreFrames = 0;
  }
  if (!started) FormatFallback();
  if (restore || failed) Reconfigure(1);
  if (failed) ClearPreview();
  return failed ? 0 : 1;
}
