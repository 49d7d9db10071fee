// The display driver's escapes: the frame buffer as the profile says the driver exposes it
// (raw frame buffer and GX information, GX information only, or neither).
#include <gx.h>

#include <cstring>

#include "device/display.h"
#include "display/gdi.h"
#include "gapi/keys.h"

namespace platform {
namespace {

bool supported(DWORD escape) {
  device::FrameBufferAccess access = device::display().access();
  switch (escape) {
    case QUERYESCSUPPORT: return true;
    case GETRAWFRAMEBUFFER: return access == device::FrameBufferAccess::raw;
    case GETGXINFO: return access != device::FrameBufferAccess::none;
    default: return false;
  }
}

int rawFrameBuffer(int outSize, void *out) {
  if (!out || outSize < static_cast<int>(sizeof(RawFrameBufferInfo))) return -1;
  device::Display &display = device::display();
  RawFrameBufferInfo info{FORMAT_565,     16, display.pixels(), 2, display.pitch(), display.width(),
                          display.height()};
  std::memcpy(out, &info, sizeof(info));
  return 1;
}

int gxInfo(int outSize, void *out) {
  if (!out || outSize < static_cast<int>(sizeof(GXDeviceInfo))) return -1;
  GXDeviceInfo info;
  std::memcpy(&info, out, sizeof(info));  // the caller's idVersion stays
  device::Display &display = device::display();
  info.pvFrameBuffer = display.pixels();
  info.cbStride = static_cast<DWORD>(display.pitch());
  info.cxWidth = static_cast<DWORD>(display.width());
  info.cyHeight = static_cast<DWORD>(display.height());
  info.cBPP = 16;
  info.ffFormat = kfDirect | kfDirect565;
  const GXKeyList portrait = defaultKeys(false), landscape = defaultKeys(true);
  auto fill = [](short &vkPortrait, short &vkLandscape, POINT &pt, short p, short l, POINT where) {
    vkPortrait = p, vkLandscape = l, pt = where;
  };
  fill(info.vkButtonUpPortrait, info.vkButtonUpLandscape, info.ptButtonUp, portrait.vkUp, landscape.vkUp, portrait.ptUp);
  fill(info.vkButtonDownPortrait, info.vkButtonDownLandscape, info.ptButtonDown, portrait.vkDown, landscape.vkDown,
       portrait.ptDown);
  fill(info.vkButtonLeftPortrait, info.vkButtonLeftLandscape, info.ptButtonLeft, portrait.vkLeft, landscape.vkLeft,
       portrait.ptLeft);
  fill(info.vkButtonRightPortrait, info.vkButtonRightLandscape, info.ptButtonRight, portrait.vkRight,
       landscape.vkRight, portrait.ptRight);
  fill(info.vkButtonAPortrait, info.vkButtonALandscape, info.ptButtonA, portrait.vkA, landscape.vkA, portrait.ptA);
  fill(info.vkButtonBPortrait, info.vkButtonBLandscape, info.ptButtonB, portrait.vkB, landscape.vkB, portrait.ptB);
  fill(info.vkButtonCPortrait, info.vkButtonCLandscape, info.ptButtonC, portrait.vkC, landscape.vkC, portrait.ptC);
  fill(info.vkButtonStartPortrait, info.vkButtonStartLandscape, info.ptButtonStart, portrait.vkStart,
       landscape.vkStart, portrait.ptStart);
  info.pvReserved1 = info.pvReserved2 = nullptr;
  std::memcpy(out, &info, sizeof(info));
  return 1;
}

}  // namespace
}  // namespace platform

using namespace platform;

extern "C" int WINAPI ExtEscape(HDC dc, int escape, int inSize, LPCSTR in, int outSize, LPSTR out) {
  if (!isDeviceContext(dc)) return -1;
  const DWORD code = static_cast<DWORD>(escape);
  if (!supported(code)) return 0;
  switch (code) {
    case QUERYESCSUPPORT: {
      if (!in || inSize < static_cast<int>(sizeof(DWORD))) return -1;
      DWORD asked;
      std::memcpy(&asked, in, sizeof(asked));
      return supported(asked) ? 1 : 0;
    }
    case GETRAWFRAMEBUFFER: return rawFrameBuffer(outSize, out);
    default: return gxInfo(outSize, out);
  }
}
