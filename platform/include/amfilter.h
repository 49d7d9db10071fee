// Filters, pins, their enumerators, media samples and the memory allocator of the DirectShow
// base classes.
//
// What a derived class may rely on: a pin's reference count is its filter's; the filter does
// not hold a reference to its graph; CBaseFilter's state changes call Active/Inactive/Run on
// every connected pin, under the filter lock; CBaseOutputPin negotiates the allocator when it
// connects (the input pin's allocator first, else a CMemAllocator) and commits it when active;
// CBaseInputPin::Receive refuses samples while stopped (VFW_E_WRONG_STATE), flushing (S_FALSE)
// or after a rejected type change (VFW_E_RUNTIME_ERROR). The state words a streaming thread
// reads while another thread changes the state (the filter's state, a pin's flushing and error
// flags) are atomic, so a sample delivered during Stop sees either state.
#pragma once

#include <atomic>

#include <combase.h>
#include <mtype.h>
#include <wxutil.h>

#include <strmif.h>

class CBasePin;
class CBaseAllocator;

class CBaseFilter : public CUnknown, public IBaseFilter {
 public:
  CBaseFilter(LPCTSTR objectName, LPUNKNOWN outer, CCritSec *lock, REFCLSID clsid, HRESULT *phr = nullptr);
  ~CBaseFilter() override;

  DECLARE_IUNKNOWN
  STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv) override;

  // IPersist
  STDMETHODIMP GetClassID(CLSID *clsid) override;
  // IMediaFilter
  STDMETHODIMP Stop() override;
  STDMETHODIMP Pause() override;
  STDMETHODIMP Run(REFERENCE_TIME start) override;
  STDMETHODIMP GetState(DWORD msTimeout, FILTER_STATE *state) override;
  STDMETHODIMP SetSyncSource(IReferenceClock *clock) override;
  STDMETHODIMP GetSyncSource(IReferenceClock **clock) override;
  // IBaseFilter
  STDMETHODIMP EnumPins(IEnumPins **pins) override;
  STDMETHODIMP FindPin(LPCWSTR id, IPin **pin) override;
  STDMETHODIMP QueryFilterInfo(FILTER_INFO *info) override;
  STDMETHODIMP JoinFilterGraph(IFilterGraph *graph, LPCWSTR name) override;
  STDMETHODIMP QueryVendorInfo(LPWSTR *info) override;

  virtual int GetPinCount() = 0;
  // The pin of index n, without a reference; null beyond the last.
  virtual CBasePin *GetPin(int n) = 0;
  // Changes when the pins change, so that enumerators know they are out of date.
  virtual LONG GetPinVersion() { return m_PinVersion; }
  void IncrementPinVersion() { InterlockedIncrement(&m_PinVersion); }

  BOOL IsActive() {
    CAutoLock lock(m_pLock);
    return m_State != State_Stopped;
  }
  BOOL IsStopped() { return m_State == State_Stopped; }
  IFilterGraph *GetFilterGraph() { return m_pGraph; }

 protected:
  std::atomic<FILTER_STATE> m_State;
  IReferenceClock *m_pClock;
  REFERENCE_TIME m_tStart;
  CLSID m_clsid;
  CCritSec *m_pLock;
  WCHAR *m_pName;
  IFilterGraph *m_pGraph;
  volatile LONG m_PinVersion;
};

class CBasePin : public CUnknown, public IPin, public IQualityControl {
 public:
  CBasePin(LPCTSTR objectName, CBaseFilter *filter, CCritSec *lock, HRESULT *phr, LPCWSTR name, PIN_DIRECTION dir);
  ~CBasePin() override;

