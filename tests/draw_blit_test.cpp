// Fills, clipped puts, tiling, both stretch paths, the half fill, waves and rows.
#include <climits>
#include <vector>

#include "el/elDraw.h"
#include "el/elSystem.h"
#include "tests/support/draw_support.h"

using namespace drawtest;

namespace {

// 64 x 64 with each pixel telling its own position in 5-6-5: green holds x, red y / 2, blue the low
// bit of y (and is never 0, so no pixel is black).
uint32_t Coded(int32_t x, int32_t y) {
  return uint32_t(y / 2 * 8) << 16 | uint32_t(x * 4) << 8 | uint32_t(16 + 8 * (y & 1));
}

class BlitTest : public DrawTest {
 protected:
  int32_t coded = 0;
  void SetUp() override {
    DrawTest::SetUp();
    ASSERT_EQ(screenResult, 1);
    WriteProgramFile("CODED.BMP", Bmp24(64, 64, Coded));
    coded = elDraw::LoadObject("CODED.BMP", 2);
    elDraw::ClearScreen();
  }
  // The source pixel of the coded picture that landed at (x, y); (-1, -1) for background.
  std::pair<int, int> From(int32_t x, int32_t y) {
    uint32_t p = PixelAt(BackSurface, x, y);
    if ((p & 0x1F) == 0) return {-1, -1};
    return {int((p >> 5) & 63), int(p >> 11) * 2 + int(p & 0x1F) - 2};
  }
  int CountDrawn() {
    int n = 0;
    for (int32_t y = 0; y < 480; ++y)
      for (int32_t x = 0; x < 640; ++x) n += PixelAt(BackSurface, x, y) != 0;
    return n;
  }
  // A stretch partly outside the clip rectangle (or the screen) shows exactly the part of the whole
  // stretch that lies inside it; the picture has black (key) pixels, the screen is white.
  void ExpectClippedStretchesShowPartOfTheWhole() {
    WriteProgramFile("HOLES.BMP", Bmp24(64, 64, [](int x, int y) { return (x + 2 * y) % 7 ? Coded(x, y) : 0u; }));
    elDraw::SetColorKey(0);
    const int32_t pic = elDraw::LoadObject("HOLES.BMP", 2);
    ASSERT_GT(pic, 0);
    const int32_t W = 101, H = 77;  // from a 37 x 25 rectangle: no whole ratio
    elDraw::ClearScreenWhite();
    elDraw::PutStretch(200, 200, pic, 3, 5, 40, 30, W, H);
    std::vector<uint32_t> whole;
    for (int32_t j = 0; j < H; ++j)
      for (int32_t i = 0; i < W; ++i) whole.push_back(PixelAt(BackSurface, 200 + i, 200 + j));
    ASSERT_NE(whole.front(), 0xFFFFu);
    struct Case {
      int32_t x, y, cl, ct, cr, cb;
    };
    const Case cases[] = {{-37, 10, 0, 0, 640, 480},   {10, -29, 0, 0, 640, 480},   {590, 430, 0, 0, 640, 480},
                          {-50, -40, 0, 0, 640, 480},  {80, 90, 100, 100, 151, 170}, {-20, 300, -100, 0, 2000, 2000}};
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << "at " << c.x << "," << c.y);
      elDraw::ClearScreenWhite();
      elDraw::SetClip(c.cl, c.ct, c.cr, c.cb);
      elDraw::PutStretch(c.x, c.y, pic, 3, 5, 40, 30, W, H);
      elDraw::SetClip(0, 0, 640, 480);
      for (int32_t y = 0; y < 480; ++y)
        for (int32_t x = 0; x < 640; ++x) {
          const int32_t i = x - c.x, j = y - c.y;
          const bool in = i >= 0 && j >= 0 && i < W && j < H && x >= c.cl && x < c.cr && y >= c.ct && y < c.cb;
          ASSERT_EQ(PixelAt(BackSurface, x, y), in ? whole[size_t(j * W + i)] : 0xFFFFu) << x << "," << y;
        }
    }
    // Edges beyond the 32-bit range: only the last source column reaches the screen, or nothing.
    elDraw::ClearScreen();
    elDraw::PutStretch(INT32_MAX - 5, 0, coded, 0, 0, 37, 10, 100, 10);
    elDraw::PutStretch(0, INT32_MAX - 5, coded, 0, 0, 37, 10, 100, 100);
    EXPECT_EQ(CountDrawn(), 0);
    elDraw::PutStretch(INT32_MIN + 10, 0, coded, 0, 0, 37, 10, INT32_MAX, 10);
    EXPECT_EQ(CountDrawn(), 9 * 10);
    EXPECT_EQ(From(0, 0), std::make_pair(36, 0));
    EXPECT_EQ(From(8, 9), std::make_pair(36, 9));
  }
};

