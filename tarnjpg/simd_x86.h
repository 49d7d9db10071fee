// The SSE2 and AVX2 forms of the hot stages, written once over a vector type: 8 lanes of 16 bits
// (one block) or 16 lanes (two blocks side by side). Each result is the same, bit for bit, as
// the portable form's. Internal linkage: see scan.h.
#pragma once

#include "tarnjpg/convert.h"
#include "tarnjpg/portable.h"
#include "tarnjpg/scan.h"

#include <immintrin.h>

namespace tarnjpg {
namespace {

// ---- vector types --------------------------------------------------------------------------

struct V128 {
  using T = __m128i;
  static T pair(const int16_t* a, const int16_t*) { return _mm_load_si128(reinterpret_cast<const __m128i*>(a)); }
  static void storePair(int16_t* a, int16_t*, T v) { _mm_store_si128(reinterpret_cast<__m128i*>(a), v); }
  static T row(const int16_t* p) { return _mm_load_si128(reinterpret_cast<const __m128i*>(p)); }
  static T set1(int v) { return _mm_set1_epi16(int16_t(v)); }
  static T adds(T a, T b) { return _mm_adds_epi16(a, b); }
  static T subs(T a, T b) { return _mm_subs_epi16(a, b); }
  static T add(T a, T b) { return _mm_add_epi16(a, b); }
  static T mulhi(T a, T b) { return _mm_mulhi_epi16(a, b); }
  static T mullo(T a, T b) { return _mm_mullo_epi16(a, b); }
  template <int K>
  static T slli(T a) { return K ? _mm_slli_epi16(a, K) : a; }
  static T srai1(T a) { return _mm_srai_epi16(a, 1); }
  static T lo16(T a, T b) { return _mm_unpacklo_epi16(a, b); }
  static T hi16(T a, T b) { return _mm_unpackhi_epi16(a, b); }
  static T lo32(T a, T b) { return _mm_unpacklo_epi32(a, b); }
  static T hi32(T a, T b) { return _mm_unpackhi_epi32(a, b); }
  static T lo64(T a, T b) { return _mm_unpacklo_epi64(a, b); }
  static T hi64(T a, T b) { return _mm_unpackhi_epi64(a, b); }
  static T zero() { return _mm_setzero_si128(); }
  static T set1x32(int32_t v) { return _mm_set1_epi32(v); }
  static T sub(T a, T b) { return _mm_sub_epi16(a, b); }
  static T madd(T a, T b) { return _mm_madd_epi16(a, b); }
  static T add32(T a, T b) { return _mm_add_epi32(a, b); }
  static T sra32(T a, int n) { return _mm_sra_epi32(a, _mm_cvtsi32_si128(n)); }
  static T packs32(T a, T b) { return _mm_packs_epi32(a, b); }
  static T clamp(T a, int high) { return _mm_min_epi16(_mm_max_epi16(a, zero()), set1(high)); }
  static T or3(T a, T b, T c) { return _mm_or_si128(_mm_or_si128(a, b), c); }
};

#ifdef __AVX2__
struct V256 {
  using T = __m256i;
  static T pair(const int16_t* a, const int16_t* b) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(a))),
                                   _mm_load_si128(reinterpret_cast<const __m128i*>(b)), 1);
  }
  static void storePair(int16_t* a, int16_t* b, T v) {
    _mm_store_si128(reinterpret_cast<__m128i*>(a), _mm256_castsi256_si128(v));
    _mm_store_si128(reinterpret_cast<__m128i*>(b), _mm256_extracti128_si256(v, 1));
  }
  static T row(const int16_t* p) {
    return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(p)));
  }
  static T set1(int v) { return _mm256_set1_epi16(int16_t(v)); }
  static T adds(T a, T b) { return _mm256_adds_epi16(a, b); }
  static T subs(T a, T b) { return _mm256_subs_epi16(a, b); }
  static T add(T a, T b) { return _mm256_add_epi16(a, b); }
  static T mulhi(T a, T b) { return _mm256_mulhi_epi16(a, b); }
  static T mullo(T a, T b) { return _mm256_mullo_epi16(a, b); }
  template <int K>
  static T slli(T a) { return K ? _mm256_slli_epi16(a, K) : a; }
  static T srai1(T a) { return _mm256_srai_epi16(a, 1); }
  static T lo16(T a, T b) { return _mm256_unpacklo_epi16(a, b); }
  static T hi16(T a, T b) { return _mm256_unpackhi_epi16(a, b); }
  static T lo32(T a, T b) { return _mm256_unpacklo_epi32(a, b); }
  static T hi32(T a, T b) { return _mm256_unpackhi_epi32(a, b); }
  static T lo64(T a, T b) { return _mm256_unpacklo_epi64(a, b); }
  static T hi64(T a, T b) { return _mm256_unpackhi_epi64(a, b); }
  static T zero() { return _mm256_setzero_si256(); }
  static T set1x32(int32_t v) { return _mm256_set1_epi32(v); }
  static T sub(T a, T b) { return _mm256_sub_epi16(a, b); }
  static T madd(T a, T b) { return _mm256_madd_epi16(a, b); }
  static T add32(T a, T b) { return _mm256_add_epi32(a, b); }
  static T sra32(T a, int n) { return _mm256_sra_epi32(a, _mm_cvtsi32_si128(n)); }
  static T packs32(T a, T b) { return _mm256_packs_epi32(a, b); }
  static T clamp(T a, int high) { return _mm256_min_epi16(_mm256_max_epi16(a, zero()), set1(high)); }
  static T or3(T a, T b, T c) { return _mm256_or_si256(_mm256_or_si256(a, b), c); }
};
#endif

