/// @file
/// elSystem's input: devices, the event queue, polled keys, the cursor and joysticks.
///
/// Once a frame elSystem::UpdateInput drains the keyboard, the mouse and the joysticks into one
/// queue (at most 256 records); elSystem::GetEvent then walks it, one event at a time, into
/// InputEvent. Event codes share one 16-bit space: keyboard scan codes 0..255, mouse buttons
/// 268..271, joystick buttons 560..591, mouse axes 4096 (x), 4100 (y), 4104 (wheel), joystick axes
/// 8192 and up. Window messages keep their own state as well (mouse position, clicks, held keys;
/// see el/system/state.h). Joysticks 0 and 1 can also be polled directly, with button edges, hold
/// timers and axis ramps scaled by the frame time.
#pragma once
#include <cstdint>

#include "el/system/state.h"

/// One queued input record: after elSystem::UpdateInput the first word holds the event code.
struct InputRecord {
  uint32_t code;  ///< object offset as read, event code after the update
  uint32_t data;  ///< keys and buttons: 0x80 pressed; axes: the value, signed
  uint32_t time;  ///< time stamp, ms
  uint32_t seq;   ///< sequence number (not read)
};
static_assert(sizeof(InputRecord) == 16);

/// The current event, filled by elSystem::GetEvent.
struct ElInputEvent {
  uint8_t kind;      ///< 0 none, 1 keyboard, 2 mouse, 3 joystick
  uint8_t joystick;  ///< joystick slot + 1 for joystick events, else 0
  uint16_t code;     ///< event code; 0xFFFF for the empty event
  int32_t value;     ///< keys and buttons: 1 pressed, 0 released; axes: the axis value
  float age;         ///< seconds between the record's time stamp and InputTime
};

// Event codes.
/// Event code of the left mouse button.
constexpr uint16_t kEventMouseLeft = 268;
/// Event code of the right mouse button.
constexpr uint16_t kEventMouseRight = 269;
/// Event code of the mouse's x axis (pointer column, or motion).
constexpr uint16_t kEventMouseX = 4096;
/// Event code of the mouse's y axis (pointer row, or motion).
constexpr uint16_t kEventMouseY = 4100;
/// Event code of the mouse wheel.
constexpr uint16_t kEventMouseWheel = 4104;
/// Event code of the empty event (elSystem::GetEvent with wantEmpty).
constexpr uint16_t kEventNone = 0xFFFF;

// Bits of InputDevices.
/// InputDevices bit: read the keyboard.
constexpr uint16_t kInputKeyboard = 1;
/// InputDevices bit: mouse axes carry the pointer position.
constexpr uint16_t kInputMousePointer = 2;
/// InputDevices bit: mouse axes carry the motion.
constexpr uint16_t kInputMouseMotion = 4;
/// InputDevices bit: read the joysticks.
constexpr uint16_t kInputJoysticks = 8;

/// Most joysticks read into the event queue.
constexpr int kMaxJoysticks = 16;
/// Records the event queue holds.
constexpr uint32_t kEventQueueSize = 256;
/// Device number of a device that is not there.
constexpr int32_t kNoInputDevice = -1;

// Device set (device numbers of the platform's input service; kNoInputDevice when absent).
/// The input service is open.
extern bool DInput;
/// Device number of the keyboard.
extern int32_t DIKeyboard;
/// Device number of the mouse.
extern int32_t DIMouse;
/// Device numbers of the joysticks, in attach order.
extern int32_t DIJoystick[kMaxJoysticks];
/// The same joysticks, as polled before each read.
extern int32_t DIJoystick2[kMaxJoysticks];
/// Joysticks found by elSystem::Init (at most 16).
extern int32_t JoystickCount;
/// Which devices elSystem::UpdateInput reads: kInputKeyboard | kInputMousePointer | ... bits.
extern uint16_t InputDevices;

// Event queue.
/// This frame's input records.
extern InputRecord EventQueue[kEventQueueSize];
/// Joystick slot + 1 of each record, 0 for keyboard and mouse.
extern uint8_t EventJoystick[kEventQueueSize];
/// Records in the queue this frame.
extern uint32_t EventCount;
/// Record of the current event; -1 before the first.
extern int32_t EventIndex;
/// 1 after elSystem::GetEvent gave the empty event: the next call answers 0.
extern uint32_t EventEndFlag;
/// The current event.
extern ElInputEvent InputEvent;

