// The Camera against a recording source: choosing the source, opening, which options reach the
// device and when the stream restarts, the stream record, and the still handshake with the
// frame pipeline.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "camera/camera_options.h"
#include "camera/directshow_source.h"
#include "camera/dsc_source.h"
#include "camera/lcm_source.h"
#include "camera/screen_source.h"
#include "camera/vendor_source.h"
#include "camera_state.h"
#include "capture/encoder.h"
#include "device/cursor.h"
#include "frame_sink.h"

namespace {

constexpr uint32_t UYVY = FORMAT_UYVY;

// What the recording source did, one entry per call: "open 1", "start 2", "prop 4=5", ...
struct Fake {
  std::vector<std::string> calls;
  std::vector<SizeEntry> still{{640, 480, UYVY}, {1280, 960, UYVY}};
  std::vector<SizeEntry> preview{{320, 240, UYVY}, {640, 480, UYVY}};
  uint32_t openResult = 1, enumResult = 1, startResult = 1, propertyResult = 1, formatResult = 1, stillResult = 1;
  uint32_t stillFormatResult = 1;  // what a format with the still flag gets
  bool enumEntryOk = true;  // every EnumSizes came with a capacity of 16 and 16384 x 16384
  StreamParams params{};
  bool pipeline = false;  // answers a still stream (or a taken still) as the frame pipeline would
  std::thread answer;
};
Fake *g_fake;

void Log(const std::string &s) { g_fake->calls.push_back(s); }

uint32_t FakeOpen(uintptr_t mode, uintptr_t, uintptr_t, uintptr_t) {
  Log("open " + std::to_string(*reinterpret_cast<uint32_t *>(mode)) + (device::waitCursorShown() ? " waiting" : ""));
  return g_fake->openResult;
}
uint32_t FakeStart(uintptr_t p, uintptr_t, uintptr_t, uintptr_t) {
  g_fake->params = *reinterpret_cast<StreamParams *>(p);
  Log("start " + std::to_string(g_fake->params.kind));
  const uint32_t kind = g_fake->params.kind;
  if (g_fake->pipeline && (kind == STREAM_STILL || kind == STREAM_REPEATED_STILL))
    g_fake->answer = std::thread([] {
      Camera &c = g_App.camera;
      while (!c.MoreFrames) std::this_thread::yield();
      c.StillFailed = 0;
      c.MoreFrames = 0;
      SetEvent(c.StillDoneEvent);
    });
  return g_fake->startResult;
}
uint32_t FakeStop(uintptr_t, uintptr_t, uintptr_t, uintptr_t) {
  if (g_fake->answer.joinable()) g_fake->answer.join();
  Log("stop");
  return 1;
}
uint32_t FakeClose(uintptr_t, uintptr_t, uintptr_t, uintptr_t) {
  Log("close");
  return 1;
}
uint32_t FakeProperty(uintptr_t id, uintptr_t value, uintptr_t, uintptr_t) {
  Log("prop " + std::to_string(id) + "=" + std::to_string(value));
  return g_fake->propertyResult;
}
uint32_t FakeFlash(uintptr_t command, uintptr_t, uintptr_t, uintptr_t) {
  Log("flash " + std::to_string(command));
  return 1;
}
uint32_t FakeEnum(uintptr_t array, uintptr_t count, uintptr_t, uintptr_t still) {
  auto *sizes = reinterpret_cast<SizeEntry *>(array);
  auto *n = reinterpret_cast<uint32_t *>(count);
  g_fake->enumEntryOk &= *n == 16 && sizes[0].width == 16384 && sizes[0].height == 16384;
  const std::vector<SizeEntry> &offered = still ? g_fake->still : g_fake->preview;
  *n = uint32_t(offered.size());
  for (size_t i = 0; i < offered.size(); ++i) sizes[i] = offered[i];
  Log(still ? "sizes still" : "sizes preview");
  return g_fake->enumResult;
}
uint32_t FakeFormat(uintptr_t entry, uintptr_t still, uintptr_t, uintptr_t) {
  const SizeEntry &e = *reinterpret_cast<SizeEntry *>(entry);
  Log("format " + std::to_string(e.width) + "x" + std::to_string(e.height) + " " + std::to_string(still));
  return still ? g_fake->stillFormatResult : g_fake->formatResult;
}

// The still path of DirectShow: the still comes on its own, without a still stream.
uint32_t FakeTakeStill(uintptr_t, uintptr_t, uintptr_t, uintptr_t) {
  Log("take still");
  if (g_fake->pipeline && g_fake->stillResult)
    g_fake->answer = std::thread([] {
      g_App.camera.StillFailed = 0;
      SetEvent(g_App.camera.StillDoneEvent);
    });
  return g_fake->stillResult;
}

SourceOps MakeOps(bool withFormat, bool withFlash) {
  SourceOps ops{};
  ops.Open = FakeOpen, ops.Start = FakeStart, ops.Stop = FakeStop, ops.Close = FakeClose;
  ops.SetProperty = FakeProperty, ops.EnumSizes = FakeEnum;
  if (withFormat) ops.SetFormat = FakeFormat;
  if (withFlash) ops.FlashLight = FakeFlash;
  return ops;
}
const SourceOps kPlain = MakeOps(false, true), kWithFormat = MakeOps(true, true), kNoFlash = MakeOps(false, false);
const SourceOps kStillPath = [] {
  SourceOps ops = MakeOps(true, false);
  ops.TakeStill = FakeTakeStill;
  return ops;
}();

const SourceOps *const kTables[] = {&ScreenSource, &LcmDriverSource, &DscDriverSource, &VendorCameraSource,
                                     &DirectShowSource};

class CameraTest : public testing::Test {
 protected:
  void SetUp() override {
    g_fake = &fake;
    ResetCamera();
    ResetSink();
    g_App.device.modelCode = 2;
    g_App.device.osMajorVersion = 4;
    CameraInit(&g_App.device);
    g_App.camera.ops = &kPlain;
  }
  void TearDown() override {
    if (fake.answer.joinable()) fake.answer.join();
    g_fake = nullptr;
  }
  // Opens with the given ops, then forgets the calls so far.
  void Open(const SourceOps *ops = &kPlain) {
    g_App.camera.ops = ops;
    ASSERT_EQ(CameraOpen(), 1u);
    fake.calls.clear();
  }
  void OpenAndStream(const SourceOps *ops = &kPlain) {
    Open(ops);
    ASSERT_EQ(Reconfigure(0), 1u);
    ASSERT_EQ(StartStream(), 1u);
    fake.calls.clear();
  }
  using Calls = std::vector<std::string>;
  Fake fake;
};

TEST(ChooseSource, FirstMatchingRuleWins) {
  struct Case {
    const char *name;
    uint32_t model, vendor, os;
    bool screen;
    SourceKind kind;
  } const cases[] = {
      {"screen-capture mode on any device", 0, 1, 5, true, SOURCE_SCREEN},
      {"model 0 drives LCM1: even with the vendor library", 0, 1, 5, false, SOURCE_LCM_DRIVER},
      {"model 14 drives DSC1:", 14, 1, 5, false, SOURCE_DSC_DRIVER},
      {"the vendor library", 9, 1, 5, false, SOURCE_VENDOR},
      {"Windows Mobile 5 reaches DirectShow", 24, 0, 5, false, SOURCE_DIRECTSHOW},
      {"an unknown device on an older system", 24, 0, 4, false, SOURCE_SCREEN},
  };
  setenv("HANDSET_PROGRAM_DIR", PELKAVO_PROGRAM_DIR, 1);  // where "dsgrab.dll" is
  for (const Case &c : cases) {
    DeviceRecord d{};
    d.modelCode = c.model, d.vendorLibrary = c.vendor, d.osMajorVersion = c.os;
    EXPECT_EQ(ChooseSource(d, c.screen), c.kind) << c.name;
    ResetCamera();
    g_App.ScreenCaptureMode = c.screen;
    EXPECT_EQ(CameraInit(&d), 1u);
    EXPECT_EQ(g_App.camera.ops, kTables[c.kind]) << c.name;
    EXPECT_EQ(g_CameraSource, c.kind) << c.name;
    // Screen capture (and model 14) leave only "4:3" in both aspect lists.
    EXPECT_EQ(g_App.camera.StillAspect.count, c.screen || c.model == 14 ? 1u : 5u) << c.name;
  }
  ReleaseCaptureLibrary();
  unsetenv("HANDSET_PROGRAM_DIR");
}

// DirectShow needs "dsgrab.dll" beside the program; without it the handset runs on the screen,
// and nothing of a library that was not bound stays loaded.
TEST(ChooseSource, WithoutTheCaptureLibraryDirectShowFallsBackToTheScreen) {
  const std::string empty = testing::TempDir() + "no-capture-library";
  std::filesystem::create_directories(empty);
  setenv("HANDSET_PROGRAM_DIR", empty.c_str(), 1);
  DeviceRecord d{};
  d.modelCode = 24, d.osMajorVersion = 5;
  ResetCamera();
  EXPECT_EQ(CameraInit(&d), 1u);
  EXPECT_EQ(g_CameraSource, SOURCE_SCREEN);
  EXPECT_EQ(g_App.camera.ops, &ScreenSource);
  setenv("HANDSET_PROGRAM_DIR", PELKAVO_PROGRAM_DIR, 1);
  ResetCamera();
  EXPECT_EQ(CameraInit(&d), 1u);  // now found, and bound once for both calls
  EXPECT_EQ(BindCaptureLibrary(), 1u);
  EXPECT_EQ(g_CameraSource, SOURCE_DIRECTSHOW);
  ReleaseCaptureLibrary();
  unsetenv("HANDSET_PROGRAM_DIR");
  std::filesystem::remove_all(empty);
}

TEST_F(CameraTest, OpenLearnsTheSizesAndBuildsTheLists) {
  g_App.camera.CameraMode.index = 1;
  g_App.camera.zoomStep = 3;
  ASSERT_EQ(CameraOpen(), 1u);
  EXPECT_EQ(fake.calls, (Calls{"open 2", "sizes still", "sizes preview"}));
  EXPECT_TRUE(fake.enumEntryOk);
  Camera &c = g_App.camera;
  EXPECT_TRUE(c.opened);
  EXPECT_FALSE(c.streaming);
  EXPECT_EQ(c.zoomStep, 0);
  EXPECT_EQ(c.StillSize.count, 2u);
  EXPECT_STREQ(c.StillSize.table[1].label, "1280 x 960");
  EXPECT_EQ(c.PreviewSize.count, 2u);
  EXPECT_EQ(c.previewBase.width, 320u);  // 320 x 240 preferred
  // The encoders' buffer holds the worst case of the widest still.
  EXPECT_GE(g_App.EncodeBuffer.capacity, EncodeBufferBytes(1280, 960));
  fake.calls.clear();
  EXPECT_EQ(CameraOpen(), 1u);  // already open
  EXPECT_TRUE(fake.calls.empty());
}

TEST_F(CameraTest, PreviewBaseIsTheLargestWithoutThePreferredSizeAndVgaOnPxaCameras) {
  fake.preview = {{176, 144, UYVY}, {640, 480, UYVY}, {352, 288, UYVY}};
  ASSERT_EQ(CameraOpen(), 1u);
  EXPECT_EQ(g_App.camera.previewBase.width, 640u);
  CameraClose();
  fake.preview = {{320, 240, UYVY}, {640, 480, UYVY}};
  g_App.device.pxa27x = 1;
  g_CameraSource = SOURCE_VENDOR;
  ASSERT_EQ(CameraOpen(), 1u);
  EXPECT_EQ(g_App.camera.previewBase.width, 640u);
  g_CameraSource = SOURCE_SCREEN;
}

TEST_F(CameraTest, OpenFailures) {
  fake.openResult = 0;
  EXPECT_EQ(CameraOpen(), 0u);
  EXPECT_EQ(fake.calls, (Calls{"open 1"}));
  fake.openResult = 1;
  const struct {
    const char *name;
    std::vector<SizeEntry> still;
    uint32_t enumResult;
    Calls calls;
  } cases[] = {
      {"no still sizes", {}, 1, {"open 1", "sizes still", "close"}},
      {"sizes refused", {{640, 480, UYVY}}, 0, {"open 1", "sizes still", "close"}},
      {"no encode buffer for the widest still", {{65520, 65520, UYVY}}, 1,
       {"open 1", "sizes still", "sizes preview", "close"}},
  };
  for (const auto &k : cases) {
    fake.calls.clear();
    fake.still = k.still;
    fake.enumResult = k.enumResult;
    EXPECT_EQ(CameraOpen(), 0u) << k.name;
    EXPECT_EQ(fake.calls, k.calls) << k.name;
    EXPECT_FALSE(g_App.camera.opened) << k.name;
  }
  fake.calls.clear();
  EXPECT_EQ(CameraClose(), 0u);  // nothing open
  EXPECT_TRUE(fake.calls.empty());
}

TEST_F(CameraTest, TheWaitCursorIsUpWhileTheSourceOpensOnlyWhenTheWindowExists) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = u"CameraCursorTest";
  ASSERT_NE(RegisterClassW(&wc), 0);
  const HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW);
  SetCursor(arrow);
  device::clearWaitCursorChanges();
  for (bool window : {false, true}) {
    for (uint32_t result : {1u, 0u}) {
      SCOPED_TRACE(std::string(window ? "window" : "no window") + (result ? ", opens" : ", fails"));
      g_App.MainWindow = window ? CreateWindowExW(0, u"CameraCursorTest", u"camera", WS_VISIBLE, 0, 0, 240, 320,
                                                  nullptr, nullptr, nullptr, nullptr)
                                : nullptr;
      fake.openResult = result;
      fake.calls.clear();
      EXPECT_EQ(CameraOpen(), result);
      ASSERT_FALSE(fake.calls.empty());
      EXPECT_EQ(fake.calls[0], window ? "open 1 waiting" : "open 1");
      EXPECT_EQ(GetCursor(), arrow);  // the cursor from before is back
      const std::vector<bool> expected = window ? std::vector<bool>{true, false} : std::vector<bool>{};
      EXPECT_EQ(device::waitCursorChanges(), expected);
      device::clearWaitCursorChanges();
      CameraClose();
      if (g_App.MainWindow) DestroyWindow(g_App.MainWindow);
    }
  }
  g_App.MainWindow = nullptr;
  SetCursor(nullptr);
  UnregisterClassW(u"CameraCursorTest", nullptr);
}

