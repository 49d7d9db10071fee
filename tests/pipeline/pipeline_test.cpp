// OnFrame and DispatchFrame on an emulated handset: normalisation in place, the preview
// throttle, and what each capture state and kind does with a frame.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numeric>
#include <thread>
#include <vector>

#include "app/appstate.h"
#include "app/capture_control.h"
#include "app/settings.h"
#include "capture/encoder.h"
#include "capture/still.h"
#include "device/profile.h"
#include "pipeline/pipeline.h"
#include "pipeline/preview.h"
#include "pipeline/transforms.h"
#include "platform/kernel.h"
#include "tests/camera/camera_state.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::vector<uintptr_t> g_flashCalls;
uint32_t FlashLight(uintptr_t command, uintptr_t, uintptr_t, uintptr_t) {
  g_flashCalls.push_back(command);
  return 1;
}
const SourceOps kOps = [] {
  SourceOps ops{};
  ops.FlashLight = FlashLight;
  return ops;
}();

class Pipeline : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = std::filesystem::temp_directory_path() /
            ("pipeline-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_ / "My Documents");
    device::setRoot(root_.string());
    device::setCurrent(device::Profile::parse("display = 240x320\nsystem_library = JPEGENC.dll\n", "test.profile"));
    // Every setting an arithmetic list whose value the test sets.
    for (int n = 0; n < kSettingCount; ++n) {
      ShapeArithmetic(lists_[n], 1, 0, 0, 0);
      lists_[n].index = -1;
      g_App.settings[n] = &lists_[n];
    }
    ShapeArithmetic(g_App.camera.Flash, 1, 1, 0, 0);
    g_App.camera.Flash.index = -1;
    g_App.camera.ops = &kOps;
    g_App.camera.StillDoneEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_App.camera.active = CaptureGeometry{};
    g_App.currentFile = file_;
    std::memcpy(file_, TEXT("\\My Documents\\shot.jpg"), sizeof(TEXT("\\My Documents\\shot.jpg")));
    g_flashCalls.clear();
    ASSERT_TRUE(SetPictureSize(&g_App.PreviewPicture, 240, 320));
  }
  void TearDown() override {
    CloseHandle(g_App.camera.StillDoneEvent);
    FreePicture(&g_App.PreviewPicture);
    FreePicture(&g_App.EncodeBuffer);
    ReleaseEncoders();
    g_App.captureState = STATE_PREVIEW;
    g_App.ScreenCaptureMode = 0;
    g_App.FullScreen = 0;
    g_App.camera.MoreFrames = 0;
    g_App.camera.StillFailed = 0;
    g_App.ReferenceBuffer = nullptr;
    g_App.referenceBytes = 0;
    g_App.FramesRemaining = 0;
    g_App.recorder.writer = nullptr;
    g_App.recorder.kind = 0;
    g_App.recorder.failed = 0;
    g_App.LastPreviewTick = 0;
    std::filesystem::remove_all(root_);
  }
  void Set(int n, int32_t value) { lists_[n].base = value; }
  // The vendor encoder for pictures of w × h and an EncodeBuffer for them.
  void Encoder(uint32_t w, uint32_t h) {
    ASSERT_EQ(BindVendorEncoder(), 1u);
    ASSERT_EQ(ConfigureEncoder(&g_EncoderSetup, w, h, 90, SAMPLING_420, 1, 1, 0), 1u);
    ASSERT_TRUE(SetPictureSize(&g_App.EncodeBuffer, w, h, EncodeBufferBytes(w, h)));
  }
  bool Done() { return WaitForSingleObject(g_App.camera.StillDoneEvent, 0) == WAIT_OBJECT_0; }
  bool Saved() { return std::filesystem::exists(root_ / "My Documents" / "shot.jpg"); }
  void Forget() {
    std::filesystem::remove(root_ / "My Documents" / "shot.jpg");
    ResetEvent(g_App.camera.StillDoneEvent);
  }

  OptionList lists_[kSettingCount];
  WCHAR file_[kFilePathUnits] = {};
  std::filesystem::path root_;
};

