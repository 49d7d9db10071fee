// CBasePin: the connection protocol (the output pin proposes, the input pin checks).
#include <streams.h>

#include "text.h"

CBasePin::CBasePin(LPCTSTR objectName, CBaseFilter *filter, CCritSec *lock, HRESULT *phr, LPCWSTR name,
                   PIN_DIRECTION dir)
    : CUnknown(objectName, nullptr, phr), m_pName(strmbase::copy(name)), m_Connected(nullptr), m_dir(dir),
      m_pLock(lock), m_bRunTimeError(false), m_bTryMyTypesFirst(false), m_pFilter(filter), m_pQSink(nullptr),
      m_TypeVersion(1), m_tStart(0), m_tStop(0x7FFFFFFFFFFFFFFFLL), m_dRate(1.0) {}

CBasePin::~CBasePin() {
  if (m_Connected) m_Connected->Release();
  delete[] m_pName;
}

STDMETHODIMP CBasePin::NonDelegatingQueryInterface(REFIID riid, void **ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IPin) return GetInterface(static_cast<IPin *>(this), ppv);
  if (riid == IID_IQualityControl) return GetInterface(static_cast<IQualityControl *>(this), ppv);
  if (riid == IID_IUnknown) return GetInterface(NonDelegatingUnknown(), ppv);
  *ppv = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CBasePin::NonDelegatingAddRef() { return m_pFilter->AddRef(); }
STDMETHODIMP_(ULONG) CBasePin::NonDelegatingRelease() { return m_pFilter->Release(); }

STDMETHODIMP CBasePin::Connect(IPin *receivePin, const AM_MEDIA_TYPE *pmt) {
  if (!receivePin) return E_POINTER;
  CAutoLock lock(m_pLock);
  if (m_Connected) return VFW_E_ALREADY_CONNECTED;
  if (!IsStopped()) return VFW_E_NOT_STOPPED;
  CMediaType partial;
  if (pmt) partial = *pmt;
  HRESULT hr = AgreeMediaType(receivePin, pmt ? &partial : nullptr);
  if (FAILED(hr)) return hr;
  return NOERROR;
}

HRESULT CBasePin::AgreeMediaType(IPin *receivePin, const CMediaType *pmt) {
  if (pmt && !pmt->IsPartiallySpecified()) return AttemptConnection(receivePin, pmt);
  HRESULT failure = VFW_E_NO_ACCEPTABLE_TYPES;
  for (int pass = 0; pass < 2; ++pass) {
    bool mine = (pass == 0) == m_bTryMyTypesFirst;
    IEnumMediaTypes *types = nullptr;
    HRESULT hr = mine ? EnumMediaTypes(&types) : receivePin->EnumMediaTypes(&types);
    if (FAILED(hr) || !types) continue;
    hr = TryMediaTypes(receivePin, pmt, types);
    types->Release();
    if (SUCCEEDED(hr)) return NOERROR;
    // A type that was tried and refused says more than "none fitted".
    if (hr != E_FAIL && hr != E_INVALIDARG && hr != VFW_E_TYPE_NOT_ACCEPTED) failure = hr;
  }
  return failure;
}

HRESULT CBasePin::TryMediaTypes(IPin *receivePin, const CMediaType *pmt, IEnumMediaTypes *types) {
  HRESULT failure = S_OK;
  AM_MEDIA_TYPE *candidate = nullptr;
  ULONG fetched = 0;
  types->Reset();
  while (types->Next(1, &candidate, &fetched) == S_OK && fetched == 1) {
    CMediaType type(*candidate);
    DeleteMediaType(candidate);
    if (pmt && !type.MatchesPartial(pmt)) continue;
    HRESULT hr = AttemptConnection(receivePin, &type);
    if (SUCCEEDED(hr)) return hr;
    if (failure == S_OK || hr != VFW_E_TYPE_NOT_ACCEPTED) failure = hr;
  }
  return failure == S_OK ? VFW_E_NO_ACCEPTABLE_TYPES : failure;
}

HRESULT CBasePin::AttemptConnection(IPin *receivePin, const CMediaType *pmt) {
  HRESULT hr = CheckConnect(receivePin);
  if (FAILED(hr)) {
    BreakConnect();
    return hr;
  }
  hr = CheckMediaType(pmt);
  if (hr == NOERROR) {
    m_Connected = receivePin;
    m_Connected->AddRef();
    hr = SetMediaType(pmt);
    if (SUCCEEDED(hr)) {
      hr = receivePin->ReceiveConnection(static_cast<IPin *>(this), pmt);
      if (SUCCEEDED(hr)) {
        hr = CompleteConnect(receivePin);
        if (SUCCEEDED(hr)) return hr;
        receivePin->Disconnect();
      }
    }
  } else if (SUCCEEDED(hr) || hr == E_FAIL || hr == E_INVALIDARG) {
    hr = VFW_E_TYPE_NOT_ACCEPTED;
  }
  if (m_Connected) {
    m_Connected->Release();
    m_Connected = nullptr;
  }
  BreakConnect();
  return hr;
}

