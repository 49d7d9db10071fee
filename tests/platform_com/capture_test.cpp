// The handset's video capture filter in a real graph: created through the registry the profile
// fills, opened by the camera's name, its pins connected to test renderers and run; formats,
// stills and picture properties as a program drives them.
#include <streams.h>
#include <camera.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <tuple>
#include <thread>

#include "com_fixture.h"
#include "device/camera.h"
#include "renderer.h"

namespace {

// DirectShow registered as the handset profiles do it.
const char kRegistered[] =
    "os_version = 5.1.1700\n"
    "system_library = fgraph.dll\n"
    "system_library = capfilter.dll\n"
    "registry = [HKEY_CLASSES_ROOT\\CLSID\\{E436EBB3-524F-11CE-9F53-0020AF0BA770}\\InprocServer32] "
    "@=\"\\\\Windows\\\\fgraph.dll\"\n"
    "registry = [HKEY_CLASSES_ROOT\\CLSID\\{F80B6E95-B55A-4619-AEC4-A10EAEDE980C}\\InprocServer32] "
    "@=\"\\\\Windows\\\\capfilter.dll\"\n";
// An upright camera (sky above, a wall below), fast, with every kind of capability.
const char kCamera[] =
    "camera = directshow\ncamera_mounting = 1\ncamera_rate = 30\ndshow_device = CAM1:\n"
    "dshow_capture = 320x240 UYVY\n"
    "dshow_capture = 176x144 YV12\n"
    "dshow_capture = 320x240 RGB565\n"
    "dshow_capture = 160x-120 UYVY\n"
    "dshow_capture = 352x288 UYVY videoinfo2\n"
    "dshow_capture = 480x360 UYVY short\n"
    "dshow_still = 640x480 UYVY\n"
    "dshow_still = 320x240 YV12\n";

// A bag holding the camera's name, as a program hands it to the filter.
class NameBag : public IPropertyBag {
 public:
  explicit NameBag(const char16_t *name) : name_(name) {}
  STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override {
    if (riid != IID_IUnknown && riid != IID_IPropertyBag) {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    *ppv = this;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ULONG(++refs); }
  STDMETHODIMP_(ULONG) Release() override { return ULONG(--refs); }
  STDMETHODIMP Read(LPCOLESTR name, VARIANT *value, IErrorLog *) override {
    if (std::u16string(name) != u"VCapName") return E_INVALIDARG;
    VariantClear(value);
    value->vt = VT_BSTR;
    value->bstrVal = SysAllocString(name_);
    return S_OK;
  }
  STDMETHODIMP Write(LPCOLESTR, VARIANT *) override { return E_NOTIMPL; }
  int refs = 1;

 private:
  const char16_t *name_;
};

// Mean luma and mean distance of the chroma from grey over rows [from, to) of a UYVY picture.
struct Stats {
  double luma = 0, chroma = 0;
};
Stats uyvyStats(const std::vector<BYTE> &p, int width, int from, int to) {
  Stats s;
  const size_t row = size_t(width) * 2;
  for (size_t i = size_t(from) * row; i < size_t(to) * row && i + 3 < p.size(); i += 4) {
    s.luma += p[i + 1] + p[i + 3];
    s.chroma += std::abs(p[i] - 128) + std::abs(p[i + 2] - 128);
  }
  const double n = double(to - from) * width;
  s.luma /= n, s.chroma /= n;
  return s;
}

class Capture : public ComFixture {
 protected:
  std::string profileText() const override { return std::string(kRegistered) + camera; }
  void SetUp() override {
    ComFixture::SetUp();
    device::resetSensor();
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterGraph, (void **)&graph),
              S_OK);
    ASSERT_EQ(graph->QueryInterface(IID_IMediaControl, (void **)&control), S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_VideoCapture, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, (void **)&filter),
              S_OK);
  }
  void TearDown() override {
    unsetenv("HANDSET_FAULTS");
    if (control) control->Release();
    if (graph) {
      EXPECT_EQ(graph->Release(), 0u);
    }
    if (filter) {
      EXPECT_EQ(filter->Release(), 0u);  // the graph let it go: ours was the last reference
    }
    for (Renderer *r : renderers) {
      EXPECT_EQ(r->Release(), 0u);
    }
    // Nothing of the filter's library is left alive.
    HMODULE library = LoadLibraryW(u"\\Windows\\capfilter.dll");
    ASSERT_NE(library, nullptr);
    auto canUnload = reinterpret_cast<LPFNCANUNLOADNOW>(GetProcAddress(library, "DllCanUnloadNow"));
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), S_OK);
    FreeLibrary(library);
    CoUninitialize();
    ComFixture::TearDown();
  }

  HRESULT load(const char16_t *name) {
    IPersistPropertyBag *persist = nullptr;
    HRESULT hr = filter->QueryInterface(IID_IPersistPropertyBag, (void **)&persist);
    if (FAILED(hr)) return hr;
    NameBag bag(name);
    hr = persist->Load(&bag, nullptr);
    persist->Release();
    EXPECT_EQ(bag.refs, 1);
    return hr;
  }
  // The filter's pin of the category (without a reference: the filter keeps it), null if none.
  IPin *pinOf(const GUID &category) {
    IEnumPins *pins = nullptr;
    if (FAILED(filter->EnumPins(&pins))) return nullptr;
    IPin *found = nullptr, *pin = nullptr;
    while (!found && pins->Next(1, &pin, nullptr) == S_OK) {
      IKsPropertySet *ks = nullptr;
      GUID got = GUID_NULL;
      DWORD returned = 0;
      if (SUCCEEDED(pin->QueryInterface(IID_IKsPropertySet, (void **)&ks))) {
        if (ks->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &got, sizeof got, &returned) == S_OK &&
            returned == sizeof got && IsEqualGUID(got, category))
          found = pin;
        ks->Release();
      }
      pin->Release();
    }
    pins->Release();
    return found;
  }
  template <class T>
  T *on(IUnknown *object, REFIID iid) {
    T *out = nullptr;
    EXPECT_EQ(object->QueryInterface(iid, (void **)&out), S_OK);
    if (out) out->Release();  // the object stays alive through its owner
    return out;
  }
  Renderer *connect(IPin *out, const char16_t *name) {
    auto *r = new Renderer;
    r->AddRef();
    renderers.push_back(r);
    EXPECT_EQ(graph->AddFilter(r, name), S_OK);
    EXPECT_EQ(graph->ConnectDirect(out, &r->pin(), nullptr), S_OK);
    return r;
  }
  // The connected type's width and signed height.
  static std::pair<LONG, LONG> sizeOf(IPin *pin, GUID *subtype = nullptr) {
    AM_MEDIA_TYPE mt;
    if (pin->ConnectionMediaType(&mt) != S_OK) return {0, 0};
    auto *vih = reinterpret_cast<VIDEOINFOHEADER *>(mt.pbFormat);
    std::pair<LONG, LONG> size{vih->bmiHeader.biWidth, vih->bmiHeader.biHeight};
    if (subtype) *subtype = mt.subtype;
    FreeMediaType(mt);
    return size;
  }
  AM_MEDIA_TYPE *capability(IPin *pin, int index, VIDEO_STREAM_CONFIG_CAPS *caps) {
    AM_MEDIA_TYPE *mt = nullptr;
    EXPECT_EQ(on<IAMStreamConfig>(pin, IID_IAMStreamConfig)->GetStreamCaps(index, &mt, (BYTE *)caps), S_OK);
    return mt;
  }
  HRESULT selectFormat(IPin *pin, int index) {
    VIDEO_STREAM_CONFIG_CAPS caps;
    AM_MEDIA_TYPE *mt = capability(pin, index, &caps);
    HRESULT hr = on<IAMStreamConfig>(pin, IID_IAMStreamConfig)->SetFormat(mt);
    DeleteMediaType(mt);
    return hr;
  }

  std::string camera = kCamera;
  IFilterGraph *graph = nullptr;
  IMediaControl *control = nullptr;
  IBaseFilter *filter = nullptr;
  std::vector<Renderer *> renderers;
};

