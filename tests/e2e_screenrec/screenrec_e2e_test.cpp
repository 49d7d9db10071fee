// The screen recorder end to end: the real Mirantel starts the real "Pelkavo -s"; the Action key
// sends it to the background, where it captures the display; Mirantel started again brings it
// back, which ends the capture. What it wrote is read back with ffprobe, ffmpeg and libjpeg-turbo.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "png_read.h"
#include "program.h"
#include "tests/capture/avi_check.h"
#include "tests/capture/media.h"
#include "tests/capture_still/pictures.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using testing_programs::Program;

namespace {

// The default handset's display.
constexpr int kDisplayWidth = 240, kDisplayHeight = 320;
// The screen recorder's default frame interval.
constexpr uint32_t kUsPerFrame = 100000;

std::string readFile(const fs::path &file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Files the handset's programs wrote under the root, by extension, outside the system's own.
std::vector<fs::path> filesEndingIn(const fs::path &root, const std::string &extension) {
  std::vector<fs::path> found;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(root, error); it != fs::recursive_directory_iterator(); ++it)
    if (it->is_regular_file() && it->path().extension() == extension) found.push_back(it->path());
  return found;
}

// The MD5 of each decoded picture of the file's video stream.
std::vector<std::string> pictureDigests(const fs::path &avi) {
  std::vector<std::string> digests;
  FILE *pipe = popen(("ffmpeg -nostdin -v error -i '" + avi.string() + "' -map 0:v -f framemd5 - 2>/dev/null").c_str(), "r");
  if (!pipe) return digests;
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) {
    std::string text = line;
    if (text.empty() || text[0] == '#') continue;
    size_t comma = text.rfind(',');
    if (comma != std::string::npos) digests.push_back(text.substr(comma + 1, 33));
  }
  pclose(pipe);
  return digests;
}

// The share of pixels of two RGB pictures of one size that look alike (each channel within 48):
// what separates a picture of the home screen from one of the program's own screen.
double alike(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b) {
  if (a.size() != b.size() || a.empty()) return 0;
  size_t same = 0;
  for (size_t i = 0; i + 2 < a.size(); i += 3) {
    bool near = true;
    for (size_t c = i; c < i + 3; ++c) near = near && std::abs(a[c] - b[c]) < 48;
    same += near;
  }
  return double(same) / double(a.size() / 3);
}

// The first picture of a video as a PNG.
bool firstPicture(const fs::path &avi, const std::string &png, Picture &picture) {
  const std::string command = "ffmpeg -nostdin -v error -y -i '" + avi.string() + "' -frames:v 1 '" + png + "'";
  return std::system(command.c_str()) == 0 && readPng(png, picture);
}

