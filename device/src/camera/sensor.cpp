// The handset's camera sensor: a picture source seen through the mode, crop and zoom asked for,
// the controls applied, the frame stamp drawn, packed into the format asked for.
#include <turbojpeg.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "camera/sources.h"
#include "device/frame_stamp.h"
#include "device/camera.h"
#include "device/microphone.h"
#include "device/profile.h"

namespace device {

struct Sensor::State {
  uint32_t largestWidth = 1280, largestHeight = 1024, nativeWidth = 640, nativeHeight = 480;
  uint32_t rate = 15;
  int mounting = 0;
  bool chromaSwapped = false;  // in packed pictures the sensor hands V where U belongs, and U where V
  std::string sourceName;
  std::unique_ptr<PictureSource> source;
  mutable std::mutex lock;  // guards controls
  SensorControls controls;
  std::atomic<uint32_t> frames{0};
};

namespace {

void parseSize(const Profile &profile, const char *key, uint32_t &width, uint32_t &height) {
  const ProfileEntry *entry = profile.find(key);
  if (!entry) return;
  const size_t x = entry->value.find('x');
  width = uint32_t(profile.parseNumber(*entry, entry->value.substr(0, x)));
  height = uint32_t(profile.parseNumber(*entry, entry->value.substr(x + 1)));
  if (width < 2 || height < 2 || width > 4096 || height > 4096 || width % 2)
    throw ProfileError(profile.where(*entry) + ": " + key + ": unusable size \"" + entry->value + "\"");
}

bool neutral(const SensorControls &c) {
  return !c.brightness && !c.contrast && !c.saturation && !c.hue && !c.sharpness && !c.gamma && !c.exposure &&
         !c.gain && c.whiteBalance == WhiteBalance::automatic && c.effect == Effect::normal && !c.night && !c.flash;
}

// The light and tone controls as one table over luma.
void lumaTable(const SensorControls &c, uint8_t table[256]) {
  const double gain = std::pow(2.0, c.exposure / 100.0) * (c.flash ? 1.5 : 1.0) * (c.night ? 1.6 : 1.0) *
                      (1 + c.gain / 100.0);
  const double contrast = 1 + c.contrast / 100.0, exponent = std::pow(2.0, -c.gamma / 100.0);
  for (int y = 0; y < 256; ++y) {
    double value = 16 + (y - 16) * gain + c.brightness * 0.8;
    value = 128 + (value - 128) * contrast;
    value = std::clamp(value, 0.0, 255.0);
    value = 255 * std::pow(value / 255, exponent);
    table[y] = uint8_t(std::clamp(std::lround(value), 0L, 255L));
  }
}

void applyControls(const SensorControls &c, YuvPicture &p) {
  uint8_t table[256];
  lumaTable(c, table);
  const double saturation = 1 + c.saturation / 100.0, angle = c.hue * 3.14159265358979 / 180;
  const double cosine = std::cos(angle) * saturation, sine = std::sin(angle) * saturation;
  // White balance presets tint the picture as a mismatched light would: (U, V) shifts.
  static const int kTint[5][2] = {{0, 0}, {-4, 4}, {-8, 8}, {16, -12}, {8, -2}};
  const int *tint = kTint[int(c.whiteBalance)];
  const size_t n = p.y.size();
  for (size_t i = 0; i < n; ++i) {
    int y = table[p.y[i]];
    const double u = p.u[i] - 128, v = p.v[i] - 128;
    int u2 = int(std::lround(128 + u * cosine - v * sine)) + tint[0];
    int v2 = int(std::lround(128 + u * sine + v * cosine)) + tint[1];
    switch (c.effect) {
      case Effect::normal: break;
      case Effect::grey: u2 = v2 = 128; break;
      case Effect::sepia: u2 = 108, v2 = 146; break;
      case Effect::negative: y = 255 - y, u2 = 256 - u2, v2 = 256 - v2; break;
    }
    p.y[i] = uint8_t(y);
    p.u[i] = uint8_t(std::clamp(u2, 0, 255));
    p.v[i] = uint8_t(std::clamp(v2, 0, 255));
  }
  if (!c.sharpness) return;
  // Sharpness: the luma moved away from (or towards) the mean of its four neighbours.
  static thread_local std::vector<uint8_t> before;
  before = p.y;
  const double k = c.sharpness / 100.0;
  for (int y = 1; y + 1 < p.height; ++y)
    for (int x = 1; x + 1 < p.width; ++x) {
      const size_t i = size_t(y) * p.width + x;
      const int mean = (before[i - 1] + before[i + 1] + before[i - p.width] + before[i + p.width] + 2) / 4;
      p.y[i] = uint8_t(std::clamp(int(std::lround(before[i] + k * (before[i] - mean))), 0, 255));
    }
}

void drawStamp(const FrameStamp &stamp, YuvPicture &p) {
  bool bits[kStampBits];
  stampBits(stamp, bits);
  const StampGeometry g = stampGeometry(p.width, p.height);
  auto fill = [&](double x0, double y0, double x1, double y1, uint8_t luma) {
    const int left = std::max(0, int(std::lround(x0))), right = std::min(p.width, int(std::lround(x1)));
    const int top = std::max(0, int(std::lround(y0))), bottom = std::min(p.height, int(std::lround(y1)));
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x) {
        const size_t i = size_t(y) * p.width + x;
        p.y[i] = luma, p.u[i] = 128, p.v[i] = 128;
      }
  };
  const double half = g.cell / 2;
  fill(g.left - half, g.top - half, g.left + kStampColumns * g.cell + half, g.top + kStampRows * g.cell + half,
       kStampDark);
  for (int row = 0; row < kStampRows; ++row)
    for (int column = 0; column < kStampColumns; ++column)
      if (bits[row * kStampColumns + column])
        fill(g.left + column * g.cell, g.top + row * g.cell, g.left + (column + 1) * g.cell,
             g.top + (row + 1) * g.cell, kStampLight);
}

size_t chromaPlane(uint32_t width, uint32_t height) { return size_t((width + 1) / 2) * ((height + 1) / 2); }

// 4:2:0 planes, each chroma sample the mean of its two-by-two block.
void packPlanar(const YuvPicture &p, uint8_t *out, bool vFirst) {
  const int w = p.width, h = p.height, cw = (w + 1) / 2, ch = (h + 1) / 2;
  std::memcpy(out, p.y.data(), p.y.size());
  uint8_t *first = out + p.y.size(), *second = first + size_t(cw) * ch;
  uint8_t *uPlane = vFirst ? second : first, *vPlane = vFirst ? first : second;
  for (int y = 0; y < ch; ++y)
    for (int x = 0; x < cw; ++x) {
      const int x0 = 2 * x, y0 = 2 * y, x1 = std::min(x0 + 1, w - 1), y1 = std::min(y0 + 1, h - 1);
      auto mean = [&](const std::vector<uint8_t> &plane) {
        return uint8_t((plane[size_t(y0) * w + x0] + plane[size_t(y0) * w + x1] + plane[size_t(y1) * w + x0] +
                        plane[size_t(y1) * w + x1] + 2) / 4);
      };
      uPlane[size_t(y) * cw + x] = mean(p.u);
      vPlane[size_t(y) * cw + x] = mean(p.v);
    }
}

// 4:2:2 pairs, each chroma sample the mean of the pair's two.
void packPacked(const YuvPicture &p, uint8_t *out, bool uyvy) {
  const int w = p.width;
  for (int y = 0; y < p.height; ++y) {
    uint8_t *row = out + size_t(y) * ((w + 1) / 2) * 4;
    for (int x = 0; x < w; x += 2) {
      const size_t i = size_t(y) * w + x, j = x + 1 < w ? i + 1 : i;
      const uint8_t u = uint8_t((p.u[i] + p.u[j] + 1) / 2), v = uint8_t((p.v[i] + p.v[j] + 1) / 2);
      uint8_t *q = row + x * 2;
      if (uyvy)
        q[0] = u, q[1] = p.y[i], q[2] = v, q[3] = p.y[j];
      else
        q[0] = p.y[i], q[1] = u, q[2] = p.y[j], q[3] = v;
    }
  }
}

void packRgb565(const YuvPicture &p, uint8_t *out) {
  for (size_t i = 0; i < p.y.size(); ++i) {
    uint8_t r, g, b;
    yuvToRgb(p.y[i], p.u[i], p.v[i], r, g, b);
    const uint16_t pixel = uint16_t((r >> 3) << 11 | (g >> 2) << 5 | b >> 3);
    out[2 * i] = uint8_t(pixel), out[2 * i + 1] = uint8_t(pixel >> 8);
  }
}

size_t packJpeg(const YuvPicture &p, uint32_t quality, uint8_t *out, size_t capacity) {
  struct Compressor {
    tjhandle handle = tjInitCompress();
    std::vector<uint8_t> spare;
    ~Compressor() { tjDestroy(handle); }
  };
  static thread_local Compressor compressor;
  if (!compressor.handle) return 0;
  const unsigned long bound = tjBufSize(p.width, p.height, TJSAMP_444);
  unsigned char *target = out;
  if (capacity < bound) {
    compressor.spare.resize(bound);
    target = compressor.spare.data();
  }
  unsigned long size = bound;
  const unsigned char *planes[3] = {p.y.data(), p.u.data(), p.v.data()};
  const int strides[3] = {p.width, p.width, p.width};
  if (tjCompressFromYUVPlanes(compressor.handle, planes, p.width, strides, p.height, TJSAMP_444, &target, &size,
                              int(std::clamp(quality, 1u, 100u)), TJFLAG_NOREALLOC) != 0)
    return 0;
  if (target != out) {
    if (size > capacity) return 0;
    std::memcpy(out, target, size);
  }
  return size;
}

}  // namespace

