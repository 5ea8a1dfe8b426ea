// Screen save (BMP bytes), blur, smoke, noise, spotlight and the enlargements.
#include <algorithm>
#include <cstdio>
#include <functional>
#include <iterator>
#include <vector>

#include "el/elDraw.h"
#include "tests/support/effects_support.h"

using namespace efftest;

namespace {

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}
uint32_t U16(const std::vector<uint8_t>& b, size_t at) { return b[at] | b[at + 1] << 8; }

class FilterTest : public drawtest::DrawTest {
 protected:
  void SetUp() override {
    DrawTest::SetUp();
    ASSERT_EQ(screenResult, 1);
    elDraw::ClearScreen();
  }
  uint32_t Red5(int32_t x, int32_t y) { return PixelRGB[At(x, y)][0]; }
};

void ExpectHeader(const std::vector<uint8_t>& b, uint32_t w, uint32_t h, uint32_t rowBytes) {
  ASSERT_EQ(b.size(), 58 + rowBytes * h);
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  EXPECT_EQ(U32(b, 2), 58 + rowBytes * h);
  EXPECT_EQ(U32(b, 6), 0u);
  EXPECT_EQ(U32(b, 10), 58u);
  EXPECT_EQ(U32(b, 14), 40u);
  EXPECT_EQ(U32(b, 18), w);
  EXPECT_EQ(U32(b, 22), h);
  EXPECT_EQ(U16(b, 26), 1u);
  EXPECT_EQ(U16(b, 28), 24u);
  EXPECT_EQ(U32(b, 30), 0u);
  EXPECT_EQ(U32(b, 34), rowBytes * h);
  EXPECT_EQ(U32(b, 38), 2834u);
  EXPECT_EQ(U32(b, 42), 2834u);
  EXPECT_EQ(U32(b, 46), 0u);
  EXPECT_EQ(U32(b, 50), 0u);
  EXPECT_EQ(U32(b, 54), 0u);
}

TEST_F(FilterTest, SaveScreenWidthThreePadsRowsToTwelve) {
  // Top row: white, red, blue; bottom row: green, black, (8, 16, 24) in 5-bit steps.
  reinterpret_cast<uint16_t*>(BackSurface->Row(0))[0] = 0xFFFF;
  reinterpret_cast<uint16_t*>(BackSurface->Row(0))[1] = P5(31, 0, 0);
  reinterpret_cast<uint16_t*>(BackSurface->Row(0))[2] = P5(0, 0, 31);
  reinterpret_cast<uint16_t*>(BackSurface->Row(1))[0] = P5(0, 31, 0);
  reinterpret_cast<uint16_t*>(BackSurface->Row(1))[2] = P5(1, 2, 3);
  ASSERT_EQ(elDraw::SaveScreen("shot.bmp", 3, 2), 1);
  std::vector<uint8_t> b = ReadFile(drawtest::ProgramDir() + "shot.bmp");
  ExpectHeader(b, 3, 2, 12);
  const std::vector<uint8_t> bottom = {0, 248, 0, 0, 0, 0, 24, 16, 8, 0, 0, 0};
  const std::vector<uint8_t> top = {248, 248, 248, 0, 0, 248, 248, 0, 0, 0, 0, 0};
  EXPECT_EQ(std::vector<uint8_t>(b.begin() + 58, b.begin() + 70), bottom);
  EXPECT_EQ(std::vector<uint8_t>(b.begin() + 70, b.end()), top);
}

TEST_F(FilterTest, SaveScreenWidthFourHasNoPadding) {
  FillScreen([](int32_t x, int32_t y) { return P5(static_cast<uint32_t>(x), static_cast<uint32_t>(y), 31); });
  ASSERT_EQ(elDraw::SaveScreen("four.bmp", 4, 3), 1);
  std::vector<uint8_t> b = ReadFile(drawtest::ProgramDir() + "four.bmp");
  ExpectHeader(b, 4, 3, 12);
  // The first stored row is the bottom one (y = 2); each pixel blue, green, red.
  for (int32_t x = 0; x < 4; ++x) {
    EXPECT_EQ(b[58 + 3 * x], 248);
    EXPECT_EQ(b[58 + 3 * x + 1], 2 * 8);
    EXPECT_EQ(b[58 + 3 * x + 2], x * 8);
  }
  EXPECT_EQ(b[58 + 24 + 1], 0);  // the top row's green
}

