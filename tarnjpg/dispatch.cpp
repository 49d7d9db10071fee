#include "tarnjpg/kernels.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace tarnjpg {

namespace {

const Kernels* choose() {
  const char* force = std::getenv("TARNJPG_PORTABLE");
  if (force && *force && std::strcmp(force, "0") != 0) return &portableKernels();
#if TARNJPG_X86_SIMD
  __builtin_cpu_init();
  if (avx2Kernels() && __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2")) return avx2Kernels();
  if (sse2Kernels() && __builtin_cpu_supports("sse2")) return sse2Kernels();
#endif
  return &portableKernels();
}

std::atomic<const Kernels*> active{choose()};

}  // namespace

const Kernels& activeKernels() { return *active.load(std::memory_order_relaxed); }

void selectKernels() { active.store(choose(), std::memory_order_relaxed); }

}  // namespace tarnjpg