  DECLARE_IUNKNOWN
  STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv) override;
  // A pin lives as long as its filter: its count is the filter's.
  STDMETHODIMP_(ULONG) NonDelegatingAddRef() override;
  STDMETHODIMP_(ULONG) NonDelegatingRelease() override;

  // IPin
  STDMETHODIMP Connect(IPin *receivePin, const AM_MEDIA_TYPE *pmt) override;
  STDMETHODIMP ReceiveConnection(IPin *connector, const AM_MEDIA_TYPE *pmt) override;
  STDMETHODIMP Disconnect() override;
  STDMETHODIMP ConnectedTo(IPin **pin) override;
  STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE *pmt) override;
  STDMETHODIMP QueryPinInfo(PIN_INFO *info) override;
  STDMETHODIMP QueryDirection(PIN_DIRECTION *dir) override;
  STDMETHODIMP QueryId(LPWSTR *id) override;
  STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE *pmt) override;
  STDMETHODIMP EnumMediaTypes(IEnumMediaTypes **types) override;
  STDMETHODIMP QueryInternalConnections(IPin **pins, ULONG *count) override;
  STDMETHODIMP EndOfStream() override;
  STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
  // IQualityControl
  STDMETHODIMP Notify(IBaseFilter *self, Quality q) override;
  STDMETHODIMP SetSink(IQualityControl *sink) override;

  // What a derived pin overrides.
  virtual HRESULT CheckMediaType(const CMediaType *type) = 0;
  virtual HRESULT SetMediaType(const CMediaType *type);
  virtual HRESULT CheckConnect(IPin *pin);
  virtual HRESULT BreakConnect();
  virtual HRESULT CompleteConnect(IPin *receivePin);
  // The pin's preferred types, from index 0: S_OK, VFW_S_NO_MORE_ITEMS beyond the last.
  virtual HRESULT GetMediaType(int position, CMediaType *type);
  virtual LONG GetMediaTypeVersion() { return m_TypeVersion; }
  void IncrementTypeVersion() { InterlockedIncrement(&m_TypeVersion); }
  virtual HRESULT Active() { return NOERROR; }
  virtual HRESULT Inactive() { return NOERROR; }
  virtual HRESULT Run(REFERENCE_TIME) { return NOERROR; }

  BOOL IsConnected() const { return m_Connected != nullptr; }
  IPin *GetConnected() const { return m_Connected; }
  BOOL IsStopped() const { return m_pFilter->IsStopped(); }
  LPWSTR Name() const { return m_pName; }
  const CMediaType &CurrentMediaType() const { return m_mt; }

 protected:
  HRESULT AgreeMediaType(IPin *receivePin, const CMediaType *pmt);
  HRESULT TryMediaTypes(IPin *receivePin, const CMediaType *pmt, IEnumMediaTypes *types);
  HRESULT AttemptConnection(IPin *receivePin, const CMediaType *pmt);
  HRESULT DisconnectInternal();

  WCHAR *m_pName;
  IPin *m_Connected;
  PIN_DIRECTION m_dir;
  CCritSec *m_pLock;
  std::atomic<bool> m_bRunTimeError;
  bool m_bTryMyTypesFirst;
  CBaseFilter *m_pFilter;
  IQualityControl *m_pQSink;
  LONG m_TypeVersion;
  CMediaType m_mt;
  REFERENCE_TIME m_tStart, m_tStop;
  double m_dRate;
};

class CEnumPins : public IEnumPins {
 public:
  CEnumPins(CBaseFilter *filter, CEnumPins *from);
  virtual ~CEnumPins();
  STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP Next(ULONG count, IPin **pins, ULONG *fetched) override;
  STDMETHODIMP Skip(ULONG count) override;
  STDMETHODIMP Reset() override;
  STDMETHODIMP Clone(IEnumPins **clone) override;

 private:
  bool outOfSync() const { return m_Version != m_pFilter->GetPinVersion(); }
  int m_Position;
  int m_PinCount;
  CBaseFilter *m_pFilter;  // with a reference
  LONG m_Version;
  volatile LONG m_cRef;
};

class CEnumMediaTypes : public IEnumMediaTypes {
 public:
  CEnumMediaTypes(CBasePin *pin, CEnumMediaTypes *from);
  virtual ~CEnumMediaTypes();
  STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP Next(ULONG count, AM_MEDIA_TYPE **types, ULONG *fetched) override;
  STDMETHODIMP Skip(ULONG count) override;
  STDMETHODIMP Reset() override;
  STDMETHODIMP Clone(IEnumMediaTypes **clone) override;

