// A synthetic font whose characters can be read back from a picture: each glyph's top row
// spells its glyph number in ink and its second row is inked right across (the cell's mark),
// with no outline. Text drawn with it over a plain background reads back as the string of
// glyph numbers, with its colour.
#pragma once

#include <cstdint>
#include <string>

#include "pipeline/text.h"

inline uint32_t GlyphTopWord(uint32_t glyph) {
  return glyph < 128 ? kFontPageWords - 1 - 16 * glyph : kFontWords - 1 - 16 * (glyph - 128);
}

inline void MakeReadableFont(FontBitmaps &font, TextRenderer &renderer) {
  font = FontBitmaps{};
  for (uint32_t g = 0; g < 256; ++g) {
    font.glyphs[GlyphTopWord(g)] = g << 24;
    font.glyphs[GlyphTopWord(g) - 1] = 0xFF000000u;
  }
  renderer.glyphs = font.glyphs;
  renderer.outlines = font.outlines;
  renderer.pageSize = kFontWords;
}

// Pixel (dx, dy) of the cell at (column, row), in the renderer's text coordinates.
inline uint16_t CellPixel(const TextRenderer &r, uint32_t column, uint32_t row, uint32_t dx, uint32_t dy) {
  ptrdiff_t offset = ptrdiff_t(row * r.charHeight + dy) * r.yStep + ptrdiff_t(column * r.charWidth + dx) * r.xStep;
  return *(r.origin + offset);
}

// The colour of the cell's mark; the background when nothing was drawn there.
inline uint16_t CellColour(const TextRenderer &r, uint32_t column, uint32_t row) {
  return CellPixel(r, column, row, 0, r.doubleSize ? 2 : 1);
}

// One text line: '.' for a cell left as it was, else the glyph number as a character.
inline std::string TextLine(const TextRenderer &r, uint32_t row, uint16_t background) {
  std::string line;
  const uint32_t scale = r.doubleSize ? 2 : 1;
  for (uint32_t c = 0; c < r.columns; ++c) {
    if (CellColour(r, c, row) == background) {
      line += '.';
      continue;
    }
    uint32_t glyph = 0;
    for (uint32_t bit = 0; bit < 8; ++bit) glyph = glyph << 1 | (CellPixel(r, c, row, bit * scale, 0) != background);
    line += char(glyph);
  }
  return line;
}
