#include "device/regtext.h"

#include <cctype>
#include <cstdio>

namespace device::regtext {
namespace {

const char *const kRoots[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS"};

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool onlySpace(const std::string &s, size_t from) {
  for (size_t i = from; i < s.size(); ++i)
    if (!std::isspace(static_cast<unsigned char>(s[i]))) return false;
  return true;
}

// Reads a quoted text starting at s[pos] == '"'; on success `pos` is just past the closing quote.
std::string readQuoted(const std::string &s, size_t &pos, std::string &out) {
  out.clear();
  for (size_t i = pos + 1; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"') {
      pos = i + 1;
      return {};
    }
    if (c == '\\') {
      if (i + 1 >= s.size()) break;
      char next = s[++i];
      if (next != '\\' && next != '"') return std::string("unknown escape \\") + next;
      out += next;
    } else {
      out += c;
    }
  }
  return "unterminated quoted text";
}

std::string quote(const std::string &text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + '"';
}

std::string parseHexBytes(const std::string &s, std::vector<uint8_t> &out) {
  out.clear();
  size_t i = 0;
  auto skipSpace = [&] {
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
  };
  skipSpace();
  if (i == s.size()) return {};
  while (true) {
    skipSpace();
    if (i + 1 >= s.size() || hexDigit(s[i]) < 0 || hexDigit(s[i + 1]) < 0)
      return "expected two hex digits per byte";
    out.push_back(static_cast<uint8_t>(hexDigit(s[i]) * 16 + hexDigit(s[i + 1])));
    i += 2;
    skipSpace();
    if (i == s.size()) return {};
    if (s[i] != ',') return "expected ',' between bytes";
    ++i;
  }
}

// A REG_SZ value that "text" reproduces byte for byte.
std::optional<std::string> quotableText(const std::vector<uint8_t> &data) {
  if (data.size() < 2 || data.size() % 2) return std::nullopt;
  std::u16string units;
  for (size_t i = 0; i + 1 < data.size(); i += 2) units += char16_t(data[i] | data[i + 1] << 8);
  if (units.back() != 0) return std::nullopt;
  units.pop_back();
  for (char16_t u : units)
    if (u == 0 || u == '\n' || u == '\r') return std::nullopt;
  return toUtf8(units);
}

}  // namespace

std::string fold(std::string text) {
  for (char &c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

std::optional<std::string> toUtf8(const std::u16string &text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return std::nullopt;
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return std::nullopt;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::optional<std::u16string> toUtf16(const std::string &text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    unsigned char lead = static_cast<unsigned char>(text[i]);
    int extra = lead < 0x80 ? 0 : (lead >> 5) == 6 ? 1 : (lead >> 4) == 14 ? 2 : (lead >> 3) == 30 ? 3 : -1;
    if (extra < 0 || i + extra >= text.size()) return std::nullopt;
    uint32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
      unsigned char cont = static_cast<unsigned char>(text[i + k]);
      if ((cont & 0xC0) != 0x80) return std::nullopt;
      c = c << 6 | (cont & 0x3F);
    }
    static const uint32_t smallest[] = {0, 0x80, 0x800, 0x10000};
    if (c < smallest[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
    if (c >= 0x10000) {
      out += char16_t(0xD800 + ((c - 0x10000) >> 10));
      out += char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += char16_t(c);
    }
    i += extra + 1;
  }
  return out;
}

std::string parseValue(const std::string &line, Value &out) {
  out = Value();
  size_t pos = 0;
  if (line.starts_with('@')) {
    pos = 1;
  } else if (line.starts_with('"')) {
    if (std::string problem = readQuoted(line, pos, out.name); !problem.empty()) return problem;
  } else {
    return "expected \"name\"=value";
  }
  if (pos >= line.size() || line[pos] != '=') return "expected '=' after the value name";
  std::string data = line.substr(pos + 1);
  if (data.starts_with('"')) {
    size_t end = 0;
    std::string text;
    if (std::string problem = readQuoted(data, end, text); !problem.empty()) return problem;
    if (!onlySpace(data, end)) return "unexpected text after the closing quote";
    std::optional<std::u16string> units = toUtf16(text);
    if (!units) return "text is not valid UTF-8";
    out.type = kString;
    for (char16_t u : *units) {
      out.data.push_back(static_cast<uint8_t>(u & 0xFF));
      out.data.push_back(static_cast<uint8_t>(u >> 8));
    }
    out.data.insert(out.data.end(), {0, 0});
    return {};
  }
  if (data.starts_with("dword:")) {
    std::string digits = data.substr(6);
    while (!digits.empty() && std::isspace(static_cast<unsigned char>(digits.back()))) digits.pop_back();
    if (digits.empty() || digits.size() > 8) return "expected dword: and 1 to 8 hex digits";
    uint32_t n = 0;
    for (char c : digits) {
      if (hexDigit(c) < 0) return "expected dword: and 1 to 8 hex digits";
      n = n << 4 | static_cast<uint32_t>(hexDigit(c));
    }
    out.type = kDword;
    for (int shift = 0; shift < 32; shift += 8) out.data.push_back(static_cast<uint8_t>(n >> shift));
    return {};
  }
  if (data.starts_with("hex:")) {
    out.type = kBinary;
    return parseHexBytes(data.substr(4), out.data);
  }
  if (data.starts_with("hex(")) {
    size_t close = data.find("):");
    if (close == std::string::npos || close == 4 || close > 12) return "expected hex(TYPE):";
    uint32_t type = 0;
    for (size_t i = 4; i < close; ++i) {
      if (hexDigit(data[i]) < 0) return "expected hex(TYPE): with a hex type";
      type = type << 4 | static_cast<uint32_t>(hexDigit(data[i]));
    }
    out.type = type;
    return parseHexBytes(data.substr(close + 2), out.data);
  }
  return "expected \"text\", dword:, hex: or hex(TYPE): after '='";
}

std::string formatValue(const Value &value) {
  std::string line = value.name.empty() ? "@=" : quote(value.name) + "=";
  if (value.type == kString) {
    if (std::optional<std::string> text = quotableText(value.data)) return line + quote(*text);
  }
  if (value.type == kDword && value.data.size() == 4) {
    uint32_t n = value.data[0] | value.data[1] << 8 | value.data[2] << 16 | uint32_t(value.data[3]) << 24;
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08x", n);
    return line + "dword:" + digits;
  }
  char prefix[20];
  if (value.type == kBinary) std::snprintf(prefix, sizeof prefix, "hex:");
  else std::snprintf(prefix, sizeof prefix, "hex(%x):", value.type);
  line += prefix;
  for (size_t i = 0; i < value.data.size(); ++i) {
    char byte[4];
    std::snprintf(byte, sizeof byte, i ? ",%02x" : "%02x", value.data[i]);
    line += byte;
  }
  return line;
}

std::optional<std::string> rootOf(const std::string &keyPath) {
  std::string head = keyPath.substr(0, keyPath.find('\\'));
  for (const char *root : kRoots)
    if (fold(head) == fold(root)) return std::string(root);
  return std::nullopt;
}

std::string checkKeyPath(const std::string &keyPath) {
  if (!rootOf(keyPath))
    return "key \"" + keyPath + "\" does not start with HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, "
           "HKEY_CLASSES_ROOT or HKEY_USERS";
  if (keyPath.find("\\\\") != std::string::npos || keyPath.ends_with('\\'))
    return "key \"" + keyPath + "\" has an empty name between backslashes";
  if (!toUtf16(keyPath)) return "key name is not valid UTF-8";
  return {};
}

}  // namespace device::regtext
