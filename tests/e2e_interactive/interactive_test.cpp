// The interactive program as a user drives it: the real Pelkavo.exe on an emulated handset,
// played by a script of key presses and activation changes, checked by the pictures and
// videos it leaves in the handset's file system and by its registry.
#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "media.h"
#include "program.h"
#include "tests/support/stamp.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using testing_programs::Program;

namespace {

// The scripts name the direction keys by what they do in the program. In screen orientation 0
// (the default) its key list is the handset's landscape list, held turned a quarter clockwise as
// the landscape text reads: the pad's Left key is Up, Up is Right, Right is Down and Down is Left.
std::string Landscape(const std::string &script) {
  static const std::map<std::string, std::string> kPad = {
      {"Up", "Left"}, {"Right", "Up"}, {"Down", "Right"}, {"Left", "Down"}};
  static const std::regex kKey(R"(\bkey (Up|Down|Left|Right)\b)");
  std::string out;
  auto at = script.cbegin();
  for (std::sregex_iterator m(script.begin(), script.end(), kKey), end; m != end; ++m) {
    out.append(at, (*m)[0].first);
    out += "key " + kPad.at((*m)[1].str());
    at = (*m)[0].second;
  }
  out.append(at, script.cend());
  return out;
}

class Interactive : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = testing_programs::freshFolder("interactive");
    root_ = folder_ + "/root";
    fs::create_directories(root_);
  }

  std::map<std::string, std::string> Environment(const std::string &script) const {
    std::ofstream(folder_ + "/script.txt") << Landscape(script);
    return {{"HANDSET_ROOT", root_},
            {"HANDSET_INPUT", folder_ + "/script.txt"},
            {"HANDSET_DISPLAY", "headless"},
            {"HANDSET_PROFILE", profile_}};
  }
  std::unique_ptr<Program> Start(const std::string &script, std::vector<std::string> arguments = {}) const {
    return std::make_unique<Program>(testing_programs::buildDir() + "/prog/Pelkavo.exe", std::move(arguments),
                                     Environment(script));
  }
  // Runs the program to its end; the script must end it.
  testing_programs::Run Play(const std::string &script, std::vector<std::string> arguments = {}) const {
    return Start(script, std::move(arguments))->wait(120s);
  }

  // The files with the extension anywhere in the handset's file system, by name.
  std::vector<fs::path> Files(const std::string &extension) const {
    std::vector<fs::path> found;
    for (const auto &entry : fs::recursive_directory_iterator(root_))
      if (entry.is_regular_file() && entry.path().extension() == extension) found.push_back(entry.path());
    std::sort(found.begin(), found.end());
    return found;
  }
  // The shell's requests: what was done and the host file of the handset path it was given.
  std::vector<std::pair<std::string, fs::path>> ShellRequests() const {
    std::ifstream in(root_ + "/shell.log");
    std::vector<std::pair<std::string, fs::path>> requests;
    std::string line;
    while (std::getline(in, line)) {
      std::istringstream fields(line);
      std::string action, file;
      std::getline(fields, action, '\t');
      std::getline(fields, file, '\t');
      std::replace(file.begin(), file.end(), '\\', '/');
      requests.emplace_back(action, fs::path(root_ + file));
    }
    return requests;
  }
  // A DWORD value of the handset's registry as written to its file; -1 when absent.
  int64_t RegistryDword(const std::string &name) const {
    std::ifstream in(root_ + "/registry.reg");
    std::string line;
    const std::regex value("^\"" + name + "\"=dword:([0-9a-fA-F]{8})");
    std::smatch m;
    while (std::getline(in, line))
      if (std::regex_search(line, m, value)) return std::stoll(m[1], nullptr, 16);
    return -1;
  }
  std::string RegistryValue(const std::string &name) const {
    std::ifstream in(root_ + "/registry.reg");
    std::string line, value;
    bool inValue = false;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.rfind("\"" + name + "\"=", 0) == 0) inValue = true;
      if (!inValue) continue;
      value += line;
      if (line.empty() || line.back() != '\\') break;
    }
    return value;
  }
  // Waits until the file exists: a screenshot the script takes marks a moment of the run.
  static bool WaitFor(const std::string &file) {
    for (int i = 0; i < 9000 && !fs::exists(file); ++i) std::this_thread::sleep_for(10ms);
    return fs::exists(file);
  }

  // A shipped profile with extra lines and the program's settings stored (setting number → row).
  void UseProfile(const std::string &name, const std::string &extra, const std::map<int, int> &settings) {
    std::ifstream in(std::string(PELKAVO_PROFILES) + "/" + name + ".profile");
    std::string stored;
    for (int n = 0; n < 59; ++n) stored += (settings.count(n) ? std::to_string(settings.at(n)) : "-1") + ",";
    profile_ = folder_ + "/" + name + ".profile";
    std::ofstream(profile_) << in.rdbuf() << "\n" << extra
                            << "registry = [HKEY_LOCAL_MACHINE\\Software\\Vendrasol\\Pelkavo] \"Settings\"=\""
                            << stored << "\"\n";
  }

  // A recording as ffprobe reads it: its picture and sound codecs and about how long it lasts.
  static void ExpectVideo(const fs::path &file, const std::string &video, const std::string &audio, double seconds,
                          double within) {
    Probe probe = RunFfprobe(file.string());
    ASSERT_EQ(probe.exitCode, 0) << probe.errors;
    ASSERT_NE(probe.stream("video"), nullptr);
    ASSERT_NE(probe.stream("audio"), nullptr);
    EXPECT_EQ(probe.stream("video")->at("codec_name"), video);
    EXPECT_EQ(probe.stream("audio")->at("codec_name"), audio);
    EXPECT_NEAR(std::stod(probe.stream("video")->at("duration")), seconds, within);
  }

  std::string folder_, root_;
  std::string profile_ = "asus-p525";
};

