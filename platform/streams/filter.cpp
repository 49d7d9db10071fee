#include <streams.h>

#include "text.h"

CBaseFilter::CBaseFilter(LPCTSTR objectName, LPUNKNOWN outer, CCritSec *lock, REFCLSID clsid, HRESULT *phr)
    : CUnknown(objectName, outer, phr), m_State(State_Stopped), m_pClock(nullptr), m_tStart(0), m_clsid(clsid),
      m_pLock(lock), m_pName(nullptr), m_pGraph(nullptr), m_PinVersion(1) {}

CBaseFilter::~CBaseFilter() {
  delete[] m_pName;
  if (m_pClock) m_pClock->Release();
}

STDMETHODIMP CBaseFilter::NonDelegatingQueryInterface(REFIID riid, void **ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IBaseFilter) return GetInterface(static_cast<IBaseFilter *>(this), ppv);
  if (riid == IID_IMediaFilter) return GetInterface(static_cast<IMediaFilter *>(this), ppv);
  if (riid == IID_IPersist) return GetInterface(static_cast<IPersist *>(this), ppv);
  return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CBaseFilter::GetClassID(CLSID *clsid) {
  if (!clsid) return E_POINTER;
  *clsid = m_clsid;
  return NOERROR;
}

STDMETHODIMP CBaseFilter::Stop() {
  CAutoLock lock(m_pLock);
  HRESULT result = NOERROR;
  if (m_State != State_Stopped) {
    for (int i = 0; i < GetPinCount(); ++i) {
      CBasePin *pin = GetPin(i);
      if (pin && pin->IsConnected()) {
        HRESULT hr = pin->Inactive();
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
      }
    }
  }
  m_State = State_Stopped;
  return result;
}

STDMETHODIMP CBaseFilter::Pause() {
  CAutoLock lock(m_pLock);
  if (m_State == State_Stopped) {
    for (int i = 0; i < GetPinCount(); ++i) {
      CBasePin *pin = GetPin(i);
      if (pin && pin->IsConnected()) {
        HRESULT hr = pin->Active();
        if (FAILED(hr)) return hr;
      }
    }
  }
  m_State = State_Paused;
  return S_OK;
}

STDMETHODIMP CBaseFilter::Run(REFERENCE_TIME start) {
  CAutoLock lock(m_pLock);
  m_tStart = start;
  if (m_State == State_Stopped) {
    HRESULT hr = Pause();
    if (FAILED(hr)) return hr;
  }
  if (m_State != State_Running) {
    for (int i = 0; i < GetPinCount(); ++i) {
      CBasePin *pin = GetPin(i);
      if (pin && pin->IsConnected()) {
        HRESULT hr = pin->Run(start);
        if (FAILED(hr)) return hr;
      }
    }
  }
  m_State = State_Running;
  return S_OK;
}

STDMETHODIMP CBaseFilter::GetState(DWORD, FILTER_STATE *state) {
  if (!state) return E_POINTER;
  *state = m_State;
  return S_OK;
}

STDMETHODIMP CBaseFilter::SetSyncSource(IReferenceClock *clock) {
  CAutoLock lock(m_pLock);
  if (clock) clock->AddRef();
  if (m_pClock) m_pClock->Release();
  m_pClock = clock;
  return NOERROR;
}

STDMETHODIMP CBaseFilter::GetSyncSource(IReferenceClock **clock) {
  if (!clock) return E_POINTER;
  CAutoLock lock(m_pLock);
  if (m_pClock) m_pClock->AddRef();
  *clock = m_pClock;
  return NOERROR;
}

STDMETHODIMP CBaseFilter::EnumPins(IEnumPins **pins) {
  if (!pins) return E_POINTER;
  *pins = new CEnumPins(this, nullptr);
  return NOERROR;
}

STDMETHODIMP CBaseFilter::FindPin(LPCWSTR id, IPin **pin) {
  if (!id || !pin) return E_POINTER;
  CAutoLock lock(m_pLock);
  for (int i = 0; i < GetPinCount(); ++i) {
    CBasePin *candidate = GetPin(i);
    if (candidate && strmbase::equal(candidate->Name(), id)) {
      *pin = candidate;
      candidate->AddRef();
      return S_OK;
    }
  }
  *pin = nullptr;
  return VFW_E_NOT_FOUND;
}

STDMETHODIMP CBaseFilter::QueryFilterInfo(FILTER_INFO *info) {
  if (!info) return E_POINTER;
  strmbase::copyInto(info->achName, MAX_FILTER_NAME, m_pName ? m_pName : u"");
  info->pGraph = m_pGraph;
  if (m_pGraph) m_pGraph->AddRef();
  return NOERROR;
}

// The graph is not AddRef'd: it holds the filter, and a reference back would keep both alive.
STDMETHODIMP CBaseFilter::JoinFilterGraph(IFilterGraph *graph, LPCWSTR name) {
  CAutoLock lock(m_pLock);
  m_pGraph = graph;
  delete[] m_pName;
  m_pName = graph ? strmbase::copy(name) : nullptr;
  return NOERROR;
}

STDMETHODIMP CBaseFilter::QueryVendorInfo(LPWSTR *) { return E_NOTIMPL; }
