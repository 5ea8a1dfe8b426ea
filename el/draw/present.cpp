// The end of every frame: the fade and pause overlays, the copy to the display; grab and frame rate.
#include <algorithm>
#include <cstdio>

#include "el/draw/draw_state.h"
#include "el/elSystem.h"
#include "platform/clock.h"
#include "platform/display.h"

plat::Rect PresentSrcRect;
int32_t WaitVSync = 1;
int32_t FadeStep;
int32_t FadeDirection;
int32_t FadeTiles;
int32_t PauseShown;
int32_t PausePicture, PauseTile;
int32_t PausePictureHeight;
float PauseScroll;
float PauseTileX, PauseTileY;
int32_t FpsFrames;
float Fps, FpsMax, FpsMin = 999.9f;
uint32_t FpsNextTime = plat::TimeMs();

namespace {

// An overlay picture that was loaded. A failed load leaves 0, which is also the stretch scratch
// object: the internal objects are never an overlay's picture.
bool IsPicture(int32_t n) { return n >= kInternalObjects && elDraw::detail::ObjectSurface(n); }

// Loads an overlay picture; 0 when it fails. The slot a failed load claimed (the lowest free one) is
// freed again, so that retrying a missing file does not use up the table.
int32_t LoadPicture(const char* name) {
  const int32_t slot = elDraw::detail::FreeSlot();
  const int32_t n = elDraw::LoadObject(name, 2);
  if (n == 0 && slot >= 0) elDraw::detail::ResetObject(slot);
  return n;
}

// Replaces an overlay picture: swapped into its own object when it has one (a failed swap keeps the
// slot, without a picture, for the next try); loaded into a new object otherwise.
int32_t ReplacePicture(int32_t current, const char* name) {
  if (current < kInternalObjects || current >= kDrawObjects) return LoadPicture(name);
  elDraw::SwapObject(name, current, 2);
  return current;
}

}  // namespace

namespace elDraw {

void Present() {
  if (FadeStep != 0) {
    // Without a tile sheet the fade still runs its ten frames (the main loop waits for its end).
    const int32_t fx = 64 * (FadeStep - 1);
    if (IsPicture(FadeTiles))
      for (int32_t i = 0; i < 10; ++i)
        for (int32_t j = 0; j < 10; ++j) Put(64 * i, 48 * j, FadeTiles, fx, 0, fx + 64, 48);
    FadeStep += FadeDirection;
    if ((FadeDirection == -1 && FadeStep < 1) || (FadeDirection == 1 && FadeStep > 10)) FadeStep = FadeDirection = 0;
  }
  if (PauseShown == 1) {
    if (IsPicture(PauseTile))
      for (int32_t i = 0; i <= 10; ++i)
        for (int32_t j = 0; j <= 10; ++j)
          Put(64 * i + static_cast<int32_t>(PauseTileX), 48 * j + static_cast<int32_t>(PauseTileY), PauseTile, 0, 0,
              64, 48);
    PauseTileX -= FrameSeconds * 10.0f;
    PauseTileY -= FrameSeconds * 10.0f;
    if (PauseTileX <= -64) PauseTileX += 64;
    if (PauseTileY <= -48) PauseTileY += 48;
    const int32_t scroll = static_cast<int32_t>(PauseScroll);
    if (IsPicture(PausePicture))
      Put(ClipLeft, ClipTop, PausePicture, 0, scroll, ClipRight - ClipLeft, scroll + ClipBottom - ClipTop);
    switch (KeyHeldPaused) {
      case 0x26: PauseScroll -= FrameSeconds * 100.0f; break;
      case 0x25: PauseScroll -= FrameSeconds * 300.0f; break;
      case 0x28: PauseScroll += FrameSeconds * 100.0f; break;
      case 0x27: PauseScroll += FrameSeconds * 300.0f; break;
      default: break;
    }
    PauseScroll = std::max(PauseScroll, 0.0f);
    const float limit = static_cast<float>(PausePictureHeight - (ClipBottom - ClipTop));
    PauseScroll = std::min(PauseScroll, limit);
  }
  if (!PrimarySurface || !BackSurface) return;
  if (WaitVSync == 1 && plat::DisplayWaitVerticalBlank() != plat::DD_OK) return;  // this frame is not shown
  // The primary stands for the window's client area (the host window system places the window), so
  // the destination is taken relative to the window's position: the picture follows the window.
  plat::Rect dst{ClientRect.left - ClientX, ClientRect.top - ClientY, ClientRect.right - ClientX,
                 ClientRect.bottom - ClientY};
  plat::HResult hr = PrimarySurface->Blt(&dst, BackSurface, &PresentSrcRect, plat::DDBLT_WAIT, 0);
  if (hr == plat::DDERR_SURFACELOST) {
    Restore();
    return;
  }
  if (hr == plat::DD_OK) plat::DisplayShow(*PrimarySurface);
}

void SetVSync(uint32_t on) { WaitVSync = static_cast<int32_t>(on); }

void GrabScreen(int32_t object, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  plat::Surface* s = elDraw::detail::ObjectSurface(object);
  if (!s || !BackSurface) return;
  plat::Rect r{left, top, right, bottom};
  if (s->BltFast(0, 0, BackSurface, &r, plat::DDBLTFAST_WAIT) == plat::DDERR_SURFACELOST) Restore();
}

int32_t LoadFadeTiles(const char* name) {
  SetColorKey(0);
  FadeTiles = LoadPicture(name);
  return FadeTiles;
}

void FadeOut() {
  FadeStep = 1;
  FadeDirection = 1;
}

void FadeIn() {
  FadeStep = 10;
  FadeDirection = -1;
}

int32_t SetPause(const char* picture, const char* tile, int32_t height) {
  SetColorKey(0);
  // Each picture on its own: one that failed before is loaded anew, never swapped into slot 0.
  PausePicture = ReplacePicture(PausePicture, picture);
  PauseTile = ReplacePicture(PauseTile, tile);
  PauseScroll = 0;
  PausePictureHeight = height;
  return height;
}

void TogglePause() {
  if (PauseShown == 1)
    PauseShown = 0;
  else if (PausePictureHeight != 0)
    PauseShown = 1;
}

void ShowFps() {
  uint32_t now = plat::TimeMs();
  // Unsigned difference: correct across the wrap of the millisecond clock.
  if (static_cast<int32_t>(now - FpsNextTime) >= 0) {
    Fps = static_cast<float>(FpsFrames) / 2.0f;
    if (Fps > FpsMax) FpsMax = Fps;
    if (Fps > 0 && Fps < FpsMin) FpsMin = Fps;
    FpsNextTime = now + 2000;
    FpsFrames = 0;
  }
  if (FpsFrames < 999) ++FpsFrames;
  DebugPrintf(0, 0, "%3.1f fps ( max %3.1f / min %3.1f )", static_cast<double>(Fps), static_cast<double>(FpsMax),
              static_cast<double>(FpsMin));
}

}  // namespace elDraw
