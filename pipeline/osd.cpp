#include "pipeline/osd.h"

#include <cstddef>
#include <cstdlib>

namespace {

constexpr uint32_t kGlyphRows = 16;
constexpr uint8_t kCarriageReturn = 13;

// Where the cell at the cursor starts; only called while the cursor is inside the text area.
uint16_t *CellPixel(const TextRenderer *r) {
  ptrdiff_t offset = ptrdiff_t(r->row) * r->charHeight * r->yStep +
                     ptrdiff_t(r->column) * r->charWidth * r->xStep;
  return r->origin + offset;
}

// Pixels left on the text line from a cell's first pixel to the end of the last column. The
// pixel lies at a steps along the line and b steps down (0 <= b < the picture's extent
// across), so its offset from the origin is a * xStep + b * yStep.
uint32_t LineRoom(const TextRenderer *r, const uint16_t *pixel) {
  ptrdiff_t offset = pixel - r->origin;
  ptrdiff_t along;
  if (std::abs(r->xStep) == 1) {
    ptrdiff_t across = std::abs(r->yStep);  // a + b × across
    along = (offset * r->xStep) % across;
  } else {
    ptrdiff_t across = std::abs(r->xStep);  // a × across − b
    along = (offset * (r->xStep > 0 ? 1 : -1) + across - 1) / across;
  }
  ptrdiff_t width = ptrdiff_t(r->columns) * r->charWidth;
  return along < width ? uint32_t(width - along) : 0;
}

// The length of the text as it will be drawn.
uint32_t DrawnLength(const char *text, bool collapsePercent) {
  uint32_t length = 0;
  for (const char *at = text; *at; ++at, ++length)
    if (collapsePercent && at[0] == '%' && at[1] == '%') ++at;
  return length;
}

uint32_t Draw(TextRenderer *r, const char *text, bool collapsePercent) {
  if (!text || !r->origin) return 0;
  if (*text == '~') ++text;
  if (r->centreNext) {
    uint32_t length = DrawnLength(text, collapsePercent);
    if (r->column + length >= r->columns) r->column = r->columns > length ? (r->columns - length) / 2 : 0;
    r->centreNext = 0;
  }
  uint32_t drawn = 0;
  for (const char *at = text; *at && r->row < r->rows && r->column < r->columns; ++at) {
    uint8_t code = uint8_t(*at);
    if (code == kCarriageReturn) {
      ++r->row;
      r->column = 0;
      continue;
    }
    if (collapsePercent && at[0] == '%' && at[1] == '%') ++at;
    DrawGlyph(r, code, CellPixel(r));
    ++r->column;
    ++drawn;
  }
  return drawn;
}

}  // namespace

void SetTextOrientation(TextRenderer *r, uint16_t *picture, uint32_t width, uint32_t height,
                        uint32_t orientation) {
  const ptrdiff_t w = width, h = height;
  uint32_t textWidth = width, textHeight = height;
  r->origin = picture;
  switch (orientation & 3) {
    case 0:
      r->xStep = 1;
      r->yStep = int32_t(w);
      break;
    case 1:
      if (picture) r->origin = picture + (w - 1);
      r->xStep = int32_t(w);
      r->yStep = -1;
      textWidth = height;
      textHeight = width;
      break;
    case 2:
      if (picture) r->origin = picture + (w * h - 1);
      r->xStep = -1;
      r->yStep = -int32_t(w);
      break;
    default:
      if (picture) r->origin = picture + (h - 1) * w;
      r->xStep = -int32_t(w);
      r->yStep = 1;
      textWidth = height;
      textHeight = width;
      break;
  }
  r->charWidth = r->doubleSize ? 16 : 8;
  r->charHeight = r->doubleSize ? 32 : 16;
  r->columns = picture ? textWidth / r->charWidth : 0;
  r->rows = picture ? textHeight / r->charHeight : 0;
  r->row = 0;
  r->column = 0;
}

uint32_t DrawText(TextRenderer *renderer, const char *text) { return Draw(renderer, text, false); }

uint32_t DrawMessage(TextRenderer *renderer, const char *text) { return Draw(renderer, text, true); }

void DrawGlyph(TextRenderer *r, uint32_t code, uint16_t *pixel) {
  if (!r->glyphs || !r->outlines || !pixel) return;
  code &= 0xFF;
  if (code >= 1 && code <= 31) --code;
  // The glyph's top row is its last word.
  uint32_t top = code < 128 ? kFontPageWords - 1 - kGlyphRows * code
                            : kFontWords - 1 - kGlyphRows * (code - 128);
  if (top >= r->pageSize) return;

  const uint16_t ink = r->colour;
  const uint16_t edge = OutlineColour(ink);
  const uint32_t scale = r->doubleSize ? 2 : 1;
  const uint32_t room = LineRoom(r, pixel);
  const ptrdiff_t along = ptrdiff_t(r->xStep) * scale;
  const ptrdiff_t down = ptrdiff_t(r->yStep) * scale;
  for (uint32_t i = 0; i < kGlyphRows; ++i) {
    uint32_t g = r->glyphs[top - i];
    uint32_t m = r->outlines[top - i];
    ptrdiff_t at = ptrdiff_t(i) * down;
    for (uint32_t x = 0; (g | m) && x < room; x += scale, at += along, g <<= 1, m <<= 1) {
      if (!((g | m) & 0x80000000u)) continue;
      uint16_t colour = (g & 0x80000000u) ? ink : edge;
      uint16_t *p = pixel + at;
      p[0] = colour;
      if (scale == 2) {
        p[r->xStep] = colour;
        p[r->yStep] = colour;
        p[r->xStep + r->yStep] = colour;
      }
    }
  }
}
