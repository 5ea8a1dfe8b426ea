// BMP decoding for the bitmap loaders (platform/gdi.h LoadBitmapFile / LoadBitmapResource) and the
// fuzz target fuzz/bmp_fuzz.cpp. Reads 1-, 4-, 8-, 16-, 24- and 32-bit pictures, bottom-up and
// top-down, uncompressed or with channel masks; run-length compressed pictures are refused. Every
// offset and size is checked against the data: malformed input is refused, never read past.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace plat {

struct Image {
  int32_t width = 0, height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, rows top to bottom
};

// data is either a whole .bmp file (starting with "BM") or a bare bitmap (info header first, as
// bitmaps are stored among an executable's resources). False when it cannot be decoded.
bool DecodeBmp(const uint8_t* data, size_t size, Image* out);

}  // namespace plat
