// Reads the camera's frame stamp (device/frame_stamp.h) back from a picture, however the program
// turned or flipped it.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "device/camera.h"

// `rgb`: width × height pixels of 8-bit R, G, B, rows packed.
std::optional<device::FrameStamp> ReadFrameStamp(const uint8_t *rgb, int width, int height);
// The same from a JPEG file's bytes (decoded with libjpeg-turbo).
std::optional<device::FrameStamp> ReadFrameStampFromJpeg(const std::vector<uint8_t> &jpeg);
