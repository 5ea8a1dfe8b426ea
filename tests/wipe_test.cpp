// Clip wipes: step size, every pattern's first and last rectangle, refusals and the closed state.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <set>

#include "el/elDraw.h"
#include "el/elSystem.h"
#include "tests/support/draw_support.h"

namespace {

using Clip = std::array<int32_t, 4>;
Clip Current() { return {ClipLeft, ClipTop, ClipRight, ClipBottom}; }

class WipeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WipeState = 0;
    FrameSeconds = 0.016f;
    elDraw::SetClip(10, 20, 610, 460);  // cx = 310, cy = 240
  }
  void TearDown() override {
    WipeState = 0;
    elDraw::SetClip(0, 0, 640, 480);
  }
  // Steps until the wipe stops running; the number of steps.
  int RunToEnd() {
    int n = 0;
    while (WipeState > 0 && n < 10000) n += elDraw::StepWipe();
    return n;
  }
};

TEST_F(WipeTest, StepIsFrameTimesSpeedTruncatedPlusOne) {
  ASSERT_EQ(elDraw::StartWipe(0, 1, 300.0f, 0), 1);
  EXPECT_EQ(ClipTop, 460);
  elDraw::StepWipe();
  EXPECT_EQ(ClipTop, 455);  // 4.8 truncated, plus 1
  WipeState = 0;

  elDraw::SetClip(10, 20, 610, 460);
  ASSERT_EQ(elDraw::StartWipe(0, 1, 0.0f, 0), 1);
  elDraw::StepWipe();
  EXPECT_EQ(ClipTop, 459);
  // A negative speed still moves one pixel, so the wipe ends.
  WipeSpeed = -500.0f;
  elDraw::StepWipe();
  EXPECT_EQ(ClipTop, 458);
  // A huge speed ends the wipe in one step without overflowing the edges.
  WipeSpeed = 3e38f;
  elDraw::StepWipe();
  EXPECT_EQ(Current(), (Clip{10, 20, 610, 460}));
  EXPECT_EQ(WipeState, 0);
  EXPECT_EQ(WipeOpened, 1);
}

TEST_F(WipeTest, OpeningPatternsStartCollapsedAndEndFull) {
  const Clip starts[10] = {{},
                           {10, 460, 610, 460},
                           {10, 20, 610, 20},
                           {610, 20, 610, 460},
                           {10, 20, 10, 460},
                           {10, 240, 610, 240},
                           {310, 20, 310, 460},
                           {310, 240, 310, 240},
                           {290, 240, 330, 240},
                           {310, 220, 310, 260}};
  for (int d = 1; d <= 9; ++d) {
    SCOPED_TRACE(d);
    elDraw::SetClip(10, 20, 610, 460);
    ASSERT_EQ(elDraw::StartWipe(0, d, 300.0f, 40), 1);
    EXPECT_EQ(WipeState, 1);
    EXPECT_EQ(Current(), starts[d]);
    EXPECT_EQ(WipeOpened, 0);
    int steps = RunToEnd();
    EXPECT_GT(steps, 1);
    EXPECT_EQ(Current(), (Clip{10, 20, 610, 460}));
    EXPECT_EQ(WipeState, 0);
    EXPECT_EQ(WipeOpened, 1);
    EXPECT_EQ(WipeClosed, 0);
    EXPECT_EQ(elDraw::StepWipe(), 0);
  }
}

TEST_F(WipeTest, PatternEightGrowsTheColumnBeforeWidening) {
  ASSERT_EQ(elDraw::StartWipe(0, 8, 300.0f, 40), 1);
  elDraw::StepWipe();
  EXPECT_EQ(Current(), (Clip{290, 235, 330, 245}));
  while (ClipTop != 20) elDraw::StepWipe();
  EXPECT_EQ(Current(), (Clip{290, 20, 330, 460}));
  elDraw::StepWipe();
  EXPECT_EQ(Current(), (Clip{285, 20, 335, 460}));
}

TEST_F(WipeTest, OpeningOnOddSizesSnapsToTheSavedRectangle) {
  for (int d = 1; d <= 9; ++d) {
    SCOPED_TRACE(d);
    elDraw::SetClip(3, 7, 604, 458);
    ASSERT_EQ(elDraw::StartWipe(0, d, 300.0f, 31), 1);
    RunToEnd();
    EXPECT_EQ(Current(), (Clip{3, 7, 604, 458}));
    EXPECT_EQ(WipeState, 0);
  }
}

