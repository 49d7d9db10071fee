// The registry of the Windows CE SDK. On this host the handset's registry is kept in the device
// root as a text file in the .reg format; every change is written through at once.
#pragma once

#include <windef.h>
#include <winerror.h>

#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)0x80000000)
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)0x80000001)
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)0x80000002)
#define HKEY_USERS ((HKEY)(ULONG_PTR)0x80000003)

typedef DWORD REGSAM;

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_NOTIFY 0x0010
#define KEY_CREATE_LINK 0x0020
#define KEY_READ 0x00020019
#define KEY_WRITE 0x00020006
#define KEY_EXECUTE KEY_READ
#define KEY_ALL_ACCESS 0x000F003F

#define REG_OPTION_RESERVED 0x00000000
#define REG_OPTION_NON_VOLATILE 0x00000000
#define REG_OPTION_VOLATILE 0x00000001
#define REG_OPTION_CREATE_LINK 0x00000002
#define REG_OPTION_BACKUP_RESTORE 0x00000004

#define REG_CREATED_NEW_KEY 0x00000001
#define REG_OPENED_EXISTING_KEY 0x00000002

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_DWORD_LITTLE_ENDIAN 4
#define REG_DWORD_BIG_ENDIAN 5
#define REG_LINK 6
#define REG_MULTI_SZ 7

struct _SECURITY_ATTRIBUTES;

// As on Windows CE, access masks and options are accepted and not enforced.
extern "C" {
LONG WINAPI RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired, PHKEY result);
LONG WINAPI RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                            REGSAM desired, struct _SECURITY_ATTRIBUTES *security, PHKEY result,
                            LPDWORD disposition);
LONG WINAPI RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                             LPDWORD dataSize);
LONG WINAPI RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE *data,
                           DWORD dataSize);
LONG WINAPI RegDeleteValueW(HKEY key, LPCWSTR valueName);
LONG WINAPI RegCloseKey(HKEY key);
}
