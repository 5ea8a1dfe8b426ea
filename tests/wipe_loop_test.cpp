// The running program cancels a wipe when the scene changes, and leaves a closed screen closed.
#include <gtest/gtest.h>

#include <array>

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
  RunGame([&] {
    ++turns;
    if (SceneNo == 10) ++titleTurns;
    if (phase == 0 && titleTurns == 3) {
      EXPECT_EQ(elDraw::StartWipe(0, 7, 0.0f, 0), 1);
      phase = 1;
    } else if (phase == 1 && titleTurns == 6) {
      EXPECT_NE(Current(), (Clip{0, 0, 640, 480}));  // the wipe is still opening
      // The hook runs between idle turns, where the turn's first-scene step would take a cleared
      // PrevSceneNo as the first scene; changing SceneNo alone is what the scene-change step sees.
      SceneNo = 40;  // the ranking screen
      phase = 2;
    } else if (phase == 2) {
      EXPECT_EQ(Current(), (Clip{0, 0, 640, 480}));
      EXPECT_EQ(WipeState, 0);
      elDraw::CloseScreen();
      SceneNo = 10;
      phase = 3;
    } else if (phase == 3) {
      EXPECT_EQ(Current(), (Clip{0, 0, 0, 0}));  // closed stays closed
      EXPECT_EQ(WipeState, -1);
      hl::Inject(plat::WM_KEYDOWN, 27);
      phase = 4;
    }
    if (turns > 2000) hl::Inject(plat::WM_KEYDOWN, 27);
  });
  EXPECT_EQ(phase, 4);
}

}  // namespace
