// Checks of a written AVI file: its structure parsed back with the RIFF reader, and what
// ffprobe and ffmpeg read from it.
#pragma once

#include <cstdint>
#include <string>

#include "riff.h"

struct AviSummary {
  uint32_t videoEntries = 0;  // "00dc" index entries, new and repeated
  uint32_t pictures = 0;      // "00dc" chunks in "movi"
  uint32_t soundChunks = 0;
  uint32_t soundBytes = 0;
};

enum class AviEnd {
  Complete,      // the file ends with its index
  AfterFailure,  // a write failed: what it left beyond the index is wiped with zeros
  NoIndex,       // the index could not be written either
};

// Checks that the file is a consistent AVI as the writer makes them — RIFF and list sizes,
// the fixed header offsets, every index entry pointing at a chunk of its kind and size, zero pad
// bytes, header counts agreeing with the index — and returns what it holds.
AviSummary CheckAvi(const RiffFile &file, AviEnd end = AviEnd::Complete);

// ffprobe agrees with what was written: stream count, frame count and rate, duration, sound
// samples; ffmpeg decodes every frame and the sound without an error.
void ExpectReadable(const std::string &path, const AviSummary &expected, uint32_t usPerFrame);
