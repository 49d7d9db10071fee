// The handset's microphone: 8 kHz, 16-bit mono samples for the platform's waveIn driver.
//
// The profile key "microphone" chooses what it hears:
//   tone        (the default; also "yes") the time-coded test tone, see toneSample()
//   counter     sample n is the low 16 bits of n: every sample tells its own position
//   wav:FILE    a 16-bit mono 8 kHz PCM WAV file, looped; FILE is relative to the profile's folder
//   alsa[:PCM]  a real microphone through ALSA (PCM defaults to "default")
//   none        (also "no") the handset has no microphone
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace device {

class Profile;

constexpr uint32_t kMicrophoneRate = 8000;  // samples per second
constexpr uint32_t kSamplesPerMs = kMicrophoneRate / 1000;

// The microphone's clock in milliseconds: sample n is captured at n / 8 ms. It runs with the
// host's monotonic clock unless a test takes it over with setMicrophoneClock().
uint64_t microphoneClock();
// Stops the clock at `ms`; from then on only advanceMicrophoneClock() moves it.
void setMicrophoneClock(uint64_t ms);
void advanceMicrophoneClock(uint64_t ms);
// Back to the host's monotonic clock.
void releaseMicrophoneClock();

class Microphone {
 public:
  virtual ~Microphone() = default;
  // A live microphone's read() waits until the samples were captured; the others are pure
  // functions of the sample position and the caller paces them with microphoneClock().
  virtual bool live() const { return false; }
  // Fills out[0, count) with the samples from position `first` on (a live microphone ignores
  // `first`). False when the microphone failed.
  virtual bool read(int16_t *out, size_t count, uint64_t first) = 0;
};

// Whether the profile gives the handset a microphone at all.
bool hasMicrophone(const Profile &profile);
// The microphone the profile names, or null when the handset has none or a live one cannot be
// opened. Throws ProfileError for a WAV file that cannot be used.
std::unique_ptr<Microphone> openMicrophone(const Profile &profile);

// The time-coded tone. Every second of the microphone clock starts with a 100 ms beep of
// 500 + 100 × (second mod 10) Hz at amplitude 8000, followed by 900 ms of silence, so the
// position of a beep tells when it was captured.
int16_t toneSample(uint64_t n);
constexpr uint32_t kToneBeepMs = 100;
constexpr int16_t kToneAmplitude = 8000;
inline uint32_t toneFrequency(uint64_t second) { return 500 + 100 * uint32_t(second % 10); }

}  // namespace device
