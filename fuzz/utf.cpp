// The UTF-16 <-> UTF-8 conversions: the platform's lenient pair for host names (a lone surrogate
// becomes U+FFFD, a malformed byte stands for itself) and the strict pair of the registry text.
// Where both accept a text they agree, a well-formed text goes there and back unchanged, and
// the lenient decoder reads each byte of a malformed sequence as the Latin-1 character it is.
#include "crt/text.h"
#include "device/regtext.h"
#include "support.h"

namespace rt = device::regtext;

namespace {

// The length of the sequence a lead byte starts, by its high bits alone.
size_t sequenceLength(unsigned char lead) {
  return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

// The lenient reading, one sequence at a time, with the strict decoder judging each.
std::u16string lenientReference(const std::string &bytes) {
  std::u16string out;
  for (size_t i = 0; i < bytes.size();) {
    const size_t length = sequenceLength(static_cast<unsigned char>(bytes[i]));
    std::optional<std::u16string> one;
    if (i + length <= bytes.size()) one = rt::toUtf16(bytes.substr(i, length));
    if (one) {
      out += *one;
      i += length;
    } else {
      out += char16_t(static_cast<unsigned char>(bytes[i]));
      ++i;
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string bytes(reinterpret_cast<const char *>(data), size);
  std::u16string units;
  for (size_t i = 0; i + 1 < size; i += 2) units += char16_t(data[i] | data[i + 1] << 8);

  // From UTF-16.
  const std::string lenient8 = platform::toUtf8(units);
  const std::optional<std::u16string> back = rt::toUtf16(lenient8);
  fuzz::check(back.has_value(), "the platform writes well-formed UTF-8");
  if (const std::optional<std::string> strict8 = rt::toUtf8(units)) {
    fuzz::check(*strict8 == lenient8, "both conversions from UTF-16 agree");
    fuzz::check(*back == units, "UTF-16 goes to UTF-8 and back unchanged");
    fuzz::check(platform::toUtf16(lenient8) == units, "the platform's conversions undo each other");
  }

  // From UTF-8.
  const std::u16string lenient16 = platform::toUtf16(bytes);
  fuzz::check(lenient16 == lenientReference(bytes), "the platform reads malformed bytes as Latin-1 and nothing else");
  if (const std::optional<std::u16string> strict16 = rt::toUtf16(bytes)) {
    fuzz::check(*strict16 == lenient16, "both conversions from UTF-8 agree");
    fuzz::check(rt::toUtf8(*strict16) == bytes, "UTF-8 goes to UTF-16 and back unchanged");
  }
  return 0;
}
