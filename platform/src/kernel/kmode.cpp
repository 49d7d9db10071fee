// SetKMode: a mode per thread. The emulated handset keeps no protection between the modes; a
// driver that hands out kernel addresses (the LCM1: camera's frames) asks for it.
#include <windows.h>

#include "kernel/kmode.h"

namespace platform {
namespace {

thread_local BOOL kernelMode = FALSE;

}  // namespace

bool threadInKernelMode() { return kernelMode != FALSE; }

}  // namespace platform

extern "C" BOOL WINAPI SetKMode(BOOL mode) {
  const BOOL previous = platform::kernelMode;
  platform::kernelMode = mode ? TRUE : FALSE;
  return previous;
}
