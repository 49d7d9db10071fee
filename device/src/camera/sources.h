// What the sensor looks at: picture sources that fill a picture in the field of view's
// coordinates, and the table they are chosen from.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace device {

class Profile;

// Where each picture pixel lies in the field of view: pixel (x, y) of a width × height picture
// sees the point (u0 + (x + ½)·du, v0 + (y + ½)·dv) of the unit square, turned by the mounting
// (quarter turns of the scene inside the frame, the program's mounting setting's numbering).
struct View {
  double u0, v0, du, dv;
  int mounting;
  // The scene's own upright coordinates of a field-of-view point.
  void scenePoint(double u, double v, double &s, double &t) const;
};

// A YUV 4:4:4 picture (BT.601 studio range), rows packed.
struct YuvPicture {
  int width = 0, height = 0;
  std::vector<uint8_t> y, u, v;
  void resize(int w, int h);
};

class PictureSource {
 public:
  virtual ~PictureSource() = default;
  // Fills `out` (already sized) with what the camera sees through `view` at `ms` of the handset clock.
  virtual void render(const View &view, uint64_t ms, YuvPicture &out) = 0;
  // A test card drawn over the delivered picture (no mounting, no frame stamp).
  virtual bool testCard() const { return false; }
};

struct PictureSourceEntry {
  const char *name;
  // `argument` is what follows "name:" in the value (empty when none).
  std::unique_ptr<PictureSource> (*create)(const Profile &profile, const std::string &argument);
};
const std::vector<PictureSourceEntry> &pictureSources();

// Empty when `value` names a picture source, else what is wrong (the profile check).
std::string checkPictureSource(const std::string &value);

// The moving scene at a point of its own upright coordinates (s, t in [0, 1)), as RGB.
void scenePixel(double s, double t, uint64_t ms, uint8_t rgb[3]);

// BT.601 studio-range conversions.
void rgbToYuv(int r, int g, int b, uint8_t &y, uint8_t &u, uint8_t &v);
void yuvToRgb(int y, int u, int v, uint8_t &r, uint8_t &g, uint8_t &b);

// The sources with host dependencies: null (with a message on stderr) when they cannot be used.
std::unique_ptr<PictureSource> openFileSource(const Profile &profile, const std::string &path);
std::unique_ptr<PictureSource> openWebcamSource(const std::string &device);
// Samples a decoded RGB frame through the view (nearest pixel), the file's and the webcam's way.
void sampleFrame(const uint8_t *rgb, int width, int height, const View &view, YuvPicture &out);

}  // namespace device
