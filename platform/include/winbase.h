// Kernel, module and file calls of the Windows CE SDK (coredll), as this program uses them.
#pragma once

#include <windef.h>

// ---- Handles, waits and threads
#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)
#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu
#define STILL_ACTIVE 0x00000103u
#define MAXIMUM_WAIT_OBJECTS 64

// A recursive lock owned by one thread at a time. The fields are the handset's; hCrit holds the
// platform's lock.
typedef struct CRITICAL_SECTION {
  unsigned int LockCount;  // how often the owner has entered
  HANDLE OwnerThread;      // the owner's thread id, null when free
  HANDLE hCrit;
  DWORD needtrap;
  DWORD dwContentions;     // how often an Enter found it owned by another thread
} CRITICAL_SECTION, *LPCRITICAL_SECTION, *PCRITICAL_SECTION;

// The handset's eight thread priorities: 0 runs first, 7 last.
#define THREAD_PRIORITY_TIME_CRITICAL 0
#define THREAD_PRIORITY_HIGHEST 1
#define THREAD_PRIORITY_ABOVE_NORMAL 2
#define THREAD_PRIORITY_NORMAL 3
#define THREAD_PRIORITY_BELOW_NORMAL 4
#define THREAD_PRIORITY_LOWEST 5
#define THREAD_PRIORITY_ABOVE_IDLE 6
#define THREAD_PRIORITY_IDLE 7
#define THREAD_PRIORITY_ERROR_RETURN 0x7FFFFFFF

typedef struct _SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *PSECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

typedef struct _PROCESS_INFORMATION {
  HANDLE hProcess;
  HANDLE hThread;
  DWORD dwProcessId;
  DWORD dwThreadId;
} PROCESS_INFORMATION, *PPROCESS_INFORMATION, *LPPROCESS_INFORMATION;

// The handset takes no start-up information: CreateProcessW wants null.
typedef struct _STARTUPINFOW {
  DWORD cb;
} STARTUPINFOW, *LPSTARTUPINFOW;

typedef DWORD(WINAPI *PTHREAD_START_ROUTINE)(LPVOID parameter);
typedef PTHREAD_START_ROUTINE LPTHREAD_START_ROUTINE;

extern "C" {

DWORD WINAPI GetLastError(void);
void WINAPI SetLastError(DWORD error);

BOOL WINAPI CloseHandle(HANDLE object);

// Creation flags other than 0 are not supported (ERROR_NOT_SUPPORTED); the stack size is the host's.
HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES attributes, DWORD stackSize,
                           LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                           LPDWORD threadId);
// The priority is recorded (GetThreadPriority returns it); host scheduling is left alone.
BOOL WINAPI SetThreadPriority(HANDLE thread, int priority);
int WINAPI GetThreadPriority(HANDLE thread);
DWORD WINAPI GetCurrentThreadId(void);
// Cooperative: marks the thread, whose next WaitForSingleObject, WaitForMultipleObjects or Sleep
// ends it (the stack unwinds to the thread's start); a thread that never waits runs to its end.
// On the handset the thread ends wherever it is, at once. The handle stays
// valid until CloseHandle.
BOOL WINAPI TerminateThread(HANDLE thread, DWORD exitCode);
BOOL WINAPI GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
void WINAPI Sleep(DWORD milliseconds);

// Named events are shared by name within the process and with the handset's other programs;
// opening an existing name sets ERROR_ALREADY_EXISTS and ignores manualReset and initialState.
HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState,
                           LPCWSTR name);
// Waits on an event, a semaphore or a thread handle (signalled when the thread has ended).
DWORD WINAPI WaitForSingleObject(HANDLE object, DWORD milliseconds);
// WAIT_OBJECT_0 + the index of the lowest signalled object (waitAll FALSE; that object alone is
// taken), or WAIT_OBJECT_0 once all are signalled together (waitAll TRUE; all are taken).
// 1 to MAXIMUM_WAIT_OBJECTS valid handles, else WAIT_FAILED.
DWORD WINAPI WaitForMultipleObjects(DWORD count, const HANDLE *handles, BOOL waitAll, DWORD milliseconds);

