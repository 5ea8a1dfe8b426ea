// Fonts, direct text, the text boxes with hanging punctuation, the reveal, the smoothed box.
#include <cstdint>
#include <cstring>
#include <string>

#include "el/elDraw.h"
#include "el/elSystem.h"
#include "tests/support/draw_support.h"

using namespace drawtest;

namespace {

class TextTest : public DrawTest {
 protected:
  void SetUp() override {
    DrawTest::SetUp();
    ASSERT_EQ(screenResult, 1);
    elDraw::ClearScreen();
  }
  void Gothic(int32_t height, uint32_t colour = 0xFFFFFF) {
    elDraw::SetFont(1, height, 0, 0, 0, 0);
    elDraw::SetTextColor(colour, 0, 1);
  }
  static int Ink(plat::Surface* s, plat::Rect r) {
    int n = 0;
    for (int32_t y = r.top; y < r.bottom; ++y)
      for (int32_t x = r.left; x < r.right; ++x) n += PixelAt(s, x, y) != 0;
    return n;
  }
  static plat::Surface* FontObject() { return DrawObject[kObjFont].surface; }
};

TEST_F(TextTest, FontDescription) {
  elDraw::SetFont(1, 20, 30, 2, 1, 1);
  EXPECT_STREQ(FontDesc->lfFaceName, "標準ゴシック");
  EXPECT_EQ(FontDesc->lfHeight, 20);
  EXPECT_EQ(FontDesc->lfEscapement, 300);
  EXPECT_EQ(FontDesc->lfWeight, 0);  // weight code 2: the mapper's default, not bold
  EXPECT_EQ(FontDesc->lfItalic, 1);
  EXPECT_EQ(FontDesc->lfCharSet, 128);
  EXPECT_EQ(FontHeight, 20);
  elDraw::EndFont();
  elDraw::SetFont(0, 12, 0, 1, 0, 0);
  EXPECT_STREQ(FontDesc->lfFaceName, "標準明朝");
  EXPECT_EQ(FontDesc->lfWeight, 700);
  elDraw::EndFont();
  elDraw::SetFont(7, 12, 0, 0, 0, 0);  // other numbers keep the face
  EXPECT_STREQ(FontDesc->lfFaceName, "標準明朝");
  elDraw::EndFont();
  elDraw::SetFontName("NoSuchFace", 12, 0, 0, 0, 0);
  EXPECT_EQ(FontDesc->lfCharSet, 128);
  EXPECT_STREQ(FontDesc->lfFaceName, "NoSuchFace");
  elDraw::Text(0, 0, "abc");  // the mapper's substitute still draws
  elDraw::EndFont();
  EXPECT_GT(Ink(BackSurface, {0, 0, 30, 12}), 10);
  // The installed fonts were listed, the Japanese ones as such.
  ASSERT_GT(FontCount, 0);
  bool japanese = false;
  for (int i = 0; i < FontCount; ++i) japanese = japanese || (FontList[i].kind == 1 && FontList[i].charSet == 128);
  EXPECT_TRUE(japanese);
  EXPECT_EQ(FontList[FontCount < 200 ? FontCount : 199].kind, FontCount < 200 ? -1 : FontList[199].kind);
  for (int i = 0; i < FontCount; ++i)
    if (FontList[i].kind == 2) {
      elDraw::SetFontName(FontList[i].name, 12, 0, 0, 0, 0);
      EXPECT_EQ(FontDesc->lfCharSet, FontList[i].charSet);
      elDraw::EndFont();
      break;
    }
}

TEST_F(TextTest, DirectTextColoursAndBackground) {
  elDraw::FillWhite(0, 0, 200, 40);
  Gothic(16, 0x0000FF);
  plat::Size sz{0, 0};
  TextDC->GetTextExtentPoint32("大盛り", 6, &sz);
  EXPECT_EQ(sz.cx, 48);
  EXPECT_EQ(sz.cy, 16);
  TextDC->GetTextExtentPoint32("ab", 2, &sz);
  EXPECT_EQ(sz.cx, 16);
  elDraw::Text(0, 0, "大盛り");
  elDraw::SetTextColor(0x00FF00, 0x800000, 0);  // opaque: the cell is painted navy first
  elDraw::Text(0, 20, "ab");
  elDraw::EndFont();
  int red = 0;  // full red with less green and blue than the white paper
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 48; ++x) {
      uint32_t p = PixelAt(BackSurface, x, y);
      red += (p >> 11) == 31 && ((p >> 5) & 63) < 40;
    }
  EXPECT_GT(red, 60);
  EXPECT_EQ(PixelAt(BackSurface, 60, 8), 0xFFFFu);  // nothing beyond the text
  EXPECT_EQ(PixelAt(BackSurface, 0, 20), 0x0010u);  // navy background of the cell
  EXPECT_EQ(PixelAt(BackSurface, 15, 35), 0x0010u);
  EXPECT_EQ(PixelAt(BackSurface, 16, 20), 0xFFFFu);
  // Anti-aliased edges on the back screen: some pixels lie between the text and the paper.
  int between = 0;
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 48; ++x) {
      uint32_t p = PixelAt(BackSurface, x, y);
      between += p != 0xF800 && p != 0xFFFF;
    }
  EXPECT_GT(between, 10);
}

