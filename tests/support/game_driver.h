// Runs the whole game (GameMain) on the headless host under a per-frame script.
//
// Each run happens in a forked child process, so every game starts from the state of a freshly
// started program (module tables, scene state, the single-instance lock) and ends through the
// process exit, which is when the ranking writes rank.dat. Failures of gtest assertions made inside
// the child are sent back and reported in the calling test.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace gametest {

struct RunResult {
  bool exited = false;  // ended by exit, not by a signal
  int status = -1;
  std::string log;  // failures reported by the child
};

class Driver {
 public:
  // Called once per frame, before the frame's idle turn runs, with the number of idle turns done so
  // far. Input given here (the helpers below) is read by that coming turn.
  void EachFrame(std::function<void(int frame)> fn) { perFrame_.push_back(std::move(fn)); }

  // A sequence of steps; each runs at the first frame (at most one step per frame) where its
  // condition holds, counted from the frame after the previous step.
  Driver& When(std::function<bool()> ready, std::function<void()> act);
  Driver& AfterFrames(int frames, std::function<void()> act);
  Driver& Then(std::function<void()> act) { return AfterFrames(0, std::move(act)); }
  // Once the scene has run at least one frame.
  Driver& WhenScene(int scene, std::function<void()> act);

  // Runs after GameMain has returned, before the child exits (final checks).
  void AtEnd(std::function<void()> fn) { atEnd_.push_back(std::move(fn)); }
  // Leaves the program inactive (deactivated, in the background) for ms of clock time, then
  // activates it again.
  void PauseApp(uint32_t ms);

  int Frame() const { return frame_; }

  // Called by the idle hook.
  void Idle();

 private:
  struct Step {
    std::function<bool(int framesWaited)> ready;
    std::function<void()> act;
  };
  std::vector<std::function<void(int)>> perFrame_;
  std::vector<Step> steps_;
  std::vector<std::function<void()>> atEnd_;
  uint32_t resumeAt_ = 0;
  bool paused_ = false;
  friend RunResult RunGame(const std::function<void(Driver&)>& setup, int expectedSignal);
  size_t next_ = 0;
  int stepStart_ = 0;
  int frame_ = 0;
  uint32_t seenTurn_ = 0;
  bool started_ = false;
  bool limitHit_ = false;
};

// Input for the coming frame, through the devices (the path the scenes read).
void LeftClick();
void RightClick();
// Escape through the window's key handling: the program shuts down and quits.
void PressEscape();

// Forks; the child runs setup(driver), then GameMain with the driver as the idle hook, and leaves
// through exit() with GameMain's result. Failures inside the child are added to the current test, and
// so is an end by a signal other than expectedSignal (a script that kills the game on purpose gives
// the signal it sends; such a run must then end by it).
RunResult RunGame(const std::function<void(Driver&)>& setup, int expectedSignal = 0);

}  // namespace gametest
