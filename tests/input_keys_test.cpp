// Per-code state words over the queue, polled keys, the press-and-release trigger and the switches.
#include "platform/input.h"
#include "tests/support/input_fixture.h"

namespace hl = plat::headless;
namespace in = plat::input;
using namespace inputtest;

namespace {

class KeysTest : public InputTest {};

// Walks one frame's queue and calls CheckEvent for code once per current event, as game code does;
// answers the state after each call.
std::vector<uint32_t> CheckFrame(uint16_t code, uint32_t* state) {
  std::vector<uint32_t> seen;
  elSystem::UpdateInput();
  while (elSystem::GetEvent(1)) {
    float age = -1.0f;
    elSystem::CheckEvent(code, state, &age);
    EXPECT_EQ(age, InputEvent.age);
    seen.push_back(*state);
  }
  return seen;
}

TEST_F(KeysTest, CheckEventKeyWordGoesDownHeldUpIdle) {
  StartActive();
  uint32_t state = 0;
  hl::KeyPress(0x1E);
  EXPECT_EQ(CheckFrame(0x1E, &state), (std::vector<uint32_t>{0xFF01}));
  EXPECT_EQ(CheckFrame(0x1E, &state), (std::vector<uint32_t>{0xFF03}));  // the empty event ages it
  EXPECT_EQ(CheckFrame(0x1E, &state), (std::vector<uint32_t>{0xFF03}));
  hl::KeyRelease(0x1E);
  EXPECT_EQ(CheckFrame(0x1E, &state), (std::vector<uint32_t>{0xFF02}));
  EXPECT_EQ(CheckFrame(0x1E, &state), (std::vector<uint32_t>{0xFF00}));
  // Other codes in the queue age the word but do not set it.
  hl::KeyPress(0x1E);
  hl::KeyPress(0x1F);
  EXPECT_EQ(CheckFrame(0x1E, &state), (std::vector<uint32_t>{0xFF01, 0xFF03}));
}

TEST_F(KeysTest, CheckEventButtonsAndAxes) {
  const int j = hl::AttachJoystick();
  StartActive();
  uint32_t left = 0, joyButton = 0, joyX = 0;
  hl::MouseButton(0, true);
  hl::JoystickButton(j, 2, true);
  hl::JoystickAxis(j, 0, -32767);
  elSystem::UpdateInput();
  while (elSystem::GetEvent(0)) {
    float age;
    elSystem::CheckEvent(268, &left, &age);
    elSystem::CheckEvent(562, &joyButton, &age);
    elSystem::CheckEvent(8192, &joyX, &age);
  }
  EXPECT_EQ(left, 0xFF03u);  // went down on the first event, aged by the two after it
  EXPECT_EQ(joyButton, 0xFF03u);
  EXPECT_EQ(static_cast<int32_t>(joyX), -1000);
}

TEST_F(KeysTest, CheckEventMouseAxesInRawMotionMode) {
  const int j = hl::AttachJoystick();
  StartActive();
  elSystem::SetInputDevices(kInputKeyboard | kInputMouseMotion | kInputJoysticks);
  uint32_t x = 77, y = 77, joyRx = 0;
  float age;
  hl::MouseMove(5, 3);
  hl::JoystickAxis(j, 3, 16384);
  elSystem::UpdateInput();
  ASSERT_TRUE(elSystem::GetEvent(0));  // X: 5 queued as 10, doubled again here
  elSystem::CheckEvent(4096, &x, &age);
  elSystem::CheckEvent(4100, &y, &age);
  EXPECT_EQ(x, 20u);
  EXPECT_EQ(y, 0u);  // in this mode a mouse-axis word holds only the current event's motion
  ASSERT_TRUE(elSystem::GetEvent(0));  // Y: 3
  elSystem::CheckEvent(4096, &x, &age);
  elSystem::CheckEvent(4100, &y, &age);
  EXPECT_EQ(x, 0u);
  EXPECT_EQ(y, 3u);
  ASSERT_TRUE(elSystem::GetEvent(0));  // joystick Rx 500: joystick axes are never doubled
  elSystem::CheckEvent(8204, &joyRx, &age);
  EXPECT_EQ(joyRx, 500u);

  // With the pointer mode the word keeps its last value between events.
  elSystem::SetInputDevices(kInputKeyboard | kInputMousePointer);
  x = 123;
  elSystem::CheckEvent(4096, &x, &age);
  EXPECT_EQ(x, 123u);
  // Null words are refused.
  elSystem::CheckEvent(4096, nullptr, &age);
  elSystem::CheckEvent(4096, &x, nullptr);
}

TEST_F(KeysTest, GetKeyFollowsThePolledKeyState) {
  uint32_t s = 0;
  auto poll = [&] {
    elSystem::GetKey('A', &s);
    return s;
  };
  hl::KeyPress(0x1E);  // A
  EXPECT_EQ(poll(), 1u);
  EXPECT_EQ(poll(), 3u);
  hl::KeyRelease(0x1E);
  EXPECT_EQ(poll(), 2u);
  EXPECT_EQ(poll(), 0u);
  hl::KeyPress(0x1E);
  EXPECT_EQ(poll(), 1u);
  hl::KeyRelease(0x1E);
  EXPECT_EQ(poll(), 2u);
  hl::KeyPress(0x1E);
  EXPECT_EQ(poll(), 3u);  // down right after went-up: held, not went-down

  // Generic Shift from either side, the mouse buttons as virtual keys 1 and 2, the arrows.
  uint32_t shift = 0, lbutton = 0, rbutton = 0, left = 0, none = 0;
  hl::KeyPress(0x36);  // right Shift
  hl::MouseButton(1, true);
  hl::KeyPress(0xCB);
  elSystem::GetKey(16, &shift);
  elSystem::GetKey(1, &lbutton);
  elSystem::GetKey(2, &rbutton);
  elSystem::GetKey(0x25, &left);
  elSystem::GetKey(0x07, &none);  // no such key
  EXPECT_EQ(shift, 1u);
  EXPECT_EQ(lbutton, 0u);
  EXPECT_EQ(rbutton, 1u);
  EXPECT_EQ(left, 1u);
  EXPECT_EQ(none, 0u);
  elSystem::GetKey(-5, &none);
  elSystem::GetKey(100000, &none);
  EXPECT_EQ(none, 0u);
  elSystem::GetKey('A', nullptr);
}

TEST_F(KeysTest, GetKeyReadsZeroDuringFadePauseAndLock) {
  hl::KeyPress(0x39);  // space
  uint32_t s = 0;
  FadeStep = 4;
  elSystem::GetKey(0x20, &s);
  EXPECT_EQ(s, 0u);
  FadeStep = 0;
  PauseShown = 1;
  elSystem::GetKey(0x20, &s);
  EXPECT_EQ(s, 0u);
  PauseShown = 0;
  elSystem::LockInput();
  elSystem::GetKey(0x20, &s);
  EXPECT_EQ(s, 0u);
  elSystem::UnlockInput();
  elSystem::GetKey(0x20, &s);
  EXPECT_EQ(s, 1u);  // the forced 0 makes the next poll a fresh press
}

TEST_F(KeysTest, WaitTriggerFiresOncePerPressAndRelease) {
  auto send = [](uint32_t m, uintptr_t w = 0) { elSystem::WindowProc(m, w, 0); };
  EXPECT_EQ(elSystem::WaitTrigger(1, 0), 0u);
  send(plat::WM_LBUTTONDOWN);
  EXPECT_EQ(elSystem::WaitTrigger(1, 0), 0u);
  EXPECT_EQ(elSystem::WaitTrigger(1, 0), 0u);
  send(plat::WM_LBUTTONUP);
  EXPECT_EQ(elSystem::WaitTrigger(1, 0), 1u);
  EXPECT_EQ(LastButton, 0u);
  EXPECT_EQ(LastKey, 0u);
  EXPECT_EQ(elSystem::WaitTrigger(1, 0), 0u);
  EXPECT_EQ(elSystem::WaitTrigger(1, 0), 0u);

  // A key from a longer list; an unlisted button does not fire.
  send(plat::WM_RBUTTONDOWN);
  send(plat::WM_RBUTTONUP);
  EXPECT_EQ(elSystem::WaitTrigger(1, 'Z', 13, 0), 0u);
  send(plat::WM_KEYDOWN, 13);
  EXPECT_EQ(elSystem::WaitTrigger(1, 'Z', 13, 0), 0u);
  send(plat::WM_KEYUP, 13);
  EXPECT_EQ(elSystem::WaitTrigger(1, 'Z', 13, 0), 13u);
  EXPECT_EQ(elSystem::WaitTrigger(1, 'Z', 13, 0), 0u);
}

TEST_F(KeysTest, WaitTriggerNeedsAllReleasedBeforeArming) {
  auto send = [](uint32_t m, uintptr_t w = 0) { elSystem::WindowProc(m, w, 0); };
  send(plat::WM_LBUTTONDOWN);  // held before the first call: not armed
  EXPECT_EQ(elSystem::WaitTrigger(1, 0), 0u);
  EXPECT_EQ(TriggerState, 0u);
  send(plat::WM_LBUTTONUP);
  // Armed now; LastButton still says 1 from the press before arming, so that press counts.
  EXPECT_EQ(elSystem::WaitTrigger(1, 0), 1u);

  // A caught button replaced by another while held cancels the catch.
  EXPECT_EQ(elSystem::WaitTrigger(1, 2, 0), 0u);  // nothing held: armed
  send(plat::WM_LBUTTONDOWN);
  EXPECT_EQ(elSystem::WaitTrigger(1, 2, 0), 0u);
  EXPECT_EQ(TriggerCode, 1u);
  send(plat::WM_RBUTTONDOWN);
  EXPECT_EQ(elSystem::WaitTrigger(1, 2, 0), 0u);
  EXPECT_EQ(TriggerState, 0u);
}

TEST_F(KeysTest, UnlockClearsTheHeldKeyAndWatchCountsReleases) {
  KeyHeld = 5;
  elSystem::LockInput();
  EXPECT_EQ(KeyHeld, 5u);
  elSystem::UnlockInput();
  EXPECT_EQ(KeyHeld, 0u);

  elSystem::SetWatchKey('Q');
  elSystem::WindowProc(plat::WM_KEYUP, 'Q', 0);
  elSystem::WindowProc(plat::WM_KEYUP, 'W', 0);
  elSystem::WindowProc(plat::WM_KEYUP, 'Q', 0);
  EXPECT_EQ(elSystem::GetWatchCount(), 2u);
  elSystem::SetWatchKey('W');
  EXPECT_EQ(elSystem::GetWatchCount(), 0u);

  elSystem::EnableIME(0);
  EXPECT_FALSE(hl::ImeOn());
}

TEST_F(KeysTest, ClipToScreenFollowsTheDisplayMode) {
  elSystem::ClipCursorToScreen();
  in::ClipRect r{};
  ASSERT_TRUE(hl::CursorClip(&r));
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.right, 640);
  EXPECT_EQ(elSystem::IsCursorClipped(), 1);
  FullScreen = 0;
  ClientX = 10;
  ClientY = 20;
  elSystem::ClipCursorToScreen();
  EXPECT_EQ(CursorClipRect.left, 10);
  EXPECT_EQ(CursorClipRect.top, 20);
  EXPECT_EQ(CursorClipRect.right, 650);
  EXPECT_EQ(CursorClipRect.bottom, 500);
  // The real cursor is held inside the clip.
  hl::PlaceCursor(1000, 1000);
  int32_t x, y;
  hl::CursorPos(&x, &y);
  EXPECT_EQ(x, 639);
  EXPECT_EQ(y, 479);
  elSystem::UnclipCursor();
  EXPECT_EQ(elSystem::IsCursorClipped(), 0);
  EXPECT_FALSE(hl::CursorClip(nullptr));

  // A right double click toggles the clip when clipping is enabled.
  CursorClipEnabled = 1;
  elSystem::WindowProc(plat::WM_RBUTTONDBLCLK, 0, 0);
  EXPECT_EQ(elSystem::IsCursorClipped(), 1);
  elSystem::WindowProc(plat::WM_RBUTTONDBLCLK, 0, 0);
  EXPECT_EQ(elSystem::IsCursorClipped(), 0);
}

}  // namespace
