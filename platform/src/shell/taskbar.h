// The shell's task bar across the top of the screen, which a full-screen window hides.
#pragma once

#include <windows.h>

namespace platform {

constexpr int kTaskBarHeight = 26;

// The task bar's height as it stands: 0 while a full-screen window hides it.
int taskBarHeight();
// A window was destroyed: if it hid the task bar, the task bar comes back.
void shellWindowGone(HWND window);

}  // namespace platform
