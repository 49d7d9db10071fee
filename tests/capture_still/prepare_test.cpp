// The encoder's preparation before a capture: which settings and which geometry shape it, and
// the fall-back that restarts the preview when a format cannot be captured.
#include <gtest/gtest.h>

#include "app/appstate.h"
#include "app/capture_control.h"
#include "app/detect.h"
#include "app/settings.h"
#include "camera/camera.h"
#include "capture/encoder.h"
#include "handset.h"

namespace {

class Prepare : public StillHandset {
 protected:
  void SetUp() override {
    StillHandset::SetUp();
    useProfile("system_library = JPEGENC.dll\n");
    DetectDevice(&g_App.device);
    BindEncoders(g_App.device);
    CameraInit(&g_App.device);
    BuildOptionLists(g_App.device, false);
  }
  static void Set(int setting, int32_t row) { g_App.settings[setting]->index = row; }
};

struct Case {
  const char *what;
  uint32_t mode;                   // #23
  int32_t photoFormat, videoFormat;  // rows of #24 (422, 420, grey) and #27 (grey, 420, 422)
  int32_t photoQuality, videoQuality;  // rows of #38 and #39 (25, 30, 45, ... 100)
  int32_t orientation, mounting;   // #35, #41
  uint32_t format;                 // of the geometry
  uint32_t window, output;         // widths; heights are 3/4 of them
  // What the encoder was given.
  uint32_t sampling, quality, rotation, scale, width;
};

TEST_F(Prepare, TheCaptureModeChoosesItsSettingsAndTheGeometryItsSize) {
  const Case cases[] = {
      {"photo 4:2:2", 0, 0, 1, 9, 0, 0, 0, FORMAT_UYVY, 320, 320, SAMPLING_422, 100, 0, 1, 320},
      {"interval takes the photo settings", 2, 2, 1, 0, 9, 0, 0, FORMAT_UYVY, 320, 320, SAMPLING_GREY, 25, 0, 1, 320},
      {"video 4:2:0", 1, 2, 1, 9, 5, 0, 0, FORMAT_UYVY, 320, 320, SAMPLING_420, 75, 0, 1, 320},
      {"video grey", 1, 0, 0, 9, 5, 0, 0, FORMAT_UYVY, 320, 320, SAMPLING_GREY, 75, 0, 1, 320},
      {"YV12 frames are never 4:2:2", 0, 0, 1, 9, 0, 0, 0, FORMAT_YV12, 320, 320, SAMPLING_420, 100, 0, 1, 320},
      {"a doubled crop is halved", 0, 1, 1, 9, 0, 0, 0, FORMAT_UYVY, 640, 320, SAMPLING_420, 100, 0, 2, 320},
      {"screen minus mounting", 0, 1, 1, 9, 0, 1, 3, FORMAT_UYVY, 320, 320, SAMPLING_420, 100, 2, 1, 320},
      {"a quarter turn drops 4:2:2", 0, 0, 1, 9, 0, 3, 0, FORMAT_UYVY, 320, 320, SAMPLING_420, 100, 3, 1, 320},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    Set(SET_CAPTURE_MODE, int32_t(c.mode));
    Set(SET_PHOTO_FORMAT, c.photoFormat);
    Set(SET_VIDEO_FORMAT, c.videoFormat);
    Set(SET_PHOTO_QUALITY, c.photoQuality);
    Set(SET_VIDEO_QUALITY, c.videoQuality);
    Set(SET_SCREEN_ORIENTATION, c.orientation);
    Set(SET_MOUNTING, c.mounting);
    CaptureGeometry &g = g_App.camera.requested;
    g = {};
    g.format = c.format;
    g.windowWidth = c.window, g.windowHeight = c.window * 3 / 4;
    g.outputWidth = c.output, g.outputHeight = c.output * 3 / 4;
    EXPECT_EQ(PrepareEncoder(), 1u);
    EXPECT_EQ(g_EncoderSetup.sampling, c.sampling);
    EXPECT_EQ(g_EncoderSetup.quality, c.quality);
    EXPECT_EQ(g_EncoderSetup.rotation, c.rotation);
    EXPECT_EQ(g_EncoderSetup.scale, c.scale);
    EXPECT_EQ(g_EncoderSetup.width, c.width);
    EXPECT_EQ(g_EncoderSetup.height, c.width * 3 / 4);
  }
}

TEST_F(Prepare, ANarrowerWindowThanEitherSideOfThePictureCountsAsUnscaled) {
  CaptureGeometry &g = g_App.camera.requested;
  g = {};
  g.format = FORMAT_UYVY;
  g.windowWidth = 640, g.windowHeight = 200;  // twice as wide, but less high
  g.outputWidth = 320, g.outputHeight = 240;
  EXPECT_EQ(PrepareEncoder(), 1u);
  EXPECT_EQ(g_EncoderSetup.scale, 1u);
}

TEST_F(Prepare, WithoutAnEncoderNothingIsReady) {
  ReleaseEncoders();
  CaptureGeometry &g = g_App.camera.requested;
  g = {};
  g.windowWidth = g.outputWidth = 320, g.windowHeight = g.outputHeight = 240;
  EXPECT_EQ(PrepareEncoder(), 0u);
}

}  // namespace