STDMETHODIMP CBasePin::ReceiveConnection(IPin *connector, const AM_MEDIA_TYPE *pmt) {
  if (!connector || !pmt) return E_POINTER;
  CAutoLock lock(m_pLock);
  if (m_Connected) return VFW_E_ALREADY_CONNECTED;
  if (!IsStopped()) return VFW_E_NOT_STOPPED;
  HRESULT hr = CheckConnect(connector);
  if (FAILED(hr)) {
    BreakConnect();
    return hr;
  }
  CMediaType type(*pmt);
  hr = CheckMediaType(&type);
  if (hr != NOERROR) {
    BreakConnect();
    return SUCCEEDED(hr) || hr == E_FAIL || hr == E_INVALIDARG ? VFW_E_TYPE_NOT_ACCEPTED : hr;
  }
  m_Connected = connector;
  m_Connected->AddRef();
  hr = SetMediaType(&type);
  if (SUCCEEDED(hr)) hr = CompleteConnect(connector);
  if (FAILED(hr)) {
    m_Connected->Release();
    m_Connected = nullptr;
    BreakConnect();
    return hr;
  }
  return NOERROR;
}

STDMETHODIMP CBasePin::Disconnect() {
  CAutoLock lock(m_pLock);
  if (!IsStopped()) return VFW_E_NOT_STOPPED;
  return DisconnectInternal();
}

HRESULT CBasePin::DisconnectInternal() {
  if (!m_Connected) return S_FALSE;
  HRESULT hr = BreakConnect();
  if (FAILED(hr)) return hr;
  m_Connected->Release();
  m_Connected = nullptr;
  return S_OK;
}

STDMETHODIMP CBasePin::ConnectedTo(IPin **pin) {
  if (!pin) return E_POINTER;
  CAutoLock lock(m_pLock);
  *pin = m_Connected;
  if (!m_Connected) return VFW_E_NOT_CONNECTED;
  m_Connected->AddRef();
  return S_OK;
}

STDMETHODIMP CBasePin::ConnectionMediaType(AM_MEDIA_TYPE *pmt) {
  if (!pmt) return E_POINTER;
  CAutoLock lock(m_pLock);
  if (!m_Connected) {
    std::memset(pmt, 0, sizeof *pmt);
    return VFW_E_NOT_CONNECTED;
  }
  return CopyMediaType(pmt, &m_mt);
}

STDMETHODIMP CBasePin::QueryPinInfo(PIN_INFO *info) {
  if (!info) return E_POINTER;
  info->pFilter = m_pFilter;
  m_pFilter->AddRef();
  info->dir = m_dir;
  strmbase::copyInto(info->achName, MAX_PIN_NAME, m_pName ? m_pName : u"");
  return NOERROR;
}

STDMETHODIMP CBasePin::QueryDirection(PIN_DIRECTION *dir) {
  if (!dir) return E_POINTER;
  *dir = m_dir;
  return NOERROR;
}

STDMETHODIMP CBasePin::QueryId(LPWSTR *id) {
  if (!id) return E_POINTER;
  size_t n = strmbase::length(m_pName);
  *id = static_cast<LPWSTR>(CoTaskMemAlloc((n + 1) * sizeof(WCHAR)));
  if (!*id) return E_OUTOFMEMORY;
  strmbase::copyInto(*id, n + 1, m_pName ? m_pName : u"");
  return NOERROR;
}

STDMETHODIMP CBasePin::QueryAccept(const AM_MEDIA_TYPE *pmt) {
  if (!pmt) return E_POINTER;
  CMediaType type(*pmt);
  HRESULT hr = CheckMediaType(&type);
  return FAILED(hr) ? S_FALSE : hr;
}

STDMETHODIMP CBasePin::EnumMediaTypes(IEnumMediaTypes **types) {
  if (!types) return E_POINTER;
  *types = new CEnumMediaTypes(this, nullptr);
  return NOERROR;
}

STDMETHODIMP CBasePin::QueryInternalConnections(IPin **, ULONG *) { return E_NOTIMPL; }
STDMETHODIMP CBasePin::EndOfStream() { return S_OK; }

STDMETHODIMP CBasePin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  m_tStart = start;
  m_tStop = stop;
  m_dRate = rate;
  return S_OK;
}

STDMETHODIMP CBasePin::Notify(IBaseFilter *, Quality) { return E_NOTIMPL; }

STDMETHODIMP CBasePin::SetSink(IQualityControl *sink) {
  m_pQSink = sink;  // not AddRef'd, as the base classes do
  return NOERROR;
}

HRESULT CBasePin::SetMediaType(const CMediaType *type) { return m_mt.Set(*type); }

HRESULT CBasePin::CheckConnect(IPin *pin) {
  PIN_DIRECTION dir;
  HRESULT hr = pin->QueryDirection(&dir);
  if (FAILED(hr)) return hr;
  return dir == m_dir ? VFW_E_INVALID_DIRECTION : NOERROR;
}

HRESULT CBasePin::BreakConnect() { return NOERROR; }
HRESULT CBasePin::CompleteConnect(IPin *) { return NOERROR; }
HRESULT CBasePin::GetMediaType(int, CMediaType *) { return E_UNEXPECTED; }
