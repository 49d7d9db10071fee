#include "registry/hive.h"

#include <sstream>

namespace registry {
namespace rt = device::regtext;

namespace {

const char kHeader[] = "Windows Registry Editor Version 5.00";

bool isRoot(const std::string &path) { return path.find('\\') == std::string::npos; }

std::string trimRight(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.pop_back();
  return s;
}

std::string trimLeft(const std::string &s) {
  size_t b = s.find_first_not_of(" \t");
  return b == std::string::npos ? std::string() : s.substr(b);
}

// Windows writes .reg files as UTF-16LE with a byte-order mark; this host writes UTF-8.
bool decode(const std::string &raw, std::string &text) {
  if (raw.size() >= 2 && uint8_t(raw[0]) == 0xFF && uint8_t(raw[1]) == 0xFE) {
    std::u16string units;
    for (size_t i = 2; i + 1 < raw.size(); i += 2) units += char16_t(uint8_t(raw[i]) | uint8_t(raw[i + 1]) << 8);
    std::optional<std::string> utf8 = rt::toUtf8(units);
    if (!utf8 || raw.size() % 2) return false;
    text = *utf8;
    return true;
  }
  text = raw.starts_with("\xEF\xBB\xBF") ? raw.substr(3) : raw;
  return true;
}

}  // namespace

Hive::Hive() {
  for (const char *root : {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS"})
    keys_[rt::fold(root)].path = root;
}

Key *Hive::find(const std::string &path) {
  auto it = keys_.find(rt::fold(path));
  return it == keys_.end() ? nullptr : &it->second;
}

Key &Hive::create(const std::string &path, bool &created) {
  created = false;
  Key *key = nullptr;
  for (size_t end = path.find('\\');; end = path.find('\\', end + 1)) {
    std::string prefix = path.substr(0, end);
    Key &slot = keys_[rt::fold(prefix)];
    if (slot.path.empty()) {
      // The parent's spelling is kept; the new name is spelled as given.
      slot.path = key ? key->path + path.substr(key->path.size(), end - key->path.size()) : prefix;
      created = true;
    }
    key = &slot;
    if (end == std::string::npos) return *key;
  }
}

std::string Hive::format() const {
  std::string out = std::string(kHeader) + "\r\n";
  for (const auto &[folded, key] : keys_) {
    if (isRoot(key.path) && key.values.empty()) continue;
    out += "\r\n[" + key.path + "]\r\n";
    for (const auto &[name, value] : key.values) out += rt::formatValue(value) + "\r\n";
  }
  return out;
}

Hive Hive::parse(const std::string &raw, std::vector<Problem> &problems) {
  Hive hive;
  std::string text;
  if (!decode(raw, text)) {
    problems.push_back({1, "the file is neither UTF-8 nor well-formed UTF-16"});
    return hive;
  }
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(trimRight(line));

  bool headerSeen = false;
  Key *current = nullptr;
  int keyLine = 0;  // line of the last key header, 0 before the first
  for (size_t i = 0; i < lines.size(); ++i) {
    int lineNo = static_cast<int>(i) + 1;
    std::string line = trimLeft(lines[i]);
    if (line.empty() || line[0] == ';') continue;
    if (!headerSeen) {
      headerSeen = true;
      if (line == kHeader || line == "REGEDIT4") continue;
      problems.push_back({lineNo, std::string("expected \"") + kHeader + "\""});
    }
    if (line[0] == '[') {
      current = nullptr;
      keyLine = lineNo;
      if (line.back() != ']') {
        problems.push_back({lineNo, "a key line must end with ']'"});
        continue;
      }
      std::string path = line.substr(1, line.size() - 2);
      if (path.starts_with('-')) {
        problems.push_back({lineNo, "deleting a key is not supported here"});
        continue;
      }
      if (std::string problem = rt::checkKeyPath(path); !problem.empty()) {
        problems.push_back({lineNo, problem});
        continue;
      }
      bool created;
      current = &hive.create(path, created);
      continue;
    }
    // A value; hex data may go on over lines that end in a backslash.
    while (line.find("=hex") != std::string::npos && line.ends_with('\\') && i + 1 < lines.size()) {
      line.pop_back();
      line += trimLeft(lines[++i]);
    }
    Value value;
    if (std::string problem = rt::parseValue(line, value); !problem.empty()) {
      problems.push_back({lineNo, problem});
      continue;
    }
    if (!current) {
      problems.push_back({lineNo, keyLine ? "value under the unreadable key of line " + std::to_string(keyLine)
                                          : std::string("value before the first key")});
      continue;
    }
    std::string name = rt::fold(value.name);
    current->values[name] = std::move(value);
  }
  return hive;
}

}  // namespace registry