TEST_F(TextTest, DebugTextAndFps) {
  elDraw::DebugText(0, 100, "debug");
  EXPECT_EQ(PixelAt(BackSurface, 0, 100), 0x0010u);
  EXPECT_GT(Ink(BackSurface, {0, 100, 40, 112}), 100);
  elDraw::DebugPrintf(0, 200, "%d", 42);
  EXPECT_EQ(PixelAt(BackSurface, 0, 200), 0x0010u);
  EXPECT_EQ(PixelAt(BackSurface, 12, 200), 0u);  // two half-width digits of height 12
  EXPECT_EQ(TextDC, nullptr);                     // the span is closed again
}

TEST_F(TextTest, RotatedItalicUnderlinedText) {
  elDraw::SetFont(1, 24, 90, 1, 1, 1);
  elDraw::SetTextColor(0xFFFFFF, 0, 1);
  elDraw::Text(100, 300, "ABCD");
  elDraw::EndFont();
  // Turned a quarter to the left: the text runs upwards from (100, 300), the cell lying right of x.
  EXPECT_GT(Ink(BackSurface, {100, 240, 126, 300}), 100);
  EXPECT_EQ(Ink(BackSurface, {130, 280, 200, 330}), 0);
  EXPECT_EQ(Ink(BackSurface, {0, 301, 640, 480}), 0);
}

TEST_F(TextTest, TextBoxColourRaise) {
  Gothic(16);
  elDraw::SetTextColor(0x080808, 0x0F0F0F, 1);
  elDraw::TextBox(0, 0, 200, 100, "あ", 0);
  EXPECT_EQ(TextColor, 0x101010u);
  EXPECT_EQ(TextBackColor, 0x101010u);
  elDraw::SetTextColor(0x000010, 0x080810, 1);
  elDraw::TextBox(0, 0, 200, 100, "あ", 0);
  EXPECT_EQ(TextColor, 0x000010u);
  EXPECT_EQ(TextBackColor, 0x080810u);
  elDraw::EndFont();
}

