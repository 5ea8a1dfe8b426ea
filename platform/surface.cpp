#include "platform/surface.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace plat {

namespace {

// Display surfaces, so that losing the display can mark them all.
std::vector<Surface*>& Registry() {
  static std::vector<Surface*> r;
  return r;
}

// Largest surface side we hand out; keeps every size product far inside 32 bits.
constexpr int32_t kMaxSide = 16384;

bool InsideSurface(const Rect& r, int32_t w, int32_t h) {
  return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom && r.right <= w && r.bottom <= h;
}

// Vector types for the copy loops (GCC/Clang vector extensions: plain SIMD on every target; on x86
// the keyed rows are also built for AVX2 and picked at load time).
typedef uint16_t V16 __attribute__((vector_size(32), aligned(2), may_alias));
typedef uint32_t V32 __attribute__((vector_size(32), aligned(4), may_alias));
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define EL_ROW_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define EL_ROW_CLONES
#endif

// d[i] = s[i] unless s[i] lies in [lo, hi].
EL_ROW_CLONES void KeyedRow16(uint16_t* d, const uint16_t* s, int32_t n, uint16_t lo, uint16_t hi) {
  int32_t i = 0;
  if (lo == hi) {
    V16 key;
    for (int k = 0; k < 16; ++k) key[k] = lo;
    for (; i + 16 <= n; i += 16) {
      V16 sv = *reinterpret_cast<const V16*>(s + i);
      V16 m = (V16)(sv == key);
      V16 dv = *reinterpret_cast<V16*>(d + i);
      *reinterpret_cast<V16*>(d + i) = (dv & m) | (sv & ~m);
    }
  }
  for (; i < n; ++i) {
    uint16_t p = s[i];
    if (p < lo || p > hi) d[i] = p;
  }
}

EL_ROW_CLONES void KeyedRow32(uint32_t* d, const uint32_t* s, int32_t n, uint32_t lo, uint32_t hi) {
  int32_t i = 0;
  if (lo == hi) {
    V32 key;
    for (int k = 0; k < 8; ++k) key[k] = lo;
    for (; i + 8 <= n; i += 8) {
      V32 sv = *reinterpret_cast<const V32*>(s + i);
      V32 m = (V32)(sv == key);
      V32 dv = *reinterpret_cast<V32*>(d + i);
      *reinterpret_cast<V32*>(d + i) = (dv & m) | (sv & ~m);
    }
  }
  for (; i < n; ++i) {
    uint32_t p = s[i];
    if (p < lo || p > hi) d[i] = p;
  }
}

template <typename P>
void KeyedRow(P* d, const P* s, int32_t n, uint32_t lo, uint32_t hi) {
  if constexpr (sizeof(P) == 2)
    KeyedRow16(d, s, n, static_cast<uint16_t>(lo), static_cast<uint16_t>(hi));
  else
    KeyedRow32(d, s, n, lo, hi);
}

template <typename P>
void StretchRows(Surface* dst, const Rect& d, const Surface* src, const Rect& s, bool keyed, uint32_t lo,
                 uint32_t hi) {
  const int32_t dw = d.right - d.left, dh = d.bottom - d.top;
  const int32_t sw = s.right - s.left, sh = s.bottom - s.top;
  // Sample at the centre of each destination pixel.
  std::vector<int32_t> xs(static_cast<size_t>(dw));
  for (int32_t x = 0; x < dw; ++x)
    xs[static_cast<size_t>(x)] = s.left + static_cast<int32_t>((static_cast<int64_t>(2 * x + 1) * sw) / (2 * dw));
  // One source row widened into a scratch row, reused while the destination rows sample the same row.
  std::vector<P> wide(static_cast<size_t>(dw));
  int32_t widened = -1;
  for (int32_t y = 0; y < dh; ++y) {
    int32_t sy = s.top + static_cast<int32_t>((static_cast<int64_t>(2 * y + 1) * sh) / (2 * dh));
    if (sy != widened) {
      const P* sr = reinterpret_cast<const P*>(src->Row(sy));
      for (int32_t x = 0; x < dw; ++x) wide[static_cast<size_t>(x)] = sr[xs[static_cast<size_t>(x)]];
      widened = sy;
    }
    P* dr = reinterpret_cast<P*>(dst->Row(d.top + y)) + d.left;
    if (keyed)
      KeyedRow<P>(dr, wide.data(), dw, lo, hi);
    else
      std::memcpy(dr, wide.data(), static_cast<size_t>(dw) * sizeof(P));
  }
}

}  // namespace

