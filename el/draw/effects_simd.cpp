// Row kernels of the per-pixel effects: the kernels of effects_simd_rows.h built twice, for 16-byte
// vectors (SSE2, always there on x86-64; plain vector code elsewhere) and on x86-64 also for AVX2
// with 32-byte vectors, which is picked at load time where the processor has it. They work on the
// channels in lanes of their own, so no table is read per pixel; the tables stay the reference.
#include "el/draw/effects_simd.h"

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
typedef uint16_t H __attribute__((vector_size(8)));
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
typedef uint16_t H __attribute__((vector_size(16)));
typedef float F __attribute__((vector_size(32)));
typedef int32_t I __attribute__((vector_size(32)));
#include "el/draw/effects_simd_rows.h"
}  // namespace wide
#pragma GCC pop_options
#endif

namespace {

// Whether the processor runs the AVX2 kernels; asked once.
bool Wide() {
#ifdef EL_EFFECTS_WIDE
  static const bool wide = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
  return wide;
#else
  return false;
#endif
}

}  // namespace

#ifdef EL_EFFECTS_WIDE
#define EL_PICK(call) return Wide() ? wide::call : narrow::call
#else
#define EL_PICK(call) return narrow::call
#endif

RowFormat CurrentRowFormat() {
  const uint16_t low = GMax == 63 ? static_cast<uint16_t>(1u << GShift) : 0;
  return {{RShift5, GShift5, BShift5}, static_cast<uint16_t>(GMask & ~low), low};
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
void HalfRow(uint16_t* d, const uint16_t* s, int32_t n, uint16_t mask) { EL_PICK(HalfRow(d, s, n, mask)); }
void AlphaRow(uint16_t* d, const uint16_t* s, int32_t n, const FullChannel c[3], const float alpha[3]) {
  EL_PICK(AlphaRow(d, s, n, c, alpha));
}
void KeyedRow(uint16_t* d, const uint16_t* s, int32_t n) { EL_PICK(KeyedRow(d, s, n)); }

}  // namespace elDraw::effects
