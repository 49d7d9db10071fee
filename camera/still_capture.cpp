// The still handshake: the Camera restarts its source as a still stream and waits for the
// frame pipeline to handle the still. Apart from the rest of the Camera because it falls back
// on capture control when the source refuses the still.
#include "app/appstate.h"
#include "app/capture_control.h"
#include "camera/camera.h"
#include "pipeline/preview.h"

uint32_t CameraCapture(uint32_t restore, uint32_t repeat, uint32_t timeout) {
  Camera &c = g_App.camera;
  c.MoreFrames = 0;
  c.StillFailed = 1;
  c.requestedKind = STREAM_STILL;
  c.repeat = uint8_t(repeat != 0);
  bool failed;
  if (Reconfigure(1)) {
    WaitForSingleObject(c.StillDoneEvent, timeout);
    failed = c.StillFailed != 0;
  } else {
    // A refused still must not stay pending for the next stream the fall-back starts.
    c.requestedKind = STREAM_PREVIEW;
    c.repeat = 0;
    FormatFallback();
    failed = true;
  }
  // A still that never came must not turn the next preview frame into one.
  if (failed) c.MoreFrames = 0;
  if (restore || failed) Reconfigure(1);
  if (failed) ClearPreview();
  return failed ? 0 : 1;
}
