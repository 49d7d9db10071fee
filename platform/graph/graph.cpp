// The filter graph manager (CLSID_FilterGraph): the filters of a graph, direct connections and
// the graph's state. State changes go to the filters downstream first (renderers before
// sources), and a stopped graph passes through Paused on its way to Running (and back).
#include <streams.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct Member {
  IBaseFilter *filter;  // with the graph's reference
  std::u16string name;
};

// The filter a pin belongs to, with a reference; null when the pin does not say.
IBaseFilter *ownerOf(IPin *pin) {
  PIN_INFO info = {};
  if (FAILED(pin->QueryPinInfo(&info))) return nullptr;
  return info.pFilter;
}

bool sameObject(IUnknown *a, IUnknown *b) {
  IUnknown *ua = nullptr, *ub = nullptr;
  a->QueryInterface(IID_IUnknown, reinterpret_cast<void **>(&ua));
  b->QueryInterface(IID_IUnknown, reinterpret_cast<void **>(&ub));
  bool same = ua && ua == ub;
  if (ua) ua->Release();
  if (ub) ub->Release();
  return same;
}

// The filters directly downstream of `filter` (each with a reference).
std::vector<IBaseFilter *> downstreamOf(IBaseFilter *filter) {
  std::vector<IBaseFilter *> found;
  IEnumPins *pins = nullptr;
  if (FAILED(filter->EnumPins(&pins))) return found;
  IPin *pin = nullptr;
  ULONG n = 0;
  while (pins->Next(1, &pin, &n) == S_OK && n == 1) {
    PIN_DIRECTION dir;
    IPin *peer = nullptr;
    if (SUCCEEDED(pin->QueryDirection(&dir)) && dir == PINDIR_OUTPUT && SUCCEEDED(pin->ConnectedTo(&peer))) {
      if (IBaseFilter *next = ownerOf(peer)) found.push_back(next);
      peer->Release();
    }
    pin->Release();
  }
  pins->Release();
  return found;
}

class CFilterEnum : public IEnumFilters {
 public:
  CFilterEnum(std::vector<IBaseFilter *> filters, size_t at) : filters_(std::move(filters)), at_(at) {
    for (IBaseFilter *f : filters_) f->AddRef();
  }
  virtual ~CFilterEnum() {
    for (IBaseFilter *f : filters_) f->Release();
  }
  STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IEnumFilters) return GetInterface(static_cast<IEnumFilters *>(this), ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ULONG(InterlockedIncrement(&refs_)); }
  STDMETHODIMP_(ULONG) Release() override {
    LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return ULONG(left);
  }
  STDMETHODIMP Next(ULONG count, IBaseFilter **out, ULONG *fetched) override {
    if (!out) return E_POINTER;
    if (!fetched && count > 1) return E_INVALIDARG;
    ULONG got = 0;
    while (got < count && at_ < filters_.size()) {
      out[got] = filters_[at_++];
      out[got++]->AddRef();
    }
    if (fetched) *fetched = got;
    return got == count ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG count) override {
    if (count > filters_.size() - at_) {
      at_ = filters_.size();
      return S_FALSE;
    }
    at_ += count;
    return S_OK;
  }
  STDMETHODIMP Reset() override {
    at_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnumFilters **clone) override {
    if (!clone) return E_POINTER;
    *clone = new CFilterEnum(filters_, at_);
    return S_OK;
  }

 private:
  std::vector<IBaseFilter *> filters_;
  size_t at_;
  volatile LONG refs_ = 1;
};

class CFilterGraph : public CUnknown, public IFilterGraph, public IMediaControl, public IMediaFilter {
 public:
  explicit CFilterGraph(LPUNKNOWN outer) : CUnknown(TEXT("filter graph"), outer) {}
  ~CFilterGraph() override {
    StopAll();
    while (!members_.empty()) RemoveFilter(members_.back().filter);
  }

