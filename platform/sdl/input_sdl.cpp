// SDL input service: native keyboard, mouse and joystick events feed the device buffers through the
// host's event hook; the cursor is SDL's pointer over the main window.
//
// The display sets a 640 x 480 logical size on the window's renderer, so SDL has already turned event
// positions and motion into game pixels; the pointer functions convert between game pixels and window
// pixels with the renderer's viewport and scale.
#include <SDL.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "platform/input_feed.h"
#include "platform/sdl/sdl_host.h"

namespace plat::input {
namespace {

bool gHooked = false;
std::array<SDL_Joystick*, kMaxAttachedJoysticks> gJoysticks{};

// A warp of the pointer makes SDL report a motion to the target; that jump is not mouse motion.
bool gWarpPending = false;
int32_t gWarpX = 0, gWarpY = 0;

// DirectInput scan code of an SDL scancode; 0 for keys without one.
uint8_t ScanCode(SDL_Scancode s) {
  // Letters, digits and F keys by their place, as the virtual keys of the same names.
  if (s >= SDL_SCANCODE_A && s <= SDL_SCANCODE_Z) return feed::ScanCodeOfVirtualKey('A' + (s - SDL_SCANCODE_A));
  if (s >= SDL_SCANCODE_1 && s <= SDL_SCANCODE_9) return feed::ScanCodeOfVirtualKey('1' + (s - SDL_SCANCODE_1));
  if (s >= SDL_SCANCODE_F1 && s <= SDL_SCANCODE_F12) return feed::ScanCodeOfVirtualKey(0x70 + (s - SDL_SCANCODE_F1));
  switch (s) {
    case SDL_SCANCODE_0: return 0x0B;
    case SDL_SCANCODE_RETURN: return 0x1C;
    case SDL_SCANCODE_ESCAPE: return 0x01;
    case SDL_SCANCODE_BACKSPACE: return 0x0E;
    case SDL_SCANCODE_TAB: return 0x0F;
    case SDL_SCANCODE_SPACE: return 0x39;
    case SDL_SCANCODE_MINUS: return 0x0C;
    case SDL_SCANCODE_EQUALS: return 0x0D;
    case SDL_SCANCODE_LEFTBRACKET: return 0x1A;
    case SDL_SCANCODE_RIGHTBRACKET: return 0x1B;
    case SDL_SCANCODE_BACKSLASH: return 0x2B;
    case SDL_SCANCODE_NONUSHASH: return 0x2B;
    case SDL_SCANCODE_SEMICOLON: return 0x27;
    case SDL_SCANCODE_APOSTROPHE: return 0x28;
    case SDL_SCANCODE_GRAVE: return 0x29;
    case SDL_SCANCODE_COMMA: return 0x33;
    case SDL_SCANCODE_PERIOD: return 0x34;
    case SDL_SCANCODE_SLASH: return 0x35;
    case SDL_SCANCODE_CAPSLOCK: return 0x3A;
    case SDL_SCANCODE_PRINTSCREEN: return 0xB7;
    case SDL_SCANCODE_SCROLLLOCK: return 0x46;
    case SDL_SCANCODE_PAUSE: return 0xC5;
    case SDL_SCANCODE_INSERT: return 0xD2;
    case SDL_SCANCODE_HOME: return 0xC7;
    case SDL_SCANCODE_PAGEUP: return 0xC9;
    case SDL_SCANCODE_DELETE: return 0xD3;
    case SDL_SCANCODE_END: return 0xCF;
    case SDL_SCANCODE_PAGEDOWN: return 0xD1;
    case SDL_SCANCODE_RIGHT: return 0xCD;
    case SDL_SCANCODE_LEFT: return 0xCB;
    case SDL_SCANCODE_DOWN: return 0xD0;
    case SDL_SCANCODE_UP: return 0xC8;
    case SDL_SCANCODE_NUMLOCKCLEAR: return 0x45;
    case SDL_SCANCODE_KP_DIVIDE: return 0xB5;
    case SDL_SCANCODE_KP_MULTIPLY: return 0x37;
    case SDL_SCANCODE_KP_MINUS: return 0x4A;
    case SDL_SCANCODE_KP_PLUS: return 0x4E;
    case SDL_SCANCODE_KP_ENTER: return 0x9C;
    case SDL_SCANCODE_KP_1: return 0x4F;
    case SDL_SCANCODE_KP_2: return 0x50;
    case SDL_SCANCODE_KP_3: return 0x51;
    case SDL_SCANCODE_KP_4: return 0x4B;
    case SDL_SCANCODE_KP_5: return 0x4C;
    case SDL_SCANCODE_KP_6: return 0x4D;
    case SDL_SCANCODE_KP_7: return 0x47;
    case SDL_SCANCODE_KP_8: return 0x48;
    case SDL_SCANCODE_KP_9: return 0x49;
    case SDL_SCANCODE_KP_0: return 0x52;
    case SDL_SCANCODE_KP_PERIOD: return 0x53;
    case SDL_SCANCODE_NONUSBACKSLASH: return 0x56;
    case SDL_SCANCODE_APPLICATION: return 0xDD;
    case SDL_SCANCODE_INTERNATIONAL1: return 0x73;  // ro
    case SDL_SCANCODE_INTERNATIONAL2: return 0x70;  // kana
    case SDL_SCANCODE_INTERNATIONAL3: return 0x7D;  // yen
    case SDL_SCANCODE_INTERNATIONAL4: return 0x79;  // convert
    case SDL_SCANCODE_INTERNATIONAL5: return 0x7B;  // no convert
    case SDL_SCANCODE_LCTRL: return 0x1D;
    case SDL_SCANCODE_LSHIFT: return 0x2A;
    case SDL_SCANCODE_LALT: return 0x38;
    case SDL_SCANCODE_LGUI: return 0xDB;
    case SDL_SCANCODE_RCTRL: return 0x9D;
    case SDL_SCANCODE_RSHIFT: return 0x36;
    case SDL_SCANCODE_RALT: return 0xB8;
    case SDL_SCANCODE_RGUI: return 0xDC;
    default: return 0;
  }
}

int SlotOfInstance(SDL_JoystickID id) {
  for (int i = 0; i < kMaxAttachedJoysticks; ++i) {
    if (gJoysticks[i] && SDL_JoystickInstanceID(gJoysticks[i]) == id) return i;
  }
  return -1;
}

void OpenJoystick(int deviceIndex) {
  if (SlotOfInstance(SDL_JoystickGetDeviceInstanceID(deviceIndex)) >= 0) return;
  SDL_Joystick* j = SDL_JoystickOpen(deviceIndex);
  if (!j) return;
  const int slot = feed::AttachJoystick();
  if (slot < 0) {
    SDL_JoystickClose(j);
    return;
  }
  gJoysticks[slot] = j;
  const int axes = SDL_JoystickNumAxes(j);
  for (int a = 0; a < axes && a < kJoyAxes; ++a) feed::JoystickAxis(slot, a, SDL_JoystickGetAxis(j, a));
}

uint32_t PovOfHat(Uint8 hat) {
  switch (hat) {
    case SDL_HAT_UP: return 0;
    case SDL_HAT_RIGHTUP: return 4500;
    case SDL_HAT_RIGHT: return 9000;
    case SDL_HAT_RIGHTDOWN: return 13500;
    case SDL_HAT_DOWN: return 18000;
    case SDL_HAT_LEFTDOWN: return 22500;
    case SDL_HAT_LEFT: return 27000;
    case SDL_HAT_LEFTUP: return 31500;
    default: return kPovCentred;
  }
}

// Game pixels <-> window pixels through the renderer's logical-size mapping.
void Mapping(SDL_Window* w, SDL_Rect* vp, float* sx, float* sy) {
  *vp = SDL_Rect{0, 0, 0, 0};
  *sx = *sy = 1.0f;
  if (SDL_Renderer* r = SDL_GetRenderer(w)) {
    SDL_RenderGetViewport(r, vp);
    SDL_RenderGetScale(r, sx, sy);
    if (!(*sx > 0.0f)) *sx = 1.0f;
    if (!(*sy > 0.0f)) *sy = 1.0f;
  }
}

int32_t ToWindow(int32_t game, int offset, float scale) {
  return static_cast<int32_t>(std::lround((static_cast<double>(game) + offset) * scale));
}

int32_t ToGame(int32_t window, int offset, float scale) {
  return static_cast<int32_t>(std::floor(window / static_cast<double>(scale))) - offset;
}

void OnEvent(const SDL_Event& e) {
  switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      if (e.key.repeat) break;
      if (const uint8_t sc = ScanCode(e.key.keysym.scancode)) feed::Key(sc, e.type == SDL_KEYDOWN);
      break;
    case SDL_MOUSEMOTION:
      if (gWarpPending && std::abs(e.motion.x - gWarpX) <= 1 && std::abs(e.motion.y - gWarpY) <= 1) {
        gWarpPending = false;
        break;
      }
      feed::MouseMotion(e.motion.xrel, e.motion.yrel);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      int b = -1;
      switch (e.button.button) {
        case SDL_BUTTON_LEFT: b = 0; break;
        case SDL_BUTTON_RIGHT: b = 1; break;
        case SDL_BUTTON_MIDDLE: b = 2; break;
        case SDL_BUTTON_X1: b = 3; break;
        case SDL_BUTTON_X2: b = 4; break;
        default: break;
      }
      if (b >= 0) feed::MouseButton(b, e.type == SDL_MOUSEBUTTONDOWN);
      break;
    }
    case SDL_MOUSEWHEEL: {
      int32_t y = e.wheel.y;
      if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) y = -y;
      if (y > -1000000 && y < 1000000) feed::MouseWheel(y * 120);
      break;
    }
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) feed::SetForeground(true);
      if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) feed::SetForeground(false);
      break;
    case SDL_JOYDEVICEADDED:
      OpenJoystick(e.jdevice.which);
      break;
    case SDL_JOYDEVICEREMOVED: {
      const int slot = SlotOfInstance(e.jdevice.which);
      if (slot < 0) break;
      feed::DetachJoystick(slot);
      SDL_JoystickClose(gJoysticks[slot]);
      gJoysticks[slot] = nullptr;
      break;
    }
    case SDL_JOYAXISMOTION: {
      const int slot = SlotOfInstance(e.jaxis.which);
      if (slot >= 0) feed::JoystickAxis(slot, e.jaxis.axis, e.jaxis.value);
      break;
    }
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP: {
      const int slot = SlotOfInstance(e.jbutton.which);
      if (slot >= 0) feed::JoystickButton(slot, e.jbutton.button, e.type == SDL_JOYBUTTONDOWN);
      break;
    }
    case SDL_JOYHATMOTION: {
      const int slot = SlotOfInstance(e.jhat.which);
      if (slot >= 0) feed::JoystickPov(slot, e.jhat.hat, PovOfHat(e.jhat.value));
      break;
    }
    default:
      break;
  }
}

}  // namespace

