// The SDL2 window. One thread owns everything SDL: it opens the window, shows each presented
// frame and turns the desktop's keys, clicks and focus changes into the handset's input.
#include "desktop/sdl_window.h"

#include <SDL.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "device/profile.h"

namespace device {
namespace {

constexpr int kFitPixels = 720;

int scaleFor(int width, int height) {
  if (const char *text = std::getenv("HANDSET_WINDOW_SCALE"); text && *text) {
    int scale = std::atoi(text);
    if (scale >= 1 && scale <= 8) return scale;
  }
  return std::clamp(kFitPixels / std::max({width, height, 1}), 1, 8);
}

class SdlWindow : public FrontEnd {
 public:
  SdlWindow() {
    thread_ = std::thread([this] { run(); });
    std::unique_lock<std::mutex> guard(lock_);
    started_.wait(guard, [this] { return state_ != State::starting; });
    if (state_ == State::failed) {
      guard.unlock();
      thread_.join();
      throw std::runtime_error("HANDSET_DISPLAY=sdl: cannot open a window: " + error_);
    }
  }

  ~SdlWindow() override { stop(); }

  void present(const Display &display) override {
    std::lock_guard<std::mutex> guard(lock_);
    display.snapshot(frame_, width_, height_);
    framePending_ = true;
    wakeLocked();
  }

  void close(const Display &display) override {
    saveScreenshotAtClose(display);
    stop();
  }

  bool windowShown() const override { return true; }

  void playSound(std::vector<uint8_t> wav) override {
    std::lock_guard<std::mutex> guard(lock_);
    sound_ = std::move(wav);
    soundPending_ = true;
    wakeLocked();
  }

  void showWaitCursor(bool shown) override {
    std::lock_guard<std::mutex> guard(lock_);
    waitCursor_ = shown;
    wakeLocked();
  }

 private:
  enum class State { starting, running, failed, stopped };

  // Wakes the SDL thread for a new frame or sound, once until it has looked. Under lock_.
  void wakeLocked() {
    if (state_ != State::running || wakePending_) return;
    wakePending_ = true;
    SDL_Event wake{};
    wake.type = wakeEvent_;
    SDL_PushEvent(&wake);
  }

  void stop() {
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (state_ != State::running) return;
      state_ = State::stopped;
      SDL_Event wake{};
      wake.type = wakeEvent_;
      SDL_PushEvent(&wake);
    }
    thread_.join();
  }

  bool open() {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return false;
    // Without a desktop SDL falls back to drivers whose windows nobody sees; only one asked for
    // by name (SDL_VIDEODRIVER) is taken.
    const char *driver = SDL_GetCurrentVideoDriver();
    const char *wanted = std::getenv("SDL_VIDEODRIVER");
    if (driver && (!wanted || !*wanted) && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) {
      SDL_SetError("no desktop to show it on (SDL's video driver is \"%s\")", driver);
      return false;
    }
    wakeEvent_ = SDL_RegisterEvents(1);
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");  // sharp pixels when scaled up
    const std::string title = "Emulated handset: " + current().name();
    window_ = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 240, 320,
                               SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
    if (!window_) return false;
    renderer_ = SDL_CreateRenderer(window_, -1, 0);
    if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    return renderer_ != nullptr;
  }

  void run() {
    bool opened = open();
    {
      std::lock_guard<std::mutex> guard(lock_);
      state_ = opened ? State::running : State::failed;
      if (!opened) error_ = SDL_GetError();
    }
    started_.notify_all();
    if (opened) loop();
    if (audio_) SDL_CloseAudioDevice(audio_);
    if (busyCursor_) SDL_FreeCursor(busyCursor_);
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
    SDL_Quit();
  }

  void loop() {
    SDL_Event event;
    while (SDL_WaitEvent(&event)) {
      if (event.type == wakeEvent_) {
        if (!showFrame()) return;
        playPendingSound();
        showCursor();
        continue;
      }
      handle(event);
    }
  }

