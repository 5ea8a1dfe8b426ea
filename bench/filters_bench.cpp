// Screen filters and GDI primitives on the 640 x 480 16-bit back screen, timed by this thread's CPU
// clock (best of five rounds):
//  - Blur, Smoke, Noise over the whole screen, each against a plain copy of the same bytes (memcpy):
//    "limit NAME X", X the filter's throughput as a fraction of the copy's.
//  - Blur also against pixman's 3 x 3 convolution with the four-neighbour kernel on the same r5g6b5
//    pixels into a second image: alike work (a four-neighbour average per pixel), not the same result
//    (ours averages in place, channel by channel at 5 bits).
//  - lines, a rectangle, polygon outlines and Bezier chains, against cairo drawing the same shapes
//    without antialiasing straight onto an r5g6b5 image of the same size: "ratio NAME X", our time
//    over cairo's (below 1 is ours faster). Ours goes through the back screen's device context and
//    a coverage mask per call; cairo's context is made once.
#include <cairo.h>
#if OOMORI_HAVE_PIXMAN
#include <pixman.h>
#endif
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "el/draw/draw_state.h"
#include "el/elDraw.h"
#include "el/elSystem.h"
#include "el/system/sysinfo.h"
#include "platform/headless/display_headless.h"
#include "platform/headless/headless.h"

namespace {

constexpr int kW = 640, kH = 480;

// A busy picture on the back screen, so that the filters work on varied pixels.
void Paint() {
  plat::LockedRect lr;
  if (BackSurface->Lock(nullptr, &lr, plat::DDLOCK_WAIT) != plat::DD_OK) std::exit(1);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      reinterpret_cast<uint16_t*>(lr.bits + y * lr.pitch)[x] =
          static_cast<uint16_t>(((x * 31 / kW) << 11) | (((x ^ y) & 63) << 5) | (y * 31 / kH));
  BackSurface->Unlock();
}

// Shapes drawn by both sides: a fixed pseudo-random set.
struct Shapes {
  std::vector<elDraw::Point> lines;    // pairs
  std::vector<elDraw::Point> polygon;  // 12 points
  std::vector<elDraw::Point> bezier;   // 1 + 3 x 4 points
};
Shapes MakeShapes() {
  Shapes s;
  uint32_t seed = 12345;
  auto next = [&](int range) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int32_t>((seed >> 8) % static_cast<uint32_t>(range));
  };
  for (int i = 0; i < 200; ++i) s.lines.push_back({next(kW), next(kH)});
  for (int i = 0; i < 12; ++i) s.polygon.push_back({next(kW), next(kH)});
  for (int i = 0; i < 13; ++i) s.bezier.push_back({next(kW), next(kH)});
  return s;
}

void CairoPath(cairo_t* cr, const std::vector<elDraw::Point>& pts, bool closed) {
  cairo_move_to(cr, pts[0].x + 0.5, pts[0].y + 0.5);
  for (size_t i = 1; i < pts.size(); ++i) cairo_line_to(cr, pts[i].x + 0.5, pts[i].y + 0.5);
  if (closed) cairo_close_path(cr);
}

void CairoStroke(cairo_t* cr, int width) {
  cairo_set_line_width(cr, width);
  cairo_stroke(cr);
}

}  // namespace

int main() {
  plat::headless::Reset();
  plat::headless::ResetDisplay();
  char dir[] = "/tmp/filters_bench_XXXXXX";
  if (!mkdtemp(dir)) return 1;
  elSystem::SetExecutablePathForTest((std::string(dir) + "/bench").c_str());
  MainWindow = true;
  FullScreen = 1;
  FrameSeconds = 1.0f / 60;
  if (elDraw::Screen(kW, kH, 1) != 1) return 1;
  std::vector<std::string> summary;
  char line[128];
  auto add = [&](const char* kind, const char* name, double x) {
    std::snprintf(line, sizeof line, "%s %s %.3f", kind, name, x);
    summary.push_back(line);
  };

  // --- the copy the filters are held against: one screen of 16-bit pixels ---
  std::vector<uint8_t> a(kW * kH * 2, 1), b(kW * kH * 2);
  const double copy = Measure(500, [&] {
    std::memcpy(b.data(), a.data(), a.size());
    asm volatile("" ::"r"(b.data()) : "memory");
  });
  std::printf("copy 640x480x2 (memcpy): %8.1f us\n", copy / 1000);

  // --- filters, whole screen ---
  Paint();
  const double blur = Measure(50, [] { elDraw::Blur(0, 0, kW, kH); });
  Paint();
  const double smoke = Measure(50, [] { elDraw::Smoke(0, 0, kW, kH); });
  Paint();
  const double noise = Measure(50, [] { elDraw::Noise(1, 0, 0, kW, kH); });
  std::printf("Blur   640x480: %8.1f us\nSmoke  640x480: %8.1f us\nNoise  640x480: %8.1f us\n", blur / 1000,
              smoke / 1000, noise / 1000);
  add("limit", "filter_blur", copy / blur);
  add("limit", "filter_smoke", copy / smoke);
  add("limit", "filter_noise", copy / noise);

#if OOMORI_HAVE_PIXMAN
  // pixman: four-neighbour average as a 3 x 3 convolution, r5g6b5 to r5g6b5.
  {
    std::vector<uint16_t> src(kW * kH), dst(kW * kH);
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) src[y * kW + x] = static_cast<uint16_t>((x * 31 / kW) << 11 | ((x ^ y) & 63) << 5 | y * 31 / kH);
    pixman_image_t* s = pixman_image_create_bits(PIXMAN_r5g6b5, kW, kH, reinterpret_cast<uint32_t*>(src.data()), kW * 2);
    pixman_image_t* d = pixman_image_create_bits(PIXMAN_r5g6b5, kW, kH, reinterpret_cast<uint32_t*>(dst.data()), kW * 2);
    const pixman_fixed_t q = pixman_double_to_fixed(0.25), z = 0;
    const pixman_fixed_t params[] = {pixman_int_to_fixed(3), pixman_int_to_fixed(3), z, q, z, q, z, q, z, q, z};
    pixman_image_set_filter(s, PIXMAN_FILTER_CONVOLUTION, params, 11);
    const double pix = Measure(20, [&] {
      pixman_image_composite32(PIXMAN_OP_SRC, s, nullptr, d, 0, 0, 0, 0, 0, 0, kW, kH);
    });
    std::printf("pixman 3x3 convolution 640x480: %8.1f us\n", pix / 1000);
    add("ratio", "filter_blur_vs_pixman_convolution", blur / pix);
    pixman_image_unref(s);
    pixman_image_unref(d);
  }
