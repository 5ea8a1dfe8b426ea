// Test control of the headless input service: scripted keys, mouse motion, clicks, wheel and
// joystick readings, and devices that are lost or refuse to start. Everything fed here lands in the
// device buffers of platform/input.h (only while the device is acquired) and in the polled key state,
// as native input would on the real host. Only the Pointer* functions also put the matching window
// messages on the queue of platform/headless/headless.h.
#pragma once
#include <cstdint>

#include "platform/input.h"

namespace plat::headless {

// Keyboard, by DirectInput scan code.
void KeyPress(uint8_t scanCode);
void KeyRelease(uint8_t scanCode);

// Mouse. Motion is relative; the cursor follows it, held inside the clip rectangle and the screen.
// Buttons: 0 left, 1 right, 2 middle, 3 and 4 the side buttons.
void MouseMove(int32_t dx, int32_t dy);
void MouseWheel(int32_t delta);
void MouseButton(int button, bool down);
void MouseClick(int button);  // press and release

// Pointer input as the real host delivers it: the device records above together with the window
// messages (WM_MOUSEMOVE, and WM_LBUTTONDOWN/UP or WM_RBUTTONDOWN/UP for buttons 0 and 1) put on the
// message queue. PointerMoveTo moves from the current cursor position to (x, y).
void PointerMoveTo(int32_t x, int32_t y);
void PointerButton(int button, bool down);
void PointerClick(int button);

// The cursor (game-screen pixels). PlaceCursor moves it without producing motion.
void PlaceCursor(int32_t x, int32_t y);
void CursorPos(int32_t* x, int32_t* y);
// The cursor clip in force; false when the cursor is free.
bool CursorClip(plat::input::ClipRect* out);
// Screen the cursor moves on (default 640 x 480).
void SetCursorScreen(int32_t width, int32_t height);
bool ImeOn();

// Joysticks: attach answers the attach slot; axes take raw readings -32768..32767 (rest 0).
int AttachJoystick();
void DetachJoystick(int slot);
void JoystickAxis(int slot, int axis, int32_t raw);
void JoystickButton(int slot, int button, bool down);
void JoystickPov(int slot, int pov, uint32_t value);

// Faults: the service cannot start; a device cannot be created, refuses Acquire, or is lost (its next
// read fails); the window leaves or regains the foreground.
void SetInputServiceRefused(bool refused);
void SetDeviceCreateRefused(plat::input::Device d, bool refused);
void SetDeviceAcquireRefused(plat::input::Device d, bool refused);
void LoseInputDevice(plat::input::Device d);
void SetInputForeground(bool on);

// Back to the start: no joysticks, nothing held, the cursor at (0, 0) and free, the service closed.
void ResetInput();

}  // namespace plat::headless
