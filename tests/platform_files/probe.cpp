// A test library: says which copy it is, and reaches the platform the program uses.
#include <windows.h>

extern "C" __attribute__((visibility("default"))) int ProbeCopy() { return PROBE_COPY; }

// Sets the caller's last error: only one platform in the process means the caller sees it.
extern "C" __attribute__((visibility("default"))) void ProbeSetLastError(DWORD error) {
  SetLastError(error);
}
