// The command line: "-s" (screen capture), "-r<n>" (still size row for "-f"), "-f <file>" (take
// one picture into the file without a window).
#pragma once

#include <windows.h>

#include <cstdint>

struct CommandLine {
  uint8_t screenCapture;  // "-s" seen before the end or before "-f"
  const WCHAR *captureFile;  // the rest of the line after "-f" and its spaces; null: interactive
  uint32_t stillRow;         // "-r" in force when "-f" was reached: character code minus '0'; 100 when absent
};

// Walks the line as the program's entry does; a null line is an empty one.
CommandLine ParseCommandLine(const WCHAR *line);

// The "-f" capture: one still picture of the camera (or the display in screen-capture mode)
// into file, still size row stillRow (limited to the last row). 1 when it ran, 0 when it could
// not start.
uint32_t CommandLineCapture(const WCHAR *file, uint32_t stillRow);
