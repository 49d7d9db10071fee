#include "frame_sink.h"

#include "app/appstate.h"
#include "app/capture_control.h"
#include "pipeline/pipeline.h"

FrameSink g_sink;

void ResetSink() {
  g_sink.frames = 0;
  g_sink.stills = 0;
  g_sink.fallbacks = 0;
  g_sink.last = {};
  g_sink.data.clear();
}

uint32_t OnFrame(const FrameDesc *frame, uint32_t) {
  g_sink.last = *frame;
  g_sink.data.assign(frame->data, frame->data + frame->size);
  g_sink.frames.fetch_add(1, std::memory_order_release);
  Camera &camera = g_App.camera;
  if (camera.MoreFrames.exchange(0)) {
    g_sink.stills.fetch_add(1);
    camera.StillFailed = 0;
    SetEvent(camera.StillDoneEvent);
  }
  return 1;
}

void FormatFallback() { ++g_sink.fallbacks; }
