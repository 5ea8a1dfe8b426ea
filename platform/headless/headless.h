// Test control of the headless host: the fake clock, the message queue and message boxes.
//
// The headless host is the library's testing facility. A test program links it in place of the real
// host (el::headless or `pkg-config el-headless` instead of el::el / el); nothing opens a window or a
// device, and everything a game shows, plays or reports can be examined:
//   this header              the fake clock, the window's message queue, message boxes shown
//   headless_input.h         scripted keys, mouse, pointer messages and joysticks; device faults
//   display_headless.h       the last presented frame (LastFrame, WritePng); display faults
//   headless_audio.h         the mix, pulled a chosen number of frames at a time
// A test usually makes the window and the screen as a program does (plat::CreateMainWindow,
// elDraw::Screen), then runs its frames itself: give input, call the game's frame, elSystem::WaitFrame,
// and look at LastFrame() and PullAudio(). Between tests, Reset() and its companions in the other
// headers bring the host back to its start; the clock then reads 0 again, so restart the frame pacing
// with elSystem::SetFrameRate (a pacing left from the previous test would wait for the old time), and
// set ShutDownDone to 0 after elSystem::ResetState, since elSystem::Shutdown runs once a process.
// examples/testing/game_test.cpp is a complete example.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/host.h"

namespace plat::headless {

// Fake clock. Every TimeMs() read also moves the clock on by the read step (in microseconds,
// default 100), so a wait that spins on the clock finishes; SleepMs(n) moves it on by n ms.
void SetTimeMs(uint32_t ms);
void AdvanceMs(uint32_t ms);
uint64_t NowMicros();
void SetReadStepMicros(uint32_t us);
// Every SleepMs argument, in order, since the last ClearSleeps.
const std::vector<uint32_t>& Sleeps();
void ClearSleeps();

// Message boxes shown, in order, and the answer the next ones give (IDOK for single-button boxes).
struct Box {
  std::string text;     // CP932, as passed
  std::string caption;  // CP932
  unsigned style;
  bool owned;           // a window existed
};
std::vector<Box>& Boxes();
void SetBoxAnswer(int answer);
int BeepCount();

// The window and its queue.
bool WindowCreated();
std::string WindowTitle();     // CP932
bool WindowRaised();           // RaiseMainWindow was called
bool WindowMinimized();        // MinimizeMainWindow was called
bool CursorVisible();          // as SetCursorVisible last left it
// Puts a message at the end of the queue, as if the window system had produced it.
void Inject(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);
// Called whenever the program finds the queue empty (before an idle turn, and while it waits for
// a message): a test script injects the next frame's messages here. WaitMsg moves the clock on by
// 1 ms per empty call and posts WM_QUIT after ten minutes of fake time, so no test hangs.
void SetIdleHook(std::function<void()> hook);
// Resets everything above (clock to 0, queue and boxes emptied, no window).
void Reset();

}  // namespace plat::headless
