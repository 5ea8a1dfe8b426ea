// Polled joysticks: rest position, directions, button edges, hold timers and ramps.
#include <cstring>

#include "platform/input.h"
#include "tests/support/input_fixture.h"

namespace hl = plat::headless;
namespace in = plat::input;
using namespace inputtest;

namespace {

// Raw readings for a wanted polled position 0..65535 (the service maps raw r to r + 32768).
int32_t Raw(int32_t reading) { return reading - 32768; }

class JoystickTest : public InputTest {
 protected:
  void SetUp() override {
    InputTest::SetUp();
    FrameSeconds = 0.0f;
  }
};

TEST_F(JoystickTest, RestPositionIsMeasuredAtStartUp) {
  const int j = hl::AttachJoystick();
  hl::JoystickAxis(j, 0, 300);  // inside the rest dead zone
  hl::JoystickAxis(j, 1, -200);
  elSystem::InitJoystick();
  int32_t x = -1, y = -1;
  elSystem::GetJoystickCenter(0, &x, &y);
  EXPECT_EQ(x, 32767);
  EXPECT_EQ(y, 32767);
  elSystem::GetJoystickCenter(1, &x, &y);  // not attached
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  hl::JoystickAxis(j, 0, 20000);
  elSystem::GetJoyPosition(0, &x, &y);
  EXPECT_EQ(x, 52768);
  EXPECT_EQ(y, 32767);
  elSystem::GetJoyPosition(1, &x, &y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
}

TEST_F(JoystickTest, AbsentAtStartUpKeepsRestZeroUntilCalibrated) {
  elSystem::InitJoystick();
  const int j = hl::AttachJoystick();
  int32_t dx = 9, dy = 9;
  hl::JoystickAxis(j, 0, -32768);  // reading 0
  hl::JoystickAxis(j, 1, Raw(1));
  elSystem::GetJoyDirection(0, &dx, &dy);
  EXPECT_EQ(dx, -1);
  EXPECT_EQ(dy, 1);
  hl::JoystickAxis(j, 0, 0);
  hl::JoystickAxis(j, 1, 0);
  elSystem::CalibrateJoystick();
  elSystem::GetJoyDirection(0, &dx, &dy);
  EXPECT_EQ(dx, 0);
  EXPECT_EQ(dy, 0);
}

TEST_F(JoystickTest, ClassificationThresholdsAroundTheRest) {
  const int j = hl::AttachJoystick();
  elSystem::InitJoystick();
  ASSERT_EQ(JoyCenterX[0], 32767);
  const struct {
    int32_t reading;
    int32_t d;
  } cases[] = {{0, -1}, {16383, -1}, {16384, 0}, {32767, 0}, {49149, 0}, {49150, 1}, {65535, 1}};
  for (const auto& c : cases) {
    hl::JoystickAxis(j, 0, Raw(c.reading));
    hl::JoystickAxis(j, 1, Raw(c.reading));
    int32_t dx, dy;
    elSystem::GetJoyDirection(0, &dx, &dy);
    EXPECT_EQ(dx, c.d) << c.reading;
    EXPECT_EQ(dy, c.d) << c.reading;
  }
}

TEST_F(JoystickTest, EightWayCodesFollowTheKeypad) {
  const int j = hl::AttachJoystick();
  elSystem::InitJoystick();
  const int32_t pos[3] = {Raw(0), 0, Raw(65535)};
  const int32_t want[3][3] = {{7, 8, 9}, {4, 5, 6}, {1, 2, 3}};  // [dy][dx]
  for (int dy = 0; dy < 3; ++dy) {
    for (int dx = 0; dx < 3; ++dx) {
      hl::JoystickAxis(j, 0, pos[dx]);
      hl::JoystickAxis(j, 1, pos[dy]);
      EXPECT_EQ(elSystem::GetJoyDirection8(0), want[dy][dx]) << dx << "," << dy;
    }
  }
  hl::DetachJoystick(j);
  EXPECT_EQ(elSystem::GetJoyDirection8(0), 5);
  int32_t dx = 7, dy = 7;
  elSystem::GetJoyDirection(0, &dx, &dy);
  EXPECT_EQ(dx, 0);
  EXPECT_EQ(dy, 0);
}

TEST_F(JoystickTest, ButtonEdgesAcrossPolls) {
  const int j = hl::AttachJoystick();
  elSystem::InitJoystick();
  std::vector<uint32_t> seen;
  hl::JoystickButton(j, 0, true);
  for (int i = 0; i < 3; ++i) seen.push_back(elSystem::GetJoyButtonState(0, 1));
  hl::JoystickButton(j, 0, false);
  seen.push_back(elSystem::GetJoyButtonState(0, 1));
  seen.push_back(elSystem::GetJoyButtonState(0, 1));
  EXPECT_EQ(seen, (std::vector<uint32_t>{1, 3, 3, 2, 0}));
  hl::JoystickButton(j, 0, true);
  EXPECT_EQ(elSystem::GetJoyButtonState(0, 1), 1u);
  hl::JoystickButton(j, 0, false);
  EXPECT_EQ(elSystem::GetJoyButtonState(0, 1), 2u);
  hl::JoystickButton(j, 0, true);
  EXPECT_EQ(elSystem::GetJoyButtonState(0, 1), 3u);  // pressed again right after went-up

  // The four at once, from one reading.
  hl::JoystickButton(j, 3, true);
  uint32_t st[4] = {9, 9, 9, 9};
  elSystem::GetJoyButtonStates(0, st);
  EXPECT_EQ(st[0], 3u);
  EXPECT_EQ(st[1], 0u);
  EXPECT_EQ(st[2], 0u);
  EXPECT_EQ(st[3], 1u);
  uint32_t pressed[4];
  elSystem::GetJoyButtons(0, pressed);
  EXPECT_EQ(pressed[0], 1u);
  EXPECT_EQ(pressed[3], 1u);
  EXPECT_EQ(pressed[1], 0u);
  EXPECT_EQ(elSystem::GetJoyButton(0, 4), 1);
  EXPECT_EQ(elSystem::GetJoyButton(0, 2), 0);

  // Buttons past the fourth can be read, not tracked.
  hl::JoystickButton(j, 31, true);
  EXPECT_EQ(elSystem::GetJoyButton(0, 32), 1);
  EXPECT_EQ(elSystem::GetJoyButton(0, 33), 0);
  EXPECT_EQ(elSystem::GetJoyButton(0, 0), 0);

  // Unreadable: 0, the stored state kept.
  hl::DetachJoystick(j);
  EXPECT_EQ(elSystem::GetJoyButtonState(0, 1), 0u);
  EXPECT_EQ(JoyState[0].buttonState[0], 3u);
  elSystem::GetJoyButtonStates(0, st);
  EXPECT_EQ(st[3], 0u);
  EXPECT_EQ(JoyState[0].buttonState[3], 1u);
}

TEST_F(JoystickTest, ButtonEdgesReadZeroDuringFadePauseAndLock) {
  const int j = hl::AttachJoystick();
  elSystem::InitJoystick();
  hl::JoystickButton(j, 1, true);
  FadeStep = 1;
  EXPECT_EQ(elSystem::GetJoyButtonState(0, 2), 0u);
  FadeStep = 0;
  PauseShown = 1;
  EXPECT_EQ(elSystem::GetJoyButtonState(0, 2), 0u);
  PauseShown = 0;
  InputLocked = 1;
  EXPECT_EQ(elSystem::GetJoyButtonState(0, 2), 0u);
  InputLocked = 0;
  EXPECT_EQ(elSystem::GetJoyButtonState(0, 2), 1u);
}

TEST_F(JoystickTest, HoldTimerClimbsToHundredAndDropsOnRelease) {
  const int j = hl::AttachJoystick();
  elSystem::InitJoystick();
  elSystem::SetJoystickRate(0, 0.0f, 50.0f);
  FrameSeconds = 0.5f;
  hl::JoystickButton(j, 1, true);
  std::vector<int32_t> seen;
  for (int i = 0; i < 6; ++i) seen.push_back(elSystem::GetJoyHold(0, 2));  // three seconds
  EXPECT_EQ(seen, (std::vector<int32_t>{25, 50, 75, 100, 100, 100}));
  hl::JoystickButton(j, 1, false);
  EXPECT_EQ(elSystem::GetJoyHold(0, 2), 0);

  // Truncated toward zero.
  FrameSeconds = 0.039f;
  hl::JoystickButton(j, 1, true);
  EXPECT_EQ(elSystem::GetJoyHold(0, 2), 1);  // 1.95

  // All four from one reading; a failed reading leaves the timers.
  FrameSeconds = 1.0f;
  hl::JoystickButton(j, 0, true);
  int32_t h[4];
  elSystem::GetJoyHolds(0, h);
  EXPECT_EQ(h[0], 50);
  EXPECT_EQ(h[1], 51);
  EXPECT_EQ(h[2], 0);
  hl::DetachJoystick(j);
  elSystem::GetJoyHolds(0, h);
  EXPECT_EQ(h[0], 0);
  EXPECT_EQ(h[1], 0);
  EXPECT_FLOAT_EQ(JoyState[0].hold[0], 50.0f);
  // GetJoyHold reads a failed reading as not pressed.
  EXPECT_EQ(elSystem::GetJoyHold(0, 1), 0);
  EXPECT_EQ(JoyState[0].hold[0], 0.0f);
}

TEST_F(JoystickTest, RampGrowsWhileHeldAndReturnsWithoutPassingZero) {
  const int j = hl::AttachJoystick();
  elSystem::InitJoystick();
  elSystem::SetJoystickRate(0, 200.0f, 0.0f);
  int32_t x = 0, y = 0;
  hl::JoystickAxis(j, 0, 32767);
  FrameSeconds = 0.05f;
  for (int i = 0; i < 5; ++i) elSystem::GetJoyRamp(0, &x, &y);  // 0.25 s
  EXPECT_EQ(x, 50);
  EXPECT_EQ(y, 0);
  hl::JoystickAxis(j, 0, 0);
  FrameSeconds = 0.1f;
  std::vector<int32_t> seen;
  for (int i = 0; i < 4; ++i) {
    elSystem::GetJoyRamp(0, &x, &y);
    seen.push_back(x);
  }
  EXPECT_EQ(seen, (std::vector<int32_t>{30, 10, 0, 0}));
  EXPECT_EQ(JoyState[0].rampX, 0.0f);

  // Up (Y falls) to the limit, then back from below zero.
  hl::JoystickAxis(j, 1, -32768);
  FrameSeconds = 1.0f;
  elSystem::GetJoyRamp(0, &x, &y);
  EXPECT_EQ(y, -100);
  hl::JoystickAxis(j, 1, 0);
  FrameSeconds = 0.25f;
  elSystem::GetJoyRamp(0, &x, &y);
  EXPECT_EQ(y, -50);
  elSystem::GetJoyRamp(0, &x, &y);
  EXPECT_EQ(y, 0);
  elSystem::GetJoyRamp(0, &x, &y);
  EXPECT_EQ(y, 0);

  // Unreadable: 0, 0 and the ramps stay.
  hl::JoystickAxis(j, 0, 32767);
  FrameSeconds = 0.1f;
  elSystem::GetJoyRamp(0, &x, &y);
  hl::DetachJoystick(j);
  elSystem::GetJoyRamp(0, &x, &y);
  EXPECT_EQ(x, 0);
  EXPECT_FLOAT_EQ(JoyState[0].rampX, 20.0f);

  elSystem::ResetJoystick();
  EXPECT_EQ(JoyState[0].rampX, 0.0f);
  EXPECT_EQ(JoyState[0].rampRate, 200.0f);  // rates stay
}

TEST_F(JoystickTest, AfterStartUpRatesAreZeroSoNothingMoves) {
  const int j = hl::AttachJoystick();
  JoyState[0].rampX = 42.0f;
  JoyState[0].buttonState[2] = 3;
  elSystem::InitJoystick();
  EXPECT_EQ(JoyState[0].rampX, 0.0f);
  EXPECT_EQ(JoyState[0].buttonState[2], 0u);
  FrameSeconds = 1.0f;
  hl::JoystickAxis(j, 0, 32767);
  hl::JoystickButton(j, 0, true);
  int32_t x, y;
  for (int i = 0; i < 3; ++i) {
    elSystem::GetJoyRamp(0, &x, &y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(elSystem::GetJoyHold(0, 1), 0);
  }
}

TEST_F(JoystickTest, OtherJoysticksAndButtonsAreRefusedWithoutTouchingState) {
  const int j0 = hl::AttachJoystick();
  const int j1 = hl::AttachJoystick();
  const int j2 = hl::AttachJoystick();  // attached, but past the two polled joysticks
  elSystem::InitJoystick();
  elSystem::SetJoystickRate(0, 100.0f, 100.0f);
  FrameSeconds = 1.0f;
  for (int j : {j0, j1, j2}) {
    hl::JoystickButton(j, 0, true);
    hl::JoystickButton(j, 4, true);
    hl::JoystickAxis(j, 0, 32767);
  }
  ElJoyState before[2];
  int32_t centres[4] = {JoyCenterX[0], JoyCenterX[1], JoyCenterY[0], JoyCenterY[1]};
  std::memcpy(before, JoyState, sizeof before);

  for (int32_t bad : {-1, 2, 3, 1000, INT32_MIN}) {
    EXPECT_EQ(elSystem::GetJoyButtonState(bad, 1), 0u);
    EXPECT_EQ(elSystem::GetJoyHold(bad, 1), 0);
    EXPECT_EQ(elSystem::GetJoyButton(bad, 1), 0);
    EXPECT_EQ(elSystem::GetJoyDirection8(bad), 5);
    int32_t x = 9, y = 9;
    elSystem::GetJoyRamp(bad, &x, &y);
    EXPECT_EQ(x, 0);
    elSystem::GetJoyPosition(bad, &x, &y);
    EXPECT_EQ(x, 0);
    elSystem::GetJoystickCenter(bad, &x, &y);
    EXPECT_EQ(x, 0);
    elSystem::GetJoyDirection(bad, &x, &y);
    EXPECT_EQ(x, 0);
    uint32_t four[4] = {9, 9, 9, 9};
    elSystem::GetJoyButtonStates(bad, four);
    EXPECT_EQ(four[0], 0u);
    int32_t holds[4] = {9, 9, 9, 9};
    elSystem::GetJoyHolds(bad, holds);
    EXPECT_EQ(holds[0], 0);
    elSystem::SetJoystickRate(bad, 5.0f, 5.0f);
  }
  for (int32_t badButton : {0, 5, -3, 32, INT32_MAX}) {
    EXPECT_EQ(elSystem::GetJoyButtonState(0, badButton), 0u);
    EXPECT_EQ(elSystem::GetJoyHold(1, badButton), 0);
  }
  EXPECT_EQ(std::memcmp(before, JoyState, sizeof before), 0);
  EXPECT_EQ(JoyCenterX[0], centres[0]);
  EXPECT_EQ(JoyCenterX[1], centres[1]);
  EXPECT_EQ(JoyCenterY[0], centres[2]);
  EXPECT_EQ(JoyCenterY[1], centres[3]);
  // Null outputs are skipped.
  elSystem::GetJoyButtons(0, nullptr);
  elSystem::GetJoyButtonStates(0, nullptr);
  elSystem::GetJoyHolds(0, nullptr);
  elSystem::GetJoyRamp(0, nullptr, nullptr);
  elSystem::GetJoyDirection(0, nullptr, nullptr);
}

}  // namespace
