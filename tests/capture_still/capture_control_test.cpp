// Capture control on an emulated handset without a camera (the screen source's colour bars go
// through the real frame pipeline, encoder and files): photos, recordings and the free space
// they need, interval series of each kind, a series that ends itself on a failed shot, a series
// whose thread hangs and is ended; and, over a camera, switching to another program and back.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "app/capture_control.h"
#include "app/config.h"
#include "app/detect.h"
#include "app/menus.h"
#include "app/settings.h"
#include "app/winproc.h"
#include "avi_check.h"
#include "camera/camera.h"
#include "camera/geometry.h"
#include "capture/recorder.h"
#include "capture/still.h"
#include "handset.h"
#include "pictures.h"
#include "pipeline/preview.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

LRESULT CALLBACK IgnoreAll(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

// Waits up to seconds for the condition.
std::vector<uint8_t> Read(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

template <class Condition>
bool WaitFor(Condition condition, int seconds) {
  const auto deadline = Clock::now() + std::chrono::seconds(seconds);
  while (!condition()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

class CaptureControl : public StillHandset {
 protected:
  void SetUp() override {
    StillHandset::SetUp();
    useProfile(profileLines());
    // A class per window procedure: a class stays registered from one test to the next.
    const bool program = programWindow();
    const char16_t *name = program ? u"CaptureControlProgram" : u"CaptureControlTest";
    WNDCLASSW wc{};
    wc.lpfnWndProc = program ? MainWindowProc : IgnoreAll;
    wc.lpszClassName = name;
    RegisterClassW(&wc);
    g_App.MainWindow = CreateWindowExW(0, name, u"t", 0, 0, 0, 240, 320, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(g_App.MainWindow, nullptr);
    DetectDevice(&g_App.device);
    BindEncoders(g_App.device);
    g_App.camera.StillDoneEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_App.currentFile = path_;
    CameraInit(&g_App.device);
    BuildOptionLists(g_App.device, false);
    SetPictureSize(&g_App.PreviewPicture, g_App.device.width, g_App.device.height);
    SetPictureSize(&g_App.ScreenPicture, g_App.device.width, g_App.device.height);
  }

  void TearDown() override {
    if (g_App.intervalThread) StopInterval();
    CameraClose();
    FinishRecorder(&g_App.recorder, RECORDING_KEEP, 1);
    FreeRecorderBuffers(&g_App.recorder);
    DestroyWindow(g_App.MainWindow);
    CloseHandle(g_App.camera.StillDoneEvent);
    std::free(g_App.ReferenceBuffer);
    FreePicture(&g_App.PreviewPicture);
    FreePicture(&g_App.ScreenPicture);
    FreePicture(&g_App.EncodeBuffer);
    StillHandset::TearDown();
  }

  // The vendor encoder and no PXA27x: every picture goes through JPEGENC.dll.
  virtual std::string profileLines() { return "system_library = JPEGENC.dll\n"; }
  // Whether the main window has the program's own window procedure (else one that ignores all).
  virtual bool programWindow() { return false; }

  // The preview running as after start-up.
  void startPreview(uint32_t mode) {
    g_App.settings[SET_CAPTURE_MODE]->index = int32_t(mode);
    ASSERT_NE(CameraOpen(), 0u);
    const uint32_t still = mode != 1;
    StepZoom(0, still);
    Reconfigure(still);
    ASSERT_NE(StartStream(), 0u);
    g_App.captureState = STATE_PREVIEW;
  }

  std::vector<std::string> pictures() const {
    std::vector<std::string> names;
    const fs::path folder = root_ / "My Documents" / "My Pictures";
    if (fs::exists(folder))
      for (const auto &entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  static void StopSourceForTest() {
    g_App.camera.streaming = 0;
    g_App.camera.ops->Stop(0, 0, 0, 0);
  }

  static bool MessagePosted(WPARAM code) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
      if (msg.message == WM_APP && msg.wParam == code) return true;
    return false;
  }

  // The host file of a handset path.
  fs::path hostFile(const WCHAR *handsetPath) const {
    std::string name;
    for (const char16_t *p = handsetPath; *p; ++p) name += *p == u'\\' ? '/' : char(*p);
    return root_.string() + name;
  }

  // Pictures the recording holds (the frame thread writes them under the writer's lock).
  static uint32_t Pictures() {
    AviWriter *writer = g_App.recorder.writer;
    std::lock_guard<std::mutex> held(writer->lock);
    return writer->newFrames;
  }
  static bool RecordedFrames(uint32_t frames) {
    return WaitFor([&] { return Pictures() >= frames; }, 30);
  }

  // Whether frames reach the preview: each one drawn records what it cost.
  static bool PreviewRuns() {
    constexpr uint32_t kNone = ~0u;
    g_App.PreviewCost = kNone;
    return WaitFor([] { return g_App.PreviewCost != kNone; }, 30);
  }

  // Start on the item of the page up.
  static void Choose(MenuPageId id, int32_t item) {
    MenuPage &page = g_App.menu.pages[id];
    ASSERT_EQ(g_App.menu.current.load(), &page);
    page.cursor = item;
    HandleCapturePage(&page, g_App.keys.vkStart);
  }

  WCHAR path_[kFilePathUnits] = {};
};

// A complete AVI file whose pictures have the size its header gives, which ffprobe reads and
// ffmpeg decodes without an error.
void ExpectPlayable(const fs::path &file) {
  SCOPED_TRACE(file.string());
  const RiffFile avi(file.string());
  const AviSummary summary = CheckAvi(avi);
  const RiffChunk *movi = avi.movi();
  ASSERT_NE(movi, nullptr);
  const uint32_t width = avi.u32(64), height = avi.u32(68);
  for (const RiffChunk &chunk : movi->children) {
    if (chunk.id != "00dc") continue;
    const std::vector<uint8_t> picture(avi.bytes().begin() + long(chunk.offset) + 8,
                                       avi.bytes().begin() + long(chunk.offset) + 8 + chunk.size);
    const Decoded d = Decode(picture);
    EXPECT_EQ(d.width, int(width)) << "the picture at " << chunk.offset;
    EXPECT_EQ(d.height, int(height)) << "the picture at " << chunk.offset;
  }
  ExpectReadable(file.string(), summary, avi.u32(32));
}

TEST_F(CaptureControl, APhotoIsSavedAndTheAfterPhotoPageComesUp) {
  startPreview(0);
  EXPECT_EQ(HandleAction(), 1u);
  EXPECT_EQ(g_App.captureState, STATE_DIALOG);
  EXPECT_EQ(g_App.menu.current.load(), &g_App.menu.pages[PAGE_AFTER_PHOTO]);
  EXPECT_TRUE(g_App.menu.shown);
  const std::vector<std::string> names = pictures();
  ASSERT_EQ(names.size(), 1u);
  const Decoded d = Decode(Read(root_ / "My Documents" / "My Pictures" / names[0]));
  EXPECT_EQ(d.width, 240);
  EXPECT_EQ(d.height, 320);
  // The Action key does nothing while the page is up.
  HandleAction();
  EXPECT_EQ(pictures().size(), 1u);
}

// No JPEGENC.dll and no PXA27x: nothing can encode.
TEST_F(CaptureControl, AFormatThatCannotBeTakenRestartsThePreviewWithAMessage) {
  startPreview(0);
  StopSourceForTest();
  FormatFallback();
  EXPECT_NE(g_App.camera.streaming, 0);
  EXPECT_STREQ(g_App.status.text.load(), "Try another format.");
  EXPECT_EQ(g_App.status.duration, 2048u);
}

// "Keep and view" on the paused page: the viewer is given the finished file, and the preview
// that goes on behind the after-recording page adds nothing to it.
TEST_F(CaptureControl, ARecordingPausedOnTheActionKeyIsKeptAndViewed) {
  MenuPage *main = &g_App.menu.pages[PAGE_MAIN];
  g_App.menu.current = main;
  startPreview(1);
  HandleAction();
  ASSERT_EQ(g_App.captureState, STATE_CAPTURING);
  EXPECT_EQ(g_App.recorder.state, RECORDER_RECORDING);
  ASSERT_TRUE(RecordedFrames(3));
  HandleAction();
  EXPECT_EQ(g_App.captureState, STATE_DIALOG);
  EXPECT_EQ(g_App.recorder.state, RECORDER_PAUSED);
  Choose(PAGE_PAUSED, 2);
  EXPECT_EQ(g_App.recorder.state, RECORDER_CLOSED);
  EXPECT_EQ(g_App.captureState, STATE_DIALOG);
  EXPECT_EQ(g_App.menu.current.load(), &g_App.menu.pages[PAGE_AFTER_RECORDING]);
  EXPECT_EQ(g_App.menu.pages[PAGE_AFTER_RECORDING].parent, main);
  const std::u16string handsetPath(g_App.recorder.path);
  EXPECT_NE(handsetPath.find(u"\\My Documents\\My Videos\\"), std::u16string::npos);
  std::ifstream log(root_ / "shell.log");
  const std::string requests(std::istreambuf_iterator<char>(log), {});
  EXPECT_EQ(requests.find("recorded\t" + std::string(handsetPath.begin(), handsetPath.end())), 0u) << requests;
  const fs::path file = hostFile(g_App.recorder.path);
  const std::vector<uint8_t> viewed = Read(file);
  g_App.FullScreen = 1;  // back from the viewer
  ASSERT_TRUE(PreviewRuns());
  EXPECT_EQ(Read(file), viewed) << "written to after it was finished";
  ExpectPlayable(file);
  // "Keep" on the after-recording page leaves the file as it is.
  Choose(PAGE_AFTER_RECORDING, 0);
  EXPECT_EQ(g_App.captureState, STATE_PREVIEW);
  EXPECT_EQ(Read(file), viewed);
}

// The free space of the volume a recording goes to bounds its size: at most 3 MiB refuses it,
// anything above leaves those 3 MiB free, and no recording grows beyond 2 GiB.
TEST_F(CaptureControl, TheFreeSpaceBoundsARecording) {
  constexpr uint64_t kMiB = 1 << 20, kGiB = kMiB << 10;
  const struct {
    const char *name;
    uint64_t free;
    uint32_t limit;  // 0: refused
  } cases[] = {
      {"exactly 3 MiB", 3 * kMiB, 0},
      {"3 MiB and a byte", 3 * kMiB + 1, 1},
      {"3 GiB", 3 * kGiB, 0x80000000u},
  };
  const char *noSpace = "no space";
  g_App.language.strings[LANG_NO_SPACE] = noSpace;
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    // The handset's own memory holds what the test left there and exactly c.free more.
    ULARGE_INTEGER available, total;
    ASSERT_TRUE(GetDiskFreeSpaceExW(u"\\", &available, &total, nullptr));
    useProfile(profileLines() + "memory = " + std::to_string(total.QuadPart - available.QuadPart + c.free) + "\n");
    ASSERT_TRUE(GetDiskFreeSpaceExW(u"\\", &available, nullptr, nullptr));
    ASSERT_EQ(available.QuadPart, c.free);
    g_App.status.text = nullptr;
    startPreview(1);
    HandleAction();
    Recorder &recorder = g_App.recorder;
    if (c.limit == 0) {
      EXPECT_EQ(g_App.captureState, STATE_PREVIEW);
      EXPECT_EQ(recorder.state, RECORDER_CLOSED);
      EXPECT_EQ(g_App.status.text.load(), noSpace);
      EXPECT_EQ(g_App.status.duration, 2000u);
      CameraClose();
      continue;
    }
    ASSERT_EQ(g_App.captureState, STATE_CAPTURING);
    EXPECT_EQ(recorder.sizeLimit, c.limit);
    EXPECT_EQ(recorder.writer->sizeLimit, c.limit);
    if (c.limit == 1) {
      // Not even the first picture fits: the recording ends itself, kept with its header.
      ASSERT_TRUE(WaitFor([] { return MessagePosted(CAPTURE_FAILED); }, 30));
      EXPECT_EQ(Pictures(), 0u);
      CaptureFinished(CAPTURE_FAILED);  // what the window procedure does with the message
      Choose(PAGE_AFTER_RECORDING, 0);    // keep
      EXPECT_EQ(g_App.captureState, STATE_PREVIEW);
      const RiffFile avi(hostFile(recorder.path).string());
      EXPECT_EQ(CheckAvi(avi).pictures, 0u);
    } else {
      ASSERT_TRUE(RecordedFrames(1));
      FinishRecorder(&recorder, RECORDING_DISCARD, 0);
    }
    CameraClose();
    g_App.captureState = STATE_PREVIEW;
  }
}

// The handset whose camera library records MP4 and 3GP itself.
class CaptureOnTheRecordingCamera : public CaptureControl {
  std::string profileLines() override {
    return "oem_info = HTC Hermes\ncamera = vendor\ncamera_largest = 1600x1200\ncamera_native = 1600x1200\n"
           "camera_jpeg = yes\nsystem_library = HTCcamera.dll\nsystem_library = JPEGENC.dll\n";
  }
};

// A recording of the second of an existing one takes the next free name of its own extension.
TEST_F(CaptureOnTheRecordingCamera, AnMp4OfTheSameSecondDoesNotOverwriteTheFirst) {
  startPreview(1);
  g_App.settings[SET_VIDEO_FORMAT]->index = 1;  // MP4
  // This second's and the next's names are taken, in case the clock moves on meanwhile.
  SYSTEMTIME now;
  GetLocalTime(&now);
  std::vector<std::string> taken;
  fs::create_directories(root_ / "My Documents" / "My Videos");
  for (int later = 0; later < 2; ++later) {
    SYSTEMTIME t = now;
    t.wSecond = WORD((now.wSecond + later) % 60);
    WCHAR name[kFilePathUnits];
    ASSERT_GT(FormatFileName(name, u"\\My Documents", false, t, u"mp4", -1), 0u);
    FILE *file = _wfopen(name, u"wb");
    ASSERT_NE(file, nullptr);
    fclose(file);
    taken.push_back(std::string(name, name + std::char_traits<char16_t>::length(name)));
  }
  HandleAction();
  ASSERT_EQ(g_App.recorder.state, RECORDER_RECORDING);
  const std::u16string path(g_App.recorder.path);
  const std::string recorded(path.begin(), path.end());
  EXPECT_NE(recorded, taken[0]);
  EXPECT_NE(recorded, taken[1]);
  EXPECT_NE(recorded.find("_01.mp4"), std::string::npos) << recorded;
  PauseRecorder(&g_App.recorder);  // ends a camera-library recording
}

// The program's own window procedure over the vendor library's camera, open and streaming:
// switching to another program gives the camera up, coming back takes it again.
class CaptureInTheBackground : public CaptureControl {
 protected:
  void SetUp() override {
    CaptureControl::SetUp();
    g_App.keys.vkStart = VK_RETURN;
    g_App.FullScreen = 1;
    g_App.releaseOnDeactivate = 1;
    g_App.started = 1;
  }
  std::string profileLines() override {
    return "oem_info = HTC Wizard\ncamera = vendor\nsystem_library = HTCcamera.dll\nsystem_library = JPEGENC.dll\n";
  }
  bool programWindow() override { return true; }
  // A preview, a recording and an interval series, each left for another program and come back to.
  void switchAwayAndBack();
  static void Activation(WPARAM how) { SendMessageW(g_App.MainWindow, WM_ACTIVATE, how, 0); }
};

void CaptureInTheBackground::switchAwayAndBack() {
  const struct {
    const char *name;
    uint32_t mode;
    CaptureState away;  // the state while the program is in the background
  } cases[] = {
      {"preview", 0, STATE_PREVIEW},
      {"recording", 1, STATE_DIALOG},  // paused, on its page
      {"interval series", 2, STATE_PREVIEW},
  };
  const Camera &camera = g_App.camera;
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    startPreview(c.mode);
    ASSERT_TRUE(PreviewRuns());
    if (c.mode != 0) {
      HandleAction();
      ASSERT_EQ(g_App.captureState, STATE_CAPTURING);
    }
    if (c.mode == 1) {
      ASSERT_TRUE(RecordedFrames(3));
    }
    Activation(WA_INACTIVE);
    EXPECT_EQ(g_App.captureState, c.away);
    EXPECT_EQ(camera.opened, 0);
    EXPECT_EQ(camera.streaming, 0);
    EXPECT_EQ(g_App.FullScreen, 0);
    EXPECT_EQ(g_App.intervalThread, nullptr);
    const uint32_t frames = c.mode == 1 ? Pictures() : 0;
    if (c.mode == 1) {
      EXPECT_EQ(g_App.recorder.state, RECORDER_PAUSED);
      EXPECT_EQ(g_App.menu.current.load(), &g_App.menu.pages[PAGE_PAUSED]);
    }

    Activation(WA_ACTIVE);
    EXPECT_EQ(g_App.captureState, c.away);
    EXPECT_NE(camera.opened, 0);
    EXPECT_NE(camera.streaming, 0);
    EXPECT_EQ(g_App.FullScreen, 1);
    EXPECT_TRUE(PreviewRuns());
    if (c.mode == 1) {
      // The recording goes on from the camera taken back, and stays one playable file.
      Choose(PAGE_PAUSED, 0);
      ASSERT_EQ(g_App.captureState, STATE_CAPTURING);
      EXPECT_TRUE(RecordedFrames(frames + 3));
      HandleAction();
      Choose(PAGE_PAUSED, 1);  // keep
      EXPECT_EQ(g_App.captureState, STATE_PREVIEW);
      ExpectPlayable(hostFile(g_App.recorder.path));
    }
    CameraClose();
    g_App.captureState = STATE_PREVIEW;
  }
}

TEST_F(CaptureInTheBackground, SwitchingAwayEndsOrPausesTheCaptureAndReleasesTheCamera) { switchAwayAndBack(); }

// The camera that delivers its video as JPEG pictures, recording an AVI of the program's own.
class CaptureInTheBackgroundOnTheJpegCamera : public CaptureInTheBackground {
  std::string profileLines() override {
    return "oem_info = HTC Hermes\ncamera = vendor\ncamera_largest = 1600x1200\ncamera_native = 1600x1200\n"
           "camera_jpeg = yes\nsystem_library = HTCcamera.dll\nsystem_library = JPEGENC.dll\n";
  }
};

TEST_F(CaptureInTheBackgroundOnTheJpegCamera, SwitchingAwayEndsOrPausesTheCaptureAndReleasesTheCamera) {
  g_App.settings[SET_VIDEO_FORMAT]->index = 2;  // AVI
  switchAwayAndBack();
}

class CaptureWithoutEncoder : public CaptureControl {
  std::string profileLines() override { return ""; }
};

TEST_F(CaptureWithoutEncoder, TheActionKeyDoesNothingInPhotoAndIntervalMode) {
  for (uint32_t mode : {0u, 2u}) {
    startPreview(mode);
    HandleAction();
    EXPECT_EQ(g_App.captureState, STATE_PREVIEW) << "mode " << mode;
    EXPECT_EQ(g_App.intervalThread, nullptr);
  }
  EXPECT_TRUE(pictures().empty());
}

struct SeriesCase {
  const char *name;
  int averaging, motion;  // #46 and #5
  uint32_t shots;         // waited for before the stop
  bool more;              // shots go on coming
};

TEST_F(CaptureControl, IntervalSeriesOfEveryKindStopOnTheActionKey) {
  const SeriesCase cases[] = {
      {"plain", 0, 0, 2, true},
      {"averaged", 1, 0, 2, true},
      // The first frame differs from the empty reference; the colour bars never move after it.
      {"motion", 0, 1, 1, false},
  };
  for (const SeriesCase &c : cases) {
    SCOPED_TRACE(c.name);
    for (const std::string &name : pictures()) fs::remove(root_ / "My Documents" / "My Pictures" / name);
    g_App.settings[SET_SHOT_INTERVAL]->index = 0;  // as fast as the shots allow
    g_App.settings[SET_AVERAGING]->index = c.averaging;
    g_App.settings[SET_AVERAGE_FRAMES]->index = 1;  // 4 frames
    g_App.settings[SET_MOTION_MODE]->index = c.motion;
    startPreview(2);
    const auto start = Clock::now();
    HandleAction();
    ASSERT_EQ(g_App.captureState, STATE_CAPTURING);
    ASSERT_NE(g_App.intervalThread, nullptr);
    EXPECT_EQ(g_App.ReferenceBuffer != nullptr, c.averaging || c.motion);
    ASSERT_TRUE(WaitFor([&] { return g_App.shotCounter >= c.shots; }, 30))
        << "shots " << g_App.shotCounter << ", series ended itself: "
        << (WaitForSingleObject(g_App.intervalDone, 0) == WAIT_OBJECT_0);
    // The first shot waits 3 s from the start, whatever the interval.
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(3000));
    if (!c.more) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1000));  // the next shot waits for motion
      EXPECT_EQ(g_App.shotCounter, c.shots);
    }
    const auto stop = Clock::now();
    HandleAction();
    // A shot waiting for its still wakes at the stop; the thread is not left to time out.
    EXPECT_LT(Clock::now() - stop, std::chrono::milliseconds(5000));
    EXPECT_EQ(g_App.captureState, STATE_PREVIEW);
    EXPECT_EQ(g_App.intervalThread, nullptr);
    EXPECT_EQ(g_App.ReferenceBuffer, nullptr);
    EXPECT_FALSE(MessagePosted(CAPTURE_STOPPED)) << "a stop asked for is no failed shot";
    CameraClose();
    const std::vector<std::string> names = pictures();
    ASSERT_GE(names.size(), c.shots);
    // Serials from 00 in the order taken; every picture decodes.
    for (size_t i = 0; i < names.size(); ++i) {
      const std::string serial = (i < 10 ? "-0" : "-") + std::to_string(i);
      EXPECT_NE(names[i].find(serial), std::string::npos) << names[i];
      EXPECT_TRUE(Decode(Read(root_ / "My Documents" / "My Pictures" / names[i])).ok()) << names[i];
    }
  }
}

