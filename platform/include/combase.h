// COM objects of the DirectShow base classes: CBaseObject counts the live objects of a module,
// CUnknown gives the reference count and aggregation through INonDelegatingUnknown.
#pragma once

#include <objbase.h>
#include <windows.h>

interface INonDelegatingUnknown {
  STDMETHOD(NonDelegatingQueryInterface)(REFIID riid, void **ppv) PURE;
  STDMETHOD_(ULONG, NonDelegatingAddRef)() PURE;
  STDMETHOD_(ULONG, NonDelegatingRelease)() PURE;
};
typedef INonDelegatingUnknown *PNDUNKNOWN;

class CBaseObject {
 public:
  explicit CBaseObject(LPCTSTR name);
  virtual ~CBaseObject();
  CBaseObject(const CBaseObject &) = delete;
  CBaseObject &operator=(const CBaseObject &) = delete;
  // The objects of the base classes alive in this module (DllCanUnloadNow).
  static LONG ObjectsActive();

 private:
  static LONG m_cObjects;
};

class CUnknown : public INonDelegatingUnknown, public CBaseObject {
 public:
  CUnknown(LPCTSTR name, LPUNKNOWN outer, HRESULT *phr = nullptr);
  ~CUnknown() override = default;

  STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv) override;
  STDMETHODIMP_(ULONG) NonDelegatingAddRef() override;
  // Deletes the object when the count reaches zero.
  STDMETHODIMP_(ULONG) NonDelegatingRelease() override;

  LPUNKNOWN GetOwner() const { return m_pUnknown; }

 protected:
  // The object's own IUnknown: calls through it go to the non-delegating methods. It is a real
  // IUnknown (the SDK's classes cast the INonDelegatingUnknown part instead), so every call made
  // through the interface pointers handed out is well defined.
  LPUNKNOWN NonDelegatingUnknown() { return &m_inner; }

  volatile LONG m_cRef;

 private:
  struct Inner : IUnknown {
    explicit Inner(CUnknown *owner) : owner(owner) {}
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override { return owner->NonDelegatingQueryInterface(riid, ppv); }
    STDMETHODIMP_(ULONG) AddRef() override { return owner->NonDelegatingAddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return owner->NonDelegatingRelease(); }
    CUnknown *owner;
  } m_inner{this};
  const LPUNKNOWN m_pUnknown;
};

// Hands out `unknown` (already cast to the wanted interface) with a reference.
HRESULT GetInterface(LPUNKNOWN unknown, void **ppv);

// The IUnknown of a class derived from CUnknown: every call goes to the owner.
#define DECLARE_IUNKNOWN                                                                      \
  STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override {                             \
    return GetOwner()->QueryInterface(riid, ppv);                                             \
  }                                                                                           \
  STDMETHODIMP_(ULONG) AddRef() override { return GetOwner()->AddRef(); }                     \
  STDMETHODIMP_(ULONG) Release() override { return GetOwner()->Release(); }

// A class factory over a creation function, for a module's DllGetClassObject.
typedef CUnknown *(*LPFNNewCOMObject)(LPUNKNOWN outer, HRESULT *phr);
class CClassFactory : public IClassFactory {
 public:
  CClassFactory(REFCLSID clsid, LPFNNewCOMObject create) : m_clsid(clsid), m_create(create) {}
  virtual ~CClassFactory() = default;
  STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP CreateInstance(LPUNKNOWN outer, REFIID riid, void **ppv) override;
  STDMETHODIMP LockServer(BOOL lock) override;
  REFCLSID Clsid() const { return m_clsid; }
  static LONG Locks();

 private:
  CLSID m_clsid;
  LPFNNewCOMObject m_create;
  static LONG m_cLocked;
};