TEST_F(Capture, OpensOnlyTheProfilesCameraAndAnswersItsPinCategories) {
  IEnumPins *pins = nullptr;
  IPin *pin = nullptr;
  ASSERT_EQ(filter->EnumPins(&pins), S_OK);
  EXPECT_EQ(pins->Next(1, &pin, nullptr), S_FALSE);  // no pins before a camera is opened
  pins->Release();
  EXPECT_EQ(load(u"CAM2:"), VFW_E_NO_CAPTURE_HARDWARE);
  EXPECT_EQ(load(u"CAM1"), VFW_E_NO_CAPTURE_HARDWARE);
  ASSERT_EQ(load(u"cam1:"), S_OK);
  EXPECT_EQ(load(u"CAM1:"), E_UNEXPECTED);  // opened already

  IPin *capture = pinOf(PIN_CATEGORY_CAPTURE), *still = pinOf(PIN_CATEGORY_STILL);
  ASSERT_NE(capture, nullptr);
  ASSERT_NE(still, nullptr);
  auto *ks = on<IKsPropertySet>(capture, IID_IKsPropertySet);
  // The kernel-streaming pin set answers the same category.
  const GUID ksPinSet = {0x8C134960, 0x51AD, 0x11CF, {0x87, 0x8A, 0x94, 0xF8, 0x01, 0xC1, 0x00, 0x00}};
  GUID got;
  DWORD returned = 0, support = 0;
  EXPECT_EQ(ks->Get(ksPinSet, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &got, sizeof got, &returned), S_OK);
  EXPECT_TRUE(IsEqualGUID(got, PIN_CATEGORY_CAPTURE));
  EXPECT_EQ(ks->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &got, 8, &returned), E_UNEXPECTED);
  EXPECT_EQ(ks->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_MEDIUM, nullptr, 0, &got, sizeof got, &returned),
            E_PROP_ID_UNSUPPORTED);
  EXPECT_EQ(ks->Get(PIN_CATEGORY_STILL, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &got, sizeof got, &returned),
            E_PROP_SET_UNSUPPORTED);
  EXPECT_EQ(ks->Set(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &got, sizeof got), E_NOTIMPL);
  EXPECT_EQ(ks->QuerySupported(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, &support), S_OK);
  EXPECT_EQ(support, DWORD(KSPROPERTY_SUPPORT_GET));
}

