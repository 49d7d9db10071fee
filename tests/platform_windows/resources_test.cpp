// Resources compiled into the program and into a library, and the headless message box.
#include <ceresource.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <cstring>

namespace {

// A 32 × 32 1-bit bitmap as a packed DIB: header, two colours, 32 rows of one word.
constexpr std::array<BYTE, 40 + 8 + 128> makeGlyphs() {
  std::array<BYTE, 40 + 8 + 128> dib{};
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) dib[at + i] = static_cast<BYTE>(v >> (8 * i));
  };
  put32(0, 40);
  put32(4, 32);
  put32(8, 32);
  dib[12] = 1;  // planes
  dib[14] = 1;  // bits per pixel
  put32(20, 128);
  put32(44, 0x00FFFFFF);  // colour 1: white
  for (int row = 0; row < 32; ++row) put32(48 + row * 4, 0x01010101u * static_cast<uint32_t>(row));
  return dib;
}
constexpr auto glyphs = makeGlyphs();

static const CeStringResource strings[] = {{1, u"Pelkavo"}, {2, u"PelkavoMainWindow"}};
static const CeBitmapResource bitmaps[] = {{141, glyphs.data(), glyphs.size()}, {142, glyphs.data(), 100}};
CE_RESOURCES(strings, bitmaps);

TEST(Resources, StringsAreFoundByIdAndTruncatedToTheBuffer) {
  WCHAR buffer[100];
  struct Case {
    HINSTANCE instance;
    UINT id;
    int size;
    const char16_t *expected;
  } cases[] = {
      {nullptr, 1, 100, u"Pelkavo"},
      {GetModuleHandleW(nullptr), 2, 100, u"PelkavoMainWindow"},
      {nullptr, 2, 8, u"Pelkavo"},  // 7 units and the terminating zero
      {nullptr, 3, 100, u""},
  };
  for (const Case &c : cases) {
    int n = LoadStringW(c.instance, c.id, buffer, c.size);
    EXPECT_EQ(std::u16string(buffer), c.expected) << "string " << c.id;
    EXPECT_EQ(n, static_cast<int>(std::u16string(c.expected).size()));
  }
}

TEST(Resources, EachModuleHasItsOwnTable) {
  void *library = dlopen(RESOURCE_MODULE, RTLD_NOW);
  ASSERT_NE(library, nullptr) << dlerror();
  HINSTANCE instance = static_cast<HINSTANCE>(library);
  WCHAR buffer[32];
  EXPECT_EQ(LoadStringW(instance, 1, buffer, 32), 13);
  EXPECT_EQ(std::u16string(buffer), u"Library title");
  EXPECT_EQ(LoadStringW(nullptr, 7, buffer, 32), 0);  // the program's table does not have it
  EXPECT_EQ(LoadStringW(instance, 2, buffer, 32), 0);
  EXPECT_EQ(LoadBitmapW(instance, MAKEINTRESOURCEW(141)), nullptr);
  dlclose(library);
}

TEST(Resources, BitmapGivesItsRowsAsStored) {
  HBITMAP bitmap = LoadBitmapW(nullptr, MAKEINTRESOURCEW(141));
  ASSERT_NE(bitmap, nullptr);
  BITMAP info;
  ASSERT_EQ(GetObjectW(bitmap, sizeof(info), &info), static_cast<int>(sizeof(BITMAP)));
  EXPECT_EQ(info.bmWidth, 32);
  EXPECT_EQ(info.bmHeight, 32);
  EXPECT_EQ(info.bmWidthBytes, 4);
  EXPECT_EQ(info.bmBitsPixel, 1);
  ASSERT_NE(info.bmBits, nullptr);
  EXPECT_EQ(std::memcmp(info.bmBits, glyphs.data() + 48, 128), 0);
  EXPECT_TRUE(DeleteObject(bitmap));
  EXPECT_FALSE(DeleteObject(bitmap));
  EXPECT_EQ(GetObjectW(bitmap, sizeof(info), &info), 0);
}

TEST(Resources, BitmapsThatDoNotFitTheirSizeAreRefused) {
  EXPECT_EQ(LoadBitmapW(nullptr, MAKEINTRESOURCEW(142)), nullptr);  // rows cut short
  EXPECT_EQ(LoadBitmapW(nullptr, MAKEINTRESOURCEW(143)), nullptr);  // no such bitmap
  EXPECT_EQ(LoadBitmapW(nullptr, u"named"), nullptr);
}

TEST(Resources, StockObjectsAreStable) {
  HGDIOBJ white = GetStockObject(WHITE_BRUSH);
  ASSERT_NE(white, nullptr);
  EXPECT_EQ(GetStockObject(WHITE_BRUSH), white);
  EXPECT_NE(GetStockObject(BLACK_BRUSH), white);
  EXPECT_TRUE(DeleteObject(white));  // stock objects survive deletion
  EXPECT_EQ(GetStockObject(WHITE_BRUSH), white);
  EXPECT_EQ(GetStockObject(9), nullptr);
}

TEST(MessageBox, PrintsCaptionAndTextAndAnswersWithTheDefaultButton) {
  struct Case {
    UINT type;
    int answer;
  } cases[] = {
      {MB_SETFOREGROUND, IDOK},          {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
      {MB_YESNO | MB_ICONQUESTION, IDYES}, {MB_YESNO | MB_DEFBUTTON2, IDNO},
      {MB_RETRYCANCEL | MB_DEFBUTTON3, IDRETRY}, {MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, IDIGNORE},
  };
  for (const Case &c : cases) {
    testing::internal::CaptureStdout();
    int answer = MessageBoxW(nullptr, u"Language file is too old.\nPlease download new file.", u"Vendrasol Pelkavo.",
                             c.type);
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(answer, c.answer) << "type " << c.type;
    EXPECT_EQ(printed, "MessageBox \"Vendrasol Pelkavo.\": Language file is too old.\nPlease download new file.\n");
  }
}

}  // namespace