// A JPEG file's luma as libjpeg-turbo decodes it; empty (0 × 0) when it cannot.
struct Luma {
  int width = 0, height = 0;
  std::vector<unsigned char> pixels;
};
Luma DecodeLuma(const fs::path &file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  tjhandle decoder = tjInitDecompress();
  Luma luma;
  int sampling = 0, colours = 0;
  if (tjDecompressHeader3(decoder, data.data(), data.size(), &luma.width, &luma.height, &sampling, &colours) == 0) {
    luma.pixels.resize(size_t(luma.width) * luma.height);
    if (tjDecompress2(decoder, data.data(), data.size(), luma.pixels.data(), luma.width, 0, luma.height, TJPF_GRAY,
                      0) != 0)
      luma = Luma{};
  }
  tjDestroy(decoder);
  return luma;
}

double MeanLuma(const Luma &luma) {
  uint64_t sum = 0;
  for (unsigned char y : luma.pixels) sum += y;
  return luma.pixels.empty() ? 0 : double(sum) / double(luma.pixels.size());
}

// The serial numbers of a series' pictures (date-time-NN.jpg), in order; a picture with another
// name fails the test.
std::vector<int> Serials(const std::vector<fs::path> &shots) {
  std::vector<int> serials;
  const std::regex name(R"(\d{6}-\d{6}-(\d{2})\.jpg)");
  std::smatch m;
  for (const fs::path &shot : shots) {
    const std::string file = shot.filename().string();
    EXPECT_TRUE(std::regex_match(file, m, name)) << shot;
    if (!m.empty()) serials.push_back(std::stoi(m[1]));
    EXPECT_GT(DecodeLuma(shot).width, 0) << shot;
  }
  std::sort(serials.begin(), serials.end());
  return serials;
}

// 0, 1, … n − 1.
std::vector<int> Counting(size_t n) {
  std::vector<int> serials(n);
  for (size_t i = 0; i < n; ++i) serials[i] = int(i);
  return serials;
}

