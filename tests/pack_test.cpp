// BMP decoding in every supported depth and layout (broken files refused), and image packs: loaded and
// swapped by name on a 16-bit screen, built from BMP files on a true-colour one.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "el/elDraw.h"
#include "platform/bmp.h"
#include "platform/headless/headless.h"
#include "tests/support/effects_support.h"

using namespace drawtest;

namespace {

std::vector<uint8_t> Pack(const std::string& name) { return efftest::ReadFile(ProgramDir() + name); }
std::vector<uint8_t> Seed(const std::string& name) {
  const char* src = std::getenv("OOMORI_SOURCE_DIR");
  return efftest::ReadFile(std::string(src ? src : ".") + "/fuzz/corpus/bmp_fuzz/" + name);
}
bool Decode(const std::vector<uint8_t>& b, plat::Image* img, size_t from = 0) {
  return plat::DecodeBmp(b.data() + from, b.size() - from, img);
}
std::string LastBox() { return plat::headless::Boxes().empty() ? "" : plat::headless::Boxes().back().text; }
bool NoObjectsFrom(int32_t n) {
  while (n < kDrawObjects && !DrawObject[n].name[0]) ++n;
  return n == kDrawObjects;
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
  // A field narrower than 8 bits widens by repeating its bits: 5-6-5 grey 0x8410 reads as 84 82 84.
  std::vector<uint8_t> grey = Seed("c16_565.bmp");
  const size_t bits = grey[10] | grey[11] << 8;  // the first row stored is the bottom one
  grey[bits] = 0x10, grey[bits + 1] = 0x84;
  plat::Image img;
  ASSERT_TRUE(Decode(grey, &img));
  EXPECT_EQ(img.pixels[10], 0x848284u);
}

TEST(Bmp, RefusesWhatItCannotReadAndBoundsThePalette) {
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
  // Indices beyond the colours used are black; colours beyond what the depth can index are skipped.
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

// One entry: width, height, name with its NUL, X1R5G5B5 pixels.
void Entry(std::vector<uint8_t>& pack, const std::string& name, uint16_t w, uint16_t h, const std::vector<uint16_t>& px) {
  for (uint16_t v : {w, h}) pack.insert(pack.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)});
  pack.insert(pack.end(), name.c_str(), name.c_str() + name.size() + 1);
  for (uint16_t p : px) pack.insert(pack.end(), {static_cast<uint8_t>(p), static_cast<uint8_t>(p >> 8)});
}

class PackTest : public DrawTest {
 protected:
  void SetUp() override {
    DrawTest::SetUp();
    ASSERT_EQ(screenResult, 1);
    std::vector<uint8_t> pack;
    Entry(pack, "OTHER.BMP", 3, 3, std::vector<uint16_t>(9, 0x1234));
    Entry(pack, "TITLE.BMP", 2, 2, {0x7FFF, 0x7C00, 0x0000, 0x0001});
    Entry(pack, "TWICE.BMP", 1, 1, {0x03E0});
    Entry(pack, "TWICE.BMP", 1, 1, {0x001F});
    Entry(pack, std::string(123, 'N') + ".BMP", 4, 1, {0x7C00, 0x7C00, 0x7C00, 0x7C00});  // the longest name
    WriteProgramFile("test.pak", pack);
    elDraw::SetPackFile("test.pak");
    plat::headless::Boxes().clear();
  }
  static uint32_t Px(int32_t n, int32_t x, int32_t y) { return PixelAt(DrawObject[n].surface, x, y); }
};

TEST_F(PackTest, LoadAndSwapByWholeNameInAnyCaseAndReloadLostObjects) {
  const int32_t a = elDraw::LoadPack("Title.Bmp", 2), twice = elDraw::LoadPack("twice.bmp", 2);
  const int32_t b = elDraw::LoadPack("OTHER.BMP", 2);
  ASSERT_TRUE(a > 0 && twice > a && b > twice);
  EXPECT_TRUE(DrawObject[a].width == 2 && DrawObject[a].height == 2 && !std::strcmp(DrawObject[a].name, "TITLE.BMP"));
  EXPECT_TRUE(Px(a, 0, 0) == 0xFFDF && Px(a, 1, 0) == 0xF800 && Px(a, 0, 1) == 0 && Px(a, 1, 1) == 0x0001);
  EXPECT_EQ(Px(twice, 0, 0), 0x07C0u);  // the first of two entries wins
  efftest::FillScreen([](int32_t, int32_t) { return uint16_t{0x1111}; });
  elDraw::Put(10, 10, a, 0, 0, 2, 2);  // black is the key
  EXPECT_TRUE(efftest::At(10, 11) == 0x1111 && efftest::At(11, 11) == 0x0001);
  // A swap keeps the number; the neighbour is untouched and no scratch object is left.
  EXPECT_EQ(elDraw::SwapPack((std::string(123, 'n') + ".bmp").c_str(), a, 2), a);
  EXPECT_TRUE(DrawObject[a].width == 4 && DrawObject[a].height == 1 && Px(a, 3, 0) == 0xF800);
  EXPECT_TRUE(DrawObject[b].width == 3 && NoObjectsFrom(b + 1));
  EXPECT_TRUE(plat::headless::Boxes().empty()) << LastBox();
  EXPECT_EQ(elDraw::LoadPack("title", 2), 0);
  EXPECT_EQ(LastBox(), "elDraw::LoadPack : BMPファイルを読み込めません");
  EXPECT_EQ(elDraw::SwapPack("none.bmp", a, 2), 0);
  EXPECT_EQ(LastBox(), "elDraw::SwapPack : BMPファイルを読み込めません");
  EXPECT_EQ(DrawObject[a].width, 4);  // a failed search leaves the object alone
  EXPECT_EQ(elDraw::Convert("refused.pak", "", 1), 0u);  // building needs a true-colour screen
  EXPECT_EQ(LastBox(), "elDraw::Convert : 画面をフルカラーにして下さい");
  plat::headless::Boxes().clear();
  plat::headless::LoseSurfaces();
  elDraw::Restore();
  EXPECT_TRUE(Px(a, 0, 0) == 0xF800 && Px(b, 2, 2) == 0x2454);  // 0x1234 as 5-6-5
  EXPECT_TRUE(plat::headless::Boxes().empty()) << LastBox();
}

