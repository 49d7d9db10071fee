#include "camera/camera.h"

#include "app/appstate.h"
#include "app/backlight.h"
#include "camera/camera_options.h"
#include "camera/directshow_source.h"
#include "camera/dsc_source.h"
#include "camera/geometry.h"
#include "camera/lcm_source.h"
#include "camera/screen_source.h"
#include "camera/vendor_source.h"
#include "capture/encoder.h"
#include "pipeline/preview.h"

#include <mutex>

SourceKind g_CameraSource;

namespace {

std::mutex s_activeLock;  // held while the active geometry is written and copied

void SetActive(Camera &c, const CaptureGeometry &g) {
  std::lock_guard<std::mutex> held(s_activeLock);
  c.active = g;
}

constexpr uint32_t kModelLcm = 0;
constexpr uint32_t kModelProbesProp5 = 5;
constexpr uint32_t kModelRepeatedStills = 11;  // also zooms in hardware
constexpr uint32_t kModelDsc = 14;
constexpr uint32_t kDirectShowOsMajor = 5;
constexpr uint32_t kLargestSize = 16384;
constexpr int32_t kProp5Probe = 120;

// The table of each kind.
const SourceOps *const kSourceTables[] = {&ScreenSource, &LcmDriverSource, &DscDriverSource, &VendorCameraSource,
                                          &DirectShowSource};
static_assert(sizeof(kSourceTables) / sizeof(kSourceTables[0]) == SOURCE_DIRECTSHOW + 1);

// The record handed to Start; sources may keep its address while their stream runs.
StreamParams s_params;

Camera &Cam() { return g_App.camera; }
const SourceOps &Ops() { return *g_App.camera.ops; }
uint32_t Model() { return g_App.device.modelCode; }
bool On(const OptionList &list) { return OptionValue(list) != 0; }

uint32_t Call(SourceOp op, uintptr_t a = 0, uintptr_t b = 0, uintptr_t c = 0, uintptr_t d = 0) {
  return op ? op(a, b, c, d) : 0;
}

uint32_t SendProperty(uint32_t id, int32_t value) {
  return Call(Ops().SetProperty, id, uintptr_t(uint32_t(value)));
}

void SendList(OptionList &list) {
  const uint32_t id = CameraPropertyId(Cam(), list, Model());
  if (id) SendProperty(id, OptionValue(list));
}

void StopStream() {
  Cam().streaming = 0;
  Call(Ops().Stop);
}

uint32_t EnumerateSizes(SizeEntry *sizes, uint32_t *count, uint32_t still) {
  *count = kMaxSizes;
  sizes[0] = {kLargestSize, kLargestSize, 0};
  const uint32_t result = Call(Ops().EnumSizes, uintptr_t(sizes), uintptr_t(count),
                               uintptr_t(&g_App.device), still);
  if (*count > kMaxSizes) *count = kMaxSizes;
  return result && *count ? result : 0;
}

uint64_t Pixels(uint32_t width, uint32_t height) { return uint64_t(width) * height; }

void ChoosePreviewBase() {
  Camera &c = Cam();
  const bool vga = (g_CameraSource == SOURCE_VENDOR || g_CameraSource == SOURCE_LCM_DRIVER) &&
                   g_App.device.pxa27x;
  const uint64_t preferred = vga ? 640 * 480 : 320 * 240;
  uint32_t best = 0;
  for (uint32_t i = 0; i < c.previewSizeCount; ++i) {
    const SizeEntry &e = c.previewSizes[i];
    if (Pixels(e.width, e.height) == preferred) {
      best = i;
      break;
    }
    const SizeEntry &b = c.previewSizes[best];
    if (Pixels(e.width, e.height) > Pixels(b.width, b.height)) best = i;
  }
  c.previewBase = c.previewSizes[best];
}

bool SameFrame(const CaptureGeometry &a, const CaptureGeometry &b) {
  return a.captureWidth == b.captureWidth && a.captureHeight == b.captureHeight &&
         a.cropX == b.cropX && a.cropY == b.cropY && a.cropWidth == b.cropWidth &&
         a.cropHeight == b.cropHeight;
}

}  // namespace

uint32_t NoFrameCallback(void *, uint32_t) { return 1; }

SourceKind ChooseSource(const DeviceRecord &device, bool screenCapture) {
  if (screenCapture) return SOURCE_SCREEN;
  if (device.modelCode == kModelLcm) return SOURCE_LCM_DRIVER;
  if (device.modelCode == kModelDsc) return SOURCE_DSC_DRIVER;
  if (device.vendorLibrary) return SOURCE_VENDOR;
  if (device.osMajorVersion == kDirectShowOsMajor) return SOURCE_DIRECTSHOW;
  return SOURCE_SCREEN;
}