FormatInfo Describe(PixelFormat f) {
  switch (f) {
    case PixelFormat::RGB555: return {16, 0x7C00, 0x03E0, 0x001F};
    case PixelFormat::XRGB8888: return {32, 0xFF0000, 0x00FF00, 0x0000FF};
    case PixelFormat::RGB565: break;
  }
  return {16, 0xF800, 0x07E0, 0x001F};
}

int BytesPerPixel(PixelFormat f) { return f == PixelFormat::XRGB8888 ? 4 : 2; }

uint32_t PackRgb(PixelFormat f, uint8_t r, uint8_t g, uint8_t b) {
  switch (f) {
    case PixelFormat::RGB565: return (uint32_t(r >> 3) << 11) | (uint32_t(g >> 2) << 5) | uint32_t(b >> 3);
    case PixelFormat::RGB555: return (uint32_t(r >> 3) << 10) | (uint32_t(g >> 3) << 5) | uint32_t(b >> 3);
    case PixelFormat::XRGB8888: return (uint32_t(r) << 16) | (uint32_t(g) << 8) | b;
  }
  return 0;
}

void UnpackRgb(PixelFormat f, uint32_t p, uint8_t* r, uint8_t* g, uint8_t* b) {
  auto w5 = [](uint32_t v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); };
  auto w6 = [](uint32_t v) { return static_cast<uint8_t>((v << 2) | (v >> 4)); };
  switch (f) {
    case PixelFormat::RGB565:
      *r = w5((p >> 11) & 31), *g = w6((p >> 5) & 63), *b = w5(p & 31);
      return;
    case PixelFormat::RGB555:
      *r = w5((p >> 10) & 31), *g = w5((p >> 5) & 31), *b = w5(p & 31);
      return;
    case PixelFormat::XRGB8888:
      *r = static_cast<uint8_t>(p >> 16), *g = static_cast<uint8_t>(p >> 8), *b = static_cast<uint8_t>(p);
      return;
  }
}

std::unique_ptr<Surface> Surface::Create(int32_t width, int32_t height, PixelFormat format, bool loseable) {
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return nullptr;
  std::unique_ptr<Surface> s(new Surface);
  s->width_ = width;
  s->height_ = height;
  s->format_ = format;
  // Rows start on 16-byte boundaries, as display memory rows usually do.
  s->pitch_ = (width * BytesPerPixel(format) + 15) & ~15;
  size_t bytes = static_cast<size_t>(s->pitch_) * static_cast<size_t>(height);
  s->pixels_ = static_cast<uint8_t*>(std::aligned_alloc(16, bytes));
  if (!s->pixels_) return nullptr;
  std::memset(s->pixels_, 0, bytes);
  s->loseable_ = loseable;
  if (loseable) Registry().push_back(s.get());
  return s;
}

Surface::~Surface() {
  if (loseable_) {
    auto& r = Registry();
    r.erase(std::remove(r.begin(), r.end(), this), r.end());
  }
  std::free(pixels_);
}

void LoseAllSurfaces() {
  for (Surface* s : Registry()) s->MarkLost();
}

HResult Surface::Usable() const {
  if (lost_) return DDERR_SURFACELOST;
  if (locked_ || dc_) return DDERR_SURFACEBUSY;
  return DD_OK;
}

HResult Surface::Lock(const Rect* rect, LockedRect* out, uint32_t) {
  if (!out) return DDERR_INVALIDPARAMS;
  HResult hr = Usable();
  if (hr != DD_OK) return hr;
  Rect r = rect ? *rect : Rect{0, 0, width_, height_};
  if (!InsideSurface(r, width_, height_)) return DDERR_INVALIDRECT;
  locked_ = true;
  Touch();
  out->bits = Row(r.top) + r.left * BytesPerPixel(format_);
  out->pitch = pitch_;
  return DD_OK;
}

HResult Surface::Unlock() {
  if (!locked_) return DDERR_NOTLOCKED;
  locked_ = false;
  return DD_OK;
}

HResult Surface::Restore() {
  if (!lost_) return DD_OK;
  std::memset(pixels_, 0, static_cast<size_t>(pitch_) * static_cast<size_t>(height_));
  lost_ = false;
  Touch();
  return DD_OK;
}

HResult Surface::SetColorKey(uint32_t low, uint32_t high) {
  if (lost_) return DDERR_SURFACELOST;
  uint32_t mask = BytesPerPixel(format_) == 2 ? 0xFFFFu : 0xFFFFFFFFu;
  keyLow_ = low & mask;
  keyHigh_ = high & mask;
  hasKey_ = true;
  Touch();
  return DD_OK;
}

HResult Surface::GetColorKey(uint32_t* low, uint32_t* high) const {
  if (!hasKey_) return DDERR_NOCOLORKEY;
  if (low) *low = keyLow_;
  if (high) *high = keyHigh_;
  return DD_OK;
}

