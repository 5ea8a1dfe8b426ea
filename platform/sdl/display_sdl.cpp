// The display on the real host: the primary surface goes to the main window through a streaming
// texture of the primary's format. The renderer keeps the game's logical size, so the picture is
// letterboxed with black, its aspect kept, and SDL maps mouse coordinates to game pixels. Scaling is
// done in two steps: the largest whole-number factor that fits, nearest neighbour, into a target
// texture (every game pixel the same number of screen pixels), then a linear scale of that texture to
// the letterbox for the fractional rest (1920 x 1080: x2 to 1280 x 960, then x1.125 to 1440 x 1080).
// At a whole factor the second step is 1:1 and the picture is plain nearest neighbour; below a factor
// of 2 (1366 x 768) the first step is left out and the game screen is scaled linearly.
#include <SDL.h>
#include <dirent.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/clock.h"
#include "platform/display.h"
#include "platform/sdl/sdl_host.h"

namespace plat {
namespace {

SDL_Renderer* Renderer = nullptr;
SDL_Texture* Texture = nullptr;
// The whole-number enlargement, and its factor; null where the renderer has no target textures.
SDL_Texture* Scaled = nullptr;
int ScaledFactor = 0;     // 0: not worked out for the current output and game screen
int OutW = 0, OutH = 0;   // the output size it was worked out for
int32_t TexW = 0, TexH = 0;
PixelFormat TexFormat = PixelFormat::RGB565;
int32_t ModeBits = 0;
bool VSyncNext = false;
bool VSyncOn = false;
// SDL's software renderer scales and converts fast only between surfaces of one 32-bit format (other
// pairs take its per-pixel generic path, about 10 ms a frame at a factor of 2). With it the game screen
// is converted to XRGB8888 as it is uploaded, and every texture is of that format.
bool SoftwareRenderer = false;

Uint32 SdlFormat(PixelFormat f) {
  switch (f) {
    case PixelFormat::RGB565: return SDL_PIXELFORMAT_RGB565;
    case PixelFormat::RGB555: return SDL_PIXELFORMAT_RGB555;
    case PixelFormat::XRGB8888: return SDL_PIXELFORMAT_RGB888;
  }
  return SDL_PIXELFORMAT_RGB565;
}

void DropScaled() {
  if (Scaled) SDL_DestroyTexture(Scaled);
  Scaled = nullptr;
  ScaledFactor = 0;
}

void DropRenderer() {
  DropScaled();
  if (Texture) SDL_DestroyTexture(Texture);
  if (Renderer) SDL_DestroyRenderer(Renderer);
  Texture = nullptr;
  Renderer = nullptr;
}

// Whether OpenGL here is drawn by a GPU: a DRM render node, or NVIDIA's own driver.
bool GpuPresent() {
  if (access("/dev/nvidiactl", F_OK) == 0) return true;
  DIR* dir = opendir("/dev/dri");
  if (!dir) return false;
  bool found = false;
  while (const dirent* e = readdir(dir)) {
    if (std::strncmp(e->d_name, "renderD", 7) == 0) {
      found = true;
      break;
    }
  }
  closedir(dir);
  return found;
}

// On X11 without a GPU, OpenGL is Mesa's software rasteriser: SDL's own software renderer, drawing
// into a shared-memory image of the window, shows the same picture for far less CPU and memory (no
// LLVM, no rasteriser threads, about 30 MB less) and gets the first frame up sooner. These are only
// defaults: SDL_RENDER_DRIVER and SDL_FRAMEBUFFER_ACCELERATION in the environment still decide.
void PreferSoftwareWithoutGpu() {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver || std::strcmp(driver, "x11") != 0 || GpuPresent()) return;
  SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
}

// The window's renderer with the game's logical size (so pointer positions are game pixels from then on).
bool EnsureRendererOnly(int32_t width, int32_t height) {
  SDL_Window* w = sdl::Window();
  if (!w) return false;
  if (!Renderer) {
    PreferSoftwareWithoutGpu();
    Renderer = SDL_CreateRenderer(w, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_TARGETTEXTURE);
    if (!Renderer) Renderer = SDL_CreateRenderer(w, -1, SDL_RENDERER_ACCELERATED);
    if (!Renderer) Renderer = SDL_CreateRenderer(w, -1, SDL_RENDERER_SOFTWARE);
    if (!Renderer) return false;
    VSyncOn = false;
    SDL_RendererInfo info;
    SoftwareRenderer = SDL_GetRendererInfo(Renderer, &info) == 0 && (info.flags & SDL_RENDERER_SOFTWARE) != 0;
  }
  SDL_RenderSetLogicalSize(Renderer, width, height);
  SDL_RenderSetIntegerScale(Renderer, SDL_FALSE);
  return true;
}

bool EnsureRenderer(const Surface& primary) {
  if (!Texture || TexW != primary.Width() || TexH != primary.Height() || TexFormat != primary.Format()) {
    if (!EnsureRendererOnly(primary.Width(), primary.Height())) return false;
    if (Texture) SDL_DestroyTexture(Texture);
    DropScaled();
    Texture = SDL_CreateTexture(Renderer, SoftwareRenderer ? Uint32{SDL_PIXELFORMAT_RGB888} : SdlFormat(primary.Format()),
                                SDL_TEXTUREACCESS_STREAMING, primary.Width(),
                                primary.Height());
    if (!Texture) return false;
    SDL_SetTextureScaleMode(Texture, SDL_ScaleModeNearest);
    TexW = primary.Width();
    TexH = primary.Height();
    TexFormat = primary.Format();
  }
  return true;
}

// The whole-number enlargement for the current output size; null when the picture is shown without
// it: below a factor of 2 the game screen itself is scaled linearly (nearest at exactly 1:1, where
// both give the same picture and nearest costs less), and where the renderer has no target textures
// it is scaled by nearest neighbour as the only choice. Worked out again only when the output size
// or the game screen changes, so a frame sets no texture state.
SDL_Texture* ScaledTexture() {
  int outW = 0, outH = 0;
  if (SDL_GetRendererOutputSize(Renderer, &outW, &outH) != 0) outW = outH = 0;
  if (outW == OutW && outH == OutH && ScaledFactor != 0) return Scaled;
  OutW = outW;
  OutH = outH;
  DropScaled();
  const bool targets = SDL_RenderTargetSupported(Renderer) && outW > 0 && outH > 0;
  const int factor = targets ? std::max(1, std::min(outW / TexW, outH / TexH)) : 1;
  ScaledFactor = factor;
  const bool enlarged = outW > TexW && outH > TexH;
  SDL_SetTextureScaleMode(Texture, targets && factor == 1 && enlarged ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
  if (factor == 1) return nullptr;
  Scaled =
      SDL_CreateTexture(Renderer, SoftwareRenderer ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_ARGB8888,
                        SDL_TEXTUREACCESS_TARGET, TexW * factor, TexH * factor);
  if (!Scaled) return nullptr;  // ScaledFactor stays set: no new attempt every frame
  SDL_SetTextureScaleMode(Scaled, SDL_ScaleModeLinear);
  SDL_SetTextureBlendMode(Scaled, SDL_BLENDMODE_NONE);  // a copy, whatever the texture's alpha
  return Scaled;
}

// Copies the game screen into the streaming texture, converting it where their formats differ.
void Upload(const Surface& primary) {
  const Uint32 from = SdlFormat(primary.Format());
  Uint32 to = from;
  if (SDL_QueryTexture(Texture, &to, nullptr, nullptr, nullptr) != 0 || to == from) {
    SDL_UpdateTexture(Texture, nullptr, primary.Row(0), primary.Pitch());
    return;
  }
  void* pixels = nullptr;
  int pitch = 0;
  if (SDL_LockTexture(Texture, nullptr, &pixels, &pitch) != 0) return;
  SDL_ConvertPixels(TexW, TexH, from, primary.Row(0), primary.Pitch(), to, pixels, pitch);
  SDL_UnlockTexture(Texture);
}

// A sleep may wake late (by a millisecond or more when both cores are busy), and that lateness went
// into the interval as the work did: the last kShowSpinUs before the showing time are spun on the
// clock, like the frame wait's own last 3 ms, and counted with its spin.
constexpr uint64_t kShowSpinUs = 1000;

// Frames paced by the frame wait are shown a fixed time after their start (ShowingDelayUs,
// platform/clock.h), not as soon as they are drawn. The frame wait makes the starts exactly FrameMs
// apart, but the time from a start to the picture's present varied with the scene's work and the
// upload (1 to 8 ms), and that variation went straight into the intervals between shown pictures.
// Showing at a fixed point takes the work out: the interval varies only with the present itself. A
// frame drawn later than that is shown at once, as before. It costs a picture up to 8 ms more delay
// after the input read at the start of the frame. The times are kept on a steady cadence
// (CadencedShowingUs), so that a frame wait ending late moves them a little at a time.
ShowCadence Cadence;

// Waits until the paced frame's showing time; returns the microseconds it waited (0 when the picture
// is not paced, or late).
uint64_t WaitForShowingTime() {
  const uint64_t nowUs = SpinClockMicros();
  if (!CurrentFrame.armed) {
    Cadence.on = false;
    return 0;
  }
  const uint64_t dueUs = nowUs + ShowingDelayUs(CurrentFrame, nowUs);
  CurrentFrame.armed = false;
  const uint64_t untilUs = CadencedShowingUs(Cadence, dueUs, CurrentFrame.lengthMs, nowUs);
  if (untilUs == nowUs) return 0;
  if (untilUs - nowUs > kShowSpinUs) {
    const uint64_t wakeUs = untilUs - kShowSpinUs;
    const timespec wake{static_cast<time_t>(wakeUs / 1000000u), static_cast<long>(wakeUs % 1000000u) * 1000L};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr) == EINTR) {
    }
  }
  const uint64_t spinStartUs = SpinClockMicros();
  uint64_t t = spinStartUs;
  while (t < untilUs) t = SpinClockMicros();
  FrameSpinMicros += t - spinStartUs;
  return t - nowUs;
}

int32_t DesktopBits() {
  if (int bits = sdl::WindowedBits()) return bits;
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
  EnsureRendererOnly(width, height);
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
  const uint64_t showStart = sdl::FrameLogClock();
  if (!EnsureRenderer(primary)) return;
  if (VSyncNext != VSyncOn) {
    SDL_RenderSetVSync(Renderer, VSyncNext ? 1 : 0);
    VSyncOn = VSyncNext;
  }
  VSyncNext = false;
  Upload(primary);
  SDL_Texture* picture = Texture;
  if (SDL_Texture* scaled = ScaledTexture(); scaled && SDL_SetRenderTarget(Renderer, scaled) == 0) {
    SDL_RenderCopy(Renderer, Texture, nullptr, nullptr);
    SDL_SetRenderTarget(Renderer, nullptr);
    picture = scaled;
  }
  SDL_SetRenderDrawColor(Renderer, 0, 0, 0, 255);
  SDL_RenderClear(Renderer);
  SDL_RenderCopy(Renderer, picture, nullptr, nullptr);
  const uint64_t slept = WaitForShowingTime();
  SDL_RenderPresent(Renderer);
  sdl::LogFrame(Renderer, showStart, slept);
}

}  // namespace plat
