// Writing a 640 × 480 recording of pre-encoded pictures with sound through the AVI writer,
// against plain sequential writes of the same bytes to the same disk.
//
//   record_bench [folder] [--frames N] [--runs N] [--sync] [--host-stream]
//
// The writer's file is opened as a recording opens it: _wfopen on the handset's memory volume,
// whose writes are accounted against its capacity (folder is the handset's root).
// --host-stream gives the writer a plain host stream instead. --sync includes flushing the file
// to the disk (fsync) in both timings.
#include <fcntl.h>
#include <time.h>
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

// Wall time and the CPU time of the calling thread (user and kernel), in seconds.
struct Timing {
  double wall = 1e9, cpu = 1e9;
};

double ThreadCpu() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

class Stopwatch {
 public:
  Timing stop() const {
    return Timing{std::chrono::duration<double>(Clock::now() - wall_).count(), ThreadCpu() - cpu_};
  }

 private:
  Clock::time_point wall_ = Clock::now();
  double cpu_ = ThreadCpu();
};

void KeepBest(Timing &best, const Timing &t) {
  best.wall = std::min(best.wall, t.wall);
  best.cpu = std::min(best.cpu, t.cpu);
}

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
Timing Record(const std::string &path, bool hostStream, const std::vector<std::vector<uint8_t>> &pictures, int frames,
              bool sync) {
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
  std::u16string handsetPath = u"\\record_bench.avi";
  Stopwatch clock;
  FILE *file = hostStream ? std::fopen(path.c_str(), "wb") : _wfopen(handsetPath.c_str(), u"wb");
  if (!file || !OpenAviFile(w, file, kWidth, kHeight, 1) || !w->soundOn) {
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
  Timing t = clock.stop();
  StopSound(&w->soundBlock, 1);
  CloseSound(&w->soundBlock);
  DestroyAviWriter(w);
  return t;
}

// The same bytes written front to back in blocks of 1 MiB.
Timing Plain(const std::string &path, const std::vector<uint8_t> &bytes, bool sync) {
  Stopwatch clock;
  FILE *file = std::fopen(path.c_str(), "wb");
  constexpr size_t kBlock = 1 << 20;
  for (size_t at = 0; at < bytes.size(); at += kBlock)
    std::fwrite(bytes.data() + at, 1, std::min(kBlock, bytes.size() - at), file);
  Sync(file, sync);
  std::fclose(file);
  return clock.stop();
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
  bool sync = false, hostStream = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--frames" && i + 1 < argc) frames = std::atoi(argv[++i]);
    else if (a == "--runs" && i + 1 < argc) runs = std::atoi(argv[++i]);
    else if (a == "--sync") sync = true;
    else if (a == "--host-stream") hostStream = true;
    else folder = a;
  }
  // The writer opens the microphone when sound is on; its clock stands still, so the only
  // blocks are those the bench hands over. The handset's memory holds 4 GB.
  device::setRoot(folder);
  device::setCurrent(device::Profile::parse("microphone = tone\nmemory = 4000000000\n", "bench.profile"));
  device::setMicrophoneClock(0);

  std::vector<std::vector<uint8_t>> pictures;
  for (int i = 0; i < 30; ++i) pictures.push_back(Picture(i));
  size_t pictureBytes = 0;
  for (const auto &p : pictures) pictureBytes += p.size();

  std::string avi = folder + "/record_bench.avi", plain = folder + "/record_bench.raw";
  // The recording is the same every time: the plain writes get its bytes, read once.
  Record(avi, hostStream, pictures, frames, sync);
  std::vector<uint8_t> bytes = ReadAll(avi);
  Timing writer, sequential;
  for (int r = 0; r < runs; ++r) {
    KeepBest(writer, Record(avi, hostStream, pictures, frames, sync));
    KeepBest(sequential, Plain(plain, bytes, sync));
  }
  double mb = double(bytes.size()) / 1e6;
  std::printf("%d frames of 640x480 (JPEG %zu bytes on average) with sound: %.1f MB, writer on the %s stream\n",
              frames, pictureBytes / pictures.size(), mb, hostStream ? "host's" : "handset volume's");
  std::printf("AVI writer:        %8.1f ms  %7.1f MB/s   CPU %7.1f ms\n", writer.wall * 1e3, mb / writer.wall,
              writer.cpu * 1e3);
  std::printf("sequential writes: %8.1f ms  %7.1f MB/s   CPU %7.1f ms\n", sequential.wall * 1e3,
              mb / sequential.wall, sequential.cpu * 1e3);
  std::printf("ratio (writer / sequential throughput): %.2f, in CPU time %.2f%s\n", sequential.wall / writer.wall,
              sequential.cpu / writer.cpu, sync ? " (with fsync)" : "");
  std::remove(avi.c_str());
  std::remove(plain.c_str());
  return 0;
}
