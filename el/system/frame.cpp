// Frame pacing (sleep, then spin on the clock), the per-turn frame clock and the wait slots.
#include "el/elDraw.h"
#include "el/elSystem.h"
#include "platform/clock.h"

namespace elSystem {

bool SetFrameRate(uint32_t framesPerSecond) {
  FrameRate = framesPerSecond;
  FrameMs = framesPerSecond ? 1000 / framesPerSecond : 1000;  // 0 is outside the domain; never divide by it
  FrameStart = plat::TimeMs();
  return true;
}

void SetFrameWait(uint8_t on) {
  FrameWaitOn = on;
  plat::CurrentFrame.armed = false;  // with the wait off, the vertical blank paces the pictures
  elDraw::SetVSync(on == 0 ? 1 : 0);
}

bool WaitFrame() {
  if (FrameWaitOn == 0) return true;
  uint32_t now = plat::TimeMs();
  uint32_t elapsed = now - FrameStart;
  // Sleep all but the last 3 ms, so the sleep's granularity cannot overshoot the frame; then spin.
  int32_t rest = static_cast<int32_t>(FrameMs - elapsed - 3);
  plat::SleepMs(rest > 0 ? static_cast<uint32_t>(rest) : 0);
  const uint64_t spinStart = plat::SpinClockMicros();
  while (elapsed < FrameMs) {
    now = plat::TimeMs();
    elapsed = now - FrameStart;
  }
  plat::FrameSpinMicros += plat::SpinClockMicros() - spinStart;
  FrameStart = now;
  // The frame starting here, for the host to show its picture at a steady point of it.
  plat::CurrentFrame = {FrameStart, FrameMs, true};
  return true;
}

void ResetFrameClock() {
  FrameSeconds = 0.0f;
  LastTurnTime = plat::TimeMs();
}

void UpdateFrameClock() {
  uint32_t now = plat::TimeMs();
  FrameSeconds = static_cast<float>(now - LastTurnTime) / 1000.0f;
  LastTurnTime = now;
}

int SetWait(int32_t slot, uint32_t ms) {
  if (slot < 1 || slot > 10) return ReportError("elSystem::SetWait", "ウェイトNoが範囲外です");
  WaitTable[slot] = plat::TimeMs() + ms;
  return 1;
}

int InitWait(int32_t slot) {
  if (slot < 1 || slot > 10) return ReportError("elSystem::InitWait", "ウェイトNoが範囲外です");
  WaitTable[slot] = 999999999;
  return 1;
}

int CheckWait(int32_t slot) {
  // The slot is the caller's to keep in range; an outside one reads as passed rather than reading
  // past the table.
  if (slot < 0 || slot > 10) return 1;
  return plat::TimeMs() >= WaitTable[slot] ? 1 : 0;
}

// Holds the frame pacing for the life of the process. Constructed among the first static objects
// (before the ranking table, which is constructed at priority 201).
struct FrameTimerObject {
  FrameTimerObject() {
    SetFrameRate(60);
    SetFrameWait(1);
  }
  // The clock needs no resolution change on this platform, so there is nothing to end.
  ~FrameTimerObject() = default;
};

__attribute__((init_priority(200))) FrameTimerObject FrameTimer;

}  // namespace elSystem
