#include "tarnjpg/kernels.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace tarnjpg {

namespace {

// The best table the processor runs; TARNJPG_FORMS=portable (or sse2) caps the choice.
const Kernels* choose() {
  const char* cap = std::getenv("TARNJPG_FORMS");
  [[maybe_unused]] const bool portableOnly = cap && std::strcmp(cap, "portable") == 0;
  [[maybe_unused]] const bool noAvx2 = portableOnly || (cap && std::strcmp(cap, "sse2") == 0);
#if TARNJPG_X86_SIMD
  __builtin_cpu_init();
  if (!noAvx2 && __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2")) return avx2Kernels();
  if (!portableOnly && __builtin_cpu_supports("sse2")) return sse2Kernels();
#endif
  return &portableKernels();
}

std::atomic<const Kernels*> active{choose()};

}  // namespace

const Kernels& activeKernels() { return *active.load(std::memory_order_relaxed); }

void selectKernels() { active.store(choose(), std::memory_order_relaxed); }

}  // namespace tarnjpg