TEST_F(PackTest, MissingAndDamagedPacks) {
  elDraw::SetPackFile("nothing.pak");
  EXPECT_EQ(elDraw::SwapPack("TITLE.BMP", 4, 2), 0);
  EXPECT_EQ(LastBox(), "elDraw::SwapPack : パックファイル名が指定されていません");
  // Pixels cut short, a name without its end, no pixels, a name over 127 characters, no header.
  std::vector<uint8_t> cut, empty, longName, open = {2, 0, 2, 0, 'O', 'P', 'E', 'N'};
  Entry(cut, "CUT.BMP", 100, 100, {1, 2, 3});
  Entry(empty, "EMPTY.BMP", 0, 5, {});
  Entry(longName, std::string(130, 'L'), 1, 1, {1});
  Entry(longName, "AFTER.BMP", 1, 1, {1});
  const std::pair<std::vector<uint8_t>, const char*> cases[] = {
      {cut, "CUT.BMP"}, {open, "OPEN"}, {empty, "EMPTY.BMP"}, {longName, "AFTER.BMP"}, {{0, 0}, "A.BMP"}};
  for (const auto& [bytes, name] : cases) {
    WriteProgramFile("bad.pak", bytes);
    elDraw::SetPackFile("bad.pak");
    EXPECT_EQ(elDraw::LoadPack(name, 2), 0) << name;
    EXPECT_EQ(LastBox(), "elDraw::LoadPack : BMPファイルを読み込めません") << name;
  }
  EXPECT_EQ(elDraw::LoadPack(std::string(128, 'A').c_str(), 2), 0);
  EXPECT_TRUE(NoObjectsFrom(4));
}

class PackBuildTest : public DrawTest {
  void Configure() override { elDraw::SetColorDepth(32, 0, 0); }
};

TEST_F(PackBuildTest, BuildEncodesX1R5G5B5KeepsBlackAndAppendsOrRebuilds) {
  ASSERT_EQ(screenResult, 1);
  std::remove((ProgramDir() + "built.pak").c_str());
  const uint32_t px[4] = {0x040404, 0x000000, 0xFFFFFF, 0xFF0000};  // RGB(4, 4, 4), black, white, red
  WriteProgramFile("title.bmp", Bmp24(4, 1, [&](int32_t x, int32_t) { return px[x]; }));
  WriteProgramFile("Second.BMP", Bmp24(1, 2, [](int32_t, int32_t y) { return y ? 0x0000F8u : 0x00F800u; }));
  WriteProgramFile("notes.txt", {'x'});
  elDraw::AddToPack("built.pak", "title.bmp");
  EXPECT_TRUE(NoObjectsFrom(4));                  // the picture's object is released
  elDraw::AddToPack("built.pak", "missing.bmp");  // the load reports; nothing is appended
  EXPECT_EQ(Pack("built.pak"), (std::vector<uint8_t>{4, 0, 1, 0, 'T', 'I', 'T', 'L', 'E', '.', 'B', 'M', 'P', 0, 0x01,
                                                     0x00, 0x00, 0x00, 0xFF, 0x7F, 0x00, 0x7C}));
  EXPECT_EQ(elDraw::Convert("built.pak", "", 0), 1u);  // appends both pictures (19 and 22 bytes)
  EXPECT_EQ(Pack("built.pak").size(), 63u);
  EXPECT_EQ(elDraw::Convert("built.pak", "", 1), 1u);  // rebuilds
  EXPECT_EQ(Pack("built.pak").size(), 41u);
  // From a directory, the entry keeps the file's own name: 表 (UTF-8 on disk) as CP932, its 5C no separator.
  std::filesystem::remove_all(ProgramDir() + "pics");  // nothing left from an earlier run
  mkdir((ProgramDir() + "pics").c_str(), 0755);
  WriteProgramFile("pics/\xE8\xA1\xA8.bmp", Bmp24(1, 1, [](int32_t, int32_t) { return 0x808080u; }));
  ASSERT_EQ(elDraw::Convert("sub.pak", "pics", 1), 1u);
  EXPECT_EQ(Pack("sub.pak"), (std::vector<uint8_t>{1, 0, 1, 0, 0x95, 0x5C, '.', 'B', 'M', 'P', 0, 0x10, 0x42}));
  elDraw::SetPackFile("built.pak");  // loads back, channels widened on this 32-bit screen
  const int32_t n = elDraw::LoadPack("second.bmp", 2);
  ASSERT_GT(n, 0);
  EXPECT_EQ(RgbAt(DrawObject[n].surface, 0, 0), 0x00FF00u);
  EXPECT_EQ(RgbAt(DrawObject[n].surface, 0, 1), 0x0000FFu);
}

}  // namespace
