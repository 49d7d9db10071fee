// The backlight time-outs and the flash sound, seen through the registry, the change event and
// the handset's sound log.
#include <kfuncs.h>
#include <mmsystem.h>
#include <windows.h>
#include <winreg.h>

#include <chrono>
#include <cstring>

#include "app/backlight.h"
#include "app/settings.h"
#include "camera/camera_options.h"
#include "device/sound_log.h"
#include "handset.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const WCHAR kBacklight[] = TEXT("ControlPanel\\Backlight");

class Backlight : public HandsetTest {
 protected:
  void setTimeouts(DWORD battery, DWORD ac) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kBacklight, 0, nullptr, 0, 0, nullptr, &key, nullptr), ERROR_SUCCESS);
    RegSetValueExW(key, TEXT("BatteryTimeout"), 0, REG_DWORD, reinterpret_cast<const BYTE *>(&battery), 4);
    RegSetValueExW(key, TEXT("ACTimeout"), 0, REG_DWORD, reinterpret_cast<const BYTE *>(&ac), 4);
    RegCloseKey(key);
  }
  std::pair<DWORD, DWORD> timeouts() {
    HKEY key;
    DWORD battery = 0, ac = 0, size = 4;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kBacklight, 0, 0, &key) != ERROR_SUCCESS) return {0, 0};
    RegQueryValueExW(key, TEXT("BatteryTimeout"), nullptr, nullptr, reinterpret_cast<BYTE *>(&battery), &size);
    size = 4;
    RegQueryValueExW(key, TEXT("ACTimeout"), nullptr, nullptr, reinterpret_cast<BYTE *>(&ac), &size);
    RegCloseKey(key);
    return {battery, ac};
  }
};

TEST_F(Backlight, TimeoutsSavedKeptLitAndRestored) {
  HANDLE changed = CreateEventW(nullptr, FALSE, FALSE, TEXT("BackLightChangeEvent"));
  ASSERT_NE(changed, nullptr);
  g_App.savedBatteryTimeout = g_App.savedAcTimeout = 0;
  EXPECT_NE(SetBacklight(BACKLIGHT_SAVE), 0);  // no key on this handset yet
  EXPECT_EQ(RestoreBacklight(), 1);
  EXPECT_EQ(WaitForSingleObject(changed, 0), WAIT_TIMEOUT);

  setTimeouts(30, 120);
  EXPECT_EQ(SetBacklight(BACKLIGHT_SAVE), 0);
  EXPECT_EQ(g_App.savedBatteryTimeout, 30u);
  EXPECT_EQ(g_App.savedAcTimeout, 120u);
  EXPECT_EQ(WaitForSingleObject(changed, 0), WAIT_TIMEOUT);  // saving tells nobody

  EXPECT_EQ(SetBacklight(BACKLIGHT_KEEP_LIT), 0);
  EXPECT_EQ(timeouts(), std::make_pair(DWORD(0x8000000), DWORD(0x8000000)));
  EXPECT_EQ(WaitForSingleObject(changed, 0), WAIT_OBJECT_0);

  setTimeouts(5, 6);  // the user's values changed meanwhile: the saved ones still win
  EXPECT_EQ(RestoreBacklight(), 1);
  EXPECT_EQ(timeouts(), std::make_pair(DWORD(30), DWORD(120)));
  EXPECT_EQ(WaitForSingleObject(changed, 0), WAIT_OBJECT_0);
  CloseHandle(changed);
}

class FlashSound : public HandsetTest {
 protected:
  void SetUp() override {
    HandsetTest::SetUp();
    DeviceRecord device{};
    device.modelCode = MODEL_UNKNOWN;
    InitCameraOptions(g_App.camera, device, false, g_App.language.strings);
    BuildOptionLists(device, false);
    write("My Documents/short.wav", Wave(300));
    write("My Documents/long.wav", Wave(4000));
    device::clearSoundPlays();
  }
  void TearDown() override {
    EndFlashSounds();
    g_App.flashSound[0] = 0;
    HandsetTest::TearDown();
  }
  // Plays with #0 = mode and #1 = delay; returns how long the call took.
  std::chrono::milliseconds play(const char *file, int mode, int delay) {
    strcpy(g_App.flashSound, file);
    g_App.settings[SET_FLASH_SOUND_MODE]->index = mode;
    g_App.settings[SET_FLASH_SOUND_DELAY]->index = delay / 10;
    const auto start = Clock::now();
    PlayFlashSound();
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  }
};

TEST_F(FlashSound, AsyncStartsTheSoundThenWaitsTheDelay) {
  const auto took = play("\\My Documents\\long.wav", 0, 300);
  EXPECT_GE(took, 300ms);
  EXPECT_LT(took, 4000ms);  // the sound plays on
  auto plays = device::soundPlays();
  ASSERT_EQ(plays.size(), 1u);
  EXPECT_EQ(plays[0].flags, SND_FILENAME | SND_ASYNC);
  EXPECT_TRUE(plays[0].played);
  EXPECT_EQ(plays[0].lengthMs, 4000u);
}

TEST_F(FlashSound, SyncWaitsForTheSoundAndTheDelay) {
  EXPECT_GE(play("\\My Documents\\short.wav", 1, 500), 800ms);
  auto plays = device::soundPlays();
  ASSERT_EQ(plays.size(), 1u);
  EXPECT_EQ(plays[0].flags, DWORD(SND_FILENAME));
  EXPECT_EQ(plays[0].thread, std::this_thread::get_id());
  // A missing file plays nothing, but the delay still applies.
  EXPECT_GE(play("\\My Documents\\missing.wav", 1, 200), 200ms);
  plays = device::soundPlays();
  ASSERT_EQ(plays.size(), 2u);
  EXPECT_FALSE(plays[1].played);
}

TEST_F(FlashSound, SimultaneouslyPlaysOnItsOwnThreadAfterTheDelay) {
  const auto called = Clock::now();
  play("\\My Documents\\short.wav", 2, 200);
  ASSERT_TRUE(device::waitForSoundPlays(1, 10s));
  auto plays = device::soundPlays();
  EXPECT_EQ(plays[0].flags, DWORD(SND_FILENAME));
  EXPECT_NE(plays[0].thread, std::this_thread::get_id());
  EXPECT_GE(plays[0].start - called, 200ms);
}

// The program's end stops a sound still waiting for its delay and one already playing, and
// their threads have ended when it returns.
TEST_F(FlashSound, TheEndStopsSoundsOnTheirOwnThreads) {
  play("\\My Documents\\long.wav", 2, 0);
  ASSERT_TRUE(device::waitForSoundPlays(1, 10s));
  play("\\My Documents\\long.wav", 2, 3000);
  const auto ending = Clock::now();
  EndFlashSounds();
  EXPECT_LT(Clock::now() - ending, 2s);
  Sleep(100);
  EXPECT_EQ(device::soundPlays().size(), 1u);
}

TEST_F(FlashSound, NothingConfiguredPlaysNothing) {
  for (int mode : {0, 1, 2}) play("", mode, 0);
  Sleep(100);
  EXPECT_TRUE(device::soundPlays().empty());
}

}  // namespace
