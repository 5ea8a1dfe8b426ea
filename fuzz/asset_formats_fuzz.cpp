// Arbitrary bytes through every asset reader: each must stay inside the input and, when it accepts
// the input, describe something consistent with it.
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
  assetfmt::Wave w;
  if (assetfmt::ParseWave(data, size, &w)) {
    if (w.data_offset > size || w.samples.size() > size - w.data_offset) std::abort();
  }
  assetfmt::Midi m;
  if (assetfmt::ParseMidi(data, size, &m)) {
    if (m.track.size() != m.tracks) std::abort();
  }
  int jw, jh, jc;
  assetfmt::ParseJpegSize(data, size, &jw, &jh, &jc);
  assetfmt::Mp3Info mi;
  if (assetfmt::ParseMp3(data, size, &mi) && (mi.frames == 0 || mi.sample_rate == 0)) std::abort();
  return 0;
}
