// Screen set-up, pixel formats, lookup tables, restore and release; the draw object table.
#include <cstdio>
#include <cstring>
#include <string>

#include "el/elDraw.h"
#include "el/elSystem.h"
#include "el/system/input.h"
#include "platform/display.h"
#include "platform/headless/headless.h"
#include "tests/support/draw_support.h"

using namespace drawtest;

namespace {

std::string LastBox() {
  auto& b = plat::headless::Boxes();
  return b.empty() ? std::string() : b.back().text;
}

class ScreenTest : public DrawTest {};

TEST_F(ScreenTest, RGB565Format) {
  ASSERT_EQ(screenResult, 1);
  EXPECT_EQ(ColorDepth, 16);
  EXPECT_EQ(BackSurface->Format(), plat::PixelFormat::RGB565);
  EXPECT_EQ(RShift5, 11);
  EXPECT_EQ(GShift5, 6);
  EXPECT_EQ(BShift5, 0);
  EXPECT_EQ(RShift, 11);
  EXPECT_EQ(GShift, 5);
  EXPECT_EQ(GMax, 63u);
  EXPECT_EQ(HalfMask, 0x7BEFu);
  EXPECT_EQ(HalfMask2, 0x7BEF7BEFu);
  EXPECT_EQ(WhitePixel, 0xFFFFu);
  EXPECT_EQ(ScreenWidth, 640);
  EXPECT_EQ(ClipRight, 640);
  EXPECT_EQ(ClipBottom, 480);
  EXPECT_EQ(CanStretch, 1);  // the software device stretches in emulation
  EXPECT_EQ(Hardware3D, 0);
  // 16-bit tables: a 6-bit channel is halved; white is 31, 31, 31.
  EXPECT_EQ(PixelRGB[0xFFFF][0], 31);
  EXPECT_EQ(PixelRGB[0xFFFF][1], 31);
  EXPECT_EQ(PixelRGB[0x07E0][1], 31);
  EXPECT_EQ(PixelRGB[0x0040][1], 1);  // green field 2 -> 1
  EXPECT_EQ(PixelRGB[0xF800][0], 31);
  // Placed values use the 5-bit shifts.
  EXPECT_EQ(SubTable[0][20][5], 15 << 11);
  EXPECT_EQ(SubTable[1][20][5], 15 << 6);
  EXPECT_EQ(SubTable[2][5][20], 0);
}

TEST_F(ScreenTest, Tables) {
  ASSERT_EQ(screenResult, 1);
  EXPECT_EQ(SinTable[0], 0);
  EXPECT_EQ(SinTable[180], 0);
  EXPECT_EQ(SinTable[90], 360);
  EXPECT_EQ(SinTable[270], -360);
  EXPECT_EQ(SinTable[449], 359);
  EXPECT_EQ(SinTable[30], 179);  // 0.49999.. x 360, truncated
  for (int x = 0; x < 32; ++x)
    for (int y = 0; y < 32; ++y) {
      ASSERT_EQ(CrossFadeTable[2][0][x][y], x);
      ASSERT_EQ(CrossFadeTable[2][31][x][y], y);
      ASSERT_EQ(CrossFadeTable[0][0][x][y], x << 11);
    }
  EXPECT_EQ(AddFadeTable[2][10][30][20], 31);  // (30 - 10) + 20, limited
  EXPECT_EQ(AddFadeTable[2][10][5][20], 20);
  EXPECT_EQ(GreyTable[93], 31);
  EXPECT_EQ(GreyTable[10], 3);
  bool small = true;
  for (uint8_t v : NoiseTable) small = small && v <= 2;
  EXPECT_TRUE(small);
}

TEST_F(ScreenTest, InternalObjects) {
  ASSERT_EQ(screenResult, 1);
  const char* names[4] = {"内部用１", "内部用２", "内部用３", "内部用４"};
  for (int n = 0; n < 4; ++n) {
    EXPECT_STREQ(DrawObject[n].name, names[n]);
    ASSERT_NE(DrawObject[n].surface, nullptr);
    EXPECT_EQ(DrawObject[n].width, 640);
    EXPECT_EQ(DrawObject[n].placement, 2u);
    uint32_t lo = 1, hi = 1;
    EXPECT_EQ(DrawObject[n].surface->GetColorKey(&lo, &hi), plat::DD_OK);
    EXPECT_EQ(lo, 0u);
  }
  EXPECT_EQ(DrawObject[4].surface, nullptr);
  EXPECT_EQ(DrawObject[4].name[0], 0);
  // The other modules were started: input devices, the font list, the text description.
  EXPECT_TRUE(DInput);
  EXPECT_GT(FontCount, 0);
  EXPECT_NE(FontDesc, nullptr);
  EXPECT_EQ(TextAutoPut, 1u);
  EXPECT_EQ(PausePicture, 0);
  EXPECT_EQ(PresentSrcRect.right, 640);
  EXPECT_EQ(ClientRect.bottom, 480);
}

class Screen555Test : public DrawTest {
  void Configure() override { plat::headless::SetSixteenBitFormat(plat::PixelFormat::RGB555); }
};

TEST_F(Screen555Test, RGB555Format) {
  ASSERT_EQ(screenResult, 1);
  EXPECT_EQ(RShift5, 10);
  EXPECT_EQ(GShift5, 5);
  EXPECT_EQ(BShift5, 0);
  EXPECT_EQ(HalfMask, 0x3DEFu);
  EXPECT_EQ(WhitePixel, 0x7FFFu);
  EXPECT_EQ(PixelRGB[0x7FFF][1], 31);
  EXPECT_EQ(PixelRGB[0x03E0][1], 31);
  // A key of green in 5-5-5.
  WriteProgramFile("K.BMP", Bmp24(4, 4, [](int, int) { return 0x00FF00u; }));
  elDraw::SetColorKey(0x00FF00);
  int32_t n = elDraw::LoadObject("K.BMP", 2);
  uint32_t lo = 0;
  DrawObject[n].surface->GetColorKey(&lo, nullptr);
  EXPECT_EQ(lo, 0x03E0u);
}

class ScreenFallbackTest : public DrawTest {
  void Configure() override {
    plat::headless::SetModeRefused(16, true);
    elDraw::SetColorDepth(16, 32, 0);
  }
};

TEST_F(ScreenFallbackTest, RefusedSixteenBitsFallsBackToThirtyTwo) {
  ASSERT_EQ(screenResult, 1);
  EXPECT_EQ(ColorDepth, 32);
  EXPECT_EQ(BackSurface->Format(), plat::PixelFormat::XRGB8888);
  EXPECT_EQ(WhitePixel, 0xFFFFFFu);
  EXPECT_EQ(RShift5, 16);  // 8-bit fields: no extra shift
  EXPECT_EQ(GShift, 8);
  // Puts work on 32-bit pixels as well; the 16-bit software fill refuses.
  WriteProgramFile("A.BMP", Bmp24(8, 8, [](int x, int) { return x < 4 ? 0x123456u : 0u; }));
  int32_t n = elDraw::LoadObject("A.BMP", 2);
  elDraw::ClearScreenWhite();
  elDraw::Put(10, 10, n, 0, 0, 8, 8);
  EXPECT_EQ(PixelAt(BackSurface, 10, 10), 0x123456u);
  EXPECT_EQ(PixelAt(BackSurface, 15, 10), 0xFFFFFFu);  // black is the key
  EXPECT_EQ(elDraw::FillHalf(0, 0, 10, 10, 0), 0);
  // The smoothed text works on 8-bit channels here: full white inside a solid glyph.
  elDraw::SetFontSmooth(1, 32);
  elDraw::SetTextColor(0xFFFFFF, 0, 1);
  elDraw::SmoothTextBoxNoPut(100, 100, 600, 400, "■", 0);
  elDraw::EndFontSmooth();
  EXPECT_EQ(PixelAt(DrawObject[kObjFont].surface, 116, 116), 0xFFFFFFu);
  EXPECT_EQ(PixelAt(DrawObject[kObjFont].surface, 300, 300), 0u);
}

class ScreenNoModeTest : public DrawTest {
  void Configure() override {
    plat::headless::SetModeRefused(16, true);
    plat::headless::SetModeRefused(32, true);
    elDraw::SetColorDepth(16, 32, 24);
  }
};

TEST_F(ScreenNoModeTest, EveryDepthRefused) {
  EXPECT_EQ(screenResult, 0);
  EXPECT_EQ(ColorDepth, 24);  // the depth tried last
  EXPECT_EQ(LastBox(), "elDraw::Screen : 解像度が変更できません");
  EXPECT_EQ(plat::headless::Boxes().size(), 1u);
  EXPECT_EQ(ErrorFlag, 1);
  EXPECT_EQ(BackSurface, nullptr);
}

class ScreenNoDeviceTest : public DrawTest {
  void Configure() override { plat::headless::SetDeviceMissing(true); }
};

TEST_F(ScreenNoDeviceTest, NoDisplay) {
  EXPECT_EQ(screenResult, 0);
  EXPECT_EQ(LastBox(), "elDraw::Screen : DirectDrawが使用できません");
}

class ScreenWindowedTest : public DrawTest {
  void Configure() override {
    FullScreen = 0;
    plat::headless::SetDesktopBits(16);
  }
  void TearDown() override {
    DrawTest::TearDown();
    FullScreen = 1;
  }
};

TEST_F(ScreenWindowedTest, DesktopDepthAndClipper) {
  ASSERT_EQ(screenResult, 1);
  EXPECT_EQ(ColorDepth, 16);
  EXPECT_TRUE(Clipper);
  EXPECT_TRUE(PrimarySurface->HasClipper());
  EXPECT_EQ(PixelRGB[0xFFFF][2], 31);
  // The presented picture follows the window: a move shifts the destination rectangle, and the
  // clipper cuts what falls outside.
  elDraw::FillWhite(0, 0, 10, 10);
  elDraw::SetVSync(0);
  ClientRect = {5, 5, 645, 485};
  elDraw::Present();
  const auto& f = plat::headless::LastFrame();
  EXPECT_EQ(f.At(4, 4), 0u);
  EXPECT_EQ(f.At(5, 5), 0xFFFFFFu);
  EXPECT_EQ(f.At(14, 14), 0xFFFFFFu);
  EXPECT_EQ(f.At(15, 15), 0u);
  elDraw::SetVSync(1);
}

TEST_F(ScreenWindowedTest, ColourCheck) {
  ASSERT_EQ(screenResult, 1);
  // The desktop has enough colours for 16 bits: nothing to ask.
  EXPECT_EQ(elDraw::CheckWindowColor("*"), 1u);
  EXPECT_TRUE(plat::headless::Boxes().empty());
  ColorDepth = 32;
  plat::headless::SetBoxAnswer(plat::IDYES);
  EXPECT_EQ(elDraw::CheckWindowColor("*"), 1u);
  ASSERT_EQ(plat::headless::Boxes().size(), 2u);
  EXPECT_NE(plat::headless::Boxes()[0].text.find("画面が65536色以下に設定されています。\n"), std::string::npos);
  EXPECT_NE(plat::headless::Boxes()[0].text.find("1670万色以上に設定するか、"), std::string::npos);
  EXPECT_EQ(plat::headless::Boxes()[1].text.rfind("フルスクリーンに切り換えますか？", 0), 0u);
  EXPECT_EQ(FullScreen, 1);
  FullScreen = 0;
  plat::headless::SetBoxAnswer(plat::IDYES);
  EXPECT_EQ(elDraw::CheckWindowColor("full.txt"), 1u);
  EXPECT_EQ(plat::headless::Boxes().back().text.rfind("フルスクリーンに設定し直しますか？", 0), 0u);
  EXPECT_EQ(elSystem::ReadNumber("full.txt"), 1);
  FullScreen = 0;
  ColorDepth = 32;
}

TEST_F(ScreenTest, SetClipStoresWithoutTest) {
  elDraw::SetClip(50, 60, 10, 20);
  EXPECT_EQ(ClipLeft, 50);
  EXPECT_EQ(ClipBottom, 20);
  WriteProgramFile("A.BMP", Bmp24(8, 8, [](int, int) { return 0xFFFFFFu; }));
  int32_t n = elDraw::LoadObject("A.BMP", 2);
  elDraw::Put(0, 0, n, 0, 0, 8, 8);  // an inverted clip lets nothing through
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 60; ++x) ASSERT_EQ(PixelAt(BackSurface, x, y), 0u);
}

