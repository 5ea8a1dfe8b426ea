// Vector primitives on a device context (platform/gdi.h): lines with a pen, rectangles and polygons
// with a brush, Bézier curves, inversion. Called by the drawing library's primitives (el/draw/gdi_prims.cpp),
// each with the back screen's DC taken for the one call.
//
// Pixels are hard-edged, as the display library draws them: a one-pixel pen walks the line from its
// first point up to, not including, its last; wider pens have round ends and joins; fills cover the
// pixels whose centres lie inside (alternate filling for polygons). Shapes are cut to the surface.
// Wide strokes, fills and curves are rendered by cairo into a coverage mask, so colours land exactly
// as the surface's pixel format holds them (5-6-5, 5-5-5 or 32 bits).
#pragma once
#include <cstdint>

#include "platform/gdi.h"

namespace plat {

struct Point {
  int32_t x, y;
};

struct Pen {
  ColorRef colour;
  int32_t width;  // 0 and 1 are one pixel
};

constexpr uint32_t BS_SOLID = 0;
constexpr uint32_t BS_NULL = 1;  // hollow
constexpr uint32_t BS_HATCHED = 2;
constexpr int32_t HS_DIAGCROSS = 5;

struct Brush {
  uint32_t style;
  ColorRef colour;
  int32_t hatch;  // for BS_HATCHED; only HS_DIAGCROSS is drawn (other hatches draw as it)
};

// How hatched brushes treat the gaps between their lines: OPAQUE fills them with bkColour,
// TRANSPARENT leaves them alone (platform/gdi.h constants).
struct Background {
  int mode;
  ColorRef colour;
};

bool DrawLine(Dc* dc, const Pen& pen, int32_t x0, int32_t y0, int32_t x1, int32_t y1);
bool DrawRectangle(Dc* dc, const Pen& pen, const Brush& brush, int32_t left, int32_t top, int32_t right,
                   int32_t bottom);
// count >= 2 points.
bool DrawPolygon(Dc* dc, const Pen& pen, const Brush& brush, const Background& bk, const Point* points, int32_t count);
// count = 1 + 3n points (n >= 1): start point, then two control points and an end point per curve.
bool DrawPolyBezier(Dc* dc, const Pen& pen, const Point* points, int32_t count);
// Inverts every colour bit of the pixels of the rectangle.
bool InvertRect(Dc* dc, const Rect& rect);

}  // namespace plat
