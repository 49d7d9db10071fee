// GUID text, as the registry keys of classes use it.
#include <objbase.h>

namespace {

const char16_t kHex[] = u"0123456789ABCDEF";

// Positions of the 32 hex digits in "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", in byte order of
// Data1 (big-endian as written), Data2, Data3, Data4.
int hexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

}  // namespace

extern "C" int WINAPI StringFromGUID2(REFGUID guid, LPOLESTR text, int size) {
  if (!text || size < 39) return 0;
  int at = 0;
  auto put = [&](uint64_t value, int digits) {
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) text[at++] = kHex[(value >> shift) & 15];
  };
  text[at++] = u'{';
  put(guid.Data1, 8);
  text[at++] = u'-';
  put(guid.Data2, 4);
  text[at++] = u'-';
  put(guid.Data3, 4);
  text[at++] = u'-';
  put(guid.Data4[0], 2);
  put(guid.Data4[1], 2);
  text[at++] = u'-';
  for (int i = 2; i < 8; ++i) put(guid.Data4[i], 2);
  text[at++] = u'}';
  text[at++] = 0;
  return at;
}

extern "C" HRESULT WINAPI CLSIDFromString(LPCOLESTR text, LPCLSID clsid) {
  if (!text || !clsid) return E_INVALIDARG;
  static const char kShape[] = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
  BYTE digits[32];
  int n = 0;
  for (int i = 0; kShape[i]; ++i) {
    if (kShape[i] == 'X') {
      int v = hexValue(text[i]);
      if (v < 0) return E_INVALIDARG;
      digits[n++] = BYTE(v);
    } else if (text[i] != char16_t(kShape[i])) {
      return E_INVALIDARG;
    }
  }
  if (text[38]) return E_INVALIDARG;
  auto take = [&](int from, int count) {
    uint32_t v = 0;
    for (int i = 0; i < count; ++i) v = v << 4 | digits[from + i];
    return v;
  };
  clsid->Data1 = take(0, 8);
  clsid->Data2 = WORD(take(8, 4));
  clsid->Data3 = WORD(take(12, 4));
  for (int i = 0; i < 8; ++i) clsid->Data4[i] = BYTE(take(16 + 2 * i, 2));
  return S_OK;
}
