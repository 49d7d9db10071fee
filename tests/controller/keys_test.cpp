// The current key list: which hardware button acts as which logical key.
#include <gtest/gtest.h>

#include "app/window.h"

namespace {

TEST(KeyList, FollowsTheOrientationAndTheQuarterTurns) {
  // Codes 1-8 are the portrait list's Up, Down, Left, Right, A, B, C, Start; 11-18 the landscape one's.
  GXKeyList portrait{}, landscape{};
  short *p[] = {&portrait.vkUp, &portrait.vkDown, &portrait.vkLeft, &portrait.vkRight,
                &portrait.vkA,  &portrait.vkB,    &portrait.vkC,    &portrait.vkStart};
  short *l[] = {&landscape.vkUp, &landscape.vkDown, &landscape.vkLeft, &landscape.vkRight,
                &landscape.vkA,  &landscape.vkB,    &landscape.vkC,    &landscape.vkStart};
  for (short i = 0; i < 8; ++i) {
    *p[i] = short(1 + i);
    *l[i] = short(11 + i);
  }
  portrait.ptLeft = {7, 70};  // a button's point travels with its code
  struct Case {
    uint32_t orientation, turns;
    short up, down, left, right, a, b;
  } cases[] = {
      {0, 0, 11, 12, 13, 14, 15, 16},
      {1, 0, 1, 2, 3, 4, 5, 6},
      {2, 0, 12, 11, 14, 13, 16, 15},  // upside down: the hardware Left acts as Right
      {3, 0, 2, 1, 4, 3, 6, 5},
      {0, 1, 14, 13, 11, 12, 15, 16},  // one turn: the hardware Right acts as Up
      {0, 2, 12, 11, 14, 13, 15, 16},
      {0, 3, 13, 14, 12, 11, 15, 16},
      {0, 4, 11, 12, 13, 14, 15, 16},
      {3, 1, 3, 4, 2, 1, 6, 5},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << "orientation " << c.orientation << ", turns " << c.turns);
    GXKeyList k = DeriveKeyList(landscape, portrait, c.orientation, c.turns);
    EXPECT_EQ(k.vkUp, c.up);
    EXPECT_EQ(k.vkDown, c.down);
    EXPECT_EQ(k.vkLeft, c.left);
    EXPECT_EQ(k.vkRight, c.right);
    EXPECT_EQ(k.vkA, c.a);
    EXPECT_EQ(k.vkB, c.b);
    EXPECT_EQ(k.vkC, c.orientation % 2 ? 7 : 17);
    EXPECT_EQ(k.vkStart, c.orientation % 2 ? 8 : 18);
  }
  GXKeyList turned = DeriveKeyList(landscape, portrait, 3, 0);
  EXPECT_EQ(turned.ptRight.x, 7);
  EXPECT_EQ(turned.ptRight.y, 70);
}

}  // namespace
