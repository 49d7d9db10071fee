// The whole-frame transforms: row flips, motion test, frame averaging, RGB to UYVY.
#include "pipeline/transforms.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Counting(size_t n) {
  Bytes b(n);
  std::iota(b.begin(), b.end(), uint8_t(1));
  return b;
}

TEST(FlipRows, ExchangesWholeRowsIncludingBytesBeyondTheLastWord) {
  struct Case {
    uint32_t rowBytes, rows;
  } cases[] = {{8, 4}, {6, 3}, {7, 4}, {3, 5}, {12, 2}};
  for (const Case &c : cases) {
    Bytes original = Counting(size_t(c.rowBytes) * c.rows), flipped = original;
    FlipRows(flipped.data(), c.rowBytes, c.rows);
    for (uint32_t r = 0; r < c.rows; ++r)
      for (uint32_t i = 0; i < c.rowBytes; ++i)
        ASSERT_EQ(flipped[r * c.rowBytes + i], original[(c.rows - 1 - r) * c.rowBytes + i])
            << c.rowBytes << " x " << c.rows << " row " << r << " byte " << i;
  }
}

TEST(FlipRows, OneRowOrNoneIsLeftAlone) {
  Bytes one = Counting(8), copy = one;
  FlipRows(one.data(), 8, 1);
  FlipRows(one.data(), 8, 0);
  EXPECT_EQ(one, copy);
}

TEST(MotionTest, CountsSamplesBeyondTheThresholdAgainstThePercentage) {
  // A 4 × 2 UYVY frame (16 bytes, 8 luma samples) and a 4 × 4 YV12 frame (24 bytes, 16 luma).
  struct Case {
    const char *what;
    uint32_t isYV12, size, mode, threshold, percent;
    std::vector<std::pair<uint32_t, int>> changes;  // byte, difference
    uint32_t expected;
  } cases[] = {
      {"percent 0: one sample beyond the threshold", 0, 16, 1, 10, 0, {{5, 11}}, 1},
      {"a difference equal to the threshold does not count", 0, 16, 1, 10, 0, {{5, 10}}, 0},
      {"threshold 255: nothing can count", 0, 16, 1, 255, 0, {{0, 255}, {1, 255}, {2, 255}}, 0},
      {"every byte: 2 of 16 is 12.5 %, above 12", 0, 16, 1, 0, 12, {{0, 1}, {2, 1}}, 1},
      {"every byte: 2 of 16 is not above 12.5 %", 0, 16, 1, 0, 13, {{0, 1}, {2, 1}}, 0},
      {"UYVY luma only: chroma changes are not seen", 0, 16, 2, 0, 0, {{0, 50}, {2, 50}, {4, 50}}, 0},
      {"UYVY luma only: 1 of 8 Y is 12.5 %", 0, 16, 2, 0, 12, {{3, 50}}, 1},
      {"YV12 luma only: the chroma planes are not seen", 1, 24, 2, 0, 0, {{16, 90}, {23, 90}}, 0},
      {"YV12 luma only: 2 of 16 Y", 1, 24, 2, 0, 12, {{0, -9}, {15, 9}}, 1},
      {"YV12 every byte sees chroma", 1, 24, 1, 0, 0, {{23, 1}}, 1},
  };
  for (const Case &c : cases) {
    Bytes reference(c.size, 100), frame = reference;
    for (auto [at, d] : c.changes) frame[at] = uint8_t(100 + d);
    EXPECT_EQ(MotionTest(reference.data(), frame.data(), c.size, c.threshold, c.percent, c.mode, c.isYV12),
              c.expected)
        << c.what;
  }
}

// Sums of n frames as the pipeline builds them, then the average of the last.
Bytes Averaged(const std::vector<Bytes> &frames, uint32_t shift, uint32_t target, uint32_t isYV12,
               Bytes out = {}) {
  size_t size = frames[0].size();
  Bytes high(size, 0), low(size, 0);
  for (const Bytes &f : frames) AccumulateFrame(high.data(), low.data(), f.data(), uint32_t(size));
  if (out.empty()) out = frames.back();
  AverageFrames(high.data(), low.data(), out.data(), uint32_t(size), shift, target, isYV12);
  return out;
}

TEST(AverageFrames, FourEqualFramesGiveTheSameFrameBack) {
  for (uint8_t v : {uint8_t(0), uint8_t(1), uint8_t(200), uint8_t(255)}) {
    Bytes frame(12, v);
    EXPECT_EQ(Averaged({frame, frame, frame, frame}, 2, 0, 0), frame) << int(v);
  }
}

TEST(AverageFrames, SumsCarryIntoTheHighBytes) {
  Bytes high(2, 0), low(2, 0), frame = {250, 7};
  for (int i = 0; i < 4; ++i) AccumulateFrame(high.data(), low.data(), frame.data(), 2);
  EXPECT_EQ(high[0] * 256 + low[0], 1000);
  EXPECT_EQ(high[1] * 256 + low[1], 28);
  Bytes out(2);
  AverageFrames(high.data(), low.data(), out.data(), 2, 2, 0, 0);
  EXPECT_EQ(out, (Bytes{250, 7}));
  AverageFrames(high.data(), low.data(), out.data(), 2, 32, 0, 0);
  EXPECT_EQ(out, (Bytes{0, 0})) << "a shift of 32 or more gives 0";
}

