// The emulated handset's loudspeaker: every sound the platform plays is logged here, so tests
// can see what was played, how, when and on which thread. Product code never includes it.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace device {

struct SoundPlay {
  std::string name;      // the sound as asked for (UTF-8), "" for a sound from memory
  std::string resolved;  // the handset path that was opened, "" when none
  uint32_t flags = 0;    // the PlaySound flags
  bool played = false;   // a valid WAV was found and played
  bool fallback = false; // the system's default sound played instead
  uint32_t lengthMs = 0; // the WAV's length
  std::chrono::steady_clock::time_point start;
  std::thread::id thread;
};

// Records one play (the platform's PlaySoundW calls it).
void logSoundPlay(SoundPlay play);
// Every play since the last clear, oldest first.
std::vector<SoundPlay> soundPlays();
void clearSoundPlays();
// Waits until at least `count` plays are logged; false after the time-out.
bool waitForSoundPlays(size_t count, std::chrono::milliseconds timeout);

}  // namespace device
