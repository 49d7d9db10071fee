// The handset vendor's camera library over the handset's camera sensor: the twelve entries, the
// stream on the library's own thread, and the recorder.
//
// A stream at most the sensor's native size delivers a picture each frame interval from its
// start to Camera_End. A larger stream needs a warm-up first, a 320 × 240 stream that delivered
// a picture and was ended: it then delivers one picture and nothing more, so a caller that wants
// a large picture after every frame interval cycles warm-up and stream for each.
//
// Faults (HANDSET_FAULTS): camera-init (Camera_Init refuses), warmup-silent (a warm-up stream
// never delivers), cycle-timeout (a stream above the native size never delivers), recorder-refuses
// (Camera_SetMpegInfoParam refuses a recording).
#include <htccamera.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "device/camera.h"
#include "device/faults.h"
#include "device/profile.h"
#include "platform/files.h"
#include "properties.h"
#include "recorder.h"

#define CAMERA_ENTRY extern "C" __attribute__((visibility("default"))) DWORD

namespace {

using namespace htccamera;

constexpr uint32_t kWarmUpWidth = 320, kWarmUpHeight = 240;
constexpr size_t kRegisters = 256;
constexpr int kLongExposure = 40;

struct Library {
  std::mutex lock;  // guards everything below; never held while a callback runs
  bool initialised = false;
  device::Sensor *sensor = nullptr;
  std::unique_ptr<Properties> properties;
  device::SensorControls controls;  // as the properties and the flash light set them
  bool jpegCamera = false;
  bool warmedUp = false;  // a warm-up ran since the last stream above the native size

  CAMERA_STREAM stream{};
  std::thread streamThread;
  bool stopping = false;
  std::condition_variable wake;
  bool delivered = false;  // the running stream delivered a picture

  CAMERA_MPEG_INFO recordInfo{};
  bool recordArmed = false;
  std::unique_ptr<Recording> recording;

