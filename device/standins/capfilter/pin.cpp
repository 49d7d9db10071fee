// The capture filter's output pins: the capabilities they offer, the format chosen with
// IAMStreamConfig, the pin category, and the thread that delivers the sensor's pictures.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "device/faults.h"
#include "filter.h"

namespace capfilter {
namespace {

// The kernel-streaming pin property set: camera drivers answer the pin category there too, and
// callers written against the kernel-streaming headers ask with it.
DEFINE_GUID(kKsPinPropertySet, 0x8C134960, 0x51AD, 0x11CF, 0x87, 0x8A, 0x94, 0xF8, 0x01, 0xC1, 0x00, 0x00);

bool isPinPropertySet(REFGUID set) { return IsEqualGUID(set, AMPROPSETID_Pin) || IsEqualGUID(set, kKsPinPropertySet); }

constexpr LONG kBuffers = 3;
// Buffers come in whole pages with room to spare, as a driver's allocator gives them.
LONG bufferSize(DWORD imageBytes) { return LONG((imageBytes + 4096) / 4096 * 4096); }

REFERENCE_TIME toReferenceTime(std::chrono::steady_clock::duration d) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(d).count() / 100;
}

}  // namespace

CCapturePin::CCapturePin(CCaptureFilter *filter, CCritSec *lock, LPCWSTR name, const GUID &category,
                         std::vector<Capability> capabilities)
    : CBaseOutputPin(TEXT("capture filter pin"), filter, lock, nullptr, name), filter_(filter), category_(category),
      capabilities_(std::move(capabilities)) {}

CCapturePin::~CCapturePin() { stopWorker(); }

STDMETHODIMP CCapturePin::NonDelegatingQueryInterface(REFIID riid, void **ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IAMStreamConfig) return GetInterface(static_cast<IAMStreamConfig *>(this), ppv);
  if (riid == IID_IKsPropertySet) return GetInterface(static_cast<IKsPropertySet *>(this), ppv);
  return CBaseOutputPin::NonDelegatingQueryInterface(riid, ppv);
}

bool CCapturePin::isStill() const { return IsEqualGUID(category_, PIN_CATEGORY_STILL); }

REFERENCE_TIME CCapturePin::frameInterval() const { return REFERENCE_TIME(filter_->sensor()->frameInterval()) * 10000; }

// ---- Media types

HRESULT CCapturePin::CheckMediaType(const CMediaType *type) {
  CAutoLock lock(m_pLock);
  const int index = findCapability(capabilities_, *type);
  return index < 0 || (chosen_ >= 0 && index != chosen_) ? VFW_E_TYPE_NOT_ACCEPTED : S_OK;
}

// Every capability in the profile's order, or only the one SetFormat chose.
HRESULT CCapturePin::GetMediaType(int position, CMediaType *type) {
  if (!type) return E_POINTER;
  if (position < 0) return E_INVALIDARG;
  CAutoLock lock(m_pLock);
  int index = chosen_ >= 0 ? (position == 0 ? chosen_ : -1) : position;
  if (index < 0 || size_t(index) >= capabilities_.size()) return VFW_S_NO_MORE_ITEMS;
  describe(capabilities_[size_t(index)], frameInterval(), type);
  return S_OK;
}

