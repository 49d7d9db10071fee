#include "capture/sound.h"

#include <cstring>
#include <new>

namespace {

constexpr uint32_t kUnprepareRetryMs = 1536;

void SetFormat(WAVEFORMATEX *f) {
  f->wFormatTag = WAVE_FORMAT_PCM;
  f->nChannels = 1;
  f->nSamplesPerSec = 8000;
  f->nAvgBytesPerSec = kSoundBytesPerSecond;
  f->nBlockAlign = 2;
  f->wBitsPerSample = 16;
  f->cbSize = 0;
}

// Gives every buffer back from the driver and unprepares it.
void ReleaseBuffers(SoundBlock *block, int noWait) {
  waveInReset(block->device);
  for (uint32_t i = 0; i < block->bufferCount; ++i) {
    WAVEHDR *h = &block->headers[i];
    if (waveInUnprepareHeader(block->device, h, sizeof(WAVEHDR)) != WAVERR_STILLPLAYING || noWait) continue;
    DWORD firstTry = GetTickCount();
    do {
      waveInReset(block->device);
      Sleep(1);
    } while (waveInUnprepareHeader(block->device, h, sizeof(WAVEHDR)) == WAVERR_STILLPLAYING &&
             GetTickCount() - firstTry < kUnprepareRetryMs);
  }
}

}  // namespace

void FreeSoundBuffers(SoundBlock *block) {
  for (uint32_t i = 0; block->headers && i < block->bufferCount; ++i) delete[] block->headers[i].lpData;
  delete[] block->headers;
  delete[] block->staging;
  block->headers = nullptr;
  block->staging = nullptr;
  block->bufferCount = 0;
  block->bufferBytes = 0;
  block->stagingBytes = 0;
}

void SetupSoundBuffers(SoundBlock *block, uint32_t count, uint32_t interval) {
  if (count == 0) return;
  FreeSoundBuffers(block);
  SetFormat(&block->format);
  block->interval = interval;
  uint32_t bytes = interval * kSoundBytesPerSecond / 1000;
  WAVEHDR *headers = new (std::nothrow) WAVEHDR[count]();
  uint8_t *staging = new (std::nothrow) uint8_t[bytes];
  uint32_t made = 0;
  while (headers && staging && made < count) {
    char *data = new (std::nothrow) char[bytes];
    if (!data) break;
    headers[made].lpData = data;
    headers[made].dwBufferLength = bytes;
    ++made;
  }
  block->headers = headers;
  block->staging = staging;
  block->bufferBytes = bytes;
  block->bufferCount = made;
  // Without memory for every buffer there is no sound: OpenSound then refuses.
  if (made < count) FreeSoundBuffers(block);
}

int QueueAllBuffers(SoundBlock *block) {
  {
    std::lock_guard<std::mutex> held(block->queueLock);
    block->queueHead = block->queueTail = nullptr;
  }
  for (uint32_t i = 0; i < block->bufferCount; ++i) {
    WAVEHDR *h = &block->headers[i];
    char *data = h->lpData;
    *h = WAVEHDR{};
    h->lpData = data;
    h->dwBufferLength = block->bufferBytes;
    if (waveInPrepareHeader(block->device, h, sizeof(WAVEHDR)) != MMSYSERR_NOERROR ||
        waveInAddBuffer(block->device, h, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
      // The buffers already added must come back before the device can close.
      ReleaseBuffers(block, 1);
      CloseSound(block);
      return 0;
    }
  }
  return 1;
}

int OpenSound(SoundBlock *block) {
  if (block->bufferCount == 0) return 0;
  if (waveInOpen(&block->device, WAVE_MAPPER, &block->format, reinterpret_cast<DWORD_PTR>(&SoundCallback),
                 reinterpret_cast<DWORD_PTR>(block), CALLBACK_FUNCTION) != MMSYSERR_NOERROR) {
    block->device = nullptr;
    return 0;
  }
  if (!QueueAllBuffers(block)) return 0;
  if (waveInStart(block->device) != MMSYSERR_NOERROR) {
    ReleaseBuffers(block, 1);
    CloseSound(block);
    return 0;
  }
  return 1;
}

void CALLBACK SoundCallback(HWAVEIN, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
  if (message != WIM_DATA) return;
  auto *block = reinterpret_cast<SoundBlock *>(instance);
  auto *h = reinterpret_cast<WAVEHDR *>(param1);
  h->lpNext = nullptr;
  std::lock_guard<std::mutex> held(block->queueLock);
  if (block->queueTail)
    block->queueTail->lpNext = h;
  else
    block->queueHead = h;
  block->queueTail = h;
}

uint8_t *TakeSoundBlock(SoundBlock *block) {
  WAVEHDR *h;
  {
    std::lock_guard<std::mutex> held(block->queueLock);
    h = block->queueHead;
    if (!h || h->dwBytesRecorded == 0) return nullptr;
    block->queueHead = h->lpNext;
    if (!block->queueHead) block->queueTail = nullptr;
  }
  std::memcpy(block->staging, h->lpData, h->dwBytesRecorded);
  block->stagingBytes = h->dwBytesRecorded;
  waveInAddBuffer(block->device, h, sizeof(WAVEHDR));
  return block->staging;
}

void StopSound(SoundBlock *block, int noWait) {
  if (block->device) ReleaseBuffers(block, noWait);
}

void CloseSound(SoundBlock *block) {
  if (!block->device) return;
  waveInClose(block->device);
  block->device = nullptr;
}
