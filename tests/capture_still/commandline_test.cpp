// The command line as the program's entry walks it.
#include <gtest/gtest.h>

#include <string>

#include "app/commandline.h"

namespace {

struct Case {
  const char16_t *line;
  bool screen;
  const char16_t *file;  // null: the interactive program starts
  uint32_t row;
};

const Case kCases[] = {
    {nullptr, false, nullptr, 100},
    {u"", false, nullptr, 100},
    {u"-s", true, nullptr, 100},
    {u"-f shot.jpg", false, u"shot.jpg", 100},
    {u"-f   ", false, nullptr, 100},               // nothing after the spaces: interactive
    {u"-f", false, nullptr, 100},
    {u"-s -f \\My Documents\\a b.jpg", true, u"\\My Documents\\a b.jpg", 100},  // spaces kept
    {u"-r3 -f x.jpg", false, u"x.jpg", 3},
    {u"-r 9 -f x.jpg", false, u"x.jpg", 9},
    {u"-rx -f x.jpg", false, u"x.jpg", 72},        // the letter's code minus that of '0'
    {u"-r", false, nullptr, 100},                   // nothing after "-r"
    {u"-f x.jpg -r3", false, u"x.jpg -r3", 100},   // "-r" after "-f" is part of the name
    {u"-f x.jpg -s", false, u"x.jpg -s", 100},
    {u"-sf y.jpg", true, nullptr, 100},            // only the first character after '-' counts
    {u"--s", true, nullptr, 100},
    {u"capture -z -s", true, nullptr, 100},
};

TEST(CommandLine, ParsesSwitchesInOrder) {
  for (const Case &c : kCases) {
    const std::u16string line = c.line ? c.line : u"(null)";
    SCOPED_TRACE(std::string(line.begin(), line.end()));
    const CommandLine parsed = ParseCommandLine(c.line);
    EXPECT_EQ(parsed.screenCapture, c.screen);
    EXPECT_EQ(parsed.stillRow, c.row);
    if (c.file) {
      ASSERT_NE(parsed.captureFile, nullptr);
      EXPECT_EQ(std::u16string(parsed.captureFile), c.file);
    } else {
      EXPECT_EQ(parsed.captureFile, nullptr);
    }
  }
}

TEST(CommandLine, ADashBeforeTheRowDigitGivesARowBeyondEveryList) {
  // "-r -s": the row character is '-', below '0'; compared unsigned it selects the last row.
  const CommandLine parsed = ParseCommandLine(u"-r -s");
  EXPECT_GT(parsed.stillRow, 100u);
  EXPECT_TRUE(parsed.screenCapture);
}

}  // namespace
