// Input devices: buffered keyboard, mouse and joystick data, the polled key state, the cursor, the IME
// switch and the polled joystick readings. Called by elSystem's input operations (device set-up in
// elSystem::Init, the per-frame drain in elSystem::UpdateInput, the cursor and joystick operations).
//
// Devices deliver 16-byte records in the layout the library's event queue keeps: object offset, data,
// time stamp (plat::TimeMs) and a sequence number. Keyboard objects are scan codes 0..255 (data 0x80
// pressed, 0 released). Mouse objects: X, Y and wheel axes at offsets 0, 4, 8 (relative motion, the
// wheel in steps of 120 per notch) and buttons 0..3 at 12..15. Joystick objects: axes X, Y, Z, Rx, Ry,
// Rz at 0..20, two sliders at 24 and 28, four hats at 32..44 (hundredths of a degree, 0xFFFFFFFF
// centred), buttons 0..31 at 48..79 (data 0x80 pressed).
//
// A device buffers only while it is acquired; it can be acquired only while the window is in the
// foreground. Answers are the platform's result codes: 0 success, kBufferOverflow (a success that lost
// data), negative codes for failures.
#pragma once
#include <cstdint>

namespace plat::input {

struct Record {
  uint32_t ofs;
  uint32_t data;
  uint32_t time;
  uint32_t seq;
};
static_assert(sizeof(Record) == 16);

// Result codes.
constexpr int32_t kOk = 0;
constexpr int32_t kBufferOverflow = 1;
constexpr int32_t kNotAcquired = static_cast<int32_t>(0x8007000Cu);
constexpr int32_t kInputLost = static_cast<int32_t>(0x8007001Eu);
constexpr int32_t kNotInitialized = static_cast<int32_t>(0x80070015u);
constexpr int32_t kInvalidParam = static_cast<int32_t>(0x80070057u);
constexpr int32_t kOtherAppHasPrio = static_cast<int32_t>(0x80070005u);
constexpr int32_t kUnplugged = static_cast<int32_t>(0x80040209u);
constexpr int32_t kNoDevice = static_cast<int32_t>(0x80040154u);

// Device numbers: the keyboard, the mouse and the attached joysticks (by attach slot).
using Device = int32_t;
constexpr Device kNoDeviceId = -1;
constexpr Device kKeyboard = 0;
constexpr Device kMouse = 1;
constexpr int kMaxAttachedJoysticks = 32;
constexpr Device JoystickDevice(int slot) { return 2 + slot; }
constexpr int kDeviceCount = 2 + kMaxAttachedJoysticks;
// Largest buffer a device accepts, in records.
constexpr uint32_t kMaxBufferSize = 1024;

// Object offsets.
constexpr uint32_t kMouseX = 0, kMouseY = 4, kMouseWheel = 8, kMouseButton0 = 12;
constexpr uint32_t kJoyAxisFirst = 0, kJoySliderFirst = 24, kJoyPovFirst = 32, kJoyButton0 = 48;
constexpr int kJoyAxes = 8;      // X, Y, Z, Rx, Ry, Rz, slider 0, slider 1 (offsets 0..28)
constexpr int kJoyPovs = 4;
constexpr int kJoyButtons = 32;
constexpr uint32_t kPovCentred = 0xFFFFFFFFu;

// The input service (stands in for creating the DirectInput object). Starts what the backend needs
// (the SDL joystick subsystem, the event hook). Returns kOk or a failure code.
int32_t Open();
// Releases every device and the service.
void Close();
bool IsOpen();

// Writes the attach slots of the joysticks now attached, in attach order, up to max; returns how many
// there are in all (which may exceed max).
int EnumJoysticks(int* slots, int max);

// Devices. Create fails with kNoDevice for a device that is not there (or refuses to start).
int32_t CreateDevice(Device d);
void ReleaseDevice(Device d);
bool DeviceCreated(Device d);
// Buffer size in records (0 = no buffering, the default); above kMaxBufferSize is refused.
int32_t SetBufferSize(Device d, uint32_t records);
int32_t Acquire(Device d);
int32_t Unacquire(Device d);
// Joystick axis properties by object offset (axes 0..28 only): the reported range (default 0..65535)
// and the dead zone in ten-thousandths of the range around its centre (default 0).
int32_t SetAxisRange(Device d, uint32_t ofs, int32_t min, int32_t max);
int32_t SetAxisDeadZone(Device d, uint32_t ofs, uint32_t deadZone);
// Brings a polled device's state up to date (joysticks; a no-op answering kOk for the others).
int32_t Poll(Device d);
// Moves up to *count buffered records, oldest first, into out (records of recordSize bytes, which must
// be sizeof(Record)) and sets *count to the number moved. Fails with kInputLost once after the device
// was lost (it is then unacquired), with kNotAcquired while it is not acquired (*count = 0 in both
// cases).
int32_t GetDeviceData(Device d, uint32_t recordSize, void* out, uint32_t* count);

// Polled key state of a virtual key, like the desktop's key-state query: bits 0x8000 and 0x80 set while
// the key is down (the mouse buttons are virtual keys 1, 2, 4, 5, 6). No toggle bit is kept: nothing
// reads it.
int16_t GetKeyState(int32_t vk);

// The cursor, in screen coordinates (game-screen pixels: the game screen fills the screen).
// Backend-implemented.
bool GetCursorPos(int32_t* x, int32_t* y);
bool SetCursorPos(int32_t x, int32_t y);
// Confines the cursor to the rectangle (right and bottom exclusive); null frees it.
struct ClipRect {
  int32_t left, top, right, bottom;
};
bool ClipCursor(const ClipRect* r);
// Switches the input method for the window on or off; answers the previous setting.
bool EnableIME(bool on);

// Polled joystick readings (stand-in for the multimedia joystick functions). Joystick ids are the
// attach slots. Positions run 0..65535 with the rest near the middle.
struct JoyPos {
  uint32_t x, y, z, r, u, v;  // X, Y, Z, Rz, slider 0, slider 1
  uint32_t buttons;          // bit b-1 for button b
  uint32_t pov;              // hundredths of a degree, 0xFFFF centred
};
constexpr uint32_t kJoyReturnX = 0x1, kJoyReturnY = 0x2, kJoyReturnButtons = 0x80,
                   kJoyUseDeadZone = 0x800, kJoyReturnAll = 0xFF;
constexpr uint32_t kJoyErrNoError = 0, kJoyErrParms = 165, kJoyErrUnplugged = 167;
uint32_t JoyGetPos(uint32_t id, uint32_t flags, JoyPos* out);
// Tells the service the joystick configuration may have changed.
uint32_t JoyConfigChanged();

}  // namespace plat::input
