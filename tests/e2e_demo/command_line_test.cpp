// ./run.sh's command line, as a user types it: what the program would not understand is refused
// before anything runs; with -f the exit code says whether the picture was written, and the
// reason is given when it cannot be.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "program.h"
#include "tests/capture_still/pictures.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> readBytes(const fs::path &file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(RunScript, CommandLines) {
  const std::string folder = testing_programs::freshFolder("run-command-line");
  std::ofstream(folder + "/plain-file") << "not a folder";
  std::ofstream(folder + "/old.jpg") << "an earlier picture";
  // "@" stands for the test's folder, the handset's root being @/root; `picture` is the host file
  // expected, with `width` its decoded width.
  const struct {
    std::vector<std::string> arguments;
    std::map<std::string, std::string> env;
    int exitCode;
    std::string says;
    std::string picture;
    int width;
  } cases[] = {
      {{"--help"}, {}, 0, "Usage: ./run.sh [-s] [-r<n>] [-f <file>]", "", 0},
      {{"-f"}, {}, 2, "run.sh: -f takes the file to write the picture into", "", 0},
      {{"-x"}, {}, 2, "run.sh: unknown option \"-x\"", "", 0},
      {{"-r2"}, {}, 2, "run.sh: -r2 picks the still size of a picture taken with -f: add -f <file>", "", 0},
      {{"-r12", "-f", "@/a.jpg"}, {}, 2, "-r takes the number of a size row, 0 to 9", "", 0},
      {{"@/shot.jpg"}, {}, 2, "is not an option; to take a picture into it: ./run.sh -f @/shot.jpg", "", 0},
      // The default handset's still sizes: 1280 × 1024, 640 × 480, 1024 × 768; without -r the last.
      {{"-f", "@/shot.jpg"}, {}, 0, "Pelkavo returned 1: the capture ran", "@/shot.jpg", 1024},
      {{"-r0", "-f", "@/big shot.jpg"}, {}, 0, "Picture written: @/big shot.jpg", "@/big shot.jpg", 1280},
      // A handset path, found without case, on a handset that lays out its folders as it starts.
      {{"-r", "1", "-f\\my documents\\small.jpg"}, {{"HANDSET_ROOT", "@/new-root"}}, 0,
       "@/new-root/My Documents/small.jpg", "@/new-root/My Documents/small.jpg", 640},
      {{"-f", "\\My Documents\\none\\a.jpg"}, {}, 1, "the folder @/root/My Documents/none does not exist", "", 0},
      {{"-f", "@/none/shot.jpg"}, {}, 1,
       "run.sh: no picture can be written to @/none/shot.jpg: the folder @/none does not exist", "", 0},
      {{"-f", "@"}, {}, 1, "run.sh: @ is a folder; -f takes the file to write the picture into", "", 0},
      // A handset without an encoder runs the capture and writes nothing: an earlier file is no picture.
      {{"-f", "@/old.jpg"}, {{"HANDSET_PROFILE", "motorola-mpx220"}}, 1, "Pelkavo returned 1: the capture ran", "", 0},
      {{"-f", "@/a.jpg"}, {{"HANDSET_ROOT", "@/plain-file"}}, 2,
       "run.sh: HANDSET_ROOT=@/plain-file is a file, not a folder", "", 0},
      {{"-f", "@/a.jpg"}, {{"HANDSET_ROOT", "@/plain-file/root"}}, 2,
       "run.sh: cannot make the handset's folder HANDSET_ROOT=@/plain-file/root (Not a directory)", "", 0},
  };
  const auto expand = [&](std::string text) {
    for (size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, folder);
    return text;
  };
  for (const auto &c : cases) {
    std::vector<std::string> arguments = {PELKAVO_SOURCE_DIR "/run.sh"};
    for (const std::string &argument : c.arguments) arguments.push_back(expand(argument));
    SCOPED_TRACE(testing::PrintToString(arguments));
    std::map<std::string, std::string> env = {{"PELKAVO_BUILD", testing_programs::buildDir()},
                                              {"HANDSET_ROOT", folder + "/root"}, {"HANDSET_PROFILE", "asus-p525"},
                                              {"HANDSET_DISPLAY", ""}, {"HANDSET_INPUT", ""}, {"DISPLAY", ""},
                                              {"WAYLAND_DISPLAY", ""}};
    for (const auto &[key, value] : c.env) env[key] = expand(value);
    testing_programs::Program run("/bin/bash", arguments, env);
    const auto result = run.wait(60s);
    EXPECT_EQ(result.exitCode, c.exitCode) << result.output;
    EXPECT_NE(result.output.find(expand(c.says)), std::string::npos) << result.output;
    if (c.picture.empty()) {
      EXPECT_EQ(result.output.find("Picture written"), std::string::npos) << result.output;
      continue;
    }
    const Decoded decoded = Decode(readBytes(expand(c.picture)));
    ASSERT_TRUE(decoded.ok()) << result.output;
    EXPECT_EQ(decoded.width, c.width);
  }
}

}  // namespace
