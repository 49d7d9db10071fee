// The replay and mutation driver of the fuzz targets in the ordinary (gcc) builds, where no
// libFuzzer is at hand: it runs LLVMFuzzerTestOneInput over every file of the folders it is
// given (the seed corpus and the kept regressions), then over inputs mutated from them for a
// few seconds, with a fixed seed so that a run can be repeated. A crash leaves the input that
// caused it in the working folder (or PELKAVO_FUZZ_CRASH_DIR) as crash-<target>-<run>.
//
//   fuzz_TARGET [-seconds=S] [-seed=N] [-max_len=BYTES] FOLDER|FILE...
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) __attribute__((weak));
extern "C" void __sanitizer_set_death_callback(void (*callback)()) __attribute__((weak));

namespace {

using Input = std::vector<uint8_t>;

// The input being run, and where it goes should the run die.
const uint8_t *g_current = nullptr;
size_t g_currentSize = 0;
char g_crashPath[4096];

void keepCurrentInput() {
  if (!g_current || !g_crashPath[0]) return;
  int fd = open(g_crashPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return;
  for (size_t done = 0; done < g_currentSize;) {
    ssize_t n = write(fd, g_current + done, g_currentSize - done);
    if (n <= 0) break;
    done += size_t(n);
  }
  close(fd);
  const char note[] = "\nfuzz driver: the input of this run is kept in ";
  (void)!write(2, note, sizeof note - 1);
  (void)!write(2, g_crashPath, strlen(g_crashPath));
  (void)!write(2, "\n", 1);
  g_current = nullptr;
}

void onFatalSignal(int signal) {
  keepCurrentInput();
  ::signal(signal, SIG_DFL);
  raise(signal);
}

void run(const Input &input, const std::string &target, uint64_t number) {
  std::snprintf(g_crashPath, sizeof g_crashPath, "%s/crash-%s-%llu",
                std::getenv("PELKAVO_FUZZ_CRASH_DIR") ? std::getenv("PELKAVO_FUZZ_CRASH_DIR") : ".",
                target.c_str(), static_cast<unsigned long long>(number));
  // A copy of exactly the input's size, so that the sanitizers see a read past its end.
  uint8_t *copy = static_cast<uint8_t *>(std::malloc(input.size() ? input.size() : 1));
  if (!input.empty()) std::memcpy(copy, input.data(), input.size());
  g_current = copy;
  g_currentSize = input.size();
  LLVMFuzzerTestOneInput(copy, input.size());
  g_current = nullptr;
  std::free(copy);
}

bool readFile(const std::filesystem::path &path, Input &out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), {});
  return true;
}

// Bytes a mutation likes to plant: limits of small integers and the characters parsers split on.
const uint8_t kInteresting[] = {0x00, 0x01, 0x7F, 0x80, 0xFF, 0xFE, '\n', '\r', ' ', '\t', '=', ':', ',', '"', '\\',
                                '[', ']', '#', ';', '0', '9', 'x', '+', '-', '.', '%'};

Input mutate(const std::vector<Input> &pool, std::mt19937_64 &random, size_t maxLen) {
  auto below = [&](size_t n) { return n ? size_t(random() % n) : 0; };
  Input out = pool[below(pool.size())];
  const int steps = 1 + int(below(4));
  for (int step = 0; step < steps; ++step) {
    switch (below(out.empty() ? 2 : 8)) {
      case 0: {  // insert a byte, random or interesting
        uint8_t b = below(2) ? uint8_t(random()) : kInteresting[below(sizeof kInteresting)];
        out.insert(out.begin() + below(out.size() + 1), b);
        break;
      }
      case 1: {  // splice: a piece of another input in the middle of this one
        const Input &other = pool[below(pool.size())];
        if (other.empty()) break;
        size_t from = below(other.size()), length = 1 + below(std::min<size_t>(other.size() - from, 64));
        out.insert(out.begin() + below(out.size() + 1), other.begin() + from, other.begin() + from + length);
        break;
      }
      case 2:  // flip a bit
        out[below(out.size())] ^= uint8_t(1u << below(8));
        break;
      case 3:  // set a byte
        out[below(out.size())] = below(2) ? uint8_t(random()) : kInteresting[below(sizeof kInteresting)];
        break;
      case 4: {  // erase a range
        size_t at = below(out.size()), length = 1 + below(std::min<size_t>(out.size() - at, 16));
        out.erase(out.begin() + at, out.begin() + at + length);
        break;
      }
      case 5: {  // repeat a range
        size_t at = below(out.size()), length = 1 + below(std::min<size_t>(out.size() - at, 32));
        Input piece(out.begin() + at, out.begin() + at + length);
        out.insert(out.begin() + below(out.size() + 1), piece.begin(), piece.end());
        break;
      }
      case 6: {  // cross over: this input's head, another's tail
        const Input &other = pool[below(pool.size())];
        size_t cut = below(out.size() + 1), from = below(other.size() + 1);
        out.resize(cut);
        out.insert(out.end(), other.begin() + from, other.end());
        break;
      }
      default: {  // a digit made larger or a number's byte made extreme
        size_t at = below(out.size());
        if (out[at] >= '0' && out[at] <= '9')
          out.insert(out.begin() + at, size_t(1 + below(12)), uint8_t('9'));
        else
          out[at] = below(2) ? 0xFF : 0x00;
        break;
      }
    }
  }
  if (out.size() > maxLen) out.resize(maxLen);
  return out;
}

}  // namespace

