// GAPI (gx.dll): direct access to the display frame buffer and the default key lists.
#pragma once

#include <windows.h>

#include <cstddef>

#define GX_FULLSCREEN 0x01
#define GX_NORMALKEYS 0x02
#define GX_LANDSCAPEKEYS 0x03

// ffFormat flags.
#define kfLandscape 0x8
#define kfPalette 0x10
#define kfDirect 0x20
#define kfDirect555 0x40
#define kfDirect565 0x80
#define kfDirect888 0x100
#define kfDirect444 0x200
#define kfDirectInverted 0x400

struct GXDisplayProperties {
  DWORD cxWidth;
  DWORD cyHeight;
  LONG cbxPitch;  // bytes from one pixel to the next in a row
  LONG cbyPitch;  // bytes from one row to the next
  LONG cBPP;
  DWORD ffFormat;
};

// The hardware buttons for the eight logical keys: a virtual-key code and the button's
// position in screen coordinates.
struct GXKeyList {
  short vkUp;
  POINT ptUp;
  short vkDown;
  POINT ptDown;
  short vkLeft;
  POINT ptLeft;
  short vkRight;
  POINT ptRight;
  short vkA;
  POINT ptA;
  short vkB;
  POINT ptB;
  short vkC;
  POINT ptC;
  short vkStart;
  POINT ptStart;
};
static_assert(sizeof(GXKeyList) == 96);
static_assert(offsetof(GXKeyList, vkDown) == 12 && offsetof(GXKeyList, ptStart) == 88);

// The display driver's GETGXINFO record (ExtEscape); idVersion is set by the caller.
struct GXDeviceInfo {
  LONG idVersion;
  void *pvFrameBuffer;
  DWORD cbStride;
  DWORD cxWidth;
  DWORD cyHeight;
  DWORD cBPP;
  DWORD ffFormat;
  short vkButtonUpPortrait;
  short vkButtonUpLandscape;
  POINT ptButtonUp;
  short vkButtonDownPortrait;
  short vkButtonDownLandscape;
  POINT ptButtonDown;
  short vkButtonLeftPortrait;
  short vkButtonLeftLandscape;
  POINT ptButtonLeft;
  short vkButtonRightPortrait;
  short vkButtonRightLandscape;
  POINT ptButtonRight;
  short vkButtonAPortrait;
  short vkButtonALandscape;
  POINT ptButtonA;
  short vkButtonBPortrait;
  short vkButtonBLandscape;
  POINT ptButtonB;
  short vkButtonCPortrait;
  short vkButtonCLandscape;
  POINT ptButtonC;
  short vkButtonStartPortrait;
  short vkButtonStartLandscape;
  POINT ptButtonStart;
  void *pvReserved1;
  void *pvReserved2;
};
static_assert(offsetof(GXDeviceInfo, pvFrameBuffer) == 8 && offsetof(GXDeviceInfo, ffFormat) == 32 &&
              offsetof(GXDeviceInfo, ptButtonStart) == 124 && offsetof(GXDeviceInfo, pvReserved1) == 136);

extern "C" {

int WINAPI GXOpenDisplay(HWND window, DWORD flags);
int WINAPI GXCloseDisplay(void);
// The frame buffer's address, or NULL while the display is not open or suspended.
void *WINAPI GXBeginDraw(void);
int WINAPI GXEndDraw(void);
int WINAPI GXOpenInput(void);
int WINAPI GXCloseInput(void);
GXDisplayProperties WINAPI GXGetDisplayProperties(void);
GXKeyList WINAPI GXGetDefaultKeys(int options);
int WINAPI GXSuspend(void);
int WINAPI GXResume(void);

}  // extern "C"