TEST_F(ScreenTest, RestoreAfterLoss) {
  ASSERT_EQ(screenResult, 1);
  WriteProgramFile("PIC.BMP", Bmp24(16, 16, [](int x, int) { return x < 8 ? 0xFF0000u : 0x0000FFu; }));
  WriteProgramFile("TL.BMP", Bmp24(16, 16, [](int x, int y) { return x == 0 && y == 0 ? 0xFF00FFu : 0xFFFFFFu; }));
  int32_t pic = elDraw::LoadObject("PIC.BMP", 2);
  elDraw::SetColorKeyTopLeft();
  int32_t tl = elDraw::LoadObject("TL.BMP", 2);
  elDraw::SetColorKey(0);
  int32_t made = elDraw::CreateObject(16, 16, 2);
  elDraw::FillWhite(0, 0, 16, 16);
  elDraw::PutOpaqueToObject(made, 0, 0, pic, 0, 0, 16, 16);
  ASSERT_EQ(PixelAt(DrawObject[made].surface, 0, 0), 0xF800u);

  plat::headless::LoseSurfaces();
  EXPECT_EQ(BackSurface->IsLost(), plat::DDERR_SURFACELOST);
  // The put meets the lost surface, restores everything and is dropped.
  elDraw::Put(0, 0, pic, 0, 0, 16, 16);
  EXPECT_EQ(BackSurface->IsLost(), plat::DD_OK);
  EXPECT_EQ(PrimarySurface->IsLost(), plat::DD_OK);
  EXPECT_EQ(PixelAt(BackSurface, 0, 0), 0u);
  // Loaded pictures come back with their keys; the created object comes back blank.
  EXPECT_EQ(PixelAt(DrawObject[pic].surface, 0, 0), 0xF800u);
  EXPECT_EQ(PixelAt(DrawObject[pic].surface, 15, 0), 0x001Fu);
  EXPECT_EQ(PixelAt(DrawObject[made].surface, 0, 0), 0u);
  EXPECT_STREQ(DrawObject[made].name, "*");
  uint32_t key = 0;
  DrawObject[tl].surface->GetColorKey(&key, nullptr);
  EXPECT_EQ(key, 0xF81Fu);
  EXPECT_EQ(DrawObject[tl].colorKey, 0xFFFFFFFFu);
  EXPECT_EQ(pic, 4);
  EXPECT_EQ(tl, 5);
  // The key setting left behind is the last reloaded object's (top-left).
  EXPECT_EQ(ColorKeyTopLeft, 1);
  // The present restores as well.
  plat::headless::LoseSurfaces();
  int shown = plat::headless::ShownFrames();
  elDraw::SetVSync(0);
  elDraw::Present();
  EXPECT_EQ(plat::headless::ShownFrames(), shown);  // that frame is dropped
  elDraw::Present();
  EXPECT_EQ(plat::headless::ShownFrames(), shown + 1);
  elDraw::SetVSync(1);
}

