#include "device/camera_codes.h"

#include <algorithm>

namespace device {

namespace {

bool oneOf(uint32_t value, std::initializer_list<uint32_t> allowed) {
  return std::find(allowed.begin(), allowed.end(), value) != allowed.end();
}

}  // namespace

bool setPictureOption(PictureOption option, uint32_t value, OptionRange r, std::initializer_list<uint32_t> nights,
                      SensorControls &c) {
  switch (option) {
    case PictureOption::antiFlicker:
      if (!oneOf(value, {1, 2, 4})) return false;
      c.antiFlicker = value == 2 ? AntiFlicker::hz50 : value == 4 ? AntiFlicker::hz60 : AntiFlicker::automatic;
      return true;
    case PictureOption::effect:
      if (!oneOf(value, {1, 2, 4, 8})) return false;
      c.effect = value == 2 ? Effect::grey : value == 4 ? Effect::sepia : value == 8 ? Effect::negative : Effect::normal;
      return true;
    case PictureOption::light: {
      const bool night = oneOf(value, nights);
      if (!night && !oneOf(value, {1, 2, 4, 8, 16})) return false;
      c.night = night;
      c.whiteBalance = value == 2    ? WhiteBalance::daylight
                       : value == 4  ? WhiteBalance::cloudy
                       : value == 8  ? WhiteBalance::tungsten
                       : value == 16 ? WhiteBalance::fluorescent
                                     : WhiteBalance::automatic;
      return true;
    }
    default: break;
  }
  if (value < r.low || value > r.high) return false;
  const int span = int(std::max(r.high - r.neutral, r.neutral - r.low));
  const auto level = [&](int scale) { return span ? (int(value) - int(r.neutral)) * scale / span : 0; };
  switch (option) {
    case PictureOption::contrast: c.contrast = level(100); break;
    case PictureOption::brightness: c.brightness = level(100); break;
    case PictureOption::saturation: c.saturation = level(100); break;
    case PictureOption::sharpness: c.sharpness = level(100); break;
    case PictureOption::gamma: c.gamma = level(100); break;
    default: c.hue = level(180); break;
  }
  return true;
}

}  // namespace device
