// The recorder: AVI recordings on the emulated handset's file system, and the camera library's
// MP4 and 3GP recordings driven through a source table that records what it was asked.
#include "capture/recorder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/appstate.h"
#include "avi_check.h"
#include "device/microphone.h"
#include "device/profile.h"
#include "media.h"
#include "platform/files.h"
#include "recording.h"

namespace {

namespace fs = std::filesystem;

// What the camera source's operations were asked.
struct SourceLog {
  std::vector<std::vector<uintptr_t>> stops;
  std::vector<CameraRecordParams> records;  // as each SetMpegInfoParam call found them
  std::vector<uintptr_t> recordSound;
  StreamParams stream{};
  std::vector<uintptr_t> startArgs;
  uint32_t setMpegResult = 1;
  uint32_t startResult = 1;
} g_log;

// As the library does: a record with a size limit starts a recording into the named file.
uint32_t SetMpegInfoParam(uintptr_t record, uintptr_t sound, uintptr_t, uintptr_t) {
  const auto *p = reinterpret_cast<const CameraRecordParams *>(record);
  g_log.records.push_back(*p);
  g_log.recordSound.push_back(sound);
  if (p->sizeLimit && g_log.setMpegResult) {
    std::u16string name(p->name, p->name + strnlen(p->name, sizeof p->name));
    FILE *f = _wfopen(name.c_str(), TEXT("wb"));
    if (f) {
      fputs("mp4", f);
      fclose(f);
    }
  }
  return g_log.setMpegResult;
}
uint32_t Stop(uintptr_t a, uintptr_t b, uintptr_t c, uintptr_t) {
  g_log.stops.push_back({a, b, c});
  return 1;
}
uint32_t Start(uintptr_t params, uintptr_t b, uintptr_t c, uintptr_t d) {
  g_log.stream = *reinterpret_cast<const StreamParams *>(params);
  g_log.startArgs = {b, c, d};
  return g_log.startResult;
}

SourceOps VendorOps() {
  SourceOps ops{};
  ops.Start = Start;
  ops.Stop = Stop;
  ops.SetMpegInfoParam = SetMpegInfoParam;
  return ops;
}

class RecorderTest : public testing::Test {
 protected:
  void SetUp() override {
    root_ = MakeTempDir();
    device::setRoot(root_);
    useProfile("microphone = counter\nstorage_card = Storage Card, 400K\n");
    g_log = SourceLog{};
    ops_ = VendorOps();
    Camera &camera = g_App.camera;
    camera.ops = &ops_;
    camera.streaming = 1;
    camera.active.outputWidth = 320;
    camera.active.outputHeight = 240;
    CreateDirectoryW(TEXT("\\My Documents"), nullptr);
    CreateDirectoryW(TEXT("\\My Documents\\My Videos"), nullptr);
  }
  void TearDown() override {
    FreeRecorderBuffers(&recorder_);
    g_App.camera.ops = nullptr;
  }
  void useProfile(const std::string &text) { device::setCurrent(device::Profile::parse(text, root_ + "/t.profile")); }
  static bool exists(const char16_t *path) { return fs::exists(platform::hostPath(path)); }