Bytes Uyvy(uint32_t w, uint32_t h, uint8_t y) {
  Bytes f(size_t(w) * h * 2);
  for (size_t i = 0; i < f.size(); i += 2) {
    f[i] = 128;
    f[i + 1] = y;
  }
  return f;
}

FrameDesc Desc(Bytes &data, uint32_t format, uint32_t w, uint32_t h) {
  return FrameDesc{data.data(), uint32_t(data.size()), format, w, h};
}

TEST_F(Pipeline, AnEmptyStillFrameSwitchesTheFlashOffAndGoesNoFurther) {
  g_App.camera.MoreFrames = 1;
  g_App.FrameKind = 77;
  FrameDesc none{nullptr, 0, FORMAT_UYVY, 0, 0};
  EXPECT_EQ(OnFrame(&none, 0), 1u);
  EXPECT_EQ(g_flashCalls, std::vector<uintptr_t>{FLASH_LIGHT_OFF});
  EXPECT_EQ(g_App.FrameKind, 77u) << "nothing was latched";
  g_App.camera.MoreFrames = 0;
  OnFrame(&none, 0);
  EXPECT_EQ(g_flashCalls.size(), 1u) << "a preview frame leaves the flash alone";
}

TEST_F(Pipeline, FlipModeChoosesStillOrPreviewFrames) {
  struct Case {
    int mode;
    uint32_t isStill;
    bool flipped;
  } cases[] = {{0, 1, false}, {1, 0, true}, {2, 1, true}, {2, 0, false}, {3, 0, true}, {3, 1, false}};
  for (const Case &c : cases) {
    Set(SET_FLIP_MODE, c.mode);
    Bytes frame(4 * 3 * 2);
    std::iota(frame.begin(), frame.end(), uint8_t(0));
    Bytes original = frame;
    FrameDesc d = Desc(frame, FORMAT_RGB565, 4, 3);
    g_App.captureState = STATE_DIALOG;  // photo: the frame is only normalised
    OnFrame(&d, c.isStill);
    Bytes top(original.end() - 8, original.end());
    EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 8), c.flipped ? top : Bytes(original.begin(), original.begin() + 8))
        << "mode " << c.mode << " still " << c.isStill;
  }
}

TEST_F(Pipeline, ChromaSwapExchangesTheComponentsInPlace) {
  Set(SET_CHROMA_SWAP, 1);
  g_App.captureState = STATE_DIALOG;
  Bytes uyvy = {1, 2, 3, 4, 5, 6, 7, 8};
  FrameDesc d = Desc(uyvy, FORMAT_UYVY, 4, 1);
  OnFrame(&d, 0);
  EXPECT_EQ(uyvy, (Bytes{3, 2, 1, 4, 7, 6, 5, 8})) << "U and V trade places, each pixel keeps its luma";
  // YV12 8 × 2: 16 luma bytes, then two planes of 4.
  Bytes yv12(24);
  std::iota(yv12.begin(), yv12.end(), uint8_t(0));
  FrameDesc p = Desc(yv12, FORMAT_YV12, 8, 2);
  OnFrame(&p, 0);
  Bytes expected(24);
  std::iota(expected.begin(), expected.begin() + 16, uint8_t(0));
  std::iota(expected.begin() + 16, expected.begin() + 20, uint8_t(20));
  std::iota(expected.begin() + 20, expected.end(), uint8_t(16));
  EXPECT_EQ(yv12, expected);
  Set(SET_CHROMA_SWAP, 2);
  OnFrame(&d, 0);
  EXPECT_EQ(uyvy, (Bytes{3, 2, 1, 4, 7, 6, 5, 8})) << "only 1 swaps";
}

