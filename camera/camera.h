// The Camera: the single camera object that chooses, opens, configures, starts and stops
// one frame source, and holds the option lists of the user's camera settings.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "camera/frame.h"
#include "camera/options.h"

constexpr uint32_t kMaxSizes = 16;

struct CameraRecordParams;  // the vendor recorder's parameter record, owned by video recording

struct Camera {
  SizeEntry stillSizes[kMaxSizes];
  uint32_t stillSizeCount;
  SizeEntry previewSizes[kMaxSizes];
  uint32_t previewSizeCount;
  SizeEntry previewBase;
  const SourceOps *ops;

  // The nineteen option lists, in this order.
  OptionList Prop4;
  OptionList Prop5;
  OptionList Prop7;
  OptionList Prop8;
  OptionList Prop6;
  OptionList Prop9;
  OptionList Prop1;
  OptionList Prop2;
  OptionList Prop10;
  OptionList Prop10Alt;
  OptionList ExposurePreview;
  OptionList ExposureStill;
  OptionList PreviewSize;
  OptionList StillSize;
  OptionList PreviewAspect;
  OptionList StillAspect;
  OptionList CameraMode;
  OptionList Flash;
  OptionList FullResPreview;

  CaptureGeometry active;     // the geometry the running stream was started with
  CaptureGeometry requested;  // computed by the last reconfiguration, before fitting
  uint32_t exposure;          // exposure value in force

  uint8_t opened;
  uint8_t streaming;
  std::atomic<uint8_t> MoreFrames;  // set by the main thread, read and cleared by the pipeline

  uint32_t requestedKind;  // StreamKind
  uint8_t repeat;
  std::atomic<uint8_t> StillFailed;  // set by the requester, cleared by the pipeline

  uint32_t activeKind;
  CameraRecordParams *recordParams;
  int32_t zoomStep;
  HANDLE StillDoneEvent;  // manual reset, created once at program start
};

constexpr int kCameraOptionCount = 19;
static_assert(offsetof(Camera, FullResPreview) - offsetof(Camera, Prop4) ==
              (kCameraOptionCount - 1) * sizeof(OptionList));
