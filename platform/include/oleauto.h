// BSTR and VARIANT as far as property bags use them.
#pragma once

#include <unknwn.h>

typedef WCHAR OLECHAR;
typedef OLECHAR *LPOLESTR;
typedef const OLECHAR *LPCOLESTR;
#define OLESTR(s) u##s

// Points at the first character; the 32-bit byte count sits just before it, a 0 just after.
typedef OLECHAR *BSTR;
typedef short VARIANT_BOOL;
#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)
typedef WORD VARTYPE;
typedef LONG DISPID;
typedef DWORD LCID;
typedef LONG SCODE;

enum VARENUM {
  VT_EMPTY = 0, VT_NULL = 1, VT_I2 = 2, VT_I4 = 3, VT_R4 = 4, VT_R8 = 5, VT_CY = 6, VT_DATE = 7,
  VT_BSTR = 8, VT_DISPATCH = 9, VT_ERROR = 10, VT_BOOL = 11, VT_VARIANT = 12, VT_UNKNOWN = 13,
  VT_DECIMAL = 14, VT_I1 = 16, VT_UI1 = 17, VT_UI2 = 18, VT_UI4 = 19, VT_I8 = 20, VT_UI8 = 21,
  VT_INT = 22, VT_UINT = 23, VT_VOID = 24, VT_HRESULT = 25, VT_PTR = 26, VT_LPSTR = 30,
  VT_LPWSTR = 31, VT_CLSID = 72, VT_VECTOR = 0x1000, VT_ARRAY = 0x2000, VT_BYREF = 0x4000,
  VT_TYPEMASK = 0xFFF
};

interface IDispatch;

typedef struct tagVARIANT {
  VARTYPE vt;
  WORD wReserved1, wReserved2, wReserved3;
  union {
    LONGLONG llVal;
    LONG lVal;
    BYTE bVal;
    SHORT iVal;
    FLOAT fltVal;
    double dblVal;
    VARIANT_BOOL boolVal;
    SCODE scode;
    BSTR bstrVal;
    IUnknown *punkVal;
    IDispatch *pdispVal;
    ULONG ulVal;
    INT intVal;
    UINT uintVal;
    void *byref;
    struct {
      void *pvRecord;
      void *pRecInfo;
    } record;
  };
} VARIANT, *LPVARIANT, VARIANTARG;
static_assert(sizeof(VARIANT) == 8 + 2 * sizeof(void *));

#define V_VT(v) ((v)->vt)
#define V_BSTR(v) ((v)->bstrVal)
#define V_I4(v) ((v)->lVal)
#define V_UNKNOWN(v) ((v)->punkVal)

typedef struct tagEXCEPINFO {
  WORD wCode;
  WORD wReserved;
  BSTR bstrSource;
  BSTR bstrDescription;
  BSTR bstrHelpFile;
  DWORD dwHelpContext;
  void *pvReserved;
  HRESULT(STDMETHODCALLTYPE *pfnDeferredFillIn)(struct tagEXCEPINFO *);
  SCODE scode;
} EXCEPINFO, *LPEXCEPINFO;

typedef struct tagDISPPARAMS {
  VARIANTARG *rgvarg;
  DISPID *rgdispidNamedArgs;
  UINT cArgs;
  UINT cNamedArgs;
} DISPPARAMS;

interface ITypeInfo;

DEFINE_GUID(IID_IDispatch, 0x00020400, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);

interface IDispatch : public IUnknown {
  STDMETHOD(GetTypeInfoCount)(UINT *count) PURE;
  STDMETHOD(GetTypeInfo)(UINT index, LCID locale, ITypeInfo **info) PURE;
  STDMETHOD(GetIDsOfNames)(REFIID riid, LPOLESTR *names, UINT count, LCID locale, DISPID *ids) PURE;
  STDMETHOD(Invoke)(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS *params, VARIANT *result,
                    EXCEPINFO *exception, UINT *argError) PURE;
};

extern "C" {
// Null gives a null BSTR (which every call treats as "").
BSTR WINAPI SysAllocString(const OLECHAR *text);
BSTR WINAPI SysAllocStringLen(const OLECHAR *text, UINT length);
void WINAPI SysFreeString(BSTR text);
UINT WINAPI SysStringLen(BSTR text);
UINT WINAPI SysStringByteLen(BSTR text);

void WINAPI VariantInit(VARIANTARG *v);
// Frees a BSTR, releases an interface, then leaves VT_EMPTY. Unknown types: DISP_E_BADVARTYPE.
HRESULT WINAPI VariantClear(VARIANTARG *v);
// Clears `target`, then makes it a copy (a new BSTR, an AddRef'd interface).
HRESULT WINAPI VariantCopy(VARIANTARG *target, const VARIANTARG *source);
}

#define DISP_E_TYPEMISMATCH ((HRESULT)0x80020005L)
#define DISP_E_BADVARTYPE ((HRESULT)0x80020008L)
