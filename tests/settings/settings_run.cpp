// One run of the program's settings store, for the test across program starts:
//   settings_run save N=ROW ...   builds the lists, selects the rows, writes the settings
//   settings_run load             builds the lists, reads the settings, prints "result:i,i,...,"
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/settings.h"
#include "camera/camera_options.h"

int main(int argc, char **argv) {
  if (argc < 2) return 2;
  DeviceRecord device{};
  device.modelCode = MODEL_UNKNOWN;
  g_App.registryKey = SettingsKeyPath(false);
  InitCameraOptions(g_App.camera, device, false, g_App.language.strings);
  BuildOptionLists(device, false);
  if (strcmp(argv[1], "save") == 0) {
    for (int i = 2; i < argc; ++i) {
      int n = 0, row = 0;
      if (sscanf(argv[i], "%d=%d", &n, &row) != 2 || n < 0 || n >= kSettingCount) return 2;
      g_App.settings[n]->index = row;
    }
    return SaveSettings(g_App.settings, kSettingCount) == 1 ? 0 : 1;
  }
  printf("%d:", LoadSettings(g_App.settings, kSettingCount));
  for (OptionList *list : g_App.settings) printf("%d,", int(list->index));
  printf("\n");
  return 0;
}
