// The handset's storage-card enumeration: each card appears as a folder in the root.
#pragma once

#include <windef.h>
#include <winbase.h>

extern "C" {
// The first card (its name in cFileName), or INVALID_HANDLE_VALUE with ERROR_NO_MORE_FILES when
// the handset has none. Close the search with FindClose.
HANDLE WINAPI FindFirstFlashCard(LPWIN32_FIND_DATAW findData);
// The next card; FALSE with ERROR_NO_MORE_FILES after the last.
BOOL WINAPI FindNextFlashCard(HANDLE search, LPWIN32_FIND_DATAW findData);
}
