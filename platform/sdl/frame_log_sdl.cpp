// The frame log for measuring the real game: with OOMORI_FRAME_LOG=path set, every presented frame
// appends one line to path, and so does every key or mouse button pressed, so that a script driving
// the game can tell its scenes apart by when it pressed what. Without the variable nothing is done
// beyond one look at the environment. Lines (times in microseconds):
//   S <monotonic> <realtime> <renderer>      once, when the log is opened (at the first frame)
//   F <monotonic> <thread cpu> <spin> <show> a frame was presented; the main thread's CPU time and
//                                            the frame pacing's spin so far, both summed from the start,
//                                            and how long showing this frame took (upload to present,
//                                            less the wait for its showing time)
//   E <monotonic> <what>                     a key (k) or mouse button (m1, m3) went down
#include <time.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "platform/clock.h"
#include "platform/sdl/sdl_host.h"

namespace plat::sdl {
namespace {

FILE* logFile = nullptr;
bool looked = false;
// Lines are collected and written in large pieces, so that logging does not add a write to every frame;
// stdio writes the rest when the process ends.
char buffer[1 << 16];

uint64_t Micros(clockid_t clock) {
  timespec ts;
  clock_gettime(clock, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000000u + static_cast<uint64_t>(ts.tv_nsec) / 1000u;
}

void LogEvent(const SDL_Event& e) {
  if (e.type == SDL_KEYDOWN && e.key.repeat == 0)
    std::fprintf(logFile, "E %" PRIu64 " k\n", Micros(CLOCK_MONOTONIC));
  else if (e.type == SDL_MOUSEBUTTONDOWN)
    std::fprintf(logFile, "E %" PRIu64 " m%d\n", Micros(CLOCK_MONOTONIC), e.button.button);
}

bool Open(SDL_Renderer* renderer) {
  looked = true;
  const char* path = std::getenv("OOMORI_FRAME_LOG");
  if (!path || !*path) return false;
  logFile = std::fopen(path, "a");
  if (!logFile) return false;
  std::setvbuf(logFile, buffer, _IOFBF, sizeof buffer);
  SDL_RendererInfo info{};
  if (!renderer || SDL_GetRendererInfo(renderer, &info) != 0) info.name = "none";
  std::fprintf(logFile, "S %" PRIu64 " %" PRIu64 " %s\n", Micros(CLOCK_MONOTONIC), Micros(CLOCK_REALTIME), info.name);
  AddEventHook(LogEvent);
  return true;
}

}  // namespace

uint64_t FrameLogClock() { return looked && !logFile ? 0 : Micros(CLOCK_MONOTONIC); }

void LogFrame(SDL_Renderer* renderer, uint64_t showStart, uint64_t slept) {
  if (!looked && !Open(renderer)) return;
  if (!logFile) return;
  const uint64_t now = Micros(CLOCK_MONOTONIC);
  const uint64_t show = showStart && showStart + slept <= now ? now - showStart - slept : 0;
  std::fprintf(logFile, "F %" PRIu64 " %" PRIu64 " %" PRIu64 " %" PRIu64 "\n", now, Micros(CLOCK_THREAD_CPUTIME_ID),
               FrameSpinMicros, show);
}

}  // namespace plat::sdl
