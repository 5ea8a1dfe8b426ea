// Text and fonts: direct text on the back screen, the text boxes with their glyph table, the
// smoothed text box, the typewriter reveal and the debug text.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "el/draw/draw_state.h"
#include "el/elSystem.h"

plat::LogFontA* FontDesc;
plat::Font* TextFont;
plat::Font* TextOldFont;
plat::Dc* TextDC;
int32_t FontHeight;
uint32_t TextColor, TextBackColor;
FontListEntry FontList[200];
int32_t FontCount;
uint32_t TextAutoPut;
plat::Rect GlyphRect[3200];
int32_t GlyphCount;
int32_t TypeRevealed;
float TypeTimer;

namespace {

// The surface TextDC belongs to.
plat::Surface* TextDCSurface;

const char* const kFaces[] = {"標準明朝", "標準ゴシック"};

// Closing punctuation and spaces that may hang past the right edge of a text box.
const char* const HangingChars[] = {"、", "。", "，", "．", "・", "…", "‥", "”", "’", "（", "」", ",", ".", "　", " "};

// GlyphRect holds the bounding rectangle and 3199 glyphs; a longer text stops being laid out there,
// so the table is never written past its end and the reveal stays in step with what was drawn.
constexpr int32_t kGlyphRects = 3200;

bool Hanging(const char* g, int32_t len) {
  for (const char* h : HangingChars)
    if (static_cast<int32_t>(std::strlen(h)) == len && std::memcmp(h, g, static_cast<size_t>(len)) == 0) return true;
  return false;
}

int32_t WeightOf(int32_t code) { return code == 0 ? 400 : code == 1 ? 700 : 0; }

void DescribeFont(int32_t height, int32_t angle, int32_t weight, uint8_t italic, uint8_t underline, uint8_t charSet) {
  FontHeight = height;
  FontDesc->lfHeight = height;
  FontDesc->lfEscapement = angle * 10;
  FontDesc->lfWeight = WeightOf(weight);
  FontDesc->lfItalic = italic;
  FontDesc->lfUnderline = underline;
  FontDesc->lfCharSet = charSet;
}

void SetFaceName(const char* name) {
  std::snprintf(FontDesc->lfFaceName, sizeof FontDesc->lfFaceName, "%s", name);
}

// Ends the open text span: the old font back into the DC, the span's font deleted, the DC given back.
void CloseSpan() {
  if (TextDC) {
    TextDC->SelectFont(TextOldFont);
    plat::ReleaseSurfaceDc(TextDCSurface, TextDC);
  }
  if (TextFont) plat::DeleteFont(TextFont);
  TextDC = nullptr;
  TextDCSurface = nullptr;
  TextFont = nullptr;
  TextOldFont = nullptr;
}

// Opens a span on surface s with a font made from FontDesc.
void OpenSpan(plat::Surface* s) {
  CloseSpan();
  if (!FontDesc) return;
  TextFont = plat::CreateFontIndirect(*FontDesc);
  if (s && plat::GetSurfaceDc(s, &TextDC) == plat::DD_OK) {
    TextDCSurface = s;
    TextOldFont = TextDC->SelectFont(TextFont);
  } else {
    TextDC = nullptr;
  }
}

void RaiseFromBlack(uint32_t& c) {
  // Black is the text objects' colour key: near-black text would vanish or leave holes.
  if ((c & 0xFF) < 16 && ((c >> 8) & 0xFF) < 16 && ((c >> 16) & 0xFF) < 16) c = 0x101010;
}

// One glyph with its shadow and emboldening copies; (ox, oy) are the offsets of the shadow (1 normally,
// 2 in the double-size strip of the smoothed box).
void DrawGlyph(int32_t gx, int32_t gy, const char* g, int32_t len, uint32_t flags, int32_t ox, int32_t oy) {
  if (!TextDC) return;
  const bool across = flags & 0x200, down = flags & 0x400;
  if (flags & 0x100) {
    TextDC->SetTextColor(TextBackColor);
    TextDC->TextOut(gx + ox, gy + oy, g, len);
    if (across) TextDC->TextOut(gx + ox + 1, gy + oy, g, len);
    if (down) TextDC->TextOut(gx + ox, gy + oy + 1, g, len);
    if (across && down) TextDC->TextOut(gx + ox + 1, gy + oy + 1, g, len);
  }
  TextDC->SetTextColor(TextColor);
  TextDC->TextOut(gx, gy, g, len);
  if (across) TextDC->TextOut(gx + 1, gy, g, len);
  if (across && down) TextDC->TextOut(gx + 1, gy + 1, g, len);
  if (down) TextDC->TextOut(gx, gy + 1, g, len);
}

// The next glyph at text[i]: its length (2 for a lead byte with a trail, else 1).
int32_t GlyphLength(const char* text, int32_t i, int32_t n) {
  return plat::IsDBCSLeadByte(static_cast<uint8_t>(text[i])) && i + 1 < n ? 2 : 1;
}

// Boxes this far out lie off every surface; refusing them keeps the pen arithmetic in range.
bool FarAway(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  constexpr int32_t kFar = 1 << 28;
  return left < -kFar || left > kFar || top < -kFar || top > kFar || right < -kFar || right > kFar ||
         bottom < -kFar || bottom > kFar;
}

void TextBoxImpl(int32_t left, int32_t top, int32_t right, int32_t bottom, const char* text, uint32_t flags) {
  if (!text || FarAway(left, top, right, bottom)) text = "";
  CloseSpan();  // the back screen's span ends
  elDraw::ClearObject(kObjFont);
  OpenSpan(DrawObject[kObjFont].surface);
  if (TextDC) TextDC->SetBkMode(plat::TRANSPARENT);
  int32_t x = left, y = top;
  int32_t lineH = FontHeight + static_cast<int32_t>(flags & 0xFF);
  RaiseFromBlack(TextColor);
  RaiseFromBlack(TextBackColor);
  GlyphRect[0] = {left, top, left, top};
  GlyphCount = 1;
  const int32_t n = static_cast<int32_t>(std::strlen(text));
  for (int32_t i = 0; i < n; ++i) {
    const int32_t start = i;
    const int32_t len = text[i] == '\n' ? 1 : GlyphLength(text, i, n);
    i += len - 1;
    const bool lf = text[start] == '\n';
    plat::Size sz{0, 0};
    if (!lf && TextDC) TextDC->GetTextExtentPoint32(text + start, len, &sz);
    int32_t w = sz.cx, h = sz.cy;
    if (flags & 0x100) ++w, ++h;
    if (flags & 0x200) ++w;
    if (flags & 0x400) ++h;
    if (GlyphCount >= kGlyphRects) break;
    GlyphRect[GlyphCount++] = {x, y, x + w, y + h};
    x += w;
    if (h > lineH) lineH = h;
    const bool fits = x <= right && !lf;
    // A closing mark that does not fit hangs past the right edge. It is drawn like any other glyph
    // and keeps its entry and its share of the bounding rectangle, so that the put and the reveal
    // show it instead of cutting it off at the edge.
    const bool hanging = !fits && !lf && Hanging(text + start, len);
    if (fits || hanging) {
      DrawGlyph(x - w, y, text + start, len, flags, 1, 1);
      if (GlyphRect[0].right < x + w) GlyphRect[0].right = x + w;
      if (GlyphRect[0].bottom < y + h) GlyphRect[0].bottom = y + h;
      if (fits) continue;
    } else {
      --GlyphCount;
    }
    if (!lf && !hanging) i -= len;
    if (x > right || lf) {
      x = left;
      y += lineH;
    }
    if (y + lineH >= bottom) break;
  }
  CloseSpan();
  if (TextAutoPut) {
    const plat::Rect& r = GlyphRect[0];
    elDraw::Put(r.left, r.top, kObjFont, r.left, r.top, r.right, r.bottom);
  }
  OpenSpan(BackSurface);
  TypeRevealed = 0;
  TypeTimer = 0;
  TextAutoPut = 1;
}

// Reduces the strip (sl, st, sr, sb) of the Font buffer 2:1 onto the Font object at (dx, dy), each
// output pixel a blend of the glyph pixels around its source pixel with the back screen under it.
int Reduce(int32_t sl, int32_t st, int32_t sr, int32_t sb, int32_t dx, int32_t dy) {
  plat::Surface* buf = DrawObject[kObjFontBuffer].surface;
  plat::Surface* font = DrawObject[kObjFont].surface;
  if (!buf || !font || !BackSurface) return 0;
  // The strip must lie in the buffer.
  sl = std::max(sl, 0);
  st = std::max(st, 0);
  sr = std::min(sr, buf->Width());
  sb = std::min(sb, buf->Height());
  int32_t w = (sr - sl) / 2, h = (sb - st) / 2;
  // Clipping at the left or top moves the source start on by two source pixels per clipped output
  // pixel, so clipped smoothed text keeps its place instead of sliding.
  int32_t cl = ClipLeft > 0 ? ClipLeft : 0, ct = ClipTop > 0 ? ClipTop : 0;
  int32_t cr = ClipRight < font->Width() ? ClipRight : font->Width();
  int32_t cb = ClipBottom < font->Height() ? ClipBottom : font->Height();
  cr = std::min(cr, BackSurface->Width());
  cb = std::min(cb, BackSurface->Height());
  int32_t ox0 = 0, oy0 = 0;
  if (dx < cl) ox0 = cl - dx;
  if (dy < ct) oy0 = ct - dy;
  w = std::min(w, cr - dx);
  h = std::min(h, cb - dy);
  if (w - ox0 < 0 || h - oy0 < 0) return 0;
  plat::LockedRect lb, lf, ls;
  if (buf->Lock(nullptr, &lb, plat::DDLOCK_WAIT) != plat::DD_OK) return 0;
  if (font->Lock(nullptr, &lf, plat::DDLOCK_WAIT) != plat::DD_OK) {
    buf->Unlock();
    return 0;
  }
  if (BackSurface->Lock(nullptr, &ls, plat::DDLOCK_WAIT) != plat::DD_OK) {
    font->Unlock();
    buf->Unlock();
    return 0;
  }
  // Channels by the screen's pixel size: 5-bit fields on 16-bit screens, bytes on 32-bit ones. The
  // display here has no 3-byte format, so no 3-byte path is needed.
  const bool wide = plat::BytesPerPixel(BackSurface->Format()) == 4;
  const uint32_t maxC = wide ? 255 : 31;
  const uint16_t sh[] = {static_cast<uint16_t>(wide ? RShift : RShift5), static_cast<uint16_t>(wide ? GShift : GShift5),
                         static_cast<uint16_t>(wide ? BShift : BShift5)};
  const uint32_t cm = wide ? 0xFF : 0x1F;
  auto read = [wide](const plat::LockedRect& l, int32_t x, int32_t y) -> uint32_t {
    const uint8_t* row = l.bits + static_cast<ptrdiff_t>(y) * l.pitch;
    return wide ? reinterpret_cast<const uint32_t*>(row)[x] : reinterpret_cast<const uint16_t*>(row)[x];
  };
  for (int32_t oy = oy0; oy < h; ++oy) {
    for (int32_t ox = ox0; ox < w; ++ox) {
      const int32_t sx = sl + 2 * ox, sy = st + 2 * oy;
      uint32_t sum[] = {0, 0, 0};
      int n = 0;
      for (int32_t ny = sy - 1; ny <= sy + 1; ++ny) {
        if (ny < st || ny >= sb) continue;
        for (int32_t nx = sx - 1; nx <= sx + 1; ++nx) {
          if (nx < sl || nx >= sr) continue;
          uint32_t p = read(lb, nx, ny);
          if (p == 0) continue;
          for (int c = 0; c < 3; ++c) sum[c] += (p >> sh[c]) & cm;
          ++n;
        }
      }
      if (n == 0) continue;
      const int32_t px = dx + ox, py = dy + oy;
      uint32_t under = read(ls, px, py);
      uint32_t out = 0;
      for (int c = 0; c < 3; ++c) {
        uint32_t v = sum[c] + maxC;
        if (n < 8) v += static_cast<uint32_t>(8 - n) * ((under >> sh[c]) & cm);
        v >>= 3;
        v = std::min(v, maxC);
        out |= v << sh[c];
      }
      uint8_t* row = lf.bits + static_cast<ptrdiff_t>(py) * lf.pitch;
      if (wide)
        reinterpret_cast<uint32_t*>(row)[px] = out;
      else
        reinterpret_cast<uint16_t*>(row)[px] = static_cast<uint16_t>(out);
    }
  }
  BackSurface->Unlock();
  font->Unlock();
  buf->Unlock();
  return 1;
}

void SmoothTextBoxImpl(int32_t left, int32_t top, int32_t right, int32_t bottom, const char* text, uint32_t flags) {
  if (!text || FarAway(left, top, right, bottom)) text = "";
  plat::Surface* buffer = DrawObject[kObjFontBuffer].surface;
  elDraw::ClearObject(kObjFont);
  CloseSpan();
  elDraw::ClearObject(kObjFontBuffer);
  OpenSpan(buffer);
  if (TextDC) TextDC->SetBkMode(plat::TRANSPARENT);
  RaiseFromBlack(TextColor);
  RaiseFromBlack(TextBackColor);
  const int32_t spacing = static_cast<int32_t>(flags & 0xFF);
  int32_t lineH = FontHeight + spacing;
  int32_t x0 = left, y = top, sx = 0;
  GlyphRect[0] = {left, top, left, top};
  GlyphCount = 1;
  auto flush = [&]() {
    CloseSpan();
    int32_t vis = lineH;
    if (y + lineH / 2 > bottom) vis -= 2 * (y + lineH / 2 - bottom);
    if (GlyphRect[0].right < x0 + sx / 2) GlyphRect[0].right = x0 + sx / 2;
    if (GlyphRect[0].bottom < y + vis / 2) GlyphRect[0].bottom = y + vis / 2;
    if (sx > 0 && vis > 0) Reduce(0, 0, sx, vis, x0, y);
    elDraw::ClearObject(kObjFontBuffer);
    OpenSpan(buffer);
    if (TextDC) TextDC->SetBkMode(plat::TRANSPARENT);
  };
  const int32_t n = static_cast<int32_t>(std::strlen(text));
  for (int32_t i = 0; i < n && y < bottom; ++i) {
    const int32_t start = i;
    const bool lf = text[i] == '\n';
    const int32_t len = lf ? 1 : GlyphLength(text, i, n);
    i += len - 1;
    plat::Size sz{0, 0};
    if (!lf && TextDC) TextDC->GetTextExtentPoint32(text + start, len, &sz);
    int32_t w = (sz.cx + 1) & ~1, h = (sz.cy + 1) & ~1;
    if (flags & 0x100) w += 2, h += 2;
    if (flags & 0x200) ++w;
    if (flags & 0x400) ++h;
    if (GlyphCount >= kGlyphRects) break;
    GlyphRect[GlyphCount++] = {x0 + sx / 2, y, x0 + sx / 2 + w / 2, y + h / 2};
    sx += w;
    if (h > lineH) lineH = h;
    const bool pastRight = x0 + sx / 2 >= right;
    if (!pastRight && sx < ScreenWidth && !lf) {
      DrawGlyph(sx - w, 0, text + start, len, flags, 2, 2);
      continue;
    }
    // A hanging glyph keeps its entry (the reveal shows it); any other is taken off the table.
    const bool hanging = pastRight && !lf && Hanging(text + start, len);
    if (!hanging) --GlyphCount;
    if (hanging) {
      DrawGlyph(sx - w, 0, text + start, len, flags, 2, 2);
    } else if (!lf) {
      sx -= w;
      if (sx == 0 && !pastRight) {
        // A glyph wider than the whole strip can never be placed: it is left out.
        continue;
      }
      i -= len;
    }
    flush();
    if (lf || pastRight) {
      x0 = left;
      y += lineH / 2;
    } else {
      x0 += sx / 2;
    }
    sx = 0;
    lineH = FontHeight + spacing;
  }
  if (sx > 0 && y < bottom) flush();
  if (TextAutoPut) {
    const plat::Rect& r = GlyphRect[0];
    elDraw::Put(r.left, r.top, kObjFont, r.left, r.top, r.right, r.bottom);
  }
  TypeRevealed = 0;
  TypeTimer = 0;
  TextAutoPut = 1;
}

bool AddFont(const plat::FontFamily& f, void*) {
  if (FontCount >= static_cast<int32_t>(std::size(FontList))) return false;
  FontListEntry& e = FontList[FontCount];
  std::memcpy(e.name, f.faceName, sizeof e.name);
  e.name[sizeof e.name - 1] = 0;
  e.kind = f.charSet == plat::SHIFTJIS_CHARSET ? 1 : f.charSet == plat::SYMBOL_CHARSET ? 3 : 2;
  e.charSet = f.charSet;
  ++FontCount;
  return true;
}

}  // namespace

