// tarnjpg: the program's own baseline JPEG encoder and preview converter.
// The library exports only DllGetData, which fills an EncoderTable owned by the caller.
#pragma once

#include <cstddef>
#include <cstdint>

// Pixel layouts of an input frame.
enum InputFormat : uint32_t {
  InputUyvy = 0,       // packed U0 Y0 V0 Y1, 2 bytes a pixel
  InputRgb555 = 1,     // 16 bits a pixel, little-endian, x R5 G5 B5
  InputRgb565 = 2,     // 16 bits a pixel, little-endian, R5 G6 B5
  InputRgb24 = 3,      // 3 bytes a pixel: blue, green, red
  InputPlanarYuv = 4,  // planar 4:2:0: Y, then Cb, then Cr
  InputPlanarYvu = 5,  // planar 4:2:0: Y, then Cr, then Cb
};

// EncodeParams::sampling values; anything else means 4:2:2.
enum : uint32_t { Sampling420 = 1, Sampling422 = 2, SamplingGrey = 4 };

// Rotation codes of EncodeParams (ConvertFrame uses its own codes, see ConvertFrameFn).
enum : uint32_t { RotateNone = 0, RotateQuarterCcw = 1, RotateHalf = 2, RotateQuarterCw = 3 };

// One entry per symbol byte: code in the low 16 bits, code length in the high 16 bits; 0 = undefined.
struct HuffmanCodeTable {
  uint32_t code[256];
};

// Quantisation reciprocals, stored transposed (index column * 8 + row).
struct ReciprocalTable {
  int16_t value[64];
};

// The context's scratch and tables: one allocation aligned to 32 bytes.
struct alignas(32) WorkArea {
  int16_t blocks[6][64];  // an MCU of at most four luminance and two chrominance blocks
  ReciprocalTable lumaReciprocal;
  ReciprocalTable chromaReciprocal;
  uint8_t lumaQuant[64];    // natural row-major order
  uint8_t chromaQuant[64];  // natural row-major order
  HuffmanCodeTable lumaDc;
  HuffmanCodeTable lumaAc;
  HuffmanCodeTable chromaDc;
  HuffmanCodeTable chromaAc;
};

constexpr size_t kWorkAreaAllocation = sizeof(WorkArea) + 31;

struct EncoderContext {
  uint32_t headerLength;  // bytes of the header last written, 0 = none
  uint32_t quality;       // the value last given to SetQuality, whole
  WorkArea* workArea;     // rawAllocation rounded up to 32 bytes
  void* rawAllocation;
  int16_t* blocks;
  ReciprocalTable* lumaReciprocal;
  ReciprocalTable* chromaReciprocal;
  uint8_t* lumaQuant;
  uint8_t* chromaQuant;
  HuffmanCodeTable* lumaDc;
  HuffmanCodeTable* lumaAc;
  HuffmanCodeTable* chromaDc;
  HuffmanCodeTable* chromaAc;
};

struct EncodeParams {
  uint32_t width;   // of the input frame, in pixels
  uint32_t height;
  uint32_t format;      // InputFormat
  uint32_t scaleShift;  // low byte: 0 full size, 1 half width and half height (UYVY only)
  uint32_t rotation;    // RotateNone .. RotateQuarterCw
  uint32_t sampling;    // Sampling420, Sampling422 or SamplingGrey
};

using CreateFn = uint32_t (*)(EncoderContext** out);
using DestroyFn = uint32_t (*)(EncoderContext* ctx);
using SetQualityFn = uint32_t (*)(EncoderContext* ctx, uint32_t quality);
// Returns the length of the JPEG stream written to out, or 0 when the request is refused.
using EncodeFn = uint32_t (*)(EncoderContext* ctx, uint8_t* out, const uint8_t* in, EncodeParams* params,
                              uint32_t headerFlag);
// Converts a UYVY or planar frame to RGB 565, scaled to dstWidth x dstHeight (before turning) and
// turned by rotation: 0 quarter counter-clockwise, 1 none, 2 quarter clockwise, 3 half.
// scratch holds srcWidth * srcHeight * 3 / 2 bytes (needed for UYVY when not an exact 2/4/8 downscale).
using ConvertFrameFn = uint32_t (*)(uint16_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstPitchBytes,
                                    const uint8_t* src, int32_t srcWidth, int32_t srcHeight, uint32_t srcFormat,
                                    uint32_t rotation, uint8_t* scratch);

struct EncoderTable {
  CreateFn Create;
  DestroyFn Destroy;
  SetQualityFn SetQuality;
  EncodeFn Encode;
  ConvertFrameFn ConvertFrame;
};

using DllGetDataFn = uint32_t (*)(EncoderTable* table);

extern "C" uint32_t DllGetData(EncoderTable* table);

static_assert(sizeof(HuffmanCodeTable) == 1024);
static_assert(sizeof(ReciprocalTable) == 128);
static_assert(offsetof(WorkArea, blocks) == 0);
static_assert(offsetof(WorkArea, lumaReciprocal) == 768);
static_assert(offsetof(WorkArea, chromaReciprocal) == 896);
static_assert(offsetof(WorkArea, lumaQuant) == 1024);
static_assert(offsetof(WorkArea, chromaQuant) == 1088);
static_assert(offsetof(WorkArea, lumaDc) == 1152);
static_assert(offsetof(WorkArea, lumaAc) == 2176);
static_assert(offsetof(WorkArea, chromaDc) == 3200);
static_assert(offsetof(WorkArea, chromaAc) == 4224);
static_assert(sizeof(WorkArea) == 5248 && kWorkAreaAllocation == 5279);
static_assert(offsetof(EncoderContext, quality) == 4);
static_assert(offsetof(EncoderContext, workArea) == 8);
static_assert(offsetof(EncoderContext, chromaAc) == 8 + 10 * sizeof(void*));
static_assert(sizeof(EncodeParams) == 24 && offsetof(EncodeParams, sampling) == 20);
static_assert(sizeof(EncoderTable) == 5 * sizeof(void*) && offsetof(EncoderTable, ConvertFrame) == 4 * sizeof(void*));
