// GDI primitives on the back screen: each takes the back screen's device context for its one call.
#include <vector>

#include "el/draw/draw_state.h"
#include "platform/gdi_draw.h"

namespace {

// The back screen's DC for one primitive; nothing is drawn when it cannot be taken.
class BackScreenDc {
 public:
  BackScreenDc() {
    if (BackSurface && plat::GetSurfaceDc(BackSurface, &dc_) != plat::DD_OK) dc_ = nullptr;
  }
  ~BackScreenDc() {
    if (dc_) plat::ReleaseSurfaceDc(BackSurface, dc_);
  }
  BackScreenDc(const BackScreenDc&) = delete;
  BackScreenDc& operator=(const BackScreenDc&) = delete;
  plat::Dc* get() const { return dc_; }

 private:
  plat::Dc* dc_ = nullptr;
};

std::vector<plat::Point> Points(const elDraw::Point* pts, int32_t count) {
  std::vector<plat::Point> v;
  if (!pts || count <= 0) return v;
  v.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) v.push_back({pts[i].x, pts[i].y});
  return v;
}

}  // namespace

namespace elDraw {

void GetPixel(int32_t x, int32_t y, uint32_t* red, uint32_t* green, uint32_t* blue) {
  BackScreenDc dc;
  // Outside the screen (or without a DC) GDI answers CLR_INVALID, which splits into 255s.
  uint32_t c = dc.get() ? dc.get()->GetPixel(x, y) : plat::CLR_INVALID;
  if (red) *red = c & 0xFF;
  if (green) *green = (c >> 8) & 0xFF;
  if (blue) *blue = (c >> 16) & 0xFF;
}

void SetPixel(int32_t x, int32_t y, uint32_t colour) {
  BackScreenDc dc;
  if (dc.get()) dc.get()->SetPixel(x, y, colour);
}

void Line(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t colour, int32_t width) {
  BackScreenDc dc;
  if (dc.get()) plat::DrawLine(dc.get(), {colour, width}, x0, y0, x1, y1);
}

void Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t fill, uint32_t outline,
               int32_t width) {
  BackScreenDc dc;
  if (dc.get()) plat::DrawRectangle(dc.get(), {outline, width}, {plat::BS_SOLID, fill, 0}, left, top, right, bottom);
}

void Polygon(const Point* points, int32_t count, uint32_t colour, uint32_t background, int32_t width, int32_t mode) {
  BackScreenDc dc;
  if (!dc.get()) return;
  std::vector<plat::Point> pts = Points(points, count);
  if (pts.size() < 2) return;
  const plat::Brush brush{mode == 0 ? plat::BS_NULL : plat::BS_HATCHED, colour, plat::HS_DIAGCROSS};
  const plat::Background bk{mode == 2 ? plat::TRANSPARENT : plat::OPAQUE, background};
  plat::DrawPolygon(dc.get(), {colour, width}, brush, bk, pts.data(), count);
}

void Bezier(const Point* points, int32_t count, uint32_t colour, int32_t width) {
  BackScreenDc dc;
  if (!dc.get()) return;
  std::vector<plat::Point> pts = Points(points, count);
  if (!pts.empty()) plat::DrawPolyBezier(dc.get(), {colour, width}, pts.data(), count);
}

void InvertRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  BackScreenDc dc;
  if (dc.get()) plat::InvertRect(dc.get(), {left, top, right, bottom});
}

}  // namespace elDraw