Sensor::Sensor(const Profile &profile) : state_(std::make_unique<State>()) {
  State &s = *state_;
  parseSize(profile, "camera_largest", s.largestWidth, s.largestHeight);
  parseSize(profile, "camera_native", s.nativeWidth, s.nativeHeight);
  s.rate = uint32_t(std::clamp<uint64_t>(profile.number("camera_rate", 15), 1, 60));
  s.mounting = int(profile.number("camera_mounting", 1) & 3);
  s.chromaSwapped = profile.flag("camera_chroma_swapped", false);
  std::string picture = profile.text("camera_picture", "scene");
  if (const char *chosen = std::getenv("HANDSET_CAMERA"); chosen && *chosen) {
    picture = chosen;
    if (std::string problem = checkPictureSource(picture); !problem.empty())
      throw ProfileError("HANDSET_CAMERA: " + problem);
  }
  const size_t colon = picture.find(':');
  const std::string name = picture.substr(0, colon), argument = colon == std::string::npos ? "" : picture.substr(colon + 1);
  for (const PictureSourceEntry &entry : pictureSources())
    if (name == entry.name) s.source = entry.create(profile, argument), s.sourceName = name;
  if (!s.source) s.source = pictureSources().front().create(profile, ""), s.sourceName = "scene";
}