TEST(AverageFrames, TargetBringsTheLumaMeanToItAndLeavesChromaAveraged) {
  // UYVY: U Y V Y; the luma of the two frames averages to 40 and 80 (mean 60), target 120.
  Bytes a = {100, 30, 160, 70}, b = {110, 50, 170, 90};
  Bytes out = Averaged({a, b}, 1, 120, 0);
  EXPECT_EQ(out, (Bytes{105, 80, 165, 160}));
  // A result that would pass 255 is held at 255.
  out = Averaged({Bytes{128, 10, 128, 250}, Bytes{128, 10, 128, 250}}, 1, 200, 0);
  EXPECT_EQ(out[1], 15);
  EXPECT_EQ(out[3], 255);
  // YV12 4 × 2: 8 luma bytes, then 2 + 2 chroma bytes.
  Bytes p(12, 64), q(12, 64);
  for (int i = 0; i < 8; ++i) p[i] = q[i] = uint8_t(i < 4 ? 20 : 60);
  out = Averaged({p, q}, 1, 80, 1);
  EXPECT_EQ(out, (Bytes{40, 40, 40, 40, 120, 120, 120, 120, 64, 64, 64, 64}));
}

TEST(AverageFrames, ABlackLumaIsLeftAsItIsWhenATargetIsSet) {
  Bytes black = {90, 0, 170, 0, 90, 0, 170, 0};
  Bytes out = Averaged({black, black}, 1, 128, 0, Bytes{1, 2, 3, 4, 5, 6, 7, 8});
  EXPECT_EQ(out, (Bytes{90, 2, 170, 4, 90, 6, 170, 8}));
}

Bytes Words(std::initializer_list<uint16_t> pixels) {
  Bytes b;
  for (uint16_t p : pixels) {
    b.push_back(uint8_t(p));
    b.push_back(uint8_t(p >> 8));
  }
  return b;
}

TEST(RgbToUyvy, SixteenBitPixels) {
  struct Case {
    const char *what;
    uint32_t bits;
    uint16_t p0, p1;
    Bytes uyvy;
  } cases[] = {
      {"white 565", 16, 0xFFFF, 0xFFFF, {126, 250, 126, 250}},
      {"black 565", 16, 0x0000, 0x0000, {128, 0, 128, 0}},
      {"white 555: equal components, no chroma", 15, 0x7FFF, 0x7FFF, {128, 248, 128, 248}},
      {"red 565 then blue 565", 16, 0xF800, 0x001F, {(((248 - 28) * 145 >> 8) + (-74 * 145 >> 8) + 256) >> 1, 74,
                                                       ((174 * 183 >> 8) + (-28 * 183 >> 8) + 256) >> 1, 28}},
      {"green 555 reads five green bits", 15, 0x03E0, 0x03E0, {((-146 * 145 >> 8) * 2 + 256) >> 1, 145,
                                                               ((-145 * 183 >> 8) * 2 + 256) >> 1, 145}},
  };
  for (const Case &c : cases) {
    Bytes in = Words({c.p0, c.p1}), out(4);
    Rgb16ToUyvy(out.data(), in.data(), 4, c.bits);
    EXPECT_EQ(out, c.uyvy) << c.what;
  }
}

TEST(RgbToUyvy, InPlaceGivesWhatASeparateBufferGets) {
  Bytes rgb16 = Counting(64), separate(64), inPlace = rgb16;
  Rgb16ToUyvy(separate.data(), rgb16.data(), 64, 16);
  Rgb16ToUyvy(inPlace.data(), inPlace.data(), 64, 16);
  EXPECT_EQ(inPlace, separate);

  Bytes rgb24(96);
  for (size_t i = 0; i < rgb24.size(); ++i) rgb24[i] = uint8_t(i * 37 + 11);
  Bytes out(64), shared = rgb24;
  Rgb24ToUyvy(out.data(), rgb24.data(), 64);
  Rgb24ToUyvy(shared.data(), shared.data(), 64);
  EXPECT_EQ(Bytes(shared.begin(), shared.begin() + 64), out);
}

TEST(RgbToUyvy, TwentyFourBitPixelsAreClampedAndOnlyWholePairsWritten) {
  // Blue, green, red bytes: white, white; then pure blue and pure blue.
  Bytes in = {255, 255, 255, 255, 255, 255, 255, 0, 0, 255, 0, 0};
  Bytes out(10, 0xEE);
  Rgb24ToUyvy(out.data(), in.data(), 10);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 4), (Bytes{127, 255, 127, 255}));
  int y = 29 * 255 >> 8;
  EXPECT_EQ(out[4], std::min(255, ((((255 - y) * 145) >> 8) * 2 + 254) >> 1));
  EXPECT_EQ(out[5], y);
  EXPECT_EQ(out[6], ((((0 - y) * 183) >> 8) * 2 + 254) >> 1);
  EXPECT_EQ(out[8], 0xEE) << "the bytes after the last whole pair stay";
}

}  // namespace