// 8 x 8 transpose of 16-bit lanes (within each 128-bit half).
template <class V>
inline void transpose8(typename V::T r[8]) {
  using T = typename V::T;
  T a0 = V::lo16(r[0], r[1]), a1 = V::hi16(r[0], r[1]), a2 = V::lo16(r[2], r[3]), a3 = V::hi16(r[2], r[3]);
  T a4 = V::lo16(r[4], r[5]), a5 = V::hi16(r[4], r[5]), a6 = V::lo16(r[6], r[7]), a7 = V::hi16(r[6], r[7]);
  T b0 = V::lo32(a0, a2), b1 = V::hi32(a0, a2), b2 = V::lo32(a1, a3), b3 = V::hi32(a1, a3);
  T b4 = V::lo32(a4, a6), b5 = V::hi32(a4, a6), b6 = V::lo32(a5, a7), b7 = V::hi32(a5, a7);
  r[0] = V::lo64(b0, b4), r[1] = V::hi64(b0, b4), r[2] = V::lo64(b1, b5), r[3] = V::hi64(b1, b5);
  r[4] = V::lo64(b2, b6), r[5] = V::hi64(b2, b6), r[6] = V::lo64(b3, b7), r[7] = V::hi64(b3, b7);
}

// ---- DCT with fused quantisation -----------------------------------------------------------

template <class V, int K>
inline typename V::T mulConstV(typename V::T x, int c) {
  return V::mulhi(V::template slli<K>(x), V::set1(c));
}

