#include "camera/directshow_source.h"

#include <atomic>
#include <mutex>

#include "app/backlight.h"
#include "app/config.h"
#include "dsgrab/dsgrab.h"
#include "pipeline/pipeline.h"
#include "pipeline/transforms.h"

static_assert(sizeof(FormatRecord) == sizeof(SizeEntry) && offsetof(FormatRecord, subtype) == offsetof(SizeEntry, format),
              "the Camera's size lists are passed to the library as they stand");

namespace {

constexpr uint32_t kStopped = 0, kRunning = 2;

CaptureTable s_table;
// Each callback has its own descriptor: SetFormat gives its size and format, every sample its
// data. The cut is the part of the picture the stream's geometry keeps (the crop of its aspect
// and zoom); the library hands over whole pictures.
struct Branch {
  FrameDesc desc;
  CaptureGeometry cut;  // a window over the whole picture; a window width of 0 keeps all of it
};
Branch s_capture, s_still;
// Set by TakeStill, taken by the first sample of the still callback. Without a still pin the
// capture branch keeps delivering to the still callback until the next Start; those later
// samples are ordinary frames, so that one still never becomes two pictures.
std::atomic<bool> s_stillAwaited;
std::mutex s_deliverLock;

bool TableComplete(const CaptureTable &t) {
  return t.OpenCamera && t.CloseCamera && t.SetGraphState && t.SetFrameCallback && t.EnumFormats &&
         t.SelectFormat && t.CaptureStill && t.GetPropertyRanges && t.AccessProperties;
}

void SetCut(Branch &b, uint32_t x, uint32_t y, uint32_t width, uint32_t height) {
  b.cut = CaptureGeometry{};
  b.cut.cropWidth = b.desc.width;
  b.cut.cropHeight = b.desc.height;
  b.cut.windowX = x, b.cut.windowY = y;
  b.cut.windowWidth = width, b.cut.windowHeight = height;
}

// One sample as the program's frame. The library gives the size of the sample's buffer, which
// may be larger than the picture: the frame's size is the picture's. DirectShow's YV12 carries
// Cr before Cb, the program's Cb first. Then the stream's part of the picture is cut out.
void Deliver(const Branch &b, uint8_t *data, uint32_t size, uint32_t isStill) {
  // The capture and the still pin deliver on threads of their own; the frame pipeline takes one
  // frame at a time.
  std::lock_guard<std::mutex> held(s_deliverLock);
  FrameDesc frame = b.desc;
  frame.data = data;
  frame.size = size;
  const uint64_t picture = PictureBytes(frame.format, frame.width, frame.height);
  if (picture && picture <= size) {
    frame.size = uint32_t(picture);
    if (frame.format == FORMAT_YV12) SwapChroma(&frame);
    if (b.cut.windowWidth) {
      CropWindow(&frame, b.cut);
      frame.size = uint32_t(PictureBytes(frame.format, frame.width, frame.height));
    }
  }
  OnFrame(&frame, isStill);
}

uint32_t CaptureArrived(uint8_t *data, uint32_t size) {
  Deliver(s_capture, data, size, 0);
  return 1;
}

uint32_t StillArrived(uint8_t *data, uint32_t size) {
  Deliver(s_still, data, size, s_stillAwaited.exchange(false) ? 1 : 0);
  return 1;
}

uint32_t Open(uintptr_t, uintptr_t, uintptr_t, uintptr_t) { return s_table.OpenCamera(); }

// The graph's format was chosen by SetFormat; of the stream record only the crop is used.
uint32_t Start(uintptr_t params, uintptr_t, uintptr_t, uintptr_t) {
  const StreamParams &p = *reinterpret_cast<const StreamParams *>(params);
  if (p.captureWidth == s_capture.desc.width && p.captureHeight == s_capture.desc.height &&
      p.cropRight >= p.cropLeft && p.cropBottom >= p.cropTop)
    SetCut(s_capture, p.cropLeft, p.cropTop, p.cropRight - p.cropLeft + 1, p.cropBottom - p.cropTop + 1);
  else
    SetCut(s_capture, 0, 0, 0, 0);
  s_stillAwaited = false;  // a still that has not come by now is given up
  s_table.SetFrameCallback(CaptureArrived);
  return s_table.SetGraphState(kRunning) ? 1 : 0;
}

uint32_t Stop(uintptr_t, uintptr_t, uintptr_t, uintptr_t) { return s_table.SetGraphState(kStopped) ? 1 : 0; }

uint32_t Close(uintptr_t, uintptr_t, uintptr_t, uintptr_t) {
  s_table.CloseCamera();
  return 1;
}

// Properties, registers and the flash light: the camera's own controls are not used.
uint32_t Accepted(uintptr_t, uintptr_t, uintptr_t, uintptr_t) { return 1; }

uint32_t Sizes(uintptr_t sizes, uintptr_t count, uintptr_t, uintptr_t still) {
  return s_table.EnumFormats(reinterpret_cast<FormatRecord *>(sizes), reinterpret_cast<uint32_t *>(count),
                             uint32_t(still))
             ? 1
             : 0;
}

// A still format is chosen with the graph stopped and the graph runs again after it; a format
// the camera refuses leaves the graph stopped.
uint32_t SetFormat(uintptr_t entry, uintptr_t still, uintptr_t, uintptr_t) {
  const SizeEntry &e = *reinterpret_cast<const SizeEntry *>(entry);
  FrameDesc &desc = (still ? s_still : s_capture).desc;
  desc.width = e.width;
  desc.height = e.height;
  desc.format = e.format;
  if (still) s_table.SetGraphState(kStopped);
  if (!s_table.SelectFormat(reinterpret_cast<const FormatRecord *>(entry), uint32_t(still))) return 0;
  if (still) s_table.SetGraphState(kRunning);
  return 1;
}

// geometry: the still's CaptureGeometry, whose crop is kept of the picture; null for all of it.
uint32_t TakeStill(uintptr_t geometry, uintptr_t, uintptr_t, uintptr_t) {
  const auto *g = reinterpret_cast<const CaptureGeometry *>(geometry);
  if (g && g->captureWidth == s_still.desc.width && g->captureHeight == s_still.desc.height)
    SetCut(s_still, g->cropX, g->cropY, g->cropWidth, g->cropHeight);
  else
    SetCut(s_still, 0, 0, 0, 0);
  s_table.SetGraphState(kRunning);
  PlayFlashSound();
  s_stillAwaited = true;
  const uint32_t taken = s_table.CaptureStill(StillArrived);
  if (!taken) s_stillAwaited = false;
  return taken;
}

}  // namespace

uint32_t BindCaptureLibrary() {
  if (s_table.module) return 1;
  HMODULE module = LoadLibraryW(ProgramDirPath(TEXT("dsgrab.dll")));
  if (!module) return 0;
  const auto getData = reinterpret_cast<DllGetDataFn>(GetProcAddressW(module, TEXT("DllGetData")));
  CaptureTable table{};
  // A table with an empty slot would be called through a null address: taken as a refusal.
  if (!getData || !getData(&table) || !TableComplete(table)) {
    FreeLibrary(module);
    s_table = CaptureTable{};
    return 0;
  }
  table.module = module;
  s_table = table;
  return 1;
}

void ReleaseCaptureLibrary() {
  if (s_table.module) FreeLibrary(s_table.module);
  s_table = CaptureTable{};
}

const SourceOps DirectShowSource = {
    Open,     Start,    Stop,     Close,
    Accepted, Accepted, Accepted, Accepted,
    Accepted, nullptr,  nullptr,  nullptr,
    Sizes,    SetFormat, nullptr, TakeStill,
};
