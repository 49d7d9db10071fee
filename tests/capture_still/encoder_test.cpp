// The encoder binding: which encoder a configuration uses, that both encoders give the same
// picture in every turn and sampling, and that no encoder outgrows the buffer bound.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "capture/encoder.h"
#include "handset.h"
#include "pictures.h"
#include "tarnjpg/tarnjpg.h"

namespace {

class Encoders : public StillHandset {
 protected:
  // tarnjpg bound with its context, JPEGENC.dll present unless the profile leaves it out.
  void bind(bool vendor = true, bool fast = true) {
    useProfile(vendor ? "system_library = JPEGENC.dll\n" : "");
    if (fast) {
      ASSERT_EQ(BindFastEncoder(), 1u);
      ASSERT_EQ(CreateFastContext(), 1u);
    }
    ASSERT_EQ(BindVendorEncoder(), vendor ? 1u : 0u);
  }

  // Encodes a copy of the frame into a buffer of EncodeBufferBytes; empty on failure.
  std::vector<uint8_t> encode(std::vector<uint8_t> pixels, uint32_t format, uint32_t w, uint32_t h) {
    buffer.assign(EncodeBufferBytes(w, h), 0);
    FrameDesc frame{pixels.data(), uint32_t(pixels.size()), format, w, h};
    const uint32_t size = EncodeJpeg(&g_EncoderSetup, buffer.data(), uint32_t(buffer.size()), &frame, 1);
    return std::vector<uint8_t>(buffer.begin(), buffer.begin() + size);
  }

