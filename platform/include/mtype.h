// CMediaType: an AM_MEDIA_TYPE that owns its format block, and the helpers for plain ones.
#pragma once

#include <strmif.h>

class CMediaType : public AM_MEDIA_TYPE {
 public:
  CMediaType();
  explicit CMediaType(const GUID *majortype);
  CMediaType(const AM_MEDIA_TYPE &type, HRESULT *phr = nullptr);
  CMediaType(const CMediaType &type, HRESULT *phr = nullptr);
  ~CMediaType();

  CMediaType &operator=(const CMediaType &type);
  CMediaType &operator=(const AM_MEDIA_TYPE &type);
  bool operator==(const CMediaType &type) const;
  bool operator!=(const CMediaType &type) const { return !(*this == type); }

  HRESULT Set(const CMediaType &type);
  HRESULT Set(const AM_MEDIA_TYPE &type);
  BOOL IsValid() const { return !IsEqualGUID(majortype, GUID_NULL); }

  const GUID *Type() const { return &majortype; }
  void SetType(const GUID *type) { majortype = *type; }
  const GUID *Subtype() const { return &subtype; }
  void SetSubtype(const GUID *type) { subtype = *type; }
  const GUID *FormatType() const { return &formattype; }
  void SetFormatType(const GUID *type) { formattype = *type; }
  BOOL IsFixedSize() const { return bFixedSizeSamples; }
  BOOL IsTemporalCompressed() const { return bTemporalCompression; }
  ULONG GetSampleSize() const { return bFixedSizeSamples ? lSampleSize : 0; }
  void SetSampleSize(ULONG size);
  void SetVariableSize() { bFixedSizeSamples = FALSE; }
  void SetTemporalCompression(BOOL compressed) { bTemporalCompression = compressed; }

  BYTE *Format() const { return pbFormat; }
  ULONG FormatLength() const { return cbFormat; }
  BOOL SetFormat(const BYTE *format, ULONG length);
  void ResetFormatBuffer();
  BYTE *AllocFormatBuffer(ULONG length);
  BYTE *ReallocFormatBuffer(ULONG length);
  void InitMediaType();

  // A GUID_NULL major type, subtype or format type leaves that part open.
  BOOL IsPartiallySpecified() const;
  // Whether this type fits `partial`: its specified parts are equal.
  BOOL MatchesPartial(const CMediaType *partial) const;
};

void WINAPI FreeMediaType(AM_MEDIA_TYPE &type);
void WINAPI DeleteMediaType(AM_MEDIA_TYPE *type);
AM_MEDIA_TYPE *WINAPI CreateMediaType(const AM_MEDIA_TYPE *source);
HRESULT WINAPI CopyMediaType(AM_MEDIA_TYPE *target, const AM_MEDIA_TYPE *source);
