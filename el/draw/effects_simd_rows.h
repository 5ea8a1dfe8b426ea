// The row kernels, written once with the compiler's vector types and included by effects_simd.cpp
// once per vector width, each time inside its own namespace with V (kLanes 16-bit lanes), S (the
// same, signed), F and I (kLanes / 2 float and 32-bit lanes) defined. No include
// guard: that is the point.

#define EL_INLINE inline __attribute__((always_inline))
#define EL_LAMBDA __attribute__((always_inline))

// Vectors never pass by value between functions here (without AVX a 32-byte one would change the
// calling convention): the helpers are macros and the per-step operations write through references.

// Runs op(out, source, screen) over a row, kLanes pixels a step; black source pixels keep the
// screen's. The last few pixels go through a padded block, so nothing past the row is touched.
template <class Op>
EL_INLINE void Rows(uint16_t* d, const uint16_t* s, int32_t n, Op op) {
  auto step = [&op](const V& sv, V& dv) EL_LAMBDA {
    V out;
    op(out, sv, dv);
    const V key = (V)(sv == 0);
    dv = (dv & key) | (out & ~key);
  };
  int32_t i = 0;
  for (; i + kLanes <= n; i += kLanes) step(*reinterpret_cast<const V*>(s + i), *reinterpret_cast<V*>(d + i));
  if (i < n) {
    V sv = {}, dv = {};
    const size_t bytes = static_cast<size_t>(n - i) * sizeof(uint16_t);
    std::memcpy(&sv, s + i, bytes);
    std::memcpy(&dv, d + i, bytes);
    step(sv, dv);
    std::memcpy(d + i, &dv, bytes);
  }
}

// A vector of v in every lane.
#define SPLAT(v) (V{} + static_cast<uint16_t>(v))
// A 5-bit channel in a lane of its own.
#define FIELD(p, shift) ((S)(((p) >> (shift)) & 31))
// max(x - k, 0) for small x and k.
#define CUT(x, k) (((x) - (k)) & (((x) - (k)) > 0))
// min(x, 31) for 0 <= x <= 62.
#define TOP31(x) (((x) | ((x) > 31)) & 31)

// Green's lowest bit, as GreenLow gives it: from the first pixel whose other green bits the result
// equals, else from the second, else 0.
EL_INLINE void GreenFrom(V& out, const V& first, const V& second, const V& top, const V& low) {
  const V e1 = (V)(((out ^ first) & top) == 0);
  const V e2 = (V)(((out ^ second) & top) == 0);
  out |= ((first & e1) | (second & e2 & ~e1)) & low;
}



void BlendRow(uint16_t* d, const uint16_t* s, int32_t n, const RowFormat& f, const uint16_t cut[3],
                            bool sourceFirst) {
  const uint16_t sh0 = f.shift5[0], sh1 = f.shift5[1], sh2 = f.shift5[2];
  const S a0 = (S)SPLAT(cut[0]), a1 = (S)SPLAT(cut[1]), a2 = (S)SPLAT(cut[2]);
  const S b0 = (S)SPLAT(31 - cut[0]), b1 = (S)SPLAT(31 - cut[1]), b2 = (S)SPLAT(31 - cut[2]);
  const V top = SPLAT(f.greenTop), low = SPLAT(f.greenLow);
  auto mix = [&](V& out, const V& sv, const V& dv) EL_LAMBDA {
    out = (V)(CUT(FIELD(sv, sh0), a0) + CUT(FIELD(dv, sh0), b0)) << sh0 |
          (V)(CUT(FIELD(sv, sh1), a1) + CUT(FIELD(dv, sh1), b1)) << sh1 |
          (V)(CUT(FIELD(sv, sh2), a2) + CUT(FIELD(dv, sh2), b2)) << sh2;
  };
  if (sourceFirst)
    Rows(d, s, n, [&](V& out, const V& sv, const V& dv) EL_LAMBDA { mix(out, sv, dv), GreenFrom(out, sv, dv, top, low); });
  else
    Rows(d, s, n, [&](V& out, const V& sv, const V& dv) EL_LAMBDA { mix(out, sv, dv), GreenFrom(out, dv, sv, top, low); });
}

void AddRow(uint16_t* d, const uint16_t* s, int32_t n, const RowFormat& f, uint16_t cut) {
  const uint16_t sh0 = f.shift5[0], sh1 = f.shift5[1], sh2 = f.shift5[2];
  const S a = (S)SPLAT(cut);
  const V top = SPLAT(f.greenTop), low = SPLAT(f.greenLow);
  Rows(d, s, n, [&](V& out, const V& sv, const V& dv) EL_LAMBDA {
    const S r = CUT(FIELD(sv, sh0), a) + FIELD(dv, sh0), g = CUT(FIELD(sv, sh1), a) + FIELD(dv, sh1),
            b = CUT(FIELD(sv, sh2), a) + FIELD(dv, sh2);
    out = (V)TOP31(r) << sh0 | (V)TOP31(g) << sh1 | (V)TOP31(b) << sh2;
    GreenFrom(out, sv, dv, top, low);
  });
}