  DWORD registers[kRegisters] = {};
  DWORD jpegParams[4] = {};
};

Library &Lib() {
  static Library library;
  return library;
}

bool WarmUpMark(const CAMERA_STREAM &s) {
  return s.bWarmUp[0] == CAMERA_WARMUP_MARK0 && s.bWarmUp[1] == CAMERA_WARMUP_MARK1 &&
         s.bWarmUp[2] == CAMERA_WARMUP_MARK2 && s.bWarmUp[3] == CAMERA_WARMUP_MARK3;
}

bool AboveNative(const Library &l, const CAMERA_STREAM &s) {
  return s.dwCaptureWidth > l.sensor->nativeWidth() || s.dwCaptureHeight > l.sensor->nativeHeight();
}

// The sensor's controls for a stream: the properties, and its exposure (a long one is brighter;
// an odd one fires the flash). The camera that compresses its own pictures uses the field for
// the picture's kind instead.
void PushControls(Library &l, const CAMERA_STREAM *s) {
  device::SensorControls c = l.controls;
  if (s && !l.jpegCamera) {
    if (s->dwExposure >= 5) c.exposure += kLongExposure;
    if (s->dwExposure & 1) c.flash = true;
  }
  l.sensor->setControls(c);
}

device::SensorRequest RequestFor(const Library &l, const CAMERA_STREAM &s) {
  device::SensorRequest r{s.dwCaptureWidth, s.dwCaptureHeight, 0, 0, s.dwCaptureWidth, s.dwCaptureHeight, 0};
  if (l.jpegCamera) {
    // Whole pictures: compressed, or planar for a still.
    r.format = s.dwKind == CAMERA_STREAM_STILL ? device::kSensorYV12 : device::kSensorIJPG;
    r.jpegQuality = l.properties->jpegQuality();
  } else {
    r.cropX = s.dwCropLeft, r.cropY = s.dwCropTop;
    r.cropWidth = s.dwCropRight - s.dwCropLeft + 1, r.cropHeight = s.dwCropBottom - s.dwCropTop + 1;
    r.format = device::kSensorUYVY;
  }
  return r;
}

// The stream's thread: pictures until Camera_End (one only above the native size, none when a
// fault silences the stream).
void Deliver(CAMERA_STREAM s, bool once, bool silent) {
  Library &l = Lib();
  const device::SensorRequest request = RequestFor(l, s);
  std::vector<uint8_t> buffer(device::Sensor::frameBytes(request));
  auto next = std::chrono::steady_clock::now();
  for (bool more = !silent; more;) {
    const size_t bytes = l.sensor->capture(request, buffer.data(), buffer.size());
    if (bytes) {
      s.pfnFrame(buffer.data(), DWORD(bytes));
      std::lock_guard<std::mutex> held(l.lock);
      l.delivered = true;
    }
    next += std::chrono::milliseconds(l.sensor->frameInterval());
    std::unique_lock<std::mutex> held(l.lock);
    more = !once && !l.wake.wait_until(held, next, [&] { return l.stopping; });
  }
  std::unique_lock<std::mutex> held(l.lock);
  l.wake.wait(held, [&] { return l.stopping; });
}

bool ValidStream(const Library &l, const CAMERA_STREAM &s) {
  return s.pfnFrame && s.dwCaptureWidth >= 2 && s.dwCaptureHeight >= 2 && s.dwCaptureWidth % 2 == 0 &&
         s.dwCaptureWidth <= l.sensor->largestWidth() && s.dwCaptureHeight <= l.sensor->largestHeight() &&
         s.dwCropLeft <= s.dwCropRight && s.dwCropTop <= s.dwCropBottom && s.dwCropRight < s.dwCaptureWidth &&
         s.dwCropBottom < s.dwCaptureHeight && (l.jpegCamera || (s.dwCropRight - s.dwCropLeft) % 2 == 1);
}

// Ends the stream's thread; the lock is held on entry and on return.
void EndStream(Library &l, std::unique_lock<std::mutex> &held) {
  if (!l.streamThread.joinable()) return;
  l.stopping = true;
  l.wake.notify_all();
  std::thread thread = std::move(l.streamThread);
  held.unlock();
  if (thread.get_id() == std::this_thread::get_id())
    thread.detach();  // ended from inside a frame callback
  else
    thread.join();
  if (l.recording) l.recording->pause();
  held.lock();
  l.stopping = false;
  // A warm-up is a 320 × 240 stream that delivered; a stream above the native size used it up.
  if (l.delivered && l.stream.dwCaptureWidth == kWarmUpWidth && l.stream.dwCaptureHeight == kWarmUpHeight)
    l.warmedUp = true;
  PushControls(l, nullptr);
}

bool FinishRecording(Library &l) {
  if (!l.recording) return true;
  const bool written = l.recording->finish();
  if (!written) std::fprintf(stderr, "HTCcamera: the recording \"%s\" could not be written\n", l.recordInfo.szName);
  l.recording.reset();
  return written;
}

// The recording of a record-kind stream, created at its first stream and continued at the next.
bool StartRecording(Library &l) {
  if (!l.recording) {
    const CAMERA_MPEG_INFO &info = l.recordInfo;
    std::u16string name(info.szName, info.szName + strnlen(info.szName, sizeof info.szName));
    RecordingSettings settings{platform::hostPath(name.c_str()), info.dwWidth, info.dwHeight,
                               info.dwFramesPerSecond, info.dwBitRate, info.dwSizeLimit, info.dwSound != 0,
                               info.pfnProgress};
    std::string error;
    if (settings.path.empty() || !(l.recording = Recording::create(settings, *l.sensor, &error))) {
      std::fprintf(stderr, "HTCcamera: cannot record \"%s\": %s\n", info.szName,
                   settings.path.empty() ? "not a file name" : error.c_str());
      return false;
    }
  }
  l.recording->resume();
  return true;
}

}  // namespace

CAMERA_ENTRY Camera_Init(DWORD *, DWORD, DWORD) {
  Library &l = Lib();
  std::lock_guard<std::mutex> held(l.lock);
  if (device::faultRequested("camera-init")) return 0;
  if (l.initialised) return 1;
  l.sensor = device::sensor();
  if (!l.sensor) return 0;
  const device::Profile &profile = device::current();
  l.properties = std::make_unique<Properties>(profile);
  l.jpegCamera = profile.flag("camera_jpeg", false);
  l.controls = l.sensor->controls();
  l.warmedUp = false;
  l.initialised = true;
  return 1;
}

