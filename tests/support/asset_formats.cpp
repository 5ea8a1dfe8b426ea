#include "tests/support/asset_formats.h"

namespace assetfmt {
namespace {

// A cursor over a byte range; every read checks the remaining length first.
class Reader {
 public:
  Reader(const uint8_t* d, size_t n) : d_(d), n_(n) {}
  bool Seek(size_t p) { return p <= n_ && (p_ = p, true); }
  bool U8(uint8_t* v) { return Num(v); }
  bool Le16(uint16_t* v) { return Num(v); }
  bool Le32(uint32_t* v) { return Num(v); }

 private:
  const uint8_t* d_;
  size_t n_;
  size_t p_ = 0;

  template <typename T>
  bool Num(T* v) {
    if (n_ - p_ < sizeof(T)) return false;
    uint32_t x = 0;
    for (size_t i = 0; i < sizeof(T); ++i) x |= uint32_t{d_[p_ + i]} << (8 * i);
    p_ += sizeof(T);
    *v = static_cast<T>(x);
    return true;
  }
};

}  // namespace

bool ParseBmp(const uint8_t* data, size_t size, Bitmap* out) {
  Reader r(data, size);
  uint32_t file_size, reserved, offset, hsize, compression, image_size, xppm, yppm, used, important;
  uint16_t planes, bpp;
  int32_t w, h;
  if (size < 2 || data[0] != 'B' || data[1] != 'M') return false;
  r.Seek(2);
  if (!r.Le32(&file_size) || !r.Le32(&reserved) || !r.Le32(&offset) || !r.Le32(&hsize)) return false;
  if (hsize != 40 && hsize != 108 && hsize != 124) return false;
  uint32_t uw, uh;
  if (!r.Le32(&uw) || !r.Le32(&uh) || !r.Le16(&planes) || !r.Le16(&bpp) || !r.Le32(&compression) ||
      !r.Le32(&image_size) || !r.Le32(&xppm) || !r.Le32(&yppm) || !r.Le32(&used) || !r.Le32(&important))
    return false;
  w = static_cast<int32_t>(uw);
  h = static_cast<int32_t>(uh);
  if (planes != 1 || w <= 0 || h == 0 || h == INT32_MIN || w > 16384 || h > 16384 || h < -16384) return false;
  out->width = w;
  out->bottom_up = h > 0;
  out->height = h > 0 ? h : -h;
  out->bpp = bpp;
  out->compression = compression;
  out->header_size = hsize;
  if (hsize >= 108) {
    for (uint32_t& m : out->masks)
      if (!r.Le32(&m)) return false;
  } else if (compression == 3) {
    for (int i = 0; i < 3; ++i)
      if (!r.Le32(&out->masks[i])) return false;
  }
  if (!r.Seek(14 + hsize + (hsize == 40 && compression == 3 ? 12 : 0))) return false;
  const size_t wz = static_cast<size_t>(out->width), hz = static_cast<size_t>(out->height);
  const size_t stride = ((wz * bpp + 31) / 32) * 4;
  out->palette.clear();
  out->index.clear();
  out->argb.clear();
  if (bpp == 1 || bpp == 4 || bpp == 8) {
    if (compression != 0) return false;
    uint32_t n = used ? used : (1u << bpp);
    if (n > (1u << bpp)) return false;
    for (uint32_t i = 0; i < n; ++i) {
      uint8_t b, g, rr, z;
      if (!r.U8(&b) || !r.U8(&g) || !r.U8(&rr) || !r.U8(&z)) return false;
      out->palette.push_back(Rgb{rr, g, b});
    }
  } else if (bpp == 32) {
    if (compression != 0 && compression != 3) return false;
  } else {
    return false;
  }
  if (offset > size || stride * hz > size - offset) return false;
  const uint8_t* px = data + offset;
  for (size_t y = 0; y < hz; ++y) {
    const uint8_t* row = px + stride * (out->bottom_up ? hz - 1 - y : y);
    for (size_t x = 0; x < wz; ++x) {
      if (bpp == 32) {
        uint32_t v = static_cast<uint32_t>(row[4 * x]) | static_cast<uint32_t>(row[4 * x + 1]) << 8 |
                     static_cast<uint32_t>(row[4 * x + 2]) << 16 | static_cast<uint32_t>(row[4 * x + 3]) << 24;
        out->argb.push_back(v);
      } else {
        size_t bit = x * bpp;
        uint8_t byte = row[bit / 8];
        uint8_t v = static_cast<uint8_t>((byte >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1));
        if (v >= out->palette.size()) return false;
        out->index.push_back(v);
      }
    }
  }
  return true;
}

}  // namespace assetfmt
