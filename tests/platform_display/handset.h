// Puts the emulated handset on a profile given as text, with a fresh display.
#pragma once

#include <string>

#include "device/display.h"
#include "device/profile.h"

inline void useProfile(const std::string &text) {
  device::setCurrent(device::Profile::parse(text, "test.profile"));
  device::resetDisplay();
}
