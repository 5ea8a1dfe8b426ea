// Fills and copies onto the back screen and into objects.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "el/draw/draw_state.h"
#include "el/draw/effects_frame.h"
#include "el/elSystem.h"

const double TwoPi = 2 * 3.141592653589793;
float TileOffsetX, TileOffsetY;

namespace {

float WavePhase, WaveScrollPhase, WaveScrollRows, WaveBandPhase, WaveBandRows;
int32_t WaveSign = 1;

void Fill(plat::Surface* target, const plat::Rect& r, uint32_t value) {
  // A rectangle outside the surface is refused by the blit; that answer, like every other, is ignored.
  if (target) target->Blt(&r, nullptr, nullptr, plat::DDBLT_COLORFILL | plat::DDBLT_WAIT, value);
}

// The clipped copy shared by the four puts.
void ClippedCopy(plat::Surface* target, int32_t x, int32_t y, int32_t object, int32_t l, int32_t t, int32_t r,
                 int32_t b, bool keyed) {
  plat::Surface* src = elDraw::detail::ObjectSurface(object);
  if (!target || !src) return;  // no surface, nothing to draw
  // Sums in 64 bits: positions and rectangles come from callers unchecked.
  int64_t L = l, T = t, R = r, B = b, X = x, Y = y;
  if (X + (R - L) > ClipRight) R -= X + (R - L) - ClipRight;
  if (Y + (B - T) > ClipBottom) B -= Y + (B - T) - ClipBottom;
  if (X < ClipLeft) L += ClipLeft - X, X = ClipLeft;
  if (Y < ClipTop) T += ClipTop - Y, Y = ClipTop;
  if (R < L || B < T) return;
  if (L < INT32_MIN || R > INT32_MAX || T < INT32_MIN || B > INT32_MAX) return;
  plat::Rect s{static_cast<int32_t>(L), static_cast<int32_t>(T), static_cast<int32_t>(R), static_cast<int32_t>(B)};
  plat::HResult hr = target->BltFast(static_cast<int32_t>(X), static_cast<int32_t>(Y), src, &s,
                                     (keyed ? plat::DDBLTFAST_SRCCOLORKEY : 0) | plat::DDBLTFAST_WAIT);
  if (hr == plat::DDERR_SURFACELOST) elDraw::Restore();
}

int32_t WaveOffset(int32_t row, int32_t divisor, float phase, int32_t amplitude) {
  int32_t k = divisor == 0 ? row : row / divisor;
  return static_cast<int32_t>(std::cos((k + static_cast<int32_t>(phase)) * TwoPi / 360) * amplitude);
}

void AdvancePhase(float& phase, float speed) {
  phase = std::fmod(phase + FrameSeconds * speed, 360.0f);  // within one turn, whichever way it moves
}

void AdvanceRows(float& rows, float scroll, int32_t height) {
  rows -= FrameSeconds * scroll;
  if (rows < 0) rows += static_cast<float>(height);
  if (rows >= static_cast<float>(height)) rows -= static_cast<float>(height);
}

// A stretch: the whole destination (x, y, width x height) and the source rectangle.
struct Stretch {
  int64_t x, y;
  int32_t width, height;
  plat::Rect src;
};

// The source column (row) for destination column (row) i of n, stretched from the sw source pixels
// that start at from: the nearest sample at the centre of each destination pixel, as the blitter
// takes it.
inline int32_t Sample(int64_t i, int32_t n, int32_t from, int32_t sw) {
  return from + static_cast<int32_t>(((2 * i + 1) * sw) / (2 * int64_t(n)));
}

template <typename P>
void StretchPixels(const Stretch& st, const plat::Rect& vis, const plat::LockedRect& s, const plat::LockedRect& d,
                   bool keyed, uint32_t lo, uint32_t hi) {
  const int32_t sw = st.src.right - st.src.left, sh = st.src.bottom - st.src.top;
  std::vector<int32_t> cols(static_cast<size_t>(vis.right - vis.left));
  for (int32_t i = vis.left; i < vis.right; ++i)
    cols[static_cast<size_t>(i - vis.left)] = Sample(i - st.x, st.width, st.src.left, sw);
  for (int32_t j = vis.top; j < vis.bottom; ++j) {
    const int32_t sy = Sample(j - st.y, st.height, st.src.top, sh);
    const P* sr = reinterpret_cast<const P*>(s.bits + static_cast<ptrdiff_t>(sy) * s.pitch);
    P* dr = reinterpret_cast<P*>(d.bits + static_cast<ptrdiff_t>(j) * d.pitch) + vis.left;
    for (size_t i = 0; i < cols.size(); ++i) {
      const P p = sr[cols[i]];
      if (!keyed || p < lo || p > hi) dr[i] = p;
    }
  }
}

// The visible part vis of a stretch that leaves the clip rectangle, drawn in software with the
// blitter's own mapping, so that a stretch moving out of view does not shift its picture.
void ClippedStretch(const Stretch& st, const plat::Rect& vis, plat::Surface* src) {
  if (src->Format() != BackSurface->Format()) return;
  if (BackSurface->IsLost() != plat::DD_OK || src->IsLost() != plat::DD_OK) {
    elDraw::Restore();
    return;
  }
  uint32_t lo = 0, hi = 0;
  const bool keyed = src->GetColorKey(&lo, &hi) == plat::DD_OK;
  elDraw::effects::Locks lk(src);
  if (!lk.ok()) return;
  if (plat::BytesPerPixel(BackSurface->Format()) == 2)
    StretchPixels<uint16_t>(st, vis, lk.src(), lk.dst(), keyed, lo, hi);
  else
    StretchPixels<uint32_t>(st, vis, lk.src(), lk.dst(), keyed, lo, hi);
}

}  // namespace

