// GDI primitives on the back screen: pixels, lines with width, rectangles, polygons, curves, inversion.
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
  uint32_t Px(uint32_t colourref) {
    return plat::PackRgb(BackSurface->Format(), colourref & 0xFF, (colourref >> 8) & 0xFF, (colourref >> 16) & 0xFF);
  }
};

TEST_F(GdiTest, PixelsRoundTrip) {
  elDraw::SetPixel(5, 6, 0x00C08040);
  EXPECT_EQ(At(5, 6), Px(0x00C08040));
  uint32_t r = 0, g = 0, b = 0;
  elDraw::SetPixel(7, 6, kRed);
  elDraw::GetPixel(7, 6, &r, &g, &b);
  EXPECT_EQ(r, 255u);
  EXPECT_EQ(g, 0u);
  EXPECT_EQ(b, 0u);
  elDraw::GetPixel(640, 0, &r, &g, &b);  // outside: CLR_INVALID
  EXPECT_EQ(r + g + b, 3u * 255);
  elDraw::SetPixel(-1, 0, kRed);  // ignored
  elDraw::GetPixel(0, 0, nullptr, nullptr, nullptr);
}

TEST_F(GdiTest, LinesLeaveOutTheLastPixelAndWidenAroundTheirAxis) {
  elDraw::Line(10, 10, 20, 10, kGreen, 1);
  for (int32_t x = 10; x < 20; ++x) ASSERT_EQ(At(x, 10), Px(kGreen)) << x;
  EXPECT_EQ(At(20, 10), 0);
  EXPECT_EQ(At(9, 10), 0);
  EXPECT_EQ(At(15, 11), 0);
  elDraw::Line(30, 30, 40, 40, kWhite, 0);  // a diagonal, one pixel per step
  for (int32_t i = 0; i < 10; ++i) ASSERT_EQ(At(30 + i, 30 + i), Px(kWhite));
  EXPECT_EQ(At(31, 30), 0);
  EXPECT_EQ(At(40, 40), 0);

  elDraw::Line(100, 100, 150, 100, kBlue, 5);
  for (int32_t y = 98; y <= 102; ++y) EXPECT_EQ(At(125, y), Px(kBlue)) << y;
  EXPECT_EQ(At(125, 97), 0);
  EXPECT_EQ(At(125, 103), 0);
  EXPECT_EQ(At(152, 100), Px(kBlue));  // round end
  EXPECT_EQ(At(154, 100), 0);
  // Far outside the screen: cut, nothing breaks.
  elDraw::Line(-100000, 200, 100000, 200, kRed, 1);
  EXPECT_EQ(At(0, 200), Px(kRed));
  EXPECT_EQ(At(639, 200), Px(kRed));
  elDraw::Line(-2000000000, -2000000000, 2000000000, 2000000000, kRed, 3);
}

TEST_F(GdiTest, RectangleFillsInsideItsOutline) {
  elDraw::Rectangle(10, 20, 30, 40, kBlue, kRed, 1);
  EXPECT_EQ(At(10, 20), Px(kRed));
  EXPECT_EQ(At(29, 39), Px(kRed));
  EXPECT_EQ(At(20, 20), Px(kRed));
  EXPECT_EQ(At(10, 30), Px(kRed));
  EXPECT_EQ(At(11, 21), Px(kBlue));
  EXPECT_EQ(At(28, 38), Px(kBlue));
  EXPECT_EQ(At(30, 30), 0);
  EXPECT_EQ(At(20, 40), 0);
  elDraw::Rectangle(100, 100, 140, 140, kBlue, kGreen, 4);
  EXPECT_EQ(At(100, 120), Px(kGreen));
  EXPECT_EQ(At(99, 120), Px(kGreen));
  EXPECT_EQ(At(101, 120), Px(kGreen));
  EXPECT_EQ(At(120, 120), Px(kBlue));
  EXPECT_EQ(At(97, 120), 0);
}

