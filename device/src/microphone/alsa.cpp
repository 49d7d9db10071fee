// A real microphone through ALSA. libasound is opened at run time, so a host without it (or
// without a capture device) simply has no microphone.
#include <alsa/asoundlib.h>
#include <dlfcn.h>

#include "backends.h"

namespace device {
namespace {

struct Alsa {
  void *library = nullptr;
  decltype(&snd_pcm_open) open = nullptr;
  decltype(&snd_pcm_set_params) setParams = nullptr;
  decltype(&snd_pcm_readi) readi = nullptr;
  decltype(&snd_pcm_recover) recover = nullptr;
  decltype(&snd_pcm_close) close = nullptr;

  // ALSA's own messages would go to stderr; a missing device is reported as no microphone.
  static void quiet(const char *, int, const char *, int, const char *, ...) {}

  bool load() {
    library = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!library) return false;
    open = reinterpret_cast<decltype(open)>(dlsym(library, "snd_pcm_open"));
    setParams = reinterpret_cast<decltype(setParams)>(dlsym(library, "snd_pcm_set_params"));
    readi = reinterpret_cast<decltype(readi)>(dlsym(library, "snd_pcm_readi"));
    recover = reinterpret_cast<decltype(recover)>(dlsym(library, "snd_pcm_recover"));
    close = reinterpret_cast<decltype(close)>(dlsym(library, "snd_pcm_close"));
    auto setErrorHandler =
        reinterpret_cast<decltype(&snd_lib_error_set_handler)>(dlsym(library, "snd_lib_error_set_handler"));
    if (setErrorHandler) setErrorHandler(&quiet);
    return open && setParams && readi && recover && close;
  }
};

// Loaded once; never unloaded (ALSA keeps global state of its own).
const Alsa *alsa() {
  static const Alsa *loaded = [] {
    auto *a = new Alsa;
    return a->load() ? a : nullptr;
  }();
  return loaded;
}

class AlsaMicrophone : public Microphone {
 public:
  explicit AlsaMicrophone(snd_pcm_t *pcm) : pcm_(pcm) {}
  ~AlsaMicrophone() override { alsa()->close(pcm_); }
  bool live() const override { return true; }
  bool read(int16_t *out, size_t count, uint64_t) override {
    while (count > 0) {
      snd_pcm_sframes_t got = alsa()->readi(pcm_, out, count);
      if (got < 0) {
        if (alsa()->recover(pcm_, int(got), 1) < 0) return false;
        continue;
      }
      out += got;
      count -= size_t(got);
    }
    return true;
  }

 private:
  snd_pcm_t *pcm_;
};

}  // namespace

std::unique_ptr<Microphone> openAlsaMicrophone(const std::string &pcmName) {
  const Alsa *a = alsa();
  if (!a) return nullptr;
  snd_pcm_t *pcm = nullptr;
  if (a->open(&pcm, pcmName.c_str(), SND_PCM_STREAM_CAPTURE, 0) < 0) return nullptr;
  // Blocking reads of 16-bit mono at 8 kHz with about 100 ms of driver buffering.
  if (a->setParams(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1, kMicrophoneRate, 1,
                   100000) < 0) {
    a->close(pcm);
    return nullptr;
  }
  return std::make_unique<AlsaMicrophone>(pcm);
}

}  // namespace device
