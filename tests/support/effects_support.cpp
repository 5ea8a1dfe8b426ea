#include "tests/support/effects_support.h"

#include <cstdio>

#include "el/elDraw.h"

namespace efftest {

uint16_t P5(uint32_t r, uint32_t g, uint32_t b) {
  return static_cast<uint16_t>((r << RShift5) | (g << GShift5) | (b << BShift5));
}

void Split5(uint32_t p, uint32_t* r, uint32_t* g, uint32_t* b) {
  *r = PixelRGB[p & 0xFFFF][0];
  *g = PixelRGB[p & 0xFFFF][1];
  *b = PixelRGB[p & 0xFFFF][2];
}

int32_t MakeObject(int32_t w, int32_t h, const std::function<uint16_t(int32_t, int32_t)>& pixel) {
  int32_t n = elDraw::CreateObject(w, h, 2);
  if (n <= 0) return n;
  plat::Surface* s = DrawObject[n].surface;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) reinterpret_cast<uint16_t*>(s->Row(y))[x] = pixel(x, y);
  return n;
}

void FillScreen(const std::function<uint16_t(int32_t, int32_t)>& pixel) {
  for (int32_t y = 0; y < BackSurface->Height(); ++y)
    for (int32_t x = 0; x < BackSurface->Width(); ++x)
      reinterpret_cast<uint16_t*>(BackSurface->Row(y))[x] = pixel(x, y);
}

uint16_t At(int32_t x, int32_t y) { return reinterpret_cast<const uint16_t*>(BackSurface->Row(y))[x]; }

uint16_t Coded(int32_t x, int32_t y) { return P5(static_cast<uint32_t>(x & 31), static_cast<uint32_t>(y & 31), 1); }

}  // namespace efftest