class ScreenRecorder : public ::testing::Test {
 protected:
  void SetUp() override {
    // What the launcher starts is orphaned when the launcher ends; as the subreaper this test
    // gets it back, so it can see that every program ended and with which exit code.
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    folder = testing_programs::freshFolder("screenrec");
    root = folder + "/root";
    launcher = std::string(PELKAVO_PROGRAM_DIR) + "/Mirantel.exe";
  }
  void TearDown() override {
    // A program a failed test left running.
    if (const pid_t pid = windowOwner()) kill(pid, SIGKILL);
    endedPrograms(10s);
    prctl(PR_SET_CHILD_SUBREAPER, 0);
  }
  std::map<std::string, std::string> env(const std::string &script = "") {
    std::map<std::string, std::string> e{{"HANDSET_ROOT", root},
                                         {"HANDSET_PROFILE", "asus-p525"},
                                         {"HANDSET_DISPLAY", "headless"},
                                         {"HANDSET_INPUT", ""},
                                         {"HANDSET_HOME_SCREEN", ""}};  // moving
    if (!script.empty()) {
      e["HANDSET_INPUT"] = folder + "/script.txt";
      std::ofstream(e["HANDSET_INPUT"]) << script;
    }
    return e;
  }
  // The process whose window the handset shows, 0 when there is none.
  pid_t windowOwner() const {
    std::error_code error;
    for (auto &entry : fs::directory_iterator(root + "/.system/windows", error)) {
      std::ifstream in(entry.path());
      pid_t pid = 0;
      if (in >> pid) return pid;
    }
    return 0;
  }
  static bool appears(const fs::path &file, std::chrono::seconds timeout) {
    for (auto deadline = std::chrono::steady_clock::now() + timeout; std::chrono::steady_clock::now() < deadline;) {
      if (fs::exists(file)) return true;
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }
  // Reaps the programs the launchers left to this test until none is left or `timeout` passed:
  // their exit codes by process id, and whether all had ended.
  struct Ended {
    std::map<pid_t, int> exitCodes;
    bool all = false;
  };
  static Ended endedPrograms(std::chrono::seconds timeout) {
    Ended ended;
    for (auto deadline = std::chrono::steady_clock::now() + timeout;;) {
      int status = 0;
      const pid_t pid = waitpid(-1, &status, WNOHANG);
      if (pid > 0) {
        ended.exitCodes[pid] = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      } else if (pid < 0 && errno == ECHILD) {
        ended.all = true;
        return ended;
      } else if (std::chrono::steady_clock::now() >= deadline) {
        return ended;
      } else {
        std::this_thread::sleep_for(20ms);
      }
    }
  }

  // Starts the recorder with `script`, starts the launcher again once `inBackground` (a
  // screenshot the script takes after the program went to the background) exists and `recordFor`
  // has passed, and checks that both launches ran their program and that everything ended.
  void runRecorder(const std::string &script, const fs::path &inBackground, std::chrono::milliseconds recordFor) {
    Program first(launcher, {}, env(script));
    EXPECT_EQ(first.wait(20s).exitCode, 0);  // the launcher does not wait for the program
    if (!appears(inBackground, 60s)) {
      ADD_FAILURE() << "the program never went to the background: " << first.output();
      return;
    }
    const pid_t recorder = windowOwner();
    std::this_thread::sleep_for(recordFor);
    Program second(launcher, {}, env());
    EXPECT_EQ(second.wait(20s).exitCode, 0);
    // The second Pelkavo finds the first, brings it to the front and ends (reaped by the second
    // launcher when that still ran); the first finishes its script and closes.
    Ended ended = endedPrograms(60s);
    EXPECT_TRUE(ended.all) << first.output();
    ASSERT_TRUE(ended.exitCodes.count(recorder)) << first.output();
    for (auto [pid, code] : ended.exitCodes) EXPECT_EQ(code, 0) << "process " << pid << ": " << first.output();
    EXPECT_EQ(windowOwner(), 0);  // no window left behind
    const std::string started = "started\t\\Program Files\\Pelkavo\\Pelkavo.exe\t-s\n";
    EXPECT_EQ(readFile(root + "/shell.log"), started + started);
    // Each step of the script found the program as it expected: idle, and in front again.
    EXPECT_EQ(first.output().find("handset input"), std::string::npos) << first.output();
    EXPECT_EQ(second.output(), "");
    // The screen recorder wrote its settings at the end, under a key of its own (.reg text, CR LF).
    const std::string registry = readFile(root + "/registry.reg");
    const std::string key = "[HKEY_LOCAL_MACHINE\\Software\\Vendrasol\\Mirantel]\r\n";
    const size_t section = registry.find(key);
    ASSERT_NE(section, std::string::npos) << registry;
    const std::string values = registry.substr(section + key.size(), registry.find('[', section + 1) - section - key.size());
    EXPECT_NE(values.find("\"Settings\"="), std::string::npos) << registry;
  }

  std::string folder, root, launcher;
};

// On this handset the key lists are the landscape ones: the pad's Up steps the capture mode
// on (photo to video) and its Right moves the page cursor down.
TEST_F(ScreenRecorder, RecordsTheDisplayFromTheBackgroundUntilStartedAgain) {
  const std::string background = folder + "/recording.png";
  runRecorder("1s key Up\n"      // video
              "0 key Action\n"   // the recording starts and the program minimises itself
              "0 screenshot " + background + "\n"
              "0 front\n"        // brought back by the second start: the recording pauses
              "0 key Right\n"    // "Keep video"
              "0 key Action\n"
              "0 close\n",
              background, 2500ms);

  auto videos = filesEndingIn(root, ".avi");
  ASSERT_EQ(videos.size(), 1u);
  EXPECT_NE(videos[0].string().find("/My Videos/"), std::string::npos) << videos[0];
  EXPECT_TRUE(filesEndingIn(root, ".temp").empty());
  const AviSummary summary = CheckAvi(RiffFile(videos[0].string()));
  EXPECT_GT(summary.pictures, 0u);
  EXPECT_GT(summary.soundChunks, 0u);
  ExpectReadable(videos[0].string(), summary, kUsPerFrame);
  const Probe probe = RunFfprobe(videos[0].string());
  const Fields *video = probe.stream("video");
  ASSERT_NE(video, nullptr);
  EXPECT_EQ(video->at("width"), std::to_string(kDisplayWidth));
  EXPECT_EQ(video->at("height"), std::to_string(kDisplayHeight));
  // Recorded from the home screen the program left the display to (the screenshot taken just
  // after it went to the background; only the home screen's moving square may differ) ...
  Picture home, first;
  ASSERT_TRUE(readPng(background, home));
  ASSERT_TRUE(firstPicture(videos[0], folder + "/first.png", first));
  EXPECT_GT(alike(home.rgb, first.rgb), 0.9);
  // ... and moving, not one picture held.
  const auto digests = pictureDigests(videos[0]);
  EXPECT_GE(std::set<std::string>(digests.begin(), digests.end()).size(), 2u) << digests.size() << " pictures";
}

TEST_F(ScreenRecorder, APhotoOfTheDisplayIsTakenWhenTheRecorderIsBroughtBack) {
  const std::string background = folder + "/waiting.png";
  runRecorder("1s key Action\n"  // photo: the program minimises itself and waits
              "0 screenshot " + background + "\n"
              "0 front\n"        // brought back: the picture is taken, the after-photo page shows
              "0 key Action\n"   // back to the preview, the picture kept
              "0 close\n",
              background, 500ms);

  auto pictures = filesEndingIn(root, ".jpg");
  ASSERT_EQ(pictures.size(), 1u);
  EXPECT_NE(pictures[0].string().find("/My Pictures/"), std::string::npos) << pictures[0];
  const std::string jpeg = readFile(pictures[0]);
  const Decoded decoded = Decode(reinterpret_cast<const uint8_t *>(jpeg.data()), jpeg.size());
  ASSERT_TRUE(decoded.ok());
  EXPECT_EQ(decoded.width, kDisplayWidth);
  EXPECT_EQ(decoded.height, kDisplayHeight);
  // The display as it was while the program waited in the background, not the program's own.
  Picture home;
  ASSERT_TRUE(readPng(background, home));
  EXPECT_GT(alike(home.rgb, decoded.rgb), 0.9);
}

}  // namespace
