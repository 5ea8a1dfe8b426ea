// Device contexts on surfaces: colours, text output and measure, pixels, stretched copies.
#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include "platform/gdi_detail.h"

namespace plat {

using namespace gdi_detail;

namespace {

uint32_t ReadPixel(const Surface* s, int32_t x, int32_t y) {
  const uint8_t* row = s->Row(y);
  return BytesPerPixel(s->Format()) == 2 ? reinterpret_cast<const uint16_t*>(row)[x]
                                         : reinterpret_cast<const uint32_t*>(row)[x];
}

void WritePixel(Surface* s, int32_t x, int32_t y, uint32_t p) {
  uint8_t* row = s->Row(y);
  if (BytesPerPixel(s->Format()) == 2)
    reinterpret_cast<uint16_t*>(row)[x] = static_cast<uint16_t>(p);
  else
    reinterpret_cast<uint32_t*>(row)[x] = p;
}

uint32_t PixelOf(const Surface* s, ColorRef c) {
  return PackRgb(s->Format(), static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c >> 16));
}

ColorRef ColorOf(const Surface* s, uint32_t p) {
  uint8_t r, g, b;
  UnpackRgb(s->Format(), p, &r, &g, &b);
  return Rgb(r, g, b);
}

// Paints coverage-weighted text colour. On a surface with a colour key every pixel must be either
// untouched or a real colour: a pixel mixed with the black key colour would show as a dark fringe
// once the picture is put somewhere else, so there coverage is cut at one half. Elsewhere the glyph
// edge is blended with what is under it.
struct Painter {
  Surface* s;
  Rect clip;
  uint32_t pixel;
  uint8_t r, g, b;
  bool hard;
  void Cover(int32_t x, int32_t y, uint32_t a) {
    if (x < clip.left || y < clip.top || x >= clip.right || y >= clip.bottom || a == 0) return;
    if (hard || a >= 255) {
      if (a >= 128) WritePixel(s, x, y, pixel);
      return;
    }
    uint8_t dr, dg, db;
    UnpackRgb(s->Format(), ReadPixel(s, x, y), &dr, &dg, &db);
    auto mix = [a](uint8_t d, uint8_t c) { return static_cast<uint8_t>((d * (255 - a) + c * a + 127) / 255); };
    WritePixel(s, x, y, PackRgb(s->Format(), mix(dr, r), mix(dg, g), mix(db, b)));
  }
};

// Fills the rectangle (x, y, w, h) rotated by the text angle about (rx, ry) (default: (x, y)).
template <typename F>
void Fill(Surface* t, const Rect& clip, int32_t x, int32_t y, int32_t w, int32_t h, double ca, double sa,
          F put, int32_t rx = INT32_MIN, int32_t ry = 0) {
  if (rx == INT32_MIN) rx = x, ry = y;
  Rect c{std::max(clip.left, 0), std::max(clip.top, 0), std::min(clip.right, t->Width()),
         std::min(clip.bottom, t->Height())};
  if (sa == 0.0 && ca == 1.0) {
    for (int32_t py = std::max(y, c.top); py < std::min<int64_t>(int64_t(y) + h, c.bottom); ++py)
      for (int32_t px = std::max(x, c.left); px < std::min<int64_t>(int64_t(x) + w, c.right); ++px) put(px, py);
    return;
  }
  // Corners of the rotated rectangle give the box to scan; each pixel centre is turned back.
  double ux = x - rx, uy = y - ry;
  double xs[4], ys[4];
  const double cx[] = {ux, ux + w, ux, ux + w}, cy[] = {uy, uy, uy + h, uy + h};
  for (int i = 0; i < 4; ++i) xs[i] = rx + cx[i] * ca + cy[i] * sa, ys[i] = ry - cx[i] * sa + cy[i] * ca;
  int32_t x0 = std::max<int32_t>(c.left, static_cast<int32_t>(std::floor(*std::min_element(xs, xs + 4))));
  int32_t x1 = std::min<int32_t>(c.right, static_cast<int32_t>(std::ceil(*std::max_element(xs, xs + 4))));
  int32_t y0 = std::max<int32_t>(c.top, static_cast<int32_t>(std::floor(*std::min_element(ys, ys + 4))));
  int32_t y1 = std::min<int32_t>(c.bottom, static_cast<int32_t>(std::ceil(*std::max_element(ys, ys + 4))));
  for (int32_t py = y0; py < y1; ++py)
    for (int32_t px = x0; px < x1; ++px) {
      double dx = px + 0.5 - rx, dy = py + 0.5 - ry;
      double lx = dx * ca - dy * sa, ly = dx * sa + dy * ca;
      if (lx >= ux && lx < ux + w && ly >= uy && ly < uy + h) put(px, py);
    }
}

}  // namespace

