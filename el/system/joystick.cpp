// Polled joysticks 0 and 1: raw readings, rest position, three- and eight-way directions, button
// edges, hold timers and axis ramps.
#include <algorithm>

#include "el/elDraw.h"
#include "el/elSystem.h"
#include "platform/input.h"

extern int32_t FadeStep;

int32_t JoyCenterX[2], JoyCenterY[2];
ElJoyState JoyState[2];

namespace in = plat::input;

namespace {

constexpr uint32_t kReadPosition = in::kJoyUseDeadZone | in::kJoyReturnX | in::kJoyReturnY;  // 0x803
constexpr uint32_t kReadButtons = in::kJoyReturnButtons;                                    // 0x80
constexpr uint32_t kReadAll = in::kJoyUseDeadZone | in::kJoyReturnAll;                      // 0x8FF

// Joystick numbers other than 0 and 1 and buttons outside 1..4 have no state record: the operations
// refuse them and answer as for a joystick that cannot be read.
bool ValidJoystick(int32_t j) { return j == 0 || j == 1; }
bool ValidStateButton(int32_t b) { return b >= 1 && b <= 4; }

bool Read(int32_t j, uint32_t flags, in::JoyPos* p) {
  return ValidJoystick(j) && in::JoyGetPos(static_cast<uint32_t>(j), flags, p) == in::kJoyErrNoError;
}

// -1 at or below half the rest value, +1 at or above one and a half times it, else 0.
int32_t Classify(int64_t reading, int32_t centre) {
  if (reading <= centre / 2) return -1;
  if (reading >= int64_t{centre} + centre / 2) return 1;
  return 0;
}

uint32_t NextEdge(uint32_t state, bool pressed) {
  uint32_t next;
  if (pressed)
    next = state == 0 ? 1 : 3;
  else
    next = (state == 1 || state == 3) ? 2 : 0;
  if (FadeStep != 0 || PauseShown != 0 || InputLocked != 0) next = 0;
  return next;
}

float NextHold(float hold, bool pressed, float holdRate) {
  if (!pressed) return 0.0f;
  return std::min(hold + FrameSeconds * holdRate, 100.0f);
}

float NextRamp(float v, int32_t d, float rate) {
  if (d != 0) return std::clamp(v + static_cast<float>(d) * rate * FrameSeconds, -100.0f, 100.0f);
  const float step = FrameSeconds * rate;
  if (v > 0.0f) {
    v -= step;
    v = std::max(v, 0.0f);
  }
  if (v < 0.0f) {
    v += step;
    v = std::min(v, 0.0f);
  }
  return v;
}

}  // namespace

