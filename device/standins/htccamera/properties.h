// The vendor camera library's properties: ids and values as the library takes them, turned into
// the sensor's controls.
#pragma once

#include <cstdint>
#include <map>

#include "device/camera.h"
#include "device/camera_codes.h"

namespace device {
class Profile;
}

namespace htccamera {

class Properties {
 public:
  // The model's ranges: the library's own, replaced by the profile's camera_range lines.
  explicit Properties(const device::Profile &profile);

  // Takes a property's value into the controls; false (and nothing changes) for an unknown id or
  // a value outside the property's range.
  bool set(uint32_t id, uint32_t value, device::SensorControls &controls);
  // The value last set (or the neutral one); false for an unknown id.
  bool get(uint32_t id, uint32_t *value) const;

  // The quality of the camera's JPEG pictures at the compression level in force.
  uint32_t jpegQuality() const;

 private:
  using Range = device::OptionRange;
  std::map<uint32_t, Range> ranges_;
  std::map<uint32_t, uint32_t> values_;
};

}  // namespace htccamera
