#include <algorithm>
#include <cstring>

#include <streams.h>

CMediaSample::CMediaSample(LPCTSTR, CBaseAllocator *allocator, HRESULT *phr, BYTE *buffer, LONG length)
    : m_dwFlags(0), m_dwTypeSpecificFlags(0), m_pBuffer(buffer), m_lActual(length), m_cbBuffer(length),
      m_pAllocator(allocator), m_Start(0), m_End(0), m_MediaStart(0), m_MediaEnd(0), m_pMediaType(nullptr),
      m_dwStreamId(0), m_cRef(0) {
  if (length < 0 && phr) *phr = VFW_E_BUFFER_OVERFLOW;
}

CMediaSample::~CMediaSample() { DeleteMediaType(m_pMediaType); }

STDMETHODIMP CMediaSample::QueryInterface(REFIID riid, void **ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IMediaSample || riid == IID_IMediaSample2 || riid == IID_IUnknown)
    return GetInterface(static_cast<IMediaSample2 *>(this), ppv);
  *ppv = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CMediaSample::AddRef() { return ULONG(InterlockedIncrement(&m_cRef)); }

// At zero the sample goes back to its allocator, which keeps it.
STDMETHODIMP_(ULONG) CMediaSample::Release() {
  LONG left = InterlockedDecrement(&m_cRef);
  if (left == 0) {
    m_dwFlags = 0;
    m_dwTypeSpecificFlags = 0;
    if (m_pMediaType) {
      DeleteMediaType(m_pMediaType);
      m_pMediaType = nullptr;
    }
    m_pAllocator->ReleaseBuffer(this);
  }
  return ULONG(left);
}

HRESULT CMediaSample::SetPointer(BYTE *buffer, LONG length) {
  if (length < 0) return VFW_E_BUFFER_OVERFLOW;
  m_pBuffer = buffer;
  m_cbBuffer = length;
  m_lActual = length;
  return NOERROR;
}

STDMETHODIMP CMediaSample::GetPointer(BYTE **buffer) {
  if (!buffer) return E_POINTER;
  *buffer = m_pBuffer;
  return NOERROR;
}

STDMETHODIMP_(LONG) CMediaSample::GetSize() { return m_cbBuffer; }

STDMETHODIMP CMediaSample::GetTime(REFERENCE_TIME *start, REFERENCE_TIME *end) {
  if (!start || !end) return E_POINTER;
  if (!(m_dwFlags & AM_SAMPLE_TIMEVALID)) return VFW_E_SAMPLE_TIME_NOT_SET;
  *start = m_Start;
  if (!(m_dwFlags & AM_SAMPLE_STOPVALID)) {
    *end = m_Start + 1;
    return VFW_S_NO_STOP_TIME;
  }
  *end = m_End;
  return NOERROR;
}

STDMETHODIMP CMediaSample::SetTime(REFERENCE_TIME *start, REFERENCE_TIME *end) {
  if (!start) {
    m_dwFlags &= ~(AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID);
    return NOERROR;
  }
  m_Start = *start;
  m_dwFlags |= AM_SAMPLE_TIMEVALID;
  if (end) {
    m_End = *end;
    m_dwFlags |= AM_SAMPLE_STOPVALID;
  } else {
    m_dwFlags &= ~AM_SAMPLE_STOPVALID;
  }
  return NOERROR;
}

namespace {

HRESULT flag(DWORD flags, DWORD which) { return (flags & which) ? S_OK : S_FALSE; }
void setFlag(DWORD &flags, DWORD which, BOOL on) { flags = on ? flags | which : flags & ~which; }

}  // namespace

STDMETHODIMP CMediaSample::IsSyncPoint() { return flag(m_dwFlags, AM_SAMPLE_SPLICEPOINT); }
STDMETHODIMP CMediaSample::SetSyncPoint(BOOL sync) {
  setFlag(m_dwFlags, AM_SAMPLE_SPLICEPOINT, sync);
  return NOERROR;
}
STDMETHODIMP CMediaSample::IsPreroll() { return flag(m_dwFlags, AM_SAMPLE_PREROLL); }
STDMETHODIMP CMediaSample::SetPreroll(BOOL preroll) {
  setFlag(m_dwFlags, AM_SAMPLE_PREROLL, preroll);
  return NOERROR;
}
STDMETHODIMP CMediaSample::IsDiscontinuity() { return flag(m_dwFlags, AM_SAMPLE_DATADISCONTINUITY); }
STDMETHODIMP CMediaSample::SetDiscontinuity(BOOL discontinuity) {
  setFlag(m_dwFlags, AM_SAMPLE_DATADISCONTINUITY, discontinuity);
  return NOERROR;
}

