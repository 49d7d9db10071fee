// Best-of timing, single thread, in processor time of the calling thread (so that time spent
// descheduled on a shared machine does not count). Operations that are compared run in
// alternating rounds so that a burst of load hits all alike; the best round of each counts.
#pragma once

#include <algorithm>
#include <ctime>
#include <vector>

namespace bench {

template <class Op>
double secondsOfRound(Op& op, int calls) {
  timespec t0, t1;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t0);
  for (int i = 0; i < calls; ++i) op();
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t1);
  return (double(t1.tv_sec - t0.tv_sec) + double(t1.tv_nsec - t0.tv_nsec) * 1e-9) / calls;
}

// Calls per round so that one round of op lasts about 20 ms.
template <class Op>
int callsPerRound(Op& op) {
  int calls = 1;
  while (secondsOfRound(op, calls) * calls < 0.02) calls *= 2;
  return calls;
}

// Seconds per call of each operation, in the order given.
template <class... Ops>
std::vector<double> compare(Ops... ops) {
  std::vector<double> best(sizeof...(Ops), 1e9);
  int calls[] = {callsPerRound(ops)...};
  for (int round = 0; round < 25; ++round) {
    size_t i = 0;
    ((best[i] = std::min(best[i], secondsOfRound(ops, calls[i])), ++i), ...);
  }
  return best;
}

}  // namespace bench
