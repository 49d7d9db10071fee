// "DSC1:": the camera driver that copies each frame into the caller's buffer. A stream is set up
// by a fixed sequence of commands (camdriver.h); the driver checks its order and content and, after
// any other order, refuses frames and says on stderr which command was wrong, until a new sequence
// starts. The size commands name the capture mode by a size code and the crop by its size modulo
// 256 and the frame's bytes; the crop is centred in the mode.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "device/camera.h"
#include "device/faults.h"
#include "device/profile.h"
#include "drivers.h"
#include "properties.h"

namespace device::drivers {

namespace {

using Clock = std::chrono::steady_clock;

enum : uint32_t { kGetProperty = 1, kCommand = 2, kReadFrame = 4, kStartCapture = 5, kStopCapture = 6 };
enum : uint8_t { kSizePrepare = 1, kSizeCommit = 2, kSensorMode = 13, kMirror = 14, kQuality = 16, kFixed = 2 };

struct Mode {
  uint8_t code;
  uint32_t width, height;
};
constexpr Mode kModes[] = {{1, 160, 120}, {2, 320, 240}, {3, 640, 480}, {4, 1280, 960},
                           {5, 88, 72},   {7, 176, 144}, {8, 352, 288}};

// On this driver the ids of brightness and contrast are the other way round from the vendor
// library's, and both start at 0.
constexpr PropertyRule kProperties[] = {
    {1, Control::antiFlicker, 0, 0, 1}, {2, Control::effect, 0, 0, 1},     {4, Control::brightness, 0, 8, 4},
    {5, Control::contrast, 0, 6, 3},    {6, Control::saturation, 1, 9, 4}, {7, Control::sharpness, 1, 8, 5},
    {8, Control::gamma, 0, 10, 0},      {9, Control::hue, 1, 15, 1},       {10, Control::light, 0, 0, 1},
};

// The set-up sequence: a step is a short command, a size command or a bare request.
struct Step {
  uint32_t code;
  uint8_t command, argument;
  bool record;  // the whole command record
  const char *name;
};
constexpr Step kSequence[] = {
    {kCommand, kSensorMode, 4, false, "command 13 with 4"}, {kCommand, kMirror, 0, false, "command 14 with 0"},
    {kStopCapture, 0, 0, false, "stop"},                    {kCommand, kSizePrepare, 1, true, "size command 1"},
    {kCommand, kQuality, 100, false, "command 16 with 100"}, {kStartCapture, 0, 0, false, "start"},
    {kCommand, kSizeCommit, 1, true, "size command 2"},
};
constexpr int kSteps = int(std::size(kSequence));
constexpr int kBroken = -1;

struct Dsc {
  std::mutex lock;
  std::condition_variable wake;
  int opens = 0;
  uint32_t heldAccess = 0, heldShare = 0;
  Sensor *sensor = nullptr;
  std::unique_ptr<DriverProperties> properties;
  SensorControls controls;

