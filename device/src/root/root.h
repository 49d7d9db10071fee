// Setting up the host folder that holds the handset's file system.
#pragma once

#include <string>

namespace device {

// Creates the folder and, inside it, the folders every handset has from the factory
// ("\My Documents", "\Program Files", "\Windows", "\Temp"); folders already there are kept. A
// root that is no folder and cannot be made one ends the process (stopOnBadSetting).
void prepareRoot(const std::string &hostPath);

}  // namespace device
