// The device event queue: set-up, activation, the per-frame drain, its order and limits, and the walk.
#include <string>

#include "platform/input.h"
#include "tests/support/input_fixture.h"

namespace hl = plat::headless;
namespace in = plat::input;
using namespace inputtest;

namespace {

class QueueTest : public InputTest {};

TEST_F(QueueTest, ClicksArriveAsButtonCodesPressedThenReleased) {
  StartActive();
  // Activation through the window procedure, as the host delivers it.
  elSystem::WindowProc(plat::WM_ACTIVATEAPP, 1, 0);
  hl::PlaceCursor(0, 0);
  hl::MouseButton(0, true);
  auto evs = Frame();
  ASSERT_GE(evs.size(), 1u);
  EXPECT_EQ(evs[0].code, 268);
  EXPECT_EQ(evs[0].value, 1);
  EXPECT_EQ(evs[0].kind, 2);
  EXPECT_EQ(evs[0].joystick, 0);

  hl::MouseButton(0, false);
  hl::MouseButton(1, true);
  hl::MouseButton(1, false);
  evs = Frame();
  ASSERT_EQ(evs.size(), 3u);
  EXPECT_EQ(evs[0].code, 268);
  EXPECT_EQ(evs[0].value, 0);
  EXPECT_EQ(evs[1].code, 269);
  EXPECT_EQ(evs[1].value, 1);
  EXPECT_EQ(evs[2].code, 269);
  EXPECT_EQ(evs[2].value, 0);

  // Middle and side buttons take the next codes; nothing is left over for the next frame.
  hl::MouseButton(2, true);
  hl::MouseButton(3, true);
  evs = Frame();
  EXPECT_EQ(Codes(evs), (std::vector<uint16_t>{270, 271}));
  EXPECT_TRUE(Frame().empty());
}

TEST_F(QueueTest, EmptyFrameGivesTheEmptyEventOnceThenNothing) {
  StartActive();
  elSystem::UpdateInput();
  ASSERT_EQ(EventCount, 0u);
  EXPECT_EQ(elSystem::GetEvent(0), 0);  // real events only: nothing at once

  InputEvent = ElInputEvent{2, 5, 268, 7, 3.0f};
  EXPECT_EQ(elSystem::GetEvent(1), 1);
  EXPECT_EQ(InputEvent.kind, 0);
  EXPECT_EQ(InputEvent.joystick, 0);
  EXPECT_EQ(InputEvent.code, 0xFFFF);
  EXPECT_EQ(InputEvent.value, 0);
  EXPECT_EQ(InputEvent.age, 0.0f);
  EXPECT_EQ(elSystem::GetEvent(1), 0);
  // The 0 answer cleared the end flag: a new walk gets the empty event again.
  EXPECT_EQ(elSystem::GetEvent(1), 1);
  EXPECT_EQ(InputEvent.code, 0xFFFF);
  EXPECT_EQ(elSystem::GetEvent(1), 0);

  // With events queued the walk never gives the empty event.
  hl::KeyPress(0x1E);
  elSystem::UpdateInput();
  EXPECT_EQ(elSystem::GetEvent(1), 1);
  EXPECT_EQ(InputEvent.code, 0x1E);
  EXPECT_EQ(elSystem::GetEvent(1), 0);
  EXPECT_EQ(elSystem::GetEvent(1), 0);
}

TEST_F(QueueTest, WalkStoppedAtTheEmptyEventDoesNotSwallowTheNextFrame) {
  StartActive();
  elSystem::UpdateInput();
  ASSERT_EQ(elSystem::GetEvent(1), 1);  // the empty event; the walk stops here
  hl::MouseButton(0, true);
  elSystem::UpdateInput();
  ASSERT_EQ(elSystem::GetEvent(1), 1);
  EXPECT_EQ(InputEvent.code, 268);
  EXPECT_EQ(InputEvent.value, 1);
}

TEST_F(QueueTest, KeyboardThenMouseThenJoysticksInSlotOrderThenPosition) {
  const int j0 = hl::AttachJoystick();
  const int j1 = hl::AttachJoystick();
  StartActive();
  ASSERT_EQ(JoystickCount, 2);
  elSystem::SyncPointer(1);
  // Fed in the opposite order of the queue.
  hl::JoystickButton(j1, 0, true);
  hl::JoystickButton(j0, 31, true);
  hl::MouseButton(1, true);
  hl::KeyPress(0x01);
  hl::KeyRelease(0x01);
  auto evs = Frame();
  EXPECT_EQ(Codes(evs), (std::vector<uint16_t>{1, 1, 269, 591, 560, 4096, 4100}));
  ASSERT_EQ(evs.size(), 7u);
  EXPECT_EQ(evs[0].kind, 1);
  EXPECT_EQ(evs[0].value, 1);
  EXPECT_EQ(evs[1].value, 0);
  EXPECT_EQ(evs[3].kind, 3);
  EXPECT_EQ(evs[3].joystick, 1);  // slot 0
  EXPECT_EQ(evs[4].joystick, 2);  // slot 1
  EXPECT_EQ(evs[5].joystick, 0);
  EXPECT_EQ(evs[5].kind, 2);
}

TEST_F(QueueTest, JoystickAxesAreScaledWithTheirDeadZoneAndHatsPassThrough) {
  const int j = hl::AttachJoystick();
  StartActive();
  hl::JoystickAxis(j, 0, 32767);   // X full right -> 1000
  hl::JoystickAxis(j, 1, -16000);  // Y inside the half-range dead zone -> stays 0, no record
  hl::JoystickAxis(j, 2, -32768);  // Z full -> -1000
  hl::JoystickAxis(j, 3, 16384);   // Rx, no dead zone: half way -> 500
  hl::JoystickAxis(j, 6, 32767);   // slider keeps the default range 0..65535
  hl::JoystickPov(j, 0, 9000);
  auto evs = Frame();
  ASSERT_EQ(evs.size(), 5u);
  EXPECT_EQ(evs[0].code, 8192);
  EXPECT_EQ(evs[0].value, 1000);
  EXPECT_EQ(evs[1].code, 8200);
  EXPECT_EQ(evs[1].value, -1000);
  EXPECT_EQ(evs[2].code, 8204);
  EXPECT_EQ(evs[2].value, 500);
  EXPECT_EQ(evs[3].code, 8216);
  EXPECT_EQ(evs[3].value, 65535);
  EXPECT_EQ(evs[4].code, 8224);
  EXPECT_EQ(evs[4].value, 9000);
  for (const Ev& e : evs) {
    EXPECT_EQ(e.kind, 3);
    EXPECT_EQ(e.joystick, 1);
  }
  // Past the dead zone, the rest of the half maps onto 0..1000.
  hl::JoystickAxis(j, 1, 24575);  // 3/4 of the way: (0.75 - 0.5) / 0.5 -> 500
  evs = Frame();
  ASSERT_EQ(evs.size(), 1u);
  EXPECT_EQ(evs[0].code, 8196);
  EXPECT_NEAR(evs[0].value, 500, 1);
}

TEST_F(QueueTest, InactiveFramesAreEmptyAndReadNothing) {
  StartActive();
  hl::KeyPress(0x10);
  AppActive = 0;  // devices still acquired: the update must not read them
  EXPECT_TRUE(Frame().empty());
  EXPECT_EQ(EventCount, 0u);
  EXPECT_EQ(EventIndex, -1);
  AppActive = 1;
  EXPECT_EQ(Codes(Frame()), (std::vector<uint16_t>{0x10}));

  // Deactivated through the window procedure: devices let go, nothing buffered meanwhile.
  elSystem::WindowProc(plat::WM_ACTIVATEAPP, 0, 0);
  hl::KeyPress(0x11);
  hl::MouseButton(0, true);
  EXPECT_TRUE(Frame().empty());
  elSystem::WindowProc(plat::WM_ACTIVATEAPP, 1, 0);
  // The first active frame carries the cursor position only.
  hl::PlaceCursor(30, 40);
  auto evs = Frame();
  ASSERT_EQ(Codes(evs), (std::vector<uint16_t>{4096, 4100}));
}

TEST_F(QueueTest, RawMotionOfFiveOrMoreCountsDouble) {
  StartActive();
  elSystem::SetInputDevices(kInputKeyboard | kInputMouseMotion);
  hl::MouseMove(4, -4);
  hl::MouseMove(5, -5);
  hl::MouseMove(-6, 100);
  auto evs = Frame();
  ASSERT_EQ(evs.size(), 6u);
  const int32_t want[6] = {4, -4, 10, -10, -12, 200};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(evs[i].code, i % 2 ? 4100 : 4096);
    EXPECT_EQ(evs[i].value, want[i]) << i;
  }
  EXPECT_EQ(PointerX, 0);  // raw motion leaves the pointer alone
  EXPECT_EQ(PointerY, 0);
}

