// ConvertFrame: which road a request takes, the size and turn rules, and the colours on both roads.
#include "scene.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// ConvertFrame rotation codes.
constexpr uint32_t kCcw = 0, kNone = 1, kCw = 2, kHalf = 3;

struct Frame {
  int width, height;
  std::vector<uint8_t> bytes;
};

// A frame of one colour in format 0 (UYVY) or 4 (planar Y, Cb, Cr).
Frame uniform(int w, int h, uint32_t format, uint8_t y, uint8_t cb, uint8_t cr) {
  Frame f{w, h, {}};
  if (format == InputUyvy) {
    for (int i = 0; i < w * h / 2; ++i) f.bytes.insert(f.bytes.end(), {cb, y, cr, y});
  } else {
    f.bytes.assign(size_t(w) * h, y);
    f.bytes.resize(size_t(w) * h * 5 / 4, cb);
    f.bytes.resize(size_t(w) * h * 3 / 2, cr);
  }
  return f;
}

// Destination with room around the picture so that writes outside it show.
struct Screen {
  static constexpr uint16_t kUntouched = 0x1234;
  int rows, columns, pitch;  // pitch in pixels
  std::vector<uint16_t> pixels;
  Screen(int r, int c) : rows(r), columns(c), pitch(c + 8), pixels(size_t(r + 2) * pitch, kUntouched) {}
  uint16_t* origin() { return &pixels[0]; }
  uint16_t at(int x, int y) const { return pixels[size_t(y) * pitch + x]; }
  // True when exactly the rows x columns picture was written.
  bool writtenExactly() const {
    for (int y = 0; y < rows + 2; ++y)
      for (int x = 0; x < pitch; ++x)
        if ((pixels[size_t(y) * pitch + x] != kUntouched) != (y < rows && x < columns)) return false;
    return true;
  }
};

struct Call {
  EncoderTable table{};
  Call() { DllGetData(&table); }
  uint32_t operator()(Screen& s, int dw, int dh, const Frame& f, uint32_t format, uint32_t rotation,
                      uint8_t* scratch) const {
    return table.ConvertFrame(s.origin(), dw, dh, s.pitch * 2, f.bytes.data(), f.width, f.height, format, rotation,
                              scratch);
  }
};

