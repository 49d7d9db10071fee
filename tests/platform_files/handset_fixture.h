// A fresh handset for each test: a temporary device root, program directory and profile.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "device/profile.h"
#include "platform/files.h"

class FreshHandset : public testing::Test {
 protected:
  std::string base, root, prog;

  void SetUp() override {
    char folder[] = "/tmp/pelkavo-handset-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    base = folder;
    root = base + "/root";
    prog = base + "/prog";
    std::filesystem::create_directories(prog);
    device::setRoot(root);
    platform::setProgramDirectory(prog);
    useProfile("memory = 64M\n");
  }

  void TearDown() override {
    platform::setProgramDirectory("");
    std::filesystem::remove_all(base);
  }

  void useProfile(const std::string &text) {
    device::setCurrent(device::Profile::parse(text, base + "/test.profile"));
  }

  // Writes `size` bytes to a host file, making its folders.
  static void hostFile(const std::string &path, size_t size) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << std::string(size, 'x');
  }
};
