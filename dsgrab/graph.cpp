#include "dsgrab/graph.h"

#include <camera.h>
#include <dshow.h>
#include <streams.h>

#include <new>

#include "dsgrab/nullrend.h"
#include "dsgrab/propbag.h"

namespace dsgrab {
namespace {

// The kernel-streaming pin property set; property 0 is the pin's category.
DEFINE_GUID(kPinPropertySet, 0x8C134960, 0x51AD, 0x11CF, 0x87, 0x8A, 0x94, 0xF8, 0x01, 0xC1, 0x00, 0x00);

const WCHAR kCaptureFilterName[] = TEXT("OUT");
const WCHAR kCaptureRendererName[] = TEXT("Capture");
const WCHAR kStillRendererName[] = TEXT("Still");

struct GraphState {
  LONG runState;  // 0 stopped, 1 paused, 2 running: as last set successfully
  IFilterGraph *graph;
  IPin *capturePin;  // held
  IPin *stillPin;    // held; null when the camera has none
  bool comInitialised;  // CoInitializeEx succeeded, so CloseCamera balances it
};

// One per process, between OpenCamera and CloseCamera.
GraphState *g_state = nullptr;

template <class T>
void release(T *&object) {
  if (object) object->Release();
  object = nullptr;
}

// Finds the filter by its graph name, removes it from the graph and lets it go.
void removeByName(IFilterGraph *graph, const WCHAR *name) {
  IBaseFilter *filter = nullptr;
  if (FAILED(graph->FindFilterByName(name, &filter)) || !filter) return;
  graph->RemoveFilter(filter);
  filter->Release();
}

void tearDown(GraphState *state) {
  if (state->graph) {
    removeByName(state->graph, kCaptureRendererName);
    removeByName(state->graph, kStillRendererName);
    IBaseFilter *out = nullptr;
    if (SUCCEEDED(state->graph->FindFilterByName(kCaptureFilterName, &out)) && out) {
      release(state->capturePin);
      release(state->stillPin);
      state->graph->RemoveFilter(out);
      out->Release();
    }
  }
  // Pins held without their filter in the graph still hold a reference of their own.
  release(state->capturePin);
  release(state->stillPin);
  release(state->graph);
}

// The filter's first pin of the category, with a reference; null when none has it.
IPin *pinOfCategory(IBaseFilter *filter, REFGUID category) {
  IEnumPins *pins = nullptr;
  if (FAILED(filter->EnumPins(&pins)) || !pins) return nullptr;
  IPin *found = nullptr, *pin = nullptr;
  while (!found && pins->Next(1, &pin, nullptr) == S_OK && pin) {
    IKsPropertySet *ks = nullptr;
    if (SUCCEEDED(pin->QueryInterface(IID_IKsPropertySet, (void **)&ks)) && ks) {
      GUID got = GUID_NULL;
      DWORD returned = 0;
      if (SUCCEEDED(ks->Get(kPinPropertySet, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &got, sizeof got, &returned)) &&
          returned == sizeof got && IsEqualGUID(got, category)) {
        found = pin;
        pin->AddRef();
      }
      ks->Release();
    }
    pin->Release();
    pin = nullptr;
  }
  pins->Release();
  return found;
}

// Finds the capture filter's pin of the category, keeps it in `held` and connects it to a new
// null renderer added under `name`.
HRESULT connectBranch(GraphState *state, IBaseFilter *capture, REFGUID category, const WCHAR *name, IPin *&held) {
  held = pinOfCategory(capture, category);
  if (!held) return VFW_E_NOT_FOUND;
  CNullRend *renderer = new (std::nothrow) CNullRend;
  if (!renderer) return E_OUTOFMEMORY;
  renderer->AddRef();
  HRESULT hr = state->graph->AddFilter(renderer, name);
  if (SUCCEEDED(hr)) {
    CBasePin *in = renderer->GetPin(0);
    hr = in ? state->graph->ConnectDirect(held, in, nullptr) : E_OUTOFMEMORY;
  }
  renderer->Release();
  return hr;
}

HRESULT build(GraphState *state) {
  DEVMGR_DEVICE_INFORMATION info = {};
  info.dwSize = sizeof info;
  HANDLE search = FindFirstDevice(DeviceSearchByGuid, &DEVCLASS_CAMERA_GUID, &info);
  if (search == INVALID_HANDLE_VALUE) return E_NOTIMPL;
  FindClose(search);
  if (!info.szLegacyName[0]) return E_NOTIMPL;

  CPropertyBag *bag = new (std::nothrow) CPropertyBag(info.szLegacyName);
  if (!bag) return E_OUTOFMEMORY;
  state->runState = 0;

  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterGraph,
                                (void **)&state->graph);
  if (FAILED(hr)) {
    state->graph = nullptr;
    bag->Release();
    return hr;
  }
  IBaseFilter *capture = nullptr;
  hr = CoCreateInstance(CLSID_VideoCapture, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, (void **)&capture);
  if (SUCCEEDED(hr)) {
    IPersistPropertyBag *persist = nullptr;
    hr = capture->QueryInterface(IID_IPersistPropertyBag, (void **)&persist);
    if (SUCCEEDED(hr)) {
      hr = persist->Load(bag, nullptr);
      persist->Release();
    }
  } else {
    capture = nullptr;
  }
  bag->Release();
  if (SUCCEEDED(hr)) hr = state->graph->AddFilter(capture, kCaptureFilterName);
  if (SUCCEEDED(hr)) hr = connectBranch(state, capture, PIN_CATEGORY_CAPTURE, kCaptureRendererName, state->capturePin);
  if (SUCCEEDED(hr) &&
      FAILED(connectBranch(state, capture, PIN_CATEGORY_STILL, kStillRendererName, state->stillPin))) {
    // No still pin is no fault: stills then come from the capture branch.
    release(state->stillPin);
  }
  release(capture);  // the graph holds it
  return hr;
}

// The graph's IMediaControl call for the state; the run state is recorded when it succeeds.
// E_NOINTERFACE when the graph offers no IMediaControl, S_FALSE for an unknown state.
HRESULT changeState(GraphState *state, uint32_t wanted) {
  IMediaControl *control = nullptr;
  if (FAILED(state->graph->QueryInterface(IID_IMediaControl, (void **)&control)) || !control) return E_NOINTERFACE;
  HRESULT hr = S_FALSE;
  switch (wanted) {
    case 0: hr = control->Stop(); break;
    case 1: hr = control->Pause(); break;
    case 2: hr = control->Run(); break;
    default: break;
  }
  control->Release();
  if (wanted <= 2 && SUCCEEDED(hr)) state->runState = LONG(wanted);
  return wanted <= 2 ? hr : S_FALSE;
}

// Installs fn on the null renderer connected to the pin.
HRESULT installCallback(IPin *pin, FrameCallback fn) {
  if (!pin) return E_POINTER;
  IPin *peer = nullptr;
  HRESULT hr = pin->ConnectedTo(&peer);
  if (FAILED(hr) || !peer) return FAILED(hr) ? hr : E_POINTER;
  ICallBack *callBack = nullptr;
  hr = peer->QueryInterface(IID_ICallBack, (void **)&callBack);
  peer->Release();
  if (FAILED(hr) || !callBack) return FAILED(hr) ? hr : E_NOINTERFACE;
  hr = callBack->SetCallback(fn);
  callBack->Release();
  return hr;
}

bool hasGraph() { return g_state && g_state->graph; }

// The still pin when asked for and present, else the capture pin; its IAMStreamConfig.
IAMStreamConfig *streamConfig(uint32_t still) {
  IPin *pin = still && g_state->stillPin ? g_state->stillPin : g_state->capturePin;
  IAMStreamConfig *config = nullptr;
  if (!pin || FAILED(pin->QueryInterface(IID_IAMStreamConfig, (void **)&config))) return nullptr;
  return config;
}

// Walks the pin's capabilities that are plain VideoInfo formats. `visit` gets each one's record
// and media type and returns true to stop; `more` says before each call whether to go on.
// Returns the HRESULT of the last GetStreamCaps call made (S_OK when none was).
template <class More, class Visit>
HRESULT walkCapabilities(IAMStreamConfig *config, More more, Visit visit) {
  int count = 0, size = 0;
  HRESULT hr = config->GetNumberOfCapabilities(&count, &size);
  if (FAILED(hr)) return hr;
  // A capability structure of another size is none we know: nothing of it is read.
  if (size != int(sizeof(VIDEO_STREAM_CONFIG_CAPS))) return S_OK;
  HRESULT last = S_OK;
  for (int i = 0; i < count && more(); ++i) {
    VIDEO_STREAM_CONFIG_CAPS caps = {};
    AM_MEDIA_TYPE *mt = nullptr;
    last = config->GetStreamCaps(i, &mt, reinterpret_cast<BYTE *>(&caps));
    if (FAILED(last) || !mt) {
      if (mt) DeleteMediaType(mt);
      continue;
    }
    bool stop = false;
    if (IsEqualGUID(mt->formattype, FORMAT_VideoInfo) && mt->pbFormat &&
        mt->cbFormat >= sizeof(VIDEOINFOHEADER)) {
      const LONG cx = caps.MaxOutputSize.cx, cy = caps.MaxOutputSize.cy;
      FormatRecord record = {uint32_t(cx < 0 ? -int64_t(cx) : cx), uint32_t(cy < 0 ? -int64_t(cy) : cy),
                             mt->subtype.Data1};
      stop = visit(record, mt);
    }
    DeleteMediaType(mt);
    if (stop) break;
  }
  return last;
}

}  // namespace

