// The portable table: plain C++ for every stage.
#include "tarnjpg/convert.h"
#include "tarnjpg/portable.h"
#include "tarnjpg/scan.h"

namespace tarnjpg {

namespace {

void downscale(const Destination& dst, const uint8_t* src, int32_t srcWidth, int f) {
  downscaleRegion(dst, src, srcWidth, f, 0, dst.width, 0, dst.height);
}

void toPlanar(uint8_t* out, const uint8_t* src, int32_t width, int32_t height, int kind) {
  planarRegion(out, src, width, height, kind, 0, width, 0, height);
}

void resize(const Destination& dst, const PlanarFrame& src, uint32_t stepX, uint32_t stepY) {
  resizeRegion(dst, src, stepX, stepY, 0, dst.width, 0, dst.height);
}

constexpr Kernels kPortable = {"portable", encodeScan<PortableIsa>, downscale, toPlanar, resize};

}  // namespace

const Kernels& portableKernels() { return kPortable; }

}  // namespace tarnjpg
