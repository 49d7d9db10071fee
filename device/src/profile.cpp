#include "device/profile.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>

#include "root/root.h"
#include "schema.h"

namespace device {
namespace {

std::string trim(const std::string &s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

std::string lower(std::string s) {
  for (char &c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string stemOf(const std::string &path) {
  std::filesystem::path p(path);
  return p.stem().string();
}

}  // namespace

Profile Profile::parse(const std::string &text, const std::string &origin) {
  Profile profile;
  profile.path_ = origin;
  profile.name_ = stemOf(origin);
  std::istringstream in(text);
  std::string raw;
  int lineNo = 0;
  auto fail = [&](const std::string &message) {
    throw ProfileError(origin + ":" + std::to_string(lineNo) + ": " + message);
  };
  while (std::getline(in, raw)) {
    ++lineNo;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    std::string line = trim(raw);
    if (line.empty() || line[0] == '#') continue;
    size_t eq = line.find('=');
    if (eq == std::string::npos) fail("expected 'key = value', found \"" + line + "\"");
    ProfileEntry entry;
    entry.key = lower(trim(line.substr(0, eq)));
    entry.value = trim(line.substr(eq + 1));
    entry.line = lineNo;
    if (entry.value.size() >= 2 && entry.value.front() == '"' && entry.value.back() == '"')
      entry.value = entry.value.substr(1, entry.value.size() - 2);
    const KeyRule *rule = findKey(entry.key);
    if (!rule) fail("unknown key \"" + entry.key + "\"");
    if (!rule->repeatable && profile.find(entry.key))
      fail("\"" + entry.key + "\" given twice (first on line " +
           std::to_string(profile.find(entry.key)->line) + ")");
    std::string problem = rule->check ? rule->check(entry.value) : std::string();
    if (!problem.empty()) fail(entry.key + ": " + problem);
    if (rule->identity) {
      std::string identity = rule->identity(entry.value);
      for (const ProfileEntry &earlier : profile.entries_)
        if (earlier.key == entry.key && rule->identity(earlier.value) == identity)
          fail(entry.key + ": \"" + entry.value + "\" repeats line " + std::to_string(earlier.line));
    }
    if (entry.key == "camera" && profile.has("camera") &&
        (entry.value == "none" || profile.contains("camera", "none")))
      fail("camera: none cannot be combined with another camera");
    profile.entries_.push_back(std::move(entry));
  }
  return profile;
}

Profile Profile::load(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ProfileError(path + ": cannot read the handset profile");
  std::ostringstream text;
  text << in.rdbuf();
  return parse(text.str(), path);
}

const ProfileEntry *Profile::find(const std::string &key) const {
  for (const auto &e : entries_)
    if (e.key == key) return &e;
  return nullptr;
}

bool Profile::has(const std::string &key) const { return find(key) != nullptr; }

std::string Profile::text(const std::string &key, const std::string &fallback) const {
  const ProfileEntry *e = find(key);
  return e ? e->value : fallback;
}

std::vector<std::string> Profile::all(const std::string &key) const {
  std::vector<std::string> values;
  for (const auto &e : entries_)
    if (e.key == key) values.push_back(e.value);
  return values;
}

uint64_t Profile::parseNumber(const ProfileEntry &entry, const std::string &value) const {
  std::optional<uint64_t> n = parseByteCount(value);
  if (!n) throw ProfileError(where(entry) + ": " + entry.key + ": " + byteCountProblem(value));
  return *n;
}

uint64_t Profile::number(const std::string &key, uint64_t fallback) const {
  const ProfileEntry *e = find(key);
  return e ? parseNumber(*e, e->value) : fallback;
}

bool Profile::flag(const std::string &key, bool fallback) const {
  const ProfileEntry *e = find(key);
  if (!e) return fallback;
  std::optional<bool> b = parseFlag(e->value);
  if (!b) throw ProfileError(where(*e) + ": " + key + ": expected yes or no");
  return *b;
}

bool Profile::contains(const std::string &key, const std::string &value) const {
  std::string wanted = lower(value);
  for (const auto &e : entries_)
    if (e.key == key && lower(e.value) == wanted) return true;
  return false;
}

// parse() has checked every registry line, so the parser cannot fail here.
std::vector<RegistryDefault> Profile::registryDefaults() const {
  std::vector<RegistryDefault> defaults;
  for (const auto &e : entries_)
    if (e.key == "registry") parseRegistryDefault(e.value, defaults.emplace_back());
  return defaults;
}

std::string Profile::where(const ProfileEntry &entry) const {
  return path_ + ":" + std::to_string(entry.line);
}

std::string profileDirectory() {
  if (const char *dir = std::getenv("HANDSET_PROFILE_DIR"); dir && *dir) return dir;
  return PELKAVO_PROFILE_DIR;
}

std::string profilePath(const std::string &nameOrPath) {
  bool isPath = nameOrPath.find('/') != std::string::npos ||
                (nameOrPath.size() > 8 && nameOrPath.ends_with(".profile"));
  return isPath ? nameOrPath : profileDirectory() + "/" + nameOrPath + ".profile";
}

namespace {

std::mutex stateLock;
std::optional<Profile> running;
std::optional<std::string> rootPath;

}  // namespace

const Profile &current() {
  std::lock_guard<std::mutex> guard(stateLock);
  if (!running) {
    const char *chosen = std::getenv("HANDSET_PROFILE");
    std::string name = chosen && *chosen ? chosen : kDefaultProfile;
    try {
      running = Profile::load(profilePath(name));
    } catch (const ProfileError &error) {
      stopOnBadSetting(std::string("handset profile error: ") + error.what());
    }
  }
  return *running;
}

void stopOnBadSetting(const std::string &message) {
  std::fprintf(stderr, "%s\n", message.c_str());
  std::fflush(nullptr);
  std::_Exit(2);
}

void setCurrent(Profile profile) {
  std::lock_guard<std::mutex> guard(stateLock);
  running = std::move(profile);
}

const std::string &root() {
  std::lock_guard<std::mutex> guard(stateLock);
  if (!rootPath) {
    const char *env = std::getenv("HANDSET_ROOT");
    if (env && *env) {
      rootPath = env;
    } else {
      const char *home = std::getenv("HOME");
      rootPath = std::string(home && *home ? home : ".") + "/.local/share/pelkavo-handset";
    }
    prepareRoot(*rootPath);
  }
  return *rootPath;
}

void setRoot(const std::string &hostPath) {
  std::lock_guard<std::mutex> guard(stateLock);
  rootPath = hostPath;
  std::error_code ignored;
  std::filesystem::create_directories(hostPath, ignored);
}

std::string systemLibraryDirectory() {
  if (const char *dir = std::getenv("HANDSET_SYSTEM_LIB_DIR"); dir && *dir) return dir;
  return PELKAVO_SYSTEM_LIB_DIR;
}

}  // namespace device