// The page after a capture shows once capture control has finished with the capture, a little
// after the key that ended it: the scripts give it a second before pressing keys on it.
TEST_F(Interactive, PhotoKeepViewDelete) {
  auto run = Play("1s key Action\n"  // a photo; the page after it
                  "1s key Action\n"  // keep
                  "500 key Action\n"  // a second photo
                  "1s key Down\n"
                  "0 key Action\n"  // view: the shell shows it, the program goes behind
                  "500 activate\n"
                  "0 key Down\n"
                  "0 key Down\n"
                  "0 key Action\n"  // delete
                  "500 close\n");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  auto pictures = Files(".jpg");
  ASSERT_EQ(pictures.size(), 1u) << run.output;
  const Luma kept = DecodeLuma(pictures[0]);
  EXPECT_GT(kept.width, 0);
  EXPECT_GT(kept.height, 0);
  // The viewer was asked for the second picture, which is gone now.
  auto requests = ShellRequests();
  ASSERT_EQ(requests.size(), 1u) << run.output;
  EXPECT_EQ(requests[0].first, "recorded");
  EXPECT_EQ(requests[0].second.extension(), ".jpg");
  EXPECT_EQ(requests[0].second.parent_path(), pictures[0].parent_path());
  EXPECT_NE(requests[0].second, pictures[0]);
  EXPECT_FALSE(fs::exists(requests[0].second));
}

// Interval mode (two steps right), then the interval page (main item 2) with one second
// between shots (item 4, three rows up from "4 sec").
const std::string kToInterval = "1s key Right\n0 key Right\n"
                                "0 key A\n0 key Down\n0 key Down\n0 key Action\n"
                                "0 key Down\n0 key Down\n0 key Down\n0 key Down\n"
                                "0 key Left\n0 key Left\n0 key Left\n";

TEST_F(Interactive, IntervalSeriesPlainAndAveraged) {
  // The first shot comes 3 s after the start, then one a second.
  auto plain = Play(kToInterval + "0 key A\n0 key Action\n6s key Action\n500 close\n");
  ASSERT_EQ(plain.exitCode, 0) << plain.output;
  auto shots = Files(".jpg");
  EXPECT_GE(shots.size(), 2u) << plain.output;
  EXPECT_EQ(Serials(shots), Counting(shots.size()));
  // The camera's picture as it is: brighter than the averaging's target below.
  for (const fs::path &shot : shots) EXPECT_GT(MeanLuma(DecodeLuma(shot)), 100) << shot;
  for (const fs::path &shot : shots) fs::remove(shot);

  // Averaging with a brightness target: item 5 opens its page, whose first item goes two rows
  // on (two frames a shot, their luma scaled to the target level's default, 72).
  auto averaged = Play(kToInterval + "0 key Down\n0 key Action\n0 key Right\n0 key Right\n"
                                     "0 key B\n0 key A\n0 key Action\n6s key Action\n500 close\n");
  ASSERT_EQ(averaged.exitCode, 0) << averaged.output;
  shots = Files(".jpg");
  EXPECT_GE(shots.size(), 2u) << averaged.output;
  EXPECT_EQ(Serials(shots), Counting(shots.size()));
  for (const fs::path &shot : shots) EXPECT_NEAR(MeanLuma(DecodeLuma(shot)), 72, 6) << shot;
}

TEST_F(Interactive, MotionTriggerWaitsForTheScreenToMove) {
  // Screen capture: the series runs while the home screen is in front; frozen it shows no
  // motion, moving it does. Its moving square covers a few per cent of the screen, so the
  // trigger is set to react to 2 % of changed samples (the percent item, four rows down).
  const std::string before = folder_ + "/frozen.png", after = folder_ + "/moving.png";
  auto program = Start("1s key Right\n0 key Right\n"
                       "0 key A\n0 key Down\n0 key Down\n0 key Action\n"  // the interval page
                       "0 key Down\n0 key Down\n0 key Left\n0 key Left\n0 key Left\n"  // 1 s
                       "0 key Down\n0 key Action\n0 key Right\n"  // the motion page: on
                       "0 key Down\n0 key Down\n0 key Left\n0 key Left\n0 key Left\n0 key Left\n"
                       "0 key B\n0 key A\n"
                       "0 freeze\n"
                       "0 key Action\n"  // the series; the program minimises itself
                       "6s screenshot " + before + "\n"
                       "0 unfreeze\n"
                       "6s screenshot " + after + "\n"
                       "0 activate\n"  // ends the series
                       "500 close\n",
                       {"-s"});
  ASSERT_TRUE(WaitFor(before)) << program->output();
  const size_t frozen = Files(".jpg").size();
  ASSERT_TRUE(WaitFor(after)) << program->output();
  const size_t moving = Files(".jpg").size();
  auto run = program->wait(60s);
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_LE(frozen, 1u);  // at most the first frame, compared with nothing
  EXPECT_GE(moving, frozen + 2) << run.output;
  const auto shots = Files(".jpg");
  EXPECT_EQ(Serials(shots), Counting(shots.size()));
}