// Unnamed only (a name fails with ERROR_NOT_SUPPORTED). 0 <= initialCount <= maximumCount, 0 < maximumCount.
HANDLE WINAPI CreateSemaphoreW(LPSECURITY_ATTRIBUTES attributes, LONG initialCount, LONG maximumCount,
                               LPCWSTR name);
// Fails, changing nothing, when the count would pass the maximum.
BOOL WINAPI ReleaseSemaphore(HANDLE semaphore, LONG releaseCount, LPLONG previousCount);

// Entering is not a wait point of the cooperative TerminateThread (see critsec.cpp).
void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION section);
void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION section);
void WINAPI EnterCriticalSection(LPCRITICAL_SECTION section);
BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION section);
void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION section);

// Starts the handset program in the file `image` (a handset path) with `commandLine` (without
// the program's name) as its command line. The arguments the handset does not support must be
// null or zero; the environment and working folder are this program's. `info` (may be null)
// receives the process handle, which WaitForSingleObject waits on until the program has ended,
// and a thread handle (closed at once by most callers; it is never signalled).
BOOL WINAPI CreateProcessW(LPCWSTR image, LPCWSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                           LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD flags,
                           LPVOID environment, LPWSTR currentDirectory, LPSTARTUPINFOW startup,
                           LPPROCESS_INFORMATION info);
// STILL_ACTIVE while the program runs.
BOOL WINAPI GetExitCodeProcess(HANDLE process, LPDWORD exitCode);

LONG WINAPI InterlockedIncrement(LONG volatile *addend);
LONG WINAPI InterlockedDecrement(LONG volatile *addend);
LONG WINAPI InterlockedExchange(LONG volatile *target, LONG value);
LONG WINAPI InterlockedExchangeAdd(LONG volatile *addend, LONG value);
LONG WINAPI InterlockedCompareExchange(LONG volatile *destination, LONG exchange, LONG comperand);

}  // extern "C"

// ---- Time
typedef struct _SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
} SYSTEMTIME, *PSYSTEMTIME, *LPSYSTEMTIME;
static_assert(sizeof(SYSTEMTIME) == 16);

extern "C" {
// Milliseconds since start, 32 bits: wraps after 49.7 days.
DWORD WINAPI GetTickCount(void);
void WINAPI GetLocalTime(LPSYSTEMTIME time);
void WINAPI SystemIdleTimerReset(void);
}

// ---- Version
#define VER_PLATFORM_WIN32_CE 3

typedef struct _OSVERSIONINFOW {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  WCHAR szCSDVersion[128];
} OSVERSIONINFOW, *POSVERSIONINFOW, *LPOSVERSIONINFOW, OSVERSIONINFO, *LPOSVERSIONINFO;
static_assert(sizeof(OSVERSIONINFOW) == 276);

// dwOSVersionInfoSize must be sizeof(OSVERSIONINFOW); fails on a handset that reports no version.
extern "C" BOOL WINAPI GetVersionExW(LPOSVERSIONINFOW info);

// ---- Modules
extern "C" {
// Only files named *.dll load. A name with a path is used as given; a bare name is looked for
// in the program's directory, then in "\Windows". A missing library fails with ERROR_MOD_NOT_FOUND.
HMODULE WINAPI LoadLibraryW(LPCWSTR fileName);
BOOL WINAPI FreeLibrary(HMODULE module);
FARPROC WINAPI GetProcAddressW(HMODULE module, LPCWSTR procName);
FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName);
HMODULE WINAPI GetModuleHandleW(LPCWSTR moduleName);
// The handset path of the module; NULL names the program ("\Program Files\Pelkavo\Pelkavo.exe").
DWORD WINAPI GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);
}

// ---- Files
#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_HIDDEN 0x00000002u
#define FILE_ATTRIBUTE_SYSTEM 0x00000004u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_ATTRIBUTE_TEMPORARY 0x00000100u
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu

typedef struct _WIN32_FIND_DATAW {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwOID;
  WCHAR cFileName[MAX_PATH];
} WIN32_FIND_DATAW, *PWIN32_FIND_DATAW, *LPWIN32_FIND_DATAW, WIN32_FIND_DATA, *LPWIN32_FIND_DATA;
static_assert(sizeof(WIN32_FIND_DATAW) == 560);