// Pointer position carried by mouse-axis events, and its pending re-sync.
///@{
/// The pointer position on the screen that mouse-axis events carry in pointer mode (full screen).
extern int32_t PointerX, PointerY;
///@}
/// 1: the next elSystem::UpdateInput queues the cursor position as two axis events.
extern uint32_t PointerSyncPending;

// Cursor clip set by elSystem::ClipCursor.
/// 1 while the cursor is held in CursorClipRect.
extern uint32_t CursorClipped;
/// The rectangle the cursor is held in (screen pixels).
extern ElRect CursorClipRect;

// elSystem::WaitTrigger.
/// Phase of elSystem::WaitTrigger: 0 waiting for release of everything, 1 armed, 2 pressed.
extern uint32_t TriggerState;
/// The code elSystem::WaitTrigger saw pressed.
extern uint32_t TriggerCode;

/// State of a polled joystick (0 or 1).
struct ElJoyState {
  ///@{
  /// Axis ramps, -100..100 (elSystem::GetJoyRamp).
  float rampX, rampY;
  ///@}
  /// Ramp speed: units a second.
  float rampRate;
  /// Hold timers of buttons 1..4, 0..100 (elSystem::GetJoyHold).
  float hold[4];
  /// Hold timer speed: units a second.
  float holdRate;
  /// Edge states of buttons 1..4 (elSystem::GetJoyButtonState).
  uint32_t buttonState[4];
};
///@{
/// Rest positions of joysticks 0 and 1 (elSystem::CalibrateJoystick).
extern int32_t JoyCenterX[2], JoyCenterY[2];
///@}
/// Polled state of joysticks 0 and 1.
extern ElJoyState JoyState[2];

