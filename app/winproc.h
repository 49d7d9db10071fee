// The main window's procedure: keys, taps, activation changes and the capture-finished
// message become calls of the controller and capture control; in the background the display,
// the camera, full screen, the backlight and the orientation go back to the system.
#pragma once

#include <windows.h>

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
