// Slot 5 of the table: a camera frame to the RGB 565 preview, scaled and turned in one pass.
#include "tarnjpg/api.h"
#include "tarnjpg/kernels.h"

#include <utility>

namespace tarnjpg {

namespace {

// UYVY frames below this many pixels are turned while they become planar; larger ones by the resize.
constexpr int64_t kTurnInConversionBelow = 0x20000;

// 16.16 step that maps the first and the last even-aligned sample onto the first and last output.
uint32_t scaleStep(int32_t source, int32_t destination) {
  return uint32_t(uint64_t((source & ~1) - 1) * 65536 / uint64_t((destination & ~1) - 1));
}

}  // namespace

uint32_t ConvertFrame(uint16_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstPitchBytes, const uint8_t* src,
                      int32_t srcWidth, int32_t srcHeight, uint32_t srcFormat, uint32_t rotation, uint8_t* scratch) {
  static constexpr int kKindOfRotation[4] = {1, 0, 2, 3};
  if (!dst || !src || rotation > 3 || dstWidth <= 0 || dstHeight <= 0 || srcWidth <= 0 || srcHeight <= 0) return 0;
  const int kind = kKindOfRotation[rotation];
  const Kernels& k = activeKernels();
  Destination out{dst, dstPitchBytes, dstWidth, dstHeight, kind};

  if (srcFormat == InputUyvy)
    for (int f : {2, 4, 8})
      if (int64_t(srcWidth) == int64_t(f) * dstWidth && int64_t(srcHeight) == int64_t(f) * dstHeight) {
        k.downscaleUyvy(out, src, srcWidth, f);
        return 1;
      }

  if (srcFormat != InputUyvy && srcFormat != InputPlanarYuv && srcFormat != InputPlanarYvu) return 0;
  // The step formula needs two samples each way; UYVY pairs need an even width.
  if (dstWidth < 2 || dstHeight < 2 || srcWidth < 2 || srcHeight < 2) return 0;
  uint32_t stepX = scaleStep(srcWidth, dstWidth), stepY = scaleStep(srcHeight, dstHeight);
  const int64_t area = int64_t(srcWidth) * srcHeight;

  if (srcFormat != InputUyvy) {
    const uint8_t* first = src + area;
    const uint8_t* second = src + area + area / 4;
    PlanarFrame planes{src, srcFormat == InputPlanarYuv ? first : second, srcFormat == InputPlanarYuv ? second : first,
                       srcWidth, srcHeight};
    k.resizePlanar(out, planes, stepX, stepY);
    return 1;
  }

  if (!scratch || srcWidth % 2) return 0;
  PlanarFrame planes{scratch, scratch + area, scratch + area + area / 4, srcWidth, srcHeight};
  if (area < kTurnInConversionBelow && kind != 0) {
    k.uyvyToPlanar(scratch, src, srcWidth, srcHeight, kind);
    if (kind == 1 || kind == 2) {
      std::swap(planes.width, planes.height);
      std::swap(stepX, stepY);
      std::swap(out.width, out.height);
    }
    out.kind = 0;
  } else {
    k.uyvyToPlanar(scratch, src, srcWidth, srcHeight, 0);
  }
  k.resizePlanar(out, planes, stepX, stepY);
  return 1;
}

}  // namespace tarnjpg
