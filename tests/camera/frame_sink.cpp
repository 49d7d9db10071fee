#include "frame_sink.h"

#include "pipeline/pipeline.h"

FrameSink g_sink;

void ResetSink() {
  g_sink.frames = 0;
  g_sink.last = {};
  g_sink.data.clear();
}

uint32_t OnFrame(const FrameDesc *frame, uint32_t) {
  g_sink.last = *frame;
  g_sink.data.assign(frame->data, frame->data + frame->size);
  g_sink.frames.fetch_add(1, std::memory_order_release);
  return 1;
}