class CaptureOnAFullVolume : public CaptureControl {
  std::string profileLines() override { return "system_library = JPEGENC.dll\nmemory = 8K\n"; }
};

TEST_F(CaptureOnAFullVolume, AFailedShotEndsTheSeriesWithTheMessage) {
  // An averaged shot ends when its frames are in, saved or not (a plain shot tries again).
  g_App.settings[SET_SHOT_INTERVAL]->index = 0;
  g_App.settings[SET_AVERAGING]->index = 1;
  startPreview(2);
  HandleAction();
  ASSERT_TRUE(WaitFor([] { return WaitForSingleObject(g_App.intervalDone, 0) == WAIT_OBJECT_0; }, 30));
  EXPECT_EQ(g_App.shotCounter, 0u);
  ASSERT_TRUE(WaitFor([] { return MessagePosted(CAPTURE_STOPPED); }, 5));
  // What the window procedure does with the message.
  CaptureFinished(CAPTURE_STOPPED);
  EXPECT_EQ(g_App.captureState, STATE_PREVIEW);
  EXPECT_EQ(g_App.intervalThread, nullptr);
  EXPECT_NE(g_App.camera.streaming, 0);
}

// A photo that cannot be saved says so, rather than looking as if nothing happened.
TEST_F(CaptureOnAFullVolume, APhotoThatCannotBeSavedSaysSo) {
  startPreview(0);
  HandleAction();
  EXPECT_EQ(g_App.captureState, STATE_PREVIEW);
  EXPECT_TRUE(pictures().empty());
  EXPECT_STREQ(g_App.status.text.load(), "No picture taken.");
}