TEST_F(TextTest, TextBoxLineFeedAndHanging) {
  Gothic(16);
  elDraw::TextBoxNoPut(100, 100, 500, 400, "あ\nい", 0);
  ASSERT_EQ(GlyphCount, 3);  // no entry for the line feed
  EXPECT_EQ(GlyphRect[1].left, 100);
  EXPECT_EQ(GlyphRect[1].right, 116);
  EXPECT_EQ(GlyphRect[2].left, 100);
  EXPECT_EQ(GlyphRect[2].top, 116);
  EXPECT_EQ(GlyphRect[0].top, 100);
  EXPECT_EQ(GlyphRect[0].bottom, 132);
  EXPECT_EQ(Ink(BackSurface, {0, 0, 640, 480}), 0);  // not put
  EXPECT_GT(Ink(FontObject(), {100, 100, 116, 132}), 40);

  // "。" that overflows hangs past the right edge on the same line; "あ" starts the next line.
  elDraw::TextBoxNoPut(0, 0, 40, 200, "ああ。あ", 0);
  ASSERT_EQ(GlyphCount, 5);
  EXPECT_EQ(GlyphRect[3].left, 32);  // the hanging "。" keeps its place in the table
  EXPECT_EQ(GlyphRect[4].left, 0);
  EXPECT_EQ(GlyphRect[4].top, 16);
  EXPECT_GT(Ink(FontObject(), {32, 0, 48, 16}), 3);  // the hanging "。" is drawn
  elDraw::TextBoxNoPut(0, 0, 40, 200, "あああ", 0);
  ASSERT_EQ(GlyphCount, 4);
  EXPECT_EQ(GlyphRect[3].left, 0);
  EXPECT_EQ(GlyphRect[3].top, 16);
  EXPECT_EQ(Ink(FontObject(), {32, 0, 48, 16}), 0);
  elDraw::EndFont();
}

// A hanging mark past the right edge reaches the screen whole: through the put of the box, and in
// its own turn of the glyph-by-glyph reveal (not only with the whole box at the end), in the plain
// and in the smoothed box.
TEST_F(TextTest, HangingGlyphsReachTheScreen) {
  Gothic(16);
  elDraw::TextBoxNoPut(0, 0, 400, 400, "a", 0);
  const int32_t aw = GlyphRect[1].right;  // four of these fill the box, "…" (16 wide) hangs
  ASSERT_GT(aw, 0);
  ASSERT_LT(aw, 16);
  const plat::Rect hang{4 * aw, 0, 4 * aw + 16, 16};
  auto shownWhole = [&](const plat::Rect& r) {
    const int ink = Ink(FontObject(), r);
    EXPECT_GT(ink, 3);
    EXPECT_EQ(Ink(BackSurface, r), ink);
  };
  // True when the mark was on the screen before the last call of the reveal.
  auto revealedInTurn = [&](const plat::Rect& r) {
    FrameSeconds = 0.2f;  // one glyph more every call
    bool early = false;
    for (int frame = 0; frame < 20 && !elDraw::TypeText(0.1f); ++frame) early = early || Ink(BackSurface, r) > 3;
    return early;
  };
  elDraw::TextBox(0, 0, 4 * aw, 200, "aaaa…", 0);
  elDraw::EndFont();
  shownWhole(hang);

  elDraw::ClearScreen();
  Gothic(16);
  elDraw::TextBoxNoPut(0, 0, 4 * aw, 200, "aaaa…", 0);
  elDraw::EndFont();
  EXPECT_TRUE(revealedInTurn(hang));
  shownWhole(hang);

  elDraw::ClearScreen();
  elDraw::SetFontSmooth(1, 16);
  elDraw::SetTextColor(0xFFFFFF, 0, 1);
  elDraw::SmoothTextBoxNoPut(0, 0, 4 * aw + 1, 200, "aaaa…", 0);  // its glyphs must end before the edge
  elDraw::EndFontSmooth();
  EXPECT_TRUE(revealedInTurn(hang));
  shownWhole(hang);
}

TEST_F(TextTest, TextBoxLineHeightAndBottom) {
  Gothic(16);
  // A shadow makes each glyph 17 high: the following lines are 17 apart.
  elDraw::TextBoxNoPut(0, 0, 400, 400, "あ\nい\nう", 0x100);
  ASSERT_EQ(GlyphCount, 4);
  EXPECT_EQ(GlyphRect[2].top, 17);
  EXPECT_EQ(GlyphRect[3].top, 34);
  // Extra spacing in the low byte.
  elDraw::TextBoxNoPut(0, 0, 400, 400, "あ\nい", 4);
  EXPECT_EQ(GlyphRect[2].top, 20);
  // The box ends before a line whose top + line height reaches the bottom.
  elDraw::TextBoxNoPut(0, 0, 400, 40, "あ\nい\nう\nえ", 0);
  EXPECT_EQ(GlyphCount, 3);
  EXPECT_EQ(Ink(FontObject(), {0, 32, 16, 48}), 0);
  elDraw::EndFont();
}

