// The capture filter's capabilities: one per dshow_capture / dshow_still line of the profile, each
// the media type and VIDEO_STREAM_CONFIG_CAPS a pin offers and the sensor picture it delivers.
#pragma once

#include <streams.h>

#include <string>
#include <vector>

#include "device/camera.h"

namespace capfilter {

enum class Block { videoInfo, videoInfo2, shortVideoInfo };

struct Capability {
  LONG width, height;  // a negative height is a bottom-up picture
  GUID subtype;
  uint32_t sensorFormat;  // device::kSensor*
  Block block;
};

// The capabilities of profile lines "WIDTHxHEIGHT SUBTYPE [BLOCK]", in order (lines the profile
// check let through; anything else is skipped).
std::vector<Capability> parseCapabilities(const std::vector<std::string> &lines);

// What the sensor is asked for one picture of the capability, and its size in bytes.
device::SensorRequest sensorRequest(const Capability &c);
DWORD imageBytes(const Capability &c);

// The capability's media type with its format block; frames come every `interval` (100 ns).
void describe(const Capability &c, REFERENCE_TIME interval, CMediaType *type);
void describeCaps(const Capability &c, REFERENCE_TIME interval, VIDEO_STREAM_CONFIG_CAPS *caps);

// The index of the capability a type describes (major type, subtype, format type and block,
// width and signed height), -1 for none.
int findCapability(const std::vector<Capability> &list, const AM_MEDIA_TYPE &type);

// Turns a picture of the capability written top down into a bottom-up one, in place.
void flipRows(const Capability &c, BYTE *picture);

}  // namespace capfilter
