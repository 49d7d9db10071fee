// Recordings cut off by a crash, a kill or a power loss. The AVI writer (avi.h) leaves the 348
// bytes of the header as zeros and keeps the index in memory until the recording ends; what it
// wrote before the cut is a run of "00dc" pictures and "01wb" sound blocks from offset 348. Such a
// file is read back chunk by chunk: every whole chunk is kept, the first that is not (cut in two,
// running past the end, of another kind, a picture that is no JPEG) ends the walk, and the writer
// gives the file the index and the header it would have written at the end.
//
// The repeat entries by which the writer keeps the frame rate were only in the lost index. Each
// sound block is one frame interval of sound, so they are made anew from the sound: before each
// sound block the last picture is repeated until there are as many video entries as sound blocks
// with this one. A recording without sound gets one entry per picture.
//
// OpenAvi notes the file it records to under the program's registry key while the recording runs
// (NoteRecording); at the next start RepairUnfinishedRecording repairs the file noted.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "capture/avi.h"

enum AviRepairVerdict : int {
  AVI_REPAIR_NOT_CUT = 0,     // the file has a header: finished, or not a recording of this writer
  AVI_REPAIR_EMPTY = 1,       // cut before its first whole picture: nothing to keep
  AVI_REPAIR_CUT = 2,         // cut off: the plan rebuilds it
  AVI_REPAIR_UNREADABLE = 3,  // a read failed: nothing is known about the file
};

struct AviRepairPlan {
  AviRepairVerdict verdict = AVI_REPAIR_NOT_CUT;
  // The index to write: every whole chunk in file order, and the repeats.
  std::vector<AviIndexItem> items;
  uint32_t end = 0;  // where the last whole chunk ends (348 without one); what follows is cut
  uint32_t pictures = 0;
  uint32_t repeats = 0;
  uint32_t soundChunks = 0;
  uint32_t soundBlockBytes = 0;  // of the first sound block: one frame interval of sound
  uint32_t width = 0;            // of the first picture, from its JPEG frame header
  uint32_t height = 0;
};

// The bytes of a file to walk: `read` copies `count` bytes at `at` into `out`; it is only asked
// for bytes within `size`. False when they cannot be read.
struct AviRepairSource {
  uint64_t size;
  void *context;
  bool (*read)(void *context, uint64_t at, uint8_t *out, uint32_t count);
};

// Walks a file as the writer leaves it when cut off. Reads only what lies within the source's
// size, whatever the file holds.
AviRepairPlan PlanAviRepair(const AviRepairSource &source);
// The same over bytes in memory.
AviRepairPlan PlanAviRepair(const uint8_t *data, size_t size);

// The frame interval (ms) of a repaired file: the sound block's length at 8000 samples of 16 bits
// a second when there is sound, else `fallback` (the program's frame-rate setting).
uint32_t RepairFrameInterval(const AviRepairPlan &plan, uint32_t fallback);

// Repairs the file (open for update; closed before the return) when it was cut off. The verdict
// of the walk, or -1 when it was cut off but a write of its repair failed.
int RepairAviFile(FILE *file, uint32_t fallbackInterval);

// The note of the recording under way: a value under g_App.registryKey, written to the
// registry's file at once. False when there is no key (no program settings) or it failed.
bool NoteRecording(const WCHAR *path);
void ForgetRecording();

// At start, before anything is recorded: the recording noted was cut off when it is still noted;
// it is repaired (videoInterval: the ms-per-frame setting, for one without sound), or deleted
// when it holds no whole picture, and the note is dropped. A file that cannot be read or
// repaired keeps its note and is tried again at the next start.
void RepairUnfinishedRecording(int32_t videoInterval);