TEST(ConvertFrameRules, RoadsAndRefusals) {
  Call convert;
  Frame uyvy = uniform(640, 480, InputUyvy, 120, 128, 128);
  Frame planar = uniform(640, 480, InputPlanarYuv, 120, 128, 128);
  std::vector<uint8_t> scratch(640 * 480 * 3 / 2);
  struct Case {
    const char* what;
    const Frame& frame;
    uint32_t format;
    int dw, dh;
    uint32_t rotation;
    bool withScratch;
    uint32_t result;
    int rows, columns;  // of the written picture
  } cases[] = {
      {"exact half needs no scratch", uyvy, InputUyvy, 320, 240, kNone, false, 1, 240, 320},
      {"exact quarter turned", uyvy, InputUyvy, 160, 120, kCcw, false, 1, 160, 120},
      {"exact eighth half-turned", uyvy, InputUyvy, 80, 60, kHalf, false, 1, 60, 80},
      {"quarter turn writes height-many columns", uyvy, InputUyvy, 320, 240, kCcw, false, 1, 320, 240},
      {"resize without scratch", uyvy, InputUyvy, 176, 144, kNone, false, 0, 0, 0},
      {"resize with scratch", uyvy, InputUyvy, 176, 144, kCw, true, 1, 176, 144},
      {"factor 3 is a resize", uyvy, InputUyvy, 213, 160, kNone, false, 0, 0, 0},
      {"planar needs no scratch", planar, InputPlanarYuv, 176, 144, kNone, false, 1, 144, 176},
      {"planar exact half resizes", planar, InputPlanarYvu, 320, 240, kCw, false, 1, 320, 240},
      {"odd destination size", planar, InputPlanarYuv, 175, 143, kHalf, false, 1, 143, 175},
      {"RGB 555", uyvy, InputRgb555, 320, 240, kNone, true, 0, 0, 0},
      {"RGB 565", uyvy, InputRgb565, 320, 240, kNone, true, 0, 0, 0},
      {"RGB 24", uyvy, InputRgb24, 320, 240, kNone, true, 0, 0, 0},
      {"unknown format", uyvy, 6, 320, 240, kNone, true, 0, 0, 0},
      {"rotation code 4", uyvy, InputUyvy, 320, 240, 4, true, 0, 0, 0},
      {"one-pixel destination", planar, InputPlanarYuv, 1, 1, kNone, false, 0, 0, 0},
      {"empty destination", planar, InputPlanarYuv, 0, 240, kNone, false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Screen screen(c.result ? c.rows : 400, c.result ? c.columns : 400);
    EXPECT_EQ(convert(screen, c.dw, c.dh, c.frame, c.format, c.rotation, c.withScratch ? scratch.data() : nullptr),
              c.result);
    if (c.result)
      EXPECT_TRUE(screen.writtenExactly());
    else
      EXPECT_EQ(screen.pixels, std::vector<uint16_t>(screen.pixels.size(), Screen::kUntouched));
  }
}

TEST(ConvertFrameColours, VideoRangeOnBothRoads) {
  Call convert;
  struct Colour {
    uint8_t y, cb, cr;
    uint16_t rgb;
  } colours[] = {{235, 128, 128, 0xFFFF}, {16, 128, 128, 0x0000}, {81, 90, 240, 0xF800}, {0, 128, 128, 0x0000},
                 {255, 128, 128, 0xFFFF}};
  struct Road {
    const char* what;
    uint32_t format;
    int w, h, dw, dh;
  } roads[] = {{"exact downscale", InputUyvy, 64, 48, 32, 24},
               {"UYVY resize", InputUyvy, 64, 48, 40, 30},
               {"planar resize", InputPlanarYuv, 64, 48, 40, 30}};
  std::vector<uint8_t> scratch(64 * 48 * 3 / 2);
  for (const Road& road : roads)
    for (const Colour& c : colours)
      for (uint32_t rotation : {kNone, kCcw}) {
        SCOPED_TRACE(std::string(road.what) + " Y " + std::to_string(c.y));
        Frame f = uniform(road.w, road.h, road.format, c.y, c.cb, c.cr);
        const bool quarter = rotation == kCcw;
        Screen screen(quarter ? road.dw : road.dh, quarter ? road.dh : road.dw);
        ASSERT_EQ(convert(screen, road.dw, road.dh, f, road.format, rotation, scratch.data()), 1u);
        for (int y = 0; y < screen.rows; ++y)
          for (int x = 0; x < screen.columns; ++x) ASSERT_EQ(screen.at(x, y), c.rgb) << x << "," << y;
      }
}

// Each quadrant of the source has its own luma; the corners of the output tell where it went.
TEST(ConvertFrameTurns, EveryRotationOnEveryRoad) {
  Call convert;
  const uint8_t quadrant[4] = {40, 100, 160, 220};  // top-left, top-right, bottom-left, bottom-right
  struct Road {
    const char* what;
    uint32_t format;
    int w, h, dw, dh;
  } roads[] = {{"exact downscale", InputUyvy, 128, 96, 64, 48},
               {"small UYVY, turned while made planar", InputUyvy, 128, 96, 80, 56},
               {"large UYVY, turned by the resize", InputUyvy, 640, 480, 200, 152},
               {"planar", InputPlanarYuv, 128, 96, 80, 56}};
  // Which source quadrant lands in the output's top-left, top-right, bottom-left, bottom-right.
  struct Turn {
    uint32_t rotation;
    int corners[4];
  } turns[] = {{kNone, {0, 1, 2, 3}}, {kCcw, {1, 3, 0, 2}}, {kCw, {2, 0, 3, 1}}, {kHalf, {3, 2, 1, 0}}};
  for (const Road& road : roads) {
    Frame f = uniform(road.w, road.h, road.format, 0, 128, 128);
    for (int y = 0; y < road.h; ++y)
      for (int x = 0; x < road.w; ++x) {
        uint8_t v = quadrant[(y >= road.h / 2) * 2 + (x >= road.w / 2)];
        if (road.format == InputUyvy)
          f.bytes[(size_t(y) * road.w + x) * 2 + 1] = v;
        else
          f.bytes[size_t(y) * road.w + x] = v;
      }
    std::vector<uint8_t> scratch(size_t(road.w) * road.h * 3 / 2);
    for (const Turn& t : turns) {
      SCOPED_TRACE(std::string(road.what) + " rotation " + std::to_string(t.rotation));
      const bool quarter = t.rotation == kCcw || t.rotation == kCw;
      Screen screen(quarter ? road.dw : road.dh, quarter ? road.dh : road.dw);
      ASSERT_EQ(convert(screen, road.dw, road.dh, f, road.format, t.rotation, scratch.data()), 1u);
      ASSERT_TRUE(screen.writtenExactly());
      Screen reference(2, 4);
      for (int q = 0; q < 4; ++q) {
        convert(reference, 4, 2, uniform(8, 4, InputPlanarYuv, quadrant[q], 128, 128), InputPlanarYuv, kNone,
                nullptr);
        uint16_t want = reference.at(0, 0);
        const int x = (t.corners[0] == q || t.corners[2] == q) ? 0 : screen.columns - 1;
        const int y = (t.corners[0] == q || t.corners[1] == q) ? 0 : screen.rows - 1;
        if (road.format == InputUyvy && road.w == 2 * road.dw) {
          // The exact road uses the finer coefficients; compare the grey level instead.
          EXPECT_NEAR(screen.at(x, y) >> 5 & 63, want >> 5 & 63, 1) << "quadrant " << q;
        } else {
          EXPECT_EQ(screen.at(x, y), want) << "quadrant " << q;
        }
      }
    }
  }
}

// Output pixel (x, y) of the exact road shows source pixel (f x, f y), with the chroma of the pair
// that holds the first pixel of its output pair.
TEST(ConvertFrameSampling, ExactDownscalePicksItsPixels) {
  Call convert;
  for (int f : {2, 4, 8}) {
    SCOPED_TRACE("factor " + std::to_string(f));
    const int dw = 13, dh = 6, w = dw * f, h = dh * f;  // odd output width: last column on its own
    Frame frame{w, h, std::vector<uint8_t>(size_t(w) * h * 2)};
    for (size_t i = 0; i < frame.bytes.size(); ++i) frame.bytes[i] = uint8_t(16 + scene::hash(uint32_t(i)) % 220);
    Screen screen(dh, dw);
    ASSERT_EQ(convert(screen, dw, dh, frame, InputUyvy, kNone, nullptr), 1u);
    Screen single(1, 2);
    for (int y = 0; y < dh; ++y)
      for (int x = 0; x < dw; ++x) {
        const uint8_t* row = &frame.bytes[size_t(f) * y * w * 2];
        const uint8_t* pair = row + size_t(f) * (x & ~1) * 2;
        // The same colour through the exact road of a 2 x 1 frame of that one pixel pair.
        Frame px{4, 2, {pair[0], row[size_t(f) * x * 2 + 1], pair[2], 0, pair[0], 0, pair[2], 0}};
        ASSERT_EQ(convert(single, 2, 1, px, InputUyvy, kNone, nullptr), 1u);
        ASSERT_EQ(screen.at(x, y), single.at(0, 0)) << x << "," << y;
      }
  }
}

// The general road maps the first and last even-aligned source samples onto the first and last
// destination samples; format 5 is format 4 with the chroma planes exchanged.
TEST(ConvertFrameSampling, ResizeEndsAndPlaneOrder) {
  Call convert;
  const int w = 101, h = 75, dw = 40, dh = 30;
  Frame yuv{w, h, std::vector<uint8_t>(size_t(w) * h * 3 / 2)};
  for (size_t i = 0; i < yuv.bytes.size(); ++i) yuv.bytes[i] = uint8_t(scene::hash(uint32_t(i) * 3) % 256);
  Frame yvu = yuv;
  const size_t area = size_t(w) * h, quarter = area / 4;
  std::copy(yuv.bytes.begin() + long(area), yuv.bytes.begin() + long(area + quarter), yvu.bytes.begin() + long(area + quarter));
  std::copy(yuv.bytes.begin() + long(area + quarter), yuv.bytes.begin() + long(area + 2 * quarter), yvu.bytes.begin() + long(area));
  Screen a(dh, dw), b(dh, dw);
  ASSERT_EQ(convert(a, dw, dh, yuv, InputPlanarYuv, kNone, nullptr), 1u);
  ASSERT_EQ(convert(b, dw, dh, yvu, InputPlanarYvu, kNone, nullptr), 1u);
  EXPECT_EQ(a.pixels, b.pixels);

  // Ends: luma of (0, 0) and of (w & ~1) - 1, (h & ~1) - 1, each with its group's chroma.
  auto colourOf = [&](int sx, int sy, int cx, int cy) {
    const uint8_t* cb = &yuv.bytes[area];
    const uint8_t* cr = cb + quarter;
    Frame one = uniform(2, 2, InputPlanarYuv, yuv.bytes[size_t(sy) * w + sx], cb[size_t(cy) * (w / 2) + cx],
                        cr[size_t(cy) * (w / 2) + cx]);
    Screen s(2, 2);
    convert(s, 2, 2, one, InputPlanarYuv, kNone, nullptr);
    return s.at(0, 0);
  };
  EXPECT_EQ(a.at(0, 0), colourOf(0, 0, 0, 0));
  const uint32_t stepX = uint32_t((w - 2) * 65536u / (dw - 1)), stepY = uint32_t((h - 2) * 65536u / (dh - 1));
  const int gx = int(((dw - 2) * uint64_t(stepX) + 0x8000) >> 16), gy = int(((dh - 2) * uint64_t(stepY) + 0x8000) >> 16);
  EXPECT_EQ(a.at(dw - 1, dh - 1), colourOf(w - 2, h - 2, gx / 2, gy / 2));
}

}  // namespace