  int step = 0;  // sequence steps done; kSteps: streaming; kBroken: refused
  uint8_t sizeCode = 0, cropWidth8 = 0, cropHeight8 = 0;
  uint32_t frameBytes = 0;
  SensorRequest request{};
  bool capturing = false;
  uint32_t reads = 0;  // frame reads of this stream
  Clock::time_point nextFrame;
  uint64_t generation = 0;  // moves on with every stop, so a waiting read gives up
};

Dsc &D() {
  static Dsc dsc;
  return dsc;
}

const Mode *modeOf(uint8_t code) {
  for (const Mode &m : kModes)
    if (m.code == code) return &m;
  return nullptr;
}

IoStatus refuse(Dsc &d, const std::string &what, const char *expected) {
  std::fprintf(stderr, "DSC1: %s out of order (expected %s); frames are refused until command 13 starts again\n",
               what.c_str(), expected);
  d.step = kBroken;
  return IoStatus::badRequest;
}

// The crop the size command names, centred in its mode; false when no crop fits.
bool resolveCrop(const DscCommandRecord &c, SensorRequest *request) {
  const Mode *mode = modeOf(c.sizeCode);
  if (!mode || c.format != kSensorUYVY || !c.frame) return false;
  for (uint32_t w = mode->width - mode->width % 2; w >= 2; w -= 2) {
    if (w % 256 != c.cropWidth || c.frameBytes % (w * 2)) continue;
    const uint32_t h = c.frameBytes / (w * 2);
    if (h == 0 || h > mode->height || h % 256 != c.cropHeight) continue;
    *request = {mode->width, mode->height, ((mode->width - w) / 2) & ~1u, (mode->height - h) / 2, w, h, kSensorUYVY};
    return true;
  }
  return false;
}

std::string describe(const IoRequest &r) {
  if (r.code == kStartCapture) return "start";
  if (r.code == kStopCapture) return "stop";
  const uint8_t *b = static_cast<const uint8_t *>(r.in);
  if (r.code == kCommand && b && r.inSize >= 2)
    return "command " + std::to_string(b[0]) + " with " + std::to_string(b[1]) + " (" + std::to_string(r.inSize) +
           " bytes)";
  return "request " + std::to_string(r.code);
}

// One request of the set-up sequence, or a stop outside it.
IoStatus sequence(Dsc &d, const IoRequest &r) {
  const uint8_t *b = static_cast<const uint8_t *>(r.in);
  const bool command = r.code == kCommand;
  // Command 13 with 4 always begins a new sequence.
  if (command && r.inSize == kDscShortCommand && b[0] == kSensorMode && b[1] == 4 && b[3] == kFixed) {
    d.capturing = false;
    ++d.generation;
    d.wake.notify_all();
    d.step = 1;
    return IoStatus::ok;
  }
  if (r.code == kStopCapture && (d.step == 0 || d.step == kSteps || d.step == kBroken)) {
    // The stream's end.
    d.capturing = false;
    ++d.generation;
    d.wake.notify_all();
    if (d.step == kSteps) d.step = 0;
    return IoStatus::ok;
  }
  if (d.step <= 0 || d.step >= kSteps) return refuse(d, describe(r), kSequence[0].name);
  const Step &want = kSequence[d.step];
  if (r.code != want.code) return refuse(d, describe(r), want.name);
  if (command) {
    const size_t size = want.record ? sizeof(DscCommandRecord) : kDscShortCommand;
    if (r.inSize != size || b[0] != want.command || b[1] != want.argument || b[3] != kFixed)
      return refuse(d, describe(r), want.name);
    if (want.record) {
      DscCommandRecord c;
      std::memcpy(&c, r.in, sizeof c);
      SensorRequest request;
      if (!resolveCrop(c, &request)) {
        std::fprintf(stderr,
                     "DSC1: size command %u: size code %u, crop %u x %u modulo 256 and %u frame bytes name no picture\n",
                     unsigned(c.command), unsigned(c.sizeCode), unsigned(c.cropWidth), unsigned(c.cropHeight),
                     unsigned(c.frameBytes));
        d.step = kBroken;
        return IoStatus::badParameter;
      }
      if (want.command == kSizeCommit &&
          (c.sizeCode != d.sizeCode || c.cropWidth != d.cropWidth8 || c.cropHeight != d.cropHeight8 ||
           c.frameBytes != d.frameBytes))
        return refuse(d, "size command 2 naming another size than size command 1", "the same size");
      d.sizeCode = c.sizeCode, d.cropWidth8 = c.cropWidth, d.cropHeight8 = c.cropHeight;
      d.frameBytes = c.frameBytes;
      d.request = request;
    }
  } else if (r.code == kStartCapture) {
    d.capturing = true;
  } else {
    d.capturing = false;
  }
  if (++d.step == kSteps) {
    d.reads = 0;
    d.nextFrame = Clock::now();
    d.sensor->setControls(d.controls);
  }
  return IoStatus::ok;
}

IoStatus readFrame(Dsc &d, std::unique_lock<std::mutex> &held, IoRequest &r) {
  if (d.step != kSteps || !d.capturing) return IoStatus::notReady;
  if (!r.in || r.inSize != d.frameBytes) return IoStatus::badParameter;
  const uint64_t generation = d.generation;
  // A frame each frame interval: the read waits for the next one.
  d.wake.wait_until(held, d.nextFrame, [&] { return d.generation != generation; });
  if (d.generation != generation) return IoStatus::notReady;
  const auto interval = std::chrono::milliseconds(d.sensor->frameInterval());
  d.nextFrame = std::max(d.nextFrame + interval, Clock::now());
  if (d.reads++ > 0 && faultRequested("dsc-read-fails")) return IoStatus::timeout;
  const SensorRequest request = d.request;
  Sensor *sensor = d.sensor;
  held.unlock();
  const size_t bytes = sensor->capture(request, static_cast<uint8_t *>(r.in), r.inSize);
  held.lock();
  return bytes == r.inSize ? IoStatus::ok : IoStatus::notReady;
}

class DscHandle : public DriverHandle {
 public:
  ~DscHandle() override {
    Dsc &d = D();
    std::lock_guard<std::mutex> held(d.lock);
    if (--d.opens) return;
    d.heldAccess = d.heldShare = 0;
    d.capturing = false;
    ++d.generation;
    d.wake.notify_all();
    d.step = 0;
  }

  IoStatus control(IoRequest &r) override {
    Dsc &d = D();
    std::unique_lock<std::mutex> held(d.lock);
    switch (r.code) {
      case kGetProperty: {
        uint32_t p[2];
        if (!r.in || r.inSize != sizeof p) return IoStatus::badParameter;
        std::memcpy(p, r.in, sizeof p);
        if (!d.properties->get(p[0], &p[1])) return IoStatus::badParameter;
        std::memcpy(r.in, p, sizeof p);
        return IoStatus::ok;
      }
      case kCommand: {
        if (!r.in) return IoStatus::badParameter;
        const uint8_t *b = static_cast<const uint8_t *>(r.in);
        // {id, value}: a property; its id word's top byte is 0 where a command has its fixed byte.
        if (r.inSize == 8 && b[3] == 0) {
          uint32_t p[2];
          std::memcpy(p, r.in, sizeof p);
          if (!d.properties->set(p[0], p[1], d.controls)) return IoStatus::badParameter;
          d.sensor->setControls(d.controls);
          return IoStatus::ok;
        }
        return sequence(d, r);
      }
      case kStartCapture:
      case kStopCapture: return sequence(d, r);
      case kReadFrame: return readFrame(d, held, r);
      default: return IoStatus::badRequest;
    }
  }
};

}  // namespace

IoStatus openDsc(uint32_t access, uint32_t share, std::unique_ptr<DriverHandle> *handle) {
  Dsc &d = D();
  std::lock_guard<std::mutex> held(d.lock);
  if (!shareable(d.opens, d.heldAccess, d.heldShare, access, share)) return IoStatus::sharing;
  if (!d.opens) {
    d.sensor = sensor();
    if (!d.sensor) return IoStatus::notReady;
    d.properties = std::make_unique<DriverProperties>(kProperties, std::size(kProperties),
                                                      current().text("platform_type") == "SmartPhone");
    d.controls = d.sensor->controls();
    d.step = 0;
    d.capturing = false;
    d.heldShare = kShareRead | kShareWrite;
  }
  ++d.opens;
  d.heldAccess |= access;
  d.heldShare &= share;
  *handle = std::make_unique<DscHandle>();
  return IoStatus::ok;
}

}  // namespace device::drivers
