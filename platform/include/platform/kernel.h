// Control API of the platform's kernel for tests and tools; product code never includes it.
#pragma once

#include <cstdint>

namespace platform {

// How often SystemIdleTimerReset has been called in this process.
uint64_t idleTimerResets();

// Makes GetTickCount continue from `value` (tests of a counter that wraps). HANDSET_TICK_START
// does the same from the first call on.
void setTickCount(uint32_t value);

}  // namespace platform
