// The interactive program: start-up in its fixed order, one running instance, the message
// loop and the shutdown that gives the system back what the program changed.
#pragma once

#include <windows.h>

#include <cstdint>

// Runs the camera (or, with screenCapture, the screen recorder) until the quit message.
// Returns the quit message's wParam, or 0 when another instance runs or start-up failed.
int RunInteractive(HINSTANCE instance, uint32_t screenCapture);

// The start-up steps before the window: device detection, the program path, the encoders,
// the language file and fonts, the registry key of the mode, the saved backlight time-outs.
// 0 (after telling the user) when the language file or a font cannot be used.
uint32_t ApplicationStartup();
// Stops and closes the camera, ends a capture still running, writes the settings and puts
// the backlight and the display orientation back.
void Shutdown();
