// Per-pixel effect puts: blends, adds, darkening and the other table members, the black key,
// clipping and refusals.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "el/elDraw.h"
#include "el/elSystem.h"
#include "tests/support/effects_support.h"

using namespace efftest;

namespace {

// A pseudo-random 5-bit pixel that is never black.
uint16_t Noisy(int32_t x, int32_t y) {
  uint32_t h = static_cast<uint32_t>(x * 7919 + y * 104729) * 2654435761u;
  return P5((h >> 3) & 31, (h >> 9) & 31, ((h >> 15) & 31) | 1);
}
// The same with every tenth pixel black (the key).
uint16_t Holey(int32_t x, int32_t y) { return (x + 3 * y) % 10 == 0 ? 0 : Noisy(x + 5, y + 11); }
uint16_t Background(int32_t x, int32_t y) { return Noisy(x + 101, y + 7); }

class EffectsTest : public drawtest::DrawTest {
 protected:
  int32_t pic = 0;
  void SetUp() override {
    DrawTest::SetUp();
    ASSERT_EQ(screenResult, 1);
    pic = MakeObject(40, 30, Holey);
    ASSERT_GT(pic, 0);
    FillScreen(Background);
  }
  // Checks every pixel of the 40 x 30 put at (x0, y0): key pixels keep the background, the others
  // equal expect(source, background); pixels outside keep the background.
  template <class F>
  void ExpectPut(int32_t x0, int32_t y0, F expect) {
    for (int32_t y = 0; y < 60; ++y)
      for (int32_t x = 0; x < 80; ++x) {
        const int32_t i = x - x0, j = y - y0;
        const bool inside = i >= 0 && j >= 0 && i < 40 && j < 30;
        const uint16_t bg = Background(x, y);
        const uint16_t want = inside && Holey(i, j) ? expect(Holey(i, j), bg) : bg;
        ASSERT_EQ(At(x, y), want) << x << "," << y;
      }
  }
};

TEST_F(EffectsTest, BlendAt31IsTheSourceAt0TheBackground) {
  EXPECT_EQ(elDraw::PutBlend(10, 10, 31, pic, 0, 0, 40, 30), 1);
  ExpectPut(10, 10, [](uint16_t s, uint16_t) { return s; });
  FillScreen(Background);
  EXPECT_EQ(elDraw::PutBlend(10, 10, 0, pic, 0, 0, 40, 30), 1);
  ExpectPut(10, 10, [](uint16_t, uint16_t d) { return d; });
  // Out-of-range alphas are held to 0..31.
  FillScreen(Background);
  EXPECT_EQ(elDraw::PutBlend(10, 10, 99, pic, 0, 0, 40, 30), 1);
  ExpectPut(10, 10, [](uint16_t s, uint16_t) { return s; });
}

TEST_F(EffectsTest, BlendMiddleIsASubtractiveCrossFade) {
  elDraw::PutBlend(5, 5, 16, pic, 0, 0, 40, 30);
  ExpectPut(5, 5, [](uint16_t s, uint16_t d) {
    uint32_t sr, sg, sb, dr, dg, db;
    Split5(s, &sr, &sg, &sb);
    Split5(d, &dr, &dg, &db);
    auto mix = [](int32_t a, int32_t b) { return static_cast<uint32_t>(std::max(a - 15, 0) + std::max(b - 16, 0)); };
    return P5(mix(sr, dr), mix(sg, dg), mix(sb, db));
  });
  FillScreen(Background);
  elDraw::PutBlendRGB(5, 5, 31, 0, 31, pic, 0, 0, 40, 30);  // red and blue of the source, green of the screen
  ExpectPut(5, 5, [](uint16_t s, uint16_t d) {
    uint32_t sr, sg, sb, dr, dg, db;
    Split5(s, &sr, &sg, &sb);
    Split5(d, &dr, &dg, &db);
    return P5(sr, dg, sb);
  });
}

TEST_F(EffectsTest, AddOfWhiteIsWhiteAndSumsSaturate) {
  int32_t white = MakeObject(40, 30, [](int32_t, int32_t) { return static_cast<uint16_t>(0xFFFF); });
  elDraw::PutAdd(0, 0, white, 0, 0, 40, 30);
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 40; ++x) ASSERT_EQ(At(x, y), WhitePixel);
  FillScreen(Background);
  elDraw::PutAdd(3, 4, pic, 0, 0, 40, 30);
  ExpectPut(3, 4, [](uint16_t s, uint16_t d) {
    uint32_t sr, sg, sb, dr, dg, db;
    Split5(s, &sr, &sg, &sb);
    Split5(d, &dr, &dg, &db);
    return P5(std::min(sr + dr, 31u), std::min(sg + dg, 31u), std::min(sb + db, 31u));
  });
  FillScreen(Background);
  elDraw::PutAddFade(3, 4, 10.7f, pic, 0, 0, 40, 30);  // the amount is truncated to 10
  ExpectPut(3, 4, [](uint16_t s, uint16_t d) {
    uint32_t sr, sg, sb, dr, dg, db;
    Split5(s, &sr, &sg, &sb);
    Split5(d, &dr, &dg, &db);
    auto f = [](uint32_t a, uint32_t b) { return std::min((a > 10 ? a - 10 : 0) + b, 31u); };
    return P5(f(sr, dr), f(sg, dg), f(sb, db));
  });
}