TEST_F(CameraTest, ApplyAllOptionsSendsOnlyWhatTheUserChose) {
  Camera &c = g_App.camera;
  Open();
  ApplyAllOptions();
  EXPECT_TRUE(fake.calls.empty());
  c.Prop4.index = 2;     // value 3
  c.Prop1.index = 2;     // value 4
  c.Prop10Alt.index = 1;  // value 128
  c.Prop5.index = 0;     // value 1
  ApplyAllOptions();
  EXPECT_EQ(fake.calls, (Calls{"prop 5=1", "prop 4=3", "prop 1=4", "prop 10=128"}));
}

TEST_F(CameraTest, ModelsElevenFourteenAndFiveAtOpen) {
  struct Case {
    uint32_t model, propertyResult;
    Calls calls;
    uint32_t prop5Count;
  } const cases[] = {
      {11, 1, {"prop 69=0", "prop 75=0", "prop 65=1", "prop 4=1"}, 9},
      {14, 1, {"prop 5=0"}, 9},  // Prop4 (values 0 to 6) goes out under id 5
      {5, 1, {"prop 5=120", "prop 4=1"}, 18},
      {5, 0, {"prop 5=120", "prop 4=1"}, 9},  // the probe was refused
  };
  for (const Case &k : cases) {
    ResetCamera();
    g_App.device.modelCode = k.model;
    CameraInit(&g_App.device);
    g_App.camera.ops = &kPlain;
    g_App.camera.Prop4.index = 0;
    fake.calls.clear();
    fake.propertyResult = k.propertyResult;
    ASSERT_EQ(CameraOpen(), 1u);
    fake.calls.erase(fake.calls.begin(), fake.calls.begin() + 3);  // open and sizes
    EXPECT_EQ(fake.calls, k.calls) << "model " << k.model;
    EXPECT_EQ(g_App.camera.Prop5.count, k.prop5Count) << "model " << k.model;
  }
  // Model 11 leaves the narrow stills out of its list, but never all of them.
  CameraClose();
  g_App.device.modelCode = 11;
  fake.still = {{352, 288, UYVY}, {176, 144, UYVY}};
  ASSERT_EQ(CameraOpen(), 1u);
  EXPECT_EQ(g_App.camera.StillSize.count, 2u);
}