TEST_F(ScreenTest, ReleaseEmptiesEverything) {
  WriteProgramFile("A.BMP", Bmp24(8, 8, [](int, int) { return 0xFFFFFFu; }));
  elDraw::LoadObject("A.BMP", 2);
  elDraw::SetFontSmooth(1, 16);  // a text span still open on the Font buffer object
  elDraw::Release();
  EXPECT_EQ(TextDC, nullptr);
  elDraw::EndFontSmooth();
  EXPECT_EQ(BackSurface, nullptr);
  EXPECT_EQ(PrimarySurface, nullptr);
  EXPECT_FALSE(DDraw);
  for (int n = 0; n < 8; ++n) {
    EXPECT_EQ(DrawObject[n].surface, nullptr);
    EXPECT_EQ(DrawObject[n].name[0], 0);
  }
  // Drawing after release draws nothing and does not crash.
  elDraw::Put(0, 0, 4, 0, 0, 8, 8);
  elDraw::FillWhite(0, 0, 8, 8);
  elDraw::Present();
  elDraw::Release();
}

// --- Draw objects ---------------------------------------------------------------------------------

class ObjectTest : public DrawTest {};

TEST_F(ObjectTest, NameLengthLimit) {
  std::string name30(26, 'N');
  name30 += ".BMP";
  ASSERT_EQ(name30.size(), 30u);
  WriteProgramFile(name30, Bmp24(4, 4, [](int, int) { return 0xFFFFFFu; }));
  EXPECT_EQ(elDraw::LoadObject(name30.c_str(), 2), 4);
  std::string name31 = "X" + name30;
  EXPECT_EQ(elDraw::LoadObject(name31.c_str(), 2), 0);
  EXPECT_EQ(LastBox(), "elDraw::LoadObject : ファイル名またはリソース名が長すぎます");
  EXPECT_EQ(DrawObject[5].name[0], 0);  // refused before a slot was claimed
  EXPECT_EQ(elDraw::SwapObject(name31.c_str(), 4, 2), 0u);
  EXPECT_EQ(LastBox(), "elDraw::SwapObject : ファイル名またはリソース名が長すぎます");
}

