// ConvertPreview: layout on the screen, the source walk of each orientation, the converters,
// tarnjpg's converter with its grey fall-back.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/appstate.h"
#include "capture/encoder.h"
#include "pipeline/preview.h"
#include "tarnjpg/tarnjpg.h"

namespace {

class Convert : public ::testing::Test {
 protected:
  void SetUp() override { Screen(240, 320); }
  void TearDown() override {
    FreePicture(&g_App.PreviewPicture);
    g_FastEncoder = EncoderTable{};
  }
  void Screen(uint32_t w, uint32_t h) {
    ASSERT_TRUE(SetPictureSize(&g_App.PreviewPicture, w, h));
    Fill(0x1234);
  }
  void Fill(uint16_t v) {
    std::fill_n(g_App.PreviewPicture.pixels, g_App.PreviewPicture.header.biSizeImage / 2, v);
  }
  uint16_t At(uint32_t x, uint32_t y) const {
    return g_App.PreviewPicture.pixels[y * uint32_t(g_App.PreviewPicture.header.biWidth) + x];
  }
  // The rectangle of the screen that holds value; the rest must be 0 (cleared) or, with
  // untouched, still the fill.
  void ExpectRect(uint32_t x0, uint32_t y0, uint32_t w, uint32_t h, uint16_t value, uint16_t outside = 0) {
    const uint32_t sw = uint32_t(g_App.PreviewPicture.header.biWidth), sh = uint32_t(g_App.PreviewPicture.header.biHeight);
    for (uint32_t y = 0; y < sh; ++y)
      for (uint32_t x = 0; x < sw; ++x) {
        bool inside = x >= x0 && x < x0 + w && y >= y0 && y < y0 + h;
        ASSERT_EQ(At(x, y), inside ? value : outside) << "at " << x << ", " << y;
      }
  }
};

std::vector<uint8_t> Uyvy(uint32_t w, uint32_t h, uint8_t y, uint8_t u, uint8_t v) {
  std::vector<uint8_t> f(size_t(w) * h * 2);
  for (size_t i = 0; i < f.size(); i += 4) {
    f[i] = u;
    f[i + 1] = f[i + 3] = y;
    f[i + 2] = v;
  }
  return f;
}

FrameDesc Desc(std::vector<uint8_t> &data, uint32_t format, uint32_t w, uint32_t h) {
  return FrameDesc{data.data(), uint32_t(data.size()), format, w, h};
}

TEST_F(Convert, PlacesA640x480FrameOnA240x320ScreenByOrientationAndMode) {
  std::vector<uint8_t> white = Uyvy(640, 480, 255, 128, 128);
  FrameDesc frame = Desc(white, FORMAT_UYVY, 640, 480);
  struct Case {
    uint32_t orientation, mode;
    uint32_t x, y, w, h;  // on the screen
  } cases[] = {
      {1, PREVIEW_COLOUR, 0, 72, 240, 180},       // step 174762, margins 0 and 72
      {3, PREVIEW_GREY, 0, 72, 240, 180},
      {0, PREVIEW_COLOUR, 0, 0, 240, 320},        // 320 × 240 turned: fills the screen
      {2, PREVIEW_GREY, 0, 0, 240, 320},
      {1, PREVIEW_COLOUR_HALF, 60, 112, 120, 90},  // 120 × 90 centred: margins 60 and 112
      {0, PREVIEW_GREY_HALF, 64, 80, 120, 160},    // 160 × 120 turned: margins 80 along the height, 64 across
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << "orientation " << c.orientation << " mode " << c.mode);
    Fill(0x1234);
    ConvertPreview(&frame, c.orientation, c.mode, nullptr, 0);
    ExpectRect(c.x, c.y, c.w, c.h, 0xFFFF);
  }
}

TEST_F(Convert, ScreenFilledWithoutMarginsIsNotClearedFirst) {
  // 480 × 640 on 240 × 320 upright: equal steps, no margins; a picture of unsupported format
  // then leaves the previous content.
  std::vector<uint8_t> data(480 * 640 * 2);
  FrameDesc frame = Desc(data, FORMAT_RGB555, 480, 640);
  ConvertPreview(&frame, 1, PREVIEW_COLOUR, nullptr, 0);
  ExpectRect(0, 0, 240, 320, 0x1234);
  // With margins the screen is cleared even when nothing can be drawn.
  frame.width = 640;
  frame.height = 480;
  ConvertPreview(&frame, 1, PREVIEW_COLOUR, nullptr, 0);
  ExpectRect(0, 0, 0, 0, 0);
}

