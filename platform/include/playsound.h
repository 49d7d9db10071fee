// PlaySoundW: plays a WAV file, a WAV image in memory, or the system's default sound.
#pragma once

#include <windef.h>

#define SND_SYNC 0x00000000u       // return when the sound has ended
#define SND_ASYNC 0x00000001u      // return at once; the sound plays on
#define SND_NODEFAULT 0x00000002u  // no default sound when the one asked for cannot be played
#define SND_MEMORY 0x00000004u     // the "name" points at a WAV image in memory
#define SND_LOOP 0x00000008u       // repeat until stopped (with SND_ASYNC)
#define SND_NOSTOP 0x00000010u     // fail rather than stop a sound that is playing
#define SND_NOWAIT 0x00002000u
#define SND_ALIAS 0x00010000u
#define SND_ALIAS_ID 0x00110000u
#define SND_FILENAME 0x00020000u
#define SND_RESOURCE 0x00040004u

// A file name without a folder is looked for in "\Windows". A null sound stops the one that
// plays. TRUE when the sound asked for was played (or, asynchronously, started).
extern "C" BOOL WINAPI PlaySoundW(LPCWSTR sound, HMODULE module, DWORD flags);