TEST_F(Capture, ListsTheProfilesCapabilitiesAsTheyStand) {
  ASSERT_EQ(load(u"CAM1:"), S_OK);
  IPin *capture = pinOf(PIN_CATEGORY_CAPTURE);
  int count = 0, size = 0;
  ASSERT_EQ(on<IAMStreamConfig>(capture, IID_IAMStreamConfig)->GetNumberOfCapabilities(&count, &size), S_OK);
  EXPECT_EQ(count, 6);
  EXPECT_EQ(size, 128);
  struct Row {
    const GUID *format, *subtype;
    LONG width, height;
    bool shortBlock;
    DWORD imageBytes;
  } rows[] = {
      {&FORMAT_VideoInfo, &MEDIASUBTYPE_UYVY, 320, 240, false, 320 * 240 * 2},
      {&FORMAT_VideoInfo, &MEDIASUBTYPE_YV12, 176, 144, false, 176 * 144 * 3 / 2},
      {&FORMAT_VideoInfo, &MEDIASUBTYPE_RGB565, 320, 240, false, 320 * 240 * 2},
      {&FORMAT_VideoInfo, &MEDIASUBTYPE_UYVY, 160, -120, false, 160 * 120 * 2},
      {&FORMAT_VideoInfo2, &MEDIASUBTYPE_UYVY, 352, 288, false, 352 * 288 * 2},
      {&FORMAT_VideoInfo, &MEDIASUBTYPE_UYVY, 480, 360, true, 480 * 360 * 2},
  };
  for (int i = 0; i < count; ++i) {
    SCOPED_TRACE(i);
    VIDEO_STREAM_CONFIG_CAPS caps;
    AM_MEDIA_TYPE *mt = capability(capture, i, &caps);
    ASSERT_NE(mt, nullptr);
    const Row &r = rows[i];
    EXPECT_TRUE(IsEqualGUID(mt->formattype, *r.format) && IsEqualGUID(caps.guid, *r.format));
    EXPECT_TRUE(IsEqualGUID(mt->subtype, *r.subtype));
    EXPECT_EQ(caps.MaxOutputSize.cx, r.width);
    EXPECT_EQ(caps.MaxOutputSize.cy, r.height);
    EXPECT_EQ(mt->lSampleSize, r.imageBytes);
    EXPECT_EQ(mt->cbFormat < sizeof(VIDEOINFOHEADER), r.shortBlock);
    EXPECT_GT(caps.MinFrameInterval, 0);
    DeleteMediaType(mt);
  }
  AM_MEDIA_TYPE *mt = nullptr;
  VIDEO_STREAM_CONFIG_CAPS caps;
  EXPECT_EQ(on<IAMStreamConfig>(capture, IID_IAMStreamConfig)->GetStreamCaps(count, &mt, (BYTE *)&caps), S_FALSE);
  EXPECT_EQ(mt, nullptr);
}

