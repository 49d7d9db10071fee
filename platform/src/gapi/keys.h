// The handset's hardware buttons as GAPI reports them.
#pragma once

#include <gx.h>

namespace platform {

// The default key list for the device held upright (portrait) or turned a quarter
// counter-clockwise (landscape, buttons on the right): in landscape the direction pad's keys
// name the directions they then point to. Smartphones (platform type "SmartPhone") have soft
// keys where pocket computers have application buttons.
GXKeyList defaultKeys(bool landscape);

}  // namespace platform
