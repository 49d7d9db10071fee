// The display's home screen: a picture that moves with time, drawn while no program holds the
// display, and that stops changing when frozen.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "device/display.h"
#include "device/home_screen.h"
#include "device/profile.h"

namespace {

using Picture = std::vector<uint16_t>;

Picture Draw(uint32_t t) {
  Picture p(240 * 320);
  device::drawHomeScreen(p.data(), 240, 320, t);
  return p;
}

Picture Shown() {
  const device::Display &d = device::display();
  return Picture(d.pixels(), d.pixels() + d.width() * d.height());
}

// Polls until the condition holds, for at most 5 s.
template <typename Condition>
bool Eventually(Condition condition) {
  for (int i = 0; i < 250; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

TEST(HomeScreen, MovesWithTimeAndIsTheSameForTheSameTime) {
  EXPECT_EQ(Draw(1500), Draw(1500));
  EXPECT_NE(Draw(0), Draw(1500));
  const Picture p = Draw(0);
  size_t colours = 0;
  for (size_t i = 1; i < p.size(); ++i) colours += p[i] != p[i - 1];
  EXPECT_GT(colours, 100u);  // a picture, not a plain colour
  // Any size, down to a tiny one, is drawn inside its bounds.
  Picture tiny(3 * 2, 0x1234);
  device::drawHomeScreen(tiny.data(), 3, 2, 500);
  EXPECT_NE(tiny, Picture(6, 0x1234));
}

class Shell : public testing::Test {
 protected:
  void SetUp() override {
    device::setCurrent(device::Profile::parse("display = 240x320\n", "test.profile"));
    device::resetDisplay();
  }
  void TearDown() override {
    device::stopHomeScreen();
    device::holdDisplay(false);
    device::freezeHomeScreen(false);
    unsetenv("HANDSET_HOME_SCREEN");
  }
};

TEST_F(Shell, ShowsWhileNoProgramHoldsTheDisplay) {
  device::startHomeScreen();
  ASSERT_TRUE(Eventually([] { return Shown() != Picture(240 * 320, 0); }));
  const Picture first = Shown();
  EXPECT_TRUE(Eventually([&] { return Shown() != first; }));  // it moves

  device::holdDisplay(true);
  std::this_thread::sleep_for(std::chrono::milliseconds(250));  // a picture being drawn ends
  device::display().pixels()[0] = 0x0841;
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_EQ(device::display().pixels()[0], 0x0841);  // the program's picture stays

  device::holdDisplay(false);
  EXPECT_TRUE(Eventually([] { return device::display().pixels()[0] != 0x0841; }));
}

TEST_F(Shell, AFrozenHomeScreenStopsChanging) {
  setenv("HANDSET_HOME_SCREEN", "frozen", 1);
  device::startHomeScreen();
  ASSERT_TRUE(Eventually([] { return Shown() == Draw(0); }));  // the picture of time 0
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_EQ(Shown(), Draw(0));

  device::freezeHomeScreen(false);
  EXPECT_TRUE(Eventually([] { return Shown() != Draw(0); }));
  device::freezeHomeScreen(true);
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  const Picture frozen = Shown();
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_EQ(Shown(), frozen);
}

TEST_F(Shell, OffDrawsNothing) {
  setenv("HANDSET_HOME_SCREEN", "off", 1);
  device::startHomeScreen();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(Shown(), Picture(240 * 320, 0));
}

}  // namespace
