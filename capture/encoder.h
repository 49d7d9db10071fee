// JPEG encoder binding: the program's own tarnjpg library (bound only on PXA27x handsets), the
// handset vendor's JPEGENC.dll, or vexjpg.dll beside the program with the same creation
// function. One configuration (EncoderSetup) chooses the encoder; EncodeJpeg turns a frame into
// a complete JPEG stream with it.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/device.h"
#include "camera/frame.h"

struct EncoderContext;  // tarnjpg's, opaque here
struct EncoderTable;    // tarnjpg's five operations

// The vendor encoder object: its first three words are operations called with the object.
struct VendorJpegEncoder;
// in: planar picture; bytes: input byte count on entry, JPEG byte count on return. 0 = success.
typedef uint32_t (*VendorEncodeFn)(VendorJpegEncoder *self, const uint8_t *in, uint8_t *out,
                                   uint32_t *bytes);
typedef uint32_t (*VendorControlFn)(VendorJpegEncoder *self, uint32_t code, void *argument);
typedef uint32_t (*VendorReleaseFn)(VendorJpegEncoder *self);
struct VendorJpegEncoder {
  VendorEncodeFn Encode;
  VendorControlFn Control;
  VendorReleaseFn Release;
};
constexpr uint32_t kVendorParameterCount = 16;
// gCreateJpegImageEncoder of JPEGENC.dll, "DllGetData" of vexjpg.dll. 0 = success.
typedef uint32_t (*CreateJpegEncoderFn)(VendorJpegEncoder **object, const uint32_t *parameters,
                                        uint32_t one);

// Sampling values of EncoderSetup (the codes tarnjpg and the vendor encoder take).
enum : uint32_t { SAMPLING_420 = 1, SAMPLING_422 = 2, SAMPLING_GREY = 4 };

// The five parameters a vendor encoder object was made with, kept apart from the set-up's own,
// which the tarnjpg path overwrites.
struct VendorShape {
  uint32_t width, height, sampling, quality, rotation;
  bool operator==(const VendorShape &) const = default;
};

struct EncoderSetup {
  uint32_t sampling;
  uint32_t rotation;  // 0 none, 1 quarter counter-clockwise, 2 half, 3 quarter clockwise
  uint32_t width;     // of the picture, in pixels
  uint32_t height;
  uint32_t scale;  // frame size / picture size: 1, or 2 when the frame is twice the picture
  uint32_t quality;
  EncoderContext *fastContext;       // null when tarnjpg is not bound
  VendorJpegEncoder *vendorEncoder;  // null when none was made
  VendorShape vendorShape;           // what vendorEncoder was made for
  uint8_t useFast;                   // the configuration is encoded by tarnjpg
};

extern EncoderSetup g_EncoderSetup;
// tarnjpg's table, filled by BindFastEncoder; its first entry is null while unbound.
extern EncoderTable g_FastEncoder;

// Loads tarnjpg.dll from the program's directory and fills g_FastEncoder. 1 when bound.
uint32_t BindFastEncoder();
// Creates g_EncoderSetup's tarnjpg context when the table is bound (start-up's call of the
// table's first entry). 1 when a context exists.
uint32_t CreateFastContext();
// Binds JPEGENC.dll (system search), else vexjpg.dll from the program's directory. 1 when bound.
uint32_t BindVendorEncoder();
// Start-up's binding: tarnjpg and its context on PXA27x handsets, then the vendor encoder.
void BindEncoders(const DeviceRecord &device);
// Releases the vendor object and the tarnjpg context and unloads every bound library, so that
// a test can bind again on another handset.
void ReleaseEncoders();

// Chooses and prepares the encoder for pictures of width x height; the horizontal factor
// becomes the scale. 1 when an encoder is ready.
uint32_t ConfigureEncoder(EncoderSetup *setup, uint32_t width, uint32_t height, uint32_t quality,
                          uint32_t sampling, uint32_t horizontalFactor, uint32_t verticalFactor,
                          uint32_t rotation);

// Encodes the frame into out (capacity bytes) with the configured encoder and returns the
// JPEG size, 0 on failure. A frame whose size the configuration does not describe is encoded
// at its own size (the encoder is configured for it). Refuses (0) when capacity is below
// EncodeBufferBytes of the picture or the frame holds fewer bytes than its size needs. May
// rewrite the frame's pixels (format conversion, halving); the vendor path also uses out
// beyond the JPEG's bound as scratch.
uint32_t EncodeJpeg(EncoderSetup *setup, uint8_t *out, uint32_t capacity, FrameDesc *frame,
                    uint32_t headerFlag);

// Worst-case size of a baseline JPEG stream of a width x height picture in any sampling the
// encoders are configured with (quality 100, any content, byte stuffing, header and EOI).
// 0 when it does not fit in 32 bits.
uint32_t JpegWorstCaseBytes(uint32_t width, uint32_t height);

// tarnjpg's input-format code for a frame format (planar 4:2:0 for formats it has no code of its own for).
uint32_t FastFormatCode(uint32_t format);
// Bytes EncodeBuffer needs for pictures up to width x height: the JPEG's worst case followed
// by the vendor encoder's planar work area. The JPEG part alone exceeds any frame of that size
// (at most 3 bytes a pixel), so the averaging sums fit too. 0 when it does not fit in 32 bits.
uint32_t EncodeBufferBytes(uint32_t width, uint32_t height);