TEST_F(CameraTest, ApplyOptionRestartsOrReopensOnlyWhereTheDeviceNeedsIt) {
  Camera &c = g_App.camera;
  EXPECT_EQ(ApplyOption(&c.Prop4), 0u);  // closed: nothing sent
  EXPECT_TRUE(fake.calls.empty());

  OpenAndStream();
  c.Prop4.index = 1;
  EXPECT_EQ(ApplyOption(&c.Prop4), 1u);
  EXPECT_EQ(fake.calls, (Calls{"prop 4=2"}));

  fake.calls.clear();
  c.Prop1.index = 1;
  EXPECT_EQ(ApplyOption(&c.Prop1), 1u);
  EXPECT_EQ(fake.calls, (Calls{"stop", "prop 1=2", "start 0"}));

  fake.calls.clear();
  c.Prop10Alt.index = 1;
  EXPECT_EQ(ApplyOption(&c.Prop10Alt), 1u);
  EXPECT_EQ(fake.calls, (Calls{"stop", "prop 10=128", "start 0"}));
  EXPECT_EQ(OptionValue(c.Prop10), 128);  // row 0 of Prop10 follows Prop10Alt

  fake.calls.clear();
  c.Prop10.index = 0;
  EXPECT_EQ(ApplyOption(&c.Prop10), 1u);
  // Reopened: sizes again, the user's choices again, then the property and the stream.
  EXPECT_EQ(fake.calls, (Calls{"stop", "close", "open 1", "sizes still", "sizes preview", "prop 4=2", "prop 1=2",
                               "prop 10=128", "prop 10=128", "start 0"}));
  EXPECT_TRUE(c.opened && c.streaming);

  // A reopen that fails leaves the camera closed and stopped.
  fake.calls.clear();
  fake.openResult = 0;
  EXPECT_EQ(ApplyOption(&c.Prop10), 1u);
  EXPECT_EQ(fake.calls, (Calls{"stop", "close", "open 1"}));
  EXPECT_FALSE(c.opened || c.streaming);
}