// One 8-point pass over eight vectors, lane by lane (the same steps as aanPass).
template <class V>
inline void aanPassV(typename V::T d[8]) {
  using T = typename V::T;
  T t0 = V::adds(d[0], d[7]), t1 = V::adds(d[1], d[6]), t2 = V::adds(d[2], d[5]), t3 = V::adds(d[3], d[4]);
  T t7 = V::subs(d[0], d[7]), t6 = V::subs(d[1], d[6]), t5 = V::subs(d[2], d[5]), t4 = V::subs(d[3], d[4]);
  T t10 = V::adds(t0, t3), t13 = V::subs(t0, t3), t11 = V::adds(t1, t2), t12 = V::subs(t1, t2);
  d[0] = V::adds(t10, t11);
  d[4] = V::subs(t10, t11);
  T z1 = mulConstV<V, 1>(V::adds(t12, t13), 0x5A82);
  d[2] = V::adds(t13, z1);
  d[6] = V::subs(t13, z1);
  t10 = V::adds(t4, t5), t11 = V::adds(t5, t6), t12 = V::adds(t6, t7);
  T z5 = mulConstV<V, 0>(V::subs(t10, t12), 0x61F8);
  T z2 = V::adds(mulConstV<V, 1>(t10, 0x4546), z5);
  T z4 = V::adds(mulConstV<V, 2>(t12, 0x539F), z5);
  T z3 = mulConstV<V, 1>(t11, 0x5A82);
  T z11 = V::adds(t7, z3), z13 = V::subs(t7, z3);
  d[5] = V::adds(z13, z2);
  d[3] = V::subs(z13, z2);
  d[1] = V::adds(z11, z4);
  d[7] = V::subs(z11, z4);
}

// 2^kQuantShift, in the transposed order of the blocks.
alignas(32) inline constexpr std::array<int16_t, 64> kQuantFactor = [] {
  std::array<int16_t, 64> out{};
  for (int i = 0; i < 64; ++i) out[i] = int16_t(1 << kQuantShift[i]);
  return out;
}();

// Blocks a and b (b ignored by V128): rows are loaded as vectors, so the column pass works lane by
// lane; after a transpose the row pass does too, and its outputs come out transposed.
template <class V>
inline void fdctQuantV(int16_t* a, int16_t* b, const ReciprocalTable& recip) {
  using T = typename V::T;
  T r[8];
  for (int y = 0; y < 8; ++y) r[y] = V::pair(a + 8 * y, b + 8 * y);
  aanPassV<V>(r);
  transpose8<V>(r);
  aanPassV<V>(r);
  const T one = V::set1(1);
  for (int v = 0; v < 8; ++v) {
    T scaled = V::mullo(r[v], V::row(kQuantFactor.data() + 8 * v));
    T q = V::srai1(V::add(V::mulhi(scaled, V::row(recip.value + 8 * v)), one));
    V::storePair(a + 8 * v, b + 8 * v, q);
  }
}

inline uint64_t nonzeroMaskSse2(const int16_t* block) {
  const __m128i zero = _mm_setzero_si128();
  uint64_t zeros = 0;
  for (int i = 0; i < 4; ++i) {
    __m128i lo = _mm_load_si128(reinterpret_cast<const __m128i*>(block + 16 * i));
    __m128i hi = _mm_load_si128(reinterpret_cast<const __m128i*>(block + 16 * i + 8));
    __m128i z = _mm_packs_epi16(_mm_cmpeq_epi16(lo, zero), _mm_cmpeq_epi16(hi, zero));
    zeros |= uint64_t(uint32_t(_mm_movemask_epi8(z))) << (16 * i);
  }
  return ~zeros;
}

// ---- sample loaders ------------------------------------------------------------------------

