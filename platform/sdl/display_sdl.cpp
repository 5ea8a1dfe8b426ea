// The display on the real host: the primary surface goes to the main window through a streaming
// texture of the primary's format; the renderer keeps the game's logical size, so the picture is scaled
// by whole pixels (nearest neighbour) and letterboxed, and SDL maps mouse coordinates to game pixels.
#include <SDL.h>

#include "platform/display.h"
#include "platform/sdl/sdl_host.h"

namespace plat {
namespace {

SDL_Renderer* Renderer = nullptr;
SDL_Texture* Texture = nullptr;
int32_t TexW = 0, TexH = 0;
PixelFormat TexFormat = PixelFormat::RGB565;
int32_t ModeBits = 0;
bool VSyncNext = false;
bool VSyncOn = false;

Uint32 SdlFormat(PixelFormat f) {
  switch (f) {
    case PixelFormat::RGB565: return SDL_PIXELFORMAT_RGB565;
    case PixelFormat::RGB555: return SDL_PIXELFORMAT_RGB555;
    case PixelFormat::XRGB8888: return SDL_PIXELFORMAT_RGB888;
  }
  return SDL_PIXELFORMAT_RGB565;
}

void DropRenderer() {
  if (Texture) SDL_DestroyTexture(Texture);
  if (Renderer) SDL_DestroyRenderer(Renderer);
  Texture = nullptr;
  Renderer = nullptr;
}

bool EnsureRenderer(const Surface& primary) {
  SDL_Window* w = sdl::Window();
  if (!w) return false;
  if (!Renderer) {
    Renderer = SDL_CreateRenderer(w, -1, SDL_RENDERER_ACCELERATED);
    if (!Renderer) Renderer = SDL_CreateRenderer(w, -1, SDL_RENDERER_SOFTWARE);
    if (!Renderer) return false;
    VSyncOn = false;
  }
  if (!Texture || TexW != primary.Width() || TexH != primary.Height() || TexFormat != primary.Format()) {
    if (Texture) SDL_DestroyTexture(Texture);
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    Texture = SDL_CreateTexture(Renderer, SdlFormat(primary.Format()), SDL_TEXTUREACCESS_STREAMING, primary.Width(),
                                primary.Height());
    if (!Texture) return false;
    TexW = primary.Width();
    TexH = primary.Height();
    TexFormat = primary.Format();
    SDL_RenderSetLogicalSize(Renderer, TexW, TexH);
    SDL_RenderSetIntegerScale(Renderer, SDL_FALSE);
  }
  return true;
}

int32_t DesktopBits() {
  SDL_DisplayMode m;
  if (SDL_GetDesktopDisplayMode(0, &m) != 0) return 32;
  int bits = SDL_BITSPERPIXEL(m.format);
  return bits > 16 ? 32 : bits;
}

}  // namespace

bool DisplayOpen() { return sdl::EnsureVideo(); }

void DisplayClose() {
  DropRenderer();
  ModeBits = 0;
}

// A software device: no 3D, stretching done by our own blitter.
DisplayCaps DisplayGetCaps() { return {false, false, false, true}; }

// The window is full-screen desktop; every mode of the game's size at 16 or 32 bits is shown by
// scaling, so the desktop mode itself never changes.
bool DisplaySetMode(int32_t width, int32_t height, int32_t bits) {
  if (width <= 0 || height <= 0 || (bits != 16 && bits != 32)) return false;
  ModeBits = bits;
  // The renderer and its logical size from the start, so that pointer positions are game pixels
  // before the first frame is shown.
  if (SDL_Window* w = sdl::Window()) {
    if (!Renderer) {
      Renderer = SDL_CreateRenderer(w, -1, SDL_RENDERER_ACCELERATED);
      if (!Renderer) Renderer = SDL_CreateRenderer(w, -1, SDL_RENDERER_SOFTWARE);
      VSyncOn = false;
    }
    if (Renderer) SDL_RenderSetLogicalSize(Renderer, width, height);
  }
  return true;
}

void DisplayRestoreMode() { ModeBits = 0; }

int32_t DisplayBits() { return ModeBits ? ModeBits : DesktopBits(); }

bool DisplayFormat(PixelFormat* out) {
  int32_t bits = DisplayBits();
  if (bits == 16) *out = PixelFormat::RGB565;
  else if (bits == 32) *out = PixelFormat::XRGB8888;
  else return false;
  return true;
}

HResult DisplayWaitVerticalBlank() {
  VSyncNext = true;
  return DD_OK;
}

void DisplayShow(const Surface& primary) {
  if (!EnsureRenderer(primary)) return;
  if (VSyncNext != VSyncOn) {
    SDL_RenderSetVSync(Renderer, VSyncNext ? 1 : 0);
    VSyncOn = VSyncNext;
  }
  VSyncNext = false;
  SDL_UpdateTexture(Texture, nullptr, primary.Row(0), primary.Pitch());
  SDL_SetRenderDrawColor(Renderer, 0, 0, 0, 255);
  SDL_RenderClear(Renderer);
  SDL_RenderCopy(Renderer, Texture, nullptr, nullptr);
  SDL_RenderPresent(Renderer);
}

}  // namespace plat
