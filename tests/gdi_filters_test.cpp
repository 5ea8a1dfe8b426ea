// Screen filters: the saved BMP's bytes, blur and spotlight against models, smoke, noise, the
// enlargements, and rectangles from the far ends of the number range.
#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>
#include <iterator>
#include <random>
#include <vector>

#include "el/elDraw.h"
#include "tests/support/effects_support.h"

using namespace efftest;

namespace {

class FilterTest : public drawtest::DrawTest {};

uint16_t Pattern(int32_t x, int32_t y) {  // uneven, never black, never saturated
  return P5(static_cast<uint32_t>((x * x + 3 * y) % 28 + 1), static_cast<uint32_t>((y * y + 5 * x) % 28 + 1),
            static_cast<uint32_t>((x * y) % 28 + 1));
}
uint32_t Ch(uint16_t p, int c) {
  uint32_t v[3];
  Split5(p, &v[0], &v[1], &v[2]);
  return v[c];
}

TEST_F(FilterTest, SaveScreenBytes) {
  for (const char* f : {"shot.bmp", "four.bmp", "big.bmp"}) std::remove((drawtest::ProgramDir() + f).c_str());  // none from before
  FillScreen([](int32_t x, int32_t y) { return P5(static_cast<uint32_t>(x), static_cast<uint32_t>(y), 31); });
  reinterpret_cast<uint16_t*>(BackSurface->Row(0))[0] = 0xFFFF;
  ASSERT_EQ(elDraw::SaveScreen("shot.bmp", 3, 2), 1);
  const std::vector<uint8_t> b = ReadFile(drawtest::ProgramDir() + "shot.bmp");
  const std::vector<uint8_t> want = {
      'B', 'M', 82, 0, 0, 0, 0, 0, 0, 0, 58, 0, 0, 0, 40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0,
      24, 0, 0, 0, 0x12, 0x0B, 0, 0, 0x12, 0x0B, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
      248, 8, 0, 248, 8, 8, 248, 8, 16, 0, 0, 0,  // the bottom row first: blue, green, red, padded to 12
      248, 248, 248, 248, 0, 8, 248, 0, 16, 0, 0, 0};
  EXPECT_EQ(b, want);
  ASSERT_EQ(elDraw::SaveScreen("four.bmp", 4, 480), 1);
  EXPECT_EQ(ReadFile(drawtest::ProgramDir() + "four.bmp").size(), 58u + 12 * 480);
  for (auto [w, h] : {std::pair{641, 10}, {10, 481}, {0, 10}, {10, -1}}) EXPECT_EQ(elDraw::SaveScreen("big.bmp", w, h), 0);
  EXPECT_TRUE(ReadFile(drawtest::ProgramDir() + "big.bmp").empty());
  EXPECT_EQ(elDraw::SaveScreen("no/such/dir.bmp", 10, 10), 1);
}

// Blur in row order, in place: pixels already blurred feed later ones; the border stays.
TEST_F(FilterTest, BlurAgainstTheModel) {
  std::mt19937 rng(3);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int run = 0; run < 40; ++run) {
    const int32_t x = pick(-20, 630), y = pick(-20, 470), w = pick(0, 40), h = pick(0, 40);
    FillScreen(Pattern);
    std::vector<uint16_t> m(640 * 480);
    for (int32_t i = 0; i < 640 * 480; ++i) m[static_cast<size_t>(i)] = Pattern(i % 640, i / 640);
    const int32_t x0 = std::max(x, 0), y0 = std::max(y, 0), x1 = std::min(x + w, 640), y1 = std::min(y + h, 480);
    auto px = [&](int32_t c, int32_t r) -> uint16_t& { return m[static_cast<size_t>(r * 640 + c)]; };
    for (int32_t r = y0 + 1; r < y1 - 1; ++r)
      for (int32_t c = x0 + 1; c < x1 - 1; ++c) {
        uint32_t v[3];
        for (int k = 0; k < 3; ++k) v[k] = (Ch(px(c - 1, r), k) + Ch(px(c + 1, r), k) + Ch(px(c, r - 1), k) + Ch(px(c, r + 1), k)) >> 2;
        px(c, r) = P5(v[0], v[1], v[2]);
      }
    ASSERT_EQ(elDraw::Blur(x, y, w, h), 1);
    for (int32_t r = std::max(0, y - 2); r < std::min(480, y + h + 2); ++r)
      for (int32_t c = std::max(0, x - 2); c < std::min(640, x + w + 2); ++c) ASSERT_EQ(At(c, r), px(c, r)) << c << "," << r;
  }
}

