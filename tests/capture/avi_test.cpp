// The AVI writer, driven with explicit ticks and JPEG pictures, its files parsed back.
#include "capture/avi.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "avi_check.h"
#include "capture/avi_repair.h"
#include "device/microphone.h"
#include "media.h"
#include "recording.h"
#include "riff.h"

namespace {

constexpr uint32_t kStart = 100000;  // tick of the first frame
constexpr uint32_t kInterval = 66;

// A file on a disk that holds `capacity` bytes: a write past it writes what fits and fails, as
// on a full disk. The first `failures` writes that reach past `failPast` fail instead. A failing
// write writes nothing and says so with 0, as the platform's streams do (a -1 from a cookie
// makes the C library try again byte by byte).
struct SmallDisk {
  int fd;
  uint64_t position = 0;
  uint64_t capacity;
  uint64_t failPast;
  int failures;
};

FILE *OpenOnSmallDisk(const std::string &path, uint64_t capacity, uint64_t failPast = ~0ull, int failures = 0) {
  auto *disk = new SmallDisk{open(path.c_str(), O_CREAT | O_TRUNC | O_RDWR, 0644), 0, capacity, failPast, failures};
  cookie_io_functions_t io{};
  io.write = [](void *c, const char *data, size_t size) -> ssize_t {
    auto *d = static_cast<SmallDisk *>(c);
    if (d->failures > 0 && d->position + size > d->failPast) {
      --d->failures;
      return 0;
    }
    size_t room = d->position >= d->capacity ? 0 : size_t(std::min<uint64_t>(size, d->capacity - d->position));
    if (room == 0) return 0;
    ssize_t done = pwrite(d->fd, data, room, off_t(d->position));
    if (done > 0) d->position += uint64_t(done);
    return done;
  };
  io.seek = [](void *c, off64_t *offset, int whence) -> int {
    auto *d = static_cast<SmallDisk *>(c);
    off64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? off64_t(d->position) : lseek(d->fd, 0, SEEK_END);
    d->position = uint64_t(base + *offset);
    *offset = off64_t(d->position);
    return 0;
  };
  io.close = [](void *c) -> int {
    auto *d = static_cast<SmallDisk *>(c);
    int result = ::close(d->fd);
    delete d;
    return result;
  };
  return fopencookie(disk, "w", io);
}

// The video index as letters: N a new picture, R a repeat of the one before.
std::string VideoPattern(const std::string &path) {
  std::string pattern;
  uint32_t newest = 0;
  for (const AviIndexEntry &e : RiffFile(path).index()) {
    if (e.id != "00dc") continue;
    bool fresh = pattern.empty() || e.offset > newest;
    if (fresh) newest = e.offset;
    pattern += fresh ? 'N' : 'R';
  }
  return pattern;
}

class AviTest : public testing::Test {
 protected:
  std::string file(const std::string &name) { return dir_ + "/" + name; }
  std::string dir_ = MakeTempDir();
};

TEST_F(AviTest, HeaderWithAndWithoutSound) {
  for (bool sound : {false, true}) {
    SCOPED_TRACE(sound ? "with sound" : "without sound");
    TestMicrophone microphone("counter", kStart);
    std::string path = file(sound ? "sound.avi" : "silent.avi");
    {
      AviRecording r(path, kInterval, 320, 240, sound, kStart);
      for (int i = 0; i < 12; ++i) {
        std::vector<uint8_t> picture = MakeJpeg(320, 240, i);
        ASSERT_EQ(r.frame(kStart + i * kInterval, &picture), 1);
      }
      EXPECT_EQ(r.close(), 0);
    }
    RiffFile f(path);
    AviSummary s = CheckAvi(f);
    EXPECT_EQ(s.videoEntries, 12u);
    EXPECT_EQ(s.pictures, 12u);
    // 15 frames per second: 66 ms, as scale 66000 over rate 1000000.
    EXPECT_EQ(f.u32(32), 66000u);
    EXPECT_EQ(f.u32(128), 66000u);
    EXPECT_EQ(f.u32(64), 320u);
    EXPECT_EQ(f.u32(68), 240u);
    EXPECT_EQ(f.u32(56), sound ? 2u : 1u);
    // A block of sound is written once its interval is over: one behind the pictures.
    EXPECT_EQ(s.soundChunks, sound ? 11u : 0u);
    EXPECT_EQ(s.soundBytes, sound ? 11u * 1056 : 0u);
    EXPECT_TRUE(SoundGaps(path).empty());
    ExpectReadable(path, s, 66000);
  }
}

TEST_F(AviTest, OddSizedPicturesArePaddedWithZero) {
  std::string path = file("odd.avi");
  std::vector<std::vector<uint8_t>> pictures;
  for (int i = 0; i < 3; ++i) pictures.push_back(MakeOddJpeg(176, 144, i));
  {
    AviRecording r(path, kInterval, 176, 144, false, kStart);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(r.frame(kStart + i * kInterval, &pictures[i]), 1);
    EXPECT_EQ(r.close(), 0);
  }
  RiffFile f(path);
  uint32_t n = uint32_t(pictures[0].size());
  ASSERT_EQ(n % 2, 1u);
  EXPECT_EQ(f.tag(348), "00dc");
  EXPECT_EQ(f.u32(352), n);
  EXPECT_EQ(f.bytes()[356 + n], 0);
  EXPECT_EQ(f.tag(356 + n + 1), "00dc");
  ASSERT_FALSE(f.index().empty());
  EXPECT_EQ(f.index()[0].size, n + 1);
  EXPECT_EQ(f.index()[1].offset, 12 + n + 1);
  ExpectReadable(path, CheckAvi(f), 66000);
}

// Pictures go to the file from the caller's buffer, small or larger than the gathering buffer,
// each in its place.
TEST_F(AviTest, PicturesAreWrittenFromTheCallersBuffer) {
  std::string path = file("large.avi");
  std::vector<uint8_t> small = MakeJpeg(160, 120, 0);
  std::vector<uint8_t> large(kAviGatherBytes + 1001);
  for (size_t i = 0; i < large.size(); ++i) large[i] = uint8_t(i * 7 + (i >> 9));
  std::vector<const std::vector<uint8_t> *> pictures = {&small, &large, &small};
  {
    AviRecording r(path, kInterval, 160, 120, false, kStart);
    for (size_t i = 0; i < pictures.size(); ++i) ASSERT_EQ(r.frame(kStart + uint32_t(i) * kInterval, pictures[i]), 1);
    EXPECT_EQ(r.close(), 0);
  }
  RiffFile f(path);
  AviSummary s = CheckAvi(f);
  EXPECT_EQ(s.pictures, 3u);
  const std::vector<RiffChunk> &chunks = f.movi()->children;
  ASSERT_EQ(chunks.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    ASSERT_EQ(chunks[i].size, pictures[i]->size());
    EXPECT_EQ(std::memcmp(f.bytes().data() + chunks[i].offset + 8, pictures[i]->data(), chunks[i].size), 0);
  }
}

// Arrival times against the constant frame rate: which index entries each makes, and the
// remainder carried to the next frame.
TEST_F(AviTest, LateAndEarlyFramesKeepTheFrameRate) {
  struct Case {
    const char *name;
    std::vector<uint32_t> arrivals;  // ms after the first frame
    const char *pattern;
    uint32_t carry;
  } cases[] = {
      {"on time", {0, 66, 132, 198}, "NNNN", 0},
      {"2.5 intervals late", {0, 165}, "NNR", 33},
      {"early frame dropped", {0, 30, 66}, "NN", 0},
      {"long gap filled partly in the prepare step", {0, 660}, "NRRNRRRRRRR", 0},
      {"remainder carried", {0, 100, 200}, "NNNR", 2},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = file(std::string(c.name) + ".avi");
    {
      AviRecording r(path, kInterval, 160, 120, false, kStart);
      int seed = 0;
      for (uint32_t at : c.arrivals) {
        std::vector<uint8_t> picture = MakeJpeg(160, 120, seed++);
        ASSERT_EQ(r.frame(kStart + at, &picture), 1);
      }
      EXPECT_EQ(r.writer->carry, c.carry);
      EXPECT_EQ(r.writer->slotCounter, strlen(c.pattern));
      EXPECT_EQ(r.close(), 0);
    }
    EXPECT_EQ(VideoPattern(path), c.pattern);
    ExpectReadable(path, CheckAvi(RiffFile(path)), 66000);
  }
}

TEST_F(AviTest, UnchangedFramesBecomeRepeats) {
  std::string path = file("screen.avi");
  std::vector<uint8_t> screen = MakeJpeg(240, 320, 1);
  std::vector<uint8_t> changed = MakeJpeg(240, 320, 2);
  {
    AviRecording r(path, kInterval, 240, 320, false, kStart);
    // The screen did not change since the last recording: its first frame is still a picture.
    EXPECT_EQ(IsNewPicture(r.writer, 7), 1);
    ASSERT_EQ(r.frame(kStart, &screen, 0, 7), 1);
    EXPECT_EQ(IsNewPicture(r.writer, 7), 0);
    EXPECT_EQ(IsNewPicture(r.writer, 8), 1);
    for (int i = 1; i < 4; ++i) ASSERT_EQ(r.frame(kStart + i * kInterval, nullptr, 0, 7), 1);
    ASSERT_EQ(r.frame(kStart + 4 * kInterval, &changed, 1, 8), 1);
    EXPECT_EQ(r.writer->writtenChecksum, 8u);
    EXPECT_EQ(r.close(), 0);
  }
  EXPECT_EQ(VideoPattern(path), "NRRRN");
  RiffFile f(path);
  EXPECT_EQ(f.u32(44), 0x10030u);
  ExpectReadable(path, CheckAvi(f), 66000);
}

// While the screen stands still only repeat entries are made; the sound chunks meanwhile fill
// the gathering buffer and go to the file without a picture.
TEST_F(AviTest, SoundGoesOnWhilePicturesRepeat) {
  TestMicrophone microphone("counter", kStart);
  std::string path = file("still.avi");
  std::vector<uint8_t> screen = MakeJpeg(240, 320, 1);
  constexpr uint32_t kFrames = 150;
  static_assert((kFrames - 1) * (8 + 1056) > 2 * kAviGatherBytes);
  {
    AviRecording r(path, kInterval, 240, 320, true, kStart);
    ASSERT_EQ(r.frame(kStart, &screen, 1, 7), 1);
    for (uint32_t i = 1; i < kFrames; ++i) ASSERT_EQ(r.frame(kStart + i * kInterval, nullptr, 0, 7), 1);
    EXPECT_EQ(r.close(), 0);
  }
  AviSummary s = CheckAvi(RiffFile(path));
  EXPECT_EQ(VideoPattern(path), "N" + std::string(kFrames - 1, 'R'));
  EXPECT_EQ(s.soundChunks, kFrames - 1);
  EXPECT_TRUE(SoundGaps(path).empty());
  ExpectReadable(path, s, 66000);
}

TEST_F(AviTest, PausedStretchKeepsSoundInStep) {
  TestMicrophone microphone("counter", kStart);
  std::string path = file("paused.avi");
  {
    AviRecording r(path, kInterval, 320, 240, true, kStart);
    int i = 0;
    for (; i < 10; ++i) {
      std::vector<uint8_t> picture = MakeJpeg(320, 240, i);
      ASSERT_EQ(r.frame(kStart + i * kInterval, &picture), 1);
    }
    for (; i < 20; ++i) ASSERT_EQ(r.pausedFrame(kStart + i * kInterval), 1);
    r.resume();
    for (; i < 30; ++i) {
      std::vector<uint8_t> picture = MakeJpeg(320, 240, i);
      ASSERT_EQ(r.frame(kStart + i * kInterval, &picture), 1);
    }
    EXPECT_EQ(r.writer->slotCounter, 20u);
    EXPECT_EQ(r.close(), 0);
  }
  AviSummary s = CheckAvi(RiffFile(path));
  // The pause leaves no slots behind, and sound captured while paused is dropped: the block
  // due at the pause is written, the next nine are not.
  EXPECT_EQ(VideoPattern(path), std::string(20, 'N'));
  EXPECT_EQ(s.soundChunks, 20u);
  EXPECT_EQ(SoundGaps(path), std::vector<uint32_t>{9 * 528});
  ExpectReadable(path, s, 66000);
}

TEST_F(AviTest, SizeLimitEndsTheRecordingBeforeTheChunkThatPassesIt) {
  std::string path = file("limit.avi");
  std::vector<uint8_t> picture = MakeJpeg(320, 240, 3);
  uint32_t n = uint32_t(picture.size()) + (picture.size() & 1);
  picture.resize(n);  // an even size keeps the arithmetic plain
  // Three pictures and one repeat fit; the fourth picture would pass the limit by one byte.
  uint32_t used = 348 + 3 * (n + 24) + 16;
  {
    AviRecording r(path, kInterval, 320, 240, false, kStart);
    r.writer->sizeLimit = used + n - 1;
    ASSERT_EQ(r.frame(kStart, &picture), 1);
    ASSERT_EQ(r.frame(kStart + 66, &picture), 1);
    ASSERT_EQ(r.frame(kStart + 66 + 165, &picture), 1);
    EXPECT_EQ(r.writer->sizeSoFar, used);
    EXPECT_EQ(r.frame(kStart + 66 + 165 + 66, &picture), 0);
    EXPECT_EQ(r.writer->sizeSoFar, used);
    EXPECT_EQ(r.close(), 0);
  }
  EXPECT_EQ(VideoPattern(path), "NNNR");
  ExpectReadable(path, CheckAvi(RiffFile(path)), 66000);
}

TEST_F(AviTest, FileNeverPassesTwoBillionBytes) {
  std::string path = file("guard.avi");
  std::vector<uint8_t> picture = MakeJpeg(160, 120, 0);
  AviRecording r(path, kInterval, 160, 120, false, kStart);
  ASSERT_EQ(r.frame(kStart, &picture), 1);
  uint32_t realPos = r.writer->filePos;
  uint32_t size = uint32_t(picture.size());
  // As if the file had grown to just below the guard: the chunk, its index entry and the
  // index header must still fit under it.
  r.writer->filePos = kAviFileLimit - 32 - r.writer->indexBytes - size;
  ASSERT_EQ(r.frame(kStart + 66, &picture), 1);
  r.writer->filePos = kAviFileLimit - 32 - r.writer->indexBytes - size + 1;
  EXPECT_EQ(r.frame(kStart + 132, &picture), 0);
  r.writer->filePos = realPos + 8 + size + (size & 1);
  r.close();
  EXPECT_EQ(std::filesystem::file_size(path), r.writer->filePos);
}

// A disk that fills up in the middle of a recording with sound: every chunk before the
// failure is in the file, which ends cleanly with or without its index.
TEST_F(AviTest, FullDiskLeavesAReadableFile) {
  std::vector<uint8_t> picture = MakeJpeg(640, 480, 0);
  constexpr int kFrames = 40;
  auto record = [&](const std::string &path, uint64_t capacity, int *written) {
    TestMicrophone microphone("counter", kStart);
    AviRecording r(path, kInterval, 640, 480, true, kStart, OpenOnSmallDisk(path, capacity));
    int i = 0;
    while (i < kFrames && r.frame(kStart + i * kInterval, &picture) == 1) ++i;
    *written = i;
    return r.close();
  };
  int frames;
  ASSERT_EQ(record(file("calibration.avi"), 1 << 30, &frames), 0);
  ASSERT_EQ(frames, kFrames);
  RiffFile calibration(file("calibration.avi"));
  const std::vector<RiffChunk> &chunks = calibration.movi()->children;
  // The last chunk that fits: one before a picture, past the middle of the recording. The sound
  // chunks before that picture go to the file in the picture's write.
  size_t k = 0;
  while (chunks[k].offset < calibration.bytes().size() / 2 || chunks[k + 1].id != "00dc") ++k;
  ASSERT_EQ(chunks[k].id, "01wb");
  uint64_t end = chunks[k].offset + 8 + chunks[k].size + (chunks[k].size & 1);
  uint32_t pictures = 0, soundChunks = 0;
  for (size_t i = 0; i <= k; ++i) ++(chunks[i].id == "00dc" ? pictures : soundChunks);
  uint64_t index = 8 + 16 * (k + 1);
  ASSERT_LT(index + picture.size() / 2, picture.size() + 8);

  struct Case {
    const char *name;
    uint64_t capacity;
    bool indexFits;
  } cases[] = {
      // The index goes where the picture that failed began.
      {"index fits", end + index + picture.size() / 2, true},
      {"no room for the index", end + 100, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = file(std::string(c.name) + ".avi");
    EXPECT_EQ(record(path, c.capacity, &frames), c.indexFits ? 0 : -1);
    EXPECT_LT(frames, kFrames);
    RiffFile f(path);
    AviSummary s = CheckAvi(f, c.indexFits ? AviEnd::AfterFailure : AviEnd::NoIndex);
    EXPECT_EQ(s.pictures, pictures);
    EXPECT_EQ(s.soundChunks, soundChunks);
    EXPECT_TRUE(SoundGaps(path).empty());
    EXPECT_EQ(std::memcmp(f.bytes().data() + 348, calibration.bytes().data() + 348, end - 348), 0);
    // Without an index ffmpeg finds the chunks by walking "movi": every picture, once.
    if (!c.indexFits) s.videoEntries = s.pictures;
    ExpectReadable(path, s, 66000);
  }
}

// A write that fails ends the recording. The chunks it held, a picture and the sound gathered
// before it, are written again one at a time: those that go through are kept, the first that
// fails is undone; the index is still written.
TEST_F(AviTest, FailedWriteKeepsTheChunksThatCanBeWrittenAgain) {
  std::vector<uint8_t> picture = MakeJpeg(320, 240, 0);
  constexpr int kFrames = 8;
  auto record = [&](const std::string &path, uint64_t failPast, int failures, int *written) {
    TestMicrophone microphone("counter", kStart);
    AviRecording r(path, kInterval, 320, 240, true, kStart, OpenOnSmallDisk(path, 1 << 30, failPast, failures));
    int i = 0;
    while (i < kFrames && r.frame(kStart + i * kInterval, &picture) == 1) ++i;
    *written = i;
    return r.close();
  };
  int frames;
  ASSERT_EQ(record(file("calibration.avi"), ~0ull, 0, &frames), 0);
  RiffFile calibration(file("calibration.avi"));
  const std::vector<RiffChunk> &chunks = calibration.movi()->children;
  // The fourth picture, and the first of the sound chunks written with it.
  size_t p = 0;
  for (int seen = 0; seen < 4; ++p) seen += chunks[p].id == "00dc";
  --p;
  size_t s = p;
  while (chunks[s - 1].id == "01wb") --s;
  ASSERT_LT(s, p);
  auto middle = [&](size_t i) { return chunks[i].offset + 8 + chunks[i].size / 2; };

  struct Case {
    const char *name;
    uint64_t failPast;
    int failures;
    size_t kept;  // chunks
  } cases[] = {
      {"written again", middle(p), 1, p + 1},
      {"the sound again, not the picture", middle(p), 2, p},
      {"not even the first chunk again", middle(s), 2, s},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = file(std::string(c.name) + ".avi");
    EXPECT_EQ(record(path, c.failPast, c.failures, &frames), 0);
    EXPECT_EQ(frames, 3);  // the fourth frame's write failed
    RiffFile f(path);
    AviSummary summary = CheckAvi(f, AviEnd::AfterFailure);
    uint32_t pictures = 0, soundChunks = 0;
    for (size_t i = 0; i < c.kept; ++i) ++(chunks[i].id == "00dc" ? pictures : soundChunks);
    EXPECT_EQ(summary.pictures, pictures);
    EXPECT_EQ(summary.soundChunks, soundChunks);
    uint64_t end = chunks[c.kept - 1].offset + 8 + chunks[c.kept - 1].size;
    EXPECT_EQ(std::memcmp(f.bytes().data() + 348, calibration.bytes().data() + 348, end - 348), 0);
    ExpectReadable(path, summary, 66000);
  }
}

std::vector<uint8_t> ReadAll(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string &path, const std::vector<uint8_t> &bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}

// A screen that stands still: only repeats, no picture takes the sound chunks along. What is
// gathered is in the file within a second, so a kill loses at most that.
TEST_F(AviTest, GatheredSoundReachesTheFileWithinASecond) {
  TestMicrophone microphone("counter", kStart);
  std::string path = file("standing.avi");
  std::vector<uint8_t> screen = MakeJpeg(240, 320, 1);
  AviRecording r(path, kInterval, 240, 320, true, kStart);
  ASSERT_EQ(r.frame(kStart, &screen, 1, 7), 1);
  for (uint32_t i = 1; i < 75; ++i) {
    ASSERT_EQ(r.frame(kStart + i * kInterval, nullptr, 0, 7), 1);
    std::vector<uint8_t> disk = ReadAll(path);
    uint32_t onDisk = PlanAviRepair(disk.data(), disk.size()).soundChunks;
    ASSERT_LE(r.writer->soundChunks - onDisk, kAviGatherMs / kInterval + 1) << "frame " << i;
  }
}

// Recordings cut off with their header still zeros and no index: what a crash leaves. Made from
// a finished recording with sound, late frames (repeats) and a still screen: its bytes up to the
// cut with the header zeroed. The repair keeps every whole chunk, rebuilds the repeats from the
// sound as the writer made them, and wipes what lies beyond.
TEST_F(AviTest, CutOffRecordingsAreRepaired) {
  TestMicrophone microphone("counter", kStart);
  std::string full = file("full.avi");
  {
    AviRecording r(full, kInterval, 320, 240, true, kStart);
    uint32_t at = 0;
    for (int i = 0; i < 40; ++i) {
      at += i == 12 ? 3 * kInterval : i == 25 ? 2 * kInterval + 20 : kInterval;
      std::vector<uint8_t> picture = MakeOddJpeg(320, 240, i);
      ASSERT_EQ(r.frame(kStart + at, i >= 30 && i < 36 ? nullptr : &picture), 1);
    }
    EXPECT_EQ(r.close(), 0);
  }
  RiffFile original(full);
  const std::vector<AviIndexEntry> originalIndex = original.index();
  const std::vector<RiffChunk> &chunks = original.movi()->children;
  ASSERT_GT(chunks.size(), 60u);
  ASSERT_GT(originalIndex.size(), chunks.size() + 3) << "no repeats";
  auto chunkEnd = [&](size_t i) { return chunks[i].offset + 8 + chunks[i].size + (chunks[i].size & 1); };
  size_t picture = chunks.size() / 2;
  while (chunks[picture].id != "00dc") ++picture;

  struct Case {
    const char *name;
    uint64_t cut;                  // bytes of the finished file kept
    std::vector<uint8_t> garbage;  // then these
    size_t keptChunks;
  } cases[] = {
      {"cut in the middle of a picture", chunks[picture].offset + 8 + chunks[picture].size / 2, {}, picture},
      {"cut in a chunk header", chunks[picture].offset + 5, {}, picture},
      {"every chunk whole", chunkEnd(chunks.size() - 1), {}, chunks.size()},
      {"garbage tail", chunkEnd(picture - 1), {'J', 'U', 'N', 'K', 4, 0, 0, 0, 1, 2, 3, 4, 5, 6}, picture},
      {"header running past the end", chunkEnd(picture - 1), {'0', '0', 'd', 'c', 0xF0, 0xFF, 0xFF, 0x7F, 0xFF, 0xD8},
       picture},
      {"zeros where a picture was", chunkEnd(picture - 1), std::vector<uint8_t>(5000, 0), picture},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes(original.bytes().begin(), original.bytes().begin() + long(c.cut));
    std::fill(bytes.begin(), bytes.begin() + kAviHeaderBytes, 0);
    bytes.insert(bytes.end(), c.garbage.begin(), c.garbage.end());
    std::string path = file(std::string(c.name) + ".avi");
    WriteAll(path, bytes);
    ASSERT_EQ(RepairAviFile(fopen(path.c_str(), "r+b"), 200), AVI_REPAIR_CUT);
    RiffFile f(path);
    EXPECT_EQ(f.bytes().size(), std::max<uint64_t>(bytes.size(), f.u32(4) + 8));
    AviSummary s = CheckAvi(f, AviEnd::AfterFailure);
    EXPECT_EQ(f.movi()->children.size(), c.keptChunks);
    // The header is the writer's but for the lengths.
    for (auto [from, to] : {std::pair{12, 48}, {52, 140}, {144, 264}, {268, 336}}) {
      EXPECT_EQ(std::memcmp(f.bytes().data() + from, original.bytes().data() + from, to - from), 0) << from;
    }
    // The index as the writer made it, up to the last sound chunk kept.
    const std::vector<AviIndexEntry> index = f.index();
    size_t lastSound = index.size();
    while (index[lastSound - 1].id != "01wb") --lastSound;
    for (size_t i = 0; i < lastSound; ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(index[i].id, originalIndex[i].id);
      EXPECT_EQ(index[i].offset, originalIndex[i].offset);
    }
    for (size_t i = lastSound; i < index.size(); ++i) {
      EXPECT_EQ(index[i].id, "00dc");
      EXPECT_GT(index[i].offset, index[i - 1].offset) << "a repeat after the last sound chunk";
    }
    EXPECT_TRUE(SoundGaps(path).empty());
    ExpectReadable(path, s, 66000);
  }
}

TEST_F(AviTest, FilesWithoutAPictureOrWithAHeaderAreLeftAsTheyAre) {
  std::vector<uint8_t> finished;
  {
    std::string path = file("finished.avi");
    AviRecording r(path, kInterval, 160, 120, false, kStart);
    std::vector<uint8_t> picture = MakeJpeg(160, 120, 0);
    ASSERT_EQ(r.frame(kStart, &picture), 1);
    EXPECT_EQ(r.close(), 0);
    finished = ReadAll(path);
  }
  std::vector<uint8_t> zeros(kAviHeaderBytes, 0), partial = zeros;
  partial.insert(partial.end(), {'0', '0', 'd', 'c', 9});
  std::vector<uint8_t> noJpeg = zeros;
  noJpeg.insert(noJpeg.end(), {'0', '0', 'd', 'c', 4, 0, 0, 0, 1, 2, 3, 4});
  struct Case {
    const char *name;
    std::vector<uint8_t> bytes;
    AviRepairVerdict verdict;
  } cases[] = {
      {"zero-length", {}, AVI_REPAIR_EMPTY},
      {"part of the header", std::vector<uint8_t>(100, 0), AVI_REPAIR_EMPTY},
      {"no chunks", zeros, AVI_REPAIR_EMPTY},
      {"a chunk header cut off", partial, AVI_REPAIR_EMPTY},
      {"a picture that is no JPEG", noJpeg, AVI_REPAIR_EMPTY},
      {"finished", finished, AVI_REPAIR_NOT_CUT},
      {"another file", {'R', 'I', 'F', 'F', 0, 0}, AVI_REPAIR_NOT_CUT},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(PlanAviRepair(c.bytes.data(), c.bytes.size()).verdict, c.verdict);
    std::string path = file(std::string(c.name) + ".avi");
    WriteAll(path, c.bytes);
    EXPECT_EQ(RepairAviFile(fopen(path.c_str(), "r+b"), 66), c.verdict);
    EXPECT_EQ(ReadAll(path), c.bytes);
  }
}

// Without sound nothing tells how long a picture stood: one entry each, at the frame rate of the
// setting.
TEST_F(AviTest, CutOffRecordingWithoutSoundTakesTheSetFrameRate) {
  std::string full = file("silent.avi");
  {
    AviRecording r(full, kInterval, 176, 144, false, kStart);
    for (uint32_t i = 0; i < 6; ++i) {
      std::vector<uint8_t> picture = MakeJpeg(176, 144, int(i));
      ASSERT_EQ(r.frame(kStart + i * 2 * kInterval, &picture), 1);
    }
    EXPECT_EQ(r.close(), 0);
  }
  ASSERT_NE(VideoPattern(full).find('R'), std::string::npos);
  std::vector<uint8_t> bytes = RiffFile(full).bytes();
  bytes.resize(RiffFile(full).movi()->offset + 8 + RiffFile(full).movi()->size);
  std::fill(bytes.begin(), bytes.begin() + kAviHeaderBytes, 0);
  WriteAll(full, bytes);
  ASSERT_EQ(RepairAviFile(fopen(full.c_str(), "r+b"), 100), AVI_REPAIR_CUT);
  EXPECT_EQ(VideoPattern(full), "NNNNNN");
  RiffFile f(full);
  EXPECT_EQ(f.u32(32), 100000u);
  EXPECT_EQ(f.u32(64), 176u);
  EXPECT_EQ(f.u32(68), 144u);
  ExpectReadable(full, CheckAvi(f), 100000);
}

TEST_F(AviTest, IndexGrowsPastOneBlockAndIsKeptForTheNextRecording) {
  std::vector<uint8_t> picture = MakeJpeg(16, 16, 0);
  AviWriter *writer = CreateAviWriter();
  writer->frameInterval = 40;
  writer->sizeLimit = 0x80000000;
  for (uint32_t frames : {1100u, 5u}) {
    SCOPED_TRACE(frames);
    std::string path = file(std::to_string(frames) + ".avi");
    ASSERT_EQ(OpenAviFile(writer, fopen(path.c_str(), "wb"), 16, 16, 0), 1);
    for (uint32_t i = 0; i < frames; ++i) {
      uint32_t tick = kStart + i * 40;
      ASSERT_EQ(WriteVideoSlot(writer, picture.data(), uint32_t(picture.size()), tick, 1, 1, 0), 1);
      ASSERT_EQ(WriteVideoSlot(writer, picture.data(), uint32_t(picture.size()), tick, 0, 1, 0), 1);
    }
    EXPECT_EQ(CloseAvi(writer), 0);
    CloseAviFile(writer);
    EXPECT_NE(writer->firstIndexBlock->next, nullptr);
    AviSummary s = CheckAvi(RiffFile(path));
    EXPECT_EQ(s.videoEntries, frames);
    ExpectReadable(path, s, 40000);
  }
  DestroyAviWriter(writer);
}

TEST_F(AviTest, NoFrameIntervalNoFile) {
  AviWriter *writer = CreateAviWriter();
  EXPECT_EQ(OpenAvi(writer, TEXT("never.avi"), 320, 240, 1), 0);
  EXPECT_EQ(writer->soundOn, 0);
  DestroyAviWriter(writer);
}

}  // namespace

namespace {

// At program end the writer may go while a recording runs: the driver stops before the buffers
// it fills are freed (the address sanitizer sees any late write).
TEST(AviWriterLifetime, FreedWhileRecording) {
  TestMicrophone microphone("counter", 0);
  AviWriter *writer = CreateAviWriter();
  writer->frameInterval = 33;
  SetupSoundBuffers(&writer->soundBlock, kSoundBufferedMs / 33, 33);
  std::string path = MakeTempDir() + "/running.avi";
  ASSERT_EQ(OpenAviFile(writer, fopen(path.c_str(), "wb"), 160, 120, 1), 1);
  ASSERT_EQ(writer->soundOn, 1);
  device::advanceMicrophoneClock(1000);
  DestroyAviWriter(writer);
}

}  // namespace
