// Device names in CreateFileW, DeviceIoControl on the handset's camera drivers, and the camera
// power KernelIoControl switches.
#include <windows.h>
#include <camdriver.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "device/camera.h"
#include "device/drivers.h"
#include "handset_fixture.h"

namespace {

class Devices : public FreshHandset {
 protected:
  void camera(const char *kind) {
    useProfile(std::string("camera = ") + kind + "\ncamera_largest = 1280x960\ncamera_rate = 30\n");
    device::resetSensor();
    device::setCameraPower(false);
  }
  void TearDown() override {
    device::setCameraPower(false);
    FreshHandset::TearDown();
  }
};

HANDLE open(const char16_t *name, DWORD access = GENERIC_READ, DWORD share = 0) {
  return CreateFileW(name, access, share, nullptr, OPEN_EXISTING, 0, nullptr);
}

// The error of a failed open, 0 for a handle (closed again).
DWORD openError(const char16_t *name, DWORD access = GENERIC_READ, DWORD share = 0) {
  HANDLE h = open(name, access, share);
  if (h == INVALID_HANDLE_VALUE) return GetLastError();
  EXPECT_TRUE(CloseHandle(h));
  return 0;
}

TEST_F(Devices, DeviceNamesOpenTheHandsetsDrivers) {
  const struct {
    const char *camera;
    bool power;
    const char16_t *name;
    DWORD error;
  } rows[] = {
      {"lcm", true, u"LCM1:", 0},
      {"lcm", true, u"lcm1:", 0},
      {"lcm", false, u"LCM1:", ERROR_NOT_READY},  // the driver needs the camera powered
      {"lcm", true, u"DSC1:", ERROR_FILE_NOT_FOUND},
      {"dsc", false, u"DSC1:", 0},
      {"dsc", false, u"LCM1:", ERROR_FILE_NOT_FOUND},
      {"vendor", true, u"LCM1:", ERROR_FILE_NOT_FOUND},
      {"lcm", true, u"CAM1:", ERROR_FILE_NOT_FOUND},
      // Not device names: no file is opened in their place.
      {"lcm", true, u"LCM1", ERROR_NOT_SUPPORTED},
      {"lcm", true, u"LCM12:", ERROR_NOT_SUPPORTED},
      {"lcm", true, u"\\LCM1:", ERROR_NOT_SUPPORTED},
      {"lcm", true, u"LC11:", ERROR_NOT_SUPPORTED},
  };
  for (const auto &r : rows) {
    SCOPED_TRACE(std::string(r.camera) + " " + std::string(r.name, r.name + std::char_traits<char16_t>::length(r.name)));
    camera(r.camera);
    device::setCameraPower(r.power);
    EXPECT_EQ(openError(r.name), r.error);
  }
}

TEST_F(Devices, SharingAndClosing) {
  camera("lcm");
  device::setCameraPower(true);
  HANDLE lcm = open(u"LCM1:");
  ASSERT_NE(lcm, INVALID_HANDLE_VALUE);
  EXPECT_EQ(openError(u"LCM1:", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE), DWORD(ERROR_SHARING_VIOLATION));
  EXPECT_TRUE(CloseHandle(lcm));
  EXPECT_FALSE(CloseHandle(lcm));
  EXPECT_EQ(openError(u"LCM1:"), 0u);

  camera("dsc");
  const DWORD rw = GENERIC_READ | GENERIC_WRITE, both = FILE_SHARE_READ | FILE_SHARE_WRITE;
  HANDLE dsc = open(u"DSC1:", rw, both);
  ASSERT_NE(dsc, INVALID_HANDLE_VALUE);
  EXPECT_EQ(openError(u"DSC1:", rw, both), 0u);
  EXPECT_EQ(openError(u"DSC1:", rw, 0), DWORD(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(openError(u"DSC1:", rw, FILE_SHARE_READ), DWORD(ERROR_SHARING_VIOLATION));
  EXPECT_TRUE(CloseHandle(dsc));
  EXPECT_EQ(openError(u"DSC1:", rw, 0), 0u);
}

TEST_F(Devices, KernelIoControlSwitchesTheCameraPowerOnlyWhereItExists) {
  camera("lcm");
  EXPECT_TRUE(KernelIoControl(IOCTL_HAL_CAMERA_POWER_ON, nullptr, 0, nullptr, 0, nullptr));
  EXPECT_TRUE(device::cameraPowered());
  EXPECT_TRUE(KernelIoControl(IOCTL_HAL_CAMERA_POWER_OFF, nullptr, 0, nullptr, 0, nullptr));
  EXPECT_FALSE(device::cameraPowered());
  camera("dsc");
  EXPECT_FALSE(KernelIoControl(IOCTL_HAL_CAMERA_POWER_ON, nullptr, 0, nullptr, 0, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_SUPPORTED));
  EXPECT_FALSE(device::cameraPowered());
}

// Fetches until a frame comes (in kernel mode) or the deadline passes; the frame's address.
uint8_t *fetchFrame(HANDLE lcm, std::vector<uint8_t> &answer) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    DWORD returned = 0;
    if (!DeviceIoControl(lcm, IOCTL_LCM_GET_FRAME, nullptr, 0, answer.data(), DWORD(answer.size()), &returned, nullptr))
      return nullptr;
    uint8_t *address = nullptr;
    std::memcpy(&address, answer.data(), sizeof address);
    if (address) {
      EXPECT_EQ(returned, sizeof(void *));
      return address;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return nullptr;
}

TEST_F(Devices, TheLcmDriverHandsFramesOnlyToAThreadInKernelMode) {
  camera("lcm");
  device::setCameraPower(true);
  HANDLE lcm = open(u"LCM1:");
  ASSERT_NE(lcm, INVALID_HANDLE_VALUE);
  DWORD word = 7, returned = 0;
  ASSERT_TRUE(DeviceIoControl(lcm, IOCTL_LCM_INITIALIZE, nullptr, 0, &word, sizeof word, &returned, nullptr));
  EXPECT_EQ(word, 0u);
  EXPECT_EQ(returned, 4u);
  LCM_STREAM stream{};
  stream.dwExposure = 2;
  stream.dwCaptureWidth = 320, stream.dwCaptureHeight = 240;
  stream.dwCropRight = 319, stream.dwCropBottom = 239;
  ASSERT_TRUE(DeviceIoControl(lcm, IOCTL_LCM_START, &stream, sizeof stream, nullptr, 0, nullptr, nullptr));

  std::vector<uint8_t> answer(320 * 240 * 2);
  const BOOL previous = SetKMode(FALSE);
  EXPECT_EQ(fetchFrame(lcm, answer), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  // The mode belongs to the thread: another thread's kernel mode does not count here.
  std::thread([] { SetKMode(TRUE); }).join();
  EXPECT_EQ(fetchFrame(lcm, answer), nullptr);
  SetKMode(TRUE);
  uint8_t *frame = fetchFrame(lcm, answer);
  ASSERT_NE(frame, nullptr);
  EXPECT_GE(frame[1], 16) << "a UYVY frame from the sensor: luma in the studio range";
  // The frame is the caller's until released.
  EXPECT_EQ(fetchFrame(lcm, answer), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_FUNCTION));
  EXPECT_TRUE(DeviceIoControl(lcm, IOCTL_LCM_RELEASE_FRAME, nullptr, 0, nullptr, 0, nullptr, nullptr));

  const struct {
    const char *what;
    DWORD outSize;
    bool overlapped;
    DWORD error;
  } refused[] = {
      {"an answer shorter than an address", 4, false, ERROR_INSUFFICIENT_BUFFER},
      {"an overlapped request", DWORD(answer.size()), true, ERROR_NOT_SUPPORTED},
  };
  for (const auto &r : refused) {
    OVERLAPPED o{};
    EXPECT_FALSE(DeviceIoControl(lcm, IOCTL_LCM_GET_FRAME, nullptr, 0, answer.data(), r.outSize, &returned,
                                 r.overlapped ? &o : nullptr))
        << r.what;
    EXPECT_EQ(GetLastError(), r.error) << r.what;
  }
  EXPECT_FALSE(DeviceIoControl(lcm, 0x90002FFC, nullptr, 0, nullptr, 0, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_FUNCTION));
  SetKMode(previous);
  EXPECT_TRUE(CloseHandle(lcm));
  EXPECT_FALSE(DeviceIoControl(lcm, IOCTL_LCM_STOP, nullptr, 0, nullptr, 0, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

// One step of a DSC set-up: a short command "c13/4", a size command "s1"/"s2" (640 × 480 with a
// 320 × 240 crop), "start" or "stop".
bool dscRequest(HANDLE dsc, const std::string &step, std::vector<uint8_t> &frame) {
  DSC_COMMAND c{};
  c.bFixed = DSC_COMMAND_FIXED;
  c.bSizeCode = DSC_SIZE_640x480;
  c.bCropHeight = 240 % 256, c.bCropWidth = 320 % 256;
  c.pFrame = frame.data();
  c.dwFrameBytes = DWORD(frame.size());
  c.dwFormat = 0x59565955;
  if (step == "start") return DeviceIoControl(dsc, IOCTL_DSC_START, nullptr, 0, nullptr, 0, nullptr, nullptr);
  if (step == "stop") return DeviceIoControl(dsc, IOCTL_DSC_STOP, nullptr, 0, nullptr, 0, nullptr, nullptr);
  unsigned command = 0, argument = 1;
  const bool size = step[0] == 's';
  std::sscanf(step.c_str() + 1, "%u/%u", &command, &argument);
  c.bCommand = BYTE(command), c.bArgument = BYTE(argument);
  return DeviceIoControl(dsc, IOCTL_DSC_COMMAND, &c, size ? sizeof c : DSC_SHORT_COMMAND_BYTES, nullptr, 0, nullptr,
                         nullptr);
}

TEST_F(Devices, TheDscDriverRefusesFramesAfterAWrongSetUp) {
  const struct {
    std::vector<std::string> steps;
    bool frames;
    const char *complaint;  // on stderr; null: none
  } rows[] = {
      {{"c13/4", "c14/0", "stop", "s1", "c16/100", "start", "s2"}, true, nullptr},
      {{"c13/4", "c14/0", "stop", "s1", "start", "c16/100", "s2"}, false,
       "start out of order (expected command 16 with 100)"},
      {{"c13/4", "c14/1", "stop", "s1", "c16/100", "start", "s2"}, false, "command 14 with 1 (8 bytes) out of order"},
      {{"c13/4", "c14/0", "stop", "s2", "c16/100", "start", "s1"}, false, "command 2 with 1 ("},
      {{"c13/4", "c14/0", "stop", "s1", "c16/100", "start"}, false, nullptr},  // not finished
      // A wrong set-up is forgotten once a new one begins.
      {{"c14/0", "c13/4", "c14/0", "stop", "s1", "c16/100", "start", "s2"}, true, "command 14 with 0 (8 bytes) out of order"},
  };
  camera("dsc");
  std::vector<uint8_t> frame(320 * 240 * 2);
  for (const auto &r : rows) {
    std::string trace;
    for (const std::string &s : r.steps) trace += s + " ";
    SCOPED_TRACE(trace);
    HANDLE dsc = open(u"DSC1:", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_NE(dsc, INVALID_HANDLE_VALUE);
    testing::internal::CaptureStderr();
    for (const std::string &s : r.steps) dscRequest(dsc, s, frame);
    frame.assign(frame.size(), 0);
    const BOOL read = DeviceIoControl(dsc, IOCTL_DSC_READ_FRAME, frame.data(), DWORD(frame.size()), nullptr, 0,
                                      nullptr, nullptr);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(read != FALSE, r.frames);
    if (read) {
      EXPECT_GE(frame[1], 16) << "the frame was copied into the buffer";
    } else {
      EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_READY));
    }
    if (r.complaint) {
      EXPECT_NE(err.find(r.complaint), std::string::npos) << err;
    } else {
      EXPECT_EQ(err, "");
    }
    EXPECT_TRUE(CloseHandle(dsc));
  }
}

}  // namespace
