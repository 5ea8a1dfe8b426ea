// A small, bounds-checked BMP reader, independent of the library's, for checks of the game's pictures.
// It answers false for anything it cannot read completely inside the given byte range.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace assetfmt {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

struct Bitmap {
  int32_t width = 0, height = 0;
  uint16_t bpp = 0;
  uint32_t masks[4] = {0, 0, 0, 0};  // R, G, B, A of a V4/V5 header
  std::vector<Rgb> palette;           // for 1..8 bpp
  std::vector<uint8_t> index;         // for 1..8 bpp: width*height palette indices, top row first
  std::vector<uint32_t> argb;         // for 32 bpp: width*height 0xAARRGGBB, top row first
};

// Uncompressed 1/4/8-bit palette pictures and 32-bit BI_RGB/BI_BITFIELDS pictures, in either row order.
bool ParseBmp(const uint8_t* data, size_t size, Bitmap* out);

}  // namespace assetfmt
