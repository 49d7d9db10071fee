#include "camera/lcm_source.h"

#include <camdriver.h>

#include <cstring>
#include <vector>

#include "app/device.h"
#include "camera/driver_control.h"
#include "camera/enum_sizes.h"
#include "pipeline/pipeline.h"

// The driver reads the program's stream record as its own.
static_assert(sizeof(StreamParams) == sizeof(LCM_STREAM));
static_assert(offsetof(StreamParams, captureWidth) == offsetof(LCM_STREAM, dwCaptureWidth));
static_assert(offsetof(StreamParams, cropBottom) == offsetof(LCM_STREAM, dwCropBottom));
static_assert(offsetof(StreamParams, kind) == offsetof(LCM_STREAM, dwKind));

namespace {

constexpr DWORD kNoFrameSleep = 10;  // ms

struct LcmState {
  HANDLE device;
  FrameDesc frame;
  uint32_t blankRows, blankWidth;  // edge blanking; 0 when off
  // The fetch request's output: as long as the frame, as the driver is told, though only the
  // frame's address comes back.
  std::vector<uint8_t> fetchAnswer;
};
LcmState s;

BOOL Request(DWORD code, const void *in = nullptr, DWORD inSize = 0, void *out = nullptr, DWORD outSize = 0) {
  DWORD returned = 0;
  return DeviceIoControl(s.device, code, const_cast<void *>(in), inSize, out, outSize, &returned, nullptr);
}

uint8_t *FetchFrame() {
  DWORD returned = 0;
  if (!DeviceIoControl(s.device, IOCTL_LCM_GET_FRAME, nullptr, 0, s.fetchAnswer.data(), s.frame.size, &returned,
                       nullptr) ||
      returned < sizeof(uint8_t *))
    return nullptr;
  uint8_t *address;
  std::memcpy(&address, s.fetchAnswer.data(), sizeof address);
  return address;
}

DWORD WINAPI CaptureThread(LPVOID) {
  // The frames lie in the driver's memory, which only a thread in kernel mode is given.
  SetKMode(TRUE);
  while (!DriverThreadQuit()) {
    DriverThreadWaitForRun();
    Request(IOCTL_LCM_RELEASE_FRAME);
    while (!DriverThreadPaused()) {
      uint8_t *address = FetchFrame();
      if (!address) {
        Sleep(kNoFrameSleep);
        continue;
      }
      if (s.blankWidth) BlankFrameEdge(address, s.blankWidth, s.blankRows);
      s.frame.data = address;
      OnFrame(&s.frame, 0);
      Request(IOCTL_LCM_RELEASE_FRAME);
    }
  }
  DriverThreadExit();
  return 0;
}

uint32_t Open(uintptr_t word, uintptr_t, uintptr_t, uintptr_t) {
  if (s.device) return 0;
  DWORD *answer = reinterpret_cast<DWORD *>(word);
  KernelIoControl(IOCTL_HAL_CAMERA_POWER_ON, nullptr, 0, nullptr, 0, nullptr);
  SetKMode(TRUE);
  HANDLE thread = nullptr;
  HANDLE device = CreateFileW(TEXT("LCM1:"), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (device != INVALID_HANDLE_VALUE && CreateDriverEvents()) {
    s.device = device;
    thread = CreateThread(nullptr, 0, CaptureThread, nullptr, 0, nullptr);
    if (thread && Request(IOCTL_LCM_INITIALIZE, nullptr, 0, answer, sizeof *answer)) {
      AdoptDriverThread(thread);
      SetKMode(TRUE);
      return 1;
    }
  }
  *answer = 1;
  if (thread) {
    DriverControl &c = g_DriverControl;
    c.quit = 1;
    c.pause = 1;
    SetEvent(c.run);
    // Nothing is closed under the thread: it ends as soon as it sees the quit.
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
  if (s.device) CloseDriverEvents();
  if (device != INVALID_HANDLE_VALUE) CloseHandle(device);
  s.device = nullptr;
  return 0;
}

uint32_t Start(uintptr_t params, uintptr_t, uintptr_t, uintptr_t) {
  if (!s.device) return 0;
  const StreamParams &p = *reinterpret_cast<const StreamParams *>(params);
  s.frame.width = p.cropRight - p.cropLeft + 1;
  s.frame.height = p.cropBottom - p.cropTop + 1;
  s.frame.size = s.frame.width * s.frame.height * 2;
  s.frame.format = FORMAT_UYVY;
  const bool blank = (p.captureWidth == 320 && p.captureHeight == 240 && s.frame.width == 320) ||
                     (p.captureWidth == 160 && p.captureHeight == 120 && s.frame.width == 160);
  s.blankWidth = blank ? p.captureWidth : 0;
  s.blankRows = blank ? s.frame.height : 0;
  if (s.fetchAnswer.size() < s.frame.size || s.fetchAnswer.size() < sizeof(void *))
    s.fetchAnswer.resize(s.frame.size < sizeof(void *) ? sizeof(void *) : s.frame.size);
  const BOOL result = Request(IOCTL_LCM_START, &p, sizeof p);
  if (result) RunDriverThread();
  return result;
}

uint32_t Stop(uintptr_t, uintptr_t, uintptr_t, uintptr_t) {
  if (!s.device) return 0;
  PauseDriverThread();
  return Request(IOCTL_LCM_STOP);
}

uint32_t Close(uintptr_t, uintptr_t, uintptr_t, uintptr_t) {
  if (!s.device) return 0;
  EndDriverThread();
  CloseDriverEvents();
  const BOOL result = Request(IOCTL_LCM_DEINITIALIZE);
  CloseHandle(s.device);
  s.device = nullptr;
  KernelIoControl(IOCTL_HAL_CAMERA_POWER_OFF, nullptr, 0, nullptr, 0, nullptr);
  return result;
}

uint32_t SetProperty(uintptr_t id, uintptr_t value, uintptr_t, uintptr_t) {
  const DWORD p[2] = {DWORD(id), DWORD(value)};
  return Request(IOCTL_LCM_SET_PROPERTY, p, sizeof p);
}

uint32_t GetProperty(uintptr_t id, uintptr_t out, uintptr_t, uintptr_t) {
  DWORD *value = reinterpret_cast<DWORD *>(out);
  if (!value) return 0;
  *value = 0;
  const DWORD p = DWORD(id);
  return Request(IOCTL_LCM_GET_PROPERTY, &p, sizeof p, value, sizeof *value);
}

uint32_t ReadRegister(uintptr_t reg, uintptr_t out, uintptr_t, uintptr_t) {
  WORD *value = reinterpret_cast<WORD *>(out);
  if (!value) return 0;
  *value = 0;
  LCM_REGISTER r{};
  r.dwWrite = 0;
  r.dwRegister = DWORD(reg);
  return Request(IOCTL_LCM_REGISTER, &r, sizeof r, value, sizeof *value);
}

uint32_t WriteRegister(uintptr_t reg, uintptr_t value, uintptr_t, uintptr_t) {
  LCM_REGISTER r{};
  r.dwWrite = 1;
  r.write.bRegister = BYTE(reg);
  r.write.bValue = BYTE(value);
  return Request(IOCTL_LCM_REGISTER, &r, sizeof r);
}

uint32_t FlashLight(uintptr_t code, uintptr_t, uintptr_t, uintptr_t) {
  const DWORD c = DWORD(code);
  return Request(IOCTL_LCM_FLASH, &c, sizeof c);
}

uint32_t Sizes(uintptr_t sizes, uintptr_t count, uintptr_t device, uintptr_t) {
  SensorModes modes{};
  return EnumSizes(reinterpret_cast<SizeEntry *>(sizes), reinterpret_cast<uint32_t *>(count),
                   *reinterpret_cast<const DeviceRecord *>(device), 0, &modes);
}

}  // namespace

void BlankFrameEdge(uint8_t *frame, uint32_t width, uint32_t rows) {
  const uint32_t pixels = width == 320 ? 4 : width == 160 ? 6 : 0;
  static const uint8_t kBlack[4] = {128, 0, 128, 0};  // U, Y, V, Y
  for (uint32_t row = 0; row < rows; ++row) {
    uint8_t *edge = frame + (size_t(row) * width + width - pixels) * 2;
    for (uint32_t pair = 0; pair < pixels / 2; ++pair) std::memcpy(edge + pair * 4, kBlack, 4);
  }
}

const SourceOps LcmDriverSource = {
    Open,        Start,       Stop,    Close,
    SetProperty, GetProperty, ReadRegister, WriteRegister,
    FlashLight,  nullptr,     nullptr, nullptr,
    Sizes,       nullptr,     nullptr, nullptr,
};
