// Loading and swapping image pack entries: names, the 5-6-5 and 5-5-5 decodes, duplicates, damaged packs.
#include <string>
#include <vector>

#include "el/elDraw.h"
#include "platform/headless/headless.h"
#include "tests/support/effects_support.h"

using namespace efftest;

namespace {

void Entry(std::vector<uint8_t>& pack, const std::string& name, uint16_t w, uint16_t h,
           const std::vector<uint16_t>& pixels) {
  pack.push_back(static_cast<uint8_t>(w));
  pack.push_back(static_cast<uint8_t>(w >> 8));
  pack.push_back(static_cast<uint8_t>(h));
  pack.push_back(static_cast<uint8_t>(h >> 8));
  pack.insert(pack.end(), name.begin(), name.end());
  pack.push_back(0);
  for (uint16_t p : pixels) {
    pack.push_back(static_cast<uint8_t>(p));
    pack.push_back(static_cast<uint8_t>(p >> 8));
  }
}

class PackLoadTest : public drawtest::DrawTest {
 protected:
  void SetUp() override {
    DrawTest::SetUp();
    ASSERT_EQ(screenResult, 1);
    std::vector<uint8_t> pack;
    Entry(pack, "OTHER.BMP", 3, 3, std::vector<uint16_t>(9, 0x1234));
    Entry(pack, "TITLE.BMP", 2, 2, {0x7FFF, 0x7C00, 0x0000, 0x0001});
    Entry(pack, "TWICE.BMP", 1, 1, {0x03E0});
    Entry(pack, "TWICE.BMP", 1, 1, {0x001F});
    Entry(pack, "WIDE.BMP", 4, 1, {0x7C00, 0x7C00, 0x7C00, 0x7C00});
    Entry(pack, LongName(), 1, 1, {0x7C00});
    drawtest::WriteProgramFile("test.pak", pack);
    elDraw::SetPackFile("test.pak");
    plat::headless::Boxes().clear();
  }
  uint32_t ObjPixel(int32_t n, int32_t x, int32_t y) { return drawtest::PixelAt(DrawObject[n].surface, x, y); }
  // An entry name of the longest length a pack holds.
  static std::string LongName() { return std::string(123, 'N') + ".BMP"; }
  std::string LastBox() { return plat::headless::Boxes().empty() ? "" : plat::headless::Boxes().back().text; }
};

TEST_F(PackLoadTest, NamesMatchInAnyCaseButOnlyWhole) {
  const int32_t a = elDraw::LoadPack("title.bmp", 2);
  ASSERT_GT(a, 0);
  EXPECT_EQ(DrawObject[a].width, 2);
  EXPECT_EQ(DrawObject[a].height, 2);
  EXPECT_STREQ(DrawObject[a].name, "TITLE.BMP");
  EXPECT_EQ(DrawObject[a].sourceKind, 1u);
  EXPECT_GT(elDraw::LoadPack("Title.Bmp", 2), a);
  EXPECT_TRUE(plat::headless::Boxes().empty());
  EXPECT_EQ(elDraw::LoadPack("title", 2), 0);
  EXPECT_EQ(LastBox(), "elDraw::LoadPack : BMPファイルを読み込めません");
}

TEST_F(PackLoadTest, FiveSixFiveDecodeDropsGreensLowBit) {
  const int32_t a = elDraw::LoadPack("TITLE.BMP", 2);
  ASSERT_GT(a, 0);
  EXPECT_EQ(ObjPixel(a, 0, 0), 0xFFDFu);
  EXPECT_EQ(ObjPixel(a, 1, 0), 0xF800u);
  EXPECT_EQ(ObjPixel(a, 0, 1), 0x0000u);
  EXPECT_EQ(ObjPixel(a, 1, 1), 0x0001u);
  // Black is the key: a keyed put leaves the screen's pixel there.
  FillScreen([](int32_t, int32_t) { return uint16_t{0x1111}; });
  elDraw::Put(10, 10, a, 0, 0, 2, 2);
  EXPECT_EQ(At(10, 11), 0x1111);
  EXPECT_EQ(At(11, 11), 0x0001);
}

TEST_F(PackLoadTest, TheFirstOfTwoEntriesWins) {
  const int32_t a = elDraw::LoadPack("twice.bmp", 2);
  ASSERT_GT(a, 0);
  EXPECT_EQ(ObjPixel(a, 0, 0), 0x07C0u);  // green 31 of the first entry
}

TEST_F(PackLoadTest, SwapKeepsTheObjectNumber) {
  const int32_t a = elDraw::LoadPack("TITLE.BMP", 2);
  const int32_t b = elDraw::LoadPack("OTHER.BMP", 2);
  ASSERT_GT(a, 0);
  ASSERT_GT(b, a);
  EXPECT_EQ(elDraw::SwapPack("wide.bmp", a, 2), a);
  EXPECT_EQ(DrawObject[a].width, 4);
  EXPECT_EQ(DrawObject[a].height, 1);
  EXPECT_STREQ(DrawObject[a].name, "WIDE.BMP");
  EXPECT_EQ(ObjPixel(a, 3, 0), 0xF800u);
  EXPECT_EQ(DrawObject[b].width, 3);  // the neighbour is untouched
  // No scratch objects are left behind.
  for (int32_t n = b + 1; n < kDrawObjects; ++n) ASSERT_EQ(DrawObject[n].name[0], 0) << n;
  EXPECT_EQ(elDraw::SwapPack("none.bmp", a, 2), 0);
  EXPECT_EQ(LastBox(), "elDraw::SwapPack : BMPファイルを読み込めません");
  EXPECT_EQ(DrawObject[a].width, 4);  // a failed search leaves the object alone
}

TEST_F(PackLoadTest, LostPackObjectsAreReloaded) {
  const int32_t a = elDraw::LoadPack("TITLE.BMP", 2);
  ASSERT_GT(a, 0);
  const int32_t b = elDraw::LoadPack(LongName().c_str(), 2);
  ASSERT_GT(b, 0);
  plat::headless::LoseSurfaces();
  elDraw::Restore();
  EXPECT_EQ(ObjPixel(a, 0, 0), 0xFFDFu);
  EXPECT_EQ(ObjPixel(a, 1, 1), 0x0001u);
  EXPECT_EQ(DrawObject[a].sourceKind, 1u);
  EXPECT_EQ(ObjPixel(b, 0, 0), 0xF800u);  // the long name found its entry again
  EXPECT_STREQ(DrawObject[b].name, LongName().c_str());
  EXPECT_TRUE(plat::headless::Boxes().empty()) << LastBox();
}

TEST_F(PackLoadTest, MissingAndDamagedPacks) {
  ImagePackPath[0] = 0;
  EXPECT_EQ(elDraw::LoadPack("TITLE.BMP", 2), 0);
  EXPECT_EQ(LastBox(), "elDraw::LoadPack : パックファイル名が指定されていません");
  elDraw::SetPackFile("nothing.pak");
  EXPECT_EQ(elDraw::SwapPack("TITLE.BMP", 4, 2), 0);
  EXPECT_EQ(LastBox(), "elDraw::SwapPack : パックファイル名が指定されていません");

  // Pixels cut short, a name without its end, an entry of no pixels, a name over 127 characters,
  // a file too short for a header.
  std::vector<uint8_t> cut;
  Entry(cut, "CUT.BMP", 100, 100, {1, 2, 3});
  std::vector<uint8_t> open = {2, 0, 2, 0, 'O', 'P', 'E', 'N'};
  std::vector<uint8_t> empty;
  Entry(empty, "EMPTY.BMP", 0, 5, {});
  std::vector<uint8_t> longName;
  Entry(longName, std::string(130, 'L'), 1, 1, {1});
  Entry(longName, "AFTER.BMP", 1, 1, {1});
  const struct {
    const char* file;
    std::vector<uint8_t> bytes;
    const char* name;
  } cases[] = {{"cut.pak", cut, "CUT.BMP"},
               {"open.pak", open, "OPEN"},
               {"empty.pak", empty, "EMPTY.BMP"},
               {"long.pak", longName, "AFTER.BMP"},
               {"zero.pak", {0, 0}, "A.BMP"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    drawtest::WriteProgramFile(c.file, c.bytes);
    elDraw::SetPackFile(c.file);
    plat::headless::Boxes().clear();
    EXPECT_EQ(elDraw::LoadPack(c.name, 2), 0);
    EXPECT_EQ(LastBox(), "elDraw::LoadPack : BMPファイルを読み込めません");
  }
  EXPECT_EQ(elDraw::LoadPack(std::string(128, 'A').c_str(), 2), 0);
  for (int32_t n = 4; n < kDrawObjects; ++n) ASSERT_EQ(DrawObject[n].name[0], 0) << n;
}

class PackLoad555Test : public PackLoadTest {
  void Configure() override { plat::headless::SetSixteenBitFormat(plat::PixelFormat::RGB555); }
};

TEST_F(PackLoad555Test, FiveFiveFiveDecodeIsExact) {
  const int32_t a = elDraw::LoadPack("TITLE.BMP", 2);
  ASSERT_GT(a, 0);
  EXPECT_EQ(ObjPixel(a, 0, 0), 0x7FFFu);
  EXPECT_EQ(ObjPixel(a, 1, 0), 0x7C00u);
  EXPECT_EQ(ObjPixel(a, 1, 1), 0x0001u);
}

}  // namespace
