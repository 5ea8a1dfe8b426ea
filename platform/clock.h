// The millisecond clock and sleep. Called by the frame pacing and every timed library operation.
// Real host: CLOCK_MONOTONIC. Headless host: a fake clock driven by the tests (platform/headless/headless.h).
#pragma once
#include <cstdint>

namespace plat {

// Milliseconds since an arbitrary start, unsigned 32-bit: wraps after about 49.7 days, and every
// caller compares times as unsigned differences.
uint32_t TimeMs();

// Blocks for about ms milliseconds; 0 gives up the rest of the time slice.
void SleepMs(uint32_t ms);

}  // namespace plat
