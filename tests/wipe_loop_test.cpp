// The running program cancels a wipe when the scene changes, and leaves a closed screen closed.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <functional>
#include <string>

#include "el/elDraw.h"
#include "el/elSystem.h"
#include "game/winmain.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_input.h"
#include "tests/support/loop_run.h"

namespace hl = plat::headless;

namespace {

using looptest::RunGame;

using Clip = std::array<int32_t, 4>;
Clip Current() { return {ClipLeft, ClipTop, ClipRight, ClipBottom}; }

TEST(WipeLoop, SceneChangeCancelsARunningWipeButNotAClosedScreen) {
  int turns = 0, titleTurns = 0, phase = 0;
  Clip whileRunning{}, afterChange{}, closedAfterChange{};
  int32_t stateAfterChange = 99, closedState = 99;
  RunGame([&] {
    ++turns;
    if (SceneNo == 10) ++titleTurns;
    if (phase == 0 && titleTurns == 3) {
      EXPECT_EQ(elDraw::StartWipe(0, 7, 0.0f, 0), 1);
      phase = 1;
    } else if (phase == 1 && titleTurns == 6) {
      whileRunning = Current();
      // The hook runs between idle turns, where the turn's first-scene step would take a cleared
      // PrevSceneNo as the first scene; changing SceneNo alone is what the scene-change step sees.
      SceneNo = 40;  // the ranking screen
      phase = 2;
    } else if (phase == 2) {
      afterChange = Current();
      stateAfterChange = WipeState;
      elDraw::CloseScreen();
      SceneNo = 10;
      phase = 3;
    } else if (phase == 3) {
      closedAfterChange = Current();
      closedState = WipeState;
      hl::Inject(plat::WM_KEYDOWN, 27);
      phase = 4;
    }
    if (turns > 2000) hl::Inject(plat::WM_KEYDOWN, 27);
  });
  ASSERT_EQ(phase, 4);
  EXPECT_NE(whileRunning, (Clip{0, 0, 640, 480}));  // the wipe was still opening
  EXPECT_EQ(afterChange, (Clip{0, 0, 640, 480}));
  EXPECT_EQ(stateAfterChange, 0);
  EXPECT_EQ(closedState, -1);
  EXPECT_EQ(closedAfterChange, (Clip{0, 0, 0, 0}));
}

}  // namespace
