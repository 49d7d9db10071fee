#include "schema.h"

#include <cctype>
#include <cstdlib>

namespace device {

std::optional<uint64_t> parseByteCount(const std::string &value) {
  if (value.empty() || !std::isdigit(static_cast<unsigned char>(value[0]))) return std::nullopt;
  char *end = nullptr;
  errno = 0;
  unsigned long long n = std::strtoull(value.c_str(), &end, 0);
  if (errno) return std::nullopt;
  std::string suffix(end);
  uint64_t scale = 1;
  if (suffix == "K" || suffix == "k") scale = 1ull << 10;
  else if (suffix == "M") scale = 1ull << 20;
  else if (suffix == "G") scale = 1ull << 30;
  else if (!suffix.empty()) return std::nullopt;
  return n * scale;
}

std::optional<bool> parseFlag(const std::string &value) {
  if (value == "yes" || value == "true" || value == "1") return true;
  if (value == "no" || value == "false" || value == "0") return false;
  return std::nullopt;
}

namespace {

std::string anyText(const std::string &) { return {}; }

std::string number(const std::string &v) {
  return parseByteCount(v) ? std::string() : "\"" + v + "\" is not a number";
}

std::string flag(const std::string &v) {
  return parseFlag(v) ? std::string() : "expected yes or no, found \"" + v + "\"";
}

// "240x320"
std::string size(const std::string &v) {
  size_t x = v.find('x');
  if (x == std::string::npos || !parseByteCount(v.substr(0, x)) || !parseByteCount(v.substr(x + 1)))
    return "expected WIDTHxHEIGHT, found \"" + v + "\"";
  return {};
}

// "5.1.1700": major.minor.build
std::string version(const std::string &v) {
  int parts = 0;
  size_t start = 0;
  while (true) {
    size_t dot = v.find('.', start);
    std::string piece = v.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    if (piece.empty() || piece.find_first_not_of("0123456789") != std::string::npos)
      return "expected MAJOR.MINOR.BUILD, found \"" + v + "\"";
    ++parts;
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  return parts == 3 ? std::string() : "expected MAJOR.MINOR.BUILD, found \"" + v + "\"";
}

std::string frameBuffer(const std::string &v) {
  return v == "raw" || v == "gxinfo" || v == "none" ? std::string()
                                                     : "expected raw, gxinfo or none, found \"" + v + "\"";
}

std::string platformType(const std::string &v) { return v.empty() ? "empty platform type" : std::string(); }

const KeySpec keys[] = {
    {"description", false, anyText},
    {"oem_info", false, anyText},         // SPI_GETOEMINFO; absent: the call fails
    {"platform_type", false, platformType},  // SPI_GETPLATFORMTYPE; absent: the call fails
    {"os_version", false, version},       // GetVersionExW; absent: the call fails
    {"processor_core", false, anyText},   // KernelIoControl(IOCTL_PROCESSOR_INFORMATION)
    {"processor_name", false, anyText},
    {"display", false, size},
    {"bits_per_pixel", false, number},
    {"frame_buffer", false, frameBuffer},
    {"system_library", true, anyText},    // a library in "\Windows"
    {"camera", true, anyText},
    {"storage_card", true, anyText},      // "Name, capacity"
    {"memory", false, number},            // capacity of the device's own memory
    {"registry", true, anyText},          // a registry default
    {"microphone", false, anyText},
    {"touch_screen", false, flag},
};

}  // namespace

const KeySpec *findKey(const std::string &key) {
  for (const KeySpec &spec : keys)
    if (key == spec.key) return &spec;
  return nullptr;
}

}  // namespace device
