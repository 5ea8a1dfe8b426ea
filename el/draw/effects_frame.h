// The frame shared by the software effect blitters: clipping, the checks that keep every access
// inside both surfaces, locking, and pixel addressing. Private to el/draw.
#pragma once
#include <algorithm>
#include <cstdint>

#include "el/draw/draw_state.h"

namespace elDraw::effects {

// The software effects work on 16-bit pixels only (the lookup tables exist only for such screens).
inline bool Sixteen() { return BackSurface && plat::BytesPerPixel(BackSurface->Format()) == 2; }

// A 6-bit green goes through the 5-bit tables without its lowest bit. The bit is given back from the
// first of two pixels (then the second) whose green the result equals, so a put that leaves a colour
// as it was (level 31, alpha 31 or 0, adding black) is exact; any other result keeps it 0. On 5-5-5
// screens there is no such bit and nothing changes.
struct GreenLow {
  uint16_t top, low;  // the green bits the tables give, and the one they drop
  uint16_t operator()(uint16_t out, uint16_t first, uint16_t second) const {
    const uint16_t from = ((out ^ first) & top) == 0 ? first : ((out ^ second) & top) == 0 ? second : 0;
    return static_cast<uint16_t>(out | (from & low));
  }
};
inline GreenLow Green() {
  const uint16_t low = GMax == 63 ? static_cast<uint16_t>(1u << GShift) : 0;
  return {static_cast<uint16_t>(GMask & ~low), low};
}

// The part of the clip rectangle that lies on the back screen: a clip rectangle larger than the
// screen must not let an effect write past it.
struct Bounds {
  int64_t left, top, right, bottom;
};
inline Bounds VisibleBounds() {
  return {std::max<int64_t>(ClipLeft, 0), std::max<int64_t>(ClipTop, 0),
          std::min<int64_t>(ClipRight, BackSurface->Width()), std::min<int64_t>(ClipBottom, BackSurface->Height())};
}

// Both surfaces locked for one effect; unlocks on the way out.
class Locks {
 public:
  explicit Locks(plat::Surface* src) : src_(src) {
    if (src_->Lock(nullptr, &s_, plat::DDLOCK_WAIT) != plat::DD_OK) return;
    if (BackSurface->Lock(nullptr, &d_, plat::DDLOCK_WAIT) != plat::DD_OK) {
      src_->Unlock();
      return;
    }
    ok_ = true;
  }
  ~Locks() {
    if (ok_) {
      src_->Unlock();
      BackSurface->Unlock();
    }
  }
  Locks(const Locks&) = delete;
  Locks& operator=(const Locks&) = delete;
  bool ok() const { return ok_; }
  const plat::LockedRect& src() const { return s_; }
  const plat::LockedRect& dst() const { return d_; }

