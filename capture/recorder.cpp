#include "capture/recorder.h"

#include <htccamera.h>

#include <cstring>
#include <new>

#include "app/appstate.h"
#include "pipeline/preview.h"

// The camera library reads the recording record as its own.
static_assert(sizeof(CameraRecordParams) == sizeof(CAMERA_MPEG_INFO));
static_assert(offsetof(CameraRecordParams, name) == offsetof(CAMERA_MPEG_INFO, szName));
static_assert(offsetof(CameraRecordParams, progress) == offsetof(CAMERA_MPEG_INFO, pfnProgress));
static_assert(offsetof(CameraRecordParams, height) == offsetof(CAMERA_MPEG_INFO, dwHeight));

namespace {

constexpr int kFirstSoundTries = 501;

// The recording whose progress the camera library reports.
std::atomic<Recorder *> progressRecorder{nullptr};

uint32_t CallOp(SourceOp op, uintptr_t a = 0, uintptr_t b = 0, uintptr_t c = 0, uintptr_t d = 0) {
  return op ? op(a, b, c, d) : 0;
}

// Replaces what follows the path's last '.' with the kind's extension.
void SetExtension(WCHAR *path, uint32_t kind) {
  const WCHAR *extension = RecordingExtension(kind);
  WCHAR *dot = wcsrchr(path, u'.');
  if (dot && size_t(dot - path) + 4 < kRecorderPathUnits) std::memcpy(dot + 1, extension, 4 * sizeof(WCHAR));
}

// The camera library's recorder: fill its record, stop the preview stream, hand over the record
// and start the stream as a recording.
int StartCameraRecording(Recorder *r) {
  Camera &camera = g_App.camera;
  if (!camera.recordParams) camera.recordParams = new (std::nothrow) CameraRecordParams;
  CameraRecordParams *p = camera.recordParams;
  if (!p || !camera.ops) return 0;
  uint32_t width = camera.active.outputWidth;
  uint32_t height = camera.active.outputHeight;
  *p = CameraRecordParams{};
  p->sizeLimit = r->sizeLimit;
  p->word1 = 100000;
  const WCHAR *name = r->usesTempName ? kRecorderTempName : r->path;
  for (size_t i = 0; name[i]; ++i) p->name[i] = char(name[i]);
  p->sound = r->soundOn ? 1 : 0;
  p->word28 = 3;
  p->bitRate = r->bitRate;
  p->framesPerSecond = r->framesPerSecond;
  p->word31 = 400;
  p->progress = &RecorderProgress;
  p->word33 = 0;
  p->width = width;
  p->height = height;

  const SourceOps *ops = camera.ops;
  if (camera.streaming) {
    camera.streaming = 0;
    CallOp(ops->Stop, 3, p->sound, reinterpret_cast<uintptr_t>(&RecorderProgress));
  }
  if (!CallOp(ops->SetMpegInfoParam, reinterpret_cast<uintptr_t>(p), p->sound)) return 0;

  camera.streaming = 0;
  camera.requestedKind = STREAM_PREVIEW;
  camera.activeKind = STREAM_VIDEO_RECORD;
  StreamParams s{};
  s.exposure = 6;
  s.captureWidth = width;
  s.captureHeight = height;
  s.cropLeft = s.cropLeft2 = 0;
  s.cropTop = s.cropTop2 = 0;
  s.cropRight = s.cropRight2 = width - 1;
  s.cropBottom = s.cropBottom2 = height - 1;
  s.one = 1;
  s.displayBottom = 239;
  s.displayRight = 319;
  s.warmUp[0] = 8;
  s.warmUp[1] = 8;
  s.callback = &NoFrameCallback;
  s.kind = STREAM_VIDEO_RECORD;
  if (!CallOp(ops->Start, reinterpret_cast<uintptr_t>(&s), 319, height - 1, 0)) return 0;
  camera.streaming = 1;
  return 1;
}

}  // namespace

const WCHAR *RecordingExtension(uint32_t kind) {
  return kind == RECORD_MP4 ? TEXT("mp4") : kind == RECORD_3GP ? TEXT("3gp") : TEXT("avi");
}