TEST_F(Interactive, VideoPauseResumeKeepAndDiscard) {
  auto kept = Play("1s key Right\n"  // video mode
                   "0 key Action\n"  // record
                   "2s key Action\n"  // pause: the paused-recording page
                   "2s key Action\n"  // resume
                   "2s key Action\n"
                   "1s key Down\n"
                   "0 key Action\n"  // keep
                   "500 close\n");
  ASSERT_EQ(kept.exitCode, 0) << kept.output;
  auto videos = Files(".avi");
  ASSERT_EQ(videos.size(), 1u) << kept.output;
  Probe probe = RunFfprobe(videos[0].string());
  ASSERT_EQ(probe.exitCode, 0) << probe.errors;
  const Fields *video = probe.stream("video");
  const Fields *audio = probe.stream("audio");
  ASSERT_NE(video, nullptr);
  ASSERT_NE(audio, nullptr);
  EXPECT_EQ(video->at("codec_name"), "mjpeg");
  EXPECT_GE(std::stoi(video->at("nb_read_frames")), 2);
  EXPECT_EQ(audio->at("sample_rate"), "8000");
  EXPECT_GT(std::stoi(audio->at("nb_read_packets")), 0);
  // Two seconds recorded twice; the two seconds paused are not in it, in picture or sound.
  const double seconds = std::stod(video->at("duration"));
  EXPECT_GE(seconds, 3.5);
  EXPECT_LT(seconds, 5.2);
  EXPECT_NEAR(std::stod(audio->at("nb_frames")) / 8000, seconds, 0.5);
  EXPECT_EQ(DecodeErrors(videos[0].string()), "");

  auto discarded = Play("1s key Action\n"  // video mode is kept from the last run
                        "2s key Action\n"
                        "1s key Down\n0 key Down\n0 key Down\n0 key Down\n"
                        "0 key Action\n"  // discard
                        "500 close\n");
  ASSERT_EQ(discarded.exitCode, 0) << discarded.output;
  EXPECT_EQ(Files(".avi"), videos);
}

// Each kind of camera handset through the whole program: a photo of the camera's scene and an
// AVI of it, from the vendor camera library, from "LCM1:" on the PXA270, from "DSC1:" on the
// MPx220 with the vendor encoder, and through DirectShow with and without a still pin.
TEST_F(Interactive, CameraPhotoAndVideoOnEachKindOfCameraHandset) {
  constexpr int kCaptureMode = 23;
  for (const char *handset : {"htc-wizard", "htc-pm10", "motorola-mpx220-encoder", "asus-p525", "treo-700w"}) {
    SCOPED_TRACE(handset);
    fs::create_directories(root_);
    UseProfile(handset, "", {});
    auto photo = Play("2s key Action\n1s key Action\n500 close\n");
    ASSERT_EQ(photo.exitCode, 0) << photo.output;
    const auto pictures = Files(".jpg");
    ASSERT_EQ(pictures.size(), 1u) << photo.output;
    std::ifstream in(pictures[0], std::ios::binary);
    EXPECT_TRUE(ReadFrameStampFromJpeg({std::istreambuf_iterator<char>(in), {}}).has_value()) << "not the camera's";
    fs::remove_all(root_);

    fs::create_directories(root_);
    UseProfile(handset, "", {{kCaptureMode, 1}});
    auto video = Play("2s key Action\n3s key Action\n1s key Down\n0 key Action\n500 close\n");
    ASSERT_EQ(video.exitCode, 0) << video.output;
    const auto videos = Files(".avi");
    ASSERT_EQ(videos.size(), 1u) << video.output;
    ExpectVideo(videos[0], "mjpeg", "pcm_s16le", 3, 1);
    EXPECT_EQ(DecodeErrors(videos[0].string()), "");
    fs::remove_all(root_);
  }
}

