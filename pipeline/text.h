// TextRenderer: draws 8 × 16 bitmap-font text (16 × 32 doubled) straight into a 16-bit
// picture in any of four orientations. The font's loading fills its glyph and outline pages.
#pragma once

#include <cstdint>

// Font layout: 256 glyphs of 16 rows, one 32-bit word per row (bit 31 is the leftmost pixel,
// set bits are ink). Glyph c < 128 occupies words 2032 - 16c ... 2047 - 16c of page 0, glyph
// c >= 128 words 4080 - 16(c - 128) ... 4095 - 16(c - 128) of page 1; within a glyph the last
// word is the top row.
constexpr uint32_t kFontPageWords = 2048;
constexpr uint32_t kFontWords = 2 * kFontPageWords;

struct TextRenderer {
  uint32_t columns;  // characters per line
  uint32_t rows;     // lines
  uint16_t colour;   // RGB 565 colour of the next text
  uint32_t column;
  uint32_t row;
  uint8_t centreNext;  // centre the next string when it does not fit from the cursor
  uint8_t doubleSize;  // 16 × 32 characters instead of 8 × 16
  uint32_t charWidth;
  uint32_t charHeight;
  int32_t xStep;  // pixel offset of one step along the text line
  int32_t yStep;  // pixel offset of one step down to the next pixel row
  uint16_t *origin;     // where character cell (0, 0) starts
  uint32_t *glyphs;     // kFontWords words
  uint32_t *outlines;   // the same shape, built from the glyphs when they are loaded
  uint32_t pageSize;    // words of the glyph bitmap
};

// The storage the renderer's glyph and outline pointers refer to.
struct FontBitmaps {
  uint32_t glyphs[kFontWords];
  uint32_t outlines[kFontWords];
};