TEST_F(Pipeline, TheWindowMovesToTheStartOfPackedFramesOnly) {
  CaptureGeometry g{};
  g.cropWidth = 8;
  g.cropHeight = 4;
  g.windowX = 2;
  g.windowY = 1;
  g.windowWidth = 4;
  g.windowHeight = 2;
  for (uint32_t format : {FORMAT_UYVY, FORMAT_RGB565, FORMAT_YV12}) {
    Bytes frame(8 * 4 * 2);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = uint8_t(i);
    FrameDesc d = Desc(frame, format, 8, 4);
    CropWindow(&d, g);
    if (format == FORMAT_YV12) {
      EXPECT_EQ(d.width, 8u);
      EXPECT_EQ(frame[0], 0) << "planar frames are not cropped";
      continue;
    }
    EXPECT_EQ(d.width, 4u);
    EXPECT_EQ(d.height, 2u);
    for (uint32_t r = 0; r < 2; ++r)
      for (uint32_t b = 0; b < 8; ++b) ASSERT_EQ(frame[r * 8 + b], uint8_t(((1 + r) * 8 + 2) * 2 + b));
  }
  // A window reaching past the frame is refused.
  Bytes frame(8 * 4 * 2, 9);
  FrameDesc d = Desc(frame, FORMAT_UYVY, 8, 4);
  g.windowY = 3;
  CropWindow(&d, g);
  EXPECT_EQ(d.width, 8u);
  EXPECT_EQ(d.height, 4u);
}

// The main thread changes the stream's geometry while a source that did not stop in time still
// delivers: the frame thread works on a copy taken under the Camera's lock. (The thread sanitizer
// watches this one.)
TEST_F(Pipeline, AFrameTakesTheGeometryWhileTheMainThreadChangesIt) {
  ResetCamera();
  g_App.camera.ops = &kOps;
  SetSizes(false, {{64, 48, FORMAT_UYVY}, {32, 16, FORMAT_UYVY}});
  Bytes frame = Uyvy(64, 48, 90);
  std::atomic<bool> stop{false};
  std::atomic<uint32_t> delivered{0};
  std::thread source([&] {
    while (!stop) {
      FrameDesc d = Desc(frame, FORMAT_UYVY, 64, 48);
      OnFrame(&d, 0);
      ++delivered;
    }
  });
  for (int i = 0; i < 400 || delivered < 50; ++i) {
    g_App.camera.PreviewSize.index = i & 1;
    ASSERT_EQ(Reconfigure(0), 1u);
  }
  g_App.camera.PreviewSize.index = 1;
  ASSERT_EQ(Reconfigure(0), 1u);
  stop = true;
  source.join();
  EXPECT_EQ(ActiveGeometry().outputWidth, 32u);
  ResetCamera();
}

// The screen recorder's capture window chosen as its own size row (the window is the crop): the
// whole display comes in, the window's picture is saved.
TEST_F(Pipeline, TheCaptureWindowIsCutFromTheWholeDisplay) {
  Encoder(32, 16);
  g_App.ScreenCaptureMode = 1;
  g_App.captureState = STATE_CAPTURING;
  CaptureGeometry &g = g_App.camera.active;
  g.captureWidth = g.cropWidth = g.windowWidth = g.outputWidth = 32;
  g.captureHeight = g.cropHeight = g.windowHeight = g.outputHeight = 16;
  g.windowX = 16, g.windowY = 8;
  Bytes frame = Uyvy(64, 48, 90);
  FrameDesc d = Desc(frame, FORMAT_UYVY, 64, 48);
  OnFrame(&d, 1);
  g = CaptureGeometry{};
  ASSERT_TRUE(Saved());
  std::ifstream in(root_ / "My Documents" / "shot.jpg", std::ios::binary);
  const Bytes jpeg{std::istreambuf_iterator<char>(in), {}};
  size_t at = 2;  // the markers up to the frame header: its height and width
  while (at + 9 < jpeg.size() && jpeg[at + 1] != 0xC0) at += 2 + (jpeg[at + 2] << 8 | jpeg[at + 3]);
  ASSERT_LT(at + 9, jpeg.size());
  EXPECT_EQ(jpeg[at + 5] << 8 | jpeg[at + 6], 16);
  EXPECT_EQ(jpeg[at + 7] << 8 | jpeg[at + 8], 32);
}

