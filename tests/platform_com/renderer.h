// A small renderer on the base classes for the graph tests: its one input pin takes VideoInfo
// types and keeps what the last samples carried, for the test thread to wait on and read.
#pragma once

#include <streams.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

DEFINE_GUID(CLSID_TestRenderer, 0x1D0C1E57, 0x0011, 0x4000, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x11);

// What one sample brought.
struct Received {
  LONG size = 0, actual = 0;  // the buffer's size and the data in it
  std::vector<BYTE> data;
  REFERENCE_TIME start = 0, end = 0;
};

class RendererPin : public CBaseInputPin {
 public:
  RendererPin(CBaseFilter *filter, CCritSec *lock, HRESULT *phr) : CBaseInputPin(TEXT("sink"), filter, lock, phr, u"In") {}
  HRESULT CheckMediaType(const CMediaType *mt) override {
    return IsEqualGUID(*mt->FormatType(), FORMAT_VideoInfo) ? S_OK : S_FALSE;
  }
  STDMETHODIMP Receive(IMediaSample *sample) override {
    HRESULT hr = CBaseInputPin::Receive(sample);
    if (hr != S_OK) return hr;
    Received r;
    r.size = sample->GetSize();
    r.actual = sample->GetActualDataLength();
    BYTE *data = nullptr;
    sample->GetPointer(&data);
    r.data.assign(data, data + r.actual);
    sample->GetTime(&r.start, &r.end);
    {
      std::lock_guard<std::mutex> held(lock_);
      last_ = std::move(r);
      ++received_;
    }
    arrived_.notify_all();
    return S_OK;
  }
  int received() {
    std::lock_guard<std::mutex> held(lock_);
    return received_;
  }
  Received last() {
    std::lock_guard<std::mutex> held(lock_);
    return last_;
  }
  // Waits until more than `count` samples arrived in all (generous: the machine may be loaded).
  bool waitBeyond(int count, std::chrono::milliseconds patience = std::chrono::milliseconds(10000)) {
    std::unique_lock<std::mutex> held(lock_);
    return arrived_.wait_for(held, patience, [&] { return received_ > count; });
  }

 private:
  std::mutex lock_;
  std::condition_variable arrived_;
  int received_ = 0;
  Received last_;
};

class Renderer : public CBaseFilter {
 public:
  Renderer() : CBaseFilter(TEXT("renderer"), nullptr, &lock_, CLSID_TestRenderer), pin_(this, &lock_, &hr_) {}
  int GetPinCount() override { return 1; }
  CBasePin *GetPin(int n) override { return n == 0 ? &pin_ : nullptr; }
  RendererPin &pin() { return pin_; }

 private:
  CCritSec lock_;
  HRESULT hr_ = S_OK;
  RendererPin pin_;
};
