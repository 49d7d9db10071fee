#include "camera/screen_source.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "app/appstate.h"
#include "app/settings.h"
#include "camera/lcd_planes.h"
#include "pipeline/pipeline.h"

namespace {

constexpr uint32_t kBytesPerPixel = 2;  // RGB 565 and UYVY
constexpr uint32_t kLongestWait = 2048;  // ms
constexpr uint32_t kStopWait = 2048;     // ms
// With no picture to copy (no frame buffer known, no plane up) the thread looks again this
// much later instead of spinning; an overlay that comes up meanwhile is taken then.
constexpr uint32_t kNoPictureWait = 250;  // ms
constexpr uint32_t kCameraModeScreen = 1;
// The least the frame buffer holds: a 640 × 480 picture at 3 bytes a pixel.
constexpr uint32_t kMinimumFrameBytes = 640 * 480 * 3;

struct ScreenState {
  HANDLE wake;
  HANDLE thread;
  std::atomic<uint8_t> stop;
  uint32_t lastFrameTick;
  uint8_t *buffer;
  uint32_t capacity;
  FrameDesc started;  // size and shape given by Start; the format is set per frame
  LcdPlanes *planes;  // the LCD controller's planes, PXA27x only
};
ScreenState s;

int32_t Setting(int n) { return g_App.settings[n] ? OptionValue(*g_App.settings[n]) : 0; }

uint32_t DisplayBytes() {
  const DeviceRecord &d = g_App.device;
  return d.bitsPerPixel / 8 * d.width * d.height;
}

// Waits for a capture thread to end; after a Stop that timed out, the next Start or Close
// waits for it without limit, so the buffer is never freed or shared under a running thread.
bool JoinThread(uint32_t timeout) {
  if (!s.thread) return true;
  if (WaitForSingleObject(s.thread, timeout) != WAIT_OBJECT_0) return false;
  CloseHandle(s.thread);
  s.thread = nullptr;
  return true;
}

DWORD WINAPI CaptureThread(LPVOID) {
  SetKMode(TRUE);
  while (!s.stop) {
    const uint32_t due = s.lastFrameTick + uint32_t(Setting(SET_VIDEO_INTERVAL));
    const uint32_t ahead = due - GetTickCount();
    if (ahead != 0 && ahead < kLongestWait) WaitForSingleObject(s.wake, ahead);
    if (s.stop) break;
    s.lastFrameTick = GetTickCount();
    FrameDesc frame = s.started;
    if (ScreenPicture(&s.buffer, &s.capacity, s.planes, &frame))
      OnFrame(&frame, 0);
    else
      WaitForSingleObject(s.wake, kNoPictureWait);
  }
  SetKMode(FALSE);
  return 0;
}

uint32_t Open(uintptr_t mode, uintptr_t, uintptr_t, uintptr_t) {
  const uint32_t cameraMode = *reinterpret_cast<const uint32_t *>(mode);
  if (cameraMode == kCameraModeScreen && g_App.device.pxa27x && !s.planes) s.planes = LcdPlanes::Create();
  s.wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  // Room for the display as it is copied and for any picture of its size made here.
  const DeviceRecord &d = g_App.device;
  uint32_t bytes = DisplayBytes();
  if (d.width * d.height * kBytesPerPixel > bytes) bytes = d.width * d.height * kBytesPerPixel;
  if (bytes < kMinimumFrameBytes) bytes = kMinimumFrameBytes;
  s.buffer = static_cast<uint8_t *>(std::malloc(bytes));
  s.capacity = s.buffer ? bytes : 0;
  return 1;
}

uint32_t Start(uintptr_t params, uintptr_t, uintptr_t, uintptr_t) {
  const StreamParams &p = *reinterpret_cast<const StreamParams *>(params);
  JoinThread(INFINITE);
  const uint32_t width = p.cropRight - p.cropLeft + 1, height = p.cropBottom - p.cropTop + 1;
  const uint64_t size = uint64_t(width) * height * kBytesPerPixel;
  if (size > s.capacity) return 0;  // a picture the buffer cannot hold
  s.started = {nullptr, uint32_t(size), FORMAT_UYVY, width, height};
  ResetEvent(s.wake);
  s.stop = 0;
  s.thread = CreateThread(nullptr, 0, CaptureThread, nullptr, 0, nullptr);
  return s.thread ? 1 : 0;
}

// 0 when the thread did not end within the wait: it may still deliver a frame.
uint32_t Stop(uintptr_t, uintptr_t, uintptr_t, uintptr_t) {
  s.stop = 1;
  SetEvent(s.wake);
  return JoinThread(kStopWait) ? 1 : 0;
}

uint32_t Close(uintptr_t, uintptr_t, uintptr_t, uintptr_t) {
  s.stop = 1;
  SetEvent(s.wake);
  JoinThread(INFINITE);
  CloseHandle(s.wake);
  s.wake = nullptr;
  std::free(s.buffer);
  s.buffer = nullptr;
  s.capacity = 0;
  delete s.planes;
  s.planes = nullptr;
  return 1;
}

uint32_t EnumSizes(uintptr_t array, uintptr_t count, uintptr_t device, uintptr_t) {
  SizeEntry *sizes = reinterpret_cast<SizeEntry *>(array);
  uint32_t *n = reinterpret_cast<uint32_t *>(count);
  DeviceRecord &d = *reinterpret_cast<DeviceRecord *>(device);
  const uint32_t capacity = *n;
  if (capacity == 0) return 0;
  sizes[0] = {d.width, d.height, FORMAT_UYVY};
  *n = 1;
  int32_t *window = d.captureWindow;  // x, y, width, height
  window[2] &= ~15;
  window[3] &= ~15;
  window[0] &= ~1;
  window[1] &= ~1;
  const int64_t x = window[0], y = window[1], w = window[2], h = window[3];
  const bool whole = w == int64_t(d.width) && h == int64_t(d.height);
  if (!whole && w >= 1 && h >= 1 && x >= 0 && y >= 0 && x + w <= int64_t(d.width) &&
      y + h <= int64_t(d.height) && capacity >= 2) {
    sizes[1] = {uint32_t(w), uint32_t(h), FORMAT_UYVY};
    *n = 2;
  } else {
    window[2] = 0;
  }
  return 1;
}

uint32_t Refuse(uintptr_t, uintptr_t, uintptr_t, uintptr_t) { return 0; }

}  // namespace