TEST_F(ObjectTest, MissingPictureKeepsSlotClaimed) {
  EXPECT_EQ(elDraw::LoadObject("NOPE.BMP", 2), 0);
  EXPECT_EQ(LastBox(), "elDraw::LoadObject : BMPファイルを読み込めません");
  EXPECT_STREQ(DrawObject[4].name, "NOPE.BMP");
  EXPECT_EQ(DrawObject[4].surface, nullptr);
  elDraw::Put(0, 0, 4, 0, 0, 8, 8);  // a slot without a surface draws nothing
  WriteProgramFile("A.BMP", Bmp24(4, 4, [](int, int) { return 0xFFFFFFu; }));
  EXPECT_EQ(elDraw::LoadObject("A.BMP", 2), 5);
  // A broken file is refused like a missing one.
  std::vector<uint8_t> bad = Bmp24(4, 4, [](int, int) { return 0xFFFFFFu; });
  bad.resize(60);
  WriteProgramFile("BAD.BMP", bad);
  EXPECT_EQ(elDraw::LoadObject("BAD.BMP", 2), 0);
  EXPECT_EQ(LastBox(), "elDraw::LoadObject : BMPファイルを読み込めません");
}

TEST_F(ObjectTest, TableFullAndReuse) {
  WriteProgramFile("A.BMP", Bmp24(2, 2, [](int, int) { return 0xFFFFFFu; }));
  for (int i = 0; i < 1020; ++i) ASSERT_EQ(elDraw::CreateObject(2, 2, 2), 4 + i);
  EXPECT_EQ(elDraw::LoadObject("A.BMP", 2), 0);
  EXPECT_EQ(LastBox(), "elDraw::LoadObject : オブジェクト数が多過ぎます");
  EXPECT_EQ(elDraw::CreateObject(2, 2, 2), 0);
  EXPECT_EQ(LastBox(), "elDraw::CreateObject : オブジェクト数が多過ぎます");
  elDraw::ReleaseObject(4);
  EXPECT_EQ(DrawObject[4].name[0], 0);
  EXPECT_EQ(elDraw::LoadObject("A.BMP", 2), 4);
}