inline __m128i loadu(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void store(int16_t* p, __m128i v) { _mm_store_si128(reinterpret_cast<__m128i*>(p), v); }

// Cb and Cr of eight pixel pairs from two vectors of 16-bit words (U V U V ...), level-shifted.
inline void splitChroma(__m128i a, __m128i b, int16_t* cb, int16_t* cr) {
  const __m128i low = _mm_set1_epi32(0xFFFF), bias = _mm_set1_epi16(128);
  store(cb, _mm_sub_epi16(_mm_packs_epi32(_mm_and_si128(a, low), _mm_and_si128(b, low)), bias));
  store(cr, _mm_sub_epi16(_mm_packs_epi32(_mm_srli_epi32(a, 16), _mm_srli_epi32(b, 16)), bias));
}

struct Sse2UyvyLoader {
  static void colour(const ScanJob& job, uint32_t x, uint32_t y, bool tall, int16_t (*blocks)[64]) {
    const size_t pitch = size_t(job.width) * 2;
    const uint8_t* p = job.in + y * pitch + x * 2;
    const __m128i bias = _mm_set1_epi16(128), even = _mm_set1_epi16(0xFF);
    const int rows = tall ? 16 : 8;
    for (int r = 0; r < rows; ++r) {
      const uint8_t* s = p + r * pitch;
      int16_t* left = blocks[r >= 8 ? 2 : 0] + (r & 7) * 8;
      store(left, _mm_sub_epi16(_mm_srli_epi16(loadu(s), 8), bias));
      store(left + 64, _mm_sub_epi16(_mm_srli_epi16(loadu(s + 16), 8), bias));
    }
    int16_t* cb = blocks[tall ? 4 : 2];
    for (int r = 0; r < 8; ++r) {
      const uint8_t* s = p + (tall ? 2 * r : r) * pitch;
      __m128i a = _mm_and_si128(loadu(s), even), b = _mm_and_si128(loadu(s + 16), even);
      if (tall) {
        a = _mm_avg_epu16(a, _mm_and_si128(loadu(s + pitch), even));
        b = _mm_avg_epu16(b, _mm_and_si128(loadu(s + pitch + 16), even));
      }
      splitChroma(a, b, cb + r * 8, cb + 64 + r * 8);
    }
  }
  static void luma(const ScanJob& job, uint32_t x, uint32_t y, int16_t* block) {
    const size_t pitch = size_t(job.width) * 2;
    const uint8_t* p = job.in + y * pitch + x * 2;
    const __m128i bias = _mm_set1_epi16(128);
    for (int r = 0; r < 8; ++r) store(block + r * 8, _mm_sub_epi16(_mm_srli_epi16(loadu(p + r * pitch), 8), bias));
  }
};

struct Sse2PlanarLoader {
  static __m128i widen(__m128i bytes) { return _mm_sub_epi16(_mm_unpacklo_epi8(bytes, _mm_setzero_si128()), _mm_set1_epi16(128)); }
  static __m128i load8(const uint8_t* p) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)); }
  static void colour(const ScanJob& job, uint32_t x, uint32_t y, bool, int16_t (*blocks)[64]) {
    PlanarPixels planes(job);
    for (int r = 0; r < 16; ++r) {
      __m128i v = loadu(planes.y + (y + r) * planes.pitch + x);
      int16_t* left = blocks[r >= 8 ? 2 : 0] + (r & 7) * 8;
      store(left, widen(v));
      store(left + 64, widen(_mm_srli_si128(v, 8)));
    }
    const uint32_t cpitch = planes.pitch / 2;
    for (int r = 0; r < 8; ++r) {
      size_t o = (y / 2 + r) * cpitch + x / 2;
      store(blocks[4] + r * 8, widen(load8(planes.cb + o)));
      store(blocks[5] + r * 8, widen(load8(planes.cr + o)));
    }
  }
  static void luma(const ScanJob& job, uint32_t x, uint32_t y, int16_t* block) {
    for (int r = 0; r < 8; ++r) store(block + r * 8, widen(load8(job.in + (y + r) * job.width + x)));
  }
};

