// waveIn over the emulated microphone, driven through the SDK interface.
#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <deque>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "device/microphone.h"
#include "device/profile.h"
#include "media.h"
#include "recording.h"

namespace {

WAVEFORMATEX Pcm(uint32_t rate = 8000, uint16_t channels = 1) {
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = channels;
  f.nSamplesPerSec = rate;
  f.wBitsPerSample = 16;
  f.nBlockAlign = uint16_t(2 * channels);
  f.nAvgBytesPerSec = rate * f.nBlockAlign;
  return f;
}

// What the driver's callback reported.
struct Callbacks {
  std::mutex lock;
  std::condition_variable changed;
  std::vector<WAVEHDR *> data;
  int opens = 0;
  int closes = 0;
  bool onCallerThread = false;
  std::thread::id caller = std::this_thread::get_id();

  static void CALLBACK Record(HWAVEIN, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
    auto *c = reinterpret_cast<Callbacks *>(instance);
    std::lock_guard<std::mutex> held(c->lock);
    if (message == WIM_OPEN) ++c->opens;
    if (message == WIM_CLOSE) ++c->closes;
    if (message == WIM_DATA) {
      c->data.push_back(reinterpret_cast<WAVEHDR *>(param1));
      c->onCallerThread = c->onCallerThread || std::this_thread::get_id() == c->caller;
    }
    c->changed.notify_all();
  }