TEST_F(EffectsTest, DarkAt31EqualsAKeyedPutAndAt0IsBlack) {
  elDraw::PutDark(7, 2, 31, pic, 0, 0, 40, 30);
  std::vector<uint16_t> dark;
  for (int32_t y = 0; y < 60; ++y)
    for (int32_t x = 0; x < 80; ++x) dark.push_back(At(x, y));
  FillScreen(Background);
  elDraw::Put(7, 2, pic, 0, 0, 40, 30);
  for (int32_t y = 0; y < 60; ++y)
    for (int32_t x = 0; x < 80; ++x) ASSERT_EQ(At(x, y), dark[static_cast<size_t>(y * 80 + x)]);
  FillScreen(Background);
  elDraw::PutDark(7, 2, 0, pic, 0, 0, 40, 30);
  ExpectPut(7, 2, [](uint16_t, uint16_t) { return uint16_t{0}; });
  FillScreen(Background);
  elDraw::PutDarkRGB(7, 2, 31, 21, 0, pic, 0, 0, 40, 30);
  ExpectPut(7, 2, [](uint16_t s, uint16_t) {
    uint32_t r, g, b;
    Split5(s, &r, &g, &b);
    return P5(r, g > 10 ? g - 10 : 0, 0);
  });
}

// Every 5-6-5 pixel, odd greens included: the table members give back exactly the pixels they
// leave alone, and otherwise follow the per-channel rules on 5-bit channels (green's top five bits).
TEST_F(EffectsTest, TableMembersOverEverySixteenBitPixel) {
  ASSERT_EQ(GMask, 0x07E0u);
  auto any = [](int32_t x, int32_t y) {  // a background of arbitrary 16-bit pixels
    return static_cast<uint16_t>((static_cast<uint32_t>(x * 7919 + y * 104729) * 2654435761u) >> 16);
  };
  const int32_t all = MakeObject(256, 256, [](int32_t x, int32_t y) { return static_cast<uint16_t>(y * 256 + x); });
  struct Ch {
    int32_t r, g, b;
  };
  auto split = [](uint32_t p) { return Ch{int32_t(p >> 11), int32_t((p >> 6) & 31), int32_t(p & 31)}; };
  // Puts the whole object over the background and checks each pixel against want(source, screen).
  auto check = [&](const char* what, auto put, auto want) {
    SCOPED_TRACE(what);
    FillScreen(any);
    put();
    for (int32_t y = 0; y < 256; ++y)
      for (int32_t x = 0; x < 256; ++x) {
        const uint16_t s = static_cast<uint16_t>(y * 256 + x), d = any(x, y);
        ASSERT_TRUE(want(s, d, At(x, y))) << std::hex << "source " << s << " screen " << d << " gives " << At(x, y);
      }
  };
  auto same = [](uint16_t s, uint16_t d, uint16_t p) { return p == (s ? s : d); };
  check("dark 31", [&] { elDraw::PutDark(0, 0, 31, all, 0, 0, 256, 256); }, same);
  check("blend 31", [&] { elDraw::PutBlend(0, 0, 31, all, 0, 0, 256, 256); }, same);
  check("blend 0", [&] { elDraw::PutBlend(0, 0, 0, all, 0, 0, 256, 256); },
        [](uint16_t, uint16_t d, uint16_t p) { return p == d; });
  check("rotated blend 31", [&] { elDraw::PutRotateBlend(0, 0, 256, 256, 0, 31, all, 0, 0, 256, 256); }, same);
  for (int32_t level : {1, 16, 30}) {
    check("dark", [&] { elDraw::PutDark(0, 0, level, all, 0, 0, 256, 256); }, [&](uint16_t s, uint16_t d, uint16_t p) {
      if (!s) return p == d;
      const Ch a = split(s), o = split(p);
      auto f = [&](int32_t c) { return std::max(c - (31 - level), 0); };
      return o.r == f(a.r) && o.g == f(a.g) && o.b == f(a.b);
    });
  }
  for (int32_t alpha : {5, 16, 27}) {
    check("blend", [&] { elDraw::PutBlend(0, 0, alpha, all, 0, 0, 256, 256); },
          [&](uint16_t s, uint16_t d, uint16_t p) {
            if (!s) return p == d;
            const Ch a = split(s), b = split(d), o = split(p);
            auto f = [&](int32_t sc, int32_t dc) { return std::max(sc - (31 - alpha), 0) + std::max(dc - alpha, 0); };
            return o.r == f(a.r, b.r) && o.g == f(a.g, b.g) && o.b == f(a.b, b.b);
          });
  }
  // Adding onto black gives the source; adding white gives white.
  FillScreen([](int32_t, int32_t) { return uint16_t{0}; });
  elDraw::PutAdd(0, 0, all, 0, 0, 256, 256);
  for (int32_t y = 0; y < 256; ++y)
    for (int32_t x = 0; x < 256; ++x) ASSERT_EQ(At(x, y), y * 256 + x);
  const int32_t white = MakeObject(8, 8, [](int32_t, int32_t) { return static_cast<uint16_t>(0xFFFF); });
  elDraw::PutAdd(0, 0, white, 0, 0, 8, 8);
  EXPECT_EQ(At(7, 7), 0xFFFF);
}

