// waveIn over the emulated microphone. Each open device has one driver thread that fills the
// queued buffers in order, in real time by the microphone clock, and calls the caller's
// function with WIM_DATA for each, as the handset's audio driver does.
#include <mmsystem.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <set>
#include <thread>

#include "device/microphone.h"
#include "device/profile.h"

namespace {

using device::kSamplesPerMs;

// How long the driver thread sleeps at most before it looks at the clock again (a test's
// manual clock moves without telling anyone).
constexpr auto kPollInterval = std::chrono::milliseconds(2);
// A live microphone is read in pieces of 20 ms, so a stop takes effect quickly.
constexpr size_t kLiveReadSamples = 20 * kSamplesPerMs;

struct WaveIn {
  std::mutex lock;
  std::condition_variable wake;  // the driver thread waits here
  std::condition_variable done;  // callers of stop and reset wait here
  std::deque<WAVEHDR *> queue;   // added and not yet returned, oldest first
  std::unique_ptr<device::Microphone> microphone;
  WAVEINPROC callback = nullptr;
  DWORD_PTR instance = 0;
  bool running = false;
  bool closing = false;
  // A stop (1: return the buffer being filled) or reset (2: return every buffer) that the
  // driver thread has not carried out yet. Each request takes a ticket; the driver thread
  // serves every ticket up to the one it saw, and a caller returns only once the buffers of
  // its own are back with the caller's function, callbacks done.
  int flushRequest = 0;
  uint64_t flushTickets = 0;
  uint64_t flushesServed = 0;
  uint64_t nextSample = 0;  // position of the next sample to capture
  std::thread thread;

  void notify(UINT message, DWORD_PTR param) {
    if (callback) callback(reinterpret_cast<HWAVEIN>(this), message, instance, param, 0);
  }
  void run();
  // Fills the front buffer as far as the clock allows; true when it is full.
  bool fillFront(std::unique_lock<std::mutex> &held);
};

std::mutex devicesLock;
std::set<WaveIn *> devices;

WaveIn *find(HWAVEIN handle) {
  std::lock_guard<std::mutex> guard(devicesLock);
  auto it = devices.find(reinterpret_cast<WaveIn *>(handle));
  return it == devices.end() ? nullptr : *it;
}

bool isSupported(const WAVEFORMATEX *f) {
  return f->wFormatTag == WAVE_FORMAT_PCM && f->nChannels == 1 && f->nSamplesPerSec == device::kMicrophoneRate &&
         f->wBitsPerSample == 16 && f->nBlockAlign == 2 && f->nAvgBytesPerSec == 2 * device::kMicrophoneRate;
}

bool WaveIn::fillFront(std::unique_lock<std::mutex> &held) {
  WAVEHDR *h = queue.front();
  size_t capacity = h->dwBufferLength / 2;
  size_t filled = h->dwBytesRecorded / 2;
  auto *samples = reinterpret_cast<int16_t *>(h->lpData) + filled;
  if (microphone->live()) {
    size_t count = std::min(capacity - filled, kLiveReadSamples);
    held.unlock();
    bool ok = microphone->read(samples, count, 0);
    held.lock();
    if (!ok) std::fill_n(samples, count, int16_t(0));
    filled += count;
  } else {
    // Whatever the clock says has been captured since the last look, up to the buffer's end.
    uint64_t captured = device::microphoneClock() * kSamplesPerMs;
    if (captured > nextSample) {
      size_t count = size_t(std::min<uint64_t>(capacity - filled, captured - nextSample));
      microphone->read(samples, count, nextSample);
      nextSample += count;
      filled += count;
    }
  }
  h->dwBytesRecorded = DWORD(filled * 2);
  return filled == capacity;
}

void WaveIn::run() {
  std::unique_lock<std::mutex> held(lock);
  while (!closing) {
    std::deque<WAVEHDR *> finished;
    uint64_t serving = flushesServed;
    if (flushRequest) {
      serving = flushTickets;
      // What the clock has captured so far still goes into the buffer being filled.
      if (running && !queue.empty() && !microphone->live()) fillFront(held);
      size_t count = flushRequest == 2 ? queue.size() : std::min<size_t>(1, queue.size());
      // A stopped device returns its partly filled buffer only when it holds something.
      if (flushRequest == 1 && count == 1 && queue.front()->dwBytesRecorded == 0) count = 0;
      finished.assign(queue.begin(), queue.begin() + long(count));
      queue.erase(queue.begin(), queue.begin() + long(count));
      running = false;
      flushRequest = 0;
    } else if (running && !queue.empty()) {
      if (fillFront(held)) {
        finished.push_back(queue.front());
        queue.pop_front();
      } else if (!microphone->live()) {
        wake.wait_for(held, kPollInterval);
      }
    } else {
      wake.wait_for(held, kPollInterval, [&] { return closing || flushRequest || (running && !queue.empty()); });
    }
    for (WAVEHDR *h : finished) {
      h->dwFlags = (h->dwFlags & ~DWORD(WHDR_INQUEUE)) | WHDR_DONE;
      h->lpNext = nullptr;
    }
    if (!finished.empty()) {
      held.unlock();
      for (WAVEHDR *h : finished) notify(WIM_DATA, reinterpret_cast<DWORD_PTR>(h));
      held.lock();
    }
    flushesServed = serving;
    done.notify_all();
  }
}

// Asks the driver thread for a stop (1) or reset (2) and waits until it has returned the buffers
// (their WIM_DATA calls made).
void flush(WaveIn *w, int kind) {
  std::unique_lock<std::mutex> held(w->lock);
  w->flushRequest = std::max(w->flushRequest, kind);
  const uint64_t ticket = ++w->flushTickets;
  w->wake.notify_all();
  w->done.wait(held, [&] { return w->flushesServed >= ticket; });
}

}  // namespace