uint32_t OpenCamera() {
  // A state from an earlier open is replaced, not looked at: the caller opens once.
  GraphState *state = new (std::nothrow) GraphState{};
  if (!state) return 0;
  g_state = state;
  HRESULT hr = CoInitializeEx(nullptr, 0);
  state->comInitialised = SUCCEEDED(hr);
  if (SUCCEEDED(hr)) hr = build(state);
  if (SUCCEEDED(hr)) return 1;
  tearDown(state);
  if (state->comInitialised) CoUninitialize();
  delete state;
  g_state = nullptr;
  return 0;
}

uint32_t CloseCamera() {
  if (GraphState *state = g_state) {
    tearDown(state);
    if (state->comInitialised) CoUninitialize();
    g_state = nullptr;
    delete state;
  }
  return 1;
}

uint32_t SetGraphState(uint32_t state) {
  if (!hasGraph()) return 0;
  // A failed Stop, Pause or Run still counts as done; only a missing IMediaControl fails.
  return changeState(g_state, state) == E_NOINTERFACE ? 0 : 1;
}

uint32_t SetFrameCallback(FrameCallback fn) {
  if (!hasGraph()) return 0;
  return SUCCEEDED(installCallback(g_state->capturePin, fn)) ? 1 : 0;
}

uint32_t EnumFormats(FormatRecord *list, uint32_t *count, uint32_t still) {
  if (!hasGraph() || !count) return 0;
  const uint32_t capacity = list ? *count : 0;
  IAMStreamConfig *config = streamConfig(still);
  if (!config) return 0;
  uint32_t filled = 0;
  HRESULT hr = walkCapabilities(
      config, [&] { return filled < capacity; },
      [&](const FormatRecord &record, AM_MEDIA_TYPE *) {
        list[filled++] = record;
        return false;
      });
  config->Release();
  *count = filled;
  return SUCCEEDED(hr) ? 1 : 0;
}