// The whole-rectangle puts work many pixels at a time; the gradient puts with no step still go one
// pixel at a time through the tables and the single-precision formula. Over every 16-bit source
// pixel (the first rows of them), on a different arbitrary background each time, both must give
// the same screen.
namespace {

void ExpectPutsAgreeWithTheirGradients(int32_t rows) {
  const int32_t all = MakeObject(256, rows, [](int32_t x, int32_t y) { return static_cast<uint16_t>(y * 256 + x); });
  uint32_t seed = 1;
  auto compare = [&](const char* what, auto put, auto twin) {
    SCOPED_TRACE(what);
    ++seed;
    auto any = [&](int32_t x, int32_t y) {
      const uint32_t h = (static_cast<uint32_t>(x * 7919 + y * 104729) * 2654435761u * seed) >> 16;
      return static_cast<uint16_t>(h & (RMask | GMask | BMask));
    };
    std::vector<uint16_t> want(256 * rows);
    FillScreen(any);
    twin();
    for (int32_t i = 0; i < 256 * rows; ++i) want[i] = At(i % 256, i / 256);
    FillScreen(any);
    put();
    for (int32_t i = 0; i < 256 * rows; ++i)
      ASSERT_EQ(At(i % 256, i / 256), want[i]) << std::hex << "source " << i << " screen " << any(i % 256, i / 256);
  };
  for (int32_t a = -1; a <= 32; ++a) {
    const int32_t g = (a * 7) % 32, b = 31 - a;  // other channels at other levels
    compare("blend", [&] { elDraw::PutBlend(0, 0, a, all, 0, 0, 256, rows); },
            [&] { elDraw::PutBlendGradient(0, 0, a, a, a, 0, 0, 0, all, 0, 0, 256, rows); });
    compare("blend rgb", [&] { elDraw::PutBlendRGB(0, 0, a, g, b, all, 0, 0, 256, rows); },
            [&] { elDraw::PutBlendGradient(0, 0, a, g, b, 0, 0, 0, all, 0, 0, 256, rows); });
  }
  std::vector<float> alphas = {0.3f, 1.0f / 3, 0.7f, 0.999f, 0.001f, 0.1f, 0.9f};
  for (int32_t k = 0; k <= 64; ++k) alphas.push_back(k / 64.0f);
  for (float a : alphas) {
    compare("alpha", [&] { elDraw::PutAlpha(0, 0, a, all, 0, 0, 256, rows); },
            [&] { elDraw::PutAlphaGradient(0, 0, 0, 0, 0, a, a, a, all, 0, 0, 256, rows); });
    const float g = 1.0f - a, b = a * 0.5f;
    compare("alpha rgb", [&] { elDraw::PutAlphaRGB(0, 0, a, g, b, all, 0, 0, 256, rows); },
            [&] { elDraw::PutAlphaGradient(0, 0, 0, 0, 0, a, g, b, all, 0, 0, 256, rows); });
  }
}

}  // namespace

