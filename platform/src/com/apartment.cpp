// CoInitializeEx / CoUninitialize, counted per thread.
#include "com/apartment.h"

#include <objbase.h>

namespace platform::com {
namespace {

thread_local int count = 0;
thread_local DWORD model = 0;

}  // namespace

bool initialised() { return count > 0; }

}  // namespace platform::com

using namespace platform::com;

extern "C" HRESULT WINAPI CoInitializeEx(LPVOID reserved, DWORD flags) {
  if (reserved) return E_INVALIDARG;
  DWORD wanted = flags & COINIT_APARTMENTTHREADED;
  if (count > 0) {
    if (wanted != model) return RPC_E_CHANGED_MODE;
    ++count;
    return S_FALSE;
  }
  model = wanted;
  count = 1;
  return S_OK;
}

// A call without a matching CoInitializeEx does nothing.
extern "C" void WINAPI CoUninitialize(void) {
  if (count > 0) --count;
}