TEST_F(WipeTest, ClosingPatternsEndEmpty) {
  const Clip ends[10] = {{},
                         {10, 460, 610, 460},
                         {10, 20, 610, 20},
                         {610, 20, 610, 460},
                         {10, 20, 10, 460},
                         {10, 240, 610, 240},
                         {310, 20, 310, 460},
                         {310, 240, 310, 240},
                         {290, 240, 330, 240},
                         {310, 220, 310, 260}};
  for (int d = 1; d <= 9; ++d) {
    SCOPED_TRACE(d);
    WipeState = 0;
    elDraw::SetClip(10, 20, 610, 460);
    ASSERT_EQ(elDraw::StartWipe(1, d, 300.0f, 40), 1);
    EXPECT_EQ(WipeState, 2);
    EXPECT_EQ(Current(), (Clip{10, 20, 610, 460}));  // a closing wipe starts from the full rectangle
    RunToEnd();
    EXPECT_EQ(Current(), ends[d]);
    EXPECT_EQ(WipeState, -1);
    EXPECT_EQ(WipeClosed, 1);
    EXPECT_EQ(WipeOpened, 0);
    EXPECT_EQ((Clip{SavedClipLeft, SavedClipTop, SavedClipRight, SavedClipBottom}), (Clip{10, 20, 610, 460}));
  }
}

TEST_F(WipeTest, ASecondStartWhileRunningChangesNothing) {
  ASSERT_EQ(elDraw::StartWipe(0, 5, 300.0f, 0), 1);
  elDraw::StepWipe();
  const Clip now = Current();
  EXPECT_EQ(elDraw::StartWipe(1, 3, 10.0f, 8), 0);
  EXPECT_EQ(Current(), now);
  EXPECT_EQ(WipeState, 1);
  EXPECT_EQ(WipeDirection, 5);
  EXPECT_EQ((Clip{SavedClipLeft, SavedClipTop, SavedClipRight, SavedClipBottom}), (Clip{10, 20, 610, 460}));
}

TEST_F(WipeTest, CloseScreenAndReopen) {
  elDraw::CloseScreen();
  EXPECT_EQ(WipeState, -1);
  EXPECT_EQ(Current(), (Clip{10, 20, 10, 20}));
  EXPECT_EQ(elDraw::StepWipe(), 0);
  // From closed, the next wipe starts from the saved rectangle.
  ASSERT_EQ(elDraw::StartWipe(0, 4, 300.0f, 0), 1);
  EXPECT_EQ(Current(), (Clip{10, 20, 10, 460}));
  RunToEnd();
  EXPECT_EQ(Current(), (Clip{10, 20, 610, 460}));
  // A closing wipe from closed also starts from the saved rectangle.
  elDraw::CloseScreen();
  ASSERT_EQ(elDraw::StartWipe(2, 2, 300.0f, 0), 1);
  EXPECT_EQ(Current(), (Clip{10, 20, 610, 460}));
}

TEST_F(WipeTest, CloseScreenKeepsTheNormalRectangle) {
  // Closed twice: the second close must not save the empty rectangle over the normal one.
  elDraw::CloseScreen();
  elDraw::CloseScreen();
  ASSERT_EQ(elDraw::StartWipe(0, 1, 1e6f, 0), 1);
  RunToEnd();
  EXPECT_EQ(Current(), (Clip{10, 20, 610, 460}));
  // Closed while a wipe runs: the half-open rectangle is not the one to come back.
  for (int kind = 0; kind <= 1; ++kind) {
    SCOPED_TRACE(kind);
    ASSERT_EQ(elDraw::StartWipe(kind, 7, 300.0f, 0), 1);
    elDraw::StepWipe();
    ASSERT_NE(Current(), (Clip{10, 20, 610, 460}));
    elDraw::CloseScreen();
    EXPECT_EQ(WipeState, -1);
    EXPECT_EQ(ClipLeft, ClipRight);
    EXPECT_EQ(ClipTop, ClipBottom);
    ASSERT_EQ(elDraw::StartWipe(1, 1, 300.0f, 0), 1);
    EXPECT_EQ(Current(), (Clip{10, 20, 610, 460}));
    WipeState = 0;
  }
}

// Every step of every wipe keeps the clip rectangle inside the saved one, whatever the band.
TEST_F(WipeTest, EveryStepStaysInsideTheSavedRectangle) {
  for (int kind = 0; kind <= 1; ++kind)
    for (int d = 1; d <= 9; ++d)
      for (int32_t band : {0, 40, 441, 599, 601, 2000, -50}) {
        SCOPED_TRACE(testing::Message() << "kind " << kind << " direction " << d << " band " << band);
        WipeState = 0;
        elDraw::SetClip(10, 20, 610, 460);
        ASSERT_EQ(elDraw::StartWipe(kind, d, 300.0f, band), 1);
        for (int n = 0; WipeState > 0; ++n) {
          ASSERT_LT(n, 1000);
          ASSERT_GE(ClipLeft, 10);
          ASSERT_GE(ClipTop, 20);
          ASSERT_LE(ClipRight, 610);
          ASSERT_LE(ClipBottom, 460);
          ASSERT_LE(ClipLeft, ClipRight);
          ASSERT_LE(ClipTop, ClipBottom);
          elDraw::StepWipe();
        }
        if (kind == 0)
          EXPECT_EQ(Current(), (Clip{10, 20, 610, 460}));
        else
          EXPECT_TRUE(ClipLeft >= ClipRight || ClipTop >= ClipBottom);
      }
}