TEST_F(EffectsTest, PutsAgreeWithTheirGradientsWithoutSteps) { ExpectPutsAgreeWithTheirGradients(256); }

class Effects555Test : public EffectsTest {
  void Configure() override { plat::headless::SetSixteenBitFormat(plat::PixelFormat::RGB555); }
};

TEST_F(Effects555Test, PutsAgreeWithTheirGradientsAndKeepWhatTheyLeaveAlone) {
  ASSERT_EQ(GMask, 0x03E0u);
  ExpectPutsAgreeWithTheirGradients(128);  // bit 15 is no part of a 5-5-5 pixel
  const int32_t all = MakeObject(256, 128, [](int32_t x, int32_t y) { return static_cast<uint16_t>(y * 256 + x); });
  FillScreen([](int32_t, int32_t) { return uint16_t{0}; });
  elDraw::PutAdd(0, 0, all, 0, 0, 256, 128);
  for (int32_t i = 0; i < 256 * 128; ++i) ASSERT_EQ(At(i % 256, i / 256), i);
  FillScreen([](int32_t, int32_t) { return uint16_t{0x7FFF}; });
  elDraw::PutDark(0, 0, 31, all, 0, 0, 256, 128);
  for (int32_t i = 1; i < 256 * 128; ++i) ASSERT_EQ(At(i % 256, i / 256), i);
}

// Adding with a fade over every 16-bit source pixel: per channel min(max(source - amount, 0) +
// screen, 31) on the 5-bit channels.
TEST_F(EffectsTest, AddFadeOverEverySixteenBitPixel) {
  const int32_t all = MakeObject(256, 256, [](int32_t x, int32_t y) { return static_cast<uint16_t>(y * 256 + x); });
  auto any = [](int32_t x, int32_t y) {
    return static_cast<uint16_t>((static_cast<uint32_t>(x * 7919 + y * 104729) * 2654435761u) >> 16);
  };
  for (int32_t amount : {0, 1, 9, 30, 31}) {
    FillScreen(any);
    elDraw::PutAddFade(0, 0, static_cast<float>(amount), all, 0, 0, 256, 256);
    for (int32_t y = 0; y < 256; ++y)
      for (int32_t x = 0; x < 256; ++x) {
        const uint16_t s = static_cast<uint16_t>(y * 256 + x), d = any(x, y), p = At(x, y);
        if (!s) {
          ASSERT_EQ(p, d);
          continue;
        }
        uint32_t sc[3], dc[3], pc[3];
        Split5(s, &sc[0], &sc[1], &sc[2]);
        Split5(d, &dc[0], &dc[1], &dc[2]);
        Split5(p, &pc[0], &pc[1], &pc[2]);
        for (int ch = 0; ch < 3; ++ch) {
          const int32_t cut = std::max(static_cast<int32_t>(sc[ch]) - amount, 0);
          ASSERT_EQ(pc[ch], static_cast<uint32_t>(std::min(cut + static_cast<int32_t>(dc[ch]), 31)))
              << amount << " source " << s << " screen " << d;
        }
      }
  }
}

