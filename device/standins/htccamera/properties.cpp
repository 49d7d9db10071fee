#include "properties.h"

#include <htccamera.h>

#include <algorithm>
#include <cstdio>
#include <initializer_list>

#include "device/profile.h"

namespace htccamera {

namespace {

using device::SensorControls;

bool oneOf(uint32_t value, std::initializer_list<uint32_t> allowed) {
  return std::find(allowed.begin(), allowed.end(), value) != allowed.end();
}

// A graded value as the sensor's -scale … scale around the neutral value.
int graded(uint32_t value, uint32_t low, uint32_t high, uint32_t neutral, int scale) {
  const int span = int(std::max(high - neutral, neutral - low));
  return span ? (int(value) - int(neutral)) * scale / span : 0;
}

}  // namespace

Properties::Properties(const device::Profile &profile) {
  ranges_ = {
      {CAMERA_PROP_CONTRAST, {1, 9, 5}},   {CAMERA_PROP_BRIGHTNESS, {1, 9, 5}},
      {CAMERA_PROP_SATURATION, {1, 9, 4}}, {CAMERA_PROP_SHARPNESS, {1, 8, 5}},
      {CAMERA_PROP_GAMMA, {0, 10, 0}},     {CAMERA_PROP_HUE, {1, 15, 1}},
  };
  // The profile checked the form of each line.
  for (const std::string &line : profile.all("camera_range")) {
    unsigned id = 0, low = 0, high = 0, neutral = 0;
    if (std::sscanf(line.c_str(), "%u %u-%u %u", &id, &low, &high, &neutral) == 4) ranges_[id] = {low, high, neutral};
  }
  for (const auto &[id, range] : ranges_) values_[id] = range.neutral;
  values_[CAMERA_PROP_ANTI_FLICKER] = 1;
  values_[CAMERA_PROP_EFFECT] = 1;
  values_[CAMERA_PROP_LIGHT] = 1;
  values_[CAMERA_PROP_ZOOM] = 16;
  values_[CAMERA_PROP_JPEG_LEVEL] = 4;
  values_[CAMERA_PROP_JPEG_THUMB] = 0;
  values_[CAMERA_PROP_JPEG_MARKERS] = 0;
}

bool Properties::set(uint32_t id, uint32_t value, SensorControls &c) {
  if (auto range = ranges_.find(id); range != ranges_.end()) {
    const Range &r = range->second;
    if (value < r.low || value > r.high) return false;
    const int level = graded(value, r.low, r.high, r.neutral, 100);
    switch (id) {
      case CAMERA_PROP_CONTRAST: c.contrast = level; break;
      case CAMERA_PROP_BRIGHTNESS: c.brightness = level; break;
      case CAMERA_PROP_SATURATION: c.saturation = level; break;
      case CAMERA_PROP_SHARPNESS: c.sharpness = level; break;
      case CAMERA_PROP_GAMMA: c.gamma = level; break;
      case CAMERA_PROP_HUE: c.hue = graded(value, r.low, r.high, r.neutral, 180); break;
    }
  } else {
    using device::AntiFlicker, device::Effect, device::WhiteBalance;
    switch (id) {
      case CAMERA_PROP_ANTI_FLICKER:
        if (!oneOf(value, {1, 2, 4})) return false;
        c.antiFlicker = value == 2 ? AntiFlicker::hz50 : value == 4 ? AntiFlicker::hz60 : AntiFlicker::automatic;
        break;
      case CAMERA_PROP_EFFECT:
        if (!oneOf(value, {1, 2, 4, 8})) return false;
        c.effect = value == 2 ? Effect::grey : value == 4 ? Effect::sepia : value == 8 ? Effect::negative : Effect::normal;
        break;
      case CAMERA_PROP_LIGHT:
        if (!oneOf(value, {1, 2, 4, 8, 16, 32, 128})) return false;
        c.night = value == 32 || value == 128;
        c.whiteBalance = value == 2    ? WhiteBalance::daylight
                         : value == 4  ? WhiteBalance::cloudy
                         : value == 8  ? WhiteBalance::tungsten
                         : value == 16 ? WhiteBalance::fluorescent
                                       : WhiteBalance::automatic;
        break;
      case CAMERA_PROP_ZOOM:
        if (!oneOf(value, {16, 32, 64, 128})) return false;
        c.zoom = value * 65536 / 16;
        break;
      case CAMERA_PROP_JPEG_LEVEL:
        if (!oneOf(value, {1, 2, 4, 8})) return false;
        break;
      case CAMERA_PROP_JPEG_THUMB:
      case CAMERA_PROP_JPEG_MARKERS:
        if (value > 1) return false;
        break;
      default: return false;
    }
  }
  values_[id] = value;
  return true;
}

bool Properties::get(uint32_t id, uint32_t *value) const {
  const auto found = values_.find(id);
  if (found == values_.end()) return false;
  *value = found->second;
  return true;
}

uint32_t Properties::jpegQuality() const {
  switch (values_.at(CAMERA_PROP_JPEG_LEVEL)) {
    case 1: return 50;
    case 2: return 65;
    case 8: return 92;
    default: return 80;
  }
}

}  // namespace htccamera
