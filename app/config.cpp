#include "app/config.h"

#include <cewchar.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kValueLimit = 100;  // a value of this many bytes or more is ignored
constexpr size_t kBitmapHeaderBytes = 62;  // file header, information header, two palette entries
constexpr size_t kPageBytes = kFontPageWords * 4;
constexpr uint8_t kPaper = 0xFF;  // palette entry 1: white, no ink

constexpr size_t kProgramPathUnits = sizeof(AppState::programPath) / sizeof(WCHAR);

// Bytes compared as the handset's signed characters: 128 and above count as negative.
inline int Signed(char c) { return static_cast<signed char>(c); }

// Reads a whole file; the buffer holds size bytes and a terminating zero after them.
char *ReadWholeFile(const WCHAR *path, size_t &size) {
  FILE *file = _wfopen(path, TEXT("rb"));
  if (!file) return nullptr;
  char *data = nullptr;
  long length = -1;
  if (fseek(file, 0, SEEK_END) == 0) length = ftell(file);
  if (length > 0 && fseek(file, 0, SEEK_SET) == 0) {
    data = static_cast<char *>(malloc(size_t(length) + 1));
    if (data) {
      size = fread(data, 1, size_t(length), file);
      data[size] = 0;
    }
  }
  fclose(file);
  return data;
}

// The value after `key`: spaces skipped, then the bytes while `keep` holds.
template <typename Keep>
const char *FindValue(const char *text, const char *key, size_t &length, Keep keep) {
  const char *at = strstr(text, key);
  if (!at) return nullptr;
  at += strlen(key);
  while (*at == ' ') ++at;
  length = 0;
  while (keep(at[length])) ++length;
  return at;
}

// Rows of a bitmap resource of the program: a 32-pixel-wide 1-bit bitmap, bottom-up, in the
// font file's own encoding. Returns the number of 4-byte rows copied, at most maxRows.
uint32_t LoadBitmapRows(UINT id, uint8_t *rows, uint32_t maxRows) {
  HBITMAP bitmap = LoadBitmapW(g_App.instance, MAKEINTRESOURCEW(id));
  if (!bitmap) return 0;
  BITMAP info{};
  uint32_t count = 0;
  if (GetObjectW(bitmap, sizeof info, &info) && info.bmBits && info.bmBitsPixel == 1 && info.bmWidthBytes == 4 &&
      info.bmHeight > 0) {
    count = uint32_t(info.bmHeight) < maxRows ? uint32_t(info.bmHeight) : maxRows;
    memcpy(rows, info.bmBits, size_t(count) * 4);
  }
  DeleteObject(bitmap);
  return count;
}

}  // namespace

WCHAR *ProgramDirPath(const WCHAR *name) {
  WCHAR *path = g_App.programPath;
  WCHAR *slash = wcsrchr(path, TEXT('\\'));
  size_t at = slash ? size_t(slash - path) + 1 : 0;
  while (*name && at + 1 < kProgramPathUnits) path[at++] = *name++;
  path[at] = 0;
  return path;
}

WCHAR *ProgramDirPath(const char *name) {
  WCHAR wide[kProgramPathUnits];
  size_t n = 0;
  while (name[n] && n + 1 < kProgramPathUnits) {
    wide[n] = WCHAR(uint8_t(name[n]));
    ++n;
  }
  wide[n] = 0;
  return ProgramDirPath(wide);
}

void ParseConfig(const char *text, char flashSound[kFlashSoundChars],
                 int32_t captureWindow[4]) {
  size_t length = 0;
  flashSound[0] = 0;
  const char *value = FindValue(text, "FlashSound:", length, [](char c) { return Signed(c) > 32; });
  if (value && length < kValueLimit) {
    memcpy(flashSound, value, length);
    flashSound[length] = 0;
  }

  captureWindow[2] = 0;
  value = FindValue(text, "CaptureWindow:", length, [](char c) { return Signed(c) >= 32; });
  if (value && length < kValueLimit) {
    char piece[kValueLimit];
    memcpy(piece, value, length);
    piece[length] = 0;
    char *field = piece;
    for (int i = 0; i < 4 && field; ++i) {
      char *comma = i < 3 ? strchr(field, ',') : nullptr;
      if (comma) *comma = 0;
      captureWindow[i] = atoi(field);
      field = comma ? comma + 1 : nullptr;
    }
  }
}

