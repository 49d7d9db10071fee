// The shell's ShellExecuteEx: opens a file with what the handset associates with it, or starts
// a program.
#pragma once

#include <windows.h>

#define SEE_MASK_NOCLOSEPROCESS 0x00000040u  // hProcess receives a handle to a started program
#define SEE_MASK_FLAG_NO_UI 0x00000400u

// hInstApp after a successful call (values above 32 mean success).
#define SE_ERR_SUCCESS 33
#define SE_ERR_FNF 2
#define SE_ERR_NOASSOC 31

typedef struct _SHELLEXECUTEINFO {
  DWORD cbSize;  // sizeof(SHELLEXECUTEINFO)
  ULONG fMask;
  HWND hwnd;
  LPCWSTR lpVerb;        // null or "open": the default action
  LPCWSTR lpFile;        // a handset path
  LPCWSTR lpParameters;  // the command line of a program that is started
  LPCWSTR lpDirectory;
  int nShow;
  HINSTANCE hInstApp;
  LPVOID lpIDList;
  LPCWSTR lpClass;
  HKEY hkeyClass;
  DWORD dwHotKey;
  HANDLE hIcon;
  HANDLE hProcess;
} SHELLEXECUTEINFO, *LPSHELLEXECUTEINFO;

extern "C" {

// A program (a file named *.exe) is started with lpParameters as its command line; any other
// file is opened with the handset's viewer, which comes to the front: the calling program
// loses activation. FALSE with the last error set when the file does not exist
// (ERROR_FILE_NOT_FOUND), nothing opens it (ERROR_NO_ASSOCIATION) or the verb is not "open".
BOOL WINAPI ShellExecuteEx(LPSHELLEXECUTEINFO info);

}  // extern "C"