#ifdef __AVX2__
// Sixteen pixels of a row in one vector: both luminance blocks, and Cb and Cr split by one pack.
struct Avx2UyvyLoader {
  static __m256i load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
  static void colour(const ScanJob& job, uint32_t x, uint32_t y, bool tall, int16_t (*blocks)[64]) {
    const size_t pitch = size_t(job.width) * 2;
    const uint8_t* p = job.in + y * pitch + x * 2;
    const __m256i bias = _mm256_set1_epi16(128), even = _mm256_set1_epi16(0xFF), low = _mm256_set1_epi32(0xFFFF);
    const int rows = tall ? 16 : 8;
    for (int r = 0; r < rows; ++r) {
      __m256i yv = _mm256_sub_epi16(_mm256_srli_epi16(load(p + r * pitch), 8), bias);
      int16_t* left = blocks[r >= 8 ? 2 : 0] + (r & 7) * 8;
      V256::storePair(left, left + 64, yv);
    }
    int16_t* cb = blocks[tall ? 4 : 2];
    for (int r = 0; r < 8; ++r) {
      const uint8_t* s = p + (tall ? 2 * r : r) * pitch;
      __m256i c = _mm256_and_si256(load(s), even);
      if (tall) c = _mm256_avg_epu16(c, _mm256_and_si256(load(s + pitch), even));
      __m256i uv = _mm256_packs_epi32(_mm256_and_si256(c, low), _mm256_srli_epi32(c, 16));
      uv = _mm256_sub_epi16(_mm256_permute4x64_epi64(uv, 0xD8), bias);
      V256::storePair(cb + r * 8, cb + 64 + r * 8, uv);
    }
  }
  static void luma(const ScanJob& job, uint32_t x, uint32_t y, int16_t* block) { Sse2UyvyLoader::luma(job, x, y, block); }
};
#endif

// ---- ConvertFrame --------------------------------------------------------------------------

struct Coefficients565 {
  int16_t luma, redCr, greenCb, greenCr, blueCb;
  int redShift, greenShift, blueShift;
};
constexpr Coefficients565 kFine = {1192, 1634, -401, -833, 2065, 13, 12, 13};
constexpr Coefficients565 kCoarse = {298, 409, -100, -208, 516, 11, 10, 11};

inline int32_t pairs(int16_t a, int16_t b) { return int32_t(uint16_t(a)) | int32_t(b) << 16; }

// Pixels from 16-bit Y, Cb, Cr to RGB 565, exactly as rgbFine / rgbCoarse: the products summed
// in 32 bits by multiply-add of (Y, C) lane pairs, then shifted, clamped and packed.
template <class V>
inline typename V::T rgb565(typename V::T y, typename V::T cb, typename V::T cr, const Coefficients565& k) {
  using T = typename V::T;
  y = V::sub(y, V::set1(16));
  cb = V::sub(cb, V::set1(128));
  cr = V::sub(cr, V::set1(128));
  struct Wide {
    T lo, hi;
  };
  auto term = [](T a, T b, int32_t coefficients) {
    T c = V::set1x32(coefficients);
    return Wide{V::madd(V::lo16(a, b), c), V::madd(V::hi16(a, b), c)};
  };
  auto narrow = [](Wide v, int shift) { return V::packs32(V::sra32(v.lo, shift), V::sra32(v.hi, shift)); };
  T r = narrow(term(y, cr, pairs(k.luma, k.redCr)), k.redShift);
  T b = narrow(term(y, cb, pairs(k.luma, k.blueCb)), k.blueShift);
  Wide g1 = term(y, cb, pairs(k.luma, k.greenCb)), g2 = term(cr, V::zero(), pairs(k.greenCr, 0));
  T g = narrow({V::add32(g1.lo, g2.lo), V::add32(g1.hi, g2.hi)}, k.greenShift);
  return V::or3(V::template slli<11>(V::clamp(r, 31)), V::template slli<5>(V::clamp(g, 63)), V::clamp(b, 31));
}

inline __m128i reverse8(__m128i v) {
  v = _mm_shufflelo_epi16(v, 0x1B);
  v = _mm_shufflehi_epi16(v, 0x1B);
  return _mm_shuffle_epi32(v, 0x4E);
}

inline uint16_t* rowAt(const Destination& d, int64_t row, int64_t column) {
  return reinterpret_cast<uint16_t*>(reinterpret_cast<uint8_t*>(d.pixels) + row * d.pitchBytes) + column;
}