TEST_F(FilterTest, SaveScreenRefusesMoreThanTheScreen) {
  EXPECT_EQ(elDraw::SaveScreen("big.bmp", 641, 10), 0);
  EXPECT_EQ(elDraw::SaveScreen("big.bmp", 10, -1), 0);
  EXPECT_TRUE(ReadFile(drawtest::ProgramDir() + "big.bmp").empty());
  EXPECT_EQ(elDraw::SaveScreen("no/such/dir.bmp", 10, 10), 1);  // locked, but the file cannot be opened
  EXPECT_EQ(elDraw::SaveScreen("full.bmp", 640, 480), 1);
  EXPECT_EQ(ReadFile(drawtest::ProgramDir() + "full.bmp").size(), 58u + 1920 * 480);
}

TEST_F(FilterTest, BlurWorksInPlaceAndKeepsTheBorder) {
  auto grey = [](uint32_t v) { return P5(v, v, v); };
  reinterpret_cast<uint16_t*>(BackSurface->Row(2))[2] = grey(31);
  reinterpret_cast<uint16_t*>(BackSurface->Row(0))[0] = grey(31);
  reinterpret_cast<uint16_t*>(BackSurface->Row(4))[4] = grey(31);
  reinterpret_cast<uint16_t*>(BackSurface->Row(4))[2] = grey(20);
  ASSERT_EQ(elDraw::Blur(0, 0, 5, 5), 1);
  // Pixels already blurred feed the later ones, in row order.
  // (2, 3) = (1 + 0 + 3 + 20) >> 2, with (2, 4) on the border.
  const uint32_t want[3][3] = {{0, 7, 1}, {7, 3, 1}, {1, 6, 1}};
  for (int32_t r = 1; r <= 3; ++r)
    for (int32_t c = 1; c <= 3; ++c) EXPECT_EQ(Red5(c, r), want[r - 1][c - 1]) << c << "," << r;
  EXPECT_EQ(At(0, 0), grey(31));
  EXPECT_EQ(At(4, 4), grey(31));
  EXPECT_EQ(At(2, 4), grey(20));
  EXPECT_EQ(At(2, 0), 0);
  EXPECT_EQ(elDraw::Blur(630, 470, 100, 100), 1);  // cut to the screen
}

TEST_F(FilterTest, SmokeRisesAndFades) {
  for (int32_t x = 0; x < 64; ++x) reinterpret_cast<uint16_t*>(BackSurface->Row(10))[x] = P5(31, 31, 31);
  ASSERT_EQ(elDraw::Smoke(0, 0, 64, 20), 1);
  int copied = 0;
  for (int32_t x = 1; x < 63; ++x) {
    const uint32_t v = Red5(x, 9);
    ASSERT_TRUE(v == 31 || v == 15) << x << " " << v;  // moved up unchanged, or averaged with the rows around
    copied += v == 31;
    ASSERT_LE(Red5(x, 10), 7u);
  }
  EXPECT_GT(copied, 0);
  EXPECT_EQ(Red5(0, 9), 0u);  // the rectangle's edge columns are not moved

  elDraw::ClearScreen();
  for (int32_t x = 0; x < 64; ++x) reinterpret_cast<uint16_t*>(BackSurface->Row(10))[x] = P5(31, 31, 31);
  ASSERT_EQ(elDraw::SmokeFade(1, 0, 1, 0, 0, 64, 20), 1);
  for (int32_t x = 1; x < 63; ++x) {
    const uint8_t* c = PixelRGB[At(x, 9)];
    ASSERT_TRUE(c[0] == 30 || c[0] == 14) << x;
    ASSERT_EQ(c[1], c[0] + 1);
    ASSERT_EQ(c[2], c[0]);
  }
}

