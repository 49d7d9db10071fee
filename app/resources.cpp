// The program's resources: its window title, its window class name, and the two glyphs that
// the font has built in (codes 1 and 2: the menu hint and the Action hint).
#include <ceresource.h>

#include <array>
#include <cstdint>

#include "app/config.h"

namespace {

constexpr int kGlyphRows = 16;

// Glyph 0 above glyph 1, each 16 rows of 32 pixels, top row first; '#' is ink.
constexpr const char *kHintGlyphs[2 * kGlyphRows] = {
    // 0: the menu
    "................................",
    "................................",
    "..##############................",
    "..##############................",
    "................................",
    "................................",
    "..##############................",
    "..##############................",
    "................................",
    "................................",
    "..##############................",
    "..##############................",
    "................................",
    "................................",
    "................................",
    "................................",
    // 1: the camera's Action button
    "................................",
    "......######....................",
    ".....########...................",
    "#####################...........",
    "##.................##...........",
    "##......#####......##...........",
    "##.....#.....#.....##...........",
    "##....#.......#....##...........",
    "##....#.......#....##...........",
    "##....#.......#....##...........",
    "##.....#.....#.....##...........",
    "##......#####......##...........",
    "##.................##...........",
    "#####################...........",
    "................................",
    "................................",
};

constexpr size_t kRows = 2 * kGlyphRows;
constexpr size_t kHeaderBytes = 40 + 2 * 4;
constexpr size_t kDibBytes = kHeaderBytes + kRows * 4;

constexpr void Put32(std::array<BYTE, kDibBytes> &dib, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) dib[at + i] = BYTE(value >> (8 * i));
}

// A packed 1-bit bitmap, bottom-up, palette entry 0 black (ink) and 1 white.
constexpr std::array<BYTE, kDibBytes> MakeHintBitmap() {
  std::array<BYTE, kDibBytes> dib{};
  Put32(dib, 0, 40);
  Put32(dib, 4, 32);
  Put32(dib, 8, kRows);
  dib[12] = 1;  // planes
  dib[14] = 1;  // bits per pixel
  Put32(dib, 20, kRows * 4);
  Put32(dib, 32, 2);
  Put32(dib, 44, 0x00FFFFFF);
  for (size_t stored = 0; stored < kRows; ++stored) {
    const char *row = kHintGlyphs[kRows - 1 - stored];
    for (int x = 0; x < 32; ++x)
      if (row[x] != '#') dib[kHeaderBytes + 4 * stored + x / 8] |= BYTE(0x80 >> (x % 8));
  }
  return dib;
}

constexpr std::array<BYTE, kDibBytes> kHintBitmap = MakeHintBitmap();

}  // namespace

extern const UINT kHintGlyphsResource = 141;

namespace {

const CeStringResource kStrings[] = {{1, TEXT("Pelkavo")}, {2, TEXT("PelkavoCamera")}};
const CeBitmapResource kBitmaps[] = {{kHintGlyphsResource, kHintBitmap.data(), DWORD(kHintBitmap.size())}};

}  // namespace

CE_RESOURCES(kStrings, kBitmaps);