void Dc::Impl::Draw(Dc* dc, int32_t x, int32_t y, const char* s, int32_t len, const Rect& clip) {
  Font* f = dc->font_ ? dc->font_ : DefaultFont();
  if (!f) return;
  std::vector<Char> chars = Decode(s, len);
  const double a = f->escapement * 3.14159265358979323846 / 1800.0;
  const double ca = std::cos(a), sa = std::sin(a);
  // Baseline origin: the cell's top-left corner moved down by the ascent, rotated with the text.
  double ox = x + f->ascent * sa, oy = y + f->ascent * ca;
  // The level extent, for the background and the underline.
  int32_t width = 0;
  for (const Char& c : chars) width += (GetGlyph(*f, c.cp, 0).advX + 32) >> 6;
  const int32_t cellH = f->ascent + f->descent;
  Surface* t = dc->target_;
  if (dc->bkMode_ == OPAQUE && width > 0) {
    uint32_t bk = PixelOf(t, dc->bk_);
    Fill(t, clip, x, y, width, cellH, ca, sa, [&](int32_t px, int32_t py) { WritePixel(t, px, py, bk); });
  }
  Painter p{t, clip, PixelOf(t, dc->text_), static_cast<uint8_t>(dc->text_), static_cast<uint8_t>(dc->text_ >> 8),
            static_cast<uint8_t>(dc->text_ >> 16), t->HasColorKey()};
  double penX = ox * 64, penY = oy * 64;
  for (const Char& c : chars) {
    const Glyph& g = GetGlyph(*f, c.cp, f->escapement);
    int32_t gx = static_cast<int32_t>(std::floor(penX / 64.0 + 0.5)) + g.left;
    int32_t gy = static_cast<int32_t>(std::floor(penY / 64.0 + 0.5)) - g.top;
    for (int32_t row = 0; row < g.rows; ++row)
      for (int32_t col = 0; col < g.width; ++col)
        p.Cover(gx + col, gy + row, g.coverage[static_cast<size_t>(row) * g.width + col]);
    penX += g.advX;
    penY += g.advY;
  }
  if (f->underline && width > 0) {
    const FaceEntry* e = f->face;
    int32_t pos = static_cast<int32_t>(std::lround(-e->ulPos * static_cast<double>(f->ppem) / e->upem));
    int32_t thick = std::max(1, static_cast<int32_t>(std::lround(e->ulThick * static_cast<double>(f->ppem) / e->upem)));
    pos = std::max(1, pos);
    Fill(t, clip, x, y + f->ascent + pos, width, thick, ca, sa, [&](int32_t px, int32_t py) { p.Cover(px, py, 255); },
         x, y);
  }
}

Dc::Dc(Surface* target) : target_(target) {}
Dc::~Dc() = default;

Font* Dc::SelectFont(Font* f) {
  Font* old = font_;
  font_ = f;
  return old;
}
ColorRef Dc::SetTextColor(ColorRef c) {
  ColorRef old = text_;
  text_ = c & 0xFFFFFF;
  return old;
}
ColorRef Dc::SetBkColor(ColorRef c) {
  ColorRef old = bk_;
  bk_ = c & 0xFFFFFF;
  return old;
}
int Dc::SetBkMode(int mode) {
  int old = bkMode_;
  if (mode == TRANSPARENT || mode == OPAQUE) bkMode_ = mode;
  return old;
}

