// File names and the saving of a still picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "app/settings.h"
#include "capture/encoder.h"
#include "capture/still.h"
#include "capture/storage.h"
#include "device/sound_log.h"
#include "handset.h"
#include "pictures.h"

namespace {

std::string Narrow(const char16_t *text) {
  std::string out;
  for (; *text; ++text) out += char(*text);
  return out;
}

SYSTEMTIME Time(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
  SYSTEMTIME t{};
  t.wYear = year, t.wMonth = month, t.wDay = day, t.wHour = hour, t.wMinute = minute, t.wSecond = second;
  return t;
}

class FileNames : public StillHandset {
 protected:
  WCHAR path[kFilePathUnits] = {};

  void SetUp() override {
    StillHandset::SetUp();
    CreateDirectoryW(u"\\My Documents", nullptr);
  }

  // Creates the file a name stands for, so that the next name must differ.
  void take() { std::ofstream(platform::hostPath(path)) << "x"; }

  // The settings table with the profile's storage list; photo mode on the given storage.
  void settings(uint32_t captureMode, int32_t photoStorage, int32_t videoStorage) {
    BuildOptionLists(g_App.device, false);
    g_App.settings[SET_CAPTURE_MODE]->index = int32_t(captureMode);
    g_App.settings[SET_PHOTO_STORAGE]->index = photoStorage;
    g_App.settings[SET_VIDEO_STORAGE]->index = videoStorage;
  }
};

TEST_F(FileNames, DateTimeAndSerial) {
  struct Case {
    SYSTEMTIME time;
    bool photo;
    const char16_t *extension;
    int32_t serial;
    const char *expected;
  } cases[] = {
      {Time(2006, 12, 15, 10, 5, 9), true, u"jpg", -1, "\\My Documents\\My Pictures\\61215-100509.jpg"},
      {Time(2006, 12, 15, 10, 5, 9), true, u"jpg", 3, "\\My Documents\\My Pictures\\61215-100509-03.jpg"},
      {Time(2010, 1, 2, 3, 4, 5), false, u"avi", -1, "\\My Documents\\My Videos\\100102-030405.avi"},
      {Time(2000, 7, 8, 23, 59, 58), true, u"jpg", 120, "\\My Documents\\My Pictures\\00708-235958-120.jpg"},
  };
  for (const Case &c : cases) {
    const uint32_t written = FormatFileName(path, u"\\My Documents", c.photo, c.time, c.extension, c.serial);
    EXPECT_EQ(Narrow(path), c.expected);
    EXPECT_EQ(written, Narrow(path).size() - Narrow(path).rfind('\\'));
  }
}

// Two pictures in one second: the second gets a suffix instead of overwriting the first, and
// the names sort in the order the pictures were taken.
TEST_F(FileNames, ANameTakenGetsASuffixThatSortsAfterIt) {
  const SYSTEMTIME t = Time(2006, 12, 15, 10, 5, 9);
  for (int32_t serial : {-1, 3}) {
    std::vector<std::string> names;
    for (int i = 0; i < 12; ++i) {
      ASSERT_GT(FormatFileName(path, u"\\My Documents", true, t, u"jpg", serial), 0u);
      names.push_back(Narrow(path));
      take();
    }
    EXPECT_EQ(names[1], serial < 0 ? "\\My Documents\\My Pictures\\61215-100509_01.jpg"
                                   : "\\My Documents\\My Pictures\\61215-100509-03_01.jpg");
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size());
  }
}

TEST_F(FileNames, NoFreeNameLeftIsReported) {
  const SYSTEMTIME t = Time(2006, 12, 15, 10, 5, 9);
  for (int i = 0; i < 100; ++i) {
    ASSERT_GT(FormatFileName(path, u"\\My Documents", true, t, u"jpg", -1), 0u);
    take();
  }
  EXPECT_EQ(FormatFileName(path, u"\\My Documents", true, t, u"jpg", -1), 0u);
}

