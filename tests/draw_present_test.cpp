// The present: fade and pause overlays, the vertical-blank switch, grab, the frame-rate line.
#include "el/elDraw.h"
#include "el/elSystem.h"
#include "platform/clock.h"
#include "platform/headless/headless.h"
#include "tests/support/draw_support.h"

using namespace drawtest;

namespace {

class PresentTest : public DrawTest {
 protected:
  int32_t tiles = 0;
  void SetUp() override {
    DrawTest::SetUp();
    ASSERT_EQ(screenResult, 1);
    // Fade sheet: ten 64 x 48 frames side by side; frame f is grey level 24 (f + 1), with a black
    // (transparent) pixel at its top-left.
    WriteProgramFile("FADE.BMP", Bmp24(640, 48, [](int x, int y) {
                       if (x % 64 == 0 && y == 0) return 0u;
                       uint32_t v = 24u * (uint32_t(x / 64) + 1);
                       return v << 16 | v << 8 | v;
                     }));
    tiles = elDraw::LoadFadeTiles("FADE.BMP");
    FadeStep = FadeDirection = 0;
    PauseShown = 0;
    elDraw::SetVSync(0);
  }
  void TearDown() override {
    elDraw::SetVSync(1);
    FadeStep = FadeDirection = 0;
    PauseShown = 0;
    PausePictureHeight = 0;
    DrawTest::TearDown();
  }
  // The fade frame shown at (100, 100), or -1 when the screen there is untouched (black).
  int FrameShown() {
    uint32_t p = plat::headless::LastFrame().At(100, 100);
    if (p == 0) return -1;
    return int((p & 0xFF) / 24) - 1;
  }
};

TEST_F(PresentTest, FadeOutShowsTenFrames) {
  ASSERT_GT(tiles, 0);
  elDraw::FadeOut();
  for (int i = 0; i < 10; ++i) {
    elDraw::ClearScreen();
    elDraw::Present();
    EXPECT_EQ(FrameShown(), i) << "present " << i;
    EXPECT_EQ(plat::headless::LastFrame().At(64, 48), 0u);  // the sheet's key pixel leaves the screen
  }
  EXPECT_EQ(FadeDirection, 0);
  EXPECT_EQ(FadeStep, 0);
  elDraw::ClearScreen();
  elDraw::Present();
  EXPECT_EQ(FrameShown(), -1);
}

TEST_F(PresentTest, FadeInCountsDown) {
  elDraw::FadeIn();
  for (int i = 9; i >= 0; --i) {
    elDraw::ClearScreen();
    elDraw::Present();
    EXPECT_EQ(FrameShown(), i);
  }
  EXPECT_EQ(FadeDirection, 0);
  elDraw::ClearScreen();
  elDraw::Present();
  EXPECT_EQ(FrameShown(), -1);
}

TEST_F(PresentTest, FadeOverlaysStayOnTheFrozenPicture) {
  elDraw::ClearScreen();
  elDraw::FadeOut();
  elDraw::Present();
  elDraw::Present();  // no scene draws in between: frame 1 lies over frame 0
  EXPECT_EQ(FrameShown(), 1);
  EXPECT_EQ(plat::headless::LastFrame().At(0, 0), 0u);  // key pixels of both frames let the old picture show
}

TEST_F(PresentTest, PauseScreen) {
  elDraw::TogglePause();  // no pause picture yet
  EXPECT_EQ(PauseShown, 0);
  WriteProgramFile("PAUSE.BMP", Bmp24(640, 1000, [](int, int y) { return y < 500 ? 0xFF0000u : 0x0000FFu; }));
  WriteProgramFile("PTILE.BMP", Bmp24(64, 48, [](int, int) { return 0x00FF00u; }));
  EXPECT_EQ(elDraw::SetPause("PAUSE.BMP", "PTILE.BMP", 1000), 1000);
  int32_t picture = PausePicture;
  EXPECT_GT(picture, 0);
  elDraw::TogglePause();
  EXPECT_EQ(PauseShown, 1);
  elDraw::ClearScreen();
  elDraw::Present();
  EXPECT_EQ(plat::headless::LastFrame().At(320, 240), 0xFF0000u);
  // Holding the down key for 10 s scrolls to the end of the picture and stops there.
  KeyHeldPaused = 0x28;
  FrameSeconds = 0.5f;
  for (int i = 0; i < 20; ++i) elDraw::Present();
  EXPECT_FLOAT_EQ(PauseScroll, 520.0f);
  EXPECT_EQ(plat::headless::LastFrame().At(320, 0), 0x0000FFu);  // picture row 520: blue from 500 on
  KeyHeldPaused = 0x26;
  elDraw::Present();
  EXPECT_FLOAT_EQ(PauseScroll, 470.0f);
  KeyHeldPaused = 0x25;
  for (int i = 0; i < 5; ++i) elDraw::Present();
  EXPECT_FLOAT_EQ(PauseScroll, 0.0f);
  KeyHeldPaused = 0;
  // The background drifts up and left at 10 pixels a second.
  EXPECT_LT(PauseTileX, 0.0f);
  EXPECT_GT(PauseTileX, -64.0f);
  // A second SetPause swaps the pictures into the same objects.
  elDraw::SetPause("PTILE.BMP", "PTILE.BMP", 48);
  EXPECT_EQ(PausePicture, picture);
  elDraw::TogglePause();
  EXPECT_EQ(PauseShown, 0);
  FrameSeconds = 1.0f / 60;
}

// A picture that failed to load answers 0, the number of the stretch scratch object: the overlays
// must neither draw that object nor swap pictures into it, and failed loads must not use up slots.
TEST_F(PresentTest, FailedOverlayPicturesAreNeitherDrawnNorSwapped) {
  DrawObject[0].surface->Blt(nullptr, nullptr, nullptr, plat::DDBLT_COLORFILL, 0xFFFF);
  const int32_t probe = elDraw::CreateObject(8, 8, 2);
  elDraw::ReleaseObject(probe);
  EXPECT_EQ(elDraw::LoadFadeTiles("NOFADE.BMP"), 0);
  EXPECT_EQ(elDraw::CreateObject(8, 8, 2), probe);  // the failed load's slot is free again
  elDraw::ReleaseObject(probe);
  elDraw::FadeOut();
  for (int i = 0; i < 10; ++i) {
    elDraw::ClearScreen();
    elDraw::Present();
    ASSERT_EQ(FrameShown(), -1) << "present " << i;
  }
  EXPECT_EQ(FadeDirection, 0);  // the fade still ends

  // The pause picture is red on its left half and black (transparent) on its right half.
  WriteProgramFile("PAUSE.BMP", Bmp24(640, 480, [](int x, int) { return x < 320 ? 0xFF0000u : 0u; }));
  WriteProgramFile("PTILE.BMP", Bmp24(64, 48, [](int, int) { return 0x00FF00u; }));
  EXPECT_EQ(elDraw::SetPause("PAUSE.BMP", "NOTILE.BMP", 480), 480);
  elDraw::TogglePause();
  elDraw::ClearScreen();
  elDraw::Present();
  EXPECT_EQ(plat::headless::LastFrame().At(100, 100), 0xFF0000u);
  EXPECT_EQ(plat::headless::LastFrame().At(500, 100), 0u);
  // The tile now loads; it takes an object of its own, and the picture stays in its object.
  const int32_t picture = PausePicture;
  EXPECT_EQ(elDraw::SetPause("PAUSE.BMP", "PTILE.BMP", 480), 480);
  EXPECT_EQ(PausePicture, picture);
  EXPECT_EQ(DrawObject[0].surface->Width(), 640);
  elDraw::ClearScreen();
  elDraw::Present();
  EXPECT_EQ(plat::headless::LastFrame().At(100, 100), 0xFF0000u);
  EXPECT_EQ(plat::headless::LastFrame().At(500, 100), 0x00FF00u);
  // A picture missing in turn leaves the tile's object alone and shows no picture.
  const int32_t tile = PauseTile;
  elDraw::SetPause("NOPAUSE.BMP", "PTILE.BMP", 480);
  EXPECT_EQ(PauseTile, tile);
  elDraw::ClearScreen();
  elDraw::Present();
  EXPECT_EQ(plat::headless::LastFrame().At(100, 100), 0x00FF00u);
}

TEST_F(PresentTest, VerticalBlank) {
  elDraw::SetVSync(1);
  elDraw::FillWhite(0, 0, 1, 1);
  int shown = plat::headless::ShownFrames();
  int waits = plat::headless::VerticalBlankWaits();
  elDraw::Present();
  EXPECT_EQ(plat::headless::VerticalBlankWaits(), waits + 1);
  EXPECT_EQ(plat::headless::ShownFrames(), shown + 1);
  plat::headless::FailVerticalBlanks(1);
  elDraw::Present();  // a failed wait drops the frame
  EXPECT_EQ(plat::headless::ShownFrames(), shown + 1);
  elDraw::SetVSync(0);
  elDraw::Present();
  EXPECT_EQ(plat::headless::VerticalBlankWaits(), waits + 2);
  EXPECT_EQ(plat::headless::ShownFrames(), shown + 2);
  // The frame pacing switches the wait.
  elSystem::SetFrameWait(0);
  EXPECT_EQ(WaitVSync, 1);
  elSystem::SetFrameWait(1);
  EXPECT_EQ(WaitVSync, 0);
}

TEST_F(PresentTest, GrabScreen) {
  int32_t obj = elDraw::CreateObject(640, 480, 2);
  elDraw::FillWhite(10, 10, 20, 20);
  elDraw::GrabScreen(obj, 10, 10, 30, 30);
  EXPECT_EQ(PixelAt(DrawObject[obj].surface, 0, 0), 0xFFFFu);
  EXPECT_EQ(PixelAt(DrawObject[obj].surface, 9, 9), 0xFFFFu);
  EXPECT_EQ(PixelAt(DrawObject[obj].surface, 10, 10), 0u);
  elDraw::GrabScreen(obj, 600, 0, 700, 10);  // outside the back screen: refused
  elDraw::GrabScreen(9999, 0, 0, 10, 10);
  plat::headless::LoseSurfaces();
  elDraw::GrabScreen(obj, 0, 0, 10, 10);
  EXPECT_EQ(BackSurface->IsLost(), plat::DD_OK);
}

TEST_F(PresentTest, FrameRateLine) {
  FpsFrames = 0;
  Fps = FpsMax = 0;
  FpsMin = 999.9f;
  FpsNextTime = plat::TimeMs();
  elDraw::ShowFps();
  EXPECT_FLOAT_EQ(Fps, 0.0f);
  EXPECT_FLOAT_EQ(FpsMax, 0.0f);
  EXPECT_FLOAT_EQ(FpsMin, 999.9f);
  EXPECT_EQ(FpsFrames, 1);
  EXPECT_EQ(PixelAt(BackSurface, 0, 0), 0x0010u);  // white on navy at the top-left
  for (int i = 0; i < 119; ++i) elDraw::ShowFps();
  plat::headless::AdvanceMs(2100);
  elDraw::ShowFps();
  EXPECT_FLOAT_EQ(Fps, 60.0f);
  EXPECT_FLOAT_EQ(FpsMax, 60.0f);
  EXPECT_FLOAT_EQ(FpsMin, 60.0f);
  EXPECT_EQ(FpsFrames, 1);
  FpsFrames = 999;
  elDraw::ShowFps();
  EXPECT_EQ(FpsFrames, 999);
}

}  // namespace