TEST_F(FilterTest, NoiseNeverPassesThirtyOneAndWraps) {
  FillScreen([](int32_t x, int32_t) { return P5(31, 29, static_cast<uint32_t>(x & 31)); });
  NoisePos = 0;
  ASSERT_EQ(elDraw::Noise(0, 0, 0, 64, 64), 1);
  for (int32_t y = 0; y < 64; ++y)
    for (int32_t x = 0; x < 64; ++x) {
      const uint8_t* c = PixelRGB[At(x, y)];
      ASSERT_EQ(c[0], 31);
      ASSERT_GE(c[1], 29);
      ASSERT_LE(c[1], 31);
      ASSERT_GE(c[2], x & 31);
      ASSERT_LE(c[2], std::min(31, (x & 31) + 2));
    }
  EXPECT_EQ(NoisePos, 64 * 64);
  ASSERT_EQ(elDraw::Noise(9, 0, 0, 64, 64), 1);  // large shifts saturate
  for (int32_t x = 0; x < 64; ++x) ASSERT_LE(PixelRGB[At(x, 0)][2], 31);
  NoisePos = 9995;
  elDraw::Noise(1, 100, 100, 10, 1);
  EXPECT_GE(NoisePos, 0);
  EXPECT_LT(NoisePos, 1000 + 10);
  FillScreen([](int32_t, int32_t) { return P5(5, 5, 5); });
  elDraw::NoiseRGB(0, 1, 0, 2, 0, 0, 64, 1);  // green only
  for (int32_t x = 0; x < 64; ++x) {
    ASSERT_EQ(PixelRGB[At(x, 0)][0], 5);
    ASSERT_EQ(PixelRGB[At(x, 0)][2], 5);
  }
}

TEST_F(FilterTest, SpotlightDarkensOutsideItsCircle) {
  FillScreen([](int32_t, int32_t) { return P5(20, 20, 20); });
  ASSERT_EQ(elDraw::Spotlight(100, 100, 10, 2, 0, 0, 200, 200), 1);
  EXPECT_EQ(At(100, 100), P5(20, 20, 20));
  EXPECT_EQ(At(108, 100), P5(20, 20, 20));
  EXPECT_EQ(At(120, 100), P5(15, 15, 15));  // 10 beyond: 5 levels
  EXPECT_EQ(At(199, 199), 0);
  EXPECT_EQ(At(300, 300), P5(20, 20, 20));  // outside the rectangle
}