HResult Surface::BltFast(int32_t x, int32_t y, Surface* src, const Rect* srcRect, uint32_t flags) {
  if (!src) return DDERR_INVALIDPARAMS;
  HResult hr = Usable();
  if (hr == DD_OK && src != this) hr = src->Usable();
  if (hr != DD_OK) return hr;
  if (src->format_ != format_) return DDERR_INVALIDPIXELFORMAT;
  Rect s = srcRect ? *srcRect : Rect{0, 0, src->width_, src->height_};
  if (!InsideSurface(s, src->width_, src->height_)) return DDERR_INVALIDRECT;
  const int32_t w = s.right - s.left, h = s.bottom - s.top;
  // Sums in 64 bits: a caller's position may be anywhere in the 32-bit range.
  if (x < 0 || y < 0 || int64_t(x) + w > width_ || int64_t(y) + h > height_) return DDERR_INVALIDRECT;
  bool keyed = (flags & DDBLTFAST_SRCCOLORKEY) && src->hasKey_;
  const int bpp = BytesPerPixel(format_);
  Touch();
  if (keyed && src != this && src->KeyRunsReady()) {
    CopyKeyedRuns(x, y, s, src);
    return DD_OK;
  }
  const size_t rowBytes = static_cast<size_t>(w) * bpp;
  // Overlap within one surface: copy through a scratch picture.
  std::vector<uint8_t> scratch;
  const uint8_t* sbase;
  ptrdiff_t spitch;
  if (src == this) {
    scratch.resize(rowBytes * static_cast<size_t>(h));
    for (int32_t r = 0; r < h; ++r)
      std::memcpy(&scratch[rowBytes * static_cast<size_t>(r)], Row(s.top + r) + s.left * bpp, rowBytes);
    sbase = scratch.data();
    spitch = static_cast<ptrdiff_t>(rowBytes);
  } else {
    sbase = src->Row(s.top) + s.left * bpp;
    spitch = src->pitch_;
  }
  for (int32_t r = 0; r < h; ++r) {
    const uint8_t* sr = sbase + spitch * r;
    uint8_t* dr = Row(y + r) + x * bpp;
    if (!keyed) {
      std::memcpy(dr, sr, rowBytes);
    } else if (bpp == 2) {
      KeyedRow<uint16_t>(reinterpret_cast<uint16_t*>(dr), reinterpret_cast<const uint16_t*>(sr), w, src->keyLow_,
                         src->keyHigh_);
    } else {
      KeyedRow<uint32_t>(reinterpret_cast<uint32_t*>(dr), reinterpret_cast<const uint32_t*>(sr), w, src->keyLow_,
                         src->keyHigh_);
    }
  }
  return DD_OK;
}

HResult Surface::Blt(const Rect* dstRect, Surface* src, const Rect* srcRect, uint32_t flags, uint32_t fill) {
  HResult hr = Usable();
  if (hr != DD_OK) return hr;
  Rect d = dstRect ? *dstRect : Rect{0, 0, width_, height_};
  const int bpp = BytesPerPixel(format_);
  if (flags & DDBLT_COLORFILL) {
    if (!InsideSurface(d, width_, height_)) return DDERR_INVALIDRECT;
    Touch();
    const int32_t w = d.right - d.left;
    for (int32_t y = d.top; y < d.bottom; ++y) {
      if (bpp == 2) {
        uint16_t* p = reinterpret_cast<uint16_t*>(Row(y)) + d.left;
        std::fill(p, p + w, static_cast<uint16_t>(fill));
      } else {
        uint32_t* p = reinterpret_cast<uint32_t*>(Row(y)) + d.left;
        std::fill(p, p + w, fill);
      }
    }
    return DD_OK;
  }
  if (!src) return DDERR_INVALIDPARAMS;
  if (src != this && (hr = src->Usable()) != DD_OK) return hr;
  if (src->format_ != format_) return DDERR_INVALIDPIXELFORMAT;
  Rect s = srcRect ? *srcRect : Rect{0, 0, src->width_, src->height_};
  if (!InsideSurface(s, src->width_, src->height_)) return DDERR_INVALIDRECT;
  if (d.left >= d.right || d.top >= d.bottom) return DDERR_INVALIDRECT;
  if (clipper_ && (d.right - d.left) == (s.right - s.left) && (d.bottom - d.top) == (s.bottom - s.top)) {
    // Unscaled copy through a clipper: cut both rectangles alike.
    int64_t cl = std::max<int64_t>(0, -int64_t(d.left)), ct = std::max<int64_t>(0, -int64_t(d.top));
    int64_t cr = std::max<int64_t>(0, int64_t(d.right) - width_), cb = std::max<int64_t>(0, int64_t(d.bottom) - height_);
    if (cl + cr >= int64_t(d.right) - d.left || ct + cb >= int64_t(d.bottom) - d.top) return DD_OK;
    d = {int32_t(d.left + cl), int32_t(d.top + ct), int32_t(d.right - cr), int32_t(d.bottom - cb)};
    s = {int32_t(s.left + cl), int32_t(s.top + ct), int32_t(s.right - cr), int32_t(s.bottom - cb)};
  }
  if (!InsideSurface(d, width_, height_)) return DDERR_INVALIDRECT;
  const bool keyed = (flags & DDBLT_KEYSRC) && src->hasKey_;
  if ((d.right - d.left) == (s.right - s.left) && (d.bottom - d.top) == (s.bottom - s.top))
    return BltFast(d.left, d.top, src, &s, keyed ? DDBLTFAST_SRCCOLORKEY : 0);
  if (src == this) {
    // Stretch within one surface: sample from a copy.
    auto copy = Create(s.right - s.left, s.bottom - s.top, format_, false);
    if (!copy) return DDERR_OUTOFMEMORY;
    copy->BltFast(0, 0, this, &s, 0);
    if (hasKey_) copy->SetColorKey(keyLow_, keyHigh_);
    Rect whole{0, 0, copy->width_, copy->height_};
    return Blt(&d, copy.get(), &whole, flags, fill);
  }
  Touch();
  if (bpp == 2)
    StretchRows<uint16_t>(this, d, src, s, keyed, src->keyLow_, src->keyHigh_);
  else
    StretchRows<uint32_t>(this, d, src, s, keyed, src->keyLow_, src->keyHigh_);
  return DD_OK;
}