uint32_t CameraInit(const DeviceRecord *device) {
  Camera &c = Cam();
  const bool screenCapture = g_App.ScreenCaptureMode != 0;
  SourceKind kind = ChooseSource(*device, screenCapture);
  if (kind == SOURCE_DIRECTSHOW && !BindCaptureLibrary()) kind = SOURCE_SCREEN;
  g_CameraSource = kind;
  c.ops = kSourceTables[kind];
  if (!c.StillDoneEvent) c.StillDoneEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  InitCameraOptions(c, *device, screenCapture, g_App.language.strings);
  return 1;
}

uint32_t CameraOpen() {
  Camera &c = Cam();
  if (c.opened) return 1;
  uint32_t mode = uint32_t(OptionValue(c.CameraMode));
  // Opening a camera can take a while: the user sees the wait cursor meanwhile.
  const bool window = IsWindow(g_App.MainWindow);
  const HCURSOR previous = window ? SetCursor(LoadCursor(nullptr, IDC_WAIT)) : nullptr;
  const uint32_t opened = Call(Ops().Open, uintptr_t(&mode));
  if (window) SetCursor(previous);
  if (!opened) return 0;
  if (!EnumerateSizes(c.stillSizes, &c.stillSizeCount, 1)) {
    Call(Ops().Close);
    return 0;
  }
  const uint32_t result = EnumerateSizes(c.previewSizes, &c.previewSizeCount, 0);
  if (!result) {
    Call(Ops().Close);
    return 0;
  }
  c.zoomStep = 0;
  const SizeEntry *widest = &c.stillSizes[0];
  for (uint32_t i = 1; i < c.stillSizeCount; ++i)
    if (c.stillSizes[i].width > widest->width) widest = &c.stillSizes[i];
  // Every still and every preview frame is worked on in this buffer: without it the camera
  // would show and save nothing.
  if (!SetPictureSize(&g_App.EncodeBuffer, widest->width, widest->height,
                      EncodeBufferBytes(widest->width, widest->height))) {
    Call(Ops().Close);
    return 0;
  }
  RebuildSizeList(1);
  RebuildSizeList(0);
  ChoosePreviewBase();
  c.opened = 1;
  c.streaming = 0;
  ApplyAllOptions();
  return result;
}

uint32_t CameraClose() {
  Camera &c = Cam();
  if (c.streaming) StopStream();
  if (!c.opened) return 0;
  c.opened = 0;
  return Call(Ops().Close);
}

uint32_t Reconfigure(uint32_t still) {
  Camera &c = Cam();
  CaptureGeometry g;
  const OptionList &size = still ? c.StillSize : c.PreviewSize;
  const OptionList &aspect = still ? c.StillAspect : c.PreviewAspect;
  if (!ComputeGeometry(uint32_t(OptionValue(size)), uint32_t(OptionValue(aspect)), still, &g))
    return 0;
  c.requested = g;
  const bool fullRes = On(c.FullResPreview);
  if (still &&
      (g_CameraSource == SOURCE_DIRECTSHOW ||
       (c.requestedKind == STREAM_PREVIEW && !fullRes &&
        Pixels(g.captureWidth, g.captureHeight) > Pixels(c.previewBase.width, c.previewBase.height))))
    FitToPreviewBase(&g, c.previewBase);
  if (Model() == kModelRepeatedStills && fullRes) c.requestedKind = STREAM_REPEATED_STILL;
  const bool stillRequest = c.requestedKind == STREAM_STILL;
  const uint32_t exposure =
      uint32_t(OptionValue(stillRequest || fullRes ? c.ExposureStill : c.ExposurePreview));

  const bool unchanged = !(stillRequest && On(c.Flash)) &&
                         (exposure == c.exposure || g_CameraSource == SOURCE_DIRECTSHOW) &&
                         SameFrame(g, c.active) &&
                         (c.requestedKind == c.activeKind || Model() != kModelRepeatedStills);
  if (unchanged) {
    if (c.streaming && stillRequest) {
      ResetEvent(c.StillDoneEvent);
      c.MoreFrames = 1;
    }
    c.requestedKind = STREAM_PREVIEW;
    return 1;
  }
  c.exposure = exposure;
  if (!c.streaming) {
    SetActive(c, g);
    return 1;
  }
  StopStream();
  SetActive(c, g);
  if (Model() == kModelRepeatedStills && !g_App.ScreenCaptureMode &&
      c.requestedKind == STREAM_PREVIEW && c.activeKind != STREAM_PREVIEW)
    ClearPreview();
  return StartStream();
}

