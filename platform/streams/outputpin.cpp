// CBaseOutputPin: allocator negotiation on connection, commit while active, delivery.
#include <streams.h>

CBaseOutputPin::CBaseOutputPin(LPCTSTR objectName, CBaseFilter *filter, CCritSec *lock, HRESULT *phr, LPCWSTR name)
    : CBasePin(objectName, filter, lock, phr, name, PINDIR_OUTPUT), m_pAllocator(nullptr), m_pInputPin(nullptr) {}

CBaseOutputPin::~CBaseOutputPin() { CBaseOutputPin::BreakConnect(); }

HRESULT CBaseOutputPin::CheckConnect(IPin *pin) {
  HRESULT hr = CBasePin::CheckConnect(pin);
  if (FAILED(hr)) return hr;
  hr = pin->QueryInterface(IID_IMemInputPin, reinterpret_cast<void **>(&m_pInputPin));
  return FAILED(hr) ? VFW_E_NO_TRANSPORT : NOERROR;
}

HRESULT CBaseOutputPin::BreakConnect() {
  if (m_pAllocator) {
    m_pAllocator->Decommit();
    m_pAllocator->Release();
    m_pAllocator = nullptr;
  }
  if (m_pInputPin) {
    m_pInputPin->Release();
    m_pInputPin = nullptr;
  }
  return NOERROR;
}

HRESULT CBaseOutputPin::CompleteConnect(IPin *) { return DecideAllocator(m_pInputPin, &m_pAllocator); }

// The input pin's allocator first, then one of our own; the input pin is told which.
HRESULT CBaseOutputPin::DecideAllocator(IMemInputPin *pin, IMemAllocator **allocator) {
  *allocator = nullptr;
  ALLOCATOR_PROPERTIES props = {};
  pin->GetAllocatorRequirements(&props);
  if (props.cbAlign == 0) props.cbAlign = 1;
  HRESULT hr = pin->GetAllocator(allocator);
  if (SUCCEEDED(hr)) {
    hr = DecideBufferSize(*allocator, &props);
    if (SUCCEEDED(hr)) hr = pin->NotifyAllocator(*allocator, FALSE);
    if (SUCCEEDED(hr)) return NOERROR;
  }
  if (*allocator) {
    (*allocator)->Release();
    *allocator = nullptr;
  }
  hr = InitAllocator(allocator);
  if (SUCCEEDED(hr)) {
    hr = DecideBufferSize(*allocator, &props);
    if (SUCCEEDED(hr)) hr = pin->NotifyAllocator(*allocator, FALSE);
    if (SUCCEEDED(hr)) return NOERROR;
  }
  if (*allocator) {
    (*allocator)->Release();
    *allocator = nullptr;
  }
  return hr;
}

HRESULT CBaseOutputPin::InitAllocator(IMemAllocator **allocator) {
  HRESULT hr = S_OK;
  auto *made = new CMemAllocator(TEXT("output allocator"), nullptr, &hr);
  return made->NonDelegatingQueryInterface(IID_IMemAllocator, reinterpret_cast<void **>(allocator));
}

HRESULT CBaseOutputPin::Active() {
  if (!m_pAllocator) return VFW_E_NO_ALLOCATOR;
  return m_pAllocator->Commit();
}

HRESULT CBaseOutputPin::Inactive() {
  m_bRunTimeError = false;
  if (!m_pAllocator) return VFW_E_NO_ALLOCATOR;
  return m_pAllocator->Decommit();
}

HRESULT CBaseOutputPin::GetDeliveryBuffer(IMediaSample **sample, REFERENCE_TIME *start, REFERENCE_TIME *end,
                                          DWORD flags) {
  if (!m_pAllocator) return E_NOINTERFACE;
  return m_pAllocator->GetBuffer(sample, start, end, flags);
}

HRESULT CBaseOutputPin::Deliver(IMediaSample *sample) {
  if (!m_pInputPin) return VFW_E_NOT_CONNECTED;
  return m_pInputPin->Receive(sample);
}

HRESULT CBaseOutputPin::DeliverEndOfStream() { return m_Connected ? m_Connected->EndOfStream() : VFW_E_NOT_CONNECTED; }
HRESULT CBaseOutputPin::DeliverBeginFlush() { return m_Connected ? m_Connected->BeginFlush() : VFW_E_NOT_CONNECTED; }
HRESULT CBaseOutputPin::DeliverEndFlush() { return m_Connected ? m_Connected->EndFlush() : VFW_E_NOT_CONNECTED; }
HRESULT CBaseOutputPin::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  return m_Connected ? m_Connected->NewSegment(start, stop, rate) : VFW_E_NOT_CONNECTED;
}
