// Program entry. Device detection runs first at every start.
#include <windows.h>

#include "app/appstate.h"
#include "app/detect.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  g_App.instance = instance;
  DetectDevice(&g_App.device);
  GetModuleFileNameW(nullptr, g_App.programPath, 520);
  return 0;
}
