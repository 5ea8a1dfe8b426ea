// Fonts, direct text, the text boxes against a model of their layout, the reveal, the smoothed box
// against a model of its reduction, laid-out text, and CP932 conversion.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "el/elDraw.h"
#include "el/system/state.h"
#include "platform/text.h"
#include "tests/support/draw_support.h"

using namespace drawtest;

namespace {

int Ink(plat::Surface* s, plat::Rect r) {
  int n = 0;
  for (int32_t y = r.top; y < r.bottom; ++y)
    for (int32_t x = r.left; x < r.right; ++x) n += PixelAt(s, x, y) != 0;
  return n;
}
plat::Surface* FontObject() { return DrawObject[kObjFont].surface; }

class TextTest : public DrawTest {
 protected:
  void SetUp() override {
    DrawTest::SetUp();
    ASSERT_EQ(screenResult, 1);
    elDraw::ClearScreen();
  }
  static void Gothic(int32_t height, uint32_t colour = 0xFFFFFF) {
    elDraw::SetFont(1, height, 0, 0, 0, 0);
    elDraw::SetTextColor(colour, 0, 1);
  }
  static int InkOfText(int32_t weight) {
    elDraw::ClearScreen();
    elDraw::SetFont(1, 24, 0, weight, 0, 0);
    elDraw::SetTextColor(0xFFFFFF, 0, 1);
    elDraw::Text(0, 0, "大盛り");
    elDraw::EndFont();
    return Ink(BackSurface, {0, 0, 100, 24});
  }
};

TEST_F(TextTest, FacesWeightsAndTheInstalledList) {
  elDraw::SetFont(1, 20, 30, 2, 1, 1);
  EXPECT_STREQ(FontDesc->lfFaceName, "標準ゴシック");
  EXPECT_EQ(FontDesc->lfEscapement, 300);
  EXPECT_EQ(FontDesc->lfCharSet, 128);
  elDraw::SetFont(0, 12, 0, 0, 0, 0);
  elDraw::SetFont(7, 12, 0, 0, 0, 0);  // other numbers keep the face
  EXPECT_STREQ(FontDesc->lfFaceName, "標準明朝");
  elDraw::EndFont();
  // Code 1 is bold; code 2 asks for the mapper's default, which is not bold.
  const int normal = InkOfText(0);
  EXPECT_GT(InkOfText(1), normal * 6 / 5);
  EXPECT_EQ(InkOfText(2), normal);
  // The Japanese faces are listed as such; the rest of the table is empty.
  int ipa = -1;
  for (int i = 0; i < FontCount; ++i)
    if (std::strcmp(FontList[i].name, "IPAGothic") == 0) ipa = i;
  ASSERT_GE(ipa, 0);
  EXPECT_EQ(FontList[ipa].kind, 1);
  EXPECT_EQ(FontList[ipa].charSet, 128);
  for (int i = FontCount; i < 200; ++i)
    ASSERT_TRUE(FontList[i].kind == -1 && FontList[i].charSet == 0 && !FontList[i].name[0]) << i;
  // A name not installed asks for the Japanese set (and the substitute draws); a listed one gets its own.
  elDraw::SetFontName("NoSuchFace", 12, 0, 0, 0, 0);
  EXPECT_EQ(FontDesc->lfCharSet, 128);
  elDraw::Text(0, 0, "abc");
  elDraw::EndFont();
  EXPECT_GT(Ink(BackSurface, {0, 0, 30, 12}), 10);
  for (int i = 0; i < FontCount; ++i)
    if (FontList[i].kind == 2) {
      elDraw::SetFontName(FontList[i].name, 12, 0, 0, 0, 0);
      EXPECT_EQ(FontDesc->lfCharSet, FontList[i].charSet);
      elDraw::EndFont();
      break;
    }
  // A hostile height is held to a size a glyph can be made at.
  elDraw::SetFont(1, 1 << 20, 0, 0, 0, 0);
  plat::Size sz{0, 0};
  TextDC->GetTextExtentPoint32("　", 2, &sz);
  EXPECT_LE(sz.cx, 4096);
  EXPECT_GE(sz.cx, 2048);
  elDraw::EndFont();
}

TEST_F(TextTest, DirectTextColoursBackgroundAndDebugText) {
  elDraw::FillWhite(0, 0, 200, 40);
  Gothic(16, 0x0000FF);
  plat::Size sz{0, 0};
  TextDC->GetTextExtentPoint32("大盛り", 6, &sz);
  EXPECT_EQ(sz.cx, 48);
  EXPECT_EQ(sz.cy, 16);
  elDraw::Text(0, 0, "大盛り");
  elDraw::SetTextColor(0x00FF00, 0x800000, 0);  // opaque: the cell is painted navy first
  elDraw::Text(0, 20, "ab");
  elDraw::EndFont();
  int red = 0, between = 0;  // full red; anti-aliased edges between the text and the white paper
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 48; ++x) {
      const uint32_t p = PixelAt(BackSurface, x, y);
      red += (p >> 11) == 31 && ((p >> 5) & 63) < 40;
      between += p != 0xF800 && p != 0xFFFF;
    }
  EXPECT_GT(red, 60);
  EXPECT_GT(between, 10);
  EXPECT_EQ(PixelAt(BackSurface, 60, 8), 0xFFFFu);
  EXPECT_EQ(PixelAt(BackSurface, 0, 20), 0x0010u);
  EXPECT_EQ(PixelAt(BackSurface, 15, 35), 0x0010u);
  EXPECT_EQ(PixelAt(BackSurface, 16, 20), 0xFFFFu);  // "ab" is 16 wide
  elDraw::DebugPrintf(0, 200, "%d", 42);
  EXPECT_EQ(PixelAt(BackSurface, 0, 200), 0x0010u);
  EXPECT_EQ(Ink(BackSurface, {0, 200, 12, 212}), 144);  // the whole cell painted
  EXPECT_EQ(PixelAt(BackSurface, 12, 200), 0u);  // two half-width digits of height 12
  EXPECT_EQ(TextDC, nullptr);
}

