// The millisecond clock and sleep. Called by the frame pacing and every timed library operation.
// Real host: CLOCK_MONOTONIC. Headless host: a fake clock driven by the tests (platform/headless/headless.h).
#pragma once
#include <time.h>

#include <algorithm>
#include <cstdint>

namespace plat {

// Milliseconds since an arbitrary start, unsigned 32-bit: wraps after about 49.7 days, and every
// caller compares times as unsigned differences.
uint32_t TimeMs();

// Blocks for about ms milliseconds; 0 gives up the rest of the time slice.
void SleepMs(uint32_t ms);

// Microseconds the frame pacing has spent in its busy wait, summed since the start. Kept by the frame
// wait and read by the real host's frame log, so that a frame's own CPU time can be told apart from
// the spin, which burns the rest of the frame on purpose.
inline uint64_t FrameSpinMicros = 0;

// The frame being drawn, as the frame wait leaves it when it ends: its start (a TimeMs value) and
// its length. Each pacing wait arms it; the real host's display shows the frame's picture at a fixed
// point of the frame (platform/sdl/display_sdl.cpp) and disarms it, so a picture shown outside the
// paced frames (a fade's, a second one in a frame) is shown at once. Other hosts leave it alone.
struct PacedFrame {
  uint32_t startMs = 0;
  uint32_t lengthMs = 0;
  bool armed = false;
};
inline PacedFrame CurrentFrame;

// Microseconds from nowUs (CLOCK_MONOTONIC, or the fake clock) until the picture of the paced frame f
// is due; 0 when f is not armed or the time has passed. The picture is due kShowAtMs into the frame,
// or half way through a frame shorter than twice that, so the rest of the frame is left for showing it.
inline constexpr uint32_t kShowAtMs = 8;
inline uint64_t ShowingDelayUs(const PacedFrame& f, uint64_t nowUs) {
  if (!f.armed) return 0;
  const uint32_t at = f.startMs + std::min(kShowAtMs, f.lengthMs / 2);
  // Frame times are TimeMs values, the clock's milliseconds wrapped at 2^32: compared as differences.
  const int32_t aheadMs = static_cast<int32_t>(at - static_cast<uint32_t>(nowUs / 1000u));
  if (aheadMs <= 0 || static_cast<uint32_t>(aheadMs) > f.lengthMs) return 0;
  return static_cast<uint64_t>(aheadMs) * 1000u - nowUs % 1000u;
}

// Paced pictures are shown on a steady cadence that follows their frames: each is due one frame after
// the last one shown, moved toward its own frame's showing time by at most kShowSlewUs, and never
// more than kShowDriftUs from that time. The frame wait's last 3 ms are a spin, and on a virtual
// machine the host takes the CPU from it now and then for 1 to 3 ms; that frame, and every one after
// it, starts that much later (the wait does not catch up). Shown at their own times, the late start
// lengthened one interval by the whole delay; on the cadence it lengthens a few by half a millisecond
// each. A picture is shown up to 5 ms before its time (it is drawn long before) or after it (the
// present still ends inside the frame).
inline constexpr int64_t kShowSlewUs = 500;
inline constexpr int64_t kShowDriftUs = 5000;
struct ShowCadence {
  uint64_t lastUs = 0;  // when the last paced picture was shown
  bool on = false;      // off until a paced picture is shown, and after any other
};
// The time to show a paced picture that is drawn at nowUs and due at dueUs (by ShowingDelayUs) in
// frames lengthMs long; never before nowUs. Records it in c.
inline uint64_t CadencedShowingUs(ShowCadence& c, uint64_t dueUs, uint32_t lengthMs, uint64_t nowUs) {
  uint64_t at = dueUs;
  if (c.on) {
    const uint64_t step = c.lastUs + uint64_t{lengthMs} * 1000u;
    const int64_t off = std::clamp(static_cast<int64_t>(dueUs - step), -kShowSlewUs, kShowSlewUs);
    at = std::clamp(step + off, dueUs - kShowDriftUs, dueUs + kShowDriftUs);
  }
  at = std::max(at, nowUs);
  c = {at, true};
  return at;
}

// The clock the spin is timed on, on every host: the millisecond clock is too coarse for it, and a
// fake one would say nothing about CPU spent.
inline uint64_t SpinClockMicros() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000000u + static_cast<uint64_t>(ts.tv_nsec) / 1000u;
}

}  // namespace plat
