// Temporary stand-ins until the drawing module lands: nothing is drawn.
#include "el/elDraw.h"

int32_t ClipLeft, ClipTop, ClipRight, ClipBottom;
int32_t ScreenWidth = 640, ScreenHeight = 480;
int32_t ColorDepth;
int32_t FadeDirection;
int32_t FadeStep;
int32_t PauseShown;
int32_t WipeState;
int32_t SavedClipLeft, SavedClipTop, SavedClipRight, SavedClipBottom;

namespace elDraw {
int Screen(int32_t, int32_t, int32_t) { return 1; }
void Release() {}
void Present() {}
void FreeFonts() {}
void SetVSync(uint32_t) {}
}  // namespace elDraw