TEST_F(Capture, StreamsTheChosenFormatAndReconnectsWhenItChanges) {
  ASSERT_EQ(load(u"CAM1:"), S_OK);
  ASSERT_EQ(graph->AddFilter(filter, u"OUT"), S_OK);
  IPin *capture = pinOf(PIN_CATEGORY_CAPTURE);
  Renderer *r = connect(capture, u"Capture");
  EXPECT_EQ(sizeOf(capture), std::make_pair(LONG(320), LONG(240)));  // the first capability

  struct Row {
    int capability;
    HRESULT result;
    LONG width, height, imageBytes;
    const char *faults;
  } rows[] = {
      {2, S_OK, 320, 240, 320 * 240 * 2, nullptr},            // RGB 565
      {1, S_OK, 176, 144, 176 * 144 * 3 / 2, nullptr},        // YV12
      {4, VFW_E_INVALIDMEDIATYPE, 176, 144, 176 * 144 * 3 / 2, nullptr},  // the renderer refuses VideoInfo2
      {0, VFW_E_INVALIDMEDIATYPE, 176, 144, 176 * 144 * 3 / 2, "dshow-format:320x240"},
      {3, S_OK, 160, -120, 160 * 120 * 2, nullptr},           // bottom up
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.capability);
    if (row.faults) setenv("HANDSET_FAULTS", row.faults, 1);
    EXPECT_EQ(selectFormat(capture, row.capability), row.result);
    unsetenv("HANDSET_FAULTS");
    EXPECT_EQ(sizeOf(&r->pin()), std::make_pair(row.width, row.height));  // connected, with the type in force
    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_EQ(selectFormat(capture, 0), VFW_E_NOT_STOPPED);
    const int before = r->pin().received();
    ASSERT_TRUE(r->pin().waitBeyond(before + 1));
    ASSERT_EQ(control->Stop(), S_OK);
    IMemAllocator *allocator = nullptr;
    ALLOCATOR_PROPERTIES props;
    ASSERT_EQ(r->pin().GetAllocator(&allocator), S_OK);
    allocator->GetProperties(&props);
    allocator->Release();
    const Received got = r->pin().last();
    EXPECT_EQ(got.actual, row.imageBytes);
    EXPECT_EQ(got.size, props.cbBuffer);
    EXPECT_GT(got.size, got.actual);
    EXPECT_GT(got.end, got.start);
  }
  // Paused, the live filter delivers nothing and says it cannot cue.
  ASSERT_EQ(control->Pause(), S_OK);
  OAFilterState state;
  EXPECT_EQ(control->GetState(0, &state), VFW_S_CANT_CUE);
  EXPECT_EQ(state, State_Paused);
  const int paused = r->pin().received();
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(r->pin().received(), paused);
  ASSERT_EQ(control->Run(), S_OK);
  EXPECT_TRUE(r->pin().waitBeyond(paused));
  ASSERT_EQ(control->Stop(), S_OK);
}

TEST_F(Capture, ANegativeHeightDeliversTheSkyAtTheBottom) {
  ASSERT_EQ(load(u"CAM1:"), S_OK);
  ASSERT_EQ(graph->AddFilter(filter, u"OUT"), S_OK);
  IPin *capture = pinOf(PIN_CATEGORY_CAPTURE);
  Renderer *r = connect(capture, u"Capture");
  double skyMinusWall[2];
  for (int bottomUp = 0; bottomUp < 2; ++bottomUp) {
    ASSERT_EQ(selectFormat(capture, bottomUp ? 3 : 0), S_OK);
    const LONG w = bottomUp ? 160 : 320, h = bottomUp ? 120 : 240;
    ASSERT_EQ(control->Run(), S_OK);
    ASSERT_TRUE(r->pin().waitBeyond(r->pin().received()));
    ASSERT_EQ(control->Stop(), S_OK);
    const Received got = r->pin().last();
    skyMinusWall[bottomUp] = uyvyStats(got.data, w, 0, h / 4).luma - uyvyStats(got.data, w, 3 * h / 4, h).luma;
  }
  EXPECT_GT(skyMinusWall[0], 10);
  EXPECT_LT(skyMinusWall[1], -10);
}

