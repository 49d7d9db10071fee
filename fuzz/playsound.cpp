// The WAV reader behind PlaySoundW, through PlaySoundW itself: a sound image in memory, played
// asynchronously so that no run waits for the sound to end. SND_MEMORY gives the image without
// its size, so the caller's part of the contract is kept here: the RIFF size the image states is
// never more than the bytes that follow it (the first input byte picks further flags).
#include <mmsystem.h>
#include <windows.h>

#include <cstring>

#include "device/sound_log.h"
#include "support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const bool handset = (fuzz::useTemporaryHandset("display = 240x320\n"), true);
  (void)handset;
  fuzz::Reader in(data, size);
  const uint8_t choice = in.byte();
  std::string image = in.rest();
  image.resize(std::max<size_t>(image.size(), 8));  // PlaySoundW reads the RIFF header
  if (std::memcmp(image.data(), "RIFF", 4) == 0) {
    uint32_t stated;
    std::memcpy(&stated, image.data() + 4, 4);
    const uint32_t room = uint32_t(std::min<size_t>(image.size() - 8, UINT32_MAX));
    if (stated > room) std::memcpy(image.data() + 4, &room, 4);
  }
  DWORD flags = SND_MEMORY | SND_ASYNC;
  if (choice & 1) flags |= SND_NODEFAULT;
  if (choice & 2) flags |= SND_LOOP;
  if (choice & 4) flags |= SND_NOSTOP;
  PlaySoundW(reinterpret_cast<LPCWSTR>(image.data()), nullptr, flags);
  const std::vector<device::SoundPlay> plays = device::soundPlays();
  for (const device::SoundPlay &play : plays)
    // No format plays fewer than 1000 bytes a second: the samples there bound the length.
    fuzz::check(play.lengthMs <= image.size(), "a sound lasts no longer than its samples",
                std::to_string(play.lengthMs) + " ms from " + std::to_string(image.size()) + " bytes");
  device::clearSoundPlays();
  PlaySoundW(nullptr, nullptr, 0);
  return 0;
}