// Writes the 8 x 8 tile whose top-left picture position is (x0, y0), turned by the destination's kind.
inline void storeTile(const Destination& d, int x0, int y0, __m128i t[8]) {
  auto put = [](uint16_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); };
  switch (d.kind) {
    case 0:
      for (int r = 0; r < 8; ++r) put(rowAt(d, y0 + r, x0), t[r]);
      break;
    case 3:
      for (int r = 0; r < 8; ++r) put(rowAt(d, d.height - 1 - (y0 + r), d.width - 8 - x0), reverse8(t[r]));
      break;
    case 1:
      transpose8<V128>(t);
      for (int c = 0; c < 8; ++c) put(rowAt(d, d.width - 1 - (x0 + c), y0), t[c]);
      break;
    default:
      transpose8<V128>(t);
      for (int c = 0; c < 8; ++c) put(rowAt(d, x0 + c, d.height - 8 - y0), reverse8(t[c]));
      break;
  }
}

// Eight output pixels of the exact half-size road: Y of every other pixel, the chroma of the pair
// of every other output pixel, from 32 source bytes.
inline __m128i halfRow(const uint8_t* s) {
  const __m128i byte = _mm_set1_epi32(0xFF);
  __m128i a = loadu(s), b = loadu(s + 16);
  __m128i y = _mm_packs_epi32(_mm_and_si128(_mm_srli_epi32(a, 8), byte), _mm_and_si128(_mm_srli_epi32(b, 8), byte));
  __m128i ua = _mm_shuffle_epi32(_mm_and_si128(a, byte), 0xA0), ub = _mm_shuffle_epi32(_mm_and_si128(b, byte), 0xA0);
  __m128i va = _mm_shuffle_epi32(_mm_and_si128(_mm_srli_epi32(a, 16), byte), 0xA0);
  __m128i vb = _mm_shuffle_epi32(_mm_and_si128(_mm_srli_epi32(b, 16), byte), 0xA0);
  return rgb565<V128>(y, _mm_packs_epi32(ua, ub), _mm_packs_epi32(va, vb), kFine);
}

// Eight output pixels of the exact road for any factor, gathered one by one.
inline __m128i gatheredRow(const uint8_t* s, int f) {
  alignas(16) int16_t y[8], cb[8], cr[8];
  for (int j = 0; j < 8; ++j) {
    const uint8_t* pair = s + size_t(f) * (j & ~1) * 2;
    y[j] = s[size_t(f) * j * 2 + 1], cb[j] = pair[0], cr[j] = pair[2];
  }
  return rgb565<V128>(_mm_load_si128(reinterpret_cast<__m128i*>(y)), _mm_load_si128(reinterpret_cast<__m128i*>(cb)),
                      _mm_load_si128(reinterpret_cast<__m128i*>(cr)), kFine);
}

inline void downscaleSse2(const Destination& dst, const uint8_t* src, int32_t srcWidth, int f) {
  const int w8 = dst.width & ~7, h8 = dst.height & ~7;
  const size_t pitch = size_t(srcWidth) * 2;
  for (int y0 = 0; y0 < h8; y0 += 8)
    for (int x0 = 0; x0 < w8; x0 += 8) {
      __m128i tile[8];
      for (int r = 0; r < 8; ++r) {
        const uint8_t* s = src + size_t(f) * (y0 + r) * pitch + size_t(f) * x0 * 2;
        tile[r] = f == 2 ? halfRow(s) : gatheredRow(s, f);
      }
      storeTile(dst, x0, y0, tile);
    }
  downscaleRegion(dst, src, srcWidth, f, w8, dst.width, 0, dst.height);
  downscaleRegion(dst, src, srcWidth, f, 0, w8, h8, dst.height);
}

