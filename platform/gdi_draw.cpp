#include "platform/gdi_draw.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
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

// A window of the surface, half-open; empty when x0 >= x1 or y0 >= y1.
struct Box {
  int32_t x0, y0, x1, y1;
  bool empty() const { return x0 >= x1 || y0 >= y1; }
};

// The box around points grown by margin on every side, cut to the surface.
Box Around(const Surface* s, const Point* pts, int32_t count, int32_t margin) {
  Box b{kFar, kFar, -kFar, -kFar};
  for (int32_t i = 0; i < count; ++i) {
    b.x0 = std::min(b.x0, Near(pts[i].x)), b.x1 = std::max(b.x1, Near(pts[i].x) + 1);
    b.y0 = std::min(b.y0, Near(pts[i].y)), b.y1 = std::max(b.y1, Near(pts[i].y) + 1);
  }
  return {std::max(b.x0 - margin, 0), std::max(b.y0 - margin, 0), std::min(b.x1 + margin, s->Width()),
          std::min(b.y1 + margin, s->Height())};
}

// n pixels from d on set to v, 64 bytes a store where there are that many.
template <class T>
void FillRun(T* d, int32_t n, T v) {
  constexpr int32_t kBlock = 64 / sizeof(T);
  if (n < kBlock) {
    std::fill(d, d + n, v);
    return;
  }
  T block[kBlock];
  std::fill_n(block, kBlock, v);
  int32_t i = 0;
  for (; i + kBlock <= n; i += kBlock) std::memcpy(d + i, block, sizeof block);
  std::fill(d + i, d + n, v);
}

// Fills pixels x0..x1 - 1 of row y (all on the surface) with p.
void Span(Surface* s, int32_t y, int32_t x0, int32_t x1, uint32_t p) {
  uint8_t* row = s->Row(y);
  if (BytesPerPixel(s->Format()) == 2)
    FillRun(reinterpret_cast<uint16_t*>(row) + x0, x1 - x0, static_cast<uint16_t>(p));
  else
    FillRun(reinterpret_cast<uint32_t*>(row) + x0, x1 - x0, p);
}

