// The emulated handset's description: one plain-text profile file chosen by HANDSET_PROFILE.
// This is the device's control API for the platform layer, tests and tools; product code never
// includes it.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "device/regtext.h"

namespace device {

// A profile that cannot be used: what names the file and line, as "file:line: message".
class ProfileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct ProfileEntry {
  std::string key;
  std::string value;  // trimmed, surrounding quotes removed
  int line = 0;
};

// registry = [KEY] "name"=value  (or [KEY] alone: the key without values)
struct RegistryDefault {
  std::string key;                      // full path, e.g. "HKEY_CURRENT_USER\ControlPanel\Backlight"
  std::optional<regtext::Value> value;  // none: only the key
};

class Profile {
 public:
  // Reads and checks a profile file; throws ProfileError for an unreadable file, an unknown key,
  // a repeated single key or a value of the wrong form.
  static Profile load(const std::string &path);
  // Same, from text; `origin` names the file in error messages.
  static Profile parse(const std::string &text, const std::string &origin);

  const std::string &path() const { return path_; }
  // The profile's name: its file name without ".profile".
  const std::string &name() const { return name_; }

  bool has(const std::string &key) const;
  // The value of a single key, or `fallback` when the profile does not give it.
  std::string text(const std::string &key, const std::string &fallback = "") const;
  // Every value of a repeatable key, in file order.
  std::vector<std::string> all(const std::string &key) const;
  // A decimal number ("12"; "010" is ten) or a byte count with a K/M/G suffix ("64M").
  uint64_t number(const std::string &key, uint64_t fallback) const;
  // "yes"/"no" (also true/false, 1/0).
  bool flag(const std::string &key, bool fallback) const;
  // Whether `value` is one of the values of a repeatable key, compared without case.
  bool contains(const std::string &key, const std::string &value) const;

  const std::vector<ProfileEntry> &entries() const { return entries_; }

  // The registry lines, in file order (checked when the profile was read).
  std::vector<RegistryDefault> registryDefaults() const;

  // "file:line: message" for an entry of this profile.
  std::string where(const ProfileEntry &entry) const;

  // Value parsers shared with callers that read composite values; they throw ProfileError
  // naming the entry's file and line.
  uint64_t parseNumber(const ProfileEntry &entry, const std::string &value) const;
  const ProfileEntry *find(const std::string &key) const;

 private:
  std::string path_;
  std::string name_;
  std::vector<ProfileEntry> entries_;
};

// The profile directory: HANDSET_PROFILE_DIR, else the profiles shipped with the sources.
std::string profileDirectory();
// The file a profile name stands for: a path as given when it contains '/' or ends in
// ".profile", else <profile directory>/<name>.profile.
std::string profilePath(const std::string &nameOrPath);
// The profile used when HANDSET_PROFILE is not set.
constexpr const char *kDefaultProfile = "asus-p525";

// The running handset's profile, loaded on first use from HANDSET_PROFILE. A profile that
// cannot be used ends the process with the error on stderr (exit code 2).
const Profile &current();
// Ends the process over a handset setting it cannot run with (the profile, a HANDSET_* variable):
// `message` and a newline on stderr, then exit code 2 at once. The exit handlers are skipped: they
// wait for the handset's threads, and those may wait for a lock the caller holds.
[[noreturn]] void stopOnBadSetting(const std::string &message);
// Replaces the running profile (tests); the next `current()` returns it.
void setCurrent(Profile profile);

// The host folder holding the handset's file system and registry: HANDSET_ROOT, else
// $HOME/.local/share/pelkavo-handset. Created on first use, with the folders a handset has from
// the factory (\My Documents, \Program Files, \Windows, \Temp).
const std::string &root();
// Points the handset at another root (tests use a fresh temporary folder each); the folder is
// created but left empty, so a test sees only what it makes there.
void setRoot(const std::string &hostPath);

// Where the stand-ins of the handset's own system libraries ("\Windows\*.dll") were built.
std::string systemLibraryDirectory();

}  // namespace device