int main(int argc, char **argv) {
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  std::string target = std::filesystem::path(argv[0]).filename().string();
  if (target.starts_with("fuzz_")) target.erase(0, 5);
  double seconds = 2;
  uint64_t seed = 17;
  size_t maxLen = 0;
  std::vector<std::filesystem::path> files;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.starts_with("-seconds=")) {
      seconds = std::atof(arg.c_str() + 9);
    } else if (arg.starts_with("-seed=")) {
      seed = std::strtoull(arg.c_str() + 6, nullptr, 10);
    } else if (arg.starts_with("-max_len=")) {
      maxLen = std::strtoull(arg.c_str() + 9, nullptr, 10);
    } else if (arg.starts_with("-")) {
      std::fprintf(stderr, "usage: %s [-seconds=S] [-seed=N] [-max_len=BYTES] FOLDER|FILE...\n", argv[0]);
      return 2;
    } else if (std::filesystem::is_directory(arg)) {
      std::vector<std::filesystem::path> inFolder;
      for (const auto &entry : std::filesystem::recursive_directory_iterator(arg))
        if (entry.is_regular_file()) inFolder.push_back(entry.path());
      std::sort(inFolder.begin(), inFolder.end());
      files.insert(files.end(), inFolder.begin(), inFolder.end());
    } else if (std::filesystem::is_regular_file(arg)) {
      files.push_back(arg);
    } else {
      std::fprintf(stderr, "%s: %s: no such file or folder\n", argv[0], arg.c_str());
      return 2;
    }
  }

  __sanitizer_set_death_callback ? __sanitizer_set_death_callback(keepCurrentInput) : void();
  for (int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) ::signal(signal, onFatalSignal);

  std::vector<Input> pool;
  uint64_t runs = 0;
  size_t largest = 0;
  for (const auto &path : files) {
    Input input;
    if (!readFile(path, input)) {
      std::fprintf(stderr, "%s: cannot read %s\n", argv[0], path.c_str());
      return 2;
    }
    run(input, target, runs++);
    largest = std::max(largest, input.size());
    pool.push_back(std::move(input));
  }
  const uint64_t replayed = runs;
  if (pool.empty()) pool.emplace_back();
  if (!maxLen) maxLen = std::max<size_t>(4096, 2 * largest);

  std::mt19937_64 random(seed);
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end) {
    Input input = mutate(pool, random, maxLen);
    run(input, target, runs++);
    // Some mutants join the pool, so that mutations build on one another.
    if (random() % 8 == 0) {
      if (pool.size() < 256)
        pool.push_back(std::move(input));
      else if (pool.size() > replayed)
        pool[replayed + random() % (pool.size() - replayed)] = std::move(input);
    }
  }
  std::printf("%s: %llu inputs replayed, %llu mutated (seed %llu, %.1f s)\n", target.c_str(),
              static_cast<unsigned long long>(replayed), static_cast<unsigned long long>(runs - replayed),
              static_cast<unsigned long long>(seed), seconds);
  return 0;
}
