#include "formats.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace capfilter {
namespace {

// A VideoInfo block cut short: the bitmap header ends after biSizeImage.
constexpr ULONG kShortBlock = offsetof(VIDEOINFOHEADER, bmiHeader) + offsetof(BITMAPINFOHEADER, biXPelsPerMeter);
static_assert(kShortBlock == 72 && kShortBlock < sizeof(VIDEOINFOHEADER));
// RGB 565 carries its three colour masks after the bitmap header, as VIDEOINFO lays them out.
constexpr DWORD kRgb565Masks[3] = {0xF800, 0x07E0, 0x001F};

struct Subtype {
  const char *name;
  const GUID *guid;
  uint32_t sensorFormat;
  WORD bits;
};
const Subtype kSubtypes[] = {
    {"UYVY", &MEDIASUBTYPE_UYVY, device::kSensorUYVY, 16}, {"YUY2", &MEDIASUBTYPE_YUY2, device::kSensorYUY2, 16},
    {"YV12", &MEDIASUBTYPE_YV12, device::kSensorYV12, 12}, {"I420", &MEDIASUBTYPE_I420, device::kSensorI420, 12},
    {"RGB565", &MEDIASUBTYPE_RGB565, device::kSensorRGB565, 16},
};

const Subtype *subtypeOf(const Capability &c) {
  for (const Subtype &s : kSubtypes)
    if (IsEqualGUID(*s.guid, c.subtype)) return &s;
  return nullptr;
}

bool planar(const Capability &c) {
  return c.sensorFormat == device::kSensorYV12 || c.sensorFormat == device::kSensorI420;
}

const GUID &formatTypeOf(const Capability &c) {
  return c.block == Block::videoInfo2 ? FORMAT_VideoInfo2 : FORMAT_VideoInfo;
}

ULONG blockLength(const Capability &c) {
  switch (c.block) {
    case Block::videoInfo2: return sizeof(VIDEOINFOHEADER2);
    case Block::shortVideoInfo: return kShortBlock;
    default: return sizeof(VIDEOINFOHEADER) + (c.sensorFormat == device::kSensorRGB565 ? sizeof kRgb565Masks : 0);
  }
}

// The bitmap header in a format block, null when the block is too short to hold its size.
const BITMAPINFOHEADER *bitmapOf(const AM_MEDIA_TYPE &type) {
  size_t at = 0;
  if (IsEqualGUID(type.formattype, FORMAT_VideoInfo))
    at = offsetof(VIDEOINFOHEADER, bmiHeader);
  else if (IsEqualGUID(type.formattype, FORMAT_VideoInfo2))
    at = offsetof(VIDEOINFOHEADER2, bmiHeader);
  else
    return nullptr;
  if (!type.pbFormat || type.cbFormat < at + offsetof(BITMAPINFOHEADER, biPlanes)) return nullptr;
  return reinterpret_cast<const BITMAPINFOHEADER *>(type.pbFormat + at);
}

void swapRows(BYTE *first, size_t rowBytes, size_t rows) {
  for (size_t top = 0, bottom = rows - 1; top < bottom; ++top, --bottom) {
    BYTE *a = first + top * rowBytes, *b = first + bottom * rowBytes;
    for (size_t i = 0; i < rowBytes; ++i) std::swap(a[i], b[i]);
  }
}

}  // namespace

std::vector<Capability> parseCapabilities(const std::vector<std::string> &lines) {
  std::vector<Capability> list;
  for (const std::string &line : lines) {
    char subtype[16] = {}, block[16] = {};
    int w = 0, h = 0;
    if (std::sscanf(line.c_str(), "%dx%d %15s %15s", &w, &h, subtype, block) < 3) continue;
    const Subtype *found = nullptr;
    for (const Subtype &s : kSubtypes)
      if (std::strcmp(s.name, subtype) == 0) found = &s;
    if (!found || w <= 0 || h == 0) continue;
    Block kind = std::strcmp(block, "videoinfo2") == 0 ? Block::videoInfo2
                 : std::strcmp(block, "short") == 0    ? Block::shortVideoInfo
                                                       : Block::videoInfo;
    list.push_back({LONG(w), LONG(h), *found->guid, found->sensorFormat, kind});
  }
  return list;
}

device::SensorRequest sensorRequest(const Capability &c) {
  const uint32_t w = uint32_t(c.width), h = uint32_t(std::abs(c.height));
  return {w, h, 0, 0, w, h, c.sensorFormat};
}