namespace elDraw {

void ClearScreen() { Fill(BackSurface, {0, 0, ScreenWidth, ScreenHeight}, 0); }

void ClearObject(int32_t object) {
  plat::Surface* s = elDraw::detail::ObjectSurface(object);
  if (s) Fill(s, {0, 0, DrawObject[object].width, DrawObject[object].height}, 0);
}

void FillBlack(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  Fill(BackSurface, {left, top, right, bottom}, 0);
}

void FrameBlack(int32_t l, int32_t t, int32_t r, int32_t b) {
  // Edges at the ends of the number range cannot lie on the screen (and would overflow).
  if (l == INT32_MAX || t == INT32_MAX || r == INT32_MIN || b == INT32_MIN) return;
  Fill(BackSurface, {l, t, r, t + 1}, 0);
  Fill(BackSurface, {l, b - 1, r, b}, 0);
  Fill(BackSurface, {l, t, l + 1, b}, 0);
  Fill(BackSurface, {r - 1, t, r, b}, 0);
}

void ClearScreenWhite() { Fill(BackSurface, {0, 0, ScreenWidth, ScreenHeight}, WhitePixel); }

void FillWhite(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  Fill(BackSurface, {left, top, right, bottom}, WhitePixel);
}

void FillColor(int32_t left, int32_t top, int32_t right, int32_t bottom, uint16_t pixel) {
  Fill(BackSurface, {left, top, right, bottom}, pixel);
}

int FillHalf(int32_t left, int32_t top, int32_t right, int32_t bottom, uint16_t pixel) {
  right = std::min(right, ClipRight);
  bottom = std::min(bottom, ClipBottom);
  left = std::max(left, ClipLeft);
  top = std::max(top, ClipTop);
  if (right < left || bottom < top) return 1;
  if (!BackSurface) return 0;
  // 16-bit pixels only; and the clip rectangle is the caller's: what lies outside the back screen
  // is not touched.
  if (plat::BytesPerPixel(BackSurface->Format()) != 2) return 0;
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, BackSurface->Width());
  bottom = std::min(bottom, BackSurface->Height());
  plat::LockedRect lr;
  if (BackSurface->Lock(nullptr, &lr, plat::DDLOCK_WAIT) != plat::DD_OK) return 0;
  const uint16_t half = static_cast<uint16_t>((pixel >> 1) & HalfMask);
  const uint16_t mask = static_cast<uint16_t>(HalfMask);
  const int32_t pitch = lr.pitch / 2;
  uint16_t* base = reinterpret_cast<uint16_t*>(lr.bits);
  for (int32_t y = top; y < bottom; ++y) {
    uint16_t* p = base + static_cast<ptrdiff_t>(y) * pitch;
    for (int32_t x = left; x < right; ++x) p[x] = static_cast<uint16_t>(((p[x] >> 1) & mask) + half);
  }
  BackSurface->Unlock();
  return 1;
}

