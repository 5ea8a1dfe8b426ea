// Screen filters over the locked back screen, the screen save to a BMP file and the enlargements.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "el/draw/draw_files.h"
#include "el/draw/draw_state.h"

int32_t NoisePos;
int32_t SmokePos;

namespace {

inline uint16_t Place5(uint32_t r, uint32_t g, uint32_t b) {
  return static_cast<uint16_t>((r << RShift5) | (g << GShift5) | (b << BShift5));
}

// The next NoiseTable position after pos: past the last entry it continues at rand() % 1000.
inline void Advance(int32_t& pos) {
  if (++pos >= 10000 || pos < 0) pos = std::rand() % 1000;
}

// The part of start .. start + length (end exclusive) that lies within 0 .. limit, as [lo, hi);
// lo == hi when they do not meet. Worked in 64 bits, so no start or length can wrap the result,
// and both ends stay within 0 .. limit.
struct Span {
  int32_t lo, hi;
};
Span Within(int32_t start, int32_t length, int32_t limit) {
  const int64_t lo = std::clamp<int64_t>(start, 0, limit);
  const int64_t hi = std::clamp<int64_t>(int64_t(start) + length, lo, limit);
  return {static_cast<int32_t>(lo), static_cast<int32_t>(hi)};
}

// The back screen locked for one filter, 16-bit only; the rectangle is cut to the screen (a
// rectangle off the screen or of no size leaves nothing to do).
class Locked16 {
 public:
  Locked16(int32_t x, int32_t y, int32_t w, int32_t h) {
    if (!BackSurface || plat::BytesPerPixel(BackSurface->Format()) != 2) return;
    const Span across = Within(x, w, BackSurface->Width()), down = Within(y, h, BackSurface->Height());
    x0 = across.lo, x1 = across.hi;
    y0 = down.lo, y1 = down.hi;
    if (BackSurface->Lock(nullptr, &lr_, plat::DDLOCK_WAIT) != plat::DD_OK) return;
    ok_ = true;
  }
  ~Locked16() {
    if (ok_) BackSurface->Unlock();
  }
  Locked16(const Locked16&) = delete;
  Locked16& operator=(const Locked16&) = delete;
  bool ok() const { return ok_; }
  uint16_t* Row(int32_t y) const { return reinterpret_cast<uint16_t*>(lr_.bits + static_cast<ptrdiff_t>(y) * lr_.pitch); }
  int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // the rectangle on the screen, right and bottom exclusive

