// Test material and outside readers: JPEG pictures made with libjpeg-turbo, and what ffprobe
// and ffmpeg make of a written file.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// A picture of moving bars; `seed` makes each frame different.
std::vector<uint8_t> MakeJpeg(int width, int height, int seed, int quality = 80);
// Same, at the first quality (from 80 down) that gives a JPEG of odd length.
std::vector<uint8_t> MakeOddJpeg(int width, int height, int seed);

using Fields = std::map<std::string, std::string>;
struct Probe {
  int exitCode = -1;
  std::string errors;
  std::vector<Fields> streams;  // in stream order
  Fields format;
  const Fields *stream(const std::string &codecType) const;
};
// ffprobe with frame and packet counting.
Probe RunFfprobe(const std::string &path);
// ffmpeg decoding every stream to nothing: empty when it decoded without an error.
std::string DecodeErrors(const std::string &path);

// A fresh folder under the test temporary folder.
std::string MakeTempDir();
