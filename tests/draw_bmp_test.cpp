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
  std::string path = std::string(src ? src : ".") + "/fuzz/corpus/bmp_fuzz/" + name;
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

// The pattern every seed picture shows (tools/make_bmp_seeds.py).
uint32_t Expected(int x, int y, bool mono) {
  const uint32_t p[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
  return mono ? ((x + y) % 2 ? 0xFFFFFFu : 0u) : p[(x + y) % 4];
}

void ExpectPattern(const std::string& name, bool mono = false) {
  std::vector<uint8_t> data = Seed(name);
  ASSERT_FALSE(data.empty()) << name;
  plat::Image img;
  ASSERT_TRUE(plat::DecodeBmp(data.data(), data.size(), &img)) << name;
  ASSERT_EQ(img.width, 5) << name;
  ASSERT_EQ(img.height, 3) << name;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x)
      EXPECT_EQ(img.pixels[static_cast<size_t>(y * 5 + x)], Expected(x, y, mono)) << name << " at " << x << "," << y;
}

TEST(Bmp, EveryDepthAndLayout) {
  ExpectPattern("c1.bmp", true);
  ExpectPattern("c4.bmp");
  ExpectPattern("c8_topdown.bmp");
  ExpectPattern("c16.bmp");
  ExpectPattern("c16_565.bmp");
  ExpectPattern("c24.bmp");
  ExpectPattern("c32_topdown.bmp");
  ExpectPattern("c32_v5.bmp");
  ExpectPattern("core8.bmp");
  ExpectPattern("dib8.bin");  // a bitmap as stored among resources: no file header
}

TEST(Bmp, RefusesWhatItCannotRead) {
  plat::Image img;
  std::vector<uint8_t> rle = Seed("rle8.bmp");
  ASSERT_FALSE(rle.empty());
  EXPECT_FALSE(plat::DecodeBmp(rle.data(), rle.size(), &img));
  // Every truncation of a good file is refused (the pixel rows are checked to be there).
  std::vector<uint8_t> good = Seed("c24.bmp");
  for (size_t n = 0; n < good.size(); ++n) EXPECT_FALSE(plat::DecodeBmp(good.data(), n, &img)) << n;
  EXPECT_FALSE(plat::DecodeBmp(nullptr, 10, &img));
  // Header fields that do not fit the data.
  auto patched = [&](size_t at, uint32_t v) {
    std::vector<uint8_t> b = good;
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    return b;
  };
  std::vector<uint8_t> b = patched(18, 0x7FFFFFFF);  // width
  EXPECT_FALSE(plat::DecodeBmp(b.data(), b.size(), &img));
  b = patched(22, 0x80000000u);  // height of the most negative value
  EXPECT_FALSE(plat::DecodeBmp(b.data(), b.size(), &img));
  b = patched(22, 0);
  EXPECT_FALSE(plat::DecodeBmp(b.data(), b.size(), &img));
  b = patched(10, 0xFFFFFFF0u);  // pixel offset past the end
  EXPECT_FALSE(plat::DecodeBmp(b.data(), b.size(), &img));
  b = patched(14, 1000);  // header size
  EXPECT_FALSE(plat::DecodeBmp(b.data(), b.size(), &img));
  b = good;
  b[28] = 7;  // bits per pixel
  EXPECT_FALSE(plat::DecodeBmp(b.data(), b.size(), &img));
  // A palette that claims more entries than the file holds.
  std::vector<uint8_t> p8 = Seed("c4.bmp");
  for (int i = 0; i < 4; ++i) p8[46 + i] = static_cast<uint8_t>(200 >> (8 * i));
  EXPECT_FALSE(plat::DecodeBmp(p8.data(), 60, &img));
}

TEST(Bmp, PaletteIndexBeyondTheColoursUsedIsBlack) {
  std::vector<uint8_t> b = Seed("c8_topdown.bmp");
  ASSERT_FALSE(b.empty());
  b[b.size() - 8] = 200;  // last row: an index the palette (4 colours) does not have
  plat::Image img;
  ASSERT_TRUE(plat::DecodeBmp(b.data(), b.size(), &img));
  bool black = false;
  for (uint32_t p : img.pixels) black = black || p == 0;
  EXPECT_TRUE(black);
}

// More colours declared than the pixel depth can index: the palette keeps the ones a pixel can
// name and the rest are skipped over, wherever they would have landed.
TEST(Bmp, ColoursUsedBeyondTheDepth) {
  plat::Image img;
  std::vector<uint8_t> short3 = Seed("bmp_palette_overflow.bmp");  // 1 bit, 3 colours, no pixel rows
  ASSERT_EQ(short3.size(), 52u);
  EXPECT_FALSE(plat::DecodeBmp(short3.data(), short3.size(), &img));
  std::vector<uint8_t> full = Seed("bmp_clrused256.bmp");  // 1 bit, 256 colours, one row of 8 pixels
  ASSERT_EQ(full.size(), 1068u);
  full[40] = 0x10, full[41] = 0x20, full[42] = 0x30;  // colour 0
  full[1064] = 0xA0;                                   // pixels 1 0 1 0 0 0 0 0
  ASSERT_TRUE(plat::DecodeBmp(full.data(), full.size(), &img));
  ASSERT_EQ(img.width, 8);
  ASSERT_EQ(img.height, 1);
  const uint32_t c0 = 0x302010, c1 = 0x414141;
  const uint32_t want[8] = {c1, c0, c1, c0, c0, c0, c0, c0};
  for (int x = 0; x < 8; ++x) EXPECT_EQ(img.pixels[static_cast<size_t>(x)], want[x]) << x;
}

}  // namespace