namespace elSystem {

int InitJoystick() {
  in::JoyConfigChanged();
  CalibrateJoystick();
  for (ElJoyState& s : JoyState) s = ElJoyState{};
  return 1;
}

void CalibrateJoystick() {
  for (int32_t j = 0; j < 2; ++j) {
    in::JoyPos p{};
    if (Read(j, kReadAll, &p)) {
      JoyCenterX[j] = static_cast<int32_t>(p.x);
      JoyCenterY[j] = static_cast<int32_t>(p.y);
    } else {
      JoyCenterX[j] = JoyCenterY[j] = 0;
    }
  }
}

void ResetJoystick() {
  for (ElJoyState& s : JoyState) {
    s.rampX = s.rampY = 0.0f;
    for (float& h : s.hold) h = 0.0f;
  }
}

void SetJoystickRate(int32_t joystick, float rampRate, float holdRate) {
  if (!ValidJoystick(joystick)) return;
  JoyState[joystick].rampRate = rampRate;
  JoyState[joystick].holdRate = holdRate;
}

void GetJoystickCenter(int32_t joystick, int32_t* x, int32_t* y) {
  const bool ok = ValidJoystick(joystick);
  if (x) *x = ok ? JoyCenterX[joystick] : 0;
  if (y) *y = ok ? JoyCenterY[joystick] : 0;
}

void GetJoyPosition(int32_t joystick, int32_t* x, int32_t* y) {
  in::JoyPos p{};
  const bool ok = Read(joystick, kReadPosition, &p);
  if (x) *x = ok ? static_cast<int32_t>(p.x) : 0;
  if (y) *y = ok ? static_cast<int32_t>(p.y) : 0;
}

int GetJoyButton(int32_t joystick, int32_t button) {
  if (button < 1 || button > 32) return 0;
  in::JoyPos p{};
  if (!Read(joystick, kReadButtons, &p)) return 0;
  return (p.buttons >> (button - 1)) & 1u;
}

void GetJoyButtons(int32_t joystick, uint32_t* pressed4) {
  if (pressed4 == nullptr) return;
  in::JoyPos p{};
  const bool ok = Read(joystick, kReadButtons, &p);
  for (int b = 0; b < 4; ++b) pressed4[b] = ok ? (p.buttons >> b) & 1u : 0;
}

uint32_t GetJoyButtonState(int32_t joystick, int32_t button) {
  if (!ValidStateButton(button)) return 0;
  in::JoyPos p{};
  if (!Read(joystick, kReadButtons, &p)) return 0;
  uint32_t& s = JoyState[joystick].buttonState[button - 1];
  s = NextEdge(s, (p.buttons >> (button - 1)) & 1u);
  return s;
}

void GetJoyButtonStates(int32_t joystick, uint32_t* states4) {
  if (states4 == nullptr) return;
  in::JoyPos p{};
  if (!Read(joystick, kReadButtons, &p)) {
    for (int b = 0; b < 4; ++b) states4[b] = 0;
    return;
  }
  for (int b = 0; b < 4; ++b) {
    uint32_t& s = JoyState[joystick].buttonState[b];
    s = NextEdge(s, (p.buttons >> b) & 1u);
    states4[b] = s;
  }
}

int32_t GetJoyHold(int32_t joystick, int32_t button) {
  if (!ValidJoystick(joystick) || !ValidStateButton(button)) return 0;
  ElJoyState& s = JoyState[joystick];
  float& h = s.hold[button - 1];
  h = NextHold(h, GetJoyButton(joystick, button) != 0, s.holdRate);
  return static_cast<int32_t>(h);
}

void GetJoyHolds(int32_t joystick, int32_t* holds4) {
  if (holds4 == nullptr) return;
  in::JoyPos p{};
  if (!Read(joystick, kReadButtons, &p)) {
    for (int b = 0; b < 4; ++b) holds4[b] = 0;
    return;
  }
  ElJoyState& s = JoyState[joystick];
  for (int b = 0; b < 4; ++b) {
    s.hold[b] = NextHold(s.hold[b], (p.buttons >> b) & 1u, s.holdRate);
    holds4[b] = static_cast<int32_t>(s.hold[b]);
  }
}

void GetJoyDirection(int32_t joystick, int32_t* dx, int32_t* dy) {
  in::JoyPos p{};
  const bool ok = Read(joystick, kReadPosition, &p);
  if (dx) *dx = ok ? Classify(p.x, JoyCenterX[joystick]) : 0;
  if (dy) *dy = ok ? Classify(p.y, JoyCenterY[joystick]) : 0;
}

int32_t GetJoyDirection8(int32_t joystick) {
  in::JoyPos p{};
  if (!Read(joystick, kReadPosition, &p)) return 5;
  const int32_t dx = Classify(p.x, JoyCenterX[joystick]);
  const int32_t dy = Classify(p.y, JoyCenterY[joystick]);
  // Numeric keypad layout: the top row is up.
  return (1 - dy) * 3 + 2 + dx;
}

void GetJoyRamp(int32_t joystick, int32_t* x, int32_t* y) {
  in::JoyPos p{};
  if (!Read(joystick, kReadPosition, &p)) {
    if (x) *x = 0;
    if (y) *y = 0;
    return;
  }
  ElJoyState& s = JoyState[joystick];
  s.rampX = NextRamp(s.rampX, Classify(p.x, JoyCenterX[joystick]), s.rampRate);
  s.rampY = NextRamp(s.rampY, Classify(p.y, JoyCenterY[joystick]), s.rampRate);
  if (x) *x = static_cast<int32_t>(s.rampX);
  if (y) *y = static_cast<int32_t>(s.rampY);
}

}  // namespace elSystem
