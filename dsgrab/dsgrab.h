// dsgrab: the system's DirectShow capture library. It builds a capture graph around the
// handset's video capture filter and hands every sample to a plain function of the caller.
// The library exports only DllGetData, which fills a CaptureTable owned by the caller.
#pragma once

#include <cstddef>
#include <cstdint>

#include <windows.h>

// Receives one sample: its data and the byte size of the sample buffer (not the data length).
// Called on the capture filter's streaming thread; the data are valid only during the call.
// The result is not looked at.
typedef uint32_t (*FrameCallback)(uint8_t *data, uint32_t size);

// One format of a pin, laid out as the program's SizeEntry. The height is always positive;
// subtype is Data1 of the media subtype (the FOURCC of YUV formats).
struct FormatRecord {
  uint32_t width;
  uint32_t height;
  uint32_t subtype;
};
static_assert(sizeof(FormatRecord) == 12);

// A picture property's range; result is the HRESULT of the query for this property.
struct PropertyRange {
  int32_t property;
  int32_t minimum;
  int32_t maximum;
  int32_t delta;
  int32_t defaultValue;
  int32_t flags;
  int32_t result;
};
static_assert(sizeof(PropertyRange) == 28);

// A picture property's value; result is the HRESULT of the Get or Set for this property.
struct PropertyValue {
  int32_t property;
  int32_t value;
  int32_t flags;
  int32_t result;
};
static_assert(sizeof(PropertyValue) == 16);

// The nine operations, filled by DllGetData in this order, then the caller's module handle
// (null while not bound; the library never touches it). Every result: 1 done, 0 failed.
struct CaptureTable {
  uint32_t (*OpenCamera)();
  uint32_t (*CloseCamera)();  // always 1
  uint32_t (*SetGraphState)(uint32_t state);  // 0 stop, 1 pause, 2 run
  uint32_t (*SetFrameCallback)(FrameCallback fn);
  uint32_t (*EnumFormats)(FormatRecord *list, uint32_t *count, uint32_t still);
  uint32_t (*SelectFormat)(const FormatRecord *fmt, uint32_t still);
  uint32_t (*CaptureStill)(FrameCallback fn);
  uint32_t (*GetPropertyRanges)(PropertyRange *list, uint32_t count, uint32_t procAmp);
  uint32_t (*AccessProperties)(PropertyValue *list, uint32_t count, uint32_t procAmp, uint32_t set);
  HMODULE module;
};
static_assert(offsetof(CaptureTable, AccessProperties) == 8 * sizeof(void *));
static_assert(offsetof(CaptureTable, module) == 9 * sizeof(void *));

typedef uint32_t (*DllGetDataFn)(CaptureTable *table);
