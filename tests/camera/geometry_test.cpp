// Capture geometry: which capability is captured for a size, aspect and zoom step, the crop
// inside it, fitting to the preview base size, the size lists and zoom stepping.
#include <gtest/gtest.h>

#include <string>

#include "camera/geometry.h"
#include "camera_state.h"

namespace {

constexpr uint32_t UYVY = FORMAT_UYVY, YV12 = FORMAT_YV12;

struct GeometryCase {
  const char *name;
  uint32_t model;
  std::initializer_list<SizeEntry> sizes;
  uint32_t sizeIndex, aspect;
  int32_t zoomStep;
  // expected
  int32_t zoomStepAfter;
  CaptureGeometry g;  // capture, crop, window, output, magnification, format
};

TEST(ComputeGeometry, ZoomStepsAspectsAndModels) {
  const GeometryCase cases[] = {
      {"step 0 captures the size itself", 2, {{320, 240, UYVY}, {640, 480, UYVY}}, 0, 0, 0, 0,
       {320, 240, 0, 0, 320, 240, 0, 0, 320, 240, 320, 240, 65536, UYVY}},
      {"step 1 takes twice the size and halves it", 2, {{320, 240, UYVY}, {640, 480, UYVY}}, 0, 0, 1, 1,
       {640, 480, 0, 0, 640, 480, 0, 0, 640, 480, 320, 240, 65536, UYVY}},
      {"step 2 crops the centre of twice the size", 2, {{320, 240, UYVY}, {640, 480, UYVY}}, 0, 0, 2, 2,
       {640, 480, 160, 120, 320, 240, 0, 0, 320, 240, 320, 240, 131072, UYVY}},
      {"step 3 cannot be served and falls back to 2", 2, {{320, 240, UYVY}, {640, 480, UYVY}}, 0, 0, 3, 2,
       {640, 480, 160, 120, 320, 240, 0, 0, 320, 240, 320, 240, 131072, UYVY}},
      {"a planar request is never doubled", 2, {{320, 240, YV12}, {640, 480, YV12}}, 0, 0, 1, 1,
       {640, 480, 160, 120, 320, 240, 0, 0, 320, 240, 320, 240, 131072, YV12}},
      {"16:9 crops 640 x 352 at y 64", 2, {{640, 480, UYVY}}, 0, 2, 0, 0,
       {640, 480, 0, 64, 640, 352, 0, 0, 640, 352, 640, 352, 65536, UYVY}},
      {"9:16 crops a width of 128", 2, {{320, 240, UYVY}}, 0, 3, 0, 0,
       {320, 240, 96, 0, 128, 240, 0, 0, 128, 240, 128, 240, 65536, UYVY}},
      {"3:4 crops a width of 352", 2, {{640, 480, UYVY}}, 0, 1, 0, 0,
       {640, 480, 144, 0, 352, 480, 0, 0, 352, 480, 352, 480, 65536, UYVY}},
      {"1:1 crops a square", 2, {{640, 480, UYVY}}, 0, 4, 0, 0,
       {640, 480, 80, 0, 480, 480, 0, 0, 480, 480, 480, 480, 65536, UYVY}},
      {"16:9 with doubling keeps the aspect", 2, {{320, 240, UYVY}, {640, 480, UYVY}}, 0, 2, 1, 1,
       {640, 480, 0, 64, 640, 352, 0, 0, 640, 352, 320, 176, 65536, UYVY}},
      {"model 0 starts a 176-wide size at step 1", 0, {{176, 144, UYVY}, {352, 288, UYVY}}, 0, 0, 0, 1,
       {352, 288, 0, 0, 352, 288, 0, 0, 352, 288, 176, 144, 65536, UYVY}},
      {"model 11 zooms in hardware, not by cropping", 11, {{320, 240, UYVY}, {640, 480, UYVY}}, 0, 0, 2, 2,
       {320, 240, 0, 0, 320, 240, 0, 0, 320, 240, 320, 240, 65536, UYVY}},
      {"only multiples of the request count", 2, {{320, 240, UYVY}, {400, 300, UYVY}, {1280, 960, UYVY}}, 0, 0, 1, 1,
       {1280, 960, 480, 360, 320, 240, 0, 0, 320, 240, 320, 240, 262144, UYVY}},
      {"a larger request picks from the larger sizes", 2, {{320, 240, UYVY}, {640, 480, UYVY}}, 1, 0, 0, 0,
       {640, 480, 0, 0, 640, 480, 0, 0, 640, 480, 640, 480, 65536, UYVY}},
  };
  for (const GeometryCase &c : cases) {
    SCOPED_TRACE(c.name);
    ResetCamera();
    g_App.device.modelCode = c.model;
    SetSizes(true, c.sizes);
    g_App.camera.zoomStep = c.zoomStep;
    CaptureGeometry g{};
    ASSERT_EQ(ComputeGeometry(c.sizeIndex, c.aspect, 1, &g), 1u);
    EXPECT_EQ(g_App.camera.zoomStep, c.zoomStepAfter);
    const uint32_t *got = &g.captureWidth, *want = &c.g.captureWidth;
    for (int i = 0; i < 14; ++i) EXPECT_EQ(got[i], want[i]) << "word " << i + 1;
  }
}

TEST(ComputeGeometry, UsesTheListTheStillFlagNames) {
  ResetCamera();
  SetSizes(true, {{1280, 960, UYVY}});
  SetSizes(false, {{320, 240, YV12}});
  CaptureGeometry g{};
  ASSERT_EQ(ComputeGeometry(0, 0, 0, &g), 1u);
  EXPECT_EQ(g.captureWidth, 320u);
  EXPECT_EQ(g.format, YV12);
  ASSERT_EQ(ComputeGeometry(0, 0, 1, &g), 1u);
  EXPECT_EQ(g.captureWidth, 1280u);
}

TEST(ComputeGeometry, RefusesSizesOutsideTheListAndLeavesTheRecord) {
  ResetCamera();
  SetSizes(true, {{320, 240, UYVY}, {0, 0, UYVY}});
  CaptureGeometry g{};
  g.captureWidth = 77;
  EXPECT_EQ(ComputeGeometry(2, 0, 1, &g), 0u);
  EXPECT_EQ(ComputeGeometry(1, 0, 1, &g), 0u);  // an empty capability
  EXPECT_EQ(g.captureWidth, 77u);
  SetSizes(false, {{16, 8, UYVY}});
  EXPECT_EQ(ComputeGeometry(0, 3, 0, &g), 0u);  // 9:16 leaves no width
  EXPECT_EQ(g.captureWidth, 77u);
  // An empty capability is never a candidate for another size.
  ASSERT_EQ(ComputeGeometry(0, 0, 1, &g), 1u);
  EXPECT_EQ(g.captureWidth, 320u);
}

TEST(ComputeGeometry, ScreenCaptureWindowBecomesTheWindowAndOutput) {
  ResetCamera();
  SetSizes(true, {{240, 320, UYVY}, {96, 48, UYVY}});
  g_App.device.captureWindow[0] = 2;
  g_App.device.captureWindow[1] = 4;
  g_App.device.captureWindow[2] = 96;
  g_App.device.captureWindow[3] = 48;
  CaptureGeometry g{};
  ASSERT_EQ(ComputeGeometry(0, 0, 1, &g), 1u);
  EXPECT_EQ(g.windowWidth, 240u);  // not in screen-capture mode
  g_App.ScreenCaptureMode = 1;
  ASSERT_EQ(ComputeGeometry(0, 0, 1, &g), 1u);
  EXPECT_EQ(g.cropWidth, 240u);
  EXPECT_EQ(g.cropHeight, 320u);
  EXPECT_EQ(g.windowX, 2u);
  EXPECT_EQ(g.windowY, 4u);
  EXPECT_EQ(g.windowWidth, 96u);
  EXPECT_EQ(g.windowHeight, 48u);
  EXPECT_EQ(g.outputWidth, 96u);
  EXPECT_EQ(g.outputHeight, 48u);
  g_App.device.captureWindow[2] = 0;  // switched off
  ASSERT_EQ(ComputeGeometry(0, 0, 1, &g), 1u);
  EXPECT_EQ(g.windowWidth, 240u);
}

TEST(AspectCorrect, RoundsTheChangedSideDownToSixteenAndNeverGrowsIt) {
  struct Case {
    uint32_t aspect, w, h, wantW, wantH;
  } const cases[] = {
      {0, 641, 479, 641, 479},  {1, 640, 480, 352, 480}, {2, 640, 480, 640, 352}, {3, 320, 240, 128, 240},
      {4, 640, 480, 480, 480},  {2, 176, 144, 176, 96},  {3, 176, 144, 80, 144},  {9, 640, 480, 640, 480},
      // A portrait size is narrowed on the other side rather than grown past the picture.
      {4, 240, 320, 240, 240},  {1, 120, 320, 120, 160}, {2, 100, 20, 32, 20},
  };
  for (const Case &c : cases) {
    uint32_t w = c.w, h = c.h;
    AspectCorrect(c.aspect, &w, &h);
    EXPECT_EQ(w, c.wantW) << "aspect " << c.aspect;
    EXPECT_EQ(h, c.wantH) << "aspect " << c.aspect;
  }
}

TEST(FitToPreviewBase, KeepsTheMagnificationOnTheBaseSize) {
  struct Case {
    CaptureGeometry in;
    SizeEntry base;
    uint32_t cropX, cropY, cropW, cropH;
  } const cases[] = {
      // Twice magnified still framing: half the base size, origin on multiples of 8.
      {{1280, 960, 320, 240, 640, 480, 0, 0, 640, 480, 640, 480, 131072, UYVY}, {320, 240, YV12}, 80, 56, 160, 120},
      // The whole frame fits the whole base.
      {{2048, 1536, 0, 0, 2048, 1536, 0, 0, 2048, 1536, 2048, 1536, 65536, UYVY}, {320, 240, YV12}, 0, 0, 320, 240},
      // A 16:9 crop: the height rounds down to a multiple of 8.
      {{640, 480, 0, 64, 640, 352, 0, 0, 640, 352, 640, 352, 65536, UYVY}, {320, 240, UYVY}, 0, 32, 320, 176},
  };
  for (const Case &c : cases) {
    CaptureGeometry g = c.in;
    FitToPreviewBase(&g, c.base);
    EXPECT_EQ(g.captureWidth, c.base.width);
    EXPECT_EQ(g.captureHeight, c.base.height);
    EXPECT_EQ(g.format, c.base.format);
    EXPECT_EQ(g.cropX, c.cropX);
    EXPECT_EQ(g.cropY, c.cropY);
    EXPECT_EQ(g.cropWidth, c.cropW);
    EXPECT_EQ(g.cropHeight, c.cropH);
    EXPECT_EQ(g.windowX, 0u);
    EXPECT_EQ(g.windowWidth, c.cropW);
    EXPECT_EQ(g.outputWidth, c.cropW);
    EXPECT_EQ(g.outputHeight, c.cropH);
  }
}

std::string Label(const OptionList &list, uint32_t row) { return list.table[row].label; }

TEST(SizeLists, RowsDefaultsAndLabelsFromTheCapabilities) {
  ResetCamera();
  g_App.device.modelCode = 11;
  SetSizes(true, {{1280, 1024, UYVY}, {640, 480, UYVY}, {352, 288, UYVY}, {320, 240, UYVY}, {176, 144, UYVY}});
  SetSizes(false, {{176, 144, UYVY}, {320, 240, UYVY}});
  Camera &c = g_App.camera;
  c.StillSize.index = 3;
  c.PreviewSize.index = 1;
  RebuildSizeList(1);
  RebuildSizeList(0);
  // Model 11 offers no 352- or 176-wide stills.
  ASSERT_EQ(c.StillSize.count, 3u);
  EXPECT_EQ(c.StillSize.table[2].value, 3);
  EXPECT_EQ(c.StillSize.defaultRow, 1u);  // 640 x 480
  EXPECT_EQ(c.StillSize.index, -1);       // row 3 is gone
  EXPECT_EQ(Label(c.StillSize, 0), "1280 x 1024");
  ASSERT_EQ(c.PreviewSize.count, 2u);
  EXPECT_EQ(c.PreviewSize.defaultRow, 1u);  // 320 x 240
  EXPECT_EQ(c.PreviewSize.index, 1);        // still a row
  EXPECT_EQ(OptionValue(c.PreviewSize), 1);

  // Camera mode 2 moves the still default to 320 x 240; an aspect relabels only its own list.
  c.CameraMode.index = 1;
  c.StillAspect.index = 2;
  RebuildSizeList(1);
  EXPECT_EQ(c.StillSize.defaultRow, 2u);
  EXPECT_EQ(Label(c.StillSize, 1), "640 x 352");
  EXPECT_EQ(Label(c.PreviewSize, 1), "320 x 240");
  c.PreviewAspect.index = 4;
  RelabelSizes(0);
  EXPECT_EQ(Label(c.PreviewSize, 1), "240 x 240");
  EXPECT_EQ(Label(c.StillSize, 1), "640 x 352");
}

TEST(SizeLists, WithoutAMatchingSizeTheDefaultIsRowZero) {
  ResetCamera();
  SetSizes(true, {{1600, 1200, UYVY}, {800, 600, UYVY}});
  RebuildSizeList(1);
  EXPECT_EQ(g_App.camera.StillSize.count, 2u);
  EXPECT_EQ(g_App.camera.StillSize.defaultRow, 0u);
}

// A source that records its properties and accepts them while `accept` is set.
uint32_t g_lastId, g_lastValue, g_calls, g_accept;
uint32_t RecordProperty(uintptr_t id, uintptr_t value, uintptr_t, uintptr_t) {
  g_lastId = uint32_t(id), g_lastValue = uint32_t(value), ++g_calls;
  return g_accept;
}
SourceOps ZoomSource() {
  SourceOps ops{};
  ops.SetProperty = RecordProperty;
  return ops;
}
const SourceOps kZoomSource = ZoomSource();

TEST(StepZoom, SoftwareZoomStepsWithoutTheDevice) {
  ResetCamera();
  g_App.device.modelCode = 2;
  EXPECT_EQ(StepZoom(0, 1), 0u);  // already at the starting step
  EXPECT_EQ(StepZoom(1, 1), 1u);
  EXPECT_EQ(StepZoom(2, 1), 1u);
  EXPECT_EQ(g_App.camera.zoomStep, 3);
  EXPECT_EQ(StepZoom(-4, 1), 0u);  // never below 0
  EXPECT_EQ(StepZoom(0, 1), 1u);   // back to the start
  EXPECT_EQ(g_App.camera.zoomStep, 0);
}

TEST(StepZoom, SmallSizesOnModelsZeroAndOneStartAtStepOne) {
  for (uint32_t model : {0u, 1u}) {
    ResetCamera();
    g_App.device.modelCode = model;
    SetSizes(false, {{320, 240, UYVY}, {640, 480, UYVY}});
    EXPECT_EQ(StepZoom(0, 0), 1u);
    EXPECT_EQ(g_App.camera.zoomStep, 1);
    g_App.camera.PreviewSize.index = 1;  // 640 wide starts at 0
    EXPECT_EQ(StepZoom(0, 0), 1u);
    EXPECT_EQ(g_App.camera.zoomStep, 0);
  }
}

TEST(StepZoom, HardwareZoomOfModelElevenAsksTheSensor) {
  ResetCamera();
  g_App.device.modelCode = 11;
  g_App.camera.ops = &kZoomSource;
  g_accept = 1;
  g_calls = 0;
  g_App.camera.requested.captureWidth = 320;
  EXPECT_EQ(StepZoom(1, 0), 1u);
  EXPECT_EQ(g_lastId, 35u);
  EXPECT_EQ(g_lastValue, 32u);
  EXPECT_EQ(StepZoom(2, 0), 1u);
  EXPECT_EQ(g_lastValue, 128u);
  EXPECT_EQ(StepZoom(1, 0), 0u);  // only steps 0 to 3
  EXPECT_EQ(StepZoom(-3, 0), 1u);
  EXPECT_EQ(g_lastValue, 16u);

  struct Refusal {
    const char *why;
    uint32_t width;
    int32_t cameraModeRow, delta;
  } const refusals[] = {
      {"step 1 above 640", 800, -1, 1}, {"step 2 above 320", 640, -1, 2}, {"352 wide", 352, -1, 1},
      {"camera mode 2", 320, 1, 1},
  };
  for (const Refusal &r : refusals) {
    g_App.camera.zoomStep = 0;
    g_App.camera.requested.captureWidth = r.width;
    g_App.camera.CameraMode.index = r.cameraModeRow;
    g_calls = 0;
    EXPECT_EQ(StepZoom(r.delta, 0), 0u) << r.why;
    EXPECT_EQ(g_calls, 0u) << r.why;
    EXPECT_EQ(g_App.camera.zoomStep, 0) << r.why;
  }
  g_App.camera.CameraMode.index = -1;
  g_App.camera.requested.captureWidth = 640;
  g_accept = 0;  // the sensor refuses
  EXPECT_EQ(StepZoom(1, 0), 0u);
  EXPECT_EQ(g_App.camera.zoomStep, 0);
}

}  // namespace