// A camera whose driver hangs in Stop once told to: a still 640 x 480 against a preview of
// 320 x 240 makes every shot restart the stream.
struct HangingSource {
  HANDLE never = nullptr;  // never set
  std::atomic<bool> hang{false};
  std::atomic<int> stops{0}, starts{0}, hung{0};
};
HangingSource g_hanging;
HangingSource *const g_source = &g_hanging;

uint32_t Yes(uintptr_t, uintptr_t, uintptr_t, uintptr_t) { return 1; }
uint32_t CountStart(uintptr_t, uintptr_t, uintptr_t, uintptr_t) {
  ++g_source->starts;
  return 1;
}
uint32_t HangStop(uintptr_t, uintptr_t, uintptr_t, uintptr_t) {
  ++g_source->stops;
  if (g_source->hang) {
    ++g_source->hung;
    WaitForSingleObject(g_source->never, INFINITE);
  }
  return 1;
}
uint32_t Sizes(uintptr_t array, uintptr_t count, uintptr_t, uintptr_t still) {
  auto *sizes = reinterpret_cast<SizeEntry *>(array);
  sizes[0] = still ? SizeEntry{640, 480, FORMAT_UYVY} : SizeEntry{320, 240, FORMAT_UYVY};
  *reinterpret_cast<uint32_t *>(count) = 1;
  return 1;
}
const SourceOps kHanging = {Yes, CountStart, HangStop, Yes, Yes, Yes, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr, Sizes, nullptr, nullptr, nullptr};

