// PlaySoundW on the emulated handset: the loudspeaker is the device's sound log, and the
// desktop's sound when the display is shown in a window. A synchronous play takes as long as
// the WAV lasts, unless the sound is stopped or replaced meanwhile from another thread; an
// asynchronous one is playing until then.
#include <cewchar.h>
#include <mmsystem.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "device/display.h"
#include "device/sound_log.h"

namespace {

using Clock = std::chrono::steady_clock;

// When the sound started asynchronously ends (time since the clock's epoch, in ms); 0: none.
std::atomic<int64_t> g_asyncEnd{0};
constexpr int64_t kForever = INT64_MAX;

// One sound plays at a time: each stop or new sound makes the next generation, and a
// synchronous play ends when its own is over.
std::mutex g_playLock;
std::condition_variable g_playChanged;
uint64_t g_generation = 0;

uint64_t NextGeneration() {
  std::lock_guard<std::mutex> held(g_playLock);
  g_playChanged.notify_all();
  return ++g_generation;
}

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

// A WAV image in memory larger than this is taken for a damaged header: no handset sound is.
constexpr uint32_t kLargestMemoryImage = 16u << 20;

uint32_t Le16(const uint8_t *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t Le32(const uint8_t *p) { return Le16(p) | Le16(p + 2) << 16; }

// The length in ms of a RIFF WAVE image, or -1 when it is not one. The length is that of the
// samples really there, at the rate their format gives (not the header's byte rate, which a
// damaged header may make tiny).
int64_t WaveLength(const uint8_t *data, size_t size) {
  if (size < 12 || memcmp(data, "RIFF", 4) != 0 || memcmp(data + 8, "WAVE", 4) != 0) return -1;
  uint32_t bytesPerSecond = 0;
  for (size_t at = 12; at + 8 <= size;) {
    const uint32_t length = Le32(data + at + 4);
    const uint8_t *body = data + at + 8;
    const size_t room = size - at - 8;
    if (memcmp(data + at, "fmt ", 4) == 0 && length >= 16 && room >= 16) {
      const uint32_t rate = Le32(body + 4), blockAlign = Le16(body + 12);
      const bool plausible = rate >= 1000 && rate <= 192000 && blockAlign >= 1 && blockAlign <= 32;
      bytesPerSecond = plausible ? rate * blockAlign : 0;
    }
    if (memcmp(data + at, "data", 4) == 0) {
      if (!bytesPerSecond) return -1;
      const uint64_t bytes = length < room ? length : room;
      return int64_t(bytes * 1000 / bytesPerSecond);
    }
    at += 8 + size_t(length) + (length & 1);
  }
  return -1;
}

std::vector<uint8_t> ReadFile(const char16_t *path) {
  std::vector<uint8_t> data;
  FILE *file = _wfopen(path, u"rb");
  if (!file) return data;
  uint8_t chunk[4096];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) data.insert(data.end(), chunk, chunk + n);
  fclose(file);
  return data;
}

std::string Utf8(const char16_t *s) {
  std::string out;
  for (; *s; ++s) {
    char32_t c = *s;
    if (c >= 0xD800 && c < 0xDC00 && s[1] >= 0xDC00 && s[1] < 0xE000) c = 0x10000 + ((c - 0xD800) << 10) + (*++s - 0xDC00);
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | c >> 6);
      out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += char(0xE0 | c >> 12);
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xF0 | c >> 18);
      out += char(0x80 | ((c >> 12) & 0x3F));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace

extern "C" BOOL WINAPI PlaySoundW(LPCWSTR sound, HMODULE, DWORD flags) {
  if (!sound) {
    NextGeneration();
    g_asyncEnd = 0;
    device::display().playSound({});
    return TRUE;
  }
  if ((flags & SND_NOSTOP) && g_asyncEnd.load() > NowMs()) return FALSE;

  device::SoundPlay play;
  play.flags = flags;
  play.start = Clock::now();
  play.thread = std::this_thread::get_id();
  int64_t length = -1;
  std::vector<uint8_t> data;
  if ((flags & SND_MEMORY) && (flags & SND_RESOURCE) != SND_RESOURCE) {
    // The image's RIFF header says how long it is.
    const uint8_t *image = reinterpret_cast<const uint8_t *>(sound);
    if (memcmp(image, "RIFF", 4) == 0 && Le32(image + 4) <= kLargestMemoryImage) {
      data.assign(image, image + size_t(Le32(image + 4)) + 8);
      length = WaveLength(data.data(), data.size());
    }
  } else if ((flags & SND_ALIAS_ID) == SND_ALIAS_ID ||
             ((flags & SND_RESOURCE) == SND_RESOURCE && reinterpret_cast<uintptr_t>(sound) < 0x10000)) {
    // An alias id, or a resource given by number: an integer where a name may stand.
    play.name = "#" + std::to_string(reinterpret_cast<uintptr_t>(sound));
  } else {
    play.name = Utf8(sound);
    if ((flags & SND_ALIAS) != SND_ALIAS && (flags & SND_RESOURCE) != SND_RESOURCE) {
      std::u16string path = sound;
      if (path.find(u'\\') == std::u16string::npos) path = u"\\Windows\\" + path;
      data = ReadFile(path.c_str());
      if (!data.empty()) {
        play.resolved = Utf8(path.c_str());
        length = WaveLength(data.data(), data.size());
      }
    }
  }
  play.played = length >= 0;
  play.fallback = !play.played && !(flags & SND_NODEFAULT);
  play.lengthMs = play.played ? uint32_t(length) : 0;
  device::logSoundPlay(play);

  if (!play.played) return FALSE;
  const uint64_t generation = NextGeneration();
  device::display().playSound(std::move(data));
  if (flags & SND_ASYNC) {
    g_asyncEnd = (flags & SND_LOOP) ? kForever : NowMs() + length;
    return TRUE;
  }
  g_asyncEnd = 0;
  std::unique_lock<std::mutex> held(g_playLock);
  g_playChanged.wait_for(held, std::chrono::milliseconds(length), [&] { return g_generation != generation; });
  return TRUE;
}
