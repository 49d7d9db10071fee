// Encode and SetQuality: header bytes, quality rules, refusals, and streams that libjpeg-turbo
// reads back to the right picture and the right quantised coefficients.
#include "jpeg_reader.h"
#include "scene.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <jpeglib.h>
#include <string>

namespace {

using support::Encoder;

struct Segment {
  uint8_t marker;
  std::vector<uint8_t> body;  // after the length
};

// Marker segments from SOI up to and including SOS.
std::vector<Segment> headerSegments(const std::vector<uint8_t>& s) {
  std::vector<Segment> out;
  size_t p = 2;
  while (p + 4 <= s.size() && s[p] == 0xFF) {
    uint8_t marker = s[p + 1];
    size_t length = size_t(s[p + 2]) << 8 | s[p + 3];
    out.push_back({marker, std::vector<uint8_t>(s.begin() + long(p + 4), s.begin() + long(p + 2 + length))});
    p += 2 + length;
    if (marker == 0xDA) break;
  }
  return out;
}

// A stream libjpeg writes with its defaults (standard tables) at the given quality.
std::vector<uint8_t> libjpegStream(int quality, bool grey) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = 16, cinfo.image_height = 16;
  cinfo.input_components = grey ? 1 : 3;
  cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_YCbCr;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<uint8_t> row(16 * 3, 128);
  while (cinfo.next_scanline < 16) {
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&cinfo, &r, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<uint8_t> out(buffer, buffer + size);
  jpeg_destroy_compress(&cinfo);
  free(buffer);
  return out;
}

EncodeParams params(uint32_t w, uint32_t h, uint32_t format, uint32_t sampling, uint32_t rotation = 0,
                    uint32_t shift = 0) {
  return EncodeParams{w, h, format, shift, rotation, sampling};
}

TEST(EncoderHeader, MatchesTheStandardTablesAndLayout) {
  struct Case {
    uint32_t sampling, rotation;
    size_t length;
    uint8_t lumaFactors;
  } cases[] = {{Sampling420, 0, 623, 0x22}, {Sampling422, 2, 623, 0x21}, {SamplingGrey, 0, 328, 0x11},
               {SamplingGrey, 1, 328, 0x22}, {Sampling420, 3, 623, 0x22}};
  for (int quality : {50, 85, 20}) {
    Encoder enc{uint32_t(quality)};
    for (const Case& c : cases) {
      SCOPED_TRACE("sampling " + std::to_string(c.sampling) + " rotation " + std::to_string(c.rotation));
      const bool grey = c.sampling == SamplingGrey;
      auto frame = scene::uyvy(scene::make(48, 32));
      auto stream = enc.encode(frame, params(48, 32, InputUyvy, c.sampling, c.rotation));
      ASSERT_GT(stream.size(), c.length);
      EXPECT_EQ(enc.ctx->headerLength, c.length);
      // The tables libjpeg writes for the same quality, segment for segment.
      std::vector<Segment> ours = headerSegments(stream);
      std::vector<Segment> theirs = headerSegments(libjpegStream(quality, grey));
      auto tables = [](const std::vector<Segment>& segs, uint8_t marker) {
        std::vector<std::vector<uint8_t>> out;
        for (const Segment& s : segs)
          if (s.marker == marker) out.push_back(s.body);
        return out;
      };
      EXPECT_EQ(tables(ours, 0xDB), tables(theirs, 0xDB));
      EXPECT_EQ(tables(ours, 0xC4), tables(theirs, 0xC4));
      std::vector<uint8_t> order;
      for (const Segment& s : ours) order.push_back(s.marker);
      std::vector<uint8_t> expectedOrder = grey ? std::vector<uint8_t>{0xE0, 0xDB, 0xC4, 0xC4, 0xC0, 0xDA}
                                                : std::vector<uint8_t>{0xE0, 0xDB, 0xDB, 0xC4, 0xC4, 0xC4, 0xC4, 0xC0, 0xDA};
      EXPECT_EQ(order, expectedOrder);
      const uint8_t app0[] = {'J', 'F', 'I', 'F', 0, 1, 2, 0, 0, 72, 0, 72, 0, 0};
      EXPECT_EQ(ours[0].body, std::vector<uint8_t>(app0, app0 + sizeof app0));
      const bool quarter = c.rotation & 1;
      const uint16_t lines = quarter ? 48 : 32, samples = quarter ? 32 : 48;
      std::vector<uint8_t> sof = {8, uint8_t(lines >> 8), uint8_t(lines), uint8_t(samples >> 8), uint8_t(samples)};
      std::vector<uint8_t> sos;
      if (grey) {
        sof.insert(sof.end(), {1, 1, c.lumaFactors, 0});
        sos = {1, 1, 0x00, 0x00, 0x3F, 0x00};
      } else {
        sof.insert(sof.end(), {3, 1, c.lumaFactors, 0, 2, 0x11, 1, 3, 0x11, 1});
        sos = {3, 1, 0x00, 2, 0x11, 3, 0x11, 0x00, 0x3F, 0x00};
      }
      EXPECT_EQ(ours[ours.size() - 2].body, sof);
      EXPECT_EQ(ours.back().body, sos);
      EXPECT_EQ(stream[stream.size() - 2], 0xFF);
      EXPECT_EQ(stream.back(), 0xD9);
    }
  }
}

TEST(EncoderQuality, EdgeValuesGiveTheirTables) {
  auto tables = [](uint32_t quality) {
    Encoder enc(quality);
    std::vector<uint8_t> t(128);
    std::memcpy(t.data(), enc.ctx->lumaQuant, 64);
    std::memcpy(t.data() + 64, enc.ctx->chromaQuant, 64);
    EXPECT_EQ(enc.ctx->quality, quality);  // stored whole
    return t;
  };
  EXPECT_EQ(tables(0), tables(1));
  EXPECT_EQ(tables(0), std::vector<uint8_t>(128, 255));
  EXPECT_EQ(tables(100), std::vector<uint8_t>(128, 1));
  EXPECT_EQ(tables(0x80 | 101), std::vector<uint8_t>(128, 1));
  EXPECT_EQ(tables(0x7F), std::vector<uint8_t>(128, 1));
  std::vector<uint8_t> annexK = tables(50);
  EXPECT_EQ(annexK[0], 16);
  EXPECT_EQ(annexK[63], 99);
  EXPECT_EQ(annexK[64], 17);
  EXPECT_EQ(annexK[64 + 63], 99);
  EXPECT_EQ(tables(0xB2), annexK);
}

TEST(EncoderQuality, From150OnEveryFrameIsPlanar) {
  Encoder enc(0xB2);
  auto pic = scene::make(32, 32);
  auto planar = scene::planar420(pic);
  EncodeParams p = params(32, 32, InputUyvy, Sampling420);
  std::vector<uint8_t> out(8192);
  uint32_t n = enc.table.Encode(enc.ctx, out.data(), planar.data(), &p, 1);
  EXPECT_EQ(p.format, uint32_t(InputPlanarYuv));
  Encoder plain(50);
  auto expected = plain.encode(planar, params(32, 32, InputPlanarYuv, Sampling420));
  ASSERT_EQ(n, expected.size());
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), out.begin()));

  // A planar picture cannot be read as 4:2:2 (its chroma planes hold half the rows): refused,
  // even though the caller asked for UYVY.
  p = params(32, 32, InputUyvy, Sampling422);
  std::fill(out.begin(), out.end(), 0xAA);
  EXPECT_EQ(enc.table.Encode(enc.ctx, out.data(), planar.data(), &p, 1), 0u);
  EXPECT_EQ(out, std::vector<uint8_t>(out.size(), 0xAA));
}

