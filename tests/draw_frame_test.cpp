// A whole frame through the library, as the game draws one: a stretched background, colour-keyed
// sprites partly outside the clip rectangle, the pale panel, Japanese labels; captured on the
// headless display and checked pixel by pixel.
#include <cmath>
#include <cstdlib>

#include "el/elDraw.h"
#include "tests/support/draw_support.h"

using namespace drawtest;

namespace {

uint32_t Background(int32_t x, int32_t y) {
  return uint32_t(x * 255 / 399) << 16 | uint32_t(y * 255 / 299) << 8 | 0x80;
}

// 64 x 64: green (the key) around a red disc with a blue square in the middle; the top-left
// 16 x 16 corner block is yellow so that clipping shows which part arrived.
uint32_t Sprite(int32_t x, int32_t y) {
  if (x < 16 && y < 16) return 0xFFFF00;
  if (x >= 24 && x < 40 && y >= 24 && y < 40) return 0x0000FF;
  double dx = x - 31.5, dy = y - 31.5;
  return dx * dx + dy * dy < 28 * 28 ? 0xFF0000 : 0x00FF00;
}

void Label(int32_t x, int32_t y, int32_t size, uint32_t colour, const char* text) {
  elDraw::SetFont(1, size, 0, 0, 0, 0);
  elDraw::SetTextColor(colour, colour, 1);
  elDraw::Text(x, y, text);
  elDraw::EndFont();
}

// Pixels of the frame's rectangle whose colour is close to rgb.
int CountNear(const plat::headless::Frame& f, plat::Rect r, uint32_t rgb, int tol) {
  int n = 0;
  for (int32_t y = r.top; y < r.bottom; ++y)
    for (int32_t x = r.left; x < r.right; ++x) {
      uint32_t p = f.At(x, y);
      if (std::abs(int((p >> 16) & 255) - int((rgb >> 16) & 255)) <= tol &&
          std::abs(int((p >> 8) & 255) - int((rgb >> 8) & 255)) <= tol && std::abs(int(p & 255) - int(rgb & 255)) <= tol)
        ++n;
    }
  return n;
}

class FrameTest : public DrawTest {};

TEST_F(FrameTest, TypicalFrame) {
  ASSERT_EQ(screenResult, 1);
  WriteProgramFile("BG.BMP", Bmp24(400, 300, Background));
  WriteProgramFile("SPRITE.BMP", Bmp24(64, 64, Sprite));
  elDraw::SetColorKey(0x00FF00);
  int32_t bg = elDraw::LoadObject("BG.BMP", 2);
  int32_t sp = elDraw::LoadObject("SPRITE.BMP", 2);
  ASSERT_EQ(bg, 4);
  ASSERT_EQ(sp, 5);

  elDraw::ClearScreen();
  elDraw::PutStretch(0, 0, bg, 0, 0, 400, 300, 640, 480);
  const int32_t pos[10][2] = {{-20, -20}, {600, 440}, {100, 100}, {200, 60}, {300, 120},
                              {-63, 200}, {639, 10}, {420, 300}, {500, -40}, {20, 460}};
  for (auto& p : pos) elDraw::Put(p[0], p[1], sp, 0, 0, 64, 64);
  std::vector<uint32_t> before(420 * 95);
  for (int32_t y = 325; y < 420; ++y)
    for (int32_t x = 110; x < 530; ++x) before[static_cast<size_t>((y - 325) * 420 + (x - 110))] = PixelAt(BackSurface, x, y);
  const uint16_t white = static_cast<uint16_t>((31 << RShift5) | (31 << GShift5) | (31 << BShift5));
  ASSERT_EQ(elDraw::FillHalf(110, 325, 530, 420, white), 1);
  Label(130, 340, 32, 0x0000FF, "大盛りごはん");
  Label(130, 380, 16, 0x800000, "カロリー 2520kcal");
  Label(400, 380, 24, 0x008000, "ランキング");
  elDraw::Present();

  const plat::headless::Frame& f = plat::headless::LastFrame();
  ASSERT_EQ(f.width, 640);
  ASSERT_EQ(f.height, 480);
  plat::headless::WritePng(f, "frame.png");

  // Stretched background: screen (320, 240) samples picture (200, 150); 5-6-5 keeps the top bits.
  uint32_t want = Background(200, 150);
  uint32_t got = f.At(320, 240);
  EXPECT_NEAR(double((got >> 16) & 255), double((want >> 16) & 255), 8);
  EXPECT_NEAR(double((got >> 8) & 255), double((want >> 8) & 255), 4);
  EXPECT_NEAR(double(got & 255), double(want & 255), 8);

  // Sprite at (100, 100): blue centre, red disc, background through the key at its corner.
  EXPECT_EQ(f.At(132, 132), 0x0000FFu);
  EXPECT_EQ(f.At(110, 132), 0xFF0000u);
  EXPECT_EQ(f.At(163, 163), RgbAt(BackSurface, 163, 163));
  EXPECT_NE(f.At(163, 163), 0x00FF00u);

  // Clipped at the top-left: the sprite's (20, 20) lands at (0, 0); its yellow corner is cut off.
  EXPECT_EQ(f.At(24 - 20, 32 - 20), 0x0000FFu);  // sprite (24, 32): blue square's left column
  EXPECT_EQ(CountNear(f, {0, 0, 40, 40}, 0xFFFF00, 0), 0);
  // Clipped at the bottom-right: only 40 x 40 of the sprite at (600, 440), its yellow corner whole.
  EXPECT_EQ(CountNear(f, {600, 440, 616, 456}, 0xFFFF00, 0), 256);
  EXPECT_EQ(f.At(639, 479), 0x0000FFu);  // sprite (39, 39)
  // Sprites almost wholly outside: (639, 10) shows its one yellow column; at (-63, 200) the one
  // column left is all key colour, so the background shows there unchanged.
  EXPECT_EQ(f.At(639, 10), 0xFFFF00u);
  EXPECT_EQ(CountNear(f, {0, 200, 1, 264}, 0xFF0000, 0) + CountNear(f, {0, 200, 1, 264}, 0x00FF00, 0), 0);

  // The pale panel: every pixel is the half of the pixel under it plus half of white.
  int wrong = 0;
  for (int32_t y = 325; y < 420; ++y)
    for (int32_t x = 110; x < 530; ++x) {
      uint32_t b = before[static_cast<size_t>((y - 325) * 420 + (x - 110))];
      uint32_t panel = ((b >> 1) & HalfMask) + ((white >> 1) & HalfMask);
      if (y >= 380 || (x >= 130 && x < 400 && y >= 340)) continue;  // the labels are drawn over it
      if (PixelAt(BackSurface, x, y) != panel) ++wrong;
    }
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(PixelAt(BackSurface, 115, 330), ((before[5 * 420 + 5] >> 1) & HalfMask) + (0x7BEFu));

  // Japanese labels: real glyphs in the label colours, inside the label boxes only.
  int red = CountNear(f, {130, 340, 330, 375}, 0xFF0000, 40);
  int navy = CountNear(f, {130, 380, 300, 400}, 0x000080, 40);
  int green = CountNear(f, {400, 380, 530, 410}, 0x008000, 40);
  EXPECT_GT(red, 600);
  EXPECT_GT(navy, 100);
  EXPECT_GT(green, 150);
  EXPECT_EQ(CountNear(f, {110, 325, 530, 338}, 0xFF0000, 40), 0);
}

// The glyphs come from a Japanese face: each character has its own shape, unlike the one box that a
// face without the character would show for all of them.
TEST_F(FrameTest, JapaneseGlyphsAreRealShapes) {
  ASSERT_EQ(screenResult, 1);
  auto ink = [](const char* s) {
    elDraw::ClearScreen();
    Label(0, 0, 32, 0xFFFFFF, s);
    std::vector<bool> bits;
    for (int32_t y = 0; y < 32; ++y)
      for (int32_t x = 0; x < 32; ++x) bits.push_back(PixelAt(BackSurface, x, y) != 0);
    return bits;
  };
  auto count = [](const std::vector<bool>& v) { return std::count(v.begin(), v.end(), true); };
  std::vector<bool> dai = ink("大"), mori = ink("盛"), ri = ink("り"), han = ink("飯");
  std::vector<bool> missing = ink("\xF0\x40");  // a user-defined character: no face has it
  EXPECT_GT(count(dai), 40);
  EXPECT_GT(count(mori), count(dai));  // many more strokes
  EXPECT_NE(dai, mori);
  EXPECT_NE(dai, ri);
  EXPECT_NE(mori, han);
  EXPECT_NE(dai, missing);
  EXPECT_NE(ri, missing);
  // "大": the horizontal stroke crosses the middle of the upper half across most of the cell.
  int row = 0, best = 0;
  for (int32_t y = 4; y < 16; ++y) {
    int n = 0;
    for (int32_t x = 0; x < 32; ++x) n += dai[static_cast<size_t>(y * 32 + x)];
    if (n > best) best = n, row = y;
  }
  EXPECT_GT(best, 22) << "row " << row;
  // The mincho face draws the same character differently.
  elDraw::ClearScreen();
  elDraw::SetFont(0, 32, 0, 0, 0, 0);
  elDraw::SetTextColor(0xFFFFFF, 0, 1);
  elDraw::Text(0, 0, "永");
  elDraw::EndFont();
  std::vector<bool> mincho;
  for (int32_t y = 0; y < 32; ++y)
    for (int32_t x = 0; x < 32; ++x) mincho.push_back(PixelAt(BackSurface, x, y) != 0);
  EXPECT_NE(mincho, ink("永"));
}

}  // namespace
