// The sound block queue between the driver's callback and the frame thread.
#include "capture/sound.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "capture/recorder.h"
#include "device/microphone.h"
#include "recording.h"

namespace {

TEST(SoundBuffers, SizedForAboutFourSecondsOfFrameIntervals) {
  struct Case {
    uint32_t framesPerSecond, interval, count, bytes;
  } cases[] = {{15, 66, 60, 1056}, {30, 33, 121, 528}, {1, 1000, 4, 16000}, {10, 100, 40, 1600}};
  Recorder recorder{};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.framesPerSecond);
    SetupRecorder(&recorder, TEXT("\\My Documents\\v.avi"), 0x80000000, 1, c.framesPerSecond, 320, 240, RECORD_AVI);
    const SoundBlock &block = recorder.writer->soundBlock;
    EXPECT_EQ(recorder.writer->frameInterval, c.interval);
    EXPECT_EQ(block.interval, c.interval);
    EXPECT_EQ(block.bufferCount, c.count);
    EXPECT_EQ(block.bufferBytes, c.bytes);
    for (uint32_t i = 0; i < block.bufferCount; ++i) ASSERT_EQ(block.headers[i].dwBufferLength, c.bytes);
  }
  FreeRecorderBuffers(&recorder);
}

TEST(SoundBuffers, NoMicrophoneNoSound) {
  TestMicrophone none("none");
  SoundBlock block{};
  SetupSoundBuffers(&block, 60, 66);
  EXPECT_EQ(OpenSound(&block), 0);
  EXPECT_EQ(block.device, nullptr);
  FreeSoundBuffers(&block);
}

// The driver's thread fills blocks as fast as a racing clock allows while this thread takes
// them: every block arrives whole, in the order it was filled, and goes back to the driver.
TEST(SoundQueue, CallbackAgainstFrameThread) {
  TestMicrophone microphone("counter", 0);
  SoundBlock block{};
  SetupSoundBuffers(&block, 8, 33);  // few buffers, so they go round many times
  ASSERT_EQ(OpenSound(&block), 1);
  std::atomic<bool> done{false};
  // The clock runs at most half the buffers ahead of what was taken, so the driver always holds
  // some and no sound is skipped.
  const uint32_t samplesPerBlock = block.bufferBytes / 2;
  std::atomic<uint32_t> taken{0};
  std::thread clock([&] {
    uint64_t ms = 0;
    while (!done) {
      if ((ms + 7) * 8 <= uint64_t(taken + block.bufferCount / 2) * samplesPerBlock) {
        ms += 7;
        device::advanceMicrophoneClock(7);
      }
      std::this_thread::yield();
    }
  });
  uint16_t next = 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (taken < 3000 && std::chrono::steady_clock::now() < deadline) {
    const uint8_t *data = TakeSoundBlock(&block);
    if (!data) {
      std::this_thread::yield();
      continue;
    }
    ASSERT_EQ(block.stagingBytes, block.bufferBytes);
    const auto *samples = reinterpret_cast<const uint16_t *>(data);
    if (taken > 0) {
      ASSERT_EQ(uint16_t(samples[0]), next) << "block " << taken << " out of order";
    }
    for (uint32_t i = 1; i < samplesPerBlock; ++i) ASSERT_EQ(uint16_t(samples[i]), uint16_t(samples[0] + i));
    next = uint16_t(samples[0] + samplesPerBlock);
    ++taken;
  }
  done = true;
  clock.join();
  EXPECT_EQ(taken, 3000u);
  StopSound(&block, 0);
  for (uint32_t i = 0; i < block.bufferCount; ++i) EXPECT_FALSE(block.headers[i].dwFlags & WHDR_PREPARED);
  CloseSound(&block);
  EXPECT_EQ(block.device, nullptr);
  FreeSoundBuffers(&block);
}

}  // namespace