CAMERA_ENTRY Camera_Begin(CAMERA_STREAM *s) {
  Library &l = Lib();
  std::lock_guard<std::mutex> held(l.lock);
  if (!l.initialised || !s || l.streamThread.joinable() || !ValidStream(l, *s)) return 0;
  const bool record = s->dwKind == CAMERA_STREAM_RECORD && l.recordArmed;
  if (record && !StartRecording(l)) return 0;
  const bool above = AboveNative(l, *s);
  bool silent = WarmUpMark(*s) && device::faultRequested("warmup-silent");
  if (above) {
    silent = silent || !l.warmedUp || device::faultRequested("cycle-timeout");
    l.warmedUp = false;
  }
  l.stream = *s;
  l.delivered = false;
  PushControls(l, s);
  l.streamThread = std::thread(Deliver, *s, above, silent);
  return 1;
}

CAMERA_ENTRY Camera_End() {
  Library &l = Lib();
  std::unique_lock<std::mutex> held(l.lock);
  if (!l.initialised || !l.streamThread.joinable()) return 0;
  EndStream(l, held);
  return 1;
}

CAMERA_ENTRY Camera_Deinit() {
  Library &l = Lib();
  std::unique_lock<std::mutex> held(l.lock);
  if (!l.initialised) return 0;
  EndStream(l, held);
  FinishRecording(l);
  l.recordArmed = false;
  l.controls.flash = false;
  PushControls(l, nullptr);
  l.initialised = false;
  return 1;
}

CAMERA_ENTRY Camera_SetProperty(DWORD id, DWORD value) {
  Library &l = Lib();
  std::lock_guard<std::mutex> held(l.lock);
  if (!l.initialised || !l.properties->set(id, value, l.controls)) return 0;
  PushControls(l, l.streamThread.joinable() ? &l.stream : nullptr);
  return 1;
}

CAMERA_ENTRY Camera_GetProperty(DWORD id, DWORD *value) {
  Library &l = Lib();
  std::lock_guard<std::mutex> held(l.lock);
  return l.initialised && value && l.properties->get(id, value) ? 1 : 0;
}

CAMERA_ENTRY Camera_ReadRegister(DWORD reg, DWORD *value) {
  Library &l = Lib();
  std::lock_guard<std::mutex> held(l.lock);
  if (!l.initialised || reg >= kRegisters || !value) return 0;
  *value = l.registers[reg];
  return 1;
}

CAMERA_ENTRY Camera_WriteRegister(DWORD reg, DWORD value) {
  Library &l = Lib();
  std::lock_guard<std::mutex> held(l.lock);
  if (!l.initialised || reg >= kRegisters) return 0;
  l.registers[reg] = value;
  return 1;
}

CAMERA_ENTRY Camera_FlashLight(DWORD code, DWORD) {
  Library &l = Lib();
  std::lock_guard<std::mutex> held(l.lock);
  if (!l.initialised || (code != CAMERA_FLASH_ON && code != CAMERA_FLASH_OFF)) return 0;
  l.controls.flash = code == CAMERA_FLASH_ON;
  PushControls(l, l.streamThread.joinable() ? &l.stream : nullptr);
  return 1;
}

CAMERA_ENTRY Camera_SetMpegInfoParam(CAMERA_MPEG_INFO *info, DWORD) {
  Library &l = Lib();
  std::unique_lock<std::mutex> held(l.lock);
  if (!l.initialised || !info) return 0;
  if (info->dwSizeLimit == 0 && info->dwTimeScale == 0) {
    // The end of the recording: stop its stream if it still runs and close the file.
    if (l.streamThread.joinable() && l.stream.dwKind == CAMERA_STREAM_RECORD) EndStream(l, held);
    l.recordArmed = false;
    return FinishRecording(l) ? 1 : 0;
  }
  if (device::faultRequested("recorder-refuses") || l.recording || !info->szName[0] ||
      !memchr(info->szName, 0, sizeof info->szName) || info->dwWidth < 16 || info->dwHeight < 16 ||
      info->dwFramesPerSecond == 0 || info->dwFramesPerSecond > 60)
    return 0;
  l.recordInfo = *info;
  l.recordArmed = true;
  return 1;
}

CAMERA_ENTRY Camera_GetYUV2JpegParam(DWORD id, DWORD *value) {
  Library &l = Lib();
  std::lock_guard<std::mutex> held(l.lock);
  if (!l.initialised || id >= std::size(l.jpegParams) || !value) return 0;
  *value = l.jpegParams[id];
  return 1;
}

CAMERA_ENTRY Camera_SetYUV2JpegParam(DWORD id, DWORD value) {
  Library &l = Lib();
  std::lock_guard<std::mutex> held(l.lock);
  if (!l.initialised || id >= std::size(l.jpegParams)) return 0;
  l.jpegParams[id] = value;
  return 1;
}
