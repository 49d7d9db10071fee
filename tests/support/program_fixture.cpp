#include "tests/support/program_fixture.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/config.h"
#include "app/menus.h"
#include "camera/camera.h"
#include "device/profile.h"
#include "platform/files.h"

void ProgramFixture::SetUpTestSuite() {
  root_ = std::filesystem::temp_directory_path() / ("program-" + std::to_string(::getpid()));
  std::filesystem::create_directories(root_);
  device::setRoot(root_.string());
  device::setCurrent(device::Profile::parse("display = 240x320\n", "test.profile"));
  platform::setProgramDirectory(PELKAVO_ASSETS_DIR);
  const char16_t program[] = u"\\Program Files\\Pelkavo\\Pelkavo.exe";
  std::memcpy(g_App.programPath, program, sizeof program);
  ASSERT_EQ(LoadLanguageAndFonts(), 1);
}

void ProgramFixture::TearDownTestSuite() {
  platform::setProgramDirectory("");
  std::filesystem::remove_all(root_);
}

DeviceRecord ProgramFixture::EmulatedHandset() {
  DeviceRecord device{};
  std::strcpy(device.oemName, "EMULATED HANDSET");
  device.modelCode = MODEL_UNKNOWN;
  device.width = 240;
  device.height = 320;
  return device;
}

void ProgramFixture::StartProgram(const DeviceRecord &device, bool screenCapture, const char *flashSound) {
  g_App.device = device;
  g_App.ScreenCaptureMode = screenCapture;
  std::snprintf(g_App.flashSound, sizeof g_App.flashSound, "%s", flashSound);
  g_App.captureState = STATE_PREVIEW;
  g_App.status.text = nullptr;
  CameraInit(&g_App.device);
  g_App.camera.zoomStep = 0;
  BuildPages(screenCapture);
}
