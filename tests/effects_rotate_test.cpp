// Rotations against expected pixels, their tiled, zoomed and blended variants, the zoom put and the
// radial distortions.
#include <cstdlib>

#include "el/elDraw.h"
#include "tests/support/effects_support.h"

using namespace efftest;

namespace {

class RotateTest : public drawtest::DrawTest {
 protected:
  int32_t pic = 0;  // 4 x 4, every pixel distinct
  void SetUp() override {
    DrawTest::SetUp();
    ASSERT_EQ(screenResult, 1);
    pic = MakeObject(4, 4, Coded);
    ASSERT_GT(pic, 0);
    FillScreen([](int32_t, int32_t) { return uint16_t{0}; });
  }
  // The 4 x 4 destination at (100, 50) must show source(map(i, j)).
  template <class Map>
  void Expect4x4(Map map) {
    for (int32_t j = 0; j < 4; ++j)
      for (int32_t i = 0; i < 4; ++i) {
        auto [u, v] = map(i, j);
        ASSERT_EQ(At(100 + i, 50 + j), Coded(u, v)) << i << "," << j;
      }
  }
};

TEST_F(RotateTest, ZeroNinetyAndOneEightyDegrees) {
  EXPECT_EQ(elDraw::PutRotate(100, 50, 104, 54, 0, pic, 0, 0, 4, 4), 1);
  Expect4x4([](int32_t i, int32_t j) { return std::pair{i, j}; });
  elDraw::PutRotate(100, 50, 104, 54, 90, pic, 0, 0, 4, 4);
  Expect4x4([](int32_t i, int32_t j) { return std::pair{3 - j, i}; });
  elDraw::PutRotate(100, 50, 104, 54, 180, pic, 0, 0, 4, 4);
  Expect4x4([](int32_t i, int32_t j) { return std::pair{3 - i, 3 - j}; });
  elDraw::PutRotate(100, 50, 104, 54, 270, pic, 0, 0, 4, 4);
  Expect4x4([](int32_t i, int32_t j) { return std::pair{j, 3 - i}; });
  // Angles outside 0..359 turn the same way as their remainder.
  elDraw::PutRotate(100, 50, 104, 54, 450, pic, 0, 0, 4, 4);
  Expect4x4([](int32_t i, int32_t j) { return std::pair{3 - j, i}; });
  elDraw::PutRotate(100, 50, 104, 54, -180, pic, 0, 0, 4, 4);
  Expect4x4([](int32_t i, int32_t j) { return std::pair{3 - i, 3 - j}; });
}

TEST_F(RotateTest, SourceIsCentredAndKeyed) {
  // A 2 x 2 picture in a 4 x 4 rectangle sits at (1, 1); the rest stays as it was.
  int32_t small = MakeObject(2, 2, [](int32_t x, int32_t y) { return x == 1 && y == 1 ? 0 : Coded(x, y); });
  FillScreen([](int32_t, int32_t) { return P5(3, 3, 3); });
  elDraw::PutRotate(100, 50, 104, 54, 0, small, 0, 0, 2, 2);
  EXPECT_EQ(At(100, 50), P5(3, 3, 3));
  EXPECT_EQ(At(101, 51), Coded(0, 0));
  EXPECT_EQ(At(102, 51), Coded(1, 0));
  EXPECT_EQ(At(102, 52), P5(3, 3, 3));  // the black source pixel
  EXPECT_EQ(At(103, 53), P5(3, 3, 3));
  elDraw::PutRotate(100, 50, 104, 54, 180, small, 0, 0, 2, 2);
  EXPECT_EQ(At(102, 52), Coded(0, 0));
  EXPECT_EQ(At(101, 52), Coded(1, 0));
}

TEST_F(RotateTest, ClippedToTheClipRectangle) {
  elDraw::SetClip(102, 51, 640, 480);
  elDraw::PutRotate(100, 50, 104, 54, 180, pic, 0, 0, 4, 4);
  for (int32_t j = 0; j < 4; ++j)
    for (int32_t i = 0; i < 4; ++i) {
      const bool visible = i >= 2 && j >= 1;
      ASSERT_EQ(At(100 + i, 50 + j), visible ? Coded(3 - i, 3 - j) : 0) << i << "," << j;
    }
  elDraw::SetClip(0, 0, 640, 480);
  // Partly off the screen's left and top edges.
  FillScreen([](int32_t, int32_t) { return uint16_t{0}; });
  elDraw::PutRotate(-2, -2, 2, 2, 90, pic, 0, 0, 4, 4);
  EXPECT_EQ(At(0, 0), Coded(3 - 2, 2));
  EXPECT_EQ(At(1, 1), Coded(3 - 3, 3));
}

TEST_F(RotateTest, TiledZoomedAndBlendedVariants) {
  int32_t small = MakeObject(2, 2, Coded);
  elDraw::PutRotateTiled(100, 50, 104, 54, 0, small, 0, 0, 2, 2);
  // Offset 1: positions -1, 0, 1, 2 become 1, 0, 1, 0.
  Expect4x4([](int32_t i, int32_t j) {
    auto t = [](int32_t p) { return (p - 1 < 0 ? 1 - p : p - 1) % 2; };
    return std::pair{t(i), t(j)};
  });
  FillScreen([](int32_t, int32_t) { return uint16_t{0}; });
  elDraw::PutRotateZoom(100, 50, 104, 54, 90, 1.0f, pic, 0, 0, 4, 4);
  Expect4x4([](int32_t i, int32_t j) { return std::pair{3 - j, i}; });
  elDraw::PutRotateZoom(100, 50, 104, 54, 0, 2.0f, small, 0, 0, 2, 2);
  Expect4x4([](int32_t i, int32_t j) { return std::pair{i / 2, j / 2}; });
  elDraw::PutRotateZoomTiled(100, 50, 104, 54, 0, 0.5f, pic, 0, 0, 4, 4);  // 2 x 2 copies, every other pixel
  // Zoomed size 2, offset 1: centre positions i + 0.5 - 1 halve to -1, 1, 3, 5, taken as |p| mod 4.
  Expect4x4([](int32_t i, int32_t j) {
    auto t = [](int32_t p) { return std::abs(2 * p - 1) % 4; };
    return std::pair{t(i), t(j)};
  });
  EXPECT_EQ(elDraw::PutRotateZoom(100, 50, 104, 54, 0, 0.0f, pic, 0, 0, 4, 4), 1);  // nothing at zoom 0
  elDraw::PutRotateZoom(300, 300, 306, 306, 0, 1.5f, pic, 0, 0, 4, 4);  // centres on exact pixel edges
  const int32_t from[6] = {0, 1, 1, 2, 3, 3};
  for (int32_t j = 0; j < 6; ++j)
    for (int32_t i = 0; i < 6; ++i) ASSERT_EQ(At(300 + i, 300 + j), Coded(from[i], from[j])) << i << "," << j;
  FillScreen([](int32_t, int32_t) { return P5(31, 31, 31); });
  elDraw::PutRotateBlend(100, 50, 104, 54, 180, 31, pic, 0, 0, 4, 4);
  Expect4x4([](int32_t i, int32_t j) { return std::pair{3 - i, 3 - j}; });
  elDraw::PutRotateBlend(100, 50, 104, 54, 180, 0, pic, 0, 0, 4, 4);
  Expect4x4([](int32_t i, int32_t j) { return std::pair{3 - i, 3 - j}; });
}

TEST_F(RotateTest, ZoomPutAndRadialDistortions) {
  elDraw::PutZoom(100, 50, 2.0f, pic, 0, 0, 2, 2);  // the top-left 2 x 2 doubled
  Expect4x4([](int32_t i, int32_t j) { return std::pair{i / 2, j / 2}; });
  EXPECT_EQ(At(104, 50), 0);
  FillScreen([](int32_t, int32_t) { return uint16_t{0}; });
  elDraw::PutZoom(100, 50, 0.5f, pic, 0, 0, 4, 4);
  EXPECT_EQ(At(100, 50), Coded(1, 1));
  EXPECT_EQ(At(101, 51), Coded(3, 3));
  EXPECT_EQ(At(102, 50), 0);
  elDraw::PutZoom(300, 300, 1.5f, pic, 0, 0, 4, 4);  // 6 x 6, each pixel sampled at its centre
  const int32_t from[6] = {0, 1, 1, 2, 3, 3};
  for (int32_t j = 0; j < 6; ++j)
    for (int32_t i = 0; i < 6; ++i) ASSERT_EQ(At(300 + i, 300 + j), Coded(from[i], from[j])) << i << "," << j;
  EXPECT_EQ(At(306, 300), 0);

  // Strength 0 draws the picture unchanged; a swirl keeps the centre and the corners outside the circle.
  int32_t big = MakeObject(32, 32, Coded);
  elDraw::PutSwirl(200, 200, 0.0f, big, 0, 0, 32, 32);
  elDraw::PutLens(300, 200, 0.0f, big, 0, 0, 32, 32);
  for (int32_t y = 0; y < 32; ++y)
    for (int32_t x = 0; x < 32; ++x) {
      ASSERT_EQ(At(200 + x, 200 + y), Coded(x, y));
      ASSERT_EQ(At(300 + x, 200 + y), Coded(x, y));
    }
  elDraw::PutSwirl(200, 200, 180.0f, big, 0, 0, 32, 32);
  EXPECT_EQ(At(200, 200), Coded(0, 0));
  EXPECT_EQ(At(231, 231), Coded(31, 31));
  EXPECT_NE(At(216, 206), Coded(16, 6));
  elDraw::PutLens(300, 200, 1.0f, big, 0, 0, 32, 32);  // magnified: a point halfway out shows a point nearer the middle
  EXPECT_EQ(At(300 + 24, 200 + 16), Coded(20, 16));
}

}  // namespace
