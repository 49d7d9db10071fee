#include "camera/vendor_library.h"

VendorLibrary g_VendorLibrary;

namespace {

bool HasRequiredEntries(const VendorLibrary &lib) {
  return lib.Camera_Init && lib.Camera_Deinit && lib.Camera_Begin && lib.Camera_End &&
         lib.Camera_SetProperty && lib.Camera_GetProperty;
}

}  // namespace

uint32_t BindVendorLibrary() {
  VendorLibrary &lib = g_VendorLibrary;
  if (lib.module) return HasRequiredEntries(lib) ? 1 : 0;
  HMODULE module = LoadLibraryW(TEXT("HTCcamera.dll"));
  if (!module) module = LoadLibraryW(TEXT("HTCcamera1.dll"));
  if (!module) return 0;
  lib.module = module;
  lib.Camera_Init = GetProcAddressW(module, TEXT("Camera_Init"));
  lib.Camera_Begin = GetProcAddressW(module, TEXT("Camera_Begin"));
  lib.Camera_End = GetProcAddressW(module, TEXT("Camera_End"));
  lib.Camera_Deinit = GetProcAddressW(module, TEXT("Camera_Deinit"));
  lib.Camera_SetProperty = GetProcAddressW(module, TEXT("Camera_SetProperty"));
  lib.Camera_GetProperty = GetProcAddressW(module, TEXT("Camera_GetProperty"));
  lib.Camera_WriteRegister = GetProcAddressW(module, TEXT("Camera_WriteRegister"));
  lib.Camera_ReadRegister = GetProcAddressW(module, TEXT("Camera_ReadRegister"));
  lib.Camera_FlashLight = GetProcAddressW(module, TEXT("Camera_FlashLight"));
  lib.Camera_SetMpegInfoParam = GetProcAddressW(module, TEXT("Camera_SetMpegInfoParam"));
  lib.Camera_GetYUV2JpegParam = GetProcAddressW(module, TEXT("Camera_GetYUV2JpegParam"));
  lib.Camera_SetYUV2JpegParam = GetProcAddressW(module, TEXT("Camera_SetYUV2JpegParam"));
  return HasRequiredEntries(lib) ? 1 : 0;
}

void ReleaseVendorLibrary() {
  if (g_VendorLibrary.module) FreeLibrary(g_VendorLibrary.module);
  g_VendorLibrary = VendorLibrary{};
}
