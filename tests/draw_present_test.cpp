// The present: fade and pause overlays, the vertical-blank switch, grab, the frame-rate line.
#include "el/elDraw.h"
#include "el/elSystem.h"
#include "platform/headless/headless.h"
#include "tests/support/draw_support.h"

using namespace drawtest;

namespace {

uint32_t Shown(int32_t x, int32_t y) { return plat::headless::LastFrame().At(x, y); }

class PresentTest : public DrawTest {
 protected:
  void SetUp() override {
    DrawTest::SetUp();
    ASSERT_EQ(screenResult, 1);
    // Ten 64 x 48 frames side by side; frame f is grey 24 (f + 1), its top-left pixel black (the key).
    WriteProgramFile("FADE.BMP", Bmp24(640, 48, [](int x, int y) {
                       const uint32_t v = x % 64 == 0 && y == 0 ? 0 : 24u * (uint32_t(x / 64) + 1);
                       return v << 16 | v << 8 | v;
                     }));
    WriteProgramFile("PAUSE.BMP", Bmp24(640, 1000, [](int x, int y) { return x >= 320 ? 0u : x == 0 ? 0xFFFF00u : y < 500 ? 0xFF0000u : 0x0000FFu; }));
    WriteProgramFile("PTILE.BMP", Bmp24(64, 48, [](int, int) { return 0x00FF00u; }));
    elDraw::SetVSync(0);
  }
  void TearDown() override {
    elDraw::SetVSync(1);
    FadeStep = FadeDirection = PauseShown = PausePictureHeight = 0;
    DrawTest::TearDown();
  }
  // The fade frame shown at (100, 100), or -1 for none.
  int FrameShown() { return Shown(100, 100) ? int((Shown(100, 100) & 0xFF) / 24) - 1 : -1; }
};

TEST_F(PresentTest, FadesShowTheirTenFramesInTurn) {
  ASSERT_GT(elDraw::LoadFadeTiles("FADE.BMP"), 0);
  for (int out = 0; out < 2; ++out) {
    out ? elDraw::FadeOut() : elDraw::FadeIn();
    for (int i = 0; i < 11; ++i) {
      elDraw::ClearScreen();
      elDraw::Present();
      EXPECT_EQ(FrameShown(), i == 10 ? -1 : out ? i : 9 - i) << out << " present " << i;
      EXPECT_EQ(Shown(64 * (i % 10), 48 * (i % 10)), 0u);  // the key pixel of each tile lets the screen through
    }
    EXPECT_EQ(FadeDirection, 0);
  }
  elDraw::FadeOut();
  elDraw::Present();
  elDraw::Present();  // no scene drew in between: frame 1 lies over frame 0, keys over keys
  EXPECT_EQ(FrameShown(), 1);
  EXPECT_EQ(Shown(0, 0), 0u);
}

// A missing fade sheet or pause picture answers 0 (the stretch scratch object): that object is
// neither drawn nor swapped into, and a failed load leaves its slot free.
TEST_F(PresentTest, PauseScreenAndMissingPictures) {
  DrawObject[0].surface->Blt(nullptr, nullptr, nullptr, plat::DDBLT_COLORFILL, 0xFFFF);
  const int32_t probe = elDraw::CreateObject(8, 8, 2);
  elDraw::ReleaseObject(probe);
  EXPECT_EQ(elDraw::LoadFadeTiles("NOFADE.BMP"), 0);
  EXPECT_EQ(elDraw::CreateObject(8, 8, 2), probe);
  elDraw::FadeOut();
  elDraw::Present();
  EXPECT_EQ(FrameShown(), -1);
  FadeStep = FadeDirection = 0;

  elDraw::TogglePause();  // no pause picture yet
  EXPECT_EQ(PauseShown, 0);
  elDraw::SetColorKey(0x00FF00);
  EXPECT_EQ(elDraw::SetPause("PAUSE.BMP", "NOTILE.BMP", 1000), 1000);
  elDraw::TogglePause();
  elDraw::ClearScreenWhite();
  elDraw::Present();
  EXPECT_EQ(Shown(100, 100), 0xFF0000u);
  EXPECT_EQ(Shown(0, 100), 0xFFFF00u);  // from its first column
  EXPECT_EQ(Shown(500, 100), 0xFFFFFFu);  // black is the pause picture's key, whatever key was set before
  elDraw::SetPause("PAUSE.BMP", "PTILE.BMP", 1000);  // the tile loads now into an object of its own
  EXPECT_EQ(DrawObject[0].surface->Width(), 640);
  // Holding the down key for 10 s scrolls to the end of the picture and stops there.
  KeyHeldPaused = 0x28;
  FrameSeconds = 0.5f;
  for (int i = 0; i < 20; ++i) elDraw::Present();
  EXPECT_EQ(Shown(100, 0), 0x0000FFu);  // picture row 520
  EXPECT_EQ(Shown(100, 479), 0x0000FFu);
  EXPECT_EQ(Shown(500, 100), 0x00FF00u);
  KeyHeldPaused = 0x26;  // up: 50 rows, seen in the next frame
  elDraw::Present();
  KeyHeldPaused = 0;
  elDraw::Present();
  EXPECT_EQ(Shown(100, 29), 0xFF0000u);  // row 499
  EXPECT_EQ(Shown(100, 30), 0x0000FFu);
  elDraw::SetPause("NOPAUSE.BMP", "PTILE.BMP", 480);  // no picture now: only the tiles show
  elDraw::Present();
  EXPECT_EQ(Shown(100, 100), 0x00FF00u);
  elDraw::TogglePause();
  elDraw::ClearScreen();
  elDraw::Present();
  EXPECT_EQ(Shown(100, 100), 0u);
  FrameSeconds = 1.0f / 60;
}

TEST_F(PresentTest, VerticalBlankGrabAndLostSurfaces) {
  elDraw::SetVSync(1);
  elDraw::FillWhite(10, 10, 20, 20);
  const int shown = plat::headless::ShownFrames(), waits = plat::headless::VerticalBlankWaits();
  elDraw::Present();
  plat::headless::FailVerticalBlanks(1);
  elDraw::Present();  // a failed wait drops the frame
  elDraw::SetVSync(0);
  elDraw::Present();
  EXPECT_EQ(plat::headless::VerticalBlankWaits(), waits + 2);
  EXPECT_EQ(plat::headless::ShownFrames(), shown + 2);

  const int32_t obj = elDraw::CreateObject(40, 40, 2);
  elDraw::GrabScreen(obj, 10, 10, 30, 30);
  for (int32_t i = 0; i < 40 * 40; ++i) ASSERT_EQ(PixelAt(DrawObject[obj].surface, i % 40, i / 40), i % 40 < 10 && i / 40 < 10 ? 0xFFFFu : 0u);
  elDraw::GrabScreen(obj, 600, 0, 700, 10);  // outside the back screen: refused
  elDraw::GrabScreen(9999, 0, 0, 10, 10);
  EXPECT_EQ(PixelAt(DrawObject[obj].surface, 0, 0), 0xFFFFu);
  plat::headless::LoseSurfaces();
  elDraw::GrabScreen(obj, 0, 0, 10, 10);  // restores
  EXPECT_EQ(BackSurface->IsLost(), plat::DD_OK);
  plat::headless::LoseSurfaces();
  elDraw::Present();  // restores and drops the frame
  elDraw::Present();
  EXPECT_EQ(plat::headless::ShownFrames(), shown + 3);
}

}  // namespace
