// Each SIMD table against the portable one (TARNJPG_FORMS=portable): the same bytes for random
// sizes, formats, samplings, rotations and qualities.
#include "scene.h"
#include "tarnjpg/kernels.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

namespace {

void chooseForms(const char* cap) {
  if (cap)
    setenv("TARNJPG_FORMS", cap, 1);
  else
    unsetenv("TARNJPG_FORMS");
  tarnjpg::selectKernels();
}

// Runs body(0) with the portable table and body(1) with the SIMD table named by the parameter.
class Forms : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    chooseForms(std::string(GetParam()) == "avx2" ? nullptr : GetParam());
    if (std::string(tarnjpg::activeKernels().name) != GetParam()) GTEST_SKIP() << "not on this processor";
  }
  void TearDown() override { chooseForms(nullptr); }
  template <class Body>
  void bothForms(Body body) {
    chooseForms("portable");
    ASSERT_STREQ(tarnjpg::activeKernels().name, "portable");
    body(0);
    chooseForms(std::string(GetParam()) == "avx2" ? nullptr : GetParam());
    ASSERT_STREQ(tarnjpg::activeKernels().name, GetParam());
    body(1);
  }
};

std::vector<uint8_t> randomFrame(std::mt19937& rng, int w, int h, size_t bytes) {
  std::vector<uint8_t> frame(bytes);
  if (rng() % 3 == 0) {  // noise: long codes, saturating sums
    for (uint8_t& b : frame) b = uint8_t(rng());
    return frame;
  }
  auto pic = scene::uyvy(scene::make(w, h, rng()));  // natural content, repeated to fill
  for (size_t i = 0; i < bytes; ++i) frame[i] = pic[i % pic.size()];
  return frame;
}

TEST_P(Forms, EncodeGivesTheSameStreams) {
  std::mt19937 rng(20240611);
  const uint32_t samplings[] = {Sampling420, Sampling422, SamplingGrey, 3};
  int coded = 0;
  for (int n = 0; n < 160; ++n) {
    uint32_t format = rng() % 6, sampling = samplings[rng() % 4], rotation = rng() % 4;
    uint32_t shift = format == InputUyvy && rng() % 4 == 0 ? 1 : 0;
    uint32_t quality = rng() % 8 == 0 ? 150 + rng() % 100 : rng() % 101;
    uint32_t w = 16 * (1 + rng() % 6) << shift, h = 16 * (1 + rng() % 5) << shift;
    if (rng() % 4 == 0) h -= 8 << shift;  // 8-row multiples for 4:2:2 and grey
    SCOPED_TRACE("case " + std::to_string(n) + ": " + std::to_string(w) + "x" + std::to_string(h) + " format " +
                 std::to_string(format) + " sampling " + std::to_string(sampling) + " rotation " +
                 std::to_string(rotation) + " quality " + std::to_string(quality) + " shift " + std::to_string(shift));
    auto frame = randomFrame(rng, int(w), int(h), size_t(w) * h * 3);
    EncodeParams params{w, h, format, shift, rotation, sampling};
    std::vector<uint8_t> streams[2];
    bothForms([&](int form) {
      support::Encoder enc(quality);
      streams[form] = enc.encode(frame, params);
    });
    ASSERT_EQ(streams[0], streams[1]);
    coded += !streams[0].empty();
  }
  EXPECT_GT(coded, 100);
}

TEST_P(Forms, ConvertFrameGivesTheSamePictures) {
  std::mt19937 rng(7);
  const uint32_t formats[] = {InputUyvy, InputPlanarYuv, InputPlanarYvu};
  for (int n = 0; n < 120; ++n) {
    const bool large = n % 10 == 0;  // above 131072 pixels the resize turns the picture
    int w = large ? 512 + 2 * int(rng() % 64) : 8 + 2 * int(rng() % 100), h = large ? 288 + 2 * int(rng() % 32) : 6 + 2 * int(rng() % 80);
    uint32_t format = formats[rng() % 3], rotation = rng() % 4;
    int dw, dh;
    if (rng() % 3 == 0) {  // an exact factor
      int f = 2 << (rng() % 3);
      w = (w / (2 * f) + 1) * 2 * f, h = (h / f + 2) * f;
      dw = w / f, dh = h / f;
    } else {
      dw = 2 + int(rng() % uint32_t(w)), dh = 2 + int(rng() % uint32_t(h));
    }
    const bool quarter = rotation == 0 || rotation == 2;
    const int rows = quarter ? dw : dh, columns = quarter ? dh : dw, pitch = columns + int(rng() % 5);
    SCOPED_TRACE("case " + std::to_string(n) + ": " + std::to_string(w) + "x" + std::to_string(h) + " -> " +
                 std::to_string(dw) + "x" + std::to_string(dh) + " format " + std::to_string(format) + " rotation " +
                 std::to_string(rotation));
    auto frame = randomFrame(rng, w, h, size_t(w) * h * 2);
    std::vector<uint16_t> pictures[2];
    uint32_t results[2];
    bothForms([&](int form) {
      EncoderTable table{};
      DllGetData(&table);
      std::vector<uint8_t> scratch(size_t(w) * h * 3 / 2);
      pictures[form].assign(size_t(rows) * pitch, 0x5A5A);
      results[form] = table.ConvertFrame(pictures[form].data(), dw, dh, pitch * 2, frame.data(), w, h, format,
                                             rotation, scratch.data());
    });
    ASSERT_EQ(results[0], 1u);
    ASSERT_EQ(results[0], results[1]);
    ASSERT_EQ(pictures[0], pictures[1]);
  }
}

INSTANTIATE_TEST_SUITE_P(Tarnjpg, Forms, ::testing::Values("sse2", "avx2"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

}  // namespace
