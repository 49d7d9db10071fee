// The tick counter, the local clock and the idle timer.
#include <time.h>

#include <atomic>
#include <cstdlib>

#include "platform/kernel.h"
#include <windows.h>

namespace {

uint64_t monotonicMilliseconds() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
}

// What is added to the host's monotonic milliseconds. HANDSET_TICK_START gives the value the
// counter has when the process first asks for it (so a test can start it just before wrapping).
std::atomic<uint32_t> &tickOffset() {
  static std::atomic<uint32_t> offset{[] {
    const char *start = std::getenv("HANDSET_TICK_START");
    if (!start || !*start) return uint32_t{0};
    return static_cast<uint32_t>(std::strtoull(start, nullptr, 0) - monotonicMilliseconds());
  }()};
  return offset;
}

std::atomic<uint64_t> idleResets{0};

}  // namespace

extern "C" DWORD WINAPI GetTickCount(void) {
  return static_cast<DWORD>(monotonicMilliseconds() + tickOffset().load(std::memory_order_relaxed));
}

extern "C" void WINAPI GetLocalTime(LPSYSTEMTIME time) {
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  tm local;
  localtime_r(&now.tv_sec, &local);
  time->wYear = static_cast<WORD>(local.tm_year + 1900);
  time->wMonth = static_cast<WORD>(local.tm_mon + 1);
  time->wDayOfWeek = static_cast<WORD>(local.tm_wday);
  time->wDay = static_cast<WORD>(local.tm_mday);
  time->wHour = static_cast<WORD>(local.tm_hour);
  time->wMinute = static_cast<WORD>(local.tm_min);
  time->wSecond = static_cast<WORD>(local.tm_sec);
  time->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}

extern "C" void WINAPI SystemIdleTimerReset(void) { idleResets.fetch_add(1, std::memory_order_relaxed); }

namespace platform {

uint64_t idleTimerResets() { return idleResets.load(std::memory_order_relaxed); }

void setTickCount(uint32_t value) {
  tickOffset().store(static_cast<uint32_t>(value - monotonicMilliseconds()), std::memory_order_relaxed);
}

}  // namespace platform
