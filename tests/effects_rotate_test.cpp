// Rotations, zooms and the radial puts against what they must equal: plain and mirrored puts, quarter
// turns and nearest-pixel zooms, over random odd-sized pictures placed across every screen edge.
#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "el/elDraw.h"
#include "tests/support/effects_support.h"

using namespace efftest;

namespace {

class RotateTest : public drawtest::DrawTest {
 protected:
  std::mt19937 rng{17};
  int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
  // A random picture (one pixel in eight black), put by put(x, y, obj, w, h) somewhere across the
  // screen's edges under a random clip; then each screen pixel must be want(i, j) (0: unchanged).
  void Check(const char* what, int runs, int32_t maxSize, bool square,
             const std::function<void(int32_t, int32_t, int32_t, int32_t, int32_t)>& put,
             const std::function<uint16_t(const std::vector<uint16_t>&, int32_t, int32_t, int32_t, int32_t)>& want,
             const std::function<int32_t(int32_t)>& outSize = [](int32_t n) { return n; }) {
    for (int run = 0; run < runs; ++run) {
      const int32_t w = Pick(1, maxSize), h = square ? w : Pick(1, maxSize), ow = outSize(w), oh = outSize(h);
      std::vector<uint16_t> pic(static_cast<size_t>(w * h));
      for (auto& p : pic) p = Pick(0, 7) ? static_cast<uint16_t>(Pick(1, 0xFFFF)) : 0;
      const int32_t obj = MakeObject(w, h, [&](int32_t x, int32_t y) { return pic[static_cast<size_t>(y * w + x)]; });
      const int32_t xs[] = {-ow + 1, -ow / 2, 0, 77, 640 - ow, 640 - ow / 2, 639}, ys[] = {-oh + 1, -oh / 2, 0, 51, 480 - oh, 479};
      const int32_t x = xs[Pick(0, 6)], y = ys[Pick(0, 5)];
      int32_t cl = 0, ct = 0, cr = 640, cb = 480;
      if (Pick(0, 2) == 0) cl = x + Pick(-2, ow), ct = y + Pick(-2, oh), cr = cl + Pick(0, ow), cb = ct + Pick(0, oh);
      elDraw::SetClip(cl, ct, cr, cb);
      SCOPED_TRACE(testing::Message() << what << " run " << run << " size " << w << "x" << h << " at " << x << "," << y
                                      << " clip " << cl << "," << ct << "," << cr << "," << cb);
      FillScreen([](int32_t, int32_t) { return P5(1, 1, 1); });
      put(x, y, obj, w, h);
      elDraw::SetClip(0, 0, 640, 480);
      for (int32_t py = std::max(0, y - 2); py < std::min(480, y + oh + 2); ++py)
        for (int32_t px = std::max(0, x - 2); px < std::min(640, x + ow + 2); ++px) {
          const int32_t i = px - x, j = py - y;
          const bool in = i >= 0 && j >= 0 && i < ow && j < oh && px >= cl && px < cr && py >= ct && py < cb;
          const uint16_t s = in ? want(pic, w, h, i, j) : 0;
          ASSERT_EQ(At(px, py), s ? s : P5(1, 1, 1)) << px << "," << py;
        }
      elDraw::ReleaseObject(obj);
    }
  }
};

uint16_t Px(const std::vector<uint16_t>& p, int32_t w, int32_t x, int32_t y) { return p[static_cast<size_t>(y * w + x)]; }

TEST_F(RotateTest, WholeTurnsAreKeyedPutsAndHalfTurnsMirror) {
  auto same = [](const std::vector<uint16_t>& p, int32_t w, int32_t, int32_t i, int32_t j) { return Px(p, w, i, j); };
  for (int32_t angle : {0, 360, -720})
    Check("whole turn", 30, 200, false,
          [&](int32_t x, int32_t y, int32_t o, int32_t w, int32_t h) { elDraw::PutRotate(x, y, x + w, y + h, angle, o, 0, 0, w, h); }, same);
  Check("zoom 1", 20, 120, false,
        [](int32_t x, int32_t y, int32_t o, int32_t w, int32_t h) { elDraw::PutRotateZoom(x, y, x + w, y + h, 0, 1.0f, o, 0, 0, w, h); }, same);
  Check("calm swirl and lens", 20, 60, false,
        [](int32_t x, int32_t y, int32_t o, int32_t w, int32_t h) {
          elDraw::PutSwirl(x, y, 0.0f, o, 0, 0, w, h);
          elDraw::PutLens(x, y, 0.0f, o, 0, 0, w, h);
        },
        same);
  Check("half turn", 30, 90, false,
        [](int32_t x, int32_t y, int32_t o, int32_t w, int32_t h) { elDraw::PutRotate(x, y, x + w, y + h, 540, o, 0, 0, w, h); },
        [](const std::vector<uint16_t>& p, int32_t w, int32_t h, int32_t i, int32_t j) { return Px(p, w, w - 1 - i, h - 1 - j); });
  Check("quarter turn", 30, 60, true,
        [](int32_t x, int32_t y, int32_t o, int32_t w, int32_t h) { elDraw::PutRotate(x, y, x + w, y + h, 90, o, 0, 0, w, h); },
        [](const std::vector<uint16_t>& p, int32_t w, int32_t, int32_t i, int32_t j) { return Px(p, w, w - 1 - j, i); });
  Check("three quarters", 20, 60, true,
        [](int32_t x, int32_t y, int32_t o, int32_t w, int32_t h) { elDraw::PutRotate(x, y, x + w, y + h, -90, o, 0, 0, w, h); },
        [](const std::vector<uint16_t>& p, int32_t w, int32_t, int32_t i, int32_t j) { return Px(p, w, j, w - 1 - i); });
}

// A whole turn blended lands as PutBlend lands, at any alpha.
TEST_F(RotateTest, AWholeTurnBlendsAsPutBlendDoes) {
  const int32_t obj = MakeObject(40, 30, [](int32_t x, int32_t y) { return static_cast<uint16_t>(x * 1637 + y * 331 + 1); });
  for (int32_t alpha : {5, 16, 27}) {
    std::vector<uint16_t> shots[2];
    for (int k = 0; k < 2; ++k) {
      FillScreen([](int32_t x, int32_t y) { return P5(x & 31, y & 31, (x + y) & 31); });
      k ? elDraw::PutBlend(100, 100, alpha, obj, 0, 0, 40, 30) : elDraw::PutRotateBlend(100, 100, 140, 130, 0, alpha, obj, 0, 0, 40, 30);
      for (int32_t i = 0; i < 50 * 40; ++i) shots[k].push_back(At(95 + i % 50, 95 + i / 50));
    }
    EXPECT_EQ(shots[0], shots[1]) << alpha;
  }
}

// Any angle: each destination pixel shows the source pixel under its centre turned about the middle,
// with sine and cosine from the table (scaled by 360).
TEST_F(RotateTest, AnyAngleShowsThePixelUnderEachTurnedCentre) {
  int32_t angle = 0;
  Check("any angle", 60, 70, false,
        [&](int32_t x, int32_t y, int32_t o, int32_t w, int32_t h) {
          elDraw::PutRotate(x, y, x + w, y + h, angle = Pick(-400, 400), o, 0, 0, w, h);
        },
        [&](const std::vector<uint16_t>& p, int32_t w, int32_t h, int32_t i, int32_t j) -> uint16_t {
          const int a = (angle % 360 + 360) % 360;
          const int64_t sn = SinTable[a], cs = SinTable[a + 90], dx = 2 * i + 1 - w, dy = 2 * j + 1 - h;  // in half pixels
          const int32_t u = static_cast<int32_t>(std::floor((360.0 * w + dx * cs - dy * sn) / 720));
          const int32_t v = static_cast<int32_t>(std::floor((360.0 * h + dx * sn + dy * cs) / 720));
          return u >= 0 && v >= 0 && u < w && v < h ? Px(p, w, u, v) : 0;
        });
}

// Each destination pixel shows the source pixel under its centre: (i + 0.5) / zoom.
TEST_F(RotateTest, ZoomsSampleAtPixelCentres) {
  for (float zoom : {0.25f, 0.5f, 0.875f, 1.5f, 2.0f, 3.0f}) {
    auto size = [zoom](int32_t n) { return static_cast<int32_t>(n * zoom); };
    auto from = [zoom](int32_t i, int32_t n) { return std::min(n - 1, static_cast<int32_t>((i + 0.5) / zoom)); };
    Check("zoom", 12, 50, false,
          [zoom](int32_t x, int32_t y, int32_t o, int32_t w, int32_t h) { EXPECT_EQ(elDraw::PutZoom(x, y, zoom, o, 0, 0, w, h), 1); },
          [&](const std::vector<uint16_t>& p, int32_t w, int32_t h, int32_t i, int32_t j) { return Px(p, w, from(i, w), from(j, h)); },
          size);
    if (zoom < 1) continue;
    Check("rotate zoom", 8, 30, false,
          [&](int32_t x, int32_t y, int32_t o, int32_t w, int32_t h) {
            elDraw::PutRotateZoom(x, y, x + size(w), y + size(h), 0, zoom, o, 0, 0, w, h);
          },
          [&](const std::vector<uint16_t>& p, int32_t w, int32_t h, int32_t i, int32_t j) { return Px(p, w, from(i, w), from(j, h)); },
          size);
  }
}

TEST_F(RotateTest, TiledRepeatsAndSmallPicturesSitInTheMiddle) {
  FillScreen([](int32_t, int32_t) { return uint16_t{0}; });
  const int32_t small = MakeObject(2, 2, Coded), pic = MakeObject(4, 4, Coded);
  elDraw::PutRotate(100, 50, 104, 54, 180, small, 0, 0, 2, 2);  // centred at (1, 1)
  elDraw::PutRotateTiled(200, 50, 204, 54, 0, small, 0, 0, 2, 2);
  elDraw::PutRotateZoomTiled(300, 50, 304, 54, 0, 0.5f, pic, 0, 0, 4, 4);
  for (int32_t j = 0; j < 4; ++j)
    for (int32_t i = 0; i < 4; ++i) {
      const bool mid = i >= 1 && i <= 2 && j >= 1 && j <= 2;
      EXPECT_EQ(At(100 + i, 50 + j), mid ? Coded(2 - i, 2 - j) : 0) << i << "," << j;
      EXPECT_EQ(At(200 + i, 50 + j), Coded(std::abs(i - 1) % 2, std::abs(j - 1) % 2)) << i << "," << j;
      EXPECT_EQ(At(300 + i, 50 + j), Coded(std::abs(2 * i - 1) % 4, std::abs(2 * j - 1) % 4)) << i << "," << j;
    }
  EXPECT_EQ(elDraw::PutRotateZoom(100, 50, 104, 54, 0, 0.0f, pic, 0, 0, 4, 4), 1);  // zoom 0 draws nothing
  EXPECT_EQ(elDraw::PutZoom(0, 0, -1.0f, pic, 0, 0, 4, 4), 1);
  int32_t big = MakeObject(32, 32, Coded);
  elDraw::PutSwirl(200, 200, 180.0f, big, 0, 0, 32, 32);  // the corners, outside the circle, stay
  EXPECT_EQ(At(200, 200), Coded(0, 0));
  EXPECT_EQ(At(231, 231), Coded(31, 31));
  EXPECT_NE(At(216, 206), Coded(16, 6));
  elDraw::PutLens(300, 200, 1.0f, big, 0, 0, 32, 32);  // magnified: halfway out shows a point nearer the middle
  EXPECT_EQ(At(324, 216), Coded(20, 16));
}

}  // namespace
