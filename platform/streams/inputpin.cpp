// CBaseInputPin: the allocator it offers and the standard checks of Receive.
#include <cstring>

#include <streams.h>

CBaseInputPin::CBaseInputPin(LPCTSTR objectName, CBaseFilter *filter, CCritSec *lock, HRESULT *phr, LPCWSTR name)
    : CBasePin(objectName, filter, lock, phr, name, PINDIR_INPUT), m_pAllocator(nullptr), m_bReadOnly(FALSE),
      m_bFlushing(FALSE) {
  std::memset(&m_SampleProps, 0, sizeof m_SampleProps);
}

CBaseInputPin::~CBaseInputPin() {
  if (m_pAllocator) m_pAllocator->Release();
}

STDMETHODIMP CBaseInputPin::NonDelegatingQueryInterface(REFIID riid, void **ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IMemInputPin) return GetInterface(static_cast<IMemInputPin *>(this), ppv);
  return CBasePin::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CBaseInputPin::GetAllocator(IMemAllocator **allocator) {
  if (!allocator) return E_POINTER;
  CAutoLock lock(m_pLock);
  if (!m_pAllocator) {
    HRESULT hr = S_OK;
    auto *made = new CMemAllocator(TEXT("input allocator"), nullptr, &hr);
    hr = made->NonDelegatingQueryInterface(IID_IMemAllocator, reinterpret_cast<void **>(&m_pAllocator));
    if (FAILED(hr)) return hr;
  }
  *allocator = m_pAllocator;
  m_pAllocator->AddRef();
  return NOERROR;
}

STDMETHODIMP CBaseInputPin::NotifyAllocator(IMemAllocator *allocator, BOOL readOnly) {
  if (!allocator) return E_POINTER;
  CAutoLock lock(m_pLock);
  allocator->AddRef();
  if (m_pAllocator) m_pAllocator->Release();
  m_pAllocator = allocator;
  m_bReadOnly = BYTE(readOnly != FALSE);
  return NOERROR;
}

STDMETHODIMP CBaseInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES *) { return E_NOTIMPL; }

HRESULT CBaseInputPin::BreakConnect() {
  if (m_pAllocator) {
    m_pAllocator->Decommit();
    m_pAllocator->Release();
    m_pAllocator = nullptr;
  }
  return S_OK;
}

HRESULT CBaseInputPin::Inactive() {
  m_bRunTimeError = false;
  m_bFlushing = FALSE;
  if (!m_pAllocator) return VFW_E_NO_ALLOCATOR;
  return m_pAllocator->Decommit();
}

HRESULT CBaseInputPin::CheckStreaming() {
  if (IsStopped()) return VFW_E_WRONG_STATE;
  if (m_bFlushing) return S_FALSE;
  if (m_bRunTimeError) return VFW_E_RUNTIME_ERROR;
  return S_OK;
}

STDMETHODIMP CBaseInputPin::Receive(IMediaSample *sample) {
  if (!sample) return E_POINTER;
  HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;
  IMediaSample2 *sample2 = nullptr;
  if (SUCCEEDED(sample->QueryInterface(IID_IMediaSample2, reinterpret_cast<void **>(&sample2)))) {
    hr = sample2->GetProperties(sizeof m_SampleProps, reinterpret_cast<BYTE *>(&m_SampleProps));
    sample2->Release();
    if (FAILED(hr)) return hr;
  } else {
    std::memset(&m_SampleProps, 0, sizeof m_SampleProps);
    m_SampleProps.cbData = sizeof m_SampleProps;
    AM_MEDIA_TYPE *type = nullptr;
    if (sample->GetMediaType(&type) == S_OK && type) {
      m_SampleProps.pMediaType = type;
      m_SampleProps.dwSampleFlags |= AM_SAMPLE_TYPECHANGED;
    }
    sample->GetPointer(&m_SampleProps.pbBuffer);
    m_SampleProps.lActual = sample->GetActualDataLength();
    m_SampleProps.cbBuffer = sample->GetSize();
  }
  if (m_SampleProps.dwSampleFlags & AM_SAMPLE_TYPECHANGED) {
    CMediaType changed(*m_SampleProps.pMediaType);
    bool owned = !sample2;  // GetMediaType gave a copy
    if (owned) DeleteMediaType(m_SampleProps.pMediaType);
    m_SampleProps.pMediaType = nullptr;
    hr = CheckMediaType(&changed);
    if (hr != S_OK) {
      // No event sink here: the error stops this pin's stream until it goes inactive.
      EndOfStream();
      m_bRunTimeError = true;
      return VFW_E_INVALIDMEDIATYPE;
    }
    SetMediaType(&changed);
  }
  return S_OK;
}

STDMETHODIMP CBaseInputPin::ReceiveMultiple(IMediaSample **samples, LONG count, LONG *processed) {
  if (!samples || !processed) return E_POINTER;
  *processed = 0;
  HRESULT hr = S_OK;
  while (count-- > 0) {
    hr = Receive(samples[*processed]);
    if (hr != S_OK) break;
    ++*processed;
  }
  return hr;
}

STDMETHODIMP CBaseInputPin::ReceiveCanBlock() { return S_OK; }

STDMETHODIMP CBaseInputPin::BeginFlush() {
  CAutoLock lock(m_pLock);
  m_bFlushing = TRUE;
  return S_OK;
}

STDMETHODIMP CBaseInputPin::EndFlush() {
  CAutoLock lock(m_pLock);
  m_bFlushing = FALSE;
  m_bRunTimeError = false;
  return S_OK;
}

STDMETHODIMP CBaseInputPin::EndOfStream() { return CheckStreaming(); }