TEST_F(Pipeline, PreviewFollowsTheIntervalTheScreenAndTheFormat) {
  g_App.FullScreen = 1;
  Set(SET_PREVIEW_INTERVAL, 100);
  Set(SET_PHOTO_PREVIEW_MODE, PREVIEW_GREY);
  Set(SET_MOUNTING, 1);
  Bytes white = Uyvy(240, 320, 255), black = Uyvy(240, 320, 0);
  FrameDesc w = Desc(white, FORMAT_UYVY, 240, 320), b = Desc(black, FORMAT_UYVY, 240, 320);
  auto shown = [] { return g_App.PreviewPicture.pixels[1000]; };
  struct Step {
    uint32_t tick;
    const FrameDesc *frame;
    uint16_t expected;
    bool composing = false;  // another thread composes the screen meanwhile
  } steps[] = {
      {1000, &w, 0xFFFF}, {1050, &b, 0xFFFF},  // within the interval: skipped
      {1100, &b, 0x0000}, {1150, &w, 0x0000},
      {1200, &w, 0x0000, true}, {1210, &w, 0xFFFF},  // a frame skipped for the other thread holds nothing back
      {500, &b, 0x0000},  // a tick that went back never skips
  };
  for (const Step &s : steps) {
    platform::setTickCount(s.tick);
    g_App.ComposeBusy = s.composing;
    OnFrame(s.frame, 0);
    g_App.ComposeBusy = 0;
    EXPECT_EQ(shown(), s.expected) << "tick " << s.tick;
  }
  // A JPEG frame is never decoded.
  platform::setTickCount(5000);
  Bytes jpeg(100, 0);
  FrameDesc j = Desc(jpeg, FORMAT_IJPG, 240, 320);
  OnFrame(&j, 0);
  EXPECT_EQ(shown(), 0x0000);
  // Without the full screen nothing is drawn unless forced.
  g_App.FullScreen = 0;
  platform::setTickCount(6000);
  OnFrame(&w, 0);
  EXPECT_EQ(shown(), 0x0000);
  DrawPreview(&w, 1);
  EXPECT_EQ(shown(), 0xFFFF);
  // The screen is never fed back into itself, but a saved picture is shown.
  g_App.FullScreen = 1;
  g_App.ScreenCaptureMode = 1;
  DrawPreview(&w, 1);
  EXPECT_EQ(shown(), 0xFFFF);
  platform::setTickCount(7000);
  OnFrame(&w, 0);
  EXPECT_EQ(shown(), 0x0000);
}

TEST_F(Pipeline, EachPackedLayoutIsPreviewedFromItsOwnBytes) {
  g_App.FullScreen = 1;
  Set(SET_PHOTO_PREVIEW_MODE, PREVIEW_COLOUR);
  Set(SET_MOUNTING, 1);
  // One picture, pixel pairs of (Y0, Y1, U, V) varying across it, in the three byte orders.
  const uint32_t w = 240, h = 320;
  Bytes layouts[3];
  const uint32_t formats[3] = {FORMAT_UYVY, FORMAT_YUY2, FORMAT_YVYU};
  const int order[3][4] = {{2, 0, 3, 1}, {0, 2, 1, 3}, {0, 3, 1, 2}};  // position of U, Y0, V, Y1
  for (int k = 0; k < 3; ++k) {
    layouts[k].resize(size_t(w) * h * 2);
    for (size_t i = 0; i < layouts[k].size(); i += 4) {
      const uint8_t pair[4] = {uint8_t(i / 4), uint8_t(i / 4 + 90), uint8_t(255 - i / 8), uint8_t(i / 16)};
      for (int b = 0; b < 4; ++b) layouts[k][i + b] = pair[order[k][b]];
    }
  }
  std::vector<uint16_t> shown[3];
  for (int k = 0; k < 3; ++k) {
    FrameDesc d = Desc(layouts[k], formats[k], w, h);
    DrawPreview(&d, 1);
    shown[k].assign(g_App.PreviewPicture.pixels, g_App.PreviewPicture.pixels + w * h);
  }
  EXPECT_NE(shown[0][1], shown[0][2]) << "neighbours differ in luma";
  EXPECT_EQ(shown[1], shown[0]);
  EXPECT_EQ(shown[2], shown[0]);
}

