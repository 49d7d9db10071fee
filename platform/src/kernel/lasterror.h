// The calling thread's last error, and the host's errno translated into it.
#pragma once

#include <windows.h>

namespace platform {

// The Win32 error that stands for a host errno value.
DWORD win32ErrorFromErrno(int error);
// SetLastError(win32ErrorFromErrno(errno)).
void setLastErrorFromErrno();

}  // namespace platform
