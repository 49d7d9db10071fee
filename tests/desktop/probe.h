// What the desktop probe program and its tests agree on.
#pragma once

#include <cstdint>

// The colour the probe fills the display with after a key: distinct for the keys the tests use.
inline uint16_t probeColour(int vk) { return static_cast<uint16_t>((vk * 0x9E37u) ^ 0x5A5Au); }
