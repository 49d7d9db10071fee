// The task allocator, BSTR and VARIANT.
#include <cstdlib>
#include <cstring>

#include <objbase.h>

extern "C" LPVOID WINAPI CoTaskMemAlloc(SIZE_T size) { return std::malloc(size ? size : 1); }
extern "C" LPVOID WINAPI CoTaskMemRealloc(LPVOID block, SIZE_T size) { return std::realloc(block, size ? size : 1); }
extern "C" void WINAPI CoTaskMemFree(LPVOID block) { std::free(block); }

namespace {

DWORD *lengthWord(BSTR text) { return reinterpret_cast<DWORD *>(reinterpret_cast<BYTE *>(text) - sizeof(DWORD)); }

}  // namespace

extern "C" BSTR WINAPI SysAllocStringLen(const OLECHAR *text, UINT length) {
  if (length > 0x3FFFFFF0u) return nullptr;
  auto *block = static_cast<BYTE *>(std::malloc(sizeof(DWORD) + (size_t(length) + 1) * sizeof(OLECHAR)));
  if (!block) return nullptr;
  DWORD bytes = length * sizeof(OLECHAR);
  std::memcpy(block, &bytes, sizeof bytes);
  auto *chars = reinterpret_cast<OLECHAR *>(block + sizeof(DWORD));
  if (text)
    std::memcpy(chars, text, bytes);
  else
    std::memset(chars, 0, bytes);
  chars[length] = 0;
  return chars;
}

extern "C" BSTR WINAPI SysAllocString(const OLECHAR *text) {
  if (!text) return nullptr;
  UINT length = 0;
  while (text[length]) ++length;
  return SysAllocStringLen(text, length);
}

extern "C" void WINAPI SysFreeString(BSTR text) {
  if (text) std::free(lengthWord(text));
}

extern "C" UINT WINAPI SysStringByteLen(BSTR text) { return text ? *lengthWord(text) : 0; }
extern "C" UINT WINAPI SysStringLen(BSTR text) { return SysStringByteLen(text) / sizeof(OLECHAR); }

extern "C" void WINAPI VariantInit(VARIANTARG *v) {
  std::memset(v, 0, sizeof *v);
  v->vt = VT_EMPTY;
}

extern "C" HRESULT WINAPI VariantClear(VARIANTARG *v) {
  if (!v) return E_INVALIDARG;
  if (!(v->vt & VT_BYREF)) {
    switch (v->vt & VT_TYPEMASK) {
      case VT_BSTR:
        SysFreeString(v->bstrVal);
        break;
      case VT_UNKNOWN:
      case VT_DISPATCH:
        if (v->punkVal) v->punkVal->Release();
        break;
      case VT_EMPTY: case VT_NULL: case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_UI1: case VT_UI2:
      case VT_UI4: case VT_UI8: case VT_INT: case VT_UINT: case VT_R4: case VT_R8: case VT_BOOL: case VT_ERROR:
      case VT_CY: case VT_DATE: case VT_HRESULT:
        break;
      default:
        return DISP_E_BADVARTYPE;
    }
  }
  VariantInit(v);
  return S_OK;
}

extern "C" HRESULT WINAPI VariantCopy(VARIANTARG *target, const VARIANTARG *source) {
  if (!target || !source) return E_INVALIDARG;
  if (target == source) return S_OK;
  HRESULT hr = VariantClear(target);
  if (FAILED(hr)) return hr;
  *target = *source;
  if (source->vt == VT_BSTR && source->bstrVal) {
    target->bstrVal = SysAllocStringLen(source->bstrVal, SysStringLen(source->bstrVal));
    if (!target->bstrVal) {
      VariantInit(target);
      return E_OUTOFMEMORY;
    }
  } else if ((source->vt == VT_UNKNOWN || source->vt == VT_DISPATCH) && source->punkVal) {
    source->punkVal->AddRef();
  }
  return S_OK;
}