STDMETHODIMP_(LONG) CMediaSample::GetActualDataLength() { return m_lActual; }

STDMETHODIMP CMediaSample::SetActualDataLength(LONG length) {
  if (length < 0 || length > m_cbBuffer) return VFW_E_BUFFER_OVERFLOW;
  m_lActual = length;
  return NOERROR;
}

// A copy for the caller (DeleteMediaType), or S_FALSE and null when the type did not change.
STDMETHODIMP CMediaSample::GetMediaType(AM_MEDIA_TYPE **type) {
  if (!type) return E_POINTER;
  if (!(m_dwFlags & AM_SAMPLE_TYPECHANGED) || !m_pMediaType) {
    *type = nullptr;
    return S_FALSE;
  }
  *type = CreateMediaType(m_pMediaType);
  return *type ? NOERROR : E_OUTOFMEMORY;
}

STDMETHODIMP CMediaSample::SetMediaType(AM_MEDIA_TYPE *type) {
  DeleteMediaType(m_pMediaType);
  m_pMediaType = nullptr;
  if (!type) {
    m_dwFlags &= ~AM_SAMPLE_TYPECHANGED;
    return NOERROR;
  }
  m_pMediaType = CreateMediaType(type);
  if (!m_pMediaType) {
    m_dwFlags &= ~AM_SAMPLE_TYPECHANGED;
    return E_OUTOFMEMORY;
  }
  m_dwFlags |= AM_SAMPLE_TYPECHANGED;
  return NOERROR;
}

STDMETHODIMP CMediaSample::GetMediaTime(LONGLONG *start, LONGLONG *end) {
  if (!start || !end) return E_POINTER;
  *start = m_MediaStart;
  *end = m_MediaEnd;
  return NOERROR;
}

STDMETHODIMP CMediaSample::SetMediaTime(LONGLONG *start, LONGLONG *end) {
  m_MediaStart = start ? *start : 0;
  m_MediaEnd = end ? *end : 0;
  return NOERROR;
}

STDMETHODIMP CMediaSample::GetProperties(DWORD size, BYTE *properties) {
  if (!properties) return E_POINTER;
  AM_SAMPLE2_PROPERTIES all;
  all.cbData = std::min<DWORD>(size, sizeof all);
  all.dwTypeSpecificFlags = m_dwTypeSpecificFlags;
  all.dwSampleFlags = m_dwFlags & ~AM_SAMPLE_TYPECHANGED;
  if (m_pMediaType && (m_dwFlags & AM_SAMPLE_TYPECHANGED)) all.dwSampleFlags |= AM_SAMPLE_TYPECHANGED;
  all.lActual = m_lActual;
  all.tStart = m_Start;
  all.tStop = m_End;
  all.dwStreamId = m_dwStreamId;
  all.pMediaType = m_pMediaType;
  all.pbBuffer = m_pBuffer;
  all.cbBuffer = m_cbBuffer;
  std::memcpy(properties, &all, all.cbData);
  return NOERROR;
}

STDMETHODIMP CMediaSample::SetProperties(DWORD size, const BYTE *properties) {
  if (!properties) return E_POINTER;
  if (size < offsetof(AM_SAMPLE2_PROPERTIES, pbBuffer)) return E_INVALIDARG;
  AM_SAMPLE2_PROPERTIES given;
  std::memcpy(&given, properties, std::min<DWORD>(size, sizeof given));
  if (given.lActual < 0 || given.lActual > m_cbBuffer) return VFW_E_BUFFER_OVERFLOW;
  m_dwTypeSpecificFlags = given.dwTypeSpecificFlags;
  m_lActual = given.lActual;
  m_Start = given.tStart;
  m_End = given.tStop;
  m_dwStreamId = given.dwStreamId;
  if (given.dwSampleFlags & AM_SAMPLE_TYPECHANGED) {
    HRESULT hr = SetMediaType(given.pMediaType);
    if (FAILED(hr)) return hr;
  }
  m_dwFlags = (given.dwSampleFlags & ~AM_SAMPLE_TYPECHANGED) | (m_dwFlags & AM_SAMPLE_TYPECHANGED);
  return NOERROR;
}