  // Waits until `count` buffers came back.
  bool await(size_t count) {
    std::unique_lock<std::mutex> held(lock);
    return changed.wait_for(held, std::chrono::seconds(20), [&] { return data.size() >= count; });
  }
};

struct Buffer {
  Buffer(const Buffer &) = delete;
  explicit Buffer(size_t samples) : samples(samples) {
    header.lpData = reinterpret_cast<LPSTR>(this->samples.data());
    header.dwBufferLength = DWORD(samples * 2);
  }
  std::vector<int16_t> samples;
  WAVEHDR header{};
};

class WaveInTest : public testing::Test {
 protected:
  // Opens the microphone of `value` with the test's callback.
  MMRESULT open(const std::string &value, const WAVEFORMATEX &format = Pcm(), DWORD flags = CALLBACK_FUNCTION) {
    microphone_ = std::make_unique<TestMicrophone>(value, 5000);
    return waveInOpen(&device_, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(&Callbacks::Record),
                      reinterpret_cast<DWORD_PTR>(&callbacks_), flags);
  }
  void add(Buffer &b) {
    ASSERT_EQ(waveInPrepareHeader(device_, &b.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInAddBuffer(device_, &b.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  }
  void TearDown() override {
    if (device_) {
      waveInReset(device_);
      EXPECT_EQ(waveInClose(device_), MMSYSERR_NOERROR);
    }
  }

  Callbacks callbacks_;
  HWAVEIN device_ = nullptr;
  std::unique_ptr<TestMicrophone> microphone_;
};

TEST_F(WaveInTest, OpenRefusesWhatTheHandsetCannotDo) {
  struct Case {
    const char *name;
    const char *microphone;
    WAVEFORMATEX format;
    DWORD flags;
    MMRESULT expected;
  } cases[] = {
      {"44.1 kHz", "tone", Pcm(44100), CALLBACK_FUNCTION, WAVERR_BADFORMAT},
      {"stereo", "tone", Pcm(8000, 2), CALLBACK_FUNCTION, WAVERR_BADFORMAT},
      {"window callback", "tone", Pcm(), CALLBACK_WINDOW, MMSYSERR_NOTSUPPORTED},
      {"no microphone", "none", Pcm(), CALLBACK_FUNCTION, MMSYSERR_BADDEVICEID},
      {"no such ALSA device", "alsa:no-such-device", Pcm(), CALLBACK_FUNCTION, MMSYSERR_NODRIVER},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    device_ = nullptr;
    EXPECT_EQ(open(c.microphone, c.format, c.flags), c.expected);
    EXPECT_EQ(device_, nullptr);
  }
  EXPECT_EQ(waveInGetNumDevs(), 1u);
  for (const char *none : {"none", "no"}) {
    TestMicrophone microphone(none);
    EXPECT_EQ(waveInGetNumDevs(), 0u) << none;
  }
  TestMicrophone yes("yes");
  EXPECT_EQ(waveInGetNumDevs(), 1u);
}

TEST_F(WaveInTest, FormatQueryOpensNothing) {
  EXPECT_EQ(open("tone", Pcm(), CALLBACK_FUNCTION | WAVE_FORMAT_QUERY), MMSYSERR_NOERROR);
  EXPECT_EQ(device_, nullptr);
  EXPECT_EQ(callbacks_.opens, 0);
}

TEST_F(WaveInTest, BuffersComeBackInOrderOnTheDriversThread) {
  ASSERT_EQ(open("counter"), MMSYSERR_NOERROR);
  EXPECT_EQ(callbacks_.opens, 1);
  std::deque<Buffer> buffers;
  for (int i = 0; i < 4; ++i) add(buffers.emplace_back(400));  // 50 ms each
  ASSERT_EQ(waveInStart(device_), MMSYSERR_NOERROR);
  EXPECT_EQ(waveInUnprepareHeader(device_, &buffers[0].header, sizeof(WAVEHDR)), WAVERR_STILLPLAYING);
  EXPECT_EQ(waveInClose(device_), WAVERR_STILLPLAYING);
  device::advanceMicrophoneClock(160);  // three buffers and a part of the fourth
  ASSERT_TRUE(callbacks_.await(3));
  // A stop returns the buffer being filled with what it holds so far.
  ASSERT_EQ(waveInStop(device_), MMSYSERR_NOERROR);
  ASSERT_TRUE(callbacks_.await(4));
  EXPECT_FALSE(callbacks_.onCallerThread);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(callbacks_.data[i], &buffers[i].header);
    EXPECT_TRUE(buffers[i].header.dwFlags & WHDR_DONE);
    EXPECT_FALSE(buffers[i].header.dwFlags & WHDR_INQUEUE);
  }
  EXPECT_EQ(buffers[3].header.dwBytesRecorded, 10u * 8 * 2);
  // The counter microphone's samples tell their position: 5 s, then on without a gap.
  for (size_t i = 0; i < 4; ++i)
    for (size_t j = 0; j < buffers[i].header.dwBytesRecorded / 2; ++j)
      ASSERT_EQ(uint16_t(buffers[i].samples[j]), uint16_t(40000 + i * 400 + j)) << i << ", " << j;
  for (Buffer &b : buffers) EXPECT_EQ(waveInUnprepareHeader(device_, &b.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  EXPECT_EQ(waveInClose(device_), MMSYSERR_NOERROR);
  EXPECT_EQ(callbacks_.closes, 1);
  EXPECT_EQ(waveInClose(device_), MMSYSERR_INVALHANDLE);
  device_ = nullptr;
}

TEST_F(WaveInTest, ResetReturnsEveryBuffer) {
  ASSERT_EQ(open("tone"), MMSYSERR_NOERROR);
  Buffer unprepared(400);
  EXPECT_EQ(waveInAddBuffer(device_, &unprepared.header, sizeof(WAVEHDR)), WAVERR_UNPREPARED);
  std::deque<Buffer> buffers;
  for (int i = 0; i < 3; ++i) add(buffers.emplace_back(400));
  ASSERT_EQ(waveInStart(device_), MMSYSERR_NOERROR);
  ASSERT_EQ(waveInReset(device_), MMSYSERR_NOERROR);
  ASSERT_TRUE(callbacks_.await(3));
  for (Buffer &b : buffers) {
    EXPECT_EQ(b.header.dwBytesRecorded, 0u);
    EXPECT_EQ(waveInUnprepareHeader(device_, &b.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  }
}

// The tone tells the time: each second begins with a 100 ms beep whose pitch names the second.
TEST(Microphone, ToneIsTimeCoded) {
  for (uint64_t second : {5u, 6u, 13u}) {
    SCOPED_TRACE(second);
    uint64_t first = second * 8000;
    int crossings = 0;
    for (uint64_t n = first + 1; n < first + 800; ++n)
      crossings += (device::toneSample(n - 1) < 0) != (device::toneSample(n) < 0);
    // Two sign changes per period over 0.1 s.
    EXPECT_NEAR(crossings, 2 * 0.1 * device::toneFrequency(second), 2);
    int peak = 0;
    for (uint64_t n = first; n < first + 800; ++n) peak = std::max<int>(peak, std::abs(device::toneSample(n)));
    EXPECT_GT(peak, device::kToneAmplitude * 0.95);
    for (uint64_t n = first + 800; n < first + 8000; ++n) ASSERT_EQ(device::toneSample(n), 0) << n;
  }
}

TEST(Microphone, WavFileIsPlayedInALoop) {
  std::string dir = MakeTempDir();
  std::vector<int16_t> samples(1000);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = int16_t(i * 37 - 9000);
  auto writeWav = [&](const std::string &name, uint16_t channels) {
    std::ofstream out(dir + "/" + name, std::ios::binary);
    auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char *>(&v), 4); };
    auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char *>(&v), 2); };
    out.write("RIFF", 4);
    u32(36 + 2000);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(channels);
    u32(8000);
    u32(16000 * channels);
    u16(uint16_t(2 * channels));
    u16(16);
    out.write("data", 4);
    u32(2000);
    out.write(reinterpret_cast<const char *>(samples.data()), 2000);
  };
  writeWav("speech.wav", 1);
  writeWav("stereo.wav", 2);
  device::Profile profile = device::Profile::parse("microphone = wav:speech.wav\n", dir + "/h.profile");
  std::unique_ptr<device::Microphone> mic = device::openMicrophone(profile);
  ASSERT_NE(mic, nullptr);
  std::vector<int16_t> got(1500);
  ASSERT_TRUE(mic->read(got.data(), got.size(), 123400));
  for (size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], samples[(123400 + i) % 1000]) << i;

  device::Profile stereo = device::Profile::parse("\nmicrophone = wav:stereo.wav\n", dir + "/s.profile");
  try {
    device::openMicrophone(stereo);
    ADD_FAILURE() << "a stereo file was taken";
  } catch (const device::ProfileError &e) {
    EXPECT_NE(std::string(e.what()).find("s.profile:2: microphone:"), std::string::npos) << e.what();
  }
}

TEST(Microphone, ProfileValuesAreChecked) {
  for (const char *good : {"yes", "no", "tone", "counter", "none", "wav:x.wav", "alsa", "alsa:hw:0"})
    EXPECT_NO_THROW(device::Profile::parse(std::string("microphone = ") + good + "\n", "p.profile")) << good;
  for (const char *bad : {"bogus", "wav:", "tone:x", "Tone"})
    EXPECT_THROW(device::Profile::parse(std::string("microphone = ") + bad + "\n", "p.profile"),
                 device::ProfileError)
        << bad;
}

}  // namespace
