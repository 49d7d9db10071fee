// The system cursors and the one shown: what SetCursor hands back and what the display learns.
#include <gtest/gtest.h>

#include <windows.h>

#include "device/cursor.h"

namespace {

TEST(Cursor, OnlyTheSystemShapesLoad) {
  const HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW), wait = LoadCursor(nullptr, IDC_WAIT);
  ASSERT_NE(arrow, nullptr);
  ASSERT_NE(wait, nullptr);
  EXPECT_NE(arrow, wait);
  EXPECT_EQ(LoadCursor(nullptr, IDC_WAIT), wait);  // the same shape each time
  EXPECT_EQ(LoadCursorW(nullptr, MAKEINTRESOURCEW(1)), nullptr);
  EXPECT_EQ(LoadCursorW(nullptr, u"WAIT"), nullptr);
  // No module carries cursors of its own.
  EXPECT_EQ(LoadCursorW(GetModuleHandleW(nullptr), IDC_WAIT), nullptr);
}

TEST(Cursor, SetCursorReturnsThePreviousAndTheDisplaySeesOnlyTheWaitCursorComeAndGo) {
  const HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW), wait = LoadCursor(nullptr, IDC_WAIT);
  SetCursor(nullptr);
  device::clearWaitCursorChanges();
  struct Step {
    HCURSOR set;
    HCURSOR previous;
    bool waiting;
  } const steps[] = {
      {arrow, nullptr, false}, {wait, arrow, true},      {wait, wait, true},
      {nullptr, wait, false},  {wait, nullptr, true},    {arrow, wait, false},
  };
  for (const Step &s : steps) {
    EXPECT_EQ(SetCursor(s.set), s.previous);
    EXPECT_EQ(GetCursor(), s.set);
    EXPECT_EQ(device::waitCursorShown(), s.waiting);
  }
  EXPECT_EQ(device::waitCursorChanges(), (std::vector<bool>{true, false, true, false}));
}

}  // namespace
