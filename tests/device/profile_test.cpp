#include "device/profile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

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
      "touch_screen = no\n"
      "camera_rate = 010\n",
      "dir/hermes.profile");
  EXPECT_EQ(p.name(), "hermes");
  EXPECT_EQ(p.text("oem_info"), "HTC Hermes");
  EXPECT_EQ(p.number("memory", 0), 64u << 20);
  EXPECT_EQ(p.all("system_library"), (std::vector<std::string>{"HTCcamera.dll", "JPEGENC.dll"}));
  EXPECT_TRUE(p.contains("system_library", "jpegenc.DLL"));
  EXPECT_FALSE(p.flag("touch_screen", true));
  EXPECT_EQ(p.number("camera_rate", 0), 10u);  // decimal: a leading 0 is no octal
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

TEST(Profile, CompositeValueErrorsNameTheFileAndLine) {
  struct Case {
    const char *text;
    const char *error;
  } cases[] = {
      {"storage_card = SD, 1G\nstorage_card = sd , 2G\n", "phone.profile:2: storage_card: \"sd , 2G\" repeats line 1"},
      {"camera = webcam\n", "phone.profile:1: camera: expected vendor, lcm, dsc, directshow or none, found \"webcam\""},
      {"camera = vendor\ncamera = vendor\n", "phone.profile:2: camera: \"vendor\" repeats line 1"},
      {"camera = vendor\ncamera = none\n", "phone.profile:2: camera: none cannot be combined with another camera"},
      {"camera = none\ncamera = lcm\n", "phone.profile:2: camera: none cannot be combined with another camera"},
      {"system_library = HTCcamera\n",
       "phone.profile:1: system_library: expected a library file name such as HTCcamera.dll, found \"HTCcamera\""},
      {"system_library = \\Windows\\x.dll\n",
       "phone.profile:1: system_library: expected a library file name such as HTCcamera.dll, found \"\\Windows\\x.dll\""},
      {"system_library = a.dll\nsystem_library = A.DLL\n", "phone.profile:2: system_library: \"A.DLL\" repeats line 1"},
      {"processor_name = 0123456789012345678901234567890123456789\n",
       "phone.profile:1: processor_name: expected 1 to 39 characters, found \"0123456789012345678901234567890123456789\""},
      {"microphone = loud\n",
       "phone.profile:1: microphone: expected yes, no, tone, counter, wav:FILE, alsa[:PCM] or none, found \"loud\""},
      {"registry = HKEY_CURRENT_USER\\X \"a\"=dword:1\n",
       "phone.profile:1: registry: expected [KEY] or [KEY] \"name\"=value, found \"HKEY_CURRENT_USER\\X \"a\"=dword:1\""},
      {"registry = [HKEY_NOWHERE\\X]\n",
       "phone.profile:1: registry: key \"HKEY_NOWHERE\\X\" does not start with HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, "
       "HKEY_CLASSES_ROOT or HKEY_USERS"},
      {"registry = [HKEY_CURRENT_USER\\A\\\\B]\n",
       "phone.profile:1: registry: key \"HKEY_CURRENT_USER\\A\\\\B\" has an empty name between backslashes"},
      {"registry = [HKEY_CURRENT_USER\\X] \"a\"=dword:123456789\n",
       "phone.profile:1: registry: expected dword: and 1 to 8 hex digits"},
      {"registry = [HKEY_CURRENT_USER\\X] \"a\"=\"open\n", "phone.profile:1: registry: unterminated quoted text"},
      {"registry = [HKEY_CURRENT_USER\\X] \"a\"=hex:1,2\n",
       "phone.profile:1: registry: expected two hex digits per byte"},
      {"registry = [HKEY_CURRENT_USER\\X] a=1\n", "phone.profile:1: registry: expected \"name\"=value"},
      // Numbers are decimal and refused when they do not fit, in every key that holds some.
      {"memory = 0x10\n", "phone.profile:1: memory: \"0x10\" is not a number"},
      {"memory = 18446744073709551616\n", "phone.profile:1: memory: \"18446744073709551616\" is too large"},
      {"memory = 17179869184G\n", "phone.profile:1: memory: \"17179869184G\" is too large"},
      {"display = 1Kx320\n", "phone.profile:1: display: expected WIDTHxHEIGHT, found \"1Kx320\""},
      {"camera_native = 4294967936x480\n",
       "phone.profile:1: camera_native: expected WIDTHxHEIGHT, found \"4294967936x480\""},
      {"os_version = 5.1.4294967296\n",
       "phone.profile:1: os_version: expected MAJOR.MINOR.BUILD, found \"5.1.4294967296\""},
      {"camera_range = 5 0-4294967551 120\n",
       "phone.profile:1: camera_range: expected a property 4 to 9 and its values, such as \"5 0-255 120\", found "
       "\"5 0-4294967551 120\""},
      {"dshow_capture = 4294967936x480 UYVY\n",
       "phone.profile:1: dshow_capture: expected WIDTHxHEIGHT UYVY|YUY2|YV12|I420|RGB565 [videoinfo|videoinfo2|short], "
       "found \"4294967936x480 UYVY\""},
      {"registry = [HKEY_CURRENT_USER\\X] \"A\"=dword:1\nregistry = [hkey_current_user\\x] \"a\"=dword:2\n",
       "phone.profile:2: registry: \"[hkey_current_user\\x] \"a\"=dword:2\" repeats line 1"},
  };
  for (const Case &c : cases) EXPECT_EQ(errorOf(c.text), c.error) << c.text;
}