  // Puts the newest presented frame on the screen; false once the window is to close.
  bool showFrame() {
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (state_ == State::stopped) return false;
      wakePending_ = false;
      // A wake for a sound or the cursor alone keeps the frame shown: frame_ then holds an older one.
      if (!framePending_) return true;
      framePending_ = false;
      shown_.swap(frame_);
      shownWidth_ = width_;
      shownHeight_ = height_;
    }
    if (shownWidth_ <= 0 || shownHeight_ <= 0) return true;
    if (!texture_ || textureWidth_ != shownWidth_ || textureHeight_ != shownHeight_) {
      if (texture_) SDL_DestroyTexture(texture_);
      texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING, shownWidth_,
                                   shownHeight_);
      textureWidth_ = shownWidth_, textureHeight_ = shownHeight_;
      // A new size (the first frame, or a turn of the screen): fit the window to it.
      const int scale = scaleFor(shownWidth_, shownHeight_);
      SDL_RenderSetLogicalSize(renderer_, shownWidth_, shownHeight_);
      SDL_SetWindowSize(window_, shownWidth_ * scale, shownHeight_ * scale);
      SDL_ShowWindow(window_);
    }
    if (texture_) SDL_UpdateTexture(texture_, nullptr, shown_.data(), shownWidth_ * 2);
    SDL_RenderClear(renderer_);
    if (texture_) SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_RenderPresent(renderer_);
    return true;
  }

  // The newest sound replaces the one playing. A desktop without sound (no audio device)
  // stays silent.
  void playPendingSound() {
    std::vector<uint8_t> wav;
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (!soundPending_) return;
      soundPending_ = false;
      wav.swap(sound_);
    }
    if (audio_) SDL_ClearQueuedAudio(audio_);
    if (wav.empty()) return;
    SDL_AudioSpec spec;
    Uint8 *samples = nullptr;
    Uint32 length = 0;
    if (!SDL_LoadWAV_RW(SDL_RWFromConstMem(wav.data(), static_cast<int>(wav.size())), 1, &spec, &samples, &length))
      return;
    if (audio_ && (spec.freq != audioSpec_.freq || spec.format != audioSpec_.format ||
                   spec.channels != audioSpec_.channels)) {
      SDL_CloseAudioDevice(audio_);
      audio_ = 0;
    }
    if (!audio_ && !audioMissing_) {
      audioMissing_ = SDL_InitSubSystem(SDL_INIT_AUDIO) != 0;
      if (!audioMissing_) audio_ = SDL_OpenAudioDevice(nullptr, 0, &spec, &audioSpec_, 0);
    }
    if (audio_) {
      SDL_QueueAudio(audio_, samples, length);
      SDL_PauseAudioDevice(audio_, 0);
    }
    SDL_FreeWAV(samples);
  }

  // SDL's own busy cursor while the handset shows its wait cursor, else the default one.
  void showCursor() {
    bool wait;
    {
      std::lock_guard<std::mutex> guard(lock_);
      wait = waitCursor_;
    }
    if (wait && !busyCursor_) busyCursor_ = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_WAIT);
    SDL_SetCursor(wait && busyCursor_ ? busyCursor_ : SDL_GetDefaultCursor());
  }

  void handle(const SDL_Event &event) {
    switch (event.type) {
      case SDL_KEYDOWN:
      case SDL_KEYUP: {
        const KeyAction action = mapDesktopKey(event.key.keysym.sym);
        const bool down = event.type == SDL_KEYDOWN;
        if (action.kind == KeyAction::key) pressKey(action.vk, down);
        if (action.kind == KeyAction::switchTask && down && !event.key.repeat) userAction(InputEvent::switchTask);
        break;
      }
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP:
        if (event.button.button == SDL_BUTTON_LEFT && textureWidth_ > 0)
          tap(std::clamp(event.button.x, 0, textureWidth_ - 1), std::clamp(event.button.y, 0, textureHeight_ - 1),
              event.type == SDL_MOUSEBUTTONDOWN);
        break;
      case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) userAction(InputEvent::activate);
        if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) userAction(InputEvent::deactivate);
        if (event.window.event == SDL_WINDOWEVENT_EXPOSED) redraw();
        break;
      case SDL_QUIT:
        userAction(InputEvent::close);
        break;
      default:
        break;
    }
  }

  void redraw() {
    SDL_RenderClear(renderer_);
    if (texture_) SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_RenderPresent(renderer_);
  }

  std::thread thread_;
  std::mutex lock_;
  std::condition_variable started_;
  State state_ = State::starting;  // under lock_
  std::string error_;
  uint32_t wakeEvent_ = 0;
  bool wakePending_ = false;       // under lock_
  std::vector<uint16_t> frame_;    // the newest presented frame, under lock_
  bool framePending_ = false;      // frame_ is newer than the one shown, under lock_
  std::vector<uint8_t> sound_;     // the newest sound to play, under lock_
  bool soundPending_ = false;      // under lock_
  bool waitCursor_ = false;        // the handset's wait cursor is up, under lock_
  int width_ = 0, height_ = 0;     // its size, under lock_
  // The SDL thread's own.
  SDL_Window *window_ = nullptr;
  SDL_Renderer *renderer_ = nullptr;
  SDL_Texture *texture_ = nullptr;
  SDL_Cursor *busyCursor_ = nullptr;
  int textureWidth_ = 0, textureHeight_ = 0;
  SDL_AudioDeviceID audio_ = 0;
  SDL_AudioSpec audioSpec_{};
  bool audioMissing_ = false;
  std::vector<uint16_t> shown_;
  int shownWidth_ = 0, shownHeight_ = 0;
};

}  // namespace

std::unique_ptr<FrontEnd> createSdlWindow() { return std::make_unique<SdlWindow>(); }

}  // namespace device
