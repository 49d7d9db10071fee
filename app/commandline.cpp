// The command line, walked once from left to right; only the first character after each '-'
// counts.
#include "app/commandline.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "app/appstate.h"
#include "app/capture_control.h"
#include "app/detect.h"
#include "app/settings.h"
#include "camera/camera.h"
#include "camera/geometry.h"
#include "capture/encoder.h"
#include "capture/still.h"

namespace {

constexpr uint32_t kStillTimeout = 8192;

const WCHAR *SkipSpaces(const WCHAR *p) {
  while (*p == u' ') ++p;
  return p;
}

}  // namespace

CommandLine ParseCommandLine(const WCHAR *line) {
  CommandLine result{0, nullptr, 100};
  const WCHAR *p = line ? line : u"";
  WCHAR seen;
  do {
    while (*p && *p != u'-') ++p;
    if (*p) ++p;
    seen = *p;
    if (seen == u's') {
      result.screenCapture = 1;
    } else if (seen == u'r') {
      p = SkipSpaces(p + 1);
      if (*p) result.stillRow = uint32_t(int32_t(*p) - int32_t(u'0'));
    } else if (seen == u'f') {
      p = SkipSpaces(p + 1);
      // "-f" with nothing after it ends the walk: the interactive program starts.
      if (*p) result.captureFile = p;
      return result;
    }
  } while (seen != 0);
  return result;
}

uint32_t CommandLineCapture(const WCHAR *file, uint32_t stillRow) {
  g_App.registryKey = SettingsKeyPath(g_App.ScreenCaptureMode);
  const uint32_t frameBufferKnown = DetectDevice(&g_App.device);
  g_App.device.screenCaptureMode = g_App.ScreenCaptureMode;
  if (g_App.ScreenCaptureMode && !frameBufferKnown) return 0;
  GetModuleFileNameW(nullptr, g_App.programPath, DWORD(std::size(g_App.programPath)));
  BindEncoders(g_App.device);

  Camera &camera = g_App.camera;
  CameraInit(&g_App.device);
  BuildOptionLists(g_App.device, g_App.ScreenCaptureMode);
  LoadSettings(g_App.settings, kSettingCount);
  OptionList &mode = *g_App.settings[SET_CAPTURE_MODE];
  if (mode.count) mode.index = 0;  // photo
  if (!CameraOpen()) return 0;

  OptionList &size = camera.StillSize;
  size.index = int32_t(stillRow < size.count ? stillRow : size.count - 1);
  StepZoom(0, 1);
  Reconfigure(1);
  // The path is used as given; no name is made in this mode.
  std::u16string target(file);
  target.resize(std::max<size_t>(target.size(), kFilePathUnits - 1));
  g_App.currentFile = target.data();

  if (PrepareEncoder() && StartStream()) {
    g_App.CaptureStartTick = GetTickCount();
    g_App.captureState = STATE_CAPTURING;
    CameraCapture(0, 0, kStillTimeout);
  }
  CameraClose();
  g_App.currentFile = nullptr;
  return 1;
}
