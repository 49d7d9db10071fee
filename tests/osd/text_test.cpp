// The text renderer, on the readable synthetic font.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "pipeline/osd.h"
#include "tests/osd/glyph_reader.h"

namespace {

constexpr uint16_t kBackground = 0x1234;

class Text : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeReadableFont(font_, r_);
    r_.colour = kWhite;
  }

  void Lay(uint32_t width, uint32_t height, uint32_t orientation, bool doubled = false) {
    width_ = width;
    height_ = height;
    picture_.assign(size_t(width) * height, kBackground);
    r_.doubleSize = doubled;
    SetTextOrientation(&r_, picture_.data(), width, height, orientation);
  }

  uint16_t At(uint32_t column, uint32_t row, uint32_t dx, uint32_t dy) const {
    return CellPixel(r_, column, row, dx, dy);
  }
  std::string Line(uint32_t row) const { return TextLine(r_, row, kBackground); }

  FontBitmaps font_{};
  TextRenderer r_{};
  std::vector<uint16_t> picture_;
  uint32_t width_ = 0, height_ = 0;
};

TEST_F(Text, GridFollowsOrientationAndSize) {
  struct Case {
    uint32_t orientation;
    bool doubled;
    uint32_t columns, rows;
  } cases[] = {
      {0, false, 30, 20}, {1, false, 40, 15}, {2, false, 30, 20}, {3, false, 40, 15},
      {0, true, 15, 10},  {1, true, 20, 7},   {6, false, 30, 20},
  };
  for (const Case &c : cases) {
    Lay(240, 320, c.orientation, c.doubled);
    EXPECT_EQ(r_.columns, c.columns) << c.orientation << c.doubled;
    EXPECT_EQ(r_.rows, c.rows) << c.orientation << c.doubled;
    EXPECT_EQ(r_.charWidth, c.doubled ? 16u : 8u);
  }
  SetTextOrientation(&r_, nullptr, 240, 320, 0);
  EXPECT_EQ(r_.columns, 0u);
  EXPECT_EQ(DrawText(&r_, "A"), 0u);
}

// The first ink pixel of the cell at (column 2, row 1) lands where the screen, turned by the
// orientation, has that cell's top-left corner.
TEST_F(Text, CellsLandOnTheTurnedScreen) {
  struct Case {
    uint32_t orientation;
    uint32_t x, y;
  } cases[] = {{0, 16, 16}, {1, 223, 16}, {2, 223, 303}, {3, 16, 303}};
  for (const Case &c : cases) {
    Lay(240, 320, c.orientation);
    r_.column = 2;
    r_.row = 1;
    DrawText(&r_, "\x80");  // glyph 128: only its leftmost pixel inked on the top row
    for (uint32_t y = 0; y < height_; ++y)
      for (uint32_t x = 0; x < width_; ++x) {
        bool inked = picture_[y * width_ + x] == kWhite;
        bool corner = x == c.x && y == c.y;
        bool secondRow = false;  // the full second row lies one step down from the corner
        switch (c.orientation) {
          case 0: secondRow = y == c.y + 1 && x >= c.x && x < c.x + 8; break;
          case 1: secondRow = x == c.x - 1 && y >= c.y && y < c.y + 8; break;
          case 2: secondRow = y == c.y - 1 && x <= c.x && x > c.x - 8; break;
          case 3: secondRow = x == c.x + 1 && y <= c.y && y > c.y - 8; break;
        }
        if (inked != (corner || secondRow)) {
          ADD_FAILURE() << "orientation " << c.orientation << " pixel " << x << "," << y;
          return;
        }
      }
  }
}

TEST_F(Text, StringsAreCutCentredAndBroken) {
  struct Case {
    const char *text;
    uint32_t column;
    bool centre;
    uint32_t drawn;
    std::string line0;
    const char *line1;
  } cases[] = {
      {"ABC", 1, false, 3, ".ABC......", ".........."},
      {"ABCDEFGHIJKL", 3, false, 7, "...ABCDEFG", ".........."},  // cut at the last column
      {"AB\rCD", 6, false, 4, "......AB..", "CD........"},       // CR: next line, column 0
      {"ABCD\rEF", 7, false, 3, ".......ABC", ".........."},      // the cut ends the string
      {"ABCD", 7, true, 4, "...ABCD...", ".........."},          // does not fit: centred
      {"ABC", 2, true, 3, "..ABC.....", ".........."},           // fits: stays
      {"ABCDEFGHIJKLMN", 5, true, 10, "ABCDEFGHIJ", ".........."},
      {"~AB", 0, false, 2, "AB........", ".........."},          // heading mark skipped
      {"\x01\x02Z", 0, false, 3, std::string("\x00\x01Z.......", 10), ".........."},  // glyphs 0, 1
  };
  for (const Case &c : cases) {
    Lay(80, 32, 0);
    r_.column = c.column;
    r_.centreNext = c.centre;
    EXPECT_EQ(DrawText(&r_, c.text), c.drawn) << c.text;
    EXPECT_EQ(Line(0), c.line0) << c.text;
    EXPECT_EQ(Line(1), c.line1) << c.text;
    EXPECT_EQ(r_.centreNext, 0) << c.text;
  }
}

