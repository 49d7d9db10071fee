// Reads a recording of the emulated camera with the time-coded microphone and tells, from the
// file alone, how far sound and pictures drift apart and whether anything was lost.
//
// Both stand-ins run on the handset's one clock: every picture carries the clock's ms at its
// capture in its frame stamp, and every second of sound starts with a 100 ms beep whose pitch
// (500 + 100 × (second mod 10) Hz) names the second. The sound is continuous, so one beep fixes
// the clock the sound plays at every file time; each picture, where it first shows, is compared
// with it. The difference has a constant part (the way from the camera to the file, and the
// writer placing a late picture in the first slot still open), averaged over the first ten
// seconds; the drift is how far it has moved over the last ten.
//
//   avi_drift FILE.avi [recorded-seconds]
// prints the counts, the difference at the start and the end and the drift, and exits 1 when
// the drift passes one frame interval, a block of sound is missing or out of place, or (given
// the seconds recorded) the file holds more than a second less than that time.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "device/microphone.h"
#include "tests/support/stamp.h"

namespace {

constexpr uint32_t kMoviOffset = 344;  // the "movi" identifier; index offsets count from here
constexpr uint32_t kSamplesPerMs = 8;
constexpr int kBeepThreshold = device::kToneAmplitude / 4;

uint32_t U32(const std::vector<uint8_t> &b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

struct Entry {
  bool video;
  uint32_t offset;  // of the chunk header in the file
  uint32_t size;
};

struct Beep {
  uint64_t sample;  // position in the file's sound
  int digit;        // the second it names, mod 10
};

// The beeps of the sound: each starts after at least half a second of silence; its pitch comes
// from the zero crossings of its 100 ms.
std::vector<Beep> FindBeeps(const std::vector<int16_t> &sound) {
  std::vector<Beep> beeps;
  const size_t beepSamples = device::kToneBeepMs * kSamplesPerMs;
  size_t quiet = 0;  // a beep cut by the start of the recording is not taken
  for (size_t i = 0; i < sound.size(); ++i) {
    if (std::abs(int(sound[i])) < kBeepThreshold) {
      ++quiet;
      continue;
    }
    if (quiet >= 500 * kSamplesPerMs && i + beepSamples <= sound.size()) {
      // The beep's first loud sample is within a sample of its true start.
      const size_t start = i;
      int crossings = 0;
      for (size_t k = start + 1; k < start + beepSamples; ++k)
        crossings += (sound[k - 1] < 0) != (sound[k] < 0);
      const double hz = crossings / 2.0 / (device::kToneBeepMs / 1000.0);
      beeps.push_back({start, int(std::lround((hz - 500) / 100)) % 10});
    }
    quiet = 0;
  }
  return beeps;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE.avi [recorded-seconds]\n", argv[0]);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (file.size() < 360 || std::memcmp(file.data(), "RIFF", 4) != 0) {
    std::fprintf(stderr, "%s: not a finished AVI\n", argv[1]);
    return 2;
  }
  const double interval = U32(file, 32) / 1000.0;  // the main header's µs per frame, in ms
  // The index follows "movi".
  const size_t idx1 = kMoviOffset + 4 + U32(file, kMoviOffset - 4) - 4;
  if (idx1 + 8 > file.size() || std::memcmp(&file[idx1], "idx1", 4) != 0 || interval <= 0) {
    std::fprintf(stderr, "%s: no index where the movi list ends\n", argv[1]);
    return 2;
  }
  std::vector<Entry> entries;
  const size_t indexEnd = std::min(file.size(), idx1 + 8 + U32(file, idx1 + 4));
  for (size_t at = idx1 + 8; at + 16 <= indexEnd; at += 16) {
    const Entry e{std::memcmp(&file[at], "00dc", 4) == 0, U32(file, at + 8) + kMoviOffset, U32(file, at + 12)};
    if (e.offset + 8 + size_t(e.size) > file.size()) {
      std::fprintf(stderr, "%s: an index entry points past the end\n", argv[1]);
      return 2;
    }
    entries.push_back(e);
  }

  // The pictures' stamps by slot, and the sound in file order.
  std::vector<std::optional<device::FrameStamp>> slots;
  std::vector<int16_t> sound;
  uint32_t pictures = 0, soundChunks = 0, unstamped = 0, lastChunk = 0;
  std::optional<device::FrameStamp> last;
  for (const Entry &e : entries) {
    const uint8_t *data = &file[e.offset + 8];
    if (e.video) {
      if (e.offset != lastChunk) {
        ++pictures;
        lastChunk = e.offset;
        last = ReadFrameStampFromJpeg(std::vector<uint8_t>(data, data + e.size));
        unstamped += !last;
      }
      slots.push_back(last);
    } else {
      ++soundChunks;
      const size_t samples = U32(file, e.offset + 4) / 2;
      const auto *s = reinterpret_cast<const int16_t *>(data);
      sound.insert(sound.end(), s, s + samples);
    }
  }

  const std::vector<Beep> beeps = FindBeeps(sound);
  // The beeps must come exactly a second apart and count the seconds on: a lost or doubled
  // block of sound moves every beep after it.
  uint32_t soundFaults = 0;
  for (size_t j = 1; j < beeps.size(); ++j)
    soundFaults += beeps[j].sample - beeps[j - 1].sample != 1000 * kSamplesPerMs ||
                   beeps[j].digit != (beeps[j - 1].digit + 1) % 10;

  // The sound is continuous, so one beep fixes the clock it plays at every file time: the
  // beep's second is the whole second nearest to what the picture shown then says whose last
  // digit the pitch names.
  std::optional<double> soundClockAtZero;
  for (const Beep &beep : beeps) {
    const double at = double(beep.sample) / kSamplesPerMs;
    const size_t slot = size_t(at / interval);
    if (slot >= slots.size() || !slots[slot]) continue;
    const int64_t near = std::llround((slots[slot]->ms + (at - slot * interval)) / 1000);
    for (int64_t d = 0; d < 10 && !soundClockAtZero; ++d)
      for (int64_t c : {near - d, near + d})
        if (!soundClockAtZero && ((c % 10) + 10) % 10 == beep.digit) soundClockAtZero = double(c) * 1000 - at;
    break;
  }
  // Each picture where it first shows: its capture time minus the sound's clock there.
  std::vector<std::pair<double, double>> drift;  // file time (ms), drift (ms)
  for (size_t i = 0; soundClockAtZero && i < slots.size(); ++i) {
    if (!slots[i] || (i > 0 && slots[i - 1] && slots[i - 1]->frame == slots[i]->frame)) continue;
    const double played = std::fmod(*soundClockAtZero + i * interval, 4294967296.0);
    drift.emplace_back(i * interval, slots[i]->ms - played);
  }
  auto mean = [&](double from, double to) {
    double sum = 0;
    int n = 0;
    for (const auto &[at, d] : drift)
      if (at >= from && at < to) sum += d, ++n;
    return n ? sum / n : NAN;
  };
  const double seconds = slots.size() * interval / 1000;
  std::printf("frame interval      %.1f ms\n", interval);
  std::printf("slots               %zu (%.1f s), pictures %u, repeats %zu, unstamped %u\n", slots.size(), seconds,
              pictures, slots.size() - pictures, unstamped);
  std::printf("sound               %u blocks, %.1f s, %zu beeps, %u out of step\n", soundChunks,
              double(sound.size()) / (kSamplesPerMs * 1000), beeps.size(), soundFaults);
  bool ok = soundFaults == 0 && !drift.empty();
  if (!drift.empty()) {
    const double total = slots.size() * interval, window = 10000;
    const double first = mean(0, window), last = mean(total - window, total);
    double largest = 0;
    for (const auto &[at, d] : drift) largest = std::max(largest, std::fabs(d));
    std::printf("capture − sound     first 10 s %+.1f ms, last 10 s %+.1f ms, largest %.1f ms\n", first, last,
                largest);
    std::printf("drift               %+.1f ms (%.2f frame intervals)\n", last - first, (last - first) / interval);
    ok = ok && std::fabs(last - first) <= interval;
  }
  if (argc > 2) {
    const double recorded = std::atof(argv[2]);
    std::printf("recorded            %.1f s: %.1f %% of it in the file\n", recorded, 100 * seconds / recorded);
    ok = ok && seconds >= recorded - 1;
  }
  std::printf("%s\n", ok ? "in step, nothing lost" : "FAILED");
  return ok ? 0 : 1;
}
