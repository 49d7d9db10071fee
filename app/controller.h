// The command controller: every key press and tap the main window gets becomes an action here
// — walking the menus, changing settings and handing them to the Camera, or passing the
// Action key on to capture control. Main thread only. HandleKey and HandleTap return 1 to go
// on and 0 to end the program.
#pragma once

#include <windows.h>

#include <cstdint>

#include "camera/options.h"

// A virtual-key code (0 is ignored).
uint32_t HandleKey(int32_t key);
// A tap at (x, y) on a screen picture of width × height pixels.
uint32_t HandleTap(int32_t x, int32_t y, uint32_t width, uint32_t height);
// Opens or closes the menu (only in the preview). Opening on a capture-mode page shows the
// page of the mode now selected.
void ToggleMenu();
// 1 in still mode (capture mode photo or interval), 0 in video mode.
uint32_t StillMode();
// Index becomes 1 when it is 0, else 0; kept only when the list has that row.
void ToggleOption(OptionList &list);
// Moves the selected row by delta within the list; true when it changed.
bool StepOption(OptionList &list, int32_t delta);
