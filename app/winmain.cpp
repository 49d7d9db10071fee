// Program entry: the command line decides between the interactive program and the one-shot
// capture of "-f".
#include <windows.h>

#include "app/appstate.h"
#include "app/commandline.h"
#include "app/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
  g_App.instance = instance;
  g_App.camera.StillDoneEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  const CommandLine line = ParseCommandLine(commandLine);
  g_App.ScreenCaptureMode = line.screenCapture;
  if (line.captureFile) return int(CommandLineCapture(line.captureFile, line.stillRow));
  return RunInteractive(instance, line.screenCapture);
}