TEST_F(BlitTest, PutClipsAgainstTheClipRectangle) {
  elDraw::Put(-10, -10, coded, 0, 0, 64, 64);
  EXPECT_EQ(From(0, 0), std::make_pair(10, 10));
  EXPECT_EQ(From(53, 53), std::make_pair(63, 63));
  EXPECT_EQ(From(54, 0), std::make_pair(-1, -1));
  EXPECT_EQ(CountDrawn(), 54 * 54);

  elDraw::ClearScreen();
  elDraw::Put(600, 0, coded, 0, 0, 64, 64);
  EXPECT_EQ(CountDrawn(), 40 * 64);
  EXPECT_EQ(From(639, 0), std::make_pair(39, 0));

  elDraw::ClearScreen();
  elDraw::Put(-64, 0, coded, 0, 0, 64, 64);  // wholly left of the clip
  elDraw::Put(-200, 100, coded, 0, 0, 64, 64);
  elDraw::Put(100, 480, coded, 0, 0, 64, 64);
  EXPECT_EQ(CountDrawn(), 0);

  // A smaller clip rectangle, and a source rectangle inside the picture.
  elDraw::SetClip(100, 100, 120, 130);
  elDraw::Put(90, 90, coded, 8, 8, 48, 48);
  EXPECT_EQ(CountDrawn(), 20 * 30);
  EXPECT_EQ(From(100, 100), std::make_pair(18, 18));
  EXPECT_EQ(From(119, 129), std::make_pair(37, 47));
  elDraw::SetClip(0, 0, 640, 480);
}

TEST_F(BlitTest, PutRefusedOutsideThePicture) {
  // Rectangles beyond the object's own size are refused by the surface; nothing is read past it.
  elDraw::Put(0, 0, coded, 0, 0, 65, 64);
  elDraw::Put(0, 0, coded, -5, 0, 10, 10);
  elDraw::Put(0, 0, coded, 10, 10, 5, 5);
  elDraw::Put(0, 0, coded, 0, 0, 2000000000, 64);
  elDraw::Put(2000000000, 2000000000, coded, 0, 0, 64, 64);
  elDraw::Put(-2000000000, -2000000000, coded, 0, 0, 64, 64);
  elDraw::Put(0, 0, 77, 0, 0, 64, 64);
  elDraw::Put(0, 0, -3, 0, 0, 64, 64);
  elDraw::Put(0, 0, 4000, 0, 0, 64, 64);
  EXPECT_EQ(CountDrawn(), 0);
}