// Beyond the radius each channel loses one level per falloff pixels of distance.
TEST_F(FilterTest, SpotlightAgainstTheModel) {
  for (auto [radius, falloff] : {std::pair{10, 2}, {0, 1}, {-5, 0}, {3, 7}}) {
    FillScreen(Pattern);
    ASSERT_EQ(elDraw::Spotlight(50, 40, radius, falloff, 20, 10, 90, 70), 1);
    for (int32_t y = 0; y < 100; ++y)
      for (int32_t x = 0; x < 130; ++x) {
        const double beyond = std::hypot(x - 50, y - 40) - std::max(radius, 0);
        const bool in = x >= 20 && x < 110 && y >= 10 && y < 80 && beyond > 0;
        const uint32_t loss = in ? static_cast<uint32_t>(std::min(31.0, beyond / std::max(falloff, 1))) : 0;
        auto cut = [&](int k) { return Ch(Pattern(x, y), k) > loss ? Ch(Pattern(x, y), k) - loss : 0; };
        ASSERT_EQ(At(x, y), P5(cut(0), cut(1), cut(2))) << radius << " at " << x << "," << y;
      }
  }
}

// Smoke rises one row: runs of averaged pixels follow the noise table from SmokePos, each ended by one
// pixel moved up unchanged; the fade takes one step off the channels chosen; the edge columns stay.
TEST_F(FilterTest, SmokeRisesInRunsThatFollowTheNoiseTableAndFades) {
  const std::vector<uint8_t> saved(NoiseTable, NoiseTable + 10000);
  for (int i = 0; i < 10000; ++i) NoiseTable[i] = static_cast<uint8_t>((i + 1) % 4);
  for (uint32_t fade = 0; fade < 2; ++fade) {
    elDraw::ClearScreen();
    for (int32_t x = 0; x < 64; ++x) reinterpret_cast<uint16_t*>(BackSurface->Row(10))[x] = P5(31, 31, 31);
    SmokePos = 0;
    ASSERT_EQ(fade ? elDraw::SmokeFade(1, 0, 2, 0, 0, 64, 20) : elDraw::Smoke(0, 0, 64, 20), 1);
    int counter = 0, pos = 0;
    for (int32_t r = 1; r < 19; ++r)
      for (int32_t c = 1; c < 63; ++c) {
        const bool averaged = counter < NoiseTable[pos];
        averaged ? ++counter : (counter = 0, ++pos);
        const uint32_t red = (averaged ? 15u : 31u) - fade;  // red and blue fade, green does not
        ASSERT_TRUE(r != 10 || (Ch(At(c, 9), 0) == red && Ch(At(c, 9), 1) == red + fade && Ch(At(c, 9), 2) == red)) << c;
      }
    EXPECT_EQ(SmokePos, pos);
    EXPECT_EQ(At(0, 9), 0);
  }
  std::copy(saved.begin(), saved.end(), NoiseTable);
}

TEST_F(FilterTest, NoiseAddsAtMostTwoShifted) {
  FillScreen([](int32_t x, int32_t) { return P5(29, 29, static_cast<uint32_t>(x & 31)); });
  NoisePos = 0;
  ASSERT_EQ(elDraw::Noise(1, 0, 0, 64, 64), 1);
  for (int32_t i = 0; i < 64 * 64; ++i) {
    const uint32_t g = Ch(At(i % 64, i / 64), 1), b = Ch(At(i % 64, i / 64), 2), b0 = uint32_t(i % 32);
    ASSERT_EQ(Ch(At(i % 64, i / 64), 0), g);  // the same noise on every channel
    ASSERT_TRUE((g == 29 || g == 31) && (b == b0 || b == std::min(b0 + 2, 31u) || b == std::min(b0 + 4, 31u))) << i;
  }
  FillScreen([](int32_t, int32_t) { return P5(5, 5, 5); });
  ASSERT_EQ(elDraw::NoiseRGB(0, 1, 0, 2, 0, 0, 64, 1), 1);  // green only
  for (int32_t x = 0; x < 64; ++x) ASSERT_EQ(At(x, 0) & ~GMask, P5(5, 5, 5) & ~GMask);
}