TEST_F(ObjectTest, ColourKeys) {
  WriteProgramFile("G.BMP", Bmp24(4, 4, [](int x, int y) { return x == 0 && y == 0 ? 0xFF00FFu : 0x00FF00u; }));
  elDraw::SetColorKey(0x00FF00);
  int32_t g = elDraw::LoadObject("G.BMP", 2);
  uint32_t key = 0;
  DrawObject[g].surface->GetColorKey(&key, nullptr);
  EXPECT_EQ(key, 0x07E0u);
  EXPECT_EQ(DrawObject[g].colorKey, 0x00FF00u);
  // The colour match leaves the picture's top-left pixel as it was.
  EXPECT_EQ(PixelAt(DrawObject[g].surface, 0, 0), 0xF81Fu);

  elDraw::SetColorKeyTopLeft();
  int32_t m = elDraw::LoadObject("G.BMP", 2);
  DrawObject[m].surface->GetColorKey(&key, nullptr);
  EXPECT_EQ(key, 0xF81Fu);
  elDraw::SetColorKey(0x00FF00);
  int32_t back = elDraw::LoadObject("G.BMP", 2);
  DrawObject[back].surface->GetColorKey(&key, nullptr);
  EXPECT_EQ(key, 0x07E0u);

  elDraw::SetObjectColorKey(back, 0xFFFFFF);
  DrawObject[back].surface->GetColorKey(&key, nullptr);
  EXPECT_EQ(key, 0xFFFFu);
  EXPECT_EQ(DrawObject[back].colorKey, 0xFFFFFFu);
  elDraw::SetObjectColorKeyTopLeft(back);
  DrawObject[back].surface->GetColorKey(&key, nullptr);
  EXPECT_EQ(key, 0xF81Fu);
  EXPECT_EQ(DrawObject[back].colorKey, 0xFFFFFFFFu);
  elDraw::CopyColorKey(g, back);
  DrawObject[g].surface->GetColorKey(&key, nullptr);
  EXPECT_EQ(key, 0xF81Fu);
  EXPECT_EQ(DrawObject[g].colorKey, 0x00FF00u);  // the record is not changed
}