namespace elSystem {

// Devices and the event queue.
/// Opens the keyboard, the mouse and up to 16 joysticks, empties the queue, puts every wait slot
/// out of use and unlocks input (called by elDraw::Screen).
/// @return 1; on failure 0 after reporting "DirectInputが使用できません".
int Init();
/// Releases the input devices and frees the cursor.
void ReleaseInput();
/// Takes the devices when the window becomes active (active = 1) and lets them go when it does not
/// (0); while inactive elSystem::UpdateInput queues nothing.
void ActivateInput(uint32_t active);
/// Drains the devices into the event queue: keyboard, then mouse, then joysticks; mouse motion of 5 or
/// more counts double; in pointer mode the mouse axes carry the pointer position (held in
/// CursorClipRect while the cursor is clipped). Call once a frame before walking the events.
void UpdateInput();
/// Moves to the next event of the queue and puts it in InputEvent.
/// @param wantEmpty non-zero: when the queue is empty, answer one empty event (code kEventNone) first.
/// @return 1 when InputEvent holds an event, 0 at the end of the queue.
int GetEvent(uint32_t wantEmpty);
/// Chooses the devices elSystem::UpdateInput reads.
/// @param mask kInputKeyboard, kInputMousePointer or kInputMouseMotion, kInputJoysticks, or-ed.
void SetInputDevices(uint16_t mask);
/// Follows one event code across the event walk: call for each event of the frame.
/// @param code the event code to watch.
/// @param[in,out] state keys and buttons: 0xFF01 pressed now, 0xFF03 held, 0xFF02 released now,
/// 0xFF00 up; axes: the axis value (mouse motion of 5 or more counts double in motion mode).
/// @param[out] age seconds since the current event happened.
void CheckEvent(uint16_t code, uint32_t* state, float* age);
/// Polls a key directly (not through the queue).
/// @param vk virtual-key code.
/// @param[in,out] state 0 up, 1 just pressed, 3 held, 2 just released; held at 0 while a fade or
/// the pause overlay runs or input is locked.
void GetKey(int32_t vk, uint32_t* state);
/// Waits for one of the listed keys or buttons to be pressed and released: call once a frame.
/// Codes 1 and 2 are the left and right mouse button, any other a virtual key; the list ends with 0.
/// @return the code once it has been pressed and released again, else 0.
uint32_t WaitTrigger(uint32_t code, ...);

// Pointer and cursor.
/// Takes the cursor's position as the pointer position (relative to the screen).
/// @param mode 1 also queues it as two axis events at the next elSystem::UpdateInput; 0 does not.
void SyncPointer(uint32_t mode);
/// Moves the cursor to (x, y) of the screen; in pointer mode the next update reports it.
void SetMousePos(int32_t x, int32_t y);
/// Holds the cursor inside the rectangle (desktop pixels, right and bottom exclusive).
void ClipCursor(int32_t left, int32_t top, int32_t right, int32_t bottom);
/// Holds the cursor inside the game screen.
void ClipCursorToScreen();
/// Lets the cursor leave the game screen again.
void UnclipCursor();
/// Whether the cursor is clipped.
/// @return 1 while the cursor is held in a rectangle, else 0.
int IsCursorClipped();

// Switches.
/// Stops window input (clicks and keys) from reaching the game's state until elSystem::UnlockInput.
void LockInput();
/// Lets window input through again and forgets the held key.
void UnlockInput();
/// Turns the input method (for Japanese text entry) on (1) or off (0) for the window.
void EnableIME(uint32_t on);
/// Chooses how system keys (Alt and Alt combinations) are taken.
/// @param mode 0 ignored (the start), 1 taken as keys, 2 taken as keys except Alt alone.
void SetSysKeyMode(uint32_t mode);
/// Counts the releases of key vk from now (elSystem::GetWatchCount).
void SetWatchKey(uint32_t vk);
/// Count of the watched key.
/// @return releases of the watched key since elSystem::SetWatchKey.
uint32_t GetWatchCount();

// Polled joysticks (numbers 0 and 1; buttons 1-based).
/// Rereads the joystick set-up, takes the rest positions (elSystem::CalibrateJoystick) and clears the
/// polled state (called by elDraw::Screen).
/// @return 1.
int InitJoystick();
/// Takes the current positions of joysticks 0 and 1 as their rest positions (0 when not readable).
void CalibrateJoystick();
/// Clears the ramps and hold timers of joysticks 0 and 1.
void ResetJoystick();
/// Sets the ramp and hold speeds of a polled joystick.
/// @param joystick 0 or 1.
/// @param rampRate, holdRate speeds of elSystem::GetJoyRamp and elSystem::GetJoyHold, in units a second.
void SetJoystickRate(int32_t joystick, float rampRate, float holdRate);
/// The rest position of joystick 0 or 1 (0, 0 for any other).
void GetJoystickCenter(int32_t joystick, int32_t* x, int32_t* y);
/// The raw axis readings of joystick 0 or 1 (0, 0 when it cannot be read).
void GetJoyPosition(int32_t joystick, int32_t* x, int32_t* y);
/// Whether a joystick button is pressed.
/// @param joystick 0 or 1; @p button 1..32.
/// @return 1 while the button is pressed, else 0 (also when the joystick cannot be read).
int GetJoyButton(int32_t joystick, int32_t button);
/// Whether buttons 1..4 of joystick 0 or 1 are pressed (1) or not (0), into pressed4[0..3].
void GetJoyButtons(int32_t joystick, uint32_t* pressed4);
/// A joystick button's press and release edges, polled once a frame.
/// @param joystick 0 or 1; @p button 1..4.
/// @return the button's edge state: 0 up, 1 just pressed, 3 held, 2 just released; 0 while a fade
/// or the pause overlay runs, input is locked, or the joystick cannot be read.
uint32_t GetJoyButtonState(int32_t joystick, int32_t button);
/// The edge states of buttons 1..4 (as elSystem::GetJoyButtonState) into states4[0..3].
void GetJoyButtonStates(int32_t joystick, uint32_t* states4);
/// How long a joystick button has been held, polled once a frame.
/// @param joystick 0 or 1; @p button 1..4.
/// @return how long the button has been held, 0..100 at holdRate units a second; 0 once released.
int32_t GetJoyHold(int32_t joystick, int32_t button);
/// The hold timers of buttons 1..4 (as elSystem::GetJoyHold) into holds4[0..3].
void GetJoyHolds(int32_t joystick, int32_t* holds4);
/// The stick's direction on each axis: -1, 0 or 1 (beyond half the rest value either way), 0 when
/// it cannot be read.
void GetJoyDirection(int32_t joystick, int32_t* dx, int32_t* dy);
/// The stick's direction in eight ways.
/// @return the stick's direction as on a numeric keypad: 5 centre, 8 up, 2 down, 4 left, 6 right,
/// 7, 9, 1, 3 the diagonals; 5 when the joystick cannot be read.
int32_t GetJoyDirection8(int32_t joystick);
/// Axis values that ramp towards -100 or 100 while the stick is pushed and back to 0 when it is let
/// go, at rampRate units a second.
void GetJoyRamp(int32_t joystick, int32_t* x, int32_t* y);

}  // namespace elSystem
