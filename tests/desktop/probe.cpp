// A small handset program for the desktop tests. "window TITLE" opens a full-screen window
// (one per title: a second start brings the first to the front and ends with 3), takes the
// display and the keys through GAPI and prints on stdout every key, tap and activation change
// it gets; each key fills the display with its colour, Escape closes the window, and the
// display is given up while the window is in the background. "find TITLE" brings a running
// window to the front (exit code 1) or finds none (0). "event NAME MS" opens the named
// auto-reset event, says whether it is "new" or "existed", waits up to MS for it ("signalled"
// or "timeout") and, with MS 0, sets it instead ("set"). Started with a switch ("-s"), as the
// launcher starts the camera program, it says "args" and its command line and opens the window
// "Pelkavo". The key 9 hands "\My Documents\shown.txt" to the shell ("open 1" when it was
// opened, "open 0" when not); the key 8 plays "\My Documents\beep.wav" ("sound 1" or "sound 0").
#include <gx.h>
#include <mmsystem.h>
#include <shellapi.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "probe.h"

namespace {

const char16_t kClass[] = u"DesktopProbe";

void say(const char *format, unsigned a, unsigned b = 0) {
  std::printf(format, a, b);
  std::printf("\n");
  std::fflush(stdout);
}

void fill(uint16_t colour) {
  auto *pixels = static_cast<uint16_t *>(GXBeginDraw());
  if (!pixels) return;
  GXDisplayProperties p = GXGetDisplayProperties();
  for (DWORD i = 0; i < p.cxWidth * p.cyHeight; ++i) pixels[i] = colour;
  GXEndDraw();
}

LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_KEYDOWN:
      say("key 0x%02X", static_cast<unsigned>(wParam));
      fill(probeColour(static_cast<int>(wParam)));
      if (wParam == VK_ESCAPE) DestroyWindow(window);
      if (wParam == '9') {
        SHELLEXECUTEINFO info{};
        info.cbSize = sizeof info;
        info.lpFile = u"\\My Documents\\shown.txt";
        say("open %u", ShellExecuteEx(&info));
      }
      if (wParam == '8') say("sound %u", PlaySoundW(u"\\My Documents\\beep.wav", nullptr, SND_FILENAME));
      return 0;
    case WM_LBUTTONDOWN:
      say("tap %u %u", LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_ACTIVATE:
      say("activate %u", LOWORD(wParam));
      // In the background the screen belongs to the shell, as for the camera program.
      if (LOWORD(wParam) == WA_INACTIVE)
        GXSuspend();
      else
        GXResume();
      return 0;
    case WM_DESTROY:
      std::puts("destroy");
      std::fflush(stdout);
      GXCloseInput();
      GXCloseDisplay();
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

int openWindow(const std::u16string &title, HINSTANCE instance) {
  if (HWND running = FindWindowW(kClass, title.c_str())) {
    SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(running) | 1));
    return 3;
  }
  WNDCLASSW wc{};
  wc.lpfnWndProc = procedure;
  wc.hInstance = instance;
  wc.lpszClassName = kClass;
  if (!RegisterClassW(&wc)) return 4;
  HWND window = CreateWindowExW(0, kClass, title.c_str(), WS_VISIBLE, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                                GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, instance, nullptr);
  if (!window || !GXOpenDisplay(window, GX_FULLSCREEN) || !GXOpenInput()) return 4;
  fill(0);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
  std::u16string line = commandLine ? commandLine : u"";
  size_t space = line.find(u' ');
  std::u16string mode = line.substr(0, space), title = space == std::u16string::npos ? u"Probe" : line.substr(space + 1);
  if (mode == u"window") return openWindow(title, instance);
  if (line.starts_with(u"-")) {
    std::printf("args %s\n", std::string(line.begin(), line.end()).c_str());
    std::fflush(stdout);
    return openWindow(u"Pelkavo", instance);
  }
  if (mode == u"find") {
    HWND running = FindWindowW(kClass, title.c_str());
    if (!running) return 0;
    return SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(running) | 1)) ? 1 : 5;
  }
  if (mode == u"event") {
    size_t gap = title.rfind(u' ');
    std::u16string name = title.substr(0, gap);
    DWORD ms = 0;
    for (char16_t c : title.substr(gap + 1)) ms = ms * 10 + (c - u'0');
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, name.c_str());
    if (!event) return 7;
    std::puts(GetLastError() == ERROR_ALREADY_EXISTS ? "existed" : "new");
    std::fflush(stdout);
    if (ms == 0) {
      EventModify(event, EVENT_SET);
      std::puts("set");
    } else {
      std::puts(WaitForSingleObject(event, ms) == WAIT_OBJECT_0 ? "signalled" : "timeout");
    }
    CloseHandle(event);
    return 0;
  }
  return 6;
}