TEST(EncoderRequests, RefusedWithoutWriting) {
  Encoder enc(75);
  struct Case {
    const char* what;
    EncodeParams p;
  } cases[] = {
      {"planar with 4:2:2", params(32, 32, InputPlanarYuv, Sampling422)},
      {"planar Cr first with 4:2:2", params(32, 32, InputPlanarYvu, Sampling422)},
      {"width not a multiple of 16", params(40, 32, InputUyvy, Sampling422)},
      {"height not a multiple of 16 in 4:2:0", params(32, 24, InputUyvy, Sampling420)},
      {"unknown format", params(32, 32, 6, Sampling420)},
      {"rotation above 3", params(32, 32, InputUyvy, Sampling420, 4)},
      {"half size of RGB", params(64, 64, InputRgb565, Sampling420, 0, 1)},
      {"shift of 2", params(64, 64, InputUyvy, Sampling420, 0, 2)},
      {"empty frame", params(0, 16, InputUyvy, Sampling422)},
  };
  std::vector<uint8_t> frame(64 * 64 * 3, 128);
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> out(16384, 0xAA);
    EXPECT_EQ(enc.table.Encode(enc.ctx, out.data(), frame.data(), &c.p, 1), 0u);
    EXPECT_EQ(out, std::vector<uint8_t>(16384, 0xAA));
  }
  // 4:2:2 with 8 rows is fine where 4:2:0 is not.
  EXPECT_FALSE(enc.encode(frame, params(32, 24, InputUyvy, Sampling422)).empty());
}

