// The camera driver source of the handsets whose camera sits behind "DSC1:": a capture thread has
// the driver copy each frame into a buffer of the source's own.
#pragma once

#include "camera/frame.h"

extern const SourceOps DscDriverSource;
