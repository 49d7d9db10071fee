#include "app/startup.h"

#include <aygshell.h>
#include <gx.h>

#include <cstdlib>

#include "app/appstate.h"
#include "app/backlight.h"
#include "app/capture_control.h"
#include "app/config.h"
#include "app/controller.h"
#include "app/detect.h"
#include "app/fullscreen.h"
#include "app/menus.h"
#include "app/settings.h"
#include "app/window.h"
#include "app/winproc.h"
#include "camera/camera.h"
#include "camera/geometry.h"
#include "capture/avi_repair.h"
#include "capture/encoder.h"
#include "capture/recorder.h"
#include "pipeline/preview.h"

namespace {

constexpr int kResourceTextUnits = 100;
constexpr UINT kTitleString = 1;
constexpr UINT kClassString = 2;
constexpr uint32_t kCurrentFileBytes = 512;
constexpr uint32_t kDoubleSizeWidth = 480;
constexpr uint32_t kCaptureInterval = 2;

// Creates the main window, unless another instance has one: that one comes to the front.
uint32_t CreateMainWindow(HINSTANCE instance) {
  g_App.instance = instance;
  SHInitExtraControls();
  static WCHAR title[kResourceTextUnits], windowClass[kResourceTextUnits];
  LoadStringW(instance, kTitleString, title, kResourceTextUnits);
  LoadStringW(instance, kClassString, windowClass, kResourceTextUnits);
  if (HWND running = FindWindowW(windowClass, title)) {
    SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(running) | 1));
    return 0;
  }
  if (!ApplicationStartup()) return 0;
  WNDCLASSW wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = MainWindowProc;
  wc.hInstance = instance;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = windowClass;
  if (!RegisterClassW(&wc)) return 0;
  g_App.MainWindow = CreateWindowExW(0, windowClass, title, WS_VISIBLE, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                                     GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, instance, nullptr);
  return g_App.MainWindow ? 1 : 0;
}

void ReadDisplayOrientation() {
  g_App.savedMode = DEVMODEW{};
  g_App.savedMode.dmSize = sizeof(DEVMODEW);
  g_App.savedMode.dmFields = DM_DISPLAYORIENTATION;
  ChangeDisplaySettingsEx(nullptr, &g_App.savedMode, nullptr, CDS_TEST, nullptr);
}

// GAPI's display and keys; the display fields when detection found no frame buffer.
uint32_t OpenGapi() {
  if (!GXOpenDisplay(g_App.MainWindow, GX_FULLSCREEN) || !GXOpenInput()) return 0;
  g_App.portraitKeys = GXGetDefaultKeys(GX_NORMALKEYS);
  g_App.landscapeKeys = GXGetDefaultKeys(GX_LANDSCAPEKEYS);
  DeviceRecord &d = g_App.device;
  if (!d.frameBuffer) {
    const GXDisplayProperties p = GXGetDisplayProperties();
    d.width = p.cxWidth;
    d.height = p.cyHeight;
    d.xStride = p.cbxPitch;
    d.yStride = p.cbyPitch;
    d.bitsPerPixel = uint16_t(p.cBPP);
    d.frameBufferFormat = uint16_t(p.ffFormat);
  }
  return 1;
}

void InitSettings() {
  g_App.currentFile = static_cast<WCHAR *>(std::calloc(1, kCurrentFileBytes));
  BuildPages(g_App.ScreenCaptureMode != 0);
  LoadSettings(g_App.settings, kSettingCount);
  UpdateCapturePage(StillMode());
  g_App.menu.current.store(&g_App.menu.pages[PAGE_MAIN], std::memory_order_relaxed);
}

// The two screen pictures, then the overlay and the keys for the orientation in force.
void SizePictures() {
  const DeviceRecord &d = g_App.device;
  SetPictureSize(&g_App.PreviewPicture, d.width, d.height);
  SetPictureSize(&g_App.ScreenPicture, d.width, d.height);
  SetOverlayOrientation();
}

uint32_t StartCamera() {
  if (!CameraOpen()) return 0;
  const uint32_t still = StillMode();
  StepZoom(0, still);
  Reconfigure(still);
  return StartStream();
}

int RunMessageLoop() {
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return int(msg.wParam);
}

}  // namespace

uint32_t ApplicationStartup() {
  DetectDevice(&g_App.device);
  g_App.device.screenCaptureMode = g_App.ScreenCaptureMode;
  GetModuleFileNameW(nullptr, g_App.programPath, 520);
  BindEncoders(g_App.device);
  if (!LoadLanguageAndFonts()) {
    MessageBoxW(nullptr, TEXT("Language file is too old.\nPlease download new file."), TEXT("Vendrasol Pelkavo."),
                MB_SETFOREGROUND);
    return 0;
  }
  g_App.registryKey = SettingsKeyPath(g_App.ScreenCaptureMode != 0);
  SetBacklight(BACKLIGHT_SAVE);
  return 1;
}

void Shutdown() {
  RestoreBacklight();
  // A series still running ends as by the Action key; a recording is kept, not lost.
  if (g_App.captureState.load(std::memory_order_relaxed) == STATE_CAPTURING &&
      uint32_t(SettingValue(SET_CAPTURE_MODE)) == kCaptureInterval)
    CaptureFinished(1);
  CameraClose();
  EndFlashSounds();  // after the camera, which plays them
  // A recording still open is closed and kept; one the camera library wrote under the temporary
  // name gets its own name, also when it had ended already and its page still waited for the user.
  FinishRecorder(&g_App.recorder, RECORDING_KEEP_RENAMED, 0);
  FreeRecorderBuffers(&g_App.recorder);
  SaveSettings(g_App.settings, kSettingCount);
  std::free(g_App.currentFile);
  g_App.currentFile = nullptr;
  ChangeDisplaySettingsEx(nullptr, &g_App.savedMode, nullptr, CDS_RESET, nullptr);
}

int RunInteractive(HINSTANCE instance, uint32_t screenCapture) {
  g_App.ScreenCaptureMode = uint8_t(screenCapture != 0);
  g_App.releaseOnDeactivate = 1;
  g_App.captureState.store(STATE_ABOUT, std::memory_order_relaxed);
  if (!CreateMainWindow(instance)) return 0;
  ReadDisplayOrientation();
  if (!OpenGapi()) return 0;
  ReadConfig(ProgramDirPath(TEXT("Config.txt")));
  SetFullScreen(g_App.MainWindow, 1);
  CameraInit(&g_App.device);
  InitSettings();
  RepairUnfinishedRecording(SettingValue(SET_VIDEO_INTERVAL));
  if (g_App.device.width >= kDoubleSizeWidth) g_App.text.doubleSize = 1;
  SizePictures();
  if (g_App.ScreenCaptureMode) g_App.captureState.store(STATE_PREVIEW, std::memory_order_relaxed);
  ClearPreview();
  ComposeAndBlit();
  int result = 0;
  if (StartCamera()) {
    g_App.captureState.store(STATE_PREVIEW, std::memory_order_relaxed);
    ComposeAndBlit();
    // The window was activated as it was created, before the settings existed: the backlight
    // mode that activation applies is applied now.
    SetBacklight(DWORD(SettingValue(SET_BACKLIGHT)));
    g_App.started = 1;
    result = RunMessageLoop();
    g_App.started = 0;
  }
  Shutdown();
  return result;
}
