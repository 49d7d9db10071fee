// ConvertPreview against a plain model of the conversion, pixel for pixel, on noisy frames:
// the fast converters must give exactly what the one-pixel-at-a-time walk gives, in every
// orientation, mode and size, including rows that do not fill whole vector groups.
#include <gtest/gtest.h>

#include <vector>

#include "app/appstate.h"
#include "pipeline/preview.h"

namespace {

uint8_t Noise(uint32_t i) {
  i ^= i >> 15;
  i *= 0x2c1b3c6d;
  i ^= i >> 12;
  i *= 0x297a2d39;
  return uint8_t(i ^ (i >> 15));
}

int Clamp(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

uint16_t Rgb565(int y, int u, int v, bool colour) {
  int r = y, g = y, b = y;
  if (colour) {
    u -= 128, v -= 128;
    r = Clamp(y + v + ((103 * v) >> 8));
    g = Clamp(y - ((183 * v + 88 * u) >> 8));
    b = Clamp(y + u + ((197 * u) >> 8));
  }
  return uint16_t(((r & 0xF8) << 8) | ((g & 0xFC) << 3) | (b >> 3));
}

struct Walk {
  long start, x, y;
};
Walk WalkOf(uint32_t o, long w, long h) {
  switch (o) {
    case 0: return {w - 1, w, -1};
    case 2: return {(h - 1) * w, -w, 1};
    case 3: return {w * h - 1, -1, -w};
    default: return {0, 1, w};
  }
}

// Source index of each destination row's first pixel, and of each pixel from its row's first:
// the x accumulator restarts on every row.
std::vector<long> Steps(long start, long stride, uint32_t step, uint32_t n) {
  std::vector<long> at(n);
  uint32_t acc = 0;
  for (uint32_t i = 0; i < n; ++i) {
    at[i] = start;
    acc += step;
    start += long(acc >> 16) * stride;
    acc &= 0xFFFF;
  }
  return at;
}
// The whole screen as the conversion must leave it (black where the picture does not reach).
std::vector<uint16_t> Model(const std::vector<uint8_t> &f, uint32_t format, uint32_t W, uint32_t H, uint32_t screenW,
                            uint32_t screenH, uint32_t o, uint32_t mode) {
  const bool across = o == 0 || o == 2;
  const uint32_t bw = across ? screenH : screenW, bh = across ? screenW : screenH;
  uint32_t sx = uint32_t((uint64_t(W) << 16) / bw), sy = uint32_t((uint64_t(H) << 16) / bh);
  uint32_t step = sx >= sy ? sx : sy;
  uint32_t ow = sx >= sy ? bw : (bh * W / H) & ~3u, oh = sx >= sy ? (bw * H / W) & ~3u : bh;
  const bool half = mode == PREVIEW_GREY_HALF || mode == PREVIEW_COLOUR_HALF;
  if (half) ow /= 2, oh /= 2, step *= 2;
  const bool colour = mode == PREVIEW_COLOUR || mode == PREVIEW_COLOUR_HALF;
  const uint32_t mx = ((bw - ow) / 2 + 2) & ~3u, my = ((bh - oh) / 2 + 4) & ~7u;
  std::vector<uint16_t> screen(size_t(screenW) * screenH, 0);
  const uint32_t rows = across ? ow : oh, columns = across ? oh : ow;
  const uint32_t x0 = across ? my : mx, y0 = across ? mx : my;
  const Walk luma = WalkOf(o, W, H), chroma = WalkOf(o, W / 2, H / 2);
  const uint8_t *cb = f.data() + size_t(W) * H, *cr = cb + size_t(W / 2) * (H / 2);
  const std::vector<long> lumaRows = Steps(luma.start, luma.y, step, rows), lumaColumns = Steps(0, luma.x, step, columns);
  const std::vector<long> chromaRows = Steps(chroma.start, chroma.y, step / 2, rows),
                          chromaColumns = Steps(0, chroma.x, step / 2, columns);
  for (uint32_t r = 0; r < rows; ++r)
    for (uint32_t c = 0; c < columns; ++c) {
      long p = lumaRows[r] + lumaColumns[c];
      int y, u, v;
      const uint8_t *pair = &f[4 * (p / 2)];
      if (format == FORMAT_UYVY) {
        y = f[2 * p + 1], u = pair[0], v = pair[2];
      } else if (format == FORMAT_YUY2) {
        y = f[2 * p], u = pair[1], v = pair[3];
      } else if (format == FORMAT_YVYU) {
        y = f[2 * p], v = pair[1], u = pair[3];
      } else {
        long q = chromaRows[r] + chromaColumns[c];
        y = f[p];
        u = cb[q];
        v = cr[q];
      }
      screen[size_t(y0 + r) * screenW + x0 + c] = Rgb565(y, u, v, colour);
    }
  return screen;
}

// Built twice: against the program's converter, and with the converter's baseline code alone.
#ifdef PREVIEW_PORTABLE
#define MODEL_SUITE ConvertModelPortable
#else
#define MODEL_SUITE ConvertModel
#endif

TEST(MODEL_SUITE, EveryOrientationModeAndSizeMatchesThePlainWalk) {
  struct Case {
    uint32_t format, w, h, screenW, screenH;
  } cases[] = {
      {FORMAT_UYVY, 640, 480, 240, 320}, {FORMAT_UYVY, 176, 144, 240, 320}, {FORMAT_UYVY, 480, 640, 240, 320},
      {FORMAT_UYVY, 52, 38, 30, 22},     {FORMAT_UYVY, 1280, 960, 100, 74}, {FORMAT_YUY2, 640, 480, 240, 320},
      {FORMAT_YUY2, 52, 38, 30, 22},     {FORMAT_YVYU, 176, 144, 61, 45},   {FORMAT_YV12, 640, 480, 240, 320},
      {FORMAT_YV12, 52, 38, 30, 22},     {FORMAT_YV12, 176, 144, 61, 45},
  };
  for (const Case &k : cases) {
    const bool planar = k.format == FORMAT_YV12;
    const size_t bytes = planar ? size_t(k.w) * k.h + 2 * (k.w / 2) * (k.h / 2) : size_t(k.w) * k.h * 2;
    std::vector<uint8_t> frame(bytes);
    for (size_t i = 0; i < bytes; ++i) frame[i] = Noise(uint32_t(i) + k.w);
    FrameDesc d{frame.data(), uint32_t(bytes), k.format, k.w, k.h};
    ASSERT_TRUE(SetPictureSize(&g_App.PreviewPicture, k.screenW, k.screenH));
    for (uint32_t o = 0; o < 4; ++o)
      for (uint32_t mode : {PREVIEW_GREY, PREVIEW_GREY_HALF, PREVIEW_COLOUR, PREVIEW_COLOUR_HALF}) {
        std::fill_n(g_App.PreviewPicture.pixels, size_t(k.screenW) * k.screenH, uint16_t(0));
        ConvertPreview(&d, o, mode, nullptr, 0);
        std::vector<uint16_t> want = Model(frame, k.format, k.w, k.h, k.screenW, k.screenH, o, mode);
        const uint16_t *got = g_App.PreviewPicture.pixels;
        size_t wrong = 0, first = 0;
        for (size_t i = 0; i < want.size(); ++i)
          if (got[i] != want[i] && wrong++ == 0) first = i;
        const char fourcc[5] = {char(k.format), char(k.format >> 8), char(k.format >> 16), char(k.format >> 24), 0};
        EXPECT_EQ(wrong, 0u) << fourcc << " " << k.w << "x" << k.h << " on "
                             << k.screenW << "x" << k.screenH << ", orientation " << o << ", mode " << mode
                             << ": first at " << first % k.screenW << ", " << first / k.screenW;
      }
  }
  FreePicture(&g_App.PreviewPicture);
}

}  // namespace
