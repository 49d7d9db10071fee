// The parsers of "language.txt" and "Config.txt", the font page layout, and the shipped files.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/config.h"

namespace {

std::string Entries(int count, int first = 0) {
  std::string text;
  for (int n = first; n < first + count; ++n) text += "Entry" + std::to_string(n) + " = \"text " + std::to_string(n) + "\"\r\n";
  return text;
}

struct Parsed {
  uint32_t entries;
  std::vector<std::string> strings;
};

Parsed Parse(std::string text) {
  static std::vector<char> keep;  // the table points into the buffer
  keep.assign(text.begin(), text.end());
  keep.push_back(0);
  LanguageTable table{};
  Parsed parsed{ParseLanguage(table, keep.data(), text.size()), {}};
  for (uint32_t n = 0; n < parsed.entries && n < kLanguageStrings; ++n) parsed.strings.push_back(table.strings[n]);
  return parsed;
}

TEST(LanguageFile, OnlyTheEntryCountDecides) {
  struct Case {
    std::string text;
    uint32_t entries;
  } cases[] = {
      {Entries(168), 168},
      {Entries(169), 169},
      {Entries(170), 170},
      {Entries(169) + "# a closing comment without an equals sign\r\n", 169},
      {Entries(169) + "Extra = \"never closed", 169},
      {Entries(169) + "Dangling =", 169},
      {Entries(169) + "Blank =   \r\n", 169},
      {"", 0},
  };
  for (const Case &c : cases) EXPECT_EQ(Parse(c.text).entries, c.entries);
  // A 170th entry is read but not stored.
  EXPECT_EQ(Parse(Entries(170)).strings.back(), "text 168");
}

TEST(LanguageFile, TextsEndAtAQuoteOrSemicolon) {
  const std::string text =
      "A = \"one;two\" rest of it\r\n"           // the semicolon ends the quoted text
      "B = plain text; a comment\r\n"            // unquoted up to the semicolon
      "C =\t\r\n  \"\"\r\n"                      // blanks and line breaks before an empty text
      "D = \"\xE9t\xE9\" quoted Latin-1 stays\r\n"
      "E = \xA0\xE9" "caf\xE9; leading high bytes are skipped\r\n"
      "F = \"tail\"";
  Parsed parsed = Parse(text);
  ASSERT_EQ(parsed.entries, 6u);
  EXPECT_EQ(parsed.strings[0], "one");
  EXPECT_EQ(parsed.strings[1], "plain text");
  EXPECT_EQ(parsed.strings[2], "");
  EXPECT_EQ(parsed.strings[3], "\xE9t\xE9");
  EXPECT_EQ(parsed.strings[4], "caf\xE9");
  EXPECT_EQ(parsed.strings[5], "tail");
}

struct ConfigResult {
  std::string sound;
  int32_t window[4];
};

ConfigResult Config(const std::string &text, std::initializer_list<int32_t> before = {7, 8, 9, 10}) {
  ConfigResult result{};
  std::copy(before.begin(), before.end(), result.window);
  char sound[kFlashSoundChars] = "previous.wav";
  ParseConfig(text.c_str(), sound, result.window);
  result.sound = sound;
  return result;
}

TEST(ConfigFile, KeysSpacesAndLimits) {
  const std::string long99(99, 'x'), long100(100, 'x');
  struct Case {
    std::string text;
    std::string sound;
    std::vector<int32_t> window;
  } cases[] = {
      {"FlashSound: \\Storage\\click.wav\r\nCaptureWindow: 0,26,240,294\r\n", "\\Storage\\click.wav", {0, 26, 240, 294}},
      {"CaptureWindow:    10,20\r\n", "", {10, 20, 0, 10}},            // width 0: no capture window
      {"CaptureWindow: 1, 2 ,3,4,5\r\n", "", {1, 2, 3, 4}},           // spaces belong to the value
      {"FlashSound:\r\nnext.wav\r\n", "", {7, 8, 0, 10}},              // empty name
      {"FlashSound:   \\My Documents\\a.wav", "\\My", {7, 8, 0, 10}},  // a space ends the name
      {"FlashSound: a\xE9" "b.wav\n", "a", {7, 8, 0, 10}},              // so does a byte of 128 or more
      {"CaptureWindow: 5,6\xE9,7,8\n", "", {5, 6, 0, 10}},
      {"flashsound: x.wav\ncapturewindow: 1,2,3,4", "", {7, 8, 0, 10}},  // keys are case-sensitive
      {"FlashSound: " + long99 + "\n", long99, {7, 8, 0, 10}},
      {"FlashSound: " + long100 + "\n", "", {7, 8, 0, 10}},
      {"CaptureWindow: 1,2,3,4" + std::string(92, ' ') + "\n", "", {1, 2, 3, 4}},  // 99 bytes
      {"CaptureWindow: 1,2,3,4" + std::string(93, ' ') + "\n", "", {7, 8, 0, 10}},
      {"x FlashSound: first.wav\nFlashSound: second.wav\n", "first.wav", {7, 8, 0, 10}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    ConfigResult result = Config(c.text);
    EXPECT_EQ(result.sound, c.sound);
    EXPECT_EQ(std::vector<int32_t>(result.window, result.window + 4), c.window);
  }
}

class FontPage : public ::testing::Test {
 protected:
  void SetUp() override {
    renderer_.glyphs = font_.glyphs;
    renderer_.outlines = font_.outlines;
    renderer_.doubleSize = 1;
    pixels_.assign(8192, 0xFF);
  }
  void Ink(uint32_t word, int pixel) { pixels_[4 * word + pixel / 8] &= uint8_t(~(0x80 >> (pixel % 8))); }
  void Build(bool page0, size_t size = 8192, const std::vector<uint8_t> &overlay = {}) {
    BuildFontPage(renderer_, page0, pixels_.data(), size, overlay.data(), uint32_t(overlay.size() / 4));
  }
  TextRenderer renderer_{};
  FontBitmaps font_{};
  std::vector<uint8_t> pixels_;
};

TEST_F(FontPage, InkBecomesSetBitsLeftmostOnTop) {
  Ink(17, 0);
  Ink(17, 9);
  Ink(2047, 31);
  Build(true);
  EXPECT_EQ(font_.glyphs[17], 0x80000000u | (0x80000000u >> 9));
  EXPECT_EQ(font_.glyphs[2047], 1u);
  EXPECT_EQ(font_.glyphs[16], 0u);
  EXPECT_EQ(renderer_.doubleSize, 0);
  EXPECT_EQ(renderer_.pageSize, 4096u);
}

TEST_F(FontPage, OutlineSurroundsInkWithinOneGlyph) {
  Ink(20, 4);  // a pixel in the glyph of words 16..31
  Ink(15, 4);  // the top row of the glyph below: never outlines the next glyph's bottom row
  Build(false);
  const uint32_t pixel = 0x80000000u >> 4;
  EXPECT_EQ(font_.outlines[2048 + 20], pixel << 1);
  EXPECT_EQ(font_.outlines[2048 + 21], pixel | pixel << 1);
  EXPECT_EQ(font_.outlines[2048 + 19], 0u);
  EXPECT_EQ(font_.outlines[2048 + 16], 0u);
  EXPECT_EQ(font_.outlines[2048 + 15], pixel << 1);
  // Page 1 leaves page 0 alone.
  EXPECT_EQ(font_.glyphs[20], 0u);
  EXPECT_EQ(font_.glyphs[2048 + 20], pixel);
}

TEST_F(FontPage, ShortDataLeavesBlankGlyphsAndTheOverlayTakesTheLastRows) {
  for (uint32_t word = 0; word < 2048; ++word) Ink(word, 0);
  std::vector<uint8_t> overlay(32 * 4, 0xFF);
  overlay[4 * 31] = 0x00;  // the top row of glyph 0: eight ink pixels
  Build(true, 400, overlay);
  EXPECT_EQ(font_.glyphs[0], 0x80000000u);
  EXPECT_EQ(font_.glyphs[99], 0x80000000u);
  EXPECT_EQ(font_.glyphs[100], 0u);  // beyond the 400 bytes read
  EXPECT_EQ(font_.glyphs[2015], 0u);
  EXPECT_EQ(font_.glyphs[2016], 0u);
  EXPECT_EQ(font_.glyphs[2047], 0xFF000000u);
}

std::vector<char> ReadAsset(const std::string &name) {
  std::ifstream in(std::string(PELKAVO_ASSETS_DIR) + "/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(ShippedFiles, LanguageFileHasEveryTextTheProgramUses) {
  std::vector<char> data = ReadAsset("language.txt");
  ASSERT_FALSE(data.empty());
  data.push_back(0);
  LanguageTable table{};
  ASSERT_EQ(ParseLanguage(table, data.data(), data.size() - 1), 169u);
  EXPECT_STREQ(table.strings[LANG_FONT_PAGE0], "font0.bmp");
  EXPECT_STREQ(table.strings[LANG_FONT_PAGE1], "font1.bmp");
  EXPECT_STREQ(table.strings[35], "Back");
  EXPECT_EQ(table.strings[78][0], '~');  // the exposure heading cannot be selected
  for (int n = 0; n < 169; ++n) {
    SCOPED_TRACE(n);
    // Menu titles go through the formatter; labels share a 30-column line with their value.
    EXPECT_EQ(strchr(table.strings[n], '%'), nullptr);
    EXPECT_LE(strlen(table.strings[n]), 21u);
  }
}

TEST(ShippedFiles, FontsAreBottomUpOneBitBitmaps) {
  for (const char *name : {"font0.bmp", "font1.bmp"}) {
    SCOPED_TRACE(name);
    std::vector<char> data = ReadAsset(name);
    ASSERT_EQ(data.size(), 62u + 8192u);
    auto le32 = [&](size_t at) {
      uint32_t v = 0;
      for (int i = 3; i >= 0; --i) v = v << 8 | uint8_t(data[at + i]);
      return v;
    };
    EXPECT_EQ(std::string(data.data(), 2), "BM");
    EXPECT_EQ(le32(10), 62u);
    EXPECT_EQ(le32(18), 32u);
    EXPECT_EQ(le32(22), 2048u);  // positive: bottom-up
    EXPECT_EQ(uint8_t(data[28]), 1);
  }
}

}  // namespace
