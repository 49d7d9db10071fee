#include "device/sound_log.h"

#include <condition_variable>
#include <mutex>

namespace device {

namespace {

struct Speaker {
  std::mutex mutex;
  std::condition_variable logged;
  std::vector<SoundPlay> plays;
};

// Never destroyed: a sound thread may still be logging while the process ends.
Speaker &speaker() {
  static Speaker *instance = new Speaker;
  return *instance;
}

}  // namespace

void logSoundPlay(SoundPlay play) {
  Speaker &s = speaker();
  {
    std::lock_guard lock(s.mutex);
    s.plays.push_back(std::move(play));
  }
  s.logged.notify_all();
}

std::vector<SoundPlay> soundPlays() {
  Speaker &s = speaker();
  std::lock_guard lock(s.mutex);
  return s.plays;
}

void clearSoundPlays() {
  Speaker &s = speaker();
  std::lock_guard lock(s.mutex);
  s.plays.clear();
}

bool waitForSoundPlays(size_t count, std::chrono::milliseconds timeout) {
  Speaker &s = speaker();
  std::unique_lock lock(s.mutex);
  return s.logged.wait_for(lock, timeout, [&] { return s.plays.size() >= count; });
}

}  // namespace device
