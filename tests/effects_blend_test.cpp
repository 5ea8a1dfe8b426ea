// Per-pixel effect puts against a small model of their pixel rules: random pictures of odd sizes
// with black (key) holes, put across every screen edge and under random clip rectangles; then the
// filters built on neighbours, the row puts and the refusals.
#include <algorithm>
#include <array>
#include <functional>
#include <random>
#include <vector>

#include "el/elDraw.h"
#include "el/elSystem.h"
#include "tests/support/effects_support.h"

using namespace efftest;

namespace {

// Channel layout of the screen: shift and maximum of red, green, blue.
struct Layout {
  int shift[3];
  uint32_t max[3];
};
Layout Fmt() { return GMask == 0x07E0 ? Layout{{11, 5, 0}, {31, 63, 31}} : Layout{{10, 5, 0}, {31, 31, 31}}; }
uint32_t Full(uint16_t p, int ch) { return (p >> Fmt().shift[ch]) & Fmt().max[ch]; }
uint32_t C5(uint16_t p, int ch) { return Full(p, ch) >> (Fmt().max[ch] == 63); }
// A pixel from per-channel values: 5-bit ones placed at the top of their field, or full-width ones.
template <class F>
uint16_t Each5(F f) {
  uint32_t p = 0;
  for (int ch = 0; ch < 3; ++ch) p |= f(ch) << (Fmt().shift[ch] + (Fmt().max[ch] == 63));
  return static_cast<uint16_t>(p);
}
template <class F>
uint16_t EachFull(F f) {
  uint32_t p = 0;
  for (int ch = 0; ch < 3; ++ch) p |= std::min(f(ch), Fmt().max[ch]) << Fmt().shift[ch];
  return static_cast<uint16_t>(p);
}
uint32_t Sub(uint32_t a, uint32_t b) { return a > b ? a - b : 0; }
uint32_t Alpha(uint32_t s, uint32_t d, float a, float share) {
  const float v = static_cast<float>(s) * a + static_cast<float>(d) * share;
  return v > 0 ? static_cast<uint32_t>(v) : 0;
}

class EffectsTest : public drawtest::DrawTest {
 protected:
  void ModelCheck();
  void AlphaPairs();
};

// One effect: its put, and the pixel it must leave for source pixel s (at column i, row j of the
// whole source rectangle) over screen pixel d. Table members may take green's lowest bit from
// either pixel on 5-6-5: that bit is not compared for them.
struct Effect {
  const char* name;
  bool table;
  std::function<int(int32_t x, int32_t y, int32_t obj, int32_t l, int32_t t, int32_t r, int32_t b)> put;
  std::function<uint16_t(uint16_t s, uint16_t d, int32_t i, int32_t j)> want;
};

void EffectsTest::ModelCheck() {
  std::mt19937 rng(5);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  auto unit = [&] { return pick(0, 2) ? std::uniform_real_distribution<float>(0, 1)(rng) : pick(0, 64) / 64.0f; };
  const uint16_t valid = static_cast<uint16_t>(RMask | GMask | BMask);
  for (int run = 0; run < 320; ++run) {
    // The effect and its random parameters.
    const int a0 = pick(-2, 33), a1 = pick(0, 31), a2 = pick(0, 31), mode = pick(0, 3);
    const float f0 = unit(), f1 = unit(), f2 = unit(), scale = pick(0, 30) / 10.0f, amount = pick(0, 330) / 10.0f;
    const int32_t start = pick(0, 6), step = pick(0, 3), across = pick(0, 1);
    const float fs[3] = {f0, f1, f2};
    const int32_t as[3] = {a1, a2, a0};
    auto clamp31 = [](int32_t v) { return static_cast<uint32_t>(std::clamp(v, 0, 31)); };
    auto drops = [&](int32_t i, int32_t j) {
      const int32_t p = across ? j : i;
      return step <= 0 || p < start ? 0 : (p - start) / step;
    };
#define PUT(call) [&](int x, int y, int o, int l, int t, int r, int b) { return elDraw::call; }
#define RULE(expr) [&](uint16_t s, uint16_t d, int i, int j) -> uint16_t { (void)s, (void)d, (void)i, (void)j; return expr; }
    auto blend = [&](uint16_t s, uint16_t d, int c, int32_t drop, int32_t a) {
      const uint32_t k = static_cast<uint32_t>(std::max<int32_t>(0, 31 - int32_t(clamp31(a)) - drop));
      return Sub(C5(s, c), k) + Sub(C5(d, c), 31 - k);
    };
    auto alpha = [&](uint16_t s, uint16_t d, int c, float a, float drop) {
      return Alpha(Full(s, c), Full(d, c), a, std::max(0.0f, (1 - a) - drop));
    };
    const bool keep[3] = {(a0 & 1) != 0, (a1 & 1) != 0, (a2 & 1) != 0};
    const float k[3] = {scale, f1, 2 * f2};
    const std::vector<Effect> effects = {
        {"blend", true, PUT(PutBlend(x, y, a0, o, l, t, r, b)), RULE(Each5([&](int c) { return blend(s, d, c, 0, a0); }))},
        {"blend rgb", true, PUT(PutBlendRGB(x, y, a1, a2, a0, o, l, t, r, b)),
         RULE(Each5([&](int c) { return blend(s, d, c, 0, as[c]); }))},
        {"blend gradient", true, PUT(PutBlendGradient(x, y, a1, a2, a0, across, uint16_t(start), step, o, l, t, r, b)),
         RULE(Each5([&](int c) { return blend(s, d, c, drops(i, j), as[c]); }))},
        {"half", false, PUT(PutHalf(x, y, o, l, t, r, b)), RULE(EachFull([&](int c) { return Full(s, c) / 2 + Full(d, c) / 2; }))},
        {"alpha", false, PUT(PutAlpha(x, y, f0, o, l, t, r, b)), RULE(EachFull([&](int c) { return alpha(s, d, c, f0, 0); }))},
        {"alpha rgb", false, PUT(PutAlphaRGB(x, y, f0, f1, f2, o, l, t, r, b)),
         RULE(EachFull([&](int c) { return alpha(s, d, c, fs[c], 0); }))},
        {"alpha gradient", false, PUT(PutAlphaGradient(x, y, across, uint16_t(start), step, f0, f1, f2, o, l, t, r, b)),
         RULE(EachFull([&](int c) { return alpha(s, d, c, fs[c], float(drops(i, j)) / 32.0f); }))},
        {"add fade", true, PUT(PutAddFade(x, y, amount, o, l, t, r, b)),
         RULE(Each5([&](int c) { return std::min(Sub(C5(s, c), uint32_t(amount)) + C5(d, c), 31u); }))},
        {"add", true, PUT(PutAdd(x, y, o, l, t, r, b)), RULE(Each5([&](int c) { return std::min(C5(s, c) + C5(d, c), 31u); }))},
        {"shadow", true, PUT(PutShadow(x, y, o, l, t, r, b)), RULE(Each5([&](int c) { return Sub(C5(d, c), C5(s, 0)); }))},
        {"dark rgb", true, PUT(PutDarkRGB(x, y, a1, a2, a0, o, l, t, r, b)),
         RULE(Each5([&](int c) { return Sub(C5(s, c), 31 - clamp31(as[c])); }))},
        {"dark", true, PUT(PutDark(x, y, a0, o, l, t, r, b)), RULE(Each5([&](int c) { return Sub(C5(s, c), 31 - clamp31(a0)); }))},
        {"grey", true, PUT(PutGrey(x, y, o, l, t, r, b)), RULE(Each5([&](int) { return (C5(s, 0) + C5(s, 1) + C5(s, 2)) / 3; }))},
        {"channels", false, PUT(PutChannels(x, y, a0 & 1, a1 & 1, a2 & 1, o, l, t, r, b)),
         RULE(EachFull([&](int c) { return keep[c] ? Full(s, c) : 0; }))},
        {"scale rgb", false, PUT(PutScaleRGB(x, y, scale, f1, 2 * f2, o, l, t, r, b)),
         RULE(EachFull([&](int c) { return static_cast<uint32_t>(static_cast<float>(Full(s, c)) * k[c]); }))},
        {"mirror", false, PUT(PutMirror(x, y, mode, o, l, t, r, b)), RULE(s)},  // s is taken through the mapping below
    };
#undef PUT
#undef RULE
    const Effect& e = effects[static_cast<size_t>(run) % effects.size()];
    const bool mirror = std::string(e.name) == "mirror";
    // The picture, the source rectangle inside it, the place and the clip rectangle.
    const int32_t PW = pick(1, 45), PH = pick(1, 30);
    std::vector<uint16_t> pic(static_cast<size_t>(PW * PH));
    for (auto& p : pic) p = pick(0, 7) ? static_cast<uint16_t>(pick(1, 65535) & valid) : 0;
    const int32_t obj = MakeObject(PW, PH, [&](int32_t x, int32_t y) { return pic[static_cast<size_t>(y * PW + x)]; });
    ASSERT_GT(obj, 0);
    const int32_t l = pick(0, PW - 1), t = pick(0, PH - 1), r = pick(l + 1, PW), b = pick(t + 1, PH);
    const int32_t W = r - l, H = b - t;
    const int32_t xs[] = {-W + 1, -W / 2, -1, 0, 3, 321, 640 - W, 640 - W / 2, 639, 640};
    const int32_t ys[] = {-H + 1, -H / 2, -1, 0, 5, 233, 480 - H, 480 - H / 2, 479, 480};
    const int32_t x = xs[pick(0, 9)], y = ys[pick(0, 9)];
    int32_t cl = 0, ct = 0, cr = 640, cb = 480;
    if (pick(0, 2) == 0) cl = x + pick(-3, W), ct = y + pick(-3, H), cr = cl + pick(0, W), cb = ct + pick(0, H);
    if (pick(0, 5) == 0) cl = -100, ct = -100, cr = 2000, cb = 2000;
    elDraw::SetClip(cl, ct, cr, cb);
    SCOPED_TRACE(testing::Message() << e.name << " run " << run << " picture " << PW << "x" << PH << " rect " << l << ","
                                    << t << "," << r << "," << b << " at " << x << "," << y << " clip " << cl << "," << ct
                                    << "," << cr << "," << cb);
    // Background around the put, then the put, then every pixel around it.
    const int32_t x0 = std::max(0, x - 2), x1 = std::min(640, x + W + 2), y0 = std::max(0, y - 2), y1 = std::min(480, y + H + 2);
    auto bg = [&](int32_t px, int32_t py) {
      return static_cast<uint16_t>((static_cast<uint32_t>(px * 7919 + py * 104729 + run * 31) * 2654435761u >> 16) & valid);
    };
    for (int32_t py = y0; py < y1; ++py)
      for (int32_t px = x0; px < x1; ++px) reinterpret_cast<uint16_t*>(BackSurface->Row(py))[px] = bg(px, py);
    ASSERT_EQ(e.put(x, y, obj, l, t, r, b), 1);
    const uint16_t mask = e.table && Fmt().max[1] == 63 ? static_cast<uint16_t>(~0x20) : 0xFFFF;
    for (int32_t py = y0; py < y1; ++py)
      for (int32_t px = x0; px < x1; ++px) {
        const int32_t i = px - x, j = py - y;
        const bool in = i >= 0 && j >= 0 && i < W && j < H && px >= cl && px < cr && py >= ct && py < cb;
        const int32_t si = mirror && (mode & 1) ? W - 1 - i : i, sj = mirror && (mode & 2) ? H - 1 - j : j;
        const uint16_t s = in ? pic[static_cast<size_t>((t + sj) * PW + l + si)] : 0, d = bg(px, py);
        const uint16_t want = s ? e.want(s, d, i, j) : d;
        ASSERT_EQ(At(px, py) & mask, want & mask) << std::hex << "at " << std::dec << px << "," << py << std::hex
                                                  << " source " << s << " screen " << d;
      }
    elDraw::ReleaseObject(obj);
  }
  elDraw::SetClip(0, 0, 640, 480);
}

// Every pair of channel values under many alphas, on a put large enough to be planned as a whole:
// source column i and screen row j hold i in every channel (blue mirrored, so none is black).
void EffectsTest::AlphaPairs() {
  auto pixel = [](int32_t v) { return EachFull([&](int c) { return c == 2 ? 31 - v % 32 : uint32_t(v) % (Fmt().max[c] + 1); }); };
  const int32_t obj = MakeObject(128, 128, [&](int32_t x, int32_t) { return pixel(x); });
  std::vector<float> alphas = {-0.5f, 1.5f, 1e-30f, 0.999999f, 0.3f, 0.7f};
  std::mt19937 rng(9);
  for (int k = 0; k <= 100; ++k) alphas.push_back(k / 100.0f), alphas.push_back(std::uniform_real_distribution<float>(0, 1)(rng));
  for (float a : alphas) {
    for (int32_t i = 0; i < 128 * 128; ++i) reinterpret_cast<uint16_t*>(BackSurface->Row(i / 128))[i % 128] = pixel(i / 128);
    ASSERT_EQ(elDraw::PutAlpha(0, 0, a, obj, 0, 0, 128, 128), 1);
    for (int32_t i = 0; i < 128 * 128; ++i) {
      const uint16_t s = pixel(i % 128), d = pixel(i / 128);
      ASSERT_EQ(At(i % 128, i / 128), EachFull([&](int c) { return Alpha(Full(s, c), Full(d, c), a, 1 - a); })) << a << " at " << i;
    }
  }
}

TEST_F(EffectsTest, PixelRulesAgainstTheModel) { ModelCheck(); }
TEST_F(EffectsTest, AlphaOverEveryPairOfChannelValues) { AlphaPairs(); }

class Effects555Test : public EffectsTest {
  void Configure() override { plat::headless::SetSixteenBitFormat(plat::PixelFormat::RGB555); }
};
TEST_F(Effects555Test, PixelRulesAgainstTheModel) { ModelCheck(); }
TEST_F(Effects555Test, AlphaOverEveryPairOfChannelValues) { AlphaPairs(); }

TEST_F(EffectsTest, NeighbourFilters) {
  // Blurred: k = 2 moves the block at the last column left; 3 x 3 divides by 9.
  const int32_t halves = MakeObject(4, 4, [](int32_t x, int32_t) { return x < 2 ? P5(8, 8, 8) : P5(16, 0, 24); });
  EXPECT_EQ(elDraw::PutBlurred(0, 0, 2, halves, 0, 0, 4, 4), 1);
  elDraw::PutBlurred(10, 0, 3, halves, 0, 0, 4, 4);
  const uint16_t row[4] = {P5(8, 8, 8), P5(12, 4, 16), P5(16, 0, 24), P5(16, 0, 24)};
  for (int32_t i = 0; i < 16; ++i) EXPECT_EQ(At(i % 4, i / 4), row[i % 4]) << i;
  EXPECT_EQ(At(10, 0), P5((8 * 6 + 16 * 3) / 9, 48 / 9, (8 * 6 + 24 * 3) / 9));
  EXPECT_EQ(At(11, 3), P5((8 * 3 + 16 * 6) / 9, 24 / 9, (8 * 3 + 24 * 6) / 9));
  elDraw::PutBlurred(20, 0, 0, halves, 0, 0, 4, 4);  // blocks of one (k below 1 is 1): a plain copy
  EXPECT_TRUE(At(20, 0) == P5(8, 8, 8) && At(23, 3) == P5(16, 0, 24));
  // Smooth edge: a pixel averages itself with the screen under its key neighbours inside the rectangle.
  auto bg = [](int32_t x, int32_t y) { return std::array<uint32_t, 3>{uint32_t(x % 8) * 4, uint32_t(y % 8) * 4, 9}; };
  FillScreen([&](int32_t x, int32_t y) { return P5(bg(x, y)[0], bg(x, y)[1], 9); });
  const int32_t dots = MakeObject(5, 3, [](int32_t x, int32_t y) { return (x + y) % 2 ? uint16_t{0} : P5(30, 20, 10); });
  EXPECT_EQ(elDraw::PutSmoothEdge(2, 2, dots, 0, 0, 5, 3), 1);
  for (int32_t j = 0; j < 3; ++j)
    for (int32_t i = 0; i < 5; ++i) {
      std::array<uint32_t, 3> sum = (i + j) % 2 ? bg(i + 2, j + 2) : std::array<uint32_t, 3>{30, 20, 10};
      uint32_t n = 1;
      const int32_t nb[4][2] = {{i - 1, j}, {i + 1, j}, {i, j - 1}, {i, j + 1}};
      for (auto& q : nb)
        for (int c = 0; (i + j) % 2 == 0 && q[0] >= 0 && q[1] >= 0 && q[0] < 5 && q[1] < 3 && c < 3; ++c)
          sum[c] += bg(q[0] + 2, q[1] + 2)[c], n += c == 2;
      EXPECT_EQ(At(i + 2, j + 2), P5(sum[0] / n, sum[1] / n, sum[2] / n)) << i << "," << j;
    }
  // Noise: each channel shifted right, plus 0..2, never past 31.
  const int32_t bright = MakeObject(40, 30, [](int32_t x, int32_t) { return P5(31, 28, static_cast<uint32_t>(x % 8)); });
  for (uint32_t shift : {0u, 2u}) {
    EXPECT_EQ(elDraw::PutNoise(0, 0, static_cast<int32_t>(shift), bright, 0, 0, 40, 30), 1);
    for (int32_t i = 0; i < 40 * 30; ++i) {
      uint32_t got[3], was[3] = {31, 28, uint32_t(i % 40 % 8)};
      Split5(At(i % 40, i / 40), &got[0], &got[1], &got[2]);
      for (int c = 0; c < 3; ++c) ASSERT_TRUE(got[c] >= was[c] >> shift && got[c] <= std::min(31u, (was[c] >> shift) + 2)) << i;
    }
  }
}

TEST_F(EffectsTest, RowPuts) {
  FillScreen([](int32_t, int32_t) { return uint16_t{0}; });
  const int32_t coded = MakeObject(32, 32, Coded);
  elDraw::PutRowsStep(0, 0, 4, coded, 0, 0, 32, 32);
  for (int32_t y = 0; y < 32; ++y) ASSERT_EQ(At(5, y), y % 4 == 0 && y ? Coded(5, y) : 0) << y;
  SineRowPhase = 0;  // sine rows from phase 0: every destination row shows a source row, in order
  FrameSeconds = 0.5f;
  elDraw::PutSineRows(100, 0, 1, 2.0f, coded, 0, 0, 32, 32);
  for (int32_t y = 1; y < 32; ++y) ASSERT_GE(At(100, y), At(100, y - 1)) << y;
  EXPECT_NE(At(100, 0), 0);
  EXPECT_FLOAT_EQ(SineRowPhase, 1.0f);
}

// Wholly clipped puts answer 1 without locking; visible ones whose lock fails answer 0; bad
// rectangles and objects are refused and draw nothing.
TEST_F(EffectsTest, RefusalsAndLockFailures) {
  const int32_t p = MakeObject(40, 30, Coded);
  FillScreen([](int32_t, int32_t) { return P5(1, 2, 3); });
  plat::Dc* dc = nullptr;
  ASSERT_EQ(plat::GetSurfaceDc(BackSurface, &dc), plat::DD_OK);  // the back screen cannot be locked now
  EXPECT_EQ((std::vector<int>{elDraw::PutBlend(640, 0, 31, p, 0, 0, 40, 30), elDraw::PutAdd(-40, 0, p, 0, 0, 40, 30),
                              elDraw::PutDark(0, 480, 3, p, 0, 0, 40, 30), elDraw::PutRotate(-100, 0, -1, 100, 30, p, 0, 0, 40, 30),
                              elDraw::PutBlend(0, 0, 31, p, 0, 0, 40, 30), elDraw::PutSmoothEdge(0, 0, p, 0, 0, 40, 30),
                              elDraw::PutRotate(0, 0, 40, 40, 30, p, 0, 0, 40, 30)}),
            (std::vector<int>{1, 1, 1, 1, 0, 0, 0}));
  plat::ReleaseSurfaceDc(BackSurface, dc);
  EXPECT_EQ((std::vector<int>{elDraw::PutBlend(0, 0, 31, p, 0, 0, 41, 30), elDraw::PutBlend(0, 0, 31, p, -1, 0, 40, 30),
                              elDraw::PutAdd(0, 0, p, 30, 20, 2000000000, 2000000000), elDraw::PutMirror(0, 0, 1, p, 0, 0, 40, 31),
                              elDraw::PutBlurred(0, 0, 2, p, 0, 0, 40, 31), elDraw::PutBlend(0, 0, 31, 999, 0, 0, 40, 30),
                              elDraw::PutBlend(0, 0, 31, -1, 0, 0, 40, 30), elDraw::PutRotate(0, 0, 50, 50, 0, p, 0, 0, 41, 30)}),
            std::vector<int>(8, 0));
  for (int32_t i = 0; i < 80 * 60; ++i) ASSERT_EQ(At(i % 80, i / 80), P5(1, 2, 3)) << i;
}

}  // namespace
