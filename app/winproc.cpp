#include "app/winproc.h"

#include <aygshell.h>

#include "app/appstate.h"
#include "app/backlight.h"
#include "app/capture_control.h"
#include "app/capture_internal.h"
#include "app/controller.h"
#include "app/fullscreen.h"
#include "app/settings.h"
#include "app/window.h"
#include "camera/camera.h"
#include "camera/geometry.h"
#include "pipeline/overlay.h"
#include "pipeline/preview.h"

namespace {

constexpr uint32_t kCapturePhoto = 0;
constexpr uint32_t kScreenPictureTimeoutMs = 8192;

HWND WithOwned(HWND window) { return reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(window) | 1); }

void Deactivate(HWND window) {
  g_App.resumeOnActivate = 0;
  if (g_App.releaseOnDeactivate && g_App.camera.streaming) {
    // A running capture is stopped or paused as by the Action key before the camera goes.
    if (g_App.captureState.load(std::memory_order_relaxed) == STATE_CAPTURING) HandleKey(g_App.keys.vkStart);
    g_App.resumeOnActivate = 1;
    CameraClose();
  }
  GXSuspend();
  SetFullScreen(window, 0);
  RestoreBacklight();
  g_App.releaseOnDeactivate = 1;
  ChangeDisplaySettingsEx(nullptr, &g_App.savedMode, nullptr, CDS_RESET, nullptr);
}

void Activate(HWND window) {
  const bool screenCapture = g_App.ScreenCaptureMode != 0;
  const bool capturing = g_App.captureState.load(std::memory_order_relaxed) == STATE_CAPTURING;
  if (screenCapture && capturing && uint32_t(SettingValue(SET_CAPTURE_MODE)) == kCapturePhoto) {
    // The screen picture asked for before the program minimised itself is taken now.
    if (CameraCapture(1, 0, kScreenPictureTimeoutMs)) {
      capture::ShowCapturePage(PAGE_AFTER_PHOTO, g_App.menu.current.load(std::memory_order_relaxed));
      g_App.captureState.store(STATE_DIALOG, std::memory_order_relaxed);
    } else {
      g_App.captureState.store(STATE_PREVIEW, std::memory_order_relaxed);
    }
  }
  GXResume();
  SetForegroundWindow(WithOwned(window));
  SetFullScreen(window, 1);
  if (screenCapture && g_App.captureState.load(std::memory_order_relaxed) == STATE_CAPTURING)
    HandleKey(g_App.keys.vkStart);  // the video or series running in the background ends
  SetBacklight(DWORD(SettingValue(SET_BACKLIGHT)));
  if (g_App.resumeOnActivate) {
    CameraOpen();
    StepZoom(0, StillMode());
    StartStream();
  }
  ComposeAndBlit();
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      g_App.shellActivate = SHACTIVATEINFO{};
      g_App.shellActivate.cbSize = sizeof(SHACTIVATEINFO);
      return 0;
    case WM_DESTROY:
      GXCloseInput();
      GXCloseDisplay();
      PostQuitMessage(0);
      return 0;
    case WM_ACTIVATE:
      SHHandleWMActivate(window, wParam, lParam, &g_App.shellActivate, 0);
      // The window is activated as it is created, before the settings and the camera exist;
      // start-up itself takes the display, full screen and the camera then.
      if (!g_App.started) return 0;
      switch (LOWORD(wParam)) {
        case WA_INACTIVE: Deactivate(window); break;
        case WA_ACTIVE:
        case WA_CLICKACTIVE: Activate(window); break;
        default: break;
      }
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ERASEBKGND:
      return 0;
    case WM_SETTINGCHANGE:
      SHHandleWMSettingChange(window, wParam, lParam, &g_App.shellActivate);
      return 0;
    case WM_KEYDOWN:
      if (!HandleKey(int16_t(LOWORD(wParam)))) PostQuitMessage(0);
      ComposeAndBlit();
      return 0;
    case WM_LBUTTONDOWN: {
      const Picture &screen = g_App.ScreenPicture;
      if (!HandleTap(int16_t(LOWORD(lParam)), int16_t(HIWORD(lParam)), uint32_t(screen.header.biWidth),
                     uint32_t(screen.header.biHeight)))
        PostQuitMessage(0);
      ComposeAndBlit();
      return 0;
    }
    case WM_APP:
      if (g_App.captureState.load(std::memory_order_relaxed) != STATE_PREVIEW) CaptureFinished(uint32_t(wParam));
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}
