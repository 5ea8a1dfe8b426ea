// Drawing speed, side by side on the same data in one run:
//  - a colour-keyed 300 x 300 put onto the 16-bit back screen, against SDL_BlitSurface with a colour
//    key on RGB565 surfaces (plain, and with SDL's run-length acceleration);
//  - a 400 x 300 to 640 x 480 stretch, against SDL_BlitScaled (with and without a colour key);
//  - one whole typical frame: stretched background, ten sprites, three labels, present (CPU time);
//  - a plain copy of one frame of pixels (memcpy), the bandwidth limit for the present's copy, and a
//    copy of the 300 x 300 put's bytes, the limit for the put.
// Times are this thread's CPU time, best of five rounds. Ends with "ratio NAME X" lines (our time over
// SDL's for the same pixels; below 1 is ours faster) and "limit NAME X" lines (our throughput as a
// fraction of memcpy's on the same bytes).
#include <SDL.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "el/draw/draw_state.h"
#include "el/elDraw.h"
#include "el/elSystem.h"
#include "el/system/sysinfo.h"
#include "platform/headless/display_headless.h"
#include "platform/headless/headless.h"

namespace {

// (<chrono> cannot be compiled with the CP932 execution character set.)
double CpuNs() {
  timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e9 + ts.tv_nsec;
}

// A sprite picture in 5-6-5: a disc on the key colour (green), so about a fifth is transparent.
uint16_t SpritePixel(int x, int y, int size) {
  int dx = 2 * x - size, dy = 2 * y - size;
  if (dx * dx + dy * dy > size * size) return 0x07E0;
  return static_cast<uint16_t>(((x * 31 / size) << 11) | ((y * 63 / size) << 5) | 0x10);
}

void Fill(plat::Surface* s, int size) {
  plat::LockedRect lr;
  if (s->Lock(nullptr, &lr, plat::DDLOCK_WAIT) != plat::DD_OK) return;
  for (int y = 0; y < s->Height(); ++y)
    for (int x = 0; x < s->Width(); ++x)
      reinterpret_cast<uint16_t*>(lr.bits + y * lr.pitch)[x] = SpritePixel(x, y, size);
  s->Unlock();
}

SDL_Surface* SdlCopy(plat::Surface* s) {
  SDL_Surface* out = SDL_CreateRGBSurfaceWithFormat(0, s->Width(), s->Height(), 16, SDL_PIXELFORMAT_RGB565);
  for (int y = 0; y < s->Height(); ++y)
    std::memcpy(static_cast<uint8_t*>(out->pixels) + y * out->pitch, s->Row(y), static_cast<size_t>(s->Width()) * 2);
  return out;
}

}  // namespace

