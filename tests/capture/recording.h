// Test drivers for the AVI writer: the emulated microphone on a clock the test moves, and a
// recording fed as the frame pipeline feeds it, with explicit ticks.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "capture/avi.h"

// Points the handset at a profile whose microphone is `value` and stops the microphone clock
// at `startMs`; the clock goes back to real time when this ends.
class TestMicrophone {
 public:
  explicit TestMicrophone(const std::string &value = "counter", uint64_t startMs = 100000);
  ~TestMicrophone();
  TestMicrophone(const TestMicrophone &) = delete;
  TestMicrophone &operator=(const TestMicrophone &) = delete;

 private:
  std::string dir_;
};

class AviRecording {
 public:
  // Opens `file` (or `path` with the host's fopen) on a new writer. With sound, the microphone
  // clock (see TestMicrophone) must stand at `startTick`; it then follows the frame ticks.
  AviRecording(const std::string &path, uint32_t interval, uint32_t width, uint32_t height, bool sound,
               uint32_t startTick, FILE *file = nullptr);
  ~AviRecording();
  AviRecording(const AviRecording &) = delete;
  AviRecording &operator=(const AviRecording &) = delete;

  // One frame arriving at `tick`, as the pipeline records it: the prepare step with the last
  // picture, then the write step with `picture` (null: the frame is unchanged, the picture
  // stays). newFrame is what the pipeline passes: by default whether there is a new picture.
  // The steps' result: 0 when the recording must end.
  int frame(uint32_t tick, const std::vector<uint8_t> *picture, int newFrame = -1, uint32_t checksum = 0);
  // A frame arriving while the recording is paused.
  int pausedFrame(uint32_t tick);
  void resume() { ResumeAvi(writer); }
  // CloseAvi's result; the file is closed and sound stopped afterwards.
  int close();

  AviWriter *writer;
  const std::string path;
  // Where the picture handed to the writer lives: a heap block of exactly its size, so a read
  // past its end is caught by the address sanitizer.
  std::vector<uint8_t> last;

 private:
  uint8_t *picture_ = nullptr;
  uint32_t startTick_;
  uint64_t soundEnd_;
  bool closed_ = false;
};

// With the counter microphone: moves the microphone clock to `tick` and waits until the driver
// has queued every block finished by then. Sound started at sample `start`; *awaited is the
// sample position up to which blocks were awaited before.
void AwaitSound(SoundBlock &block, uint64_t start, uint32_t tick, uint64_t *awaited);

// The samples of every "01wb" chunk in index order, as the counter microphone made them:
// the positions where one chunk does not continue the one before (in samples skipped).
std::vector<uint32_t> SoundGaps(const std::string &path);
