// The pin and media-type enumerators. Both fail with VFW_E_ENUM_OUT_OF_SYNC once the pins or
// the types changed under them, until Reset.
#include <streams.h>

CEnumPins::CEnumPins(CBaseFilter *filter, CEnumPins *from)
    : m_Position(from ? from->m_Position : 0), m_PinCount(filter->GetPinCount()), m_pFilter(filter),
      m_Version(from ? from->m_Version : filter->GetPinVersion()), m_cRef(1) {
  m_pFilter->AddRef();
}

CEnumPins::~CEnumPins() { m_pFilter->Release(); }

STDMETHODIMP CEnumPins::QueryInterface(REFIID riid, void **ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IEnumPins || riid == IID_IUnknown) return GetInterface(static_cast<IEnumPins *>(this), ppv);
  *ppv = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CEnumPins::AddRef() { return ULONG(InterlockedIncrement(&m_cRef)); }

STDMETHODIMP_(ULONG) CEnumPins::Release() {
  LONG left = InterlockedDecrement(&m_cRef);
  if (left == 0) delete this;
  return ULONG(left);
}

STDMETHODIMP CEnumPins::Next(ULONG count, IPin **pins, ULONG *fetched) {
  if (!pins) return E_POINTER;
  if (fetched) *fetched = 0;
  else if (count > 1) return E_INVALIDARG;
  if (outOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  ULONG got = 0;
  while (got < count && m_Position < m_PinCount) {
    CBasePin *pin = m_pFilter->GetPin(m_Position++);
    if (!pin) break;
    pins[got] = pin;
    pin->AddRef();
    ++got;
  }
  if (fetched) *fetched = got;
  return got == count ? S_OK : S_FALSE;
}

STDMETHODIMP CEnumPins::Skip(ULONG count) {
  if (outOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  if (count > ULONG(m_PinCount - m_Position)) return S_FALSE;
  m_Position += int(count);
  return S_OK;
}

STDMETHODIMP CEnumPins::Reset() {
  m_Version = m_pFilter->GetPinVersion();
  m_PinCount = m_pFilter->GetPinCount();
  m_Position = 0;
  return S_OK;
}

STDMETHODIMP CEnumPins::Clone(IEnumPins **clone) {
  if (!clone) return E_POINTER;
  if (outOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  *clone = new CEnumPins(m_pFilter, this);
  return S_OK;
}

CEnumMediaTypes::CEnumMediaTypes(CBasePin *pin, CEnumMediaTypes *from)
    : m_Position(from ? from->m_Position : 0), m_pPin(pin),
      m_Version(from ? from->m_Version : pin->GetMediaTypeVersion()), m_cRef(1) {
  m_pPin->AddRef();
}

CEnumMediaTypes::~CEnumMediaTypes() { m_pPin->Release(); }

STDMETHODIMP CEnumMediaTypes::QueryInterface(REFIID riid, void **ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IEnumMediaTypes || riid == IID_IUnknown)
    return GetInterface(static_cast<IEnumMediaTypes *>(this), ppv);
  *ppv = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CEnumMediaTypes::AddRef() { return ULONG(InterlockedIncrement(&m_cRef)); }

STDMETHODIMP_(ULONG) CEnumMediaTypes::Release() {
  LONG left = InterlockedDecrement(&m_cRef);
  if (left == 0) delete this;
  return ULONG(left);
}

// Each type handed out is the caller's, freed with DeleteMediaType.
STDMETHODIMP CEnumMediaTypes::Next(ULONG count, AM_MEDIA_TYPE **types, ULONG *fetched) {
  if (!types) return E_POINTER;
  if (fetched) *fetched = 0;
  else if (count > 1) return E_INVALIDARG;
  if (outOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  ULONG got = 0;
  while (got < count) {
    CMediaType type;
    if (m_pPin->GetMediaType(m_Position, &type) != S_OK) break;
    AM_MEDIA_TYPE *copy = CreateMediaType(&type);
    if (!copy) break;
    types[got++] = copy;
    ++m_Position;
  }
  if (fetched) *fetched = got;
  return got == count ? S_OK : S_FALSE;
}

STDMETHODIMP CEnumMediaTypes::Skip(ULONG count) {
  if (outOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  while (count-- > 0) {
    CMediaType type;
    if (m_pPin->GetMediaType(m_Position, &type) != S_OK) return S_FALSE;
    ++m_Position;
  }
  return S_OK;
}

STDMETHODIMP CEnumMediaTypes::Reset() {
  m_Position = 0;
  m_Version = m_pPin->GetMediaTypeVersion();
  return S_OK;
}

STDMETHODIMP CEnumMediaTypes::Clone(IEnumMediaTypes **clone) {
  if (!clone) return E_POINTER;
  if (outOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  *clone = new CEnumMediaTypes(m_pPin, this);
  return S_OK;
}
