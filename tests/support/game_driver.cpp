#include "tests/support/game_driver.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "el/elSystem.h"
#include "game/winmain.h"
#include "platform/clock.h"
#include "platform/headless/headless.h"
#include "platform/host.h"
#include "platform/headless/headless_input.h"

namespace {

// Every run starts without a ranking file: the ranking is loaded by a static constructor before any
// test runs, and a file left by an earlier run would leak its results into it.
struct RemoveStaleRankFile {
  RemoveStaleRankFile() { std::remove("rank.dat"); }
};
__attribute__((init_priority(150))) RemoveStaleRankFile removeStaleRankFile;

// Sends the child's assertion failures to the parent, one per line.
class PipeReporter : public testing::EmptyTestEventListener {
 public:
  explicit PipeReporter(int fd) : fd_(fd) {}
  void OnTestPartResult(const testing::TestPartResult& r) override {
    if (!r.failed()) return;
    const std::string line = std::string(r.file_name() ? r.file_name() : "?") + ":" +
                             std::to_string(r.line_number()) + ": " + r.message() + "\n";
    if (write(fd_, line.data(), line.size()) < 0) std::perror("failure report");
  }

 private:
  int fd_;
};

}  // namespace

namespace gametest {

Driver& Driver::When(std::function<bool()> ready, std::function<void()> act) {
  steps_.push_back({[ready = std::move(ready)](int) { return ready(); }, std::move(act)});
  return *this;
}

Driver& Driver::AfterFrames(int frames, std::function<void()> act) {
  steps_.push_back({[frames](int waited) { return waited >= frames; }, std::move(act)});
  return *this;
}

Driver& Driver::WhenScene(int scene, std::function<void()> act) {
  // Between the turn that asked for the scene and the scene's first turn SceneChanged is 1; before
  // the first turn of all PrevSceneNo is still 0.
  return When([scene] { return SceneNo == scene && PrevSceneNo == scene && SceneChanged == 0; }, std::move(act));
}

void Driver::PauseApp(uint32_t ms) {
  plat::headless::SetInputForeground(false);
  plat::headless::Inject(plat::WM_ACTIVATEAPP, 0, 0);
  paused_ = true;
  resumeAt_ = plat::TimeMs() + ms;
}

void Driver::Idle() {
  if (paused_) {
    // The loop waits for messages while inactive; bring the program back once the time is up.
    if (AppActive == 0 && static_cast<int32_t>(plat::TimeMs() - resumeAt_) >= 0) {
      paused_ = false;
      plat::headless::SetInputForeground(true);
      plat::headless::Inject(plat::WM_ACTIVATEAPP, 1, 0);
    }
    return;
  }
  // The hook runs whenever the queue is empty, maybe several times a turn; each idle turn takes a new
  // InputTime (from a clock that moves on with every read).
  if (started_ && InputTime == seenTurn_) return;
  if (started_) ++frame_;
  started_ = true;
  seenTurn_ = InputTime;

  constexpr int kFrameLimit = 8000;  // a script that never ends gives up with a failure
  if (frame_ >= kFrameLimit) {
    if (!limitHit_) {
      limitHit_ = true;
      ADD_FAILURE() << "script still running after " << kFrameLimit << " frames (scene " << SceneNo << ")";
      PressEscape();
    }
    return;
  }
  for (auto& fn : perFrame_) fn(frame_);
  if (next_ < steps_.size() && steps_[next_].ready(frame_ - stepStart_)) {
    // The step may add steps, so take it out of the vector before running it.
    std::function<void()> act = steps_[next_].act;
    ++next_;
    stepStart_ = frame_ + 1;
    act();
  }
}

void LeftClick() { plat::headless::MouseClick(0); }

void RightClick() { plat::headless::MouseClick(1); }

void PressEscape() {
  plat::headless::Inject(plat::WM_KEYDOWN, 27, 0);
  plat::headless::Inject(plat::WM_KEYUP, 27, 0);
}

RunResult RunGame(const std::function<void(Driver&)>& setup, int expectedSignal) {
  RunResult result;
  int fds[2];
  // A runtime directory of its own: the single-instance lock never meets another running copy.
  char runtimeDir[] = "/tmp/oomori-test-XXXXXX";
  std::fflush(nullptr);
  pid_t pid = pipe(fds) != 0 || mkdtemp(runtimeDir) == nullptr ? -1 : fork();
  if (pid < 0) {
    ADD_FAILURE() << "cannot start the game process";
    return result;
  }
  if (pid == 0) {
    close(fds[0]);
    testing::TestEventListeners& listeners = testing::UnitTest::GetInstance()->listeners();
    delete listeners.Release(listeners.default_result_printer());
    listeners.Append(new PipeReporter(fds[1]));
    setenv("XDG_RUNTIME_DIR", runtimeDir, 1);
    alarm(120);  // a script that never ends the program must not hang the suite
    Driver driver;
    setup(driver);
    plat::headless::SetIdleHook([&driver] { driver.Idle(); });
    char arg0[] = "oomori";
    char* argv[] = {arg0, nullptr};
    int status = GameMain(1, argv);
    plat::headless::SetIdleHook(nullptr);
    if (driver.next_ < driver.steps_.size()) {
      ADD_FAILURE() << "the program ended with " << (driver.steps_.size() - driver.next_)
                    << " script steps left (frame " << driver.Frame() << ")";
    }
    std::fflush(nullptr);
    std::exit(status);  // through the exit hooks: the ranking writes rank.dat
  }
  close(fds[1]);
  char buf[4096];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof buf)) > 0) result.log.append(buf, static_cast<size_t>(n));
  close(fds[0]);
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  std::error_code ignored;
  std::filesystem::remove_all(runtimeDir, ignored);
  result.exited = WIFEXITED(wstatus);
  result.status = result.exited ? WEXITSTATUS(wstatus) : -1;
  const int signal = WIFSIGNALED(wstatus) ? WTERMSIG(wstatus) : 0;
  if (!result.exited && signal != expectedSignal) {
    ADD_FAILURE() << "the game process was killed by signal " << signal;
  } else if (result.exited && expectedSignal != 0) {
    ADD_FAILURE() << "the game process exited with " << result.status << " instead of ending by signal "
                  << expectedSignal;
  }
  if (!result.log.empty()) ADD_FAILURE() << "in the game process:\n" << result.log;
  return result;
}

}  // namespace gametest