HRESULT CCapturePin::DecideBufferSize(IMemAllocator *allocator, ALLOCATOR_PROPERTIES *request) {
  if (!allocator || !request) return E_POINTER;
  const int index = findCapability(capabilities_, m_mt);
  if (index < 0) return E_UNEXPECTED;
  const DWORD bytes = imageBytes(capabilities_[size_t(index)]);
  request->cBuffers = std::max(request->cBuffers, kBuffers);
  request->cbBuffer = std::max(request->cbBuffer, bufferSize(bytes));
  if (request->cbAlign <= 0) request->cbAlign = 1;
  ALLOCATOR_PROPERTIES actual;
  HRESULT hr = allocator->SetProperties(request, &actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer < LONG(bytes) || actual.cBuffers < 1 ? E_FAIL : S_OK;
}

// ---- IAMStreamConfig

bool CCapturePin::refused(const Capability &c) const {
  return device::faultRequested("dshow-format:" + std::to_string(c.width) + "x" + std::to_string(std::abs(c.height)));
}

STDMETHODIMP CCapturePin::SetFormat(AM_MEDIA_TYPE *pmt) {
  if (!pmt) return E_POINTER;
  int previous;
  IPin *peer = nullptr;
  {
    CAutoLock lock(m_pLock);
    if (!IsStopped()) return VFW_E_NOT_STOPPED;
    const int index = findCapability(capabilities_, *pmt);
    if (index < 0 || refused(capabilities_[size_t(index)])) return VFW_E_INVALIDMEDIATYPE;
    previous = chosen_;
    chosen_ = index;
    IncrementTypeVersion();
    if (!IsConnected() || findCapability(capabilities_, m_mt) == index) return S_OK;
    peer = m_Connected;
    peer->AddRef();
  }
  // Connected: the pins connect again with the new type, and the allocator is sized for it.
  HRESULT hr = reconnect();
  if (FAILED(hr)) {
    {
      CAutoLock lock(m_pLock);
      chosen_ = previous;
      IncrementTypeVersion();
    }
    // The peer refused it: back to the connection there was.
    IFilterGraph *graph = filter_->GetFilterGraph();
    if (!IsConnected()) graph ? graph->ConnectDirect(this, peer, nullptr) : Connect(peer, nullptr);
    hr = VFW_E_INVALIDMEDIATYPE;
  }
  peer->Release();
  return hr;
}

HRESULT CCapturePin::reconnect() {
  if (IFilterGraph *graph = filter_->GetFilterGraph()) return graph->Reconnect(this);
  IPin *peer = nullptr;
  if (FAILED(ConnectedTo(&peer))) return VFW_E_NOT_CONNECTED;
  peer->Disconnect();
  Disconnect();
  HRESULT hr = Connect(peer, nullptr);
  peer->Release();
  return hr;
}

STDMETHODIMP CCapturePin::GetFormat(AM_MEDIA_TYPE **pmt) {
  if (!pmt) return E_POINTER;
  CAutoLock lock(m_pLock);
  CMediaType type;
  if (IsConnected())
    type = m_mt;
  else if (GetMediaType(0, &type) != S_OK)
    return E_UNEXPECTED;
  *pmt = CreateMediaType(&type);
  return *pmt ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CCapturePin::GetNumberOfCapabilities(int *count, int *size) {
  if (!count || !size) return E_POINTER;
  *count = int(capabilities_.size());
  *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
  return S_OK;
}

STDMETHODIMP CCapturePin::GetStreamCaps(int index, AM_MEDIA_TYPE **pmt, BYTE *caps) {
  if (!pmt || !caps) return E_POINTER;
  *pmt = nullptr;
  if (index < 0) return E_INVALIDARG;
  if (size_t(index) >= capabilities_.size()) return S_FALSE;
  const Capability &c = capabilities_[size_t(index)];
  CMediaType type;
  describe(c, frameInterval(), &type);
  VIDEO_STREAM_CONFIG_CAPS filled;
  describeCaps(c, frameInterval(), &filled);
  std::memcpy(caps, &filled, sizeof filled);
  *pmt = CreateMediaType(&type);
  return *pmt ? S_OK : E_OUTOFMEMORY;
}

// ---- IKsPropertySet

STDMETHODIMP CCapturePin::Set(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD) { return E_NOTIMPL; }

STDMETHODIMP CCapturePin::Get(REFGUID set, DWORD id, LPVOID, DWORD, LPVOID data, DWORD dataSize, DWORD *returned) {
  if (!isPinPropertySet(set)) return E_PROP_SET_UNSUPPORTED;
  if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
  if (!data) {
    if (!returned) return E_POINTER;
    *returned = sizeof(GUID);  // the size the caller needs
    return S_OK;
  }
  if (dataSize < sizeof(GUID)) return E_UNEXPECTED;
  std::memcpy(data, &category_, sizeof(GUID));
  if (returned) *returned = sizeof(GUID);
  return S_OK;
}

STDMETHODIMP CCapturePin::QuerySupported(REFGUID set, DWORD id, DWORD *support) {
  if (!isPinPropertySet(set)) return E_PROP_SET_UNSUPPORTED;
  if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
  if (support) *support = KSPROPERTY_SUPPORT_GET;
  return S_OK;
}

// ---- Streaming

HRESULT CCapturePin::Active() {
  const int index = findCapability(capabilities_, m_mt);
  if (index < 0) return E_UNEXPECTED;
  HRESULT hr = CBaseOutputPin::Active();
  if (FAILED(hr)) return hr;
  std::lock_guard<std::mutex> held(streamLock_);
  if (worker_.joinable()) return S_OK;
  streamFormat_ = index;
  stopping_ = running_ = false;
  stillsPending_ = 0;
  worker_ = std::thread(&CCapturePin::stream, this);
  return S_OK;
}

HRESULT CCapturePin::Inactive() {
  stopWorker();
  return CBaseOutputPin::Inactive();
}

void CCapturePin::stopWorker() {
  std::thread worker;
  {
    std::lock_guard<std::mutex> held(streamLock_);
    stopping_ = true;
    running_ = false;
    worker = std::move(worker_);
  }
  wake_.notify_all();
  if (!worker.joinable()) return;
  if (m_pAllocator) m_pAllocator->Decommit();  // a thread waiting for a free buffer gives up
  if (worker.get_id() == std::this_thread::get_id())
    worker.detach();  // stopped from inside a delivery
  else
    worker.join();
}

HRESULT CCapturePin::Run(REFERENCE_TIME) {
  {
    std::lock_guard<std::mutex> held(streamLock_);
    running_ = true;
    runStart_ = std::chrono::steady_clock::now();
  }
  wake_.notify_all();
  return S_OK;
}

void CCapturePin::pauseDelivery() {
  std::lock_guard<std::mutex> held(streamLock_);
  running_ = false;
}

HRESULT CCapturePin::trigger() {
  if (!IsConnected()) return VFW_E_NOT_CONNECTED;
  {
    std::lock_guard<std::mutex> held(streamLock_);
    if (!running_) return VFW_E_NOT_RUNNING;
    if (!device::faultRequested("dshow-still-silent")) ++stillsPending_;
  }
  wake_.notify_all();
  return S_OK;
}

// The capture pin delivers every frame interval while running (late frames are not caught up);
// the still pin once for each trigger.
void CCapturePin::stream() {
  std::unique_lock<std::mutex> held(streamLock_);
  const Capability format = capabilities_[size_t(streamFormat_)];
  auto next = std::chrono::steady_clock::now();
  while (!stopping_) {
    if (!running_) {
      wake_.wait(held);
      next = std::chrono::steady_clock::now();
      continue;
    }
    if (isStill()) {
      if (stillsPending_ == 0) {
        wake_.wait(held);
        continue;
      }
      --stillsPending_;
    } else {
      const auto now = std::chrono::steady_clock::now();
      if (now < next) {
        wake_.wait_until(held, next);
        continue;
      }
      next = std::max(next + std::chrono::milliseconds(filter_->sensor()->frameInterval()), now);
    }
    const REFERENCE_TIME start = toReferenceTime(std::chrono::steady_clock::now() - runStart_);
    held.unlock();
    deliverOne(format, start);
    held.lock();
  }
}

void CCapturePin::deliverOne(const Capability &format, REFERENCE_TIME start) {
  IMediaSample *sample = nullptr;
  if (FAILED(GetDeliveryBuffer(&sample, nullptr, nullptr, 0))) return;
  BYTE *data = nullptr;
  sample->GetPointer(&data);
  const size_t bytes = filter_->sensor()->capture(sensorRequest(format), data, size_t(sample->GetSize()));
  if (bytes) {
    if (format.height < 0) flipRows(format, data);
    sample->SetActualDataLength(LONG(bytes));
    REFERENCE_TIME end = start + frameInterval();
    sample->SetTime(&start, &end);
    sample->SetSyncPoint(TRUE);
    Deliver(sample);  // a refusal downstream (stopped first, flushing) drops the picture
  }
  sample->Release();
}

}  // namespace capfilter
