// GDI objects the other areas make or check.
#pragma once

#include <windows.h>

namespace platform {

// A bitmap object from a packed device-independent bitmap (header, colours, rows), or null
// when the data do not describe a bitmap of that size.
HBITMAP createBitmap(const BYTE *dib, size_t size);

// Whether a handle is a live device context from GetDC.
bool isDeviceContext(HDC dc);

}  // namespace platform