TEST_F(EffectsTest, HalfGreyShadowChannelsAndScale) {
  elDraw::PutHalf(0, 0, pic, 0, 0, 40, 30);
  ExpectPut(0, 0, [](uint16_t s, uint16_t d) {
    return static_cast<uint16_t>(((s >> 1) & HalfMask) + ((d >> 1) & HalfMask));
  });
  FillScreen(Background);
  elDraw::PutGrey(0, 0, pic, 0, 0, 40, 30);
  ExpectPut(0, 0, [](uint16_t s, uint16_t) {
    uint32_t r, g, b;
    Split5(s, &r, &g, &b);
    uint32_t v = (r + g + b) / 3;
    return P5(v, v, v);
  });
  FillScreen(Background);
  elDraw::PutShadow(0, 0, pic, 0, 0, 40, 30);
  ExpectPut(0, 0, [](uint16_t s, uint16_t d) {
    uint32_t sr, sg, sb, dr, dg, db;
    Split5(s, &sr, &sg, &sb);
    Split5(d, &dr, &dg, &db);
    auto f = [&](uint32_t c) { return c > sr ? c - sr : 0; };
    return P5(f(dr), f(dg), f(db));
  });
  FillScreen(Background);
  elDraw::PutChannels(0, 0, 1, 0, 1, pic, 0, 0, 40, 30);
  ExpectPut(0, 0, [](uint16_t s, uint16_t) { return static_cast<uint16_t>(s & (RMask | BMask)); });
  // Scaling by 3 stops at each channel's maximum instead of carrying into the next channel.
  FillScreen(Background);
  elDraw::PutScale(0, 0, 3.0f, pic, 0, 0, 40, 30);
  ExpectPut(0, 0, [](uint16_t s, uint16_t) {
    uint32_t r = (s & RMask) >> RShift, g = (s & GMask) >> GShift, b = (s & BMask) >> BShift;
    return static_cast<uint16_t>(std::min(r * 3, RMax) << RShift | std::min(g * 3, GMax) << GShift |
                                 std::min(b * 3, BMax) << BShift);
  });
  FillScreen(Background);
  elDraw::PutScaleRGB(0, 0, 1.0f, 0.5f, 0.0f, pic, 0, 0, 40, 30);
  ExpectPut(0, 0, [](uint16_t s, uint16_t) {
    uint32_t g = (s & GMask) >> GShift;
    return static_cast<uint16_t>((s & RMask) | (g / 2) << GShift);
  });
}

TEST_F(EffectsTest, AlphaAtFullChannelWidth) {
  // PutAlpha keeps green's sixth bit, unlike the table members.
  int32_t odd = MakeObject(4, 1, [](int32_t x, int32_t) { return static_cast<uint16_t>(0x0841 * (x + 1)); });
  elDraw::PutAlpha(0, 0, 1.0f, odd, 0, 0, 4, 1);
  for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(At(x, 0), 0x0841 * (x + 1));
  elDraw::PutAlpha(0, 0, 0.0f, odd, 0, 0, 4, 1);
  for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(At(x, 0), 0x0841 * (x + 1));
  FillScreen([](int32_t, int32_t) { return static_cast<uint16_t>(0xFFFF); });
  elDraw::PutAlpha(0, 0, 0.5f, odd, 0, 0, 1, 1);  // 1 and 31/63/31: trunc(0.5 + 15.5), trunc(0.5 + 31.5)
  EXPECT_EQ(At(0, 0), (16 << 11) | (32 << 5) | 16);
  elDraw::PutAlphaRGB(1, 0, 1.0f, 0.0f, 1.0f, odd, 1, 0, 2, 1);
  EXPECT_EQ(At(1, 0), (2 << 11) | (63 << 5) | 2);
}

TEST_F(EffectsTest, GradientsDropTheScreensShareEveryStep) {
  FillScreen([](int32_t, int32_t) { return P5(31, 31, 31); });
  int32_t black = MakeObject(64, 2, [](int32_t, int32_t) { return P5(0, 0, 1); });
  // Source share 0: what is left is the screen's share, 1 for the first 8 columns, then 1/32 less
  // every 4 columns.
  elDraw::PutAlphaGradient(0, 0, 0, 8, 4, 0.0f, 0.0f, 0.0f, black, 0, 0, 64, 2);
  for (int32_t x = 0; x < 64; ++x) {
    const uint32_t drop = x < 8 ? 0 : static_cast<uint32_t>((x - 8) / 4);
    const double share = 1.0 - drop / 32.0;
    const uint32_t v = static_cast<uint32_t>(31 * share), g = static_cast<uint32_t>(62 * share);
    ASSERT_EQ(At(x, 1), (v << 11) | (g << 5) | v) << x;
  }
  FillScreen([](int32_t, int32_t) { return P5(31, 31, 31); });
  elDraw::PutBlendGradient(0, 0, 0, 0, 0, 1, 0, 1, black, 0, 0, 64, 2);  // across rows
  EXPECT_EQ(At(5, 0), P5(31, 31, 31));
  EXPECT_EQ(At(5, 1), P5(30, 30, 30));
}