TEST_F(BlitTest, KeyedAndOpaquePuts) {
  WriteProgramFile("K.BMP", Bmp24(4, 1, [](int x, int) { return x % 2 ? 0x00FF00u : 0xFFFFFFu; }));
  elDraw::SetColorKey(0x00FF00);
  int32_t k = elDraw::LoadObject("K.BMP", 2);
  elDraw::FillColor(0, 0, 8, 2, 0x001F);
  elDraw::Put(0, 0, k, 0, 0, 4, 1);
  elDraw::PutOpaque(0, 1, k, 0, 0, 4, 1);
  EXPECT_EQ(PixelAt(BackSurface, 0, 0), 0xFFFFu);
  EXPECT_EQ(PixelAt(BackSurface, 1, 0), 0x001Fu);
  EXPECT_EQ(PixelAt(BackSurface, 1, 1), 0x07E0u);
  // Into objects: clipped by the screen's clip rectangle, not the target's size.
  int32_t t = elDraw::CreateObject(32, 32, 2);
  elDraw::ClearObject(t);
  elDraw::PutToObject(t, -1, 0, k, 0, 0, 4, 1);
  EXPECT_EQ(PixelAt(DrawObject[t].surface, 0, 0), 0u);  // source x 1: key
  EXPECT_EQ(PixelAt(DrawObject[t].surface, 1, 0), 0xFFFFu);
  elDraw::PutOpaqueToObject(t, 0, 5, k, 0, 0, 4, 1);
  EXPECT_EQ(PixelAt(DrawObject[t].surface, 1, 5), 0x07E0u);
  // An object onto itself.
  elDraw::PutOpaqueToObject(t, 1, 5, t, 0, 5, 4, 6);
  EXPECT_EQ(PixelAt(DrawObject[t].surface, 1, 5), 0xFFFFu);
  EXPECT_EQ(PixelAt(DrawObject[t].surface, 2, 5), 0x07E0u);
}

// A picture put with its key again and again (a sprite) takes the run-copy path from the third put
// on; the result must not differ, also for partial rectangles and after the picture changes.
TEST_F(BlitTest, RepeatedKeyedPutsFollowPictureChanges) {
  WriteProgramFile("R.BMP", Bmp24(40, 8, [](int x, int y) { return (x / 3 + y) % 3 == 0 ? 0x00FF00u : 0xFF0000u; }));
  elDraw::SetColorKey(0x00FF00);
  int32_t r = elDraw::LoadObject("R.BMP", 2);
  auto expectPut = [&](int32_t l, int32_t rr, const char* what) {
    elDraw::FillColor(0, 0, 100, 20, 0x001F);
    elDraw::Put(10, 5, r, l, 0, rr, 8);
    for (int32_t y = 0; y < 20; ++y)
      for (int32_t x = 0; x < 100; ++x) {
        bool inside = x >= 10 && x < 10 + (rr - l) && y >= 5 && y < 13;
        uint32_t src = inside ? PixelAt(DrawObject[r].surface, l + x - 10, y - 5) : 0x07E0;
        uint32_t want = src == 0x07E0 ? 0x001F : src;
        ASSERT_EQ(PixelAt(BackSurface, x, y), want) << what << " at " << x << "," << y;
      }
  };
  for (int i = 0; i < 4; ++i) expectPut(0, 40, "whole");
  expectPut(5, 33, "partial");
  expectPut(7, 8, "one column");
  // The picture changes: a fill into it, then a put into it, then a lock.
  plat::Rect all{0, 0, 40, 8};
  DrawObject[r].surface->Blt(&all, nullptr, nullptr, plat::DDBLT_COLORFILL, 0x07E0);
  expectPut(0, 40, "after fill");
  expectPut(0, 40, "after fill");
  elDraw::PutOpaqueToObject(r, 3, 3, coded, 0, 0, 10, 2);
  expectPut(0, 40, "after put");
  expectPut(0, 40, "after put");
  expectPut(0, 40, "after put");
  plat::LockedRect lr;
  ASSERT_EQ(DrawObject[r].surface->Lock(nullptr, &lr, 0), plat::DD_OK);
  reinterpret_cast<uint16_t*>(lr.bits)[0] = 0xFFFF;
  DrawObject[r].surface->Unlock();
  expectPut(0, 40, "after lock");
  // A new key.
  elDraw::SetObjectColorKey(r, 0xFFFFFF);
  elDraw::Put(10, 5, r, 0, 0, 40, 8);
  elDraw::Put(10, 5, r, 0, 0, 40, 8);
  elDraw::FillColor(0, 0, 100, 20, 0x001F);
  elDraw::Put(10, 5, r, 0, 0, 40, 8);
  EXPECT_EQ(PixelAt(BackSurface, 10, 5), 0x001Fu);  // white is the key now
  EXPECT_EQ(PixelAt(BackSurface, 11, 5), 0x07E0u);
}