TEST_F(Text, CursorMovesAndStopsAtTheLastRow) {
  Lay(80, 32, 0);
  EXPECT_EQ(DrawText(&r_, "AB"), 2u);
  EXPECT_EQ(DrawText(&r_, "C"), 1u);
  EXPECT_EQ(r_.column, 3u);
  EXPECT_EQ(DrawText(&r_, "\r\rD"), 0u);  // beyond the last row nothing more is drawn
  EXPECT_EQ(Line(0), "ABC.......");
  EXPECT_EQ(Line(1), "..........");
}

// Texts from files are drawn as they are: conversions mean nothing, only "%%" is one "%".
TEST_F(Text, MessagesShowPercentSignsLiterally) {
  struct Case {
    const char *text;
    uint32_t drawn;
    const char *line;
  } cases[] = {
      {"100%%", 4, "100%......"}, {"%s%n%d", 6, "%s%n%d...."}, {"%%%", 2, "%%........"},
      {"a%", 2, "a%........"},    {"%%%%", 2, "%%........"},
  };
  for (const Case &c : cases) {
    Lay(80, 16, 0);
    EXPECT_EQ(DrawMessage(&r_, c.text), c.drawn) << c.text;
    EXPECT_EQ(Line(0), c.line) << c.text;
    Lay(80, 16, 0);
    EXPECT_EQ(DrawText(&r_, c.text), strlen(c.text)) << c.text;  // plain text: every byte
  }
  // The centred length is the drawn one.
  Lay(80, 16, 0);
  r_.column = 8;
  r_.centreNext = 1;
  DrawMessage(&r_, "50%%");
  EXPECT_EQ(Line(0), "...50%....");
}

TEST_F(Text, OutlineUnderInkAndBackgroundKept) {
  static_assert(OutlineColour(0xFFFF) == 0x08E1 && OutlineColour(0x07E0) == 0x00E0 &&
                OutlineColour(0xF800) == 0x0001);
  const uint32_t a = GlyphTopWord('A');
  font_.glyphs[a] = 0x60000000u;     // ink at pixels 1 and 2
  font_.outlines[a] = 0xF0000000u;   // outline at pixels 0 to 3, under the ink
  font_.glyphs[a - 1] = 0;
  font_.outlines[a - 15] = 0x00000001u;  // bottom row: outline at pixel 31, beyond the cell
  for (bool doubled : {false, true}) {
    Lay(64, 32, 0, doubled);
    r_.colour = kGreen;
    DrawText(&r_, "A");
    uint32_t s = doubled ? 2 : 1;
    const uint16_t top[] = {0x00E0, kGreen, kGreen, 0x00E0, kBackground};
    for (uint32_t x = 0; x < 5 * s; ++x)
      for (uint32_t dy = 0; dy < s; ++dy) EXPECT_EQ(picture_[dy * width_ + x], top[x / s]) << doubled << x;
    uint32_t bottom = 15 * s;
    EXPECT_EQ(picture_[bottom * width_ + 31 * s], 0x00E0) << doubled;  // beyond the cell, within the line
    EXPECT_EQ(picture_[1 * s * width_], kBackground);
  }
}

// A font whose rows are inked right across (as a font file may be) draws up to the end of
// the text area's last column and never past it, in every orientation.
TEST_F(Text, WideGlyphsStopAtTheEndOfTheLine) {
  const uint32_t a = GlyphTopWord('W');
  for (uint32_t i = 0; i < 16; ++i) font_.glyphs[a - i] = 0xFFFFFFFFu;
  for (uint32_t orientation = 0; orientation < 4; ++orientation)
    for (bool doubled : {false, true}) {
      const uint32_t w = 52, h = 70, guard = 64;
      std::vector<uint16_t> block(w * h + 2 * guard, kBackground);
      r_.doubleSize = doubled;
      SetTextOrientation(&r_, block.data() + guard, w, h, orientation);
      for (uint32_t row = 0; row < r_.rows; ++row) {
        r_.row = row;
        r_.column = r_.columns - 1;
        DrawText(&r_, "W");
      }
      // Inked: exactly the last column of every line.
      uint32_t inked = 0;
      for (uint16_t p : block) inked += p == kWhite;
      EXPECT_EQ(inked, r_.rows * r_.charWidth * r_.charHeight) << orientation << doubled;
      for (uint32_t i = 0; i < guard; ++i) {
        ASSERT_EQ(block[i], kBackground) << orientation << doubled;
        ASSERT_EQ(block[guard + w * h + i], kBackground) << orientation << doubled;
      }
      r_.column = r_.columns - 1;
      r_.row = 0;
      for (uint32_t dy = 0; dy < r_.charHeight; ++dy)
        for (uint32_t dx = 0; dx < r_.charWidth; ++dx) ASSERT_EQ(At(r_.columns - 1, 0, dx, dy), kWhite);
    }
}

TEST_F(Text, MissingPagesDrawNothing) {
  Lay(80, 16, 0);
  r_.pageSize = kFontPageWords;  // page 1 not loaded
  EXPECT_EQ(DrawText(&r_, "A\x80"), 2u);
  EXPECT_EQ(Line(0), "A.........");
  r_.glyphs = nullptr;
  Lay(80, 16, 0);
  DrawText(&r_, "A");
  EXPECT_EQ(Line(0), "..........");
}

}  // namespace
