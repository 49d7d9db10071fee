// The wide C-runtime calls of the handset on UTF-16 (char16_t) strings. The C library already
// has the wchar_t forms; these are C++ overloads beside them.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdio>

#include <windef.h>

size_t wcslen(const char16_t *s);
char16_t *wcscpy(char16_t *to, const char16_t *from);
char16_t *wcsncpy(char16_t *to, const char16_t *from, size_t n);
char16_t *wcscat(char16_t *to, const char16_t *from);
char16_t *wcsncat(char16_t *to, const char16_t *from, size_t n);
int wcscmp(const char16_t *a, const char16_t *b);
int wcsncmp(const char16_t *a, const char16_t *b, size_t n);
char16_t *wcschr(char16_t *s, char16_t c);
const char16_t *wcschr(const char16_t *s, char16_t c);
char16_t *wcsrchr(char16_t *s, char16_t c);
const char16_t *wcsrchr(const char16_t *s, char16_t c);
char16_t *wcsstr(char16_t *s, const char16_t *part);
const char16_t *wcsstr(const char16_t *s, const char16_t *part);

// Compare without case: ASCII and Latin-1 letters fold to lower case.
int _wcsicmp(const char16_t *a, const char16_t *b);
int _wcsnicmp(const char16_t *a, const char16_t *b, size_t n);

// Leading white space, an optional sign, decimal digits; anything else ends the number.
// Values beyond 32 bits saturate; no digits give 0.
LONG _wtol(const char16_t *s);
int _wtoi(const char16_t *s);

// Formats into `out` and returns the number of units written (without the terminator).
// Conversions: %d %i %u %x %X %c (wide) %s (wide string) %S (8-bit string) %%, with the
// flags '-' and '0' and a field width (digits or '*'); 'l' and 'h' are accepted and read a
// 32-bit value. A null string prints as "(null)"; other conversions are copied as they stand.
int wsprintfW(LPWSTR out, LPCWSTR format, ...);
int wvsprintfW(LPWSTR out, LPCWSTR format, va_list args);

// Opens a file by a path as the file calls read it (see winbase.h). Modes "r", "w", "a" with
// "+" and "b"/"t" (files are always binary). On an emulated volume a write beyond its capacity
// writes what fits, returns a short count, sets the stream's error and ERROR_DISK_FULL.
FILE *_wfopen(const char16_t *path, const char16_t *mode);