TEST_F(Convert, ModeNoneClearsAndBadFramesDrawNothing) {
  std::vector<uint8_t> white = Uyvy(240, 320, 255, 128, 128);
  FrameDesc frame = Desc(white, FORMAT_UYVY, 240, 320);
  ConvertPreview(&frame, 1, PREVIEW_NONE, nullptr, 0);
  ExpectRect(0, 0, 0, 0, 0);
  Fill(0x1234);
  FrameDesc shortFrame = frame;
  shortFrame.size -= 2;  // one pixel missing: nothing is read
  ConvertPreview(&shortFrame, 1, PREVIEW_COLOUR, nullptr, 0);
  FrameDesc empty = frame;
  empty.width = 0;
  ConvertPreview(&empty, 1, PREVIEW_COLOUR, nullptr, 0);
  ExpectRect(0, 0, 0, 0, 0x1234, 0x1234);
}

// An RGB 565 frame whose pixels hold their own position (x + y × W) shows the walk exactly:
// a 48 × 64 (or 64 × 48) frame on a 24 × 32 screen is sampled every second pixel.
TEST_F(Convert, EachOrientationWalksTheFrameAsTurned) {
  Screen(24, 32);
  struct Case {
    uint32_t orientation, w, h;
    // source x and y of screen pixel (c, r)
    uint32_t (*sx)(uint32_t c, uint32_t r, uint32_t w, uint32_t h);
    uint32_t (*sy)(uint32_t c, uint32_t r, uint32_t w, uint32_t h);
  } cases[] = {
      {1, 48, 64, [](uint32_t c, uint32_t, uint32_t, uint32_t) { return 2 * c; },
       [](uint32_t, uint32_t r, uint32_t, uint32_t) { return 2 * r; }},
      {3, 48, 64, [](uint32_t c, uint32_t, uint32_t w, uint32_t) { return w - 1 - 2 * c; },
       [](uint32_t, uint32_t r, uint32_t, uint32_t h) { return h - 1 - 2 * r; }},
      {0, 64, 48, [](uint32_t, uint32_t r, uint32_t w, uint32_t) { return w - 1 - 2 * r; },
       [](uint32_t c, uint32_t, uint32_t, uint32_t) { return 2 * c; }},
      {2, 64, 48, [](uint32_t, uint32_t r, uint32_t, uint32_t) { return 2 * r; },
       [](uint32_t c, uint32_t, uint32_t, uint32_t h) { return h - 1 - 2 * c; }},
  };
  for (const Case &c : cases) {
    std::vector<uint8_t> data(size_t(c.w) * c.h * 2);
    for (uint32_t i = 0; i < c.w * c.h; ++i) std::memcpy(&data[2 * i], &i, 2);
    FrameDesc frame = Desc(data, FORMAT_RGB565, c.w, c.h);
    ConvertPreview(&frame, c.orientation, PREVIEW_GREY, nullptr, 0);  // RGB is drawn in colour in any mode
    for (uint32_t r = 0; r < 32; ++r)
      for (uint32_t col = 0; col < 24; ++col)
        ASSERT_EQ(At(col, r), c.sx(col, r, c.w, c.h) + c.sy(col, r, c.w, c.h) * c.w)
            << "orientation " << c.orientation << " at " << col << ", " << r;
  }
}

TEST_F(Convert, ColourArithmeticAndPacking) {
  Screen(4, 4);  // a 4 × 4 frame is drawn one to one
  struct Case {
    uint8_t y, u, v;
    uint16_t colour, grey;
  } cases[] = {
      {255, 128, 128, 0xFFFF, 0xFFFF},
      {0, 128, 128, 0x0000, 0x0000},
      {81, 90, 240, 0xE861, 0x528A},  // R 238, G 14, B 13
      {250, 128, 255, 0xFD1F, 0xFFDF},  // red past 255 is held at 255
      {10, 0, 128, 0x09A0, 0x0841},     // blue below 0 is held at 0
  };
  for (const Case &c : cases) {
    std::vector<uint8_t> frame = Uyvy(4, 4, c.y, c.u, c.v);
    FrameDesc d = Desc(frame, FORMAT_UYVY, 4, 4);
    ConvertPreview(&d, 1, PREVIEW_COLOUR, nullptr, 0);
    EXPECT_EQ(At(1, 2), c.colour) << int(c.y) << " " << int(c.u) << " " << int(c.v);
    ConvertPreview(&d, 1, PREVIEW_GREY, nullptr, 0);
    EXPECT_EQ(At(1, 2), c.grey);
  }
  // RGB 24 is blue, green, red.
  std::vector<uint8_t> rgb(4 * 4 * 3);
  for (size_t i = 0; i < rgb.size(); i += 3) rgb[i] = 0xFF;
  FrameDesc d = Desc(rgb, FORMAT_RGB24, 4, 4);
  ConvertPreview(&d, 1, PREVIEW_GREY, nullptr, 0);
  EXPECT_EQ(At(3, 3), 0x001F);
}

