#include "camera/sources.h"

#include <algorithm>
#include <cmath>

#include "device/profile.h"

namespace device {

void View::scenePoint(double u, double v, double &s, double &t) const {
  // The program turns the picture by its mounting setting to show it upright, so the scene lies
  // in the frame turned the other way: 0 (shown turned a quarter counter-clockwise) means the
  // scene's top is at the frame's right.
  switch (mounting & 3) {
    case 0: s = v, t = 1 - u; break;
    case 1: s = u, t = v; break;
    case 2: s = 1 - v, t = u; break;
    default: s = 1 - u, t = 1 - v; break;
  }
}

void YuvPicture::resize(int w, int h) {
  width = w, height = h;
  const size_t n = size_t(w) * h;
  y.resize(n), u.resize(n), v.resize(n);
}

namespace {

uint8_t clampByte(int value) { return uint8_t(std::clamp(value, 0, 255)); }

}  // namespace

void rgbToYuv(int r, int g, int b, uint8_t &y, uint8_t &u, uint8_t &v) {
  y = clampByte(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
  u = clampByte(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
  v = clampByte(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
}

void yuvToRgb(int y, int u, int v, uint8_t &r, uint8_t &g, uint8_t &b) {
  const int c = 298 * (y - 16), d = u - 128, e = v - 128;
  r = clampByte((c + 409 * e + 128) >> 8);
  g = clampByte((c - 100 * d - 208 * e + 128) >> 8);
  b = clampByte((c + 516 * d + 128) >> 8);
}

namespace {

uint32_t hash(uint32_t x, uint32_t y) {
  uint32_t h = x * 0x9E3779B1u ^ (y + 0x7F4A7C15u) * 0x85EBCA77u;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  return h;
}

constexpr double kPi = 3.14159265358979323846;
constexpr uint64_t kBallPeriodMs = 4000;

}  // namespace

void scenePixel(double s, double t, uint64_t ms, uint8_t rgb[3]) {
  int r, g, b;
  if (t < 0.45) {  // sky, with a sun
    r = int(90 + 80 * t), g = int(140 + 90 * t), b = 230;
    const double ds = s - 0.85, dt = t - 0.1;
    if (ds * ds + dt * dt < 0.0025) r = 255, g = 240, b = 170;
  } else {  // a brick wall: each brick its own shade, grey mortar between
    const double rowHeight = 0.05, brickWidth = 0.1;
    const int row = int((t - 0.45) / rowHeight);
    const double shifted = s + (row & 1 ? brickWidth / 2 : 0);
    const int column = int(std::floor(shifted / brickWidth));
    const double inRow = (t - 0.45) - row * rowHeight, inBrick = shifted - column * brickWidth;
    if (inRow < 0.006 || inBrick < 0.006) {
      r = g = b = 170;
    } else {
      const uint32_t shade = hash(uint32_t(column + 1000), uint32_t(row)) % 60;
      r = 150 + int(shade), g = 60 + int(shade) / 2, b = 40;
    }
  }
  // Six colour patches across the sky.
  static const uint8_t kPatches[6][3] = {{230, 30, 30}, {30, 200, 40}, {30, 60, 230},
                                         {240, 220, 20}, {220, 40, 220}, {20, 220, 220}};
  if (t > 0.2 && t < 0.32 && s > 0.04 && s < 0.94) {
    const double at = (s - 0.04) / 0.15;
    const int k = int(at);
    if (k < 6 && at - k < 0.7) r = kPatches[k][0], g = kPatches[k][1], b = kPatches[k][2];
  }
  // A ball that swings from side to side: what motion detection sees.
  const double phase = 2 * kPi * double(ms % kBallPeriodMs) / kBallPeriodMs;
  const double bs = s - (0.5 + 0.35 * std::sin(phase)), bt = t - 0.6;
  const double d2 = bs * bs + bt * bt;
  if (d2 < 0.0081) {
    const bool ring = d2 > 0.0056;
    r = ring ? 150 : 255, g = ring ? 60 : 140, b = ring ? 0 : 20;
  }
  // Fine grain, fixed to the field of view, so that JPEG has detail to keep.
  const int grain = int(hash(uint32_t(s * 1600), uint32_t(t * 1600)) % 13) - 6;
  rgb[0] = clampByte(r + grain), rgb[1] = clampByte(g + grain), rgb[2] = clampByte(b + grain);
}

void sampleFrame(const uint8_t *rgb, int width, int height, const View &view, YuvPicture &out) {
  for (int y = 0; y < out.height; ++y) {
    const double v = view.v0 + (y + 0.5) * view.dv;
    for (int x = 0; x < out.width; ++x) {
      double s, t;
      view.scenePoint(view.u0 + (x + 0.5) * view.du, v, s, t);
      const int fx = std::clamp(int(s * width), 0, width - 1), fy = std::clamp(int(t * height), 0, height - 1);
      const uint8_t *p = rgb + (size_t(fy) * width + fx) * 3;
      const size_t i = size_t(y) * out.width + x;
      rgbToYuv(p[0], p[1], p[2], out.y[i], out.u[i], out.v[i]);
    }
  }
}

namespace {

class Scene : public PictureSource {
 public:
  void render(const View &view, uint64_t ms, YuvPicture &out) override {
    for (int y = 0; y < out.height; ++y) {
      const double v = view.v0 + (y + 0.5) * view.dv;
      for (int x = 0; x < out.width; ++x) {
        double s, t;
        view.scenePoint(view.u0 + (x + 0.5) * view.du, v, s, t);
        uint8_t rgb[3];
        scenePixel(s, t, ms, rgb);
        const size_t i = size_t(y) * out.width + x;
        rgbToYuv(rgb[0], rgb[1], rgb[2], out.y[i], out.u[i], out.v[i]);
      }
    }
  }
};

// The eight bars of the program's screen source, left to right over the delivered picture, a
// pixel pair at a time: white, yellow, cyan, green, magenta, red, blue, black.
class Bars : public PictureSource {
 public:
  void render(const View &, uint64_t, YuvPicture &out) override {
    static const uint8_t kBars[8][3] = {{235, 128, 128}, {211, 16, 146}, {170, 166, 16}, {145, 54, 34},
                                        {106, 202, 222}, {81, 90, 240},  {41, 240, 109}, {16, 128, 128}};
    for (int y = 0; y < out.height; ++y)
      for (int x = 0; x < out.width; ++x) {
        const uint8_t *bar = kBars[8 * (x & ~1) / out.width];
        const size_t i = size_t(y) * out.width + x;
        out.y[i] = bar[0], out.u[i] = bar[1], out.v[i] = bar[2];
      }
  }
  bool testCard() const override { return true; }
};

}  // namespace

const std::vector<PictureSourceEntry> &pictureSources() {
  static const std::vector<PictureSourceEntry> table = {
      {"scene", [](const Profile &, const std::string &) -> std::unique_ptr<PictureSource> {
         return std::make_unique<Scene>();
       }},
      {"bars", [](const Profile &, const std::string &) -> std::unique_ptr<PictureSource> {
         return std::make_unique<Bars>();
       }},
      {"file", [](const Profile &profile, const std::string &path) { return openFileSource(profile, path); }},
      {"webcam", [](const Profile &, const std::string &device) {
         return openWebcamSource(device.empty() ? "/dev/video0" : device);
       }},
  };
  return table;
}

std::string checkPictureSource(const std::string &value) {
  const std::string name = value.substr(0, value.find(':'));
  for (const PictureSourceEntry &entry : pictureSources())
    if (name == entry.name) {
      if (name == "file" && value.size() <= 5) return "file: needs a path (file:PATH)";
      return {};
    }
  return "expected scene, bars, file:PATH or webcam[:DEVICE], found \"" + value + "\"";
}

}  // namespace device