TEST_F(QueueTest, FullScreenPointerStaysInsideTheClip) {
  StartActive();
  elSystem::ClipCursor(10, 20, 110, 220);
  PointerX = 50;
  PointerY = 50;
  hl::MouseMove(3, 2);
  auto evs = Frame();
  ASSERT_EQ(evs.size(), 2u);
  EXPECT_EQ(evs[0].value, 53);
  EXPECT_EQ(evs[1].value, 52);
  for (int i = 0; i < 3; ++i) hl::MouseMove(4000, 4000);
  evs = Frame();
  ASSERT_EQ(evs.size(), 6u);
  for (const Ev& e : evs) EXPECT_EQ(e.value, e.code == 4096 ? 109 : 219);
  EXPECT_EQ(PointerX, 109);
  EXPECT_EQ(PointerY, 219);
  hl::MouseMove(-100000, -100000);
  evs = Frame();
  ASSERT_EQ(evs.size(), 2u);
  EXPECT_EQ(evs[0].value, 10);
  EXPECT_EQ(evs[1].value, 20);
  // Motion of 5 or more counts double on the pointer too.
  hl::MouseMove(5, 4);
  evs = Frame();
  EXPECT_EQ(PointerX, 20);
  EXPECT_EQ(PointerY, 24);
  // Unclipped, the pointer follows the motion; huge motion saturates instead of wrapping.
  elSystem::UnclipCursor();
  hl::MouseMove(-30, 0);
  Frame();
  EXPECT_EQ(PointerX, -40);
  hl::MouseMove(INT32_MAX, 0);
  hl::MouseMove(INT32_MAX, 0);
  Frame();
  EXPECT_EQ(PointerX, INT32_MAX);
}

