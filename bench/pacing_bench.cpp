// The frame wait alone: elSystem::WaitFrame on the real clock, in a loop that does nothing else, for
// as many 16 ms frames as the frame-loop bench measures of the play scene. Its intervals are the floor
// under the game's on this machine: the wait sleeps all but the last 3 ms of a frame and spins on the
// clock for the rest, and a frame ends late wherever the machine takes the CPU from that spin (the
// host of a virtual machine does, now and then, for 1 to 3 ms). Prints
//   value pacing_p50_ms X    the intervals between the ends of successive waits: median,
//   value pacing_p99_ms X    99th percentile and longest
//   value pacing_max_ms X
// Run it alone on the machine: it measures time.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "el/elSystem.h"
#include "platform/clock.h"

int main() {
  constexpr size_t kFrames = 1700;
  elSystem::SetFrameRate(60);
  elSystem::SetFrameWait(1);
  elSystem::WaitFrame();
  std::vector<double> ms;
  ms.reserve(kFrames);
  uint64_t last = plat::SpinClockMicros();
  for (size_t i = 0; i < kFrames; ++i) {
    elSystem::WaitFrame();
    const uint64_t now = plat::SpinClockMicros();
    ms.push_back((now - last) / 1000.0);
    last = now;
  }
  std::sort(ms.begin(), ms.end());
  const auto at = [&](double p) { return ms[static_cast<size_t>(p * (ms.size() - 1) + 0.5)]; };
  std::printf("value pacing_p50_ms %.3f\nvalue pacing_p99_ms %.3f\nvalue pacing_max_ms %.3f\n", at(0.5), at(0.99),
              ms.back());
  return 0;
}
