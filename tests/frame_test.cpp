#include <gtest/gtest.h>

#include "el/elSystem.h"
#include "platform/clock.h"
#include "platform/headless/headless.h"

namespace hl = plat::headless;

namespace {

class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hl::Reset();
    hl::SetTimeMs(1000);
    hl::SetReadStepMicros(100);
    elSystem::SetFrameRate(60);
    elSystem::SetFrameWait(1);
    hl::ClearSleeps();
  }
};

TEST_F(FrameTest, ShortSceneSleepsThenSpinsToTheFrameBoundary) {
  uint32_t start = FrameStart;
  hl::AdvanceMs(5);  // the scene's work
  elSystem::WaitFrame();
  ASSERT_EQ(hl::Sleeps().size(), 1u);
  EXPECT_EQ(hl::Sleeps()[0], 8u);
  EXPECT_EQ(FrameStart - start, 16u);
  // The next frame is measured from that boundary.
  hl::AdvanceMs(5);
  elSystem::WaitFrame();
  EXPECT_EQ(FrameStart - start, 32u);
}

TEST_F(FrameTest, LongSceneYieldsWithoutSpinAndIsNotMadeUp) {
  uint32_t start = FrameStart;
  hl::AdvanceMs(40);
  elSystem::WaitFrame();
  ASSERT_EQ(hl::Sleeps().size(), 1u);
  EXPECT_EQ(hl::Sleeps()[0], 0u);
  uint32_t late = FrameStart;
  EXPECT_GE(late - start, 40u);
  EXPECT_LE(late - start, 41u);
  hl::ClearSleeps();
  hl::AdvanceMs(5);
  elSystem::WaitFrame();
  EXPECT_EQ(hl::Sleeps()[0], 8u);
  EXPECT_EQ(FrameStart - late, 16u);
}

TEST_F(FrameTest, RateThirtyGivesThirtyThreeMillisecondFrames) {
  elSystem::SetFrameRate(30);
  EXPECT_EQ(FrameMs, 33u);
  uint32_t start = FrameStart;
  hl::AdvanceMs(5);
  elSystem::WaitFrame();
  EXPECT_EQ(hl::Sleeps().back(), 25u);
  EXPECT_EQ(FrameStart - start, 33u);
}

TEST_F(FrameTest, WaitOffReturnsAtOnce) {
  elSystem::SetFrameWait(0);
  uint64_t before = hl::NowMicros();
  elSystem::WaitFrame();
  EXPECT_TRUE(hl::Sleeps().empty());
  EXPECT_EQ(hl::NowMicros(), before);
  elSystem::SetFrameWait(1);
  EXPECT_EQ(FrameWaitOn, 1);
}

TEST_F(FrameTest, FrameClockAcrossTheWrapOfTheMillisecondClock) {
  hl::SetTimeMs(0xFFFFFFF0u);
  hl::SetReadStepMicros(0);
  elSystem::SetFrameRate(60);
  uint32_t start = FrameStart;
  hl::AdvanceMs(5);
  hl::SetReadStepMicros(100);
  elSystem::WaitFrame();
  EXPECT_EQ(static_cast<uint32_t>(FrameStart - start), 16u);
  hl::SetReadStepMicros(0);
  elSystem::ResetFrameClock();
  hl::AdvanceMs(250);
  elSystem::UpdateFrameClock();
  EXPECT_FLOAT_EQ(FrameSeconds, 0.25f);
}

TEST_F(FrameTest, WaitSlots) {
  hl::Boxes().clear();
  EXPECT_EQ(elSystem::SetWait(0, 100), 0);
  EXPECT_EQ(elSystem::SetWait(11, 100), 0);
  EXPECT_EQ(elSystem::InitWait(11), 0);
  ASSERT_EQ(hl::Boxes().size(), 3u);
  EXPECT_EQ(hl::Boxes()[0].text, "elSystem::SetWait : ウェイトNoが範囲外です");
  EXPECT_EQ(hl::Boxes()[2].text, "elSystem::InitWait : ウェイトNoが範囲外です");

  hl::SetReadStepMicros(0);
  EXPECT_EQ(elSystem::SetWait(10, 500), 1);
  EXPECT_EQ(elSystem::CheckWait(10), 0);
  hl::AdvanceMs(499);
  EXPECT_EQ(elSystem::CheckWait(10), 0);
  hl::AdvanceMs(1);
  EXPECT_EQ(elSystem::CheckWait(10), 1);

  EXPECT_EQ(elSystem::InitWait(3), 1);
  hl::AdvanceMs(100000);
  EXPECT_EQ(elSystem::CheckWait(3), 0);
  // A slot never set has deadline 0 and reads as passed.
  EXPECT_EQ(elSystem::CheckWait(7), 1);
}

}  // namespace
