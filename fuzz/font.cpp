// The font bitmaps: a page read from its file (after the 62-byte header the loader skips) with
// the hint glyphs laid over page 0, then every character drawn into a small picture in any
// orientation and size. Whatever the bitmap holds, nothing is drawn outside the text area.
#include <cstring>

#include "app/config.h"
#include "support.h"
#include "text_area.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::Reader in(data, size);
  const uint8_t shape = in.byte();
  const uint32_t width = 1 + in.byte() % 96, height = 1 + in.byte() % 96;
  const uint32_t overlayRows = in.byte() % 40;
  const std::string overlay = in.bytes(size_t(overlayRows) * 4);
  const std::string pixels = in.rest();

  static FontBitmaps font;
  std::memset(&font, 0, sizeof font);
  TextRenderer renderer{};
  renderer.glyphs = font.glyphs;
  renderer.outlines = font.outlines;
  const bool page0 = shape & 1;
  BuildFontPage(renderer, page0, reinterpret_cast<const uint8_t *>(pixels.data()), pixels.size(),
                reinterpret_cast<const uint8_t *>(overlay.data()), uint32_t(overlay.size() / 4));
  renderer.doubleSize = (shape >> 1) & 1;
  renderer.colour = 0xFFFF;
  fuzz::TextPicture picture(renderer, width, height, shape >> 2);

  char all[256];
  for (int c = 1; c < 256; ++c) all[c - 1] = char(c == 13 ? 'M' : c);
  all[255] = 0;
  renderer.centreNext = (shape >> 4) & 1;
  DrawText(&renderer, all);
  renderer.row = renderer.rows ? renderer.rows - 1 : 0;
  renderer.column = 0;
  DrawMessage(&renderer, all + 128);
  picture.checkOutsideUntouched();
  return 0;
}
