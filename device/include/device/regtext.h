// The text form of registry keys and values, as in Windows .reg files ("name"="text",
// "name"=dword:0000001e, "name"=hex:01,02, "name"=hex(7):...). Shared by the handset's registry
// file and the registry defaults of its profile. Files are UTF-8; REG_SZ data is UTF-16LE.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace device::regtext {

constexpr uint32_t kString = 1;  // REG_SZ
constexpr uint32_t kBinary = 3;  // REG_BINARY
constexpr uint32_t kDword = 4;   // REG_DWORD

struct Value {
  std::string name;  // UTF-8; empty for the key's default value ("@")
  uint32_t type = 0;
  std::vector<uint8_t> data;
};

// Parses one value line, `"name"=data` or `@=data` (hex data already joined from its
// continuation lines). Returns an empty string on success, else what is wrong.
std::string parseValue(const std::string &line, Value &out);
// The value as one line in the same form. Strings that a quoted form cannot hold exactly (no
// terminating zero, an inner zero, a line break, odd size) are written as hex(1):.
std::string formatValue(const Value &value);

// The canonical name of the predefined root a key path starts with ("hkey_current_user\X" gives
// "HKEY_CURRENT_USER"), or nullopt when the path does not start with one.
std::optional<std::string> rootOf(const std::string &keyPath);
// Checks a full key path: a predefined root, then non-empty names separated by single
// backslashes. Returns an empty string when acceptable, else what is wrong.
std::string checkKeyPath(const std::string &keyPath);

// Folds ASCII letters to lower case: key and value names compare without case.
std::string fold(std::string text);

// UTF-16 ↔ UTF-8. Ill-formed input gives nullopt.
std::optional<std::string> toUtf8(const std::u16string &text);
std::optional<std::u16string> toUtf16(const std::string &text);

}  // namespace device::regtext
