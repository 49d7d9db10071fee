// The AVX2 table: two blocks per transform, sixteen pixels per UYVY load.
#include "tarnjpg/simd_x86.h"

namespace tarnjpg {

namespace {

struct Avx2Isa : PortableIsa {
  using UyvyLoader = Avx2UyvyLoader;
  using PlanarLoader = Sse2PlanarLoader;
  // The walk always hands over an even number of blocks that share one table.
  static void fdctQuant(int16_t* blocks, int count, const ReciprocalTable& recip) {
    for (int n = 0; n < count; n += 2) fdctQuantV<V256>(blocks + 64 * n, blocks + 64 * (n + 1), recip);
  }
  static uint64_t nonzeroMask(const int16_t* block) { return nonzeroMaskSse2(block); }
};

constexpr Kernels kAvx2 = {"avx2", encodeScan<Avx2Isa>, downscaleAvx2, planarSse2, resizeSse2};

}  // namespace

const Kernels* avx2Kernels() { return &kAvx2; }

}  // namespace tarnjpg