TEST_F(CameraTest, TheStreamRecordFollowsTheGeometry) {
  Open(&kWithFormat);
  Camera &c = g_App.camera;
  c.PreviewAspect.index = 2;  // 16:9 crops 320 x 176 at y 32
  ASSERT_EQ(Reconfigure(0), 1u);
  EXPECT_TRUE(fake.calls.empty());  // not streaming: the geometry is only noted
  ASSERT_EQ(StartStream(), 1u);
  EXPECT_EQ(fake.calls, (Calls{"format 320x240 0", "start 0"}));
  const StreamParams &p = fake.params;
  EXPECT_EQ(p.exposure, 2u);
  EXPECT_EQ(p.captureWidth, 320u);
  EXPECT_EQ(p.cropLeft, 0u);
  EXPECT_EQ(p.cropTop, 32u);
  EXPECT_EQ(p.cropRight, 319u);
  EXPECT_EQ(p.cropBottom, 207u);
  EXPECT_EQ(p.cropBottom2, 207u);
  EXPECT_EQ(p.one, 1u);
  EXPECT_EQ(p.displayBottom, 239u);
  EXPECT_EQ(p.displayRight, 319u);
  ASSERT_NE(p.callback, nullptr);
  EXPECT_EQ(p.callback(nullptr, 0), 1u);
  EXPECT_EQ(StartStream(), 1u);  // already streaming
  EXPECT_EQ(fake.calls.size(), 2u);

  // The same geometry needs no restart; another does.
  fake.calls.clear();
  EXPECT_EQ(Reconfigure(0), 1u);
  EXPECT_TRUE(fake.calls.empty());
  c.PreviewAspect.index = 0;
  EXPECT_EQ(Reconfigure(0), 1u);
  EXPECT_EQ(fake.calls, (Calls{"stop", "format 320x240 0", "start 0"}));

  // A refused format stops before Start.
  fake.calls.clear();
  fake.formatResult = 0;
  c.PreviewSize.index = 1;
  EXPECT_EQ(Reconfigure(0), 0u);
  EXPECT_EQ(fake.calls, (Calls{"stop", "format 640x480 0"}));
  EXPECT_FALSE(c.streaming);
}