TEST(EncoderHeaderFlag, KeepsTheHeaderAndRewritesItAfterSetQuality) {
  Encoder enc(80);
  auto pic = scene::make(64, 32);
  auto frame = scene::uyvy(pic);
  EncodeParams p = params(64, 32, InputUyvy, Sampling422);
  std::vector<uint8_t> out(65536, 0);
  uint32_t first = enc.table.Encode(enc.ctx, out.data(), frame.data(), &p, 1);
  ASSERT_GT(first, 623u);
  std::vector<uint8_t> firstStream(out.begin(), out.begin() + first);

  // Flag 0: the header bytes are not touched, the data is the same.
  std::fill(out.begin() + 623, out.end(), 0x55);
  out[0] = 0x00;  // a byte the encoder would restore if it rewrote the header
  EXPECT_EQ(enc.table.Encode(enc.ctx, out.data(), frame.data(), &p, 0), first);
  EXPECT_EQ(out[0], 0x00);
  out[0] = 0xFF;
  EXPECT_TRUE(std::equal(firstStream.begin(), firstStream.end(), out.begin()));

  // A flag whose low byte is 0 counts as 0.
  out[0] = 0x00;
  enc.table.Encode(enc.ctx, out.data(), frame.data(), &p, 0x100);
  EXPECT_EQ(out[0], 0x00);

  // After SetQuality the header is written whatever the flag.
  enc.table.SetQuality(enc.ctx, 80);
  EXPECT_EQ(enc.ctx->headerLength, 0u);
  std::fill(out.begin(), out.end(), 0);
  EXPECT_EQ(enc.table.Encode(enc.ctx, out.data(), frame.data(), &p, 0), first);
  EXPECT_TRUE(std::equal(firstStream.begin(), firstStream.end(), out.begin()));
}

// The picture each format should decode to (before turning), as the encoder's loaders see it.
struct Expected {
  std::vector<uint8_t> y, cb, cr;  // full resolution
};

Expected expectedPicture(const scene::Picture& pic, uint32_t format, const std::vector<uint8_t>& frame) {
  Expected e{pic.y, pic.cb, pic.cr};
  if (format >= 1 && format <= 3) {
    for (size_t k = 0; k < pic.y.size(); ++k) {
      int r, g, b;
      if (format == 3) {
        b = frame[3 * k], g = frame[3 * k + 1], r = frame[3 * k + 2];
      } else {
        uint32_t v = frame[2 * k] | uint32_t(frame[2 * k + 1]) << 8;
        if (format == 2)
          r = int(v >> 11) << 3, g = int((v >> 5) & 63) << 2, b = int(v & 31) << 3;
        else
          r = int((v >> 10) & 31) << 3, g = int((v >> 5) & 31) << 3, b = int(v & 31) << 3;
      }
      e.y[k] = uint8_t((77 * r + 150 * g + 29 * b) >> 8);
      e.cb[k] = uint8_t(128 + ((-43 * r - 85 * g + 128 * b) >> 8));
      e.cr[k] = uint8_t(128 + ((128 * r - 107 * g - 21 * b) >> 8));
    }
  }
  return e;
}

