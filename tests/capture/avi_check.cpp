#include "avi_check.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <set>

#include "media.h"

namespace {

uint32_t Even(uint32_t n) { return n + (n & 1); }

bool AllZero(const RiffFile &f, uint64_t from, uint64_t to) {
  for (uint64_t i = from; i < to; ++i)
    if (f.bytes()[i]) return false;
  return true;
}

uint32_t Number(const Fields &fields, const std::string &key) {
  auto it = fields.find(key);
  if (it == fields.end() || it->second.empty() || !isdigit(uint8_t(it->second[0]))) return ~0u;
  return uint32_t(std::stoul(it->second));
}

double Ratio(const std::string &text) {
  size_t slash = text.find('/');
  return std::stod(text.substr(0, slash)) / std::stod(text.substr(slash + 1));
}

}  // namespace

AviSummary CheckAvi(const RiffFile &f, AviEnd end) {
  bool indexed = end != AviEnd::NoIndex;
  AviSummary s;
  EXPECT_TRUE(f.problems().empty()) << f.problems().front();
  if (!f.problems().empty()) return s;
  const RiffChunk &root = f.root();
  EXPECT_EQ(root.type, "AVI ");
  uint64_t riffEnd = uint64_t(root.size) + 8;
  if (end == AviEnd::Complete) {
    EXPECT_EQ(riffEnd, f.bytes().size());
  } else if (riffEnd < f.bytes().size()) {
    EXPECT_TRUE(AllZero(f, riffEnd, f.bytes().size())) << "what the failed write left is not wiped";
  }

  uint32_t streams = f.u32(56);
  bool withSound = streams == 2;
  EXPECT_TRUE(streams == 1 || streams == 2) << streams;
  // hdrl, avih and the video stream list sit at fixed offsets.
  EXPECT_EQ(f.tag(12), "LIST");
  EXPECT_EQ(f.u32(16), withSound ? 292u : 192u);
  EXPECT_EQ(f.tag(20), "hdrl");
  EXPECT_EQ(f.tag(24), "avih");
  EXPECT_EQ(f.u32(28), 56u);
  uint32_t usPerFrame = f.u32(32);
  EXPECT_EQ(f.u32(36), 10000000u);
  EXPECT_EQ(f.u32(40), 0u);
  EXPECT_EQ(f.u32(52), 0u);
  EXPECT_EQ(f.u32(60), 0u);
  uint32_t width = f.u32(64), height = f.u32(68);
  EXPECT_TRUE(AllZero(f, 72, 88));
  EXPECT_EQ(f.tag(88), "LIST");
  EXPECT_EQ(f.u32(92), 116u);
  EXPECT_EQ(f.tag(96), "strl");
  EXPECT_EQ(f.tag(100), "strh");
  EXPECT_EQ(f.u32(104), 56u);
  EXPECT_EQ(f.tag(108), "vids");
  EXPECT_EQ(f.tag(112), "mjpg");
  EXPECT_TRUE(AllZero(f, 116, 128));
  EXPECT_EQ(f.u32(128), usPerFrame);
  EXPECT_EQ(f.u32(132), 1000000u);
  EXPECT_EQ(f.u32(136), 0u);
  EXPECT_EQ(f.u32(140), f.u32(48));
  EXPECT_EQ(f.u32(144), 0u);
  EXPECT_EQ(f.u32(148), 0xFFFFFFFFu);
  EXPECT_TRUE(AllZero(f, 152, 164));
  EXPECT_EQ(f.tag(164), "strf");
  EXPECT_EQ(f.u32(168), 40u);
  EXPECT_EQ(f.u32(172), 40u);
  EXPECT_EQ(f.u32(176), width);
  EXPECT_EQ(f.u32(180), height);
  EXPECT_EQ(f.u16(184), 1);
  EXPECT_EQ(f.u16(186), 24);
  EXPECT_EQ(f.tag(188), "MJPG");
  EXPECT_EQ(f.u32(192), width * height);
  EXPECT_TRUE(AllZero(f, 196, 212));
  if (withSound) {
    EXPECT_EQ(f.tag(212), "LIST");
    EXPECT_EQ(f.u32(216), 92u);
    EXPECT_EQ(f.tag(220), "strl");
    EXPECT_EQ(f.tag(224), "strh");
    EXPECT_EQ(f.u32(228), 56u);
    EXPECT_EQ(f.tag(232), "auds");
    EXPECT_TRUE(AllZero(f, 236, 252));
    EXPECT_EQ(f.u32(252), 2u);      // scale: block align
    EXPECT_EQ(f.u32(256), 16000u);  // rate
    EXPECT_EQ(f.u32(260), 0u);
    EXPECT_EQ(f.u32(268), 0u);
    EXPECT_EQ(f.u32(272), 0xFFFFFFFFu);
    EXPECT_EQ(f.u32(276), 2u);
    EXPECT_TRUE(AllZero(f, 280, 288));
    EXPECT_EQ(f.tag(288), "strf");
    EXPECT_EQ(f.u32(292), 16u);
    EXPECT_EQ(f.u16(296), 1);
    EXPECT_EQ(f.u16(298), 1);
    EXPECT_EQ(f.u32(300), 8000u);
    EXPECT_EQ(f.u32(304), 16000u);
    EXPECT_EQ(f.u16(308), 2);
    EXPECT_EQ(f.u16(310), 16);
    EXPECT_EQ(f.tag(312), "JUNK");
    EXPECT_EQ(f.u32(316), 16u);
    EXPECT_TRUE(AllZero(f, 320, 336));
  } else {
    EXPECT_EQ(f.tag(212), "JUNK");
    EXPECT_EQ(f.u32(216), 116u);
    EXPECT_TRUE(AllZero(f, 220, 336));
  }
  EXPECT_EQ(f.tag(336), "LIST");
  EXPECT_EQ(f.tag(344), "movi");

  const RiffChunk *movi = f.movi();
  EXPECT_NE(movi, nullptr);
  if (!movi) return s;
  EXPECT_EQ(movi->offset, 336u);
  std::set<uint64_t> chunkOffsets;
  for (const RiffChunk &c : movi->children) {
    EXPECT_TRUE(c.id == "00dc" || c.id == "01wb") << c.id << " at " << c.offset;
    if (c.size & 1) {
      EXPECT_EQ(f.bytes()[c.offset + 8 + c.size], 0) << "pad byte at " << c.offset;
    }
    chunkOffsets.insert(c.offset);
    if (c.id == "00dc") ++s.pictures;
  }
  if (!movi->children.empty()) {
    EXPECT_EQ(movi->children.front().offset, 348u);
  }

  const RiffChunk *idx = root.child("idx1");
  EXPECT_EQ(idx != nullptr, indexed);
  if (!indexed) {
    EXPECT_EQ(f.u32(44), 0x10000u);
    for (const RiffChunk &c : movi->children)
      if (c.id == "01wb") {
        ++s.soundChunks;
        s.soundBytes += c.size;
      }
    if (withSound) {
      EXPECT_EQ(f.u32(264), s.soundBytes / 2);
    }
    s.videoEntries = f.u32(48);
    return s;
  }
  EXPECT_EQ(idx->offset, movi->offset + 8 + movi->size);
  EXPECT_EQ(idx->size % 16, 0u);
  std::set<uint64_t> referenced;
  uint64_t newest = 0;
  for (const AviIndexEntry &e : f.index()) {
    uint64_t at = uint64_t(e.offset) + 344;
    EXPECT_EQ(chunkOffsets.count(at), 1u) << e.id << " entry points at " << at << ", not at a chunk";
    if (!chunkOffsets.count(at)) continue;
    EXPECT_EQ(f.tag(at), e.id);
    EXPECT_EQ(Even(f.u32(at + 4)), e.size);
    EXPECT_EQ(e.flags, e.id == "00dc" ? 0x10u : 0u);
    // New chunks are indexed in the order they were written; a repeat points back.
    if (referenced.insert(at).second) {
      EXPECT_GT(at, newest);
      newest = at;
    }
    if (e.id == "00dc") {
      ++s.videoEntries;
    } else {
      ++s.soundChunks;
      s.soundBytes += f.u32(at + 4);
    }
  }
  EXPECT_EQ(referenced.size(), chunkOffsets.size()) << "chunks without an index entry";
  EXPECT_EQ(f.u32(48), s.videoEntries);
  EXPECT_EQ(f.u32(44), s.videoEntries > s.pictures ? 0x10030u : 0x10010u);
  EXPECT_EQ(streams, s.soundBytes ? 2u : 1u);
  if (withSound) {
    EXPECT_EQ(f.u32(264), s.soundBytes / 2);
  }
  return s;
}