int ReadConfig(const WCHAR *path) {
  size_t size = 0;
  char *text = ReadWholeFile(path, size);
  if (!text) return 0;
  ParseConfig(text, g_App.flashSound, g_App.device.captureWindow);
  free(text);
  return 1;
}

uint32_t ParseLanguage(LanguageTable &table, char *data, size_t size) {
  char *at = data;
  char *const end = data + size;
  uint32_t entries = 0;
  while (entries < kLanguageStrings + 1) {
    at = static_cast<char *>(memchr(at, '=', size_t(end - at)));
    if (!at || ++at == end) break;
    while (at < end && Signed(*at) < 33) ++at;
    if (at == end) break;
    if (*at == '"') ++at;
    char *stop = at;
    while (stop < end && *stop != '"' && *stop != ';') ++stop;
    if (stop == end) break;
    *stop = 0;
    if (entries < kLanguageStrings) table.strings[entries] = at;
    ++entries;
    at = stop + 1;
  }
  return entries;
}

int LoadLanguage(LanguageTable &table, const WCHAR *path) {
  free(table.buffer);
  table = LanguageTable{};
  size_t size = 0;
  table.buffer = ReadWholeFile(path, size);
  if (!table.buffer) return 0;
  return ParseLanguage(table, table.buffer, size) == kLanguageStrings;
}

void BuildFontPage(TextRenderer &renderer, bool page0, const uint8_t *pixels, size_t size,
                   const uint8_t *overlay, uint32_t overlayRows) {
  uint8_t bytes[kPageBytes];
  memset(bytes, kPaper, sizeof bytes);
  memcpy(bytes, pixels, size < kPageBytes ? size : kPageBytes);
  if (overlayRows > kFontPageWords) overlayRows = kFontPageWords;
  if (overlayRows) memcpy(bytes + (kFontPageWords - overlayRows) * 4, overlay, size_t(overlayRows) * 4);

  uint32_t *page = renderer.glyphs + (page0 ? 0 : kFontPageWords);
  uint32_t *outline = renderer.outlines + (page0 ? 0 : kFontPageWords);
  // Stored bytes run left to right with the leftmost pixel in the top bit and 0 as ink; the
  // word puts the first byte on top and sets the ink bits.
  for (uint32_t i = 0; i < kFontPageWords; ++i) {
    const uint8_t *b = bytes + 4 * i;
    page[i] = ~(uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3]);
  }
  // Each outline row surrounds the ink of its own row and of the row below it (the previous
  // word of the same glyph) by one pixel to the left.
  for (uint32_t i = 1; i < kFontPageWords - 1; ++i) {
    uint32_t g = page[i];
    uint32_t v = g;
    if (i % 16 != 0) v |= page[i - 1];
    outline[i] = (v | (v << 1)) & ~g;
  }
  renderer.doubleSize = 0;
  renderer.pageSize = kFontWords;
}

int LoadFontPage(TextRenderer &renderer, UINT resourceId, const WCHAR *path) {
  FILE *file = _wfopen(path, TEXT("rb"));
  if (!file) return 0;
  uint8_t header[kBitmapHeaderBytes];
  uint8_t pixels[kPageBytes];
  size_t size = 0;
  if (fread(header, 1, sizeof header, file) == sizeof header) size = fread(pixels, 1, sizeof pixels, file);
  fclose(file);

  uint8_t overlay[kPageBytes];
  uint32_t overlayRows = resourceId ? LoadBitmapRows(resourceId, overlay, kFontPageWords) : 0;
  BuildFontPage(renderer, resourceId != 0, pixels, size, overlay, overlayRows);
  return 1;
}

int LoadLanguageAndFonts() {
  if (!LoadLanguage(g_App.language, ProgramDirPath(TEXT("language.txt")))) return 0;
  g_App.text.glyphs = g_App.font.glyphs;
  g_App.text.outlines = g_App.font.outlines;
  const char *page0 = g_App.language.strings[LANG_FONT_PAGE0];
  if (!LoadFontPage(g_App.text, kHintGlyphsResource, ProgramDirPath(page0))) return 0;
  const char *page1 = g_App.language.strings[LANG_FONT_PAGE1];
  if (*page1 && !LoadFontPage(g_App.text, 0, ProgramDirPath(page1))) return 0;
  return 1;
}
