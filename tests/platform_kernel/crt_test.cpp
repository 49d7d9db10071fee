// The wide C-runtime calls on UTF-16 strings.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::string narrow(const char16_t *s) {
  std::string out;
  for (; *s; ++s) out.push_back(*s < 128 ? static_cast<char>(*s) : '?');
  return out;
}

TEST(WideFormat, TheConversionsTheProgramUses) {
  WCHAR out[256];
  auto check = [&](const char16_t *expected, int written) {
    EXPECT_EQ(std::u16string(out), expected) << narrow(out);
    EXPECT_EQ(written, static_cast<int>(wcslen(expected)));
  };
  // A dated file name with a serial suffix, as stills are named.
  WCHAR suffix[8];
  EXPECT_EQ(wsprintfW(suffix, u"-%02d", 3), 3);
  EXPECT_EQ(std::u16string(suffix), u"-03");
  check(u"\\61215-100509-03.jpg",
        wsprintfW(out, u"\\%d%02d%02d-%02d%02d%02d%s.%s", 2006 % 100, 12, 15, 10, 5, 9, suffix, u"jpg"));
  check(u"\\100102-000000.avi", wsprintfW(out, u"\\%d%02d%02d-%02d%02d%02d%s.%s", 10, 1, 2, 0, 0, 0, u"", u"avi"));
  check(u"4294967295 ffffffff FFFFFFFF", wsprintfW(out, u"%u %x %X", 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu));
  check(u"-2147483648|-0042|42   |   42", wsprintfW(out, u"%d|%05d|%-5d|%*d", INT32_MIN, -42, 42, 5, 42));
  check(u"%|(null)|  ab|x|q%q", wsprintfW(out, u"%%|%s|%4s|%c|q%q", static_cast<const char16_t *>(nullptr), u"ab", u'x'));
  check(u"\\Storage1\\My..", wsprintfW(out, u"\\Storage%d\\My..", 1));
  check(u"a%", wsprintfW(out, u"a%"));
  // %S, %hs and %hc are 8-bit text; each byte widens to one unit. %ls and %lc are 16-bit.
  check(u"[Caf\u00e9|ab|z|wide|w]", wsprintfW(out, u"[%S|%hs|%hc|%ls|%lc]", "Caf\xe9", "ab", 'z', u"wide", u'w'));
  // 64-bit integers and pointers; a conversion not written still takes its argument.
  check(u"-9000000000 ffffffffff 00000000000000FF",
        wsprintfW(out, u"%I64d %I64x %p", int64_t(-9000000000), uint64_t(0xFFFFFFFFFF), reinterpret_cast<void *>(255)));
  check(u"%f 7 %o 8", wsprintfW(out, u"%f %d %o %d", 1.5, 7, 9u, 8));
}

TEST(WideConversions, WtolReadsLikeTheRuntime) {
  struct {
    const char16_t *text;
    LONG value;
  } cases[] = {{u"12", 12},           {u"  -7,3", -7},          {u"+3x", 3},
               {u"", 0},              {u"abc", 0},              {u"-1", -1},
               {u"99999999999", INT32_MAX}, {u"-99999999999", INT32_MIN}, {u"\t\n42", 42}};
  for (const auto &c : cases) {
    EXPECT_EQ(_wtol(c.text), c.value) << narrow(c.text);
    EXPECT_EQ(_wtoi(c.text), c.value);
  }
}

TEST(WideStrings, SearchCompareAndCopy) {
  WCHAR path[64];
  wcscpy(path, u"\\Program Files\\Pelkavo\\Mirantel.exe");
  WCHAR *slash = wcsrchr(path, u'\\');
  ASSERT_NE(slash, nullptr);
  wcscpy(slash + 1, u"Pelkavo.exe");
  EXPECT_EQ(std::u16string(path), u"\\Program Files\\Pelkavo\\Pelkavo.exe");
  EXPECT_EQ(wcschr(path, u'P'), path + 1);
  EXPECT_EQ(wcschr(path, u'#'), nullptr);
  EXPECT_EQ(wcschr(path, u'\0'), path + wcslen(path));
  EXPECT_EQ(wcsstr(path, u"Pelkavo"), path + 15);
  wcscat(path, u"!");
  wcsncat(path, u"?#", 1);
  EXPECT_EQ(std::u16string(path).substr(34), u"!?");

  EXPECT_EQ(_wcsicmp(u"Storage Card", u"STORAGE card"), 0);
  EXPECT_EQ(_wcsicmp(u"\u00c4rger", u"\u00e4RGER"), 0);
  EXPECT_LT(_wcsicmp(u"abc", u"ABD"), 0);
  EXPECT_GT(_wcsicmp(u"abcd", u"ABC"), 0);
  EXPECT_EQ(_wcsnicmp(u"HTCcamera.dll", u"htccamera1.dll", 9), 0);
  EXPECT_NE(wcscmp(u"a", u"A"), 0);
  EXPECT_LT(wcscmp(u"a", u"\uffff"), 0);  // units compare unsigned

  WCHAR padded[6] = {u'x', u'x', u'x', u'x', u'x', u'x'};
  wcsncpy(padded, u"ab", 5);
  EXPECT_EQ(padded[1], u'b');
  EXPECT_EQ(padded[4], 0);
  EXPECT_EQ(padded[5], u'x');
}

}  // namespace