TEST_F(CameraTest, ExposureChangesRestartTheStream) {
  OpenAndStream();
  EXPECT_EQ(ApplyExposure(), 0u);
  g_App.camera.ExposurePreview.index = 1;
  EXPECT_EQ(ApplyExposure(), 1u);
  EXPECT_EQ(fake.calls, (Calls{"stop", "start 0"}));
  EXPECT_EQ(fake.params.exposure, 4u);
}

TEST_F(CameraTest, FlashFiresWithAStillStreamAndLowersItsExposure) {
  Camera &c = g_App.camera;
  EXPECT_EQ(SetFlashLight(1), 0u);  // flash option off
  c.Flash.index = 1;
  OpenAndStream();
  fake.pipeline = true;
  EXPECT_EQ(CameraCapture(0, 0, 5000), 1u);
  // The still stream starts with the still exposure minus one and the light on.
  ASSERT_GE(fake.calls.size(), 3u);
  EXPECT_EQ(fake.calls[0], "stop");
  EXPECT_EQ(fake.calls[1], "start 2");
  EXPECT_EQ(fake.calls[2], "flash 3");
  EXPECT_EQ(fake.params.exposure, 3u);
  c.ops = &kNoFlash;
  EXPECT_EQ(SetFlashLight(0), 0u);  // no light to switch
}