#ifdef __AVX2__
// Sixteen output pixels of the exact half-size road from 64 source bytes. The byte shuffles work
// within 128-bit halves, so the pixels come out as 0-3, 8-11, 4-7, 12-15 and one permute puts
// the finished RGB 565 values in order.
inline __m256i halfRow16(const uint8_t* s) {
  const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s));
  const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 32));
  auto take = [&](int b0, int b1, int b2, int b3) {  // bytes of words 0-3 of each half, zero-extended
    const __m256i low = _mm256_setr_epi8(b0, -1, b1, -1, b2, -1, b3, -1, -1, -1, -1, -1, -1, -1, -1, -1,  //
                                         b0, -1, b1, -1, b2, -1, b3, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m256i high = _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, b0, -1, b1, -1, b2, -1, b3, -1,  //
                                          -1, -1, -1, -1, -1, -1, -1, -1, b0, -1, b1, -1, b2, -1, b3, -1);
    return _mm256_or_si256(_mm256_shuffle_epi8(a, low), _mm256_shuffle_epi8(b, high));
  };
  __m256i rgb = rgb565<V256>(take(1, 5, 9, 13), take(0, 0, 8, 8), take(2, 2, 10, 10), kFine);
  return _mm256_permute4x64_epi64(rgb, 0xD8);
}

inline __m256i reverse16(__m256i v) {
  const __m256i m = _mm256_setr_epi8(14, 15, 12, 13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1,  //
                                     14, 15, 12, 13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1);
  return _mm256_permute4x64_epi64(_mm256_shuffle_epi8(v, m), 0x4E);
}

// Writes the 16 x 8 tile whose top-left picture position is (x0, y0), turned by the kind.
inline void storeWideTile(const Destination& d, int x0, int y0, __m256i t[8]) {
  auto put = [](uint16_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); };
  auto put8 = [](uint16_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); };
  switch (d.kind) {
    case 0:
      for (int r = 0; r < 8; ++r) put(rowAt(d, y0 + r, x0), t[r]);
      break;
    case 3:
      for (int r = 0; r < 8; ++r) put(rowAt(d, d.height - 1 - (y0 + r), d.width - 16 - x0), reverse16(t[r]));
      break;
    case 1:  // after the transpose, t[c] holds column c in its low half and column 8 + c in its high half
      transpose8<V256>(t);
      for (int c = 0; c < 8; ++c) {
        put8(rowAt(d, d.width - 1 - (x0 + c), y0), _mm256_castsi256_si128(t[c]));
        put8(rowAt(d, d.width - 9 - (x0 + c), y0), _mm256_extracti128_si256(t[c], 1));
      }
      break;
    default:
      transpose8<V256>(t);
      for (int c = 0; c < 8; ++c) {
        put8(rowAt(d, x0 + c, d.height - 8 - y0), reverse8(_mm256_castsi256_si128(t[c])));
        put8(rowAt(d, x0 + 8 + c, d.height - 8 - y0), reverse8(_mm256_extracti128_si256(t[c], 1)));
      }
      break;
  }
}

inline void downscaleAvx2(const Destination& dst, const uint8_t* src, int32_t srcWidth, int f) {
  if (f != 2) {
    downscaleSse2(dst, src, srcWidth, f);
    return;
  }
  const int w16 = dst.width & ~15, h8 = dst.height & ~7;
  const size_t pitch = size_t(srcWidth) * 2;
  for (int y0 = 0; y0 < h8; y0 += 8)
    for (int x0 = 0; x0 < w16; x0 += 16) {
      __m256i tile[8];
      for (int r = 0; r < 8; ++r) tile[r] = halfRow16(src + 2 * size_t(y0 + r) * pitch + size_t(x0) * 4);
      storeWideTile(dst, x0, y0, tile);
    }
  downscaleRegion(dst, src, srcWidth, 2, w16, dst.width, 0, dst.height);
  downscaleRegion(dst, src, srcWidth, 2, 0, w16, h8, dst.height);
}
#endif

