#include "tests/support/screenshots.h"

#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

void WriteFileBytes(const std::string &path, const std::vector<uint8_t> &bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace

std::vector<uint8_t> ReadFileBytes(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

RgbPicture DecodePng(const std::vector<uint8_t> &png) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png.empty() || !png_image_begin_read_from_memory(&image, png.data(), png.size())) return {};
  image.format = PNG_FORMAT_RGB;
  RgbPicture picture{image.width, image.height, std::vector<uint8_t>(PNG_IMAGE_SIZE(image))};
  if (!png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr)) return {};
  return picture;
}

std::string CompareWithReference(const std::vector<uint8_t> &png, const std::string &reference,
                                 const std::string &runCopy) {
  WriteFileBytes(runCopy, png);
  const char *update = std::getenv("PELKAVO_UPDATE_REFERENCES");
  if (update && std::string(update) == "1") {
    WriteFileBytes(reference, png);
    return "";
  }
  const RgbPicture actual = DecodePng(png);
  if (actual.rgb.empty()) return "the screenshot " + runCopy + " is no readable PNG";
  const RgbPicture expected = DecodePng(ReadFileBytes(reference));
  if (expected.rgb.empty()) return "no reference " + reference + " (this run's picture is " + runCopy + ")";
  if (actual.width != expected.width || actual.height != expected.height)
    return runCopy + " is " + std::to_string(actual.width) + "x" + std::to_string(actual.height) + ", the reference " +
           std::to_string(expected.width) + "x" + std::to_string(expected.height);
  size_t differing = 0, first = 0;
  for (size_t i = 0; i < actual.rgb.size(); i += 3)
    if (actual.rgb[i] != expected.rgb[i] || actual.rgb[i + 1] != expected.rgb[i + 1] ||
        actual.rgb[i + 2] != expected.rgb[i + 2]) {
      if (differing++ == 0) first = i / 3;
    }
  if (differing == 0) return "";
  return std::to_string(differing) + " pixels of " + runCopy + " differ from " + reference + ", the first at (" +
         std::to_string(first % actual.width) + ", " + std::to_string(first / actual.width) + ")";
}

std::string WithoutCameraLibrary(const std::string &profile, const std::string &copy) {
  std::ifstream in(profile);
  std::ofstream out(copy);
  for (std::string line; std::getline(in, line);)
    if (line.rfind("system_library = HTCcamera", 0) != 0) out << line << "\n";
  return copy;
}

std::string ProgramDirectoryWithout(const std::string &programDirectory, const std::string &folder,
                                    const std::vector<std::string> &missing) {
  namespace fs = std::filesystem;
  fs::remove_all(folder);
  fs::create_directories(folder);
  for (const auto &entry : fs::directory_iterator(programDirectory)) {
    const std::string name = entry.path().filename().string();
    if (std::find(missing.begin(), missing.end(), name) == missing.end())
      fs::create_symlink(fs::absolute(entry.path()), fs::path(folder) / name);
  }
  return folder;
}
