#include "device/home_screen.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "device/display.h"

namespace device {
namespace {

// The shell's drawing stands for the display hardware: like a DMA transfer it writes the frame
// buffer outside the program's memory model, so the thread sanitizer does not track it against
// the program's reads of the frame buffer.
#define DISPLAY_HARDWARE __attribute__((no_sanitize("thread")))

constexpr uint32_t kFrameMs = 100;
constexpr uint32_t kClockPeriodMs = 60000;
constexpr int kTileColumns = 3, kTileRows = 3;

uint16_t rgb(int r, int g, int b) { return uint16_t((r & 0xF8) << 8 | (g & 0xFC) << 3 | (b & 0xF8) >> 3); }

DISPLAY_HARDWARE void fill(uint16_t *pixels, int width, int height, int x0, int y0, int w, int h, uint16_t colour) {
  for (int y = y0 < 0 ? 0 : y0; y < y0 + h && y < height; ++y)
    for (int x = x0 < 0 ? 0 : x0; x < x0 + w && x < width; ++x) pixels[size_t(y) * width + x] = colour;
}

// A position that runs from 0 to span and back in 2 × span steps.
int bounce(uint32_t step, int span) {
  if (span <= 0) return 0;
  const int p = int(step % uint32_t(2 * span));
  return p <= span ? p : 2 * span - p;
}

class Shell {
 public:
  ~Shell() { stop(); }

  void start() {
    std::lock_guard<std::mutex> guard(lock_);
    if (thread_.joinable()) return;
    const char *mode = std::getenv("HANDSET_HOME_SCREEN");
    const std::string m = mode ? mode : "";
    if (m == "off") return;
    frozen_ = m == "frozen";
    frozenAt_ = 0;
    shown_ = false;
    quit_ = false;
    begin_ = std::chrono::steady_clock::now();
    thread_ = std::thread([this] { run(); });
  }

  void stop() {
    {
      std::lock_guard<std::mutex> guard(lock_);
      quit_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

  void hold(bool held) {
    {
      std::lock_guard<std::mutex> guard(lock_);
      held_ = held;
      shown_ = false;
    }
    changed_.notify_all();
  }

  bool held() {
    std::lock_guard<std::mutex> guard(lock_);
    return held_;
  }

  void freeze(bool frozen) {
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (frozen && !frozen_) frozenAt_ = now();
      frozen_ = frozen;
      shown_ = false;
    }
    changed_.notify_all();
  }

 private:
  uint32_t now() const {
    return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin_)
                        .count());
  }

  void run() {
    std::unique_lock<std::mutex> guard(lock_);
    while (!quit_) {
      // A frozen picture is drawn once, and again after a program gave the display back.
      if (!held_ && !(frozen_ && shown_)) {
        const uint32_t t = frozen_ ? frozenAt_ : now();
        shown_ = true;
        guard.unlock();
        Display &d = display();
        drawHomeScreen(d.pixels(), d.width(), d.height(), t);
        d.present();
        guard.lock();
      }
      changed_.wait_for(guard, std::chrono::milliseconds(kFrameMs));
    }
  }

  std::mutex lock_;
  std::condition_variable changed_;
  std::thread thread_;
  std::chrono::steady_clock::time_point begin_;
  bool quit_ = false, held_ = false, frozen_ = false, shown_ = false;
  uint32_t frozenAt_ = 0;
};

Shell &shell() {
  static Shell instance;
  return instance;
}

}  // namespace

DISPLAY_HARDWARE void drawHomeScreen(uint16_t *pixels, int width, int height, uint32_t t) {
  // Background: a vertical blue gradient.
  for (int y = 0; y < height; ++y) {
    const int shade = height > 1 ? 48 + 160 * y / (height - 1) : 48;
    fill(pixels, width, height, 0, y, width, 1, rgb(16, shade / 2, shade));
  }
  // Title bar with the clock: a bar that fills once a minute.
  const int bar = height / 12 > 8 ? height / 12 : 8;
  fill(pixels, width, height, 0, 0, width, bar, rgb(24, 24, 64));
  const int filled = int(uint64_t(width) * (t % kClockPeriodMs) / kClockPeriodMs);
  fill(pixels, width, height, 0, bar - 3, filled, 3, rgb(255, 255, 255));
  // The program tiles.
  static const uint16_t kTiles[kTileColumns * kTileRows] = {
      rgb(255, 64, 64),  rgb(64, 200, 64),  rgb(255, 200, 0), rgb(0, 200, 255), rgb(200, 64, 255),
      rgb(255, 128, 0),  rgb(240, 240, 240), rgb(0, 128, 128), rgb(128, 255, 128)};
  const int cellW = width / kTileColumns, cellH = (height - bar) / (kTileRows + 1);
  for (int row = 0; row < kTileRows; ++row)
    for (int column = 0; column < kTileColumns; ++column)
      fill(pixels, width, height, column * cellW + cellW / 6, bar + row * cellH + cellH / 6, cellW * 2 / 3,
           cellH * 2 / 3, kTiles[row * kTileColumns + column]);
  // A square that bounces along the free strip below the tiles.
  const int side = cellH / 2 > 4 ? cellH / 2 : 4;
  const int stripY = bar + kTileRows * cellH + (cellH - side) / 2;
  fill(pixels, width, height, bounce(t / 20, width - side), stripY, side, side, rgb(255, 255, 0));
}

void startHomeScreen() { shell().start(); }
void stopHomeScreen() { shell().stop(); }
void holdDisplay(bool held) { shell().hold(held); }
bool displayHeld() { return shell().held(); }
void freezeHomeScreen(bool frozen) { shell().freeze(frozen); }

}  // namespace device
