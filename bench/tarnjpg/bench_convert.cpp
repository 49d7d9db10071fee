// ConvertFrame against libyuv's fastest route for the same picture: a 640 x 480 UYVY frame to a
// 320 x 240 RGB 565 picture, turned a quarter (240 x 320 on screen) and unturned.
#include "tarnjpg/kernels.h"
#include "tarnjpg/tarnjpg.h"
#include "tests/tarnjpg/scene.h"
#include "timing.h"

#include <cstdio>
#include <libyuv.h>
#include <string>
#include <vector>

namespace {

constexpr int kW = 640, kH = 480, kDw = 320, kDh = 240;

void run(bool turned, const std::vector<uint8_t>& frame) {
  EncoderTable table{};
  DllGetData(&table);
  std::vector<uint16_t> screen(size_t(kDw) * kDh);
  const int rows = turned ? kDw : kDh, columns = turned ? kDh : kDw;
  std::vector<uint8_t> scratch(kW * kH * 3 / 2);
  auto ours = [&] {
    table.ConvertFrame(screen.data(), kDw, kDh, columns * 2, frame.data(), kW, kH, InputUyvy, turned ? 0 : 1,
                       scratch.data());
  };

  // libyuv routes; the buffers are made once.
  std::vector<uint8_t> y(kW * kH), u(kW * kH / 2), v(kW * kH / 2), sy(kDw * kDh), su(kDw * kDh / 2),
      sv(kDw * kDh / 2), ry(kDw * kDh), ru(kDw * kDh / 2), rv(kDw * kDh / 2), argb(kW * kH * 4),
      sargb(kDw * kDh * 4), rargb(kDw * kDh * 4);
  uint8_t* screenBytes = reinterpret_cast<uint8_t*>(screen.data());
  const auto rotation = libyuv::kRotate270;  // a quarter turn counter-clockwise
  auto viaI420 = [&] {
    libyuv::UYVYToI420(frame.data(), kW * 2, y.data(), kW, u.data(), kW / 2, v.data(), kW / 2, kW, kH);
    libyuv::I420Scale(y.data(), kW, u.data(), kW / 2, v.data(), kW / 2, kW, kH, sy.data(), kDw, su.data(), kDw / 2,
                      sv.data(), kDw / 2, kDw, kDh, libyuv::kFilterNone);
    const uint8_t *py = sy.data(), *pu = su.data(), *pv = sv.data();
    int w = kDw, h = kDh;
    if (turned) {
      libyuv::I420Rotate(sy.data(), kDw, su.data(), kDw / 2, sv.data(), kDw / 2, ry.data(), kDh, ru.data(), kDh / 2,
                         rv.data(), kDh / 2, kDw, kDh, rotation);
      py = ry.data(), pu = ru.data(), pv = rv.data(), w = kDh, h = kDw;
    }
    libyuv::I420ToRGB565(py, w, pu, w / 2, pv, w / 2, screenBytes, columns * 2, w, h);
  };
  auto viaI422 = [&] {
    libyuv::UYVYToI422(frame.data(), kW * 2, y.data(), kW, u.data(), kW / 2, v.data(), kW / 2, kW, kH);
    libyuv::I422Scale(y.data(), kW, u.data(), kW / 2, v.data(), kW / 2, kW, kH, sy.data(), kDw, su.data(), kDw / 2,
                      sv.data(), kDw / 2, kDw, kDh, libyuv::kFilterNone);
    const uint8_t *py = sy.data(), *pu = su.data(), *pv = sv.data();
    int w = kDw, h = kDh;
    if (turned) {
      libyuv::I422Rotate(sy.data(), kDw, su.data(), kDw / 2, sv.data(), kDw / 2, ry.data(), kDh, ru.data(), kDh / 2,
                         rv.data(), kDh / 2, kDw, kDh, rotation);
      py = ry.data(), pu = ru.data(), pv = rv.data(), w = kDh, h = kDw;
    }
    libyuv::I422ToRGB565(py, w, pu, w / 2, pv, w / 2, screenBytes, columns * 2, w, h);
  };
  auto viaArgb = [&] {
    libyuv::UYVYToARGB(frame.data(), kW * 2, argb.data(), kW * 4, kW, kH);
    libyuv::ARGBScale(argb.data(), kW * 4, kW, kH, sargb.data(), kDw * 4, kDw, kDh, libyuv::kFilterNone);
    const uint8_t* p = sargb.data();
    int w = kDw, h = kDh;
    if (turned) {
      libyuv::ARGBRotate(sargb.data(), kDw * 4, rargb.data(), kDh * 4, kDw, kDh, rotation);
      p = rargb.data(), w = kDh, h = kDw;
    }
    libyuv::ARGBToRGB565(p, w * 4, screenBytes, columns * 2, w, h);
  };
  std::vector<double> t = bench::compare(ours, viaI420, viaI422, viaArgb);
  const std::string turn = turned ? " rotate," : "";
  const char* names[] = {"", "planar 4:2:0 (UYVYToI420, I420Scale,", "planar 4:2:2 (UYVYToI422, I422Scale,",
                         "ARGB (UYVYToARGB, ARGBScale,"};
  size_t best = 1;
  for (size_t i = 1; i < t.size(); ++i) {
    std::printf("  libyuv via %-40s %7.1f us\n", (names[i] + turn + " to RGB 565)").c_str(), t[i] * 1e6);
    if (t[i] < t[best]) best = i;
  }
  std::printf("%s 640x480 UYVY -> %dx%d RGB 565: ConvertFrame %7.1f us, libyuv fastest %7.1f us, ratio %5.2f\n",
              turned ? "turned  " : "unturned", columns, rows, t[0] * 1e6, t[best] * 1e6, t[best] / t[0]);
}

}  // namespace

int main() {
  std::printf("tarnjpg forms: %s; single thread; ratio = libyuv time / ConvertFrame time\n",
              tarnjpg::activeKernels().name);
  std::vector<uint8_t> frame = scene::uyvy(scene::make(kW, kH, 9));
  run(true, frame);
  run(false, frame);
  return 0;
}
