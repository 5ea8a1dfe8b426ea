// Text (fonts, boxes and the smoothed box against models, the reveal, layout) and the
// GDI primitives (pixels, lines, rectangles, polygons against a model, curves, inversion) on the back screen.
#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "el/elDraw.h"
#include "el/system/state.h"
#include "platform/text.h"
#include "tests/support/effects_support.h"

using namespace drawtest;
using namespace efftest;

namespace {

// Pixels of the rectangle that pass the check (by default: not black).
int Ink(plat::Surface* s, plat::Rect r, const std::function<bool(uint32_t)>& is = [](uint32_t p) { return p != 0; }) {
  int n = 0;
  for (int32_t y = r.top; y < r.bottom; ++y)
    for (int32_t x = r.left; x < r.right; ++x) n += is(PixelAt(s, x, y));
  return n;
}
plat::Surface* FontObject() { return DrawObject[kObjFont].surface; }
const plat::Rect kAll{0, 0, 640, 480};
plat::Size Extent(const std::string& s) {
  plat::Size sz{0, 0};
  TextDC->GetTextExtentPoint32(s.c_str(), static_cast<int32_t>(s.size()), &sz);
  return sz;
}

class TextTest : public DrawTest {
 protected:
  void SetUp() override {
    DrawTest::SetUp();
    ASSERT_EQ(screenResult, 1);
    elDraw::ClearScreen();
  }
  static void Font(int32_t height, uint32_t colour = 0xFFFFFF, int32_t angle = 0, int32_t weight = 0) {
    elDraw::SetFont(1, height, angle, weight, 0, 0);
    elDraw::SetTextColor(colour, 0, 1);
  }
  static uint32_t Px(uint32_t c) { return Pixel((c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF)); }  // COLORREF
  struct Probe { int32_t x, y; uint32_t colour; };  // colour 0: untouched black
  static void Expect(std::initializer_list<Probe> probes) {
    for (const Probe& p : probes) EXPECT_EQ(At(p.x, p.y), Px(p.colour)) << p.x << "," << p.y;
  }
};
using GdiTest = TextTest;
constexpr uint32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kWhite = 0xFFFFFF;

TEST_F(TextTest, FontsFacesWeightsAnglesAndTheInstalledList) {
  elDraw::SetFont(0, 12, 0, 0, 0, 0);
  elDraw::SetFont(7, 12, 0, 0, 0, 0);  // other numbers keep the face
  EXPECT_STREQ(FontDesc->lfFaceName, "標準明朝");
  // Weight code 1 is bold, 2 the mapper's default (not bold); a quarter turn runs the text upwards.
  int ink[4];
  for (const int32_t weight : {0, 1, 2, 3}) {
    elDraw::ClearScreen();
    Font(24, 0xFFFFFF, weight == 3 ? 90 : 0, weight % 3);
    elDraw::Text(100, 300, "ABCD");
    elDraw::EndFont();
    ink[weight] = Ink(BackSurface, weight == 3 ? plat::Rect{100, 240, 126, 300} : plat::Rect{100, 300, 200, 324});
  }
  EXPECT_TRUE(ink[1] > ink[0] * 6 / 5 && ink[2] == ink[0]) << ink[0] << " " << ink[1];
  EXPECT_TRUE(ink[3] > 100 && ink[3] == Ink(BackSurface, kAll)) << ink[3];
  // The two standard faces are the installed mincho and gothic families: the same ink as asked for by name.
  auto inkOf = [](const std::function<void()>& set) {
    elDraw::ClearScreen(), set(), elDraw::SetTextColor(0xFFFFFF, 0, 1), elDraw::Text(0, 0, "永あ"), elDraw::EndFont();
    return Ink(BackSurface, kAll);
  };
  const int mincho = inkOf([] { elDraw::SetFont(0, 40, 0, 0, 0, 0); }), gothic = inkOf([] { elDraw::SetFont(1, 40, 0, 0, 0, 0); });
  EXPECT_TRUE(mincho != gothic && mincho == inkOf([] { elDraw::SetFontName("IPAMincho", 40, 0, 0, 0, 0); }) &&
              gothic == inkOf([] { elDraw::SetFontName("IPAGothic", 40, 0, 0, 0, 0); })) << mincho << " " << gothic;
  auto smoothInk = [](const std::function<void()>& set) {  // and so in the smoothed box
    elDraw::ClearScreen(), set(), elDraw::SetTextColor(0xFFFFFF, 0, 1), elDraw::SmoothTextBox(0, 0, 640, 480, "永あ", 0);
    return elDraw::EndFontSmooth(), Ink(BackSurface, kAll);
  };
  const int smooth = smoothInk([] { elDraw::SetFontSmoothName("IPAGothic", 40); });
  EXPECT_TRUE(smooth > 100 && smooth == smoothInk([] { elDraw::SetFontSmooth(1, 40); }) &&
              smooth != smoothInk([] { elDraw::SetFontSmooth(0, 40); })) << smooth;
  // A face not installed asks for the Japanese set.
  elDraw::SetFontName("NoSuchFace", 12, 0, 0, 0, 0);
  EXPECT_EQ(FontDesc->lfCharSet, 128);
  std::set<std::string> names;  // the installed families, each once, a Japanese one marked as such
  int ipaKind = 0;
  for (int i = 0; i < FontCount; ++i)
    if (names.insert(FontList[i].name).second && FontList[i].name == std::string("IPAGothic")) ipaKind = FontList[i].kind;
  EXPECT_TRUE(ipaKind == 1 && names.size() == static_cast<size_t>(FontCount)) << FontCount;
  Font(1 << 20);  // a hostile height is held to a size a glyph can be made at
  EXPECT_TRUE(Extent("　").cx >= 2048 && Extent("　").cx <= 4096) << Extent("　").cx;
  elDraw::EndFont();
  elDraw::SetFontSmooth(1, 400);  // a glyph wider than the smoothing strip, starting inside the box: left out
  elDraw::SmoothTextBox(0, 0, 640, 480, "あ", 0);
  EXPECT_EQ(GlyphCount, 1);
  // Its lines: a line feed, or a glyph past the right edge, opens the next line at the left.
  elDraw::ClearScreen(), elDraw::SetFontSmooth(1, 16), elDraw::SetTextColor(0xFFFFFF, 0, 1);
  elDraw::SmoothTextBox(100, 100, 150, 480, "■\n■■■■", 0), elDraw::EndFontSmooth();
  EXPECT_TRUE(Ink(BackSurface, {116, 100, 160, 116}) == 0 && Ink(BackSurface, {132, 116, 148, 132}) > 0 &&
              Ink(BackSurface, {100, 132, 116, 148}) > 0 && Ink(BackSurface, {116, 132, 160, 148}) == 0);
  int differ = 0;  // each line is drawn as the first: the next line's first glyph, pixel for pixel
  for (int32_t y = 100; y < 116; ++y)
    for (int32_t x = 100; x < 116; ++x) differ += PixelAt(BackSurface, x, y) != PixelAt(BackSurface, x, y + 16);
  EXPECT_EQ(differ, 0);
  elDraw::SmoothTextBox(0, 0, 640, 480, nullptr, 0);  // no text at all: the box alone
  EXPECT_EQ(GlyphCount, 1);
  elDraw::EndFontSmooth();
}

using Rects = std::vector<std::array<int32_t, 4>>;

// The glyph table a text box should leave: a glyph that does not fit opens the next line, unless it is
// a closing mark, which hangs past the edge and keeps its entry; a line feed records nothing; the box
// ends before a line that reaches the bottom; the bounding entry grows to the pen plus the glyph's width.
Rects ModelBox(plat::Rect box, const std::vector<std::string>& glyphs, uint32_t flags) {
  static const std::set<std::string> hanging = {"、", "。", "，", "．", "・", "…", "‥", "”",
                                                "’", "（", "」", ",",  ".",  "　", " "};
  Rects out{{box.left, box.top, box.left, box.top}};
  int32_t x = box.left, y = box.top, lineH = FontHeight + static_cast<int32_t>(flags & 0xFF);
  for (size_t i = 0; i < glyphs.size();) {
    const bool lf = glyphs[i] == "\n";
    const plat::Size sz = lf ? plat::Size{0, 0} : Extent(glyphs[i]);
    const int32_t w = sz.cx + !!(flags & 0x100) + !!(flags & 0x200), h = sz.cy + !!(flags & 0x100) + !!(flags & 0x400);
    x += w;
    lineH = std::max(lineH, h);
    const bool fits = x <= box.right && !lf, hang = !fits && !lf && hanging.count(glyphs[i]);
    if (fits || hang) {
      out.push_back({x - w, y, x, y + h});
      out[0][2] = std::max(out[0][2], x + w);
      out[0][3] = std::max(out[0][3], y + h);
    }
    if (fits || hang || lf) ++i;
    if (fits) continue;
    x = box.left;
    y += lineH;
    if (y + lineH >= box.bottom) break;
  }
  return out;
}

TEST_F(TextTest, TextBoxLayoutFollowsTheRules) {
  const char* const pieces[] = {"あ", "a", "W", "。", "、", " ", "\n", "i", "」", "漢", "…"};
  std::mt19937 rng(7);
  for (int round = 0; round < 60; ++round) {
    std::vector<std::string> glyphs;
    std::string text;
    for (int n = static_cast<int>(rng() % 16); n > 0; --n) text += glyphs.emplace_back(pieces[rng() % 11]);
    const int32_t l = static_cast<int32_t>(rng() % 60), t = static_cast<int32_t>(rng() % 60);
    const uint32_t flags = (rng() % 4) | (rng() % 8) << 8;
    const int32_t height = 12 + static_cast<int32_t>(rng() % 3) * 2, lineH = height + static_cast<int32_t>(flags & 0xFF);
    // Half the boxes end exactly where a line of the plain height reaches the bottom.
    const int32_t bottom = t + (rng() % 2 ? (1 + static_cast<int32_t>(rng() % 4)) * lineH : 8 + static_cast<int32_t>(rng() % 90));
    const plat::Rect box{l, t, l + 8 + static_cast<int32_t>(rng() % 90), bottom};
    Font(height);
    elDraw::TextBoxNoPut(box.left, box.top, box.right, box.bottom, text.c_str(), flags);
    const Rects want = ModelBox(box, glyphs, flags);
    elDraw::EndFont();
    Rects got;
    for (const plat::Rect* g = GlyphRect; g < GlyphRect + GlyphCount; ++g) got.push_back({g->left, g->top, g->right, g->bottom});
    ASSERT_EQ(got, want) << "flags " << flags << " text " << plat::Cp932ToUtf8(text.c_str());
    EXPECT_EQ(Ink(FontObject(), kAll), Ink(FontObject(), GlyphRect[0]));
    EXPECT_EQ(Ink(BackSurface, kAll), 0);  // not put
  }
  Font(8);  // the table holds 3199 glyphs; a longer text stops there
  elDraw::TextBoxNoPut(0, 0, 640, 480, std::string(5000, 'a').c_str(), 0);
  elDraw::EndFont();
  EXPECT_EQ(GlyphCount, 3200);
  elDraw::FreeFonts();  // with no fonts set up a text box measures nothing and draws nothing
  elDraw::TextBoxNoPut(5, 5, 100, 100, "ab", 0);
  EXPECT_TRUE(GlyphCount == 3 && GlyphRect[0].right == 5 && Ink(FontObject(), kAll) == 0) << GlyphRect[0].right;
}

TEST_F(TextTest, TextBoxPutsKeyedColoursAndShadow) {
  elDraw::FillWhite(0, 0, 640, 480);
  Font(16);
  elDraw::SetTextColor(0x080808, 0x0000FF, 1);  // near black, the key colour, is raised to RGB(16, 16, 16)
  elDraw::TextBox(10, 10, 300, 100, "大盛り", 0x100 | 0x200);
  ASSERT_NE(TextDC, nullptr);  // the span stays open on the back screen for the caller's end
  elDraw::SetTextColor(0x000010, 0, 1);  // RGB(16, 0, 0) is kept
  elDraw::TextBox(10, 40, 300, 100, "大盛り", 0);
  const uint32_t raised = Pixel(0x101010), shadow = Pixel(0xFF0000), kept = Pixel(0x100000);
  const plat::Rect r{10, 10, 70, 60};
  for (const auto& [c, n] : {std::pair{raised, 60}, {shadow, 20}, {kept, 60}})
    EXPECT_GT(Ink(BackSurface, r, [&](uint32_t p) { return p == c; }), n) << c;
  // Drawn keyed: no pixel mixes text with the black key.
  EXPECT_EQ(Ink(BackSurface, r, [&](uint32_t p) { return p != raised && p != shadow && p != kept && p != 0xFFFF; }), 0);
  elDraw::EndFont();
}

// One glyph more every interval, a hanging mark in its own turn too.
TEST_F(TextTest, TypeTextRevealsOneGlyphAnInterval) {
  Font(16);
  const int32_t right = 4 * Extent("a").cx;  // four "a" fill the box (the smoothed one's end before it)
  elDraw::EndFont();
  for (const bool smooth : {false, true}) {
    elDraw::ClearScreen();
    if (smooth) elDraw::SetFontSmooth(1, 16);
    smooth ? elDraw::SetTextColor(0xFFFFFF, 0, 1) : Font(16);
    (smooth ? elDraw::SmoothTextBoxNoPut : elDraw::TextBoxNoPut)(0, 0, right + smooth, 200, "aaaa…", 0);
    smooth ? elDraw::EndFontSmooth() : elDraw::EndFont();
    ASSERT_EQ(GlyphCount, 6);
    int shown[5] = {-1, -1, -1, -1, -1}, frames = 0, done = 0;
    while (!(done = elDraw::TypeText(0.1f)) && frames++ < 200)
      for (int k = 0; k < 5; ++k)
        if (shown[k] < 0 && Ink(BackSurface, GlyphRect[k + 1]) > 2) shown[k] = frames;
    EXPECT_EQ(done, 1);
    EXPECT_GE(shown[0], 12);  // the first glyph after two intervals
    for (int k = 1; k < 5; ++k) EXPECT_TRUE(shown[k] - shown[k - 1] == 6 || shown[k] - shown[k - 1] == 7) << k;
    EXPECT_EQ(Ink(BackSurface, kAll), Ink(FontObject(), kAll));  // the whole mark
  }
}

// Turned text on its own background stays inside its box, whose bottom edge cuts it.
TEST_F(TextTest, TurnedOpaqueTextStaysInItsBox) {
  elDraw::SetFont(1, 32, 30, 0, 0, 0);
  elDraw::SetTextColor(kWhite, kRed, 0);
  elDraw::DrawTextBox(100, 100, 300, 120, "ああああ", 0);
  elDraw::EndFont();
  const int inside = Ink(BackSurface, {100, 100, 300, 120});
  EXPECT_GT(inside, 400);
  EXPECT_EQ(Ink(BackSurface, kAll), inside);
  // Level, the background spans the text's extent exactly.
  elDraw::ClearScreen();
  Font(16);
  elDraw::SetTextColor(kWhite, kRed, 0);
  elDraw::Text(100, 300, "ab");
  const int32_t w = Extent("ab").cx;
  elDraw::EndFont();
  EXPECT_EQ(Ink(BackSurface, {0, 300, 640, 301}), w);
  EXPECT_TRUE(At(100, 300) == Px(kRed) && At(99 + w, 300) == Px(kRed));
}

// Each output pixel blends the non-black pixels around its source in the double-size strip with the
// paper under it (5-6-5 screen); the clip rectangle cuts the output on every side without moving it.
TEST_F(TextTest, SmoothingReducesAndBlendsTheStrip) {
  std::mt19937 rng(3);
  struct Case { int32_t tx, ty; plat::Rect clip; };  // the box's corner, and a clip over its start
  for (const Case& c : {Case{100, 100, {104, 103, 150, 121}}, Case{-4, -4, {1, 1, 40, 30}}}) {
    FillScreen([&](int32_t, int32_t) { return static_cast<uint16_t>(rng()); });
    const plat::Rect& clip = c.clip;
    elDraw::SetClip(clip.left, clip.top, clip.right, clip.bottom);
    elDraw::SetFontSmooth(1, 32);
    elDraw::SetTextColor(0x40C0FF, 0, 1);
    elDraw::SmoothTextBoxNoPut(c.tx, c.ty, 600, 400, "■あ", 0);
    // The same strip again, glyph by glyph at even widths.
    ASSERT_NE(TextDC, nullptr);
    TextDC->SetTextColor(0x40C0FF);
    TextDC->SetBkMode(plat::TRANSPARENT);
    int32_t sw = 0;
    for (const char* g : {"■", "あ"}) {
      TextDC->TextOut(sw, 0, g, 2);
      sw += (Extent(g).cx + 1) & ~1;
    }
    elDraw::EndFontSmooth();
    elDraw::SetClip(0, 0, 640, 480);
    plat::Surface* buf = DrawObject[kObjFontBuffer].surface;
    const int32_t sh = 64, shift[3] = {11, 6, 0};
    int mismatches = 0;
    for (int32_t y = 0; y < 480; ++y)
      for (int32_t x = 0; x < 640; ++x) {
        uint32_t want = 0, sum[3] = {0, 0, 0}, n = 0;
        const int32_t sx = 2 * (x - c.tx), sy = 2 * (y - c.ty);
        if (x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom && sx < sw && sy < sh) {
          for (int32_t ny = std::max(sy - 1, 0); ny <= std::min(sy + 1, sh - 1); ++ny)
            for (int32_t nx = std::max(sx - 1, 0); nx <= std::min(sx + 1, sw - 1); ++nx)
              if (const uint32_t p = PixelAt(buf, nx, ny)) {
                for (int k = 0; k < 3; ++k) sum[k] += (p >> shift[k]) & 31;
                ++n;
              }
          const uint32_t under = PixelAt(BackSurface, x, y);
          for (int k = 0; k < 3 && n > 0; ++k)
            want |= std::min(31u, (sum[k] + 31 + (n < 8 ? (8 - n) * ((under >> shift[k]) & 31) : 0)) >> 3) << shift[k];
        }
        mismatches += PixelAt(FontObject(), x, y) != want;
      }
    EXPECT_EQ(mismatches, 0) << c.tx;
    EXPECT_GT(Ink(FontObject(), kAll), 500);
  }
}

TEST_F(TextTest, LaidOutTextAlignsWrapsAndMeasures) {
  Font(16);
  elDraw::DrawTextBox(0, 0, 100, 50, "あ", 3);  // no such alignment: nothing
  EXPECT_EQ(Ink(BackSurface, kAll), 0);
  elDraw::DrawTextBox(0, 0, 100, 20, "あ", 2);
  elDraw::DrawTextBox(0, 20, 100, 40, "あ", 1);
  const int right = Ink(BackSurface, {84, 0, 100, 16}), centre = Ink(BackSurface, {42, 20, 58, 36});
  EXPECT_TRUE(right > 10 && centre > 10 && right + centre == Ink(BackSurface, kAll));
  EXPECT_EQ(elDraw::MeasureTextBox(0, 0, 32, 400, "あいうえお"), 48);   // two a line, exactly filling it
  EXPECT_EQ(elDraw::MeasureTextBox(0, 0, 60, 400, "ab cd ef gh"), 32);  // "ab cd", "ef gh"
  EXPECT_EQ(elDraw::MeasureTextBox(0, 0, 400, 400, "a\nb\r\nc"), 48);
  EXPECT_EQ(elDraw::MeasureTextBox(0, 0, 32, 400, "あ\nあい"), 32);  // a new line starts empty
  EXPECT_EQ(elDraw::MeasureTextBox(INT32_MIN, INT32_MAX, INT32_MAX, INT32_MAX, "ab cd\nef gh"), 32);
  EXPECT_EQ(TextDC->DrawText("a", 1, nullptr, 0), 0);
  elDraw::DrawTextBox(0, 100, 60, 116, "abcd efgh", 0);  // the second word moves down whole and is cut
  EXPECT_GT(Ink(BackSurface, {0, 100, 32, 116}), 10);
  EXPECT_EQ(Ink(BackSurface, {32, 100, 640, 200}), 0);
  // Far outside every surface nothing is drawn and nothing overflows.
  const int before = Ink(BackSurface, kAll);
  elDraw::Text(INT32_MAX - 3, INT32_MAX - 3, "ああ");
  TextDC->TextOut(10, 300, "ab", 0);  // a length of 0 is no text
  elDraw::DrawTextBox(INT32_MAX - 10, 0, INT32_MAX, 100, "ああ", 2);
  elDraw::TextBox(INT32_MAX - 10, INT32_MAX - 10, INT32_MAX, INT32_MAX, "ああ", 0x1FF);
  elDraw::EndFont();
  EXPECT_EQ(Ink(BackSurface, kAll), before);
}

TEST_F(GdiTest, PixelsLinesAndRectangles) {
  uint32_t r = 0, g = 0, b = 0;
  elDraw::SetPixel(7, 6, kRed);
  elDraw::SetPixel(-1, 0, kRed);  // outside: ignored
  elDraw::GetPixel(7, 6, &r, &g, &b);
  EXPECT_TRUE(r == 255 && g == 0 && b == 0 && At(7, 6) == 0xF800);
  // A thin line lights one pixel a step along its longer axis, last one left out, each nearest the true line.
  std::mt19937 rng(9);
  for (int round = 0; round < 24; ++round) {
    const int32_t x0 = rng() % 60, y0 = rng() % 60, x1 = rng() % 60, y1 = rng() % 60, dx = x1 - x0, dy = y1 - y0;
    elDraw::ClearScreen();
    elDraw::Line(x0 + 300, y0 + 300, x1 + 300, y1 + 300, kGreen, round % 2);
    int lit = 0;
    for (int32_t y = 0; y < 60; ++y)
      for (int32_t x = 0; x < 60; ++x) {
        if (At(x + 300, y + 300) == 0) continue;
        const double off =
            std::abs(dy) > std::abs(dx) ? x - x0 - double(y - y0) * dx / dy : y - y0 - double(x - x0) * dy / dx;
        EXPECT_TRUE(std::abs(off) <= 0.5 && At(x + 300, y + 300) == Px(kGreen) && (x != x1 || y != y1)) << round;
        ++lit;
      }
    EXPECT_EQ(lit, std::max(std::abs(dx), std::abs(dy))) << round;
  }
  // A wide line is centred on its axis with round ends.
  elDraw::Line(100, 100, 150, 100, kBlue, 5);
  Expect({{125, 98, kBlue}, {125, 102, kBlue}, {125, 97, 0}, {125, 103, 0}, {152, 100, kBlue}, {154, 100, 0},
          {98, 100, kBlue}, {96, 100, 0}});
  // A rectangle's fill lies inside its outline; the corners may come in any order.
  elDraw::Rectangle(210, 20, 230, 40, kBlue, kRed, 1);
  elDraw::Rectangle(140, 140, 100, 100, kBlue, kGreen, 4);
  Expect({{210, 20, kRed}, {229, 39, kRed}, {220, 20, kRed}, {210, 30, kRed}, {211, 21, kBlue}, {228, 38, kBlue},
          {230, 30, 0}, {220, 40, 0}, {209, 30, 0}, {220, 19, 0}});
  Expect({{99, 120, kGreen}, {101, 120, kGreen}, {120, 120, kBlue}, {97, 120, 0}, {120, 97, 0}});
  elDraw::Line(-2000000000, -2000000000, 2000000000, 2000000000, kRed, 3);  // far outside: cut, nothing breaks
  Expect({{300, 300, kRed}});
}

// A pixel well inside (even-odd rule) shows the cross hatch on the opaque background, one well outside
// is untouched; points past the count are never used.
TEST_F(GdiTest, PolygonsFillByTheEvenOddRule) {
  std::mt19937 rng(5);
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
        const int a = x & 7, b = y & 7;  // the cross hatch
        ASSERT_EQ(At(x, y), !in ? 0 : Px(a == b || a == 7 - b ? kWhite : kBlue)) << round << " at " << x << "," << y;
      }
  }
  // Hollow: the outline only (too few points: nothing); transparent: the paper between the lines.
  const elDraw::Point tri[3] = {{100, 100}, {200, 100}, {150, 180}};
  FillScreen([](int32_t, int32_t) { return P5(3, 3, 3); });
  elDraw::Polygon(tri, 3, kWhite, kBlue, 1, 0);
  elDraw::Polygon(tri, 1, kWhite, kBlue, 1, 1);
  EXPECT_TRUE(At(150, 100) == Px(kWhite) && At(125, 140) == Px(kWhite) && At(154, 130) == P5(3, 3, 3));  // closed
  elDraw::Polygon(tri, 3, kWhite, kBlue, 1, 2);
  EXPECT_TRUE(At(150, 130) == P5(3, 3, 3) && At(154, 130) == Px(kWhite) && At(20, 20) == P5(3, 3, 3));
}

// On a 5-5-5 screen too a wide pen lands in its own colour.
struct Gdi555Test : GdiTest { void Configure() override { plat::headless::SetSixteenBitFormat(plat::PixelFormat::RGB555); } };
TEST_F(Gdi555Test, WidePensKeepTheirColour) {
  elDraw::Line(10, 10, 50, 10, 0x80FF40, 3);
  EXPECT_TRUE(At(30, 10) == P5(8, 31, 16) && At(30, 11) == P5(8, 31, 16) && At(30, 12) == 0);
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