 private:
  plat::Surface* src_;
  plat::LockedRect s_, d_;
  bool ok_ = false;
};

// The visible part of a put: w x h pixels from the source at (sx, sy) to the screen at (dx, dy),
// lying ox, oy pixels into the whole source rectangle (wholeW x wholeH at wholeX, wholeY).
struct Frame {
  const uint8_t* srcBits;
  int32_t srcPitch;
  uint8_t* dstBits;
  int32_t dstPitch;
  int32_t sx, sy, dx, dy, w, h, ox, oy;
  int32_t wholeX, wholeY, wholeW, wholeH;
  const uint16_t* Src(int32_t i, int32_t j) const {
    return reinterpret_cast<const uint16_t*>(srcBits + static_cast<ptrdiff_t>(sy + j) * srcPitch) + sx + i;
  }
  uint16_t* Dst(int32_t i, int32_t j) const {
    return reinterpret_cast<uint16_t*>(dstBits + static_cast<ptrdiff_t>(dy + j) * dstPitch) + dx + i;
  }
  // A pixel of the whole rectangle; valid only for frames run with the whole rectangle checked.
  const uint16_t* Whole(int32_t wx, int32_t wy) const {
    return reinterpret_cast<const uint16_t*>(srcBits + static_cast<ptrdiff_t>(wholeY + wy) * srcPitch) + wholeX + wx;
  }
};

// The common frame: clip (in the documented order), check, lock both surfaces, run body, unlock.
// whole: the body reads anywhere in the source rectangle, which must then lie in the object entirely;
// otherwise only the visible part must. 1 when done or nothing is visible; 0 when the screen is not
// 16-bit, the object has no surface, the rectangle leaves the object, or a lock fails.
template <class Body>
int Run(int32_t x, int32_t y, int32_t object, int32_t l, int32_t t, int32_t r, int32_t b, bool whole, Body body) {
  if (!Sixteen()) return 0;
  int64_t X = x, Y = y, L = l, T = t, w = int64_t(r) - l, h = int64_t(b) - t;
  if (X + w > ClipRight) w = ClipRight - X;
  if (Y + h > ClipBottom) h = ClipBottom - Y;
  if (X < ClipLeft) L += ClipLeft - X, w -= ClipLeft - X, X = ClipLeft;
  if (Y < ClipTop) T += ClipTop - Y, h -= ClipTop - Y, Y = ClipTop;
  const int64_t bw = BackSurface->Width(), bh = BackSurface->Height();
  if (X + w > bw) w = bw - X;
  if (Y + h > bh) h = bh - Y;
  if (X < 0) L -= X, w += X, X = 0;
  if (Y < 0) T -= Y, h += Y, Y = 0;
  if (w <= 0 || h <= 0) return 1;
  plat::Surface* src = elDraw::detail::ObjectSurface(object);
  if (!src) return 0;
  const int64_t ow = src->Width(), oh = src->Height();
  if (L < 0 || T < 0 || L + w > ow || T + h > oh) return 0;
  if (whole && (l < 0 || t < 0 || r > ow || b > oh)) return 0;
  Locks lk(src);
  if (!lk.ok()) return 0;
  Frame f{lk.src().bits,
          lk.src().pitch,
          lk.dst().bits,
          lk.dst().pitch,
          static_cast<int32_t>(L),
          static_cast<int32_t>(T),
          static_cast<int32_t>(X),
          static_cast<int32_t>(Y),
          static_cast<int32_t>(w),
          static_cast<int32_t>(h),
          static_cast<int32_t>(L - l),
          static_cast<int32_t>(T - t),
          l,
          t,
          static_cast<int32_t>(int64_t(r) - l),
          static_cast<int32_t>(int64_t(b) - t)};
  body(f);
  return 1;
}

// A destination rectangle filled by mapping each of its pixels back into a source rectangle
// (rotations, zooms, distortions). Columns i0..i1-1 and rows j0..j1-1 (relative to dl, dt) are the
// visible ones; the source rectangle lies wholly in the object.
struct Mapped {
  const uint8_t* srcBits;
  int32_t srcPitch;
  uint8_t* dstBits;
  int32_t dstPitch;
  int32_t sl, st, sw, sh;
  int32_t dl, dt, i0, i1, j0, j1;
  const uint16_t* SrcRow(int32_t v) const {
    return reinterpret_cast<const uint16_t*>(srcBits + static_cast<ptrdiff_t>(st + v) * srcPitch) + sl;
  }
  uint16_t Src(int32_t u, int32_t v) const { return SrcRow(v)[u]; }
  uint16_t* Dst(int32_t i, int32_t j) const {
    return reinterpret_cast<uint16_t*>(dstBits + static_cast<ptrdiff_t>(dt + j) * dstPitch) + dl + i;
  }
};

template <class Body>
int RunMapped(int32_t dl, int32_t dt, int64_t W, int64_t H, int32_t object, int32_t sl, int32_t st, int32_t sr,
              int32_t sb, Body body) {
  if (!Sixteen()) return 0;
  // Rectangles beyond 2^24 pixels in size or position are refused: the fixed-point mapping and the
  // column and row numbers must not overflow.
  constexpr int64_t kFar = int64_t(1) << 24;
  if (W > kFar || H > kFar || dl < -kFar || dl > kFar || dt < -kFar || dt > kFar) return 0;
  const Bounds c = VisibleBounds();
  const int64_t i0 = std::max<int64_t>(0, c.left - dl), i1 = std::min<int64_t>(W, c.right - dl);
  const int64_t j0 = std::max<int64_t>(0, c.top - dt), j1 = std::min<int64_t>(H, c.bottom - dt);
  if (i0 >= i1 || j0 >= j1) return 1;
  plat::Surface* src = elDraw::detail::ObjectSurface(object);
  if (!src) return 0;
  if (sl < 0 || st < 0 || sr > src->Width() || sb > src->Height() || sr < sl || sb < st) return 0;
  if (sr == sl || sb == st) return 1;  // an empty picture draws nothing
  Locks lk(src);
  if (!lk.ok()) return 0;
  Mapped m{lk.src().bits, lk.src().pitch, lk.dst().bits, lk.dst().pitch, sl, st, sr - sl, sb - st, dl, dt,
           static_cast<int32_t>(i0), static_cast<int32_t>(i1), static_cast<int32_t>(j0), static_cast<int32_t>(j1)};
  body(m);
  return 1;
}

}  // namespace elDraw::effects