TEST_F(TextTest, RotatedText) {
  elDraw::SetFont(1, 24, 90, 1, 1, 1);
  elDraw::SetTextColor(0xFFFFFF, 0, 1);
  elDraw::Text(100, 300, "ABCD");
  elDraw::EndFont();
  // A quarter turn to the left: the text runs upwards from (100, 300), the cell right of x.
  EXPECT_GT(Ink(BackSurface, {100, 240, 126, 300}), 100);
  EXPECT_EQ(Ink(BackSurface, {130, 280, 200, 330}), 0);
  EXPECT_EQ(Ink(BackSurface, {0, 301, 640, 480}), 0);
}

// The glyph table a text box leaves, worked out from the layout rules: glyphs are measured one by
// one; one that does not fit opens the next line, unless it is a closing mark, which hangs past the
// edge and keeps its entry; a line feed records nothing; the box ends before a line that reaches
// the bottom. The bounding entry grows to the pen after the advance plus the glyph's width.
std::vector<plat::Rect> ModelBox(plat::Rect box, const std::vector<std::string>& glyphs, uint32_t flags) {
  static const std::set<std::string> hanging = {"、", "。", "，", "．", "・", "…", "‥", "”",
                                                "’", "（", "」", ",",  ".",  "　", " "};
  std::vector<plat::Rect> out{{box.left, box.top, box.left, box.top}};
  int32_t x = box.left, y = box.top, lineH = FontHeight + static_cast<int32_t>(flags & 0xFF);
  for (size_t i = 0; i < glyphs.size();) {
    const bool lf = glyphs[i] == "\n";
    plat::Size sz{0, 0};
    if (!lf) TextDC->GetTextExtentPoint32(glyphs[i].c_str(), static_cast<int32_t>(glyphs[i].size()), &sz);
    const int32_t w = sz.cx + !!(flags & 0x100) + !!(flags & 0x200), h = sz.cy + !!(flags & 0x100) + !!(flags & 0x400);
    x += w;
    lineH = std::max(lineH, h);
    const bool fits = x <= box.right && !lf, hang = !fits && !lf && hanging.count(glyphs[i]);
    if (fits || hang) {
      out.push_back({x - w, y, x, y + h});
      out[0].right = std::max(out[0].right, x + w);
      out[0].bottom = std::max(out[0].bottom, y + h);
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
  for (int round = 0; round < 80; ++round) {
    std::vector<std::string> glyphs;
    std::string text;
    for (int n = static_cast<int>(rng() % 16); n > 0; --n) text += glyphs.emplace_back(pieces[rng() % 11]);
    const int32_t l = static_cast<int32_t>(rng() % 60), t = static_cast<int32_t>(rng() % 60);
    const plat::Rect box{l, t, l + 8 + static_cast<int32_t>(rng() % 90), t + 8 + static_cast<int32_t>(rng() % 90)};
    const uint32_t flags = (rng() % 4) | (rng() % 8) << 8;
    Gothic(12 + static_cast<int32_t>(rng() % 3) * 2);
    elDraw::TextBoxNoPut(box.left, box.top, box.right, box.bottom, text.c_str(), flags);
    const std::vector<plat::Rect> want = ModelBox(box, glyphs, flags);
    elDraw::EndFont();
    SCOPED_TRACE(testing::Message() << "round " << round << " flags " << flags << " text " << plat::Cp932ToUtf8(text.c_str()));
    ASSERT_EQ(GlyphCount, static_cast<int32_t>(want.size()));
    for (size_t k = 0; k < want.size(); ++k) {
      const plat::Rect& g = GlyphRect[k];
      ASSERT_TRUE(g.left == want[k].left && g.top == want[k].top && g.right == want[k].right && g.bottom == want[k].bottom)
          << k << ": " << g.left << "," << g.top << "," << g.right << "," << g.bottom;
    }
    const plat::Rect& all = GlyphRect[0];
    EXPECT_EQ(Ink(FontObject(), {0, 0, 640, 480}), Ink(FontObject(), all));
    EXPECT_EQ(Ink(BackSurface, {0, 0, 640, 480}), 0);  // not put
  }
  // The table holds 3199 glyphs; a longer text stops there.
  Gothic(8);
  elDraw::TextBoxNoPut(0, 0, 640, 480, std::string(5000, 'a').c_str(), 0);
  EXPECT_EQ(GlyphCount, 3200);
  elDraw::EndFont();
}

TEST_F(TextTest, TextBoxPutsKeyedColoursShadowAndEmboldening) {
  elDraw::FillWhite(0, 0, 640, 480);
  Gothic(16);
  elDraw::SetTextColor(0x080808, 0x0000FF, 1);  // near black, the key colour, is raised to RGB(16, 16, 16)
  elDraw::TextBox(10, 10, 300, 100, "大盛り", 0x100 | 0x200);
  ASSERT_NE(TextDC, nullptr);  // the span stays open on the back screen for the caller's end
  elDraw::SetTextColor(0x000010, 0, 1);  // RGB(16, 0, 0) is kept
  elDraw::TextBox(10, 40, 300, 100, "大盛り", 0);
  elDraw::EndFont();
  int dark = 0, red = 0, other = 0, kept = 0;
  for (int32_t y = 10; y < 60; ++y)
    for (int32_t x = 10; x < 70; ++x) {
      const uint32_t p = PixelAt(BackSurface, x, y);
      dark += p == Pixel(0x101010);
      red += p == Pixel(0xFF0000);
      kept += p == Pixel(0x100000);
      other += p != Pixel(0x101010) && p != Pixel(0xFF0000) && p != Pixel(0x100000) && p != 0xFFFF;
    }
  EXPECT_GT(dark, 60);
  EXPECT_GT(red, 20);
  EXPECT_GT(kept, 60);
  EXPECT_EQ(other, 0);  // drawn keyed: no pixel mixes text with the black key
  // The shadow lies one down and right: the lowest inked row of the first box is the shadow's.
  int32_t lowest = 0;
  for (int32_t y = 10; y < 30; ++y)
    for (int32_t x = 10; x < 70; ++x)
      if (PixelAt(BackSurface, x, y) != 0xFFFF) lowest = y;
  for (int32_t x = 10; x < 70; ++x) EXPECT_NE(PixelAt(BackSurface, x, lowest), Pixel(0x101010)) << x;
  // Emboldened down: the ink reaches one row lower.
  auto lowestOf = [&](uint32_t flags) {
    Gothic(16);
    elDraw::TextBoxNoPut(0, 0, 400, 400, "あ", flags);
    elDraw::EndFont();
    for (int32_t y = 20; y >= 0; --y)
      if (Ink(FontObject(), {0, y, 20, y + 1})) return y;
    return -1;
  };
  EXPECT_EQ(lowestOf(0x400), lowestOf(0) + 1);
}

TEST_F(TextTest, TypeTextRevealsOneGlyphAnInterval) {
  Gothic(16);
  elDraw::TextBoxNoPut(0, 0, 400, 400, "あいう", 0);
  elDraw::EndFont();
  FrameSeconds = 1.0f / 60;
  int shown[3] = {-1, -1, -1}, frames = 0, done = 0;
  while (!(done = elDraw::TypeText(0.1f)) && frames < 200) {
    ++frames;
    for (int32_t k = 0; k < 3; ++k)
      if (shown[k] < 0 && Ink(BackSurface, {16 * k, 0, 16 * k + 16, 16}) > 10) shown[k] = frames;
  }
  EXPECT_EQ(done, 1);
  EXPECT_GT(shown[0], 5);
  for (int k = 1; k < 3; ++k) {
    EXPECT_GE(shown[k] - shown[k - 1], 6) << k;
    EXPECT_LE(shown[k] - shown[k - 1], 7) << k;
  }
  // Interval 0 shows the whole box at once.
  elDraw::ClearScreen();
  Gothic(16);
  elDraw::TextBoxNoPut(0, 0, 400, 400, "あいう", 0);
  elDraw::EndFont();
  EXPECT_EQ(elDraw::TypeText(0.0f), 1);
  EXPECT_GT(Ink(BackSurface, {32, 0, 48, 16}), 10);
}

// A closing mark past the right edge reaches the screen whole: through the put of the box, and in
// its own turn of the reveal (not only with the whole box at the end), in the plain and the smoothed box.
TEST_F(TextTest, HangingMarksReachTheScreen) {
  Gothic(16);
  plat::Size a{0, 0};
  TextDC->GetTextExtentPoint32("a", 1, &a);
  elDraw::EndFont();
  const plat::Rect hang{4 * a.cx, 0, 4 * a.cx + 16, 16};  // four "a" fill the box, "…" hangs
  auto shownWhole = [&] {
    const int ink = Ink(FontObject(), hang);
    EXPECT_GT(ink, 3);
    EXPECT_EQ(Ink(BackSurface, hang), ink);
  };
  auto revealedInTurn = [&] {
    FrameSeconds = 0.2f;  // one glyph more every call
    bool early = false;
    for (int frame = 0; frame < 20 && !elDraw::TypeText(0.1f); ++frame) early = early || Ink(BackSurface, hang) > 3;
    return early;
  };
  Gothic(16);
  elDraw::TextBox(0, 0, 4 * a.cx, 200, "aaaa…", 0);
  elDraw::EndFont();
  shownWhole();
  elDraw::ClearScreen();
  Gothic(16);
  elDraw::TextBoxNoPut(0, 0, 4 * a.cx, 200, "aaaa…", 0);
  elDraw::EndFont();
  EXPECT_TRUE(revealedInTurn());
  shownWhole();
  elDraw::ClearScreen();
  elDraw::SetFontSmooth(1, 16);
  elDraw::SetTextColor(0xFFFFFF, 0, 1);
  elDraw::SmoothTextBoxNoPut(0, 0, 4 * a.cx + 1, 200, "aaaa…", 0);  // its glyphs must end before the edge
  elDraw::EndFontSmooth();
  EXPECT_TRUE(revealedInTurn());
  shownWhole();
}

// Pixel channels as 5-bit (5-6-5 screen, green's top five bits) or 8-bit fields.
struct Channels {
  bool wide;
  uint32_t Get(uint32_t p, int c) const {
    return wide ? (p >> (16 - 8 * c)) & 0xFF : (p >> (c == 0 ? 11 : c == 1 ? 6 : 0)) & 0x1F;
  }
  uint32_t Put(uint32_t v, int c) const { return wide ? v << (16 - 8 * c) : v << (c == 0 ? 11 : c == 1 ? 6 : 0); }
};

// The smoothed box against a model of the 2:1 reduction: each output pixel blends the non-black
// glyph pixels around its source pixel in the double-size strip with the paper under it, and the
// clip rectangle cuts the output on every side without moving it.
void CheckSmoothing(bool wide) {
  const Channels ch{wide};
  const uint32_t maxC = wide ? 255 : 31;
  std::mt19937 rng(3);
  for (int32_t y = 0; y < 480; ++y)
    for (int32_t x = 0; x < 640; ++x) {
      uint8_t* row = BackSurface->Row(y);
      if (wide)
        reinterpret_cast<uint32_t*>(row)[x] = rng() & 0xFFFFFF;
      else
        reinterpret_cast<uint16_t*>(row)[x] = static_cast<uint16_t>(rng());
    }
  const plat::Rect clip{104, 103, 150, 121};
  elDraw::SetClip(clip.left, clip.top, clip.right, clip.bottom);
  elDraw::SetFontSmooth(1, 32);
  elDraw::SetTextColor(0x40C0FF, 0, 1);
  elDraw::SmoothTextBoxNoPut(100, 100, 600, 400, "■あ", 0);
  // The same strip again: the glyphs at double size side by side.
  plat::Surface* buf = DrawObject[kObjFontBuffer].surface;
  ASSERT_NE(TextDC, nullptr);
  TextDC->SetTextColor(0x40C0FF);
  TextDC->SetBkMode(plat::TRANSPARENT);
  int32_t sw = 0, sh = 0;
  for (const char* g : {"■", "あ"}) {
    plat::Size sz{0, 0};
    TextDC->GetTextExtentPoint32(g, 2, &sz);
    TextDC->TextOut(sw, 0, g, 2);
    sw += (sz.cx + 1) & ~1;
    sh = std::max(sh, (sz.cy + 1) & ~1);
  }
  elDraw::EndFontSmooth();
  elDraw::SetClip(0, 0, 640, 480);
  ASSERT_EQ(sh, 64);
  int mismatches = 0, blended = 0;
  for (int32_t y = 0; y < 480; ++y)
    for (int32_t x = 0; x < 640; ++x) {
      uint32_t want = 0;
      const int32_t sx = 2 * (x - 100), sy = 2 * (y - 100);
      if (x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom && sx < sw && sy < sh) {
        uint32_t sum[3] = {0, 0, 0}, n = 0;
        for (int32_t ny = std::max(sy - 1, 0); ny <= std::min(sy + 1, sh - 1); ++ny)
          for (int32_t nx = std::max(sx - 1, 0); nx <= std::min(sx + 1, sw - 1); ++nx)
            if (const uint32_t p = PixelAt(buf, nx, ny)) {
              for (int c = 0; c < 3; ++c) sum[c] += ch.Get(p, c);
              ++n;
            }
        const uint32_t under = PixelAt(BackSurface, x, y);
        for (int c = 0; c < 3 && n > 0; ++c)
          want |= ch.Put(std::min(maxC, (sum[c] + maxC + (n < 8 ? (8 - n) * ch.Get(under, c) : 0)) >> 3), c);
        blended += n > 0 && n < 9;
      }
      mismatches += PixelAt(FontObject(), x, y) != want;
    }
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(blended, 20);
}

TEST_F(TextTest, SmoothingReducesAndBlendsTheStrip) { CheckSmoothing(false); }

class Text32Test : public TextTest {
  void Configure() override { elDraw::SetColorDepth(32, 0, 0); }
};
TEST_F(Text32Test, SmoothingReducesAndBlendsTheStrip) { CheckSmoothing(true); }

TEST_F(TextTest, SmoothTextBoxWrapsAndPuts) {
  elDraw::SetFontSmooth(1, 16);
  EXPECT_EQ(FontHeight, 32);
  elDraw::SetTextColor(0xFFFFFF, 0, 1);
  elDraw::SmoothTextBox(40, 40, 90, 600, "ああああああ", 0);
  elDraw::EndFontSmooth();
  EXPECT_EQ(TextDC, nullptr);
  ASSERT_GE(GlyphCount, 5);
  EXPECT_EQ(GlyphRect[3].left, 72);
  EXPECT_EQ(GlyphRect[4].left, 40);  // the fourth glyph opened the second line
  EXPECT_EQ(GlyphRect[4].top, 56);
  EXPECT_EQ(Ink(BackSurface, {0, 0, 640, 480}), Ink(FontObject(), {0, 0, 640, 480}));
  EXPECT_GT(Ink(BackSurface, {40, 56, 90, 72}), 20);
}

TEST_F(TextTest, LaidOutTextAlignsWrapsAndMeasures) {
  Gothic(16);
  elDraw::DrawTextBox(0, 0, 100, 50, "あ", 3);  // no such alignment: nothing
  EXPECT_EQ(Ink(BackSurface, {0, 0, 640, 60}), 0);
  elDraw::DrawTextBox(0, 0, 100, 20, "あ", 2);
  EXPECT_GT(Ink(BackSurface, {84, 0, 100, 16}), 10);
  EXPECT_EQ(Ink(BackSurface, {0, 0, 84, 16}), 0);
  elDraw::DrawTextBox(0, 20, 100, 40, "あ", 1);
  EXPECT_GT(Ink(BackSurface, {42, 20, 58, 36}), 10);
  EXPECT_EQ(Ink(BackSurface, {0, 20, 40, 36}), 0);
  EXPECT_EQ(elDraw::MeasureTextBox(0, 0, 40, 400, "あいうえお"), 48);   // two a line
  EXPECT_EQ(elDraw::MeasureTextBox(0, 0, 60, 400, "ab cd ef gh"), 32);  // "ab cd", "ef gh"
  EXPECT_EQ(elDraw::MeasureTextBox(0, 0, 400, 400, "a\nb\r\nc"), 48);
  EXPECT_EQ(elDraw::MeasureTextBox(INT32_MIN, 0, INT32_MAX, 400, "ab cd ef gh"), 16);
  EXPECT_EQ(elDraw::MeasureTextBox(-5, INT32_MAX, INT32_MAX, INT32_MAX, "a\nb"), 32);
  // A lead byte cut off by the length stands alone: it is measured as the text up to there.
  plat::Rect r{0, 0, 0, 0};
  EXPECT_EQ(TextDC->DrawText("あ", 1, &r, plat::DT_CALCRECT), 16);
  plat::Size lone{0, 0};
  TextDC->GetTextExtentPoint32("あ", 1, &lone);
  EXPECT_EQ(r.right, lone.cx);
  EXPECT_EQ(TextDC->DrawText("a", 1, nullptr, 0), 0);
  // Word break: the second word moves down whole; the text is cut at the rectangle.
  elDraw::DrawTextBox(0, 100, 60, 116, "abcd efgh", 0);
  EXPECT_GT(Ink(BackSurface, {0, 100, 32, 116}), 10);
  EXPECT_EQ(Ink(BackSurface, {32, 100, 640, 200}), 0);
  elDraw::EndFont();
  // Far outside every surface nothing is drawn and nothing overflows.
  elDraw::ClearScreen();
  Gothic(16);
  elDraw::Text(INT32_MAX - 3, INT32_MAX - 3, "ああ");
  elDraw::Text(INT32_MIN, 0, "ああ");
  elDraw::DrawTextBox(INT32_MAX - 10, 0, INT32_MAX, 100, "ああ", 2);
  elDraw::TextBox(INT32_MAX - 10, INT32_MAX - 10, INT32_MAX, INT32_MAX, "ああ", 0x1FF);
  elDraw::EndFont();
  elDraw::SetFontSmooth(1, 16);
  elDraw::SmoothTextBox(INT32_MIN, INT32_MIN, INT32_MIN + 40, INT32_MIN + 40, "ああ", 0);
  elDraw::EndFontSmooth();
  EXPECT_EQ(Ink(BackSurface, {0, 0, 640, 480}), 0);
}

TEST(Cp932, RoundTripAndBadBytes) {
  const std::string utf8 = plat::Cp932ToUtf8("大盛り");  // literals here are CP932 bytes, u8 ones UTF-8
  EXPECT_EQ(utf8, reinterpret_cast<const char*>(u8"大盛り"));
  EXPECT_EQ(plat::Utf8ToCp932(utf8), "大盛り");
  // A lone lead byte at the end gives a replacement character, never a read past the end.
  const char bad[] = {'a', static_cast<char>(0x82)};
  EXPECT_EQ(plat::Cp932ToUtf8(bad, 2), "a\xEF\xBF\xBD");
  EXPECT_EQ(plat::Utf8ToCp932(std::string("x\xF0\x9F\x98\x80y")), "x?y");  // not in CP932: one '?'
  EXPECT_EQ(plat::Cp932ToUtf8(nullptr), "");
}

}  // namespace