void Put(int32_t x, int32_t y, int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  ClippedCopy(BackSurface, x, y, object, left, top, right, bottom, true);
}

void PutOpaque(int32_t x, int32_t y, int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  ClippedCopy(BackSurface, x, y, object, left, top, right, bottom, false);
}

void PutToObject(int32_t target, int32_t x, int32_t y, int32_t object, int32_t left, int32_t top, int32_t right,
                 int32_t bottom) {
  ClippedCopy(elDraw::detail::ObjectSurface(target), x, y, object, left, top, right, bottom, true);
}

void PutOpaqueToObject(int32_t target, int32_t x, int32_t y, int32_t object, int32_t left, int32_t top,
                       int32_t right, int32_t bottom) {
  ClippedCopy(elDraw::detail::ObjectSurface(target), x, y, object, left, top, right, bottom, false);
}

void PutTiled(float speedX, float speedY, int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  const int32_t w = right - left, h = bottom - top;
  // An empty tile would never cover the screen (and divides by zero): nothing is drawn.
  if (w <= 0 || h <= 0) return;
  for (int32_t row = 0; row < ScreenHeight / h + 2; ++row)
    for (int32_t col = 0; col < ScreenWidth / w + 2; ++col)
      Put(col * w + static_cast<int32_t>(TileOffsetX), row * h + static_cast<int32_t>(TileOffsetY), object, left, top,
          right, bottom);
  TileOffsetX += FrameSeconds * speedX;
  TileOffsetY += FrameSeconds * speedY;
  if (TileOffsetX < -w) TileOffsetX += static_cast<float>(w);
  if (TileOffsetX > 0) TileOffsetX -= static_cast<float>(w);
  if (TileOffsetY < -h) TileOffsetY += static_cast<float>(h);
  if (TileOffsetY > 0) TileOffsetY -= static_cast<float>(h);
}

void PutStretch(int32_t x, int32_t y, int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom,
                int32_t width, int32_t height) {
  plat::Surface* src = elDraw::detail::ObjectSurface(object);
  if (!src || !BackSurface) return;
  // Mirrored or empty stretches and source rectangles leaving the picture are refused, as the
  // blitter refuses them.
  if (width <= 0 || height <= 0 || right <= left || bottom <= top) return;
  if (left < 0 || top < 0 || right > src->Width() || bottom > src->Height()) return;
  // Clipped like the other puts, in 64 bits: only the visible part is drawn, each of its pixels
  // taken from the source pixel the whole stretch would put there.
  const Stretch st{int64_t(x), int64_t(y), width, height, {left, top, right, bottom}};
  const elDraw::effects::Bounds v = elDraw::effects::VisibleBounds();
  const plat::Rect vis{static_cast<int32_t>(std::max(st.x, v.left)), static_cast<int32_t>(std::max(st.y, v.top)),
                       static_cast<int32_t>(std::min(st.x + width, v.right)),
                       static_cast<int32_t>(std::min(st.y + height, v.bottom))};
  if (vis.left >= vis.right || vis.top >= vis.bottom) return;
  const bool whole = vis.left == st.x && vis.top == st.y && vis.right == st.x + width && vis.bottom == st.y + height;
  if (CanStretch == 1) {
    if (whole) {
      plat::Rect s{left, top, right, bottom};
      if (BackSurface->Blt(&vis, src, &s, plat::DDBLT_KEYSRC | plat::DDBLT_WAIT, 0) == plat::DDERR_SURFACELOST)
        Restore();
    } else {
      ClippedStretch(st, vis, src);
    }
    return;
  }
  // Through the Buffer object with GDI: the stretch is placed so that the visible part lands at the
  // Buffer's origin, and GDI leaves out what falls outside the Buffer. The visible part starts inside
  // the stretch, so -width < ox, oy <= 0: the offsets fit GDI's 32 bits.
  const int64_t ox = st.x - vis.left, oy = st.y - vis.top;
  plat::Surface* buffer = DrawObject[kObjBuffer].surface;
  if (!buffer) return;
  plat::Dc* bdc = nullptr;
  plat::Dc* odc = nullptr;
  bool stretched = false;
  if (plat::GetSurfaceDc(buffer, &bdc) == plat::DD_OK) {
    if (plat::GetSurfaceDc(src, &odc) == plat::DD_OK) {
      stretched = plat::StretchBlt(bdc, static_cast<int32_t>(ox), static_cast<int32_t>(oy), width, height, odc, left,
                                   top, right - left, bottom - top, plat::SRCCOPY);
      plat::ReleaseSurfaceDc(src, odc);
    }
    plat::ReleaseSurfaceDc(buffer, bdc);
  }
  // A stretch that did not happen must not show what the Buffer held before.
  if (stretched) Put(vis.left, vis.top, kObjBuffer, 0, 0, vis.right - vis.left, vis.bottom - vis.top);
}

