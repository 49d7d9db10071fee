// Waveform audio input (waveIn): the handset's microphone as a queue of caller buffers that
// the driver fills in order and hands back through a callback.
#pragma once

#include <windef.h>

#include <cstddef>

typedef UINT MMRESULT;

#define MMSYSERR_NOERROR 0
#define MMSYSERR_ERROR 1
#define MMSYSERR_BADDEVICEID 2
#define MMSYSERR_NOTENABLED 3
#define MMSYSERR_ALLOCATED 4
#define MMSYSERR_INVALHANDLE 5
#define MMSYSERR_NODRIVER 6
#define MMSYSERR_NOMEM 7
#define MMSYSERR_NOTSUPPORTED 8
#define MMSYSERR_INVALFLAG 10
#define MMSYSERR_INVALPARAM 11
#define WAVERR_BADFORMAT 32
#define WAVERR_STILLPLAYING 33
#define WAVERR_UNPREPARED 34

#define WAVE_MAPPER ((UINT)-1)
#define WAVE_FORMAT_PCM 1

// waveInOpen flags: how the driver reports filled buffers, and a format query.
#define CALLBACK_TYPEMASK 0x00070000
#define CALLBACK_NULL 0x00000000
#define CALLBACK_WINDOW 0x00010000
#define CALLBACK_THREAD 0x00020000
#define CALLBACK_FUNCTION 0x00030000
#define CALLBACK_EVENT 0x00050000
#define WAVE_FORMAT_QUERY 0x0001

// Messages of the input callback.
#define MM_WIM_OPEN 0x3BE
#define MM_WIM_CLOSE 0x3BF
#define MM_WIM_DATA 0x3C0
#define WIM_OPEN MM_WIM_OPEN
#define WIM_CLOSE MM_WIM_CLOSE
#define WIM_DATA MM_WIM_DATA

// WAVEHDR flags.
#define WHDR_DONE 0x00000001
#define WHDR_PREPARED 0x00000002
#define WHDR_BEGINLOOP 0x00000004
#define WHDR_ENDLOOP 0x00000008
#define WHDR_INQUEUE 0x00000010

DECLARE_HANDLE(HWAVEIN);
typedef HWAVEIN *LPHWAVEIN;

#pragma pack(push, 1)
typedef struct tWAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;
} WAVEFORMATEX, *PWAVEFORMATEX, *LPWAVEFORMATEX;
#pragma pack(pop)
typedef const WAVEFORMATEX *LPCWAVEFORMATEX;
static_assert(sizeof(WAVEFORMATEX) == 18);
static_assert(offsetof(WAVEFORMATEX, nBlockAlign) == 12 && offsetof(WAVEFORMATEX, cbSize) == 16);

typedef struct wavehdr_tag {
  LPSTR lpData;
  DWORD dwBufferLength;
  DWORD dwBytesRecorded;
  DWORD_PTR dwUser;
  DWORD dwFlags;
  DWORD dwLoops;
  struct wavehdr_tag *lpNext;
  DWORD_PTR reserved;
} WAVEHDR, *PWAVEHDR, *LPWAVEHDR;
static_assert(offsetof(WAVEHDR, dwBufferLength) == sizeof(void *));
static_assert(offsetof(WAVEHDR, lpNext) == 2 * sizeof(void *) + 16);

// The function of CALLBACK_FUNCTION: (device, message, instance, param1 = the WAVEHDR for
// WIM_DATA, param2). It runs on a thread of the driver and must not call waveIn functions.
typedef void(CALLBACK *WAVEINPROC)(HWAVEIN device, UINT message, DWORD_PTR instance,
                                     DWORD_PTR param1, DWORD_PTR param2);

extern "C" {
UINT WINAPI waveInGetNumDevs(void);
MMRESULT WINAPI waveInOpen(LPHWAVEIN device, UINT deviceId, LPCWAVEFORMATEX format,
                           DWORD_PTR callback, DWORD_PTR instance, DWORD flags);
MMRESULT WINAPI waveInClose(HWAVEIN device);
MMRESULT WINAPI waveInPrepareHeader(HWAVEIN device, LPWAVEHDR header, UINT headerSize);
MMRESULT WINAPI waveInUnprepareHeader(HWAVEIN device, LPWAVEHDR header, UINT headerSize);
MMRESULT WINAPI waveInAddBuffer(HWAVEIN device, LPWAVEHDR header, UINT headerSize);
MMRESULT WINAPI waveInStart(HWAVEIN device);
MMRESULT WINAPI waveInStop(HWAVEIN device);
MMRESULT WINAPI waveInReset(HWAVEIN device);
}
