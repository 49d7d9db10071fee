// DeviceRecord: what the program knows of the handset it runs on. Device detection fills it
// once per run; everything else reads this record, never the system, for these facts.
#pragma once

#include <cstddef>
#include <cstdint>

// ModelCode values: indices of the detection table's devices; 13 is a device the table does
// not name but whose vendor camera library works, 24 a device not in the table.
constexpr uint32_t MODEL_VENDOR_LIBRARY_ONLY = 13;
constexpr uint32_t MODEL_UNKNOWN = 24;

struct DeviceRecord {
  char oemName[128];  // upper-cased 8-bit OEM information, at most 127 characters
  uint32_t modelCode;
  uint8_t pxa27x;
  uint8_t smartphone;
  uint32_t osMajorVersion;
  uint32_t vendorLibrary;
  uint32_t chromaDefault;
  uint32_t mountingDefault;
  uint32_t orientationDefault;
  // The display's frame buffer, in the layout GETRAWFRAMEBUFFER fills.
  uint16_t frameBufferFormat;
  uint16_t bitsPerPixel;
  uint8_t *frameBuffer;
  int32_t xStride;
  int32_t yStride;
  uint32_t width;
  uint32_t height;
  // The screen source's capture window from "Config.txt" (x, y, width, height); width 0: none.
  int32_t captureWindow[4];
  uint8_t screenCaptureMode;
};
static_assert(offsetof(DeviceRecord, modelCode) == 128);
