// wsprintfW: the format subset the program uses (see cewchar.h).
#include <windows.h>

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

size_t digits(char *buffer, uint32_t value, unsigned base, bool upper) {
  const char *set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  char reversed[16];
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
    while (*f == u'l' || *f == u'h') ++f;
    char number[16];
    switch (*f) {
      case u'd':
      case u'i': {
        int32_t value = va_arg(args, int32_t);
        size_t n = 0;
        if (value < 0) number[n++] = '-';
        uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
        n += digits(number + n, magnitude, 10, false);
        cursor = pad(cursor, field, number, n, true);
        break;
      }
      case u'u':
        cursor = pad(cursor, field, number, digits(number, va_arg(args, uint32_t), 10, false), true);
        break;
      case u'x':
      case u'X':
        cursor = pad(cursor, field, number, digits(number, va_arg(args, uint32_t), 16, *f == u'X'), true);
        break;
      case u'c': {
        char16_t c = static_cast<char16_t>(va_arg(args, int));
        cursor = pad(cursor, field, &c, 1, false);
        break;
      }
      case u's': {
        const char16_t *s = va_arg(args, const char16_t *);
        if (!s) s = u"(null)";
        size_t n = 0;
        while (s[n]) ++n;
        cursor = pad(cursor, field, s, n, false);
        break;
      }
      case u'S': {
        const char *s = va_arg(args, const char *);
        if (!s) s = "(null)";
        size_t n = 0;
        while (s[n]) ++n;
        cursor = pad(cursor, field, s, n, false);
        break;
      }
      case u'%':
        *cursor++ = u'%';
        break;
      default:
        // Not a conversion this formatter knows: copy it as it stands.
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