// A coverage mask over a window of the surface, drawn by cairo without antialiasing. Paths are
// given in surface coordinates and moved by whole pixels into the window, which leaves every
// pixel's coverage as it would be on a mask of the whole surface. The memory under it is kept from
// mask to mask (one at a time: primitives draw on the main thread, each mask gone before the next)
// and left all zero, so a mask costs neither a fresh allocation nor clearing.
class Mask {
 public:
  explicit Mask(const Box& box) : box_(box) {
    const int w = box.x1 - box.x0, h = box.y1 - box.y0;
    stride_ = cairo_format_stride_for_width(CAIRO_FORMAT_A8, w);
    std::vector<uint8_t>& memory = Memory();
    if (stride_ > 0 && memory.size() < static_cast<size_t>(stride_) * h) memory.resize(static_cast<size_t>(stride_) * h);
    surface_ = cairo_image_surface_create_for_data(memory.data(), CAIRO_FORMAT_A8, w, h, stride_);
    cr_ = cairo_create(surface_);
    cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);  // cairo's default source is opaque: full coverage
  }
  // Straight onto a 16-bit surface (where Direct allows) in the one colour p: cairo writes the
  // 5-6-5 pixel made of p's own bits, which is p exactly in either 16-bit format, on the pixels the
  // mask would have covered. Each then has nothing left to do.
  Mask(Surface* s, uint32_t p) : box_{0, 0, s->Width(), s->Height()}, stride_(0), cleared_(true) {
    surface_ = cairo_image_surface_create_for_data(s->Row(0), CAIRO_FORMAT_RGB16_565, s->Width(), s->Height(),
                                                   s->Pitch());
    cr_ = cairo_create(surface_);
    cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
    cairo_set_operator(cr_, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgb(cr_, ((p >> 11) & 31) * 8 / 255.0, ((p >> 5) & 63) * 4 / 255.0, (p & 31) * 8 / 255.0);
  }
  static bool Direct(const Surface* s) {
    return BytesPerPixel(s->Format()) == 2 && s->Pitch() % 4 == 0 && reinterpret_cast<uintptr_t>(s->Row(0)) % 4 == 0 &&
           s->Width() <= kFar && s->Height() <= kFar;
  }
  ~Mask() {
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
    if (!cleared_ && stride_ > 0) std::memset(Memory().data(), 0, static_cast<size_t>(stride_) * (box_.y1 - box_.y0));
  }
  Mask(const Mask&) = delete;
  Mask& operator=(const Mask&) = delete;
  bool ok() const { return cairo_status(cr_) == CAIRO_STATUS_SUCCESS; }
  cairo_t* cr() { return cr_; }
  // Path through pixel centres.
  void MoveTo(const Point& p) { cairo_move_to(cr_, X(p), Y(p)); }
  void LineTo(const Point& p) { cairo_line_to(cr_, X(p), Y(p)); }
  void CurveTo(const Point& a, const Point& b, const Point& c) {
    cairo_curve_to(cr_, X(a), Y(a), X(b), Y(b), X(c), Y(c));
  }
  // Back from the window to the surface.
  Point Unmoved(double x, double y) const {
    return {static_cast<int32_t>(std::floor(x)) + box_.x0, static_cast<int32_t>(std::floor(y)) + box_.y0};
  }
  void Stroke(int32_t width) {
    cairo_set_line_width(cr_, width);
    cairo_set_line_cap(cr_, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr_);
  }
  // Calls run(y, x0, x1) for every run x0..x1 - 1 of covered pixels of a row, in surface
  // coordinates, clearing the mask as it goes.
  template <class Run>
  void Each(Run run) {
    cairo_surface_flush(surface_);
    uint8_t* data = cairo_image_surface_get_data(surface_);
    if (!data || stride_ == 0) return;
    const int w = box_.x1 - box_.x0, h = box_.y1 - box_.y0;
    for (int y = 0; y < h; ++y) {
      uint8_t* row = data + static_cast<size_t>(y) * stride_;
      for (int x = Next(row, 0, w, 0); x < w;) {
        const int from = x;
        x = Next(row, x, w, 0xFF);
        run(y + box_.y0, from + box_.x0, x + box_.x0);
        std::memset(row + from, 0, static_cast<size_t>(x - from));
        x = Next(row, x, w, 0);
      }
    }
    cleared_ = true;
  }

 private:
  // The first x from x on (w if none) whose coverage is not skip (0 or 255: no antialiasing),
  // passing 32 and then 8 bytes at a time.
  static int Next(const uint8_t* row, int x, int w, uint8_t skip) {
    const uint64_t all = skip ? ~uint64_t(0) : 0;
    auto word = [row](int at) {
      uint64_t q;
      std::memcpy(&q, row + at, sizeof q);
      return q;
    };
    for (; x + 32 <= w; x += 32)
      if (((word(x) ^ all) | (word(x + 8) ^ all) | (word(x + 16) ^ all) | (word(x + 24) ^ all)) != 0) break;
    for (; x + 8 <= w; x += 8)
      if (word(x) != all) break;
    while (x < w && row[x] == skip) ++x;
    return x;
  }
  static std::vector<uint8_t>& Memory() {
    static std::vector<uint8_t> memory;
    return memory;
  }
  double X(const Point& p) const { return Near(p.x) - box_.x0 + 0.5; }
  double Y(const Point& p) const { return Near(p.y) - box_.y0 + 0.5; }
  Box box_;
  int stride_;
  bool cleared_ = false;
  cairo_surface_t* surface_;
  cairo_t* cr_;
};

int32_t PenWidth(const Pen& pen) { return pen.width < 1 ? 1 : std::min(pen.width, 4096); }

// Room around a path for what a pen of this width draws beside it.
int32_t Reach(int32_t width) { return width / 2 + 2; }

// Runs draw(mask) on a mask over box, or straight on the surface in colour p where it can; then
// paints what the mask covers in p.
template <class Draw>
bool InColour(Surface* s, const Box& box, uint32_t p, Draw draw) {
  if (Mask::Direct(s)) {
    Mask m(s, p);
    if (m.ok()) return draw(m), true;
  }
  Mask m(box);
  if (!m.ok()) return false;
  draw(m);
  m.Each([&](int32_t y, int32_t x0, int32_t x1) { Span(s, y, x0, x1, p); });
  return true;
}

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
  const Box box = Around(s, pts, count, Reach(PenWidth(pen)));
  if (box.empty()) return true;
  return InColour(s, box, p, [&](Mask& m) {
    m.MoveTo(pts[0]);
    for (int32_t i = 1; i < count; ++i) m.LineTo(pts[i]);
    if (closed) cairo_close_path(m.cr());
    m.Stroke(PenWidth(pen));
  });
}