TEST_F(EffectsTest, BlackPixelsNeverChangeTheScreen) {
  int32_t key = MakeObject(40, 30, [](int32_t, int32_t) { return uint16_t{0}; });
  elDraw::PutBlend(0, 0, 20, key, 0, 0, 40, 30);
  elDraw::PutBlendRGB(0, 0, 20, 3, 9, key, 0, 0, 40, 30);
  elDraw::PutHalf(0, 0, key, 0, 0, 40, 30);
  elDraw::PutAlpha(0, 0, 0.3f, key, 0, 0, 40, 30);
  elDraw::PutAlphaGradient(0, 0, 0, 2, 2, 0.3f, 0.3f, 0.3f, key, 0, 0, 40, 30);
  elDraw::PutBlendGradient(0, 0, 3, 3, 3, 1, 2, 2, key, 0, 0, 40, 30);
  elDraw::PutAdd(0, 0, key, 0, 0, 40, 30);
  elDraw::PutAddFade(0, 0, 4, key, 0, 0, 40, 30);
  elDraw::PutShadow(0, 0, key, 0, 0, 40, 30);
  elDraw::PutDark(0, 0, 3, key, 0, 0, 40, 30);
  elDraw::PutSmoothEdge(0, 0, key, 0, 0, 40, 30);
  elDraw::PutChannels(0, 0, 0, 0, 0, key, 0, 0, 40, 30);
  elDraw::PutScale(0, 0, 0.5f, key, 0, 0, 40, 30);
  elDraw::PutBlurred(0, 0, 3, key, 0, 0, 40, 30);
  elDraw::PutGrey(0, 0, key, 0, 0, 40, 30);
  elDraw::PutMirror(0, 0, 3, key, 0, 0, 40, 30);
  elDraw::PutNoise(0, 0, 1, key, 0, 0, 40, 30);
  elDraw::PutZoom(0, 0, 1.5f, key, 0, 0, 40, 30);
  elDraw::PutSwirl(0, 0, 90.0f, key, 0, 0, 40, 30);
  ExpectPut(0, 0, [](uint16_t, uint16_t d) { return d; });
}

TEST_F(EffectsTest, ClippingTakesTheSourceFromTheCutSide) {
  elDraw::PutBlend(-10, -5, 31, pic, 0, 0, 40, 30);
  ExpectPut(-10, -5, [](uint16_t s, uint16_t) { return s; });
  FillScreen(Background);
  elDraw::SetClip(12, 8, 30, 20);
  elDraw::PutMirror(5, 5, 1, pic, 0, 0, 40, 30);  // mirrored left to right
  for (int32_t y = 0; y < 60; ++y)
    for (int32_t x = 0; x < 80; ++x) {
      const bool in = x >= 12 && x < 30 && y >= 8 && y < 20;
      const uint16_t s = in ? Holey(39 - (x - 5), y - 5) : 0;
      ASSERT_EQ(At(x, y), s ? s : Background(x, y)) << x << "," << y;
    }
  FillScreen(Background);
  elDraw::PutMirror(5, 5, 3, pic, 0, 0, 40, 30);  // both ways
  EXPECT_EQ(At(12, 8), Holey(39 - 7, 29 - 3) ? Holey(39 - 7, 29 - 3) : Background(12, 8));
  elDraw::SetClip(0, 0, 640, 480);
}

TEST_F(EffectsTest, WhollyClippedReturnsOneWithoutLocking) {
  // While a device context is out the back screen cannot be locked: any lock would fail with 0.
  plat::Dc* dc = nullptr;
  ASSERT_EQ(plat::GetSurfaceDc(BackSurface, &dc), plat::DD_OK);
  EXPECT_EQ(elDraw::PutBlend(640, 0, 31, pic, 0, 0, 40, 30), 1);
  EXPECT_EQ(elDraw::PutAdd(-40, 0, pic, 0, 0, 40, 30), 1);
  EXPECT_EQ(elDraw::PutDark(0, 480, 3, pic, 0, 0, 40, 30), 1);
  EXPECT_EQ(elDraw::PutRotate(-100, 0, -1, 100, 30, pic, 0, 0, 40, 30), 1);
  EXPECT_EQ(elDraw::PutBlend(0, 0, 31, pic, 0, 0, 40, 30), 0);  // visible: the lock fails
  EXPECT_EQ(elDraw::PutRotate(0, 0, 40, 40, 30, pic, 0, 0, 40, 30), 0);
  plat::ReleaseSurfaceDc(BackSurface, dc);
  ExpectPut(0, 0, [](uint16_t, uint16_t d) { return d; });
}

