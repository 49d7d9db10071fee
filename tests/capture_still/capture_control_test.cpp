// Capture control on an emulated handset without a camera (the screen source's colour bars go
// through the real frame pipeline, encoder and files): photos, interval series of each kind,
// a series that ends itself on a failed shot, and a series whose thread hangs and is ended.
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
#include "app/settings.h"
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
    WNDCLASSW wc{};
    wc.lpfnWndProc = IgnoreAll;
    wc.lpszClassName = u"CaptureControlTest";
    RegisterClassW(&wc);
    g_App.MainWindow = CreateWindowExW(0, u"CaptureControlTest", u"t", 0, 0, 0, 240, 320, nullptr, nullptr,
                                       nullptr, nullptr);
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

  // The preview running as after start-up.
  void startPreview(uint32_t mode) {
    g_App.settings[SET_CAPTURE_MODE]->index = int32_t(mode);
    ASSERT_NE(CameraOpen(), 0u);
    StepZoom(0, 1);
    Reconfigure(1);
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

  WCHAR path_[kFilePathUnits] = {};
};

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

TEST_F(CaptureControl, ARecordingStartsPausesOnTheActionKeyAndIsKept) {
  startPreview(1);
  HandleAction();
  ASSERT_EQ(g_App.captureState, STATE_CAPTURING);
  EXPECT_EQ(g_App.recorder.state, RECORDER_RECORDING);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // a few frames of the colour bars
  HandleAction();
  EXPECT_EQ(g_App.captureState, STATE_DIALOG);
  EXPECT_EQ(g_App.recorder.state, RECORDER_PAUSED);
  EXPECT_EQ(g_App.menu.current.load(), &g_App.menu.pages[PAGE_PAUSED]);
  FinishRecorder(&g_App.recorder, RECORDING_KEEP, 0);
  std::string name;  // a handset path, below the handset root
  for (const char16_t *p = g_App.recorder.path; *p; ++p) name += *p == u'\\' ? '/' : char(*p);
  EXPECT_NE(name.find("/My Documents/My Videos/"), std::string::npos) << name;
  const std::vector<uint8_t> avi = Read(root_.string() + name);
  ASSERT_GT(avi.size(), 12u);
  EXPECT_EQ(std::string(avi.begin(), avi.begin() + 4), "RIFF");
  EXPECT_EQ(std::string(avi.begin() + 8, avi.begin() + 12), "AVI ");
  EXPECT_NE(std::string(avi.begin(), avi.end()).find("00dc"), std::string::npos) << "no video frame";
}

class CaptureOnASmallVolume : public CaptureControl {
  std::string profileLines() override { return "system_library = JPEGENC.dll\nmemory = 3M\n"; }
};

TEST_F(CaptureOnASmallVolume, ARecordingNeedsMoreThanThreeMebibytesFree) {
  const char *noSpace = "no space";
  g_App.language.strings[LANG_NO_SPACE] = noSpace;
  startPreview(1);
  HandleAction();
  EXPECT_EQ(g_App.captureState, STATE_PREVIEW);
  EXPECT_EQ(g_App.recorder.state, RECORDER_CLOSED);
  EXPECT_EQ(g_App.status.text.load(), noSpace);
  EXPECT_EQ(g_App.status.duration, 2000u);
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
