// HANDSET_INPUT scripts: one step a line, "<delay> <action> [arguments]", '#' to the end of a
// line is a comment.
#include <cctype>
#include <cstdlib>
#include <sstream>
#include <utility>

#include "device/display.h"
#include "platform/input_script.h"

namespace platform {
namespace {

std::string lower(std::string text) {
  for (char &c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// A whole non-negative number in decimal or 0x hex; false for anything else.
bool wholeNumber(const std::string &text, long &value) {
  if (text.empty() || text[0] == '-' || text[0] == '+') return false;
  char *end = nullptr;
  value = std::strtol(text.c_str(), &end, 0);
  return *end == 0;
}

// "500", "500ms", "1.5s".
bool delay(const std::string &text, uint32_t &ms) {
  std::string number = text;
  double scale = 1;
  if (number.size() > 2 && number.compare(number.size() - 2, 2, "ms") == 0) {
    number.resize(number.size() - 2);
  } else if (number.size() > 1 && number.back() == 's') {
    number.pop_back();
    scale = 1000;
  }
  if (number.empty() || !(std::isdigit(static_cast<unsigned char>(number[0])))) return false;
  char *end = nullptr;
  double value = std::strtod(number.c_str(), &end) * scale;
  if (*end != 0 || value > 3600000) return false;
  ms = static_cast<uint32_t>(value + 0.5);
  return true;
}

// A button by name, or a virtual-key code; 0 when unknown.
int keyCode(const std::string &name) {
  const device::ApplicationButtons abc = device::applicationButtons();
  const std::pair<const char *, int> names[] = {
      {"up", 0x26},    {"down", 0x28},   {"left", 0x25},  {"right", 0x27},  {"action", 0x0D}, {"enter", 0x0D},
      {"start", 0x0D}, {"a", abc.a},     {"b", abc.b},    {"c", abc.c},     {"app1", 0xC1},   {"app2", 0xC2},
      {"app3", 0xC3},  {"app4", 0xC4},   {"app5", 0xC5},  {"app6", 0xC6},   {"soft1", 0x70},  {"soft2", 0x71},
      {"talk", 0x72},  {"end", 0x73},    {"star", 0x77},  {"pound", 0x78},  {"back", 0x1B},   {"escape", 0x1B},
      {"backspace", 0x08},
  };
  const std::string key = lower(name);
  for (const auto &[known, vk] : names)
    if (key == known) return vk;
  if (key.size() == 1 && std::isdigit(static_cast<unsigned char>(key[0]))) return key[0];
  long code;
  if (wholeNumber(key, code) && code > 0 && code < 256) return static_cast<int>(code);
  return 0;
}

}  // namespace

std::vector<ScriptStep> parseInputScript(const std::string &text, const std::string &origin) {
  const std::pair<const char *, ScriptStep::Action> actions[] = {
      {"key", ScriptStep::key},
      {"down", ScriptStep::down},
      {"up", ScriptStep::up},
      {"tap", ScriptStep::tap},
      {"activate", ScriptStep::activate},
      {"deactivate", ScriptStep::deactivate},
      {"switch", ScriptStep::switchTask},
      {"front", ScriptStep::front},
      {"freeze", ScriptStep::freeze},
      {"unfreeze", ScriptStep::unfreeze},
      {"screenshot", ScriptStep::screenshot},
      {"close", ScriptStep::close},
  };
  std::vector<ScriptStep> steps;
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    if (size_t hash = line.find('#'); hash != std::string::npos) line.resize(hash);
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string word; w.size() < 2 && words >> word;) w.push_back(word);
    if (w.empty()) continue;
    // The rest of the line: a file name as it stands (spaces kept), or further words.
    std::string rest;
    std::getline(words, rest);
    rest.erase(0, rest.find_first_not_of(" \t"));
    rest.erase(rest.find_last_not_of(" \t\r") + 1);
    if (lower(w.size() > 1 ? w[1] : "") == "screenshot") {
      if (!rest.empty()) w.push_back(rest);
    } else {
      std::istringstream more(rest);
      for (std::string word; more >> word;) w.push_back(word);
    }
    const std::string where = origin + ":" + std::to_string(number) + ": ";
    ScriptStep step{};
    step.line = number;
    if (!delay(w[0], step.delayMs)) throw ScriptError(where + "expected a delay (500, 500ms or 0.5s), found \"" + w[0] + "\"");
    if (w.size() < 2) throw ScriptError(where + "a delay without an action");
    bool known = false;
    for (const auto &[name, action] : actions)
      if (lower(w[1]) == name) step.action = action, known = true;
    if (!known) throw ScriptError(where + "unknown action \"" + w[1] + "\"");
    size_t wanted = 2;
    switch (step.action) {
      case ScriptStep::key:
      case ScriptStep::down:
      case ScriptStep::up:
        wanted = 3;
        if (w.size() >= 3 && !(step.vk = keyCode(w[2]))) throw ScriptError(where + "unknown key \"" + w[2] + "\"");
        break;
      case ScriptStep::tap: {
        wanted = 4;
        long x, y;
        if (w.size() >= 4 && !(wholeNumber(w[2], x) && wholeNumber(w[3], y) && x < 65536 && y < 65536))
          throw ScriptError(where + "tap wants two screen coordinates, found \"" + w[2] + " " + w[3] + "\"");
        if (w.size() >= 4) step.x = static_cast<int>(x), step.y = static_cast<int>(y);
        break;
      }
      case ScriptStep::screenshot:
        wanted = 3;
        if (w.size() >= 3) step.file = w[2];
        break;
      default:
        break;
    }
    if (w.size() != wanted)
      throw ScriptError(where + "\"" + w[1] + "\" takes " + std::to_string(wanted - 2) + " argument" +
                        (wanted == 3 ? "" : "s"));
    steps.push_back(std::move(step));
  }
  return steps;
}

}  // namespace platform