TEST_F(EffectsTest, RectanglesOutsideTheObjectOrScreenAreRefused) {
  EXPECT_EQ(elDraw::PutBlend(0, 0, 31, pic, 0, 0, 41, 30), 0);
  EXPECT_EQ(elDraw::PutBlend(0, 0, 31, pic, -1, 0, 40, 30), 0);
  EXPECT_EQ(elDraw::PutAdd(0, 0, pic, 30, 20, 2000000000, 2000000000), 0);
  EXPECT_EQ(elDraw::PutMirror(0, 0, 1, pic, 0, 0, 40, 31), 0);
  EXPECT_EQ(elDraw::PutBlend(0, 0, 31, 999, 0, 0, 40, 30), 0);
  EXPECT_EQ(elDraw::PutBlend(0, 0, 31, -1, 0, 0, 40, 30), 0);
  EXPECT_EQ(elDraw::PutRotate(0, 0, 50, 50, 0, pic, 0, 0, 41, 30), 0);
  ExpectPut(0, 0, [](uint16_t, uint16_t d) { return d; });
  // A clip rectangle larger than the screen does not let a put past the screen's edge.
  elDraw::SetClip(-100, -100, 2000, 2000);
  EXPECT_EQ(elDraw::PutBlend(620, 470, 31, pic, 0, 0, 40, 30), 1);
  EXPECT_EQ(elDraw::PutBlend(-20, -20, 31, pic, 0, 0, 40, 30), 1);
  EXPECT_EQ(At(639, 479), Holey(19, 9) ? Holey(19, 9) : Background(639, 479));
  EXPECT_EQ(At(0, 0), Holey(20, 20) ? Holey(20, 20) : Background(0, 0));
  EXPECT_EQ(elDraw::PutRotate(600, 450, 700, 550, 45, pic, 0, 0, 40, 30), 1);
  EXPECT_EQ(elDraw::PutRotate(-60, -60, 40, 40, 45, pic, 0, 0, 40, 30), 1);
  elDraw::SetClip(0, 0, 640, 480);
}

TEST_F(EffectsTest, BlurredSmoothEdgeAndNoise) {
  // A 4 x 4 picture of two colours in vertical halves; with k = 2 the block at the last column is moved
  // left so that it stays inside, and the middle column averages both halves.
  int32_t halves = MakeObject(4, 4, [](int32_t x, int32_t) { return x < 2 ? P5(8, 8, 8) : P5(16, 0, 24); });
  elDraw::PutBlurred(0, 0, 2, halves, 0, 0, 4, 4);
  EXPECT_EQ(At(0, 0), P5(8, 8, 8));
  EXPECT_EQ(At(1, 3), P5(12, 4, 16));
  EXPECT_EQ(At(3, 3), P5(16, 0, 24));
  elDraw::PutBlurred(10, 0, 3, halves, 0, 0, 4, 4);  // 3 x 3 blocks: sum / 9
  EXPECT_EQ(At(10, 0), P5((8 * 6 + 16 * 3) / 9, 48 / 9, (8 * 6 + 24 * 3) / 9));

  // A lone pixel over black averages itself with its four key neighbours' screen pixels.
  FillScreen([](int32_t, int32_t) { return uint16_t{0}; });
  int32_t dot = MakeObject(3, 3, [](int32_t x, int32_t y) { return x == 1 && y == 1 ? P5(30, 20, 10) : 0; });
  elDraw::PutSmoothEdge(0, 0, dot, 0, 0, 3, 3);
  EXPECT_EQ(At(1, 1), P5(6, 4, 2));
  EXPECT_EQ(At(0, 1), 0);
  int32_t solid = MakeObject(3, 3, [](int32_t, int32_t) { return P5(30, 20, 10); });
  elDraw::PutSmoothEdge(5, 5, solid, 0, 0, 3, 3);  // no key neighbours: unchanged
  EXPECT_EQ(At(6, 6), P5(30, 20, 10));

  int32_t bright = MakeObject(40, 30, [](int32_t, int32_t) { return P5(31, 30, 29); });
  for (int pass = 0; pass < 30; ++pass) {
    elDraw::PutNoise(0, 0, 0, bright, 0, 0, 40, 30);
    for (int32_t y = 0; y < 30; ++y)
      for (int32_t x = 0; x < 40; ++x) {
        uint32_t r, g, b;
        Split5(At(x, y), &r, &g, &b);
        ASSERT_EQ(r, 31u);
        ASSERT_GE(g, 30u);
        ASSERT_LE(b, 31u);
      }
  }
  elDraw::PutNoise(0, 0, 2, bright, 0, 0, 40, 30);  // 31 >> 2 = 7, plus 0..2
  uint32_t r, g, b;
  Split5(At(3, 3), &r, &g, &b);
  EXPECT_GE(r, 7u);
  EXPECT_LE(r, 9u);
}