TEST_F(WipeTest, DirectionZeroPicksEachPatternAndOthersAreRefused) {
  std::srand(7);
  std::set<int32_t> seen;
  for (int n = 0; n < 300; ++n) {
    elDraw::SetClip(10, 20, 610, 460);
    WipeState = 0;
    ASSERT_EQ(elDraw::StartWipe(0, 0, 300.0f, 0), 1);
    seen.insert(WipeDirection);
  }
  EXPECT_EQ(seen, (std::set<int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
  WipeState = 0;
  elDraw::SetClip(10, 20, 610, 460);
  EXPECT_EQ(elDraw::StartWipe(0, 10, 300.0f, 0), 0);
  EXPECT_EQ(elDraw::StartWipe(1, -1, 300.0f, 0), 0);
  EXPECT_EQ(WipeState, 0);
  EXPECT_EQ(Current(), (Clip{10, 20, 610, 460}));
}

class WipeDrawTest : public drawtest::DrawTest {};

TEST_F(WipeDrawTest, AClosedScreenDrawsNothingUntilTheNextWipe) {
  ASSERT_EQ(screenResult, 1);
  WipeState = 0;
  FrameSeconds = 0.016f;
  int32_t obj = elDraw::CreateObject(32, 32, 2);
  ASSERT_GT(obj, 0);
  elDraw::SetClip(0, 0, 640, 480);
  DrawObject[obj].surface->Blt(nullptr, nullptr, nullptr, plat::DDBLT_COLORFILL, 0xFFFF);
  ASSERT_EQ(elDraw::StartWipe(1, 7, 300.0f, 0), 1);
  while (WipeState > 0) elDraw::StepWipe();
  elDraw::ClearScreen();
  elDraw::Put(300, 220, obj, 0, 0, 32, 32);
  EXPECT_EQ(elDraw::PutBlend(300, 220, 31, obj, 0, 0, 32, 32), 1);
  EXPECT_EQ(elDraw::PutRotate(300, 220, 332, 252, 45, obj, 0, 0, 32, 32), 1);
  for (int32_t y = 200; y < 280; ++y)
    for (int32_t x = 280; x < 360; ++x) ASSERT_EQ(drawtest::PixelAt(BackSurface, x, y), 0u);
  ASSERT_EQ(elDraw::StartWipe(0, 7, 1e6f, 0), 1);
  elDraw::StepWipe();
  elDraw::Put(300, 220, obj, 0, 0, 32, 32);
  EXPECT_EQ(drawtest::PixelAt(BackSurface, 310, 230), 0xFFFFu);
  WipeState = 0;
}

TEST_F(WipeDrawTest, AWideBandKeepsSpritesOnTheEdgeVisible) {
  ASSERT_EQ(screenResult, 1);
  WipeState = 0;
  FrameSeconds = 0.016f;
  int32_t obj = elDraw::CreateObject(32, 32, 2);
  ASSERT_GT(obj, 0);
  DrawObject[obj].surface->Blt(nullptr, nullptr, nullptr, plat::DDBLT_COLORFILL, 0xFFFF);
  for (int d = 8; d <= 9; ++d) {
    SCOPED_TRACE(d);
    WipeState = 0;
    elDraw::SetClip(0, 0, 640, 480);
    ASSERT_EQ(elDraw::StartWipe(1, d, 60.0f, 2000), 1);
    elDraw::StepWipe();  // the band covers the whole screen: the other pair starts closing
    elDraw::ClearScreen();
    elDraw::Put(620, 200, obj, 0, 0, 32, 32);
    elDraw::Put(200, 460, obj, 0, 0, 32, 32);
    elDraw::Put(-20, 200, obj, 0, 0, 32, 32);
    EXPECT_EQ(drawtest::PixelAt(BackSurface, 630, 210), 0xFFFFu);
    EXPECT_EQ(drawtest::PixelAt(BackSurface, 210, 470), 0xFFFFu);
    EXPECT_EQ(drawtest::PixelAt(BackSurface, 5, 210), 0xFFFFu);
  }
  WipeState = 0;
  elDraw::SetClip(0, 0, 640, 480);
}

}  // namespace
