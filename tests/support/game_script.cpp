#include "tests/support/game_script.h"

#include "el/elSystem.h"
#include "game/game_state.h"
#include "platform/headless/headless.h"

namespace gametest {

void StartFromTitle(Driver& d) {
  d.WhenScene(10, LeftClick).Then(LeftClick);
}

void EatBowls(Driver& d, int bowls, bool hurry) {
  for (int i = 0; i < bowls; ++i) {
    d.When([] { return SceneNo == 20 && Rice == 10; }, LeftClick);
    d.When([] { return SceneNo == 20 && Rice == -1 && RefillFrames == 0; }, RightClick);
    if (hurry) d.When([] { return SceneNo == 20 && RefillFrames > 3; }, LeftClick);
  }
}

void FastClock(Driver& d) {
  // One per-frame hook for the whole run; each FastClock step switches it on for the current game.
  static bool fast = false;
  static Driver* hooked = nullptr;
  if (hooked != &d) {
    hooked = &d;
    d.EachFrame([](int) {
      if (SceneNo != 20) return;
      if (fast) plat::headless::AdvanceMs(1000);
    });
    d.EachFrame([](int) {
      if (SceneNo == 25) fast = false;
    });
  }
  d.Then([] { fast = true; });
}

void ReturnAndQuit(Driver& d) {
  d.WhenScene(30, LeftClick).WhenScene(10, PressEscape);
}

}  // namespace gametest
