#include "recording.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "device/microphone.h"
#include "device/profile.h"
#include "media.h"
#include "riff.h"

TestMicrophone::TestMicrophone(const std::string &value, uint64_t startMs) : dir_(MakeTempDir()) {
  device::setCurrent(device::Profile::parse("microphone = " + value + "\n", dir_ + "/test.profile"));
  device::setMicrophoneClock(startMs);
}

TestMicrophone::~TestMicrophone() { device::releaseMicrophoneClock(); }

AviRecording::AviRecording(const std::string &p, uint32_t interval, uint32_t width, uint32_t height, bool sound,
                           uint32_t startTick, FILE *file)
    : writer(CreateAviWriter()), path(p), startTick_(startTick), soundEnd_(uint64_t(startTick) * 8) {
  writer->frameInterval = interval;
  writer->sizeLimit = 0x80000000;
  if (sound) SetupSoundBuffers(&writer->soundBlock, kSoundBufferedMs / interval, interval);
  if (!file) file = fopen(path.c_str(), "wb");
  EXPECT_EQ(OpenAviFile(writer, file, width, height, sound), 1);
  EXPECT_EQ(writer->soundOn, sound ? 1 : 0);
}

AviRecording::~AviRecording() {
  if (!closed_) close();
  DestroyAviWriter(writer);
  delete[] picture_;
}

void AwaitSound(SoundBlock &block, uint64_t start, uint32_t tick, uint64_t *awaited) {
  device::setMicrophoneClock(tick);
  uint64_t perBlock = block.bufferBytes / 2;
  uint64_t end = start + (uint64_t(tick) * 8 - start) / perBlock * perBlock;
  if (end <= *awaited) return;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (true) {
    {
      std::lock_guard<std::mutex> held(block.queueLock);
      const WAVEHDR *tail = block.queueTail;
      if (tail && tail->dwBytesRecorded == block.bufferBytes &&
          reinterpret_cast<const uint16_t *>(tail->lpData)[perBlock - 1] == uint16_t(end - 1))
        break;
    }
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "no sound block up to sample " << end;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  *awaited = end;
}

int AviRecording::frame(uint32_t tick, const std::vector<uint8_t> *picture, int newFrame, uint32_t checksum) {
  if (newFrame < 0) newFrame = picture != nullptr;
  if (writer->soundOn) AwaitSound(writer->soundBlock, uint64_t(startTick_) * 8, tick, &soundEnd_);
  if (!WriteVideoSlot(writer, picture_, uint32_t(last.size()), tick, 1, newFrame, checksum)) return 0;
  if (picture) {
    last = *picture;
    delete[] picture_;
    picture_ = new uint8_t[last.size()];
    std::memcpy(picture_, last.data(), last.size());
  }
  return WriteVideoSlot(writer, picture_, uint32_t(last.size()), tick, 0, newFrame, checksum);
}

int AviRecording::pausedFrame(uint32_t tick) {
  if (writer->soundOn) AwaitSound(writer->soundBlock, uint64_t(startTick_) * 8, tick, &soundEnd_);
  return WritePausedSound(writer);
}

int AviRecording::close() {
  closed_ = true;
  int result = CloseAvi(writer);
  CloseAviFile(writer);
  StopSound(&writer->soundBlock, 0);
  CloseSound(&writer->soundBlock);
  return result;
}

std::vector<uint32_t> SoundGaps(const std::string &path) {
  RiffFile f(path);
  std::vector<uint32_t> gaps;
  bool first = true;
  uint16_t expected = 0;
  for (const AviIndexEntry &e : f.index()) {
    if (e.id != "01wb") continue;
    uint64_t at = uint64_t(e.offset) + 344 + 8;
    uint32_t samples = f.u32(at - 4) / 2;
    for (uint32_t i = 0; i < samples; ++i) {
      uint16_t v = f.u16(at + 2 * i);
      if (!first && v != expected) {
        // Within a chunk the counter must run on; between chunks it may jump forward.
        EXPECT_EQ(i, 0u) << "sound chunk at " << at << " is not contiguous";
        gaps.push_back(uint16_t(v - expected));
      }
      first = false;
      expected = uint16_t(v + 1);
    }
  }
  return gaps;
}
