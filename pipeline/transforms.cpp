#include "pipeline/transforms.h"

#include <algorithm>
#include <cstring>

namespace {

inline uint32_t LoadWord(const uint8_t *p) {
  uint32_t w;
  std::memcpy(&w, p, 4);
  return w;
}

inline void StoreWord(uint8_t *p, uint32_t w) { std::memcpy(p, &w, 4); }

inline uint8_t Clamp255(int v) { return uint8_t(std::clamp(v, 0, 255)); }

inline int LumaOf(int r, int g, int b) { return (77 * r + 150 * g + 29 * b) >> 8; }

// Chroma of a pixel pair: the mean of the two pixels' scaled colour differences, around bias/2.
inline int PairChroma(int c0, int y0, int c1, int y1, int factor, int bias) {
  return ((((c1 - y1) * factor) >> 8) + (((c0 - y0) * factor) >> 8) + bias) >> 1;
}

inline uint32_t UyvyWord(int u, int y0, int v, int y1) {
  return uint32_t(u & 255) | uint32_t(y0 & 255) << 8 | uint32_t(v & 255) << 16 | uint32_t(y1 & 255) << 24;
}

}  // namespace

void FlipRows(uint8_t *data, uint32_t rowBytes, uint32_t rows) {
  if (rows < 2) return;
  uint32_t words = rowBytes / 4;
  uint8_t *upper = data;
  uint8_t *lower = data + size_t(rowBytes) * (rows - 1);
  while (lower > upper) {
    for (uint32_t i = 0; i < words; ++i) {
      uint32_t a = LoadWord(upper + 4 * i);
      StoreWord(upper + 4 * i, LoadWord(lower + 4 * i));
      StoreWord(lower + 4 * i, a);
    }
    // The bytes of a row beyond its last whole word go with the row too.
    for (uint32_t i = words * 4; i < rowBytes; ++i) std::swap(upper[i], lower[i]);
    upper += rowBytes;
    lower -= rowBytes;
  }
}

uint32_t MotionTest(const uint8_t *reference, const uint8_t *frame, uint32_t size, uint32_t threshold,
                    uint32_t percent, uint32_t mode, uint32_t isYV12) {
  uint32_t first = 0, stride = 1, samples = size;
  if (mode == 2) {
    if (isYV12) {
      samples = uint32_t(uint64_t(size) * 2 / 3);
    } else {
      first = 1;
      stride = 2;
      samples = size / 2;
    }
  }
  uint64_t changed = 0;
  for (uint32_t n = 0, i = first; n < samples; ++n, i += stride) {
    int d = int(frame[i]) - int(reference[i]);
    changed += uint32_t(d < 0 ? -d : d) > threshold;
  }
  return changed * 100 > uint64_t(samples) * percent;
}

void AccumulateFrame(uint8_t *high, uint8_t *low, const uint8_t *frame, uint32_t size) {
  for (uint32_t i = 0; i < size; ++i) {
    uint32_t sum = frame[i] + (uint32_t(high[i]) << 8 | low[i]);
    low[i] = uint8_t(sum);
    high[i] = uint8_t(sum >> 8);
  }
}

void AverageFrames(const uint8_t *high, const uint8_t *low, uint8_t *out, uint32_t size, uint32_t shift,
                   uint32_t target, uint32_t isYV12) {
  auto sum = [&](uint32_t i) { return uint32_t(high[i]) << 8 | low[i]; };
  auto shifted = [&](uint32_t i) { return shift >= 32 ? 0u : sum(i) >> shift; };
  if (target == 0) {
    for (uint32_t i = 0; i < size; ++i) out[i] = uint8_t(shifted(i));
    return;
  }
  // Luma: the Y plane of YV12, or every second byte from 1 of UYVY; chroma is the rest.
  uint32_t lumaCount = isYV12 ? uint32_t(uint64_t(size) * 2 / 3) : size / 2;
  uint32_t lumaFirst = isYV12 ? 0 : 1, lumaStride = isYV12 ? 1 : 2;
  if (isYV12) {
    for (uint32_t i = lumaCount; i < size; ++i) out[i] = uint8_t(shifted(i));
  } else {
    for (uint32_t i = 0; i < size; i += 2) out[i] = uint8_t(shifted(i));
  }
  uint64_t total = 0;
  for (uint32_t n = 0, i = lumaFirst; n < lumaCount; ++n, i += lumaStride) total += sum(i);
  uint64_t mean = lumaCount ? total / lumaCount : 0;
  if (mean == 0) return;
  for (uint32_t n = 0, i = lumaFirst; n < lumaCount; ++n, i += lumaStride) {
    uint64_t scaled = (uint64_t(sum(i)) * 256 * target / mean) >> 8;
    out[i] = uint8_t(std::min<uint64_t>(255, scaled));
  }
}

