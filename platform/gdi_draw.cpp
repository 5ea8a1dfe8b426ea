#include "platform/gdi_draw.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace plat {
namespace {

// Coordinates are held within +-32768: far beyond any surface, inside cairo's fixed-point range, and
// a one-pixel line never walks more than a few hundred thousand steps.
constexpr int32_t kFar = 32768;
int32_t Near(int32_t v) { return std::clamp(v, -kFar, kFar); }

uint32_t PixelValue(const Surface* s, ColorRef c) {
  return PackRgb(s->Format(), static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c >> 16));
}

void Plot(Surface* s, int32_t x, int32_t y, uint32_t p) {
  if (x < 0 || y < 0 || x >= s->Width() || y >= s->Height()) return;
  uint8_t* row = s->Row(y);
  if (BytesPerPixel(s->Format()) == 2)
    reinterpret_cast<uint16_t*>(row)[x] = static_cast<uint16_t>(p);
  else
    reinterpret_cast<uint32_t*>(row)[x] = p;
}

// A one-pixel line from (x0, y0) up to but not including (x1, y1).
void ThinLine(Surface* s, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t p) {
  x0 = Near(x0), y0 = Near(y0), x1 = Near(x1), y1 = Near(y1);
  const int32_t dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
  const int32_t sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  int32_t err = dx + dy;
  while (x0 != x1 || y0 != y1) {
    Plot(s, x0, y0, p);
    const int32_t e2 = 2 * err;
    if (e2 >= dy) err += dy, x0 += sx;
    if (e2 <= dx) err += dx, y0 += sy;
  }
}

// A coverage mask the size of the surface, drawn by cairo without antialiasing.
class Mask {
 public:
  explicit Mask(const Surface* s) {
    surface_ = cairo_image_surface_create(CAIRO_FORMAT_A8, s->Width(), s->Height());
    cr_ = cairo_create(surface_);
    cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);  // cairo's default source is opaque: full coverage
  }
  ~Mask() {
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
  }
  Mask(const Mask&) = delete;
  Mask& operator=(const Mask&) = delete;
  bool ok() const { return cairo_status(cr_) == CAIRO_STATUS_SUCCESS; }
  cairo_t* cr() { return cr_; }
  // Path through pixel centres.
  void MoveTo(const Point& p) { cairo_move_to(cr_, Near(p.x) + 0.5, Near(p.y) + 0.5); }
  void LineTo(const Point& p) { cairo_line_to(cr_, Near(p.x) + 0.5, Near(p.y) + 0.5); }
  void CurveTo(const Point& a, const Point& b, const Point& c) {
    cairo_curve_to(cr_, Near(a.x) + 0.5, Near(a.y) + 0.5, Near(b.x) + 0.5, Near(b.y) + 0.5, Near(c.x) + 0.5,
                   Near(c.y) + 0.5);
  }
  void Stroke(int32_t width) {
    cairo_set_line_width(cr_, width);
    cairo_set_line_cap(cr_, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr_);
  }
  // Calls paint(x, y) for every covered pixel.
  template <class Paint>
  void Each(Paint paint) {
    cairo_surface_flush(surface_);
    const uint8_t* data = cairo_image_surface_get_data(surface_);
    if (!data) return;
    const int stride = cairo_image_surface_get_stride(surface_);
    const int w = cairo_image_surface_get_width(surface_), h = cairo_image_surface_get_height(surface_);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (data[static_cast<size_t>(y) * stride + x] != 0) paint(x, y);  // no antialiasing: 0 or 255
  }

 private:
  cairo_surface_t* surface_;
  cairo_t* cr_;
};

int32_t PenWidth(const Pen& pen) { return pen.width < 1 ? 1 : std::min(pen.width, 4096); }

// The outline through points, closed or open; one-pixel pens walk it line by line.
bool Outline(Surface* s, const Pen& pen, const Point* pts, int32_t count, bool closed) {
  const uint32_t p = PixelValue(s, pen.colour);
  if (PenWidth(pen) == 1) {
    for (int32_t i = 0; i + 1 < count; ++i) ThinLine(s, pts[i].x, pts[i].y, pts[i + 1].x, pts[i + 1].y, p);
    if (closed)
      ThinLine(s, pts[count - 1].x, pts[count - 1].y, pts[0].x, pts[0].y, p);
    else
      Plot(s, Near(pts[count - 1].x), Near(pts[count - 1].y), p);
    return true;
  }
  Mask m(s);
  if (!m.ok()) return false;
  m.MoveTo(pts[0]);
  for (int32_t i = 1; i < count; ++i) m.LineTo(pts[i]);
  if (closed) cairo_close_path(m.cr());
  m.Stroke(PenWidth(pen));
  m.Each([&](int x, int y) { Plot(s, x, y, p); });
  return true;
}

