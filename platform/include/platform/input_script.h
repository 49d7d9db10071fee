// The scripted input of a headless handset (HANDSET_INPUT): a text file of timed key presses,
// taps, activation changes, waits for the program to come back to the front, home-screen freezes
// and screenshots, run once the program reads its input (GXOpenInput). The syntax is in device/desktop/KEYS.md. Control API for tests and tools;
// product code never includes it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform {

struct ScriptStep {
  enum Action { key, down, up, tap, activate, deactivate, switchTask, front, freeze, unfreeze, screenshot, close };
  uint32_t delayMs;  // after the program has become idle following the step before
  Action action;
  int vk = 0;        // key, down, up
  int x = 0, y = 0;  // tap
  std::string file;  // screenshot
  int line = 0;
};

// A script that cannot be run: "file:line: message".
class ScriptError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads a script; key names are resolved for the current profile. `origin` names the file.
std::vector<ScriptStep> parseInputScript(const std::string &text, const std::string &origin);

}  // namespace platform
