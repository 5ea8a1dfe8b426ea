// BMP decoding in every supported depth and layout; broken files are refused.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/bmp.h"

namespace {

std::vector<uint8_t> Seed(const std::string& name) {
  const char* src = std::getenv("OOMORI_SOURCE_DIR");
  std::ifstream f(std::string(src ? src : ".") + "/fuzz/corpus/bmp_fuzz/" + name, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

bool Decode(const std::vector<uint8_t>& b, plat::Image* img, size_t from = 0) {
  return plat::DecodeBmp(b.data() + from, b.size() - from, img);
}

// Every seed shows P[(x + y) % 4] (1 bit: black and white); the headerless one is read inside a block.
TEST(Bmp, EveryDepthAndLayout) {
  const uint32_t p[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
  for (const std::string name : {"c1.bmp", "c4.bmp", "c8_topdown.bmp", "c16.bmp", "c16_565.bmp", "c24.bmp",
                                 "c32_topdown.bmp", "c32_v5.bmp", "core8.bmp", "dib8.bin"}) {
    std::vector<uint8_t> data = Seed(name);
    const size_t at = name == "dib8.bin" ? 32 : 0;
    data.insert(data.begin(), at, 0);
    plat::Image img;
    ASSERT_TRUE(Decode(data, &img, at) && img.width == 5 && img.height == 3) << name;
    for (int i = 0; i < 15; ++i)
      EXPECT_EQ(img.pixels[i], name == "c1.bmp" ? (i % 5 + i / 5) % 2 * 0xFFFFFFu : p[(i % 5 + i / 5) % 4]) << name << i;
  }
}

TEST(Bmp, RefusesWhatItCannotRead) {
  plat::Image img;
  EXPECT_FALSE(Decode(Seed("rle8.bmp"), &img));
  EXPECT_FALSE(Decode(Seed("bmp_palette_overflow.bmp"), &img));  // 1 bit, 3 colours, no pixel rows
  EXPECT_FALSE(plat::DecodeBmp(nullptr, 10, &img));
  const std::vector<uint8_t> good = Seed("c24.bmp");  // every truncation: the rows are checked to be there
  for (size_t n = 0; n < good.size(); ++n) ASSERT_FALSE(plat::DecodeBmp(good.data(), n, &img)) << n;
  // Header fields that do not fit: width, the most negative height, no height, pixel offset past the
  // end, header size, two planes, bits per pixel.
  const std::pair<size_t, uint32_t> bad[] = {{18, 0x7FFFFFFF}, {22, 0x80000000u}, {22, 0}, {10, 0xFFFFFFF0u},
                                             {14, 1000},       {26, 0x00180002},  {28, 7}};
  for (const auto& [at, value] : bad) {
    std::vector<uint8_t> b = good;
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(value >> (8 * i));
    EXPECT_FALSE(Decode(b, &img)) << at;
  }
  std::vector<uint8_t> p4 = Seed("c4.bmp");
  p4[46] = 200;  // a palette of more entries than the file holds
  EXPECT_FALSE(plat::DecodeBmp(p4.data(), 60, &img));
}

// Indices beyond the colours used are black; colours beyond what the depth can index are skipped.
TEST(Bmp, PaletteBeyondTheColoursUsedAndTheDepth) {
  plat::Image img;
  std::vector<uint8_t> b = Seed("c8_topdown.bmp");
  b[b.size() - 8] = 200;  // last row, first pixel: the palette has 4 colours
  ASSERT_TRUE(Decode(b, &img));
  EXPECT_TRUE(img.pixels[10] == 0 && img.pixels[11] == 0xFFFFFF);
  std::vector<uint8_t> full = Seed("bmp_clrused256.bmp");  // 1 bit, 256 colours, one row of 8 pixels
  full[40] = 0x10, full[41] = 0x20, full[42] = 0x30;        // colour 0
  full[1064] = 0xA0;                                        // pixels 1 0 1 0 0 0 0 0
  ASSERT_TRUE(Decode(full, &img) && img.width == 8 && img.height == 1);
  const uint32_t c0 = 0x302010, c1 = 0x414141;
  EXPECT_EQ(img.pixels, (std::vector<uint32_t>{c1, c0, c1, c0, c0, c0, c0, c0}));
}

}  // namespace
