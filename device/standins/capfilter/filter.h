// The handset's video capture filter: CLSID_VideoCapture over the camera sensor.
//
// IPersistPropertyBag::Load reads the camera's name ("VCapName", such as "CAM1:") and opens that
// camera; before it the filter has no pins, and an unknown name gives VFW_E_NO_CAPTURE_HARDWARE.
// Then it has a capture pin and, when the profile lists still formats, a still pin, each
// answering its category through IKsPropertySet and offering the profile's capabilities through
// IAMStreamConfig. Each connected pin streams on a thread of its own from Pause to Stop: the
// capture pin delivers a picture every frame interval while the filter runs, the still pin one
// picture for each IAMVideoControl trigger. The filter is live: paused, it delivers nothing and
// says VFW_S_CANT_CUE. IAMVideoProcAmp and IAMCameraControl change the sensor's picture at once.
//
// Faults (HANDSET_FAULTS): dshow-format:WxH (SetFormat refuses the formats of that size),
// dshow-setmode (SetMode refuses), dshow-still-silent (a still trigger delivers nothing).
#pragma once

#include <streams.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "controls.h"
#include "formats.h"

namespace capfilter {

class CCaptureFilter;

class CCapturePin : public CBaseOutputPin, public IAMStreamConfig, public IKsPropertySet {
 public:
  CCapturePin(CCaptureFilter *filter, CCritSec *lock, LPCWSTR name, const GUID &category,
              std::vector<Capability> capabilities);
  ~CCapturePin() override;

  DECLARE_IUNKNOWN
  STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv) override;

  // CBasePin / CBaseOutputPin
  HRESULT CheckMediaType(const CMediaType *type) override;
  HRESULT GetMediaType(int position, CMediaType *type) override;
  HRESULT DecideBufferSize(IMemAllocator *allocator, ALLOCATOR_PROPERTIES *request) override;
  HRESULT Active() override;
  HRESULT Inactive() override;
  HRESULT Run(REFERENCE_TIME start) override;

  // IAMStreamConfig
  STDMETHODIMP SetFormat(AM_MEDIA_TYPE *pmt) override;
  STDMETHODIMP GetFormat(AM_MEDIA_TYPE **pmt) override;
  STDMETHODIMP GetNumberOfCapabilities(int *count, int *size) override;
  STDMETHODIMP GetStreamCaps(int index, AM_MEDIA_TYPE **pmt, BYTE *caps) override;

  // IKsPropertySet: the pin's category, read only.
  STDMETHODIMP Set(REFGUID set, DWORD id, LPVOID instance, DWORD instanceSize, LPVOID data, DWORD dataSize) override;
  STDMETHODIMP Get(REFGUID set, DWORD id, LPVOID instance, DWORD instanceSize, LPVOID data, DWORD dataSize,
                   DWORD *returned) override;
  STDMETHODIMP QuerySupported(REFGUID set, DWORD id, DWORD *support) override;

  bool isStill() const;
  const std::vector<Capability> &capabilities() const { return capabilities_; }
  // The filter goes from running to paused: the pin stops delivering.
  void pauseDelivery();
  // One still picture at the connected format: VFW_E_NOT_CONNECTED, or VFW_E_NOT_RUNNING while
  // the filter does not run.
  HRESULT trigger();
  REFERENCE_TIME frameInterval() const;

 private:
  HRESULT reconnect();
  bool refused(const Capability &c) const;
  void stopWorker();
  void stream();
  void deliverOne(const Capability &format, REFERENCE_TIME start);

  CCaptureFilter *filter_;
  GUID category_;
  std::vector<Capability> capabilities_;
  int chosen_ = -1;  // the capability SetFormat chose; -1: all are offered, the first by default

  std::thread worker_;
  std::mutex streamLock_;  // guards what follows; never held while a sample is delivered
  std::condition_variable wake_;
  bool stopping_ = false;
  bool running_ = false;
  int stillsPending_ = 0;
  int streamFormat_ = 0;  // the capability connected when the pin went active
  std::chrono::steady_clock::time_point runStart_;
};

// IAMVideoProcAmp or IAMCameraControl over the filter's controls; its IUnknown is the filter's.
template <class Interface, PropertySet kSet>
class PropertyInterface : public Interface {
 public:
  explicit PropertyInterface(CCaptureFilter *filter) : filter_(filter) {}
  STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP GetRange(LONG property, LONG *min, LONG *max, LONG *step, LONG *def, LONG *flags) override;
  STDMETHODIMP Set(LONG property, LONG value, LONG flags) override;
  STDMETHODIMP Get(LONG property, LONG *value, LONG *flags) override;

 private:
  CCaptureFilter *filter_;
};

class CCaptureFilter : public CBaseFilter, public IPersistPropertyBag, public IAMVideoControl {
 public:
  static CUnknown *Create(LPUNKNOWN outer, HRESULT *phr);
  ~CCaptureFilter() override;

  DECLARE_IUNKNOWN
  STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv) override;

  int GetPinCount() override;
  CBasePin *GetPin(int n) override;
  STDMETHODIMP Pause() override;
  STDMETHODIMP GetState(DWORD msTimeout, FILTER_STATE *state) override;

  // IPersist (both bases)
  STDMETHODIMP GetClassID(CLSID *clsid) override { return CBaseFilter::GetClassID(clsid); }
  // IPersistPropertyBag
  STDMETHODIMP InitNew() override { return S_OK; }
  STDMETHODIMP Load(IPropertyBag *bag, IErrorLog *log) override;
  STDMETHODIMP Save(IPropertyBag *, BOOL, BOOL) override { return E_NOTIMPL; }

  // IAMVideoControl: the still pin takes the trigger, the capture pin no mode.
  STDMETHODIMP GetCaps(IPin *pin, LONG *flags) override;
  STDMETHODIMP SetMode(IPin *pin, LONG mode) override;
  STDMETHODIMP GetMode(IPin *pin, LONG *mode) override;
  STDMETHODIMP GetCurrentActualFrameRate(IPin *pin, LONGLONG *interval) override;
  STDMETHODIMP GetMaxAvailableFrameRate(IPin *pin, LONG index, SIZE dimensions, LONGLONG *interval) override;
  STDMETHODIMP GetFrameRateList(IPin *pin, LONG index, SIZE dimensions, LONG *count, LONGLONG **list) override;

  device::Sensor *sensor() const { return sensor_; }
  Controls &controls() { return controls_; }
  // Hands the properties in force to the sensor.
  void applyControls();

 private:
  explicit CCaptureFilter(LPUNKNOWN outer);
  CCapturePin *pinOf(IPin *pin) const;

  CCritSec lock_;
  device::Sensor *sensor_ = nullptr;
  Controls controls_;
  std::unique_ptr<CCapturePin> capture_, still_;
  LONG stillMode_ = 0;
  PropertyInterface<IAMVideoProcAmp, PropertySet::procAmp> procAmp_{this};
  PropertyInterface<IAMCameraControl, PropertySet::camera> cameraControl_{this};
};

}  // namespace capfilter
