// The SDL2 window. One thread owns everything SDL: it opens the window, shows the frame buffer
// and turns the desktop's keys, clicks and focus changes into the handset's input. Like a panel
// it scans the frame buffer out continuously, whatever wrote it: a program that keeps the frame
// buffer's address and draws into it without telling anyone is seen within one refresh.
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

#include "device/home_screen.h"
#include "device/profile.h"

namespace device {
namespace {

constexpr int kFitPixels = 720;
constexpr Uint32 kRefreshMs = 16;  // the panel's refresh, about 60 times a second

// HANDSET_WINDOW_SCALE: 0 when it is not set; anything but a whole number from 1 to 8 is refused.
int askedScale() {
  const char *text = std::getenv("HANDSET_WINDOW_SCALE");
  if (!text || !*text) return 0;
  char *end = nullptr;
  const long asked = std::strtol(text, &end, 10);
  if (*end || asked < 1 || asked > 8)
    throw std::runtime_error(std::string("HANDSET_WINDOW_SCALE: expected a whole number from 1 to 8, found \"") +
                             text + "\"");
  return int(asked);
}

// The asked scale, else as far as fits about 720 pixels; either way no larger than the desktop's
// usable area (`room`, when known) holds.
int scaleFor(int asked, int width, int height, const SDL_Rect *room) {
  int scale = asked ? asked : std::clamp(kFitPixels / std::max({width, height, 1}), 1, 8);
  while (room && scale > 1 && (width * scale > room->w || height * scale > room->h)) --scale;
  return scale;
}

// Without a runtime folder (XDG_RUNTIME_DIR) no Wayland desktop can be reached, and the Wayland
// client library says so on stderr when SDL tries it: SDL is given its other drivers only,
// unless the user named one (SDL_VIDEODRIVER).
void leaveOutUnreachableWayland() {
  const auto absolute = [](const char *name) {
    const char *value = std::getenv(name);
    return value && value[0] == '/';
  };
  const char *wanted = std::getenv("SDL_VIDEODRIVER");
  if ((wanted && *wanted) || absolute("XDG_RUNTIME_DIR") || absolute("WAYLAND_DISPLAY")) return;
  std::string drivers;
  for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
    const char *name = SDL_GetVideoDriver(i);
    if (std::strcmp(name, "wayland") == 0) continue;
    drivers += (drivers.empty() ? "" : ",") + std::string(name);
  }
  // Over an empty SDL_VIDEODRIVER too, which SDL would otherwise read as "any driver".
  SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, drivers.c_str(), SDL_HINT_OVERRIDE);
}

