// Binding of the device vendor's camera library: the module and its twelve entry points.
#pragma once

#include <windows.h>

struct VendorLibrary {
  HMODULE module;
  FARPROC Camera_Init;
  FARPROC Camera_Begin;
  FARPROC Camera_End;
  FARPROC Camera_Deinit;
  FARPROC Camera_SetProperty;
  FARPROC Camera_GetProperty;
  FARPROC Camera_ReadRegister;
  FARPROC Camera_WriteRegister;
  FARPROC Camera_FlashLight;
  FARPROC Camera_SetMpegInfoParam;
  FARPROC Camera_GetYUV2JpegParam;
  FARPROC Camera_SetYUV2JpegParam;
};

extern VendorLibrary g_VendorLibrary;

// Loads "HTCcamera.dll" (or "HTCcamera1.dll") and looks up its entries. Returns 1 when the six
// required entries were found. The library then stays loaded for the rest of the run and a
// second call returns 1 at once.
uint32_t BindVendorLibrary();

// Unloads the library and forgets the binding, so that a test can bind on another handset.
void ReleaseVendorLibrary();
