// tarnjpg Encode against libjpeg-turbo (TurboJPEG, standard Huffman tables, quality 85, the same
// sampling, its default DCT) on the same synthesised frames. For UYVY input libjpeg-turbo's time includes turning
// the frame into its planar 4:2:2 input.
#include "tarnjpg/kernels.h"
#include "tarnjpg/tarnjpg.h"
#include "tests/tarnjpg/scene.h"
#include "timing.h"

#include <cmath>
#include <cstdio>
#include <libyuv/planar_functions.h>
#include <turbojpeg.h>
#include <vector>

namespace {

constexpr int kQuality = 85;

struct Planes {
  int width, height, chromaWidth, chromaHeight;
  std::vector<uint8_t> y, u, v;
};

// PSNR over all samples of the three planes of a decoded stream against the encoder's input.
double psnrOf(tjhandle decoder, const std::vector<uint8_t>& jpeg, const Planes& ref) {
  Planes out = ref;
  unsigned char* planes[3] = {out.y.data(), out.u.data(), out.v.data()};
  int strides[3] = {ref.width, ref.chromaWidth, ref.chromaWidth};
  if (tjDecompressToYUVPlanes(decoder, jpeg.data(), jpeg.size(), planes, ref.width, strides, ref.height, 0) != 0)
    return -1;
  double sum = 0;
  size_t n = 0;
  for (auto [a, b] : {std::pair{&ref.y, &out.y}, {&ref.u, &out.u}, {&ref.v, &out.v}})
    for (size_t i = 0; i < a->size(); ++i, ++n) sum += double((*a)[i] - (*b)[i]) * ((*a)[i] - (*b)[i]);
  return 10 * std::log10(255.0 * 255.0 * double(n) / sum);
}

void run(int w, int h, bool uyvyInput) {
  scene::Picture pic = scene::make(w, h, 3);
  const int cw = w / 2, ch = uyvyInput ? h : h / 2;
  Planes ref{w, h, cw, ch, pic.y, std::vector<uint8_t>(size_t(cw) * ch), std::vector<uint8_t>(size_t(cw) * ch)};
  std::vector<uint8_t> frame = uyvyInput ? scene::uyvy(pic) : scene::planar420(pic);
  if (uyvyInput)
    libyuv::UYVYToI422(frame.data(), w * 2, ref.y.data(), w, ref.u.data(), cw, ref.v.data(), cw, w, h);
  else
    ref.u.assign(frame.begin() + long(w * h), frame.begin() + long(w * h * 5 / 4)),
        ref.v.assign(frame.begin() + long(w * h * 5 / 4), frame.end());

  tjhandle decoder = tjInitDecompress();
  const size_t capacity = tjBufSize(w, h, TJSAMP_444);

  // tarnjpg
  EncoderTable table{};
  DllGetData(&table);
  EncoderContext* ctx = nullptr;
  table.Create(&ctx);
  table.SetQuality(ctx, kQuality);
  std::vector<uint8_t> out(capacity);
  EncodeParams params{uint32_t(w), uint32_t(h), uyvyInput ? 0u : 4u, 0, 0, uyvyInput ? 2u : 1u};
  uint32_t n = 0;
  auto ours = [&] { n = table.Encode(ctx, out.data(), frame.data(), &params, 1); };

  tjhandle compressor = tjInitCompress();
  Planes work = ref;
  std::vector<uint8_t> jpeg(capacity);
  unsigned long size = 0;
  auto theirs = [&] {
    if (uyvyInput)
      libyuv::UYVYToI422(frame.data(), w * 2, work.y.data(), w, work.u.data(), cw, work.v.data(), cw, w, h);
    const unsigned char* planes[3] = {uyvyInput ? work.y.data() : frame.data(),
                                      uyvyInput ? work.u.data() : frame.data() + w * h,
                                      uyvyInput ? work.v.data() : frame.data() + w * h * 5 / 4};
    int strides[3] = {w, cw, cw};
    unsigned char* buf = jpeg.data();
    size = capacity;
    tjCompressFromYUVPlanes(compressor, planes, w, strides, h, uyvyInput ? TJSAMP_422 : TJSAMP_420, &buf, &size,
                            kQuality, TJFLAG_NOREALLOC);
  };
  std::vector<double> t = bench::compare(ours, theirs);
  out.resize(n);
  jpeg.resize(size);
  table.Destroy(ctx);
  tjDestroy(compressor);
  const double oursPsnr = psnrOf(decoder, out, ref), theirsPsnr = psnrOf(decoder, jpeg, ref);
  tjDestroy(decoder);

  std::printf("%-13s %4dx%-4d  tarnjpg %7.3f ms %7u B %6.2f dB | libjpeg-turbo %7.3f ms %7lu B %6.2f dB | ratio %5.2f\n",
              uyvyInput ? "UYVY 4:2:2" : "planar 4:2:0", w, h, t[0] * 1e3, n, oursPsnr, t[1] * 1e3, size, theirsPsnr,
              t[1] / t[0]);
}

}  // namespace

int main() {
  std::printf("tarnjpg forms: %s; quality %d, single thread; ratio = libjpeg-turbo time / tarnjpg time\n",
              tarnjpg::activeKernels().name, kQuality);
  for (bool uyvy : {true, false})
    for (auto [w, h] : {std::pair{176, 144}, {640, 480}, {1600, 1200}}) run(w, h, uyvy);
  return 0;
}
