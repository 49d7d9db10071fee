#include <streams.h>

LONG CBaseObject::m_cObjects = 0;

CBaseObject::CBaseObject(LPCTSTR) { InterlockedIncrement(&m_cObjects); }
CBaseObject::~CBaseObject() { InterlockedDecrement(&m_cObjects); }
LONG CBaseObject::ObjectsActive() { return m_cObjects; }

CUnknown::CUnknown(LPCTSTR name, LPUNKNOWN outer, HRESULT *)
    : CBaseObject(name), m_cRef(0),
      m_pUnknown(outer ? outer : &m_inner) {}

STDMETHODIMP CUnknown::NonDelegatingQueryInterface(REFIID riid, void **ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown) return GetInterface(NonDelegatingUnknown(), ppv);
  *ppv = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CUnknown::NonDelegatingAddRef() { return ULONG(InterlockedIncrement(&m_cRef)); }

STDMETHODIMP_(ULONG) CUnknown::NonDelegatingRelease() {
  LONG left = InterlockedDecrement(&m_cRef);
  if (left == 0) {
    m_cRef = 1;  // a Release from the destructor must not delete twice
    delete this;
    return 0;
  }
  return ULONG(left);
}

HRESULT GetInterface(LPUNKNOWN unknown, void **ppv) {
  if (!ppv) return E_POINTER;
  *ppv = unknown;
  unknown->AddRef();
  return NOERROR;
}

LONG CClassFactory::m_cLocked = 0;
LONG CClassFactory::Locks() { return m_cLocked; }

STDMETHODIMP CClassFactory::QueryInterface(REFIID riid, void **ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IClassFactory) {
    *ppv = static_cast<IClassFactory *>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

// Factories are static objects of their module.
STDMETHODIMP_(ULONG) CClassFactory::AddRef() { return 2; }
STDMETHODIMP_(ULONG) CClassFactory::Release() { return 1; }

STDMETHODIMP CClassFactory::CreateInstance(LPUNKNOWN outer, REFIID riid, void **ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  // Aggregation asks for IUnknown only.
  if (outer && riid != IID_IUnknown) return E_NOINTERFACE;
  HRESULT hr = S_OK;
  CUnknown *object = m_create(outer, &hr);
  if (!object) return FAILED(hr) ? hr : E_OUTOFMEMORY;
  if (FAILED(hr)) {
    delete object;
    return hr;
  }
  object->NonDelegatingAddRef();
  hr = object->NonDelegatingQueryInterface(riid, ppv);
  object->NonDelegatingRelease();
  return hr;
}

STDMETHODIMP CClassFactory::LockServer(BOOL lock) {
  if (lock)
    InterlockedIncrement(&m_cLocked);
  else
    InterlockedDecrement(&m_cLocked);
  return S_OK;
}