// Every filter, given rectangles from the far ends of the coordinate range, works only on the part
// of its rectangle that lies on the screen: each pixel outside that part is left as it was, and a
// part of some size is worked on.
TEST_F(FilterTest, ExtremeRectanglesAreCutToTheScreen) {
  const std::function<int(int32_t, int32_t, int32_t, int32_t)> filters[] = {
      [](int32_t x, int32_t y, int32_t w, int32_t h) { return elDraw::Blur(x, y, w, h); },
      [](int32_t x, int32_t y, int32_t w, int32_t h) { return elDraw::Smoke(x, y, w, h); },
      [](int32_t x, int32_t y, int32_t w, int32_t h) { return elDraw::SmokeFade(1, 1, 1, x, y, w, h); },
      [](int32_t x, int32_t y, int32_t w, int32_t h) { return elDraw::Noise(3, x, y, w, h); },
      [](int32_t x, int32_t y, int32_t w, int32_t h) { return elDraw::NoiseRGB(1, 1, 1, 3, x, y, w, h); },
      [](int32_t x, int32_t y, int32_t w, int32_t h) { return elDraw::Spotlight(0, 0, 0, 1, x, y, w, h); }};
  // Uneven (blurring changes it), never black and never saturated (noise and darkening change it).
  auto pattern = [](int32_t x, int32_t y) {
    return P5(static_cast<uint32_t>((x * x + 3 * y) % 28 + 1), static_cast<uint32_t>((y * y + 5 * x) % 28 + 1),
              static_cast<uint32_t>((x * y) % 28 + 1));
  };
  constexpr int32_t lo = INT32_MIN, hi = INT32_MAX;
  const int32_t rects[][4] = {{-10, 0, lo + 5, 10}, {0, -10, 10, lo + 5}, {0, lo, 10, 0},    {lo, lo, hi, hi},
                              {hi, hi, hi, hi},     {-5, -5, hi, hi},     {630, 470, hi, hi}, {lo, 0, lo, 10},
                              {100, 100, -50, 20},  {600, 460, 100, 100}, {hi - 3, 0, 10, 10}, {lo, 5, hi, 10},
                              {-3, lo, 9, hi}};
  for (size_t f = 0; f < std::size(filters); ++f)
    for (const auto& r : rects) {
      SCOPED_TRACE(testing::Message() << "filter " << f << " at " << r[0] << "," << r[1] << " size " << r[2] << ","
                                      << r[3]);
      FillScreen(pattern);
      ASSERT_EQ(filters[f](r[0], r[1], r[2], r[3]), 1);
      const int64_t x0 = std::max<int64_t>(r[0], 0), x1 = std::min<int64_t>(int64_t(r[0]) + r[2], 640);
      const int64_t y0 = std::max<int64_t>(r[1], 0), y1 = std::min<int64_t>(int64_t(r[1]) + r[3], 480);
      int changed = 0;
      for (int32_t y = 0; y < 480; ++y)
        for (int32_t x = 0; x < 640; ++x) {
          const bool inside = x >= x0 && x < x1 && y >= y0 && y < y1;
          if (!inside) {
            ASSERT_EQ(At(x, y), pattern(x, y)) << x << "," << y;
          }
          changed += inside && At(x, y) != pattern(x, y);
        }
      if (x1 - x0 >= 3 && y1 - y0 >= 3) {
        EXPECT_GT(changed, 0);
      }
    }
}

TEST_F(FilterTest, ZoomsEnlargeThroughTheBufferAndStayInsideIt) {
  FillScreen(Coded);
  ASSERT_EQ(elDraw::Zoom2(0, 0, 4, 4, 0), 1);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) ASSERT_EQ(At(x, y), Coded(x / 2, y / 2)) << x << "," << y;
  EXPECT_EQ(At(8, 0), Coded(8, 0));

  FillScreen(Coded);
  elDraw::ClearObject(0);
  ASSERT_EQ(elDraw::Zoom4(0, 0, 3, 3, 1), 1);  // grid: only the top-left 2 x 2 of each block
  for (int32_t y = 0; y < 12; ++y)
    for (int32_t x = 0; x < 12; ++x)
      ASSERT_EQ(At(x, y), (x % 4 < 2 && y % 4 < 2) ? Coded(x / 4, y / 4) : 0) << x << "," << y;
  FillScreen(Coded);
  elDraw::ClearObject(0);
  ASSERT_EQ(elDraw::Zoom2(10, 10, 2, 2, 1), 1);
  EXPECT_EQ(At(10, 10), Coded(10, 10));
  EXPECT_EQ(At(11, 10), 0);
  EXPECT_EQ(At(12, 12), Coded(11, 11));

  // The whole screen cannot be doubled into a screen-sized buffer: the enlargement is cut to fit.
  FillScreen(Coded);
  ASSERT_EQ(elDraw::Zoom2(0, 0, 640, 480, 0), 1);
  EXPECT_EQ(At(639, 479), Coded(319, 239));
  ASSERT_EQ(elDraw::Zoom4(0, 0, 640, 480, 0), 1);
  EXPECT_EQ(elDraw::Zoom2(600, 0, 41, 10, 0), 0);
  EXPECT_EQ(elDraw::Zoom2(-1, 0, 4, 4, 0), 0);
}

}  // namespace
