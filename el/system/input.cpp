// Input devices and the event queue: set-up, activation, the per-frame drain into the queue and the
// walk over it.
#include <algorithm>
#include <cstdlib>

#include "el/elDraw.h"
#include "el/elSystem.h"
#include "platform/input.h"

bool DInput;
int32_t DIKeyboard = kNoInputDevice;
int32_t DIMouse = kNoInputDevice;
int32_t DIJoystick[kMaxJoysticks] = {kNoInputDevice, kNoInputDevice, kNoInputDevice, kNoInputDevice,
                                     kNoInputDevice, kNoInputDevice, kNoInputDevice, kNoInputDevice,
                                     kNoInputDevice, kNoInputDevice, kNoInputDevice, kNoInputDevice,
                                     kNoInputDevice, kNoInputDevice, kNoInputDevice, kNoInputDevice};
int32_t DIJoystick2[kMaxJoysticks] = {kNoInputDevice, kNoInputDevice, kNoInputDevice, kNoInputDevice,
                                      kNoInputDevice, kNoInputDevice, kNoInputDevice, kNoInputDevice,
                                      kNoInputDevice, kNoInputDevice, kNoInputDevice, kNoInputDevice,
                                      kNoInputDevice, kNoInputDevice, kNoInputDevice, kNoInputDevice};
int32_t JoystickCount;
uint16_t InputDevices;

InputRecord EventQueue[kEventQueueSize];
uint8_t EventJoystick[kEventQueueSize];
uint32_t EventCount;
int32_t EventIndex = -1;
uint32_t EventEndFlag;
ElInputEvent InputEvent;

int32_t PointerX, PointerY;
uint32_t PointerSyncPending;

namespace in = plat::input;

namespace {

constexpr uint32_t kDeviceBuffer = 256;

// A device that can be neither read nor re-acquired gives up after this many reads in one frame and
// contributes nothing to that frame; the frame goes on and the next frame tries again.
constexpr int kReadAttempts = 3;

// Reads the device's buffered records into the queue from record at on; answers how many it delivered.
// A failed read (lost, not acquired, or data lost to an overflow) re-acquires and reads again from the
// same place: what a failed read delivered is not counted.
uint32_t ReadDevice(int32_t device, uint32_t at) {
  if (at >= kEventQueueSize) return 0;
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    uint32_t count = kEventQueueSize - at;
    if (in::GetDeviceData(device, sizeof(InputRecord), &EventQueue[at], &count) == in::kOk)
      return count;  // never more than the room offered
    in::Acquire(device);
  }
  return 0;
}

int32_t Saturate(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// v limited to lo..hi-1 (lo for an empty range).
int32_t Limit(int64_t v, int32_t lo, int32_t hi) {
  v = std::min(v, int64_t{hi} - 1);
  v = std::max<int64_t>(v, lo);
  return static_cast<int32_t>(v);
}

void ReleaseJoystickSlot(int slot) {
  if (DIJoystick[slot] != kNoInputDevice) {
    in::Unacquire(DIJoystick[slot]);
    in::ReleaseDevice(DIJoystick[slot]);
  }
  DIJoystick[slot] = kNoInputDevice;
  DIJoystick2[slot] = kNoInputDevice;
}

// Sets up the joystick attached at platform slot `attached` in slot JoystickCount and counts it. A
// joystick whose set-up fails part-way is released at once and its slot left free for the next one.
void AddJoystick(int attached) {
  const int n = JoystickCount;
  const int32_t dev = in::JoystickDevice(attached);
  if (in::CreateDevice(dev) != in::kOk) return;
  DIJoystick[n] = dev;
  DIJoystick2[n] = dev;
  bool ok = in::SetBufferSize(dev, kDeviceBuffer) == in::kOk;
  // Dead zone for X, Y and Z, range -1000..1000 for the six axes; only X and Y must take them.
  ok = ok && in::SetAxisDeadZone(dev, 0, 5000) == in::kOk && in::SetAxisDeadZone(dev, 4, 5000) == in::kOk;
  if (ok) in::SetAxisDeadZone(dev, 8, 5000);
  ok = ok && in::SetAxisRange(dev, 0, -1000, 1000) == in::kOk && in::SetAxisRange(dev, 4, -1000, 1000) == in::kOk;
  if (ok) {
    for (uint32_t ofs = 8; ofs <= 20; ofs += 4) in::SetAxisRange(dev, ofs, -1000, 1000);
  }
  if (!ok) {
    ReleaseJoystickSlot(n);
    return;
  }
  ++JoystickCount;
}

void ReleaseDevices() {
  if (DIKeyboard != kNoInputDevice) {
    in::Unacquire(DIKeyboard);
    in::ReleaseDevice(DIKeyboard);
  }
  if (DIMouse != kNoInputDevice) {
    in::Unacquire(DIMouse);
    in::ReleaseDevice(DIMouse);
  }
  for (int i = 0; i < kMaxJoysticks; ++i) ReleaseJoystickSlot(i);
  if (DInput) in::Close();
  DInput = false;
  DIKeyboard = kNoInputDevice;
  DIMouse = kNoInputDevice;
  JoystickCount = 0;
}

uint8_t KindOfCode(uint16_t code) {
  if (code < 256) return 1;
  if (code < 512) return 2;
  if (code < 4096) return 3;
  if (code < 8192) return 2;
  return 3;
}

}  // namespace