void ExpectReadable(const std::string &path, const AviSummary &expected, uint32_t usPerFrame) {
  Probe p = RunFfprobe(path);
  ASSERT_EQ(p.exitCode, 0) << p.errors;
  EXPECT_EQ(p.errors, "");
  EXPECT_EQ(Number(p.format, "nb_streams"), expected.soundChunks ? 2u : 1u);
  const Fields *video = p.stream("video");
  ASSERT_NE(video, nullptr);
  EXPECT_EQ(video->at("codec_name"), "mjpeg");
  EXPECT_EQ(Number(*video, "nb_frames"), expected.videoEntries);
  EXPECT_DOUBLE_EQ(Ratio(video->at("r_frame_rate")), 1e6 / usPerFrame);
  EXPECT_NEAR(std::stod(video->at("duration")), expected.videoEntries * (usPerFrame / 1e6), 1e-6);
  // ffmpeg reads every picture once; an entry that repeats the one just before it in the index
  // gives no packet of its own, so the count lies between the two.
  uint32_t read = Number(*video, "nb_read_frames");
  EXPECT_GE(read, expected.pictures);
  EXPECT_LE(read, expected.videoEntries);
  const Fields *sound = p.stream("audio");
  EXPECT_EQ(sound != nullptr, expected.soundChunks > 0);
  if (sound) {
    EXPECT_EQ(sound->at("codec_name"), "pcm_s16le");
    EXPECT_EQ(Number(*sound, "sample_rate"), 8000u);
    EXPECT_EQ(Number(*sound, "channels"), 1u);
    EXPECT_EQ(Number(*sound, "nb_frames"), expected.soundBytes / 2);  // samples
    EXPECT_EQ(Number(*sound, "nb_read_packets"), expected.soundChunks);
  }
  EXPECT_EQ(DecodeErrors(path), "");
}