void Rgb16ToUyvy(uint8_t *out, const uint8_t *in, uint32_t size, uint32_t bits) {
  for (uint32_t at = 0; at + 4 <= size; at += 4) {
    uint32_t pair = LoadWord(in + at);
    int r[2], g[2], b[2], y[2];
    for (int k = 0; k < 2; ++k) {
      uint32_t p = (pair >> (16 * k)) & 0xFFFF;
      if (bits == 15) {
        r[k] = int((p >> 10) & 31) * 8;
        g[k] = int((p >> 5) & 31) * 8;
      } else {
        r[k] = int(p >> 11) * 8;
        g[k] = int((p >> 5) & 63) * 4;
      }
      b[k] = int(p & 31) * 8;
      y[k] = LumaOf(r[k], g[k], b[k]);
    }
    int u = PairChroma(b[0], y[0], b[1], y[1], 145, 256);
    int v = PairChroma(r[0], y[0], r[1], y[1], 183, 256);
    StoreWord(out + at, UyvyWord(u, y[0], v, y[1]));
  }
}

void Rgb24ToUyvy(uint8_t *out, const uint8_t *in, uint32_t outSize) {
  // Each output word is written after its six input bytes were read, and never ahead of them.
  for (uint32_t at = 0, from = 0; at + 4 <= outSize; at += 4, from += 6) {
    int b0 = in[from], g0 = in[from + 1], r0 = in[from + 2];
    int b1 = in[from + 3], g1 = in[from + 4], r1 = in[from + 5];
    int y0 = LumaOf(r0, g0, b0), y1 = LumaOf(r1, g1, b1);
    int u = Clamp255(PairChroma(b0, y0, b1, y1, 145, 254));
    int v = Clamp255(PairChroma(r0, y0, r1, y1, 183, 254));
    StoreWord(out + at, UyvyWord(u, y0, v, y1));
  }
}

void SwapChroma(const FrameDesc *frame) {
  uint8_t *data = frame->data;
  if (frame->format == FORMAT_UYVY) {
    for (uint32_t i = 0; i + 4 <= frame->size; i += 4) {
      // U and V trade places; each pixel keeps its own luma.
      uint32_t w = LoadWord(data + i);
      StoreWord(data + i, (w & 0xFF00FF00) | (w & 0xFF) << 16 | (w >> 16 & 0xFF));
    }
  } else if (frame->format == FORMAT_YV12) {
    uint32_t lumaWords = frame->size / 4 * 2 / 3;
    uint32_t planeWords = lumaWords / 4;
    uint8_t *u = data + size_t(lumaWords) * 4, *v = u + size_t(planeWords) * 4;
    for (uint32_t i = 0; i < planeWords * 4; i += 4) {
      uint32_t a = LoadWord(u + i);
      StoreWord(u + i, LoadWord(v + i));
      StoreWord(v + i, a);
    }
  }
}

void CropWindow(FrameDesc *frame, const CaptureGeometry &g) {
  if (g.windowWidth == g.cropWidth && g.windowHeight == g.cropHeight) return;
  if (frame->format != FORMAT_UYVY && frame->format != FORMAT_RGB565) return;
  // A window that does not lie inside the frame's pixels would be read past the buffer.
  const uint64_t W = frame->width, H = frame->height;
  if (uint64_t(g.windowX) + g.windowWidth > W || uint64_t(g.windowY) + g.windowHeight > H ||
      W * H * 2 > frame->size)
    return;
  const size_t rowBytes = size_t(g.windowWidth) * 2, pitch = size_t(W) * 2;
  const uint8_t *from = frame->data + (size_t(g.windowY) * W + g.windowX) * 2;
  uint8_t *to = frame->data;
  for (uint32_t r = 0; r < g.windowHeight; ++r, from += pitch, to += rowBytes) std::memmove(to, from, rowBytes);
  frame->width = g.windowWidth;
  frame->height = g.windowHeight;
}

void FlipFrame(const FrameDesc *frame) {
  const uint32_t W = frame->width, H = frame->height;
  uint64_t bytes = 0;
  switch (frame->format) {
    case FORMAT_UYVY:
    case FORMAT_RGB565: bytes = uint64_t(W) * H * 2; break;
    case FORMAT_RGB24: bytes = uint64_t(W) * H * 3; break;
    case FORMAT_YV12: bytes = uint64_t(W) * H + 2 * uint64_t(W / 2) * (H / 2); break;
    default: return;
  }
  if (bytes > frame->size) return;  // the frame's buffer does not hold what its size says
  uint8_t *data = frame->data;
  switch (frame->format) {
    case FORMAT_UYVY:
    case FORMAT_RGB565: FlipRows(data, W * 2, H); break;
    case FORMAT_RGB24: FlipRows(data, W * 3, H); break;
    case FORMAT_YV12:
      FlipRows(data, W, H);
      FlipRows(data + size_t(W) * H, W / 2, H / 2);
      FlipRows(data + size_t(W) * H + size_t(W) * H / 4, W / 2, H / 2);
      break;
  }
}