// An interval series on a camera handset, one shot a second once the picture moved (2 % of the
// luma samples) for about seven seconds: the trigger fires on the moving scene, not on the bars.
TEST_F(Interactive, MotionTriggerFiresOnTheCamerasMovingScene) {
  constexpr int kMotionMode = 5, kMotionPercent = 7, kCaptureMode = 23, kShotInterval = 42;
  const std::map<int, int> series = {{kCaptureMode, 2}, {kShotInterval, 1}, {kMotionMode, 2}, {kMotionPercent, 1}};
  size_t shots[2];
  for (int bars = 0; bars < 2; ++bars) {
    fs::create_directories(root_);
    UseProfile("htc-wizard", bars ? "camera_picture = bars\n" : "", series);
    auto run = Play("2s key Action\n10s key Action\n1s close\n");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    shots[bars] = Files(".jpg").size();
    fs::remove_all(root_);
  }
  // About seven on the scene; on the bars the first (compared with nothing), and a heavily loaded
  // machine has been seen to add one more.
  EXPECT_LE(shots[1], 2u);
  EXPECT_GE(shots[0], shots[1] + 2);
}

// The camera's own recorder on the handset whose library compresses: an MP4 to a card whose name
// the library's 8-bit name cannot hold (written under the temporary name, renamed when kept and
// viewed), and a 3GP; the pause ends each, and each has picture and sound for about the time
// recorded. (The library learns the kind from the name's extension only.)
TEST_F(Interactive, CameraRecordingsThroughTheVendorLibrary) {
  constexpr int kCaptureMode = 23, kVideoFormat = 27, kVideoStorage = 29, kScreenOrientation = 35;
  const struct {
    int format, storage;  // rows of the model's video format list and of the storage list
    const char *extension, *video, *folder, *keep;
    bool viewed;
  } cases[] = {
      {1, 2, ".mp4", "mpeg4", "/Карта памяти/", "1s key Down\n0 key Action\n500 activate\n", true},
      {0, 0, ".3gp", "h263", "/My Documents/", "1s key Action\n", false},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.extension);
    UseProfile("htc-hermes", "storage_card = Карта памяти\n",
               // orientation 0, as the scripts' key names assume
               {{kCaptureMode, 1}, {kVideoFormat, c.format}, {kVideoStorage, c.storage}, {kScreenOrientation, 0}});
    auto run = Play("2s key Action\n"  // record
                    "4s key Action\n" +  // the pause ends it: the page after the recording
                    std::string(c.keep) + "500 close\n");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const auto videos = Files(c.extension);
    ASSERT_EQ(videos.size(), 1u) << run.output;
    EXPECT_NE(videos[0].string().find(c.folder), std::string::npos) << videos[0];
    EXPECT_FALSE(fs::exists(root_ + "/recvdo.temp"));
    const auto requests = ShellRequests();
    ASSERT_EQ(requests.size(), c.viewed ? 1u : 0u);
    if (c.viewed) {
      EXPECT_EQ(requests[0].second, videos[0]);
    }
    ExpectVideo(videos[0], c.video, "aac", 4, 1.5);
    fs::remove_all(root_);  // a fresh handset: its registry takes the next settings
    fs::create_directories(root_);
  }
}

