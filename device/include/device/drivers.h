// The handset's device drivers that programs open by name ("LCM1:", "DSC1:"), and the camera power
// the OEM layer switches. The platform's CreateFileW, DeviceIoControl and KernelIoControl hand
// their calls on to these; this is the device's control API, product code never includes it.
//
// The camera drivers (device/profiles/README.md, `camera = lcm` / `camera = dsc`) read the
// handset's one sensor (device/camera.h). Faults (HANDSET_FAULTS): lcm-init-silent (the
// initialising request is not answered), lcm-no-frame (a stream's fetches find no frame for its
// first half second), dsc-read-fails (every frame read of a stream after its first fails).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace device {

// Why a driver refused; the platform turns it into the caller's last error.
enum class IoStatus {
  ok,
  noDevice,      // the handset has no driver of that name
  sharing,       // open already, and the two opens do not share
  notReady,      // the hardware is off or not set up for the request
  accessDenied,  // the calling thread may not be given the answer (kernel mode)
  badRequest,    // an unknown code, or a request out of order
  badParameter,  // a malformed input
  smallBuffer,   // the output buffer cannot hold the answer
  timeout,       // the hardware did not answer
};

struct IoRequest {
  uint32_t code;
  void *in;  // some requests (a DSC frame read) fill the input buffer
  size_t inSize;
  void *out;
  size_t outSize;
  size_t returned = 0;     // bytes written into out
  bool kernelMode = false;  // the calling thread runs in kernel mode
};

// One open of a driver; destroying it closes it.
class DriverHandle {
 public:
  virtual ~DriverHandle() = default;
  // May block (a frame read waits for the next frame); safe to call from several threads.
  virtual IoStatus control(IoRequest &request) = 0;
};

// CreateFileW's access and sharing bits.
constexpr uint32_t kDriverRead = 0x80000000u, kDriverWrite = 0x40000000u;
constexpr uint32_t kShareRead = 1, kShareWrite = 2;

// Opens the driver `name` (upper case, "LCM1:") as the current profile gives the handset.
IoStatus openDriver(const std::string &name, uint32_t access, uint32_t share, std::unique_ptr<DriverHandle> *handle);

// The camera's power (IOCTL_HAL_CAMERA_POWER_ON / _OFF): the LCM1: driver opens only while it is on.
void setCameraPower(bool on);
bool cameraPowered();
// Whether the OEM layer has the camera power switch (a handset with `camera = lcm`).
bool cameraPowerSwitch();

// The drivers' records as the handset lays them out (the platform checks them against its
// headers); a pointer is a native pointer.
struct LcmStreamRecord {
  uint32_t exposure, captureWidth, captureHeight, cropLeft, cropTop, cropRight, cropBottom;
  uint32_t reserved[5];
  uint8_t reservedBytes[4];
  void *reservedPointer;
  uint32_t kind, cropLeft2, cropTop2, cropRight2, cropBottom2;
};
struct DscCommandRecord {
  uint8_t command, argument, sizeCode, fixed, cropHeight, cropWidth, reserved[6];
  void *frame;
  uint32_t frameBytes, format;
};
constexpr size_t kDscShortCommand = 8;

}  // namespace device
