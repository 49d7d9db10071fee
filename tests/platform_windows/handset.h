// Puts the emulated handset on a profile given as text, with a fresh display.
#pragma once

#include <string>

#include "device/display.h"
#include "device/profile.h"

inline void useProfile(const std::string &text) {
  device::setCurrent(device::Profile::parse(text, "test.profile"));
  device::resetDisplay();
}

inline const char *kPocketPc =
    "oem_info = Test PDA\nplatform_type = PocketPC\ndisplay = 240x320\ntouch_screen = yes\n";
