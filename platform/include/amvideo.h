// Video format blocks.
#pragma once

#include <wingdi.h>
#include <windef.h>

typedef LONGLONG REFERENCE_TIME;

typedef struct tagVIDEOINFOHEADER {
  RECT rcSource;
  RECT rcTarget;
  DWORD dwBitRate;
  DWORD dwBitErrorRate;
  REFERENCE_TIME AvgTimePerFrame;
  BITMAPINFOHEADER bmiHeader;
} VIDEOINFOHEADER;
static_assert(sizeof(VIDEOINFOHEADER) == 88 && offsetof(VIDEOINFOHEADER, AvgTimePerFrame) == 40 &&
              offsetof(VIDEOINFOHEADER, bmiHeader) == 48);

typedef struct tagVIDEOINFOHEADER2 {
  RECT rcSource;
  RECT rcTarget;
  DWORD dwBitRate;
  DWORD dwBitErrorRate;
  REFERENCE_TIME AvgTimePerFrame;
  DWORD dwInterlaceFlags;
  DWORD dwCopyProtectFlags;
  DWORD dwPictAspectRatioX;
  DWORD dwPictAspectRatioY;
  DWORD dwControlFlags;
  DWORD dwReserved2;
  BITMAPINFOHEADER bmiHeader;
} VIDEOINFOHEADER2;
static_assert(sizeof(VIDEOINFOHEADER2) == 112 && offsetof(VIDEOINFOHEADER2, bmiHeader) == 72);
