// Stands in for the frame pipeline and capture control in the camera tests: OnFrame counts the
// frames a source delivers, keeps a copy of the latest one and answers a still request as the
// pipeline does; FormatFallback counts the fall-backs.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "camera/frame.h"

struct FrameSink {
  std::atomic<uint32_t> frames{0};
  std::atomic<uint32_t> stills{0};  // frames taken as the requested still
  uint32_t fallbacks = 0;
  // The latest frame; read it only while no source is streaming.
  FrameDesc last{};
  std::vector<uint8_t> data;
};
extern FrameSink g_sink;

// Clears the sink; call while no source is streaming.
void ResetSink();