// Every filter works only on the part of its rectangle that lies on the screen, and answers 1.
TEST_F(FilterTest, ExtremeRectanglesAreCutToTheScreen) {
  const std::function<int(int32_t, int32_t, int32_t, int32_t)> filters[] = {
      [](int32_t x, int32_t y, int32_t w, int32_t h) { return elDraw::Smoke(x, y, w, h); },
      [](int32_t x, int32_t y, int32_t w, int32_t h) { return elDraw::SmokeFade(1, 1, 1, x, y, w, h); },
      [](int32_t x, int32_t y, int32_t w, int32_t h) { return elDraw::Noise(3, x, y, w, h); },
      [](int32_t x, int32_t y, int32_t w, int32_t h) { return elDraw::NoiseRGB(1, 1, 1, 3, x, y, w, h); },
      [](int32_t x, int32_t y, int32_t w, int32_t h) { return elDraw::Spotlight(0, 0, 0, 1, x, y, w, h); },
      [](int32_t x, int32_t y, int32_t w, int32_t h) { return elDraw::Blur(x, y, w, h); }};
  constexpr int32_t lo = INT32_MIN, hi = INT32_MAX;
  const int32_t rects[][4] = {{-10, 0, lo + 5, 10}, {0, lo, 10, 0}, {lo, lo, hi, hi}, {hi, hi, hi, hi}, {-5, -5, hi, hi},
                              {630, 470, hi, hi}, {100, 100, -50, 20}, {hi - 3, 0, 10, 10}, {-3, lo, 9, hi}};
  for (size_t f = 0; f < std::size(filters); ++f)
    for (const auto& r : rects) {
      SCOPED_TRACE(testing::Message() << "filter " << f << " rect " << r[0] << "," << r[1] << "," << r[2] << "," << r[3]);
      FillScreen(Pattern);
      ASSERT_EQ(filters[f](r[0], r[1], r[2], r[3]), 1);
      const int64_t x0 = std::max<int64_t>(r[0], 0), x1 = std::min<int64_t>(int64_t(r[0]) + r[2], 640);
      const int64_t y0 = std::max<int64_t>(r[1], 0), y1 = std::min<int64_t>(int64_t(r[1]) + r[3], 480);
      int changed = 0;
      for (int32_t y = 0; y < 480; ++y)
        for (int32_t x = 0; x < 640; ++x) {
          const bool inside = x >= x0 && x < x1 && y >= y0 && y < y1;
          ASSERT_TRUE(inside || At(x, y) == Pattern(x, y)) << x << "," << y;
          changed += inside && At(x, y) != Pattern(x, y);
        }
      EXPECT_TRUE(x1 - x0 < 3 || y1 - y0 < 3 || changed > 0);
    }
  plat::Dc* dc = nullptr;  // a back screen that cannot be locked: every filter answers 0
  ASSERT_EQ(plat::GetSurfaceDc(BackSurface, &dc), plat::DD_OK);
  for (const auto& f : filters) EXPECT_EQ(f(0, 0, 64, 64), 0);
  plat::ReleaseSurfaceDc(BackSurface, dc);
}

TEST_F(FilterTest, ZoomsEnlargeThroughTheBuffer) {
  for (int32_t k : {2, 4})
    for (uint32_t grid : {0u, 1u}) {
      FillScreen(Coded);
      elDraw::ClearObject(0);
      ASSERT_EQ(k == 2 ? elDraw::Zoom2(10, 10, 3, 3, grid) : elDraw::Zoom4(10, 10, 3, 3, grid), 1);
      const int32_t written = grid ? (k == 2 ? 1 : 2) : k;
      for (int32_t y = 8; y < 30; ++y)
        for (int32_t x = 8; x < 30; ++x) {
          const int32_t i = x - 10, j = y - 10;
          const bool in = i >= 0 && j >= 0 && i < 3 * k && j < 3 * k;
          const uint16_t want = !in ? Coded(x, y) : i % k < written && j % k < written ? Coded(10 + i / k, 10 + j / k) : 0;
          ASSERT_EQ(At(x, y), want) << k << " grid " << grid << " at " << x << "," << y;
        }
    }
  FillScreen(Coded);  // the whole screen does not fit doubled into the screen-sized buffer: cut to fit
  ASSERT_EQ(elDraw::Zoom2(0, 0, 640, 480, 0), 1);
  EXPECT_EQ(At(639, 479), Coded(319, 239));
  EXPECT_EQ(elDraw::Zoom2(600, 0, 41, 10, 0), 0);
  EXPECT_EQ(elDraw::Zoom4(-1, 0, 4, 4, 0), 0);
}

}  // namespace
