// The property bag that hands the capture filter the camera's name.
#pragma once

#include <dshow.h>
#include <ocidl.h>
#include <oleauto.h>

#include <atomic>

class CPropertyBag : public IPropertyBag {
 public:
  // The name is copied when read, not here: the bag lives only while the filter loads it.
  explicit CPropertyBag(LPCOLESTR name) : m_name(name) {}
  virtual ~CPropertyBag() = default;

  STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  // Any property name: a new BSTR copy of the device name.
  STDMETHODIMP Read(LPCOLESTR name, VARIANT *value, IErrorLog *log) override;
  STDMETHODIMP Write(LPCOLESTR name, VARIANT *value) override;

 private:
  std::atomic<LONG> m_refs{1};
  LPCOLESTR m_name;
};
