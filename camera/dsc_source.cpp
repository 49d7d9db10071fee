#include "camera/dsc_source.h"

#include <camdriver.h>

#include <cstring>
#include <memory>
#include <new>

#include "app/device.h"
#include "camera/driver_control.h"
#include "camera/enum_sizes.h"
#include "pipeline/pipeline.h"

namespace {

constexpr uint32_t kFrameBufferBytes = 1280 * 960 * 2;
constexpr DWORD kReadFailedSleep = 30;  // ms

// The command record: its tail (frame address, bytes and format) is the frame descriptor's start,
// so a size command always names the frame as the descriptor stands.
struct CommandRecord {
  uint8_t head[offsetof(DSC_COMMAND, pFrame)];
  FrameDesc frame;
};
static_assert(offsetof(CommandRecord, frame) + offsetof(FrameDesc, data) == offsetof(DSC_COMMAND, pFrame));
static_assert(offsetof(CommandRecord, frame) + offsetof(FrameDesc, size) == offsetof(DSC_COMMAND, dwFrameBytes));
static_assert(offsetof(CommandRecord, frame) + offsetof(FrameDesc, format) == offsetof(DSC_COMMAND, dwFormat));
static_assert(sizeof(CommandRecord) >= sizeof(DSC_COMMAND));

struct DscState {
  HANDLE device;
  std::unique_ptr<uint8_t[]> buffer;  // kFrameBufferBytes, from the first Open to Close
  CommandRecord record;
};
DscState s;

DSC_COMMAND &Command() { return *reinterpret_cast<DSC_COMMAND *>(&s.record); }

BOOL Request(DWORD code, void *in = nullptr, DWORD inSize = 0) {
  DWORD returned = 0;
  return DeviceIoControl(s.device, code, in, inSize, nullptr, 0, &returned, nullptr);
}

// A short command: the record's first 8 bytes as they stand.
void ShortCommand(uint8_t command, uint8_t argument) {
  s.record.head[0] = command;
  s.record.head[1] = argument;
  Request(IOCTL_DSC_COMMAND, &s.record, DSC_SHORT_COMMAND_BYTES);
}

void SizeCommand(uint8_t command) {
  s.record.head[0] = command;
  s.record.head[1] = 1;
  Request(IOCTL_DSC_COMMAND, &s.record, sizeof(DSC_COMMAND));
}

uint8_t SizeCode(uint32_t captureWidth) {
  switch (captureWidth) {
    case 88: return DSC_SIZE_88x72;
    case 160: return DSC_SIZE_160x120;
    case 176: return DSC_SIZE_176x144;
    case 320: return DSC_SIZE_320x240;
    case 352: return DSC_SIZE_352x288;
    case 640: return DSC_SIZE_640x480;
    case 1280: return DSC_SIZE_1280x960;
    default: return DSC_SIZE_NONE;
  }
}

DWORD WINAPI CaptureThread(LPVOID) {
  while (!DriverThreadQuit()) {
    DriverThreadWaitForRun();
    while (!DriverThreadPaused()) {
      // A failed read hands on the buffer as it stands: the previous frame again.
      if (!Request(IOCTL_DSC_READ_FRAME, s.buffer.get(), s.record.frame.size)) Sleep(kReadFailedSleep);
      OnFrame(&s.record.frame, 0);
    }
  }
  DriverThreadExit();
  return 0;
}

uint32_t Open(uintptr_t, uintptr_t, uintptr_t, uintptr_t) {
  if (s.device) return 0;
  HANDLE device = CreateFileW(TEXT("DSC1:"), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (device == INVALID_HANDLE_VALUE) return 0;
  if (!CreateDriverEvents()) {
    CloseHandle(device);
    return 0;
  }
  if (!s.buffer) s.buffer.reset(new (std::nothrow) uint8_t[kFrameBufferBytes]());
  s.device = device;
  HANDLE thread = s.buffer ? CreateThread(nullptr, 0, CaptureThread, nullptr, 0, nullptr) : nullptr;
  if (!thread) {
    CloseDriverEvents();
    CloseHandle(device);
    s.device = nullptr;
    s.buffer.reset();
    return 0;
  }
  AdoptDriverThread(thread);
  std::memset(s.record.head, 0, sizeof s.record.head);
  Command().bFixed = DSC_COMMAND_FIXED;
  s.record.frame = {s.buffer.get(), 0, FORMAT_UYVY, 0, 0};
  return 1;
}

uint32_t Start(uintptr_t params, uintptr_t, uintptr_t, uintptr_t) {
  if (!s.device) return 0;
  const StreamParams &p = *reinterpret_cast<const StreamParams *>(params);
  FrameDesc &f = s.record.frame;
  f.width = p.cropRight - p.cropLeft + 1;
  f.height = p.cropBottom - p.cropTop + 1;
  f.format = FORMAT_UYVY;
  // The buffer holds the driver's largest frame; a larger crop would be read past its end.
  if (uint64_t(f.width) * f.height * 2 > kFrameBufferBytes) return 0;
  f.size = f.width * f.height * 2;
  ShortCommand(DSC_CMD_SENSOR_MODE, 4);
  ShortCommand(DSC_CMD_MIRROR, 0);
  Request(IOCTL_DSC_STOP);
  DSC_COMMAND &c = Command();
  c.bSizeCode = SizeCode(p.captureWidth);
  c.bCropHeight = uint8_t(f.height);
  c.bCropWidth = uint8_t(f.width);
  SizeCommand(DSC_CMD_SIZE_PREPARE);
  ShortCommand(DSC_CMD_QUALITY, 100);
  Request(IOCTL_DSC_START);
  SizeCommand(DSC_CMD_SIZE_COMMIT);
  RunDriverThread();
  return 1;
}

uint32_t Stop(uintptr_t, uintptr_t, uintptr_t, uintptr_t) {
  if (!s.device) return 0;
  PauseDriverThread();
  Request(IOCTL_DSC_STOP);
  return 1;
}

uint32_t Close(uintptr_t, uintptr_t, uintptr_t, uintptr_t) {
  if (!s.device) return 0;
  EndDriverThread();
  CloseDriverEvents();
  CloseHandle(s.device);
  s.device = nullptr;
  s.buffer.reset();
  return 1;
}

uint32_t SetProperty(uintptr_t id, uintptr_t value, uintptr_t, uintptr_t) {
  DWORD p[2] = {DWORD(id), DWORD(value)};
  return Request(IOCTL_DSC_COMMAND, p, sizeof p);
}

uint32_t GetProperty(uintptr_t id, uintptr_t out, uintptr_t, uintptr_t) {
  DWORD p[2] = {DWORD(id), 0};
  Request(IOCTL_DSC_GET_PROPERTY, p, sizeof p);
  if (out) *reinterpret_cast<DWORD *>(out) = p[1];
  return 1;
}

uint32_t Sizes(uintptr_t sizes, uintptr_t count, uintptr_t device, uintptr_t) {
  SensorModes modes{};
  return EnumSizes(reinterpret_cast<SizeEntry *>(sizes), reinterpret_cast<uint32_t *>(count),
                   *reinterpret_cast<const DeviceRecord *>(device), 0, &modes);
}

}  // namespace

const SourceOps DscDriverSource = {
    Open,        Start,       Stop,    Close,
    SetProperty, GetProperty, nullptr, nullptr,
    nullptr,     nullptr,     nullptr, nullptr,
    Sizes,       nullptr,     nullptr, nullptr,
};
