// The library's own renderer: one input pin that accepts any format and passes each sample's
// buffer to the installed FrameCallback, set through the pin's ICallBack interface.
#pragma once

#include <streams.h>

#include <atomic>
#include <new>

#include "dsgrab/dsgrab.h"

DEFINE_GUID(CLSID_NullRend, 0xE58074DA, 0xCCAC, 0x40DB, 0xBE, 0x9C, 0xBA, 0x20, 0xEE, 0xF3, 0xC2, 0xFA);
DEFINE_GUID(IID_ICallBack, 0x9C709B79, 0xE3BE, 0x4AB7, 0xAD, 0x82, 0x7E, 0x37, 0x65, 0x23, 0x44, 0xDB);

interface ICallBack : public IUnknown {
  STDMETHOD(GetCallback)(FrameCallback *out) PURE;
  STDMETHOD(SetCallback)(FrameCallback fn) PURE;
};

class CNullRend;

class CNullPin : public CBaseInputPin {
 public:
  CNullPin(CNullRend *filter, CCritSec *lock, HRESULT *phr);

  DECLARE_IUNKNOWN
  STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv) override;

  HRESULT CheckMediaType(const CMediaType *type) override;
  STDMETHODIMP Receive(IMediaSample *sample) override;

 private:
  // ICallBack as a sub-object; its IUnknown is the pin's.
  struct CallBack : ICallBack {
    explicit CallBack(CNullPin *pin) : pin(pin) {}
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override { return pin->QueryInterface(riid, ppv); }
    STDMETHODIMP_(ULONG) AddRef() override { return pin->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return pin->Release(); }
    STDMETHODIMP GetCallback(FrameCallback *out) override;
    STDMETHODIMP SetCallback(FrameCallback fn) override;
    CNullPin *pin;
  } m_callBack{this};

  // Written by any thread while the streaming thread reads it: one word, no lock.
  std::atomic<FrameCallback> m_callback{nullptr};
};

class CNullRend : public CBaseFilter {
 public:
  CNullRend();
  ~CNullRend() override;

  int GetPinCount() override { return 1; }
  // The one pin for any index, made on the first call.
  CBasePin *GetPin(int n) override;

 private:
  CCritSec m_lock;
  CNullPin *m_pin = nullptr;
};