TEST_F(Pipeline, CapturingResetsTheIdleTimerEvery8Seconds) {
  g_App.captureState = STATE_CAPTURING;
  g_App.IdleResetTick = 0;
  Bytes frame = Uyvy(4, 4, 10);
  FrameDesc d = Desc(frame, FORMAT_UYVY, 4, 4);
  uint64_t before = platform::idleTimerResets();
  for (uint32_t tick : {10000u, 15000u, 18193u, 18194u, 100u}) {
    platform::setTickCount(tick);
    OnFrame(&d, 0);
  }
  // 10000 (past 8192), 18193 is 8193 after it, and 100 is a counter that wrapped.
  EXPECT_EQ(platform::idleTimerResets() - before, 3u);
}

TEST_F(Pipeline, APhotoIsSavedFromTheStillFrameOnly) {
  Encoder(64, 48);
  g_App.captureState = STATE_CAPTURING;
  g_App.camera.StillFailed = 1;
  Bytes frame = Uyvy(64, 48, 90);
  FrameDesc d = Desc(frame, FORMAT_UYVY, 64, 48);
  OnFrame(&d, 0);
  EXPECT_FALSE(Saved()) << "no still asked for";
  EXPECT_FALSE(Done());
  g_App.camera.MoreFrames = 1;
  OnFrame(&d, 0);
  EXPECT_TRUE(Saved());
  EXPECT_EQ(g_App.camera.StillFailed, 0);
  EXPECT_EQ(g_App.camera.MoreFrames, 0);
  EXPECT_TRUE(Done());
  // A picture that cannot be written leaves StillFailed set, and the requester still wakes.
  Forget();
  g_App.camera.StillFailed = 1;
  std::memcpy(file_, TEXT("\\Nowhere\\shot.jpg"), sizeof(TEXT("\\Nowhere\\shot.jpg")));
  OnFrame(&d, 1);
  EXPECT_FALSE(Saved());
  EXPECT_EQ(g_App.camera.StillFailed, 1);
  EXPECT_TRUE(Done());
}

