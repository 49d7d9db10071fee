// The keys a handset profile may hold, with the check each value must pass.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace device {

struct KeySpec {
  const char *key;
  bool repeatable;
  // Returns an empty string when the value is acceptable, else what is wrong with it.
  std::string (*check)(const std::string &value);
};

const KeySpec *findKey(const std::string &key);

std::optional<uint64_t> parseByteCount(const std::string &value);
std::optional<bool> parseFlag(const std::string &value);

}  // namespace device
