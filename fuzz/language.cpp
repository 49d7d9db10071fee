// "language.txt": the table of every text the user reads, parsed in its own buffer as the loader
// does (the file's bytes and a terminating zero), then each text drawn as a message, as the menus
// and the status line draw them.
#include <cstring>

#include "app/config.h"
#include "support.h"
#include "text_area.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  char *buffer = new char[size + 1];
  std::memcpy(buffer, data, size);
  buffer[size] = 0;
  LanguageTable table{};
  const uint32_t entries = ParseLanguage(table, buffer, size);
  fuzz::check(entries <= uint32_t(kLanguageStrings) + 1, "at most one entry beyond the table is counted");
  for (uint32_t n = 0; n < entries && n < uint32_t(kLanguageStrings); ++n) {
    const char *text = table.strings[n];
    fuzz::check(text >= buffer && text <= buffer + size, "an entry lies in the file's buffer");
    fuzz::check(std::memchr(text, 0, size_t(buffer + size + 1 - text)) != nullptr, "an entry ends in the buffer");
  }
  if (entries >= uint32_t(kLanguageStrings)) {
    static FontBitmaps font;
    static const bool inked = (std::memset(font.glyphs, 0xA5, sizeof font.glyphs),
                               std::memset(font.outlines, 0x5A, sizeof font.outlines), true);
    (void)inked;
    TextRenderer renderer{};
    renderer.glyphs = font.glyphs;
    renderer.outlines = font.outlines;
    renderer.pageSize = kFontWords;
    renderer.colour = 0xF800;
    fuzz::TextPicture picture(renderer, 120, 64, size % 4);
    for (int n = 0; n < kLanguageStrings; ++n) {
      renderer.row = n % (renderer.rows ? renderer.rows : 1);
      renderer.column = n % 7;
      renderer.centreNext = n & 1;
      DrawMessage(&renderer, table.strings[n]);
    }
    picture.checkOutsideUntouched();
  }
  delete[] buffer;
  return 0;
}
