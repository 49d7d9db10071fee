// JPEG encoder binding and EncodeJpeg.
#include "capture/encoder.h"

#include <cstring>
#include <mutex>

#include "app/appstate.h"
#include "app/config.h"
#include "capture/repack.h"
#include "pipeline/transforms.h"
#include "tarnjpg/tarnjpg.h"

EncoderSetup g_EncoderSetup;
EncoderTable g_FastEncoder;

namespace {

HMODULE g_FastModule;
HMODULE g_VendorModule;
CreateJpegEncoderFn g_CreateVendorEncoder;
// The set-up for a frame the configuration does not describe (a screen overlay, an uncropped
// planar frame), made on the frame thread: the configuration itself belongs to the main thread,
// which may make it anew meanwhile.
EncoderSetup g_OwnSizeSetup;
std::mutex g_OwnSizeLock;

void ReleaseSetup(EncoderSetup &setup) {
  if (setup.vendorEncoder) setup.vendorEncoder->Release(setup.vendorEncoder);
  if (setup.fastContext && g_FastEncoder.Destroy) g_FastEncoder.Destroy(setup.fastContext);
  setup = {};
}

bool Turned(uint32_t rotation) { return rotation == 1 || rotation == 3; }

// YUY2 (Y0 U0 Y1 V0) and YVYU (Y0 V0 Y1 U0) frames are reordered in place into UYVY, the one
// packed layout both encoders read; other formats are left alone.
void PackedToUyvy(FrameDesc *frame) {
  if (frame->format != FORMAT_YUY2 && frame->format != FORMAT_YVYU) return;
  const bool yvyu = frame->format == FORMAT_YVYU;
  uint8_t *p = frame->data;
  for (uint64_t i = 0, n = uint64_t(frame->width) * frame->height / 2; i < n; ++i, p += 4) {
    const uint8_t y0 = p[0], c0 = p[1], y1 = p[2], c1 = p[3];
    p[0] = yvyu ? c1 : c0;
    p[1] = y0;
    p[2] = yvyu ? c0 : c1;
    p[3] = y1;
  }
  frame->format = FORMAT_UYVY;
}

// One call of the vendor object; the JPEG size, or 0 when it refused or outgrew the bound.
uint32_t VendorEncode(VendorJpegEncoder *object, const uint8_t *in, uint32_t inBytes, uint8_t *out,
                      uint32_t bound) {
  uint32_t bytes = inBytes;
  if (object->Encode(object, in, out, &bytes) != 0 || bytes == 0 || bytes > bound) return 0;
  return bytes;
}

uint32_t EncodeVendor(EncoderSetup *setup, uint8_t *out, uint32_t capacity, FrameDesc *frame,
                      uint32_t jpegBound) {
  VendorJpegEncoder *object = setup->vendorEncoder;
  if (!object) return 0;
  const uint32_t w = setup->width, h = setup->height;
  const uint32_t planarBytes = PlanarBytes(w, h, setup->sampling);
  if (uint64_t(jpegBound) + planarBytes > capacity) return 0;
  uint8_t *work = out + jpegBound;  // the planar picture, behind the JPEG's room

  if (frame->format == FORMAT_RGB565 || frame->format == FORMAT_RGB555) {
    frame->size = frame->width * frame->height * 2;
    Rgb16ToUyvy(frame->data, frame->data, frame->size, frame->format == FORMAT_RGB565 ? 16 : 15);
    frame->format = FORMAT_UYVY;
  } else if (frame->format == FORMAT_RGB24) {
    frame->size = frame->width * frame->height * 2;
    Rgb24ToUyvy(frame->data, frame->data, frame->size);
    frame->format = FORMAT_UYVY;
  }

  if (frame->format == FORMAT_YV12) {
    if (setup->scale != 1 || setup->sampling == SAMPLING_422) return 0;
    if (setup->rotation == 0) return VendorEncode(object, frame->data, planarBytes, out, jpegBound);
    TurnPlanar(work, frame->data, w, h, setup->sampling, setup->rotation);
    return VendorEncode(object, work, planarBytes, out, jpegBound);
  }
  if (frame->format != FORMAT_UYVY) return 0;
  if (setup->sampling == SAMPLING_422 && Turned(setup->rotation)) return 0;
  RepackUyvy(work, frame->data, w, h, setup->scale, setup->sampling, setup->rotation);
  return VendorEncode(object, work, planarBytes, out, jpegBound);
}

}  // namespace

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

