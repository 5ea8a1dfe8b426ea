// Software effects that map every destination pixel back into the source: rotations, zooms and the
// radial distortions.
#include <cmath>
#include <cstdlib>
#include <vector>

#include "el/draw/draw_state.h"
#include "el/draw/effects_frame.h"
#include "el/draw/effects_simd.h"

namespace {

using elDraw::effects::Mapped;
using elDraw::effects::RunMapped;

inline int64_t FloorDiv720(int64_t v) { return v >= 0 ? v / 720 : -((-v + 719) / 720); }
inline int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }  // b > 0

// The columns i (as a half-open range) where lo <= base + i step < hi.
inline void Between(int64_t base, int64_t step, int64_t lo, int64_t hi, int64_t* from, int64_t* to) {
  if (step == 0) {
    const bool in = lo <= base && base < hi;
    *from = in ? INT64_MIN / 4 : 0, *to = in ? INT64_MAX / 4 : 0;
  } else if (step > 0) {
    *from = -FloorDiv(base - lo, step);  // ceil((lo - base) / step)
    *to = -FloorDiv(base - hi, step);
  } else {
    *from = FloorDiv(base - hi, -step) + 1;
    *to = FloorDiv(base - lo, -step) + 1;
  }
}

// Blended output as elDraw::PutBlend computes it (green's lowest bit included); alpha < 0 copies.
inline uint16_t Out(uint16_t s, uint16_t d, int32_t alpha) {
  if (alpha < 0) return s;
  const int a = 31 - alpha;
  const uint8_t* sc = PixelRGB[s];
  const uint8_t* dc = PixelRGB[d];
  const uint16_t out = static_cast<uint16_t>(CrossFadeTable[0][a][sc[0]][dc[0]] | CrossFadeTable[1][a][sc[1]][dc[1]] |
                                             CrossFadeTable[2][a][sc[2]][dc[2]]);
  const elDraw::effects::GreenLow green = elDraw::effects::Green();
  return alpha >= 16 ? green(out, s, d) : green(out, d, s);
}

// Nearest-neighbour inverse rotation in fixed point, sin and cos from SinTable (scaled by 360).
// Each destination pixel is sampled at its centre, in units of 1/720 pixel: a 180-degree turn shows
// every source pixel, and a pixel left of or above the picture maps to -1, not 0.
int Rotate(int32_t dl, int32_t dt, int32_t dr, int32_t db, int32_t angle, float zoom, bool tiled, int32_t alpha,
           int32_t object, int32_t sl, int32_t st, int32_t sr, int32_t sb) {
  // Any angle is taken modulo 360 so the table reads stay inside it.
  angle %= 360;
  if (angle < 0) angle += 360;
  const int64_t sn = SinTable[angle], cs = SinTable[angle + 90];
  const int64_t W = int64_t(dr) - dl, H = int64_t(db) - dt;
  if (W <= 0 || H <= 0 || !(zoom > 0.0f) || std::isinf(zoom)) return 1;
  if (alpha >= 0) alpha = alpha > 31 ? 31 : alpha;
  return RunMapped(dl, dt, W, H, object, sl, st, sr, sb, [&](const Mapped& m) {
    const bool zoomed = zoom != 1.0f;
    const double zw = std::trunc(m.sw * static_cast<double>(zoom)), zh = std::trunc(m.sh * static_cast<double>(zoom));
    // Centring offsets of the (zoomed) picture in the destination rectangle.
    const int64_t ox = zoomed ? (W - static_cast<int64_t>(std::min(zw, 1e15))) >> 1 : (W - m.sw) >> 1;
    const int64_t oy = zoomed ? (H - static_cast<int64_t>(std::min(zh, 1e15))) >> 1 : (H - m.sh) >> 1;
    const double z = zoom;  // divided by, not multiplied by its inverse: 1.5 / 1.5 must be exactly 1
    // Puts source pixel (su, sv) on *d, wrapping for tiles and leaving pixels off the picture alone.
    auto plot = [&](uint16_t* d, int64_t su, int64_t sv) {
      if (tiled) {
        su = std::llabs(su) % m.sw;
        sv = std::llabs(sv) % m.sh;
      } else if (su < 0 || sv < 0 || su >= m.sw || sv >= m.sh) {
        return;
      }
      const uint16_t s = m.Src(static_cast<int32_t>(su), static_cast<int32_t>(sv));
      if (s) *d = Out(s, *d, alpha);
    };
    for (int32_t j = m.j0; j < m.j1; ++j) {
      int64_t U = 360 * W + (2 * int64_t(m.i0) + 1 - W) * cs - (2 * int64_t(j) + 1 - H) * sn;
      int64_t V = 360 * H + (2 * int64_t(m.i0) + 1 - W) * sn + (2 * int64_t(j) + 1 - H) * cs;
      uint16_t* d = m.Dst(m.i0, j);
      if (!zoomed && !tiled) {
        // Only the columns whose sample lies on the picture: floor(U / 720) in ox..ox + sw - 1 and
        // floor(V / 720) in oy..oy + sh - 1, U and V moving by 2 cos and 2 sin a column. Across them
        // U - 720 ox and V - 720 oy stay at or above 0, and each column divides its own by 720 (a
        // multiplication) rather than carry a remainder from the column before.
        const int64_t du = 2 * cs, dv = 2 * sn, U0 = U - m.i0 * du, V0 = V - m.i0 * dv;
        int64_t au, bu, av, bv;
        Between(U0, du, 720 * ox, 720 * (ox + m.sw), &au, &bu);
        Between(V0, dv, 720 * oy, 720 * (oy + m.sh), &av, &bv);
        const int64_t a = std::max({int64_t(m.i0), au, av}), b = std::min({int64_t(m.i1), bu, bv});
        if (a >= b) continue;
        uint64_t u = static_cast<uint64_t>(U0 + a * du - 720 * ox), v = static_cast<uint64_t>(V0 + a * dv - 720 * oy);
        d = m.Dst(static_cast<int32_t>(a), j);
        for (int64_t i = a; i < b; ++i, ++d, u += du, v += dv) {
          const uint16_t s = m.SrcRow(static_cast<int32_t>(v / 720))[u / 720];
          *d = s ? Out(s, *d, alpha) : *d;
        }
        continue;
      }
      if (!zoomed) {
        // floor(U / 720) and floor(V / 720) stepped along the row with their remainders: a step
        // moves U and V by at most 720, so each quotient moves by at most one.
        int64_t qu = FloorDiv720(U), ru = U - 720 * qu, qv = FloorDiv720(V), rv = V - 720 * qv;
        const int64_t du = 2 * cs, dv = 2 * sn;
        for (int32_t i = m.i0; i < m.i1; ++i, ++d) {
          plot(d, qu - ox, qv - oy);
          ru += du;
          if (ru >= 720) ru -= 720, ++qu;
          else if (ru < 0) ru += 720, --qu;
          rv += dv;
          if (rv >= 720) rv -= 720, ++qv;
          else if (rv < 0) rv += 720, --qv;
        }
        continue;
      }
      for (int32_t i = m.i0; i < m.i1; ++i, ++d, U += 2 * cs, V += 2 * sn) {
        const double fu = std::floor((U / 720.0 - static_cast<double>(ox)) / z);
        const double fv = std::floor((V / 720.0 - static_cast<double>(oy)) / z);
        if (std::fabs(fu) > 1e15 || std::fabs(fv) > 1e15) continue;
        plot(d, static_cast<int64_t>(fu), static_cast<int64_t>(fv));
      }
    }
  });
}

