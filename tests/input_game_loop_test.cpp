// Input through the running program on the headless host: native pointer input reaches both the
// window-message state and the device queue that the idle turn fills.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "el/elSystem.h"
#include "game/winmain.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_input.h"
#include "tests/support/loop_run.h"

namespace hl = plat::headless;

namespace {

using looptest::RunGame;

struct Seen {
  uint32_t code;
  uint32_t data;
};

TEST(InputGameLoop, ClicksReachTheQueueAndTheWindowState) {
  int turns = 0;
  std::vector<Seen> queued;
  uint32_t latchAfterLeft = 0, rightClickSeen = 0;
  bool devicesUp = false;
  uint32_t lastSeq = 0;
  RunGame([&] {
    ++turns;
    // The queue the last idle turn filled (the hook may run more than once between turns: device
    // records are told apart by their sequence numbers).
    for (uint32_t i = 0; i < EventCount; ++i) {
      if (EventQueue[i].seq != 0 && EventQueue[i].seq <= lastSeq) continue;
      queued.push_back({EventQueue[i].code, EventQueue[i].data});
      if (EventQueue[i].seq > lastSeq) lastSeq = EventQueue[i].seq;
    }
    if (turns == 1) devicesUp = DInput || elSystem::Init() == 1;  // the display set-up does this
    if (turns == 3) hl::PointerMoveTo(200, 150);
    if (turns == 5) hl::PointerClick(0);
    if (turns == 8) {
      latchAfterLeft = LButtonLatch;
      hl::PointerButton(1, true);
    }
    if (turns == 9) rightClickSeen = RButtonHeld;
    if (turns == 10) hl::PointerButton(1, false);
    if (turns == 14) hl::Inject(plat::WM_KEYDOWN, 27);
  });
  ASSERT_TRUE(devicesUp);
  EXPECT_FALSE(DInput);  // released by the shutdown
  EXPECT_EQ(latchAfterLeft, 1u);
  EXPECT_EQ(rightClickSeen, 1u);
  EXPECT_EQ(MouseX, 200u);
  EXPECT_EQ(MouseY, 150u);

  std::vector<std::pair<uint32_t, uint32_t>> buttons;
  for (const Seen& s : queued) {
    if (s.code >= 268 && s.code <= 271) buttons.push_back({s.code, s.data});
  }
  const std::vector<std::pair<uint32_t, uint32_t>> want{{268, 0x80}, {268, 0}, {269, 0x80}, {269, 0}};
  EXPECT_EQ(buttons, want);
  // The pointer moved by the motion: the X and Y records carry its position.
  bool sawX = false;
  for (const Seen& s : queued) sawX = sawX || (s.code == 4096 && s.data == 400);
  EXPECT_TRUE(sawX);  // 200 units of motion count double on the pointer
}

}  // namespace
