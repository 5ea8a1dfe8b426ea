// Polled keys, the press-and-release trigger, and the input switches (lock, system keys, IME, watch key).
#include <cstdarg>

#include "el/elDraw.h"
#include "el/elSystem.h"
#include "platform/input.h"

extern int32_t FadeStep;

uint32_t TriggerState;
uint32_t TriggerCode;

namespace elSystem {

void GetKey(int32_t vk, uint32_t* state) {
  if (state == nullptr) return;
  const bool down = (plat::input::GetKeyState(vk) & 0x80) != 0;
  if (down)
    *state = *state == 0 ? 1 : 3;
  else
    *state = (*state == 1 || *state == 3) ? 2 : 0;
  if (FadeStep != 0 || PauseShown != 0 || InputLocked != 0) *state = 0;
}

uint32_t WaitTrigger(uint32_t code, ...) {
  if (TriggerState == 0 && KeyHeld == 0 && ButtonHeld == 0) TriggerState = 1;
  if (TriggerState == 1) {
    va_list ap;
    va_start(ap, code);
    // A list longer than this is taken to have lost its terminating 0.
    constexpr int kMaxCodes = 256;
    uint32_t c = code;
    for (int i = 0; c != 0 && i < kMaxCodes; ++i) {
      const bool button = c == 1 || c == 2;
      if ((button && c == LastButton) || (!button && c == LastKey)) {
        TriggerCode = c;
        TriggerState = 2;
        break;
      }
      c = va_arg(ap, uint32_t);
    }
    va_end(ap);
  }
  if (TriggerState != 2) return 0;
  const bool button = TriggerCode == 1 || TriggerCode == 2;
  if ((button && LastButton != TriggerCode) || (!button && LastKey != TriggerCode)) TriggerState = 0;
  if (button ? ButtonHeld == 0 : KeyHeld == 0) {
    TriggerState = 0;
    LastKey = 0;
    LastButton = 0;
    return TriggerCode;
  }
  return 0;
}

void LockInput() { InputLocked = 1; }

void UnlockInput() {
  InputLocked = 0;
  KeyHeld = 0;
}

void EnableIME(uint32_t on) {
  plat::input::EnableIME(on != 0);
  ImeEnabled = on;
}

void SetSysKeyMode(uint32_t mode) { SysKeyMode = mode; }

void SetWatchKey(uint32_t vk) {
  WatchKey = vk;
  WatchKeyCount = 0;
}

uint32_t GetWatchCount() { return WatchKeyCount; }

}  // namespace elSystem
