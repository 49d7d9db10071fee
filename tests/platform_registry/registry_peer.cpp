// A second process on the same handset: registry_peer ROOT (get NAME | set NAME TEXT)...
// Works on REG_SZ values of HKEY_LOCAL_MACHINE\Software\Peer; "get" prints the value or <missing>.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "device/profile.h"

namespace {

std::u16string widen(const char *text) { return device::regtext::toUtf16(text).value_or(u""); }

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) return 2;
  device::setRoot(argv[1]);
  HKEY key;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Peer", 0, nullptr, 0, 0, nullptr, &key, nullptr)) return 3;
  for (int i = 2; i + 1 < argc; i += 2) {
    std::u16string name = widen(argv[i + 1]);
    if (!std::strcmp(argv[i], "get")) {
      char16_t text[256];
      DWORD size = sizeof text;
      if (RegQueryValueExW(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE *>(text), &size)) {
        std::puts("<missing>");
      } else {
        std::puts(device::regtext::toUtf8(text).value_or("<bad text>").c_str());
      }
    } else if (!std::strcmp(argv[i], "set") && i + 2 < argc) {
      std::u16string value = widen(argv[i + 2]);
      if (RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                         static_cast<DWORD>((value.size() + 1) * 2)))
        return 4;
      ++i;
    } else {
      return 2;
    }
  }
  RegCloseKey(key);
  return 0;
}
