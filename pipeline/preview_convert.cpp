// ConvertPreview: a camera frame into PreviewPicture, nearest-neighbour scaled with its aspect
// kept, turned for the mounting and centred on black. The walk uses 16.16 accumulators and
// integer colour factors only.

// Vector arguments of the inlined helpers never cross a call, so their ABI does not matter.
#pragma GCC diagnostic ignored "-Wpsabi"

#include <algorithm>
#include <cstring>
#include <utility>

#include "app/appstate.h"
#include "capture/encoder.h"
#include "pipeline/preview.h"
#include "tarnjpg/tarnjpg.h"

namespace {

// A destination row is at most this many pixels (the width of the screen).
constexpr uint32_t kMaxColumns = 1024;

inline constexpr uint16_t PackRgb(int r, int g, int b) {
  return uint16_t(((r & 0xF8) << 8) | ((g & 0xFC) << 3) | (b >> 3));
}

// Sixteen samples at a time in the compiler's vector types (SSE2 or AVX2 here, chosen when the
// program starts; NEON on the handset).
typedef uint8_t U8x16 __attribute__((vector_size(16)));
typedef int16_t I16x16 __attribute__((vector_size(32)));
typedef uint16_t U16x16 __attribute__((vector_size(32)));
typedef uint32_t U32x16 __attribute__((vector_size(64)));
constexpr uint32_t kLanes = 16;

// PREVIEW_PORTABLE builds the baseline code alone, so that the tests can check it on any host.
// The thread sanitizer's runtime is not up yet when the clones' resolvers run at load, so its
// builds take the baseline code too.
#if defined(__x86_64__) && !defined(__AVX2__) && !defined(PREVIEW_PORTABLE) && !defined(__SANITIZE_THREAD__)
#define VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define VECTOR_CLONES
#endif

#define ALWAYS_INLINE inline __attribute__((always_inline))
#define ALWAYS_LAMBDA __attribute__((always_inline))

ALWAYS_INLINE I16x16 Clamp255(const I16x16 &value) {
  const I16x16 zero = {}, top = zero + 255;
  const I16x16 v = value < zero ? zero : value;
  return v > top ? top : v;
}

ALWAYS_INLINE U16x16 Pack565(const U16x16 &r, const U16x16 &g, const U16x16 &b) {
  return ((r & 0xF8) << 8) | ((g & 0xFC) << 3) | (b >> 3);
}

// Y, U' and V' (chroma less 128) to RGB 565. The green term (183 V' + 88 U') >> 8 is taken
// as (91 V' + 44 U' + (V' >> 1)) >> 7, which is the same for every U' and V' and stays
// within 16 bits.
ALWAYS_INLINE U16x16 YuvToRgb565(const I16x16 &y, const I16x16 &u, const I16x16 &v) {
  I16x16 r = y + v + ((v * 103) >> 8);
  I16x16 b = y + u + ((u * 197) >> 8);
  I16x16 g = y - ((v * 91 + u * 44 + (v >> 1)) >> 7);
  return Pack565(U16x16(Clamp255(r)), U16x16(Clamp255(g)), U16x16(Clamp255(b)));
}

ALWAYS_INLINE void StorePixels(uint16_t *dst, const U16x16 &pixels, uint32_t n) {
  if (n >= kLanes)
    std::memcpy(dst, &pixels, sizeof pixels);
  else
    for (uint32_t k = 0; k < n; ++k) dst[k] = pixels[k];
}

template <class T>
ALWAYS_INLINE T LoadAt(const uint8_t *p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Sixteen samples of type T at base + offsets[0..15], as one vector.
template <class V, class T, size_t... I>
ALWAYS_INLINE V GatherLanes(const uint8_t *base, const int32_t *offsets, std::index_sequence<I...>) {
  return V{LoadAt<T>(base + offsets[I])...};
}
template <class V, class T>
ALWAYS_INLINE V Gather(const uint8_t *base, const int32_t *offsets) {
  return GatherLanes<V, T>(base, offsets, std::make_index_sequence<kLanes>());
}

// One destination row of planar samples in colour: luma[c] and chroma[c] are the offsets of
// column c's samples from the row's starts in the three planes.
ALWAYS_INLINE void PlanarRowToRgb565(uint16_t *dst, const uint8_t *y, const uint8_t *cb, const uint8_t *cr,
                                     const int32_t *luma, const int32_t *chroma, uint32_t n) {
  for (uint32_t i = 0; i < n; i += kLanes) {
    I16x16 ys = __builtin_convertvector(Gather<U8x16, uint8_t>(y, luma + i), I16x16);
    I16x16 us = __builtin_convertvector(Gather<U8x16, uint8_t>(cb, chroma + i), I16x16) - 128;
    I16x16 vs = __builtin_convertvector(Gather<U8x16, uint8_t>(cr, chroma + i), I16x16) - 128;
    StorePixels(dst + i, YuvToRgb565(ys, us, vs), n - i);
  }
}

// The packed 4:2:2 layouts, each pixel pair one 32-bit group: UYVY is U Y0 V Y1, YUY2
// Y0 U Y1 V, YVYU Y0 V Y1 U.
template <uint32_t Format>
constexpr bool kLumaFirst = Format != FORMAT_UYVY;

// One destination row of a packed frame in colour: group[c] is the byte offset from base of the
// group that holds the pixel of column c, and odd[c] all ones where that pixel is the pair's
// second. Both tables hold n rounded up to whole vectors.
template <uint32_t Format>
ALWAYS_INLINE void PackedRowToRgb565(uint16_t *dst, const uint8_t *base, const int32_t *group, const uint16_t *odd,
                                     uint32_t n) {
  for (uint32_t i = 0; i < n; i += kLanes) {
    U32x16 w = Gather<U32x16, uint32_t>(base, group + i);
    U16x16 first = __builtin_convertvector(w & 0xFFFF, U16x16), second = __builtin_convertvector(w >> 16, U16x16);
    const int lumaShift = kLumaFirst<Format> ? 0 : 8, chromaShift = 8 - lumaShift;
    U16x16 c0 = (first >> chromaShift) & 0xFF, c1 = (second >> chromaShift) & 0xFF;
    U16x16 m = LoadAt<U16x16>(reinterpret_cast<const uint8_t *>(odd + i));
    U16x16 y = (((first >> lumaShift) & 0xFF) & ~m) | (((second >> lumaShift) & 0xFF) & m);
    U16x16 u = Format == FORMAT_YVYU ? c1 : c0, v = Format == FORMAT_YVYU ? c0 : c1;
    StorePixels(dst + i, YuvToRgb565(I16x16(y), I16x16(u) - 128, I16x16(v) - 128), n - i);
  }
}

// One destination row in grey: luma[c] is the byte offset from base of column c's sample, a
// luma byte, or a packed pixel's two bytes whose luma lies at bit shift.
template <class Sample, int Shift>
ALWAYS_INLINE void GreyRowToRgb565(uint16_t *dst, const uint8_t *base, const int32_t *luma, uint32_t n) {
  for (uint32_t i = 0; i < n; i += kLanes) {
    U16x16 y;
    if constexpr (sizeof(Sample) == 1)
      y = __builtin_convertvector(Gather<U8x16, uint8_t>(base, luma + i), U16x16);
    else
      y = (Gather<U16x16, uint16_t>(base, luma + i) >> Shift) & 0xFF;
    StorePixels(dst + i, Pack565(y, y, y), n - i);
  }
}

// Where a walk starts in a plane of w × h samples and how it moves, per orientation: one step
// along a destination row (x) and one destination row down (y).
struct Walk {
  ptrdiff_t start, xStride, yStride;
};

Walk WalkFor(uint32_t orientation, ptrdiff_t w, ptrdiff_t h) {
  switch (orientation) {
    case 0: return {w - 1, w, -1};
    case 2: return {(h - 1) * w, -w, 1};
    case 3: return {w * h - 1, -1, -w};
    default: return {0, 1, w};
  }
}

// The offsets of a destination row's samples from its start: the same for every row, since
// the x accumulator restarts at 0 on each.
void ColumnOffsets(int32_t *offsets, uint32_t columns, uint32_t step, ptrdiff_t xStride) {
  uint32_t acc = 0;
  ptrdiff_t at = 0;
  for (uint32_t c = 0; c < columns; ++c) {
    offsets[c] = int32_t(at);
    acc += step;
    at += ptrdiff_t(acc >> 16) * xStride;
    acc &= 0xFFFF;
  }
}

// The start of each destination row in the plane; indices, never pointers, so that the step
// after the last row goes nowhere.
struct Rows {
  ptrdiff_t at, yStride;
  uint32_t step, acc = 0;
  Rows(const Walk &walk, uint32_t s) : at(walk.start), yStride(walk.yStride), step(s) {}
  void next() {
    acc += step;
    at += ptrdiff_t(acc >> 16) * yStride;
    acc &= 0xFFFF;
  }
};

// What one conversion needs besides the frame: the destination and its rows.
struct Target {
  uint16_t *dst;
  uint32_t pitch;  // pixels
  uint32_t rows, columns;
};

constexpr uint32_t kBand = 32;
constexpr uint32_t kPadded = kMaxColumns + kLanes;

// Runs the destination in spans: span(dst, b, c, n) draws n pixels from column c of row b of
// the current band, after start(b) has recorded where that row begins. Upright, a span is a
// whole row. Turned, the rows run down the frame's columns and neighbouring rows read
// neighbouring bytes of the same frame rows; a band of rows is then done one vector's width of
// columns at a time, so that the frame rows it reads stay in the cache.
template <class Start, class Span>
ALWAYS_INLINE void Tiles(const Target &t, bool turned, Start start, Span span) {
  const uint32_t band = turned ? kBand : 1, width = turned ? kLanes : t.columns;
  for (uint32_t r0 = 0; r0 < t.rows; r0 += band) {
    const uint32_t rows = std::min(band, t.rows - r0);
    for (uint32_t b = 0; b < rows; ++b) start(b);
    uint16_t *dst = t.dst + size_t(r0) * t.pitch;
    for (uint32_t c = 0; c < t.columns; c += width)
      for (uint32_t b = 0; b < rows; ++b) span(dst + size_t(b) * t.pitch + c, b, c, std::min(width, t.columns - c));
  }
}

// Column offsets padded to whole vectors; the spare entries repeat the first, which every row
// can read.
struct Columns {
  int32_t at[kPadded];
  Columns(uint32_t columns, uint32_t step, ptrdiff_t xStride, int32_t scale = 1) {
    ColumnOffsets(at, columns, step, xStride);
    for (uint32_t c = 0; c < columns; ++c) at[c] *= scale;
    std::fill(at + columns, at + kPadded, columns ? at[0] : 0);
  }
};

// One plane walked by the accumulators; sample(p) gives the pixel of sample index p.
template <class Sample>
void DrawPlane(const Target &t, const Walk &walk, uint32_t step, bool turned, Sample sample) {
  const Columns o(t.columns, step, walk.xStride);
  Rows row(walk, step);
  ptrdiff_t starts[kBand];
  Tiles(
      t, turned, [&](uint32_t b) { starts[b] = row.at, row.next(); },
      [&](uint16_t *dst, uint32_t b, uint32_t c0, uint32_t n) {
        for (uint32_t c = 0; c < n; ++c) dst[c] = sample(starts[b] + o.at[c0 + c]);
      });
}

// Luma alone: of a plane of one byte per sample, or of packed pixels of two bytes with the luma
// at bit shift of each.
template <class Sample, int Shift = 0>
VECTOR_CLONES void DrawGrey(const Target &t, const uint8_t *data, const Walk &walk, uint32_t step, bool turned) {
  const Columns luma(t.columns, step, walk.xStride, sizeof(Sample));
  Rows row(walk, step);
  const uint8_t *bases[kBand];
  Tiles(
      t, turned, [&](uint32_t b) { bases[b] = data + sizeof(Sample) * row.at, row.next(); },
      [&](uint16_t *dst, uint32_t b, uint32_t c, uint32_t n) ALWAYS_LAMBDA {
        GreyRowToRgb565<Sample, Shift>(dst, bases[b], luma.at + c, n);
      });
}

// Packed 4:2:2: pixel q's two bytes start at byte 2q, and its pair's group at byte 2q rounded
// down to 4. A row starting at pixel s reads column c at s + at[c]; the group's offset from
// byte 2s and whether the pixel is the pair's first or second depend on the parity of s.
template <uint32_t Format>
VECTOR_CLONES void DrawPackedColour(const Target &t, const uint8_t *data, const Walk &walk, uint32_t step,
                                    bool turned) {
  int32_t at[kMaxColumns];
  ColumnOffsets(at, t.columns, step, walk.xStride);
  int32_t group[2][kPadded];
  uint16_t odd[2][kPadded];
  for (int32_t parity = 0; parity < 2; ++parity) {
    for (uint32_t c = 0; c < t.columns; ++c) {
      const bool second = (parity + at[c]) & 1;
      group[parity][c] = 2 * at[c] - (second ? 2 : 0);
      odd[parity][c] = second ? 0xFFFF : 0;
    }
    std::fill(group[parity] + t.columns, group[parity] + kPadded, group[parity][0]);
    std::fill(odd[parity] + t.columns, odd[parity] + kPadded, 0);
  }
  Rows row(walk, step);
  ptrdiff_t starts[kBand];
  Tiles(
      t, turned, [&](uint32_t b) { starts[b] = row.at, row.next(); },
      [&](uint16_t *dst, uint32_t b, uint32_t c, uint32_t n) ALWAYS_LAMBDA {
        const int parity = starts[b] & 1;
        PackedRowToRgb565<Format>(dst, data + 2 * starts[b], group[parity] + c, odd[parity] + c, n);
      });
}

// A packed frame in colour or grey.
template <uint32_t Format>
void DrawPacked(const Target &t, const uint8_t *data, const Walk &walk, uint32_t step, bool turned, bool colour) {
  if (colour)
    DrawPackedColour<Format>(t, data, walk, step, turned);
  else
    DrawGrey<uint16_t, kLumaFirst<Format> ? 0 : 8>(t, data, walk, step, turned);
}

// Planar colour: the chroma planes are walked at half the step with strides of their own width.
VECTOR_CLONES void DrawPlanarColour(const Target &t, const uint8_t *y, const uint8_t *cb, const uint8_t *cr, const Walk &luma,
                      const Walk &chroma, uint32_t step, bool turned) {
  const Columns lumaAt(t.columns, step, luma.xStride), chromaAt(t.columns, step / 2, chroma.xStride);
  Rows lumaRow(luma, step), chromaRow(chroma, step / 2);
  ptrdiff_t lumaStarts[kBand], chromaStarts[kBand];
  Tiles(
      t, turned,
      [&](uint32_t b) {
        lumaStarts[b] = lumaRow.at, lumaRow.next();
        chromaStarts[b] = chromaRow.at, chromaRow.next();
      },
      [&](uint16_t *dst, uint32_t b, uint32_t c, uint32_t n) ALWAYS_LAMBDA {
        PlanarRowToRgb565(dst, y + lumaStarts[b], cb + chromaStarts[b], cr + chromaStarts[b], lumaAt.at + c,
                          chromaAt.at + c, n);
      });
}

// Bytes a frame of this format and size must hold; 0 for formats the converters do not read.
uint64_t FrameBytes(uint32_t format, uint64_t w, uint64_t h) {
  switch (format) {
    case FORMAT_UYVY:
    case FORMAT_YUY2:
    case FORMAT_YVYU: return (w * h * 2 + 3) & ~uint64_t(3);  // whole groups of two pixels
    case FORMAT_RGB565: return w * h * 2;
    case FORMAT_RGB24: return w * h * 3;
    case FORMAT_YV12: return w * h + 2 * (w / 2) * (h / 2);
    default: return 0;
  }
}

// A rectangle of the screen, in pixels.
struct Rect {
  uint32_t x, y, w, h;
};

void ClearOutside(Picture &picture, const Rect &r) {
  const uint32_t width = uint32_t(picture.header.biWidth), height = uint32_t(picture.header.biHeight);
  uint16_t *px = picture.pixels;
  std::memset(px, 0, size_t(r.y) * width * 2);
  for (uint32_t y = r.y; y < r.y + r.h; ++y) {
    std::memset(px + size_t(y) * width, 0, size_t(r.x) * 2);
    std::memset(px + size_t(y) * width + r.x + r.w, 0, size_t(width - r.x - r.w) * 2);
  }
  std::memset(px + size_t(r.y + r.h) * width, 0, size_t(height - r.y - r.h) * width * 2);
}

void ClearInside(Picture &picture, const Rect &r) {
  const uint32_t width = uint32_t(picture.header.biWidth);
  for (uint32_t y = r.y; y < r.y + r.h; ++y) std::memset(picture.pixels + size_t(y) * width + r.x, 0, size_t(r.w) * 2);
}

}  // namespace

void ConvertPreview(const FrameDesc *frame, uint32_t orientation, uint32_t mode, uint8_t *scratch,
                    uint32_t scratchBytes) {
  Picture &picture = g_App.PreviewPicture;
  if (!picture.pixels) return;
  const uint32_t screenW = uint32_t(picture.header.biWidth), screenH = uint32_t(picture.header.biHeight);
  const size_t pictureBytes = picture.header.biSizeImage;
  if (mode == PREVIEW_NONE) {
    std::memset(picture.pixels, 0, pictureBytes);
    return;
  }
  const uint32_t W = frame->width, H = frame->height;
  if (W == 0 || H == 0 || screenW == 0 || screenH == 0) return;
  if (orientation > 3) orientation = 1;
  const bool across = orientation == 0 || orientation == 2;  // picture rows run along screen columns
  const uint32_t boxW = across ? screenH : screenW, boxH = across ? screenW : screenH;

  const uint32_t sx = uint32_t((uint64_t(W) << 16) / boxW), sy = uint32_t((uint64_t(H) << 16) / boxH);
  uint32_t step, outW, outH;
  if (sx >= sy) {
    step = sx;
    outW = boxW;
    outH = uint32_t(uint64_t(boxW) * H / W) & ~3u;
  } else {
    step = sy;
    outH = boxH;
    outW = uint32_t(uint64_t(boxH) * W / H) & ~3u;
  }
  outW = std::min(outW, boxW);
  outH = std::min(outH, boxH);
  if (mode == PREVIEW_GREY_HALF || mode == PREVIEW_COLOUR_HALF || mode == PREVIEW_FAST_HALF) {
    outW /= 2;
    outH /= 2;
    step *= 2;
    --mode;
  }
  const uint32_t mx = ((boxW - outW) / 2 + 2) & ~3u;
  const uint32_t my = ((boxH - outH) / 2 + 4) & ~7u;
  uint16_t *dst = picture.pixels + (across ? size_t(mx) * screenW + my : size_t(my) * screenW + mx);
  const uint32_t pitchBytes = screenW * 2;
  // Destination rows: along the picture's width upright, along its height when turned.
  const uint32_t rows = across ? outW : outH, columns = std::min(across ? outH : outW, kMaxColumns);
  // Black bars: the screen is black wherever the picture does not cover it. Only the bars are
  // written; the picture's own rectangle is cleared too when nothing is drawn into it.
  const bool bars = mx != 0 || my != 0 || sx != sy;
  const Rect drawn{across ? my : mx, across ? mx : my, columns, rows};
  const uint64_t needed = FrameBytes(frame->format, W, H);
  const bool drawable = needed != 0 && frame->size >= needed;

  // tarnjpg's converter reads UYVY as the only packed 4:2:2 layout.
  const bool fastReads = frame->format != FORMAT_YUY2 && frame->format != FORMAT_YVYU;
  if (mode == PREVIEW_FAST && fastReads && g_FastEncoder.ConvertFrame && scratch &&
      uint64_t(scratchBytes) >= uint64_t(W) * H * 3 / 2) {
    if (bars) ClearOutside(picture, drawn);
    if (g_FastEncoder.ConvertFrame(dst, int32_t(outW), int32_t(outH), int32_t(pitchBytes), frame->data, int32_t(W),
                                   int32_t(H), FastFormatCode(frame->format), orientation, scratch))
      return;
    if (!drawable && bars) ClearInside(picture, drawn);
  } else if (bars) {
    if (drawable)
      ClearOutside(picture, drawn);
    else
      std::memset(picture.pixels, 0, pictureBytes);
  }
  if (!drawable) return;

  const bool colour = mode == PREVIEW_COLOUR;
  const Walk walk = WalkFor(orientation, W, H);
  const Target target{dst, screenW, rows, columns};
  const uint8_t *data = frame->data;
  switch (frame->format) {
    case FORMAT_UYVY: DrawPacked<FORMAT_UYVY>(target, data, walk, step, across, colour); break;
    case FORMAT_YUY2: DrawPacked<FORMAT_YUY2>(target, data, walk, step, across, colour); break;
    case FORMAT_YVYU: DrawPacked<FORMAT_YVYU>(target, data, walk, step, across, colour); break;
    case FORMAT_YV12:
      if (colour) {
        const uint8_t *cb = data + size_t(W) * H;
        const uint8_t *cr = cb + size_t(W / 2) * (H / 2);
        DrawPlanarColour(target, data, cb, cr, walk, WalkFor(orientation, W / 2, H / 2), step, across);
      } else {
        DrawGrey<uint8_t>(target, data, walk, step, across);
      }
      break;
    case FORMAT_RGB565:
      DrawPlane(target, walk, step, across, [data](ptrdiff_t p) { return LoadAt<uint16_t>(data + 2 * p); });
      break;
    case FORMAT_RGB24:
      DrawPlane(target, walk, step, across, [data](ptrdiff_t p) {
        const uint8_t *px = data + 3 * p;
        return PackRgb(px[2], px[1], px[0]);
      });
      break;
  }
}
