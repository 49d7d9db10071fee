// The vendor camera library source: the handset vendor's camera library, bound at start-up by
// device detection (camera/vendor_library.h), delivering frames through its callback.
#pragma once

#include "camera/frame.h"

extern const SourceOps VendorCameraSource;
