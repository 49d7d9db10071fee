// A small in-process server for the COM tests: one class whose live objects are counted.
#include <windows.h>
#include <objbase.h>

DEFINE_GUID(CLSID_TestObject, 0x1D0C1E57, 0x0001, 0x4000, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01);

namespace {

LONG liveObjects = 0;

class Object final : public IPersist {
 public:
  Object() { InterlockedIncrement(&liveObjects); }
  STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IPersist) {
      *ppv = static_cast<IPersist *>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs); }
  STDMETHODIMP_(ULONG) Release() override {
    LONG left = InterlockedDecrement(&refs);
    if (left == 0) {
      delete this;
      InterlockedDecrement(&liveObjects);
    }
    return left;
  }
  STDMETHODIMP GetClassID(CLSID *clsid) override {
    *clsid = CLSID_TestObject;
    return S_OK;
  }

 private:
  LONG refs = 1;
};

class Factory : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override {
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *ppv = this;
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown *outer, REFIID riid, void **ppv) override {
    if (outer) return CLASS_E_NOAGGREGATION;
    Object *object = new Object;
    HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }
} factory;

}  // namespace

extern "C" __declspec(dllexport) HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void **ppv) {
  if (clsid != CLSID_TestObject) return CLASS_E_CLASSNOTAVAILABLE;
  return factory.QueryInterface(riid, ppv);
}

extern "C" __declspec(dllexport) LONG TestLiveObjects() { return liveObjects; }