TEST_F(GdiTest, PolygonModes) {
  const elDraw::Point tri[3] = {{100, 100}, {200, 100}, {150, 180}};
  elDraw::Polygon(tri, 3, kWhite, kBlue, 1, 0);  // hollow: only the outline
  EXPECT_EQ(At(100, 100), Px(kWhite));
  EXPECT_EQ(At(150, 100), Px(kWhite));
  int inside = 0;
  for (int32_t y = 110; y < 150; ++y)
    for (int32_t x = 140; x < 160; ++x) inside += At(x, y) != 0;
  EXPECT_EQ(inside, 0);

  FillScreen([](int32_t, int32_t) { return P5(3, 3, 3); });
  elDraw::Polygon(tri, 3, kWhite, kBlue, 1, 1);  // hatched on an opaque background
  int hatch = 0, back = 0, other = 0;
  for (int32_t y = 110; y < 150; ++y)
    for (int32_t x = 140; x < 160; ++x) {
      const uint16_t p = At(x, y);
      (p == Px(kWhite) ? hatch : p == Px(kBlue) ? back : other)++;
      const int a = x & 7, b = y & 7;
      ASSERT_EQ(p == Px(kWhite), a == b || a == 7 - b) << x << "," << y;
    }
  EXPECT_GT(hatch, 0);
  EXPECT_GT(back, hatch);
  EXPECT_EQ(other, 0);

  FillScreen([](int32_t, int32_t) { return P5(3, 3, 3); });
  elDraw::Polygon(tri, 3, kWhite, kBlue, 1, 2);  // transparent gaps
  hatch = back = other = 0;
  for (int32_t y = 110; y < 150; ++y)
    for (int32_t x = 140; x < 160; ++x) {
      const uint16_t p = At(x, y);
      (p == Px(kWhite) ? hatch : p == P5(3, 3, 3) ? other : back)++;
    }
  EXPECT_GT(hatch, 0);
  EXPECT_GT(other, 0);
  EXPECT_EQ(back, 0);
  EXPECT_EQ(At(20, 20), P5(3, 3, 3));  // outside untouched
  elDraw::Polygon(tri, 1, kWhite, kBlue, 1, 1);  // too few points: nothing
  elDraw::Polygon(nullptr, 3, kWhite, kBlue, 1, 1);
}

TEST_F(GdiTest, BezierFollowsItsControlPoints) {
  const elDraw::Point straight[4] = {{10, 50}, {20, 50}, {30, 50}, {40, 50}};
  elDraw::Bezier(straight, 4, kGreen, 1);
  for (int32_t x = 10; x <= 40; ++x) ASSERT_EQ(At(x, 50), Px(kGreen)) << x;
  EXPECT_EQ(At(25, 49), 0);
  EXPECT_EQ(At(25, 51), 0);
  // A symmetric arch: its top lies three quarters of the way to the control points' height.
  const elDraw::Point arch[4] = {{100, 200}, {100, 120}, {200, 120}, {200, 200}};
  elDraw::Bezier(arch, 4, kWhite, 1);
  EXPECT_EQ(At(150, 140), Px(kWhite));
  EXPECT_EQ(At(150, 139), 0);
  EXPECT_EQ(At(100, 200), Px(kWhite));
  elDraw::Bezier(arch, 3, kRed, 1);  // not 1 + 3n points: nothing
  EXPECT_EQ(At(100, 200), Px(kWhite));
  elDraw::Bezier(arch, 4, kRed, 3);
  EXPECT_EQ(At(150, 139), Px(kRed));
}

TEST_F(GdiTest, InvertTwiceRestores) {
  FillScreen(Coded);
  elDraw::InvertRect(5, 5, 10, 10);
  EXPECT_EQ(At(5, 5), static_cast<uint16_t>(~Coded(5, 5)));
  EXPECT_EQ(At(10, 10), Coded(10, 10));
  elDraw::InvertRect(-5, -5, 10000, 10000);
  elDraw::InvertRect(-5, -5, 10000, 10000);
  EXPECT_EQ(At(5, 5), static_cast<uint16_t>(~Coded(5, 5)));
  EXPECT_EQ(At(639, 479), Coded(639, 479));
}

class Gdi555Test : public GdiTest {
  void Configure() override { plat::headless::SetSixteenBitFormat(plat::PixelFormat::RGB555); }
};

TEST_F(Gdi555Test, ColoursInFiveFiveFive) {
  elDraw::Line(0, 0, 5, 0, kWhite, 3);
  EXPECT_EQ(At(2, 0), 0x7FFF);
  elDraw::InvertRect(0, 10, 1, 11);
  EXPECT_EQ(At(0, 10), 0x7FFF);  // the unused top bit stays 0
  elDraw::Rectangle(10, 10, 20, 20, kRed, kGreen, 1);
  EXPECT_EQ(At(15, 15), 0x7C00);
  EXPECT_EQ(At(10, 10), 0x03E0);
}

}  // namespace