std::vector<uint8_t> frameOf(const scene::Picture& pic, uint32_t format) {
  switch (format) {
    case InputUyvy: return scene::uyvy(pic);
    case InputPlanarYuv: return scene::planar420(pic);
    case InputPlanarYvu: return scene::planar420(pic, true);
    default: return scene::rgb(pic, int(format));
  }
}

TEST(EncoderStreams, DecodeToTheTurnedPictureInEveryFormat) {
  const int w = 64, h = 48;
  auto pic = scene::make(w, h, 7);
  Encoder enc(90);
  for (uint32_t format = 0; format <= 5; ++format)
    for (uint32_t sampling : {Sampling420, Sampling422, SamplingGrey})
      for (uint32_t rotation = 0; rotation < 4; ++rotation) {
        if (format >= 4 && sampling == Sampling422) continue;
        SCOPED_TRACE("format " + std::to_string(format) + " sampling " + std::to_string(sampling) + " rotation " +
                     std::to_string(rotation));
        auto frame = frameOf(pic, format);
        auto stream = enc.encode(frame, params(w, h, format, sampling, rotation));
        ASSERT_FALSE(stream.empty());
        jpegread::Image img = jpegread::decode(stream.data(), stream.size());
        ASSERT_TRUE(img.ok) << img.error;
        EXPECT_EQ(img.warnings, 0);
        int tw = w, th = h;
        Expected e = expectedPicture(pic, format, frame);
        auto y = support::turn(e.y, tw, th, rotation);
        ASSERT_EQ(img.width, tw);
        ASSERT_EQ(img.height, th);
        ASSERT_EQ(img.components, sampling == SamplingGrey ? 1 : 3);
        EXPECT_GT(support::psnr(img.pixels, img.components, 0, y), 34.0);
        if (sampling != SamplingGrey) {
          int cw = w, ch = h;
          EXPECT_GT(support::psnr(img.pixels, 3, 1, support::turn(e.cb, cw, ch, rotation)), 30.0);
          cw = w, ch = h;
          EXPECT_GT(support::psnr(img.pixels, 3, 2, support::turn(e.cr, cw, ch, rotation)), 30.0);
        }
      }
}

TEST(EncoderStreams, HalfSizeUyvyAveragesEachSquare) {
  auto pic = scene::make(128, 96, 3);
  auto frame = scene::uyvy(pic);
  std::vector<uint8_t> half(64 * 48);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) {
      auto at = [&](int dx, int dy) { return int(pic.y[size_t(2 * y + dy) * 128 + 2 * x + dx]); };
      half[size_t(y) * 64 + x] = uint8_t(((at(0, 0) + at(0, 1) + 1) / 2 + (at(1, 0) + at(1, 1) + 1) / 2 + 1) / 2);
    }
  Encoder enc(90);
  for (uint32_t sampling : {Sampling420, Sampling422, SamplingGrey}) {
    auto stream = enc.encode(frame, params(128, 96, InputUyvy, sampling, 0, 1));
    jpegread::Image img = jpegread::decode(stream.data(), stream.size());
    ASSERT_TRUE(img.ok) << img.error;
    ASSERT_EQ(img.width, 64);
    ASSERT_EQ(img.height, 48);
    EXPECT_GT(support::psnr(img.pixels, img.components, 0, half), 34.0);
  }
}