TEST_F(ObjectTest, SwapKeepsTheNumber) {
  WriteProgramFile("A.BMP", Bmp24(4, 4, [](int, int) { return 0xFFFFFFu; }));
  WriteProgramFile("B.BMP", Bmp24(8, 2, [](int, int) { return 0xFF0000u; }));
  int32_t a = elDraw::LoadObject("A.BMP", 2);
  EXPECT_EQ(elDraw::SwapObject("B.BMP", a, 2), 1u);
  EXPECT_STREQ(DrawObject[a].name, "B.BMP");
  EXPECT_EQ(DrawObject[a].width, 8);
  EXPECT_EQ(DrawObject[a].height, 2);
  EXPECT_EQ(PixelAt(DrawObject[a].surface, 7, 1), 0xF800u);
  EXPECT_EQ(elDraw::SwapObject("NONE.BMP", a, 2), 0u);
  EXPECT_EQ(LastBox(), "elDraw::SwapObject : BMPファイルを読み込めません");
  // Out-of-table numbers are refused quietly.
  EXPECT_EQ(elDraw::SwapObject("A.BMP", 5000, 2), 0u);
  elDraw::ReleaseObject(-1);
  elDraw::ReleaseObject(1024);
}

// The game's pictures are resources of the program; a file of the same name beside the program wins.
TEST_F(ObjectTest, ResourceAndFileOrder) {
  std::remove((ProgramDir() + "BACK").c_str());  // left by an earlier run
  elDraw::SetColorKey(0x00FF00);
  int32_t back = elDraw::LoadObject("BACK", 2);
  ASSERT_EQ(back, 4);
  EXPECT_EQ(DrawObject[back].width, 400);
  EXPECT_EQ(DrawObject[back].height, 300);
  int32_t hito = elDraw::LoadObject("hito1", 2);  // resource names compare without case
  ASSERT_EQ(hito, 5);
  EXPECT_EQ(DrawObject[hito].width, 300);
  elDraw::ClearScreen();
  elDraw::PutStretch(0, 0, back, 0, 0, 400, 300, 640, 480);
  elDraw::Put(170, 180, hito, 0, 0, 300, 300);
  elDraw::SetVSync(0);
  elDraw::Present();
  elDraw::SetVSync(1);
  plat::headless::WritePng(plat::headless::LastFrame(), "resources.png");
  int drawn = 0;
  for (int32_t y = 0; y < 480; y += 4)
    for (int32_t x = 0; x < 640; x += 4) drawn += PixelAt(BackSurface, x, y) != 0;
  EXPECT_GT(drawn, 160 * 120 * 9 / 10);

  WriteProgramFile("BACK", Bmp24(8, 4, [](int, int) { return 0xFF0000u; }));
  int32_t file = elDraw::LoadObject("BACK", 2);
  EXPECT_EQ(DrawObject[file].width, 8);
  EXPECT_EQ(PixelAt(DrawObject[file].surface, 0, 0), 0xF800u);
  std::remove((ProgramDir() + "BACK").c_str());
}

TEST_F(ObjectTest, CreatedObjectIsKeyedAndNamedStar) {
  int32_t n = elDraw::CreateObject(100, 50, 2);
  EXPECT_STREQ(DrawObject[n].name, "*");
  EXPECT_EQ(DrawObject[n].width, 100);
  EXPECT_EQ(DrawObject[n].surface->Width(), 100);
  EXPECT_EQ(elDraw::CreateObject(0, 10, 2), 0);
  EXPECT_EQ(LastBox(), "elDraw::CreateObject : スプライトを作成できません");
}

}  // namespace
