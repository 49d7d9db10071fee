// A fresh emulated handset for each test: its own root folder and a profile made of the
// lines the test gives, with the program directory pointed at the build's.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <cstdint>
#include <string>

#include "device/profile.h"
#include "platform/files.h"

class HandsetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = std::filesystem::temp_directory_path() /
            ("settings-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
    device::setRoot(root_.string());
    useProfile("");
  }
  void TearDown() override { std::filesystem::remove_all(root_); }

  void useProfile(const std::string &lines) {
    device::setCurrent(device::Profile::parse("display = 240x320\n" + lines, "test.profile"));
  }

  // Writes a file at a host path below the handset root and returns that path.
  std::filesystem::path write(const std::string &relative, const std::string &bytes) {
    std::filesystem::path path = root_ / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  std::filesystem::path root_;
};

// A RIFF WAVE file of 8 kHz 16-bit mono silence lasting `ms`.
inline std::string Wave(uint32_t ms) {
  auto le = [](uint32_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s += char(v >> (8 * i));
    return s;
  };
  const uint32_t data = 16 * ms;
  return "RIFF" + le(36 + data, 4) + "WAVE" + "fmt " + le(16, 4) + le(1, 2) + le(1, 2) + le(8000, 4) +
         le(16000, 4) + le(2, 2) + le(16, 2) + "data" + le(data, 4) + std::string(data, '\0');
}
