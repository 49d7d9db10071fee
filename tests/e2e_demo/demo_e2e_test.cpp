// ./run.sh without a desktop and without a script: the built-in demonstration plays, and the
// files it lists are the ones the program wrote — each there with its size, the pictures
// decoding, the video read back with its sound.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "program.h"
#include "tests/capture/avi_check.h"
#include "tests/capture_still/pictures.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// The camera program's default frame interval: 25 pictures a second.
constexpr uint32_t kUsPerFrame = 40000;

struct Listed {
  std::string handsetPath;
  fs::path hostPath;
  uintmax_t size;
};

// The lines "  \handset\path<TAB>host path<TAB>N bytes" of run.sh's list.
std::vector<Listed> listedFiles(const std::string &output) {
  std::vector<Listed> files;
  std::istringstream lines(output);
  for (std::string text; std::getline(lines, text);) {
    if (text.rfind("  \\", 0) != 0) continue;
    const size_t tab1 = text.find('\t'), tab2 = text.find('\t', tab1 + 1);
    const std::string size = tab2 == std::string::npos ? "" : text.substr(tab2 + 1);
    const size_t digits = size.find_first_not_of("0123456789");
    if (tab1 == std::string::npos || digits == 0 || digits == std::string::npos || size.substr(digits) != " bytes")
      continue;
    files.push_back({text.substr(2, tab1 - 2), fs::path(text.substr(tab1 + 1, tab2 - tab1 - 1)),
                     std::stoull(size.substr(0, digits))});
  }
  return files;
}

// "...-NN.jpg": a shot of a series.
bool isSeriesShot(const std::string &name) {
  const size_t n = name.size();
  return n > 7 && name.compare(n - 4, 4, ".jpg") == 0 && name[n - 7] == '-' && std::isdigit(uint8_t(name[n - 6])) &&
         std::isdigit(uint8_t(name[n - 5]));
}

// What the program left in the handset's file system, its own bookkeeping aside.
std::set<fs::path> filesUnder(const fs::path &root) {
  std::set<fs::path> found;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    if (it->path().filename() == ".system") {
      it.disable_recursion_pending();
      continue;
    }
    if (it->is_regular_file() && it->path() != root / "registry.reg" && it->path() != root / "shell.log")
      found.insert(it->path());
  }
  return found;
}

std::vector<uint8_t> readBytes(const fs::path &file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Demonstration, PlaysWithoutADesktopAndListsWhatItWrote) {
  const std::string folder = testing_programs::freshFolder("demo");
  const fs::path root = folder + "/root";
  testing_programs::Program run("/bin/bash", {PELKAVO_SOURCE_DIR "/run.sh"},
                                {{"PELKAVO_BUILD", testing_programs::buildDir()}, {"HANDSET_ROOT", root.string()},
                                 {"HANDSET_PROFILE", "asus-p525"}, {"HANDSET_DISPLAY", ""}, {"HANDSET_INPUT", ""},
                                 {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}});
  const auto result = run.wait(180s);
  ASSERT_EQ(result.exitCode, 0) << result.output;
  EXPECT_NE(result.output.find("playing the demonstration"), std::string::npos) << result.output;
  EXPECT_EQ(result.output.find("handset input"), std::string::npos) << result.output;  // every step as planned

  const std::vector<Listed> files = listedFiles(result.output);
  std::set<fs::path> listed;
  for (const Listed &f : files) {
    SCOPED_TRACE(f.handsetPath);
    listed.insert(f.hostPath);
    std::string relative = f.handsetPath.substr(1);
    std::replace(relative.begin(), relative.end(), '\\', '/');
    EXPECT_EQ(f.hostPath, root / relative);
    ASSERT_TRUE(fs::is_regular_file(f.hostPath));
    EXPECT_EQ(fs::file_size(f.hostPath), f.size);
  }
  EXPECT_EQ(listed, filesUnder(root)) << result.output;

  // A photo, the shots of the series with their serials, one video.
  std::vector<fs::path> photos, shots, videos;
  for (const Listed &f : files) {
    const std::string name = f.hostPath.filename().string();
    if (f.hostPath.extension() == ".avi") videos.push_back(f.hostPath);
    if (f.hostPath.extension() == ".jpg") (isSeriesShot(name) ? shots : photos).push_back(f.hostPath);
  }
  EXPECT_EQ(photos.size(), 1u) << result.output;
  ASSERT_GE(shots.size(), 2u) << result.output;  // the first after 3 s, then every 4 s
  for (size_t i = 0; i < shots.size(); ++i) {
    const std::string expected = (i < 10 ? "-0" : "-") + std::to_string(i) + ".jpg";
    EXPECT_NE(shots[i].filename().string().find(expected), std::string::npos) << shots[i];  // listed in order
  }
  int width = 0, height = 0;
  for (const auto &group : {photos, shots})
    for (const fs::path &picture : group) {
      SCOPED_TRACE(picture);
      const Decoded decoded = Decode(readBytes(picture));
      ASSERT_TRUE(decoded.ok());
      if (!width) width = decoded.width, height = decoded.height;
      EXPECT_EQ(decoded.width, width);
      EXPECT_EQ(decoded.height, height);
    }

  ASSERT_EQ(videos.size(), 1u) << result.output;
  const AviSummary summary = CheckAvi(RiffFile(videos[0].string()));
  EXPECT_GT(summary.pictures, 0u);
  EXPECT_GT(summary.soundChunks, 0u);
  ExpectReadable(videos[0].string(), summary, kUsPerFrame);
}

}  // namespace
