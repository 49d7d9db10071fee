#include "device/faults.h"

#include <cstdlib>
#include <sstream>

namespace device {

bool faultRequested(const std::string &name) {
  const char *faults = std::getenv("HANDSET_FAULTS");
  if (!faults) return false;
  std::istringstream list(faults);
  for (std::string item; std::getline(list, item, ',');)
    if (item == name) return true;
  return false;
}

}  // namespace device
