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

// Every seed shows pixel (x, y) in colour P[(x + y) % 4], black and white alternating for 1 bit
// (tools/make_bmp_seeds.py).
TEST(Bmp, EveryDepthAndLayout) {
  const uint32_t p[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
  for (const char* name : {"c1.bmp", "c4.bmp", "c8_topdown.bmp", "c16.bmp", "c16_565.bmp", "c24.bmp",
                           "c32_topdown.bmp", "c32_v5.bmp", "core8.bmp", "dib8.bin"}) {
    std::vector<uint8_t> data = Seed(name);
    // A bitmap stored among resources has no file header; it is read in place within a larger block.
    if (name == std::string("dib8.bin")) data.insert(data.begin(), 32, 0);
    plat::Image img;
    ASSERT_TRUE(Decode(data, &img, name == std::string("dib8.bin") ? 32 : 0)) << name;
    ASSERT_TRUE(img.width == 5 && img.height == 3) << name;
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x)
        EXPECT_EQ(img.pixels[static_cast<size_t>(y * 5 + x)], name == std::string("c1.bmp") ? (x + y) % 2 * 0xFFFFFFu : p[(x + y) % 4])
            << name << " at " << x << "," << y;
  }
}

TEST(Bmp, RefusesWhatItCannotRead) {
  plat::Image img;
  EXPECT_FALSE(Decode(Seed("rle8.bmp"), &img));
  EXPECT_FALSE(plat::DecodeBmp(nullptr, 10, &img));
  // Every truncation of a good file is refused (the pixel rows are checked to be there).
  const std::vector<uint8_t> good = Seed("c24.bmp");
  for (size_t n = 0; n < good.size(); ++n) ASSERT_FALSE(plat::DecodeBmp(good.data(), n, &img)) << n;
  // Header fields that do not fit the data: width, the most negative height, no height, pixel offset
  // past the end, header size, one plane too many, bits per pixel.
  const struct {
    size_t at;
    uint32_t value;
  } bad[] = {{18, 0x7FFFFFFF}, {22, 0x80000000u}, {22, 0}, {10, 0xFFFFFFF0u}, {14, 1000}, {26, 0x00180002}, {28, 7}};
  for (const auto& c : bad) {
    std::vector<uint8_t> b = good;
    for (int i = 0; i < 4; ++i) b[c.at + i] = static_cast<uint8_t>(c.value >> (8 * i));
    EXPECT_FALSE(Decode(b, &img)) << c.at;
  }
  // A palette that claims more entries than the file holds; 1 bit, 3 colours, no pixel rows.
  std::vector<uint8_t> p4 = Seed("c4.bmp");
  p4[46] = 200;
  EXPECT_FALSE(plat::DecodeBmp(p4.data(), 60, &img));
  EXPECT_FALSE(Decode(Seed("bmp_palette_overflow.bmp"), &img));
}

// Indices beyond the colours used are black; more colours declared than the depth can index are
// skipped over, the palette keeps the ones a pixel can name.
TEST(Bmp, PaletteBeyondTheColoursUsedAndTheDepth) {
  plat::Image img;
  std::vector<uint8_t> b = Seed("c8_topdown.bmp");
  b[b.size() - 8] = 200;  // last row, first pixel: the palette has 4 colours
  ASSERT_TRUE(Decode(b, &img));
  EXPECT_EQ(img.pixels[10], 0u);
  EXPECT_EQ(img.pixels[11], 0xFFFFFFu);
  std::vector<uint8_t> full = Seed("bmp_clrused256.bmp");  // 1 bit, 256 colours, one row of 8 pixels
  ASSERT_EQ(full.size(), 1068u);
  full[40] = 0x10, full[41] = 0x20, full[42] = 0x30;  // colour 0
  full[1064] = 0xA0;                                   // pixels 1 0 1 0 0 0 0 0
  ASSERT_TRUE(Decode(full, &img));
  ASSERT_TRUE(img.width == 8 && img.height == 1);
  const uint32_t c0 = 0x302010, c1 = 0x414141;
  EXPECT_EQ(img.pixels, (std::vector<uint32_t>{c1, c0, c1, c0, c0, c0, c0, c0}));
}

}  // namespace