class SdlWindow : public FrontEnd {
 public:
  SdlWindow() : scale_(askedScale()) {
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

  // The display announces a finished frame: scan it out now rather than at the next refresh.
  void present(const Display &display) override {
    std::lock_guard<std::mutex> guard(lock_);
    display_ = &display;
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

  // Wakes the SDL thread for a frame, a sound or the cursor, once until it has looked. Under lock_.
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
    // The desktop's connection lost, Xlib ends the process from the SDL thread itself, whose
    // exit handlers then close the display: that thread cannot wait for itself.
    if (thread_.get_id() == std::this_thread::get_id())
      thread_.detach();
    else
      thread_.join();
  }

  bool open() {
    leaveOutUnreachableWayland();
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
    Uint32 due = SDL_GetTicks();
    for (;;) {
      SDL_Event event;
      const Uint32 now = SDL_GetTicks();
      const int wait = SDL_TICKS_PASSED(now, due) ? 0 : static_cast<int>(due - now);
      if (SDL_WaitEventTimeout(&event, wait)) {
        if (event.type != wakeEvent_) {
          handle(event);
          continue;
        }
        if (!takeWake()) return;
        playPendingSound();
        showCursor();
      } else if (!SDL_TICKS_PASSED(SDL_GetTicks(), due)) {
        continue;
      }
      refresh();
      due = SDL_GetTicks() + kRefreshMs;
    }
  }

  // Clears the wake; false once the window is to close.
  bool takeWake() {
    std::lock_guard<std::mutex> guard(lock_);
    wakePending_ = false;
    return state_ != State::stopped;
  }

  // Scans the frame buffer out and puts it on the screen when it changed.
  void refresh() {
    const Display *display;
    {
      std::lock_guard<std::mutex> guard(lock_);
      display = display_;
    }
    if (!display) return;
    int width, height;
    display->snapshot(scanned_, width, height);
    if (width <= 0 || height <= 0) return;
    const bool resized = !texture_ || textureWidth_ != width || textureHeight_ != height;
    if (!resized && scanned_ == shown_) return;
    shown_.swap(scanned_);
    if (resized) fitTo(width, height);
    if (texture_) SDL_UpdateTexture(texture_, nullptr, shown_.data(), width * 2);
    redraw();
  }

  // A new size (the first frame, or a turn of the screen): a texture of that size, and the
  // window scaled to it, centred on the desktop and wholly on it, shown once it has its size.
  void fitTo(int width, int height) {
    if (texture_) SDL_DestroyTexture(texture_);
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING, width, height);
    textureWidth_ = width, textureHeight_ = height;
    SDL_Rect room;
    const bool known = SDL_GetDisplayUsableBounds(std::max(SDL_GetWindowDisplayIndex(window_), 0), &room) == 0;
    const int scale = scaleFor(scale_, width, height, known ? &room : nullptr);
    SDL_RenderSetLogicalSize(renderer_, width, height);
    SDL_SetWindowSize(window_, width * scale, height * scale);
    SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    if (!(SDL_GetWindowFlags(window_) & SDL_WINDOW_SHOWN)) {
      SDL_ShowWindow(window_);
      // Without a window manager nobody gives the new window the keyboard; with one, this asks
      // it to: keys reach the program from the first second either way.
      SDL_RaiseWindow(window_);
    }
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
      case SDL_MOUSEBUTTONUP: {
        if (event.button.button != SDL_BUTTON_LEFT || textureWidth_ <= 0) break;
        const bool down = event.type == SDL_MOUSEBUTTONDOWN;
        // A click while the home screen is up brings the program back, as a click on a desktop
        // program's window does; that click (down and up) is no tap.
        if (down) clickBringsBack_ = !displayHeld();
        if (clickBringsBack_) {
          if (down) userAction(InputEvent::activate);
          break;
        }
        tap(std::clamp(event.button.x, 0, textureWidth_ - 1), std::clamp(event.button.y, 0, textureHeight_ - 1), down);
        break;
      }
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

  const int scale_;  // HANDSET_WINDOW_SCALE, 0 when not set
  std::thread thread_;
  std::mutex lock_;
  std::condition_variable started_;
  State state_ = State::starting;  // under lock_
  std::string error_;
  uint32_t wakeEvent_ = 0;
  bool wakePending_ = false;       // under lock_
  const Display *display_ = nullptr;  // the display scanned out, known from its first present(); under lock_
  std::vector<uint8_t> sound_;     // the newest sound to play, under lock_
  bool soundPending_ = false;      // under lock_
  bool waitCursor_ = false;        // the handset's wait cursor is up, under lock_
  // The SDL thread's own.
  SDL_Window *window_ = nullptr;
  SDL_Renderer *renderer_ = nullptr;
  SDL_Texture *texture_ = nullptr;
  SDL_Cursor *busyCursor_ = nullptr;
  int textureWidth_ = 0, textureHeight_ = 0;
  bool clickBringsBack_ = false;  // the button went down while the home screen was up
  SDL_AudioDeviceID audio_ = 0;
  SDL_AudioSpec audioSpec_{};
  bool audioMissing_ = false;
  std::vector<uint16_t> shown_, scanned_;  // the picture on the screen, and the newest scan
};

}  // namespace

std::unique_ptr<FrontEnd> createSdlWindow() { return std::make_unique<SdlWindow>(); }

}  // namespace device
