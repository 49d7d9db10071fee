// ConvertPreview against libyuv's fastest route for the same picture: a 640 x 480 UYVY frame on
// a 240 x 320 screen, upright (240 x 180 between black bars) and turned a quarter (320 x 240
// filling the screen), in colour and in grey.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <cstring>
#include <libyuv.h>
#include <string>
#include <vector>

#include "app/appstate.h"
#include "pipeline/preview.h"
#include "tests/tarnjpg/scene.h"

namespace {

constexpr int kW = 640, kH = 480, kScreenW = 240, kScreenH = 320;

// Seconds of this thread's processor time per call, the best of several rounds: on a shared
// machine wall time mostly measures who else ran.
double ThreadSeconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

template <class Op>
double Time(Op op) {
  int calls = 1;
  for (;;) {  // calibrate: a round of at least 30 ms
    double t0 = ThreadSeconds();
    for (int i = 0; i < calls; ++i) op();
    if (ThreadSeconds() - t0 > 0.03) break;
    calls *= 2;
  }
  double best = 1e9;
  for (int r = 0; r < 15; ++r) {
    double t0 = ThreadSeconds();
    for (int i = 0; i < calls; ++i) op();
    best = std::min(best, (ThreadSeconds() - t0) / calls);
  }
  return best;
}

struct Route {
  std::string name;
  double seconds;
};

void run(bool turned, bool colour, const std::vector<uint8_t> &uyvy) {
  FrameDesc frame{const_cast<uint8_t *>(uyvy.data()), uint32_t(uyvy.size()), FORMAT_UYVY, kW, kH};
  const uint32_t orientation = turned ? 0 : 1;
  const uint32_t mode = colour ? PREVIEW_COLOUR : PREVIEW_GREY;
  double ours = Time([&] { ConvertPreview(&frame, orientation, mode, nullptr, 0); });

  // The picture libyuv makes: dw x dh before turning, at row top of the screen.
  const int dw = turned ? 320 : 240, dh = turned ? 240 : 180, top = turned ? 0 : 72;
  uint8_t *screen = reinterpret_cast<uint8_t *>(g_App.PreviewPicture.pixels);
  uint8_t *target = screen + top * kScreenW * 2;
  const int pitch = kScreenW * 2;
  const int rw = turned ? dh : dw, rh = turned ? dw : dh;  // the picture as it lies on the screen
  auto bars = [&] {
    if (top) {
      std::memset(screen, 0, size_t(top) * pitch);
      std::memset(target + size_t(rh) * pitch, 0, size_t(kScreenH - top - rh) * pitch);
    }
  };
  std::vector<uint8_t> y(kW * kH), u(kW * kH / 2), v(kW * kH / 2), sy(dw * dh), su(dw * dh / 2),
      sv(dw * dh / 2), ry(dw * dh), ru(dw * dh / 2), rv(dw * dh / 2), argb(kW * kH * 4), sargb(dw * dh * 4),
      rargb(dw * dh * 4), grey(dw * dh / 2, 128);
  const auto rotation = libyuv::kRotate270;  // a quarter turn counter-clockwise
  const std::string turn = turned ? ", rotate" : "";
  std::vector<Route> routes;
  if (colour) {
    routes.push_back({"UYVYToI420, I420Scale(none)" + turn + ", I420ToRGB565", Time([&] {
                        libyuv::UYVYToI420(uyvy.data(), kW * 2, y.data(), kW, u.data(), kW / 2, v.data(), kW / 2, kW, kH);
                        libyuv::I420Scale(y.data(), kW, u.data(), kW / 2, v.data(), kW / 2, kW, kH, sy.data(), dw,
                                          su.data(), dw / 2, sv.data(), dw / 2, dw, dh, libyuv::kFilterNone);
                        const uint8_t *py = sy.data(), *pu = su.data(), *pv = sv.data();
                        if (turned) {
                          libyuv::I420Rotate(sy.data(), dw, su.data(), dw / 2, sv.data(), dw / 2, ry.data(), rw,
                                             ru.data(), rw / 2, rv.data(), rw / 2, dw, dh, rotation);
                          py = ry.data(), pu = ru.data(), pv = rv.data();
                        }
                        libyuv::I420ToRGB565(py, rw, pu, rw / 2, pv, rw / 2, target, pitch, rw, rh);
                        bars();
                      })});
    routes.push_back({"UYVYToI422, I422Scale(none)" + turn + ", I422ToRGB565", Time([&] {
                        libyuv::UYVYToI422(uyvy.data(), kW * 2, y.data(), kW, u.data(), kW / 2, v.data(), kW / 2, kW, kH);
                        libyuv::I422Scale(y.data(), kW, u.data(), kW / 2, v.data(), kW / 2, kW, kH, sy.data(), dw,
                                          su.data(), dw / 2, sv.data(), dw / 2, dw, dh, libyuv::kFilterNone);
                        const uint8_t *py = sy.data(), *pu = su.data(), *pv = sv.data();
                        if (turned) {
                          libyuv::I422Rotate(sy.data(), dw, su.data(), dw / 2, sv.data(), dw / 2, ry.data(), rw,
                                             ru.data(), rw / 2, rv.data(), rw / 2, dw, dh, rotation);
                          py = ry.data(), pu = ru.data(), pv = rv.data();
                        }
                        libyuv::I422ToRGB565(py, rw, pu, rw / 2, pv, rw / 2, target, pitch, rw, rh);
                        bars();
                      })});
    routes.push_back({"UYVYToARGB, ARGBScale(none)" + turn + ", ARGBToRGB565", Time([&] {
                        libyuv::UYVYToARGB(uyvy.data(), kW * 2, argb.data(), kW * 4, kW, kH);
                        libyuv::ARGBScale(argb.data(), kW * 4, kW, kH, sargb.data(), dw * 4, dw, dh,
                                          libyuv::kFilterNone);
                        const uint8_t *p = sargb.data();
                        if (turned) {
                          libyuv::ARGBRotate(sargb.data(), dw * 4, rargb.data(), rw * 4, dw, dh, rotation);
                          p = rargb.data();
                        }
                        libyuv::ARGBToRGB565(p, rw * 4, target, pitch, rw, rh);
                        bars();
                      })});
  } else {
    routes.push_back({"UYVYToY, ScalePlane(none)" + turn + ", I400ToARGB, ARGBToRGB565", Time([&] {
                        libyuv::UYVYToY(uyvy.data(), kW * 2, y.data(), kW, kW, kH);
                        libyuv::ScalePlane(y.data(), kW, kW, kH, sy.data(), dw, dw, dh, libyuv::kFilterNone);
                        const uint8_t *py = sy.data();
                        if (turned) {
                          libyuv::RotatePlane(sy.data(), dw, ry.data(), rw, dw, dh, rotation);
                          py = ry.data();
                        }
                        libyuv::I400ToARGB(py, rw, sargb.data(), rw * 4, rw, rh);
                        libyuv::ARGBToRGB565(sargb.data(), rw * 4, target, pitch, rw, rh);
                        bars();
                      })});
    routes.push_back({"UYVYToY, ScalePlane(none)" + turn + ", I420ToRGB565 with neutral chroma",
                      Time([&] {
                        libyuv::UYVYToY(uyvy.data(), kW * 2, y.data(), kW, kW, kH);
                        libyuv::ScalePlane(y.data(), kW, kW, kH, sy.data(), dw, dw, dh, libyuv::kFilterNone);
                        const uint8_t *py = sy.data();
                        if (turned) {
                          libyuv::RotatePlane(sy.data(), dw, ry.data(), rw, dw, dh, rotation);
                          py = ry.data();
                        }
                        libyuv::I420ToRGB565(py, rw, grey.data(), 0, grey.data(), 0, target, pitch, rw, rh);
                        bars();
                      })});
  }
  const Route *best = &routes[0];
  for (const Route &r : routes) {
    std::printf("  libyuv %-72s %7.1f us\n", r.name.c_str(), r.seconds * 1e6);
    if (r.seconds < best->seconds) best = &r;
  }
  std::printf("%s %-6s 640x480 UYVY -> %dx%d on 240x320: ConvertPreview %7.1f us, libyuv fastest %7.1f us, ratio %5.2f\n",
              turned ? "turned " : "upright", colour ? "colour" : "grey", rw, rh, ours * 1e6, best->seconds * 1e6,
              best->seconds / ours);
}

}  // namespace

int main() {
  std::printf("single thread; ratio = libyuv time / ConvertPreview time\n");
  SetPictureSize(&g_App.PreviewPicture, kScreenW, kScreenH);
  std::vector<uint8_t> frame = scene::uyvy(scene::make(kW, kH, 9));
  for (bool turned : {false, true})
    for (bool colour : {true, false}) run(turned, colour, frame);
  FreePicture(&g_App.PreviewPicture);
  return 0;
}
