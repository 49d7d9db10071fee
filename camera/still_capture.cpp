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
