#include "drivers.h"

#include <atomic>

#include "device/profile.h"

namespace device {

namespace {

std::atomic<bool> s_cameraPower{false};

struct DriverEntry {
  const char *name;
  const char *cameraKind;  // the profile's `camera` value that gives the handset the driver
  IoStatus (*open)(uint32_t access, uint32_t share, std::unique_ptr<DriverHandle> *handle);
};

constexpr DriverEntry kDrivers[] = {
    {"LCM1:", "lcm", drivers::openLcm},
    {"DSC1:", "dsc", drivers::openDsc},
};

}  // namespace

IoStatus openDriver(const std::string &name, uint32_t access, uint32_t share, std::unique_ptr<DriverHandle> *handle) {
  for (const DriverEntry &d : kDrivers)
    if (name == d.name && current().contains("camera", d.cameraKind)) return d.open(access, share, handle);
  return IoStatus::noDevice;
}

void setCameraPower(bool on) { s_cameraPower = on; }
bool cameraPowered() { return s_cameraPower; }
bool cameraPowerSwitch() { return current().contains("camera", "lcm"); }

}  // namespace device