// Ending the program during a recording keeps the recording, finished and playable: an AVI of
// the program's own, and an MP4 of the camera library's written under the temporary name (to a
// card whose name the library cannot take) and given its own name at the end.
TEST_F(Interactive, EndingTheProgramWhileRecordingKeepsTheRecording) {
  constexpr int kCaptureMode = 23, kVideoFormat = 27, kVideoStorage = 29, kScreenOrientation = 35;
  const struct {
    const char *handset, *extra;
    std::map<int, int> settings;
    const char *extension, *video, *audio;
  } cases[] = {
      {"asus-p525", "", {{kCaptureMode, 1}}, ".avi", "mjpeg", "pcm_s16le"},
      {"htc-hermes", "storage_card = Карта памяти\n",
       {{kCaptureMode, 1}, {kVideoFormat, 1}, {kVideoStorage, 2}, {kScreenOrientation, 0}}, ".mp4", "mpeg4", "aac"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.handset);
    fs::create_directories(root_);
    UseProfile(c.handset, c.extra, c.settings);
    auto run = Play("2s key Action\n3s close\n");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const auto videos = Files(c.extension);
    ASSERT_EQ(videos.size(), 1u) << run.output;
    EXPECT_FALSE(fs::exists(root_ + "/recvdo.temp"));
    ExpectVideo(videos[0], c.video, c.audio, 3, 1.5);
    EXPECT_EQ(DecodeErrors(videos[0].string()), "");
    if (std::string(c.extension) == ".avi") {
      // The sound captured up to the end is in the file: as long as the pictures, within a
      // frame interval.
      Probe probe = RunFfprobe(videos[0].string());
      const Fields &video = *probe.stream("video");
      const Fields &audio = *probe.stream("audio");
      const double seconds = std::stod(video.at("duration"));
      EXPECT_NEAR(std::stod(audio.at("nb_frames")) / std::stod(audio.at("sample_rate")), seconds,
                  seconds / std::stoi(video.at("nb_read_frames")));
    }
    fs::remove_all(root_);
  }
}

// The whole chunks of a recording cut off (its header still zeros): pictures and sound blocks.
struct CutChunks {
  bool headerZeros = false;
  int pictures = 0, soundBlocks = 0;
};
CutChunks CountCutChunks(const fs::path &file) {
  std::ifstream in(file, std::ios::binary);
  const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  CutChunks found;
  if (bytes.size() < 348) return found;
  found.headerZeros = std::all_of(bytes.begin(), bytes.begin() + 348, [](unsigned char b) { return b == 0; });
  for (size_t at = 348; at + 8 <= bytes.size();) {
    const std::string id(bytes.begin() + long(at), bytes.begin() + long(at) + 4);
    const uint32_t size = bytes[at + 4] | bytes[at + 5] << 8 | bytes[at + 6] << 16 | uint32_t(bytes[at + 7]) << 24;
    const size_t next = at + 8 + size + (size & 1);
    if ((id != "00dc" && id != "01wb") || next > bytes.size()) break;
    ++(id == "00dc" ? found.pictures : found.soundBlocks);
    at = next;
  }
  return found;
}

// A recording cut off by a kill (nothing of the program's own end runs) is repaired by the next
// start: every picture and sound block in the file at the kill is kept, the pictures reach up to
// about a second before the kill, the sound follows them, and the file plays.
TEST_F(Interactive, ARecordingCutOffByAKillIsRepairedAtTheNextStart) {
  constexpr int kCaptureMode = 23;
  UseProfile("asus-p525", "", {{kCaptureMode, 1}});
  auto program = Start("2s key Action\n60s close\n");
  for (int i = 0; i < 3000 && Files(".avi").empty(); ++i) std::this_thread::sleep_for(10ms);
  ASSERT_EQ(Files(".avi").size(), 1u) << program->output();
  const auto began = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(4s);
  program->kill();
  const double recorded = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  const fs::path video = Files(".avi")[0];
  const CutChunks cut = CountCutChunks(video);
  ASSERT_TRUE(cut.headerZeros) << "the kill did not cut the recording off";
  ASSERT_GT(cut.pictures, 0);

  auto run = Play("1s close\n");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  ASSERT_EQ(Files(".avi"), std::vector<fs::path>{video});
  Probe probe = RunFfprobe(video.string());
  ASSERT_EQ(probe.exitCode, 0) << probe.errors;
  EXPECT_EQ(probe.errors, "");
  ASSERT_NE(probe.stream("video"), nullptr);
  ASSERT_NE(probe.stream("audio"), nullptr);
  const Fields &pictures = *probe.stream("video");
  const Fields &sound = *probe.stream("audio");
  EXPECT_EQ(pictures.at("codec_name"), "mjpeg");
  EXPECT_EQ(sound.at("codec_name"), "pcm_s16le");
  // ffmpeg reads every picture once, and a repeat that does not follow its own picture again.
  const int entries = std::stoi(pictures.at("nb_frames"));
  EXPECT_GE(std::stoi(pictures.at("nb_read_frames")), cut.pictures);
  EXPECT_LE(std::stoi(pictures.at("nb_read_frames")), entries);
  EXPECT_EQ(std::stoi(sound.at("nb_read_packets")), cut.soundBlocks);
  const double seconds = std::stod(pictures.at("duration"));
  // The file was made before the sound started (up to half a second); the pictures of the last
  // second may not have reached it.
  EXPECT_GE(seconds, recorded - 1.5);
  EXPECT_LE(seconds, recorded + 0.2);
  // A sound block reaches the file with the picture after the next: at the cut the sound is up
  // to two frame intervals shorter than the pictures.
  const double sounded = std::stod(sound.at("nb_frames")) / 8000;
  EXPECT_LE(sounded, seconds + 0.001);
  EXPECT_GE(sounded, seconds - 2 * seconds / entries - 0.001);
  EXPECT_EQ(DecodeErrors(video.string()), "");
}

