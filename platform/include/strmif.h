// DirectShow interfaces and structures, with the SDK's slot orders, layouts and identifiers.
#pragma once

#include <objbase.h>

#include <amvideo.h>
#include <uuids.h>
#include <vfwmsgs.h>

DEFINE_GUID(IID_IFilterGraph, 0x56A8689F, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
DEFINE_GUID(IID_IGraphBuilder, 0x56A868A9, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
DEFINE_GUID(IID_IMediaFilter, 0x56A86899, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
DEFINE_GUID(IID_IBaseFilter, 0x56A86895, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
DEFINE_GUID(IID_IPin, 0x56A86891, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
DEFINE_GUID(IID_IEnumPins, 0x56A86892, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
DEFINE_GUID(IID_IEnumFilters, 0x56A86893, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
DEFINE_GUID(IID_IEnumMediaTypes, 0x89C31040, 0x846B, 0x11CE, 0x97, 0xD3, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A);
DEFINE_GUID(IID_IMemInputPin, 0x56A8689D, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
DEFINE_GUID(IID_IMemAllocator, 0x56A8689C, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
DEFINE_GUID(IID_IMediaSample, 0x56A8689A, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
DEFINE_GUID(IID_IMediaSample2, 0x36B73884, 0xC2C8, 0x11CF, 0x8B, 0x46, 0x00, 0x80, 0x5F, 0x6C, 0xEF, 0x60);
DEFINE_GUID(IID_IQualityControl, 0x56A868A5, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
DEFINE_GUID(IID_IReferenceClock, 0x56A86897, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
DEFINE_GUID(IID_IKsPropertySet, 0x31EFAC30, 0x515C, 0x11D0, 0xA9, 0xAA, 0x00, 0xAA, 0x00, 0x61, 0xBE, 0x93);
DEFINE_GUID(IID_IAMStreamConfig, 0xC6E13340, 0x30AC, 0x11D0, 0xA1, 0x8C, 0x00, 0xA0, 0xC9, 0x11, 0x89, 0x56);
DEFINE_GUID(IID_IAMVideoControl, 0x6A2E0670, 0x28E4, 0x11D0, 0xA1, 0x8C, 0x00, 0xA0, 0xC9, 0x11, 0x89, 0x56);
DEFINE_GUID(IID_IAMVideoProcAmp, 0xC6E13360, 0x30AC, 0x11D0, 0xA1, 0x8C, 0x00, 0xA0, 0xC9, 0x11, 0x89, 0x56);
DEFINE_GUID(IID_IAMCameraControl, 0xC6E13370, 0x30AC, 0x11D0, 0xA1, 0x8C, 0x00, 0xA0, 0xC9, 0x11, 0x89, 0x56);

#define MAX_PIN_NAME 128
#define MAX_FILTER_NAME 128

typedef struct _AMMediaType {
  GUID majortype;
  GUID subtype;
  BOOL bFixedSizeSamples;
  BOOL bTemporalCompression;
  ULONG lSampleSize;
  GUID formattype;
  IUnknown *pUnk;
  ULONG cbFormat;
  BYTE *pbFormat;
} AM_MEDIA_TYPE;
static_assert(offsetof(AM_MEDIA_TYPE, formattype) == 44 && offsetof(AM_MEDIA_TYPE, pUnk) == (sizeof(void *) == 8 ? 64 : 60));
static_assert(sizeof(AM_MEDIA_TYPE) == (sizeof(void *) == 8 ? 88 : 72));

typedef enum _PinDirection { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 } PIN_DIRECTION;
typedef enum _FilterState { State_Stopped = 0, State_Paused = 1, State_Running = 2 } FILTER_STATE;

interface IBaseFilter;
interface IFilterGraph;
interface IPin;
interface IReferenceClock;
interface IMediaSample;

typedef struct _PinInfo {
  IBaseFilter *pFilter;  // AddRef'd for the caller
  PIN_DIRECTION dir;
  WCHAR achName[MAX_PIN_NAME];
} PIN_INFO;
static_assert(sizeof(PIN_INFO) == (sizeof(void *) == 8 ? 272 : 264));

typedef struct _FilterInfo {
  WCHAR achName[MAX_FILTER_NAME];
  IFilterGraph *pGraph;  // AddRef'd for the caller; may be null
} FILTER_INFO;
static_assert(sizeof(FILTER_INFO) == (sizeof(void *) == 8 ? 264 : 260));

typedef struct _AllocatorProperties {
  LONG cBuffers;
  LONG cbBuffer;
  LONG cbAlign;
  LONG cbPrefix;
} ALLOCATOR_PROPERTIES;
static_assert(sizeof(ALLOCATOR_PROPERTIES) == 16);

typedef struct tagAM_SAMPLE2_PROPERTIES {
  DWORD cbData;
  DWORD dwTypeSpecificFlags;
  DWORD dwSampleFlags;
  LONG lActual;
  REFERENCE_TIME tStart;
  REFERENCE_TIME tStop;
  DWORD dwStreamId;
  AM_MEDIA_TYPE *pMediaType;
  BYTE *pbBuffer;
  LONG cbBuffer;
} AM_SAMPLE2_PROPERTIES;
static_assert(sizeof(AM_SAMPLE2_PROPERTIES) == (sizeof(void *) == 8 ? 64 : 48));

enum tagAM_SAMPLE_PROPERTY_FLAGS {
  AM_SAMPLE_SPLICEPOINT = 0x1,
  AM_SAMPLE_PREROLL = 0x2,
  AM_SAMPLE_DATADISCONTINUITY = 0x4,
  AM_SAMPLE_TYPECHANGED = 0x8,
  AM_SAMPLE_TIMEVALID = 0x10,
  AM_SAMPLE_TIMEDISCONTINUITY = 0x40,
  AM_SAMPLE_FLUSH_ON_PAUSE = 0x80,
  AM_SAMPLE_STOPVALID = 0x100,
  AM_SAMPLE_ENDOFSTREAM = 0x200
};
#define AM_GBF_PREVFRAMESKIPPED 1
#define AM_GBF_NOTASYNCPOINT 2
#define AM_GBF_NOWAIT 4

typedef struct _VIDEO_STREAM_CONFIG_CAPS {
  GUID guid;
  ULONG VideoStandard;
  SIZE InputSize;
  SIZE MinCroppingSize;
  SIZE MaxCroppingSize;
  int CropGranularityX;
  int CropGranularityY;
  int CropAlignX;
  int CropAlignY;
  SIZE MinOutputSize;
  SIZE MaxOutputSize;
  int OutputGranularityX;
  int OutputGranularityY;
  int StretchTapsX;
  int StretchTapsY;
  int ShrinkTapsX;
  int ShrinkTapsY;
  alignas(8) LONGLONG MinFrameInterval;
  alignas(8) LONGLONG MaxFrameInterval;
  LONG MinBitsPerSecond;
  LONG MaxBitsPerSecond;
} VIDEO_STREAM_CONFIG_CAPS;
static_assert(sizeof(VIDEO_STREAM_CONFIG_CAPS) == 128 && offsetof(VIDEO_STREAM_CONFIG_CAPS, MaxOutputSize) == 68 &&
              offsetof(VIDEO_STREAM_CONFIG_CAPS, MinFrameInterval) == 104);

typedef enum { AMPROPERTY_PIN_CATEGORY = 0, AMPROPERTY_PIN_MEDIUM = 1 } AMPROPERTY_PIN;
#define KSPROPERTY_SUPPORT_GET 1
#define KSPROPERTY_SUPPORT_SET 2

typedef enum tagVideoProcAmpProperty {
  VideoProcAmp_Brightness, VideoProcAmp_Contrast, VideoProcAmp_Hue, VideoProcAmp_Saturation,
  VideoProcAmp_Sharpness, VideoProcAmp_Gamma, VideoProcAmp_ColorEnable, VideoProcAmp_WhiteBalance,
  VideoProcAmp_BacklightCompensation, VideoProcAmp_Gain
} VideoProcAmpProperty;
typedef enum tagVideoProcAmpFlags { VideoProcAmp_Flags_Auto = 0x1, VideoProcAmp_Flags_Manual = 0x2 } VideoProcAmpFlags;
typedef enum tagCameraControlProperty {
  CameraControl_Pan, CameraControl_Tilt, CameraControl_Roll, CameraControl_Zoom, CameraControl_Exposure,
  CameraControl_Iris, CameraControl_Focus, CameraControl_Flash
} CameraControlProperty;
typedef enum tagCameraControlFlags { CameraControl_Flags_Auto = 0x1, CameraControl_Flags_Manual = 0x2 } CameraControlFlags;
typedef enum tagVideoControlFlags {
  VideoControlFlag_FlipHorizontal = 0x1,
  VideoControlFlag_FlipVertical = 0x2,
  VideoControlFlag_ExternalTriggerEnable = 0x4,
  VideoControlFlag_Trigger = 0x8
} VideoControlFlags;

typedef struct tagQuality {
  int Type;
  LONG Proportion;
  REFERENCE_TIME Late;
  REFERENCE_TIME TimeStamp;
} Quality;

interface IEnumPins : public IUnknown {
  STDMETHOD(Next)(ULONG count, IPin **pins, ULONG *fetched) PURE;
  STDMETHOD(Skip)(ULONG count) PURE;
  STDMETHOD(Reset)() PURE;
  STDMETHOD(Clone)(IEnumPins **clone) PURE;
};

interface IEnumMediaTypes : public IUnknown {
  STDMETHOD(Next)(ULONG count, AM_MEDIA_TYPE **types, ULONG *fetched) PURE;
  STDMETHOD(Skip)(ULONG count) PURE;
  STDMETHOD(Reset)() PURE;
  STDMETHOD(Clone)(IEnumMediaTypes **clone) PURE;
};

interface IEnumFilters : public IUnknown {
  STDMETHOD(Next)(ULONG count, IBaseFilter **filters, ULONG *fetched) PURE;
  STDMETHOD(Skip)(ULONG count) PURE;
  STDMETHOD(Reset)() PURE;
  STDMETHOD(Clone)(IEnumFilters **clone) PURE;
};

interface IPin : public IUnknown {
  STDMETHOD(Connect)(IPin *receivePin, const AM_MEDIA_TYPE *pmt) PURE;
  STDMETHOD(ReceiveConnection)(IPin *connector, const AM_MEDIA_TYPE *pmt) PURE;
  STDMETHOD(Disconnect)() PURE;
  STDMETHOD(ConnectedTo)(IPin **pin) PURE;
  STDMETHOD(ConnectionMediaType)(AM_MEDIA_TYPE *pmt) PURE;
  STDMETHOD(QueryPinInfo)(PIN_INFO *info) PURE;
  STDMETHOD(QueryDirection)(PIN_DIRECTION *dir) PURE;
  STDMETHOD(QueryId)(LPWSTR *id) PURE;
  STDMETHOD(QueryAccept)(const AM_MEDIA_TYPE *pmt) PURE;
  STDMETHOD(EnumMediaTypes)(IEnumMediaTypes **types) PURE;
  STDMETHOD(QueryInternalConnections)(IPin **pins, ULONG *count) PURE;
  STDMETHOD(EndOfStream)() PURE;
  STDMETHOD(BeginFlush)() PURE;
  STDMETHOD(EndFlush)() PURE;
  STDMETHOD(NewSegment)(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) PURE;
};

interface IMediaFilter : public IPersist {
  STDMETHOD(Stop)() PURE;
  STDMETHOD(Pause)() PURE;
  STDMETHOD(Run)(REFERENCE_TIME start) PURE;
  STDMETHOD(GetState)(DWORD msTimeout, FILTER_STATE *state) PURE;
  STDMETHOD(SetSyncSource)(IReferenceClock *clock) PURE;
  STDMETHOD(GetSyncSource)(IReferenceClock **clock) PURE;
};

interface IBaseFilter : public IMediaFilter {
  STDMETHOD(EnumPins)(IEnumPins **pins) PURE;
  STDMETHOD(FindPin)(LPCWSTR id, IPin **pin) PURE;
  STDMETHOD(QueryFilterInfo)(FILTER_INFO *info) PURE;
  STDMETHOD(JoinFilterGraph)(IFilterGraph *graph, LPCWSTR name) PURE;
  STDMETHOD(QueryVendorInfo)(LPWSTR *info) PURE;
};

interface IFilterGraph : public IUnknown {
  STDMETHOD(AddFilter)(IBaseFilter *filter, LPCWSTR name) PURE;
  STDMETHOD(RemoveFilter)(IBaseFilter *filter) PURE;
  STDMETHOD(EnumFilters)(IEnumFilters **filters) PURE;
  STDMETHOD(FindFilterByName)(LPCWSTR name, IBaseFilter **filter) PURE;
  STDMETHOD(ConnectDirect)(IPin *out, IPin *in, const AM_MEDIA_TYPE *pmt) PURE;
  STDMETHOD(Reconnect)(IPin *pin) PURE;
  STDMETHOD(Disconnect)(IPin *pin) PURE;
  STDMETHOD(SetDefaultSyncSource)() PURE;
};

interface IReferenceClock : public IUnknown {
  STDMETHOD(GetTime)(REFERENCE_TIME *time) PURE;
  STDMETHOD(AdviseTime)(REFERENCE_TIME base, REFERENCE_TIME stream, HANDLE event, DWORD_PTR *cookie) PURE;
  STDMETHOD(AdvisePeriodic)(REFERENCE_TIME start, REFERENCE_TIME period, HANDLE semaphore, DWORD_PTR *cookie) PURE;
  STDMETHOD(Unadvise)(DWORD_PTR cookie) PURE;
};

interface IMediaSample : public IUnknown {
  STDMETHOD(GetPointer)(BYTE **buffer) PURE;
  STDMETHOD_(LONG, GetSize)() PURE;
  STDMETHOD(GetTime)(REFERENCE_TIME *start, REFERENCE_TIME *end) PURE;
  STDMETHOD(SetTime)(REFERENCE_TIME *start, REFERENCE_TIME *end) PURE;
  STDMETHOD(IsSyncPoint)() PURE;
  STDMETHOD(SetSyncPoint)(BOOL sync) PURE;
  STDMETHOD(IsPreroll)() PURE;
  STDMETHOD(SetPreroll)(BOOL preroll) PURE;
  STDMETHOD_(LONG, GetActualDataLength)() PURE;
  STDMETHOD(SetActualDataLength)(LONG length) PURE;
  STDMETHOD(GetMediaType)(AM_MEDIA_TYPE **type) PURE;
  STDMETHOD(SetMediaType)(AM_MEDIA_TYPE *type) PURE;
  STDMETHOD(IsDiscontinuity)() PURE;
  STDMETHOD(SetDiscontinuity)(BOOL discontinuity) PURE;
  STDMETHOD(GetMediaTime)(LONGLONG *start, LONGLONG *end) PURE;
  STDMETHOD(SetMediaTime)(LONGLONG *start, LONGLONG *end) PURE;
};

interface IMediaSample2 : public IMediaSample {
  STDMETHOD(GetProperties)(DWORD size, BYTE *properties) PURE;
  STDMETHOD(SetProperties)(DWORD size, const BYTE *properties) PURE;
};

interface IMemAllocator : public IUnknown {
  STDMETHOD(SetProperties)(ALLOCATOR_PROPERTIES *request, ALLOCATOR_PROPERTIES *actual) PURE;
  STDMETHOD(GetProperties)(ALLOCATOR_PROPERTIES *props) PURE;
  STDMETHOD(Commit)() PURE;
  STDMETHOD(Decommit)() PURE;
  STDMETHOD(GetBuffer)(IMediaSample **sample, REFERENCE_TIME *start, REFERENCE_TIME *end, DWORD flags) PURE;
  STDMETHOD(ReleaseBuffer)(IMediaSample *sample) PURE;
};

interface IMemInputPin : public IUnknown {
  STDMETHOD(GetAllocator)(IMemAllocator **allocator) PURE;
  STDMETHOD(NotifyAllocator)(IMemAllocator *allocator, BOOL readOnly) PURE;
  STDMETHOD(GetAllocatorRequirements)(ALLOCATOR_PROPERTIES *props) PURE;
  STDMETHOD(Receive)(IMediaSample *sample) PURE;
  STDMETHOD(ReceiveMultiple)(IMediaSample **samples, LONG count, LONG *processed) PURE;
  STDMETHOD(ReceiveCanBlock)() PURE;
};

interface IQualityControl : public IUnknown {
  STDMETHOD(Notify)(IBaseFilter *self, Quality q) PURE;
  STDMETHOD(SetSink)(IQualityControl *sink) PURE;
};

interface IKsPropertySet : public IUnknown {
  STDMETHOD(Set)(REFGUID set, DWORD id, LPVOID instance, DWORD instanceSize, LPVOID data, DWORD dataSize) PURE;
  STDMETHOD(Get)(REFGUID set, DWORD id, LPVOID instance, DWORD instanceSize, LPVOID data, DWORD dataSize,
                 DWORD *returned) PURE;
  STDMETHOD(QuerySupported)(REFGUID set, DWORD id, DWORD *support) PURE;
};

interface IAMStreamConfig : public IUnknown {
  STDMETHOD(SetFormat)(AM_MEDIA_TYPE *pmt) PURE;
  STDMETHOD(GetFormat)(AM_MEDIA_TYPE **pmt) PURE;
  STDMETHOD(GetNumberOfCapabilities)(int *count, int *size) PURE;
  STDMETHOD(GetStreamCaps)(int index, AM_MEDIA_TYPE **pmt, BYTE *caps) PURE;
};

interface IAMVideoControl : public IUnknown {
  STDMETHOD(GetCaps)(IPin *pin, LONG *flags) PURE;
  STDMETHOD(SetMode)(IPin *pin, LONG mode) PURE;
  STDMETHOD(GetMode)(IPin *pin, LONG *mode) PURE;
  STDMETHOD(GetCurrentActualFrameRate)(IPin *pin, LONGLONG *interval) PURE;
  STDMETHOD(GetMaxAvailableFrameRate)(IPin *pin, LONG index, SIZE dimensions, LONGLONG *interval) PURE;
  STDMETHOD(GetFrameRateList)(IPin *pin, LONG index, SIZE dimensions, LONG *count, LONGLONG **list) PURE;
};

interface IAMVideoProcAmp : public IUnknown {
  STDMETHOD(GetRange)(LONG property, LONG *min, LONG *max, LONG *step, LONG *def, LONG *flags) PURE;
  STDMETHOD(Set)(LONG property, LONG value, LONG flags) PURE;
  STDMETHOD(Get)(LONG property, LONG *value, LONG *flags) PURE;
};

interface IAMCameraControl : public IUnknown {
  STDMETHOD(GetRange)(LONG property, LONG *min, LONG *max, LONG *step, LONG *def, LONG *flags) PURE;
  STDMETHOD(Set)(LONG property, LONG value, LONG flags) PURE;
  STDMETHOD(Get)(LONG property, LONG *value, LONG *flags) PURE;
};