TEST(Profile, RegistryDefaults) {
  Profile p = Profile::parse(
      "registry = [HKEY_CURRENT_USER\\ControlPanel\\Backlight] \"BatteryTimeout\"=dword:0000003c\n"
      "registry = [HKEY_LOCAL_MACHINE\\Software\\A] \"Text\"=\"C:\\\\x \\\"q\\\"\"\n"
      "registry = [HKEY_LOCAL_MACHINE\\Software\\Empty]\n"
      "registry = [HKEY_LOCAL_MACHINE\\Software\\A] @=hex:01,ff\n"
      "camera = vendor\n"
      "camera = directshow\n",
      "x.profile");
  std::vector<device::RegistryDefault> reg = p.registryDefaults();
  ASSERT_EQ(reg.size(), 4u);
  EXPECT_EQ(reg[0].key, "HKEY_CURRENT_USER\\ControlPanel\\Backlight");
  ASSERT_TRUE(reg[0].value);
  EXPECT_EQ(reg[0].value->name, "BatteryTimeout");
  EXPECT_EQ(reg[0].value->type, 4u);
  EXPECT_EQ(reg[0].value->data, (std::vector<uint8_t>{0x3c, 0, 0, 0}));
  ASSERT_TRUE(reg[1].value);
  EXPECT_EQ(reg[1].value->type, 1u);
  // UTF-16LE with its terminating zero: C:\x "q"
  std::u16string text = u"C:\\x \"q\"";
  std::vector<uint8_t> bytes;
  for (char16_t u : text) bytes.insert(bytes.end(), {uint8_t(u), uint8_t(u >> 8)});
  bytes.insert(bytes.end(), {0, 0});
  EXPECT_EQ(reg[1].value->data, bytes);
  EXPECT_FALSE(reg[2].value);
  ASSERT_TRUE(reg[3].value);
  EXPECT_EQ(reg[3].value->name, "");
  EXPECT_EQ(reg[3].value->data, (std::vector<uint8_t>{1, 0xff}));
  EXPECT_EQ(p.all("camera"), (std::vector<std::string>{"vendor", "directshow"}));
}

// The profiles shipped with the handset: each loads, describes a usable handset, and together
// they cover the three ways a display is reached.
TEST(Profile, EveryShippedProfileLoads) {
  std::set<std::string> frameBuffers;
  int count = 0;
  for (const auto &file : std::filesystem::directory_iterator(device::profileDirectory())) {
    if (file.path().extension() != ".profile") continue;
    ++count;
    SCOPED_TRACE(file.path().string());
    Profile p;
    ASSERT_NO_THROW(p = Profile::load(file.path().string()));
    for (const char *key : {"description", "oem_info", "platform_type", "os_version", "display", "bits_per_pixel",
                            "frame_buffer", "camera", "memory"})
      EXPECT_TRUE(p.has(key)) << key;
    frameBuffers.insert(p.text("frame_buffer"));
  }
  EXPECT_GE(count, 25);
  EXPECT_EQ(frameBuffers, (std::set<std::string>{"raw", "gxinfo", "none"}));
  EXPECT_TRUE(std::filesystem::exists(device::profilePath(device::kDefaultProfile)));
}

TEST(Profile, MissingFileIsAnError) {
  EXPECT_THROW(Profile::load("/nonexistent/handset.profile"), ProfileError);
}

TEST(Profile, NamesAndPaths) {
  EXPECT_EQ(device::profilePath("./x.profile"), "./x.profile");
  EXPECT_EQ(device::profilePath("hermes"), device::profileDirectory() + "/hermes.profile");
}

}  // namespace
