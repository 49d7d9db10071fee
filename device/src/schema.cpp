#include "schema.h"

#include "camera/sources.h"
#include "microphone/backends.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string_view>

#include "device/regtext.h"

namespace device {
namespace {

std::string trimmed(const std::string &s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

}  // namespace

namespace {

enum class Reading { ok, notANumber, tooLarge };

// Decimal digits only, at most `max`: a leading 0 is no octal and "0x" no hex.
Reading readDecimal(std::string_view text, uint64_t max, uint64_t &out) {
  if (text.empty()) return Reading::notANumber;
  uint64_t n = 0;
  bool tooLarge = false;
  for (char c : text) {
    if (c < '0' || c > '9') return Reading::notANumber;
    const uint64_t digit = static_cast<uint64_t>(c - '0');
    if (digit > max || n > (max - digit) / 10) tooLarge = true;
    else n = n * 10 + digit;
  }
  if (tooLarge) return Reading::tooLarge;
  out = n;
  return Reading::ok;
}

// Digits, then K, M or G (binary multiples) or nothing.
Reading readByteCount(const std::string &value, uint64_t &out) {
  const size_t digits = value.find_first_not_of("0123456789");
  const std::string suffix = digits == std::string::npos ? std::string() : value.substr(digits);
  uint64_t scale = 1;
  if (suffix == "K" || suffix == "k") scale = 1ull << 10;
  else if (suffix == "M") scale = 1ull << 20;
  else if (suffix == "G") scale = 1ull << 30;
  else if (!suffix.empty()) return Reading::notANumber;
  uint64_t n = 0;
  const Reading reading = readDecimal(std::string_view(value).substr(0, digits), UINT64_MAX / scale, n);
  if (reading == Reading::ok) out = n * scale;
  return reading;
}

}  // namespace

std::optional<uint64_t> parseByteCount(const std::string &value) {
  uint64_t n = 0;
  return readByteCount(value, n) == Reading::ok ? std::optional<uint64_t>(n) : std::nullopt;
}

std::string byteCountProblem(const std::string &value) {
  uint64_t n = 0;
  switch (readByteCount(value, n)) {
    case Reading::ok: return {};
    case Reading::tooLarge: return "\"" + value + "\" is too large";
    case Reading::notANumber: break;
  }
  return "\"" + value + "\" is not a number";
}

std::optional<std::pair<uint32_t, uint32_t>> parseSize(const std::string &value) {
  const size_t x = value.find('x');
  uint64_t width = 0, height = 0;
  if (x == std::string::npos || readDecimal(std::string_view(value).substr(0, x), kLargestSize, width) != Reading::ok ||
      readDecimal(std::string_view(value).substr(x + 1), kLargestSize, height) != Reading::ok)
    return std::nullopt;
  return std::make_pair(static_cast<uint32_t>(width), static_cast<uint32_t>(height));
}

std::optional<bool> parseFlag(const std::string &value) {
  if (value == "yes" || value == "true" || value == "1") return true;
  if (value == "no" || value == "false" || value == "0") return false;
  return std::nullopt;
}

std::string parseRegistryDefault(const std::string &value, RegistryDefault &out) {
  out = RegistryDefault();
  size_t close = value.find(']');
  if (!value.starts_with('[') || close == std::string::npos)
    return "expected [KEY] or [KEY] \"name\"=value, found \"" + value + "\"";
  out.key = value.substr(1, close - 1);
  if (std::string problem = regtext::checkKeyPath(out.key); !problem.empty()) return problem;
  std::string rest = trimmed(value.substr(close + 1));
  if (rest.empty()) return {};
  regtext::Value parsed;
  if (std::string problem = regtext::parseValue(rest, parsed); !problem.empty()) return problem;
  out.value = std::move(parsed);
  return {};
}

namespace {

std::string anyText(const std::string &) { return {}; }

std::string number(const std::string &v) { return byteCountProblem(v); }

std::string flag(const std::string &v) {
  return parseFlag(v) ? std::string() : "expected yes or no, found \"" + v + "\"";
}

// "240x320"
std::string size(const std::string &v) {
  return parseSize(v) ? std::string() : "expected WIDTHxHEIGHT, found \"" + v + "\"";
}

// "5.1.1700": major.minor.build, each a 32-bit number.
std::string version(const std::string &v) {
  int parts = 0;
  size_t start = 0;
  while (true) {
    size_t dot = v.find('.', start);
    std::string_view piece = std::string_view(v).substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    uint64_t n = 0;
    if (readDecimal(piece, UINT32_MAX, n) != Reading::ok) return "expected MAJOR.MINOR.BUILD, found \"" + v + "\"";
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

// Processor texts fill 40-unit fields, terminating zero included.
std::string processorText(const std::string &v) {
  std::optional<std::u16string> units = regtext::toUtf16(v);
  if (!units) return "not valid UTF-8";
  if (units->empty() || units->size() > 39) return "expected 1 to 39 characters, found \"" + v + "\"";
  return {};
}

std::string systemLibrary(const std::string &v) {
  if (v.size() <= 4 || regtext::fold(v.substr(v.size() - 4)) != ".dll" ||
      v.find_first_of("/\\ ") != std::string::npos)
    return "expected a library file name such as HTCcamera.dll, found \"" + v + "\"";
  return {};
}

const char *const cameraKinds[] = {"vendor", "lcm", "dsc", "directshow", "none"};

std::string camera(const std::string &v) {
  for (const char *kind : cameraKinds)
    if (v == kind) return {};
  return "expected vendor, lcm, dsc, directshow or none, found \"" + v + "\"";
}

std::string mounting(const std::string &v) {
  return v == "0" || v == "1" || v == "2" || v == "3" ? std::string() : "expected 0, 1, 2 or 3, found \"" + v + "\"";
}

// "ID MIN-MAX NEUTRAL": the values a property of the vendor camera library accepts, and the one
// that leaves the picture as it is.
std::string cameraRange(const std::string &v) {
  std::istringstream words(v);
  std::string id, range, neutral, extra;
  words >> id >> range >> neutral >> extra;
  const size_t dash = range.find('-');
  uint64_t n = 0, low = 0, high = 0, middle = 0;
  if (!extra.empty() || dash == std::string::npos || readDecimal(id, 9, n) != Reading::ok || n < 4 ||
      readDecimal(std::string_view(range).substr(0, dash), 255, low) != Reading::ok ||
      readDecimal(std::string_view(range).substr(dash + 1), 255, high) != Reading::ok ||
      readDecimal(neutral, 255, middle) != Reading::ok || high <= low || middle < low || middle > high)
    return "expected a property 4 to 9 and its values, such as \"5 0-255 120\", found \"" + v + "\"";
  return {};
}
std::string cameraRangeId(const std::string &v) { return v.substr(0, v.find(' ')); }

std::string registry(const std::string &v) {
  RegistryDefault entry;
  return parseRegistryDefault(v, entry);
}

std::string asGiven(const std::string &v) { return v; }
std::string folded(const std::string &v) { return regtext::fold(v); }

// Two cards of one name would share a folder. The file system checks the rest of the value.
std::string storageCardName(const std::string &v) { return regtext::fold(trimmed(v.substr(0, v.rfind(',')))); }

std::string registryValueName(const std::string &v) {
  RegistryDefault entry;
  parseRegistryDefault(v, entry);
  return regtext::fold(entry.key) + (entry.value ? "\n" + regtext::fold(entry.value->name) : "");
}

// ---- The DirectShow camera (the capture filter and the device search)

// "CAM1:": three letters, a digit, a colon.
std::string dshowDevice(const std::string &v) {
  if (v.size() != 5 || !std::isalpha((unsigned char)v[0]) || !std::isalpha((unsigned char)v[1]) ||
      !std::isalpha((unsigned char)v[2]) || !std::isdigit((unsigned char)v[3]) || v[4] != ':')
    return "expected a driver name such as CAM1:, found \"" + v + "\"";
  return {};
}

// "WIDTHxHEIGHT SUBTYPE [videoinfo|videoinfo2|short]"; a negative height is a bottom-up picture.
std::string dshowFormat(const std::string &v) {
  std::string what = "expected WIDTHxHEIGHT UYVY|YUY2|YV12|I420|RGB565 [videoinfo|videoinfo2|short], found \"" + v + "\"";
  char size[32] = {}, subtype[16] = {}, block[16] = {};
  int n = std::sscanf(v.c_str(), "%31s %15s %15s", size, subtype, block);
  if (n < 2) return what;
  const std::string_view dimensions(size);
  const size_t x = dimensions.find('x');
  const bool bottomUp = x != std::string_view::npos && dimensions.substr(x + 1).starts_with('-');
  uint64_t w = 0, h = 0;
  if (x == std::string_view::npos || readDecimal(dimensions.substr(0, x), 4096, w) != Reading::ok || w == 0 ||
      readDecimal(dimensions.substr(x + 1 + bottomUp), 4096, h) != Reading::ok || h == 0)
    return what;
  std::string st = subtype;
  if (st != "UYVY" && st != "YUY2" && st != "YV12" && st != "I420" && st != "RGB565") return what;
  std::string b = n == 3 ? block : "videoinfo";
  if (b != "videoinfo" && b != "videoinfo2" && b != "short") return what;
  return {};
}

const KeyRule keys[] = {
    {"description", false, anyText},
    {"oem_info", false, anyText},            // SPI_GETOEMINFO; absent: the call fails
    {"platform_type", false, platformType},  // SPI_GETPLATFORMTYPE; absent: the call fails
    {"os_version", false, version},          // GetVersionExW; absent: the call fails
    {"processor_core", false, processorText},  // KernelIoControl(IOCTL_PROCESSOR_INFORMATION)
    {"processor_name", false, processorText},
    {"display", false, size},
    {"bits_per_pixel", false, number},
    {"frame_buffer", false, frameBuffer},
    {"display_orientation", false, number},    // degrees in force at start: 0, 90, 180 or 270
    {"display_orientations", false, anyText},  // the orientations the panel offers, e.g. "0 90 270"
    {"system_library", true, systemLibrary, folded},  // a library in "\Windows"
    {"camera", true, camera, asGiven},
    {"camera_native", false, size},      // the largest mode streamed without a warm-up
    {"camera_largest", false, size},     // the largest mode
    {"camera_rate", false, number},      // frames per second
    {"camera_mounting", false, mounting},  // the mounting setting that shows the picture upright
    {"camera_chroma_swapped", false, flag},  // the sensor delivers U and V the other way round
    {"camera_picture", false, checkPictureSource},  // scene, bars, file:PATH, webcam[:DEVICE]
    {"camera_range", true, cameraRange, cameraRangeId},  // a vendor library property's values
    {"camera_jpeg", false, flag},  // the camera compresses its pictures itself ("IJPG")
    {"storage_card", true, anyText, storageCardName},      // "Name, capacity"
    {"memory", false, number},                             // capacity of the device's own memory
    {"registry", true, registry, registryValueName},       // "[KEY] "name"=value"
    {"microphone", false, checkMicrophone},  // yes (tone), no (none), tone, counter, wav:FILE, alsa[:PCM]
    {"touch_screen", false, flag},
    {"dshow_device", false, dshowDevice},          // the camera's driver name, "CAM1:"
    {"dshow_capture", true, dshowFormat, asGiven},  // a capability of the capture pin, in order
    {"dshow_still", true, dshowFormat, asGiven},    // a capability of the still pin; none: no still pin
};

}  // namespace

const KeyRule *findKey(const std::string &key) {
  for (const KeyRule &rule : keys)
    if (key == rule.key) return &rule;
  return nullptr;
}

}  // namespace device
