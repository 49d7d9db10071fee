// The picture properties of the capture filter (IAMVideoProcAmp and IAMCameraControl): their
// ranges, defaults and values, and the sensor controls they make.
#pragma once

#include <strmif.h>

#include <map>
#include <mutex>
#include <utility>

#include "device/camera.h"

namespace capfilter {

enum class PropertySet { procAmp, camera };

class Controls {
 public:
  // E_PROP_ID_UNSUPPORTED for a property the camera does not have.
  HRESULT range(PropertySet set, LONG id, LONG *min, LONG *max, LONG *step, LONG *def, LONG *caps) const;
  // E_INVALIDARG for flags the property does not take, or a manual value off its range or steps.
  HRESULT set(PropertySet set, LONG id, LONG value, LONG flags);
  HRESULT get(PropertySet set, LONG id, LONG *value, LONG *flags) const;
  // The sensor's controls for the values in force (the defaults give the neutral picture).
  device::SensorControls sensorControls() const;

 private:
  struct Value {
    LONG value, flags;
  };
  Value valueOf(PropertySet set, LONG id) const;  // lock held
  mutable std::mutex lock_;
  std::map<std::pair<PropertySet, LONG>, Value> values_;  // only those set
};

}  // namespace capfilter