TEST_F(BlitTest, Fills) {
  elDraw::ClearScreenWhite();
  EXPECT_EQ(PixelAt(BackSurface, 639, 479), 0xFFFFu);
  elDraw::FillBlack(10, 10, 20, 20);
  EXPECT_EQ(PixelAt(BackSurface, 10, 10), 0u);
  EXPECT_EQ(PixelAt(BackSurface, 20, 20), 0xFFFFu);
  elDraw::FillColor(30, 30, 31, 31, 0x1234);
  EXPECT_EQ(PixelAt(BackSurface, 30, 30), 0x1234u);
  elDraw::FrameBlack(100, 100, 110, 105);
  EXPECT_EQ(PixelAt(BackSurface, 100, 100), 0u);
  EXPECT_EQ(PixelAt(BackSurface, 109, 104), 0u);
  EXPECT_EQ(PixelAt(BackSurface, 105, 102), 0xFFFFu);
  EXPECT_EQ(PixelAt(BackSurface, 110, 102), 0xFFFFu);
  // A fill that leaves the surface is refused as a whole.
  elDraw::FillBlack(600, 0, 700, 10);
  EXPECT_EQ(PixelAt(BackSurface, 610, 5), 0xFFFFu);
  elDraw::ClearScreen();
  elDraw::FillWhite(0, 0, 3, 3);
  EXPECT_EQ(CountDrawn(), 9);
  elDraw::ClearObject(coded);
  EXPECT_EQ(PixelAt(DrawObject[coded].surface, 63, 63), 0u);
}

TEST_F(BlitTest, FillHalfPalePanel) {
  elDraw::ClearScreen();
  elDraw::FillColor(0, 0, 640, 1, 0xF800);
  const uint16_t white = static_cast<uint16_t>((31 << RShift5) | (31 << GShift5) | (31 << BShift5));
  EXPECT_EQ(white, 0xFFDF);
  EXPECT_EQ(elDraw::FillHalf(110, 0, 530, 420, white), 1);
  EXPECT_EQ(PixelAt(BackSurface, 110, 1), 0x7BEFu);      // black + half white
  EXPECT_EQ(PixelAt(BackSurface, 110, 0), 0xF3EFu);      // red 15 + 15, green 0 + 31, blue 0 + 15
  EXPECT_EQ(PixelAt(BackSurface, 109, 1), 0u);
  EXPECT_EQ(PixelAt(BackSurface, 530, 1), 0u);
  EXPECT_EQ(PixelAt(BackSurface, 110, 420), 0u);
  // Clamped to the clip; an empty result still answers 1.
  elDraw::SetClip(0, 0, 50, 50);
  EXPECT_EQ(elDraw::FillHalf(40, 40, 100, 100, white), 1);
  EXPECT_EQ(PixelAt(BackSurface, 49, 49), 0x7BEFu);
  EXPECT_EQ(PixelAt(BackSurface, 50, 49), 0u);
  EXPECT_EQ(elDraw::FillHalf(60, 60, 100, 100, white), 1);
  // A clip larger than the screen does not let the fill out of the back screen.
  elDraw::SetClip(-100, -100, 2000, 2000);
  EXPECT_EQ(elDraw::FillHalf(-50, -50, 1000, 1000, white), 1);
  elDraw::SetClip(0, 0, 640, 480);
  // While the back screen is locked the fill cannot run.
  plat::LockedRect lr;
  BackSurface->Lock(nullptr, &lr, 0);
  EXPECT_EQ(elDraw::FillHalf(0, 0, 10, 10, white), 0);
  BackSurface->Unlock();
}