Sensor::~Sensor() = default;

uint32_t Sensor::largestWidth() const { return state_->largestWidth; }
uint32_t Sensor::largestHeight() const { return state_->largestHeight; }
uint32_t Sensor::nativeWidth() const { return state_->nativeWidth; }
uint32_t Sensor::nativeHeight() const { return state_->nativeHeight; }
std::string Sensor::pictureSource() const { return state_->sourceName; }

uint32_t Sensor::frameInterval() const {
  const uint32_t interval = (1000 + state_->rate / 2) / state_->rate;
  return controls().night ? 2 * interval : interval;
}

SensorControls Sensor::controls() const {
  std::lock_guard<std::mutex> held(state_->lock);
  return state_->controls;
}

void Sensor::setControls(const SensorControls &controls) {
  std::lock_guard<std::mutex> held(state_->lock);
  state_->controls = controls;
  state_->controls.zoom = std::clamp<uint32_t>(controls.zoom, 65536, 8 * 65536);
}

size_t Sensor::frameBytes(const SensorRequest &r) {
  if (r.cropWidth == 0 || r.cropHeight == 0 || r.captureWidth == 0 || r.captureHeight == 0 ||
      uint64_t(r.cropX) + r.cropWidth > r.captureWidth || uint64_t(r.cropY) + r.cropHeight > r.captureHeight ||
      r.captureWidth > 4096 || r.captureHeight > 4096)
    return 0;
  const size_t w = r.cropWidth, h = r.cropHeight;
  switch (r.format) {
    case kSensorUYVY:
    case kSensorYUY2: return (w + 1) / 2 * 4 * h;
    case kSensorYV12:
    case kSensorI420: return w * h + 2 * chromaPlane(r.cropWidth, r.cropHeight);
    case kSensorRGB565: return w * h * 2;
    case kSensorIJPG: return tjBufSize(int(w), int(h), TJSAMP_444);
    default: return 0;
  }
}

