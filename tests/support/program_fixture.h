// The program as the in-process tests drive it: per test suite a handset root of its own with
// a 240 × 320 display and the shipped language file and fonts (assets/) as the program
// directory's; per test the state of a program just started on an emulated handset.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>

#include "app/appstate.h"
#include "device/profile.h"

class ProgramFixture : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();

  // An unrecognised handset with a 240 × 320 display.
  static DeviceRecord EmulatedHandset();

  // A program just started on the handset in the mode: the preview state, no status text,
  // the camera's lists (the camera stays closed), no zoom, the menu pages built.
  static void StartProgram(const DeviceRecord &device, bool screenCapture, const char *flashSound = "");

  static inline std::filesystem::path root_;
};
