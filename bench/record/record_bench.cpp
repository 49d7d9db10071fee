// Writing a 640 × 480 recording of pre-encoded pictures with sound through the AVI writer,
// against plain sequential writes of the same bytes to the same disk.
//
//   record_bench [folder] [--frames N] [--runs N] [--sync]
//
// --sync includes flushing the file to the disk (fsync) in both timings.
#include <fcntl.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "capture/avi.h"
#include "device/microphone.h"
#include "device/profile.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWidth = 640, kHeight = 480;
constexpr uint32_t kInterval = 66;  // 15 frames per second

// A camera-like picture: smooth shapes with sensor noise, so the JPEG has a realistic size.
std::vector<uint8_t> Picture(int seed) {
  std::vector<uint8_t> rgb(size_t(kWidth) * kHeight * 3);
  std::mt19937 noise{uint32_t(seed)};
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      for (int c = 0; c < 3; ++c) {
        int v = (x * (c + 1) + y * (3 - c) + seed * 9) % 256 + int(noise() % 24) - 12;
        rgb[(size_t(y) * kWidth + x) * 3 + c] = uint8_t(std::clamp(v, 0, 255));
      }
  tjhandle tj = tjInitCompress();
  unsigned char *out = nullptr;
  unsigned long size = 0;
  tjCompress2(tj, rgb.data(), kWidth, 0, kHeight, TJPF_RGB, &out, &size, TJSAMP_422, 85, 0);
  std::vector<uint8_t> jpeg(out, out + size);
  tjFree(out);
  tjDestroy(tj);
  return jpeg;
}

void Sync(FILE *f, bool sync) {
  std::fflush(f);
  if (sync) fsync(fileno(f));
}

// The recording through the writer. The bench plays the sound driver: one filled block per
// frame interval is handed to the writer's queue as the driver's callback would.
double Record(const std::string &path, const std::vector<std::vector<uint8_t>> &pictures, int frames, bool sync) {
  AviWriter *w = CreateAviWriter();
  w->frameInterval = kInterval;
  w->sizeLimit = 0x80000000;
  SetupSoundBuffers(&w->soundBlock, kSoundBufferedMs / kInterval, kInterval);
  std::vector<WAVEHDR> blocks(static_cast<size_t>(frames));
  std::vector<std::vector<int16_t>> samples(size_t(frames), std::vector<int16_t>(w->soundBlock.bufferBytes / 2));
  for (size_t i = 0; i < blocks.size(); ++i) {
    for (size_t j = 0; j < samples[i].size(); ++j) samples[i][j] = device::toneSample(i * samples[i].size() + j);
    blocks[i].lpData = reinterpret_cast<LPSTR>(samples[i].data());
    blocks[i].dwBufferLength = blocks[i].dwBytesRecorded = w->soundBlock.bufferBytes;
  }
  auto start = Clock::now();
  FILE *file = std::fopen(path.c_str(), "wb");
  if (!OpenAviFile(w, file, kWidth, kHeight, 1) || !w->soundOn) {
    std::fprintf(stderr, "cannot open %s with sound\n", path.c_str());
    std::exit(1);
  }
  for (int i = 0; i < frames; ++i) {
    if (i > 0) SoundCallback(nullptr, WIM_DATA, reinterpret_cast<DWORD_PTR>(&w->soundBlock),
                             reinterpret_cast<DWORD_PTR>(&blocks[size_t(i - 1)]), 0);
    const std::vector<uint8_t> &previous = pictures[size_t(std::max(i - 1, 0)) % pictures.size()];
    const std::vector<uint8_t> &picture = pictures[size_t(i) % pictures.size()];
    uint32_t tick = 100000 + uint32_t(i) * kInterval;
    if (!WriteVideoSlot(w, previous.data(), uint32_t(previous.size()), tick, 1, 1, 0) ||
        !WriteVideoSlot(w, picture.data(), uint32_t(picture.size()), tick, 0, 1, 0)) {
      std::fprintf(stderr, "recording ended at frame %d\n", i);
      std::exit(1);
    }
  }
  if (CloseAvi(w) != 0) std::exit(1);
  Sync(w->file, sync);
  CloseAviFile(w);
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  StopSound(&w->soundBlock, 1);
  CloseSound(&w->soundBlock);
  DestroyAviWriter(w);
  return seconds;
}

// The same bytes written front to back in blocks of 1 MiB.
double Plain(const std::string &path, const std::vector<uint8_t> &bytes, bool sync) {
  auto start = Clock::now();
  FILE *file = std::fopen(path.c_str(), "wb");
  constexpr size_t kBlock = 1 << 20;
  for (size_t at = 0; at < bytes.size(); at += kBlock)
    std::fwrite(bytes.data() + at, 1, std::min(kBlock, bytes.size() - at), file);
  Sync(file, sync);
  std::fclose(file);
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::vector<uint8_t> ReadAll(const std::string &path) {
  FILE *f = std::fopen(path.c_str(), "rb");
  std::vector<uint8_t> bytes;
  uint8_t buffer[1 << 16];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(f);
  return bytes;
}

}  // namespace

int main(int argc, char **argv) {
  std::string folder = ".";
  int frames = 900, runs = 5;
  bool sync = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--frames" && i + 1 < argc) frames = std::atoi(argv[++i]);
    else if (a == "--runs" && i + 1 < argc) runs = std::atoi(argv[++i]);
    else if (a == "--sync") sync = true;
    else folder = a;
  }
  // The writer opens the microphone when sound is on; its clock stands still, so the only
  // blocks are those the bench hands over.
  device::setCurrent(device::Profile::parse("microphone = tone\n", "bench.profile"));
  device::setMicrophoneClock(0);

  std::vector<std::vector<uint8_t>> pictures;
  for (int i = 0; i < 30; ++i) pictures.push_back(Picture(i));
  size_t pictureBytes = 0;
  for (const auto &p : pictures) pictureBytes += p.size();

  std::string avi = folder + "/record_bench.avi", plain = folder + "/record_bench.raw";
  double best = 1e9, bestPlain = 1e9;
  for (int r = 0; r < runs; ++r) {
    best = std::min(best, Record(avi, pictures, frames, sync));
    bestPlain = std::min(bestPlain, Plain(plain, ReadAll(avi), sync));
  }
  double mb = double(ReadAll(avi).size()) / 1e6;
  std::printf("%d frames of 640x480 (JPEG %zu bytes on average) with sound: %.1f MB\n", frames,
              pictureBytes / pictures.size(), mb);
  std::printf("AVI writer:        %8.1f ms  %7.1f MB/s\n", best * 1e3, mb / best);
  std::printf("sequential writes: %8.1f ms  %7.1f MB/s\n", bestPlain * 1e3, mb / bestPlain);
  std::printf("ratio (writer / sequential throughput): %.2f%s\n", bestPlain / best, sync ? " (with fsync)" : "");
  std::remove(avi.c_str());
  std::remove(plain.c_str());
  return 0;
}
