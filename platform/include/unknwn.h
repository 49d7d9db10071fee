// IUnknown and IClassFactory. Interfaces are classes of pure virtual methods without a virtual
// destructor, so their slots are the SDK's in its order.
#pragma once

#include <guiddef.h>
#include <winerror.h>

#define STDMETHODCALLTYPE
#define STDMETHODVCALLTYPE
#define STDAPICALLTYPE
#define STDAPI extern "C" HRESULT STDAPICALLTYPE
#define STDAPI_(type) extern "C" type STDAPICALLTYPE
#define STDMETHOD(method) virtual HRESULT STDMETHODCALLTYPE method
#define STDMETHOD_(type, method) virtual type STDMETHODCALLTYPE method
#define STDMETHODIMP HRESULT STDMETHODCALLTYPE
#define STDMETHODIMP_(type) type STDMETHODCALLTYPE
#define PURE = 0
#define THIS_
#define THIS void
#define interface struct
#define DECLARE_INTERFACE(iface) interface iface
#define DECLARE_INTERFACE_(iface, base) interface iface : public base

DEFINE_GUID(IID_IUnknown, 0x00000000, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
DEFINE_GUID(IID_IClassFactory, 0x00000001, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);

interface IUnknown {
  STDMETHOD(QueryInterface)(REFIID riid, void **ppv) PURE;
  STDMETHOD_(ULONG, AddRef)() PURE;
  STDMETHOD_(ULONG, Release)() PURE;
};
typedef IUnknown *LPUNKNOWN;

interface IClassFactory : public IUnknown {
  STDMETHOD(CreateInstance)(IUnknown *outer, REFIID riid, void **ppv) PURE;
  STDMETHOD(LockServer)(BOOL lock) PURE;
};
typedef IClassFactory *LPCLASSFACTORY;
