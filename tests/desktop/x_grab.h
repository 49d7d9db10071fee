// A window's picture as an X server shows it (kept apart: Xlib's macros clash with GoogleTest).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Every pixel of `window` on `display` (":N") as 0xRRGGBB, rows packed; false when the server
// or the window cannot be read.
bool grabWindow(const std::string &display, unsigned long window, std::vector<uint32_t> &pixels, int &width,
                int &height);
