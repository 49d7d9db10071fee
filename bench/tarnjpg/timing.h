// Best-of timing of one operation, single thread.
#pragma once

#include <algorithm>
#include <chrono>

namespace bench {

// Seconds per call: the best of `rounds` rounds, each long enough (about 60 ms) to time well.
template <class Op>
double secondsPerCall(Op op, int rounds = 7) {
  using clock = std::chrono::steady_clock;
  int calls = 1;
  for (;;) {  // calibrate
    auto t0 = clock::now();
    for (int i = 0; i < calls; ++i) op();
    if (std::chrono::duration<double>(clock::now() - t0).count() > 0.06) break;
    calls *= 2;
  }
  double best = 1e9;
  for (int r = 0; r < rounds; ++r) {
    auto t0 = clock::now();
    for (int i = 0; i < calls; ++i) op();
    best = std::min(best, std::chrono::duration<double>(clock::now() - t0).count() / calls);
  }
  return best;
}

}  // namespace bench
