// The program's entry and main loop, run in this process on the headless host: the command line,
// quitting, the blink clock, frame pacing and the single-instance check.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "el/elMusic.h"
#include "el/elSystem.h"
#include "game/winmain.h"
#include "platform/headless/headless.h"
#include "platform/instance.h"
#include "tests/support/loop_run.h"

namespace hl = plat::headless;
using looptest::RunGame;

namespace {

// Runs GameMain with these arguments, quitting by Escape after a few turns when it gets that far.
int RunWith(std::vector<std::string> args, std::string* out = nullptr, std::string* err = nullptr) {
  hl::Reset();
  ShutDownDone = 0;
  InstanceMutex = false;
  looptest::PrivateRuntimeDir();
  args.insert(args.begin(), "oomori");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int turns = 0;
  // Escape, or a close from outside for a windowed game.
  const bool close = args.size() > 1 && args[1] == "--window";
  hl::SetIdleHook([&turns, close] {
    if (++turns == 3) hl::Inject(close ? plat::WM_CLOSE : plat::WM_KEYDOWN, close ? 0 : 27);
  });
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const int status = GameMain(static_cast<int>(args.size()), argv.data());
  const std::string o = testing::internal::GetCapturedStdout(), e = testing::internal::GetCapturedStderr();
  if (out) *out = o;
  if (err) *err = e;
  hl::SetIdleHook(nullptr);
  return status;
}

// Unknown options print the usage on stderr and end with 2, --help prints it on stdout and ends with
// 0: neither makes a window or takes the lock. Known ones run the game and are kept as its command line.
TEST(CommandLine, UsageEndsBeforeAnythingStartsAndTheRestRuns) {
  struct Case {
    std::vector<std::string> args;
    int status;
    int usageOn;  // 0 none, 1 stdout, 2 stderr
  };
  const Case cases[] = {{{"--bogus"}, 2, 2}, {{"--window", "-x"}, 2, 2}, {{"--help"}, 0, 1}, {{"--window", "--help"}, 0, 1},
                        {{}, 0, 0},          {{"--window"}, 0, 0}};
  for (const Case& c : cases) {
    std::string out, err;
    const std::string shown = c.args.empty() ? "" : c.args.back();
    std::snprintf(CommandLine, sizeof CommandLine, "stale");
    EXPECT_EQ(RunWith(c.args, &out, &err), c.status) << shown;
    EXPECT_EQ(out.find("usage: oomori") != std::string::npos, c.usageOn == 1) << shown;
    EXPECT_EQ(err.find("usage: oomori") != std::string::npos, c.usageOn == 2) << shown;
    EXPECT_EQ(hl::WindowTitle() == "大盛り", c.usageOn == 0) << shown;
    if (c.usageOn == 0) {
      EXPECT_STREQ(elSystem::GetCommandLine(), c.args.empty() ? "" : "--window");
      EXPECT_EQ(CloseState, 2) << "shut down";
      EXPECT_EQ(ShutDownDone, 1);
      EXPECT_FALSE(hl::WindowCreated()) << "the window is gone";
    }
    EXPECT_FALSE(InstanceMutex) << shown;
  }
}

// Also: a file piece said to be playing that is over is found at the next check, and checks come a
// second apart.
TEST(MainLoop, BlinkIsOnForOneSecondThenOffForAFifth) {
  std::vector<std::pair<uint32_t, int>> samples;
  std::vector<uint32_t> ends;
  uint32_t t0 = 0;
  RunGame([&] {
    const uint32_t now = static_cast<uint32_t>(hl::NowMicros() / 1000);
    if (samples.empty()) t0 = BlinkNextTime - 1000;
    samples.push_back({now - t0, BlinkOn});
    if (MusicFileEnded) ends.push_back(now), MusicFileEnded = 0;
    MusicFilePlaying = 1, MusicFileLoop = 0;
    if (now - t0 > 2600) hl::Inject(plat::WM_KEYDOWN, 27);
  });
  ASSERT_GE(ends.size(), 2u);
  for (size_t i = 1; i < ends.size(); ++i) EXPECT_NEAR(ends[i] - ends[i - 1], 1008, 10) << i;
  ASSERT_GT(samples.size(), 100u);
  for (auto [t, on] : samples) {
    const int want = t < 1000 ? 1 : (t >= 1030 && t < 1200) ? 0 : (t >= 1230 && t < 2200) ? 1 : (t >= 2230 && t < 2400) ? 0 : -1;
    EXPECT_TRUE(want < 0 || on == want) << t;
  }
}

TEST(MainLoop, FramesArePacedAndInactiveTimeIsNotFrameTime) {
  int turns = 0;
  std::vector<float> seconds;
  RunGame([&] {
    if (++turns > 2) seconds.push_back(FrameSeconds);
    if (turns == 10) hl::Inject(plat::WM_ACTIVATEAPP, 0);
    if (turns == 11) {
      hl::AdvanceMs(5000);  // five seconds away before the player comes back
      hl::Inject(plat::WM_ACTIVATEAPP, 1);
    }
    if (turns == 20) hl::Inject(plat::WM_KEYDOWN, 27);
  });
  ASSERT_GE(seconds.size(), 15u);
  for (float s : seconds) EXPECT_LT(s, 0.05f);
}

// A second copy ends at once, without a window and without taking the lock.
TEST(MainLoop, SecondCopyEndsAtOnce) {
  looptest::PrivateRuntimeDir();
  int ready[2], done[2];
  ASSERT_EQ(pipe(ready) | pipe(done), 0);
  const pid_t child = fork();
  if (child == 0) {
    // The first copy holds the lock until the second has ended.
    char c = plat::AcquireInstance("大盛り:ElMutex") == plat::InstanceCheck::kOnly ? '1' : '0';
    _exit(write(ready[1], &c, 1) == 1 && read(done[0], &c, 1) == 1 ? 0 : 3);
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, '1');
  EXPECT_EQ(RunWith({}), 0);
  EXPECT_EQ(hl::WindowTitle(), "");
  EXPECT_FALSE(InstanceMutex);
  ASSERT_EQ(write(done[1], "x", 1), 1);
  waitpid(child, nullptr, 0);
}

}  // namespace