TEST_F(QueueTest, WindowedPointerRecordsCarryTheCursorInClientCoordinates) {
  StartActive();
  FullScreen = 0;
  ClientX = 100;
  ClientY = 50;
  hl::PlaceCursor(300, 200);
  hl::MouseMove(7, 1);
  auto evs = Frame();
  ASSERT_EQ(evs.size(), 2u);
  EXPECT_EQ(evs[0].code, 4096);
  EXPECT_EQ(evs[0].value, 307 - 100);
  EXPECT_EQ(evs[1].code, 4100);
  EXPECT_EQ(evs[1].value, 201 - 50);
}

TEST_F(QueueTest, WheelKeepsItsOwnMotionAndLeavesThePointer) {
  StartActive();
  PointerY = 100;
  hl::MouseWheel(120);
  hl::MouseWheel(-240);
  auto evs = Frame();
  ASSERT_EQ(evs.size(), 2u);
  EXPECT_EQ(evs[0].code, 4104);
  EXPECT_EQ(evs[0].kind, 2);
  EXPECT_EQ(evs[0].value, 240);
  EXPECT_EQ(evs[1].value, -480);
  EXPECT_EQ(PointerY, 100);
  FullScreen = 0;
  hl::MouseWheel(120);
  evs = Frame();
  ASSERT_EQ(evs.size(), 1u);
  EXPECT_EQ(evs[0].value, 240);
}

TEST_F(QueueTest, AQueueHoldsAtMost256RecordsAndTheRestWaits) {
  const int j = hl::AttachJoystick();
  StartActive();
  elSystem::SyncPointer(1);
  for (int i = 0; i < 100; ++i) {
    hl::KeyPress(0x1E);
    hl::KeyRelease(0x1E);
  }
  for (int i = 0; i < 100; ++i) hl::MouseButton(i % 2, i % 4 < 2);
  hl::JoystickButton(j, 0, true);
  auto evs = Frame();
  ASSERT_EQ(evs.size(), 256u);
  EXPECT_EQ(EventCount, 256u);
  EXPECT_EQ(evs[199].code, 0x1E);
  EXPECT_EQ(evs[200].code, 268);
  EXPECT_EQ(evs[255].kind, 2);
  EXPECT_EQ(PointerSyncPending, 1u);  // no room for the position this frame

  // Next frame: the 44 mouse records left, the joystick, then the position.
  evs = Frame();
  ASSERT_EQ(evs.size(), 44u + 1 + 2);
  EXPECT_EQ(evs[44].code, 560);
  EXPECT_EQ(evs[45].code, 4096);
  EXPECT_EQ(evs[46].code, 4100);
  EXPECT_EQ(PointerSyncPending, 0u);

  // 255 records leave one place: the position needs two and waits.
  for (int i = 0; i < 255; ++i) hl::KeyPress(0x20);
  elSystem::SyncPointer(1);
  EXPECT_EQ(Frame().size(), 255u);
  EXPECT_EQ(PointerSyncPending, 1u);
}