#endif

  // --- GDI primitives against cairo on the same-sized r5g6b5 image ---
  const Shapes sh = MakeShapes();
  cairo_surface_t* cs = cairo_image_surface_create(CAIRO_FORMAT_RGB16_565, kW, kH);
  cairo_t* cr = cairo_create(cs);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_set_source_rgb(cr, 1, 0.5, 0);
  struct Case {
    const char* name;
    int n;
    std::function<void()> ours, cairo;
  };
  const Case cases[] = {
      {"gdi_lines_100_w1", 20,
       [&] {
         for (size_t i = 0; i + 1 < sh.lines.size(); i += 2)
           elDraw::Line(sh.lines[i].x, sh.lines[i].y, sh.lines[i + 1].x, sh.lines[i + 1].y, 0x0080FF, 1);
       },
       [&] {
         for (size_t i = 0; i + 1 < sh.lines.size(); i += 2) {
           CairoPath(cr, {sh.lines[i], sh.lines[i + 1]}, false);
           CairoStroke(cr, 1);
         }
       }},
      {"gdi_rectangle_400x300", 200, [&] { elDraw::Rectangle(100, 90, 500, 390, 0x00FF00, 0x0000FF, 3); },
       [&] {
         cairo_rectangle(cr, 100, 90, 400, 300);
         cairo_fill_preserve(cr);
         CairoStroke(cr, 3);
       }},
      {"gdi_polygon_outline_w2", 200,
       [&] { elDraw::Polygon(sh.polygon.data(), static_cast<int32_t>(sh.polygon.size()), 0xFF0000, 0, 2, 0); },
       [&] {
         CairoPath(cr, sh.polygon, true);
         CairoStroke(cr, 2);
       }},
      {"gdi_bezier_4_curves_w2", 200,
       [&] { elDraw::Bezier(sh.bezier.data(), static_cast<int32_t>(sh.bezier.size()), 0xFFFFFF, 2); },
       [&] {
         cairo_move_to(cr, sh.bezier[0].x + 0.5, sh.bezier[0].y + 0.5);
         for (size_t i = 1; i + 2 < sh.bezier.size(); i += 3)
           cairo_curve_to(cr, sh.bezier[i].x + 0.5, sh.bezier[i].y + 0.5, sh.bezier[i + 1].x + 0.5,
                          sh.bezier[i + 1].y + 0.5, sh.bezier[i + 2].x + 0.5, sh.bezier[i + 2].y + 0.5);
         CairoStroke(cr, 2);
       }},
  };
  // Pixels each side sets on a black screen in one call, to show the two do alike work.
  auto oursSet = [] {
    int n = 0;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) n += reinterpret_cast<const uint16_t*>(BackSurface->Row(y))[x] != 0;
    return n;
  };
  auto cairoSet = [&] {
    cairo_surface_flush(cs);
    const uint8_t* d = cairo_image_surface_get_data(cs);
    const int stride = cairo_image_surface_get_stride(cs);
    int n = 0;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) n += reinterpret_cast<const uint16_t*>(d + y * stride)[x] != 0;
    return n;
  };
  for (const Case& c : cases) {
    elDraw::ClearScreen();
    c.ours();
    const int oursPixels = oursSet();
    cairo_surface_flush(cs);
    std::memset(cairo_image_surface_get_data(cs), 0, static_cast<size_t>(cairo_image_surface_get_stride(cs)) * kH);
    cairo_surface_mark_dirty(cs);
    c.cairo();
    const int cairoPixels = cairoSet();
    const double ours = Measure(c.n, c.ours);
    const double theirs = Measure(c.n, c.cairo);
    std::printf("%-24s ours %8.1f us   cairo %8.1f us   pixels set: ours %d, cairo %d\n", c.name, ours / 1000,
                theirs / 1000, oursPixels, cairoPixels);
    add("ratio", c.name, ours / theirs);
  }
  cairo_destroy(cr);
  cairo_surface_destroy(cs);

  for (const std::string& s : summary) std::printf("%s\n", s.c_str());
  elDraw::Release();
  std::string rm = std::string("rm -rf ") + dir;
  return std::system(rm.c_str()) == 0 ? 0 : 1;
}
