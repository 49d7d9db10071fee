// Cursors: the system's shapes and the one shown over the screen. Included from winuser.h.
#pragma once

#include <windef.h>

// The system cursors LoadCursorW gives with a null instance.
#define IDC_ARROW ((LPWSTR)((ULONG_PTR)((WORD)32512)))
#define IDC_WAIT ((LPWSTR)((ULONG_PTR)((WORD)32514)))

extern "C" {

// A system cursor (instance NULL, name IDC_*); NULL for anything else, as no module here
// carries cursor resources.
HCURSOR WINAPI LoadCursorW(HINSTANCE instance, LPCWSTR name);
// Shows the cursor (NULL: none) and returns the one shown before.
HCURSOR WINAPI SetCursor(HCURSOR cursor);
HCURSOR WINAPI GetCursor(void);

}  // extern "C"

#define LoadCursor LoadCursorW
