#include "platform/bmp.h"

#include <algorithm>
#include <optional>

namespace plat {
namespace {

uint32_t U16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t U32(const uint8_t* p) { return U16(p) | U16(p + 2) << 16; }

// Pictures larger than this many pixels are refused (a hostile header must not make us allocate
// gigabytes).
constexpr uint64_t kMaxPixels = 64u * 1024 * 1024;

struct Channel {
  uint32_t mask;
  int shift = 0;
  int bits = 0;
  uint8_t Get(uint32_t v) const {
    if (!mask) return 0;
    uint32_t x = (v & mask) >> shift;
    if (bits >= 8) return static_cast<uint8_t>(x >> (bits - 8));
    // Widen by repeating the field's bits.
    uint32_t out = 0;
    for (int have = 0; have < 8; have += bits) out = (out << bits) | x;
    int total = ((8 + bits - 1) / bits) * bits;
    return static_cast<uint8_t>(out >> (total - 8));
  }
  static Channel Of(uint32_t mask) {
    Channel c{mask};
    if (!mask) return c;
    while (!((mask >> c.shift) & 1)) ++c.shift;
    while (c.shift + c.bits < 32 && ((mask >> (c.shift + c.bits)) & 1)) ++c.bits;
    return c;
  }
};

}  // namespace

bool DecodeBmp(const uint8_t* data, size_t size, Image* out) {
  if (!data || !out) return false;
  size_t base = 0;          // where the info header starts
  std::optional<uint64_t> bitsOffset;  // from the file header, when there is one
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
    if (size < 14) return false;
    bitsOffset = U32(data + 10);
    base = 14;
  }
  if (size - base < 4) return false;
  const uint8_t* h = data + base;
  uint32_t hsize = U32(h);
  int64_t width, height;
  uint32_t planes, bpp, compression = 0, clrUsed = 0;
  uint32_t masks[] = {0, 0, 0};
  size_t paletteEntry = 4;
  if (hsize == 12) {
    if (size - base < 12) return false;
    width = U16(h + 4);
    height = static_cast<int16_t>(U16(h + 6));
    planes = U16(h + 8);
    bpp = U16(h + 10);
    paletteEntry = 3;
  } else if (hsize >= 40 && hsize <= 124) {
    if (size - base < hsize) return false;
    width = static_cast<int32_t>(U32(h + 4));
    height = static_cast<int32_t>(U32(h + 8));
    planes = U16(h + 12);
    bpp = U16(h + 14);
    compression = U32(h + 16);
    clrUsed = U32(h + 32);
    if (hsize >= 52) {
      masks[0] = U32(h + 40), masks[1] = U32(h + 44), masks[2] = U32(h + 48);
    }
  } else {
    return false;
  }
  if (planes != 1) return false;
  bool topDown = height < 0;
  if (topDown) height = -height;
  if (width <= 0 || height <= 0 || width > 32767 || height > 32767) return false;
  if (uint64_t(width) * uint64_t(height) > kMaxPixels) return false;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;

  size_t pos = base + hsize;
  if (compression == 3 || compression == 6) {  // BI_BITFIELDS / BI_ALPHABITFIELDS
    if (bpp != 16 && bpp != 32) return false;
    if (hsize == 40) {  // masks follow the header
      if (size - pos < 12) return false;
      masks[0] = U32(data + pos), masks[1] = U32(data + pos + 4), masks[2] = U32(data + pos + 8);
      pos += compression == 6 ? 16 : 12;
      if (pos > size) return false;
    }
  } else if (compression == 0) {
    if (bpp == 16) masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    if (bpp == 32) masks[0] = 0xFF0000, masks[1] = 0x00FF00, masks[2] = 0x0000FF;
  } else {
    return false;  // run-length and embedded JPEG/PNG pictures are not read
  }

  std::vector<uint32_t> palette;
  if (bpp <= 8) {
    uint32_t count = clrUsed ? clrUsed : (1u << bpp);
    count = std::min(count, 256u);
    // Without a colour count, a file header's pixel offset tells how many entries were written
    // (old headers often store fewer than the full table).
    if (clrUsed == 0 && bitsOffset && *bitsOffset > pos && (*bitsOffset - pos) / paletteEntry < count)
      count = static_cast<uint32_t>((*bitsOffset - pos) / paletteEntry);
    if ((size - pos) / paletteEntry < count) return false;
    // The table holds what a pixel of this depth can index; further declared colours are only
    // skipped over. Indices beyond the colours given stay black.
    palette.assign(1u << bpp, 0);
    const uint32_t kept = std::min<uint32_t>(count, 1u << bpp);
    for (uint32_t i = 0; i < kept; ++i) {
      const uint8_t* e = data + pos + i * paletteEntry;
      palette[i] = uint32_t(e[2]) << 16 | uint32_t(e[1]) << 8 | e[0];
    }
    pos += size_t(count) * paletteEntry;
  }
  if (bitsOffset) {
    if (*bitsOffset > size) return false;
    pos = static_cast<size_t>(*bitsOffset);
  }
  const uint64_t stride = ((uint64_t(width) * bpp + 31) / 32) * 4;
  if (stride * uint64_t(height) > size - pos) return false;

  Channel ch[] = {Channel::Of(masks[0]), Channel::Of(masks[1]), Channel::Of(masks[2])};
  out->width = static_cast<int32_t>(width);
  out->height = static_cast<int32_t>(height);
  out->pixels.assign(static_cast<size_t>(width * height), 0);
  for (int64_t row = 0; row < height; ++row) {
    const uint8_t* src = data + pos + stride * static_cast<uint64_t>(row);
    int64_t y = topDown ? row : height - 1 - row;
    uint32_t* dst = out->pixels.data() + y * width;
    for (int64_t x = 0; x < width; ++x) {
      uint32_t p;
      switch (bpp) {
        case 1: p = palette[(src[x >> 3] >> (7 - (x & 7))) & 1]; break;
        case 4: p = palette[(src[x >> 1] >> ((x & 1) ? 0 : 4)) & 15]; break;
        case 8: p = palette[src[x]]; break;
        case 24: p = uint32_t(src[3 * x + 2]) << 16 | uint32_t(src[3 * x + 1]) << 8 | src[3 * x]; break;
        default: {
          uint32_t v = bpp == 16 ? U16(src + 2 * x) : U32(src + 4 * x);
          p = uint32_t(ch[0].Get(v)) << 16 | uint32_t(ch[1].Get(v)) << 8 | ch[2].Get(v);
        }
      }
      dst[x] = p;
    }
  }
  return true;
}

}  // namespace plat