TEST_F(TextTest, TextBoxPutsAndShadow) {
  elDraw::FillWhite(0, 0, 640, 480);
  Gothic(16, 0x0000FF);
  elDraw::SetTextColor(0x0000FF, 0x808080, 1);
  elDraw::TextBox(10, 10, 300, 100, "大盛り", 0x100 | 0x200);
  // The text box leaves the span open on the back screen for the caller's end.
  ASSERT_NE(TextDC, nullptr);
  elDraw::EndFont();
  int red = 0, grey = 0, other = 0;
  for (int32_t y = 10; y < 28; ++y)
    for (int32_t x = 10; x < 70; ++x) {
      uint32_t p = PixelAt(BackSurface, x, y);
      if (p == 0xF800) ++red;
      else if (p == Pixel(0x808080)) ++grey;
      else if (p != 0xFFFF) ++other;
    }
  EXPECT_GT(red, 60);
  EXPECT_GT(grey, 20);
  // Drawn into the keyed Font object: no pixel mixes text with the black key colour.
  EXPECT_EQ(other, 0);
  EXPECT_EQ(GlyphRect[1].right - GlyphRect[1].left, 18);  // 16 + shadow + embolden
}

TEST_F(TextTest, EmboldenFlagsSizeTheGlyphs) {
  Gothic(16);
  elDraw::TextBoxNoPut(0, 0, 400, 400, "あ", 0x400);
  EXPECT_EQ(GlyphRect[1].right - GlyphRect[1].left, 16);
  EXPECT_EQ(GlyphRect[1].bottom - GlyphRect[1].top, 17);
  elDraw::TextBoxNoPut(0, 0, 400, 400, "あ", 0x100 | 0x400);
  EXPECT_EQ(GlyphRect[1].right - GlyphRect[1].left, 17);
  EXPECT_EQ(GlyphRect[1].bottom - GlyphRect[1].top, 18);
  // Emboldened down: the glyph's ink reaches one row lower than the plain one's.
  auto lowest = [&] {
    for (int32_t y = 20; y >= 0; --y)
      for (int32_t x = 0; x < 20; ++x)
        if (PixelAt(FontObject(), x, y) != 0) return y;
    return -1;
  };
  elDraw::TextBoxNoPut(0, 0, 400, 400, "あ", 0);
  int plain = lowest();
  elDraw::TextBoxNoPut(0, 0, 400, 400, "あ", 0x400);
  EXPECT_EQ(lowest(), plain + 1);
  elDraw::EndFont();
}

TEST_F(TextTest, FarAwayPositionsDrawNothing) {
  Gothic(16);
  elDraw::Text(INT32_MAX - 3, INT32_MAX - 3, "ああ");
  elDraw::Text(INT32_MIN, 0, "ああ");
  elDraw::DrawTextBox(INT32_MAX - 10, 0, INT32_MAX, 100, "ああ", 2);
  elDraw::TextBox(INT32_MAX - 10, INT32_MAX - 10, INT32_MAX, INT32_MAX, "ああ", 0x1FF);
  elDraw::EndFont();
  elDraw::SetFontSmooth(1, 16);
  elDraw::SmoothTextBox(INT32_MIN, INT32_MIN, INT32_MIN + 40, INT32_MIN + 40, "ああ", 0);
  elDraw::EndFontSmooth();
  elDraw::FrameBlack(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX);
  EXPECT_EQ(Ink(BackSurface, {0, 0, 640, 480}), 0);
}

