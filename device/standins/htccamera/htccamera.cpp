// The handset vendor's camera library, as the program binds it: twelve entries looked up by name.
// This stand-in has no sensor behind it yet, so every entry refuses (returns 0); a program that
// binds it finds the library usable and sees each operation fail.
#include <windows.h>

#define CAMERA_ENTRY extern "C" __attribute__((visibility("default"))) int

CAMERA_ENTRY Camera_Init(void *, DWORD, DWORD) { return 0; }
CAMERA_ENTRY Camera_Begin(void *) { return 0; }
CAMERA_ENTRY Camera_End() { return 0; }
CAMERA_ENTRY Camera_Deinit() { return 0; }
CAMERA_ENTRY Camera_SetProperty(DWORD, DWORD) { return 0; }
CAMERA_ENTRY Camera_GetProperty(DWORD, DWORD *) { return 0; }
CAMERA_ENTRY Camera_ReadRegister(DWORD, DWORD) { return 0; }
CAMERA_ENTRY Camera_WriteRegister(DWORD, DWORD) { return 0; }
CAMERA_ENTRY Camera_FlashLight(DWORD, DWORD) { return 0; }
CAMERA_ENTRY Camera_SetMpegInfoParam(void *) { return 0; }
CAMERA_ENTRY Camera_GetYUV2JpegParam(DWORD, DWORD) { return 0; }
CAMERA_ENTRY Camera_SetYUV2JpegParam(DWORD, DWORD) { return 0; }