  std::vector<uint8_t> buffer;
};

TEST_F(Encoders, SizesOfWholeMacroblocksGoToTarnjpgOthersToTheVendorEncoder) {
  bind();
  struct Case { uint32_t w, h; bool fast; } cases[] = {
      {1600, 1200, true}, {1280, 960, true}, {176, 144, true}, {1280, 1000, false}, {320, 250, false}};
  for (const Case &c : cases) {
    EXPECT_EQ(ConfigureEncoder(&g_EncoderSetup, c.w, c.h, 90, SAMPLING_420, 1, 1, 0), 1u) << c.w << "x" << c.h;
    EXPECT_EQ(g_EncoderSetup.useFast, c.fast) << c.w << "x" << c.h;
  }
}

TEST_F(Encoders, AQuarterTurnNeverEncodes422) {
  bind();
  for (uint32_t rotation : {1u, 3u}) {
    ConfigureEncoder(&g_EncoderSetup, 320, 240, 90, SAMPLING_422, 1, 1, rotation);
    EXPECT_EQ(g_EncoderSetup.sampling, SAMPLING_420);
  }
  ConfigureEncoder(&g_EncoderSetup, 320, 240, 90, SAMPLING_422, 1, 1, 2);
  EXPECT_EQ(g_EncoderSetup.sampling, SAMPLING_422);
}

TEST_F(Encoders, EveryTurnAndSamplingShowsThePictureTurnedTheSameWayOnBothEncoders) {
  bind();
  // 320 x 240 goes to tarnjpg, 320 x 250 to the vendor encoder.
  for (uint32_t h : {240u, 250u})
    for (uint32_t sampling : {SAMPLING_420, SAMPLING_422, SAMPLING_GREY})
      for (uint32_t rotation = 0; rotation < 4; ++rotation) {
        SCOPED_TRACE("height " + std::to_string(h) + " sampling " + std::to_string(sampling) +
                     " rotation " + std::to_string(rotation));
        ASSERT_EQ(ConfigureEncoder(&g_EncoderSetup, 320, h, 90, sampling, 1, 1, rotation), 1u);
        Decoded d = Decode(encode(QuadrantsUyvy(320, h), FORMAT_UYVY, 320, h));
        ASSERT_TRUE(d.ok());
        const bool quarter = rotation % 2 == 1;
        EXPECT_EQ(d.width, quarter ? int(h) : 320);
        EXPECT_EQ(d.height, quarter ? 320 : int(h));
        if (sampling != SAMPLING_GREY) {
          EXPECT_EQ(QuadrantReport(d, rotation), "");
        }
      }
}

TEST_F(Encoders, AFrameTwiceThePictureIsHalved) {
  bind();
  for (uint32_t h : {240u, 250u}) {
    ASSERT_EQ(ConfigureEncoder(&g_EncoderSetup, 320, h, 90, SAMPLING_420, 2, 2, 0), 1u);
    Decoded d = Decode(encode(QuadrantsUyvy(640, 2 * h), FORMAT_UYVY, 640, 2 * h));
    ASSERT_TRUE(d.ok()) << h;
    EXPECT_EQ(d.width, 320);
    EXPECT_EQ(d.height, int(h));
    EXPECT_EQ(QuadrantReport(d, 0), "") << h;
  }
}

TEST_F(Encoders, PlanarAndRgbFramesReachTheVendorEncoder) {
  bind();
  for (uint32_t rotation : {0u, 1u, 2u}) {
    ASSERT_EQ(ConfigureEncoder(&g_EncoderSetup, 320, 250, 90, SAMPLING_420, 1, 1, rotation), 1u);
    ASSERT_FALSE(g_EncoderSetup.useFast);
    Decoded yv12 = Decode(encode(QuadrantsYv12(320, 250), FORMAT_YV12, 320, 250));
    ASSERT_TRUE(yv12.ok()) << rotation;
    EXPECT_EQ(QuadrantReport(yv12, rotation), "") << "YV12, rotation " << rotation;
    Decoded rgb = Decode(encode(QuadrantsRgb565(320, 250), FORMAT_RGB565, 320, 250));
    ASSERT_TRUE(rgb.ok()) << rotation;
    EXPECT_EQ(QuadrantReport(rgb, rotation), "") << "RGB 565, rotation " << rotation;
  }
}

TEST_F(Encoders, Yuy2AndYvyuFramesShowThePictureOfTheirUyvyTwin) {
  bind();
  for (uint32_t h : {240u, 250u}) {  // tarnjpg, the vendor encoder
    ASSERT_EQ(ConfigureEncoder(&g_EncoderSetup, 320, h, 90, SAMPLING_420, 1, 1, 0), 1u);
    const std::vector<uint8_t> uyvy = QuadrantsUyvy(320, h);
    std::vector<uint8_t> yuy2(uyvy.size()), yvyu(uyvy.size());
    for (size_t i = 0; i + 3 < uyvy.size(); i += 4) {
      const uint8_t u = uyvy[i], y0 = uyvy[i + 1], v = uyvy[i + 2], y1 = uyvy[i + 3];
      yuy2[i] = y0, yuy2[i + 1] = u, yuy2[i + 2] = y1, yuy2[i + 3] = v;
      yvyu[i] = y0, yvyu[i + 1] = v, yvyu[i + 2] = y1, yvyu[i + 3] = u;
    }
    const std::vector<uint8_t> reference = encode(uyvy, FORMAT_UYVY, 320, h);
    ASSERT_FALSE(reference.empty()) << h;
    EXPECT_EQ(encode(yuy2, FORMAT_YUY2, 320, h), reference) << "YUY2, height " << h;
    EXPECT_EQ(encode(yvyu, FORMAT_YVYU, 320, h), reference) << "YVYU, height " << h;
  }
}

TEST_F(Encoders, CameraJpegIsStoredByteForByteWhenItFits) {
  bind(false, false);
  std::vector<uint8_t> jpeg = {0xFF, 0xD8, 1, 2, 3, 0xFF, 0xD9};
  FrameDesc frame{jpeg.data(), uint32_t(jpeg.size()), FORMAT_IJPG, 640, 480};
  std::vector<uint8_t> out(16);
  ASSERT_EQ(EncodeJpeg(&g_EncoderSetup, out.data(), uint32_t(out.size()), &frame, 1), jpeg.size());
  EXPECT_TRUE(std::equal(jpeg.begin(), jpeg.end(), out.begin()));
  EXPECT_EQ(EncodeJpeg(&g_EncoderSetup, out.data(), 6, &frame, 1), 0u);
}

TEST_F(Encoders, RefusedRequestsEncodeNothing) {
  bind();
  ASSERT_EQ(ConfigureEncoder(&g_EncoderSetup, 320, 240, 90, SAMPLING_420, 1, 1, 0), 1u);
  std::vector<uint8_t> pixels = QuadrantsUyvy(320, 240);
  std::vector<uint8_t> out(EncodeBufferBytes(320, 240));
  FrameDesc small{pixels.data(), uint32_t(pixels.size()), FORMAT_UYVY, 320, 240};
  // A buffer below the bound, a frame shorter than its size.
  EXPECT_EQ(EncodeJpeg(&g_EncoderSetup, out.data(), 320 * 240 * 2, &small, 1), 0u);
  FrameDesc shortFrame{pixels.data(), uint32_t(pixels.size()) - 2, FORMAT_UYVY, 320, 240};
  EXPECT_EQ(EncodeJpeg(&g_EncoderSetup, out.data(), uint32_t(out.size()), &shortFrame, 1), 0u);
  EXPECT_GT(EncodeJpeg(&g_EncoderSetup, out.data(), uint32_t(out.size()), &small, 1), 0u);
}

// ... on the frame thread, without touching the configuration, which is the main thread's
// (it may release or make its vendor object meanwhile).
TEST_F(Encoders, AFrameOfAnotherSizeIsEncodedAtItsOwnSize) {
  bind();
  struct Case { uint32_t w, h; } cases[] = {{176, 144}, {170, 130}};  // tarnjpg, vendor
  for (bool vendor : {false, true}) {
    ASSERT_EQ(ConfigureEncoder(&g_EncoderSetup, vendor ? 322 : 320, 240, 90, SAMPLING_420, 1, 1, 0), 1u);
    const EncoderSetup configured = g_EncoderSetup;
    for (const Case &c : cases) {
      Decoded d = Decode(encode(QuadrantsUyvy(c.w, c.h), FORMAT_UYVY, c.w, c.h));
      ASSERT_TRUE(d.ok()) << c.w;
      EXPECT_EQ(d.width, int(c.w));
      EXPECT_EQ(d.height, int(c.h));
      EXPECT_EQ(QuadrantReport(d, 0), "") << c.w;
      EXPECT_EQ(g_EncoderSetup.width, configured.width);
      EXPECT_EQ(g_EncoderSetup.useFast, configured.useFast);
      EXPECT_EQ(g_EncoderSetup.vendorEncoder, configured.vendorEncoder) << "the configured object was replaced";
    }
  }
  // Larger than the buffer was made for: refused.
  std::vector<uint8_t> big = QuadrantsUyvy(640, 480), out(EncodeBufferBytes(320, 240));
  FrameDesc frame{big.data(), uint32_t(big.size()), FORMAT_UYVY, 640, 480};
  EXPECT_EQ(EncodeJpeg(&g_EncoderSetup, out.data(), uint32_t(out.size()), &frame, 1), 0u);
}

TEST_F(Encoders, WithoutAnyEncoderNothingIsReady) {
  bind(false, false);
  EXPECT_EQ(ConfigureEncoder(&g_EncoderSetup, 320, 240, 90, SAMPLING_420, 1, 1, 0), 0u);
  EXPECT_TRUE(encode(QuadrantsUyvy(320, 240), FORMAT_UYVY, 320, 240).empty());
}

TEST_F(Encoders, TarnjpgMissingFromTheProgramDirectoryLeavesTheTableEmpty) {
  platform::setProgramDirectory(root_.string());
  EXPECT_EQ(BindFastEncoder(), 0u);
  EXPECT_EQ(g_FastEncoder.Create, nullptr);
  EXPECT_EQ(CreateFastContext(), 0u);
}

TEST_F(Encoders, AVendorObjectThatCouldNotBeMadeIsNotReportedReadyLater) {
  bind(true, false);
  // The vendor encoder refuses quality 0; asking again with the same shape must not succeed.
  EXPECT_EQ(ConfigureEncoder(&g_EncoderSetup, 320, 250, 0, SAMPLING_420, 1, 1, 0), 0u);
  EXPECT_EQ(ConfigureEncoder(&g_EncoderSetup, 320, 250, 0, SAMPLING_420, 1, 1, 0), 0u);
  EXPECT_EQ(ConfigureEncoder(&g_EncoderSetup, 320, 250, 80, SAMPLING_420, 1, 1, 0), 1u);
}

// Uniform noise at quality 100 is the largest stream a picture can give in practice; it must
// stay below the bound, and it is larger than the two bytes a pixel of the raw frame.
TEST_F(Encoders, NoiseAtQuality100StaysWithinTheBoundAndExceedsTheRawFrame) {
  bind();
  std::mt19937 random(7);
  for (uint32_t h : {480u, 490u})
    for (uint32_t sampling : {SAMPLING_420, SAMPLING_422}) {
      std::vector<uint8_t> noise(640 * h * 2);
      for (uint8_t &b : noise) b = uint8_t(random());
      ASSERT_EQ(ConfigureEncoder(&g_EncoderSetup, 640, h, 100, sampling, 1, 1, 0), 1u);
      const size_t size = encode(noise, FORMAT_UYVY, 640, h).size();
      SCOPED_TRACE((g_EncoderSetup.useFast ? "tarnjpg" : "vendor") + std::string(" sampling ") +
                   std::to_string(sampling) + ": " + std::to_string(size) + " bytes");
      EXPECT_LE(size, JpegWorstCaseBytes(640, h));
      if (sampling == SAMPLING_422) {
        EXPECT_GT(size, 640 * h * 2);
      }
    }
}

TEST(EncodeBufferBound, GrowsWithThePictureAndRefusesWhatDoesNotFitIn32Bits) {
  EXPECT_LT(JpegWorstCaseBytes(176, 144), JpegWorstCaseBytes(640, 480));
  EXPECT_EQ(EncodeBufferBytes(640, 480), JpegWorstCaseBytes(640, 480) + 640 * 480 * 2);
  EXPECT_GE(JpegWorstCaseBytes(2048, 1536), 2048u * 1536 * 3);
  EXPECT_GT(JpegWorstCaseBytes(16384, 16384), 0u);
  EXPECT_EQ(JpegWorstCaseBytes(32768, 16384), 0u);
  EXPECT_EQ(EncodeBufferBytes(16384, 16384), 0u);
}

}  // namespace
