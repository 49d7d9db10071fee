// Process entry of a handset program. The C++ runtime has already run the static
// initialisers; the arguments become one UTF-16 command line as the handset passes it
// (the program name not included), and WinMain's result is the exit code.
#include <windows.h>

#include <string>

#include "device/home_screen.h"
#include "platform/session.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show);

namespace {

// Decodes UTF-8 into UTF-16; a malformed byte stands for itself, as the handset's 8-bit
// conversion would read it.
void appendUtf16(std::u16string &out, const std::string &in) {
  for (size_t i = 0; i < in.size();) {
    unsigned char c = static_cast<unsigned char>(in[i]);
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
    bool ok = i + extra < in.size() && !(c >= 0x80 && c < 0xC0);
    for (int k = 1; ok && k <= extra; ++k) {
      unsigned char cc = static_cast<unsigned char>(in[i + k]);
      ok = (cc & 0xC0) == 0x80;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (!ok) {
      out.push_back(c);
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += extra + 1;
  }
}

}  // namespace

int main(int argc, char **argv) {
  std::u16string commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine.push_back(u' ');
    appendUtf16(commandLine, argv[i]);
  }
  platform::joinSession();    // one of the handset's programs, seen by the others
  device::startHomeScreen();  // the handset's shell, under the program
  const int result = WinMain(GetModuleHandleW(nullptr), nullptr, commandLine.data(), SW_SHOW);
  device::stopHomeScreen();
  return result;
}
