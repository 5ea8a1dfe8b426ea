// The portable part of the input service: device buffers, acquisition, joystick axis scaling, the
// polled key state and the polled joystick readings. The backends feed it (platform/input_feed.h).
#include "platform/input.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/clock.h"
#include "platform/input_feed.h"

namespace plat::input {
namespace {

struct AxisProps {
  int32_t min = 0;
  int32_t max = 65535;
  uint32_t deadZone = 0;  // ten-thousandths of the range
};

struct DeviceState {
  bool created = false;
  bool acquired = false;
  bool lostPending = false;
  bool acquireRefused = false;
  bool createRefused = false;
  bool overflowed = false;
  uint32_t bufferSize = 0;
  std::vector<Record> ring;  // bufferSize slots
  uint32_t head = 0;         // oldest record
  uint32_t count = 0;
  // Joysticks: axis properties and the values last reported, so only changes are buffered.
  std::array<AxisProps, kJoyAxes> axis{};
  std::array<int32_t, kJoyAxes> reportedAxis{};
};

struct JoystickState {
  bool attached = false;
  std::array<int32_t, kJoyAxes> raw{};
  std::array<uint32_t, kJoyPovs> pov{kPovCentred, kPovCentred, kPovCentred, kPovCentred};
  uint32_t buttons = 0;
};

bool gOpen = false;
bool gForeground = true;
uint32_t gSeq = 0;
std::array<DeviceState, kDeviceCount> gDev;
std::array<JoystickState, kMaxAttachedJoysticks> gJoy;
std::array<uint8_t, 256> gKeyDown{};
std::array<uint8_t, 5> gMouseDown{};

bool ValidDevice(Device d) { return d >= 0 && d < kDeviceCount; }
bool IsJoystick(Device d) { return d >= JoystickDevice(0) && d < kDeviceCount; }
int SlotOf(Device d) { return d - JoystickDevice(0); }

void Push(Device d, uint32_t ofs, uint32_t data) {
  DeviceState& s = gDev[d];
  if (!s.created || !s.acquired) return;
  if (s.bufferSize == 0) return;
  if (s.count >= s.bufferSize) {
    // Full: the newest data is dropped and the next read says so.
    s.overflowed = true;
    return;
  }
  Record& r = s.ring[(s.head + s.count) % s.bufferSize];
  r = Record{ofs, data, plat::TimeMs(), ++gSeq};
  ++s.count;
}

// A raw joystick reading (-32768..32767, rest 0) in the axis's range with its dead zone applied.
int32_t ScaleAxis(const AxisProps& p, int32_t raw) {
  double n = std::clamp(raw / 32767.0, -1.0, 1.0);
  const double dz = p.deadZone / 10000.0;
  if (dz >= 1.0 || std::fabs(n) < dz) {
    n = 0.0;
  } else if (dz > 0.0) {
    n = (n > 0 ? 1.0 : -1.0) * (std::fabs(n) - dz) / (1.0 - dz);
  }
  const int64_t lo = p.min, hi = p.max;
  const int64_t centre = lo + (hi - lo) / 2;
  const double span = n >= 0 ? static_cast<double>(hi - centre) : static_cast<double>(centre - lo);
  return static_cast<int32_t>(centre + static_cast<int64_t>(std::lround(n * span)));
}

void RefreshReported(int slot) {
  DeviceState& s = gDev[JoystickDevice(slot)];
  for (int a = 0; a < kJoyAxes; ++a) s.reportedAxis[a] = ScaleAxis(s.axis[a], gJoy[slot].raw[a]);
}

void ResetDevice(DeviceState& s) {
  const bool acquireRefused = s.acquireRefused, createRefused = s.createRefused;
  s = DeviceState{};
  s.acquireRefused = acquireRefused;
  s.createRefused = createRefused;
}

// Virtual key -> scan code (0 = none). Generic Shift, Control and Alt are answered from both sides.
uint8_t ScanCodeOfVk(int32_t vk) {
  if (vk >= '0' && vk <= '9') return vk == '0' ? 0x0B : static_cast<uint8_t>(0x02 + (vk - '1'));
  if (vk >= 'A' && vk <= 'Z') {
    static constexpr uint8_t kLetters[] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                                           0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                                           0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
    return kLetters[vk - 'A'];
  }
  if (vk >= 0x70 && vk <= 0x79) return static_cast<uint8_t>(0x3B + (vk - 0x70));  // F1..F10
  switch (vk) {
    case 0x08: return 0x0E;  // Backspace
    case 0x09: return 0x0F;  // Tab
    case 0x0D: return 0x1C;  // Enter
    case 0x13: return 0xC5;  // Pause
    case 0x14: return 0x3A;  // Caps Lock
    case 0x15: return 0x70;  // Kana
    case 0x1B: return 0x01;  // Escape
    case 0x1C: return 0x79;  // Convert
    case 0x1D: return 0x7B;  // No convert
    case 0x20: return 0x39;  // Space
    case 0x21: return 0xC9;  // Page Up
    case 0x22: return 0xD1;  // Page Down
    case 0x23: return 0xCF;  // End
    case 0x24: return 0xC7;  // Home
    case 0x25: return 0xCB;  // Left
    case 0x26: return 0xC8;  // Up
    case 0x27: return 0xCD;  // Right
    case 0x28: return 0xD0;  // Down
    case 0x2C: return 0xB7;  // Print Screen
    case 0x2D: return 0xD2;  // Insert
    case 0x2E: return 0xD3;  // Delete
    case 0x5B: return 0xDB;  // left Windows
    case 0x5C: return 0xDC;  // right Windows
    case 0x5D: return 0xDD;  // Menu
    case 0x60: return 0x52;  // numeric pad 0..9
    case 0x61: return 0x4F;
    case 0x62: return 0x50;
    case 0x63: return 0x51;
    case 0x64: return 0x4B;
    case 0x65: return 0x4C;
    case 0x66: return 0x4D;
    case 0x67: return 0x47;
    case 0x68: return 0x48;
    case 0x69: return 0x49;
    case 0x6A: return 0x37;  // *
    case 0x6B: return 0x4E;  // +
    case 0x6D: return 0x4A;  // -
    case 0x6E: return 0x53;  // .
    case 0x6F: return 0xB5;  // /
    case 0x7A: return 0x57;  // F11
    case 0x7B: return 0x58;  // F12
    case 0x90: return 0x45;  // Num Lock
    case 0x91: return 0x46;  // Scroll Lock
    case 0xA0: return 0x2A;  // left Shift
    case 0xA1: return 0x36;  // right Shift
    case 0xA2: return 0x1D;  // left Control
    case 0xA3: return 0x9D;  // right Control
    case 0xA4: return 0x38;  // left Alt
    case 0xA5: return 0xB8;  // right Alt
    case 0xBA: return 0x27;  // ;
    case 0xBB: return 0x0D;  // =
    case 0xBC: return 0x33;  // ,
    case 0xBD: return 0x0C;  // -
    case 0xBE: return 0x34;  // .
    case 0xBF: return 0x35;  // /
    case 0xC0: return 0x29;  // `
    case 0xDB: return 0x1A;  // [
    case 0xDC: return 0x2B;  // backslash
    case 0xDD: return 0x1B;  // ]
    case 0xDE: return 0x28;  // '
    case 0xE2: return 0x56;  // the extra key of international keyboards
    default: return 0;
  }
}

int16_t KeyWord(bool down) { return static_cast<int16_t>(down ? 0x8000 | 0x80 : 0); }

}  // namespace

int32_t Open() {
  if (gOpen) return kOk;
  if (!backend::Start()) return kNoDevice;
  gOpen = true;
  return kOk;
}

void Close() {
  for (DeviceState& s : gDev) ResetDevice(s);
  if (gOpen) backend::Stop();
  gOpen = false;
}

bool IsOpen() { return gOpen; }

int EnumJoysticks(int* slots, int max) {
  int n = 0;
  for (int i = 0; i < kMaxAttachedJoysticks; ++i) {
    if (!gJoy[i].attached) continue;
    if (slots && n < max) slots[n] = i;
    ++n;
  }
  return n;
}

int32_t CreateDevice(Device d) {
  if (!ValidDevice(d)) return kInvalidParam;
  if (!gOpen) return kNotInitialized;
  DeviceState& s = gDev[d];
  if (s.createRefused) return kNoDevice;
  if (IsJoystick(d) && !gJoy[SlotOf(d)].attached) return kNoDevice;
  ResetDevice(s);
  s.created = true;
  if (IsJoystick(d)) RefreshReported(SlotOf(d));
  return kOk;
}

void ReleaseDevice(Device d) {
  if (!ValidDevice(d)) return;
  ResetDevice(gDev[d]);
}

bool DeviceCreated(Device d) { return ValidDevice(d) && gDev[d].created; }

int32_t SetBufferSize(Device d, uint32_t records) {
  if (!ValidDevice(d) || records > kMaxBufferSize) return kInvalidParam;
  DeviceState& s = gDev[d];
  if (!s.created) return kNotInitialized;
  s.ring.assign(records, Record{});
  s.bufferSize = records;
  s.head = s.count = 0;
  s.overflowed = false;
  return kOk;
}

int32_t Acquire(Device d) {
  if (!ValidDevice(d)) return kInvalidParam;
  DeviceState& s = gDev[d];
  if (!s.created) return kNotInitialized;
  if (IsJoystick(d) && !gJoy[SlotOf(d)].attached) return kUnplugged;
  if (s.acquireRefused || !gForeground) return kOtherAppHasPrio;
  s.acquired = true;
  s.lostPending = false;
  return kOk;
}

int32_t Unacquire(Device d) {
  if (!ValidDevice(d)) return kInvalidParam;
  DeviceState& s = gDev[d];
  if (!s.created) return kNotInitialized;
  s.acquired = false;
  s.head = s.count = 0;
  s.overflowed = false;
  return kOk;
}

int32_t SetAxisRange(Device d, uint32_t ofs, int32_t min, int32_t max) {
  if (!IsJoystick(d) || ofs % 4 != 0 || ofs / 4 >= static_cast<uint32_t>(kJoyAxes) || min >= max)
    return kInvalidParam;
  DeviceState& s = gDev[d];
  if (!s.created) return kNotInitialized;
  s.axis[ofs / 4].min = min;
  s.axis[ofs / 4].max = max;
  RefreshReported(SlotOf(d));
  return kOk;
}

int32_t SetAxisDeadZone(Device d, uint32_t ofs, uint32_t deadZone) {
  if (!IsJoystick(d) || ofs % 4 != 0 || ofs / 4 >= static_cast<uint32_t>(kJoyAxes) || deadZone > 10000)
    return kInvalidParam;
  DeviceState& s = gDev[d];
  if (!s.created) return kNotInitialized;
  s.axis[ofs / 4].deadZone = deadZone;
  RefreshReported(SlotOf(d));
  return kOk;
}

int32_t Poll(Device d) {
  if (!ValidDevice(d)) return kInvalidParam;
  const DeviceState& s = gDev[d];
  if (!s.created) return kNotInitialized;
  if (!s.acquired) return kNotAcquired;
  // Joystick changes reach the buffer as the host reports them; nothing is left to fetch.
  return kOk;
}

int32_t GetDeviceData(Device d, uint32_t recordSize, void* out, uint32_t* count) {
  if (!ValidDevice(d) || count == nullptr || recordSize != sizeof(Record)) return kInvalidParam;
  DeviceState& s = gDev[d];
  if (!s.created) {
    *count = 0;
    return kNotInitialized;
  }
  if (s.lostPending) {
    s.lostPending = false;
    s.acquired = false;
    *count = 0;
    return kInputLost;
  }
  if (!s.acquired) {
    *count = 0;
    return kNotAcquired;
  }
  if (out == nullptr && *count > 0) return kInvalidParam;
  const uint32_t n = std::min(*count, s.count);
  auto* bytes = static_cast<unsigned char*>(out);
  for (uint32_t i = 0; i < n; ++i)
    std::memcpy(bytes + size_t{i} * sizeof(Record), &s.ring[(s.head + i) % s.bufferSize], sizeof(Record));
  if (n > 0) s.head = (s.head + n) % s.bufferSize;
  s.count -= n;
  *count = n;
  if (s.overflowed) {
    s.overflowed = false;
    return kBufferOverflow;
  }
  return kOk;
}

int16_t GetKeyState(int32_t vk) {
  switch (vk) {
    case 0x01: return KeyWord(gMouseDown[0]);
    case 0x02: return KeyWord(gMouseDown[1]);
    case 0x04: return KeyWord(gMouseDown[2]);
    case 0x05: return KeyWord(gMouseDown[3]);
    case 0x06: return KeyWord(gMouseDown[4]);
    case 0x10: return KeyWord(gKeyDown[0x2A] || gKeyDown[0x36]);
    case 0x11: return KeyWord(gKeyDown[0x1D] || gKeyDown[0x9D]);
    case 0x12: return KeyWord(gKeyDown[0x38] || gKeyDown[0xB8]);
    default: break;
  }
  if (vk == 0x0D) return KeyWord(gKeyDown[0x1C] || gKeyDown[0x9C]);
  const uint8_t sc = ScanCodeOfVk(vk);
  if (sc == 0) return 0;
  return KeyWord(gKeyDown[sc]);
}

uint32_t JoyGetPos(uint32_t id, uint32_t flags, JoyPos* out) {
  if (out == nullptr || id >= static_cast<uint32_t>(kMaxAttachedJoysticks)) return kJoyErrParms;
  const JoystickState& j = gJoy[id];
  if (!j.attached) return kJoyErrUnplugged;
  // Readings 0..65535, rest 32767; with the dead zone, readings within 1/64 of the range of the rest
  // are reported as the rest itself.
  auto pos = [&](int axis) -> uint32_t {
    const int32_t raw = j.raw[axis];
    if ((flags & kJoyUseDeadZone) && std::abs(raw) < 1024) return 32767;
    return static_cast<uint32_t>(raw + 32768);
  };
  *out = JoyPos{};
  if (flags & kJoyReturnX) out->x = pos(0);
  if (flags & kJoyReturnY) out->y = pos(1);
  if (flags & 0x4) out->z = pos(2);
  if (flags & 0x8) out->r = pos(5);
  if (flags & 0x10) out->u = pos(6);
  if (flags & 0x20) out->v = pos(7);
  if (flags & 0x40) out->pov = j.pov[0] == kPovCentred ? 0xFFFFu : j.pov[0];
  if (flags & kJoyReturnButtons) out->buttons = j.buttons;
  return kJoyErrNoError;
}

uint32_t JoyConfigChanged() {
  // The polled readings need the host's joystick side running even when no device was created.
  if (!gOpen) backend::Start();
  return kJoyErrNoError;
}

namespace feed {

uint8_t ScanCodeOfVirtualKey(int32_t vk) { return ScanCodeOfVk(vk); }

void Key(uint8_t scanCode, bool down) {
  gKeyDown[scanCode] = down;
  Push(kKeyboard, scanCode, down ? 0x80 : 0);
}

void MouseMotion(int32_t dx, int32_t dy) {
  if (dx != 0) Push(kMouse, kMouseX, static_cast<uint32_t>(dx));
  if (dy != 0) Push(kMouse, kMouseY, static_cast<uint32_t>(dy));
}

void MouseWheel(int32_t delta) {
  if (delta != 0) Push(kMouse, kMouseWheel, static_cast<uint32_t>(delta));
}

void MouseButton(int button, bool down) {
  if (button < 0 || button >= static_cast<int>(gMouseDown.size())) return;
  gMouseDown[button] = down;
  if (button < 4) Push(kMouse, kMouseButton0 + static_cast<uint32_t>(button), down ? 0x80 : 0);
}

int AttachJoystick() {
  for (int i = 0; i < kMaxAttachedJoysticks; ++i) {
    if (gJoy[i].attached) continue;
    gJoy[i] = JoystickState{};
    gJoy[i].attached = true;
    ResetDevice(gDev[JoystickDevice(i)]);
    return i;
  }
  return -1;
}

void DetachJoystick(int slot) {
  if (slot < 0 || slot >= kMaxAttachedJoysticks || !gJoy[slot].attached) return;
  gJoy[slot] = JoystickState{};
  DeviceState& s = gDev[JoystickDevice(slot)];
  if (s.acquired) s.lostPending = true;
  s.head = s.count = 0;
}

bool JoystickAttached(int slot) {
  return slot >= 0 && slot < kMaxAttachedJoysticks && gJoy[slot].attached;
}

void JoystickAxis(int slot, int axis, int32_t raw) {
  if (!JoystickAttached(slot) || axis < 0 || axis >= kJoyAxes) return;
  gJoy[slot].raw[axis] = std::clamp(raw, -32768, 32767);
  DeviceState& s = gDev[JoystickDevice(slot)];
  const int32_t v = ScaleAxis(s.axis[axis], gJoy[slot].raw[axis]);
  if (v == s.reportedAxis[axis]) return;
  s.reportedAxis[axis] = v;
  Push(JoystickDevice(slot), kJoyAxisFirst + 4u * static_cast<uint32_t>(axis), static_cast<uint32_t>(v));
}

void JoystickButton(int slot, int button, bool down) {
  if (!JoystickAttached(slot) || button < 0 || button >= kJoyButtons) return;
  const uint32_t bit = 1u << button;
  if (((gJoy[slot].buttons & bit) != 0) == down) return;
  gJoy[slot].buttons ^= bit;
  Push(JoystickDevice(slot), kJoyButton0 + static_cast<uint32_t>(button), down ? 0x80 : 0);
}

void JoystickPov(int slot, int pov, uint32_t value) {
  if (!JoystickAttached(slot) || pov < 0 || pov >= kJoyPovs) return;
  if (value != kPovCentred) value %= 36000;
  if (gJoy[slot].pov[pov] == value) return;
  gJoy[slot].pov[pov] = value;
  Push(JoystickDevice(slot), kJoyPovFirst + 4u * static_cast<uint32_t>(pov), value);
}

void SetForeground(bool on) {
  if (gForeground && !on) {
    for (DeviceState& s : gDev) {
      if (!s.acquired) continue;
      s.acquired = false;
      s.lostPending = true;
      s.head = s.count = 0;
    }
  }
  gForeground = on;
}

bool Foreground() { return gForeground; }

void LoseDevice(Device d) {
  if (!ValidDevice(d) || !gDev[d].created) return;
  DeviceState& s = gDev[d];
  s.lostPending = true;
  s.acquired = false;
  s.head = s.count = 0;
}

void SetAcquireRefused(Device d, bool refused) {
  if (ValidDevice(d)) gDev[d].acquireRefused = refused;
}

void SetCreateRefused(Device d, bool refused) {
  if (ValidDevice(d)) gDev[d].createRefused = refused;
}

void ResetAll() {
  Close();
  for (DeviceState& s : gDev) s = DeviceState{};
  for (JoystickState& j : gJoy) j = JoystickState{};
  gKeyDown.fill(0);
  gMouseDown.fill(0);
  gForeground = true;
  gSeq = 0;
}

}  // namespace feed
}  // namespace plat::input
