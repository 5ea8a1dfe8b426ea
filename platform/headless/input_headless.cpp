// The headless input service: the cursor, its clip and the IME switch are plain state that tests
// steer through platform/headless/headless_input.h; device data comes from the tests.
#include <algorithm>
#include <cstdint>

#include "platform/headless/headless.h"
#include "platform/headless/headless_input.h"
#include "platform/host.h"
#include "platform/input_feed.h"

namespace plat::input {
namespace {

bool gServiceRefused = false;
int32_t gCursorX = 0, gCursorY = 0;
int32_t gScreenW = 640, gScreenH = 480;
bool gClipped = false;
ClipRect gClip{};
bool gIme = true;

int32_t Saturate(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

void HoldCursor() {
  int32_t l = 0, t = 0, r = gScreenW, b = gScreenH;
  if (gClipped) {
    l = std::max(l, gClip.left);
    t = std::max(t, gClip.top);
    r = std::min(r, gClip.right);
    b = std::min(b, gClip.bottom);
  }
  if (r <= l) r = l + 1;
  if (b <= t) b = t + 1;
  gCursorX = std::clamp(gCursorX, l, r - 1);
  gCursorY = std::clamp(gCursorY, t, b - 1);
}

}  // namespace

namespace backend {
bool Start() { return !gServiceRefused; }
void Stop() {}
}  // namespace backend

bool GetCursorPos(int32_t* x, int32_t* y) {
  if (x == nullptr || y == nullptr) return false;
  *x = gCursorX;
  *y = gCursorY;
  return true;
}

bool SetCursorPos(int32_t x, int32_t y) {
  gCursorX = x;
  gCursorY = y;
  HoldCursor();
  return true;
}

bool ClipCursor(const ClipRect* r) {
  if (r == nullptr) {
    gClipped = false;
    return true;
  }
  if (r->right <= r->left || r->bottom <= r->top) return false;
  gClip = *r;
  gClipped = true;
  HoldCursor();
  return true;
}

bool EnableIME(bool on) {
  const bool was = gIme;
  gIme = on;
  return was;
}

}  // namespace plat::input

namespace plat::headless {

namespace in = plat::input;

void KeyPress(uint8_t scanCode) { in::feed::Key(scanCode, true); }
void KeyRelease(uint8_t scanCode) { in::feed::Key(scanCode, false); }

void MouseMove(int32_t dx, int32_t dy) {
  in::feed::MouseMotion(dx, dy);
  in::gCursorX = in::Saturate(int64_t{in::gCursorX} + dx);
  in::gCursorY = in::Saturate(int64_t{in::gCursorY} + dy);
  in::HoldCursor();
}

void MouseWheel(int32_t delta) { in::feed::MouseWheel(delta); }
void MouseButton(int button, bool down) { in::feed::MouseButton(button, down); }

void MouseClick(int button) {
  in::feed::MouseButton(button, true);
  in::feed::MouseButton(button, false);
}

void PointerMoveTo(int32_t x, int32_t y) {
  MouseMove(in::Saturate(int64_t{x} - in::gCursorX), in::Saturate(int64_t{y} - in::gCursorY));
  Inject(WM_MOUSEMOVE, 0, MakeLParam(in::gCursorX, in::gCursorY));
}

void PointerButton(int button, bool down) {
  in::feed::MouseButton(button, down);
  const intptr_t pos = MakeLParam(in::gCursorX, in::gCursorY);
  if (button == 0) Inject(down ? WM_LBUTTONDOWN : WM_LBUTTONUP, 0, pos);
  if (button == 1) Inject(down ? WM_RBUTTONDOWN : WM_RBUTTONUP, 0, pos);
}

void PointerClick(int button) {
  PointerButton(button, true);
  PointerButton(button, false);
}

void PlaceCursor(int32_t x, int32_t y) { in::SetCursorPos(x, y); }
void CursorPos(int32_t* x, int32_t* y) { in::GetCursorPos(x, y); }

bool CursorClip(in::ClipRect* out) {
  if (in::gClipped && out) *out = in::gClip;
  return in::gClipped;
}

void SetCursorScreen(int32_t width, int32_t height) {
  in::gScreenW = std::max(width, 1);
  in::gScreenH = std::max(height, 1);
  in::HoldCursor();
}

bool ImeOn() { return in::gIme; }

int AttachJoystick() { return in::feed::AttachJoystick(); }
void DetachJoystick(int slot) { in::feed::DetachJoystick(slot); }
void JoystickAxis(int slot, int axis, int32_t raw) { in::feed::JoystickAxis(slot, axis, raw); }
void JoystickButton(int slot, int button, bool down) { in::feed::JoystickButton(slot, button, down); }
void JoystickPov(int slot, int pov, uint32_t value) { in::feed::JoystickPov(slot, pov, value); }

void SetInputServiceRefused(bool refused) { in::gServiceRefused = refused; }
void SetDeviceCreateRefused(in::Device d, bool refused) { in::feed::SetCreateRefused(d, refused); }
void SetDeviceAcquireRefused(in::Device d, bool refused) { in::feed::SetAcquireRefused(d, refused); }
void LoseInputDevice(in::Device d) { in::feed::LoseDevice(d); }
void SetInputForeground(bool on) { in::feed::SetForeground(on); }

void ResetInput() {
  in::feed::ResetAll();
  in::gServiceRefused = false;
  in::gCursorX = in::gCursorY = 0;
  in::gScreenW = 640;
  in::gScreenH = 480;
  in::gClipped = false;
  in::gClip = {};
  in::gIme = true;
}

}  // namespace plat::headless
