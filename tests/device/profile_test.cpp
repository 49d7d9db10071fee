#include "device/profile.h"

#include <gtest/gtest.h>

namespace {

using device::Profile;
using device::ProfileError;

std::string errorOf(const std::string &text) {
  try {
    Profile::parse(text, "phone.profile");
  } catch (const ProfileError &e) {
    return e.what();
  }
  return "";
}

TEST(Profile, ReadsValuesCommentsAndRepeatedKeys) {
  Profile p = Profile::parse(
      "# a comment\n"
      "oem_info = \"HTC Hermes\"\r\n"
      "\n"
      "memory = 64M\n"
      "system_library = HTCcamera.dll\n"
      "system_library = JPEGENC.dll\n"
      "touch_screen = no\n",
      "dir/hermes.profile");
  EXPECT_EQ(p.name(), "hermes");
  EXPECT_EQ(p.text("oem_info"), "HTC Hermes");
  EXPECT_EQ(p.number("memory", 0), 64u << 20);
  EXPECT_EQ(p.all("system_library"), (std::vector<std::string>{"HTCcamera.dll", "JPEGENC.dll"}));
  EXPECT_TRUE(p.contains("system_library", "jpegenc.DLL"));
  EXPECT_FALSE(p.flag("touch_screen", true));
  EXPECT_EQ(p.text("platform_type", "none given"), "none given");
  EXPECT_EQ(p.find("memory")->line, 4);
}

TEST(Profile, ErrorsNameTheFileAndLine) {
  EXPECT_EQ(errorOf("oem_info = A\ncolour = red\n"), "phone.profile:2: unknown key \"colour\"");
  EXPECT_EQ(errorOf("\n\njust words\n"), "phone.profile:3: expected 'key = value', found \"just words\"");
  EXPECT_EQ(errorOf("oem_info = A\noem_info = B\n"),
            "phone.profile:2: \"oem_info\" given twice (first on line 1)");
  EXPECT_EQ(errorOf("display = 240by320\n"),
            "phone.profile:1: display: expected WIDTHxHEIGHT, found \"240by320\"");
  EXPECT_EQ(errorOf("os_version = 5.1\n"),
            "phone.profile:1: os_version: expected MAJOR.MINOR.BUILD, found \"5.1\"");
  EXPECT_EQ(errorOf("memory = lots\n"), "phone.profile:1: memory: \"lots\" is not a number");
  EXPECT_EQ(errorOf("frame_buffer = maybe\n"),
            "phone.profile:1: frame_buffer: expected raw, gxinfo or none, found \"maybe\"");
}

TEST(Profile, MissingFileIsAnError) {
  EXPECT_THROW(Profile::load("/nonexistent/handset.profile"), ProfileError);
}

TEST(Profile, NamesAndPaths) {
  EXPECT_EQ(device::profilePath("./x.profile"), "./x.profile");
  EXPECT_EQ(device::profilePath("hermes"), device::profileDirectory() + "/hermes.profile");
}

}  // namespace