// Quantised coefficients read back from the stream against a floating-point DCT of the turned
// input, divided by Q and rounded: exact for more than 99 in 100, never off by more than 1.
void checkCoefficients(const std::vector<uint8_t>& stream, const std::vector<std::vector<uint8_t>>& planes,
                       const std::vector<int>& widths, int& exact, int& total) {
  jpegread::Coefficients coef = jpegread::readCoefficients(stream.data(), stream.size());
  ASSERT_TRUE(coef.ok) << coef.error;
  ASSERT_EQ(coef.warnings, 0);
  ASSERT_EQ(coef.components.size(), planes.size());
  for (size_t c = 0; c < planes.size(); ++c) {
    const jpegread::Component& comp = coef.components[c];
    const int pw = widths[c], ph = int(planes[c].size()) / pw;
    ASSERT_EQ(comp.blocksWide, pw / 8);
    ASSERT_EQ(comp.blocksHigh, ph / 8);
    for (int by = 0; by < comp.blocksHigh; ++by)
      for (int bx = 0; bx < comp.blocksWide; ++bx) {
        double samples[64], f[64];
        for (int i = 0; i < 64; ++i) samples[i] = planes[c][size_t(by * 8 + i / 8) * pw + bx * 8 + i % 8] - 128.0;
        support::floatDct(samples, f);
        const int16_t* got = &comp.coefficients[size_t(by * comp.blocksWide + bx) * 64];
        for (int i = 0; i < 64; ++i) {
          long want = std::lround(f[i] / comp.quant[i]);
          ASSERT_LE(std::abs(got[i] - want), 1) << "component " << c << " block " << bx << "," << by << " index " << i;
          exact += got[i] == want;
          ++total;
        }
      }
  }
}

TEST(EncoderCoefficients, AgreeWithAFloatingPointDct) {
  const int w = 64, h = 48;
  auto pic = scene::make(w, h, 11);
  Encoder enc(50);
  int exact = 0, total = 0;
  // Planar 4:2:0 and greyscale in every rotation.
  auto planar = scene::planar420(pic);
  const size_t area = size_t(w) * h;
  std::vector<uint8_t> cb(planar.begin() + long(area), planar.begin() + long(area + area / 4));
  std::vector<uint8_t> cr(planar.begin() + long(area + area / 4), planar.end());
  for (uint32_t rotation = 0; rotation < 4; ++rotation) {
    SCOPED_TRACE("rotation " + std::to_string(rotation));
    int tw = w, th = h, cw = w / 2, ch = h / 2;
    auto y = support::turn(pic.y, tw, th, rotation);
    auto tcb = support::turn(cb, cw, ch, rotation);
    cw = w / 2, ch = h / 2;
    auto tcr = support::turn(cr, cw, ch, rotation);
    checkCoefficients(enc.encode(planar, params(w, h, InputPlanarYuv, Sampling420, rotation)), {y, tcb, tcr},
                      {tw, cw, cw}, exact, total);
    checkCoefficients(enc.encode(planar, params(w, h, InputPlanarYuv, SamplingGrey, rotation)), {y}, {tw}, exact,
                      total);
  }
  // UYVY 4:2:2 (chroma as it is) and 4:2:0 (chroma of each pair of rows averaged, halves up).
  auto uyvy = scene::uyvy(pic);
  std::vector<uint8_t> cb422(area / 2), cr422(area / 2), cb420(area / 4), cr420(area / 4);
  for (size_t k = 0; k < area / 2; ++k) cb422[k] = uyvy[4 * k], cr422[k] = uyvy[4 * k + 2];
  for (int j = 0; j < h / 2; ++j)
    for (int i = 0; i < w / 2; ++i) {
      size_t a = size_t(2 * j) * (w / 2) + i, b = a + w / 2;
      cb420[size_t(j) * (w / 2) + i] = uint8_t((cb422[a] + cb422[b] + 1) / 2);
      cr420[size_t(j) * (w / 2) + i] = uint8_t((cr422[a] + cr422[b] + 1) / 2);
    }
  checkCoefficients(enc.encode(uyvy, params(w, h, InputUyvy, Sampling422)), {pic.y, cb422, cr422}, {w, w / 2, w / 2},
                    exact, total);
  checkCoefficients(enc.encode(uyvy, params(w, h, InputUyvy, Sampling420)), {pic.y, cb420, cr420}, {w, w / 2, w / 2},
                    exact, total);
  EXPECT_GT(exact * 100, total * 99) << exact << " of " << total;
}

