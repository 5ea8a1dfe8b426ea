// Puts, fills, the half fill, tiles, stretches, waves and rows, each against a model of where every
// source pixel must land; random pictures of odd sizes across every edge of the screen and the clip.
#include <climits>
#include <cmath>
#include <random>
#include <vector>

#include "el/elDraw.h"
#include "el/elSystem.h"
#include "tests/support/effects_support.h"

using namespace efftest;
using drawtest::PixelAt;

namespace {

class BlitTest : public drawtest::DrawTest {
 public:
  std::mt19937 rng{23};
  int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
  std::vector<uint16_t> pic;
  int32_t pw = 0, ph = 0;
  int32_t RandomPicture(int32_t maxW, int32_t maxH) {
    pw = Pick(1, maxW), ph = Pick(1, maxH);
    pic.assign(static_cast<size_t>(pw * ph), 0);
    for (auto& p : pic) p = Pick(0, 7) ? static_cast<uint16_t>(Pick(1, 0xFFFF)) : 0;
    return MakeObject(pw, ph, [&](int32_t x, int32_t y) { return pic[static_cast<size_t>(y * pw + x)]; });
  }
  uint16_t Src(int32_t x, int32_t y) const { return pic[static_cast<size_t>(y * pw + x)]; }
};

TEST_F(BlitTest, PutsLandWhereTheClipLetsThem) {
  const int32_t target = elDraw::CreateObject(64, 48, 2);
  for (int run = 0; run < 200; ++run) {
    const int32_t obj = RandomPicture(45, 30), kind = run % 4;  // keyed, opaque, keyed into an object, opaque into it
    const int32_t l = Pick(0, pw - 1), t = Pick(0, ph - 1), r = Pick(l, pw), b = Pick(t, ph), w = r - l, h = b - t;
    const bool toObject = kind >= 2, keyed = kind % 2 == 0;
    plat::Surface* s = toObject ? DrawObject[target].surface : BackSurface;
    const int32_t SW = s->Width(), SH = s->Height();
    const int32_t xs[] = {-w - 1, -w + 1, -w / 2, -1, 0, 7, SW - w, SW - w / 2, SW - 1, SW}, ys[] = {-h + 1, -1, 0, 9, SH - h, SH - 1, SH};
    const int32_t x = xs[Pick(0, 9)], y = ys[Pick(0, 6)];
    int32_t cl = 0, ct = 0, cr = 640, cb = 480;
    if (Pick(0, 2) == 0) cl = x + Pick(-3, w), ct = y + Pick(-3, h), cr = cl + Pick(-1, w), cb = ct + Pick(-1, h);
    if (Pick(0, 6) == 0) cl = -100, ct = -100, cr = 2000, cb = 2000;
    SCOPED_TRACE(testing::Message() << "kind " << kind << " rect " << l << "," << t << "," << r << "," << b << " at " << x << ","
                                    << y << " clip " << cl << "," << ct << "," << cr << "," << cb);
    s->Blt(nullptr, nullptr, nullptr, plat::DDBLT_COLORFILL, 0x1234);
    elDraw::SetClip(cl, ct, cr, cb);
    if (toObject)
      keyed ? elDraw::PutToObject(target, x, y, obj, l, t, r, b) : elDraw::PutOpaqueToObject(target, x, y, obj, l, t, r, b);
    else
      keyed ? elDraw::Put(x, y, obj, l, t, r, b) : elDraw::PutOpaque(x, y, obj, l, t, r, b);
    elDraw::SetClip(0, 0, 640, 480);
    // Cut to the clip rectangle; what then leaves the target is refused as a whole.
    const int32_t X = std::max(x, cl), Y = std::max(y, ct), R = std::min(x + w, cr), B = std::min(y + h, cb);
    const bool drawn = X <= R && Y <= B && X >= 0 && Y >= 0 && R <= SW && B <= SH;
    for (int32_t py = std::max(0, y - 2); py < std::min(SH, y + h + 2); ++py)
      for (int32_t px = std::max(0, x - 2); px < std::min(SW, x + w + 2); ++px) {
        const bool in = drawn && px >= X && px < R && py >= Y && py < B;
        const uint16_t p = in ? Src(l + px - x, t + py - y) : 0;
        ASSERT_EQ(PixelAt(s, px, py), in && (p || !keyed) ? p : 0x1234u) << px << "," << py;
      }
    elDraw::ReleaseObject(obj);
  }
}

TEST_F(BlitTest, BadRectanglesAndObjectsDrawNothing) {
  const int32_t obj = RandomPicture(64, 64);
  elDraw::ClearScreen();
  const int32_t bad[][5] = {{obj, 0, 0, pw + 1, 1}, {obj, -5, 0, 1, 1}, {obj, 1, 1, 0, 0}, {obj, 0, 0, 2000000000, 1},
                            {77, 0, 0, 8, 8},   {-3, 0, 0, 8, 8},     {4000, 0, 0, 8, 8}};
  for (const auto& c : bad) elDraw::Put(0, 0, c[0], c[1], c[2], c[3], c[4]);
  for (int32_t v : {2000000000, -2000000000, INT32_MAX, INT32_MIN}) elDraw::Put(v, v, obj, 0, 0, 8, 8);
  for (int32_t i = 0; i < 640 * 480; ++i) ASSERT_EQ(PixelAt(BackSurface, i % 640, i / 640), 0u) << i;
}

// A blit given no source rectangle copies the whole source.
TEST_F(BlitTest, ABlitWithoutASourceRectangleCopiesEverything) {
  const int32_t obj = RandomPicture(64, 64);
  elDraw::ClearScreen();
  ASSERT_EQ(BackSurface->BltFast(10, 20, DrawObject[obj].surface, nullptr, 0), plat::DD_OK);
  for (int32_t y = 0; y < 100; ++y)
    for (int32_t x = 0; x < 100; ++x) {
      const bool in = x >= 10 && x < 10 + pw && y >= 20 && y < 20 + ph;
      ASSERT_EQ(PixelAt(BackSurface, x, y), in ? Src(x - 10, y - 20) : 0u) << x << "," << y;
    }
}

// A sprite put again and again takes the run-copy path; it must follow every change of the picture.
TEST_F(BlitTest, RepeatedKeyedPutsFollowPictureChanges) {
  const int32_t obj = RandomPicture(40, 8);
  plat::Surface* s = DrawObject[obj].surface;
  auto expectPut = [&](const char* what) {
    for (int i = 0; i < 3; ++i) elDraw::FillColor(0, 0, 100, 20, 0x001F), elDraw::Put(10, 5, obj, 0, 0, pw, ph);
    for (int32_t i = 0; i < pw * ph; ++i) {
      const uint32_t p = PixelAt(s, i % pw, i / pw);
      ASSERT_EQ(PixelAt(BackSurface, 10 + i % pw, 5 + i / pw), p ? p : 0x001Fu) << what << " at " << i;
    }
  };
  expectPut("first");
  plat::Rect all{0, 0, pw, 1};
  s->Blt(&all, nullptr, nullptr, plat::DDBLT_COLORFILL, 0);
  expectPut("after fill");
  elDraw::PutOpaqueToObject(obj, 0, 0, obj, 1, 0, pw, ph);
  expectPut("after put");
  plat::LockedRect lr;
  ASSERT_EQ(s->Lock(nullptr, &lr, 0), plat::DD_OK);
  reinterpret_cast<uint16_t*>(lr.bits)[0] = 0xFFFF;
  EXPECT_EQ(s->Unlock(), plat::DD_OK);
  expectPut("after lock");
}

TEST_F(BlitTest, FillsAgainstTheModel) {
  std::vector<uint16_t> m(640 * 480, 0xFFFF);
  auto fill = [&](int32_t l, int32_t t, int32_t r, int32_t b, uint16_t v) {
    if (l < 0 || t < 0 || r > 640 || b > 480 || l > r || t > b) return;  // refused as a whole
    for (int32_t y = t; y < b; ++y)
      for (int32_t x = l; x < r; ++x) m[static_cast<size_t>(y * 640 + x)] = v;
  };
  elDraw::ClearScreenWhite();
  for (int run = 0; run < 60; ++run) {
    const int32_t l = Pick(-5, 645), t = Pick(-5, 485), r = l + Pick(-1, 90), b = t + Pick(-1, 60), op = run % 4;
    const uint16_t v = static_cast<uint16_t>(Pick(1, 0xFFFE));
    if (op == 0) elDraw::FillBlack(l, t, r, b), fill(l, t, r, b, 0);
    if (op == 1) elDraw::FillWhite(l, t, r, b), fill(l, t, r, b, 0xFFFF);
    if (op == 2) elDraw::FillColor(l, t, r, b, v), fill(l, t, r, b, v);
    if (op == 3) {
      elDraw::FrameBlack(l, t, r, b);
      fill(l, t, r, t + 1, 0), fill(l, b - 1, r, b, 0), fill(l, t, l + 1, b, 0), fill(r - 1, t, r, b, 0);
    }
  }
  for (int32_t i = 0; i < 640 * 480; ++i) ASSERT_EQ(PixelAt(BackSurface, i % 640, i / 640), m[static_cast<size_t>(i)]) << i % 640 << "," << i / 640;
}

// Each pixel of the clipped rectangle becomes half itself plus half the given pixel.
TEST_F(BlitTest, FillHalfAgainstTheModel) {
  for (int run = 0; run < 40; ++run) {
    const int32_t l = Pick(-20, 650), t = Pick(-20, 490), r = l + Pick(-2, 80), b = t + Pick(-2, 60);
    int32_t cl = Pick(-50, 100), ct = Pick(-50, 100), cr = Pick(500, 700), cb = Pick(400, 540);
    const uint16_t v = static_cast<uint16_t>(Pick(0, 0xFFFF));
    FillScreen([](int32_t x, int32_t y) { return static_cast<uint16_t>(x * 97 + y * 7919); });
    elDraw::SetClip(cl, ct, cr, cb);
    ASSERT_EQ(elDraw::FillHalf(l, t, r, b, v), 1);
    elDraw::SetClip(0, 0, 640, 480);
    const int32_t L = std::max({l, cl, 0}), T = std::max({t, ct, 0}), R = std::min({r, cr, 640}), B = std::min({b, cb, 480});
    for (int32_t y = std::max(0, t - 2); y < std::min(480, b + 2); ++y)
      for (int32_t x = std::max(0, l - 2); x < std::min(640, r + 2); ++x) {
        const uint16_t p = static_cast<uint16_t>(x * 97 + y * 7919);
        const bool in = x >= L && x < R && y >= T && y < B;
        ASSERT_EQ(At(x, y), in ? ((p >> 1) & 0x7BEF) + ((v >> 1) & 0x7BEF) : p) << x << "," << y << " run " << run;
      }
  }
  plat::LockedRect lr;
  BackSurface->Lock(nullptr, &lr, 0);
  EXPECT_EQ(elDraw::FillHalf(0, 0, 10, 10, 0xFFFF), 0);  // the screen cannot be locked
  BackSurface->Unlock();
}

// Tiles cover the screen from the offset of the frame before; the offset moves and wraps.
TEST_F(BlitTest, TiledScrollsAndWraps) {
  const int32_t tile = MakeObject(64, 48, Coded);
  TileOffsetX = TileOffsetY = 0;
  FrameSeconds = 1.0f / 30;
  float ox = 0, oy = 0;
  for (int frame = 0; frame < 70; ++frame) {
    elDraw::PutTiled(30.0f, -45.0f, tile, 0, 0, 64, 48);
    const int32_t dx = static_cast<int32_t>(ox), dy = static_cast<int32_t>(oy);
    for (int32_t y = 0; y < 480; y += frame % 10 ? 47 : 1)
      for (int32_t x = 0; x < 640; x += frame % 10 ? 13 : 1)
        ASSERT_EQ(At(x, y), Coded(((x - dx) % 64 + 64) % 64, ((y - dy) % 48 + 48) % 48)) << frame << " at " << x << "," << y;
    ox += FrameSeconds * 30.0f, oy -= FrameSeconds * 45.0f;
    if (ox < -64) ox += 64;
    if (ox > 0) ox -= 64;
    if (oy < -48) oy += 48;
    if (oy > 0) oy -= 48;
  }
  elDraw::PutTiled(30.0f, 30.0f, tile, 0, 0, 0, 48);  // a tile of no size draws nothing, divides by nothing
}

// A stretch cut by the clip rectangle or the screen shows exactly its part of the whole stretch.
void ExpectStretches(BlitTest& t) {
  const int32_t obj = t.RandomPicture(64, 64);
  elDraw::ClearScreenWhite();
  elDraw::PutStretch(100, 100, obj, 0, 0, t.pw, t.ph, 2 * t.pw, 2 * t.ph);
  for (int32_t j = 0; j < 2 * t.ph; ++j)
    for (int32_t i = 0; i < 2 * t.pw; ++i) {
      const uint16_t p = t.Src(i / 2, j / 2);
      ASSERT_EQ(At(100 + i, 100 + j), p ? p : 0xFFFF) << i << "," << j;
    }
  elDraw::ClearScreenWhite();  // one column wide: one of the source's columns, doubled in height
  elDraw::PutStretch(5, 5, obj, 0, 0, t.pw, t.ph, 1, 2 * t.ph);
  bool someColumn = false;
  for (int32_t k = 0; k < t.pw; ++k) {
    bool same = true;
    for (int32_t j = 0; j < 2 * t.ph; ++j) same = same && At(5, 5 + j) == (t.Src(k, j / 2) ? t.Src(k, j / 2) : 0xFFFF);
    someColumn = someColumn || (same && t.Src(k, 0) + t.Src(k, t.ph - 1) != 0);
  }
  ASSERT_TRUE(someColumn);
  const int32_t W = 101, H = 77, l = t.pw / 4, tp = t.ph / 5, r = t.pw, b = t.ph;
  elDraw::ClearScreenWhite();
  elDraw::PutStretch(200, 200, obj, l, tp, r, b, W, H);
  std::vector<uint16_t> whole;
  for (int32_t j = 0; j < H; ++j)
    for (int32_t i = 0; i < W; ++i) whole.push_back(At(200 + i, 200 + j));
  const int32_t cases[][6] = {{-37, 10, 0, 0, 640, 480},  {10, -29, 0, 0, 640, 480},    {590, 430, 0, 0, 640, 480},
                              {-50, -40, 0, 0, 640, 480}, {80, 90, 100, 100, 151, 170}, {-20, 300, -100, 0, 2000, 2000}};
  for (const auto& c : cases) {
    elDraw::ClearScreenWhite();
    elDraw::SetClip(c[2], c[3], c[4], c[5]);
    elDraw::PutStretch(c[0], c[1], obj, l, tp, r, b, W, H);
    elDraw::SetClip(0, 0, 640, 480);
    for (int32_t y = 0; y < 480; ++y)
      for (int32_t x = 0; x < 640; ++x) {
        const int32_t i = x - c[0], j = y - c[1];
        const bool in = i >= 0 && j >= 0 && i < W && j < H && x >= c[2] && x < c[4] && y >= c[3] && y < c[5];
        ASSERT_EQ(At(x, y), in ? whole[static_cast<size_t>(j * W + i)] : 0xFFFF) << c[0] << "," << c[1] << " at " << x << "," << y;
      }
  }
  elDraw::ClearScreen();  // edges beyond the 32-bit range: only the last source column reaches the screen
  elDraw::PutStretch(INT32_MAX - 5, 0, obj, 0, 0, t.pw, 1, 100, 1);
  elDraw::PutStretch(INT32_MIN + 10, 0, obj, 0, 0, t.pw, 1, INT32_MAX, 1);
  for (int32_t x = 0; x < 640; ++x) ASSERT_EQ(At(x, 0), x < 9 ? t.Src(t.pw - 1, 0) : 0) << x;
}

TEST_F(BlitTest, StretchWithTheBlitter) {
  ASSERT_EQ(CanStretch, 1);
  ExpectStretches(*this);
}

class SoftStretchTest : public BlitTest {
  void Configure() override { plat::headless::SetCaps(false, false, false, false); }
};

TEST_F(SoftStretchTest, StretchThroughTheBuffer) {
  ASSERT_EQ(CanStretch, 0);
  ExpectStretches(*this);
}

TEST_F(BlitTest, WavesAndRows) {
  const int32_t obj = MakeObject(40, 40, Coded);
  auto expectRows = [&](int32_t y, int32_t n, const std::function<int32_t(int32_t)>& row, const std::function<int32_t(int32_t)>& shift) {
    for (int32_t k = 0; k < n; ++k)
      for (int32_t x = 90; x < 160; ++x) {
        const int32_t i = x - 100 - shift(k);
        ASSERT_EQ(At(x, y + k), i >= 0 && i < 30 ? Coded(5 + i, row(k)) : 0) << "row " << k << " at " << x;
      }
  };
  auto wave = [](int32_t r, int32_t amp) { return static_cast<int32_t>(std::cos(r * 2 * 3.141592653589793 / 360) * amp); };
  FillScreen([](int32_t, int32_t) { return uint16_t{0}; });
  elDraw::PutWave(100, 100, 7, 0, 0.0f, obj, 5, 10, 35, 30, 0);  // rows 10..29, row r moved by cos(r degrees) x 7
  expectRows(100, 20, [](int32_t k) { return 10 + k; }, [&](int32_t k) { return wave(10 + k, 7); });
  FillScreen([](int32_t, int32_t) { return uint16_t{0}; });
  elDraw::PutWave(100, 100, 7, 0, 0.0f, obj, 5, 0, 35, 6, 1);  // alternate rows mirrored
  const int32_t sign = At(100 + wave(0, 7), 100) == Coded(5, 0) ? 1 : -1;
  expectRows(100, 6, [](int32_t k) { return k; }, [&](int32_t k) { return (k % 2 ? -sign : sign) * wave(k, 7); });
  FillScreen([](int32_t, int32_t) { return uint16_t{0}; });
  elDraw::PutRows(100, 50, 4, obj, 5, 3, 35, 13);  // each band of four rows repeats its first row
  expectRows(50, 12, [](int32_t k) { return 3 + k / 4 * 4; }, [](int32_t) { return 0; });
  elDraw::PutRows(100, 70, 1, obj, 5, 3, 35, 6);  // bands of one row: a plain copy
  expectRows(70, 3, [](int32_t k) { return 3 + k; }, [](int32_t) { return 0; });
  elDraw::PutRows(0, 0, 0, obj, 0, 0, 40, 16);     // no step: nothing, and no endless loop
  FillScreen([](int32_t, int32_t) { return uint16_t{0}; });
  elDraw::PutWaveScroll(100, 200, 0, 0, 0.0f, 0.0f, obj, 5, 20, 35, 40);
  expectRows(200, 20, [](int32_t k) { return 20 + k; }, [](int32_t) { return 0; });
  for (int32_t x = 90; x < 160; ++x) ASSERT_EQ(At(x, 220), 0) << "below the rows at " << x;
  for (int i = 0; i < 5; ++i) elDraw::PutWaveBand(300, 360, 8, 0, 45.0f, 50.0f, obj, 0, 0, 40, 40);  // stays inside
  elDraw::PutWaveBand(300, 360, 8, 0, 45.0f, 50.0f, obj, 0, 0, 0, 40);
  FrameSeconds = 1.0f;  // the phase moves on by speed x frame time: 10.5 degrees, of which 10 count
  elDraw::PutWave(100, 100, 7, 0, 10.5f, obj, 5, 10, 35, 30, 0);
  FillScreen([](int32_t, int32_t) { return uint16_t{0}; });
  elDraw::PutWave(100, 100, 7, 0, 0.0f, obj, 5, 10, 35, 30, 0);
  FrameSeconds = 0.0f;
  expectRows(100, 20, [](int32_t k) { return 10 + k; }, [&](int32_t k) { return wave(20 + k, 7); });
  elDraw::PutWaveBand(300, 310, 0, 0, 0.0f, 0.0f, obj, 7, 0, 8, 40);  // a band one column wide
  bool column7 = false;
  for (int32_t r = 0; r < 40; ++r) column7 = column7 || At(0, 305) == Coded(7, r);
  EXPECT_TRUE(column7);
  for (int32_t x = 0; x < 640; x += 37) ASSERT_EQ(At(x, 305), At(0, 305)) << x;
}

}  // namespace