int main() {
  plat::headless::Reset();
  plat::headless::ResetDisplay();
  char dir[] = "/tmp/draw_bench_XXXXXX";
  if (!mkdtemp(dir)) return 1;
  elSystem::SetExecutablePathForTest((std::string(dir) + "/bench").c_str());
  MainWindow = true;
  FullScreen = 1;
  FrameSeconds = 1.0f / 60;
  if (elDraw::Screen(640, 480, 1) != 1) return 1;
  elDraw::SetVSync(0);
  elDraw::SetColorKey(0x00FF00);

  // --- colour-keyed 300 x 300 put ---
  int32_t big = elDraw::CreateObject(300, 300, 2);
  Fill(DrawObject[big].surface, 300);
  SDL_Surface* sdlSrc = SdlCopy(DrawObject[big].surface);
  SDL_Surface* sdlDst = SDL_CreateRGBSurfaceWithFormat(0, 640, 480, 16, SDL_PIXELFORMAT_RGB565);
  SDL_SetColorKey(sdlSrc, SDL_TRUE, 0x07E0);
  SDL_Rect at{170, 90, 300, 300};
  double ours = Measure(2000, [&] { elDraw::Put(170, 90, big, 0, 0, 300, 300); });
  double sdl = Measure(2000, [&] {
    SDL_Rect r = at;
    SDL_BlitSurface(sdlSrc, nullptr, sdlDst, &r);
  });
  SDL_Surface* sdlRle = SdlCopy(DrawObject[big].surface);
  SDL_SetColorKey(sdlRle, SDL_TRUE, 0x07E0);
  SDL_SetSurfaceRLE(sdlRle, 1);
  double sdlRleNs = Measure(2000, [&] {
    SDL_Rect r = at;
    SDL_BlitSurface(sdlRle, nullptr, sdlDst, &r);
  });
  // Same result on the same data.
  SDL_FillRect(sdlDst, nullptr, 0);
  elDraw::ClearScreen();
  SDL_Rect r0 = at;
  SDL_BlitSurface(sdlSrc, nullptr, sdlDst, &r0);
  elDraw::Put(170, 90, big, 0, 0, 300, 300);
  int diff = 0;
  for (int y = 0; y < 480; ++y)
    diff += std::memcmp(BackSurface->Row(y), static_cast<uint8_t*>(sdlDst->pixels) + y * sdlDst->pitch, 1280) != 0;
  std::printf("keyed put 300x300 (16 bpp):   ours %8.1f us   SDL_BlitSurface %8.1f us (ratio %.2f)   SDL RLE %8.1f us (ratio %.2f)   rows differing %d\n",
              ours / 1000, sdl / 1000, ours / sdl, sdlRleNs / 1000, ours / sdlRleNs, diff);

  // --- 400 x 300 -> 640 x 480 stretch ---
  int32_t bg = elDraw::CreateObject(400, 300, 2);
  Fill(DrawObject[bg].surface, 400);
  SDL_Surface* sdlBg = SdlCopy(DrawObject[bg].surface);
  SDL_Rect full{0, 0, 640, 480};
  double oursStretch = Measure(300, [&] { elDraw::PutStretch(0, 0, bg, 0, 0, 400, 300, 640, 480); });
  double sdlStretchPlain = Measure(300, [&] {
    SDL_Rect r = full;
    SDL_BlitScaled(sdlBg, nullptr, sdlDst, &r);
  });
  SDL_SetColorKey(sdlBg, SDL_TRUE, 0x07E0);
  double sdlStretchKey = Measure(300, [&] {
    SDL_Rect r = full;
    SDL_BlitScaled(sdlBg, nullptr, sdlDst, &r);
  });
  std::printf("stretch 400x300->640x480 keyed: ours %8.1f us   SDL_BlitScaled keyed %8.1f us (ratio %.2f)   unkeyed %8.1f us (ratio %.2f)\n",
              oursStretch / 1000, sdlStretchKey / 1000, oursStretch / sdlStretchKey, sdlStretchPlain / 1000,
              oursStretch / sdlStretchPlain);

  // --- a typical frame ---
  int32_t sprite = elDraw::CreateObject(64, 64, 2);
  Fill(DrawObject[sprite].surface, 64);
  auto frame = [&] {
    elDraw::PutStretch(0, 0, bg, 0, 0, 400, 300, 640, 480);
    for (int i = 0; i < 10; ++i) elDraw::Put(-20 + i * 66, 40 + (i * 37) % 400, sprite, 0, 0, 64, 64);
    const char* labels[3] = {"大盛りごはん", "2520 kcal", "ランキング"};
    const int32_t sizes[3] = {32, 16, 24};
    for (int i = 0; i < 3; ++i) {
      elDraw::SetFont(1, sizes[i], 0, 0, 0, 0);
      elDraw::SetTextColor(0x0000FF, 0x0000FF, 1);
      elDraw::Text(120, 300 + 40 * i, labels[i]);
      elDraw::EndFont();
    }
    elDraw::Present();
  };
  for (int i = 0; i < 20; ++i) frame();
  double best = 1e300;
  for (int round = 0; round < 5; ++round) {
    double c0 = CpuNs();
    for (int i = 0; i < 100; ++i) frame();
    double t = (CpuNs() - c0) / 100;
    if (t < best) best = t;
  }
  std::printf("typical frame (stretch, 10 sprites, 3 labels, present): %.3f ms CPU\n", best / 1e6);

  // --- bandwidth limit: one frame of 16-bit pixels copied ---
  std::vector<uint8_t> a(640 * 480 * 2, 1), b(640 * 480 * 2);
  double copy = Measure(2000, [&] {
    std::memcpy(b.data(), a.data(), a.size());
    asm volatile("" ::"r"(b.data()) : "memory");
  });
  double present = Measure(300, [&] { elDraw::Present(); });
  std::printf("frame copy 640x480x2 memcpy: %.1f us   present (copy to primary + headless show): %.1f us\n", copy / 1000,
              present / 1000);
  // The put's bytes (300 x 300 x 2) in one plain copy.
  double putCopy = Measure(2000, [&] {
    std::memcpy(b.data(), a.data(), 300 * 300 * 2);
    asm volatile("" ::"r"(b.data()) : "memory");
  });
  std::printf("put's bytes copied (300x300x2, memcpy): %.1f us\n", putCopy / 1000);

  std::printf("ratio draw_keyed_put_vs_sdl %.3f\n", ours / sdl);
  std::printf("ratio draw_keyed_put_vs_sdl_rle %.3f\n", ours / sdlRleNs);
  std::printf("ratio draw_stretch_keyed_vs_sdl %.3f\n", oursStretch / sdlStretchKey);
  std::printf("ratio draw_stretch_vs_sdl_unkeyed %.3f\n", oursStretch / sdlStretchPlain);
  std::printf("limit draw_keyed_put %.3f\n", putCopy / ours);
  std::printf("limit draw_present %.3f\n", copy / present);

  SDL_FreeSurface(sdlSrc);
  SDL_FreeSurface(sdlRle);
  SDL_FreeSurface(sdlBg);
  SDL_FreeSurface(sdlDst);
  elDraw::Release();
  elDraw::FreeFonts();
  std::string rm = std::string("rm -rf ") + dir;
  if (std::system(rm.c_str()) != 0) return 1;
  return 0;
}