TEST_F(CaptureControl, AHangingSeriesIsEndedWithoutLeavingTheProgramUnsafe) {
  HangingSource &source = g_hanging;
  source.never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  g_App.camera.ops = &kHanging;
  g_App.settings[SET_SHOT_INTERVAL]->index = 0;
  g_App.settings[SET_AVERAGING]->index = 1;
  source.hang = true;
  startPreview(2);
  HandleAction();
  uint8_t *reference = g_App.ReferenceBuffer;
  ASSERT_NE(reference, nullptr);
  // The first shot restarts the stream for the still and hangs in the driver.
  ASSERT_TRUE(WaitFor([&] { return source.hung > 0; }, 30));
  source.hang = false;
  const int starts = source.starts, stops = source.stops;
  const auto stop = Clock::now();
  HandleAction();
  const auto took = Clock::now() - stop;
  // Asked, waited for and then terminated: back well before a second wait would have run out.
  EXPECT_GE(took, std::chrono::milliseconds(5000));
  EXPECT_LT(took, std::chrono::milliseconds(10200));
  EXPECT_EQ(g_App.captureState, STATE_PREVIEW);
  EXPECT_EQ(g_App.intervalThread, nullptr);
  EXPECT_EQ(g_App.intervalDone, nullptr);
  EXPECT_EQ(g_App.ReferenceBuffer, nullptr);
  EXPECT_EQ(g_App.ComposeBusy, 0) << "the screen can still be composed";
  EXPECT_EQ(g_App.camera.MoreFrames, 0) << "no still left pending for the preview";
  // The driver left inside its Stop is stopped again before the preview starts.
  EXPECT_GT(source.stops, stops);
  EXPECT_GT(source.starts, starts);
  EXPECT_NE(g_App.camera.streaming, 0);
  // The buffer the terminated thread's shot was using was given up, not freed; nothing of the
  // series runs now, so it can go.
  std::free(reference);
  // A new series starts as usual.
  HandleAction();
  EXPECT_EQ(g_App.captureState, STATE_CAPTURING);
  EXPECT_EQ(StopInterval(), 1u);
  CaptureFinished(CAPTURE_DONE);
  CloseHandle(source.never);
}

}  // namespace
