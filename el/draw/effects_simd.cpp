// Row kernels of the per-pixel effects: the kernels of effects_simd_rows.h built for 16-byte vectors
// (SSE2, always there on x86-64; plain vector code elsewhere) and on x86-64 also for AVX2 with
// 32-byte and AVX-512 with 64-byte vectors, the widest the processor has picked at load time. They
// work on the channels in lanes of their own, so no table is read per pixel; the tables stay the
// reference.
#include "el/draw/effects_simd.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "el/draw/draw_state.h"

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define EL_EFFECTS_WIDE 1
#endif

namespace elDraw::effects {

namespace narrow {
constexpr int kLanes = 8;
typedef uint16_t V __attribute__((vector_size(16), aligned(2), may_alias));
typedef int16_t S __attribute__((vector_size(16), aligned(2), may_alias));
typedef float F __attribute__((vector_size(16)));
typedef int32_t I __attribute__((vector_size(16)));
#include "el/draw/effects_simd_rows.h"
}  // namespace narrow

#ifdef EL_EFFECTS_WIDE
#pragma GCC push_options
#pragma GCC target("avx2")
namespace wide {
constexpr int kLanes = 16;
typedef uint16_t V __attribute__((vector_size(32), aligned(2), may_alias));
typedef int16_t S __attribute__((vector_size(32), aligned(2), may_alias));
typedef float F __attribute__((vector_size(32)));
typedef int32_t I __attribute__((vector_size(32)));
#include "el/draw/effects_simd_rows.h"
}  // namespace wide
#pragma GCC pop_options
// AVX-512 brings fused multiply-adds, which the compiler would otherwise contract the alpha
// products into: they must round one by one.
#pragma GCC push_options
#pragma GCC target("avx512f,avx512bw")
#pragma GCC optimize("fp-contract=off")
namespace wider {
constexpr int kLanes = 32;
typedef uint16_t V __attribute__((vector_size(64), aligned(2), may_alias));
typedef int16_t S __attribute__((vector_size(64), aligned(2), may_alias));
typedef float F __attribute__((vector_size(64)));
typedef int32_t I __attribute__((vector_size(64)));
#include "el/draw/effects_simd_rows.h"

void ZoomLanes(const int32_t* column, int32_t n, uint16_t* lanes) {
  for (int32_t k = 0; k < n; ++k)
    lanes[k] = static_cast<uint16_t>(std::min<int64_t>(int64_t(column[k]) - column[k - k % kLanes], 0xFFFF));
}

void ZoomRow(uint16_t* d, const uint16_t* src, int32_t sw, const int32_t* column, const uint16_t* lanes, int32_t n) {
  int32_t k = 0;
  for (; k + kLanes <= n; k += kLanes) {
    // Columns never fall along a row: a block's last lane is its widest.
    if (sw < kLanes || lanes[k + kLanes - 1] >= kLanes) {
      for (int32_t i = k; i < k + kLanes; ++i)
        if (const uint16_t s = src[column[i]]) d[i] = s;
      continue;
    }
    // Loaded from no further right than the row's last kLanes pixels, the lane numbers moved to match.
    const int32_t base = std::min(column[k], sw - kLanes);
    const V idx = *reinterpret_cast<const V*>(lanes + k) + static_cast<uint16_t>(column[k] - base);
    const V sv = __builtin_shuffle(*reinterpret_cast<const V*>(src + base), idx);
    V& dv = *reinterpret_cast<V*>(d + k);
    const V key = (V)(sv == 0);
    dv = (dv & key) | (sv & ~key);
  }
  for (; k < n; ++k)
    if (const uint16_t s = src[column[k]]) d[k] = s;
}
}  // namespace wider
#pragma GCC pop_options
#endif

#ifdef EL_EFFECTS_WIDE
namespace {

// The widest kernels the processor runs: 2 for AVX-512, 1 for AVX2, 0 otherwise; asked once.
int Width() {
  static const int width = [] {
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw")) return 2;
    return __builtin_cpu_supports("avx2") ? 1 : 0;
  }();
  return width;
}

}  // namespace

#define EL_PICK_AT(width, call) \
  switch (width) {              \
    case 2:                     \
      return wider::call;       \
    case 1:                     \
      return wide::call;        \
    default:                    \
      return narrow::call;      \
  }
#define EL_PICK(call) EL_PICK_AT(Width(), call)
// Kernels that do next to nothing per pixel stay with 32-byte vectors: measured, their 64-byte
// form is slower (the memory accesses, not the work, set their pace).
#define EL_PICK_COPY(call) EL_PICK_AT(std::min(Width(), 1), call)
#else
#define EL_PICK(call) return narrow::call
#define EL_PICK_COPY(call) return narrow::call
#endif

RowFormat CurrentRowFormat() {
  const uint16_t low = GMax == 63 ? static_cast<uint16_t>(1u << GShift) : 0;
  return {{RShift5, GShift5, BShift5}, static_cast<uint16_t>(GMask & ~low), low};
}

namespace {

// The one-pixel formula of the alpha puts for channel values x, y (0..max).
uint32_t AlphaOf(uint32_t x, uint32_t y, float a, uint32_t max) {
  const float v = static_cast<float>(x) * a + static_cast<float>(y) * (1.0f - a);
  if (!(v > 0)) return 0;
  if (v >= static_cast<float>(max)) return max;
  return static_cast<uint32_t>(v);
}

// Looks for p, q, c with (x p + y q + c) >> 10 equal to the formula for every x, y in 0..max, the
// sum staying inside 16 bits. For each p, q near a and 1 - a (in 1/1024) every pair bounds c from
// both sides; any c left in the end fits them all.
bool FixedForm(float a, uint32_t max, uint16_t* p, uint16_t* q, uint16_t* c) {
  if (!(a >= 0.0f && a <= 1.0f)) return false;
  static uint32_t want[64][64];
  for (uint32_t x = 0; x <= max; ++x)
    for (uint32_t y = 0; y <= max; ++y) want[x][y] = AlphaOf(x, y, a, max);
  const int32_t pa = static_cast<int32_t>(a * 1024.0f), qa = static_cast<int32_t>((1.0f - a) * 1024.0f);
  for (int32_t dp = -1; dp <= 2; ++dp)
    for (int32_t dq = -1; dq <= 2; ++dq) {
      const int32_t P = pa + dp, Q = qa + dq;
      if (P < 0 || Q < 0 || static_cast<int64_t>(max) * (P + Q) + 1023 > 65535) continue;
      int32_t lo = 0, hi = 1023;
      for (uint32_t x = 0; x <= max && lo <= hi; ++x)
        for (uint32_t y = 0; y <= max && lo <= hi; ++y) {
          const int32_t t = static_cast<int32_t>(x) * P + static_cast<int32_t>(y) * Q;
          const int32_t r = static_cast<int32_t>(want[x][y]) * 1024;
          lo = std::max(lo, r - t);
          hi = std::min(hi, r + 1023 - t);
        }
      if (lo <= hi) {
        *p = static_cast<uint16_t>(P), *q = static_cast<uint16_t>(Q), *c = static_cast<uint16_t>(lo);
        return true;
      }
    }
  return false;
}

// Puts smaller than this run in single precision rather than pay for the search (up to some
// 10^5 steps per new alpha).
constexpr int64_t kSearchPixels = 16384;

}  // namespace

AlphaPlan PlanAlpha(const FullChannel c[3], const float alpha[3], int64_t pixels) {
  AlphaPlan plan{{c[0], c[1], c[2]}, {alpha[0], alpha[1], alpha[2]}, false, true, {}, {}, {}, {}};
  for (int ch = 0; ch < 3; ++ch) {
    const float a = alpha[ch], b = 1.0f - a;
    const float sa = std::ldexp(a, -c[ch].shift), sb = std::ldexp(b, -c[ch].shift);
    plan.scaled[ch][0] = sa, plan.scaled[ch][1] = sb;
    // Scaling must be exact (not for alphas near the smallest floats) for the products to stay.
    if (!(a >= 0.0f && a <= 1.0f) || std::ldexp(sa, c[ch].shift) != a || std::ldexp(sb, c[ch].shift) != b)
      plan.unit = false;
  }
  // Multiples of 1/1024 in 0..1 need no search: with a = p / 1024 both products and their sum are
  // exact in single precision (every numerator stays below 2^24) and lie in 0..max, so the formula
  // is exactly (x p + y (1024 - p)) >> 10.
  bool dyadic = true;
  for (int ch = 0; ch < 3; ++ch) {
    const float a = alpha[ch] * 1024.0f;  // exact: a power of two
    if (!(a >= 0.0f && a <= 1024.0f && a == std::floor(a))) {
      dyadic = false;
      break;
    }
    plan.p[ch] = static_cast<uint16_t>(a);
    plan.q[ch] = static_cast<uint16_t>(1024 - plan.p[ch]);
    plan.c[ch] = 0;
  }
  if (dyadic) {
    plan.fixed = true;
    return plan;
  }
  if (pixels < kSearchPixels) return plan;
  // The last search is kept: a put of the same alphas on the same screen format reuses it.
  static AlphaPlan last;
  static bool have = false;
  auto same = [&] {
    for (int ch = 0; ch < 3; ++ch)
      if (std::memcmp(&last.alpha[ch], &alpha[ch], sizeof(float)) != 0 || last.ch[ch].mask != c[ch].mask ||
          last.ch[ch].shift != c[ch].shift || last.ch[ch].max != c[ch].max)
        return false;
    return true;
  };
  if (have && same()) return last;
  plan.fixed = true;
  for (int ch = 0; ch < 3 && plan.fixed; ++ch)
    plan.fixed = c[ch].max <= 63 && FixedForm(alpha[ch], c[ch].max, &plan.p[ch], &plan.q[ch], &plan.c[ch]);
  last = plan;
  have = true;
  return plan;
}

void BlendRow(uint16_t* d, const uint16_t* s, int32_t n, const RowFormat& f, const uint16_t cut[3], bool sourceFirst) {
  EL_PICK(BlendRow(d, s, n, f, cut, sourceFirst));
}
void AddRow(uint16_t* d, const uint16_t* s, int32_t n, const RowFormat& f, uint16_t cut) {
  EL_PICK(AddRow(d, s, n, f, cut));
}
void DarkRow(uint16_t* d, const uint16_t* s, int32_t n, const RowFormat& f, const uint16_t cut[3]) {
  EL_PICK(DarkRow(d, s, n, f, cut));
}
void HalfRow(uint16_t* d, const uint16_t* s, int32_t n, uint16_t mask) { EL_PICK_COPY(HalfRow(d, s, n, mask)); }
void AlphaRow(uint16_t* d, const uint16_t* s, int32_t n, const AlphaPlan& plan) { EL_PICK(AlphaRow(d, s, n, plan)); }
void KeyedRow(uint16_t* d, const uint16_t* s, int32_t n) { EL_PICK_COPY(KeyedRow(d, s, n)); }

bool ZoomLanes(const int32_t* column, int32_t n, uint16_t* lanes) {
#ifdef EL_EFFECTS_WIDE
  if (Width() == 2) return wider::ZoomLanes(column, n, lanes), true;
#endif
  (void)column, (void)n, (void)lanes;
  return false;
}
void ZoomRow(uint16_t* d, const uint16_t* src, int32_t sw, const int32_t* column, const uint16_t* lanes, int32_t n) {
#ifdef EL_EFFECTS_WIDE
  wider::ZoomRow(d, src, sw, column, lanes, n);
#else
  (void)d, (void)src, (void)sw, (void)column, (void)lanes, (void)n;
#endif
}

}  // namespace elDraw::effects
