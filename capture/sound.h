// Sound capture for video recording: 8 kHz 16-bit mono PCM from waveIn in blocks of one frame
// interval. The driver's callback queues filled blocks; the AVI writer takes them on the frame
// thread, copies each into the staging buffer and gives it straight back to the driver.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <mutex>

constexpr uint32_t kSoundBytesPerSecond = 16000;
constexpr uint32_t kSoundBufferedMs = 4000;  // the buffers hold about this much sound together

struct SoundBlock {
  uint32_t interval;  // ms per block the buffers were sized for
  HWAVEIN device;     // null when closed
  WAVEFORMATEX format;
  uint32_t bufferBytes;
  uint32_t bufferCount;
  WAVEHDR *headers;  // bufferCount headers, each with its own buffer of bufferBytes
  // Filled blocks not yet taken, oldest first, linked through lpNext. The driver's thread
  // appends, the frame thread takes from the head; queueLock is held only for the pointer
  // moves, so neither side ever waits long.
  WAVEHDR *queueHead;
  WAVEHDR *queueTail;
  uint8_t *staging;  // bufferBytes: the last block taken
  uint32_t stagingBytes;
  std::mutex queueLock;
};

// Sizes the buffers for `count` blocks of `interval` ms (the old ones are freed); count 0 does
// nothing.
void SetupSoundBuffers(SoundBlock *block, uint32_t count, uint32_t interval);
// Opens the microphone, queues every buffer and starts capture; 0 when any step fails (the
// device is then closed again).
int OpenSound(SoundBlock *block);
// Empties the queue, then prepares and adds every buffer; 0 (device closed) on the first failure.
int QueueAllBuffers(SoundBlock *block);
// The waveIn callback: queues a filled block (WIM_DATA); other messages are ignored.
void CALLBACK SoundCallback(HWAVEIN device, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                            DWORD_PTR param2);
// The oldest filled block copied to staging (stagingBytes holds its length) after the block
// went back to the driver; null when none is waiting or it recorded nothing.
uint8_t *TakeSoundBlock(SoundBlock *block);
// Ends capture and unprepares every buffer. Without noWait a buffer the driver still holds is
// retried for up to 1536 ms. The caller closes the device.
void StopSound(SoundBlock *block, int noWait);
// Closes the device after StopSound.
void CloseSound(SoundBlock *block);
void FreeSoundBuffers(SoundBlock *block);
