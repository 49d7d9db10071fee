// Faults of the emulated hardware on request, for tests and for trying the program's failure
// handling by hand: HANDSET_FAULTS names them, separated by commas ("camera-init,cycle-timeout").
// Each stand-in documents the names it answers in device/profiles/README.md; an unknown name is
// ignored. This is the device's control API; product code never includes it.
#pragma once

#include <string>

namespace device {

// Whether HANDSET_FAULTS (read at each call, so a test may change it between cases) names the
// fault.
bool faultRequested(const std::string &name);

}  // namespace device