// A distortion of the picture drawn at (x, y) at its own size: map gives, for a destination pixel
// centre relative to the picture's centre, the source position relative to the same centre.
template <class Map>
int Radial(int32_t x, int32_t y, int32_t object, int32_t l, int32_t t, int32_t r, int32_t b, Map map) {
  const int64_t W = int64_t(r) - l, H = int64_t(b) - t;
  if (W <= 0 || H <= 0) return 1;
  return RunMapped(x, y, W, H, object, l, t, r, b, [&](const Mapped& m) {
    const double cx = m.sw / 2.0, cy = m.sh / 2.0, radius = std::min(cx, cy);
    for (int32_t j = m.j0; j < m.j1; ++j) {
      uint16_t* d = m.Dst(m.i0, j);
      for (int32_t i = m.i0; i < m.i1; ++i, ++d) {
        double dx = i + 0.5 - cx, dy = j + 0.5 - cy;
        const double dist = std::sqrt(dx * dx + dy * dy);
        if (dist < radius) map(dx, dy, dist, radius);
        const double fu = std::floor(cx + dx), fv = std::floor(cy + dy);
        if (!(fu >= 0 && fv >= 0 && fu < m.sw && fv < m.sh)) continue;
        const uint16_t s = m.Src(static_cast<int32_t>(fu), static_cast<int32_t>(fv));
        if (s) *d = s;
      }
    }
  });
}

}  // namespace

