// The capture filter itself: opening the camera from the property bag, its pins, the video
// control and the picture properties; the library's class factory.
#include "filter.h"

#include <cctype>

#include "device/faults.h"
#include "device/profile.h"

namespace capfilter {
namespace {

// The profile's DirectShow camera has this driver name (compared without case).
bool isTheCamera(const device::Profile &profile, BSTR name) {
  if (!profile.contains("camera", "directshow") || !profile.has("dshow_device") || !name) return false;
  const std::string wanted = profile.text("dshow_device");
  const UINT length = SysStringLen(name);
  if (length != wanted.size()) return false;
  for (UINT i = 0; i < length; ++i)
    if (name[i] > 0x7F || std::tolower(int(name[i])) != std::tolower((unsigned char)wanted[i])) return false;
  return true;
}

}  // namespace

template <class Interface, PropertySet kSet>
STDMETHODIMP PropertyInterface<Interface, kSet>::QueryInterface(REFIID riid, void **ppv) {
  return filter_->GetOwner()->QueryInterface(riid, ppv);
}
template <class Interface, PropertySet kSet>
STDMETHODIMP_(ULONG) PropertyInterface<Interface, kSet>::AddRef() {
  return filter_->GetOwner()->AddRef();
}
template <class Interface, PropertySet kSet>
STDMETHODIMP_(ULONG) PropertyInterface<Interface, kSet>::Release() {
  return filter_->GetOwner()->Release();
}
template <class Interface, PropertySet kSet>
STDMETHODIMP PropertyInterface<Interface, kSet>::GetRange(LONG property, LONG *min, LONG *max, LONG *step,
                                                          LONG *def, LONG *flags) {
  return filter_->controls().range(kSet, property, min, max, step, def, flags);
}
template <class Interface, PropertySet kSet>
STDMETHODIMP PropertyInterface<Interface, kSet>::Set(LONG property, LONG value, LONG flags) {
  HRESULT hr = filter_->controls().set(kSet, property, value, flags);
  if (SUCCEEDED(hr)) filter_->applyControls();
  return hr;
}
template <class Interface, PropertySet kSet>
STDMETHODIMP PropertyInterface<Interface, kSet>::Get(LONG property, LONG *value, LONG *flags) {
  return filter_->controls().get(kSet, property, value, flags);
}

CCaptureFilter::CCaptureFilter(LPUNKNOWN outer)
    : CBaseFilter(TEXT("video capture filter"), outer, &lock_, CLSID_VideoCapture) {}

CCaptureFilter::~CCaptureFilter() {
  // The pins' threads end before the pins go (a filter released without being stopped).
  if (capture_) capture_->Inactive();
  if (still_) still_->Inactive();
}

CUnknown *CCaptureFilter::Create(LPUNKNOWN outer, HRESULT *phr) {
  if (phr) *phr = S_OK;
  return new CCaptureFilter(outer);
}

STDMETHODIMP CCaptureFilter::NonDelegatingQueryInterface(REFIID riid, void **ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IPersistPropertyBag) return GetInterface(static_cast<IPersistPropertyBag *>(this), ppv);
  if (riid == IID_IAMVideoControl) return GetInterface(static_cast<IAMVideoControl *>(this), ppv);
  if (riid == IID_IAMVideoProcAmp) return GetInterface(static_cast<IAMVideoProcAmp *>(&procAmp_), ppv);
  if (riid == IID_IAMCameraControl) return GetInterface(static_cast<IAMCameraControl *>(&cameraControl_), ppv);
  return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
}

int CCaptureFilter::GetPinCount() {
  CAutoLock lock(&lock_);
  return (capture_ ? 1 : 0) + (still_ ? 1 : 0);
}

CBasePin *CCaptureFilter::GetPin(int n) {
  CAutoLock lock(&lock_);
  if (n == 0) return capture_.get();
  if (n == 1) return still_.get();
  return nullptr;
}

STDMETHODIMP CCaptureFilter::Pause() {
  CAutoLock lock(&lock_);
  if (m_State == State_Running) {
    if (capture_) capture_->pauseDelivery();
    if (still_) still_->pauseDelivery();
  }
  return CBaseFilter::Pause();
}

// A live source cannot cue pictures while paused.
STDMETHODIMP CCaptureFilter::GetState(DWORD msTimeout, FILTER_STATE *state) {
  HRESULT hr = CBaseFilter::GetState(msTimeout, state);
  return SUCCEEDED(hr) && *state == State_Paused ? VFW_S_CANT_CUE : hr;
}