TEST_F(QueueTest, OverflowedDeviceLosesThatReadOnly) {
  StartActive();
  for (int i = 0; i < 300; ++i) hl::KeyPress(0x30);  // the device keeps 256 and reports the loss
  hl::MouseButton(0, true);
  auto evs = Frame();
  // The overflowed read is not counted; the mouse is read as usual.
  EXPECT_EQ(Codes(evs), (std::vector<uint16_t>{268}));
  hl::KeyPress(0x31);
  EXPECT_EQ(Codes(Frame()), (std::vector<uint16_t>{0x31}));
}

TEST_F(QueueTest, LostDeviceIsReacquiredAndReadAgain) {
  StartActive();
  hl::LoseInputDevice(in::kMouse);
  hl::KeyPress(0x02);
  EXPECT_EQ(Codes(Frame()), (std::vector<uint16_t>{0x02}));
  hl::MouseButton(1, true);
  EXPECT_EQ(Codes(Frame()), (std::vector<uint16_t>{269}));
}

TEST_F(QueueTest, DeviceThatCannotBeReacquiredDoesNotStallTheFrame) {
  StartActive();
  hl::SetDeviceAcquireRefused(in::kMouse, true);
  hl::LoseInputDevice(in::kMouse);
  hl::KeyPress(0x03);
  EXPECT_EQ(Codes(Frame()), (std::vector<uint16_t>{0x03}));
  EXPECT_TRUE(Frame().empty());
  hl::SetDeviceAcquireRefused(in::kMouse, false);
  Frame();  // re-acquired by the retry
  hl::MouseButton(0, true);
  EXPECT_EQ(Codes(Frame()), (std::vector<uint16_t>{268}));

  // Out of the foreground nothing can be acquired either.
  hl::SetInputForeground(false);
  EXPECT_TRUE(Frame().empty());
  hl::SetInputForeground(true);
  Frame();
  hl::KeyPress(0x04);
  EXPECT_EQ(Codes(Frame()), (std::vector<uint16_t>{0x04}));
}

TEST_F(QueueTest, AgeIsMeasuredAgainstInputTime) {
  hl::SetReadStepMicros(0);
  StartActive();
  hl::SetTimeMs(1000);
  hl::KeyPress(0x05);
  hl::SetTimeMs(1250);
  elSystem::UpdateInput();
  InputTime = 1250;
  ASSERT_EQ(elSystem::GetEvent(0), 1);
  EXPECT_FLOAT_EQ(InputEvent.age, 0.25f);
  // Across the wrap of the millisecond clock.
  hl::SetTimeMs(0xFFFFFF00u);
  hl::KeyPress(0x05);
  elSystem::UpdateInput();
  InputTime = 0x100;
  ASSERT_EQ(elSystem::GetEvent(0), 1);
  EXPECT_FLOAT_EQ(InputEvent.age, 0.512f);
}

TEST_F(QueueTest, PositionRecordsAfterSyncAndSetMousePos) {
  StartActive();
  ClientX = 3;
  ClientY = 4;
  hl::PlaceCursor(100, 90);
  InputTime = 777;
  elSystem::SyncPointer(0);  // start-up form: no records, just the pointer
  EXPECT_EQ(PointerX, 97);
  EXPECT_EQ(PointerY, 86);
  elSystem::UpdateInput();
  EXPECT_EQ(EventCount, 0u);

  elSystem::SyncPointer(1);
  elSystem::UpdateInput();
  ASSERT_EQ(EventCount, 2u);
  EXPECT_EQ(EventQueue[0].code, 4096u);
  EXPECT_EQ(static_cast<int32_t>(EventQueue[0].data), 97);
  EXPECT_EQ(EventQueue[0].time, 777u);  // the previous frame's InputTime
  EXPECT_EQ(EventQueue[1].code, 4100u);
  EXPECT_EQ(static_cast<int32_t>(EventQueue[1].data), 86);
  EXPECT_EQ(EventQueue[1].time, 777u);

  elSystem::SetMousePos(20, 30);
  int32_t cx, cy;
  hl::CursorPos(&cx, &cy);
  EXPECT_EQ(cx, 23);
  EXPECT_EQ(cy, 34);
  EXPECT_EQ(PointerX, 20);
  auto evs = Frame();
  ASSERT_EQ(evs.size(), 2u);
  EXPECT_EQ(evs[0].value, 20);
  EXPECT_EQ(evs[1].value, 30);

  // Without the pointer bit nothing is queued for a re-sync.
  elSystem::SetInputDevices(kInputKeyboard | kInputMouseMotion);
  elSystem::SyncPointer(1);
  elSystem::SetMousePos(1, 1);
  EXPECT_TRUE(Frame().empty());
}

