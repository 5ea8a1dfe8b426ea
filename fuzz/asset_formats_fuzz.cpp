// Arbitrary bytes through the test suite's BMP reader: it must stay inside the input and, when it
// accepts the input, describe something consistent with it.
#include <cstdint>
#include <cstdlib>

#include "tests/support/asset_formats.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  assetfmt::Bitmap b;
  if (assetfmt::ParseBmp(data, size, &b)) {
    size_t n = static_cast<size_t>(b.width) * static_cast<size_t>(b.height);
    if (b.bpp == 32 ? b.argb.size() != n : b.index.size() != n) std::abort();
    for (uint8_t i : b.index)
      if (i >= b.palette.size()) std::abort();
  }
  return 0;
}