uint32_t BindFastEncoder() {
  if (g_FastModule) return 1;
  g_FastEncoder = {};
  HMODULE module = LoadLibraryW(ProgramDirPath(u"tarnjpg.dll"));
  if (!module) return 0;
  auto getData = reinterpret_cast<DllGetDataFn>(GetProcAddressW(module, u"DllGetData"));
  if (getData && getData(&g_FastEncoder)) {
    g_FastModule = module;
    return 1;
  }
  g_FastEncoder = {};
  FreeLibrary(module);
  return 0;
}

uint32_t CreateFastContext() {
  if (g_FastEncoder.Create && !g_EncoderSetup.fastContext)
    g_FastEncoder.Create(&g_EncoderSetup.fastContext);
  return g_EncoderSetup.fastContext != nullptr;
}

uint32_t BindVendorEncoder() {
  if (g_CreateVendorEncoder) return 1;
  if (HMODULE module = LoadLibraryW(u"JPEGENC.dll")) {
    if (auto create = reinterpret_cast<CreateJpegEncoderFn>(
            GetProcAddressW(module, u"gCreateJpegImageEncoder"))) {
      g_VendorModule = module, g_CreateVendorEncoder = create;
      return 1;
    }
    FreeLibrary(module);
  }
  if (HMODULE module = LoadLibraryW(ProgramDirPath(u"vexjpg.dll"))) {
    if (auto create = reinterpret_cast<CreateJpegEncoderFn>(GetProcAddressW(module, u"DllGetData"))) {
      g_VendorModule = module, g_CreateVendorEncoder = create;
      return 1;
    }
    FreeLibrary(module);
  }
  return 0;
}

void BindEncoders(const DeviceRecord &device) {
  if (device.pxa27x && BindFastEncoder()) CreateFastContext();
  BindVendorEncoder();
}

void ReleaseEncoders() {
  ReleaseSetup(g_EncoderSetup);
  {
    std::lock_guard<std::mutex> held(g_OwnSizeLock);
    ReleaseSetup(g_OwnSizeSetup);
  }
  if (g_VendorModule) FreeLibrary(g_VendorModule);
  if (g_FastModule) FreeLibrary(g_FastModule);
  g_FastEncoder = {};
  g_FastModule = g_VendorModule = nullptr;
  g_CreateVendorEncoder = nullptr;
}

uint32_t ConfigureEncoder(EncoderSetup *setup, uint32_t width, uint32_t height, uint32_t quality,
                          uint32_t sampling, uint32_t horizontalFactor, uint32_t,
                          uint32_t rotation) {
  if (sampling == SAMPLING_422 && Turned(rotation)) sampling = SAMPLING_420;
  setup->scale = horizontalFactor;
  setup->useFast = setup->fastContext && width % 16 == 0 && height % 16 == 0;
  setup->width = width, setup->height = height;
  setup->sampling = sampling, setup->quality = quality, setup->rotation = rotation;
  if (setup->useFast) {
    g_FastEncoder.SetQuality(setup->fastContext, quality);
    return 1;
  }
  // The vendor planes come in pixel pairs (and row pairs for 4:2:0).
  if (width % 2 || height % 2 || width == 0 || height == 0) return 0;
  const VendorShape shape{width, height, sampling, quality, rotation};
  if (setup->vendorEncoder && shape == setup->vendorShape) return 1;
  if (!g_CreateVendorEncoder) return 0;
  if (setup->vendorEncoder) setup->vendorEncoder->Release(setup->vendorEncoder);
  setup->vendorEncoder = nullptr;
  setup->vendorShape = shape;
  const bool turned = Turned(rotation);
  const uint32_t parameters[kVendorParameterCount] = {
      turned ? height : width, turned ? width : height, 8, sampling, quality, 1, 0, 0, 1, 160, 120,
      0, 0, 0, 0, 1};
  VendorJpegEncoder *object = nullptr;
  if (g_CreateVendorEncoder(&object, parameters, 1) != 0 || !object) {
    setup->vendorEncoder = nullptr;
    return 0;
  }
  setup->vendorEncoder = object;
  uint32_t zero = 0;
  object->Control(object, 10, &zero);
  return 1;
}

