#include "camera/geometry.h"

#include <algorithm>
#include <cstdio>

#include "app/appstate.h"

namespace {

struct AspectRatio {
  uint32_t numerator, denominator;
};
constexpr AspectRatio kAspects[kAspectCount] = {{4, 3}, {3, 4}, {16, 9}, {9, 16}, {1, 1}};

constexpr uint32_t kModelHardwareZoom = 11;  // zooms in the sensor, property 35
constexpr uint32_t kZoomProperty = 35;
constexpr uint32_t kLabelBytes = 16;

// Rows and label slots of the two size options; the rows' labels point into the slots.
struct SizeRows {
  OptionRow rows[kMaxSizes];
  char labels[kMaxSizes][kLabelBytes];
};
SizeRows s_stillRows, s_previewRows;

struct SizeKind {
  const SizeEntry *sizes;
  uint32_t count;
  OptionList &option;
  OptionList &aspect;
  SizeRows &rows;
};

SizeKind Kind(uint32_t still) {
  Camera &c = g_App.camera;
  if (still)
    return {c.stillSizes, c.stillSizeCount, c.StillSize, c.StillAspect, s_stillRows};
  return {c.previewSizes, c.previewSizeCount, c.PreviewSize, c.PreviewAspect, s_previewRows};
}

uint32_t RoundDown16(uint32_t v) { return v & ~15u; }

// v × n / d, rounded to the nearest and then down to a multiple of 16; v itself for n = d.
uint32_t Scaled(uint32_t v, uint32_t n, uint32_t d) { return n == d ? v : RoundDown16((n * v + d / 2) / d); }

}  // namespace

void AspectCorrect(uint32_t aspect, uint32_t *width, uint32_t *height) {
  if (aspect >= kAspectCount) return;
  const AspectRatio a = kAspects[aspect];
  if (a.numerator == 4 && a.denominator == 3) return;
  const uint32_t n = a.numerator, d = a.denominator, w = *width, h = *height;
  // A ratio of at most one sets the width from the height, a wider one the height from the
  // width; where that would grow past the picture (a portrait size) the other side is set.
  if (n <= d) {
    const uint32_t fromHeight = Scaled(h, n, d);
    if (fromHeight <= w)
      *width = fromHeight;
    else
      *height = Scaled(w, d, n);
  } else {
    const uint32_t fromWidth = Scaled(w, d, n);
    if (fromWidth <= h)
      *height = fromWidth;
    else
      *width = Scaled(h, n, d);
  }
}

uint32_t ComputeGeometry(uint32_t sizeIndex, uint32_t aspect, uint32_t still, CaptureGeometry *out) {
  Camera &camera = g_App.camera;
  const SizeKind kind = Kind(still);
  const uint32_t count = kind.count < kMaxSizes ? kind.count : kMaxSizes;
  if (sizeIndex >= count) return 0;
  const SizeEntry s = kind.sizes[sizeIndex];
  if (s.width == 0 || s.height == 0) return 0;
  const uint32_t model = g_App.device.modelCode;
  if (model == 0 && s.width == 176 && camera.zoomStep == 0) camera.zoomStep = 1;

  // Each candidate (a capability that is an integer multiple of the request in one direction)
  // is one zoom step, the doubled crop of a UYVY request at twice the size one step more.
  int32_t remaining = model == kModelHardwareZoom ? 0 : camera.zoomStep.load();
  const SizeEntry *chosen = nullptr;
  bool taken = false, doubled = false;
  for (uint32_t i = 0; i < count && !taken; ++i) {
    const SizeEntry &e = kind.sizes[i];
    uint32_t k = e.width / s.width;
    if (e.height < s.height * k) k = e.height / s.height;
    if (k == 0 || (k * s.width != e.width && k * s.height != e.height)) continue;
    chosen = &e;
    if (s.format == FORMAT_UYVY && k == 2) {
      if (remaining == 0) {
        taken = doubled = true;
        break;
      }
      --remaining;
    }
    if (remaining == 0)
      taken = true;
    else
      --remaining;
  }
  if (!chosen) return 0;
  if (!taken && camera.zoomStep > 0) --camera.zoomStep;  // the step cannot be served

  CaptureGeometry g{};
  g.captureWidth = chosen->width;
  g.captureHeight = chosen->height;
  uint32_t sw = s.width, sh = s.height;
  AspectCorrect(aspect, &sw, &sh);
  if (sw == 0 || sh == 0) return 0;  // an aspect that leaves nothing of a tiny size
  const uint32_t factor = doubled ? 2 : 1;
  g.cropWidth = factor * sw;
  g.cropHeight = factor * sh;
  g.cropX = (g.captureWidth - g.cropWidth) / 2;
  g.cropY = (g.captureHeight - g.cropHeight) / 2;
  const int32_t *window = g_App.device.captureWindow;
  if (g_App.ScreenCaptureMode && window[2] > 0) {
    g.windowX = uint32_t(window[0]);
    g.windowY = uint32_t(window[1]);
    g.windowWidth = uint32_t(window[2]);
    g.windowHeight = uint32_t(window[3]);
    g.outputWidth = g.windowWidth;
    g.outputHeight = g.windowHeight;
  } else {
    g.windowWidth = g.cropWidth;
    g.windowHeight = g.cropHeight;
    g.outputWidth = g.cropWidth / factor;
    g.outputHeight = g.cropHeight / factor;
  }
  const uint64_t mx = (uint64_t(g.captureWidth) << 16) / g.cropWidth;
  const uint64_t my = (uint64_t(g.captureHeight) << 16) / g.cropHeight;
  g.magnification = uint32_t(mx < my ? mx : my);
  g.format = s.format;
  *out = g;
  return 1;
}

