#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

#include "backends.h"
#include "schema.h"
#include "device/profile.h"

namespace device {
namespace {

constexpr int64_t kRealClock = -1;
std::atomic<int64_t> manualClock{kRealClock};

class ToneMicrophone : public Microphone {
 public:
  bool read(int16_t *out, size_t count, uint64_t first) override {
    for (size_t i = 0; i < count; ++i) out[i] = toneSample(first + i);
    return true;
  }
};

class CounterMicrophone : public Microphone {
 public:
  bool read(int16_t *out, size_t count, uint64_t first) override {
    for (size_t i = 0; i < count; ++i) out[i] = int16_t(uint16_t(first + i));
    return true;
  }
};

class WavMicrophone : public Microphone {
 public:
  explicit WavMicrophone(std::vector<int16_t> samples) : samples_(std::move(samples)) {}
  bool read(int16_t *out, size_t count, uint64_t first) override {
    for (size_t i = 0; i < count; ++i) out[i] = samples_[(first + i) % samples_.size()];
    return true;
  }

 private:
  std::vector<int16_t> samples_;
};

uint32_t le32(const std::vector<uint8_t> &b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}
uint16_t le16(const std::vector<uint8_t> &b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }

// The samples of a 16-bit mono 8 kHz PCM WAV file; throws a message for anything else.
std::vector<int16_t> readWav(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read \"" + path + "\"");
  std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (b.size() < 12 || std::string(b.begin(), b.begin() + 4) != "RIFF" ||
      std::string(b.begin() + 8, b.begin() + 12) != "WAVE")
    throw std::runtime_error("\"" + path + "\" is not a WAV file");
  bool formatOk = false;
  for (size_t at = 12; at + 8 <= b.size();) {
    std::string id(b.begin() + at, b.begin() + at + 4);
    uint64_t size = le32(b, at + 4);
    size_t body = at + 8;
    if (body + size > b.size()) size = b.size() - body;
    if (id == "fmt " && size >= 16) {
      formatOk = le16(b, body) == 1 && le16(b, body + 2) == 1 && le32(b, body + 4) == kMicrophoneRate &&
                 le16(b, body + 14) == 16;
      if (!formatOk) throw std::runtime_error("\"" + path + "\" is not 16-bit mono 8000 Hz PCM");
    } else if (id == "data") {
      if (!formatOk) break;
      std::vector<int16_t> samples(size / 2);
      for (size_t i = 0; i < samples.size(); ++i) samples[i] = int16_t(le16(b, body + 2 * i));
      if (samples.empty()) throw std::runtime_error("\"" + path + "\" holds no samples");
      return samples;
    }
    at = body + size + (size & 1);
  }
  throw std::runtime_error("\"" + path + "\" has no PCM format and data chunks");
}

struct Backend {
  const char *name;  // the value, or its part before ':'
  bool takesArgument;
  std::unique_ptr<Microphone> (*create)(const std::string &argument, const Profile &profile);
};

const Backend backends[] = {
    {"tone", false, [](const std::string &, const Profile &) -> std::unique_ptr<Microphone> {
       return std::make_unique<ToneMicrophone>();
     }},
    {"counter", false, [](const std::string &, const Profile &) -> std::unique_ptr<Microphone> {
       return std::make_unique<CounterMicrophone>();
     }},
    {"wav", true, [](const std::string &file, const Profile &profile) -> std::unique_ptr<Microphone> {
       std::filesystem::path path(file);
       if (path.is_relative()) path = std::filesystem::path(profile.path()).parent_path() / path;
       try {
         return std::make_unique<WavMicrophone>(readWav(path.string()));
       } catch (const std::runtime_error &e) {
         throw ProfileError(profile.where(*profile.find("microphone")) + ": microphone: " + e.what());
       }
     }},
    {"alsa", true, [](const std::string &pcm, const Profile &) {
       return openAlsaMicrophone(pcm.empty() ? "default" : pcm);
     }},
    {"none", false, [](const std::string &, const Profile &) -> std::unique_ptr<Microphone> {
       return nullptr;
     }},
};

// The profile may also say only whether there is a microphone: yes is the tone, no is none.
const Backend *findBackend(const std::string &given, std::string *argument) {
  std::optional<bool> present = parseFlag(given);
  std::string value = present ? (*present ? "tone" : "none") : given;
  size_t colon = value.find(':');
  std::string name = value.substr(0, colon);
  for (const Backend &backend : backends) {
    if (name != backend.name) continue;
    if (colon != std::string::npos && !backend.takesArgument) return nullptr;
    *argument = colon == std::string::npos ? std::string() : value.substr(colon + 1);
    return &backend;
  }
  return nullptr;
}

}  // namespace

uint64_t microphoneClock() {
  int64_t manual = manualClock.load(std::memory_order_acquire);
  if (manual != kRealClock) return uint64_t(manual);
  return uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count());
}

void setMicrophoneClock(uint64_t ms) { manualClock.store(int64_t(ms), std::memory_order_release); }

void advanceMicrophoneClock(uint64_t ms) { manualClock.fetch_add(int64_t(ms), std::memory_order_acq_rel); }

void releaseMicrophoneClock() { manualClock.store(kRealClock, std::memory_order_release); }

int16_t toneSample(uint64_t n) {
  uint64_t second = n / kMicrophoneRate;
  uint64_t inSecond = n % kMicrophoneRate;
  if (inSecond >= kToneBeepMs * kSamplesPerMs) return 0;
  double phase = 2.0 * M_PI * toneFrequency(second) * double(inSecond) / kMicrophoneRate;
  return int16_t(std::lround(kToneAmplitude * std::sin(phase)));
}

std::string checkMicrophone(const std::string &value) {
  std::string argument;
  const Backend *backend = findBackend(value, &argument);
  if (!backend)
    return "expected yes, no, tone, counter, wav:FILE, alsa[:PCM] or none, found \"" + value + "\"";
  if (std::string(backend->name) == "wav" && argument.empty()) return "wav: needs a file name";
  return {};
}

bool hasMicrophone(const Profile &profile) {
  std::string argument;
  const Backend *backend = findBackend(profile.text("microphone", "tone"), &argument);
  return backend && std::string(backend->name) != "none";
}

std::unique_ptr<Microphone> openMicrophone(const Profile &profile) {
  std::string argument;
  const Backend *backend = findBackend(profile.text("microphone", "tone"), &argument);
  return backend ? backend->create(argument, profile) : nullptr;
}

}  // namespace device
