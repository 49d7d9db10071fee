// A real graph on the base classes: a small source and renderer, connected by the filter graph
// manager, run through its states; samples carry the allocator's buffers.
#include <streams.h>

#include <gtest/gtest.h>

#include <atomic>

#include "com_fixture.h"
#include "renderer.h"

namespace {

DEFINE_GUID(CLSID_TestSource, 0x1D0C1E57, 0x0010, 0x4000, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10);

CMediaType videoType(LONG width, LONG height) {
  CMediaType mt(&MEDIATYPE_Video);
  mt.SetSubtype(&MEDIASUBTYPE_UYVY);
  mt.SetFormatType(&FORMAT_VideoInfo);
  auto *vih = reinterpret_cast<VIDEOINFOHEADER *>(mt.AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
  vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  vih->bmiHeader.biWidth = width;
  vih->bmiHeader.biHeight = height;
  vih->bmiHeader.biSizeImage = DWORD(width * height * 2);
  mt.SetSampleSize(vih->bmiHeader.biSizeImage);
  return mt;
}

class SourcePin : public CBaseOutputPin {
 public:
  SourcePin(CBaseFilter *filter, CCritSec *lock, HRESULT *phr) : CBaseOutputPin(TEXT("src"), filter, lock, phr, u"Out") {}
  HRESULT CheckMediaType(const CMediaType *mt) override {
    return IsEqualGUID(*mt->Type(), MEDIATYPE_Video) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int i, CMediaType *mt) override {
    if (i > 0) return VFW_S_NO_MORE_ITEMS;
    *mt = videoType(width, 120);
    return S_OK;
  }
  HRESULT DecideBufferSize(IMemAllocator *allocator, ALLOCATOR_PROPERTIES *request) override {
    request->cBuffers = 2;
    request->cbBuffer = LONG(m_mt.lSampleSize) + 100;  // larger than the data, as real allocators give
    ALLOCATOR_PROPERTIES actual;
    return allocator->SetProperties(request, &actual);
  }
  LONG width = 160;
};

class Source : public CBaseFilter {
 public:
  Source() : CBaseFilter(TEXT("source"), nullptr, &lock_, CLSID_TestSource), pin_(this, &lock_, &hr_) {}
  int GetPinCount() override { return 1; }
  CBasePin *GetPin(int n) override { return n == 0 ? &pin_ : nullptr; }
  SourcePin &pin() { return pin_; }
  // One sample of `bytes` bytes.
  HRESULT push(LONG bytes) {
    IMediaSample *sample = nullptr;
    HRESULT hr = pin_.GetDeliveryBuffer(&sample, nullptr, nullptr, AM_GBF_NOWAIT);
    if (FAILED(hr)) return hr;
    sample->SetActualDataLength(bytes);
    hr = pin_.Deliver(sample);
    sample->Release();
    return hr;
  }

 private:
  CCritSec lock_;
  HRESULT hr_ = S_OK;
  SourcePin pin_;
};

class Graph : public ComFixture {
 protected:
  void SetUp() override {
    ComFixture::SetUp();
    registerServer(CLSID_FilterGraph, GRAPH_SERVER);
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterGraph, (void **)&graph),
              S_OK);
    ASSERT_EQ(graph->QueryInterface(IID_IMediaControl, (void **)&control), S_OK);
    source = new Source;
    renderer = new Renderer;
    source->AddRef();
    renderer->AddRef();
  }
  void TearDown() override {
    if (control) control->Release();
    if (graph) {
      EXPECT_EQ(graph->Release(), 0u);
    }
    // The graph let its filters go: ours are the last references.
    EXPECT_EQ(source->Release(), 0u);
    EXPECT_EQ(renderer->Release(), 0u);
    CoUninitialize();
    ComFixture::TearDown();
  }
  IFilterGraph *graph = nullptr;
  IMediaControl *control = nullptr;
  Source *source = nullptr;
  Renderer *renderer = nullptr;
};

