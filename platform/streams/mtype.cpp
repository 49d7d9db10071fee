#include <algorithm>
#include <cstring>

#include <streams.h>

void WINAPI FreeMediaType(AM_MEDIA_TYPE &type) {
  if (type.cbFormat != 0) CoTaskMemFree(type.pbFormat);
  type.cbFormat = 0;
  type.pbFormat = nullptr;
  if (type.pUnk) {
    type.pUnk->Release();
    type.pUnk = nullptr;
  }
}

void WINAPI DeleteMediaType(AM_MEDIA_TYPE *type) {
  if (!type) return;
  FreeMediaType(*type);
  CoTaskMemFree(type);
}

HRESULT WINAPI CopyMediaType(AM_MEDIA_TYPE *target, const AM_MEDIA_TYPE *source) {
  *target = *source;
  if (source->cbFormat != 0) {
    target->pbFormat = static_cast<BYTE *>(CoTaskMemAlloc(source->cbFormat));
    if (!target->pbFormat) {
      target->cbFormat = 0;
      return E_OUTOFMEMORY;
    }
    std::memcpy(target->pbFormat, source->pbFormat, source->cbFormat);
  } else {
    target->pbFormat = nullptr;
  }
  if (target->pUnk) target->pUnk->AddRef();
  return S_OK;
}

AM_MEDIA_TYPE *WINAPI CreateMediaType(const AM_MEDIA_TYPE *source) {
  auto *type = static_cast<AM_MEDIA_TYPE *>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (!type) return nullptr;
  if (FAILED(CopyMediaType(type, source))) {
    CoTaskMemFree(type);
    return nullptr;
  }
  return type;
}

CMediaType::CMediaType() { InitMediaType(); }

CMediaType::CMediaType(const GUID *type) {
  InitMediaType();
  majortype = *type;
}

CMediaType::CMediaType(const AM_MEDIA_TYPE &type, HRESULT *phr) {
  InitMediaType();
  HRESULT hr = CopyMediaType(this, &type);
  if (phr) *phr = hr;
}

CMediaType::CMediaType(const CMediaType &type, HRESULT *phr) : AM_MEDIA_TYPE() {
  InitMediaType();
  HRESULT hr = CopyMediaType(this, &type);
  if (phr) *phr = hr;
}

CMediaType::~CMediaType() { FreeMediaType(*this); }

CMediaType &CMediaType::operator=(const CMediaType &type) {
  Set(type);
  return *this;
}

CMediaType &CMediaType::operator=(const AM_MEDIA_TYPE &type) {
  Set(type);
  return *this;
}

bool CMediaType::operator==(const CMediaType &type) const {
  return IsEqualGUID(majortype, type.majortype) && IsEqualGUID(subtype, type.subtype) &&
         IsEqualGUID(formattype, type.formattype) && cbFormat == type.cbFormat &&
         (cbFormat == 0 || std::memcmp(pbFormat, type.pbFormat, cbFormat) == 0);
}

HRESULT CMediaType::Set(const CMediaType &type) { return Set(static_cast<const AM_MEDIA_TYPE &>(type)); }

HRESULT CMediaType::Set(const AM_MEDIA_TYPE &type) {
  if (&type == this) return S_OK;
  FreeMediaType(*this);
  HRESULT hr = CopyMediaType(this, &type);
  return FAILED(hr) ? E_OUTOFMEMORY : S_OK;
}

void CMediaType::SetSampleSize(ULONG size) {
  if (size == 0) {
    SetVariableSize();
  } else {
    bFixedSizeSamples = TRUE;
    lSampleSize = size;
  }
}

BOOL CMediaType::SetFormat(const BYTE *format, ULONG length) {
  if (!AllocFormatBuffer(length) && length) return FALSE;
  if (length) std::memcpy(pbFormat, format, length);
  return TRUE;
}

void CMediaType::ResetFormatBuffer() {
  if (cbFormat) CoTaskMemFree(pbFormat);
  cbFormat = 0;
  pbFormat = nullptr;
}

BYTE *CMediaType::AllocFormatBuffer(ULONG length) {
  if (cbFormat == length && length) return pbFormat;
  ResetFormatBuffer();
  if (!length) return nullptr;
  pbFormat = static_cast<BYTE *>(CoTaskMemAlloc(length));
  if (pbFormat) {
    std::memset(pbFormat, 0, length);
    cbFormat = length;
  }
  return pbFormat;
}

BYTE *CMediaType::ReallocFormatBuffer(ULONG length) {
  BYTE *grown = static_cast<BYTE *>(CoTaskMemAlloc(length ? length : 1));
  if (!grown) return nullptr;
  std::memset(grown, 0, length);
  if (cbFormat) std::memcpy(grown, pbFormat, std::min(cbFormat, length));
  ResetFormatBuffer();
  pbFormat = grown;
  cbFormat = length;
  return pbFormat;
}

void CMediaType::InitMediaType() {
  std::memset(static_cast<AM_MEDIA_TYPE *>(this), 0, sizeof(AM_MEDIA_TYPE));
  lSampleSize = 1;
  bFixedSizeSamples = TRUE;
}

BOOL CMediaType::IsPartiallySpecified() const {
  return IsEqualGUID(majortype, GUID_NULL) || IsEqualGUID(subtype, GUID_NULL) ||
         IsEqualGUID(formattype, GUID_NULL);
}

BOOL CMediaType::MatchesPartial(const CMediaType *partial) const {
  if (!IsEqualGUID(partial->majortype, GUID_NULL) && !IsEqualGUID(majortype, partial->majortype)) return FALSE;
  if (!IsEqualGUID(partial->subtype, GUID_NULL) && !IsEqualGUID(subtype, partial->subtype)) return FALSE;
  if (!IsEqualGUID(partial->formattype, GUID_NULL)) {
    if (!IsEqualGUID(formattype, partial->formattype) || cbFormat != partial->cbFormat) return FALSE;
    if (cbFormat && std::memcmp(pbFormat, partial->pbFormat, cbFormat) != 0) return FALSE;
  }
  return TRUE;
}