TEST_F(Capture, TheStillTriggerDeliversOneStillAtTheStillFormat) {
  ASSERT_EQ(load(u"CAM1:"), S_OK);
  ASSERT_EQ(graph->AddFilter(filter, u"OUT"), S_OK);
  IPin *capture = pinOf(PIN_CATEGORY_CAPTURE), *still = pinOf(PIN_CATEGORY_STILL);
  auto *video = on<IAMVideoControl>(filter, IID_IAMVideoControl);
  EXPECT_EQ(video->SetMode(still, VideoControlFlag_Trigger), VFW_E_NOT_CONNECTED);
  connect(capture, u"Capture");
  Renderer *stills = connect(still, u"Still");
  ASSERT_EQ(selectFormat(still, 1), S_OK);
  LONG caps = 0;
  EXPECT_EQ(video->GetCaps(still, &caps), S_OK);
  EXPECT_TRUE(caps & VideoControlFlag_Trigger);
  EXPECT_EQ(video->GetCaps(capture, &caps), S_OK);
  EXPECT_EQ(caps, 0);
  EXPECT_EQ(video->SetMode(capture, VideoControlFlag_Trigger), E_INVALIDARG);
  EXPECT_EQ(video->SetMode(still, VideoControlFlag_Trigger), VFW_E_NOT_RUNNING);

  ASSERT_EQ(control->Run(), S_OK);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(stills->pin().received(), 0);  // nothing without a trigger
  ASSERT_EQ(video->SetMode(still, VideoControlFlag_Trigger), S_OK);
  ASSERT_TRUE(stills->pin().waitBeyond(0));
  EXPECT_EQ(stills->pin().last().actual, 320 * 240 * 3 / 2);
  setenv("HANDSET_FAULTS", "dshow-still-silent", 1);
  EXPECT_EQ(video->SetMode(still, VideoControlFlag_Trigger), S_OK);
  setenv("HANDSET_FAULTS", "dshow-setmode", 1);
  EXPECT_EQ(video->SetMode(still, VideoControlFlag_Trigger), E_FAIL);
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(stills->pin().received(), 1);
  ASSERT_EQ(control->Stop(), S_OK);
}