TEST_F(Convert, UyvyPixelsTakeTheirOwnLumaAndTheirPairsChroma) {
  Screen(4, 4);
  // Each row: (U 128, Y 10 / 200, V 128) then (U 255, Y 100 / 100, V 0).
  std::vector<uint8_t> frame;
  for (int row = 0; row < 4; ++row) frame.insert(frame.end(), {128, 10, 128, 200, 255, 100, 0, 100});
  FrameDesc d = Desc(frame, FORMAT_UYVY, 4, 4);
  ConvertPreview(&d, 1, PREVIEW_GREY, nullptr, 0);
  EXPECT_EQ(At(0, 0), 0x0841);
  EXPECT_EQ(At(1, 0), 0xCE59);
  ConvertPreview(&d, 1, PREVIEW_COLOUR, nullptr, 0);
  EXPECT_EQ(At(2, 1), At(3, 1)) << "both pixels of a pair share its chroma";
  EXPECT_NE(At(2, 1), 0x632C) << "the second pair's chroma is used, not neutral grey";
}

TEST_F(Convert, PlanarChromaFollowsTheTurnedWalkAtHalfRate) {
  Screen(24, 32);
  // 48 × 64 YV12, luma 128 throughout; Cr is strong red in the right half of its plane only.
  const uint32_t w = 48, h = 64;
  std::vector<uint8_t> frame(w * h * 3 / 2, 128);
  uint8_t *cr = frame.data() + w * h + (w / 2) * (h / 2);
  for (uint32_t y = 0; y < h / 2; ++y)
    for (uint32_t x = w / 4; x < w / 2; ++x) cr[y * (w / 2) + x] = 255;
  FrameDesc d = Desc(frame, FORMAT_YV12, w, h);
  const uint16_t grey = 0x8410;
  ConvertPreview(&d, 1, PREVIEW_COLOUR, nullptr, 0);
  EXPECT_EQ(At(11, 5), grey);
  EXPECT_NE(At(12, 5), grey);
  ConvertPreview(&d, 3, PREVIEW_COLOUR, nullptr, 0);  // half turn: red on the left
  EXPECT_NE(At(11, 30), grey);
  EXPECT_EQ(At(12, 30), grey);
  ConvertPreview(&d, 1, PREVIEW_GREY, nullptr, 0);
  EXPECT_EQ(At(20, 5), grey) << "grey reads the luma plane alone";
}

struct FastCall {
  int calls = 0;
  uint16_t *dst;
  int32_t dstWidth, dstHeight, pitch, srcWidth, srcHeight;
  uint32_t format, rotation;
  uint32_t result = 1;
} g_fast;

uint32_t FakeConvertFrame(uint16_t *dst, int32_t dstWidth, int32_t dstHeight, int32_t pitch, const uint8_t *,
                          int32_t srcWidth, int32_t srcHeight, uint32_t format, uint32_t rotation, uint8_t *) {
  ++g_fast.calls;
  g_fast.dst = dst;
  g_fast.dstWidth = dstWidth;
  g_fast.dstHeight = dstHeight;
  g_fast.pitch = pitch;
  g_fast.srcWidth = srcWidth;
  g_fast.srcHeight = srcHeight;
  g_fast.format = format;
  g_fast.rotation = rotation;
  return g_fast.result;
}