// Paths: one that starts with "\" is a handset path ("\My Documents\...", "\Storage Card\...",
// "\Windows\...", "\Program Files\Pelkavo\..."), found without regard to case; "//name" lies in
// the handset's root; any other is a host path. Both slashes separate components. "\Windows"
// holds the handset's system files and is read-only: creating, writing, deleting or renaming
// there fails with ERROR_ACCESS_DENIED. The emulator's own files in the root are no handset
// files: paths to them fail with ERROR_ACCESS_DENIED.
extern "C" {
BOOL WINAPI CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES attributes);
BOOL WINAPI DeleteFileW(LPCWSTR path);
BOOL WINAPI MoveFileW(LPCWSTR existing, LPCWSTR target);
DWORD WINAPI GetFileAttributesW(LPCWSTR path);
BOOL WINAPI GetDiskFreeSpaceExW(LPCWSTR directory, PULARGE_INTEGER freeToCaller,
                                PULARGE_INTEGER totalBytes, PULARGE_INTEGER totalFree);
BOOL WINAPI FindClose(HANDLE search);
}

// ---- Devices: drivers opened by name, and their requests.
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5

typedef struct _OVERLAPPED {
  ULONG_PTR Internal;
  ULONG_PTR InternalHigh;
  DWORD Offset;
  DWORD OffsetHigh;
  HANDLE hEvent;
} OVERLAPPED, *LPOVERLAPPED;

extern "C" {
// A device name, a prefix of three letters, an index digit and a colon ("LCM1:", compared without
// case), opens the handset's driver of that name; one the handset lacks fails with
// ERROR_FILE_NOT_FOUND, one the driver refuses with the driver's reason (ERROR_SHARING_VIOLATION
// when it is open already and either side shares nothing, ERROR_NOT_READY while its hardware is
// off). Only OPEN_EXISTING is taken for devices. The program reaches files through the runtime's
// calls: any other name fails with ERROR_NOT_SUPPORTED. CloseHandle closes the device.
HANDLE WINAPI CreateFileW(LPCWSTR fileName, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES attributes,
                          DWORD creation, DWORD flags, HANDLE templateFile);
// One request to an open device. Overlapped requests are not supported (ERROR_NOT_SUPPORTED).
// bytesReturned (may be null) receives what the driver wrote into the output buffer.
BOOL WINAPI DeviceIoControl(HANDLE device, DWORD ioControlCode, LPVOID inBuffer, DWORD inSize, LPVOID outBuffer,
                            DWORD outSize, LPDWORD bytesReturned, LPOVERLAPPED overlapped);
}

// ---- Device manager: the drivers the handset has loaded.
typedef struct _DEVMGR_DEVICE_INFORMATION {
  DWORD dwSize;  // set to sizeof before the call
  HANDLE hDevice;
  HANDLE hParentDevice;
  WCHAR szLegacyName[6];  // "CAM1:"
  WCHAR szDeviceKey[MAX_PATH];
  WCHAR szDeviceName[MAX_PATH];
  WCHAR szBusName[MAX_PATH];
} DEVMGR_DEVICE_INFORMATION, *PDEVMGR_DEVICE_INFORMATION;
static_assert(sizeof(DEVMGR_DEVICE_INFORMATION) == (sizeof(void *) == 8 ? 1600 : 1584));

typedef enum _DeviceSearchType {
  DeviceSearchByLegacyName,
  DeviceSearchByDeviceName,
  DeviceSearchByBusName,
  DeviceSearchByGuid,  // pvSearchParam: the device class GUID
  DeviceSearchByParent
} DeviceSearchType;

extern "C" {
// The first device that matches; INVALID_HANDLE_VALUE with ERROR_NO_MORE_ITEMS when none does.
// Name searches take the exact name (compared without case) or "*". dwSize must be at least
// sizeof(DEVMGR_DEVICE_INFORMATION) (ERROR_INVALID_PARAMETER). Close the search with FindClose.
HANDLE WINAPI FindFirstDevice(DeviceSearchType searchType, LPCVOID searchParam, PDEVMGR_DEVICE_INFORMATION info);
BOOL WINAPI FindNextDevice(HANDLE search, PDEVMGR_DEVICE_INFORMATION info);
}
