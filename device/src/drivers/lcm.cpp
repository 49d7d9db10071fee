// "LCM1:": the camera driver that streams into frame memory of its own. A stream fills a ring of
// frames at the camera's rate; a fetch hands out the newest filled frame's address (0 while none
// is ready), which stays the caller's until it releases it. Only a thread in kernel mode may be
// given a frame address.
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "device/camera.h"
#include "device/faults.h"
#include "device/profile.h"
#include "drivers.h"
#include "properties.h"

namespace device::drivers {

namespace {

using Clock = std::chrono::steady_clock;

enum : uint32_t {
  kInitialize = 0x90002004,
  kDeinitialize = 0x90002008,
  kStart = 0x9000200C,
  kStop = 0x90002010,
  kSetProperty = 0x90002014,
  kGetProperty = 0x90002018,
  kGetFrame = 0x9000201C,
  kRegister = 0x90002020,
  kFlash = 0x90002024,
  kReleaseFrame = 0x90002028,
};
constexpr uint32_t kFlashOn = 3, kFlashOff = 4;
constexpr int kLongExposure = 40;
constexpr auto kNoFrameSpell = std::chrono::milliseconds(500);  // the lcm-no-frame fault

constexpr PropertyRule kProperties[] = {
    {1, Control::antiFlicker, 0, 0, 1}, {2, Control::effect, 0, 0, 1},     {4, Control::contrast, 1, 9, 5},
    {5, Control::brightness, 1, 9, 5},  {6, Control::saturation, 1, 9, 4}, {7, Control::sharpness, 1, 8, 5},
    {8, Control::gamma, 0, 10, 0},      {9, Control::hue, 1, 15, 1},       {10, Control::light, 0, 0, 1},
};

struct Frame {
  enum State { free, filling, ready, held } state = free;
  std::vector<uint8_t> bytes;
  uint64_t sequence = 0;
};

struct Lcm {
  std::mutex lock;  // guards everything below; never held while the sensor renders
  std::condition_variable wake;
  int opens = 0;
  bool initialised = false;
  Sensor *sensor = nullptr;
  std::unique_ptr<DriverProperties> properties;
  SensorControls controls;  // as the properties and the flash light set them
  bool flashLight = false;
  uint8_t registers[256] = {};

  bool streaming = false;
  bool stopping = false;
  std::thread producer;
  SensorRequest request{};
  uint32_t exposure = 2;
  Clock::time_point streamStart;
  std::array<Frame, 3> frames;
  uint64_t filled = 0;
};

Lcm &L() {
  static Lcm lcm;
  return lcm;
}

void pushControls(Lcm &l) {
  SensorControls c = l.controls;
  c.flash = l.flashLight || (l.streaming && (l.exposure & 1));
  if (l.streaming && l.exposure >= 5) c.exposure += kLongExposure;
  l.sensor->setControls(c);
}

// The stream's thread: a frame each frame interval into a frame nobody holds.
void produce() {
  Lcm &l = L();
  std::unique_lock<std::mutex> held(l.lock);
  auto next = Clock::now();
  while (!l.stopping) {
    Frame *target = nullptr;
    for (Frame &f : l.frames)
      if (f.state == Frame::free && (!target || f.sequence < target->sequence)) target = &f;
    if (!target)  // every frame ready or held: the oldest ready one is overwritten
      for (Frame &f : l.frames)
        if (f.state == Frame::ready && (!target || f.sequence < target->sequence)) target = &f;
    if (target) {
      target->state = Frame::filling;
      const SensorRequest request = l.request;
      held.unlock();
      const size_t bytes = l.sensor->capture(request, target->bytes.data(), target->bytes.size());
      held.lock();
      target->state = bytes ? Frame::ready : Frame::free;
      target->sequence = ++l.filled;
    }
    next += std::chrono::milliseconds(l.sensor->frameInterval());
    l.wake.wait_until(held, next, [&] { return l.stopping; });
  }
}

// Ends the stream's thread; the lock is held on entry and on return.
void stopStream(Lcm &l, std::unique_lock<std::mutex> &held) {
  if (!l.streaming) return;
  l.stopping = true;
  l.wake.notify_all();
  std::thread thread = std::move(l.producer);
  held.unlock();
  thread.join();
  held.lock();
  l.stopping = false;
  l.streaming = false;
  for (Frame &f : l.frames)
    if (f.state == Frame::ready) f.state = Frame::free;
  pushControls(l);
}

bool heldFrame(const Lcm &l) {
  for (const Frame &f : l.frames)
    if (f.state == Frame::held) return true;
  return false;
}

bool validStream(const Lcm &l, const LcmStreamRecord &s) {
  return s.captureWidth >= 2 && s.captureHeight >= 2 && s.captureWidth % 2 == 0 &&
         s.captureWidth <= l.sensor->largestWidth() && s.captureHeight <= l.sensor->largestHeight() &&
         s.cropLeft <= s.cropRight && s.cropTop <= s.cropBottom && s.cropRight < s.captureWidth &&
         s.cropBottom < s.captureHeight && (s.cropRight - s.cropLeft) % 2 == 1;
}

template <typename T>
bool input(const IoRequest &r, T *value) {
  if (!r.in || r.inSize != sizeof(T)) return false;
  std::memcpy(value, r.in, sizeof(T));
  return true;
}

template <typename T>
IoStatus output(IoRequest &r, const T &value, size_t bytes = sizeof(T)) {
  if (!r.out || r.outSize < bytes) return IoStatus::smallBuffer;
  std::memcpy(r.out, &value, bytes);
  r.returned = bytes;
  return IoStatus::ok;
}

IoStatus start(Lcm &l, std::unique_lock<std::mutex> &held, const IoRequest &r) {
  LcmStreamRecord s;
  if (!input(r, &s) || !validStream(l, s)) return IoStatus::badParameter;
  if (heldFrame(l)) {
    std::fprintf(stderr, "LCM1: a stream started while the caller still holds a frame\n");
    return IoStatus::badRequest;
  }
  stopStream(l, held);
  l.request = {s.captureWidth, s.captureHeight, s.cropLeft, s.cropTop, s.cropRight - s.cropLeft + 1,
               s.cropBottom - s.cropTop + 1, kSensorUYVY};
  const size_t bytes = Sensor::frameBytes(l.request);
  if (!bytes) return IoStatus::badParameter;
  for (Frame &f : l.frames) {
    f.bytes.assign(bytes, 0);
    f.state = Frame::free;
  }
  l.exposure = s.exposure;
  l.streaming = true;
  l.streamStart = Clock::now();
  pushControls(l);
  l.producer = std::thread(produce);
  return IoStatus::ok;
}

IoStatus fetch(Lcm &l, IoRequest &r) {
  // The frame memory is the kernel's: its address means nothing to a thread in user mode.
  if (!r.kernelMode) return IoStatus::accessDenied;
  if (!cameraPowered()) return IoStatus::notReady;
  if (r.outSize < sizeof(void *)) return IoStatus::smallBuffer;
  if (heldFrame(l)) {
    std::fprintf(stderr, "LCM1: a frame fetched before the last one was released\n");
    return IoStatus::badRequest;
  }
  Frame *newest = nullptr;
  const bool spell = faultRequested("lcm-no-frame") && Clock::now() - l.streamStart < kNoFrameSpell;
  if (l.streaming && !spell)
    for (Frame &f : l.frames)
      if (f.state == Frame::ready && (!newest || f.sequence > newest->sequence)) newest = &f;
  void *address = nullptr;
  if (newest) {
    // Older filled frames are dropped: the caller gets the latest picture.
    for (Frame &f : l.frames)
      if (f.state == Frame::ready) f.state = Frame::free;
    newest->state = Frame::held;
    address = newest->bytes.data();
  }
  return output(r, address);
}

class LcmHandle : public DriverHandle {
 public:
  ~LcmHandle() override {
    Lcm &l = L();
    std::unique_lock<std::mutex> held(l.lock);
    if (--l.opens == 0) shutDown(l, held);
  }

