// A window as an X server shows it, and what a window manager asks of it (kept apart: Xlib's
// macros clash with GoogleTest).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Every pixel of `window` on `display` (":N") as 0xRRGGBB, rows packed; false when the server
// or the window cannot be read.
bool grabWindow(const std::string &display, unsigned long window, std::vector<uint32_t> &pixels, int &width,
                int &height);

// Where `window` lies on its screen, and the screen's size.
struct WindowPlace {
  int left = 0, top = 0, width = 0, height = 0;
  int screenWidth = 0, screenHeight = 0;
};
bool windowPlace(const std::string &display, unsigned long window, WindowPlace &place);

// Asks the window's program to close it, as a window manager's close button does.
bool askToClose(const std::string &display, unsigned long window);