  std::string root_;
  SourceOps ops_;
  Recorder recorder_{};
};

TEST_F(RecorderTest, ExtensionFollowsTheKind) {
  struct Case {
    const char16_t *path;
    uint32_t kind;
    const char16_t *expected;
  } cases[] = {
      {u"\\My Documents\\My Videos\\61215-100509.avi", RECORD_MP4, u"\\My Documents\\My Videos\\61215-100509.mp4"},
      {u"\\My Documents\\My Videos\\61215-100509.avi", RECORD_3GP, u"\\My Documents\\My Videos\\61215-100509.3gp"},
      {u"\\a.b\\clip.mp4", RECORD_AVI, u"\\a.b\\clip.avi"},
      {u"\\My Documents\\noextension", RECORD_MP4, u"\\My Documents\\noextension"},
  };
  for (const Case &c : cases) {
    SetupRecorder(&recorder_, c.path, 1 << 20, 0, 15, 320, 240, c.kind);
    EXPECT_EQ(std::u16string(recorder_.path), c.expected);
    EXPECT_EQ(recorder_.state, RECORDER_CLOSED);
    EXPECT_EQ(recorder_.bitRate, kRecorderBitRate);
  }
}

// Sound buffers that could not be made (no memory) are made again for the next recording at
// the same rate, rather than leaving every later recording without sound.
TEST_F(RecorderTest, SoundBuffersMissingFromAnEarlierSetupAreMadeAgain) {
  const char16_t *path = u"\\My Documents\\My Videos\\clip.avi";
  ASSERT_EQ(SetupRecorder(&recorder_, path, 0x80000000, 1, 15, 320, 240, RECORD_AVI), 1);
  SoundBlock &sound = recorder_.writer->soundBlock;
  const uint32_t made = sound.bufferCount;
  ASSERT_GT(made, 0u);
  FreeSoundBuffers(&sound);  // as a setup without memory for them leaves the block
  ASSERT_EQ(SetupRecorder(&recorder_, path, 0x80000000, 1, 15, 320, 240, RECORD_AVI), 1);
  EXPECT_EQ(sound.bufferCount, made);
}

TEST_F(RecorderTest, AviRecordingWithPauseAndResume) {
  TestMicrophone microphone("counter", 100000);
  const char16_t *path = u"\\My Documents\\My Videos\\clip.avi";
  ASSERT_EQ(SetupRecorder(&recorder_, path, 0x80000000, 1, 15, 320, 240, RECORD_AVI), 1);
  ASSERT_EQ(StartRecorder(&recorder_), 1);
  EXPECT_EQ(StartRecorder(&recorder_), 0);
  EXPECT_EQ(recorder_.state, RECORDER_RECORDING);
  AviWriter *w = recorder_.writer;
  ASSERT_EQ(w->soundOn, 1);
  uint64_t awaited = 100000 * 8;
  auto frames = [&](uint32_t from, uint32_t to, bool paused) {
    for (uint32_t i = from; i < to; ++i) {
      uint32_t tick = 100000 + i * 66;
      AwaitSound(w->soundBlock, 100000 * 8, tick, &awaited);
      if (paused) {
        ASSERT_EQ(WritePausedSound(w), 1);
        continue;
      }
      std::vector<uint8_t> picture = MakeJpeg(320, 240, int(i));
      ASSERT_EQ(WriteVideoSlot(w, picture.data(), uint32_t(picture.size()), tick, 1, 1, 0), 1);
      ASSERT_EQ(WriteVideoSlot(w, picture.data(), uint32_t(picture.size()), tick, 0, 1, 0), 1);
    }
  };
  frames(0, 8, false);
  EXPECT_EQ(ResumeRecorder(&recorder_), 0);
  ASSERT_EQ(PauseRecorder(&recorder_), 1);
  EXPECT_EQ(recorder_.state, RECORDER_PAUSED);
  frames(8, 14, true);
  ASSERT_EQ(ResumeRecorder(&recorder_), 1);
  EXPECT_EQ(recorder_.state, RECORDER_RECORDING);
  frames(14, 21, false);
  // The last slot is written while its sound block is only half captured: the end waits for it,
  // then takes what the microphone holds.
  std::vector<uint8_t> picture = MakeJpeg(320, 240, 21);
  device::setMicrophoneClock(100000 + 21 * 66 - 33);
  ASSERT_EQ(WriteVideoSlot(w, picture.data(), uint32_t(picture.size()), 100000 + 21 * 66, 1, 1, 0), 1);
  ASSERT_EQ(WriteVideoSlot(w, picture.data(), uint32_t(picture.size()), 100000 + 21 * 66, 0, 1, 0), 1);
  ASSERT_EQ(FinishRecorder(&recorder_, RECORDING_KEEP, 0), 1);
  EXPECT_EQ(recorder_.state, RECORDER_CLOSED);
  EXPECT_EQ(PauseRecorder(&recorder_), 0);

  std::string host = platform::hostPath(path);
  AviSummary s = CheckAvi(RiffFile(host));
  EXPECT_EQ(s.pictures, 16u);
  EXPECT_EQ(s.soundChunks, 16u);
  EXPECT_EQ(s.soundBytes, 15 * 1056u + 528);
  EXPECT_EQ(SoundGaps(host), std::vector<uint32_t>{5 * 528});
  ExpectReadable(host, s, 66000);

  // The next recording reuses the writer; discarding it deletes the file.
  ASSERT_EQ(SetupRecorder(&recorder_, u"\\My Documents\\My Videos\\next.avi", 0x80000000, 0, 15, 320, 240,
                          RECORD_AVI), 1);
  EXPECT_EQ(recorder_.writer, w);
  ASSERT_EQ(StartRecorder(&recorder_), 1);
  EXPECT_TRUE(exists(u"\\My Documents\\My Videos\\next.avi"));
  FinishRecorder(&recorder_, RECORDING_DISCARD, 1);
  EXPECT_FALSE(exists(u"\\My Documents\\My Videos\\next.avi"));
  EXPECT_TRUE(exists(path));
}

TEST_F(RecorderTest, FullVolumeEndsTheRecordingWithAReadableFile) {
  TestMicrophone microphone("counter", 100000);
  useProfile("microphone = counter\nstorage_card = Storage Card, 200K\n");
  const char16_t *path = u"\\Storage Card\\clip.avi";
  ASSERT_EQ(SetupRecorder(&recorder_, path, 0x80000000, 1, 15, 320, 240, RECORD_AVI), 1);
  ASSERT_EQ(StartRecorder(&recorder_), 1);
  AviWriter *w = recorder_.writer;
  uint64_t awaited = 100000 * 8;
  uint32_t i = 0;
  for (;; ++i) {
    ASSERT_LT(i, 200u) << "the volume never filled up";
    uint32_t tick = 100000 + i * 66;
    AwaitSound(w->soundBlock, 100000 * 8, tick, &awaited);
    std::vector<uint8_t> picture = MakeJpeg(320, 240, int(i));
    if (!WriteVideoSlot(w, picture.data(), uint32_t(picture.size()), tick, 1, 1, 0) ||
        !WriteVideoSlot(w, picture.data(), uint32_t(picture.size()), tick, 0, 1, 0))
      break;
  }
  uint32_t pictures = w->newFrames;
  // The frame thread reports the failure once; capture control then ends the recording.
  EXPECT_EQ(SetRecordingFailed(&recorder_), 1);
  EXPECT_EQ(SetRecordingFailed(&recorder_), 0);
  ASSERT_EQ(PauseRecorder(&recorder_), 1);
  FinishRecorder(&recorder_, RECORDING_KEEP, 0);

  std::string host = platform::hostPath(path);
  RiffFile f(host);
  AviSummary s = CheckAvi(f, f.root().child("idx1") ? AviEnd::AfterFailure : AviEnd::NoIndex);
  EXPECT_EQ(s.pictures, pictures);
  EXPECT_GT(s.soundChunks, 0u);
  EXPECT_TRUE(SoundGaps(host).empty());
  if (!f.root().child("idx1")) s.videoEntries = s.pictures;
  ExpectReadable(host, s, 66000);
  // A new recording starts without the failure.
  SetupRecorder(&recorder_, path, 0x80000000, 1, 15, 320, 240, RECORD_AVI);
  EXPECT_EQ(recorder_.failed, 0);
}

TEST_F(RecorderTest, NoFrameRateNoRecording) {
  for (uint32_t fps : {0u, 1001u}) {
    SetupRecorder(&recorder_, u"\\My Documents\\My Videos\\x.avi", 0x80000000, 1, fps, 320, 240, RECORD_AVI);
    EXPECT_EQ(StartRecorder(&recorder_), 0) << fps;
    EXPECT_EQ(recorder_.state, RECORDER_CLOSED);
  }
}

TEST_F(RecorderTest, CameraLibraryRecordsMp4) {
  const char16_t *path = u"\\My Documents\\My Videos\\61215-100509.avi";
  ASSERT_EQ(SetupRecorder(&recorder_, path, 5000000, 1, 15, 320, 240, RECORD_MP4), 1);
  ASSERT_EQ(StartRecorder(&recorder_), 1);
  EXPECT_EQ(recorder_.state, RECORDER_RECORDING);
  EXPECT_EQ(recorder_.usesTempName, 0);

  // The preview stream is stopped first, with the recording's arguments.
  ASSERT_EQ(g_log.stops.size(), 1u);
  EXPECT_EQ(g_log.stops[0], (std::vector<uintptr_t>{3, 1, reinterpret_cast<uintptr_t>(&RecorderProgress)}));
  ASSERT_EQ(g_log.records.size(), 1u);
  const CameraRecordParams p = g_log.records[0];
  EXPECT_EQ(p.sizeLimit, 5000000u);
  EXPECT_EQ(p.word1, 100000u);
  EXPECT_STREQ(p.name, "\\My Documents\\My Videos\\61215-100509.mp4");
  EXPECT_EQ(p.sound, 1u);
  EXPECT_EQ(p.word28, 3u);
  EXPECT_EQ(p.bitRate, 384000u);
  EXPECT_EQ(p.framesPerSecond, 15u);
  EXPECT_EQ(p.word31, 400u);
  EXPECT_EQ(p.progress, &RecorderProgress);
  EXPECT_EQ(p.word33, 0u);
  EXPECT_EQ(p.width, 320u);
  EXPECT_EQ(p.height, 240u);
  EXPECT_EQ(g_log.recordSound[0], 1u);

  const StreamParams &s = g_log.stream;
  EXPECT_EQ(s.exposure, 6u);
  EXPECT_EQ(s.captureWidth, 320u);
  EXPECT_EQ(s.captureHeight, 240u);
  EXPECT_EQ((std::vector<uint32_t>{s.cropLeft, s.cropTop, s.cropRight, s.cropBottom}),
            (std::vector<uint32_t>{0, 0, 319, 239}));
  EXPECT_EQ((std::vector<uint32_t>{s.cropLeft2, s.cropTop2, s.cropRight2, s.cropBottom2}),
            (std::vector<uint32_t>{0, 0, 319, 239}));
  EXPECT_EQ((std::vector<uint32_t>{s.one, s.zero1, s.zero2, s.displayBottom, s.displayRight}),
            (std::vector<uint32_t>{1, 0, 0, 239, 319}));
  EXPECT_EQ((std::vector<uint8_t>(s.warmUp, s.warmUp + 4)), (std::vector<uint8_t>{8, 8, 0, 0}));
  EXPECT_EQ(s.kind, STREAM_VIDEO_RECORD);
  EXPECT_EQ(g_log.startArgs, (std::vector<uintptr_t>{319, 239, 0}));
  EXPECT_EQ(g_App.camera.streaming, 1);
  EXPECT_EQ(g_App.camera.activeKind, STREAM_VIDEO_RECORD);
  EXPECT_EQ(g_App.camera.requestedKind, STREAM_PREVIEW);

  RecorderProgress(4321);
  EXPECT_EQ(recorder_.progress, 4321u);

  // These recordings cannot pause: pausing ends them.
  ASSERT_EQ(PauseRecorder(&recorder_), 1);
  EXPECT_EQ(recorder_.state, RECORDER_CLOSED);
  ASSERT_EQ(g_log.stops.size(), 2u);
  EXPECT_EQ(g_log.stops[1][0], reinterpret_cast<uintptr_t>(&recorder_));
  EXPECT_EQ(g_App.camera.streaming, 0);
  ASSERT_EQ(g_log.records.size(), 2u);
  EXPECT_EQ(g_log.records[1].sizeLimit, 0u);
  EXPECT_EQ(g_log.records[1].word1, 0u);
  EXPECT_STREQ(g_log.records[1].name, p.name);
  FinishRecorder(&recorder_, RECORDING_KEEP_RENAMED, 0);
  EXPECT_TRUE(exists(u"\\My Documents\\My Videos\\61215-100509.mp4"));
}

// A name the 8-bit library cannot take goes through the temporary file.
TEST_F(RecorderTest, TemporaryNameForPathsTheLibraryCannotTake) {
  std::u16string longName = u"\\My Documents\\My Videos\\" + std::u16string(80, u'v') + u".avi";
  struct Case {
    const char *name;
    std::u16string path;
    int disposition;
    bool finalExists, tempExists;
  } cases[] = {
      {"keep and rename", u"\\My Documents\\My Videos\\\u0412\u0438\u0434\u0435\u043e.avi", RECORDING_KEEP_RENAMED,
       true, false},
      {"keep under the temporary name", u"\\My Documents\\My Videos\\\u0412.avi", RECORDING_KEEP, false, true},
      {"discard", u"\\My Documents\\My Videos\\\u0412.avi", RECORDING_DISCARD, false, false},
      {"too long for the record", longName, RECORDING_KEEP_RENAMED, true, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    DeleteFileW(kRecorderTempName);
    ASSERT_EQ(SetupRecorder(&recorder_, c.path.c_str(), 1 << 20, 0, 15, 320, 240, RECORD_3GP), 1);
    ASSERT_EQ(StartRecorder(&recorder_), 1);
    EXPECT_EQ(recorder_.usesTempName, 1);
    EXPECT_STREQ(g_log.records.back().name, "//recvdo.temp");
    EXPECT_TRUE(exists(kRecorderTempName));
    PauseRecorder(&recorder_);
    FinishRecorder(&recorder_, c.disposition, 0);
    EXPECT_EQ(exists(recorder_.path), c.finalExists);
    EXPECT_EQ(exists(kRecorderTempName), c.tempExists);
  }
  // The temporary name belonged to that recording only: discarding the next AVI deletes the AVI.
  fclose(_wfopen(kRecorderTempName, TEXT("wb")));
  SetupRecorder(&recorder_, u"\\My Documents\\My Videos\\plain.avi", 1 << 20, 0, 15, 320, 240, RECORD_AVI);
  ASSERT_EQ(StartRecorder(&recorder_), 1);
  FinishRecorder(&recorder_, RECORDING_DISCARD, 0);
  EXPECT_FALSE(exists(u"\\My Documents\\My Videos\\plain.avi"));
  EXPECT_TRUE(exists(kRecorderTempName));
}

TEST_F(RecorderTest, CameraLibraryRefusing) {
  struct Case {
    const char *name;
    bool slot;
    uint32_t setMpegResult, startResult;
  } cases[] = {
      {"source without the recording operation", false, 1, 1},
      {"library refuses the record", true, 0, 1},
      {"stream does not start", true, 1, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    ops_.SetMpegInfoParam = c.slot ? SetMpegInfoParam : nullptr;
    g_log.setMpegResult = c.setMpegResult;
    g_log.startResult = c.startResult;
    SetupRecorder(&recorder_, u"\\My Documents\\My Videos\\x.avi", 1 << 20, 0, 15, 320, 240, RECORD_MP4);
    EXPECT_EQ(StartRecorder(&recorder_), 0);
    EXPECT_EQ(recorder_.state, RECORDER_CLOSED);
  }
}

}  // namespace