uint32_t EncodeJpeg(EncoderSetup *setup, uint8_t *out, uint32_t capacity, FrameDesc *frame,
                    uint32_t headerFlag) {
  if (frame->format == FORMAT_IJPG) {
    if (frame->size > capacity) return 0;
    std::memcpy(out, frame->data, frame->size);
    return frame->size;
  }
  std::unique_lock<std::mutex> ownSize(g_OwnSizeLock, std::defer_lock);
  if (frame->width != setup->width * (setup->scale == 2 ? 2 : 1) ||
      frame->height != setup->height * (setup->scale == 2 ? 2 : 1)) {
    // A frame the geometry does not describe is encoded at its own size, with the configuration's
    // quality, sampling and turn, rather than read past its end.
    ownSize.lock();
    EncoderSetup &own = g_OwnSizeSetup;
    if (setup->fastContext && !own.fastContext && g_FastEncoder.Create) g_FastEncoder.Create(&own.fastContext);
    if (!ConfigureEncoder(&own, frame->width, frame->height, setup->quality, setup->sampling, 1, 1, setup->rotation))
      return 0;
    setup = &own;
  }
  const uint32_t jpegBound = JpegWorstCaseBytes(setup->width, setup->height);
  const uint32_t scale = setup->scale == 2 ? 2 : 1;
  if (jpegBound == 0 || jpegBound > capacity ||
      frame->size < PictureBytes(frame->format, frame->width, frame->height))
    return 0;
  PackedToUyvy(frame);
  if (!setup->useFast) return EncodeVendor(setup, out, capacity, frame, jpegBound);
  EncodeParams params{frame->width, frame->height, FastFormatCode(frame->format), scale - 1,
                      setup->rotation, setup->sampling};
  return g_FastEncoder.Encode(setup->fastContext, out, frame->data, &params, headerFlag);
}

// Every coefficient of a baseline scan costs at most 31 bits: a Huffman code of at most 16 bits
// and at most 15 magnitude bits (coefficients are 16-bit). A zero coefficient costs nothing
// unless a ZRL (16 bits for 16 zeros) or an EOB (16 bits for at least one zero) covers it, so
// no block exceeds 64 x 31 bits whatever its content. Byte stuffing at most doubles the scan.
// The densest sampling configured is 4:2:2: two blocks per 8 x 8 pixels, with the picture
// padded to whole MCUs (16 pixels both ways covers every sampling and turn). A header of
// standard or any other baseline tables (two DQT, four DHT, SOF, SOS, JFIF) fits in 2048 bytes.
uint32_t JpegWorstCaseBytes(uint32_t width, uint32_t height) {
  constexpr uint64_t kHeaderBytes = 2048, kTrailerBytes = 2 + 2 + 2;  // fill byte, stuffing, EOI
  const uint64_t paddedWidth = (uint64_t(width) + 15) / 16 * 16;
  const uint64_t paddedHeight = (uint64_t(height) + 15) / 16 * 16;
  const uint64_t blocks = 2 * (paddedWidth / 8) * (paddedHeight / 8);
  const uint64_t scanBytes = (blocks * 64 * 31 + 7) / 8;
  const uint64_t total = kHeaderBytes + 2 * scanBytes + kTrailerBytes;
  return total > UINT32_MAX ? 0 : uint32_t(total);
}

uint32_t EncodeBufferBytes(uint32_t width, uint32_t height) {
  const uint64_t jpeg = JpegWorstCaseBytes(width, height);
  const uint64_t work = uint64_t(width) * height * 2;  // the vendor's planar picture, 4:2:2 at most
  const uint64_t total = jpeg + work;
  return jpeg == 0 || total > UINT32_MAX ? 0 : uint32_t(total);
}
