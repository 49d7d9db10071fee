// Puts g_App's Camera and device record into a known state for one test.
#pragma once

#include <initializer_list>

#include "app/appstate.h"
#include "camera/camera.h"

inline void ResetCamera() {
  Camera &c = g_App.camera;
  c.stillSizeCount = c.previewSizeCount = 0;
  c.previewBase = {};
  c.ops = nullptr;
  c.active = c.requested = {};
  c.exposure = 0;
  c.opened = c.streaming = 0;
  c.MoreFrames = 0;
  c.requestedKind = c.activeKind = 0;
  c.repeat = 0;
  c.StillFailed = 0;
  c.zoomStep = 0;
  // Lists the geometry reads: size and aspect rows whose value is the row.
  for (OptionList *list : {&c.StillSize, &c.PreviewSize, &c.StillAspect, &c.PreviewAspect}) {
    ShapeArithmetic(*list, list == &c.StillAspect || list == &c.PreviewAspect ? 5 : 16, 0, 1, 0);
    list->index = -1;
  }
  ShapeArithmetic(c.CameraMode, 2, 1, 1, 0);
  c.CameraMode.index = -1;
  g_App.device = DeviceRecord{};
  g_App.device.modelCode = MODEL_UNKNOWN;
  g_App.ScreenCaptureMode = 0;
}

inline void SetSizes(bool still, std::initializer_list<SizeEntry> sizes) {
  Camera &c = g_App.camera;
  SizeEntry *to = still ? c.stillSizes : c.previewSizes;
  uint32_t n = 0;
  for (const SizeEntry &e : sizes) to[n++] = e;
  (still ? c.stillSizeCount : c.previewSizeCount) = n;
}
