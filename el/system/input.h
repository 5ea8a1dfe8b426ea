// Input devices, the event queue, polled keys, the cursor and joysticks.
#pragma once
#include <cstdint>

#include "el/system/state.h"

// One queued input record: after elSystem::UpdateInput the first word holds the event code.
struct InputRecord {
  uint32_t code;  // object offset as read, event code after the update
  uint32_t data;  // keys and buttons: 0x80 pressed; axes: the value, signed
  uint32_t time;  // time stamp, ms
  uint32_t seq;   // sequence number (not read)
};
static_assert(sizeof(InputRecord) == 16);

// The current event, filled by elSystem::GetEvent.
struct ElInputEvent {
  uint8_t kind;      // 0 none, 1 keyboard, 2 mouse, 3 joystick
  uint8_t joystick;  // joystick slot + 1 for joystick events, else 0
  uint16_t code;     // event code; 0xFFFF for the empty event
  int32_t value;     // keys and buttons: 1 pressed, 0 released; axes: the axis value
  float age;         // seconds between the record's time stamp and InputTime
};

// Event codes.
constexpr uint16_t kEventMouseLeft = 268;
constexpr uint16_t kEventMouseRight = 269;
constexpr uint16_t kEventMouseX = 4096;
constexpr uint16_t kEventMouseY = 4100;
constexpr uint16_t kEventMouseWheel = 4104;
constexpr uint16_t kEventNone = 0xFFFF;

// Bits of InputDevices.
constexpr uint16_t kInputKeyboard = 1;
constexpr uint16_t kInputMousePointer = 2;
constexpr uint16_t kInputMouseMotion = 4;
constexpr uint16_t kInputJoysticks = 8;

constexpr int kMaxJoysticks = 16;
constexpr uint32_t kEventQueueSize = 256;
constexpr int32_t kNoInputDevice = -1;

// Device set (device numbers of the platform's input service; kNoInputDevice when absent).
extern bool DInput;
extern int32_t DIKeyboard;
extern int32_t DIMouse;
extern int32_t DIJoystick[kMaxJoysticks];
extern int32_t DIJoystick2[kMaxJoysticks];
extern int32_t JoystickCount;
extern uint16_t InputDevices;

// Event queue.
extern InputRecord EventQueue[kEventQueueSize];
extern uint8_t EventJoystick[kEventQueueSize];
extern uint32_t EventCount;
extern int32_t EventIndex;
extern uint32_t EventEndFlag;
extern ElInputEvent InputEvent;

// Pointer position carried by mouse-axis events, and its pending re-sync.
extern int32_t PointerX, PointerY;
extern uint32_t PointerSyncPending;

// Cursor clip set by elSystem::ClipCursor.
extern uint32_t CursorClipped;
extern ElRect CursorClipRect;

// elSystem::WaitTrigger.
extern uint32_t TriggerState;
extern uint32_t TriggerCode;

// Polled joysticks 0 and 1.
struct ElJoyState {
  float rampX, rampY;
  float rampRate;
  float hold[4];
  float holdRate;
  uint32_t buttonState[4];
};
extern int32_t JoyCenterX[2], JoyCenterY[2];
extern ElJoyState JoyState[2];

namespace elSystem {

// Devices and the event queue.
int Init();
void ReleaseInput();
void ActivateInput(uint32_t active);
void UpdateInput();
int GetEvent(uint32_t wantEmpty);
void SetInputDevices(uint16_t mask);
void CheckEvent(uint16_t code, uint32_t* state, float* age);
void GetKey(int32_t vk, uint32_t* state);
// Codes 1 and 2 are the left and right mouse button, any other a virtual key; the list ends with 0.
uint32_t WaitTrigger(uint32_t code, ...);

// Pointer and cursor.
void SyncPointer(uint32_t mode);
void SetMousePos(int32_t x, int32_t y);
void ClipCursor(int32_t left, int32_t top, int32_t right, int32_t bottom);
void ClipCursorToScreen();
void UnclipCursor();
int IsCursorClipped();

// Switches.
void LockInput();
void UnlockInput();
void EnableIME(uint32_t on);
void SetSysKeyMode(uint32_t mode);
void SetWatchKey(uint32_t vk);
uint32_t GetWatchCount();

// Polled joysticks (numbers 0 and 1; buttons 1-based).
int InitJoystick();
void CalibrateJoystick();
void ResetJoystick();
void SetJoystickRate(int32_t joystick, float rampRate, float holdRate);
void GetJoystickCenter(int32_t joystick, int32_t* x, int32_t* y);
void GetJoyPosition(int32_t joystick, int32_t* x, int32_t* y);
int GetJoyButton(int32_t joystick, int32_t button);
void GetJoyButtons(int32_t joystick, uint32_t* pressed4);
uint32_t GetJoyButtonState(int32_t joystick, int32_t button);
void GetJoyButtonStates(int32_t joystick, uint32_t* states4);
int32_t GetJoyHold(int32_t joystick, int32_t button);
void GetJoyHolds(int32_t joystick, int32_t* holds4);
void GetJoyDirection(int32_t joystick, int32_t* dx, int32_t* dy);
int32_t GetJoyDirection8(int32_t joystick);
void GetJoyRamp(int32_t joystick, int32_t* x, int32_t* y);

}  // namespace elSystem
