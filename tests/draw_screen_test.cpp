// Screen set-up in each pixel format and mode, its failures, restore and release; the draw objects.
#include <string>
#include <utility>

#include "el/elDraw.h"
#include "el/elSystem.h"
#include "platform/display.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_input.h"
#include "platform/resources.h"
#include "tests/support/draw_support.h"

using namespace drawtest;

namespace {

std::string LastBox() {
  auto& b = plat::headless::Boxes();
  return b.empty() ? std::string() : b.back().text;
}

class ScreenTest : public DrawTest {};

class Screen32Test : public DrawTest {
  void Configure() override {
    plat::headless::SetModeRefused(16, true);
    elDraw::SetColorDepth(16, 32, 0);
  }
};

TEST_F(Screen32Test, RefusedSixteenBitsFallsBackToThirtyTwo) {
  ASSERT_EQ(screenResult, 1);
  EXPECT_EQ(BackSurface->Format(), plat::PixelFormat::XRGB8888);
  WriteProgramFile("A.BMP", Bmp24(8, 8, [](int x, int) { return x < 4 ? 0x123456u : 0u; }));
  const int32_t n = elDraw::LoadObject("A.BMP", 2);
  elDraw::ClearScreenWhite();
  elDraw::Put(10, 10, n, 0, 0, 8, 8);
  EXPECT_EQ(std::make_pair(PixelAt(BackSurface, 10, 10), PixelAt(BackSurface, 15, 10)), std::make_pair(0x123456u, 0xFFFFFFu));
  elDraw::SetColorKey(0xFF00FF);  // a key of 24 bits
  WriteProgramFile("G.BMP", Bmp24(24, 8, [](int x, int y) { return x % 8 == x / 8 ? 0xFF00FFu : 0x100u * x + y; }));
  elDraw::Put(18, 10, elDraw::LoadObject("G.BMP", 2), 0, 0, 24, 8);  // a key in each run of eight, beside A
  for (int x = 0; x < 24; ++x) ASSERT_EQ(PixelAt(BackSurface, 18 + x, 12), x % 8 == x / 8 ? 0xFFFFFFu : 0x100u * x + 2) << x;
  elDraw::SetFontSmooth(1, 32), elDraw::SetTextColor(0x0000FF, 0, 1);  // red, smoothed in 32 bits: (8 x c + 255) / 8
  elDraw::SmoothTextBox(100, 100, 640, 480, "■", 0), elDraw::EndFontSmooth();
  EXPECT_EQ(std::make_pair(PixelAt(BackSurface, 116, 116), PixelAt(BackSurface, 150, 116)), std::make_pair(0xFF1F1Fu, 0xFFFFFFu));
  EXPECT_EQ(elDraw::FillHalf(0, 0, 10, 10, 0), 0);   // 16-bit only
  EXPECT_EQ(elDraw::PutBlend(0, 0, 31, n, 0, 0, 8, 8), 0);  // so are the effects
  // The pause picture's black is its key on any screen, whatever key was set before.
  WriteProgramFile("P.BMP", Bmp24(640, 480, [](int x, int) { return x < 4 ? 0x123456u : 0u; }));
  elDraw::SetColorKey(0x00FF00);
  elDraw::SetPause("P.BMP", "NONE.BMP", 480);
  elDraw::TogglePause();
  elDraw::SetVSync(0);
  elDraw::ClearScreenWhite();
  elDraw::Present();
  PauseShown = PausePictureHeight = 0;
  elDraw::SetVSync(1);
  EXPECT_EQ(std::make_pair(plat::headless::LastFrame().At(1, 1), plat::headless::LastFrame().At(6, 1)),
            std::make_pair(0x123456u, 0xFFFFFFu));
}

// A window on a desktop of fewer colours than the game asks for: a box names both colour counts; a yes
// to the question sets full screen (and writes 1 to the settings file unless it is "*"), else the
// library shuts down and the answer is 0.
TEST_F(ScreenTest, AWindowOnAPoorerDesktopOffersFullScreen) {
  auto counts = [](std::string a, std::string b) { return "画面が" + a + "色以下に設定されています。\n正しく動作させるには、" + b + "色以上"; };
  struct Case { int32_t depth, desktop, full; const char* file; int answer, result; std::string box; };
  plat::DisplayRestoreMode();
  for (const Case& c : {Case{16, 32, 0, "", 0, 1, ""}, Case{16, 8, 1, "", 0, 1, ""}, Case{15, 8, 0, "", 0, 1, ""},
                        Case{16, 8, 0, "", 1, 0, counts("256", "65536")}, Case{8, 4, 0, "*", 1, 1, counts("16", "256")},
                        Case{32, 16, 0, "SET.DAT", 1, 1, counts("65536", "1670万")}, Case{24, 16, 0, "SET.DAT", 0, 0, counts("65536", "1670万")}}) {
    plat::headless::Boxes().clear(), plat::headless::SetDesktopBits(c.desktop), plat::headless::SetBoxAnswer(c.answer ? 6 : 7);
    ColorDepth = c.depth, FullScreen = c.full;
    elSystem::WriteNumber("SET.DAT", 0);
    EXPECT_EQ(elDraw::CheckWindowColor(c.file), static_cast<uint32_t>(c.result)) << c.depth << " on " << c.desktop;
    const auto& box = plat::headless::Boxes();
    EXPECT_TRUE(c.box.empty() ? box.empty() : box[0].text.find(c.box) != std::string::npos) << c.depth << " on " << c.desktop;
    EXPECT_EQ(elSystem::ReadNumber("SET.DAT") * 10 + FullScreen, c.result && !c.box.empty() ? c.file[0] == 'S' ? 11 : 1 : c.full);
  }
}

// Releasing a full screen minimizes the window, giving the desktop back; a window stays as it is.
TEST_F(ScreenTest, ReleaseMinimizesOnlyAFullScreen) {
  FullScreen = 0, elDraw::Release();
  EXPECT_FALSE(plat::headless::WindowMinimized());
  FullScreen = 1, elDraw::Release();
  EXPECT_TRUE(plat::headless::WindowMinimized());
}

// A 3D device stretches in blits when its driver does; without one, when the emulation does. Release
// gives back the pictures and the screens whatever the device.
TEST_F(ScreenTest, StretchingFollowsTheDeviceAndReleaseFreesEverything) {
  struct Case { bool threeD, driver, emulation; int32_t stretch; };
  for (const Case& c : {Case{true, true, false, 1}, Case{true, false, true, 0}, Case{false, true, false, 0}, Case{false, false, true, 1}}) {
    plat::headless::SetCaps(c.threeD, true, c.driver, c.emulation);
    ASSERT_EQ(elDraw::Screen(640, 480, 1), 1u);  // the first over the fixture's screen, which goes
    EXPECT_EQ(CanStretch, c.stretch) << c.threeD << c.driver << c.emulation;
    elDraw::Release();
    EXPECT_TRUE(DrawObject[kObjBuffer].surface == nullptr && BackSurface == nullptr) << c.threeD;
  }
}

// Each failure of the set-up shows its box once and answers 0.
TEST_F(ScreenTest, FailuresReportTheirBox) {
  struct Case {
    bool noDevice;
    int32_t alt2;
    const char* box;
    int32_t last;  // the depth tried last
  };
  const char* const kNoMode = "elDraw::Screen : 解像度が変更できません";
  for (const Case& c : {Case{false, 24, kNoMode, 24}, Case{false, 0, kNoMode, 32}, Case{true, 0, "elDraw::Screen : DirectDrawが使用できません", 16}}) {
    elDraw::Release();
    plat::headless::Reset();
    plat::headless::ResetDisplay();
    plat::headless::SetModeRefused(16, true);
    plat::headless::SetModeRefused(32, true);
    plat::headless::SetDeviceMissing(c.noDevice);
    elDraw::SetColorDepth(16, 32, c.alt2);
    EXPECT_EQ(elDraw::Screen(640, 480, 1), 0u);
    EXPECT_EQ(LastBox(), c.box);
    EXPECT_EQ(plat::headless::Boxes().size(), 1u);
    EXPECT_EQ(BackSurface, nullptr);
    EXPECT_EQ(ColorDepth, c.last);
  }
  // A fresh system state has no window yet: full screen is refused.
  elDraw::Release();
  plat::headless::Reset();
  plat::headless::ResetDisplay();
  elSystem::ResetState();
  EXPECT_EQ(elDraw::Screen(640, 480, 1), 0u);
  EXPECT_EQ(LastBox(), "elDraw::Screen : フルスクリーン化できません");
  // With no screen and a desktop of no format drawn in, a picture swapped in has no surface to go to.
  static const std::vector<uint8_t> pic = Bmp24(2, 2, [](int32_t, int32_t) { return 0xFFu; });
  plat::AddResource("BITMAP", "NOSURFACE", pic.data(), pic.size());
  plat::headless::SetDesktopBits(8);
  EXPECT_EQ(elDraw::SwapObject("NOSURFACE", 5, 2), 0u);
  EXPECT_EQ(LastBox(), "elDraw::SwapObject : BMPファイルを読み込めません");
}

class ScreenWindowedTest : public DrawTest {
  void Configure() override {
    FullScreen = 0;
    plat::headless::SetDesktopBits(16);
    plat::headless::ResetInput();  // the cursor free
  }
  void TearDown() override {
    DrawTest::TearDown();
    FullScreen = 1;
    CursorClipEnabled = 0;
  }
};

TEST_F(ScreenWindowedTest, PictureFollowsTheWindowAndTheCursorIsFreeUnlessAsked) {
  ASSERT_EQ(screenResult, 1);
  plat::input::ClipRect clip{};
  EXPECT_FALSE(plat::headless::CursorClip(&clip));
  elDraw::FillWhite(0, 0, 10, 10);
  elDraw::SetVSync(0);
  ClientRect = {5, 5, 645, 485}, ClientX = 2, ClientY = 3;  // the client area, 2 and 3 into the window
  elDraw::Present();
  for (int32_t i = 0; i < 20; ++i) EXPECT_EQ(plat::headless::LastFrame().At(i, i), i >= 3 && i < 12 ? 0xFFFFFFu : 0u) << i;
  elDraw::SetVSync(1);
  elDraw::Release();
  CursorClipEnabled = 1;
  ClientX = 30, ClientY = 20;
  ASSERT_EQ(elDraw::Screen(640, 480, 1), 1u);
  ASSERT_TRUE(plat::headless::CursorClip(&clip));
  EXPECT_EQ(clip.left, 30);
  EXPECT_EQ(clip.bottom, 500);
}

TEST_F(ScreenTest, RestoreAfterLossReloadsPicturesWithTheirKeys) {
  WriteProgramFile("PIC.BMP", Bmp24(16, 16, [](int x, int) { return x < 8 ? 0xFF0000u : 0x0000FFu; }));
  WriteProgramFile("TL.BMP", Bmp24(16, 16, [](int x, int y) { return x == 0 && y == 0 ? 0xFF00FFu : 0xFFFFFFu; }));
  const int32_t pic = elDraw::LoadObject("PIC.BMP", 2);
  elDraw::SetColorKeyTopLeft();
  const int32_t tl = elDraw::LoadObject("TL.BMP", 2);
  elDraw::SetColorKey(0);
  const int32_t made = elDraw::CreateObject(16, 16, 2);
  elDraw::PutOpaqueToObject(made, 0, 0, pic, 0, 0, 16, 16);
  plat::headless::LoseSurfaces();
  elDraw::FillWhite(0, 0, 16, 16);
  elDraw::Put(0, 0, pic, 0, 0, 16, 16);  // meets the lost surface: restores everything, is dropped
  EXPECT_EQ(BackSurface->IsLost(), plat::DD_OK);
  EXPECT_EQ(PixelAt(BackSurface, 0, 0), 0u);
  EXPECT_EQ(PixelAt(DrawObject[pic].surface, 0, 0), 0xF800u);
  EXPECT_EQ(PixelAt(DrawObject[pic].surface, 15, 0), 0x001Fu);
  EXPECT_EQ(PixelAt(DrawObject[made].surface, 0, 0), 0u);  // a made picture comes back blank
  elDraw::Put(0, 0, tl, 0, 0, 16, 16);  // the top-left key came back: the magenta corner is left out
  EXPECT_EQ(std::make_pair(PixelAt(BackSurface, 0, 0), PixelAt(BackSurface, 1, 0)), std::make_pair(0u, 0xFFFFu));
}

TEST_F(ScreenTest, ObjectTableLimitsAndBoxes) {
  const std::string name30 = std::string(26, 'N') + ".BMP", name31 = "X" + name30;
  WriteProgramFile(name30, Bmp24(4, 4, [](int, int) { return 0xFFFFFFu; }));
  EXPECT_EQ(elDraw::LoadObject(name30.c_str(), 2), 4);
  EXPECT_EQ(elDraw::LoadObject(name31.c_str(), 2), 0);
  EXPECT_EQ(LastBox(), "elDraw::LoadObject : ファイル名またはリソース名が長すぎます");
  EXPECT_EQ(elDraw::SwapObject(name31.c_str(), 4, 2), 0u);
  EXPECT_EQ(LastBox(), "elDraw::SwapObject : ファイル名またはリソース名が長すぎます");
  EXPECT_EQ(elDraw::LoadObject("NOPE.BMP", 2), 0);  // the slot stays claimed by name
  EXPECT_EQ(LastBox(), "elDraw::LoadObject : BMPファイルを読み込めません");
  EXPECT_EQ(elDraw::CreateObject(0, 10, 2), 0);
  EXPECT_EQ(LastBox(), "elDraw::CreateObject : スプライトを作成できません");
  int32_t last = 0;
  for (int32_t n; (n = elDraw::CreateObject(2, 2, 2)) > 0;) last = n;
  EXPECT_EQ(last, 1023);
  EXPECT_EQ(LastBox(), "elDraw::CreateObject : オブジェクト数が多過ぎます");
  EXPECT_EQ(elDraw::LoadObject(name30.c_str(), 2), 0);
  EXPECT_EQ(LastBox(), "elDraw::LoadObject : オブジェクト数が多過ぎます");
  elDraw::ReleaseObject(9);
  EXPECT_EQ(elDraw::LoadObject(name30.c_str(), 2), 9);
  // A swap keeps the number and reports nothing when it works; out-of-table numbers are refused quietly.
  WriteProgramFile("B.BMP", Bmp24(8, 2, [](int, int) { return 0xFF0000u; }));
  const size_t boxes = plat::headless::Boxes().size();
  EXPECT_EQ(elDraw::SwapObject("B.BMP", 9, 2), 1u);
  EXPECT_EQ(PixelAt(DrawObject[9].surface, 7, 1), 0xF800u);
  EXPECT_EQ(elDraw::SwapObject("B.BMP", 5000, 2), 0u);
  EXPECT_EQ(plat::headless::Boxes().size(), boxes);
  EXPECT_EQ(elDraw::SwapObject("NONE.BMP", 9, 2), 0u);
  EXPECT_EQ(LastBox(), "elDraw::SwapObject : BMPファイルを読み込めません");
  elDraw::ReleaseObject(-1);
  elDraw::ReleaseObject(1024);
}

TEST_F(ScreenTest, ColourKeysDecideWhatAPutLeavesOut) {
  WriteProgramFile("G.BMP", Bmp24(3, 1, [](int x, int) { return x == 0 ? 0xFF00FFu : x == 1 ? 0x00FF00u : 0xFFFFFFu; }));
  auto drawn = [](int32_t n) {
    elDraw::FillColor(0, 0, 3, 1, 0x001F);
    elDraw::Put(0, 0, n, 0, 0, 3, 1);
    return std::to_string(PixelAt(BackSurface, 0, 0) != 0x001F) + std::to_string(PixelAt(BackSurface, 1, 0) != 0x001F) +
           std::to_string(PixelAt(BackSurface, 2, 0) != 0x001F);
  };
  elDraw::SetColorKey(0x00FF00);
  const int32_t g = elDraw::LoadObject("G.BMP", 2);
  EXPECT_EQ(drawn(g), "101");
  elDraw::SetColorKeyTopLeft();
  const int32_t m = elDraw::LoadObject("G.BMP", 2);
  EXPECT_EQ(drawn(m), "011");
  elDraw::SetObjectColorKey(g, 0xFFFFFF);
  EXPECT_EQ(drawn(g), "110");
  elDraw::SetObjectColorKeyTopLeft(g);
  EXPECT_EQ(drawn(g), "011");
  elDraw::SetObjectColorKey(m, 0x00FF00);
  elDraw::CopyColorKey(g, m);
  EXPECT_EQ(drawn(g), "101");
}

}  // namespace
