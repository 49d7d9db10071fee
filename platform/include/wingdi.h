// GDI of the Windows CE SDK, as far as this program needs it: bitmaps, stock objects, the
// display mode record and the display driver's escapes that expose the frame buffer.
#pragma once

#include <windef.h>

#include <cstddef>

typedef struct tagRGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
} RGBQUAD;

typedef struct tagBITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;  // positive: rows stored bottom-up
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
} BITMAPINFOHEADER, *PBITMAPINFOHEADER, *LPBITMAPINFOHEADER;

typedef struct tagBITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
} BITMAPINFO, *PBITMAPINFO, *LPBITMAPINFO;

#define BI_RGB 0
#define BI_BITFIELDS 3

// What GetObjectW reports for a bitmap.
typedef struct tagBITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  LPVOID bmBits;
} BITMAP, *PBITMAP, *LPBITMAP;

static_assert(sizeof(BITMAPINFOHEADER) == 40);
static_assert(offsetof(BITMAPINFOHEADER, biWidth) == 4 && offsetof(BITMAPINFOHEADER, biBitCount) == 14 &&
              offsetof(BITMAPINFOHEADER, biSizeImage) == 20 && offsetof(BITMAPINFOHEADER, biClrUsed) == 32);
static_assert(sizeof(RGBQUAD) == 4);

// Stock objects.
#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8
#define SYSTEM_FONT 13

extern "C" HGDIOBJ WINAPI GetStockObject(int object);
// Frees a bitmap; stock objects are never freed. FALSE for anything that is not an object.
extern "C" BOOL WINAPI DeleteObject(HGDIOBJ object);
// For a bitmap fills a BITMAP (bmBits points at its rows as stored); returns the bytes written.
extern "C" int WINAPI GetObjectW(HGDIOBJ object, int size, LPVOID out);

// The display mode record of ChangeDisplaySettingsEx.
#define CCHDEVICENAME 32
#define CCHFORMNAME 32

typedef struct _devicemodeW {
  WCHAR dmDeviceName[CCHDEVICENAME];
  WORD dmSpecVersion;
  WORD dmDriverVersion;
  WORD dmSize;
  WORD dmDriverExtra;
  DWORD dmFields;
  short dmOrientation;
  short dmPaperSize;
  short dmPaperLength;
  short dmPaperWidth;
  short dmScale;
  short dmCopies;
  short dmDefaultSource;
  short dmPrintQuality;
  short dmColor;
  short dmDuplex;
  short dmYResolution;
  short dmTTOption;
  short dmCollate;
  WCHAR dmFormName[CCHFORMNAME];
  WORD dmLogPixels;
  DWORD dmBitsPerPel;
  DWORD dmPelsWidth;
  DWORD dmPelsHeight;
  DWORD dmDisplayFlags;
  DWORD dmDisplayFrequency;
  DWORD dmDisplayOrientation;
} DEVMODEW, *PDEVMODEW, *LPDEVMODEW;
typedef DEVMODEW DEVMODE;
typedef LPDEVMODEW LPDEVMODE;

static_assert(sizeof(DEVMODEW) == 192);
static_assert(offsetof(DEVMODEW, dmSize) == 68 && offsetof(DEVMODEW, dmFields) == 72 &&
              offsetof(DEVMODEW, dmDisplayOrientation) == 188);

#define DM_BITSPERPEL 0x00040000
#define DM_PELSWIDTH 0x00080000
#define DM_PELSHEIGHT 0x00100000
#define DM_DISPLAYFLAGS 0x00200000
#define DM_DISPLAYFREQUENCY 0x00400000
#define DM_DISPLAYORIENTATION 0x00800000
#define DM_DISPLAYQUERYORIENTATION 0x01000000

// Orientations: quarter turns of the picture, counted clockwise. DMDO_0 is the panel's own.
#define DMDO_0 0
#define DMDO_90 1
#define DMDO_180 2
#define DMDO_270 4

// Display driver escapes. A positive result is success, 0 means the escape is not supported,
// a negative one is an error (for example an output record that is too small).
#define QUERYESCSUPPORT 8
#define GETGXINFO 0x00020000
#define GETRAWFRAMEBUFFER 0x00020001

// GETRAWFRAMEBUFFER's record: the frame buffer as the display driver lays it out.
typedef struct _RawFrameBufferInfo {
  WORD wFormat;  // FORMAT_565 …
  WORD wBPP;
  VOID *pFramePointer;
  int cxStride;  // bytes from one pixel to the next in a row
  int cyStride;  // bytes from one row to the next
  int cxPixels;
  int cyPixels;
} RawFrameBufferInfo;

#define FORMAT_565 1
#define FORMAT_555 2
#define FORMAT_OTHER 3

static_assert(offsetof(RawFrameBufferInfo, wBPP) == 2 && offsetof(RawFrameBufferInfo, pFramePointer) == 8 &&
              offsetof(RawFrameBufferInfo, cxStride) == 16 && offsetof(RawFrameBufferInfo, cyPixels) == 28);

extern "C" int WINAPI ExtEscape(HDC dc, int escape, int inSize, LPCSTR in, int outSize, LPSTR out);
