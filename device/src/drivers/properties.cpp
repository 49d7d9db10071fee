#include "properties.h"

#include <algorithm>
#include <initializer_list>

namespace device::drivers {

namespace {

bool oneOf(uint32_t value, std::initializer_list<uint32_t> allowed) {
  return std::find(allowed.begin(), allowed.end(), value) != allowed.end();
}

int graded(uint32_t value, const PropertyRule &r, int scale) {
  const int span = int(std::max(r.high - r.neutral, r.neutral - r.low));
  return span ? (int(value) - int(r.neutral)) * scale / span : 0;
}

}  // namespace

DriverProperties::DriverProperties(const PropertyRule *rules, size_t count, bool smartphone)
    : rules_(rules), count_(count), smartphone_(smartphone) {
  for (size_t i = 0; i < count; ++i) values_[rules[i].id] = rules[i].neutral;
}

const PropertyRule *DriverProperties::find(uint32_t id) const {
  for (size_t i = 0; i < count_; ++i)
    if (rules_[i].id == id) return &rules_[i];
  return nullptr;
}

bool DriverProperties::set(uint32_t id, uint32_t value, SensorControls &c) {
  const PropertyRule *rule = find(id);
  if (!rule) return false;
  using device::AntiFlicker, device::Effect, device::WhiteBalance;
  switch (rule->control) {
    case Control::antiFlicker:
      if (!oneOf(value, {1, 2, 4})) return false;
      c.antiFlicker = value == 2 ? AntiFlicker::hz50 : value == 4 ? AntiFlicker::hz60 : AntiFlicker::automatic;
      break;
    case Control::effect:
      if (!oneOf(value, {1, 2, 4, 8})) return false;
      c.effect = value == 2 ? Effect::grey : value == 4 ? Effect::sepia : value == 8 ? Effect::negative : Effect::normal;
      break;
    case Control::light: {
      // Night is 128 on a Pocket PC's driver, 32 on a smartphone's.
      const uint32_t night = smartphone_ ? 32 : 128;
      if (!oneOf(value, {1, 2, 4, 8, 16, night})) return false;
      c.night = value == night;
      c.whiteBalance = value == 2    ? WhiteBalance::daylight
                       : value == 4  ? WhiteBalance::cloudy
                       : value == 8  ? WhiteBalance::tungsten
                       : value == 16 ? WhiteBalance::fluorescent
                                     : WhiteBalance::automatic;
      break;
    }
    default: {
      if (value < rule->low || value > rule->high) return false;
      const int level = graded(value, *rule, 100);
      switch (rule->control) {
        case Control::contrast: c.contrast = level; break;
        case Control::brightness: c.brightness = level; break;
        case Control::saturation: c.saturation = level; break;
        case Control::sharpness: c.sharpness = level; break;
        case Control::gamma: c.gamma = level; break;
        case Control::hue: c.hue = graded(value, *rule, 180); break;
        default: break;
      }
    }
  }
  values_[id] = value;
  return true;
}

bool DriverProperties::get(uint32_t id, uint32_t *value) const {
  const auto found = values_.find(id);
  if (found == values_.end()) return false;
  *value = found->second;
  return true;
}

}  // namespace device::drivers