namespace elSystem {

int Init() {
  // Set up again (each display set-up ends here): what the last set-up left is released first.
  ReleaseDevices();
  PointerX = PointerY = 0;

  // The data formats and cooperative levels of the desktop's devices have no counterpart here: the
  // service's devices deliver the standard layouts and follow the window's foreground state.
  // Devices made before a failure stay for elSystem::ReleaseInput.
  auto createDevice = [](int32_t device, int32_t* slot) {
    if (in::CreateDevice(device) != in::kOk) return false;
    *slot = device;
    return in::SetBufferSize(device, kDeviceBuffer) == in::kOk;
  };
  DInput = in::Open() == in::kOk;
  if (!DInput || !createDevice(in::kKeyboard, &DIKeyboard) || !createDevice(in::kMouse, &DIMouse)) {
    ReportError("elSystem::Init", "DirectInputが使用できません");
    return 0;
  }

  // Joysticks in attach order; the tables hold 16, so enumeration ends there.
  JoystickCount = 0;
  for (int i = 0; i < kMaxJoysticks; ++i) DIJoystick[i] = DIJoystick2[i] = kNoInputDevice;
  int attached[in::kMaxAttachedJoysticks];
  const int found = std::min(in::EnumJoysticks(attached, in::kMaxAttachedJoysticks), in::kMaxAttachedJoysticks);
  for (int i = 0; i < found && JoystickCount < kMaxJoysticks; ++i) AddJoystick(attached[i]);

  InputDevices = JoystickCount >= 1 ? (kInputKeyboard | kInputMousePointer | kInputJoysticks)
                                    : (kInputKeyboard | kInputMousePointer);
  EventCount = 0;
  for (int slot = 1; slot <= 10; ++slot) WaitTable[slot] = 999999999;
  UnlockInput();
  SysKeyMode = 0;
  if (FullScreen) ClipCursorToScreen();
  return 1;
}

void ReleaseInput() {
  ReleaseDevices();
  UnclipCursor();
}

void ActivateInput(uint32_t active) {
  AppActive = active;
  if (!DInput) return;
  auto set = [active](int32_t dev) {
    if (dev == kNoInputDevice) return;
    if (active)
      in::Acquire(dev);
    else
      in::Unacquire(dev);
  };
  if (InputDevices & kInputKeyboard) set(DIKeyboard);
  if (InputDevices & (kInputMousePointer | kInputMouseMotion)) set(DIMouse);
  if (InputDevices & kInputJoysticks) {
    for (int32_t dev : DIJoystick) set(dev);  // empty slots are passed over
  }
}

void SetInputDevices(uint16_t mask) { InputDevices = mask; }

void UpdateInput() {
  // A new queue starts a new walk: an end flag left by a walk that stopped at the empty event must
  // not swallow the first event of this frame.
  EventEndFlag = 0;
  if (AppActive == 0) {
    EventCount = 0;
    EventIndex = -1;
    return;
  }

  // Keyboard: scan codes are the event codes.
  EventCount = 0;
  if ((InputDevices & kInputKeyboard) && DIKeyboard != kNoInputDevice) {
    EventCount = ReadDevice(DIKeyboard, 0);
    for (uint32_t i = 0; i < EventCount; ++i) EventJoystick[i] = 0;
  }

  // Mouse.
  if ((InputDevices & (kInputMousePointer | kInputMouseMotion)) && EventCount < kEventQueueSize &&
      DIMouse != kNoInputDevice) {
    const uint32_t first = EventCount;
    const uint32_t n = ReadDevice(DIMouse, first);
    int32_t cursorX = 0, cursorY = 0;
    const bool pointer = (InputDevices & kInputMousePointer) != 0;
    if (!FullScreen && pointer) in::GetCursorPos(&cursorX, &cursorY);
    for (uint32_t i = first; i < first + n; ++i) {
      InputRecord& r = EventQueue[i];
      EventJoystick[i] = 0;
      if (r.code >= in::kMouseButton0 && r.code < in::kMouseButton0 + 4) {
        r.code += 256;
        continue;
      }
      int64_t data = static_cast<int32_t>(r.data);
      if (std::llabs(data) >= 5) data *= 2;  // motion of 5 or more counts double
      // The wheel is not a pointer motion: its records carry the wheel motion in every mode and leave
      // PointerY alone (a notch would otherwise throw the pointer 240 pixels).
      if (pointer && (r.code == in::kMouseX || r.code == in::kMouseY)) {
        const bool x = r.code == in::kMouseX;
        if (FullScreen) {
          int32_t& p = x ? PointerX : PointerY;
          int64_t v = int64_t{p} + data;
          if (CursorClipped)
            v = x ? Limit(v, CursorClipRect.left, CursorClipRect.right)
                  : Limit(v, CursorClipRect.top, CursorClipRect.bottom);
          p = Saturate(v);
          data = p;
        } else {
          data = x ? int64_t{cursorX} - ClientX : int64_t{cursorY} - ClientY;
        }
      }
      r.data = static_cast<uint32_t>(Saturate(data));
      r.code += 4096;
    }
    EventCount += n;
  }

  // Joysticks in slot order.
  if (InputDevices & kInputJoysticks) {
    for (int slot = 0; slot < kMaxJoysticks && EventCount < kEventQueueSize; ++slot) {
      if (DIJoystick[slot] == kNoInputDevice) continue;
      if (DIJoystick2[slot] != kNoInputDevice) in::Poll(DIJoystick2[slot]);
      const uint32_t first = EventCount;
      const uint32_t n = ReadDevice(DIJoystick[slot], first);
      for (uint32_t i = first; i < first + n; ++i) {
        InputRecord& r = EventQueue[i];
        r.code += (r.code >= in::kJoyButton0 && r.code < in::kJoyButton0 + 32) ? 512 : 8192;
        EventJoystick[i] = static_cast<uint8_t>(slot + 1);
      }
      EventCount += n;
    }
  }

  // The cursor position as two mouse-axis records, after a re-sync was asked for. Both go in or
  // neither: without room for two the position waits for a frame that has it.
  if (PointerSyncPending && EventCount + 2 <= kEventQueueSize) {
    int32_t cx = 0, cy = 0;
    in::GetCursorPos(&cx, &cy);
    EventQueue[EventCount] = InputRecord{kEventMouseX, static_cast<uint32_t>(int64_t{cx} - ClientX), InputTime, 0};
    EventJoystick[EventCount++] = 0;
    EventQueue[EventCount] = InputRecord{kEventMouseY, static_cast<uint32_t>(int64_t{cy} - ClientY), InputTime, 0};
    EventJoystick[EventCount++] = 0;
    PointerSyncPending = 0;
  }

  EventIndex = -1;
}

int GetEvent(uint32_t wantEmpty) {
  if (EventEndFlag) {
    EventEndFlag = 0;
    return 0;
  }
  if (EventCount > 0) {
    const uint32_t count = std::min(EventCount, kEventQueueSize);
    if (EventIndex < static_cast<int32_t>(count)) ++EventIndex;
    if (EventIndex < static_cast<int32_t>(count)) {
      const InputRecord& r = EventQueue[EventIndex];
      InputEvent.code = static_cast<uint16_t>(r.code & 0xFFFF);
      InputEvent.age = static_cast<float>(static_cast<uint32_t>(InputTime - r.time) / 1000.0);
      InputEvent.joystick = EventJoystick[EventIndex];
      InputEvent.kind = KindOfCode(InputEvent.code);
      InputEvent.value = InputEvent.code < 4096 ? ((r.data & 0x80) ? 1 : 0) : static_cast<int32_t>(r.data);
      return 1;
    }
  }
  if (wantEmpty && EventCount == 0) {
    EventEndFlag = 1;
    InputEvent = ElInputEvent{0, 0, kEventNone, 0, 0.0f};
    return 1;
  }
  return 0;
}

void CheckEvent(uint16_t code, uint32_t* state, float* age) {
  if (state == nullptr || age == nullptr) return;
  if (*state == 0xFF01)
    *state = 0xFF03;
  else if (*state == 0xFF02)
    *state = 0xFF00;
  const bool motionMode = (InputDevices & kInputMouseMotion) != 0;
  if (motionMode && code >= kEventMouseX && code <= kEventMouseWheel) *state = 0;
  if (InputEvent.code == code) {
    const uint16_t c = InputEvent.code;
    const int32_t v = InputEvent.value;
    if (c >= 4096 && c < 8192) {
      // Mouse axis.
      int64_t d = v;
      if (motionMode && std::llabs(d) >= 5) d *= 2;
      *state = static_cast<uint32_t>(Saturate(d));
    } else if (c >= 8192) {
      *state = static_cast<uint32_t>(v);  // joystick axis
    } else {
      *state = v ? 0xFF01 : 0xFF02;  // key, mouse button, joystick button
    }
  }
  *age = InputEvent.age;
}

}  // namespace elSystem
