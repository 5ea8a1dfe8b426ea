// elDraw: display set-up, draw objects, blits, presentation, text, effects, primitives, wipes.
#pragma once
#include <cstdint>

// Clip rectangle of the back screen (right and bottom exclusive).
extern int32_t ClipLeft, ClipTop, ClipRight, ClipBottom;
// Size of the game screen set by elDraw::Screen.
extern int32_t ScreenWidth, ScreenHeight;
// Bits per pixel of the screen set by elDraw::Screen (0 before).
extern int32_t ColorDepth;
// Presentation overlays.
extern int32_t FadeDirection;
extern int32_t PauseShown;
// Clip wipes.
extern int32_t WipeState;
extern int32_t SavedClipLeft, SavedClipTop, SavedClipRight, SavedClipBottom;

namespace elDraw {

int Screen(int32_t width, int32_t height, int32_t fullScreen);
void Release();
void Present();
void FreeFonts();
void SetVSync(uint32_t on);

}  // namespace elDraw
