// Wide string calls of the C runtime on UTF-16.
#include <windows.h>

#include <climits>

#include "crt/text.h"

using platform::foldCase;

size_t wcslen(const char16_t *s) {
  const char16_t *end = s;
  while (*end) ++end;
  return static_cast<size_t>(end - s);
}

char16_t *wcscpy(char16_t *to, const char16_t *from) {
  char16_t *out = to;
  while ((*out++ = *from++)) {
  }
  return to;
}

char16_t *wcsncpy(char16_t *to, const char16_t *from, size_t n) {
  size_t i = 0;
  for (; i < n && from[i]; ++i) to[i] = from[i];
  for (; i < n; ++i) to[i] = 0;
  return to;
}

char16_t *wcscat(char16_t *to, const char16_t *from) {
  wcscpy(to + wcslen(to), from);
  return to;
}

char16_t *wcsncat(char16_t *to, const char16_t *from, size_t n) {
  char16_t *out = to + wcslen(to);
  size_t i = 0;
  for (; i < n && from[i]; ++i) out[i] = from[i];
  out[i] = 0;
  return to;
}

int wcsncmp(const char16_t *a, const char16_t *b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    if (!a[i]) break;
  }
  return 0;
}

int wcscmp(const char16_t *a, const char16_t *b) { return wcsncmp(a, b, SIZE_MAX); }

const char16_t *wcschr(const char16_t *s, char16_t c) {
  for (;; ++s) {
    if (*s == c) return s;
    if (!*s) return nullptr;
  }
}

char16_t *wcschr(char16_t *s, char16_t c) {
  return const_cast<char16_t *>(wcschr(const_cast<const char16_t *>(s), c));
}

const char16_t *wcsrchr(const char16_t *s, char16_t c) {
  const char16_t *found = nullptr;
  for (;; ++s) {
    if (*s == c) found = s;
    if (!*s) return found;
  }
}

char16_t *wcsrchr(char16_t *s, char16_t c) {
  return const_cast<char16_t *>(wcsrchr(const_cast<const char16_t *>(s), c));
}

const char16_t *wcsstr(const char16_t *s, const char16_t *part) {
  size_t n = wcslen(part);
  for (; *s; ++s)
    if (wcsncmp(s, part, n) == 0) return s;
  return n == 0 ? s : nullptr;
}

char16_t *wcsstr(char16_t *s, const char16_t *part) {
  return const_cast<char16_t *>(wcsstr(const_cast<const char16_t *>(s), part));
}

int _wcsnicmp(const char16_t *a, const char16_t *b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    char16_t x = foldCase(a[i]), y = foldCase(b[i]);
    if (x != y) return x < y ? -1 : 1;
    if (!x) break;
  }
  return 0;
}

int _wcsicmp(const char16_t *a, const char16_t *b) { return _wcsnicmp(a, b, SIZE_MAX); }

LONG _wtol(const char16_t *s) {
  while (*s == u' ' || (*s >= u'\t' && *s <= u'\r')) ++s;
  bool negative = *s == u'-';
  if (*s == u'-' || *s == u'+') ++s;
  int64_t value = 0;
  for (; *s >= u'0' && *s <= u'9'; ++s) {
    value = value * 10 + (*s - u'0');
    if (value > int64_t{INT32_MAX} + 1) value = int64_t{INT32_MAX} + 1;
  }
  if (negative) return static_cast<LONG>(-value);
  return static_cast<LONG>(value > INT32_MAX ? INT32_MAX : value);
}

int _wtoi(const char16_t *s) { return _wtol(s); }
