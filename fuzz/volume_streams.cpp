// Volume streams: a sequence of seeks, writes (plain and gathered), reads, tells and reopenings
// on a file of a memory volume with a capacity of 64K, run against a model of what the volume
// promises. Every write gives the bytes the volume can hold and no more; a write that starts
// beyond what it can hold writes nothing; the file always holds what the model holds, and the
// volume's free space is its capacity less the file's size.
#include <sys/stat.h>
#include <windows.h>

#include <cestdio.h>
#include <cstring>
#include <fstream>
#include <iterator>

#include "support.h"

namespace {

constexpr char16_t kFile[] = u"\\stream.bin";
constexpr size_t kLargest = 40000;  // a write of up to this many bytes: two may fill the volume

uint64_t freeSpace() {
  ULARGE_INTEGER available{}, total{}, free{};
  if (!GetDiskFreeSpaceExW(u"\\", &available, &total, &free)) fuzz::fail("the volume tells its free space");
  return available.QuadPart;
}

struct Model {
  std::string content;
  uint64_t position = 0;
  bool append = false;
  uint64_t freeAtStart = 0;

  uint64_t free() const { return freeAtStart - content.size(); }
  // What a write of `length` bytes does: where it lands, and how much of it the volume holds.
  size_t write(const char *bytes, size_t length) {
    const uint64_t at = append ? content.size() : position;
    const uint64_t limit = content.size() + std::min<uint64_t>(free(), at + length > content.size() ? at + length - content.size() : 0);
    const size_t done = limit > at ? size_t(std::min<uint64_t>(length, limit - at)) : 0;
    if (done) {
      if (at + done > content.size()) content.resize(at + done, '\0');
      content.replace(at, done, bytes, done);
    }
    position = at + done;
    return done;
  }
};

char g_pattern[kLargest];

void checkFile(const Model &model, FILE *file) {
  struct stat info;
  fuzz::check(stat((fuzz::handsetRoot() + "/stream.bin").c_str(), &info) == 0, "the file is there");
  fuzz::check(uint64_t(info.st_size) == model.content.size(), "the file has the model's size",
              std::to_string(info.st_size) + " against " + std::to_string(model.content.size()));
  fuzz::check(freeSpace() == model.free(), "the volume's free space is its capacity less the file",
              std::to_string(freeSpace()) + " against " + std::to_string(model.free()));
  fuzz::check(ftell(file) == long(model.position), "the stream stands where the model does",
              std::to_string(ftell(file)) + " against " + std::to_string(model.position));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const bool handset = (fuzz::useTemporaryHandset("memory = 64K\n"), true);
  (void)handset;
  DeleteFileW(kFile);
  fuzz::Reader in(data, size);
  Model model;
  model.freeAtStart = freeSpace();
  model.append = in.byte() & 1;
  FILE *file = _wfopen(kFile, model.append ? u"a+b" : u"w+b");
  fuzz::check(file != nullptr, "the stream opens");
  unsigned stamp = 0;
  for (int steps = 0; in.left() && steps < 64; ++steps) {
    clearerr(file);
    const uint8_t op = in.byte();
    switch (op % 9) {
      case 0: {  // write
        const size_t length = in.u16() % kLargest;
        for (size_t i = 0; i < length; ++i) g_pattern[i] = char(stamp + i * 7);
        ++stamp;
        fseek(file, 0, SEEK_CUR);  // a positioning call between reading and writing
        const size_t done = fwrite(g_pattern, 1, length, file);
        const size_t expected = length ? model.write(g_pattern, length) : 0;
        fuzz::check(done == expected, "a write writes what the volume holds",
                    std::to_string(done) + " against " + std::to_string(expected));
        break;
      }
      case 1: {  // gathered write
        const size_t first = in.u16() % kLargest, second = in.byte() * 64;
        for (size_t i = 0; i < kLargest; ++i) g_pattern[i] = char(stamp * 3 + i);
        ++stamp;
        const FWRITEPIECE pieces[] = {{g_pattern, first}, {nullptr, 0}, {g_pattern + 5, std::min(second, kLargest - 5)}};
        std::string joined = std::string(g_pattern, first) + std::string(g_pattern + 5, std::min(second, kLargest - 5));
        const size_t done = _fwritegather(file, pieces, 3);
        const size_t expected = model.write(joined.data(), joined.size());
        fuzz::check(done == expected, "a gathered write writes what the volume holds",
                    std::to_string(done) + " against " + std::to_string(expected));
        break;
      }
      case 2: {  // read
        const size_t length = in.u16() % kLargest;
        std::string back(length, '\0');
        fseek(file, 0, SEEK_CUR);
        const size_t got = fread(back.data(), 1, length, file);
        const size_t expected = model.position < model.content.size()
                                    ? std::min<size_t>(length, model.content.size() - model.position)
                                    : 0;
        fuzz::check(got == expected, "a read gets what the file holds from the position");
        fuzz::check(!got || back.compare(0, got, model.content, size_t(model.position), got) == 0,
                    "a read gets the bytes written");
        model.position += got;
        break;
      }
      case 3:
      case 4:
      case 5: {  // seek from the start, the position or the end
        const int whence = op % 9 == 3 ? SEEK_SET : op % 9 == 4 ? SEEK_CUR : SEEK_END;
        const long offset = long(int32_t(in.u32())) % 150000;
        const int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? int64_t(model.position) : int64_t(model.content.size());
        const bool valid = base + offset >= 0;
        fuzz::check((fseek(file, offset, whence) == 0) == valid, "a seek fails only before the start");
        if (valid) model.position = uint64_t(base + offset);
        break;
      }
      case 6: {  // one character
        fseek(file, 0, SEEK_CUR);
        const char c = char(in.byte());
        const bool put = fputc(static_cast<unsigned char>(c), file) != EOF;
        fuzz::check(put == (model.write(&c, 1) == 1), "a character is written when the volume holds it");
        break;
      }
      case 7:  // flush
        fuzz::check(fflush(file) == 0, "a flush succeeds");
        break;
      default:  // close and open again for update
        fuzz::check(fclose(file) == 0, "the stream closes");
        file = _wfopen(kFile, u"r+b");
        fuzz::check(file != nullptr, "the stream opens again");
        model.append = false;
        model.position = 0;
        break;
    }
    checkFile(model, file);
  }
  fuzz::check(fclose(file) == 0, "the stream closes");
  std::ifstream back(fuzz::handsetRoot() + "/stream.bin", std::ios::binary);
  const std::string held{std::istreambuf_iterator<char>(back), {}};
  fuzz::check(held == model.content, "the file holds what was written");
  return 0;
}