DWORD imageBytes(const Capability &c) { return DWORD(device::Sensor::frameBytes(sensorRequest(c))); }

void describe(const Capability &c, REFERENCE_TIME interval, CMediaType *type) {
  type->InitMediaType();
  type->SetType(&MEDIATYPE_Video);
  type->SetSubtype(&c.subtype);
  type->SetFormatType(&formatTypeOf(c));
  type->SetTemporalCompression(FALSE);
  type->SetSampleSize(imageBytes(c));
  const ULONG length = blockLength(c);
  BYTE *block = type->AllocFormatBuffer(length);
  if (!block) return;
  std::memset(block, 0, length);
  // Both headers begin alike up to AvgTimePerFrame; only where the bitmap header sits differs.
  VIDEOINFOHEADER full = {};
  full.dwBitRate = DWORD(uint64_t(imageBytes(c)) * 8 * 10000000 / uint64_t(interval > 0 ? interval : 1));
  full.AvgTimePerFrame = interval;
  BITMAPINFOHEADER &bmi = full.bmiHeader;
  bmi.biSize = sizeof(BITMAPINFOHEADER);
  bmi.biWidth = c.width;
  bmi.biHeight = c.height;
  bmi.biPlanes = 1;
  bmi.biBitCount = subtypeOf(c)->bits;
  bmi.biCompression = c.sensorFormat == device::kSensorRGB565 ? BI_BITFIELDS : c.sensorFormat;
  bmi.biSizeImage = imageBytes(c);
  if (c.block == Block::videoInfo2) {
    auto *v2 = reinterpret_cast<VIDEOINFOHEADER2 *>(block);
    v2->dwBitRate = full.dwBitRate;
    v2->AvgTimePerFrame = interval;
    v2->dwPictAspectRatioX = 4;
    v2->dwPictAspectRatioY = 3;
    v2->bmiHeader = bmi;
    return;
  }
  std::memcpy(block, &full, std::min<size_t>(length, sizeof full));
  if (length > sizeof full) std::memcpy(block + sizeof full, kRgb565Masks, sizeof kRgb565Masks);
}

void describeCaps(const Capability &c, REFERENCE_TIME interval, VIDEO_STREAM_CONFIG_CAPS *caps) {
  std::memset(caps, 0, sizeof *caps);
  caps->guid = formatTypeOf(c);
  const SIZE size = {c.width, c.height};
  caps->InputSize = caps->MinCroppingSize = caps->MaxCroppingSize = size;
  caps->MinOutputSize = caps->MaxOutputSize = size;
  caps->CropGranularityX = caps->CropGranularityY = 1;
  caps->CropAlignX = caps->CropAlignY = 1;
  caps->OutputGranularityX = caps->OutputGranularityY = 1;
  caps->MinFrameInterval = interval;
  caps->MaxFrameInterval = 2 * interval;  // night mode halves the rate
  const LONG bits = LONG(std::min<uint64_t>(uint64_t(imageBytes(c)) * 8 * 10000000 / uint64_t(interval), 0x7FFFFFFF));
  caps->MinBitsPerSecond = bits / 2;
  caps->MaxBitsPerSecond = bits;
}

int findCapability(const std::vector<Capability> &list, const AM_MEDIA_TYPE &type) {
  if (!IsEqualGUID(type.majortype, MEDIATYPE_Video)) return -1;
  const BITMAPINFOHEADER *bmi = bitmapOf(type);
  if (!bmi) return -1;
  const bool cutShort = IsEqualGUID(type.formattype, FORMAT_VideoInfo) && type.cbFormat < sizeof(VIDEOINFOHEADER);
  for (size_t i = 0; i < list.size(); ++i) {
    const Capability &c = list[i];
    if (IsEqualGUID(type.subtype, c.subtype) && IsEqualGUID(type.formattype, formatTypeOf(c)) &&
        cutShort == (c.block == Block::shortVideoInfo) && bmi->biWidth == c.width && bmi->biHeight == c.height)
      return int(i);
  }
  return -1;
}

void flipRows(const Capability &c, BYTE *picture) {
  const size_t w = size_t(c.width), h = size_t(std::abs(c.height));
  if (!planar(c)) {
    swapRows(picture, imageBytes(c) / h, h);
    return;
  }
  const size_t cw = (w + 1) / 2, ch = (h + 1) / 2;
  swapRows(picture, w, h);
  swapRows(picture + w * h, cw, ch);
  swapRows(picture + w * h + cw * ch, cw, ch);
}

}  // namespace capfilter