TEST_F(QueueTest, InitCountsJoysticksAndStopsAtSixteen) {
  ASSERT_EQ(elSystem::Init(), 1);
  EXPECT_EQ(JoystickCount, 0);
  EXPECT_EQ(InputDevices, 3);

  for (int i = 0; i < 20; ++i) hl::AttachJoystick();
  hl::SetDeviceCreateRefused(in::JoystickDevice(1), true);  // the second is skipped
  WaitTable[4] = 5;
  InputLocked = 1;
  KeyHeld = 9;
  SysKeyMode = 2;
  ASSERT_EQ(elSystem::Init(), 1);
  EXPECT_EQ(JoystickCount, 16);
  EXPECT_EQ(InputDevices, 11);
  EXPECT_EQ(DIJoystick[0], in::JoystickDevice(0));
  EXPECT_EQ(DIJoystick[1], in::JoystickDevice(2));
  EXPECT_EQ(DIJoystick[15], in::JoystickDevice(16));
  for (int i = 0; i < 16; ++i) EXPECT_EQ(DIJoystick2[i], DIJoystick[i]);
  EXPECT_FALSE(in::DeviceCreated(in::JoystickDevice(17)));
  EXPECT_EQ(WaitTable[4], 999999999u);
  EXPECT_EQ(InputLocked, 0u);
  EXPECT_EQ(KeyHeld, 0u);
  EXPECT_EQ(SysKeyMode, 0u);
  EXPECT_EQ(CursorClipped, 1u);  // full screen: the cursor is held on the game screen
  EXPECT_EQ(CursorClipRect.right, 640);
  EXPECT_EQ(CursorClipRect.bottom, 480);
}

TEST_F(QueueTest, InitReportsWhenTheMouseOrTheServiceIsMissing) {
  hl::SetDeviceCreateRefused(in::kMouse, true);
  EXPECT_EQ(elSystem::Init(), 0);
  EXPECT_EQ(ErrorFlag, 1);
  ASSERT_EQ(hl::Boxes().size(), 1u);
  EXPECT_EQ(hl::Boxes()[0].text, std::string("elSystem::Init : DirectInputが使用できません"));
  EXPECT_EQ(hl::Boxes()[0].caption, std::string("エラー発生"));
  // The keyboard made before the failure stays for the release.
  EXPECT_EQ(DIKeyboard, in::kKeyboard);
  elSystem::ReleaseInput();
  EXPECT_EQ(DIKeyboard, kNoInputDevice);
  EXPECT_FALSE(DInput);

  hl::SetDeviceCreateRefused(in::kMouse, false);
  hl::SetInputServiceRefused(true);
  EXPECT_EQ(elSystem::Init(), 0);
  EXPECT_EQ(hl::Boxes().size(), 2u);
  // Without devices the queue stays empty and nothing breaks.
  AppActive = 1;
  EXPECT_TRUE(Frame().empty());
}

TEST_F(QueueTest, ReleaseLetsGoOfEverything) {
  hl::AttachJoystick();
  StartActive();
  elSystem::ReleaseInput();
  EXPECT_FALSE(DInput);
  EXPECT_EQ(DIKeyboard, kNoInputDevice);
  EXPECT_EQ(DIMouse, kNoInputDevice);
  EXPECT_EQ(DIJoystick[0], kNoInputDevice);
  EXPECT_EQ(CursorClipped, 0u);
  EXPECT_FALSE(hl::CursorClip(nullptr));
  hl::KeyPress(0x1E);
  EXPECT_TRUE(Frame().empty());
  // Set up again after a release (a second display set-up).
  StartActive();
  hl::KeyPress(0x1E);
  EXPECT_EQ(Codes(Frame()), (std::vector<uint16_t>{0x1E}));
}

}  // namespace
