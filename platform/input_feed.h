// The host side of the input service: what a backend (platform/sdl/input_sdl.cpp,
// platform/headless/input_headless.cpp) calls to feed the device buffers of platform/input.h as native
// input arrives, and what each backend implements for the service. Not for el/ code.
#pragma once
#include <cstdint>

#include "platform/input.h"

namespace plat::input::feed {

// Keyboard: a DirectInput scan code pressed or released (key repeats are not fed).
// ScanCodeOfVirtualKey gives the scan code of a virtual key (letters, digits and the rest by their
// place on a US keyboard), 0 for none.
uint8_t ScanCodeOfVirtualKey(int32_t vk);
void Key(uint8_t scanCode, bool down);
// Mouse: relative motion in game pixels, wheel motion (120 a notch, positive away from the user),
// buttons 0 left, 1 right, 2 middle, 3 and 4 the side buttons (4 has no buffered object).
void MouseMotion(int32_t dx, int32_t dy);
void MouseWheel(int32_t delta);
void MouseButton(int button, bool down);

// Joysticks. Attach answers the attach slot (-1 when all slots are taken); a detached joystick's
// device reads fail until a joystick is attached to that slot again.
int AttachJoystick();
void DetachJoystick(int slot);
bool JoystickAttached(int slot);
// Axis 0..7 (X, Y, Z, Rx, Ry, Rz, slider 0, slider 1), raw reading -32768..32767, rest 0.
void JoystickAxis(int slot, int axis, int32_t raw);
void JoystickButton(int slot, int button, bool down);
// Hat 0..3 in hundredths of a degree clockwise from up, or kPovCentred.
void JoystickPov(int slot, int pov, uint32_t value);

// The window is in the foreground (devices can be acquired). Losing it unacquires every device, and
// the next read of each acquired device fails with kInputLost.
void SetForeground(bool on);
bool Foreground();
// The next read of d fails with kInputLost and the device is unacquired.
void LoseDevice(Device d);
// A device that refuses Acquire (kOtherAppHasPrio) while set.
void SetAcquireRefused(Device d, bool refused);
// A keyboard or mouse that cannot be created (kNoDevice) while set.
void SetCreateRefused(Device d, bool refused);

// Back to the start: no joysticks, nothing held, every device released, the service closed.
void ResetAll();

}  // namespace plat::input::feed

namespace plat::input::backend {

// Implemented by each backend: starting and stopping what the service needs of the host. Start may be
// called again while started.
bool Start();
void Stop();

}  // namespace plat::input::backend