 private:
  bool outOfSync() const { return m_Version != m_pPin->GetMediaTypeVersion(); }
  int m_Position;
  CBasePin *m_pPin;  // with a reference
  LONG m_Version;
  volatile LONG m_cRef;
};

class CBaseOutputPin : public CBasePin {
 public:
  CBaseOutputPin(LPCTSTR objectName, CBaseFilter *filter, CCritSec *lock, HRESULT *phr, LPCWSTR name);
  // A pin destroyed while still connected lets its allocator and the peer's input go.
  ~CBaseOutputPin() override;

  HRESULT CheckConnect(IPin *pin) override;
  HRESULT BreakConnect() override;
  HRESULT CompleteConnect(IPin *receivePin) override;
  HRESULT Active() override;
  HRESULT Inactive() override;

  // The buffer count and size the allocator must give for the current type.
  virtual HRESULT DecideBufferSize(IMemAllocator *allocator, ALLOCATOR_PROPERTIES *request) = 0;
  virtual HRESULT DecideAllocator(IMemInputPin *pin, IMemAllocator **allocator);
  virtual HRESULT InitAllocator(IMemAllocator **allocator);
  virtual HRESULT GetDeliveryBuffer(IMediaSample **sample, REFERENCE_TIME *start, REFERENCE_TIME *end, DWORD flags);
  virtual HRESULT Deliver(IMediaSample *sample);
  virtual HRESULT DeliverEndOfStream();
  virtual HRESULT DeliverBeginFlush();
  virtual HRESULT DeliverEndFlush();
  virtual HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

  // An output pin receives neither.
  STDMETHODIMP EndOfStream() override { return E_UNEXPECTED; }
  STDMETHODIMP BeginFlush() override { return E_UNEXPECTED; }
  STDMETHODIMP EndFlush() override { return E_UNEXPECTED; }

  IMemAllocator *Allocator() const { return m_pAllocator; }

 protected:
  IMemAllocator *m_pAllocator;
  IMemInputPin *m_pInputPin;
};

class CBaseInputPin : public CBasePin, public IMemInputPin {
 public:
  CBaseInputPin(LPCTSTR objectName, CBaseFilter *filter, CCritSec *lock, HRESULT *phr, LPCWSTR name);
  ~CBaseInputPin() override;

  DECLARE_IUNKNOWN
  STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv) override;

  // IMemInputPin
  STDMETHODIMP GetAllocator(IMemAllocator **allocator) override;
  STDMETHODIMP NotifyAllocator(IMemAllocator *allocator, BOOL readOnly) override;
  STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES *props) override;
  // The standard checks; a derived pin calls it first and goes on only on S_OK.
  STDMETHODIMP Receive(IMediaSample *sample) override;
  STDMETHODIMP ReceiveMultiple(IMediaSample **samples, LONG count, LONG *processed) override;
  STDMETHODIMP ReceiveCanBlock() override;

  STDMETHODIMP BeginFlush() override;
  STDMETHODIMP EndFlush() override;
  STDMETHODIMP EndOfStream() override;

  HRESULT BreakConnect() override;
  HRESULT Inactive() override;
  // VFW_E_WRONG_STATE stopped, S_FALSE flushing, VFW_E_RUNTIME_ERROR after an error, else S_OK.
  virtual HRESULT CheckStreaming();
  BOOL IsFlushing() const { return m_bFlushing; }
  BOOL IsReadOnly() const { return m_bReadOnly; }

 protected:
  IMemAllocator *m_pAllocator;
  BYTE m_bReadOnly;
  std::atomic<BYTE> m_bFlushing;
  AM_SAMPLE2_PROPERTIES m_SampleProps;
};