TEST_F(CameraTest, CaptureWaitsForThePipelineAndReturnsToThePreview) {
  OpenAndStream();
  fake.pipeline = true;
  Camera &c = g_App.camera;
  EXPECT_EQ(CameraCapture(1, 0, 5000), 1u);
  // A still stream at the still size (no fitting: a still is requested), then the preview at
  // the preview base size with the still's framing.
  EXPECT_EQ(fake.calls, (Calls{"stop", "start 2", "stop", "start 0"}));
  EXPECT_EQ(fake.params.captureWidth, 320u);
  EXPECT_EQ(c.activeKind, uint32_t(STREAM_PREVIEW));
  EXPECT_FALSE(c.StillFailed);

  fake.calls.clear();
  EXPECT_EQ(CameraCapture(0, 1, 5000), 1u);  // repeated still, preview not restored
  EXPECT_EQ(fake.calls, (Calls{"stop", "start 8"}));
  EXPECT_EQ(c.activeKind, uint32_t(STREAM_REPEATED_STILL));
}

TEST_F(CameraTest, AStillThatNeverArrivesFailsAndRestoresThePreview) {
  OpenAndStream();
  Camera &c = g_App.camera;
  EXPECT_EQ(CameraCapture(0, 0, 50), 0u);
  EXPECT_EQ(fake.calls, (Calls{"stop", "start 2", "stop", "start 0"}));
  EXPECT_TRUE(c.StillFailed);
  EXPECT_FALSE(c.MoreFrames);  // the next preview frame is not taken for the still
}

