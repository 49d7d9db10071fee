#include "camera/vendor_source.h"

#include <htccamera.h>

#include <atomic>
#include <cstring>

#include "app/device.h"
#include "camera/enum_sizes.h"
#include "camera/vendor_library.h"
#include "pipeline/pipeline.h"

// The library reads the program's stream and recording records as its own.
static_assert(sizeof(StreamParams) == sizeof(CAMERA_STREAM));
static_assert(offsetof(StreamParams, warmUp) == offsetof(CAMERA_STREAM, bWarmUp));
static_assert(offsetof(StreamParams, callback) == offsetof(CAMERA_STREAM, pfnFrame));
static_assert(offsetof(StreamParams, kind) == offsetof(CAMERA_STREAM, dwKind));
static_assert(offsetof(StreamParams, cropBottom2) == offsetof(CAMERA_STREAM, dwCropBottom2));

namespace {

constexpr DWORD kWarmUpWait = 8096;  // ms
constexpr DWORD kCycleWait = 8192;   // ms, also what Stop waits for the capture thread
constexpr uint32_t kWarmUpWidth = 320, kWarmUpHeight = 240;

struct VendorState {
  bool jpegMode;                  // "IJPG" or "YV12" frames instead of "UYVY"
  std::atomic<uint8_t> stop;      // asks the capture thread to end
  std::atomic<uint8_t> warmedUp;  // the library delivered a frame since the last warm-up
  uint32_t cameraMode;            // as Open received it
  uint32_t nativeWidth, nativeHeight;
  FrameDesc frame;
  HANDLE frameEvent;     // auto-reset
  HANDLE captureThread;  // null when no thread runs
  StreamParams record;   // the stream Start was given
};
VendorState s;

template <typename Entry>
Entry Lib(FARPROC entry) {
  return reinterpret_cast<Entry>(entry);
}
const VendorLibrary &L() { return g_VendorLibrary; }

DWORD Begin(StreamParams *record) {
  return Lib<PFN_Camera_Begin>(L().Camera_Begin)(reinterpret_cast<CAMERA_STREAM *>(record));
}
DWORD End() { return Lib<PFN_Camera_End>(L().Camera_End)(); }

uint32_t FrameArrived(void *data, uint32_t size) {
  SetEvent(s.frameEvent);
  s.frame.data = static_cast<uint8_t *>(data);
  s.frame.size = size;
  OnFrame(&s.frame, 0);
  return 1;
}

uint32_t WarmUpArrived(void *, uint32_t) {
  if (s.frameEvent) SetEvent(s.frameEvent);
  return 1;
}

// One 320 × 240 stream, after which the library streams above its native size.
bool WarmUp() {
  StreamParams w{};
  w.exposure = 2;
  w.captureWidth = kWarmUpWidth;
  w.captureHeight = kWarmUpHeight;
  w.cropRight = kWarmUpWidth - 1;
  w.cropBottom = kWarmUpHeight - 1;
  w.displayBottom = 239;
  w.displayRight = 319;
  const uint8_t mark[4] = {CAMERA_WARMUP_MARK0, CAMERA_WARMUP_MARK1, CAMERA_WARMUP_MARK2, CAMERA_WARMUP_MARK3};
  std::memcpy(w.warmUp, mark, sizeof mark);
  w.callback = WarmUpArrived;
  w.kind = STREAM_PREVIEW;
  ResetEvent(s.frameEvent);
  if (!Begin(&w)) return false;
  // The camera that compresses its pictures needs no frame to warm up.
  const bool arrived = s.jpegMode || WaitForSingleObject(s.frameEvent, kWarmUpWait) == WAIT_OBJECT_0;
  // A warm-up that timed out is ended too: a stream left running would refuse the next one.
  const bool ended = End() != 0;
  if (!arrived || !ended) return false;
  s.warmedUp = 1;
  return true;
}

// A stream above the native size from the library: a warm-up and one full-size stream a frame.
DWORD WINAPI CaptureThread(LPVOID) {
  for (;;) {
    if (!s.warmedUp && (!WarmUp() || s.stop)) break;
    if (s.stop) break;
    s.warmedUp = 0;
    ResetEvent(s.frameEvent);
    if (!Begin(&s.record)) break;
    const bool arrived = WaitForSingleObject(s.frameEvent, kCycleWait) == WAIT_OBJECT_0;
    if (!End() || !arrived || s.stop) break;
  }
  return 0;
}

// Waits for the capture thread; after a Stop that timed out, the next Start or Close waits for
// it without limit, so that two threads never drive the library at once.
bool JoinCaptureThread(DWORD timeout) {
  if (!s.captureThread) return true;
  if (WaitForSingleObject(s.captureThread, timeout) != WAIT_OBJECT_0) return false;
  CloseHandle(s.captureThread);
  s.captureThread = nullptr;
  return true;
}

uint32_t Open(uintptr_t mode, uintptr_t, uintptr_t, uintptr_t) {
  s.warmedUp = 0;
  DWORD *value = reinterpret_cast<DWORD *>(mode);
  s.cameraMode = *value;
  const DWORD result = Lib<PFN_Camera_Init>(L().Camera_Init)(value, 0, s.cameraMode);
  if (result) s.frameEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  return result;
}

uint32_t Start(uintptr_t params, uintptr_t, uintptr_t, uintptr_t) {
  JoinCaptureThread(INFINITE);
  StreamParams &r = s.record;
  r = *reinterpret_cast<const StreamParams *>(params);
  if (s.jpegMode) {
    s.frame.width = r.captureWidth;
    s.frame.height = r.captureHeight;
  } else {
    s.frame.width = r.cropRight - r.cropLeft + 1;
    s.frame.height = r.cropBottom - r.cropTop + 1;
  }
  r.callback = FrameArrived;
  const bool flash = r.exposure & 1;
  if (s.jpegMode) {
    switch (r.kind) {
      case STREAM_VIDEO_PREVIEW:
        s.frame.format = FORMAT_IJPG;
        r.exposure = flash ? 3 : 4;
        break;
      case STREAM_STILL:
      case STREAM_REPEATED_STILL:
        s.frame.format = FORMAT_YV12;
        r.exposure = flash ? 3 : 4;
        break;
      case STREAM_VIDEO_RECORD: r.exposure = flash ? 5 : 6; break;
      default: break;
    }
  } else if (flash) {
    r.exposure = 1;
  }
  const bool withinNative = s.jpegMode ? r.kind == STREAM_PREVIEW
                                       : r.captureWidth <= s.nativeWidth && r.captureHeight <= s.nativeHeight;
  if (!withinNative && !s.warmedUp && !WarmUp()) return 0;
  const bool thread = r.kind == STREAM_REPEATED_STILL ||
                      (!s.jpegMode && (r.kind == STREAM_PREVIEW || r.kind == STREAM_VIDEO_PREVIEW));
  if (r.kind == STREAM_REPEATED_STILL) r.kind = STREAM_STILL;
  if (thread && !withinNative) {
    // Cleared here rather than by the thread, so that a Stop right after this Start is not lost.
    s.stop = 0;
    s.captureThread = CreateThread(nullptr, 0, CaptureThread, nullptr, 0, nullptr);
    return s.captureThread ? 1 : 0;
  }
  const DWORD result = Begin(&r);
  if (result) s.warmedUp = withinNative ? 1 : 0;
  return result;
}

uint32_t Stop(uintptr_t, uintptr_t, uintptr_t, uintptr_t) {
  if (!s.captureThread) return End();
  s.stop = 1;
  // Wakes a thread waiting for a frame, so it ends now rather than after its cycle.
  SetEvent(s.frameEvent);
  JoinCaptureThread(kCycleWait);
  return 1;
}

uint32_t Close(uintptr_t, uintptr_t, uintptr_t, uintptr_t) {
  JoinCaptureThread(INFINITE);
  if (s.frameEvent) {
    CloseHandle(s.frameEvent);
    s.frameEvent = nullptr;
  }
  return Lib<PFN_Camera_Deinit>(L().Camera_Deinit)();
}

uint32_t SetProperty(uintptr_t id, uintptr_t value, uintptr_t, uintptr_t) {
  return Lib<PFN_Camera_SetProperty>(L().Camera_SetProperty)(DWORD(id), DWORD(value));
}

uint32_t GetProperty(uintptr_t id, uintptr_t value, uintptr_t, uintptr_t) {
  return Lib<PFN_Camera_GetProperty>(L().Camera_GetProperty)(DWORD(id), reinterpret_cast<DWORD *>(value));
}

uint32_t ReadRegister(uintptr_t reg, uintptr_t value, uintptr_t, uintptr_t) {
  if (!L().Camera_ReadRegister) return 0;
  return Lib<PFN_Camera_ReadRegister>(L().Camera_ReadRegister)(DWORD(reg), reinterpret_cast<DWORD *>(value));
}

uint32_t WriteRegister(uintptr_t reg, uintptr_t value, uintptr_t, uintptr_t) {
  if (!L().Camera_WriteRegister) return 0;
  return Lib<PFN_Camera_WriteRegister>(L().Camera_WriteRegister)(DWORD(reg), DWORD(value));
}

uint32_t FlashLight(uintptr_t code, uintptr_t, uintptr_t, uintptr_t) {
  if (!L().Camera_FlashLight) return 0;
  return Lib<PFN_Camera_FlashLight>(L().Camera_FlashLight)(DWORD(code), 0);
}

uint32_t SetMpegInfoParam(uintptr_t record, uintptr_t sound, uintptr_t, uintptr_t) {
  if (!L().Camera_SetMpegInfoParam) return 0;
  return Lib<PFN_Camera_SetMpegInfoParam>(L().Camera_SetMpegInfoParam)(reinterpret_cast<CAMERA_MPEG_INFO *>(record),
                                                                        DWORD(sound));
}

uint32_t GetYUV2JpegParam(uintptr_t id, uintptr_t value, uintptr_t, uintptr_t) {
  if (!L().Camera_GetYUV2JpegParam) return 0;
  return Lib<PFN_Camera_GetYUV2JpegParam>(L().Camera_GetYUV2JpegParam)(DWORD(id), reinterpret_cast<DWORD *>(value));
}

uint32_t SetYUV2JpegParam(uintptr_t id, uintptr_t value, uintptr_t, uintptr_t) {
  if (!L().Camera_SetYUV2JpegParam) return 0;
  return Lib<PFN_Camera_SetYUV2JpegParam>(L().Camera_SetYUV2JpegParam)(DWORD(id), DWORD(value));
}

uint32_t Sizes(uintptr_t sizes, uintptr_t count, uintptr_t device, uintptr_t) {
  SensorModes modes{};
  if (!EnumSizes(reinterpret_cast<SizeEntry *>(sizes), reinterpret_cast<uint32_t *>(count),
                 *reinterpret_cast<const DeviceRecord *>(device), s.cameraMode, &modes))
    return 0;
  s.jpegMode = modes.jpeg;
  s.nativeWidth = modes.nativeWidth;
  s.nativeHeight = modes.nativeHeight;
  return 1;
}

uint32_t SetFormat(uintptr_t entry, uintptr_t, uintptr_t, uintptr_t) {
  s.frame.format = reinterpret_cast<const SizeEntry *>(entry)->format;
  return 1;
}

}  // namespace

const SourceOps VendorCameraSource = {
    Open,         Start,            Stop,      Close,
    SetProperty,  GetProperty,      ReadRegister, WriteRegister,
    FlashLight,   SetMpegInfoParam, GetYUV2JpegParam, SetYUV2JpegParam,
    Sizes,        SetFormat,        nullptr,   nullptr,
};
