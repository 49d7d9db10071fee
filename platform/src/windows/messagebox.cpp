// MessageBoxW without a screen to show it on: the caption and the text go to standard output
// and the box is answered at once with its default button.
#include <cstdio>

#include "crt/text.h"
#include <windows.h>

namespace platform {
namespace {

// The buttons of each box type, left to right.
struct Buttons {
  int ids[3];
  int count;
};

constexpr Buttons kButtons[] = {
    {{IDOK}, 1},                      // MB_OK
    {{IDOK, IDCANCEL}, 2},            // MB_OKCANCEL
    {{IDABORT, IDRETRY, IDIGNORE}, 3},  // MB_ABORTRETRYIGNORE
    {{IDYES, IDNO, IDCANCEL}, 3},     // MB_YESNOCANCEL
    {{IDYES, IDNO}, 2},               // MB_YESNO
    {{IDRETRY, IDCANCEL}, 2},         // MB_RETRYCANCEL
};

}  // namespace
}  // namespace platform

using namespace platform;

extern "C" int WINAPI MessageBoxW(HWND, LPCWSTR text, LPCWSTR caption, UINT type) {
  UINT kind = type & MB_TYPEMASK;
  if (kind >= sizeof(kButtons) / sizeof(kButtons[0])) return 0;
  const Buttons &buttons = kButtons[kind];
  int chosen = static_cast<int>((type & MB_DEFMASK) >> 8);
  if (chosen >= buttons.count) chosen = 0;
  std::printf("MessageBox \"%s\": %s\n", toUtf8(caption ? caption : u"Error").c_str(),
              toUtf8(text ? text : u"").c_str());
  std::fflush(stdout);
  return buttons.ids[chosen];
}