TEST_F(CameraTest, ARefusedStillFallsBackAndLeavesNoStillPending) {
  OpenAndStream(&kWithFormat);
  Camera &c = g_App.camera;
  fake.formatResult = 0;
  EXPECT_EQ(CameraCapture(0, 1, 5000), 0u);
  EXPECT_EQ(fake.calls, (Calls{"stop", "format 640x480 0"}));
  EXPECT_EQ(g_sink.fallbacks, 1u);
  EXPECT_EQ(c.requestedKind, uint32_t(STREAM_PREVIEW));
  EXPECT_FALSE(c.repeat);
  EXPECT_FALSE(c.MoreFrames);
  EXPECT_TRUE(c.StillFailed);
}

TEST_F(CameraTest, AStillOnAStoppedCameraFailsAndIsNotTakenLater) {
  Open();
  Camera &c = g_App.camera;
  EXPECT_EQ(CameraCapture(1, 1, 20), 0u);
  EXPECT_TRUE(fake.calls.empty());
  // The preview that starts next is a preview, not the still that never came.
  ASSERT_EQ(StartStream(), 1u);
  EXPECT_EQ(fake.calls, (Calls{"start 0"}));
  EXPECT_FALSE(c.MoreFrames);
}

// On DirectShow the still is taken at the still size beside the running preview; the graph is
// stopped and run again at the preview's format afterwards, whatever became of the still. A
// refusal of the still format or of the still itself falls back; a still that never comes
// does not.
TEST_F(CameraTest, DirectShowTakesTheStillOnItsOwnPathAndRunsThePreviewAgain) {
  g_CameraSource = SOURCE_DIRECTSHOW;
  OpenAndStream(&kStillPath);
  const Calls restart{"stop", "format 320x240 0", "start 0"};
  auto withRestart = [&](Calls calls) {
    calls.insert(calls.end(), restart.begin(), restart.end());
    return calls;
  };
  struct {
    const char *name;
    uint32_t formatResult, stillResult;
    bool pipeline;
    uint32_t result, fallbacks;
    Calls calls;
  } const cases[] = {
      {"the still arrives", 1, 1, true, 1, 0, withRestart({"format 1280x960 1", "take still"})},
      {"the still never comes", 1, 1, false, 0, 0, withRestart({"format 1280x960 1", "take still"})},
      {"the still is refused", 1, 0, true, 0, 1, withRestart({"format 1280x960 1", "take still"})},
      {"the still format is refused", 0, 1, true, 0, 1, withRestart({"format 1280x960 1"})},
  };
  g_App.camera.StillSize.index = 1;
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    ResetSink();
    fake.calls.clear();
    fake.stillFormatResult = c.formatResult, fake.stillResult = c.stillResult, fake.pipeline = c.pipeline;
    const uint32_t result = CameraCapture(1, 0, 50);
    if (fake.answer.joinable()) fake.answer.join();
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(g_sink.fallbacks, c.fallbacks);
    EXPECT_EQ(fake.calls, c.calls);
    EXPECT_TRUE(g_App.camera.streaming);
    EXPECT_FALSE(g_App.camera.MoreFrames);
  }
  g_CameraSource = SOURCE_SCREEN;
}

TEST_F(CameraTest, CloseStopsFirst) {
  OpenAndStream();
  EXPECT_EQ(CameraClose(), 1u);
  EXPECT_EQ(fake.calls, (Calls{"stop", "close"}));
  EXPECT_FALSE(g_App.camera.opened || g_App.camera.streaming);
  EXPECT_EQ(CameraClose(), 0u);
}

}  // namespace
