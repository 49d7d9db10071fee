// The microphone backends, chosen by the profile's "microphone" value.
#pragma once

#include <memory>
#include <string>

#include "device/microphone.h"

namespace device {

// Empty when `value` names a backend, else what is wrong with it (the profile check).
std::string checkMicrophone(const std::string &value);

// A live ALSA capture device, or null when ALSA or the device is not there.
std::unique_ptr<Microphone> openAlsaMicrophone(const std::string &pcmName);

}  // namespace device
