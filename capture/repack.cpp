// Planar pictures for the vendor encoder: UYVY halved, split into planes and turned.
#include "capture/repack.h"

#include <cstring>

#include "capture/encoder.h"

namespace {

// Where sample (x, y) of a w x h plane lands once the plane is turned by rotation.
inline uint32_t Turned(uint32_t x, uint32_t y, uint32_t w, uint32_t h, uint32_t rotation) {
  switch (rotation) {
    case 1: return (w - 1 - x) * h + y;    // quarter counter-clockwise: rows become columns
    case 2: return (h - 1 - y) * w + (w - 1 - x);
    case 3: return x * h + (h - 1 - y);    // quarter clockwise
    default: return y * w + x;
  }
}

void TurnPlane(uint8_t *out, const uint8_t *in, uint32_t w, uint32_t h, uint32_t rotation) {
  if (rotation == 0) {
    std::memmove(out, in, size_t(w) * h);
    return;
  }
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) out[Turned(x, y, w, h, rotation)] = in[size_t(y) * w + x];
}

}  // namespace

uint32_t PlanarBytes(uint32_t width, uint32_t height, uint32_t sampling) {
  const uint32_t luma = width * height;
  if (sampling == SAMPLING_GREY) return luma;
  const uint32_t chromaRows = sampling == SAMPLING_422 ? height : height / 2;
  return luma + 2 * (width / 2) * chromaRows;
}

void HalveUyvy(uint8_t *data, uint32_t width, uint32_t height) {
  const size_t inPitch = size_t(width) * 4;  // a row of the 2W-wide frame
  uint8_t *out = data;
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t *top = data + 2 * y * inPitch;
    const uint8_t *bottom = top + inPitch;
    for (uint32_t pair = 0; pair < width / 2; ++pair, out += 4) {
      const uint8_t *a = top + pair * 8, *b = bottom + pair * 8;
      const uint8_t u = uint8_t((a[0] + a[4] + b[0] + b[4] + 2) >> 2);
      const uint8_t y0 = uint8_t((a[1] + a[3] + b[1] + b[3] + 2) >> 2);
      const uint8_t v = uint8_t((a[2] + a[6] + b[2] + b[6] + 2) >> 2);
      const uint8_t y1 = uint8_t((a[5] + a[7] + b[5] + b[7] + 2) >> 2);
      out[0] = u, out[1] = y0, out[2] = v, out[3] = y1;
    }
  }
}

void RepackUyvy(uint8_t *out, uint8_t *in, uint32_t width, uint32_t height, uint32_t scale,
                uint32_t sampling, uint32_t rotation) {
  const bool quarter = rotation == 1 || rotation == 3;
  if (sampling == SAMPLING_422 && quarter) return;
  if (scale == 2) HalveUyvy(in, width, height);
  const uint32_t area = width * height;
  uint8_t *yPlane = out;
  uint8_t *uPlane = out + (area & ~3u);
  uint8_t *vPlane = uPlane + (sampling == SAMPLING_422 ? area / 2 : area / 4);
  const size_t pitch = size_t(width) * 2;
  const uint32_t cw = width / 2;

  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t *row = in + y * pitch;
    for (uint32_t x = 0; x < width; ++x) yPlane[Turned(x, y, width, height, rotation)] = row[x * 2 + 1];
  }
  if (sampling == SAMPLING_GREY) return;
  if (sampling == SAMPLING_422) {
    for (uint32_t y = 0; y < height; ++y) {
      const uint8_t *row = in + y * pitch;
      for (uint32_t c = 0; c < cw; ++c) {
        const uint32_t at = Turned(c, y, cw, height, rotation);
        uPlane[at] = row[c * 4], vPlane[at] = row[c * 4 + 2];
      }
    }
    return;
  }
  const uint32_t ch = height / 2;
  for (uint32_t cy = 0; cy < ch; ++cy) {
    const uint8_t *top = in + 2 * cy * pitch, *bottom = top + pitch;
    for (uint32_t c = 0; c < cw; ++c) {
      const uint32_t at = Turned(c, cy, cw, ch, rotation);
      uPlane[at] = uint8_t((top[c * 4] + bottom[c * 4] + 1) >> 1);
      vPlane[at] = uint8_t((top[c * 4 + 2] + bottom[c * 4 + 2] + 1) >> 1);
    }
  }
}

void TurnPlanar(uint8_t *out, const uint8_t *in, uint32_t width, uint32_t height,
                uint32_t sampling, uint32_t rotation) {
  const size_t area = size_t(width) * height;
  TurnPlane(out, in, width, height, rotation);
  if (sampling == SAMPLING_GREY) return;
  const uint32_t cw = width / 2, ch = height / 2;
  const size_t chroma = size_t(cw) * ch;
  TurnPlane(out + area, in + area, cw, ch, rotation);
  TurnPlane(out + area + chroma, in + area + chroma, cw, ch, rotation);
}
