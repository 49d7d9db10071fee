#include "properties.h"

#include <htccamera.h>

#include <algorithm>
#include <cstdio>
#include <initializer_list>

#include "device/camera_codes.h"
#include "device/profile.h"

namespace htccamera {

namespace {

using device::SensorControls;

bool oneOf(uint32_t value, std::initializer_list<uint32_t> allowed) {
  return std::find(allowed.begin(), allowed.end(), value) != allowed.end();
}

// The picture option of a property the program's option lists send; null for the others.
const device::PictureOption *OptionOf(uint32_t id) {
  using device::PictureOption;
  static constexpr struct {
    uint32_t id;
    PictureOption option;
  } kOptions[] = {
      {CAMERA_PROP_ANTI_FLICKER, PictureOption::antiFlicker}, {CAMERA_PROP_EFFECT, PictureOption::effect},
      {CAMERA_PROP_CONTRAST, PictureOption::contrast},         {CAMERA_PROP_BRIGHTNESS, PictureOption::brightness},
      {CAMERA_PROP_SATURATION, PictureOption::saturation},     {CAMERA_PROP_SHARPNESS, PictureOption::sharpness},
      {CAMERA_PROP_GAMMA, PictureOption::gamma},               {CAMERA_PROP_HUE, PictureOption::hue},
      {CAMERA_PROP_LIGHT, PictureOption::light},
  };
  for (const auto &entry : kOptions)
    if (entry.id == id) return &entry.option;
  return nullptr;
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
  if (const device::PictureOption *option = OptionOf(id)) {
    const auto range = ranges_.find(id);
    const Range r = range != ranges_.end() ? range->second : Range{};
    if (!device::setPictureOption(*option, value, r, {32, 128}, c)) return false;
  } else {
    switch (id) {
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
