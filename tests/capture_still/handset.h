// A fresh emulated handset per test: a temporary root, a profile from the test's lines, the
// program directory of the build (tarnjpg.dll lies there) and a clean AppState.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/appstate.h"
#include "capture/encoder.h"
#include "device/profile.h"
#include "platform/files.h"

class StillHandset : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = std::filesystem::temp_directory_path() /
            ("still-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
    device::setRoot(root_.string());
    platform::setProgramDirectory(PELKAVO_PROGRAM_DIR);
    useProfile("");
    ResetApp();
  }
  void TearDown() override {
    ReleaseEncoders();
    platform::setProgramDirectory("");
    std::filesystem::remove_all(root_);
  }

  static void ResetApp() {
    g_App.~AppState();
    new (&g_App) AppState{};
    const char16_t path[] = u"\\Program Files\\Pelkavo\\Pelkavo.exe";
    std::copy(std::begin(path), std::end(path), g_App.programPath);
  }

  void useProfile(const std::string &lines) {
    const std::string memory = lines.find("memory =") == std::string::npos ? "memory = 64M\n" : "";
    device::setCurrent(device::Profile::parse("display = 240x320\n" + memory + lines, "test.profile"));
  }

  std::filesystem::path root_;
};