size_t Sensor::capture(const SensorRequest &r, uint8_t *out, size_t capacity, FrameStamp *stamped) {
  const State &s = *state_;
  const size_t bytes = frameBytes(r);
  if (!bytes || r.captureWidth > s.largestWidth || r.captureHeight > s.largestHeight) return 0;
  if (r.format != kSensorIJPG && bytes > capacity) return 0;
  const SensorControls c = controls();

  // The mode: the largest centred cut of the 4:3 field of view with the capture's shape, the
  // zoom magnifying its centre; then the crop's part of it.
  double uSpan = 1, vSpan = 1;
  if (uint64_t(r.captureWidth) * 3 >= uint64_t(r.captureHeight) * 4)
    vSpan = double(r.captureHeight) * 4 / (double(r.captureWidth) * 3);
  else
    uSpan = double(r.captureWidth) * 3 / (double(r.captureHeight) * 4);
  const double zoom = c.zoom / 65536.0;
  uSpan /= zoom, vSpan /= zoom;
  const double du = uSpan / r.captureWidth, dv = vSpan / r.captureHeight;
  const View view{(1 - uSpan) / 2 + r.cropX * du, (1 - vSpan) / 2 + r.cropY * dv, du, dv, s.mounting};

  static thread_local YuvPicture picture;
  picture.resize(int(r.cropWidth), int(r.cropHeight));
  const uint64_t ms = microphoneClock();
  s.source->render(view, ms, picture);
  if (!neutral(c)) applyControls(c, picture);
  const FrameStamp stamp{state_->frames.fetch_add(1) + 1, uint32_t(ms)};
  if (!s.source->testCard()) drawStamp(stamp, picture);
  if (stamped) *stamped = stamp;
  const bool packed = r.format == kSensorUYVY || r.format == kSensorYUY2;
  if (s.chromaSwapped && packed) picture.u.swap(picture.v);

  switch (r.format) {
    case kSensorUYVY: packPacked(picture, out, true); return bytes;
    case kSensorYUY2: packPacked(picture, out, false); return bytes;
    case kSensorYV12: packPlanar(picture, out, true); return bytes;
    case kSensorI420: packPlanar(picture, out, false); return bytes;
    case kSensorRGB565: packRgb565(picture, out); return bytes;
    default: return packJpeg(picture, r.jpegQuality, out, capacity);
  }
}

namespace {

std::mutex sensorLock;
std::unique_ptr<Sensor> running;
bool made = false;

}  // namespace

Sensor *sensor() {
  std::lock_guard<std::mutex> held(sensorLock);
  if (!made) {
    made = true;
    const Profile &profile = current();
    const std::vector<std::string> kinds = profile.all("camera");
    const bool camera = !kinds.empty() && !(kinds.size() == 1 && kinds[0] == "none");
    if (camera) {
      try {
        running = std::make_unique<Sensor>(profile);
      } catch (const std::exception &error) {
        stopOnBadSetting(std::string("handset camera error: ") + error.what());
      }
    }
  }
  return running.get();
}

void resetSensor() {
  std::lock_guard<std::mutex> held(sensorLock);
  running.reset();
  made = false;
}

}  // namespace device