namespace elDraw {

int PutRotate(int32_t dl, int32_t dt, int32_t dr, int32_t db, int32_t angle, int32_t object, int32_t sl, int32_t st,
              int32_t sr, int32_t sb) {
  return Rotate(dl, dt, dr, db, angle, 1.0f, false, -1, object, sl, st, sr, sb);
}

int PutRotateTiled(int32_t dl, int32_t dt, int32_t dr, int32_t db, int32_t angle, int32_t object, int32_t sl,
                   int32_t st, int32_t sr, int32_t sb) {
  return Rotate(dl, dt, dr, db, angle, 1.0f, true, -1, object, sl, st, sr, sb);
}

int PutRotateZoom(int32_t dl, int32_t dt, int32_t dr, int32_t db, int32_t angle, float zoom, int32_t object,
                  int32_t sl, int32_t st, int32_t sr, int32_t sb) {
  return Rotate(dl, dt, dr, db, angle, zoom, false, -1, object, sl, st, sr, sb);
}

int PutRotateZoomTiled(int32_t dl, int32_t dt, int32_t dr, int32_t db, int32_t angle, float zoom, int32_t object,
                       int32_t sl, int32_t st, int32_t sr, int32_t sb) {
  return Rotate(dl, dt, dr, db, angle, zoom, true, -1, object, sl, st, sr, sb);
}

int PutRotateBlend(int32_t dl, int32_t dt, int32_t dr, int32_t db, int32_t angle, int32_t alpha, int32_t object,
                   int32_t sl, int32_t st, int32_t sr, int32_t sb) {
  return Rotate(dl, dt, dr, db, angle, 1.0f, false, alpha < 0 ? 0 : alpha, object, sl, st, sr, sb);
}

int PutZoom(int32_t x, int32_t y, float zoom, int32_t object, int32_t left, int32_t top, int32_t right,
            int32_t bottom) {
  if (!(zoom > 0.0f) || std::isinf(zoom)) return 1;
  const double w = std::trunc((int64_t(right) - left) * static_cast<double>(zoom));
  const double h = std::trunc((int64_t(bottom) - top) * static_cast<double>(zoom));
  if (w < 1 || h < 1) return 1;
  if (w > 1e9 || h > 1e9) return 0;
  // Source positions in 32.32 fixed point, sampled at destination pixel centres: (i + 0.5) / zoom.
  // The step is rounded up so that centres landing exactly on a source pixel's edge (1.5 / 1.5) are
  // not pulled back into the pixel before it.
  const int64_t step = static_cast<int64_t>(std::ceil(std::ldexp(1.0 / static_cast<double>(zoom), 32)));
  if (step <= 0) return 1;
  return RunMapped(x, y, static_cast<int64_t>(w), static_cast<int64_t>(h), object, left, top, right, bottom,
                   [&](const Mapped& m) {
                     // The source columns of the visible destination columns, worked out once. Where
                     // the processor shuffles lanes, each destination row is shuffled out of its
                     // source row; elsewhere each source row is gathered once into a line, which then
                     // goes on every destination row that shows it through the keyed row copy.
                     const int32_t n = m.i1 - m.i0;
                     std::vector<int32_t> column(static_cast<size_t>(n));
                     std::vector<uint16_t> line(static_cast<size_t>(n));
                     int64_t u = step * m.i0 + step / 2;
                     for (int32_t k = 0; k < n; ++k, u += step)
                       column[k] = static_cast<int32_t>(std::min<int64_t>(m.sw - 1, u >> 32));
                     const bool shuffled = elDraw::effects::ZoomLanes(column.data(), n, line.data());
                     int64_t gathered = -1;
                     for (int32_t j = m.j0; j < m.j1; ++j) {
                       const int32_t v = static_cast<int32_t>(std::min<int64_t>(m.sh - 1, (step * j + step / 2) >> 32));
                       if (shuffled) {
                         elDraw::effects::ZoomRow(m.Dst(m.i0, j), m.SrcRow(v), m.sw, column.data(), line.data(), n);
                         continue;
                       }
                       if (v != gathered) {
                         const uint16_t* row = m.SrcRow(v);
                         for (int32_t k = 0; k < n; ++k) line[k] = row[column[k]];
                         gathered = v;
                       }
                       elDraw::effects::KeyedRow(m.Dst(m.i0, j), line.data(), n);
                     }
                   });
}

int PutSwirl(int32_t x, int32_t y, float strength, int32_t object, int32_t left, int32_t top, int32_t right,
             int32_t bottom) {
  const double turn = static_cast<double>(strength) * TwoPi / 360.0;
  if (!std::isfinite(turn)) return 1;
  return Radial(x, y, object, left, top, right, bottom, [&](double& dx, double& dy, double dist, double radius) {
    const double a = std::atan2(dy, dx) + turn * (1.0 - dist / radius);
    dx = dist * std::cos(a);
    dy = dist * std::sin(a);
  });
}

int PutLens(int32_t x, int32_t y, float strength, int32_t object, int32_t left, int32_t top, int32_t right,
            int32_t bottom) {
  // Inside the circle a pixel at relative distance q shows the source at q^(1 + strength): strength
  // above 0 draws the middle out (magnifies), below 0 pulls the edge in. The exponent stays >= 0.1.
  const double e = std::max(0.1, 1.0 + static_cast<double>(strength));
  if (!std::isfinite(e)) return 1;
  return Radial(x, y, object, left, top, right, bottom, [&](double& dx, double& dy, double dist, double radius) {
    if (dist <= 0) return;
    const double k = radius * std::pow(dist / radius, e) / dist;
    dx *= k;
    dy *= k;
  });
}

}  // namespace elDraw