TEST_F(TextTest, GlyphTableIsBounded) {
  std::string many(5000, 'a');
  Gothic(8);
  elDraw::TextBoxNoPut(0, 0, 640, 480, many.c_str(), 0);
  EXPECT_EQ(GlyphCount, 3200);
  for (int i = 0; i < 10; ++i) elDraw::TypeText(0.0f);
  elDraw::EndFont();
}

TEST_F(TextTest, TypeTextReveals) {
  Gothic(16);
  elDraw::TextBoxNoPut(0, 0, 400, 400, "あいう", 0);
  elDraw::EndFont();
  EXPECT_EQ(elDraw::TypeText(0.0f), 1);  // everything at once
  EXPECT_GT(Ink(BackSurface, {32, 0, 48, 16}), 10);

  elDraw::ClearScreen();
  Gothic(16);
  elDraw::TextBoxNoPut(0, 0, 400, 400, "あいう", 0);
  elDraw::EndFont();
  FrameSeconds = 1.0f / 60;
  std::vector<int> steps;
  int last = TypeRevealed, frames = 0, result = 0;
  while (!(result = elDraw::TypeText(0.1f)) && frames < 200) {
    ++frames;
    if (TypeRevealed != last) {
      steps.push_back(frames);
      last = TypeRevealed;
    }
  }
  EXPECT_EQ(result, 1);
  ASSERT_GE(steps.size(), 3u);
  for (size_t i = 1; i < steps.size(); ++i) {
    EXPECT_GE(steps[i] - steps[i - 1], 6);
    EXPECT_LE(steps[i] - steps[i - 1], 7);
  }
  EXPECT_GT(Ink(BackSurface, {32, 0, 48, 16}), 10);
}

TEST_F(TextTest, TypeTextShowsGlyphsOneByOne) {
  Gothic(16);
  elDraw::TextBoxNoPut(0, 0, 400, 400, "あいう", 0);
  elDraw::EndFont();
  FrameSeconds = 0.2f;  // every call reveals one more
  elDraw::TypeText(0.1f);  // nothing shown yet
  EXPECT_EQ(Ink(BackSurface, {0, 0, 48, 16}), 0);
  elDraw::TypeText(0.1f);
  elDraw::TypeText(0.1f);  // "あ"
  EXPECT_GT(Ink(BackSurface, {0, 0, 16, 16}), 10);
  EXPECT_EQ(Ink(BackSurface, {16, 0, 48, 16}), 0);
}

TEST_F(TextTest, DrawTextBoxAlignAndMeasure) {
  Gothic(16);
  elDraw::DrawTextBox(0, 0, 100, 50, "あ", 3);
  EXPECT_EQ(Ink(BackSurface, {0, 0, 640, 60}), 0);
  elDraw::DrawTextBox(0, 0, 100, 20, "あ", 2);
  EXPECT_GT(Ink(BackSurface, {84, 0, 100, 16}), 10);
  EXPECT_EQ(Ink(BackSurface, {0, 0, 84, 16}), 0);
  elDraw::DrawTextBox(0, 20, 100, 40, "あ", 1);
  EXPECT_GT(Ink(BackSurface, {42, 20, 58, 36}), 10);
  EXPECT_EQ(Ink(BackSurface, {0, 20, 40, 36}), 0);
  EXPECT_EQ(elDraw::MeasureTextBox(0, 0, 40, 400, "あいうえお"), 48);   // two a line
  EXPECT_EQ(elDraw::MeasureTextBox(0, 0, 60, 400, "ab cd ef gh"), 32);  // "ab cd", "ef gh"
  EXPECT_EQ(elDraw::MeasureTextBox(0, 0, 400, 400, "a\nb\nc"), 48);
  // A box as wide as the coordinate range holds the words on one line; a top at the far end measures.
  EXPECT_EQ(elDraw::MeasureTextBox(INT32_MIN, 0, INT32_MAX, 400, "ab cd ef gh"), 16);
  EXPECT_EQ(elDraw::MeasureTextBox(-5, INT32_MAX, INT32_MAX, INT32_MAX, "a\nb"), 32);
  // Word break: the second word moves down whole; the text is cut at the rectangle.
  elDraw::ClearScreen();
  elDraw::DrawTextBox(0, 100, 60, 116, "abcd efgh", 0);
  EXPECT_GT(Ink(BackSurface, {0, 100, 32, 116}), 10);
  EXPECT_EQ(Ink(BackSurface, {32, 100, 640, 200}), 0);
  elDraw::EndFont();
}