TEST_F(Convert, FastModesCallTarnjpgAndFallBackToGrey) {
  std::vector<uint8_t> red = Uyvy(640, 480, 81, 90, 240);
  FrameDesc frame = Desc(red, FORMAT_UYVY, 640, 480);
  std::vector<uint8_t> scratch(640 * 480 * 3 / 2);
  const uint16_t greyOf81 = 0x528A;

  // No converter bound: grey.
  ConvertPreview(&frame, 1, PREVIEW_FAST, scratch.data(), uint32_t(scratch.size()));
  ExpectRect(0, 72, 240, 180, greyOf81);

  g_FastEncoder.ConvertFrame = FakeConvertFrame;
  g_fast = FastCall{};
  Fill(0x1234);
  ConvertPreview(&frame, 1, PREVIEW_FAST_HALF, scratch.data(), uint32_t(scratch.size()));
  EXPECT_EQ(g_fast.calls, 1);
  EXPECT_EQ(g_fast.dst, g_App.PreviewPicture.pixels + 112 * 240 + 60);
  EXPECT_EQ(g_fast.dstWidth, 120);
  EXPECT_EQ(g_fast.dstHeight, 90);
  EXPECT_EQ(g_fast.pitch, 480);
  EXPECT_EQ(g_fast.srcWidth, 640);
  EXPECT_EQ(g_fast.format, uint32_t(InputUyvy));
  EXPECT_EQ(g_fast.rotation, 1u);
  ExpectRect(60, 112, 120, 90, 0x1234);  // only the bars are cleared; the picture is the converter's

  // A turned picture starts across: row mx, column my; YV12 goes as code 4.
  std::vector<uint8_t> planar(640 * 480 * 3 / 2, 128);
  FrameDesc yv12 = Desc(planar, FORMAT_YV12, 640, 480);
  ConvertPreview(&yv12, 0, PREVIEW_FAST_HALF, scratch.data(), uint32_t(scratch.size()));
  EXPECT_EQ(g_fast.dst, g_App.PreviewPicture.pixels + 80 * 240 + 64);
  EXPECT_EQ(g_fast.dstWidth, 160);
  EXPECT_EQ(g_fast.dstHeight, 120);
  EXPECT_EQ(g_fast.format, uint32_t(InputPlanarYuv));
  EXPECT_EQ(g_fast.rotation, 0u);

  // tarnjpg reads no YUY2: the built-in grey converter takes its luma bytes.
  g_fast.calls = 0;
  std::vector<uint8_t> yuy2(640 * 480 * 2);
  for (size_t i = 0; i < yuy2.size(); i += 2) yuy2[i] = 81, yuy2[i + 1] = 128;
  FrameDesc packed = Desc(yuy2, FORMAT_YUY2, 640, 480);
  ConvertPreview(&packed, 1, PREVIEW_FAST, scratch.data(), uint32_t(scratch.size()));
  EXPECT_EQ(g_fast.calls, 0);
  ExpectRect(0, 72, 240, 180, greyOf81);

  // Refused, or a scratch buffer too small for it: the built-in grey converter draws.
  for (uint32_t scratchBytes : {uint32_t(scratch.size()), uint32_t(scratch.size() - 1)}) {
    g_fast.result = scratchBytes == scratch.size() ? 0 : 1;
    g_fast.calls = 0;
    ConvertPreview(&frame, 1, PREVIEW_FAST, scratch.data(), scratchBytes);
    EXPECT_EQ(g_fast.calls, scratchBytes == scratch.size() ? 1 : 0);
    ExpectRect(0, 72, 240, 180, greyOf81);
  }
}

TEST(PictureSize, HeaderAndAlignedBlockFollowTheSize) {
  Picture p{};
  ASSERT_TRUE(SetPictureSize(&p, 240, 320));
  EXPECT_EQ(p.header.biSize, 40u);
  EXPECT_EQ(p.header.biPlanes, 1);
  EXPECT_EQ(p.header.biXPelsPerMeter, 3780);
  EXPECT_EQ(p.header.biSizeImage, 240u * 320 * 2);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(p.pixels) % 32, 0u);
  EXPECT_EQ(p.capacity, 240u * 320 * 2);
  void *block = p.block;
  ASSERT_TRUE(SetPictureSize(&p, 320, 240));
  EXPECT_EQ(p.block, block) << "the same byte size keeps the block";
  ASSERT_TRUE(SetPictureSize(&p, 16, 16, 100000));
  EXPECT_EQ(p.header.biSizeImage, 512u);
  EXPECT_EQ(p.capacity, 100000u) << "a larger minimum sizes the block";
  ASSERT_TRUE(SetPictureSize(&p, 0, 0));
  EXPECT_EQ(p.block, nullptr);
  EXPECT_EQ(p.header.biSizeImage, 0u);
  EXPECT_FALSE(SetPictureSize(&p, 65536, 65536)) << "more than 32 bits of bytes";
  EXPECT_EQ(p.pixels, nullptr);
  EXPECT_EQ(p.header.biWidth, 0);
  FreePicture(&p);
}

}  // namespace
