#include "media.h"

#include <turbojpeg.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

namespace {

// Runs a shell command; stdout is returned, stderr goes to `errors`.
std::string Run(const std::string &command, int *exitCode, std::string *errors) {
  std::string errFile = MakeTempDir() + "/stderr";
  FILE *pipe = popen((command + " 2>" + errFile).c_str(), "r");
  if (!pipe) throw std::runtime_error("cannot run " + command);
  std::string out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  int status = pclose(pipe);
  *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream err(errFile);
  std::stringstream text;
  text << err.rdbuf();
  *errors = text.str();
  return out;
}

std::string Quote(const std::string &path) { return "'" + path + "'"; }

}  // namespace

std::vector<uint8_t> MakeJpeg(int width, int height, int seed, int quality) {
  std::vector<uint8_t> rgb(size_t(width) * height * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t *p = &rgb[(size_t(y) * width + x) * 3];
      p[0] = uint8_t((x + seed * 7) * 4);
      p[1] = uint8_t((y + seed * 3) * 4);
      p[2] = uint8_t(((x / 16 + y / 16 + seed) & 1) ? 220 : 30);
    }
  tjhandle tj = tjInitCompress();
  unsigned char *out = nullptr;
  unsigned long size = 0;
  if (tjCompress2(tj, rgb.data(), width, 0, height, TJPF_RGB, &out, &size, TJSAMP_420, quality, 0) != 0)
    throw std::runtime_error(tjGetErrorStr2(tj));
  std::vector<uint8_t> jpeg(out, out + size);
  tjFree(out);
  tjDestroy(tj);
  return jpeg;
}

std::vector<uint8_t> MakeOddJpeg(int width, int height, int seed) {
  for (int quality = 80; quality > 10; --quality) {
    std::vector<uint8_t> jpeg = MakeJpeg(width, height, seed, quality);
    if (jpeg.size() & 1) return jpeg;
  }
  throw std::runtime_error("no odd-sized JPEG");
}

const Fields *Probe::stream(const std::string &codecType) const {
  for (const Fields &s : streams)
    if (s.count("codec_type") && s.at("codec_type") == codecType) return &s;
  return nullptr;
}

Probe RunFfprobe(const std::string &path) {
  Probe probe;
  std::string out = Run("ffprobe -v error -count_frames -count_packets -show_streams -show_format " + Quote(path),
                        &probe.exitCode, &probe.errors);
  std::istringstream lines(out);
  std::string line;
  Fields *section = nullptr;
  while (std::getline(lines, line)) {
    if (line == "[STREAM]") {
      probe.streams.emplace_back();
      section = &probe.streams.back();
    } else if (line == "[FORMAT]") {
      section = &probe.format;
    } else if (line.size() > 1 && line[0] == '[') {
      section = nullptr;
    } else if (section) {
      size_t eq = line.find('=');
      if (eq != std::string::npos) (*section)[line.substr(0, eq)] = line.substr(eq + 1);
    }
  }
  return probe;
}

std::string DecodeErrors(const std::string &path) {
  int exitCode;
  std::string errors;
  Run("ffmpeg -nostdin -v error -i " + Quote(path) + " -f null -", &exitCode, &errors);
  if (exitCode != 0) errors += "ffmpeg exit code " + std::to_string(exitCode);
  return errors;
}

std::string MakeTempDir() {
  std::string pattern = (std::filesystem::path(testing::TempDir()) / "capture-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  return pattern;
}
