// ConvertPreview: a camera frame into PreviewPicture, nearest-neighbour scaled with its aspect
// kept, turned for the mounting and centred on black. The walk uses 16.16 accumulators and
// integer colour factors only.
#include <algorithm>
#include <cstring>

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

struct GreyTable {
  uint16_t pixel[256];
};
constexpr GreyTable MakeGreyTable() {
  GreyTable t{};
  for (int y = 0; y < 256; ++y) t.pixel[y] = PackRgb(y, y, y);
  return t;
}
constexpr GreyTable kGrey = MakeGreyTable();

// Eight samples at a time (the compiler's vector types: SSE2 here, NEON on the handset).
typedef uint8_t U8x8 __attribute__((vector_size(8)));
typedef int16_t I16x8 __attribute__((vector_size(16)));
typedef uint16_t U16x8 __attribute__((vector_size(16)));

inline I16x8 Load8(const uint8_t *p) {
  U8x8 v;
  std::memcpy(&v, p, 8);
  return __builtin_convertvector(v, I16x8);
}

inline I16x8 Clamp255(I16x8 v) {
  const I16x8 zero = {}, top = zero + 255;
  v = v < zero ? zero : v;
  return v > top ? top : v;
}

// A row of Y, U, V samples to RGB 565. The green term (183 V' + 88 U') >> 8 is split into
// high and low bytes, which keeps it exact in 16 bits. n is rounded up to whole groups of
// eight; the sample rows hold that many, dst gets n.
void YuvRowToRgb565(uint16_t *dst, const uint8_t *ys, const uint8_t *us, const uint8_t *vs, uint32_t n) {
  for (uint32_t i = 0; i < n; i += 8) {
    I16x8 y = Load8(ys + i), u = Load8(us + i) - 128, v = Load8(vs + i) - 128;
    I16x8 r = y + v + ((v * 103) >> 8);
    I16x8 b = y + u + ((u * 197) >> 8);
    I16x8 gv = v * 183, gu = u * 88;
    I16x8 g = y - ((gv >> 8) + (gu >> 8) + (((gv & 255) + (gu & 255)) >> 8));
    U16x8 ur = U16x8(Clamp255(r)), ug = U16x8(Clamp255(g)), ub = U16x8(Clamp255(b));
    U16x8 pixels = ((ur & 0xF8) << 8) | ((ug & 0xFC) << 3) | (ub >> 3);
    if (n - i >= 8)
      std::memcpy(dst + i, &pixels, 16);
    else
      for (uint32_t k = 0; k < n - i; ++k) dst[i + k] = pixels[k];
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

// One plane walked by the accumulators; sample(p) gives the pixel of sample index p.
template <class Sample>
void DrawPlane(const Target &t, const Walk &walk, uint32_t step, Sample sample) {
  int32_t offsets[kMaxColumns];
  ColumnOffsets(offsets, t.columns, step, walk.xStride);
  Rows row(walk, step);
  uint16_t *dst = t.dst;
  for (uint32_t r = 0; r < t.rows; ++r, dst += t.pitch, row.next())
    for (uint32_t c = 0; c < t.columns; ++c) dst[c] = sample(row.at + offsets[c]);
}

// UYVY: the luma byte of pixel p is byte 2p + 1, its pair's U and V bytes 0 and 2 of the word
// at 2p rounded down to 4. From a row start s the pair's offset depends only on the parity of s.
struct UyvyOffsets {
  int32_t luma[kMaxColumns];
  int32_t pair[2][kMaxColumns];
  UyvyOffsets(uint32_t columns, uint32_t step, ptrdiff_t xStride) {
    int32_t at[kMaxColumns];
    ColumnOffsets(at, columns, step, xStride);
    for (uint32_t c = 0; c < columns; ++c) {
      luma[c] = 2 * at[c] + 1;
      for (int32_t parity = 0; parity < 2; ++parity) pair[parity][c] = 2 * (at[c] - ((parity + at[c]) & 1));
    }
  }
};

void DrawUyvy(const Target &t, const uint8_t *data, const Walk &walk, uint32_t step, bool colour) {
  UyvyOffsets o(t.columns, step, walk.xStride);
  uint8_t ys[kMaxColumns + 8], us[kMaxColumns + 8], vs[kMaxColumns + 8];
  Rows row(walk, step);
  uint16_t *dst = t.dst;
  for (uint32_t r = 0; r < t.rows; ++r, dst += t.pitch, row.next()) {
    const uint8_t *base = data + 2 * row.at;
    if (!colour) {
      for (uint32_t c = 0; c < t.columns; ++c) dst[c] = kGrey.pixel[base[o.luma[c]]];
      continue;
    }
    const int32_t *pair = o.pair[row.at & 1];
    for (uint32_t c = 0; c < t.columns; ++c) {
      ys[c] = base[o.luma[c]];
      us[c] = base[pair[c]];
      vs[c] = base[pair[c] + 2];
    }
    YuvRowToRgb565(dst, ys, us, vs, t.columns);
  }
}

// Planar colour: the chroma planes are walked at half the step with strides of their own width.
void DrawPlanarColour(const Target &t, const uint8_t *y, const uint8_t *cb, const uint8_t *cr, const Walk &luma,
                      const Walk &chroma, uint32_t step) {
  int32_t lumaAt[kMaxColumns], chromaAt[kMaxColumns];
  ColumnOffsets(lumaAt, t.columns, step, luma.xStride);
  ColumnOffsets(chromaAt, t.columns, step / 2, chroma.xStride);
  uint8_t ys[kMaxColumns + 8], us[kMaxColumns + 8], vs[kMaxColumns + 8];
  Rows lumaRow(luma, step), chromaRow(chroma, step / 2);
  uint16_t *dst = t.dst;
  for (uint32_t r = 0; r < t.rows; ++r, dst += t.pitch, lumaRow.next(), chromaRow.next()) {
    const uint8_t *yRow = y + lumaRow.at, *cbRow = cb + chromaRow.at, *crRow = cr + chromaRow.at;
    for (uint32_t c = 0; c < t.columns; ++c) {
      ys[c] = yRow[lumaAt[c]];
      us[c] = cbRow[chromaAt[c]];
      vs[c] = crRow[chromaAt[c]];
    }
    YuvRowToRgb565(dst, ys, us, vs, t.columns);
  }
}

// Bytes a frame of this format and size must hold; 0 for formats the converters do not read.
uint64_t FrameBytes(uint32_t format, uint64_t w, uint64_t h) {
  switch (format) {
    case FORMAT_UYVY:
    case FORMAT_RGB565: return w * h * 2;
    case FORMAT_RGB24: return w * h * 3;
    case FORMAT_YV12: return w * h + 2 * (w / 2) * (h / 2);
    default: return 0;
  }
}

uint32_t FastFormatCode(uint32_t format) {
  switch (format) {
    case FORMAT_UYVY: return InputUyvy;
    case FORMAT_RGB555: return InputRgb555;
    case FORMAT_RGB565: return InputRgb565;
    case FORMAT_RGB24: return InputRgb24;
    case FORMAT_IYUV: return InputPlanarYvu;
    default: return InputPlanarYuv;
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

  if (mode == PREVIEW_FAST && g_FastEncoder.ConvertFrame && scratch &&
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
    case FORMAT_UYVY: DrawUyvy(target, data, walk, step, colour); break;
    case FORMAT_YV12:
      if (colour) {
        const uint8_t *cb = data + size_t(W) * H;
        const uint8_t *cr = cb + size_t(W / 2) * (H / 2);
        DrawPlanarColour(target, data, cb, cr, walk, WalkFor(orientation, W / 2, H / 2), step);
      } else {
        DrawPlane(target, walk, step, [data](ptrdiff_t p) { return kGrey.pixel[data[p]]; });
      }
      break;
    case FORMAT_RGB565:
      DrawPlane(target, walk, step, [data](ptrdiff_t p) {
        uint16_t v;
        std::memcpy(&v, data + size_t(p) * 2, 2);
        return v;
      });
      break;
    case FORMAT_RGB24:
      DrawPlane(target, walk, step, [data](ptrdiff_t p) {
        const uint8_t *px = data + size_t(p) * 3;
        return PackRgb(px[2], px[1], px[0]);
      });
      break;
  }
}