void DarkRow(uint16_t* d, const uint16_t* s, int32_t n, const RowFormat& f, const uint16_t cut[3]) {
  const uint16_t sh0 = f.shift5[0], sh1 = f.shift5[1], sh2 = f.shift5[2];
  const S k0 = (S)SPLAT(cut[0]), k1 = (S)SPLAT(cut[1]), k2 = (S)SPLAT(cut[2]);
  const V top = SPLAT(f.greenTop), low = SPLAT(f.greenLow);
  Rows(d, s, n, [&](V& out, const V& sv, const V&) EL_LAMBDA {
    out = (V)CUT(FIELD(sv, sh0), k0) << sh0 | (V)CUT(FIELD(sv, sh1), k1) << sh1 | (V)CUT(FIELD(sv, sh2), k2) << sh2;
    GreenFrom(out, sv, sv, top, low);
  });
}

void HalfRow(uint16_t* d, const uint16_t* s, int32_t n, uint16_t mask) {
  const V m = SPLAT(mask);
  Rows(d, s, n, [&](V& out, const V& sv, const V& dv) EL_LAMBDA { out = ((sv >> 1) & m) + ((dv >> 1) & m); });
}

// The fixed-point form of a plan: 16-bit lanes, (x p + y q + c) >> 10 per channel.
void AlphaRowFixed(uint16_t* d, const uint16_t* s, int32_t n, const AlphaPlan& plan) {
  V mask[3], ps[3], qs[3], cs[3];
  uint16_t shift[3];
  for (int ch = 0; ch < 3; ++ch) {
    mask[ch] = SPLAT(plan.ch[ch].mask);
    ps[ch] = SPLAT(plan.p[ch]);
    qs[ch] = SPLAT(plan.q[ch]);
    cs[ch] = SPLAT(plan.c[ch]);
    shift[ch] = plan.ch[ch].shift;
  }
  Rows(d, s, n, [&](V& out, const V& sv, const V& dv) EL_LAMBDA {
    out = V{};
#pragma GCC unroll 3
    for (int ch = 0; ch < 3; ++ch) {
      const V x = (sv & mask[ch]) >> shift[ch], y = (dv & mask[ch]) >> shift[ch];
      out |= ((x * ps[ch] + y * qs[ch] + cs[ch]) >> 10) << shift[ch];
    }
  });
}

// Any other alpha: the same single-precision operations in the same order as one pixel at a time
// (no fused multiply-add: no clone contracts them), so every lane rounds exactly as the formula.
void AlphaRowFloat(uint16_t* d, const uint16_t* s, int32_t n, const AlphaPlan& plan) {
  F a[3], b[3], top[3];
  I mask[3];
  uint16_t shift[3];
  for (int ch = 0; ch < 3; ++ch) {
    a[ch] = F{} + (plan.unit ? plan.scaled[ch][0] : plan.alpha[ch]);
    b[ch] = F{} + (plan.unit ? plan.scaled[ch][1] : 1.0f - plan.alpha[ch]);
    top[ch] = F{} + static_cast<float>(plan.ch[ch].max);
    mask[ch] = I{} + static_cast<int32_t>(plan.ch[ch].mask);
    shift[ch] = plan.ch[ch].shift;
  }
  // Lanes of 32 bits, each holding one pixel in its low half (what lies above is masked away).
  auto general = [&](I& o, const I& sw, const I& dw) EL_LAMBDA {
    const F zero = {};
    o = I{};
#pragma GCC unroll 3
    for (int ch = 0; ch < 3; ++ch) {
      const F x = __builtin_convertvector((sw & mask[ch]) >> shift[ch], F);
      const F y = __builtin_convertvector((dw & mask[ch]) >> shift[ch], F);
      const F v = x * a[ch] + y * b[ch];
      // Not above 0 (NaN included): 0; at or above max: max; otherwise truncated.
      const F low = v > 0 ? v : zero;
      const F held = low < top[ch] ? low : top[ch];
      o |= __builtin_convertvector(held, I) << shift[ch];
    }
  };
  // Alphas in 0..1: the channel stays in place and the alphas come scaled down by its shift, which
  // leaves every product and sum as it was; v lies in 0..max + 1 and needs no holding.
  auto unit = [&](I& o, const I& sw, const I& dw) EL_LAMBDA {
    o = I{};
#pragma GCC unroll 3
    for (int ch = 0; ch < 3; ++ch) {
      const F v = __builtin_convertvector(sw & mask[ch], F) * a[ch] + __builtin_convertvector(dw & mask[ch], F) * b[ch];
      o |= __builtin_convertvector(v, I) << shift[ch];
    }
  };
  // Even pixels are the low halves of the 32-bit words, odd ones the high halves shifted down.
  typedef uint32_t U __attribute__((vector_size(sizeof(I))));
  auto run = [&](auto half) EL_LAMBDA {
    Rows(d, s, n, [&](V& out, const V& sv, const V& dv) EL_LAMBDA {
      const U su = (U)sv, du = (U)dv;
      I even, odd;
      half(even, (I)su, (I)du);
      half(odd, (I)(su >> 16), (I)(du >> 16));
      out = (V)((U)even | (U)odd << 16);
    });
  };
  if (plan.unit)
    run(unit);
  else
    run(general);
}

void AlphaRow(uint16_t* d, const uint16_t* s, int32_t n, const AlphaPlan& plan) {
  if (plan.fixed)
    AlphaRowFixed(d, s, n, plan);
  else
    AlphaRowFloat(d, s, n, plan);
}

void KeyedRow(uint16_t* d, const uint16_t* s, int32_t n) {
  Rows(d, s, n, [](V& out, const V& sv, const V&) EL_LAMBDA { out = sv; });
}

#undef SPLAT
#undef FIELD
#undef CUT
#undef TOP31
#undef EL_INLINE
#undef EL_LAMBDA
