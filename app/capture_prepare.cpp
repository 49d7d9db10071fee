// Capture control's preparation of the JPEG encoder before a capture, and the fall-back when the
// camera cannot take a format.
#include "app/capture_control.h"
#include "app/capture_internal.h"
#include "capture/encoder.h"
#include "pipeline/overlay.h"

using namespace capture;

uint32_t PrepareEncoder() {
  const uint32_t still = Still();
  const CaptureGeometry &g = Frame();
  uint32_t sampling = uint32_t(SettingValue(still ? SET_PHOTO_FORMAT : SET_VIDEO_FORMAT));
  // The video formats give grey as 0, which the encoders would take for 4:2:2.
  if (!still && sampling == 0) sampling = SAMPLING_GREY;
  if (sampling == SAMPLING_422 && g.format == FORMAT_YV12) sampling = SAMPLING_420;
  // The frame (the window) over the picture that leaves the pipeline, per axis.
  uint32_t horizontal = g.outputWidth ? g.windowWidth / g.outputWidth : 0;
  uint32_t vertical = g.outputHeight ? g.windowHeight / g.outputHeight : 0;
  if (horizontal == 0 || vertical == 0) horizontal = vertical = 1;
  return ConfigureEncoder(&g_EncoderSetup, g.outputWidth, g.outputHeight,
                          uint32_t(SettingValue(still ? SET_PHOTO_QUALITY : SET_VIDEO_QUALITY)), sampling,
                          horizontal, vertical, Rotation());
}

void FormatFallback() {
  Reconfigure(Still());
  StartStream();
  constexpr uint32_t kShownMs = 2048;
  ShowStatus("Try another format.", kShownMs);
}