STDMETHODIMP CCaptureFilter::Load(IPropertyBag *bag, IErrorLog *log) {
  if (!bag) return E_POINTER;
  CAutoLock lock(&lock_);
  if (capture_) return E_UNEXPECTED;  // a filter opens one camera, once
  VARIANT name;
  VariantInit(&name);
  name.vt = VT_BSTR;
  HRESULT hr = bag->Read(u"VCapName", &name, log);
  if (FAILED(hr)) return hr;
  const device::Profile &profile = device::current();
  const bool known = name.vt == VT_BSTR && isTheCamera(profile, name.bstrVal);
  VariantClear(&name);
  if (!known || !(sensor_ = device::sensor())) return VFW_E_NO_CAPTURE_HARDWARE;

  std::vector<Capability> captureList = parseCapabilities(profile.all("dshow_capture"));
  if (captureList.empty())
    captureList.push_back({LONG(sensor_->nativeWidth()), LONG(sensor_->nativeHeight()), MEDIASUBTYPE_UYVY,
                           device::kSensorUYVY, Block::videoInfo});
  capture_ = std::make_unique<CCapturePin>(this, &lock_, u"Capture", PIN_CATEGORY_CAPTURE, std::move(captureList));
  std::vector<Capability> stillList = parseCapabilities(profile.all("dshow_still"));
  if (!stillList.empty())
    still_ = std::make_unique<CCapturePin>(this, &lock_, u"Still", PIN_CATEGORY_STILL, std::move(stillList));
  IncrementPinVersion();
  applyControls();  // an opened camera starts from the default picture
  return S_OK;
}

void CCaptureFilter::applyControls() {
  if (sensor_) sensor_->setControls(controls_.sensorControls());
}

CCapturePin *CCaptureFilter::pinOf(IPin *pin) const {
  if (capture_ && pin == static_cast<IPin *>(capture_.get())) return capture_.get();
  if (still_ && pin == static_cast<IPin *>(still_.get())) return still_.get();
  return nullptr;
}

STDMETHODIMP CCaptureFilter::GetCaps(IPin *pin, LONG *flags) {
  if (!pin || !flags) return E_POINTER;
  CAutoLock lock(&lock_);
  CCapturePin *ours = pinOf(pin);
  if (!ours) return E_INVALIDARG;
  *flags = ours->isStill() ? VideoControlFlag_Trigger | VideoControlFlag_ExternalTriggerEnable : 0;
  return S_OK;
}

STDMETHODIMP CCaptureFilter::SetMode(IPin *pin, LONG mode) {
  if (!pin) return E_POINTER;
  CCapturePin *ours;
  {
    CAutoLock lock(&lock_);
    ours = pinOf(pin);
    LONG caps = 0;
    if (!ours || FAILED(GetCaps(pin, &caps)) || (mode & ~caps)) return E_INVALIDARG;
    if (device::faultRequested("dshow-setmode")) return E_FAIL;
    if (ours->isStill()) stillMode_ = mode & ~VideoControlFlag_Trigger;  // the trigger is an event
  }
  return mode & VideoControlFlag_Trigger ? ours->trigger() : S_OK;
}

STDMETHODIMP CCaptureFilter::GetMode(IPin *pin, LONG *mode) {
  if (!pin || !mode) return E_POINTER;
  CAutoLock lock(&lock_);
  CCapturePin *ours = pinOf(pin);
  if (!ours) return E_INVALIDARG;
  *mode = ours->isStill() ? stillMode_ : 0;
  return S_OK;
}

STDMETHODIMP CCaptureFilter::GetCurrentActualFrameRate(IPin *pin, LONGLONG *interval) {
  if (!pin || !interval) return E_POINTER;
  CAutoLock lock(&lock_);
  CCapturePin *ours = pinOf(pin);
  if (!ours) return E_INVALIDARG;
  if (!ours->IsConnected()) return VFW_E_NOT_CONNECTED;
  *interval = ours->frameInterval();
  return S_OK;
}

STDMETHODIMP CCaptureFilter::GetMaxAvailableFrameRate(IPin *pin, LONG index, SIZE, LONGLONG *interval) {
  if (!pin || !interval) return E_POINTER;
  CAutoLock lock(&lock_);
  CCapturePin *ours = pinOf(pin);
  if (!ours || index < 0 || size_t(index) >= ours->capabilities().size()) return E_INVALIDARG;
  *interval = ours->frameInterval();
  return S_OK;
}

// The frame intervals of the capability: the sensor's, and twice it in night mode.
STDMETHODIMP CCaptureFilter::GetFrameRateList(IPin *pin, LONG index, SIZE, LONG *count, LONGLONG **list) {
  if (!pin || !count) return E_POINTER;
  CAutoLock lock(&lock_);
  CCapturePin *ours = pinOf(pin);
  if (!ours || index < 0 || size_t(index) >= ours->capabilities().size()) return E_INVALIDARG;
  const LONGLONG base = LONGLONG(sensor_->frameInterval() / (sensor_->controls().night ? 2 : 1)) * 10000;
  *count = 2;
  if (!list) return S_OK;
  *list = static_cast<LONGLONG *>(CoTaskMemAlloc(2 * sizeof(LONGLONG)));
  if (!*list) return E_OUTOFMEMORY;
  (*list)[0] = base;
  (*list)[1] = 2 * base;
  return S_OK;
}

namespace {
CClassFactory filterFactory(CLSID_VideoCapture, CCaptureFilter::Create);
}

}  // namespace capfilter

extern "C" __declspec(dllexport) HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void **ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (clsid != CLSID_VideoCapture) return CLASS_E_CLASSNOTAVAILABLE;
  return capfilter::filterFactory.QueryInterface(riid, ppv);
}

extern "C" __declspec(dllexport) HRESULT DllCanUnloadNow() {
  return CBaseObject::ObjectsActive() == 0 && CClassFactory::Locks() == 0 ? S_OK : S_FALSE;
}