TEST_F(Pipeline, IntervalShotsPlainMotionAndAveraged) {
  Encoder(64, 48);
  g_App.captureState = STATE_CAPTURING;
  Set(SET_CAPTURE_MODE, 2);
  lists_[SET_CAPTURE_MODE].count = 3;
  lists_[SET_CAPTURE_MODE].index = 2;
  Bytes frame = Uyvy(64, 48, 90);
  FrameDesc d = Desc(frame, FORMAT_UYVY, 64, 48);

  // Plain series: the first still frame is the shot.
  g_App.FramesRemaining = 1;
  g_App.camera.MoreFrames = 1;
  OnFrame(&d, 0);
  EXPECT_TRUE(Saved());
  EXPECT_EQ(g_App.FramesRemaining, 0u);
  EXPECT_TRUE(Done());

  // Motion trigger: a frame like the reference waits, a changed one is saved and becomes it.
  Forget();
  Bytes reference = frame;
  g_App.ReferenceBuffer = reference.data();
  g_App.referenceBytes = uint32_t(reference.size());
  Set(SET_MOTION_MODE, 2);
  Set(SET_MOTION_THRESHOLD, 20);
  Set(SET_MOTION_PERCENT, 10);
  g_App.FramesRemaining = 1;
  g_App.camera.MoreFrames = 1;
  OnFrame(&d, 0);
  EXPECT_FALSE(Saved());
  EXPECT_EQ(g_App.camera.MoreFrames, 1);
  EXPECT_FALSE(Done());
  Bytes moved = Uyvy(64, 48, 200);
  FrameDesc m = Desc(moved, FORMAT_UYVY, 64, 48);
  OnFrame(&m, 0);
  EXPECT_TRUE(Saved());
  EXPECT_EQ(reference[1], 200) << "the saved frame is the new reference";
  EXPECT_EQ(g_App.camera.MoreFrames, 0);
  EXPECT_TRUE(Done());

  // Averaging four frames: the fourth is replaced by their mean and saved; then the count is 0.
  Forget();
  Set(SET_MOTION_MODE, 0);
  Set(SET_AVERAGING, 1);
  Set(SET_AVERAGE_FRAMES, 2);
  reference.assign(64 * 48 * 3 / 2, 0);
  g_App.ReferenceBuffer = reference.data();
  g_App.referenceBytes = uint32_t(reference.size());
  std::memset(g_App.EncodeBuffer.pixels, 0, reference.size());
  g_App.FramesRemaining = 4;
  g_App.camera.MoreFrames = 1;
  for (uint8_t y : {10, 20, 30, 40}) {
    EXPECT_FALSE(Done());
    // YV12, which the encoder reads without rewriting, so the averaged frame can be seen.
    Bytes shot(64 * 48 * 3 / 2, 128);
    std::fill_n(shot.begin(), 64 * 48, y);
    FrameDesc f = Desc(shot, FORMAT_YV12, 64, 48);
    OnFrame(&f, 0);
    if (y == 40) {
      EXPECT_EQ(shot[0], 25) << "the saved frame holds the mean";
      EXPECT_EQ(shot[64 * 48], 128);
    }
  }
  EXPECT_TRUE(Saved());
  EXPECT_EQ(g_App.FramesRemaining, 0u);
  EXPECT_TRUE(Done());

  // A frame larger than the series' buffers fails the shot instead of writing past them.
  Forget();
  g_App.referenceBytes = 16;
  g_App.FramesRemaining = 2;
  g_App.camera.MoreFrames = 1;
  OnFrame(&d, 0);
  EXPECT_EQ(g_App.camera.StillFailed, 1);
  EXPECT_TRUE(Done());
}

LRESULT CALLBACK PlainWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

// The recording ends on the main thread: the frame thread marks it failed and tells the main
// window, once.
TEST_F(Pipeline, AFailedRecordingWriteMarksItFailedAndTellsTheWindowOnce) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = PlainWindow;
  wc.lpszClassName = u"PipelineTest";
  RegisterClassW(&wc);
  g_App.MainWindow = CreateWindowExW(0, u"PipelineTest", u"p", 0, 0, 0, 240, 320, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(g_App.MainWindow, nullptr);
  AviWriter *writer = CreateAviWriter();
  g_App.recorder.writer = writer;
  g_App.recorder.kind = RECORD_AVI;
  g_App.captureState = STATE_CAPTURING;
  lists_[SET_CAPTURE_MODE].count = 3;
  lists_[SET_CAPTURE_MODE].index = 1;
  writer->frameInterval = 100;
  writer->slotsFilled = 1;  // the recording is under way; no encoder is configured
  Bytes frame = Uyvy(16, 16, 50);
  FrameDesc d = Desc(frame, FORMAT_UYVY, 16, 16);
  OnFrame(&d, 0);
  OnFrame(&d, 0);
  EXPECT_EQ(g_App.recorder.failed, 1);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, g_App.MainWindow, WM_APP, WM_APP, PM_REMOVE));
  EXPECT_EQ(msg.wParam, WPARAM(CAPTURE_FAILED));
  EXPECT_FALSE(PeekMessageW(&msg, g_App.MainWindow, 0, 0, PM_REMOVE));
  DestroyAviWriter(writer);
  DestroyWindow(g_App.MainWindow);
  g_App.MainWindow = nullptr;
}