// UYVY to planar 4:2:0, unturned: sixteen pixels of two rows at a time.
inline void planarSse2(uint8_t* out, const uint8_t* src, int32_t width, int32_t height, int kind) {
  if (kind != 0) {
    planarRegion(out, src, width, height, kind, 0, width, 0, height);
    return;
  }
  const size_t pitch = size_t(width) * 2, area = size_t(width) * height;
  uint8_t* cbPlane = out + area;
  uint8_t* crPlane = out + area + area / 4;
  const int w16 = width & ~15, h2 = height & ~1;
  const __m128i even = _mm_set1_epi16(0xFF), low = _mm_set1_epi32(0xFFFF);
  for (int y = 0; y < h2; y += 2) {
    const uint8_t* s0 = src + y * pitch;
    const uint8_t* s1 = s0 + pitch;
    for (int x = 0; x < w16; x += 16) {
      __m128i a0 = loadu(s0 + 2 * x), b0 = loadu(s0 + 2 * x + 16), a1 = loadu(s1 + 2 * x), b1 = loadu(s1 + 2 * x + 16);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + y * size_t(width) + x),
                       _mm_packus_epi16(_mm_srli_epi16(a0, 8), _mm_srli_epi16(b0, 8)));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + (y + 1) * size_t(width) + x),
                       _mm_packus_epi16(_mm_srli_epi16(a1, 8), _mm_srli_epi16(b1, 8)));
      __m128i ca = _mm_avg_epu16(_mm_and_si128(a0, even), _mm_and_si128(a1, even));
      __m128i cb = _mm_avg_epu16(_mm_and_si128(b0, even), _mm_and_si128(b1, even));
      __m128i u = _mm_packs_epi32(_mm_and_si128(ca, low), _mm_and_si128(cb, low));
      __m128i v = _mm_packs_epi32(_mm_srli_epi32(ca, 16), _mm_srli_epi32(cb, 16));
      size_t o = size_t(y / 2) * (width / 2) + x / 2;
      _mm_storel_epi64(reinterpret_cast<__m128i*>(cbPlane + o), _mm_packus_epi16(u, u));
      _mm_storel_epi64(reinterpret_cast<__m128i*>(crPlane + o), _mm_packus_epi16(v, v));
    }
  }
  planarRegion(out, src, width, height, 0, w16, width, 0, height);
  planarRegion(out, src, width, height, 0, 0, w16, h2, height);
}

// The general resize: sample positions gathered per 8 x 8 tile, colour converted eight at a time.
inline void resizeSse2(const Destination& dst, const PlanarFrame& src, uint32_t stepX, uint32_t stepY) {
  const int w8 = dst.width & ~7, h8 = dst.height & ~7;
  const int chromaWidth = src.width / 2, chromaHeight = src.height / 2;
  for (int x0 = 0; x0 < w8; x0 += 8) {
    int sx[8], cx[8];
    for (int j = 0; j < 8; ++j) {
      sx[j] = nearest(x0 + j, stepX, src.width);
      cx[j] = std::min(nearest((x0 + j) & ~1, stepX, src.width) / 2, chromaWidth - 1);
    }
    for (int y0 = 0; y0 < h8; y0 += 8) {
      __m128i tile[8];
      for (int r = 0; r < 8; ++r) {
        const int y = y0 + r;
        const uint8_t* luma = src.y + size_t(nearest(y, stepY, src.height)) * src.width;
        const size_t crow = size_t(std::min(nearest(y & ~1, stepY, src.height) / 2, chromaHeight - 1)) * chromaWidth;
        alignas(16) int16_t yy[8], cb[8], cr[8];
        for (int j = 0; j < 8; ++j) yy[j] = luma[sx[j]], cb[j] = src.cb[crow + cx[j]], cr[j] = src.cr[crow + cx[j]];
        tile[r] = rgb565<V128>(_mm_load_si128(reinterpret_cast<__m128i*>(yy)),
                               _mm_load_si128(reinterpret_cast<__m128i*>(cb)),
                               _mm_load_si128(reinterpret_cast<__m128i*>(cr)), kCoarse);
      }
      storeTile(dst, x0, y0, tile);
    }
  }
  resizeRegion(dst, src, stepX, stepY, w8, dst.width, 0, dst.height);
  resizeRegion(dst, src, stepX, stepY, 0, w8, h8, dst.height);
}

}  // namespace
}  // namespace tarnjpg
