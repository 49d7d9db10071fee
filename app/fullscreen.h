// The main window's full-screen state: hiding the shell's task bar, input-panel button and
// start icon and covering the whole screen, or giving them back and keeping to the work area.
#pragma once

#include <windows.h>

#include <cstdint>

// on: SHFullScreen hides the shell's bars, the window covers the screen and FullScreen is
// set; off: the bars come back, the window covers the work area and FullScreen is cleared.
// Nothing moves when the shell refuses. 1 when the window was moved.
uint32_t SetFullScreen(HWND window, uint32_t on);