void elDraw::detail::EndTextSpan() { CloseSpan(); }

namespace elDraw {

void EnumFonts() {
  if (!FontDesc) FontDesc = new plat::LogFontA{};
  for (FontListEntry& e : FontList) e = FontListEntry{};
  FontCount = 0;
  GetDC();
  plat::EnumFontFamilies(AddFont, nullptr);
  ReleaseDC();
  TextAutoPut = 1;
}

void FreeFonts() {
  CloseSpan();
  delete FontDesc;
  FontDesc = nullptr;
}

void SetFont(int32_t face, int32_t height, int32_t angle, int32_t weight, uint8_t italic, uint8_t underline) {
  if (!FontDesc) return;  // fonts are not set up (elDraw::Screen has not run)
  if (face == 0 || face == 1) SetFaceName(kFaces[face]);
  DescribeFont(height, angle, weight, italic, underline, plat::SHIFTJIS_CHARSET);
  OpenSpan(BackSurface);
}

void SetFontName(const char* name, int32_t height, int32_t angle, int32_t weight, uint8_t italic, uint8_t underline) {
  if (!FontDesc) return;
  if (!name) name = "";
  uint8_t charSet = plat::SHIFTJIS_CHARSET;
  for (const FontListEntry& e : FontList)
    if (std::strncmp(e.name, name, sizeof e.name) == 0 && e.kind != -1) {
      charSet = e.charSet;
      break;
    }
  SetFaceName(name);
  DescribeFont(height, angle, weight, italic, underline, charSet);
  OpenSpan(BackSurface);
}

void EndFont() { CloseSpan(); }

void SetTextColor(uint32_t text, uint32_t background, uint32_t transparent) {
  TextColor = text;
  TextBackColor = background;
  if (!TextDC) return;
  TextDC->SetTextColor(text);
  TextDC->SetBkColor(background);
  TextDC->SetBkMode(transparent ? plat::TRANSPARENT : plat::OPAQUE);
}

void Text(int32_t x, int32_t y, const char* text) {
  if (TextDC && text) TextDC->TextOut(x, y, text, static_cast<int32_t>(std::strlen(text)));
}

void DrawTextBox(int32_t left, int32_t top, int32_t right, int32_t bottom, const char* text, int32_t align) {
  if (!TextDC || !text || align < 0 || align > 2) return;
  plat::Rect r{left, top, right, bottom};
  uint32_t format = plat::DT_WORDBREAK | plat::DT_NOPREFIX;
  if (align == 1) format |= plat::DT_CENTER;
  if (align == 2) format |= plat::DT_RIGHT;
  TextDC->DrawText(text, -1, &r, format);
}

int32_t MeasureTextBox(int32_t left, int32_t top, int32_t right, int32_t bottom, const char* text) {
  if (!TextDC || !text) return 0;
  plat::Rect r{left, top, right, bottom};
  return TextDC->DrawText(text, -1, &r, plat::DT_WORDBREAK | plat::DT_NOPREFIX | plat::DT_CALCRECT);
}

void TextBox(int32_t left, int32_t top, int32_t right, int32_t bottom, const char* text, uint32_t flags) {
  TextBoxImpl(left, top, right, bottom, text, flags);
}

void TextBoxNoPut(int32_t left, int32_t top, int32_t right, int32_t bottom, const char* text, uint32_t flags) {
  TextAutoPut = 0;
  TextBoxImpl(left, top, right, bottom, text, flags);
}

void SetFontSmooth(int32_t face, int32_t size) {
  if (!FontDesc) return;
  if (face == 0 || face == 1) SetFaceName(kFaces[face]);
  DescribeFont(2 * size, 0, 0, 0, 0, plat::SHIFTJIS_CHARSET);
  OpenSpan(DrawObject[kObjFontBuffer].surface);
}

void SetFontSmoothName(const char* name, int32_t size) {
  if (!FontDesc) return;
  if (!name) name = "";
  uint8_t charSet = plat::SHIFTJIS_CHARSET;
  for (const FontListEntry& e : FontList)
    if (std::strncmp(e.name, name, sizeof e.name) == 0 && e.kind != -1) {
      charSet = e.charSet;
      break;
    }
  SetFaceName(name);
  DescribeFont(2 * size, 0, 0, 0, 0, charSet);
  OpenSpan(DrawObject[kObjFontBuffer].surface);
}

void EndFontSmooth() { CloseSpan(); }

void SmoothTextBox(int32_t left, int32_t top, int32_t right, int32_t bottom, const char* text, uint32_t flags) {
  SmoothTextBoxImpl(left, top, right, bottom, text, flags);
}

void SmoothTextBoxNoPut(int32_t left, int32_t top, int32_t right, int32_t bottom, const char* text, uint32_t flags) {
  TextAutoPut = 0;
  SmoothTextBoxImpl(left, top, right, bottom, text, flags);
}

int32_t TypeText(float interval) {
  if (interval != 0 && TypeRevealed <= GlyphCount) {
    for (int32_t k = 1; k <= TypeRevealed - 1 && k < GlyphCount; ++k) {
      const plat::Rect& r = GlyphRect[k];
      Put(r.left, r.top, kObjFont, r.left, r.top, r.right, r.bottom);
    }
  } else {
    const plat::Rect& r = GlyphRect[0];
    Put(r.left, r.top, kObjFont, r.left, r.top, r.right, r.bottom);
    TypeRevealed = GlyphCount + 1;
  }
  if (TypeRevealed > GlyphCount) return 1;
  TypeTimer += FrameSeconds;
  if (TypeTimer >= interval) {
    ++TypeRevealed;
    TypeTimer = 0;
  }
  return 0;
}

void DebugText(int32_t x, int32_t y, const char* text) {
  SetFont(1, 12, 0, 0, 0, 0);
  SetTextColor(0xFFFFFF, 0x800000, 0);
  Text(x, y, text);
  EndFont();
}

void DebugPrintf(int32_t x, int32_t y, const char* format, ...) {
  char buf[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buf, sizeof buf, format ? format : "", args);
  va_end(args);
  DebugText(x, y, buf);
}

}  // namespace elDraw
