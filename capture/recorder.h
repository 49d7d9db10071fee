// Video recording: the recorder owns the target name, the recording parameters and the
// recording state, and drives either the program's own AVI writer (fed frame by frame by the
// pipeline) or the camera library's recorder, which writes MP4 or 3GP files itself.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "capture/avi.h"

enum RecordingKind : uint32_t {
  RECORD_AVI = 1,  // written by this program
  RECORD_MP4 = 3,  // recorded by the camera library
  RECORD_3GP = 4,
};

enum RecorderState : uint32_t {
  RECORDER_CLOSED = 0,
  RECORDER_PAUSED = 1,  // AVI only
  RECORDER_RECORDING = 2,
};

// FinishRecorder dispositions.
enum RecordingDisposition : int {
  RECORDING_DISCARD = 0,
  RECORDING_KEEP = 1,
  RECORDING_KEEP_RENAMED = 2,  // keep, and give a temporary file its final name
};

// The camera library calls this with its progress (elapsed time of the recording).
typedef void (*RecordProgressCallback)(uint32_t value);

// The camera library's recording parameters: 36 words, the progress callback a native pointer.
struct CameraRecordParams {
  uint32_t sizeLimit;        // 0
  uint32_t word1;            // 1: 100000
  char name[100];            // 2-26: 8-bit file name
  uint32_t sound;            // 27: 1 with sound
  uint32_t word28;           // 3
  uint32_t bitRate;          // 29
  uint32_t framesPerSecond;  // 30
  uint32_t word31;           // 400
  RecordProgressCallback progress;  // 32
  uint32_t word33;           // 0
  uint32_t width;            // 34: the camera's output size
  uint32_t height;           // 35
};
static_assert(offsetof(CameraRecordParams, name) == 2 * 4 && offsetof(CameraRecordParams, sound) == 27 * 4);
static_assert(offsetof(CameraRecordParams, progress) == 32 * 4);
static_assert(offsetof(CameraRecordParams, height) == 32 * 4 + sizeof(void *) + 2 * 4);

constexpr uint32_t kRecorderBitRate = 384000;
constexpr size_t kRecorderPathUnits = 260;
// The file the camera library writes when the final path has characters it cannot take.
constexpr const WCHAR *kRecorderTempName = TEXT("//recvdo.temp");

struct Recorder {
  AviWriter *writer;  // created by the first AVI recording and kept
  std::atomic<uint8_t> failed;  // a frame write failed (set on the frame thread)
  uint32_t kind;                // RecordingKind
  uint32_t sizeLimit;
  WCHAR path[kRecorderPathUnits];
  uint8_t soundOn;
  uint32_t bitRate;
  uint32_t framesPerSecond;
  uint32_t width;
  uint32_t height;
  uint32_t startTick;
  std::atomic<uint32_t> progress;  // the camera library's last progress value
  std::atomic<uint32_t> state;     // RecorderState
  uint8_t usesTempName;
};

// Whole frames per second for the frame-interval setting (ms), and the AVI writer's interval
// for them: 0 above 1000 frames per second (or none), which OpenAvi refuses.
inline uint32_t RecordingFramesPerSecond(int32_t intervalMs) {
  return uint32_t(1000 / (intervalMs > 0 ? intervalMs : 1));
}
inline uint32_t AviFrameInterval(uint32_t framesPerSecond) { return framesPerSecond ? 1000 / framesPerSecond : 0; }

// The file extension of a recording kind: "mp4", "3gp", else "avi".
const WCHAR *RecordingExtension(uint32_t kind);
// Takes the recording's name and parameters. sizeLimit is what the free space allows (the
// space available minus 3 MiB, or 0x80000000). The path's extension becomes the kind's.
int SetupRecorder(Recorder *recorder, const WCHAR *path, uint32_t sizeLimit, int soundOn,
                  uint32_t framesPerSecond, uint32_t width, uint32_t height, uint32_t kind);
// 1 when recording, 0 when the file or the camera library's recorder could not be started.
int StartRecorder(Recorder *recorder);
// 1 when paused (AVI) or stopped (the camera library's recordings cannot pause), 0 when not
// recording.
int PauseRecorder(Recorder *recorder);
// Continues a paused AVI recording; 0 when there is none to continue.
int ResumeRecorder(Recorder *recorder);
// Ends the recording and keeps or discards the file; a kept AVI gets the sound of every slot
// written before it is closed (WriteLastSound). noWait: do not wait for sound buffers
// the driver still holds. Returns 1.
int FinishRecorder(Recorder *recorder, int disposition, int noWait);
// The frame thread's report of a failed write: 1 the first time (the caller then ends the
// recording through the Action key), 0 when the failure was already reported.
int SetRecordingFailed(Recorder *recorder);
// The camera library's progress callback.
void RecorderProgress(uint32_t value);
// At program end: the writer, its index and sound buffers, the camera-recording record.
void FreeRecorderBuffers(Recorder *recorder);
