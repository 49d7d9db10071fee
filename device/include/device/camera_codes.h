// The picture options as the program's option lists send them to a camera, whichever library or
// driver carries them, turned into the sensor's controls.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "device/camera.h"

namespace device {

enum class PictureOption { antiFlicker, effect, light, contrast, brightness, saturation, sharpness, gamma, hue };

// The values of a graded option (contrast … hue).
struct OptionRange {
  uint32_t low, high, neutral;
};

// A graded option takes range.low … range.high around range.neutral and moves its control over
// its whole span. The others take codes: anti-flicker 1 automatic, 2 50 Hz, 4 60 Hz; effect
// 1 normal, 2 grey, 4 sepia, 8 negative; light 1 automatic white balance, 2 daylight, 4 cloudy,
// 8 tungsten, 16 fluorescent, or one of the camera's night codes. False, and nothing changes, for
// a value the option does not have.
bool setPictureOption(PictureOption option, uint32_t value, OptionRange range, std::initializer_list<uint32_t> nights,
                      SensorControls &controls);

}  // namespace device
