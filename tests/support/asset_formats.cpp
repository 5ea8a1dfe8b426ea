#include "tests/support/asset_formats.h"

namespace assetfmt {

bool ParseBmp(const uint8_t* data, size_t size, Bitmap* out) {
  // An n-byte little-endian field at `at`, when it lies wholly inside the data.
  auto le = [data, size](size_t at, size_t n, uint32_t* v) {
    if (at > size || size - at < n) return false;
    *v = 0;
    for (size_t i = 0; i < n; ++i) *v |= uint32_t{data[at + i]} << (8 * i);
    return true;
  };
  uint32_t offset, hsize, w, h, planes, bpp, comp, used;
  if (size < 2 || data[0] != 'B' || data[1] != 'M' || !le(10, 4, &offset) || !le(14, 4, &hsize) || !le(18, 4, &w) ||
      !le(22, 4, &h) || !le(26, 2, &planes) || !le(28, 2, &bpp) || !le(30, 4, &comp) || !le(46, 4, &used))
    return false;
  const int32_t sh = static_cast<int32_t>(h);
  if ((hsize != 40 && hsize != 108 && hsize != 124) || planes != 1 || w == 0 || w > 16384 || sh == 0 ||
      sh > 16384 || sh < -16384)
    return false;
  *out = Bitmap{};
  out->width = static_cast<int32_t>(w);
  out->height = sh > 0 ? sh : -sh;
  out->bpp = static_cast<uint16_t>(bpp);
  for (int i = 0; hsize >= 108 && i < 4; ++i)
    if (!le(54 + 4 * i, 4, &out->masks[i])) return false;
  const bool indexed = bpp == 1 || bpp == 4 || bpp == 8;
  if (indexed ? comp != 0 || used > (1u << bpp) : bpp != 32 || (comp != 0 && comp != 3)) return false;
  for (uint32_t i = 0, c; indexed && i < (used ? used : 1u << bpp); ++i) {
    if (!le(14 + hsize + 4 * i, 3, &c)) return false;
    out->palette.push_back(Rgb{static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c)});
  }
  const size_t stride = (size_t{w} * bpp + 31) / 32 * 4, rows = static_cast<size_t>(out->height);
  if (offset > size || stride * rows > size - offset) return false;
  for (size_t y = 0; y < rows; ++y) {
    const size_t row = offset + stride * (sh > 0 ? rows - 1 - y : y);  // bottom-up unless the height is negative
    for (size_t x = 0; x < w; ++x) {
      uint32_t v = 0;
      if (bpp == 32) {
        le(row + 4 * x, 4, &v);
        out->argb.push_back(v);
        continue;
      }
      v = data[row + x * bpp / 8] >> (8 - bpp - x * bpp % 8) & ((1u << bpp) - 1);
      if (v >= out->palette.size()) return false;
      out->index.push_back(static_cast<uint8_t>(v));
    }
  }
  return true;
}

}  // namespace assetfmt