uint32_t SelectFormat(const FormatRecord *fmt, uint32_t still) {
  if (!hasGraph() || !fmt) return 0;
  IAMStreamConfig *config = streamConfig(still);
  if (!config) return 0;
  bool selected = false;
  walkCapabilities(
      config, [] { return true; },
      [&](const FormatRecord &record, AM_MEDIA_TYPE *mt) {
        if (record.width != fmt->width || record.height != fmt->height || record.subtype != fmt->subtype)
          return false;
        selected = SUCCEEDED(config->SetFormat(mt));
        return selected;  // a refused one: the next matching capability is tried
      });
  config->Release();
  return selected ? 1 : 0;
}

uint32_t CaptureStill(FrameCallback fn) {
  if (!hasGraph()) return 0;
  GraphState *state = g_state;
  // Without a still pin the capture branch takes the still function: its next frame is the still.
  IPin *target = state->stillPin ? state->stillPin : state->capturePin;
  if (FAILED(installCallback(target, fn))) return 0;
  if (!state->stillPin) return 1;
  if (state->runState != 2 && FAILED(changeState(state, 2))) return 0;
  IBaseFilter *capture = nullptr;
  if (FAILED(state->graph->FindFilterByName(kCaptureFilterName, &capture)) || !capture) return 0;
  IAMVideoControl *control = nullptr;
  HRESULT hr = capture->QueryInterface(IID_IAMVideoControl, (void **)&control);
  capture->Release();
  if (FAILED(hr) || !control) return 0;
  hr = control->SetMode(state->stillPin, VideoControlFlag_Trigger);
  control->Release();
  return SUCCEEDED(hr) ? 1 : 0;
}

namespace {

// The capture filter's processing-amplifier or camera-control interface, with a reference.
template <class T>
T *propertyInterface(REFIID iid) {
  if (!hasGraph()) return nullptr;
  IBaseFilter *capture = nullptr;
  if (FAILED(g_state->graph->FindFilterByName(kCaptureFilterName, &capture)) || !capture) return nullptr;
  T *out = nullptr;
  if (FAILED(capture->QueryInterface(iid, (void **)&out))) out = nullptr;
  capture->Release();
  return out;
}

// Both interfaces have the same slots; the property calls go through one of them.
template <class F>
uint32_t withProperties(uint32_t procAmp, F each) {
  if (procAmp) {
    IAMVideoProcAmp *amp = propertyInterface<IAMVideoProcAmp>(IID_IAMVideoProcAmp);
    if (!amp) return 0;
    each(amp);
    amp->Release();
  } else {
    IAMCameraControl *camera = propertyInterface<IAMCameraControl>(IID_IAMCameraControl);
    if (!camera) return 0;
    each(camera);
    camera->Release();
  }
  return 1;
}

}  // namespace

uint32_t GetPropertyRanges(PropertyRange *list, uint32_t count, uint32_t procAmp) {
  return withProperties(procAmp, [&](auto *properties) {
    for (uint32_t i = 0; list && i < count; ++i) {
      PropertyRange &r = list[i];
      r.result = properties->GetRange(r.property, &r.minimum, &r.maximum, &r.delta, &r.defaultValue, &r.flags);
    }
  });
}

uint32_t AccessProperties(PropertyValue *list, uint32_t count, uint32_t procAmp, uint32_t set) {
  return withProperties(procAmp, [&](auto *properties) {
    for (uint32_t i = 0; list && i < count; ++i) {
      PropertyValue &v = list[i];
      v.result = (set & 0xFF) ? properties->Set(v.property, v.value, v.flags)
                              : properties->Get(v.property, &v.value, &v.flags);
    }
  });
}

}  // namespace dsgrab
