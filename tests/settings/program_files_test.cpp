// "Config.txt", "language.txt" and the font bitmaps read from the program's directory.
#include <cstring>

#include "app/config.h"
#include "handset.h"

namespace {

class ProgramFiles : public HandsetTest {
 protected:
  void SetUp() override {
    HandsetTest::SetUp();
    platform::setProgramDirectory((root_ / "prog").string());
    std::filesystem::create_directories(root_ / "prog");
    const char16_t program[] = u"\\Program Files\\Pelkavo\\Pelkavo.exe";
    std::memcpy(g_App.programPath, program, sizeof program);
    g_App.flashSound[0] = 0;
    for (int32_t &field : g_App.device.captureWindow) field = 0;
  }
  void TearDown() override {
    platform::setProgramDirectory("");
    HandsetTest::TearDown();
  }
  void put(const std::string &name, const std::string &bytes) { write("prog/" + name, bytes); }
  std::string shipped(const std::string &name) {
    std::ifstream in(std::string(PELKAVO_ASSETS_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
};

TEST_F(ProgramFiles, ConfigKeepsTheLastByteOfTheFile) {
  EXPECT_EQ(ReadConfig(ProgramDirPath(TEXT("Config.txt"))), 0);  // missing
  put("Config.txt", "");
  EXPECT_EQ(ReadConfig(ProgramDirPath(TEXT("Config.txt"))), 0);  // empty

  put("Config.txt", "CaptureWindow: 0,26,240,294\r\nFlashSound: \\Windows\\flash.wav");
  EXPECT_EQ(ReadConfig(ProgramDirPath(TEXT("Config.txt"))), 1);
  EXPECT_STREQ(g_App.flashSound, "\\Windows\\flash.wav");
  const int32_t window[4] = {0, 26, 240, 294};
  EXPECT_EQ(std::memcmp(g_App.device.captureWindow, window, sizeof window), 0);

  put("Config.txt", "CaptureWindow: 3,4,240,29");
  ReadConfig(ProgramDirPath(TEXT("Config.txt")));
  EXPECT_EQ(g_App.device.captureWindow[3], 29);
  EXPECT_STREQ(g_App.flashSound, "");
}

std::string Entries(int count) {
  std::string text = "# texts\r\n";
  for (int n = 0; n < count; ++n) text += "E" + std::to_string(n) + " = \"t" + std::to_string(n) + "\"\r\n";
  return text;
}

TEST_F(ProgramFiles, LanguageFileNeedsExactly169Entries) {
  LanguageTable table{};
  EXPECT_EQ(LoadLanguage(table, ProgramDirPath(TEXT("language.txt"))), 0);
  for (auto [count, loads] : {std::pair{168, 0}, std::pair{170, 0}, std::pair{169, 1}}) {
    put("language.txt", Entries(count));
    EXPECT_EQ(LoadLanguage(table, ProgramDirPath(TEXT("language.txt"))), loads) << count;
  }
  EXPECT_STREQ(table.strings[0], "t0");
  EXPECT_STREQ(table.strings[168], "t168");
  free(table.buffer);
}

// The shipped files with the program's own hint glyphs (bitmap resource 141).
TEST_F(ProgramFiles, ShippedLanguageAndFontsLoad) {
  for (const char *name : {"language.txt", "font0.bmp", "font1.bmp"}) put(name, shipped(name));
  ASSERT_EQ(LoadLanguageAndFonts(), 1);
  const uint32_t *glyphs = g_App.text.glyphs;
  auto row = [glyphs](int c, int r) { return glyphs[(c < 128 ? 2047 - 16 * c : 4095 - 16 * (c - 128)) - r]; };
  for (int r = 0; r < 16; ++r) {
    EXPECT_EQ(row(' ', r), 0u);
    EXPECT_EQ(row('A', r) & 0x00FFFFFFu, 0u);  // within the 8-pixel cell
    EXPECT_EQ(row(0x9F, r), 0u);               // no glyphs for the C1 controls
  }
  int inkA = 0, inkE = 0, hints = 0;
  for (int r = 0; r < 16; ++r) {
    inkA += __builtin_popcount(row('A', r));
    inkE += __builtin_popcount(row(0xE9, r));  // e acute
    hints += __builtin_popcount(row(0, r)) + __builtin_popcount(row(1, r));
  }
  EXPECT_GT(inkA, 10);
  EXPECT_GT(inkE, 10);
  EXPECT_GT(hints, 20);  // the built-in glyphs replace glyphs 0 and 1 of the font
  EXPECT_EQ(g_App.text.pageSize, 4096u);
  // The outline surrounds the ink: never on it, and present beside it.
  int outline = 0;
  for (uint32_t i = 0; i < kFontWords; ++i) {
    EXPECT_EQ(g_App.font.outlines[i] & g_App.font.glyphs[i], 0u);
    outline += __builtin_popcount(g_App.font.outlines[i]);
  }
  EXPECT_GT(outline, 1000);
}

TEST_F(ProgramFiles, MissingOrShortFontFiles) {
  for (const char *name : {"language.txt", "font0.bmp"}) put(name, shipped(name));
  EXPECT_EQ(LoadLanguageAndFonts(), 0);  // font1.bmp is named but missing

  TextRenderer renderer{};
  FontBitmaps font{};
  renderer.glyphs = font.glyphs;
  renderer.outlines = font.outlines;
  EXPECT_EQ(LoadFontPage(renderer, 0, ProgramDirPath(TEXT("none.bmp"))), 0);
  EXPECT_EQ(renderer.pageSize, 0u);
  // 62 header bytes and one stored row: every other row stays blank.
  put("short.bmp", std::string(62, 'h') + std::string("\x7F\xFF\xFF\xFF", 4));
  EXPECT_EQ(LoadFontPage(renderer, 0, ProgramDirPath(TEXT("short.bmp"))), 1);
  EXPECT_EQ(font.glyphs[2048], 0x80000000u);
  for (uint32_t i = 2049; i < kFontWords; ++i) ASSERT_EQ(font.glyphs[i], 0u) << i;
  put("header.bmp", std::string(20, 'h'));
  EXPECT_EQ(LoadFontPage(renderer, 0, ProgramDirPath(TEXT("header.bmp"))), 1);
  EXPECT_EQ(font.glyphs[2048], 0u);
}

}  // namespace
