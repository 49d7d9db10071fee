// The stages that have a portable and a SIMD form, gathered in one table per instruction set.
// The table is chosen once when the library loads, the best the processor runs; the environment
// variable TARNJPG_FORMS=portable forces the portable table (TARNJPG_FORMS=sse2 stops at SSE2)
// so that the forms can be compared.
#pragma once

#include "tarnjpg/tarnjpg.h"

#include <cstdint>

namespace tarnjpg {

enum class Layout { Yuv420, Yuv422, Grey };

// One scan of an encode: what to read and in which order to walk it.
struct ScanJob {
  const uint8_t* in;
  uint32_t width, height;  // of the input frame
  uint32_t format;         // InputFormat
  uint32_t shift;          // 0, or 1 for half-size UYVY
  uint32_t rotation;
  Layout layout;
  uint32_t outWidth, outHeight;  // width >> shift, height >> shift (before turning)
};

// The picture a ConvertFrame stage writes: RGB 565, turned by `kind` (0 none, 1 quarter
// counter-clockwise, 2 quarter clockwise, 3 half); width and height are before turning.
struct Destination {
  uint16_t* pixels;
  int32_t pitchBytes;
  int32_t width, height;
  int kind;
};

struct PlanarFrame {
  const uint8_t* y;
  const uint8_t* cb;
  const uint8_t* cr;
  int32_t width, height;  // of the luma plane; chroma planes are width/2 x height/2
};

struct Kernels {
  const char* name;
  // Codes every MCU of the job into out (just after the header); returns the end of the data.
  uint8_t* (*encodeScan)(const ScanJob& job, WorkArea& work, uint8_t* out);
  // Exact downscale by f (2, 4 or 8) of a UYVY frame of srcWidth x srcHeight straight to RGB 565.
  void (*downscaleUyvy)(const Destination& dst, const uint8_t* src, int32_t srcWidth, int f);
  // UYVY to planar 4:2:0 in out (Y, then Cb at W*H, then Cr at W*H*5/4), turned by kind.
  void (*uyvyToPlanar)(uint8_t* out, const uint8_t* src, int32_t width, int32_t height, int kind);
  // Nearest-sample resize of a planar picture with 16.16 steps, converted to RGB 565.
  void (*resizePlanar)(const Destination& dst, const PlanarFrame& src, uint32_t stepX, uint32_t stepY);
};

const Kernels& portableKernels();
#if TARNJPG_X86_SIMD
const Kernels* sse2Kernels();
const Kernels* avx2Kernels();
#endif

// The table in use, and the choice (processor features, TARNJPG_FORMS) made again.
const Kernels& activeKernels();
void selectKernels();

}  // namespace tarnjpg
