// Wide-string helpers of the base classes.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstring>

namespace strmbase {

inline size_t length(LPCWSTR s) {
  size_t n = 0;
  if (s)
    while (s[n]) ++n;
  return n;
}

// A new[] copy, or null for null.
inline WCHAR *copy(LPCWSTR s) {
  if (!s) return nullptr;
  size_t n = length(s);
  WCHAR *c = new WCHAR[n + 1];
  std::memcpy(c, s, (n + 1) * sizeof(WCHAR));
  return c;
}

// Copies into a fixed field of `capacity` units, cut to fit, always terminated.
inline void copyInto(WCHAR *field, size_t capacity, LPCWSTR s) {
  size_t n = std::min(length(s), capacity - 1);
  if (n) std::memcpy(field, s, n * sizeof(WCHAR));
  field[n] = 0;
}

inline bool equal(LPCWSTR a, LPCWSTR b) {
  size_t n = length(a);
  return n == length(b) && std::memcmp(a, b, n * sizeof(WCHAR)) == 0;
}

}  // namespace strmbase
