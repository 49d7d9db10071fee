// The SSE2 table (every x86-64 processor has SSE2).
#include "tarnjpg/simd_x86.h"

namespace tarnjpg {

namespace {

struct Sse2Isa : PortableIsa {
  using UyvyLoader = Sse2UyvyLoader;
  using PlanarLoader = Sse2PlanarLoader;
  static void fdctQuant(int16_t* blocks, int count, const ReciprocalTable& recip) {
    for (int n = 0; n < count; ++n) fdctQuantV<V128>(blocks + 64 * n, nullptr, recip);
  }
  static uint64_t nonzeroMask(const int16_t* block) { return nonzeroMaskSse2(block); }
};

constexpr Kernels kSse2 = {"sse2", encodeScan<Sse2Isa>, downscaleSse2, planarSse2, resizeSse2};

}  // namespace

const Kernels* sse2Kernels() { return &kSse2; }

}  // namespace tarnjpg