namespace backend {

bool Start() {
  if (!gHooked) {
    sdl::AddEventHook(OnEvent);
    gHooked = true;
  }
  // Without a joystick subsystem the keyboard and the mouse still work.
  if (SDL_WasInit(SDL_INIT_JOYSTICK) || SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0) {
    const int n = SDL_NumJoysticks();
    for (int i = 0; i < n; ++i) OpenJoystick(i);
  }
  return true;
}

void Stop() {}

}  // namespace backend

bool GetCursorPos(int32_t* x, int32_t* y) {
  SDL_Window* w = sdl::Window();
  if (!w || !x || !y) return false;
  int wx = 0, wy = 0;
  SDL_GetMouseState(&wx, &wy);
  SDL_Rect vp;
  float sx, sy;
  Mapping(w, &vp, &sx, &sy);
  *x = ToGame(wx, vp.x, sx);
  *y = ToGame(wy, vp.y, sy);
  return true;
}

bool SetCursorPos(int32_t x, int32_t y) {
  SDL_Window* w = sdl::Window();
  if (!w) return false;
  int32_t cx = 0, cy = 0;
  if (GetCursorPos(&cx, &cy) && cx == x && cy == y) return true;
  SDL_Rect vp;
  float sx, sy;
  Mapping(w, &vp, &sx, &sy);
  gWarpPending = true;
  gWarpX = x;
  gWarpY = y;
  SDL_WarpMouseInWindow(w, ToWindow(x, vp.x, sx), ToWindow(y, vp.y, sy));
  return true;
}

bool ClipCursor(const ClipRect* r) {
  SDL_Window* w = sdl::Window();
  if (!w) return false;
  if (!r) return SDL_SetWindowMouseRect(w, nullptr) == 0;
  if (r->right <= r->left || r->bottom <= r->top) return false;
  SDL_Rect vp;
  float sx, sy;
  Mapping(w, &vp, &sx, &sy);
  const int32_t l = ToWindow(r->left, vp.x, sx), t = ToWindow(r->top, vp.y, sy);
  const int32_t rr = ToWindow(r->right, vp.x, sx), b = ToWindow(r->bottom, vp.y, sy);
  const SDL_Rect area{l, t, std::max(rr - l, 1), std::max(b - t, 1)};
  return SDL_SetWindowMouseRect(w, &area) == 0;
}

bool EnableIME(bool on) {
  const bool was = SDL_IsTextInputActive() == SDL_TRUE;
  if (on)
    SDL_StartTextInput();
  else
    SDL_StopTextInput();
  return was;
}

}  // namespace plat::input
