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
  std::atomic<int32_t> zoomStep;  // written by the main thread, shown by the overlay
  HANDLE StillDoneEvent;  // manual reset, created once at program start
};

constexpr int kCameraOptionCount = 19;
static_assert(offsetof(Camera, FullResPreview) - offsetof(Camera, Prop4) ==
              (kCameraOptionCount - 1) * sizeof(OptionList));

struct DeviceRecord;

// The five ways of reaching pictures, in the order CameraInit prefers them.
enum SourceKind : uint32_t {
  SOURCE_SCREEN = 0,
  SOURCE_LCM_DRIVER,
  SOURCE_DSC_DRIVER,
  SOURCE_VENDOR,
  SOURCE_DIRECTSHOW,
};
// The kind whose table g_App.camera.ops is; chosen by CameraInit.
extern SourceKind g_CameraSource;
// The kind a handset calls for (screen-capture mode: the screen); CameraInit falls back to the
// screen source when that kind's library cannot be bound.
SourceKind ChooseSource(const DeviceRecord &device, bool screenCapture);

// Operations of the Camera (g_App.camera), all on the main thread. A still flag selects the
// still size and aspect options instead of the preview ones. Results: nonzero for success.

// Chooses the frame source and fills the option lists with their defaults; always 1.
uint32_t CameraInit(const DeviceRecord *device);
// Opens the source, learns its sizes and rebuilds the size lists; 1 at once when open.
uint32_t CameraOpen();
// Stops and closes the source; the source's result, or 0 when nothing was open.
uint32_t CameraClose();
// Computes the geometry the next stream needs and restarts the stream when it changed.
uint32_t Reconfigure(uint32_t still);
// A copy of the running stream's geometry for other threads: an interval series reconfigures the
// camera on its own thread while the main thread's overlay shows the picture size and zoom.
CaptureGeometry ActiveGeometry();
uint32_t StartStream();
// Stops the source (also one that was started behind the Camera's back) and starts the stream
// again with the active geometry, its format chosen anew.
uint32_t RestartStream();
// 1 when the preview exposure value changed (the stream is restarted), else 0.
uint32_t ApplyExposure();
// Sends one of the Camera's lists to the source; 0 when the camera is not open.
uint32_t ApplyOption(OptionList *list);
// Sends every list the user changed from its default; right after opening.
void ApplyAllOptions();
// Switches the flash light; 0 when the flash option is off or the source has no light.
uint32_t SetFlashLight(uint32_t on);
// Takes one still picture: restarts the source as a still stream and waits for the frame
// pipeline to handle the still, for at most timeout ms. Nonzero when the still arrived.
uint32_t CameraCapture(uint32_t restore, uint32_t repeat, uint32_t timeout);
