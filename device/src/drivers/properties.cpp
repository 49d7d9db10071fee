#include "properties.h"

#include "device/camera_codes.h"

namespace device::drivers {

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
  // Night is 128 on a Pocket PC's driver, 32 on a smartphone's.
  if (!rule || !setPictureOption(rule->control, value, {rule->low, rule->high, rule->neutral},
                                 {smartphone_ ? 32u : 128u}, c))
    return false;
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