bool Dc::TextOut(int32_t x, int32_t y, const char* s, int32_t len) {
  len = Length(s, len);
  if (len == 0 || x < -kFarAway || x > kFarAway || y < -kFarAway || y > kFarAway) return true;
  Impl::Draw(this, x, y, s, len, Rect{0, 0, target_->Width(), target_->Height()});
  return true;
}

bool Dc::GetTextExtentPoint32(const char* s, int32_t len, Size* out) {
  if (!out) return false;
  len = Length(s, len);
  Font* f = font_ ? font_ : DefaultFont();
  if (!f) return false;
  int64_t w = 0;  // a long enough text would pass what 32 bits hold
  for (const Char& c : Decode(s, len)) w += (GetGlyph(*f, c.cp, 0).advX + 32) >> 6;
  out->cx = static_cast<int32_t>(std::min<int64_t>(w, INT32_MAX));
  out->cy = f->ascent + f->descent;
  return true;
}
uint32_t Dc::PixelAt(int32_t x, int32_t y) const { return ReadPixel(target_, x, y); }

ColorRef Dc::GetPixel(int32_t x, int32_t y) {
  if (x < 0 || y < 0 || x >= target_->Width() || y >= target_->Height()) return CLR_INVALID;
  return ColorOf(target_, ReadPixel(target_, x, y));
}

ColorRef Dc::SetPixel(int32_t x, int32_t y, ColorRef c) {
  if (x < 0 || y < 0 || x >= target_->Width() || y >= target_->Height()) return CLR_INVALID;
  uint32_t p = PixelOf(target_, c & 0xFFFFFF);
  WritePixel(target_, x, y, p);
  return ColorOf(target_, p);
}

HResult GetSurfaceDc(Surface* s, Dc** out) {
  if (!s || !out) return DDERR_INVALIDPARAMS;
  if (s->IsLost() != DD_OK) return DDERR_SURFACELOST;
  if (s->CurrentDc()) return DDERR_DCALREADYCREATED;
  if (s->Locked()) return DDERR_SURFACEBUSY;
  Dc* dc = new Dc(s);
  s->AttachDc(dc);
  *out = dc;
  return DD_OK;
}

HResult ReleaseSurfaceDc(Surface* s, Dc* dc) {
  if (!s || !dc || s->CurrentDc() != dc) return DDERR_INVALIDPARAMS;
  s->AttachDc(nullptr);
  delete dc;
  return DD_OK;
}

bool StretchBlt(Dc* dst, int32_t x, int32_t y, int32_t w, int32_t h, Dc* src, int32_t sx, int32_t sy, int32_t sw,
                int32_t sh, uint32_t rop) {
  if (!dst || !src || rop != SRCCOPY || w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return false;
  Surface* d = dst->Target();
  const Surface* s = src->Target();
  const bool same = d->Format() == s->Format();
  int32_t x0 = std::max(0, x), y0 = std::max(0, y);
  int32_t x1 = static_cast<int32_t>(std::min<int64_t>(int64_t(x) + w, d->Width()));
  int32_t y1 = static_cast<int32_t>(std::min<int64_t>(int64_t(y) + h, d->Height()));
  for (int32_t py = y0; py < y1; ++py) {
    int64_t ty = sy + ((int64_t(py) - y) * sh) / h;
    if (ty < 0 || ty >= s->Height()) continue;
    for (int32_t px = x0; px < x1; ++px) {
      int64_t tx = sx + ((int64_t(px) - x) * sw) / w;
      if (tx < 0 || tx >= s->Width()) continue;
      uint32_t v = ReadPixel(s, static_cast<int32_t>(tx), static_cast<int32_t>(ty));
      if (!same) {
        uint8_t r, g, b;
        UnpackRgb(s->Format(), v, &r, &g, &b);
        v = PackRgb(d->Format(), r, g, b);
      }
      WritePixel(d, px, py, v);
    }
  }
  return true;
}
}  // namespace plat
