// The camera drivers' properties: ids and values as a driver takes them, turned into the sensor's
// controls. Each driver has its own table of ids and ranges.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>

#include "device/camera_codes.h"

namespace device::drivers {

using Control = PictureOption;

// A graded control takes low … high around neutral; the others take their listed codes (1, 2, 4 …)
// and neutral is their first.
struct PropertyRule {
  uint32_t id;
  Control control;
  uint32_t low, high, neutral;
};

class DriverProperties {
 public:
  DriverProperties(const PropertyRule *rules, size_t count, bool smartphone);
  // False (nothing changes) for an unknown id or a value the property does not take.
  bool set(uint32_t id, uint32_t value, SensorControls &controls);
  // The value last set, or the neutral one; false for an unknown id.
  bool get(uint32_t id, uint32_t *value) const;

 private:
  const PropertyRule *find(uint32_t id) const;
  const PropertyRule *rules_;
  size_t count_;
  bool smartphone_;
  std::map<uint32_t, uint32_t> values_;
};

}  // namespace device::drivers
