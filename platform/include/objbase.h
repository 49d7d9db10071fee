// COM of the handset: per-thread initialisation, in-process servers found under
// HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32 (default value: the library's path), the task
// allocator and GUID text.
//
// What a caller may rely on: only creating objects (CoCreateInstance, CoGetClassObject) needs
// CoInitializeEx on the calling thread; methods of existing objects work from any thread (every
// object here is free-threaded). A server library stays loaded until the process ends.
#pragma once

#include <ocidl.h>
#include <oleauto.h>
#include <unknwn.h>

typedef enum tagCOINIT {
  COINIT_MULTITHREADED = 0x0,
  COINIT_APARTMENTTHREADED = 0x2,
  COINIT_DISABLE_OLE1DDE = 0x4,
  COINIT_SPEED_OVER_MEMORY = 0x8
} COINIT;

typedef enum tagCLSCTX {
  CLSCTX_INPROC_SERVER = 0x1,
  CLSCTX_INPROC_HANDLER = 0x2,
  CLSCTX_LOCAL_SERVER = 0x4,
  CLSCTX_INPROC_SERVER16 = 0x8,
  CLSCTX_REMOTE_SERVER = 0x10
} CLSCTX;
#define CLSCTX_INPROC (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)
#define CLSCTX_SERVER (CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)
#define CLSCTX_ALL (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)

#define CO_E_NOTINITIALIZED ((HRESULT)0x800401F0L)
#define CO_E_ALREADYINITIALIZED ((HRESULT)0x800401F1L)
#define RPC_E_CHANGED_MODE ((HRESULT)0x80010106L)
#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110L)
#define CLASS_E_CLASSNOTAVAILABLE ((HRESULT)0x80040111L)
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154L)
#define CO_E_DLLNOTFOUND ((HRESULT)0x800401F8L)
#define CO_E_ERRORINDLL ((HRESULT)0x800401F9L)

typedef HRESULT(STDAPICALLTYPE *LPFNGETCLASSOBJECT)(REFCLSID clsid, REFIID riid, void **ppv);
typedef HRESULT(STDAPICALLTYPE *LPFNCANUNLOADNOW)(void);

extern "C" {
// reserved must be null. The first call on a thread gives S_OK, later ones with the same model
// S_FALSE (each of them is balanced by one CoUninitialize), another model RPC_E_CHANGED_MODE.
HRESULT WINAPI CoInitializeEx(LPVOID reserved, DWORD flags);
void WINAPI CoUninitialize(void);

// Contexts without CLSCTX_INPROC_SERVER give E_NOTIMPL (only in-process servers exist);
// serverInfo must be null. CO_E_NOTINITIALIZED on a thread without CoInitializeEx.
HRESULT WINAPI CoGetClassObject(REFCLSID clsid, DWORD context, LPVOID serverInfo, REFIID riid, LPVOID *ppv);
HRESULT WINAPI CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID riid, LPVOID *ppv);

// Work without CoInitializeEx.
LPVOID WINAPI CoTaskMemAlloc(SIZE_T size);
LPVOID WINAPI CoTaskMemRealloc(LPVOID block, SIZE_T size);
void WINAPI CoTaskMemFree(LPVOID block);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}": the characters written with the terminator (39), 0
// when the buffer is too small.
int WINAPI StringFromGUID2(REFGUID guid, LPOLESTR text, int size);
// The reverse; E_INVALIDARG for text of another form (CO_E_CLASSSTRING on the handset).
HRESULT WINAPI CLSIDFromString(LPCOLESTR text, LPCLSID clsid);
}