CaptureGeometry ActiveGeometry() {
  std::lock_guard<std::mutex> held(s_activeLock);
  return Cam().active;
}

uint32_t StartStream() {
  Camera &c = Cam();
  if (c.streaming) return 1;
  const bool stillRequest = c.requestedKind == STREAM_STILL;
  const bool flash = stillRequest && OptionValue(c.Flash) == 1;
  uint32_t kind = c.requestedKind;
  if (stillRequest && c.repeat) kind = STREAM_REPEATED_STILL;

  const CaptureGeometry &g = c.active;
  const uint32_t right = g.cropX + g.cropWidth - 1, bottom = g.cropY + g.cropHeight - 1;
  s_params = StreamParams{};
  s_params.exposure = c.exposure - (flash ? 1 : 0);
  s_params.captureWidth = g.captureWidth;
  s_params.captureHeight = g.captureHeight;
  s_params.cropLeft = s_params.cropLeft2 = g.cropX;
  s_params.cropTop = s_params.cropTop2 = g.cropY;
  s_params.cropRight = s_params.cropRight2 = right;
  s_params.cropBottom = s_params.cropBottom2 = bottom;
  s_params.one = 1;
  s_params.displayBottom = 239;
  s_params.displayRight = 319;
  s_params.callback = NoFrameCallback;
  s_params.kind = kind;

  if (Ops().SetFormat) {
    SizeEntry format{g.captureWidth, g.captureHeight, g.format};
    if (!Ops().SetFormat(uintptr_t(&format), 0, 0, 0)) return 0;
  }
  if (stillRequest) {
    ResetEvent(c.StillDoneEvent);
    c.MoreFrames = 1;
    ClearPreview();
    PlayFlashSound();
  }
  c.activeKind = kind;
  c.requestedKind = STREAM_PREVIEW;
  c.repeat = 0;
  const uint32_t result = Call(Ops().Start, uintptr_t(&s_params));
  if (result) {
    if (flash) SetFlashLight(1);
    c.streaming = 1;
  }
  return result;
}

uint32_t RestartStream() {
  StopStream();
  return StartStream();
}

uint32_t ApplyExposure() {
  Camera &c = Cam();
  const uint32_t exposure = uint32_t(OptionValue(c.ExposurePreview));
  if (exposure == c.exposure) return 0;
  c.exposure = exposure;
  if (c.streaming) {
    StopStream();
    StartStream();
  }
  return 1;
}

uint32_t ApplyOption(OptionList *list) {
  Camera &c = Cam();
  if (!c.opened) return 0;
  if (list == &c.Prop10Alt) SetProp10FirstRow(OptionValue(c.Prop10Alt));
  const bool restart =
      c.streaming && (list == &c.Prop1 || list == &c.Prop2 || list == &c.Prop10Alt);
  const bool reopen = c.streaming && list == &c.Prop10 && EffectiveRow(c.Prop10) == 0;
  if (restart || reopen) StopStream();
  if (reopen) {
    c.opened = 0;
    Call(Ops().Close);
    CameraOpen();
  }
  if (c.opened) SendList(*list);
  // A reopen that failed leaves the camera closed: nothing to start.
  if ((restart || reopen) && c.opened) StartStream();
  return 1;
}

void ApplyAllOptions() {
  Camera &c = Cam();
  if (Model() == kModelRepeatedStills) {
    SendProperty(69, 0);
    SendProperty(75, 0);
    SendProperty(65, 1);
  }
  if (Model() == kModelProbesProp5)
    ShapeProp5AfterProbe(c, SendProperty(CameraPropertyId(c, c.Prop5, Model()), kProp5Probe) != 0);
  OptionList *const sent[] = {&c.Prop5, &c.Prop4, &c.Prop6,  &c.Prop7,     &c.Prop9,
                              &c.Prop8, &c.Prop1, &c.Prop2,  &c.Prop10Alt};
  for (OptionList *list : sent)
    if (list->index >= 0) SendList(*list);
}

uint32_t SetFlashLight(uint32_t on) {
  Camera &c = Cam();
  if (!On(c.Flash) || !c.ops || !c.ops->FlashLight) return 0;
  return c.ops->FlashLight(on ? FLASH_LIGHT_ON : FLASH_LIGHT_OFF, 0, 0, 0);
}