// Paints the covered runs with the brush.
template <class Covered>
void Paint(Surface* s, const Brush& brush, const Background& bk, Covered covered) {
  const uint32_t fg = PixelValue(s, brush.colour), bg = PixelValue(s, bk.colour);
  if (brush.style != BS_HATCHED) {
    covered([&](int32_t y, int32_t x0, int32_t x1) { Span(s, y, x0, x1, fg); });
    return;
  }
  // Diagonal cross hatch: an 8 x 8 cell with both diagonals, aligned to the surface's origin.
  covered([&](int32_t y, int32_t x0, int32_t x1) {
    for (int32_t x = x0; x < x1; ++x) {
      const int a = x & 7, b = y & 7;
      if (a == b || a == 7 - b)
        Plot(s, x, y, fg);
      else if (bk.mode != TRANSPARENT)
        Plot(s, x, y, bg);
    }
  });
}

// Fills the path built by build() inside box with the brush (alternate filling).
template <class Build>
bool Fill(Surface* s, const Brush& brush, const Background& bk, const Box& box, Build build) {
  if (brush.style == BS_NULL || box.empty()) return true;
  if (brush.style != BS_HATCHED)
    return InColour(s, box, PixelValue(s, brush.colour), [&](Mask& m) {
      build(m);
      cairo_set_fill_rule(m.cr(), CAIRO_FILL_RULE_EVEN_ODD);
      cairo_fill(m.cr());
    });
  Mask m(box);
  if (!m.ok()) return false;
  build(m);
  cairo_set_fill_rule(m.cr(), CAIRO_FILL_RULE_EVEN_ODD);
  cairo_fill(m.cr());
  Paint(s, brush, bk, [&](auto run) { m.Each(run); });
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
  // A rectangle of whole pixels covers just the pixels inside it: no mask needed.
  const Background none{TRANSPARENT, 0};
  if (brush.style != BS_NULL)
    Paint(s, brush, none, [&](auto run) {
      const int32_t x0 = std::max(left, 0), x1 = std::min(right, s->Width());
      for (int32_t y = std::max(top, 0); y < std::min(bottom, s->Height()) && x0 < x1; ++y) run(y, x0, x1);
    });
  return Outline(s, pen, pts, 4, true);
}

bool DrawPolygon(Dc* dc, const Pen& pen, const Brush& brush, const Background& bk, const Point* points,
                 int32_t count) {
  if (!dc || !points || count < 2) return false;
  Surface* s = dc->Target();
  bool ok = Fill(s, brush, bk, Around(s, points, count, 2), [&](Mask& m) {
    m.MoveTo(points[0]);
    for (int32_t i = 1; i < count; ++i) m.LineTo(points[i]);
    cairo_close_path(m.cr());
  });
  return Outline(s, pen, points, count, true) && ok;
}

bool DrawPolyBezier(Dc* dc, const Pen& pen, const Point* points, int32_t count) {
  if (!dc || !points || count < 4 || (count - 1) % 3 != 0) return false;
  Surface* s = dc->Target();
  // The curve stays inside its control points' hull.
  const Box box = Around(s, points, count, Reach(PenWidth(pen)));
  if (box.empty()) return true;
  auto curve = [&](Mask& m) {
    m.MoveTo(points[0]);
    for (int32_t i = 1; i + 2 < count; i += 3) m.CurveTo(points[i], points[i + 1], points[i + 2]);
  };
  if (PenWidth(pen) > 1)
    return InColour(s, box, PixelValue(s, pen.colour), [&](Mask& m) { curve(m), m.Stroke(PenWidth(pen)); });
  Mask m(box);
  if (!m.ok()) return false;
  curve(m);
  // One-pixel pen: the flattened curve walked as lines.
  cairo_path_t* path = cairo_copy_path_flat(m.cr());
  std::vector<Point> flat;
  for (int i = 0; path && i < path->num_data; i += path->data[i].header.length) {
    const cairo_path_data_t& d = path->data[i];
    if ((d.header.type == CAIRO_PATH_MOVE_TO || d.header.type == CAIRO_PATH_LINE_TO) && d.header.length > 1) {
      // Back from pixel centres to pixels.
      const Point q = m.Unmoved(path->data[i + 1].point.x, path->data[i + 1].point.y);
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