void PutWave(int32_t x, int32_t y, int32_t amplitude, int32_t divisor, float speed, int32_t object, int32_t left,
             int32_t top, int32_t right, int32_t bottom, int32_t alternate) {
  for (int32_t r = top; r < bottom; ++r) {
    int32_t offset = WaveOffset(r, divisor, WavePhase, amplitude);
    if (alternate) {
      offset *= WaveSign;
      WaveSign = -WaveSign;
    }
    Put(x + offset, y + r - top, object, left, r, right, r + 1);
  }
  AdvancePhase(WavePhase, speed);
}

void PutWaveScroll(int32_t x, int32_t y, int32_t amplitude, int32_t divisor, float speed, float scroll,
                   int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  for (int32_t r = top; r < bottom; ++r) {
    int32_t offset = WaveOffset(r, divisor, WaveScrollPhase, amplitude);
    int32_t s = r + static_cast<int32_t>(WaveScrollRows);
    if (s >= bottom) s = top + 1 + (s - bottom);
    Put(x + offset, y + (r - top), object, left, s, right, s + 1);
  }
  AdvancePhase(WaveScrollPhase, speed);
  AdvanceRows(WaveScrollRows, scroll, bottom - top);
}

void PutWaveBand(int32_t y0, int32_t y1, int32_t amplitude, int32_t divisor, float speed, float scroll,
                 int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  const int32_t w = right - left, h = bottom - top;
  if (w <= 0 || h <= 0) return;  // an empty tile divides by zero; nothing to draw
  for (int32_t k = 0; k < y1 - y0; ++k) {
    int32_t s = (k % h) + static_cast<int32_t>(WaveBandRows);
    if (s > h - 1) s -= h;
    for (int32_t col = 0; col < ScreenWidth / w + 2; ++col) {
      int32_t offset = WaveOffset(k, divisor, WaveBandPhase, amplitude);
      Put(col * w + offset - amplitude, y0 + k, object, left, top + s, right, top + s + 1);
    }
  }
  AdvancePhase(WaveBandPhase, speed);
  AdvanceRows(WaveBandRows, scroll, h);
}

void PutRows(int32_t x, int32_t y, int32_t step, int32_t object, int32_t left, int32_t top, int32_t right,
             int32_t bottom) {
  if (step <= 0) return;  // a band of no rows would never end
  for (int32_t band = top; band < bottom; band += step)
    for (int32_t r = band; r < band + step; ++r) Put(x, y + r - top, object, left, band, right, band + 1);
}

}  // namespace elDraw
