// Backlight and flash sound: keeping the display lit while the program is in front (setting
// #31), and playing the "Config.txt" flash sound when a still is taken (settings #0 and #1).
#pragma once

#include <windows.h>

enum BacklightMode : DWORD {
  BACKLIGHT_RESTORE = 0,  // write the saved time-outs back
  BACKLIGHT_KEEP_LIT = 1,
  BACKLIGHT_SAVE = 2,  // read the system's time-outs into the saved pair
};

// 0 on success, else the registry error of opening "ControlPanel\Backlight".
LONG SetBacklight(DWORD mode);
// Writes the saved time-outs back; 1 also when the key cannot be opened.
int RestoreBacklight();
// Plays the configured flash sound as #0 and #1 ask; nothing when none is configured.
void PlayFlashSound();
// At the program's end: the flash sounds still waiting or playing on their own threads are
// stopped, and their threads have ended when this returns.
void EndFlashSounds();