// What a frame does in each capture state when it is not a still: the preview is drawn in
// Preview and About, and in Dialog only while recording video; nothing else draws it.
TEST_F(Pipeline, EachCaptureStateDrawsThePreviewOrLeavesIt) {
  g_App.FullScreen = 1;
  Set(SET_PHOTO_PREVIEW_MODE, PREVIEW_GREY);
  Set(SET_VIDEO_PREVIEW_MODE, PREVIEW_GREY);
  Set(SET_MOUNTING, 1);
  lists_[SET_CAPTURE_MODE].count = 3;
  struct Case {
    int32_t state, kind;
    bool drawn;
  } cases[] = {
      {STATE_PREVIEW, 0, true},   {STATE_ABOUT, 2, true},      {STATE_DIALOG, 0, false}, {STATE_DIALOG, 2, false},
      {STATE_DIALOG, 1, true},    {STATE_CAPTURING, 0, false}, {STATE_CAPTURING, 1, false},  // no AVI writer
      {STATE_CAPTURING, 2, false}, {7, 0, false},
  };
  Bytes white = Uyvy(240, 320, 255);
  FrameDesc d = Desc(white, FORMAT_UYVY, 240, 320);
  uint32_t tick = 1000;
  for (const Case &c : cases) {
    std::fill_n(g_App.PreviewPicture.pixels, 240 * 320, uint16_t(0x1234));
    g_App.captureState = c.state;
    lists_[SET_CAPTURE_MODE].index = c.kind;
    platform::setTickCount(tick += 1000);
    OnFrame(&d, 0);
    EXPECT_EQ(g_App.PreviewPicture.pixels[0], c.drawn ? 0xFFFF : 0x1234) << "state " << c.state << " kind " << c.kind;
    EXPECT_FALSE(Done());
  }
}

TEST_F(Pipeline, AnUnchangedScreenIsNotANewPicture) {
  AviWriter *writer = CreateAviWriter();
  g_App.recorder.writer = writer;
  g_App.ScreenCaptureMode = 1;
  g_App.captureState = STATE_CAPTURING;
  lists_[SET_CAPTURE_MODE].count = 3;
  lists_[SET_CAPTURE_MODE].index = 1;
  Bytes frame = {1, 0, 0, 0, 2, 0, 0, 0, 4, 0, 0, 0};
  FrameDesc d = Desc(frame, FORMAT_RGB565, 6, 1);
  OnFrame(&d, 0);
  EXPECT_EQ(g_App.FrameChecksum, 7u);
  EXPECT_EQ(g_App.NewFrame, 1) << "nothing written yet";
  writer->lastChunkPos = 348;
  writer->writtenChecksum = 7;
  OnFrame(&d, 0);
  EXPECT_EQ(g_App.NewFrame, 0);
  DestroyAviWriter(writer);
}

}  // namespace

namespace {

// The frame thread converts into PreviewPicture while another thread composes from it: the
// compose flag keeps them apart (the thread sanitizer checks this), and neither waits forever.
TEST_F(Pipeline, ComposersAndTheFrameThreadShareThePreviewPicture) {
  ASSERT_TRUE(SetPictureSize(&g_App.ScreenPicture, 240, 320));
  g_App.MainWindow = reinterpret_cast<HWND>(&g_App);  // any window: the display itself is not open
  g_App.FullScreen = 1;
  Set(SET_PHOTO_PREVIEW_MODE, PREVIEW_COLOUR);
  Set(SET_MOUNTING, 1);
  Bytes white = Uyvy(240, 320, 255);
  FrameDesc w = Desc(white, FORMAT_UYVY, 240, 320);
  std::thread composer([] {
    for (int i = 0; i < 300; ++i) {
      ComposeAndBlit();
      if (i % 50 == 0) ClearPreview();
    }
  });
  for (int i = 0; i < 300; ++i) DrawPreview(&w, 1);
  composer.join();
  DrawPreview(&w, 1);
  EXPECT_EQ(std::memcmp(g_App.ScreenPicture.pixels, g_App.PreviewPicture.pixels, 240 * 320 * 2), 0);
  EXPECT_EQ(g_App.ScreenPicture.pixels[0], 0xFFFF);
  EXPECT_EQ(g_App.ComposeBusy, 0);
  g_App.MainWindow = nullptr;
  FreePicture(&g_App.ScreenPicture);
}

}  // namespace
