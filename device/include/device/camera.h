// The handset's camera module: one sensor that every camera stand-in reads (the vendor camera
// library, the LCM1: and DSC1: drivers, the DirectShow capture filter), so a control, the flash,
// the zoom or the picture source behaves the same whichever way the program reaches the camera.
// This is the device's control API for the stand-ins, tests and tools; product code never
// includes it.
//
// The sensor sees one field of view (4:3). A request names the capture size, the mode the sensor
// runs in: the largest centred cut of the field of view with the capture size's shape, scaled to
// it. The crop rectangle then picks the part of that picture delivered; the zoom magnifies the
// field of view's centre before either.
//
// Profile keys (device/profiles/README.md): camera_native, camera_largest, camera_rate,
// camera_mounting, camera_picture; HANDSET_CAMERA overrides camera_picture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace device {

class Profile;

// Formats the sensor delivers, by their FourCC codes (first letter in the low byte); RGB 565 is
// the first word of its media subtype, as the program's formats are.
constexpr uint32_t fourCC(char a, char b, char c, char d) {
  return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 | uint32_t(uint8_t(d)) << 24;
}
constexpr uint32_t kSensorUYVY = fourCC('U', 'Y', 'V', 'Y');
constexpr uint32_t kSensorYUY2 = fourCC('Y', 'U', 'Y', '2');
constexpr uint32_t kSensorYV12 = fourCC('Y', 'V', '1', '2');
constexpr uint32_t kSensorI420 = fourCC('I', '4', '2', '0');
constexpr uint32_t kSensorIJPG = fourCC('I', 'J', 'P', 'G');  // a complete baseline JPEG stream
constexpr uint32_t kSensorRGB565 = 0xE436EB7B;

// One picture asked of the sensor.
struct SensorRequest {
  uint32_t captureWidth, captureHeight;  // the sensor's mode
  uint32_t cropX, cropY, cropWidth, cropHeight;  // the part of the capture picture delivered
  uint32_t format;           // one of the kSensor formats
  uint32_t jpegQuality = 75;  // IJPG only, 1 to 100
};

// What the camera's controls are set to, in the sensor's own neutral units. Each stand-in maps
// its own property ids and ranges onto these; 0 is the neutral setting of every signed control.
enum class WhiteBalance { automatic, daylight, cloudy, tungsten, fluorescent };
enum class Effect { normal, grey, sepia, negative };
enum class AntiFlicker { automatic, hz50, hz60 };
struct SensorControls {
  int brightness = 0;  // -100 … 100
  int contrast = 0;    // -100 … 100
  int saturation = 0;  // -100 (grey) … 100
  int hue = 0;         // degrees, -180 … 180
  int sharpness = 0;   // -100 (soft) … 100
  int gamma = 0;       // -100 (darker mid-tones) … 100 (brighter)
  int exposure = 0;    // -100 … 100: 0 is what the automatic exposure picks; longer is brighter
  int gain = 0;        // 0 … 100
  WhiteBalance whiteBalance = WhiteBalance::automatic;
  Effect effect = Effect::normal;
  AntiFlicker antiFlicker = AntiFlicker::automatic;
  bool night = false;       // brighter and slower: the frame interval doubles
  uint32_t zoom = 65536;    // 16.16 magnification of the field of view's centre, 1 to 8
  bool flash = false;       // the flash light is on: the scene is brighter
};

// What a delivered picture carries in its frame stamp (device/frame_stamp.h has its layout,
// tests/support/stamp.h the reader).
struct FrameStamp {
  uint32_t frame;  // the sensor's picture count since it was made, from 1
  uint32_t ms;     // the handset clock at the capture, microphoneClock() (low 32 bits)
};

// A picture source: what the sensor looks at. The table of sources is {name, create}, chosen by
// camera_picture / HANDSET_CAMERA like the microphone's backends.
class PictureSource;

class Sensor {
 public:
  explicit Sensor(const Profile &profile);
  ~Sensor();
  Sensor(const Sensor &) = delete;
  Sensor &operator=(const Sensor &) = delete;

  // The largest mode the sensor has, and the largest it streams without help (the vendor
  // library's warm-up rule reads it).
  uint32_t largestWidth() const;
  uint32_t largestHeight() const;
  uint32_t nativeWidth() const;
  uint32_t nativeHeight() const;
  // Milliseconds between two frames at the profile's rate (twice as long in night mode).
  uint32_t frameInterval() const;
  // The name of the picture source in use ("scene", "bars", "file", "webcam").
  std::string pictureSource() const;

  SensorControls controls() const;
  void setControls(const SensorControls &controls);

  // The most bytes capture() writes for the request (a bound for IJPG), 0 for a request the
  // sensor cannot serve (unknown format, an empty or outlying crop, a mode above the largest).
  static size_t frameBytes(const SensorRequest &request);
  // Takes one picture into out[0, capacity): the bytes written, 0 when the request cannot be
  // served or does not fit. Rows run top down in every format. Safe to call from several threads
  // at once.
  size_t capture(const SensorRequest &request, uint8_t *out, size_t capacity, FrameStamp *stamp = nullptr);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The running handset's camera, made from the current profile on first use; null when the
// profile gives the handset no camera.
Sensor *sensor();
// Drops the camera so that the next sensor() is made from the current profile (tests).
void resetSensor();

}  // namespace device
