// CBaseAllocator and CMemAllocator: one block holding every buffer, samples on a free stack.
#include <cstdlib>
#include <cstring>

#include <streams.h>

CBaseAllocator::CBaseAllocator(LPCTSTR name, LPUNKNOWN outer, HRESULT *phr)
    : CUnknown(name, outer, phr), m_evFree(FALSE), m_pFree(nullptr), m_lFree(0), m_lAllocated(0), m_lCount(0),
      m_lSize(0), m_lAlignment(0), m_lPrefix(0), m_bChanged(FALSE), m_bCommitted(FALSE),
      m_bDecommitInProgress(FALSE) {}

CBaseAllocator::~CBaseAllocator() { delete[] m_pFree; }

STDMETHODIMP CBaseAllocator::NonDelegatingQueryInterface(REFIID riid, void **ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IMemAllocator) return GetInterface(static_cast<IMemAllocator *>(this), ppv);
  return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CBaseAllocator::SetProperties(ALLOCATOR_PROPERTIES *request, ALLOCATOR_PROPERTIES *actual) {
  if (!request || !actual) return E_POINTER;
  CAutoLock lock(&m_Lock);
  if (m_bCommitted) return VFW_E_ALREADY_COMMITTED;
  if (m_lAllocated != m_lFree) return VFW_E_BUFFERS_OUTSTANDING;
  if (request->cBuffers <= 0 || request->cbBuffer <= 0 || request->cbPrefix < 0) return E_INVALIDARG;
  LONG align = request->cbAlign == 0 ? 1 : request->cbAlign;
  if (align < 0 || (align & (align - 1)) != 0) return VFW_E_BADALIGN;
  m_lCount = request->cBuffers;
  m_lSize = request->cbBuffer;
  m_lAlignment = align;
  m_lPrefix = request->cbPrefix;
  m_bChanged = TRUE;
  *actual = {m_lCount, m_lSize, m_lAlignment, m_lPrefix};
  return NOERROR;
}

STDMETHODIMP CBaseAllocator::GetProperties(ALLOCATOR_PROPERTIES *props) {
  if (!props) return E_POINTER;
  CAutoLock lock(&m_Lock);
  *props = {m_lCount, m_lSize, m_lAlignment, m_lPrefix};
  return NOERROR;
}

STDMETHODIMP CBaseAllocator::Commit() {
  CAutoLock lock(&m_Lock);
  if (m_bCommitted) return NOERROR;
  if (m_lCount <= 0 || m_lSize <= 0) return VFW_E_SIZENOTSET;
  m_bDecommitInProgress = FALSE;
  if (m_lAllocated == 0 || m_bChanged) {
    if (m_lAllocated != m_lFree) return VFW_E_BUFFERS_OUTSTANDING;
    HRESULT hr = Alloc();
    if (FAILED(hr)) return hr;
    m_bChanged = FALSE;
  }
  m_bCommitted = TRUE;
  return NOERROR;
}

// Buffers still out are freed when the last of them comes back.
STDMETHODIMP CBaseAllocator::Decommit() {
  CAutoLock lock(&m_Lock);
  if (!m_bCommitted) return NOERROR;
  m_bCommitted = FALSE;
  if (m_lFree == m_lAllocated)
    Free();
  else
    m_bDecommitInProgress = TRUE;
  m_evFree.Set();  // a blocked GetBuffer sees the change
  return NOERROR;
}

STDMETHODIMP CBaseAllocator::GetBuffer(IMediaSample **sample, REFERENCE_TIME *, REFERENCE_TIME *, DWORD flags) {
  if (!sample) return E_POINTER;
  *sample = nullptr;
  while (true) {
    {
      CAutoLock lock(&m_Lock);
      if (!m_bCommitted) return VFW_E_NOT_COMMITTED;
      if (m_lFree > 0) {
        CMediaSample *taken = m_pFree[--m_lFree];
        taken->m_cRef = 1;
        *sample = taken;
        AddRef();  // the allocator outlives its samples
        return NOERROR;
      }
      if (flags & AM_GBF_NOWAIT) return VFW_E_TIMEOUT;
    }
    m_evFree.Wait();
  }
}

STDMETHODIMP CBaseAllocator::ReleaseBuffer(IMediaSample *sample) {
  if (!sample) return E_POINTER;
  {
    CAutoLock lock(&m_Lock);
    m_pFree[m_lFree++] = static_cast<CMediaSample *>(sample);
    if (m_bDecommitInProgress && m_lFree == m_lAllocated) {
      m_bDecommitInProgress = FALSE;
      Free();
    }
  }
  m_evFree.Set();
  Release();
  return NOERROR;
}

CMemAllocator::CMemAllocator(LPCTSTR name, LPUNKNOWN outer, HRESULT *phr)
    : CBaseAllocator(name, outer, phr), m_pBuffer(nullptr) {}

CMemAllocator::~CMemAllocator() {
  Decommit();
  CAutoLock lock(&m_Lock);
  if (m_lAllocated) Free();
}

CUnknown *CMemAllocator::CreateInstance(LPUNKNOWN outer, HRESULT *phr) {
  return new CMemAllocator(TEXT("memory allocator"), outer, phr);
}

STDMETHODIMP CMemAllocator::SetProperties(ALLOCATOR_PROPERTIES *request, ALLOCATOR_PROPERTIES *actual) {
  if (!request || !actual) return E_POINTER;
  // This allocator aligns only to 1: a stricter alignment is refused.
  if (request->cbAlign > 1) return VFW_E_BADALIGN;
  return CBaseAllocator::SetProperties(request, actual);
}

HRESULT CMemAllocator::Alloc() {
  if (m_lAllocated) Free();
  LONG each = m_lSize + m_lPrefix;
  m_pBuffer = static_cast<BYTE *>(std::calloc(size_t(m_lCount), size_t(each)));
  m_pFree = new CMediaSample *[size_t(m_lCount)];
  if (!m_pBuffer) return E_OUTOFMEMORY;
  for (LONG i = 0; i < m_lCount; ++i) {
    HRESULT hr = S_OK;
    m_pFree[i] = new CMediaSample(TEXT("sample"), this, &hr, m_pBuffer + i * each + m_lPrefix, m_lSize);
  }
  m_lFree = m_lAllocated = m_lCount;
  return NOERROR;
}

void CMemAllocator::Free() {
  for (LONG i = 0; i < m_lFree; ++i) delete m_pFree[i];
  delete[] m_pFree;
  m_pFree = nullptr;
  m_lFree = m_lAllocated = 0;
  std::free(m_pBuffer);
  m_pBuffer = nullptr;
}
