// The pointer position carried by mouse-axis events, cursor placement and clipping.
#include <algorithm>
#include <cstdint>

#include "el/elDraw.h"
#include "el/elSystem.h"
#include "platform/input.h"


uint32_t CursorClipped;
ElRect CursorClipRect;

namespace in = plat::input;

namespace {

// Coordinates from game code are taken as they come; sums that leave the 32-bit range saturate.
int32_t Add(int64_t a, int64_t b) { return static_cast<int32_t>(std::clamp<int64_t>(a + b, INT32_MIN, INT32_MAX)); }

}  // namespace

namespace elSystem {

void SyncPointer(uint32_t mode) {
  int32_t cx = 0, cy = 0;
  if (!in::GetCursorPos(&cx, &cy)) return;
  if (InputDevices & kInputMousePointer) PointerSyncPending = mode;
  PointerX = Add(cx, -int64_t{ClientX});
  PointerY = Add(cy, -int64_t{ClientY});
}

void SetMousePos(int32_t x, int32_t y) {
  in::SetCursorPos(Add(x, ClientX), Add(y, ClientY));
  if (InputDevices & kInputMousePointer) {
    PointerSyncPending = 1;
    PointerX = x;
    PointerY = y;
  }
}

void ClipCursor(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  const in::ClipRect r{left, top, right, bottom};
  in::ClipCursor(&r);
  CursorClipRect = ElRect{left, top, right, bottom};
  CursorClipped = 1;
}

void ClipCursorToScreen() {
  if (FullScreen)
    ClipCursor(0, 0, ScreenWidth, ScreenHeight);
  else
    ClipCursor(ClientX, ClientY, Add(ClientX, ScreenWidth), Add(ClientY, ScreenHeight));
}

void UnclipCursor() {
  in::ClipCursor(nullptr);
  CursorClipped = 0;
}

int IsCursorClipped() { return static_cast<int>(CursorClipped); }

}  // namespace elSystem