TEST_F(FileNames, StorageByCaptureModeAndARemovedCardFallsBackToTheDeviceMemory) {
  useProfile("storage_card = Storage Card, 16M\n");
  struct Case {
    uint32_t mode;
    int32_t photo, video;
    const char *prefix;
  } cases[] = {
      {0, 1, 0, "\\Storage Card\\My Documents\\My Pictures\\"},
      {2, 1, 0, "\\Storage Card\\My Documents\\My Pictures\\"},
      {1, 1, 0, "\\My Documents\\My Videos\\"},
      {1, 0, 1, "\\Storage Card\\My Documents\\My Videos\\"},
      {0, -1, 0, "\\Storage Card\\My Documents\\My Pictures\\"},  // the default row is the card
  };
  for (const Case &c : cases) {
    settings(c.mode, c.photo, c.video);
    ASSERT_GT(MakeFileName(g_App.settings, path, u"jpg", -1), 0u);
    EXPECT_EQ(Narrow(path).rfind(c.prefix, 0), 0u) << Narrow(path);
    EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(platform::hostPath(path)).parent_path()))
        << Narrow(path);
  }
  // The card goes; the storage list is rebuilt while the setting still names it.
  settings(0, 1, 1);
  useProfile("");
  ASSERT_EQ(BuildStorageList(g_StorageList), 1u);
  ASSERT_GT(MakeFileName(g_App.settings, path, u"jpg", -1), 0u);
  EXPECT_EQ(Narrow(path).rfind("\\My Documents\\My Pictures\\", 0), 0u) << Narrow(path);
}

class SaveStillTest : public StillHandset {
 protected:
  void SetUp() override {
    StillHandset::SetUp();
    BuildOptionLists(g_App.device, false);
    useProfile("system_library = JPEGENC.dll\n");
    BindVendorEncoder();
    ASSERT_EQ(ConfigureEncoder(&g_EncoderSetup, 64, 48, 90, SAMPLING_420, 1, 1, 0), 1u);
    buffer.assign(EncodeBufferBytes(64, 48), 0);
    pixels = QuadrantsUyvy(64, 48);
    g_App.currentFile = file;
    CreateDirectoryW(u"\\My Documents", nullptr);
    device::clearSoundPlays();
  }
  uint32_t save() {
    FrameDesc frame{pixels.data(), uint32_t(pixels.size()), FORMAT_UYVY, 64, 48};
    return SaveStill(buffer.data(), uint32_t(buffer.size()), &frame);
  }
  std::vector<uint8_t> written() {
    std::ifstream in(platform::hostPath(file), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }
  WCHAR file[kFilePathUnits] = u"\\My Documents\\shot.jpg";
  std::vector<uint8_t> buffer, pixels;
};

constexpr int32_t kShutterOn = 0, kShutterOff = 1;  // rows of the shutter sound setting

TEST_F(SaveStillTest, WritesTheWholePictureAndPlaysTheShutterSound) {
  g_App.settings[SET_SHUTTER_SOUND]->index = kShutterOn;
  ASSERT_EQ(save(), 1u);
  Decoded d = Decode(written());
  ASSERT_TRUE(d.ok());
  EXPECT_EQ(d.width, 64);
  EXPECT_EQ(QuadrantReport(d, 0), "");
  ASSERT_TRUE(device::waitForSoundPlays(1, std::chrono::seconds(10)));
  const auto plays = device::soundPlays();
  ASSERT_EQ(plays.size(), 1u);
  EXPECT_EQ(plays[0].name, "MenuPop.wav");
  EXPECT_EQ(plays[0].flags, SND_FILENAME | SND_ASYNC);
}

TEST_F(SaveStillTest, AConfiguredFlashSoundOrShutterOffPlaysNothingHere) {
  g_App.settings[SET_SHUTTER_SOUND]->index = kShutterOn;
  std::copy_n("flash.wav", 10, g_App.flashSound);
  ASSERT_EQ(save(), 1u);
  g_App.flashSound[0] = 0;
  g_App.settings[SET_SHUTTER_SOUND]->index = kShutterOff;
  ASSERT_EQ(save(), 1u);
  // An asynchronous play would have been logged by now.
  EXPECT_FALSE(device::waitForSoundPlays(1, std::chrono::milliseconds(300)));
}

TEST_F(SaveStillTest, FailuresAreReported) {
  // No encoder for the frame, a folder that does not exist, a full volume.
  ReleaseEncoders();
  EXPECT_EQ(save(), 0u);
  BindVendorEncoder();
  ConfigureEncoder(&g_EncoderSetup, 64, 48, 90, SAMPLING_420, 1, 1, 0);
  std::copy_n(u"\\My Documents\\none\\shot.jpg", 28, file);
  EXPECT_EQ(save(), 0u);
  useProfile("memory = 256\nsystem_library = JPEGENC.dll\n");
  std::copy_n(u"\\My Documents\\shot.jpg", 23, file);
  EXPECT_EQ(save(), 0u);
}

}  // namespace