class BlitTest555 : public BlitTest {
  void Configure() override { plat::headless::SetSixteenBitFormat(plat::PixelFormat::RGB555); }
};

TEST_F(BlitTest555, FillHalfWhiteOnBlack) {
  elDraw::ClearScreen();
  elDraw::FillHalf(0, 0, 1, 1, static_cast<uint16_t>(WhitePixel));
  EXPECT_EQ(PixelAt(BackSurface, 0, 0), (15u << 10) | (15u << 5) | 15u);
}

TEST_F(BlitTest, TiledScrollsAndWraps) {
  WriteProgramFile("TILE.BMP", Bmp24(64, 64, [](int x, int y) { return x == 0 && y == 0 ? 0xFFFFFFu : 0x000080u; }));
  int32_t tile = elDraw::LoadObject("TILE.BMP", 2);
  TileOffsetX = TileOffsetY = 0;
  FrameSeconds = 1.0f / 30;
  elDraw::PutTiled(30.0f, 30.0f, tile, 0, 0, 64, 64);
  // First frame: tiles at multiples of 64; the whole screen is covered.
  EXPECT_EQ(PixelAt(BackSurface, 0, 0), 0xFFFFu);
  EXPECT_EQ(PixelAt(BackSurface, 64, 128), 0xFFFFu);
  EXPECT_EQ(PixelAt(BackSurface, 639, 479), 0x0010u);
  EXPECT_FLOAT_EQ(TileOffsetX, -63.0f);  // moved one pixel right, wrapped into (-64, 0]
  elDraw::ClearScreen();
  elDraw::PutTiled(30.0f, 30.0f, tile, 0, 0, 64, 64);
  EXPECT_EQ(PixelAt(BackSurface, 1, 1), 0xFFFFu);
  EXPECT_EQ(PixelAt(BackSurface, 0, 0), 0x0010u);
  for (int i = 0; i < 62; ++i) elDraw::PutTiled(30.0f, 30.0f, tile, 0, 0, 64, 64);
  EXPECT_NEAR(TileOffsetX, 0.0f, 1e-3);  // 64 pixels later: back where it began
  // A tile of no size draws nothing and does not divide by zero.
  elDraw::PutTiled(30.0f, 30.0f, tile, 0, 0, 0, 64);
}

TEST_F(BlitTest, StretchWithBlitter) {
  ASSERT_EQ(CanStretch, 1);
  elDraw::PutStretch(100, 100, coded, 0, 0, 32, 32, 64, 64);
  EXPECT_EQ(From(100, 100), std::make_pair(0, 0));
  EXPECT_EQ(From(102, 102), std::make_pair(1, 1));
  EXPECT_EQ(From(163, 163), std::make_pair(31, 31));
  EXPECT_EQ(From(164, 164), std::make_pair(-1, -1));
  // Keyed by the object's own key (black here: the coded picture has none, so all of it is drawn).
  elDraw::ClearScreen();
  elDraw::PutStretch(0, 0, coded, 0, 0, 64, 64, 640, 480);
  EXPECT_EQ(CountDrawn(), 640 * 480);
  EXPECT_EQ(From(639, 479), std::make_pair(63, 63));
  ExpectClippedStretchesShowPartOfTheWhole();
}

class SoftStretchTest : public BlitTest {
  void Configure() override { plat::headless::SetCaps(false, false, false, false); }
};