TEST_F(Graph, ConnectsRunsAndDeliversIntoTheAllocatorsBuffers) {
  EXPECT_EQ(graph->ConnectDirect(&source->pin(), &renderer->pin(), nullptr), VFW_E_NOT_IN_GRAPH);
  EXPECT_EQ(graph->AddFilter(source, u"OUT"), S_OK);
  EXPECT_EQ(graph->AddFilter(renderer, u"OUT"), VFW_S_DUPLICATE_NAME);
  IBaseFilter *found = nullptr;
  ASSERT_EQ(graph->FindFilterByName(u"OUT", &found), S_OK);
  EXPECT_EQ(found, static_cast<IBaseFilter *>(source));
  found->Release();
  EXPECT_EQ(graph->FindFilterByName(u"None", &found), VFW_E_NOT_FOUND);
  EXPECT_EQ(graph->ConnectDirect(&renderer->pin(), &source->pin(), nullptr), VFW_E_INVALID_DIRECTION);
  ASSERT_EQ(graph->ConnectDirect(&source->pin(), &renderer->pin(), nullptr), S_OK);
  EXPECT_EQ(graph->ConnectDirect(&source->pin(), &renderer->pin(), nullptr), VFW_E_ALREADY_CONNECTED);
  AM_MEDIA_TYPE mt;
  ASSERT_EQ(renderer->pin().ConnectionMediaType(&mt), S_OK);
  EXPECT_EQ(reinterpret_cast<VIDEOINFOHEADER *>(mt.pbFormat)->bmiHeader.biWidth, 160);
  FreeMediaType(mt);

  EXPECT_EQ(source->push(100), VFW_E_NOT_COMMITTED);  // stopped: nothing is committed
  EXPECT_EQ(control->Pause(), S_OK);
  EXPECT_EQ(source->push(100), S_OK);
  EXPECT_EQ(control->Run(), S_OK);
  OAFilterState state = -1;
  EXPECT_EQ(control->GetState(0, &state), S_OK);
  EXPECT_EQ(state, State_Running);
  ASSERT_EQ(source->push(1000), S_OK);
  EXPECT_EQ(renderer->pin().received(), 2);
  EXPECT_EQ(renderer->pin().last().actual, 1000);
  EXPECT_EQ(renderer->pin().last().size, 160 * 120 * 2 + 100);
  EXPECT_EQ(graph->Disconnect(&source->pin()), VFW_E_NOT_STOPPED);
  EXPECT_EQ(graph->Reconnect(&source->pin()), VFW_E_NOT_STOPPED);
  EXPECT_EQ(control->Stop(), S_OK);
  // Stopped: the renderer refuses what reaches it, as the base class says.
  HRESULT hr = S_OK;
  CMemAllocator *spare = new CMemAllocator(TEXT("spare"), nullptr, &hr);
  spare->NonDelegatingAddRef();
  ALLOCATOR_PROPERTIES props = {1, 64, 1, 0}, actual;
  ASSERT_EQ(spare->SetProperties(&props, &actual), S_OK);
  ASSERT_EQ(spare->Commit(), S_OK);
  IMediaSample *sample = nullptr;
  ASSERT_EQ(spare->GetBuffer(&sample, nullptr, nullptr, 0), S_OK);
  IMediaSample *second = nullptr;
  EXPECT_EQ(spare->GetBuffer(&second, nullptr, nullptr, AM_GBF_NOWAIT),
            VFW_E_TIMEOUT);
  EXPECT_EQ(renderer->pin().Receive(sample), VFW_E_WRONG_STATE);
  EXPECT_EQ(renderer->pin().Receive(nullptr), E_POINTER);
  sample->Release();
  spare->Decommit();
  spare->NonDelegatingRelease();

  // A new format on the source, and the graph connects the pins again with it.
  source->pin().width = 320;
  source->pin().IncrementTypeVersion();
  ASSERT_EQ(graph->Reconnect(&source->pin()), S_OK);
  ASSERT_EQ(renderer->pin().ConnectionMediaType(&mt), S_OK);
  EXPECT_EQ(reinterpret_cast<VIDEOINFOHEADER *>(mt.pbFormat)->bmiHeader.biWidth, 320);
  FreeMediaType(mt);
  EXPECT_EQ(control->Run(), S_OK);
  ASSERT_EQ(source->push(10), S_OK);
  EXPECT_EQ(renderer->pin().last().size, 320 * 120 * 2 + 100);
  EXPECT_EQ(control->Stop(), S_OK);

  IEnumFilters *filters = nullptr;
  ASSERT_EQ(graph->EnumFilters(&filters), S_OK);
  IBaseFilter *got[3] = {};
  ULONG n = 0;
  EXPECT_EQ(filters->Next(3, got, &n), S_FALSE);
  EXPECT_EQ(n, 2u);
  for (ULONG i = 0; i < n; ++i) got[i]->Release();
  filters->Release();
  EXPECT_EQ(graph->RemoveFilter(renderer), S_OK);
  EXPECT_FALSE(source->pin().IsConnected());
  EXPECT_EQ(graph->RemoveFilter(renderer), VFW_E_NOT_FOUND);
}

TEST_F(Graph, ARefusedTypeLeavesThePinsUnconnected) {
  graph->AddFilter(source, u"OUT");
  graph->AddFilter(renderer, u"Capture");
  CMediaType other = videoType(160, 120);
  other.SetFormatType(&FORMAT_VideoInfo2);
  EXPECT_EQ(graph->ConnectDirect(&source->pin(), &renderer->pin(), &other), VFW_E_TYPE_NOT_ACCEPTED);
  EXPECT_FALSE(source->pin().IsConnected());
  EXPECT_FALSE(renderer->pin().IsConnected());
  IPin *peer = nullptr;
  EXPECT_EQ(renderer->pin().ConnectedTo(&peer), VFW_E_NOT_CONNECTED);
}

}  // namespace