int SetupRecorder(Recorder *r, const WCHAR *path, uint32_t sizeLimit, int soundOn, uint32_t framesPerSecond,
                  uint32_t width, uint32_t height, uint32_t kind) {
  size_t n = 0;
  for (; n < kRecorderPathUnits - 1 && path[n]; ++n) r->path[n] = path[n];
  r->path[n] = 0;
  r->soundOn = soundOn ? 1 : 0;
  r->framesPerSecond = framesPerSecond;
  r->width = width;
  r->height = height;
  r->kind = kind;
  r->sizeLimit = sizeLimit;
  r->bitRate = kRecorderBitRate;
  r->failed = 0;
  r->state = RECORDER_CLOSED;
  // A temporary name belongs to the one recording that needed it.
  r->usesTempName = 0;
  SetExtension(r->path, kind);

  if (kind == RECORD_AVI) {
    if (!r->writer) r->writer = CreateAviWriter();
    if (!r->writer) return 1;  // StartRecorder then refuses
    AviWriter *w = r->writer;
    uint32_t interval = AviFrameInterval(framesPerSecond);
    w->sizeLimit = sizeLimit;
    w->frameInterval = interval;
    // The buffers are made anew for another rate, and again when there was no memory for them.
    if (interval && (interval != w->soundBlock.interval || w->soundBlock.bufferCount == 0))
      SetupSoundBuffers(&w->soundBlock, kSoundBufferedMs / interval, interval);
  }
  return 1;
}

int StartRecorder(Recorder *r) {
  if (r->state != RECORDER_CLOSED) return 0;
  if (r->kind == RECORD_AVI) {
    AviWriter *w = r->writer;
    if (!w || !OpenAvi(w, r->path, r->width, r->height, r->soundOn)) return 0;
    if (w->soundOn) {
      // Sound captured before the start is dropped: wait for the first block, then empty the queue.
      for (int i = 0; i < kFirstSoundTries; ++i) {
        {
          std::lock_guard<std::mutex> held(w->lock);
          if (TakeSoundBlock(&w->soundBlock)) break;
        }
        Sleep(1);
      }
      DrainSound(w);
    }
  } else {
    progressRecorder = r;
    // The library takes 8-bit names of up to 99 characters; any other goes through the temporary file.
    size_t length = 0;
    bool narrow = true;
    for (; r->path[length]; ++length) narrow = narrow && r->path[length] < 256;
    r->usesTempName = !narrow || length >= sizeof(CameraRecordParams::name);
    if (!StartCameraRecording(r)) return 0;
  }
  r->startTick = GetTickCount();
  r->state = RECORDER_RECORDING;
  return 1;
}

int PauseRecorder(Recorder *r) {
  if (r->state != RECORDER_RECORDING) return 0;
  if (r->kind == RECORD_AVI) {
    r->state = RECORDER_PAUSED;
    return 1;
  }
  Camera &camera = g_App.camera;
  if (camera.streaming) {
    camera.streaming = 0;
    CallOp(camera.ops->Stop, reinterpret_cast<uintptr_t>(r));
  }
  CameraRecordParams *p = camera.recordParams;
  p->sizeLimit = 0;
  p->word1 = 0;
  CallOp(camera.ops->SetMpegInfoParam, reinterpret_cast<uintptr_t>(p));
  r->state = RECORDER_CLOSED;
  return 1;
}

int ResumeRecorder(Recorder *r) {
  if (r->state != RECORDER_PAUSED || r->kind != RECORD_AVI || !r->writer || !r->writer->file) return 0;
  ResumeAvi(r->writer);
  r->startTick = GetTickCount();
  r->state = RECORDER_RECORDING;
  return 1;
}

int FinishRecorder(Recorder *r, int disposition, int noWait) {
  if (r->state != RECORDER_CLOSED && r->kind == RECORD_AVI) {
    if (disposition != RECORDING_DISCARD) WriteLastSound(r->writer);
    CloseAvi(r->writer);
    CloseAviFile(r->writer);
    StopSound(&r->writer->soundBlock, noWait);
    CloseSound(&r->writer->soundBlock);
    r->state = RECORDER_CLOSED;
  }
  if (disposition == RECORDING_DISCARD) DeleteFileW(r->usesTempName ? kRecorderTempName : r->path);
  if (disposition == RECORDING_KEEP_RENAMED && r->usesTempName) MoveFileW(kRecorderTempName, r->path);
  return 1;
}

int SetRecordingFailed(Recorder *r) { return r->failed.exchange(1) == 0; }

void RecorderProgress(uint32_t value) {
  if (Recorder *r = progressRecorder.load()) r->progress = value;
  ComposeAndBlit();  // the overlay shows the recorded time
}

void FreeRecorderBuffers(Recorder *r) {
  if (r->writer) DestroyAviWriter(r->writer);
  r->writer = nullptr;
  delete g_App.camera.recordParams;
  g_App.camera.recordParams = nullptr;
}