 private:
  plat::LockedRect lr_;
  bool ok_ = false;
};

// Average of the four neighbours of (c, r), 5-bit channels.
inline void Neighbours(const Locked16& s, int32_t c, int32_t r, uint32_t out[3]) {
  const uint8_t* l = PixelRGB[s.Row(r)[c - 1]];
  const uint8_t* rt = PixelRGB[s.Row(r)[c + 1]];
  const uint8_t* u = PixelRGB[s.Row(r - 1)[c]];
  const uint8_t* d = PixelRGB[s.Row(r + 1)[c]];
  for (int ch = 0; ch < 3; ++ch) out[ch] = (l[ch] + rt[ch] + u[ch] + d[ch]) >> 2;
}

int SmokePass(const bool fade[3], int32_t x, int32_t y, int32_t w, int32_t h) {
  Locked16 s(x, y, w, h);
  if (!s.ok()) return 0;
  // A pixel is averaged while the run counter stays below the current NoiseTable entry; at the entry
  // the pixel is moved up unchanged, the counter starts again and the table moves on one entry.
  int32_t counter = 0;
  if (SmokePos < 0 || SmokePos >= 10000) SmokePos = 0;
  for (int32_t r = s.y0 + 1; r < s.y1 - 1; ++r)
    for (int32_t c = s.x0 + 1; c < s.x1 - 1; ++c) {
      uint32_t ch[3];
      if (counter < NoiseTable[SmokePos]) {
        Neighbours(s, c, r, ch);
        ++counter;
      } else {
        const uint8_t* p = PixelRGB[s.Row(r)[c]];
        ch[0] = p[0], ch[1] = p[1], ch[2] = p[2];
        counter = 0;
        Advance(SmokePos);
      }
      for (int k = 0; k < 3; ++k)
        if (fade[k] && ch[k] > 0) --ch[k];
      s.Row(r - 1)[c] = Place5(ch[0], ch[1], ch[2]);
    }
  return 1;
}

int NoisePass(const bool on[3], int32_t shift, int32_t x, int32_t y, int32_t w, int32_t h) {
  Locked16 s(x, y, w, h);
  if (!s.ok()) return 0;
  // Shifts beyond 5 saturate every channel anyway; negative ones are none.
  shift = std::clamp(shift, 0, 5);
  if (NoisePos < 0 || NoisePos >= 10000) NoisePos = 0;
  for (int32_t r = s.y0; r < s.y1; ++r) {
    uint16_t* row = s.Row(r);
    for (int32_t c = s.x0; c < s.x1; ++c) {
      uint32_t n = NoiseTable[NoisePos];
      Advance(NoisePos);
      n <<= shift;
      const uint8_t* p = PixelRGB[row[c]];
      auto ch = [&](int k) { return on[k] ? std::min<uint32_t>(p[k] + n, 31) : p[k]; };
      row[c] = Place5(ch(0), ch(1), ch(2));
    }
  }
  return 1;
}

template <class Pixel>
void Enlarge(const plat::LockedRect& from, const plat::LockedRect& to, int32_t x, int32_t y, int32_t w, int32_t h,
             int32_t k, int32_t written) {
  for (int32_t r = 0; r < h; ++r) {
    const Pixel* src = reinterpret_cast<const Pixel*>(from.bits + static_cast<ptrdiff_t>(y + r) * from.pitch) + x;
    for (int32_t v = 0; v < written; ++v) {
      Pixel* dst = reinterpret_cast<Pixel*>(to.bits + static_cast<ptrdiff_t>(r * k + v) * to.pitch);
      for (int32_t c = 0; c < w; ++c)
        for (int32_t u = 0; u < written; ++u) dst[c * k + u] = src[c];
    }
  }
}

// Enlarges the screen rectangle k times into the Buffer object, then copies it back to (x, y).
// The rectangle must lie on the screen; it is cut so that the enlargement fits in the Buffer object.
// grid: each block writes only its top-left written x written pixels.
int Zoom(int32_t k, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t grid) {
  plat::Surface* buffer = DrawObject[kObjBuffer].surface;
  if (!BackSurface || !buffer || buffer->Format() != BackSurface->Format()) return 0;
  if (x < 0 || y < 0 || w < 0 || h < 0 || int64_t(x) + w > BackSurface->Width() ||
      int64_t(y) + h > BackSurface->Height())
    return 0;
  w = std::min(w, buffer->Width() / k);
  h = std::min(h, buffer->Height() / k);
  if (w == 0 || h == 0) return 1;
  plat::LockedRect from, to;
  if (BackSurface->Lock(nullptr, &from, plat::DDLOCK_WAIT) != plat::DD_OK) return 0;
  if (buffer->Lock(nullptr, &to, plat::DDLOCK_WAIT) != plat::DD_OK) {
    BackSurface->Unlock();
    return 0;
  }
  const int32_t written = grid ? (k == 2 ? 1 : 2) : k;
  if (plat::BytesPerPixel(BackSurface->Format()) == 2)
    Enlarge<uint16_t>(from, to, x, y, w, h, k, written);
  else
    Enlarge<uint32_t>(from, to, x, y, w, h, k, written);
  buffer->Unlock();
  BackSurface->Unlock();
  elDraw::PutOpaque(x, y, kObjBuffer, 0, 0, k * w, k * h);
  return 1;
}

void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

namespace elDraw {

int SaveScreen(const char* name, int32_t width, int32_t height) {
  if (!BackSurface) return 0;
  // Only the screen's own pixels can be saved: a larger or empty rectangle is refused.
  if (width <= 0 || height <= 0 || width > BackSurface->Width() || height > BackSurface->Height()) return 0;
  plat::LockedRect lr;
  if (BackSurface->Lock(nullptr, &lr, plat::DDLOCK_WAIT) != plat::DD_OK) return 0;
  const int bpp = plat::BytesPerPixel(BackSurface->Format());
  if (bpp == 2 || bpp == 4) {
    if (FILE* f = elDraw::files::Open(elDraw::files::ProgramPath(name), "wb")) {
      const uint32_t rowBytes = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
      const uint32_t image = rowBytes * static_cast<uint32_t>(height);
      uint8_t head[58] = {'B', 'M'};
      Put32(head + 2, 58 + image);
      Put32(head + 10, 58);
      Put32(head + 14, 40);
      Put32(head + 18, static_cast<uint32_t>(width));
      Put32(head + 22, static_cast<uint32_t>(height));
      Put16(head + 26, 1);
      Put16(head + 28, 24);
      Put32(head + 34, image);
      Put32(head + 38, 2834);
      Put32(head + 42, 2834);
      std::fwrite(head, 1, sizeof head, f);
      std::vector<uint8_t> row(rowBytes, 0);
      for (int32_t y = height - 1; y >= 0; --y) {
        const uint8_t* line = lr.bits + static_cast<ptrdiff_t>(y) * lr.pitch;
        for (int32_t x = 0; x < width; ++x) {
          uint8_t r, g, b;
          if (bpp == 2) {
            const uint8_t* c = PixelRGB[reinterpret_cast<const uint16_t*>(line)[x]];
            r = static_cast<uint8_t>(c[0] << 3), g = static_cast<uint8_t>(c[1] << 3), b = static_cast<uint8_t>(c[2] << 3);
          } else {
            const uint32_t p = reinterpret_cast<const uint32_t*>(line)[x];
            r = static_cast<uint8_t>(p >> RShift), g = static_cast<uint8_t>(p >> GShift), b = static_cast<uint8_t>(p >> BShift);
          }
          row[3 * x] = b, row[3 * x + 1] = g, row[3 * x + 2] = r;
        }
        std::fwrite(row.data(), 1, rowBytes, f);
      }
      std::fclose(f);
    }
  }
  BackSurface->Unlock();
  return 1;
}

int Blur(int32_t x, int32_t y, int32_t width, int32_t height) {
  Locked16 s(x, y, width, height);
  if (!s.ok()) return 0;
  for (int32_t r = s.y0 + 1; r < s.y1 - 1; ++r)
    for (int32_t c = s.x0 + 1; c < s.x1 - 1; ++c) {
      uint32_t ch[3];
      Neighbours(s, c, r, ch);
      s.Row(r)[c] = Place5(ch[0], ch[1], ch[2]);
    }
  return 1;
}

int Smoke(int32_t x, int32_t y, int32_t width, int32_t height) {
  const bool fade[] = {false, false, false};
  return SmokePass(fade, x, y, width, height);
}

int SmokeFade(uint32_t fadeRed, uint32_t fadeGreen, uint32_t fadeBlue, int32_t x, int32_t y, int32_t width,
              int32_t height) {
  const bool fade[] = {fadeRed != 0, fadeGreen != 0, fadeBlue != 0};
  return SmokePass(fade, x, y, width, height);
}

int Noise(int32_t shift, int32_t x, int32_t y, int32_t width, int32_t height) {
  const bool on[] = {true, true, true};
  return NoisePass(on, shift, x, y, width, height);
}

int NoiseRGB(uint32_t red, uint32_t green, uint32_t blue, int32_t shift, int32_t x, int32_t y, int32_t width,
             int32_t height) {
  const bool on[] = {red != 0, green != 0, blue != 0};
  return NoisePass(on, shift, x, y, width, height);
}

int Spotlight(int32_t cx, int32_t cy, int32_t radius, int32_t falloff, int32_t x, int32_t y, int32_t width,
              int32_t height) {
  Locked16 s(x, y, width, height);
  if (!s.ok()) return 0;
  falloff = std::max(falloff, 1);
  const double rad = std::max(radius, 0);
  for (int32_t r = s.y0; r < s.y1; ++r) {
    uint16_t* row = s.Row(r);
    for (int32_t c = s.x0; c < s.x1; ++c) {
      const double dx = c - static_cast<double>(cx), dy = r - static_cast<double>(cy);
      const double beyond = std::sqrt(dx * dx + dy * dy) - rad;
      if (beyond <= 0) continue;
      const int32_t loss = static_cast<int32_t>(std::min(31.0, beyond / falloff));
      const uint8_t* p = PixelRGB[row[c]];
      row[c] = static_cast<uint16_t>(SubTable[0][p[0]][loss] | SubTable[1][p[1]][loss] | SubTable[2][p[2]][loss]);
    }
  }
  return 1;
}

int Zoom2(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t grid) {
  return Zoom(2, x, y, width, height, grid);
}

int Zoom4(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t grid) {
  return Zoom(4, x, y, width, height, grid);
}

}  // namespace elDraw
