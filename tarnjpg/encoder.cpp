// Slots 1 to 4 of the table: the encoder context, the quality and Encode.
#include "tarnjpg/api.h"
#include "tarnjpg/kernels.h"
#include "tarnjpg/markers.h"
#include "tarnjpg/tables.h"

#include <cstdint>
#include <cstdlib>

namespace tarnjpg {

uint32_t Create(EncoderContext** out) {
  if (!out) return 1;
  *out = nullptr;
  auto* ctx = static_cast<EncoderContext*>(std::calloc(1, sizeof(EncoderContext)));
  if (!ctx) return 1;
  void* raw = std::calloc(1, kWorkAreaAllocation);
  if (!raw) {  // a context is usable only with its work area
    std::free(ctx);
    return 1;
  }
  auto* work = reinterpret_cast<WorkArea*>((reinterpret_cast<uintptr_t>(raw) + 31) & ~uintptr_t(31));
  ctx->workArea = work;
  ctx->rawAllocation = raw;
  ctx->blocks = work->blocks[0];
  ctx->lumaReciprocal = &work->lumaReciprocal;
  ctx->chromaReciprocal = &work->chromaReciprocal;
  ctx->lumaQuant = work->lumaQuant;
  ctx->chromaQuant = work->chromaQuant;
  ctx->lumaDc = &work->lumaDc;
  ctx->lumaAc = &work->lumaAc;
  ctx->chromaDc = &work->chromaDc;
  ctx->chromaAc = &work->chromaAc;
  buildHuffmanTable(kLumaDcSpec, work->lumaDc);
  buildHuffmanTable(kLumaAcSpec, work->lumaAc);
  buildHuffmanTable(kChromaDcSpec, work->chromaDc);
  buildHuffmanTable(kChromaAcSpec, work->chromaAc);
  ctx->headerLength = 0;
  *out = ctx;
  return 1;
}

uint32_t Destroy(EncoderContext* ctx) {
  if (ctx) {
    std::free(ctx->rawAllocation);
    std::free(ctx);
  }
  return 1;
}

uint32_t SetQuality(EncoderContext* ctx, uint32_t quality) {
  if (!ctx) return 1;
  ctx->quality = quality;
  buildQuantTable(kBaseLumaQuant, quality, ctx->lumaQuant);
  buildQuantTable(kBaseChromaQuant, quality, ctx->chromaQuant);
  buildReciprocals(ctx->lumaQuant, *ctx->lumaReciprocal);
  buildReciprocals(ctx->chromaQuant, *ctx->chromaReciprocal);
  ctx->headerLength = 0;
  return 1;
}

namespace {

bool isPlanar(uint32_t format) { return format == InputPlanarYuv || format == InputPlanarYvu; }

// Fills the scan from the parameters; false for a request that cannot be coded safely.
bool planScan(const EncodeParams& p, uint32_t format, const uint8_t* in, ScanJob& job) {
  job.in = in;
  job.width = p.width;
  job.height = p.height;
  job.format = format;
  job.shift = p.scaleShift & 0xFF;
  job.rotation = p.rotation;
  if (format > InputPlanarYvu || job.rotation > 3) return false;
  if (job.shift > 1 || (job.shift == 1 && format != InputUyvy)) return false;
  const bool quarter = job.rotation & 1;
  job.layout = p.sampling == SamplingGrey ? Layout::Grey
               : p.sampling == Sampling420 ? Layout::Yuv420
                                           : Layout::Yuv422;
  if (isPlanar(format) && job.layout == Layout::Yuv422) return false;
  // A turned 4:2:2 picture would need 1 x 2 sampling, which the header cannot state: code 4:2:0.
  if (job.layout == Layout::Yuv422 && quarter) job.layout = Layout::Yuv420;
  job.outWidth = job.width >> job.shift;
  job.outHeight = job.height >> job.shift;
  const uint32_t areaHeight = job.layout == Layout::Yuv420 || (job.layout == Layout::Grey && quarter) ? 16 : 8;
  return job.outWidth && job.outHeight && job.outWidth % 16 == 0 && job.outHeight % areaHeight == 0 &&
         job.outWidth <= 0xFFFF && job.outHeight <= 0xFFFF;
}

}  // namespace

uint32_t Encode(EncoderContext* ctx, uint8_t* out, const uint8_t* in, EncodeParams* params, uint32_t headerFlag) {
  if (!ctx || !out || !in || !params) return 0;
  if (isPlanar(params->format) && params->sampling == Sampling422) return 0;
  if (ctx->quality >= 150) params->format = InputPlanarYuv;  // the caller's frame is planar 4:2:0

  ScanJob job;
  if (!planScan(*params, params->format, in, job)) return 0;

  if (ctx->headerLength == 0 || (headerFlag & 0xFF)) {
    const bool quarter = job.rotation & 1;
    FrameLayout layout;
    layout.lines = quarter ? job.outWidth : job.outHeight;
    layout.samplesPerLine = quarter ? job.outHeight : job.outWidth;
    layout.colour = job.layout != Layout::Grey;
    layout.lumaSampling = job.layout == Layout::Yuv422 ? 0x21 : job.layout == Layout::Grey && !quarter ? 0x11 : 0x22;
    ctx->headerLength = writeHeader(out, layout, ctx->lumaQuant, ctx->chromaQuant);
  }

  uint8_t* end = activeKernels().encodeScan(job, *ctx->workArea, out + ctx->headerLength);
  end[0] = 0xFF;
  end[1] = 0xD9;
  return uint32_t(end + 2 - out);
}

}  // namespace tarnjpg
