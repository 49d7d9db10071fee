// The keys a handset profile may hold, with the check each value must pass.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "device/profile.h"

namespace device {

struct KeyRule {
  const char *key;
  bool repeatable;
  // Returns an empty string when the value is acceptable, else what is wrong with it.
  std::string (*check)(const std::string &value);
  // For a repeatable key whose values must differ: what two values must not share (compared as
  // given, so fold case here when it does not matter). Null: repeats are allowed.
  std::string (*identity)(const std::string &value) = nullptr;
};

const KeyRule *findKey(const std::string &key);

std::optional<uint64_t> parseByteCount(const std::string &value);
std::optional<bool> parseFlag(const std::string &value);

// A registry default; returns an empty string on success, else what is wrong.
std::string parseRegistryDefault(const std::string &value, RegistryDefault &out);

}  // namespace device
