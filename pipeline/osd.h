// The text renderer: bitmap-font characters with a dark outline, drawn straight into a
// 16-bit picture in any of four orientations, so that text stays readable over the camera
// picture whichever way the handset is held.
#pragma once

#include <cstdint>

#include "pipeline/text.h"

// Colours of the overlay (RGB 565).
constexpr uint16_t kWhite = 0xFFFF;
constexpr uint16_t kYellow = 0xFFE0;
constexpr uint16_t kGreen = 0x07E0;
constexpr uint16_t kRed = 0xF800;
constexpr uint16_t kBlue = 0x001F;

// Lays the renderer over a picture of width × height pixels. Orientation (0-3, taken modulo
// 4) is the screen orientation: 0 text runs along the rows from the top-left corner, 1 down
// the columns from the top-right corner, 2 upside down, 3 up the columns from the bottom-left
// corner. Sets the character size from doubleSize, the columns and rows, and puts the
// cursor at (0, 0). A null picture leaves no room for text.
void SetTextOrientation(TextRenderer *renderer, uint16_t *picture, uint32_t width, uint32_t height,
                        uint32_t orientation);

// Draws the string at the cursor in the current colour and moves the cursor; the string is
// drawn exactly as it is (a leading "~", the mark of a heading label, is skipped). A carriage
// return starts the next line; characters beyond the last column or row are cut. When
// centreNext is set, a string that does not fit from the cursor is centred on its line
// (centreNext is then cleared). Returns the number of characters drawn.
uint32_t DrawText(TextRenderer *renderer, const char *text);
// The same for a message text (status messages, menu titles and labels): "%%" shows as "%".
// Nothing else in the text has a meaning, so a text from a file can never act as a format.
uint32_t DrawMessage(TextRenderer *renderer, const char *text);

// Draws one character cell whose first pixel is `pixel` (the start of a cell of the
// renderer): codes 1 to 31 select glyphs 0 to 30. The outline is painted first and the ink
// over it; other pixels keep what is under them. Nothing reaches beyond the text area's last
// column, whatever the font's bitmap holds.
void DrawGlyph(TextRenderer *renderer, uint32_t code, uint16_t *pixel);

// The dark colour that outlines text of the given colour.
constexpr uint16_t OutlineColour(uint16_t colour) {
  return uint16_t((colour >> 15) | ((((colour >> 6) & 0x1C) | (((colour >> 1) & 8) << 5)) << 3));
}
