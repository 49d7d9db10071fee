// PlaySoundW on the emulated handset: where files are found, what blocks, what is refused,
// and what the handset's sound log records.
#include <mmsystem.h>
#include <windows.h>

#include <chrono>

#include "device/sound_log.h"
#include "handset.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class PlaySound : public HandsetTest {
 protected:
  void SetUp() override {
    HandsetTest::SetUp();
    write("My Documents/short.wav", Wave(300));
    write("My Documents/long.wav", Wave(4000));
    device::clearSoundPlays();
  }
};

TEST_F(PlaySound, FindsBareNamesInWindowsAndReportsFailures) {
  write("Windows/MenuPop.wav", Wave(100));
  EXPECT_TRUE(PlaySoundW(TEXT("MenuPop.wav"), nullptr, SND_FILENAME | SND_ASYNC));
  EXPECT_TRUE(PlaySoundW(TEXT("\\My Documents\\long.wav"), nullptr, SND_FILENAME | SND_ASYNC));
  EXPECT_FALSE(PlaySoundW(TEXT("\\My Documents\\short.wav"), nullptr, SND_FILENAME | SND_ASYNC | SND_NOSTOP));
  EXPECT_TRUE(PlaySoundW(nullptr, nullptr, 0));  // stops the long sound
  EXPECT_TRUE(PlaySoundW(TEXT("\\My Documents\\short.wav"), nullptr, SND_FILENAME | SND_ASYNC | SND_NOSTOP));
  EXPECT_FALSE(PlaySoundW(TEXT("Gone.wav"), nullptr, SND_FILENAME | SND_NODEFAULT));
  EXPECT_FALSE(PlaySoundW(TEXT("Gone.wav"), nullptr, SND_FILENAME));
  const std::string image = Wave(50);
  EXPECT_TRUE(PlaySoundW(reinterpret_cast<LPCWSTR>(image.data()), nullptr, SND_MEMORY));
  auto plays = device::soundPlays();
  ASSERT_EQ(plays.size(), 6u);  // the refused play is not logged
  EXPECT_EQ(plays[0].resolved, "\\Windows\\MenuPop.wav");
  EXPECT_EQ(plays[0].lengthMs, 100u);
  EXPECT_TRUE(plays[2].played);
  EXPECT_FALSE(plays[3].played);
  EXPECT_FALSE(plays[3].fallback);
  EXPECT_TRUE(plays[4].fallback);
  EXPECT_EQ(plays[5].lengthMs, 50u);
}

TEST_F(PlaySound, SyncLastsAsLongAsTheSound) {
  const auto start = Clock::now();
  EXPECT_TRUE(PlaySoundW(TEXT("\\My Documents\\short.wav"), nullptr, SND_FILENAME | SND_SYNC));
  EXPECT_GE(Clock::now() - start, 300ms);
  write("My Documents/broken.wav", "RIFF....WAVEjunk");
  EXPECT_FALSE(PlaySoundW(TEXT("\\My Documents\\broken.wav"), nullptr, SND_FILENAME | SND_NODEFAULT));
  auto plays = device::soundPlays();
  ASSERT_EQ(plays.size(), 2u);
  EXPECT_EQ(plays[0].lengthMs, 300u);
  EXPECT_EQ(plays[0].name, "\\My Documents\\short.wav");
  EXPECT_FALSE(plays[1].played);
}

}  // namespace
