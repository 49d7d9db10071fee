// The vendor camera library's own recorder: MPEG-4 video with AAC sound in an MP4 file, or
// H.263 with AAC in a 3GP file, from the handset's camera and microphone, on a thread of its own.
#pragma once

#include <htccamera.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace device {
class Sensor;
}

namespace htccamera {

struct RecordingSettings {
  std::string path;  // host path; its extension ".3gp" chooses H.263 in a 3GP file
  uint32_t width, height, framesPerSecond, bitRate, sizeLimit;
  bool sound;
  CAMERA_PROGRESS_PROC progress;  // may be null
};

class Recording {
 public:
  // Creates the file and its streams; null (and *error says why) when that fails.
  static std::unique_ptr<Recording> create(const RecordingSettings &settings, device::Sensor &sensor,
                                           std::string *error);
  ~Recording();  // finishes the file

  // Records pictures and sound from now on, until pause() or until the file reaches its size
  // limit; the time paused is left out of the file.
  void resume();
  void pause();
  // Writes what is buffered and the file's index; true when the whole file was written.
  bool finish();

 private:
  struct Encoder;
  Recording() = default;
  void run();

  std::unique_ptr<Encoder> encoder_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
};

}  // namespace htccamera