// Fills the path built by build() with the brush (alternate filling).
template <class Build>
bool Fill(Surface* s, const Brush& brush, const Background& bk, Build build) {
  if (brush.style == BS_NULL) return true;
  Mask m(s);
  if (!m.ok()) return false;
  build(m);
  cairo_set_fill_rule(m.cr(), CAIRO_FILL_RULE_EVEN_ODD);
  cairo_fill(m.cr());
  const uint32_t fg = PixelValue(s, brush.colour), bg = PixelValue(s, bk.colour);
  if (brush.style != BS_HATCHED) {
    m.Each([&](int x, int y) { Plot(s, x, y, fg); });
    return true;
  }
  // Diagonal cross hatch: an 8 x 8 cell with both diagonals, aligned to the surface's origin.
  m.Each([&](int x, int y) {
    const int a = x & 7, b = y & 7;
    if (a == b || a == 7 - b)
      Plot(s, x, y, fg);
    else if (bk.mode != TRANSPARENT)
      Plot(s, x, y, bg);
  });
  return true;
}

}  // namespace

bool DrawLine(Dc* dc, const Pen& pen, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  if (!dc) return false;
  Surface* s = dc->Target();
  if (PenWidth(pen) == 1) {
    ThinLine(s, x0, y0, x1, y1, PixelValue(s, pen.colour));
    return true;
  }
  const Point pts[] = {{x0, y0}, {x1, y1}};
  return Outline(s, pen, pts, 2, false);
}

bool DrawRectangle(Dc* dc, const Pen& pen, const Brush& brush, int32_t left, int32_t top, int32_t right,
                   int32_t bottom) {
  if (!dc) return false;
  Surface* s = dc->Target();
  left = Near(left), top = Near(top), right = Near(right), bottom = Near(bottom);
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
  if (right - left < 1 || bottom - top < 1) return true;
  // The outline runs on the rectangle's outermost pixels: right and bottom are exclusive.
  const Point pts[] = {{left, top}, {right - 1, top}, {right - 1, bottom - 1}, {left, bottom - 1}};
  const Background none{TRANSPARENT, 0};
  bool ok = Fill(s, brush, none, [&](Mask& m) {
    cairo_rectangle(m.cr(), left, top, right - left, bottom - top);
  });
  return Outline(s, pen, pts, 4, true) && ok;
}

bool DrawPolygon(Dc* dc, const Pen& pen, const Brush& brush, const Background& bk, const Point* points,
                 int32_t count) {
  if (!dc || !points || count < 2) return false;
  Surface* s = dc->Target();
  bool ok = Fill(s, brush, bk, [&](Mask& m) {
    m.MoveTo(points[0]);
    for (int32_t i = 1; i < count; ++i) m.LineTo(points[i]);
    cairo_close_path(m.cr());
  });
  return Outline(s, pen, points, count, true) && ok;
}

bool DrawPolyBezier(Dc* dc, const Pen& pen, const Point* points, int32_t count) {
  if (!dc || !points || count < 4 || (count - 1) % 3 != 0) return false;
  Surface* s = dc->Target();
  Mask m(s);
  if (!m.ok()) return false;
  m.MoveTo(points[0]);
  for (int32_t i = 1; i + 2 < count; i += 3) m.CurveTo(points[i], points[i + 1], points[i + 2]);
  if (PenWidth(pen) > 1) {
    m.Stroke(PenWidth(pen));
    const uint32_t p = PixelValue(s, pen.colour);
    m.Each([&](int x, int y) { Plot(s, x, y, p); });
    return true;
  }
  // One-pixel pen: the flattened curve walked as lines.
  cairo_path_t* path = cairo_copy_path_flat(m.cr());
  std::vector<Point> flat;
  for (int i = 0; path && i < path->num_data; i += path->data[i].header.length) {
    const cairo_path_data_t& d = path->data[i];
    if ((d.header.type == CAIRO_PATH_MOVE_TO || d.header.type == CAIRO_PATH_LINE_TO) && d.header.length > 1) {
      // Back from pixel centres to pixels.
      const Point q{static_cast<int32_t>(std::floor(path->data[i + 1].point.x)),
                    static_cast<int32_t>(std::floor(path->data[i + 1].point.y))};
      if (flat.empty() || flat.back().x != q.x || flat.back().y != q.y) flat.push_back(q);
    }
  }
  if (path) cairo_path_destroy(path);
  if (flat.empty()) return false;
  return Outline(s, pen, flat.data(), static_cast<int32_t>(flat.size()), false);
}

bool InvertRect(Dc* dc, const Rect& r) {
  if (!dc) return false;
  Surface* s = dc->Target();
  const FormatInfo fi = Describe(s->Format());
  const uint32_t bits = fi.rMask | fi.gMask | fi.bMask;
  const int32_t x0 = std::max(r.left, 0), y0 = std::max(r.top, 0);
  const int32_t x1 = std::min(r.right, s->Width()), y1 = std::min(r.bottom, s->Height());
  const bool two = BytesPerPixel(s->Format()) == 2;
  for (int32_t y = y0; y < y1; ++y) {
    uint8_t* row = s->Row(y);
    for (int32_t x = x0; x < x1; ++x) {
      if (two)
        reinterpret_cast<uint16_t*>(row)[x] ^= static_cast<uint16_t>(bits);
      else
        reinterpret_cast<uint32_t*>(row)[x] ^= bits;
    }
  }
  return true;
}

}  // namespace plat