TEST_F(TextTest, SmoothTextBox) {
  elDraw::FillColor(0, 0, 640, 480, 0x001F);  // blue paper
  elDraw::SetFontSmooth(1, 32);
  EXPECT_EQ(FontHeight, 64);
  elDraw::SetTextColor(0xFFFFFF, 0, 1);
  elDraw::SmoothTextBoxNoPut(100, 100, 600, 400, "■あ", 0);
  ASSERT_EQ(GlyphCount, 3);
  EXPECT_EQ(GlyphRect[1].left, 100);
  EXPECT_EQ(GlyphRect[1].right, 132);
  EXPECT_EQ(GlyphRect[2].left, 132);
  EXPECT_EQ(GlyphRect[2].bottom, 132);
  plat::Surface* f = FontObject();
  // Inside the square all nine source pixels are white: the channel maximum.
  EXPECT_EQ(PixelAt(f, 116, 116), 0xFFDFu);  // 5-bit channels: green's low bit stays 0
  // Far from any glyph: transparent.
  EXPECT_EQ(PixelAt(f, 100, 140), 0u);
  EXPECT_EQ(PixelAt(f, 300, 300), 0u);
  // At the square's edge the paper shows through: pixels between blue and white.
  int mixed = 0;
  for (int32_t y = 100; y < 132; ++y)
    for (int32_t x = 100; x < 132; ++x) {
      uint32_t p = PixelAt(f, x, y);
      if (p != 0 && p != 0xFFDF && (p & 0x1F) == 0x1F) ++mixed;
    }
  EXPECT_GT(mixed, 10);
  elDraw::EndFontSmooth();
  EXPECT_EQ(TextDC, nullptr);
  // Put: the smoothed text lands on the back screen.
  elDraw::SetFontSmooth(1, 16);
  elDraw::SetTextColor(0xFFFFFF, 0, 1);
  elDraw::SmoothTextBox(10, 10, 600, 400, "あい\nう", 0x100);
  elDraw::EndFontSmooth();
  EXPECT_GT(Ink(BackSurface, {10, 10, 42, 26}), 0);
  int white = 0;
  for (int32_t y = 10; y < 60; ++y)
    for (int32_t x = 10; x < 50; ++x) white += PixelAt(BackSurface, x, y) != 0x001F;
  EXPECT_GT(white, 50);
  EXPECT_GE(GlyphRect[3].top, 26);  // "う" on the second line
}

TEST_F(TextTest, SmoothTextBoxClippedAndWrapped) {
  elDraw::SetClip(50, 50, 200, 200);
  elDraw::SetFontSmooth(1, 16);
  elDraw::SetTextColor(0xFFFFFF, 0, 1);
  elDraw::SmoothTextBox(40, 40, 90, 600, "ああああああ", 0);
  elDraw::EndFontSmooth();
  EXPECT_EQ(Ink(BackSurface, {0, 0, 50, 480}), 0);
  EXPECT_EQ(Ink(BackSurface, {0, 0, 640, 50}), 0);
  EXPECT_GT(Ink(BackSurface, {50, 50, 90, 120}), 20);
  ASSERT_GE(GlyphCount, 5);
  EXPECT_EQ(GlyphRect[3].left, 72);
  EXPECT_EQ(GlyphRect[4].left, 40);  // the fourth glyph opened the second line
  EXPECT_EQ(GlyphRect[4].top, 56);
  elDraw::SetClip(0, 0, 640, 480);
}

}  // namespace
