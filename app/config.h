// The plain files beside the program: "Config.txt" (flash sound and capture window),
// "language.txt" (every text the user reads) and the font bitmaps it names.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "app/appstate.h"
#include "pipeline/text.h"

// Language strings with a fixed use outside the menus.
enum LanguageString : int {
  LANG_NO_SPACE = 159,      // not enough space or memory
  LANG_ABOUT_VERSION = 161,  // about page: followed by the version
  LANG_ABOUT_DEVICE = 162,   // about page: followed by ": " and the OEM name
  LANG_ABOUT_LINE = 163,
  LANG_FONT_PAGE0 = 167,  // file name of font page 0
  LANG_FONT_PAGE1 = 168,  // file name of font page 1; empty for none
};

// Bitmap resource of the program (32 × 32, 1-bit): glyphs 0 and 1, drawn for codes 1 and 2.
// Defined beside the resource table, so that whatever loads the font links the table too.
extern const UINT kHintGlyphsResource;

// Writes `name` over the file-name part of the program path and returns the path buffer.
// The 8-bit form widens each byte.
WCHAR *ProgramDirPath(const WCHAR *name);
WCHAR *ProgramDirPath(const char *name);

// Reads "Config.txt": the flash sound file name and the capture window. 1 when the file was
// read, 0 when it is missing or empty (both values then stay as they were).
int ReadConfig(const WCHAR *path);
// The parser over the file's zero-terminated text.
void ParseConfig(const char *text, char flashSound[kFlashSoundChars],
                 int32_t captureWindow[4]);

// Reads the language file into the table (freeing a previous buffer); 1 only when exactly
// 169 entries were read.
int LoadLanguage(LanguageTable &table, const WCHAR *path);
// The parser over a buffer of size bytes, which it keeps and writes terminators into;
// returns the number of entries read (at most 170, the first 169 stored).
uint32_t ParseLanguage(LanguageTable &table, char *data, size_t size);

// Loads one font page from a 32 × 2048 1-bit bitmap file into the renderer's glyph pages and
// builds its outline. A non-zero resource id loads page 0 and lays that bitmap resource over
// the page's last rows; 0 loads page 1. 1 when the file was opened.
int LoadFontPage(TextRenderer &renderer, UINT resourceId, const WCHAR *path);
// The same from the pixel rows of the file in memory (at most 8192 bytes used); `overlay`
// holds `overlayRows` 4-byte rows laid over the page's last words before conversion.
void BuildFontPage(TextRenderer &renderer, bool page0, const uint8_t *pixels, size_t size,
                   const uint8_t *overlay, uint32_t overlayRows);

// Start-up: "language.txt", font page 0 (L167, with the hint glyphs) and, when L168 names
// one, font page 1, all from the program directory. 0 when any of them fails.
int LoadLanguageAndFonts();