  DECLARE_IUNKNOWN
  STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IFilterGraph) return GetInterface(static_cast<IFilterGraph *>(this), ppv);
    if (riid == IID_IMediaControl) return GetInterface(static_cast<IMediaControl *>(this), ppv);
    if (riid == IID_IDispatch) return GetInterface(static_cast<IDispatch *>(this), ppv);
    if (riid == IID_IMediaFilter) return GetInterface(static_cast<IMediaFilter *>(this), ppv);
    if (riid == IID_IPersist) return GetInterface(static_cast<IPersist *>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
  }

  // ---- IFilterGraph
  STDMETHODIMP AddFilter(IBaseFilter *filter, LPCWSTR name) override {
    if (!filter) return E_POINTER;
    CAutoLock lock(&lock_);
    if (find(filter) != members_.end()) return VFW_E_DUPLICATE_NAME;
    std::u16string wanted = name ? std::u16string(name).substr(0, MAX_FILTER_NAME - 6) : std::u16string();
    HRESULT result = S_OK;
    std::u16string chosen = wanted;
    for (int n = 1; chosen.empty() || findByName(chosen.c_str()) != members_.end(); ++n) {
      if (n > 9999) return VFW_E_DUPLICATE_NAME;
      char16_t digits[8];
      for (int i = 0, v = n; i < 4; ++i, v /= 10) digits[3 - i] = char16_t(u'0' + v % 10);
      chosen = (wanted.empty() ? std::u16string(u"Filter") : wanted) + u" " + std::u16string(digits, 4);
      if (!wanted.empty()) result = VFW_S_DUPLICATE_NAME;
    }
    HRESULT hr = filter->JoinFilterGraph(this, chosen.c_str());
    if (FAILED(hr)) return hr;
    filter->AddRef();
    members_.push_back({filter, chosen});
    if (state_ != State_Stopped) {
      // A filter joining a running graph is left stopped; the next state change takes it along.
    }
    return result;
  }

  STDMETHODIMP RemoveFilter(IBaseFilter *filter) override {
    if (!filter) return E_POINTER;
    CAutoLock lock(&lock_);
    auto it = find(filter);
    if (it == members_.end()) return VFW_E_NOT_FOUND;
    filter->Stop();
    IEnumPins *pins = nullptr;
    if (SUCCEEDED(filter->EnumPins(&pins))) {
      IPin *pin = nullptr;
      ULONG n = 0;
      while (pins->Next(1, &pin, &n) == S_OK && n == 1) {
        IPin *peer = nullptr;
        if (SUCCEEDED(pin->ConnectedTo(&peer))) {
          if (IBaseFilter *other = ownerOf(peer)) {
            other->Stop();  // its pin disconnects only while stopped
            other->Release();
          }
          peer->Disconnect();
          pin->Disconnect();
          peer->Release();
        }
        pin->Release();
      }
      pins->Release();
    }
    filter->JoinFilterGraph(nullptr, nullptr);
    members_.erase(it);
    filter->Release();
    return S_OK;
  }

  STDMETHODIMP EnumFilters(IEnumFilters **out) override {
    if (!out) return E_POINTER;
    CAutoLock lock(&lock_);
    std::vector<IBaseFilter *> filters;
    for (const Member &m : members_) filters.push_back(m.filter);
    *out = new CFilterEnum(std::move(filters), 0);
    return S_OK;
  }

  STDMETHODIMP FindFilterByName(LPCWSTR name, IBaseFilter **filter) override {
    if (!name || !filter) return E_POINTER;
    CAutoLock lock(&lock_);
    auto it = findByName(name);
    if (it == members_.end()) {
      *filter = nullptr;
      return VFW_E_NOT_FOUND;
    }
    *filter = it->filter;
    it->filter->AddRef();
    return S_OK;
  }

  STDMETHODIMP ConnectDirect(IPin *out, IPin *in, const AM_MEDIA_TYPE *pmt) override {
    if (!out || !in) return E_POINTER;
    CAutoLock lock(&lock_);
    IBaseFilter *upstream = ownerOf(out);
    IBaseFilter *downstream = ownerOf(in);
    HRESULT hr = S_OK;
    if (!upstream || !downstream || find(upstream) == members_.end() || find(downstream) == members_.end())
      hr = VFW_E_NOT_IN_GRAPH;
    else if (reaches(downstream, upstream))
      hr = VFW_E_CIRCULAR_GRAPH;
    if (upstream) upstream->Release();
    if (downstream) downstream->Release();
    if (FAILED(hr)) return hr;
    PIN_DIRECTION dir;
    if (FAILED(out->QueryDirection(&dir)) || dir != PINDIR_OUTPUT) return VFW_E_INVALID_DIRECTION;
    return out->Connect(in, pmt);
  }

  // Disconnects the pin and its peer and connects them again with no type given, so the output
  // pin proposes what it offers now.
  STDMETHODIMP Reconnect(IPin *pin) override {
    if (!pin) return E_POINTER;
    CAutoLock lock(&lock_);
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    IPin *peer = nullptr;
    if (FAILED(pin->ConnectedTo(&peer))) return VFW_E_NOT_CONNECTED;
    PIN_DIRECTION dir;
    pin->QueryDirection(&dir);
    IPin *out = dir == PINDIR_OUTPUT ? pin : peer;
    IPin *in = dir == PINDIR_OUTPUT ? peer : pin;
    out->Disconnect();
    in->Disconnect();
    HRESULT hr = out->Connect(in, nullptr);
    peer->Release();
    return hr;
  }

  STDMETHODIMP Disconnect(IPin *pin) override {
    if (!pin) return E_POINTER;
    return pin->Disconnect();
  }

  STDMETHODIMP SetDefaultSyncSource() override { return S_OK; }

  // ---- IMediaControl
  STDMETHODIMP GetTypeInfoCount(UINT *count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *, UINT *) override {
    return E_NOTIMPL;
  }

  STDMETHODIMP Run() override { return Run(0); }
  STDMETHODIMP Pause() override {
    CAutoLock lock(&lock_);
    HRESULT hr = Each([](IBaseFilter *f) { return f->Pause(); });
    if (FAILED(hr)) {
      StopAll();
      return hr;
    }
    state_ = State_Paused;
    return S_OK;
  }
  STDMETHODIMP Stop() override {
    CAutoLock lock(&lock_);
    return StopAll();
  }
  STDMETHODIMP GetState(LONG msTimeout, OAFilterState *state) override {
    FILTER_STATE s;
    HRESULT hr = GetState(DWORD(msTimeout), &s);
    if (state) *state = s;
    return state ? hr : E_POINTER;
  }
  STDMETHODIMP RenderFile(BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP AddSourceFilter(BSTR, IDispatch **) override { return E_NOTIMPL; }
  STDMETHODIMP get_FilterCollection(IDispatch **) override { return E_NOTIMPL; }
  STDMETHODIMP get_RegFilterCollection(IDispatch **) override { return E_NOTIMPL; }
  STDMETHODIMP StopWhenReady() override { return Pause(); }

  // ---- IMediaFilter
  STDMETHODIMP GetClassID(CLSID *clsid) override {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_FilterGraph;
    return S_OK;
  }
  STDMETHODIMP Run(REFERENCE_TIME start) override {
    CAutoLock lock(&lock_);
    if (state_ == State_Running) return S_OK;
    if (state_ == State_Stopped) {
      HRESULT hr = Pause();
      if (FAILED(hr)) return hr;
    }
    HRESULT hr = Each([start](IBaseFilter *f) { return f->Run(start); });
    if (FAILED(hr)) {
      StopAll();
      return hr;
    }
    state_ = State_Running;
    return S_OK;
  }
  // A live source that delivers nothing while paused answers VFW_S_CANT_CUE, and so does the graph.
  STDMETHODIMP GetState(DWORD msTimeout, FILTER_STATE *state) override {
    if (!state) return E_POINTER;
    CAutoLock lock(&lock_);
    *state = state_;
    HRESULT result = S_OK;
    for (const Member &m : members_) {
      FILTER_STATE s;
      HRESULT hr = m.filter->GetState(msTimeout, &s);
      if (FAILED(hr)) return hr;
      if (hr == VFW_S_CANT_CUE || (hr == VFW_S_STATE_INTERMEDIATE && result == S_OK)) result = hr;
    }
    return result;
  }
  STDMETHODIMP SetSyncSource(IReferenceClock *) override { return S_OK; }
  STDMETHODIMP GetSyncSource(IReferenceClock **clock) override {
    if (!clock) return E_POINTER;
    *clock = nullptr;
    return S_FALSE;
  }

 private:
  std::vector<Member>::iterator find(IBaseFilter *filter) {
    return std::find_if(members_.begin(), members_.end(), [&](const Member &m) { return sameObject(m.filter, filter); });
  }
  std::vector<Member>::iterator findByName(LPCWSTR name) {
    return std::find_if(members_.begin(), members_.end(), [&](const Member &m) { return m.name == name; });
  }

  // Whether `to` lies downstream of `from` (or is it).
  bool reaches(IBaseFilter *from, IBaseFilter *to, int depth = 0) {
    if (sameObject(from, to)) return true;
    if (depth > 64) return true;  // a deeper chain than any graph here: treat as a cycle
    bool found = false;
    for (IBaseFilter *next : downstreamOf(from)) {
      if (!found) found = reaches(next, to, depth + 1);
      next->Release();
    }
    return found;
  }

  // The filters with every downstream filter before its upstream ones.
  std::vector<IBaseFilter *> downstreamFirst() {
    std::vector<IBaseFilter *> order, left;
    for (const Member &m : members_) left.push_back(m.filter);
    while (!left.empty()) {
      size_t before = left.size();
      for (auto it = left.begin(); it != left.end();) {
        bool ready = true;
        for (IBaseFilter *next : downstreamOf(*it)) {
          bool done = std::any_of(order.begin(), order.end(), [&](IBaseFilter *f) { return sameObject(f, next); });
          bool member = std::any_of(left.begin(), left.end(), [&](IBaseFilter *f) { return sameObject(f, next); });
          if (!done && member) ready = false;
          next->Release();
        }
        if (ready) {
          order.push_back(*it);
          it = left.erase(it);
        } else {
          ++it;
        }
      }
      if (left.size() == before) {  // a cycle: take the rest as they are
        order.insert(order.end(), left.begin(), left.end());
        break;
      }
    }
    return order;
  }

  template <class Change>
  HRESULT Each(Change change) {
    for (IBaseFilter *f : downstreamFirst()) {
      HRESULT hr = change(f);
      if (FAILED(hr)) return hr;
    }
    return S_OK;
  }

  HRESULT StopAll() {
    if (state_ == State_Running) Each([](IBaseFilter *f) { return f->Pause(); });
    HRESULT result = S_OK;
    for (IBaseFilter *f : downstreamFirst()) {
      HRESULT hr = f->Stop();
      if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
    state_ = State_Stopped;
    return result;
  }

  CCritSec lock_;
  std::vector<Member> members_;
  FILTER_STATE state_ = State_Stopped;
};

CUnknown *createGraph(LPUNKNOWN outer, HRESULT *) { return new CFilterGraph(outer); }

CClassFactory graphFactory(CLSID_FilterGraph, createGraph);
CClassFactory allocatorFactory(CLSID_MemoryAllocator, CMemAllocator::CreateInstance);

}  // namespace

extern "C" __declspec(dllexport) HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void **ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (clsid == CLSID_FilterGraph) return graphFactory.QueryInterface(riid, ppv);
  if (clsid == CLSID_MemoryAllocator) return allocatorFactory.QueryInterface(riid, ppv);
  return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" __declspec(dllexport) HRESULT DllCanUnloadNow() {
  return CBaseObject::ObjectsActive() == 0 && CClassFactory::Locks() == 0 ? S_OK : S_FALSE;
}
