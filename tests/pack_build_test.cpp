// Building image packs from BMP files on a true-colour screen: the pixel encoding, entry names,
// appending and rebuilding, and the refusal on a 16-bit screen.
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "el/elDraw.h"
#include "platform/headless/headless.h"
#include "tests/support/effects_support.h"

namespace {

using efftest::ReadFile;


// Entry names of a pack in file order.
std::vector<std::string> Names(const std::vector<uint8_t>& b) {
  std::vector<std::string> out;
  size_t at = 0;
  while (at + 4 <= b.size()) {
    const size_t w = b[at] | b[at + 1] << 8, h = b[at + 2] | b[at + 3] << 8;
    at += 4;
    std::string n;
    while (at < b.size() && b[at]) n += static_cast<char>(b[at++]);
    ++at;
    out.push_back(n);
    at += w * h * 2;
  }
  return out;
}

class PackBuildTest : public drawtest::DrawTest {
 protected:
  void Configure() override { elDraw::SetColorDepth(32, 0, 0); }
  void SetUp() override {
    DrawTest::SetUp();
    ASSERT_EQ(screenResult, 1);
    std::remove((drawtest::ProgramDir() + "built.pak").c_str());
    // 4 x 1: RGB(4, 4, 4), black, white, red.
    const uint32_t px[4] = {0x040404, 0x000000, 0xFFFFFF, 0xFF0000};
    drawtest::WriteProgramFile("title.bmp", drawtest::Bmp24(4, 1, [&](int32_t x, int32_t) { return px[x]; }));
    drawtest::WriteProgramFile("Second.BMP", drawtest::Bmp24(1, 2, [](int32_t, int32_t y) { return y ? 0x0000F8u : 0x00F800u; }));
    drawtest::WriteProgramFile("notes.txt", {'x'});
    plat::headless::Boxes().clear();
  }
};

TEST_F(PackBuildTest, PixelsEncodeAsX1R5G5B5WithBlackKept) {
  elDraw::AddToPack("built.pak", "title.bmp");
  std::vector<uint8_t> b = ReadFile(drawtest::ProgramDir() + "built.pak");
  const std::vector<uint8_t> want = {4, 0, 1, 0, 'T', 'I', 'T', 'L', 'E', '.', 'B', 'M', 'P', 0,
                                     0x01, 0x00, 0x00, 0x00, 0xFF, 0x7F, 0x00, 0x7C};
  EXPECT_EQ(b, want);
  EXPECT_TRUE(plat::headless::Boxes().empty());
  for (int32_t n = 4; n < kDrawObjects; ++n) ASSERT_EQ(DrawObject[n].name[0], 0) << n;  // object released
  elDraw::AddToPack("built.pak", "missing.bmp");  // the load reports; nothing is appended
  EXPECT_EQ(ReadFile(drawtest::ProgramDir() + "built.pak").size(), want.size());
}

TEST_F(PackBuildTest, ConvertAppendsEveryBmpAndRestartRebuilds) {
  ASSERT_EQ(elDraw::Convert("built.pak", "", 1), 1u);
  EXPECT_EQ(Names(ReadFile(drawtest::ProgramDir() + "built.pak")), (std::vector<std::string>{"SECOND.BMP", "TITLE.BMP"}));
  ASSERT_EQ(elDraw::Convert("built.pak", "", 0), 1u);
  EXPECT_EQ(Names(ReadFile(drawtest::ProgramDir() + "built.pak")),
            (std::vector<std::string>{"SECOND.BMP", "TITLE.BMP", "SECOND.BMP", "TITLE.BMP"}));
  ASSERT_EQ(elDraw::Convert("built.pak", "", 1), 1u);
  EXPECT_EQ(Names(ReadFile(drawtest::ProgramDir() + "built.pak")).size(), 2u);

  // A sub-directory: the entry keeps only the file's own name.
  mkdir((drawtest::ProgramDir() + "pics").c_str(), 0755);
  drawtest::WriteProgramFile("pics/inner.bmp", drawtest::Bmp24(2, 2, [](int32_t, int32_t) { return 0x808080u; }));
  ASSERT_EQ(elDraw::Convert("sub.pak", "pics", 1), 1u);
  EXPECT_EQ(Names(ReadFile(drawtest::ProgramDir() + "sub.pak")), (std::vector<std::string>{"INNER.BMP"}));

  // The built pack loads back (channels widened on this 32-bit screen).
  elDraw::SetPackFile("built.pak");
  const int32_t n = elDraw::LoadPack("second.bmp", 2);
  ASSERT_GT(n, 0);
  EXPECT_EQ(drawtest::RgbAt(DrawObject[n].surface, 0, 0), 0x00FF00u);
  EXPECT_EQ(drawtest::RgbAt(DrawObject[n].surface, 0, 1), 0x0000FFu);
  EXPECT_TRUE(plat::headless::Boxes().empty());
}

class PackBuild16Test : public drawtest::DrawTest {};

TEST_F(PackBuild16Test, ConvertNeedsATrueColourScreen) {
  ASSERT_EQ(screenResult, 1);
  plat::headless::Boxes().clear();
  EXPECT_EQ(elDraw::Convert("built16.pak", "", 1), 0u);
  ASSERT_EQ(plat::headless::Boxes().size(), 1u);
  EXPECT_EQ(plat::headless::Boxes()[0].text, "elDraw::Convert : 画面をフルカラーにして下さい");
  EXPECT_TRUE(ReadFile(drawtest::ProgramDir() + "built16.pak").empty());
}

}  // namespace
