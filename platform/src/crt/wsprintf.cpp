// wsprintfW: the format subset the program uses (see cewchar.h).
#include <windows.h>

#include <cstring>

namespace {

struct Field {
  bool left = false;
  bool zero = false;
  int width = 0;
};

// An 8-bit character becomes the UTF-16 unit of the same value.
char16_t widen(char c) { return static_cast<unsigned char>(c); }
char16_t widen(char16_t c) { return c; }

// Writes `body` (already converted) padded to the field's width.
template <class Unit>
char16_t *pad(char16_t *out, const Field &field, const Unit *body, size_t length, bool numeric) {
  size_t fill = field.width > 0 && static_cast<size_t>(field.width) > length ? field.width - length : 0;
  bool zeros = field.zero && !field.left && numeric;
  size_t at = 0;
  if (zeros && length > 0 && body[0] == '-') {
    *out++ = u'-';
    at = 1;
  }
  if (!field.left)
    for (; fill; --fill) *out++ = zeros ? u'0' : u' ';
  for (; at < length; ++at) *out++ = widen(body[at]);
  for (; fill; --fill) *out++ = u' ';
  return out;
}

size_t digits(char *buffer, uint64_t value, unsigned base, bool upper) {
  const char *set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  char reversed[24];
  size_t n = 0;
  do {
    reversed[n++] = set[value % base];
    value /= base;
  } while (value);
  for (size_t i = 0; i < n; ++i) buffer[i] = reversed[n - 1 - i];
  return n;
}

}  // namespace

int wvsprintfW(LPWSTR out, LPCWSTR format, va_list args) {
  char16_t *cursor = out;
  for (const char16_t *f = format; *f; ++f) {
    if (*f != u'%') {
      *cursor++ = *f;
      continue;
    }
    const char16_t *start = f++;
    Field field;
    for (;; ++f) {
      if (*f == u'-') field.left = true;
      else if (*f == u'0') field.zero = true;
      else break;
    }
    if (*f == u'*') {
      field.width = va_arg(args, int);
      if (field.width < 0) {
        field.left = true;
        field.width = -field.width;
      }
      ++f;
    }
    for (; *f >= u'0' && *f <= u'9'; ++f) field.width = field.width * 10 + (*f - u'0');
    // Sizes: h makes c, s, C and S 8-bit; l makes them 16-bit; I64 makes an integer 64-bit.
    bool narrowText = false, wideText = false, wide64 = false;
    for (;; ++f) {
      if (*f == u'h') narrowText = true;
      else if (*f == u'l') wideText = true;
      else if (f[0] == u'I' && f[1] == u'6' && f[2] == u'4') wide64 = true, f += 2;
      else break;
    }
    const bool eightBit = narrowText || ((*f == u'C' || *f == u'S') && !wideText);
    char number[24];
    switch (*f) {
      case u'd':
      case u'i': {
        const int64_t value = wide64 ? va_arg(args, int64_t) : va_arg(args, int32_t);
        size_t n = 0;
        if (value < 0) number[n++] = '-';
        const uint64_t magnitude = value < 0 ? 0u - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
        n += digits(number + n, magnitude, 10, false);
        cursor = pad(cursor, field, number, n, true);
        break;
      }
      case u'u':
      case u'x':
      case u'X': {
        const uint64_t value = wide64 ? va_arg(args, uint64_t) : va_arg(args, uint32_t);
        cursor = pad(cursor, field, number, digits(number, value, *f == u'u' ? 10 : 16, *f == u'X'), true);
        break;
      }
      case u'p': {  // as hexadecimal digits, all of the pointer's
        const uint64_t value = reinterpret_cast<uintptr_t>(va_arg(args, void *));
        char hex[24];
        const size_t n = digits(hex, value, 16, true), all = 2 * sizeof(void *);
        size_t at = 0;
        for (; at + n < all; ++at) number[at] = '0';
        for (size_t i = 0; i < n; ++i) number[at++] = hex[i];
        cursor = pad(cursor, field, number, at, true);
        break;
      }
      case u'c':
      case u'C': {
        const int value = va_arg(args, int);
        const char16_t c = eightBit ? widen(static_cast<char>(value)) : static_cast<char16_t>(value);
        cursor = pad(cursor, field, &c, 1, false);
        break;
      }
      case u's':
      case u'S': {
        if (eightBit) {
          const char *s = va_arg(args, const char *);
          if (!s) s = "(null)";
          cursor = pad(cursor, field, s, std::strlen(s), false);
        } else {
          const char16_t *s = va_arg(args, const char16_t *);
          if (!s) s = u"(null)";
          size_t n = 0;
          while (s[n]) ++n;
          cursor = pad(cursor, field, s, n, false);
        }
        break;
      }
      case u'%':
        *cursor++ = u'%';
        break;
      default:
        // Not a conversion this formatter writes: copied as it stands. One the C library knows
        // still takes its argument, so that the ones after it get theirs.
        switch (*f) {
          case u'e': case u'E': case u'f': case u'F': case u'g': case u'G': case u'a': case u'A':
            va_arg(args, double);
            break;
          case u'o':
            va_arg(args, uint32_t);
            break;
          case u'n':
            va_arg(args, void *);
            break;
          default: break;
        }
        for (const char16_t *p = start; p <= f && *p; ++p) *cursor++ = *p;
        if (!*f) --f;
        break;
    }
  }
  *cursor = 0;
  return static_cast<int>(cursor - out);
}

int wsprintfW(LPWSTR out, LPCWSTR format, ...) {
  va_list args;
  va_start(args, format);
  int written = wvsprintfW(out, format, args);
  va_end(args);
  return written;
}
