// Kernel calls of Windows CE's platform kit: KernelIoControl and the processor description.
#pragma once

#include <windef.h>

#ifndef CTL_CODE
#define CTL_CODE(deviceType, function, method, access) \
  (((deviceType) << 16) | ((access) << 14) | ((function) << 2) | (method))
#endif
#ifndef METHOD_BUFFERED
#define METHOD_BUFFERED 0
#endif
#ifndef FILE_ANY_ACCESS
#define FILE_ANY_ACCESS 0
#endif
#ifndef FILE_DEVICE_HAL
#define FILE_DEVICE_HAL 0x00000101
#endif

#define IOCTL_PROCESSOR_INFORMATION CTL_CODE(FILE_DEVICE_HAL, 25, METHOD_BUFFERED, FILE_ANY_ACCESS)
// The OEM layer's camera power on the handsets whose camera sits behind the "LCM1:" driver,
// without buffers: on before the driver is opened, off after it is closed.
#define IOCTL_HAL_CAMERA_POWER_ON CTL_CODE(FILE_DEVICE_HAL, 3856, METHOD_BUFFERED, FILE_ANY_ACCESS)
#define IOCTL_HAL_CAMERA_POWER_OFF CTL_CODE(FILE_DEVICE_HAL, 3857, METHOD_BUFFERED, FILE_ANY_ACCESS)

typedef struct _PROCESSOR_INFO {
  WORD wVersion;
  WCHAR szProcessorCore[40];
  WORD wCoreRevision;
  WCHAR szProcessorName[40];
  WORD wProcessorRevision;
  WCHAR szCatalogNumber[100];
  WCHAR szVendor[100];
  DWORD dwInstructionSet;
  DWORD dwClockSpeed;
} PROCESSOR_INFO, *PPROCESSOR_INFO;

static_assert(sizeof(PROCESSOR_INFO) == 576, "the SDK's PROCESSOR_INFO");
static_assert(offsetof(PROCESSOR_INFO, szProcessorName) == 84 && offsetof(PROCESSOR_INFO, szVendor) == 366 &&
              offsetof(PROCESSOR_INFO, dwInstructionSet) == 568);
static_assert(IOCTL_PROCESSOR_INFORMATION == 0x01010064);
static_assert(IOCTL_HAL_CAMERA_POWER_ON == 0x01013C40 && IOCTL_HAL_CAMERA_POWER_OFF == 0x01013C44);

// Requests to the OEM layer. IOCTL_PROCESSOR_INFORMATION fills a PROCESSOR_INFO from the
// handset's processor; it fails with ERROR_NOT_SUPPORTED when the handset does not describe its
// processor and with ERROR_INSUFFICIENT_BUFFER when the output buffer is smaller than the record.
// IOCTL_HAL_CAMERA_POWER_ON / _OFF switch the camera of a handset with the "LCM1:" driver (other
// handsets: ERROR_NOT_SUPPORTED). Other codes fail with ERROR_NOT_SUPPORTED.
extern "C" BOOL WINAPI KernelIoControl(DWORD ioControlCode, LPVOID inBuffer, DWORD inSize, LPVOID outBuffer,
                                       DWORD outSize, LPDWORD bytesReturned);