// A buffer of an allocator. Its last Release hands it back to the allocator.
class CMediaSample : public IMediaSample2 {
 public:
  CMediaSample(LPCTSTR name, CBaseAllocator *allocator, HRESULT *phr, BYTE *buffer = nullptr, LONG length = 0);
  virtual ~CMediaSample();
  STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  HRESULT SetPointer(BYTE *buffer, LONG length);
  STDMETHODIMP GetPointer(BYTE **buffer) override;
  STDMETHODIMP_(LONG) GetSize() override;
  STDMETHODIMP GetTime(REFERENCE_TIME *start, REFERENCE_TIME *end) override;
  STDMETHODIMP SetTime(REFERENCE_TIME *start, REFERENCE_TIME *end) override;
  STDMETHODIMP IsSyncPoint() override;
  STDMETHODIMP SetSyncPoint(BOOL sync) override;
  STDMETHODIMP IsPreroll() override;
  STDMETHODIMP SetPreroll(BOOL preroll) override;
  STDMETHODIMP_(LONG) GetActualDataLength() override;
  STDMETHODIMP SetActualDataLength(LONG length) override;
  STDMETHODIMP GetMediaType(AM_MEDIA_TYPE **type) override;
  STDMETHODIMP SetMediaType(AM_MEDIA_TYPE *type) override;
  STDMETHODIMP IsDiscontinuity() override;
  STDMETHODIMP SetDiscontinuity(BOOL discontinuity) override;
  STDMETHODIMP GetMediaTime(LONGLONG *start, LONGLONG *end) override;
  STDMETHODIMP SetMediaTime(LONGLONG *start, LONGLONG *end) override;
  STDMETHODIMP GetProperties(DWORD size, BYTE *properties) override;
  STDMETHODIMP SetProperties(DWORD size, const BYTE *properties) override;

 protected:
  friend class CBaseAllocator;
  DWORD m_dwFlags;
  DWORD m_dwTypeSpecificFlags;
  BYTE *m_pBuffer;
  LONG m_lActual;
  LONG m_cbBuffer;
  CBaseAllocator *m_pAllocator;
  REFERENCE_TIME m_Start, m_End;
  LONGLONG m_MediaStart, m_MediaEnd;
  AM_MEDIA_TYPE *m_pMediaType;
  DWORD m_dwStreamId;
  volatile LONG m_cRef;
};

// Allocators hold their samples and buffers; each sample given out holds a reference to its
// allocator until it comes back, so a decommitted allocator frees its buffers when the last
// sample returns.
class CBaseAllocator : public CUnknown, public IMemAllocator {
 public:
  CBaseAllocator(LPCTSTR name, LPUNKNOWN outer, HRESULT *phr);
  ~CBaseAllocator() override;

  DECLARE_IUNKNOWN
  STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv) override;

  STDMETHODIMP SetProperties(ALLOCATOR_PROPERTIES *request, ALLOCATOR_PROPERTIES *actual) override;
  STDMETHODIMP GetProperties(ALLOCATOR_PROPERTIES *props) override;
  STDMETHODIMP Commit() override;
  STDMETHODIMP Decommit() override;
  // Blocks while every sample is out, unless AM_GBF_NOWAIT (then VFW_E_TIMEOUT).
  STDMETHODIMP GetBuffer(IMediaSample **sample, REFERENCE_TIME *start, REFERENCE_TIME *end, DWORD flags) override;
  STDMETHODIMP ReleaseBuffer(IMediaSample *sample) override;

 protected:
  virtual HRESULT Alloc() = 0;
  virtual void Free() = 0;

  CCritSec m_Lock;
  CAMEvent m_evFree;
  CMediaSample **m_pFree;  // a stack of the samples in hand
  LONG m_lFree;
  LONG m_lAllocated;
  LONG m_lCount, m_lSize, m_lAlignment, m_lPrefix;
  BOOL m_bChanged;
  BOOL m_bCommitted;
  BOOL m_bDecommitInProgress;
};

class CMemAllocator : public CBaseAllocator {
 public:
  CMemAllocator(LPCTSTR name, LPUNKNOWN outer, HRESULT *phr);
  ~CMemAllocator() override;
  STDMETHODIMP SetProperties(ALLOCATOR_PROPERTIES *request, ALLOCATOR_PROPERTIES *actual) override;
  static CUnknown *CreateInstance(LPUNKNOWN outer, HRESULT *phr);

 protected:
  HRESULT Alloc() override;
  void Free() override;
  BYTE *m_pBuffer;
};
