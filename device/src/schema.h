// The keys a handset profile may hold, with the check each value must pass.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

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

// Numbers in a profile are decimal: digits only, a leading 0 is no octal ("010" is ten).
// A byte count may end in K, M or G (binary multiples); nullopt when it is none or too large
// for 64 bits.
std::optional<uint64_t> parseByteCount(const std::string &value);
// What is wrong with a byte count ("\"x\" is not a number", "... is too large"); "" when none.
std::string byteCountProblem(const std::string &value);
// "WIDTHxHEIGHT", each decimal and at most kLargestSize; nullopt otherwise.
inline constexpr uint32_t kLargestSize = 65535;
std::optional<std::pair<uint32_t, uint32_t>> parseSize(const std::string &value);
std::optional<bool> parseFlag(const std::string &value);

// A registry default; returns an empty string on success, else what is wrong.
std::string parseRegistryDefault(const std::string &value, RegistryDefault &out);

}  // namespace device
