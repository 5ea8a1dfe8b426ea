// Temporary stand-ins until the input module lands: no devices.
#include "el/elSystem.h"

namespace elSystem {
int Init() { return 1; }
void ReleaseInput() {}
void ActivateInput(uint32_t active) { AppActive = active; }
void UpdateInput() {}
void SyncPointer(uint32_t) {}
void ClipCursorToScreen() {}
void UnclipCursor() {}
int IsCursorClipped() { return 0; }
void EnableIME(uint32_t on) { ImeEnabled = on; }
int InitJoystick() { return 0; }
}  // namespace elSystem
