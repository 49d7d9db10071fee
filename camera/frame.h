// Frame formats and the records every part of the program uses to describe pictures:
// FrameDesc, SizeEntry, CaptureGeometry, StreamParams, and the sixteen-slot SourceOps table
// that each frame source fills by position.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// FourCC codes carry the first letter in the low byte; the RGB codes are the first word of
// the media subtype.
constexpr uint32_t MakeFourCC(char a, char b, char c, char d) {
  return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 |
         uint32_t(uint8_t(d)) << 24;
}

enum FrameFormat : uint32_t {
  FORMAT_UYVY = MakeFourCC('U', 'Y', 'V', 'Y'),
  FORMAT_YUY2 = MakeFourCC('Y', 'U', 'Y', '2'),
  FORMAT_YVYU = MakeFourCC('Y', 'V', 'Y', 'U'),
  FORMAT_YV12 = MakeFourCC('Y', 'V', '1', '2'),
  FORMAT_IYUV = MakeFourCC('I', 'Y', 'U', 'V'),
  FORMAT_IJPG = MakeFourCC('I', 'J', 'P', 'G'),
  FORMAT_RGB565 = 0xE436EB7B,
  FORMAT_RGB555 = 0xE436EB7C,
  FORMAT_RGB24 = 0xE436EB7D,
};
static_assert(FORMAT_UYVY == 0x59565955 && FORMAT_YUY2 == 0x32595559 && FORMAT_YVYU == 0x55595659);
static_assert(FORMAT_YV12 == 0x32315659 && FORMAT_IYUV == 0x56555949 && FORMAT_IJPG == 0x47504A49);

// Bytes of a picture of the format and size; 0 for a format without a fixed size (IJPG).
constexpr uint64_t PictureBytes(uint32_t format, uint32_t width, uint32_t height) {
  const uint64_t pixels = uint64_t(width) * height;
  switch (format) {
    case FORMAT_IJPG: return 0;
    case FORMAT_RGB24: return pixels * 3;
    case FORMAT_YV12:
    case FORMAT_IYUV: return pixels + 2 * (pixels / 4);
    default: return pixels * 2;
  }
}

// One frame as a source hands it over. The buffer belongs to the source and is valid only
// during the call; a size of 0 means no frame.
struct FrameDesc {
  uint8_t *data;
  uint32_t size;
  uint32_t format;
  uint32_t width;
  uint32_t height;
};
static_assert(offsetof(FrameDesc, data) == 0 && offsetof(FrameDesc, size) == sizeof(void *));
static_assert(offsetof(FrameDesc, height) == sizeof(void *) + 12);

// One capability of a source; FormatRecord of the capture library has the same layout.
struct SizeEntry {
  uint32_t width;
  uint32_t height;
  uint32_t format;
};
static_assert(sizeof(SizeEntry) == 12);

struct CaptureGeometry {
  uint32_t captureWidth;
  uint32_t captureHeight;
  uint32_t cropX;
  uint32_t cropY;
  uint32_t cropWidth;
  uint32_t cropHeight;
  uint32_t windowX;
  uint32_t windowY;
  uint32_t windowWidth;
  uint32_t windowHeight;
  uint32_t outputWidth;
  uint32_t outputHeight;
  uint32_t magnification;  // 16.16 fixed point, 65536 = no zoom
  uint32_t format;
};
static_assert(sizeof(CaptureGeometry) == 14 * 4);

// StreamKind values of StreamParams and the Camera.
enum StreamKind : uint32_t {
  STREAM_PREVIEW = 0,
  STREAM_VIDEO_PREVIEW = 1,  // set by video recording on the vendor source
  STREAM_STILL = 2,
  STREAM_VIDEO_RECORD = 3,   // set by video recording on the vendor source
  STREAM_REPEATED_STILL = 8,
};

// The record the Camera builds for a source's Start operation. The vendor library reads the
// whole record; the frame callback slot is a native pointer here (the handset's word).
typedef uint32_t (*StreamCallback)(void *frame, uint32_t size);
// The record's callback until a source puts its own there: does nothing and returns 1.
uint32_t NoFrameCallback(void *frame, uint32_t size);
struct StreamParams {
  uint32_t exposure;  // odd: the flash fires with this stream
  uint32_t captureWidth;
  uint32_t captureHeight;
  uint32_t cropLeft;
  uint32_t cropTop;
  uint32_t cropRight;
  uint32_t cropBottom;
  uint32_t one;        // 1
  uint32_t zero1;      // 0
  uint32_t zero2;      // 0
  uint32_t displayBottom;  // 239
  uint32_t displayRight;   // 319
  uint8_t warmUp[4];       // 0; the vendor source's warm-up record puts 240, 128, 128, 255 here
  StreamCallback callback;
  uint32_t kind;           // StreamKind
  uint32_t cropLeft2;
  uint32_t cropTop2;
  uint32_t cropRight2;
  uint32_t cropBottom2;
};
static_assert(offsetof(StreamParams, warmUp) == 48 && offsetof(StreamParams, callback) == 56);
static_assert(offsetof(StreamParams, kind) == 56 + sizeof(void *));

// Every slot takes four pointer-sized arguments and returns a 32-bit result, so a call with
// fewer (or more) meaningful arguments is always well defined.
typedef uint32_t (*SourceOp)(uintptr_t a, uintptr_t b, uintptr_t c, uintptr_t d);

enum SourceSlot {
  SLOT_OPEN = 1,
  SLOT_START,
  SLOT_STOP,
  SLOT_CLOSE,
  SLOT_SET_PROPERTY,
  SLOT_GET_PROPERTY,
  SLOT_READ_REGISTER,
  SLOT_WRITE_REGISTER,
  SLOT_FLASH_LIGHT,
  SLOT_SET_MPEG_INFO_PARAM,
  SLOT_GET_YUV2JPEG_PARAM,
  SLOT_SET_YUV2JPEG_PARAM,
  SLOT_ENUM_SIZES,
  SLOT_SET_FORMAT,
  SLOT_RESERVED15,
  SLOT_TAKE_STILL,
  SOURCE_SLOT_COUNT = SLOT_TAKE_STILL
};

// Slots by name, in slot order; an empty slot is null.
struct SourceOps {
  SourceOp Open;
  SourceOp Start;
  SourceOp Stop;
  SourceOp Close;
  SourceOp SetProperty;
  SourceOp GetProperty;
  SourceOp ReadRegister;
  SourceOp WriteRegister;
  SourceOp FlashLight;
  SourceOp SetMpegInfoParam;
  SourceOp GetYUV2JpegParam;
  SourceOp SetYUV2JpegParam;
  SourceOp EnumSizes;
  SourceOp SetFormat;
  SourceOp Reserved15;
  SourceOp TakeStill;
};
static_assert(sizeof(SourceOps) == SOURCE_SLOT_COUNT * sizeof(SourceOp));
static_assert(offsetof(SourceOps, FlashLight) == (SLOT_FLASH_LIGHT - 1) * sizeof(SourceOp));
static_assert(offsetof(SourceOps, EnumSizes) == (SLOT_ENUM_SIZES - 1) * sizeof(SourceOp));
static_assert(offsetof(SourceOps, TakeStill) == (SLOT_TAKE_STILL - 1) * sizeof(SourceOp));

// Flash light commands of the FlashLight slot.
constexpr uintptr_t FLASH_LIGHT_ON = 3;
constexpr uintptr_t FLASH_LIGHT_OFF = 4;
