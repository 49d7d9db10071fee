// HANDSET_INPUT: the script of key presses, taps and screenshots, parsed for a handset whose
// application buttons come from its profile. A step that is read holds what its runner relies on.
#include "platform/input_script.h"
#include "support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const bool handset = (fuzz::useTemporaryHandset("display = 240x320\n"), true);
  (void)handset;
  std::vector<platform::ScriptStep> steps;
  try {
    steps = platform::parseInputScript(std::string(reinterpret_cast<const char *>(data), size), "fuzz.keys");
  } catch (const platform::ScriptError &) {
    return 0;
  }
  for (const platform::ScriptStep &step : steps) {
    fuzz::check(step.delayMs <= 3600000, "a delay is at most an hour");
    fuzz::check(step.action >= platform::ScriptStep::key && step.action <= platform::ScriptStep::close, "a known action");
    if (step.action == platform::ScriptStep::key || step.action == platform::ScriptStep::down ||
        step.action == platform::ScriptStep::up)
      fuzz::check(step.vk > 0 && step.vk < 256, "a key is a virtual-key code", std::to_string(step.vk));
    if (step.action == platform::ScriptStep::tap)
      fuzz::check(step.x >= 0 && step.x < 65536 && step.y >= 0 && step.y < 65536, "a tap lies on a screen");
    if (step.action == platform::ScriptStep::screenshot) fuzz::check(!step.file.empty(), "a screenshot names its file");
  }
  return 0;
}