TEST_F(EffectsTest, RowPutsOnThePlainPut) {
  FillScreen([](int32_t, int32_t) { return uint16_t{0}; });
  int32_t coded = MakeObject(32, 32, Coded);
  elDraw::PutRowsStep(0, 0, 4, coded, 0, 0, 32, 32);
  EXPECT_EQ(At(5, 0), 0);
  EXPECT_EQ(At(5, 4), Coded(5, 4));
  EXPECT_EQ(At(5, 5), 0);
  EXPECT_EQ(At(5, 28), Coded(5, 28));
  std::srand(3);
  FillScreen([](int32_t, int32_t) { return uint16_t{0}; });
  elDraw::PutRowsStep(0, 0, -3, coded, 0, 0, 32, 32);
  int rows = 0;
  for (int32_t y = 0; y < 32; ++y) rows += At(0, y) != 0;
  EXPECT_GE(rows, 32 / 3 - 1);
  EXPECT_LE(rows, 32);
  FillScreen([](int32_t, int32_t) { return uint16_t{0}; });
  elDraw::PutRowsStep(0, 0, 0, coded, 0, 0, 32, 32);
  EXPECT_EQ(At(0, 1), 0);

  // Sine rows: with phase 0 every destination row 0..31 gets some source row, in order.
  SineRowPhase = 0;
  FrameSeconds = 0.5f;
  elDraw::PutSineRows(100, 0, 1, 2.0f, coded, 0, 0, 32, 32);
  int32_t last = -1;
  for (int32_t y = 0; y < 32; ++y) {
    uint16_t p = At(100, y);
    ASSERT_NE(p, 0) << y;
    uint32_t r, g, b;
    Split5(p, &r, &g, &b);
    ASSERT_GE(static_cast<int32_t>(g), last);
    last = static_cast<int32_t>(g);
  }
  EXPECT_FLOAT_EQ(SineRowPhase, 1.0f);
  // Two rows with the sine at its peak for the first: the run stops at the rectangle's last row.
  FillScreen([](int32_t, int32_t) { return uint16_t{0}; });
  SineRowPhase = 0.25f;
  elDraw::PutSineRows(100, 50, 1, 0.0f, coded, 0, 0, 32, 2);
  EXPECT_EQ(At(100, 50), Coded(0, 0));
  EXPECT_EQ(At(100, 51), Coded(0, 0));
  EXPECT_EQ(At(100, 52), 0);

  FillScreen([](int32_t, int32_t) { return uint16_t{0}; });
  elDraw::PutJitter(200, 100, 3, coded, 0, 0, 32, 32);
  for (int32_t y = 100; y < 132; ++y) {
    int32_t first = -1;
    for (int32_t x = 190; x < 240 && first < 0; ++x)
      if (At(x, y)) first = x;
    ASSERT_GE(first, 197);
    ASSERT_LE(first, 202);
  }
}

class Effects32Test : public drawtest::DrawTest {
  void Configure() override { elDraw::SetColorDepth(32, 0, 0); }
};

TEST_F(Effects32Test, RefusedOnATrueColourScreen) {
  ASSERT_EQ(screenResult, 1);
  int32_t n = elDraw::CreateObject(8, 8, 2);
  EXPECT_EQ(elDraw::PutBlend(0, 0, 31, n, 0, 0, 8, 8), 0);
  EXPECT_EQ(elDraw::PutRotate(0, 0, 8, 8, 0, n, 0, 0, 8, 8), 0);
}

}  // namespace