TEST_F(Capture, PropertiesHaveRangesAndChangeThePicture) {
  ASSERT_EQ(load(u"CAM1:"), S_OK);
  auto *amp = on<IAMVideoProcAmp>(filter, IID_IAMVideoProcAmp);
  auto *cam = on<IAMCameraControl>(filter, IID_IAMCameraControl);
  struct Range {
    bool procAmp;
    LONG id;
    HRESULT result;
    LONG min = 0, max = 0, def = 0, caps = 0;
  } ranges[] = {
      {true, VideoProcAmp_Brightness, S_OK, -100, 100, 0, VideoProcAmp_Flags_Manual},
      {true, VideoProcAmp_WhiteBalance, S_OK, 2800, 6500, 5000, VideoProcAmp_Flags_Auto | VideoProcAmp_Flags_Manual},
      {true, 10, E_PROP_ID_UNSUPPORTED},
      {false, CameraControl_Zoom, S_OK, 100, 800, 100, CameraControl_Flags_Manual},
      {false, CameraControl_Flash, S_OK, 0, 1, 0, CameraControl_Flags_Manual},
      {false, CameraControl_Pan, E_PROP_ID_UNSUPPORTED},
  };
  for (const Range &r : ranges) {
    SCOPED_TRACE(r.id);
    LONG min = 0, max = 0, step = 0, def = 0, caps = 0;
    HRESULT hr = r.procAmp ? amp->GetRange(r.id, &min, &max, &step, &def, &caps)
                           : cam->GetRange(r.id, &min, &max, &step, &def, &caps);
    EXPECT_EQ(hr, r.result);
    if (hr != S_OK) continue;
    EXPECT_EQ(std::make_tuple(min, max, def, caps), std::make_tuple(r.min, r.max, r.def, r.caps));
  }
  LONG value = 0, flags = 0;
  EXPECT_EQ(cam->Set(CameraControl_Zoom, 105, CameraControl_Flags_Manual), E_INVALIDARG);  // off its steps
  EXPECT_EQ(amp->Set(VideoProcAmp_Brightness, 101, VideoProcAmp_Flags_Manual), E_INVALIDARG);
  EXPECT_EQ(amp->Set(VideoProcAmp_Brightness, 0, VideoProcAmp_Flags_Auto), E_INVALIDARG);
  EXPECT_EQ(amp->Get(VideoProcAmp_Brightness, &value, &flags), S_OK);
  EXPECT_EQ(std::make_pair(value, flags), std::make_pair(LONG(0), LONG(VideoProcAmp_Flags_Manual)));
  EXPECT_EQ(cam->Get(CameraControl_Exposure, &value, &flags), S_OK);
  EXPECT_EQ(flags, CameraControl_Flags_Auto);

  ASSERT_EQ(graph->AddFilter(filter, u"OUT"), S_OK);
  Renderer *r = connect(pinOf(PIN_CATEGORY_CAPTURE), u"Capture");
  ASSERT_EQ(control->Run(), S_OK);
  // A picture taken after everything set so far.
  auto picture = [&] {
    const int now = r->pin().received();
    EXPECT_TRUE(r->pin().waitBeyond(now + 1));
    return uyvyStats(r->pin().last().data, 320, 0, 240);
  };
  const Stats neutral = picture();
  struct Change {
    bool procAmp;
    LONG id, value, neutralValue;
    bool chroma;  // what it changes: the chroma's distance from grey, else the luma
    int direction;
  } changes[] = {
      {true, VideoProcAmp_Brightness, 100, 0, false, +1},
      {true, VideoProcAmp_Brightness, -100, 0, false, -1},
      {true, VideoProcAmp_Saturation, 200, 100, true, +1},
      {true, VideoProcAmp_Saturation, 0, 100, true, -1},
      {true, VideoProcAmp_ColorEnable, 0, 1, true, -1},
      {false, CameraControl_Exposure, -2, -6, false, +1},
      {false, CameraControl_Flash, 1, 0, false, +1},
  };
  for (const Change &c : changes) {
    SCOPED_TRACE(testing::Message() << c.id << " = " << c.value);
    auto set = [&](LONG v) { return c.procAmp ? amp->Set(c.id, v, VideoProcAmp_Flags_Manual) : cam->Set(c.id, v, CameraControl_Flags_Manual); };
    ASSERT_EQ(set(c.value), S_OK);
    ASSERT_EQ(c.procAmp ? amp->Get(c.id, &value, &flags) : cam->Get(c.id, &value, &flags), S_OK);
    EXPECT_EQ(value, c.value);
    const Stats changed = picture();
    const double delta = c.chroma ? changed.chroma - neutral.chroma : changed.luma - neutral.luma;
    EXPECT_GT(delta * c.direction, 3.0);
    ASSERT_EQ(set(c.neutralValue), S_OK);
  }
  ASSERT_EQ(control->Stop(), S_OK);
}

// Every DirectShow handset: the camera the device search names is the one its filter opens,
// created through the classes its profile registers.
TEST(CaptureProfiles, EachDirectShowHandsetOpensTheCameraItsDeviceSearchNames) {
  struct Row {
    const char *profile;
    bool still;
  } rows[] = {{"asus-p525", true},         {"benq-p51", true}, {"gigabyte-gsmart", true}, {"motoq", true},
              {"samsung-sgh-i320", false}, {"treo-700w", false}, {"xda-atom", true}};
  char pattern[] = "/tmp/capture-profiles-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  for (const Row &row : rows) {
    SCOPED_TRACE(row.profile);
    device::setRoot(std::string(pattern) + "/" + row.profile);
    device::setCurrent(device::Profile::load(device::profilePath(row.profile)));
    device::resetSensor();
    DEVMGR_DEVICE_INFORMATION info;
    info.dwSize = sizeof info;
    HANDLE search = FindFirstDevice(DeviceSearchByGuid, &DEVCLASS_CAMERA_GUID, &info);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    FindClose(search);
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    IBaseFilter *filter = nullptr;
    IPersistPropertyBag *persist = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_VideoCapture, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, (void **)&filter),
              S_OK);
    ASSERT_EQ(filter->QueryInterface(IID_IPersistPropertyBag, (void **)&persist), S_OK);
    NameBag bag(info.szLegacyName);
    EXPECT_EQ(persist->Load(&bag, nullptr), S_OK);
    persist->Release();
    IPin *still = nullptr;
    EXPECT_EQ(filter->FindPin(u"Still", &still) == S_OK, row.still);
    if (still) still->Release();
    IFilterGraph *graph = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterGraph, (void **)&graph),
              S_OK);
    if (graph) graph->Release();
    EXPECT_EQ(filter->Release(), 0u);
    CoUninitialize();
  }
  std::error_code ignored;
  std::filesystem::remove_all(pattern, ignored);
}

}  // namespace
