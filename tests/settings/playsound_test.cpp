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
  // A damaged header: a byte rate of 1 and a data length far past the file's end. The play lasts
  // as long as the samples there are, at their format's rate.
  std::string damaged = Wave(200);
  damaged[28] = 1, damaged[29] = damaged[30] = damaged[31] = 0;                  // byte rate
  damaged[40] = damaged[41] = damaged[42] = char(0xFF), damaged[43] = 0x7F;  // data length
  write("My Documents/damaged.wav", damaged);
  const auto before = Clock::now();
  EXPECT_TRUE(PlaySoundW(TEXT("\\My Documents\\damaged.wav"), nullptr, SND_FILENAME | SND_SYNC));
  EXPECT_LT(Clock::now() - before, 5s);
  // Numbers where a name may stand are never read as text; an image whose RIFF size is absurd
  // is not read past its end.
  EXPECT_FALSE(PlaySoundW(reinterpret_cast<LPCWSTR>(uintptr_t(3)), nullptr, SND_ALIAS_ID | SND_NODEFAULT));
  EXPECT_FALSE(PlaySoundW(reinterpret_cast<LPCWSTR>(uintptr_t(101)), nullptr, SND_RESOURCE | SND_NODEFAULT));
  std::string absurd = Wave(10);
  absurd[4] = absurd[5] = absurd[6] = char(0xFF), absurd[7] = 0x7F;
  EXPECT_FALSE(PlaySoundW(reinterpret_cast<LPCWSTR>(absurd.data()), nullptr, SND_MEMORY | SND_NODEFAULT));
  auto plays = device::soundPlays();
  ASSERT_EQ(plays.size(), 6u);
  EXPECT_EQ(plays[0].lengthMs, 300u);
  EXPECT_EQ(plays[0].name, "\\My Documents\\short.wav");
  EXPECT_FALSE(plays[1].played);
  EXPECT_EQ(plays[2].lengthMs, 200u);
  EXPECT_EQ(plays[3].name, "#3");
  EXPECT_EQ(plays[4].name, "#101");
  EXPECT_FALSE(plays[5].played);
}

}  // namespace
