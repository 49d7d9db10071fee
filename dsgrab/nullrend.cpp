#include "dsgrab/nullrend.h"

CNullPin::CNullPin(CNullRend *filter, CCritSec *lock, HRESULT *phr)
    : CBaseInputPin(TEXT("CNP"), filter, lock, phr, TEXT("CNP")) {}

STDMETHODIMP CNullPin::NonDelegatingQueryInterface(REFIID riid, void **ppv) {
  if (!ppv) return E_POINTER;
  if (IsEqualGUID(riid, IID_ICallBack)) return GetInterface(static_cast<ICallBack *>(&m_callBack), ppv);
  return CBaseInputPin::NonDelegatingQueryInterface(riid, ppv);
}

// Whatever the camera's pin proposes first is taken.
HRESULT CNullPin::CheckMediaType(const CMediaType *) { return S_OK; }

STDMETHODIMP CNullPin::Receive(IMediaSample *sample) {
  HRESULT hr = CBaseInputPin::Receive(sample);
  if (hr != S_OK) return hr;
  BYTE *data = nullptr;
  sample->GetPointer(&data);
  // The buffer's allocated size: the caller's frame layout, not the bytes of this sample.
  const LONG size = sample->GetSize();
  if (FrameCallback fn = m_callback.load(std::memory_order_acquire)) fn(data, uint32_t(size));
  return S_OK;
}

STDMETHODIMP CNullPin::CallBack::GetCallback(FrameCallback *out) {
  if (!out) return E_POINTER;
  *out = pin->m_callback.load(std::memory_order_acquire);
  return S_OK;
}

STDMETHODIMP CNullPin::CallBack::SetCallback(FrameCallback fn) {
  pin->m_callback.store(fn, std::memory_order_release);
  return S_OK;
}

CNullRend::CNullRend() : CBaseFilter(nullptr, nullptr, &m_lock, CLSID_NullRend) {}

CNullRend::~CNullRend() { delete m_pin; }

CBasePin *CNullRend::GetPin(int) {
  if (!m_pin) {
    HRESULT hr = S_OK;
    m_pin = new (std::nothrow) CNullPin(this, &m_lock, &hr);
    if (m_pin && FAILED(hr)) {
      delete m_pin;
      m_pin = nullptr;
    }
  }
  return m_pin;
}
