#include "app/backlight.h"

#include <kfuncs.h>
#include <mmsystem.h>
#include <winreg.h>

#include <cstdint>
#include <mutex>
#include <vector>

#include "app/appstate.h"
#include "app/settings.h"

namespace {

constexpr WCHAR kBacklightKey[] = TEXT("ControlPanel\\Backlight");
constexpr WCHAR kBatteryTimeout[] = TEXT("BatteryTimeout");
constexpr WCHAR kAcTimeout[] = TEXT("ACTimeout");
constexpr DWORD kKeepLitSeconds = 0x8000000;
constexpr DWORD kFlashStopPollMs = 20;

enum FlashSoundMode { FLASH_ASYNC = 0, FLASH_SYNC = 1, FLASH_SIMULTANEOUS = 2 };

void ReadTimeout(HKEY key, const WCHAR *name, uint32_t &saved) {
  DWORD value = 0;
  DWORD size = sizeof value;
  if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(&value), &size) == ERROR_SUCCESS &&
      size == sizeof value)
    saved = value;
}

void WriteTimeout(HKEY key, const WCHAR *name, DWORD value) {
  RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), sizeof value);
}

// The configured file name, each 8-bit character widened to one unit.
void WideSoundName(WCHAR (&name)[kFlashSoundChars]) {
  int i = 0;
  for (; g_App.flashSound[i] && i + 1 < kFlashSoundChars; ++i) name[i] = WCHAR(uint8_t(g_App.flashSound[i]));
  name[i] = 0;
}

// The flash sounds playing on their own threads ("simultaneously"): the program's end cuts
// them short and waits for every one (EndFlashSounds).
std::mutex flashLock;
std::vector<HANDLE> flashThreads;
HANDLE flashEnd;  // manual-reset, set while the program ends

DWORD WINAPI DelayedFlashSound(LPVOID parameter) {
  const DWORD delay = DWORD(reinterpret_cast<uintptr_t>(parameter));
  if (delay && WaitForSingleObject(flashEnd, delay) == WAIT_OBJECT_0) return 0;
  WCHAR name[kFlashSoundChars];
  WideSoundName(name);
  PlaySoundW(name, nullptr, SND_FILENAME);
  return 0;
}

}  // namespace

LONG SetBacklight(DWORD mode) {
  HKEY key;
  LONG error = RegOpenKeyExW(HKEY_CURRENT_USER, kBacklightKey, 0, KEY_ALL_ACCESS, &key);
  if (error != ERROR_SUCCESS) return error;
  if (mode == BACKLIGHT_SAVE) {
    ReadTimeout(key, kBatteryTimeout, g_App.savedBatteryTimeout);
    ReadTimeout(key, kAcTimeout, g_App.savedAcTimeout);
    RegCloseKey(key);
    return ERROR_SUCCESS;
  }
  const bool restore = mode == BACKLIGHT_RESTORE;
  WriteTimeout(key, kBatteryTimeout, restore ? g_App.savedBatteryTimeout : kKeepLitSeconds);
  WriteTimeout(key, kAcTimeout, restore ? g_App.savedAcTimeout : kKeepLitSeconds);
  // Tell the system's backlight service to read the values again.
  HANDLE changed = CreateEventW(nullptr, FALSE, TRUE, TEXT("BackLightChangeEvent"));
  if (changed) {
    EventModify(changed, EVENT_SET);
    CloseHandle(changed);
  }
  RegCloseKey(key);
  return ERROR_SUCCESS;
}

int RestoreBacklight() {
  SetBacklight(BACKLIGHT_RESTORE);
  return 1;
}

void PlayFlashSound() {
  if (!g_App.flashSound[0]) return;
  const int32_t mode = SettingValue(SET_FLASH_SOUND_MODE);
  const DWORD delay = DWORD(SettingValue(SET_FLASH_SOUND_DELAY));
  if (mode == FLASH_SIMULTANEOUS) {
    std::lock_guard<std::mutex> held(flashLock);
    if (!flashEnd && !(flashEnd = CreateEventW(nullptr, TRUE, FALSE, nullptr))) return;
    // The handles of sounds that have ended go now, so a long series does not gather them.
    std::erase_if(flashThreads, [](HANDLE thread) {
      return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0 && CloseHandle(thread);
    });
    HANDLE thread = CreateThread(nullptr, 0, DelayedFlashSound, reinterpret_cast<LPVOID>(uintptr_t(delay)), 0, nullptr);
    if (thread) flashThreads.push_back(thread);
    return;
  }
  WCHAR name[kFlashSoundChars];
  WideSoundName(name);
  PlaySoundW(name, nullptr, mode == FLASH_ASYNC ? SND_FILENAME | SND_ASYNC : SND_FILENAME);
  if (delay) Sleep(delay);
}

void EndFlashSounds() {
  std::lock_guard<std::mutex> held(flashLock);
  if (flashThreads.empty()) return;
  SetEvent(flashEnd);
  for (HANDLE thread : flashThreads) {
    // A thread past its delay may only now start its sound: it is stopped until the thread ends.
    do {
      PlaySoundW(nullptr, nullptr, 0);
    } while (WaitForSingleObject(thread, kFlashStopPollMs) == WAIT_TIMEOUT);
    CloseHandle(thread);
  }
  flashThreads.clear();
  ResetEvent(flashEnd);
}