TEST_F(SoftStretchTest, StretchThroughBufferKeysBlack) {
  ASSERT_EQ(CanStretch, 0);
  WriteProgramFile("S.BMP", Bmp24(4, 2, [](int x, int) { return x < 2 ? 0x000000u : 0x00FF00u; }));
  elDraw::SetColorKey(0x00FF00);  // the object's key is green, yet the buffer's black is what is left out
  int32_t s = elDraw::LoadObject("S.BMP", 2);
  elDraw::ClearScreenWhite();
  elDraw::PutStretch(10, 10, s, 0, 0, 4, 2, 8, 4);
  EXPECT_EQ(PixelAt(BackSurface, 10, 10), 0xFFFFu);  // black: transparent
  EXPECT_EQ(PixelAt(BackSurface, 13, 13), 0xFFFFu);
  EXPECT_EQ(PixelAt(BackSurface, 14, 10), 0x07E0u);  // green: drawn
  EXPECT_EQ(PixelAt(BackSurface, 17, 13), 0x07E0u);
  EXPECT_EQ(PixelAt(BackSurface, 18, 10), 0xFFFFu);
  // The game's background stretch.
  elDraw::PutStretch(0, 0, coded, 0, 0, 64, 64, 640, 480);
  EXPECT_EQ(From(639, 479), std::make_pair(63, 63));
  EXPECT_EQ(From(0, 0), std::make_pair(0, 0));
  ExpectClippedStretchesShowPartOfTheWhole();
}

TEST_F(BlitTest, WaveRowsAndBands) {
  // Amplitude 5 at phase 0 (the phase only moves with a speed): row r moves by trunc(cos(r degrees) x 5).
  elDraw::PutWave(100, 100, 5, 0, 0.0f, coded, 0, 0, 64, 10, 0);
  EXPECT_EQ(From(105, 100), std::make_pair(0, 0));
  EXPECT_EQ(From(104, 109), std::make_pair(0, 9));  // cos(9 degrees) x 5 = 4.94
  // Alternate: every other row mirrored.
  elDraw::ClearScreen();
  elDraw::PutWave(100, 100, 5, 0, 0.0f, coded, 0, 0, 64, 2, 1);
  int sign = From(105, 100).first == 0 ? 1 : -1;
  EXPECT_EQ(From(100 + 5 * sign, 100), std::make_pair(0, 0));
  EXPECT_EQ(From(100 - 4 * sign, 101), std::make_pair(0, 1));
  // Amplitude 0: the wave put is a plain put, row by row.
  elDraw::ClearScreen();
  elDraw::PutWave(10, 10, 0, 0, 90.0f, coded, 0, 0, 64, 64, 0);
  EXPECT_EQ(From(10, 10), std::make_pair(0, 0));
  EXPECT_EQ(From(73, 73), std::make_pair(63, 63));
  // Rows: each band of 4 rows repeats its first source row.
  elDraw::ClearScreen();
  elDraw::PutRows(0, 0, 4, coded, 0, 0, 64, 16);
  EXPECT_EQ(From(5, 0), std::make_pair(5, 0));
  EXPECT_EQ(From(5, 3), std::make_pair(5, 0));
  EXPECT_EQ(From(5, 4), std::make_pair(5, 4));
  EXPECT_EQ(From(5, 15), std::make_pair(5, 12));
  elDraw::PutRows(0, 0, 0, coded, 0, 0, 64, 16);  // no step: nothing, and no endless loop
  // Wave scroll: source rows top .. bottom - 1 fill the rows from y down, whatever the scroll.
  elDraw::ClearScreen();
  elDraw::PutWaveScroll(10, 50, 0, 0, 0.0f, 0.0f, coded, 0, 20, 64, 40);
  for (int32_t y = 45; y < 95; ++y) EXPECT_EQ(From(20, y).first, y >= 50 && y < 70 ? 10 : -1) << y;
  // Wave scroll and band stay on the screen and inside the picture.
  elDraw::ClearScreen();
  for (int i = 0; i < 5; ++i) {
    elDraw::PutWaveScroll(0, 0, 8, 2, 45.0f, 100.0f, coded, 0, 0, 64, 64);
    elDraw::PutWaveBand(200, 260, 8, 0, 45.0f, 50.0f, coded, 0, 0, 64, 64);
  }
  EXPECT_GT(CountDrawn(), 0);
  EXPECT_NE(From(320, 230).first, -1);
  elDraw::PutWaveBand(200, 260, 8, 0, 45.0f, 50.0f, coded, 0, 0, 0, 64);
}

}  // namespace