const SourceOps ScreenSource = {
    Open,   Start,  Stop,   Close,  Refuse,  Refuse,    nullptr, nullptr,
    Refuse, Refuse, Refuse, Refuse, EnumSizes, nullptr, Refuse,  nullptr,
};

bool ScreenPicture(uint8_t **buffer, uint32_t *capacity, LcdPlanes *planes, FrameDesc *frame) {
  if (!g_App.ScreenCaptureMode) {
    frame->data = *buffer;
    frame->format = FORMAT_UYVY;
    FillColourBars(frame->data, frame->width, frame->height);
    return true;
  }
  if (planes && Setting(SET_OVERLAY_CAPTURE)) {
    planes->Choose(buffer, capacity);
    if (planes->Convert(*buffer, *capacity, frame)) return true;
  }
  const DeviceRecord &d = g_App.device;
  const uint32_t bytes = DisplayBytes();
  if (!d.frameBuffer || bytes > *capacity) return false;
  std::memcpy(*buffer, d.frameBuffer, bytes);
  // The copy has the display's shape whatever size the stream was started with, as a plane
  // of the LCD controller has its own; the pipeline cuts the capture window out of it.
  *frame = {*buffer, bytes, FORMAT_RGB565, d.width, d.height};
  return true;
}

void FillColourBars(uint8_t *data, uint32_t width, uint32_t height) {
  for (uint32_t y = 0; y < height; ++y) {
    uint8_t *row = data + size_t(y) * width * kBytesPerPixel;
    for (uint32_t x = 0; x + 1 < width; x += 2) {
      const ColourBar &bar = kColourBars[8 * x / width];
      uint8_t *pair = row + x * kBytesPerPixel;
      pair[0] = bar.u;
      pair[1] = bar.y;
      pair[2] = bar.v;
      pair[3] = bar.y;
    }
  }
}