extern "C" {

UINT WINAPI waveInGetNumDevs(void) {
  return device::hasMicrophone(device::current()) ? 1 : 0;
}

MMRESULT WINAPI waveInOpen(LPHWAVEIN handle, UINT deviceId, LPCWAVEFORMATEX format, DWORD_PTR callback,
                           DWORD_PTR instance, DWORD flags) {
  if (!format) return MMSYSERR_INVALPARAM;
  DWORD callbackType = flags & CALLBACK_TYPEMASK;
  if (callbackType != CALLBACK_NULL && callbackType != CALLBACK_FUNCTION) return MMSYSERR_NOTSUPPORTED;
  if (deviceId != 0 && deviceId != WAVE_MAPPER) return MMSYSERR_BADDEVICEID;
  if (waveInGetNumDevs() == 0) return MMSYSERR_BADDEVICEID;
  if (!isSupported(format)) return WAVERR_BADFORMAT;
  if (flags & WAVE_FORMAT_QUERY) return MMSYSERR_NOERROR;
  if (!handle) return MMSYSERR_INVALPARAM;
  auto w = std::make_unique<WaveIn>();
  try {
    w->microphone = device::openMicrophone(device::current());
  } catch (const device::ProfileError &e) {
    // A profile that cannot be used ends the process, as at its loading.
    device::stopOnBadSetting(e.what());
  }
  if (!w->microphone) return MMSYSERR_NODRIVER;
  if (callbackType == CALLBACK_FUNCTION) w->callback = reinterpret_cast<WAVEINPROC>(callback);
  w->instance = instance;
  WaveIn *raw = w.release();
  {
    std::lock_guard<std::mutex> guard(devicesLock);
    devices.insert(raw);
  }
  raw->thread = std::thread([raw] { raw->run(); });
  *handle = reinterpret_cast<HWAVEIN>(raw);
  raw->notify(WIM_OPEN, 0);
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveInClose(HWAVEIN handle) {
  WaveIn *w = find(handle);
  if (!w) return MMSYSERR_INVALHANDLE;
  {
    std::lock_guard<std::mutex> held(w->lock);
    if (!w->queue.empty()) return WAVERR_STILLPLAYING;
    w->closing = true;
    w->wake.notify_all();
  }
  w->thread.join();
  {
    std::lock_guard<std::mutex> guard(devicesLock);
    devices.erase(w);
  }
  w->notify(WIM_CLOSE, 0);
  delete w;
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveInPrepareHeader(HWAVEIN handle, LPWAVEHDR h, UINT size) {
  WaveIn *w = find(handle);
  if (!w) return MMSYSERR_INVALHANDLE;
  if (!h || size < sizeof(WAVEHDR) || !h->lpData) return MMSYSERR_INVALPARAM;
  std::lock_guard<std::mutex> held(w->lock);
  h->dwFlags |= WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveInUnprepareHeader(HWAVEIN handle, LPWAVEHDR h, UINT size) {
  WaveIn *w = find(handle);
  if (!w) return MMSYSERR_INVALHANDLE;
  if (!h || size < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
  std::lock_guard<std::mutex> held(w->lock);
  if (h->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  h->dwFlags &= ~DWORD(WHDR_PREPARED);
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveInAddBuffer(HWAVEIN handle, LPWAVEHDR h, UINT size) {
  WaveIn *w = find(handle);
  if (!w) return MMSYSERR_INVALHANDLE;
  if (!h || size < sizeof(WAVEHDR) || h->dwBufferLength < 2) return MMSYSERR_INVALPARAM;
  std::lock_guard<std::mutex> held(w->lock);
  if (!(h->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
  if (h->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  h->dwFlags = (h->dwFlags & ~DWORD(WHDR_DONE)) | WHDR_INQUEUE;
  h->dwBytesRecorded = 0;
  // While no buffer was queued, time passed unrecorded, as on the handset.
  if (w->running && w->queue.empty() && !w->microphone->live())
    w->nextSample = std::max(w->nextSample, device::microphoneClock() * kSamplesPerMs);
  w->queue.push_back(h);
  w->wake.notify_all();
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveInStart(HWAVEIN handle) {
  WaveIn *w = find(handle);
  if (!w) return MMSYSERR_INVALHANDLE;
  std::lock_guard<std::mutex> held(w->lock);
  if (!w->running) {
    w->running = true;
    w->nextSample = device::microphoneClock() * kSamplesPerMs;
  }
  w->wake.notify_all();
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveInStop(HWAVEIN handle) {
  WaveIn *w = find(handle);
  if (!w) return MMSYSERR_INVALHANDLE;
  flush(w, 1);
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveInReset(HWAVEIN handle) {
  WaveIn *w = find(handle);
  if (!w) return MMSYSERR_INVALHANDLE;
  flush(w, 2);
  return MMSYSERR_NOERROR;
}

}  // extern "C"