TEST_F(Interactive, SettingsSurviveARestartAndResetBringsTheDefaults) {
  // Keep lit is the default: the handset's time-outs are written over while the program is
  // in front and given back in the background and at the end.
  constexpr int64_t kKeepLit = 0x8000000, kBattery = 0x3c, kMains = 0x12c;
  const std::string front = folder_ + "/front.png", background = folder_ + "/background.png",
                    again = folder_ + "/again.png";
  auto program = Start("1s key Right\n"  // video mode, stored at the end
                       "0 screenshot " + front + "\n"
                       "3s deactivate\n"
                       "0 screenshot " + background + "\n"
                       "3s activate\n"
                       "0 screenshot " + again + "\n"
                       "3s close\n");
  ASSERT_TRUE(WaitFor(front)) << program->output();
  EXPECT_EQ(RegistryDword("BatteryTimeout"), kKeepLit);
  EXPECT_EQ(RegistryDword("ACTimeout"), kKeepLit);
  ASSERT_TRUE(WaitFor(background)) << program->output();
  EXPECT_EQ(RegistryDword("BatteryTimeout"), kBattery);
  EXPECT_EQ(RegistryDword("ACTimeout"), kMains);
  ASSERT_TRUE(WaitFor(again)) << program->output();
  EXPECT_EQ(RegistryDword("BatteryTimeout"), kKeepLit);
  auto run = program->wait(60s);
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(RegistryDword("BatteryTimeout"), kBattery);
  EXPECT_EQ(RegistryDword("ACTimeout"), kMains);
  const std::string stored = RegistryValue("Settings");
  ASSERT_FALSE(stored.empty());

  // The second run starts in video mode: the Action key records.
  run = Play("1s key Action\n2s key Action\n1s key Down\n0 key Action\n500 close\n");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(Files(".avi").size(), 1u) << run.output;
  EXPECT_EQ(Files(".jpg").size(), 0u);

  // Reset (the general page's item 8, two up from the top), then the default mode again: a
  // photo. Every setting is stored as its default.
  run = Play("1s key A\n0 key Action\n0 key Up\n0 key Up\n0 key Action\n0 key A\n500 close\n");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  std::string defaults = "\"Settings\"=\"";
  for (int n = 0; n < 59; ++n) defaults += "-1,";
  EXPECT_EQ(RegistryValue("Settings"), defaults + "\"");
  run = Play("1s key Action\n1s key Action\n500 close\n");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(Files(".jpg").size(), 1u) << run.output;
  EXPECT_EQ(RegistryDword("BatteryTimeout"), kBattery);
}

TEST_F(Interactive, ASecondStartBringsTheFirstToTheFront) {
  const std::string shot = folder_ + "/running.png";
  auto first = Start("1s screenshot " + shot + "\n5s close\n");
  ASSERT_TRUE(WaitFor(shot)) << first->output();
  auto second = Start("");
  auto run = second->wait(30s);
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(first->wait(60s).exitCode, 0);
}

}  // namespace
