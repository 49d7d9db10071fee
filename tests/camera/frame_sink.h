// Stands in for the frame pipeline in the camera tests: OnFrame counts the frames a source
// delivers and keeps a copy of the latest one.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "camera/frame.h"

struct FrameSink {
  std::atomic<uint32_t> frames{0};
  // The latest frame; read it only while no source is streaming.
  FrameDesc last{};
  std::vector<uint8_t> data;
};
extern FrameSink g_sink;

// Clears the sink; call while no source is streaming.
void ResetSink();
