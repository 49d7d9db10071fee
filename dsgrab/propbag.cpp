#include "dsgrab/propbag.h"

#include <new>

STDMETHODIMP CPropertyBag::QueryInterface(REFIID riid, void **ppv) {
  if (!ppv) return E_POINTER;
  if (!IsEqualGUID(riid, IID_IPropertyBag)) {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  *ppv = static_cast<IPropertyBag *>(this);
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) CPropertyBag::AddRef() { return ULONG(++m_refs); }

STDMETHODIMP_(ULONG) CPropertyBag::Release() {
  const LONG left = --m_refs;
  if (left == 0) delete this;
  return ULONG(left);
}

STDMETHODIMP CPropertyBag::Read(LPCOLESTR, VARIANT *value, IErrorLog *) {
  if (!value) return E_POINTER;
  BSTR copy = SysAllocString(m_name);
  if (!copy) return E_OUTOFMEMORY;
  value->vt = VT_BSTR;
  value->bstrVal = copy;
  return S_OK;
}

STDMETHODIMP CPropertyBag::Write(LPCOLESTR, VARIANT *) { return S_OK; }