// Blocks built to make the coder emit ZRL, a final non-zero coefficient without EOB, and plain
// DC-only blocks; read back through libjpeg, whose decoding goes astray at the first wrong code.
TEST(EncoderEntropy, RunsOfZerosAndBlockEnds) {
  struct Pattern {
    const char* what;
    int u, v;  // the one frequency the block holds
  } patterns[] = {{"last coefficient only (3 ZRL, no EOB)", 7, 7}, {"zig-zag 17 after 16 zeros", 4, 1},
                  {"zig-zag 16 after 15 zeros", 5, 0}, {"zig-zag 35 after 2 ZRL", 0, 7}, {"DC only", 0, 0}};
  // One 8-row strip: each pattern block followed by a flat block, at quality 50.
  const int n = int(std::size(patterns)), w = 16 * n, h = 8;
  std::vector<uint8_t> grey(size_t(w) * h, 128);
  for (int p = 0; p < n; ++p)
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) {
        double c = std::cos((2 * x + 1) * patterns[p].u * M_PI / 16) * std::cos((2 * y + 1) * patterns[p].v * M_PI / 16);
        grey[size_t(y) * w + 16 * p + x] = uint8_t(std::lround(128 + 100 * c));
      }
  // Planar frame: the Y plane followed by neutral chroma.
  std::vector<uint8_t> frame(grey);
  frame.resize(grey.size() * 3 / 2, 128);
  Encoder enc(50);
  auto stream = enc.encode(frame, params(w, h, InputPlanarYuv, SamplingGrey));
  jpegread::Coefficients coef = jpegread::readCoefficients(stream.data(), stream.size());
  ASSERT_TRUE(coef.ok) << coef.error;
  EXPECT_EQ(coef.warnings, 0);
  const auto& blocks = coef.components[0].coefficients;
  for (int p = 0; p < n; ++p) {
    SCOPED_TRACE(patterns[p].what);
    const int16_t* b = &blocks[size_t(2 * p) * 64];
    int target = patterns[p].v * 8 + patterns[p].u;
    for (int i = 1; i < 64; ++i) EXPECT_EQ(b[i] != 0, i == target) << "index " << i;
    const int16_t* flat = b + 64;
    for (int i = 1; i < 64; ++i) EXPECT_EQ(flat[i], 0);
  }
}

TEST(EncoderEntropy, MidGreyCodesDcZeroAndEob) {
  Encoder enc(75);
  std::vector<uint8_t> frame(32 * 8 * 3 / 2, 128);
  auto stream = enc.encode(frame, params(32, 8, InputPlanarYuv, SamplingGrey));
  // Four blocks of "00" (DC category 0) and "1010" (EOB): 24 bits, then EOI.
  std::vector<uint8_t> data(stream.begin() + 328, stream.end());
  EXPECT_EQ(data, (std::vector<uint8_t>{0x28, 0xA2, 0x8A, 0xFF, 0xD9}));
}

TEST(EncoderEntropy, EveryFfInTheDataIsStuffed) {
  // Noise at quality 100 gives long codes and many FF bytes.
  std::vector<uint8_t> frame(128 * 128 * 2);
  for (size_t i = 0; i < frame.size(); ++i) frame[i] = uint8_t(scene::hash(uint32_t(i)) >> 3);
  Encoder enc(100);
  auto stream = enc.encode(frame, params(128, 128, InputUyvy, Sampling420));
  int ff = 0;
  for (size_t i = 623; i + 2 < stream.size(); ++i)
    if (stream[i] == 0xFF) {
      ++ff;
      ASSERT_EQ(stream[i + 1], 0x00) << "at " << i;
    }
  EXPECT_GT(ff, 10);
  jpegread::Image img = jpegread::decode(stream.data(), stream.size());
  ASSERT_TRUE(img.ok) << img.error;
  EXPECT_EQ(img.warnings, 0);
}

}  // namespace
