#include "app/detect.h"

#include <windows.h>
#include <gx.h>

#include <cctype>
#include <cstring>
#include <initializer_list>

#include "camera/vendor_library.h"

namespace {

struct ModelRow {
  const char *first;
  const char *second;  // null when one text is enough
  uint32_t modelCode;
};

// Tested in this order; the first row whose texts all occur in the OEM name wins.
constexpr ModelRow kModelTable[] = {
    {"PM10", nullptr, 0},          {"WIZA", nullptr, 5},         {"PH10C", nullptr, 1},
    {"PU10", nullptr, 3},          {"PM300", nullptr, 4},        {"PM200", nullptr, 2},
    {"PA10A", nullptr, 6},         {"LOOX", "720", 12},          {"MPX", "220", 14},
    {"ST20", nullptr, 7},          {"I-MATE", "SP3", 7},         {"SPV", "500", 7},
    {"QTEK", "80", 7},             {"QTEK", "81", 7},            {"I-MATE", "SP4", 9},
    {"SPV", "550", 9},             {"QTEK", "82", 9},            {"I-MATE", "SP5", 10},
    {"SPV", "600", 10},            {"QTEK", "83", 10},           {"HERM", nullptr, 11},
    {"TRIN", nullptr, 11},         {"STAR", nullptr, 8},         {"MICROSOFT", nullptr, 15},
    {"ASUS P525", nullptr, 16},    {"BENQ P51", nullptr, 17},    {"GIGABYTE GSMART", nullptr, 18},
    {"MOTOQ", nullptr, 19},        {"TREO", "700", 21},          {"TREO", "750", 21},
    {"SGH-I320", nullptr, 22},     {"XDA ATOM", nullptr, 23},
};

bool IsOneOf(uint32_t code, std::initializer_list<uint32_t> codes) {
  for (uint32_t c : codes)
    if (c == code) return true;
  return false;
}

// The low byte of each UTF-16 unit, upper-cased, at most `capacity` - 1 characters.
void NarrowUpper(char *out, size_t capacity, const WCHAR *in) {
  size_t n = 0;
  for (; n + 1 < capacity && in[n]; ++n)
    out[n] = char(std::toupper(static_cast<unsigned char>(in[n] & 0xFF)));
  out[n] = 0;
}

uint32_t MatchModel(const char *name) {
  for (const ModelRow &row : kModelTable)
    if (std::strstr(name, row.first) && (!row.second || std::strstr(name, row.second)))
      return row.modelCode;
  return MODEL_UNKNOWN;
}

bool IsSmartphone() {
  WCHAR type[256] = {};
  if (!SystemParametersInfoW(SPI_GETPLATFORMTYPE, 256, type, 0)) return true;
  static const WCHAR kSmartPhone[] = TEXT("SmartPhone");
  return std::memcmp(type, kSmartPhone, sizeof kSmartPhone) == 0;
}

bool HasPxa27xProcessor() {
  PROCESSOR_INFO info = {};
  DWORD returned = 0;
  if (!KernelIoControl(IOCTL_PROCESSOR_INFORMATION, nullptr, 0, &info, sizeof info, &returned))
    return false;
  char core[sizeof info.szProcessorCore / sizeof(WCHAR) + 1];
  char name[sizeof info.szProcessorName / sizeof(WCHAR) + 1];
  NarrowUpper(core, sizeof core, info.szProcessorCore);
  NarrowUpper(name, sizeof name, info.szProcessorName);
  bool pxa = std::strstr(core, "PXA") || std::strstr(name, "PXA");
  bool v27 = std::strstr(core, "27") || std::strstr(name, "27");
  return pxa && v27;
}

void FindFrameBuffer(DeviceRecord *record) {
  record->frameBufferFormat = 0;
  record->bitsPerPixel = 0;
  record->frameBuffer = nullptr;
  record->xStride = record->yStride = 0;
  record->width = record->height = 0;

  HDC dc = GetDC(nullptr);
  RawFrameBufferInfo raw = {};
  if (ExtEscape(dc, GETRAWFRAMEBUFFER, 0, nullptr, sizeof raw, reinterpret_cast<LPSTR>(&raw)) >= 0) {
    record->frameBufferFormat = raw.wFormat;
    record->bitsPerPixel = raw.wBPP;
    record->frameBuffer = static_cast<uint8_t *>(raw.pFramePointer);
    record->xStride = raw.cxStride;
    record->yStride = raw.cyStride;
    record->width = uint32_t(raw.cxPixels);
    record->height = uint32_t(raw.cyPixels);
  }
  if (!record->frameBuffer) {
    GXDeviceInfo gx = {};
    gx.idVersion = sizeof gx;
    if (ExtEscape(dc, GETGXINFO, 0, nullptr, sizeof gx, reinterpret_cast<LPSTR>(&gx)) > 0) {
      record->frameBuffer = static_cast<uint8_t *>(gx.pvFrameBuffer);
      record->xStride = int32_t(gx.cBPP / 8);
      record->yStride = int32_t(gx.cbStride);
      record->width = gx.cxWidth;
      record->height = gx.cyHeight;
      record->frameBufferFormat = uint16_t(gx.ffFormat);
      record->bitsPerPixel = uint16_t(gx.cBPP);
    }
  }
  ReleaseDC(nullptr, dc);
}

}  // namespace

uint32_t DetectDevice(DeviceRecord *record) {
  record->modelCode = MODEL_UNKNOWN;
  record->vendorLibrary = BindVendorLibrary();

  WCHAR oem[256] = {};
  if (SystemParametersInfoW(SPI_GETOEMINFO, 256, oem, 0)) {
    NarrowUpper(record->oemName, sizeof record->oemName, oem);
    record->modelCode = MatchModel(record->oemName);
  }
  if (record->vendorLibrary && record->modelCode == MODEL_UNKNOWN)
    record->modelCode = MODEL_VENDOR_LIBRARY_ONLY;

  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof version;
  record->osMajorVersion = GetVersionExW(&version) ? version.dwMajorVersion : 0;

  record->smartphone = IsSmartphone();

  const uint32_t code = record->modelCode;
  record->pxa27x = IsOneOf(code, {0, 1, 3, 6, 12, 16, 17, 18, 19, 20, 21, 22, 23}) || HasPxa27xProcessor();

  FindFrameBuffer(record);

  record->chromaDefault = IsOneOf(code, {2, 4, 5, 7, 9, 10, 11}) ? 1 : 0;
  record->mountingDefault = IsOneOf(code, {3, 5, 11}) ? 2 : IsOneOf(code, {7, 9, 10}) ? 1 : 0;
  record->orientationDefault = IsOneOf(code, {3, 5, 6, 11}) ? 2 : IsOneOf(code, {7, 9, 10}) ? 1 : 0;

  return record->frameBuffer != nullptr;
}
