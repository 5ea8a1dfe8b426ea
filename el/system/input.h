// Input devices, the event queue, polled keys, the cursor and joysticks.
#pragma once
#include <cstdint>

namespace elSystem {

int Init();
void ReleaseInput();
void ActivateInput(uint32_t active);
void UpdateInput();
void SyncPointer(uint32_t mode);
void ClipCursorToScreen();
void UnclipCursor();
int IsCursorClipped();
void EnableIME(uint32_t on);
int InitJoystick();

}  // namespace elSystem
