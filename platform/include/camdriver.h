// The camera drivers of the handsets that reach their camera directly, "LCM1:" and "DSC1:": their
// request codes (DeviceIoControl) and records. Pointers in the records are native pointers (a
// 32-bit word on the handset).
#pragma once

#include <windows.h>

#include <stddef.h>

// ---- "LCM1:". Open it after KernelIoControl(IOCTL_HAL_CAMERA_POWER_ON); frames are addresses in
// the driver's frame memory, which only a thread in kernel mode (SetKMode) may be given.
#define IOCTL_LCM_INITIALIZE 0x90002004    // out: a DWORD, 0 when the camera is ready
#define IOCTL_LCM_DEINITIALIZE 0x90002008
#define IOCTL_LCM_START 0x9000200C         // in: LCM_STREAM
#define IOCTL_LCM_STOP 0x90002010
#define IOCTL_LCM_SET_PROPERTY 0x90002014  // in: {id, value}
#define IOCTL_LCM_GET_PROPERTY 0x90002018  // in: id; out: a DWORD
// out: the address of the next frame, a pointer-sized word at the start of the buffer (at least
// that large); 0 while no frame is ready. The frame stays the caller's until IOCTL_LCM_RELEASE_FRAME.
#define IOCTL_LCM_GET_FRAME 0x9000201C
#define IOCTL_LCM_REGISTER 0x90002020      // in: LCM_REGISTER; out (read): a WORD
#define IOCTL_LCM_FLASH 0x90002024         // in: LCM_FLASH_ON or LCM_FLASH_OFF
#define IOCTL_LCM_RELEASE_FRAME 0x90002028  // the frame last fetched may be reused

#define LCM_FLASH_ON 3
#define LCM_FLASH_OFF 4

// The stream record: the driver reads the exposure, the capture size and the crop rectangle
// (edges included); it delivers the crop in UYVY.
typedef struct LCM_STREAM {
  DWORD dwExposure;  // 2 automatic, 4 locked, 6 long; one less: the flash fires
  DWORD dwCaptureWidth;
  DWORD dwCaptureHeight;
  DWORD dwCropLeft;
  DWORD dwCropTop;
  DWORD dwCropRight;
  DWORD dwCropBottom;
  DWORD dwReserved[5];
  BYTE bReserved[4];
  LPVOID pReserved;
  DWORD dwKind;
  DWORD dwCropLeft2;
  DWORD dwCropTop2;
  DWORD dwCropRight2;
  DWORD dwCropBottom2;
} LCM_STREAM;

// A register request: dwWrite 0 reads register dwRegister (its value comes back as a WORD);
// dwWrite 1 writes bValue into bRegister.
typedef struct LCM_REGISTER {
  DWORD dwWrite;
  union {
    DWORD dwRegister;
    struct {
      BYTE bRegister;
      BYTE bValue;
      BYTE bReserved[2];
    } write;
  };
} LCM_REGISTER;
static_assert(sizeof(LCM_REGISTER) == 8);

// ---- "DSC1:". Start a stream with this sequence of IOCTL_DSC_COMMAND requests (the driver refuses
// frames after any other order): DSC_CMD_SENSOR_MODE with 4, DSC_CMD_MIRROR with 0, then
// IOCTL_DSC_STOP, DSC_CMD_SIZE_PREPARE (the whole record), DSC_CMD_QUALITY with 100,
// IOCTL_DSC_START, DSC_CMD_SIZE_COMMIT (the whole record).
#define IOCTL_DSC_GET_PROPERTY 1  // in: {id, 0}; the driver writes the value into the second word
#define IOCTL_DSC_COMMAND 2       // in: the first 8 bytes of a DSC_COMMAND, the whole record, or {id, value}
#define IOCTL_DSC_READ_FRAME 4    // in: the frame buffer, its length the frame's bytes; waits for the next frame
#define IOCTL_DSC_START 5
#define IOCTL_DSC_STOP 6

#define DSC_CMD_SIZE_PREPARE 1
#define DSC_CMD_SIZE_COMMIT 2
#define DSC_CMD_SENSOR_MODE 13
#define DSC_CMD_MIRROR 14
#define DSC_CMD_QUALITY 16
#define DSC_COMMAND_FIXED 2  // bFixed of every command

// bSizeCode: the capture mode.
#define DSC_SIZE_NONE 0
#define DSC_SIZE_160x120 1
#define DSC_SIZE_320x240 2
#define DSC_SIZE_640x480 3
#define DSC_SIZE_1280x960 4
#define DSC_SIZE_88x72 5
#define DSC_SIZE_176x144 7
#define DSC_SIZE_352x288 8

// A command. Short commands are its first 8 bytes; the size commands carry the whole record, whose
// crop bytes hold the crop's size modulo 256 and whose tail names the caller's frame.
typedef struct DSC_COMMAND {
  BYTE bCommand;
  BYTE bArgument;
  BYTE bSizeCode;
  BYTE bFixed;
  BYTE bCropHeight;  // low 8 bits
  BYTE bCropWidth;   // low 8 bits
  BYTE bReserved[6];
  LPVOID pFrame;
  DWORD dwFrameBytes;
  DWORD dwFormat;  // "UYVY"
} DSC_COMMAND;
#define DSC_SHORT_COMMAND_BYTES 8
static_assert(offsetof(DSC_COMMAND, bCropWidth) == 5 && offsetof(DSC_COMMAND, pFrame) == (sizeof(void *) == 8 ? 16 : 12));
static_assert(sizeof(DSC_COMMAND) == (sizeof(void *) == 8 ? 32 : 24));
