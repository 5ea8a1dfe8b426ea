// GDI primitives on the back screen: pixels, lines, rectangles, polygons against a model, curves, inversion.
#include <algorithm>
#include <cmath>
#include <random>

#include "el/elDraw.h"
#include "tests/support/effects_support.h"

using namespace efftest;

namespace {

constexpr uint32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kWhite = 0xFFFFFF;

class GdiTest : public drawtest::DrawTest {
 protected:
  void SetUp() override {
    DrawTest::SetUp();
    ASSERT_EQ(screenResult, 1);
    elDraw::ClearScreen();
  }
  static uint16_t Px(uint32_t c) {
    return static_cast<uint16_t>(plat::PackRgb(BackSurface->Format(), c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
  }
  struct Probe {
    int32_t x, y;
    uint32_t colour;  // COLORREF; 0 for untouched black
  };
  static void Expect(std::initializer_list<Probe> probes) {
    for (const Probe& p : probes) EXPECT_EQ(At(p.x, p.y), Px(p.colour)) << p.x << "," << p.y;
  }
};

TEST_F(GdiTest, PixelsLinesAndRectangles) {
  uint32_t r = 0, g = 0, b = 0;
  elDraw::SetPixel(7, 6, kRed);
  elDraw::SetPixel(-1, 0, kRed);  // outside: ignored
  elDraw::GetPixel(7, 6, &r, &g, &b);
  EXPECT_TRUE(r == 255 && g == 0 && b == 0 && At(7, 6) == 0xF800);
  elDraw::GetPixel(640, 0, &r, &g, &b);  // outside: CLR_INVALID
  EXPECT_EQ(r + g + b, 3u * 255);
  // A line leaves out its last pixel; a wide one is centred on its axis with round ends.
  elDraw::Line(10, 10, 20, 10, kGreen, 1);
  elDraw::Line(30, 30, 40, 40, kWhite, 0);
  elDraw::Line(100, 100, 150, 100, kBlue, 5);
  for (int32_t i = 0; i < 10; ++i) Expect({{10 + i, 10, kGreen}, {30 + i, 30 + i, kWhite}});
  Expect({{20, 10, 0}, {9, 10, 0}, {15, 11, 0}, {31, 30, 0}, {40, 40, 0}});
  Expect({{125, 98, kBlue}, {125, 102, kBlue}, {125, 97, 0}, {125, 103, 0}, {152, 100, kBlue}, {154, 100, 0},
          {98, 100, kBlue}, {96, 100, 0}});
  // A rectangle's fill lies inside its outline; the corners may come in any order.
  elDraw::Rectangle(210, 20, 230, 40, kBlue, kRed, 1);
  elDraw::Rectangle(140, 140, 100, 100, kBlue, kGreen, 4);
  Expect({{210, 20, kRed}, {229, 39, kRed}, {220, 20, kRed}, {210, 30, kRed}, {211, 21, kBlue}, {228, 38, kBlue},
          {230, 30, 0}, {220, 40, 0}, {209, 30, 0}, {220, 19, 0}});
  Expect({{99, 120, kGreen}, {101, 120, kGreen}, {120, 120, kBlue}, {97, 120, 0}, {120, 97, 0}});
  elDraw::Line(-100000, 200, 100000, 200, kRed, 1);  // far outside: cut, nothing breaks
  elDraw::Line(-2000000000, -2000000000, 2000000000, 2000000000, kRed, 3);
  Expect({{0, 200, kRed}, {639, 200, kRed}, {300, 300, kRed}});
}

// A pixel well inside (even-odd rule) shows the cross hatch on the opaque background, one well outside
// is untouched; points past the count are never used.
TEST_F(GdiTest, PolygonsFillByTheEvenOddRule) {
  std::mt19937 rng(5);
  int inside = 0;
  for (int round = 0; round < 12; ++round) {
    elDraw::ClearScreen();
    elDraw::Point pts[7];
    const int32_t count = 3 + static_cast<int32_t>(rng() % 4);
    for (auto& p : pts) p = {20 + static_cast<int32_t>(rng() % 200), 20 + static_cast<int32_t>(rng() % 200)};
    elDraw::Polygon(pts, count, kWhite, kBlue, 1, 1);
    for (int32_t y = 0; y < 240; ++y)
      for (int32_t x = 0; x < 240; ++x) {
        bool in = false;
        double nearest = 1e9;
        for (int32_t i = 0, j = count - 1; i < count; j = i++) {
          const double ax = pts[j].x, ay = pts[j].y, bx = pts[i].x, by = pts[i].y;
          if ((ay > y) != (by > y) && x < ax + (y - ay) * (bx - ax) / (by - ay)) in = !in;
          const double len2 = (bx - ax) * (bx - ax) + (by - ay) * (by - ay);
          const double t = len2 ? std::clamp(((x - ax) * (bx - ax) + (y - ay) * (by - ay)) / len2, 0.0, 1.0) : 0;
          nearest = std::min(nearest, std::hypot(x - ax - t * (bx - ax), y - ay - t * (by - ay)));
        }
        if (nearest < 0.75) continue;  // on or next to the outline
        const int a = x & 7, b = y & 7;
        const uint16_t want = !in ? 0 : (a == b || a == 7 - b) ? Px(kWhite) : Px(kBlue);
        ASSERT_EQ(At(x, y), want) << "round " << round << " at " << x << "," << y;
        inside += in;
      }
  }
  EXPECT_GT(inside, 20000);
  // Hollow: the outline only (too few points, or none: nothing); transparent: the paper between the lines.
  const elDraw::Point tri[3] = {{100, 100}, {200, 100}, {150, 180}};
  FillScreen([](int32_t, int32_t) { return P5(3, 3, 3); });
  elDraw::Polygon(tri, 3, kWhite, kBlue, 1, 0);
  elDraw::Polygon(tri, 1, kWhite, kBlue, 1, 1);
  elDraw::Polygon(nullptr, 3, kWhite, kBlue, 1, 1);
  EXPECT_TRUE(At(150, 100) == Px(kWhite) && At(154, 130) == P5(3, 3, 3));
  elDraw::Polygon(tri, 3, kWhite, kBlue, 1, 2);
  EXPECT_TRUE(At(150, 130) == P5(3, 3, 3) && At(154, 130) == Px(kWhite) && At(20, 20) == P5(3, 3, 3));
}

TEST_F(GdiTest, BezierFollowsItsControlPointsAndInvertTwiceRestores) {
  // A symmetric arch: its top lies three quarters of the way to the control points' height.
  const elDraw::Point arch[4] = {{100, 200}, {100, 120}, {200, 120}, {200, 200}};
  elDraw::Bezier(arch, 4, kWhite, 1);
  Expect({{150, 140, kWhite}, {150, 139, 0}, {100, 200, kWhite}, {200, 200, kWhite}});
  elDraw::Bezier(arch, 3, kRed, 1);  // not 1 + 3n points: nothing
  Expect({{100, 200, kWhite}});
  elDraw::Bezier(arch, 4, kRed, 3);
  Expect({{150, 139, kRed}, {150, 141, kRed}, {150, 137, 0}});
  // Inverting twice restores, off the screen's edges too.
  FillScreen(Coded);
  elDraw::InvertRect(5, 5, 10, 10);
  elDraw::InvertRect(-5, -5, 10000, 10000);
  elDraw::InvertRect(-5, -5, 10000, 10000);
  EXPECT_EQ(At(5, 5), static_cast<uint16_t>(~Coded(5, 5)));
  EXPECT_TRUE(At(10, 10) == Coded(10, 10) && At(4, 9) == Coded(4, 9) && At(639, 479) == Coded(639, 479));
}

}  // namespace
