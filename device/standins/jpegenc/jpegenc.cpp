// The handset vendor's JPEG encoder, JPEGENC.dll: one creation function that makes an encoder
// object for planar pictures of one size, sampling and quality. The object's first three words
// are its operations: encode, control, release. Results: 0 = success.
//
// Input planes, one after the other: Y (width x height), then for 4:2:0 U and V of
// width/2 x height/2, for 4:2:2 U and V of width/2 x height; grey is the Y plane alone.
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <jpeglib.h>

namespace {

struct Encoder;
typedef uint32_t (*EncodeFn)(Encoder *self, const uint8_t *in, uint8_t *out, uint32_t *bytes);
typedef uint32_t (*ControlFn)(Encoder *self, uint32_t code, void *argument);
typedef uint32_t (*ReleaseFn)(Encoder *self);

struct Encoder {
  EncodeFn encode;
  ControlFn control;
  ReleaseFn release;
  uint32_t width, height, sampling, quality;
  bool started;  // control code 10 was given
};

enum : uint32_t { kOk = 0, kRefused = 1 };
enum : uint32_t { kSampling420 = 1, kSampling422 = 2, kSamplingGrey = 4 };

// The creation parameters after width, height: bit depth, sampling, quality, then fixed words.
constexpr uint32_t kFixed[11] = {1, 0, 0, 1, 160, 120, 0, 0, 0, 0, 1};

uint32_t PlanarBytes(const Encoder &e) {
  const uint32_t luma = e.width * e.height;
  if (e.sampling == kSamplingGrey) return luma;
  return luma + 2 * (e.width / 2) * (e.sampling == kSampling422 ? e.height : e.height / 2);
}

struct ErrorExit {
  jpeg_error_mgr manager;
  jmp_buf jump;
};

void OnError(j_common_ptr info) { longjmp(reinterpret_cast<ErrorExit *>(info->err)->jump, 1); }

// One plane copied into rows padded to whole blocks, the last column and row repeated.
struct Plane {
  std::vector<uint8_t> samples;
  std::vector<JSAMPROW> rows;
  void fill(const uint8_t *in, uint32_t w, uint32_t h, uint32_t paddedW, uint32_t paddedH) {
    samples.assign(size_t(paddedW) * paddedH, 0);
    rows.resize(paddedH);
    for (uint32_t y = 0; y < paddedH; ++y) {
      uint8_t *row = samples.data() + size_t(y) * paddedW;
      const uint8_t *source = in + size_t(y < h ? y : h - 1) * w;
      std::memcpy(row, source, w);
      std::memset(row + w, source[w - 1], paddedW - w);
      rows[y] = row;
    }
  }
};

// The shape of one encode: component factors and the padded picture.
struct Layout {
  bool grey;
  int hFactor, vFactor;
  uint32_t mcuHeight;
};

// Runs libjpeg over the padded planes; kRefused when it reports an error.
uint32_t Compress(const Encoder &e, const Layout &layout, Plane *planes, unsigned char **stream,
                  unsigned long *streamBytes) {
  jpeg_compress_struct info;
  ErrorExit error;
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = OnError;
  if (setjmp(error.jump)) {
    jpeg_destroy_compress(&info);
    return kRefused;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, stream, streamBytes);
  info.image_width = e.width;
  info.image_height = e.height;
  info.input_components = layout.grey ? 1 : 3;
  info.in_color_space = layout.grey ? JCS_GRAYSCALE : JCS_YCbCr;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, int(e.quality), TRUE);
  info.raw_data_in = TRUE;
  info.dct_method = JDCT_ISLOW;
  info.comp_info[0].h_samp_factor = layout.hFactor;
  info.comp_info[0].v_samp_factor = layout.vFactor;
  for (int c = 1; c < info.num_components; ++c)
    info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    const uint32_t y = info.next_scanline;
    JSAMPARRAY components[3];
    for (int c = 0; c < info.num_components; ++c)
      components[c] = planes[c].rows.data() + (c == 0 ? y : y / layout.vFactor);
    jpeg_write_raw_data(&info, components, layout.mcuHeight);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return kOk;
}

uint32_t Encode(Encoder *self, const uint8_t *in, uint8_t *out, uint32_t *bytes) {
  if (!self || !in || !out || !bytes || !self->started || *bytes != PlanarBytes(*self)) return kRefused;
  Layout layout;
  layout.grey = self->sampling == kSamplingGrey;
  layout.hFactor = layout.grey ? 1 : 2;
  layout.vFactor = self->sampling == kSampling420 ? 2 : 1;
  layout.mcuHeight = 8 * layout.vFactor;
  const uint32_t mcuWidth = 8 * layout.hFactor;
  const uint32_t paddedW = (self->width + mcuWidth - 1) / mcuWidth * mcuWidth;
  const uint32_t paddedH = (self->height + layout.mcuHeight - 1) / layout.mcuHeight * layout.mcuHeight;

  Plane planes[3];
  planes[0].fill(in, self->width, self->height, paddedW, paddedH);
  if (!layout.grey) {
    const uint32_t cw = self->width / 2, ch = self->height / layout.vFactor;
    const uint8_t *u = in + size_t(self->width) * self->height;
    planes[1].fill(u, cw, ch, paddedW / 2, paddedH / layout.vFactor);
    planes[2].fill(u + size_t(cw) * ch, cw, ch, paddedW / 2, paddedH / layout.vFactor);
  }
  unsigned char *stream = nullptr;
  unsigned long streamBytes = 0;
  const uint32_t result = Compress(*self, layout, planes, &stream, &streamBytes);
  if (result == kOk) {
    std::memcpy(out, stream, streamBytes);
    *bytes = uint32_t(streamBytes);
  }
  free(stream);
  return result;
}

uint32_t Control(Encoder *self, uint32_t code, void *argument) {
  if (!self || code != 10 || !argument || *static_cast<uint32_t *>(argument) != 0) return kRefused;
  self->started = true;
  return kOk;
}

uint32_t Release(Encoder *self) {
  delete self;
  return kOk;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) uint32_t gCreateJpegImageEncoder(
    Encoder **object, const uint32_t *parameters, uint32_t one) {
  if (!object || !parameters || one != 1) return kRefused;
  const uint32_t width = parameters[0], height = parameters[1], sampling = parameters[3],
                 quality = parameters[4];
  if (width == 0 || height == 0 || width % 2 || height % 2 || width > 16384 || height > 16384 ||
      parameters[2] != 8 || quality < 1 || quality > 100 ||
      (sampling != kSampling420 && sampling != kSampling422 && sampling != kSamplingGrey) ||
      std::memcmp(parameters + 5, kFixed, sizeof kFixed) != 0)
    return kRefused;
  *object = new Encoder{Encode, Control, Release, width, height, sampling, quality, false};
  return kOk;
}
