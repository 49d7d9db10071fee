// The handset vendor's camera library ("HTCcamera.dll", on some models "HTCcamera1.dll"): its
// entry points, the stream record Camera_Begin reads and the recording record of its MPEG-4 and
// H.263 recorder. Pointers in the records are native pointers (a 32-bit word on the handset).
#pragma once

#include <windows.h>

#include <stddef.h>

// Called on the library's thread for every picture of a stream: the picture's bytes. The
// warm-up stream's callback is called the same way. The result is ignored.
typedef DWORD (*CAMERA_FRAME_PROC)(LPVOID data, DWORD bytes);
// Called on the library's thread while it records: the milliseconds recorded so far.
typedef void (*CAMERA_PROGRESS_PROC)(DWORD milliseconds);

// Stream kinds (dwKind).
#define CAMERA_STREAM_PREVIEW 0
#define CAMERA_STREAM_VIDEO 1   // pictures for the caller's own video file
#define CAMERA_STREAM_STILL 2
#define CAMERA_STREAM_RECORD 3  // the library records the file given by Camera_SetMpegInfoParam

// bWarmUp of a warm-up stream: the library runs its sensor through one small picture so that a
// stream above the sensor's native size can follow.
#define CAMERA_WARMUP_MARK0 240
#define CAMERA_WARMUP_MARK1 128
#define CAMERA_WARMUP_MARK2 128
#define CAMERA_WARMUP_MARK3 255

typedef struct CAMERA_STREAM {
  DWORD dwExposure;  // 2 automatic, 4 locked, 6 long; one less: the flash fires
  DWORD dwCaptureWidth;
  DWORD dwCaptureHeight;
  DWORD dwCropLeft;  // the delivered part of the capture picture, edges included
  DWORD dwCropTop;
  DWORD dwCropRight;
  DWORD dwCropBottom;
  DWORD dwReserved[3];
  DWORD dwDisplayBottom;
  DWORD dwDisplayRight;
  BYTE bWarmUp[4];
  CAMERA_FRAME_PROC pfnFrame;
  DWORD dwKind;  // CAMERA_STREAM_*
  DWORD dwCropLeft2;
  DWORD dwCropTop2;
  DWORD dwCropRight2;
  DWORD dwCropBottom2;
} CAMERA_STREAM;

// The recorder's record. A record whose first two words are 0 ends the recording and closes
// its file.
typedef struct CAMERA_MPEG_INFO {
  DWORD dwSizeLimit;  // bytes the file may grow to
  DWORD dwTimeScale;  // 100000
  char szName[100];   // the file, an 8-bit handset path
  DWORD dwSound;      // 1: record the microphone too
  DWORD dwReserved28;
  DWORD dwBitRate;    // bits per second of the video
  DWORD dwFramesPerSecond;
  DWORD dwReserved31;
  CAMERA_PROGRESS_PROC pfnProgress;
  DWORD dwReserved33;
  DWORD dwWidth;
  DWORD dwHeight;
} CAMERA_MPEG_INFO;

// Flash light codes of Camera_FlashLight.
#define CAMERA_FLASH_ON 3
#define CAMERA_FLASH_OFF 4

// Property ids of Camera_SetProperty / Camera_GetProperty. A value outside the model's range
// is refused.
#define CAMERA_PROP_ANTI_FLICKER 1  // 1 automatic, 2 50 Hz, 4 60 Hz
#define CAMERA_PROP_EFFECT 2        // 1 normal, 2 grey, 4 sepia, 8 negative
#define CAMERA_PROP_CONTRAST 4
#define CAMERA_PROP_BRIGHTNESS 5
#define CAMERA_PROP_SATURATION 6
#define CAMERA_PROP_SHARPNESS 7
#define CAMERA_PROP_GAMMA 8
#define CAMERA_PROP_HUE 9
#define CAMERA_PROP_LIGHT 10        // 1 automatic, 2 daylight, 4 cloudy, 8 tungsten, 16 fluorescent; 32 or 128 night
#define CAMERA_PROP_ZOOM 35         // 16 × the magnification: 16, 32, 64 or 128
#define CAMERA_PROP_JPEG_LEVEL 65   // compression of the camera's JPEG pictures: 1 (most) … 8 (least)
#define CAMERA_PROP_JPEG_THUMB 69
#define CAMERA_PROP_JPEG_MARKERS 75

#ifdef __cplusplus
extern "C" {
#endif

typedef DWORD (*PFN_Camera_Init)(DWORD *pMode, DWORD dwReserved, DWORD dwMode);
typedef DWORD (*PFN_Camera_Begin)(CAMERA_STREAM *pStream);
typedef DWORD (*PFN_Camera_End)(void);
typedef DWORD (*PFN_Camera_Deinit)(void);
typedef DWORD (*PFN_Camera_SetProperty)(DWORD dwId, DWORD dwValue);
typedef DWORD (*PFN_Camera_GetProperty)(DWORD dwId, DWORD *pValue);
typedef DWORD (*PFN_Camera_ReadRegister)(DWORD dwRegister, DWORD *pValue);
typedef DWORD (*PFN_Camera_WriteRegister)(DWORD dwRegister, DWORD dwValue);
typedef DWORD (*PFN_Camera_FlashLight)(DWORD dwCode, DWORD dwReserved);
typedef DWORD (*PFN_Camera_SetMpegInfoParam)(CAMERA_MPEG_INFO *pInfo, DWORD dwSound);
typedef DWORD (*PFN_Camera_GetYUV2JpegParam)(DWORD dwId, DWORD *pValue);
typedef DWORD (*PFN_Camera_SetYUV2JpegParam)(DWORD dwId, DWORD dwValue);

#ifdef __cplusplus
}
#endif