  static void shutDown(Lcm &l, std::unique_lock<std::mutex> &held) {
    stopStream(l, held);
    if (!l.initialised) return;
    l.flashLight = false;
    pushControls(l);
    for (Frame &f : l.frames) f = Frame{};
    l.initialised = false;
  }

  IoStatus control(IoRequest &r) override {
    Lcm &l = L();
    std::unique_lock<std::mutex> held(l.lock);
    if (r.code == kInitialize) {
      if (faultRequested("lcm-init-silent")) return IoStatus::timeout;
      if (!l.initialised) {
        l.sensor = sensor();
        if (!l.sensor) return IoStatus::notReady;
        const Profile &profile = current();
        l.properties = std::make_unique<DriverProperties>(kProperties, std::size(kProperties),
                                                          profile.text("platform_type") == "SmartPhone");
        l.controls = l.sensor->controls();
        l.flashLight = false;
        l.initialised = true;
      }
      return output(r, uint32_t(0), 4);
    }
    if (!l.initialised) return IoStatus::notReady;
    switch (r.code) {
      case kDeinitialize: shutDown(l, held); return IoStatus::ok;
      case kStart: return start(l, held, r);
      case kStop: stopStream(l, held); return IoStatus::ok;
      case kGetFrame: return fetch(l, r);
      case kReleaseFrame:
        for (Frame &f : l.frames)
          if (f.state == Frame::held) f.state = Frame::free;
        return IoStatus::ok;
      case kSetProperty: {
        uint32_t p[2];
        if (!input(r, &p)) return IoStatus::badParameter;
        if (!l.properties->set(p[0], p[1], l.controls)) return IoStatus::badParameter;
        pushControls(l);
        return IoStatus::ok;
      }
      case kGetProperty: {
        uint32_t id, value;
        if (!input(r, &id) || !l.properties->get(id, &value)) return IoStatus::badParameter;
        return output(r, value);
      }
      case kRegister: {
        uint8_t p[8];
        if (!input(r, &p)) return IoStatus::badParameter;
        uint32_t write;
        std::memcpy(&write, p, 4);
        if (write == 1) {
          l.registers[p[4]] = p[5];
          return IoStatus::ok;
        }
        uint32_t reg;
        std::memcpy(&reg, p + 4, 4);
        if (write != 0 || reg >= std::size(l.registers)) return IoStatus::badParameter;
        return output(r, uint16_t(l.registers[reg]));
      }
      case kFlash: {
        uint32_t code;
        if (!input(r, &code) || (code != kFlashOn && code != kFlashOff)) return IoStatus::badParameter;
        l.flashLight = code == kFlashOn;
        pushControls(l);
        return IoStatus::ok;
      }
      default: return IoStatus::badRequest;
    }
  }
};

}  // namespace

IoStatus openLcm(uint32_t, uint32_t, std::unique_ptr<DriverHandle> *handle) {
  // The driver cannot reach a sensor without power.
  if (!cameraPowered()) return IoStatus::notReady;
  Lcm &l = L();
  std::lock_guard<std::mutex> held(l.lock);
  // One caller at a time: the frame memory has a single owner.
  if (l.opens) return IoStatus::sharing;
  ++l.opens;
  *handle = std::make_unique<LcmHandle>();
  return IoStatus::ok;
}

}  // namespace device::drivers
