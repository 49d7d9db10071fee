// Virtual memory calls of Windows CE: reserving address space, mapping physical memory into it
// (VirtualCopy with PAGE_PHYSICAL), and the thread's kernel mode.
#pragma once

#include <windef.h>

#define MEM_COMMIT 0x00001000u
#define MEM_RESERVE 0x00002000u
#define MEM_DECOMMIT 0x00004000u
#define MEM_RELEASE 0x00008000u

#define PAGE_NOACCESS 0x01u
#define PAGE_READONLY 0x02u
#define PAGE_READWRITE 0x04u
#define PAGE_NOCACHE 0x200u
#define PAGE_PHYSICAL 0x400u

extern "C" {

// Reserves (MEM_RESERVE) or reserves and commits (MEM_COMMIT) size bytes, rounded up to pages.
// An address of NULL lets the system choose; committing pages of an earlier reservation is
// not supported (ERROR_NOT_SUPPORTED). A reservation starts inaccessible.
LPVOID WINAPI VirtualAlloc(LPVOID address, DWORD size, DWORD allocationType, DWORD protect);
// MEM_RELEASE with size 0 releases a whole reservation given by its start; MEM_DECOMMIT makes
// pages inaccessible again. Anything else fails with ERROR_INVALID_PARAMETER.
BOOL WINAPI VirtualFree(LPVOID address, DWORD size, DWORD freeType);
// Maps size bytes at source into the reservation at dest (which must lie inside one
// reservation and start on a page). With PAGE_PHYSICAL, source is a physical address divided
// by 256; the emulated handset's physical memory lies on page boundaries, and a range that is
// not entirely the handset's memory or devices fails with ERROR_INVALID_PARAMETER. Copying
// virtual addresses (no PAGE_PHYSICAL) is not supported (ERROR_NOT_SUPPORTED).
BOOL WINAPI VirtualCopy(LPVOID dest, LPVOID source, DWORD size, DWORD protect);
// Switches the calling thread into (TRUE) or out of kernel mode; returns the previous mode.
// The emulated handset keeps no protection between the modes: the mode is recorded per thread,
// and a driver that hands out kernel addresses refuses a thread in user mode.
BOOL WINAPI SetKMode(BOOL kernelMode);

}  // extern "C"
