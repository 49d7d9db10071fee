// The planar pictures made for the vendor encoder, on a 4 x 2 frame whose every sample is known.
#include <gtest/gtest.h>

#include <vector>

#include "capture/encoder.h"
#include "capture/repack.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Pixel pairs U Y V Y: luma 1..8 row by row, chroma 10..80.
const Bytes kUyvy = {10, 1, 20, 2, 30, 3, 40, 4, 50, 5, 60, 6, 70, 7, 80, 8};

struct RepackCase {
  uint32_t sampling, rotation;
  Bytes planes;  // Y, then U, then V
};

const RepackCase kRepackCases[] = {
    {SAMPLING_422, 0, {1, 2, 3, 4, 5, 6, 7, 8, 10, 30, 50, 70, 20, 40, 60, 80}},
    {SAMPLING_422, 2, {8, 7, 6, 5, 4, 3, 2, 1, 70, 50, 30, 10, 80, 60, 40, 20}},
    {SAMPLING_420, 0, {1, 2, 3, 4, 5, 6, 7, 8, 30, 50, 40, 60}},
    {SAMPLING_420, 1, {4, 8, 3, 7, 2, 6, 1, 5, 50, 30, 60, 40}},
    {SAMPLING_420, 2, {8, 7, 6, 5, 4, 3, 2, 1, 50, 30, 60, 40}},
    {SAMPLING_420, 3, {5, 1, 6, 2, 7, 3, 8, 4, 30, 50, 40, 60}},
    {SAMPLING_GREY, 0, {1, 2, 3, 4, 5, 6, 7, 8}},
    {SAMPLING_GREY, 1, {4, 8, 3, 7, 2, 6, 1, 5}},
    {SAMPLING_GREY, 3, {5, 1, 6, 2, 7, 3, 8, 4}},
};

TEST(RepackUyvy, SplitsAveragesAndTurnsThePlanes) {
  for (const RepackCase &c : kRepackCases) {
    Bytes in = kUyvy, out(20, 0xEE);
    RepackUyvy(out.data(), in.data(), 4, 2, 1, c.sampling, c.rotation);
    EXPECT_EQ(PlanarBytes(4, 2, c.sampling), c.planes.size());
    EXPECT_EQ(Bytes(out.begin(), out.begin() + c.planes.size()), c.planes)
        << "sampling " << c.sampling << " rotation " << c.rotation;
    EXPECT_EQ(out[c.planes.size()], 0xEE) << "written past the planes";
  }
}

TEST(RepackUyvy, Turned422IsLeftAlone) {
  Bytes in = kUyvy, out(16, 0xEE);
  RepackUyvy(out.data(), in.data(), 4, 2, 1, SAMPLING_422, 1);
  EXPECT_EQ(out, Bytes(16, 0xEE));
}

TEST(HalveUyvy, EachComponentIsTheRoundedMeanOfItsBlock) {
  Bytes frame = kUyvy;
  HalveUyvy(frame.data(), 2, 1);
  // U (10+30+50+70+2)/4, Y0 (1+2+5+6+2)/4 rounds 3.5 up, V, Y1 (3+4+7+8+2)/4.
  EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 4), (Bytes{40, 4, 50, 6}));
}

TEST(RepackUyvy, ScaleTwoHalvesFirst) {
  Bytes in = kUyvy, out(8, 0);
  in.insert(in.end(), kUyvy.begin(), kUyvy.end());  // 4 x 4: the two rows twice
  RepackUyvy(out.data(), in.data(), 2, 2, 2, SAMPLING_422, 0);
  EXPECT_EQ(out, (Bytes{4, 6, 4, 6, 40, 40, 50, 50}));
}

struct TurnCase {
  uint32_t sampling, rotation;
  Bytes planes;
};

TEST(TurnPlanar, TurnsEachPlaneOfA420Frame) {
  // Y 1..8 (4 x 2), U 10 30, V 20 40 (2 x 1).
  const Bytes yv12 = {1, 2, 3, 4, 5, 6, 7, 8, 10, 30, 20, 40};
  const TurnCase cases[] = {
      {SAMPLING_420, 1, {4, 8, 3, 7, 2, 6, 1, 5, 30, 10, 40, 20}},
      {SAMPLING_420, 2, {8, 7, 6, 5, 4, 3, 2, 1, 30, 10, 40, 20}},
      {SAMPLING_420, 3, {5, 1, 6, 2, 7, 3, 8, 4, 10, 30, 20, 40}},
      {SAMPLING_GREY, 1, {4, 8, 3, 7, 2, 6, 1, 5, 0xEE, 0xEE, 0xEE, 0xEE}},
  };
  for (const TurnCase &c : cases) {
    Bytes out(12, 0xEE);
    TurnPlanar(out.data(), yv12.data(), 4, 2, c.sampling, c.rotation);
    EXPECT_EQ(out, c.planes) << "sampling " << c.sampling << " rotation " << c.rotation;
  }
}

}  // namespace
