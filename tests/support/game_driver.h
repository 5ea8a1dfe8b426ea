// Runs the whole game (GameMain) on the headless host under a per-frame script, in a forked child:
// each game starts as a fresh program and ends through the process exit (when rank.dat is written).
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
  // Called before each frame's idle turn with the frame's number; input given here is read by that turn.
  void EachFrame(std::function<void(int frame)> fn) { perFrame_.push_back(std::move(fn)); }

  // A sequence of steps, at most one a frame: each runs at the first frame after the previous step
  // where its condition holds (AfterFrames: that many frames after it).
  Driver& When(std::function<bool()> ready, std::function<void()> act);
  Driver& AfterFrames(int frames, std::function<void()> act);
  Driver& Then(std::function<void()> act) { return AfterFrames(0, std::move(act)); }
  // Once the scene has run at least one frame.
  Driver& WhenScene(int scene, std::function<void()> act);

  // Leaves the program inactive for ms of clock time, then activates it again.
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

// Input for the coming frame through the devices; Escape through the window: the program quits.
void LeftClick();
void RightClick();
void PressEscape();

// A child runs setup(driver), then GameMain with the driver as idle hook, and exits with its result.
// Its failures fail the current test, and so does an end by a signal other than expectedSignal.
RunResult RunGame(const std::function<void(Driver&)>& setup, int expectedSignal = 0);

}  // namespace gametest