void FitToPreviewBase(CaptureGeometry *g, const SizeEntry &base) {
  const uint64_t magX = (uint64_t(g->captureWidth) << 16) / g->cropWidth;
  const uint64_t magY = (uint64_t(g->captureHeight) << 16) / g->cropHeight;
  const uint32_t cropWidth = uint32_t((uint64_t(base.width) << 16) / magX) & ~7u;
  const uint32_t cropHeight = uint32_t((uint64_t(base.height) << 16) / magY) & ~7u;
  g->captureWidth = base.width;
  g->captureHeight = base.height;
  g->format = base.format;
  g->cropWidth = cropWidth;
  g->cropHeight = cropHeight;
  g->cropX = uint32_t(((int32_t(base.width) - int32_t(cropWidth)) >> 4) << 3);
  g->cropY = uint32_t(((int32_t(base.height) - int32_t(cropHeight)) >> 4) << 3);
  g->windowX = g->windowY = 0;
  g->windowWidth = g->outputWidth = cropWidth;
  g->windowHeight = g->outputHeight = cropHeight;
}

uint32_t StepZoom(int32_t delta, uint32_t still) {
  Camera &camera = g_App.camera;
  const uint32_t model = g_App.device.modelCode;
  int32_t target = 0;
  if (model == 0 || model == 1) {
    const SizeKind kind = Kind(still);
    const uint32_t selected = uint32_t(OptionValue(kind.option));
    target = selected < kind.count && kind.sizes[selected].width <= 320 ? 1 : 0;
  }
  if (delta != 0) target = camera.zoomStep + delta;
  if (target < 0 || target == camera.zoomStep) return 0;
  if (model == kModelHardwareZoom) {
    const uint32_t width = camera.requested.captureWidth;
    if (target > 3 || OptionValue(camera.CameraMode) == 2 || width == 352) return 0;
    if ((target == 1 && width > 640) || (target >= 2 && width > 320)) return 0;
    if (!camera.ops || !camera.ops->SetProperty ||
        !camera.ops->SetProperty(kZoomProperty, 16u << target, 0, 0))
      return 0;
  }
  camera.zoomStep = target;
  return 1;
}

void RebuildSizeList(uint32_t still) {
  const SizeKind kind = Kind(still);
  auto narrow = [](const SizeEntry &e) { return e.width == 352 || e.width == 176; };
  // The model's still list leaves out the narrow sizes, unless nothing else would be left.
  const bool skipNarrow = still && g_App.device.modelCode == kModelHardwareZoom &&
                          !std::all_of(kind.sizes, kind.sizes + std::min(kind.count, kMaxSizes), narrow);
  const bool vga = still && OptionValue(g_App.camera.CameraMode) != 2;
  const uint32_t wantWidth = vga ? 640 : 320, wantHeight = vga ? 480 : 240;
  uint32_t rows = 0, defaultRow = 0;
  bool found = false;
  for (uint32_t i = 0; i < kind.count && i < kMaxSizes; ++i) {
    const SizeEntry &e = kind.sizes[i];
    if (skipNarrow && narrow(e)) continue;
    if (!found && e.width == wantWidth && e.height == wantHeight) {
      defaultRow = rows;
      found = true;
    }
    kind.rows.rows[rows] = {kind.rows.labels[rows], int32_t(i)};
    ++rows;
  }
  ShapeTable(kind.option, kind.rows.rows, rows, defaultRow);
  if (kind.option.index >= int32_t(rows)) kind.option.index = -1;
  RelabelSizes(still);
}

void RelabelSizes(uint32_t still) {
  const SizeKind kind = Kind(still);
  if (kind.option.table != kind.rows.rows) return;  // not built from capabilities yet
  const uint32_t aspect = uint32_t(OptionValue(kind.aspect));
  for (uint32_t r = 0; r < kind.option.count; ++r) {
    const SizeEntry &e = kind.sizes[kind.rows.rows[r].value];
    uint32_t w = e.width, h = e.height;
    AspectCorrect(aspect, &w, &h);
    std::snprintf(kind.rows.labels[r], kLabelBytes, "%u x %u", w, h);
  }
}
