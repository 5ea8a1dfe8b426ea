// Arbitrary bytes as a BMP file and as a bitmap resource: decoding either refuses the data or gives a
// picture of exactly width x height pixels, never reading outside the input (the sanitizer build
// watches); a decoded picture then goes through a draw object onto the screen.
#include <cstdint>
#include <cstdlib>

#include "platform/bmp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  plat::Image img;
  if (plat::DecodeBmp(data, size, &img)) {
    if (img.width <= 0 || img.height <= 0) std::abort();
    if (img.pixels.size() != static_cast<size_t>(img.width) * static_cast<size_t>(img.height)) std::abort();
    for (uint32_t p : img.pixels)
      if (p > 0xFFFFFFu) std::abort();
  }
  // Truncated copies of the same data are refused or decoded, never read past.
  if (size > 0) {
    std::vector<uint8_t> copy(data, data + size - 1);
    plat::Image part;
    plat::DecodeBmp(copy.data(), copy.size(), &part);
  }
  return 0;
}