bool Surface::KeyRunsReady() {
  if (runsVersion_ == version_) return runsUsable_;
  if (++keyedUses_ < 2) return false;
  runsVersion_ = version_;
  rowRuns_.assign(static_cast<size_t>(height_) + 1, 0);
  runs_.clear();
  const bool wide = BytesPerPixel(format_) == 4;
  // Noisy pictures break into many short runs; those copy faster through the vector rows.
  const size_t limit = static_cast<size_t>(width_) * static_cast<size_t>(height_) / 8 + 16;
  for (int32_t y = 0; y < height_ && runs_.size() <= limit; ++y) {
    rowRuns_[static_cast<size_t>(y)] = static_cast<uint32_t>(runs_.size());
    const uint8_t* row = Row(y);
    int32_t x = 0;
    while (x < width_) {
      auto at = [&](int32_t i) -> uint32_t {
        return wide ? reinterpret_cast<const uint32_t*>(row)[i] : reinterpret_cast<const uint16_t*>(row)[i];
      };
      auto opaque = [&](int32_t i) {
        uint32_t p = at(i);
        return p < keyLow_ || p > keyHigh_;
      };
      while (x < width_ && !opaque(x)) ++x;
      int32_t start = x;
      while (x < width_ && opaque(x)) ++x;
      if (x > start) {
        runs_.push_back(static_cast<uint16_t>(start));
        runs_.push_back(static_cast<uint16_t>(x - start));
      }
    }
  }
  rowRuns_[static_cast<size_t>(height_)] = static_cast<uint32_t>(runs_.size());
  runsUsable_ = runs_.size() <= limit;
  if (!runsUsable_) {
    runs_.clear();
    rowRuns_.clear();
  }
  return runsUsable_;
}

void Surface::CopyKeyedRuns(int32_t x, int32_t y, const Rect& s, const Surface* src) {
  const size_t bpp = static_cast<size_t>(BytesPerPixel(format_));
  for (int32_t r = s.top; r < s.bottom; ++r) {
    const uint8_t* sr = src->Row(r);
    uint8_t* dr = Row(y + r - s.top) + (static_cast<ptrdiff_t>(x) - s.left) * static_cast<ptrdiff_t>(bpp);
    const uint32_t end = src->rowRuns_[static_cast<size_t>(r) + 1];
    for (uint32_t k = src->rowRuns_[static_cast<size_t>(r)]; k < end; k += 2) {
      int32_t a = src->runs_[k], b = a + src->runs_[k + 1];
      if (b <= s.left) continue;
      if (a >= s.right) break;
      a = std::max(a, s.left);
      b = std::min(b, s.right);
      std::memcpy(dr + static_cast<size_t>(a) * bpp, sr + static_cast<size_t>(a) * bpp, static_cast<size_t>(b - a) * bpp);
    }
  }
}

}  // namespace plat
