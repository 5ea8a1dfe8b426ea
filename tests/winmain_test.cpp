#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "el/elDraw.h"
#include "el/elSystem.h"
#include "game/ranking.h"
#include "game/winmain.h"
#include "platform/headless/headless.h"
#include "platform/instance.h"
#include "tests/support/loop_run.h"

namespace hl = plat::headless;
using namespace plat;
using looptest::PrivateRuntimeDir;
using looptest::RunGame;

namespace {

class WindowProcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hl::Reset();
    elSystem::ResetState();
    InputLocked = 0;
    SysKeyMode = 0;
    PauseShown = 0;
    ShutDownDone = 1;  // keep Escape from shutting the library down in these cases
  }
  void TearDown() override { ShutDownDone = 0; }
  static intptr_t Send(uint32_t m, uintptr_t w = 0, intptr_t l = 0) { return elSystem::WindowProc(m, w, l); }
};

TEST_F(WindowProcTest, MoveReadsSignedWords) {
  Send(WM_MOVE, 0, MakeLParam(40000, 20));
  EXPECT_EQ(ClientX, 40000 - 65536);
  EXPECT_EQ(ClientY, 20);
  EXPECT_EQ(ClientRect.left, ClientX);
  EXPECT_EQ(ClientRect.right, ClientX + ScreenWidth);
  EXPECT_EQ(ClientRect.bottom, 20 + ScreenHeight);
}

TEST_F(WindowProcTest, KeysRecordedReleasedLockedAndPaused) {
  Send(WM_KEYDOWN, 'A');
  EXPECT_EQ(KeyHeld, 'A');
  EXPECT_EQ(LastKey, 'A');
  Send(WM_KEYUP, 'B');
  EXPECT_EQ(KeyHeld, 'A');
  Send(WM_KEYUP, 'A');
  EXPECT_EQ(KeyHeld, 0u);
  EXPECT_EQ(LastKey, 'A');

  PauseShown = 1;
  Send(WM_KEYDOWN, 'C');
  EXPECT_EQ(KeyHeldPaused, 'C');
  EXPECT_EQ(KeyHeld, 0u);
  Send(WM_KEYUP, 'C');
  EXPECT_EQ(KeyHeldPaused, 0u);
  PauseShown = 0;

  InputLocked = 1;
  Send(WM_KEYDOWN, 'D');
  EXPECT_EQ(KeyHeldLocked, 'D');
  EXPECT_EQ(KeyHeld, 0u);
  Send(WM_LBUTTONDOWN);
  EXPECT_EQ(LButtonHeldLocked, 1u);
  EXPECT_EQ(LButtonHeld, 0u);
  Send(WM_LBUTTONUP);
  EXPECT_EQ(LButtonHeldLocked, 0u);
  Send(WM_HOTKEY, 0xBF01);
  EXPECT_EQ(KeyHeld, 0u);
  InputLocked = 0;

  Send(WM_HOTKEY, 0xBF01);
  EXPECT_EQ(KeyHeld, 44u);
  Send(WM_HOTKEY, 0xBF02);
  EXPECT_EQ(KeyHeld, 257u);

  Send(WM_KEYUP, 16);
  EXPECT_EQ(ShiftToggle, 1u);
  Send(WM_KEYUP, 16);
  EXPECT_EQ(ShiftToggle, 0u);
  WatchKey = 'W';
  Send(WM_KEYUP, 'W');
  Send(WM_KEYUP, 'W');
  EXPECT_EQ(WatchKeyCount, 2u);
}

TEST_F(WindowProcTest, SystemKeyModes) {
  SysKeyMode = 0;
  EXPECT_EQ(Send(WM_SYSKEYDOWN, 'F'), 0);
  EXPECT_EQ(KeyHeld, 0u);
  SysKeyMode = 2;
  Send(WM_SYSKEYDOWN, 18);
  EXPECT_EQ(KeyHeld, 0u);
  Send(WM_SYSKEYDOWN, 'F');
  EXPECT_EQ(KeyHeld, 'F');
  SysKeyMode = 1;
  Send(WM_SYSKEYDOWN, 18);
  EXPECT_EQ(KeyHeld, 18u);
}

TEST_F(WindowProcTest, MouseButtonsAndPosition) {
  Send(WM_MOUSEMOVE, 0, MakeLParam(639, 479));
  EXPECT_EQ(MouseX, 639u);
  EXPECT_EQ(MouseY, 479u);
  Send(WM_LBUTTONDOWN);
  EXPECT_EQ(LButtonHeld, 1u);
  EXPECT_EQ(LButtonClick, 1u);
  EXPECT_EQ(LButtonLatch, 1u);
  EXPECT_EQ(ButtonHeld, 1u);
  EXPECT_EQ(LastButton, 1u);
  Send(WM_RBUTTONDOWN);
  EXPECT_EQ(ButtonHeld, 2u);
  EXPECT_EQ(LastButton, 2u);
  Send(WM_LBUTTONUP);  // ButtonHeld names the right button now: left's release leaves it
  EXPECT_EQ(LButtonHeld, 0u);
  EXPECT_EQ(ButtonHeld, 2u);
  Send(WM_RBUTTONUP);
  EXPECT_EQ(ButtonHeld, 0u);
  EXPECT_EQ(Send(WM_LBUTTONDBLCLK), 0);
  EXPECT_EQ(LButtonDblClk, 1u);
  EXPECT_EQ(Send(WM_RBUTTONDBLCLK), 0);
  EXPECT_EQ(RButtonDblClk, 1u);
}

TEST_F(WindowProcTest, CursorScreenSaverAndActivation) {
  FullScreen = 1;
  MessageBoxUp = 0;
  EXPECT_EQ(Send(WM_SETCURSOR), 1);
  MessageBoxUp = 1;
  EXPECT_EQ(Send(WM_SETCURSOR), 0);
  MessageBoxUp = 0;
  EXPECT_EQ(Send(WM_SYSCOMMAND, SC_SCREENSAVE + 3), 0);
  Send(WM_ACTIVATEAPP, 1);
  EXPECT_EQ(AppActive, 1u);
  CursorShown = 0;
  Send(WM_ACTIVATEAPP, 0);
  EXPECT_EQ(AppActive, 0u);
  EXPECT_EQ(CursorShown, 1u);
}

TEST(MainLoop, EscapeShutsDownOnceAndQuits) {
  int turns = 0;
  int rc = RunGame([&] {
    if (++turns == 5) hl::Inject(WM_KEYDOWN, 27);
  });
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(CloseState, 2);
  EXPECT_EQ(ShutDownDone, 1);
  EXPECT_FALSE(hl::WindowCreated());
  EXPECT_EQ(hl::WindowTitle(), "大盛り");
  EXPECT_EQ(elSystem::Shutdown(), 1);  // idempotent
}

TEST(MainLoop, CloseFromOutsideShutsDownWithoutPostingAgain) {
  int turns = 0;
  int rc = RunGame([&] {
    if (++turns == 3) hl::Inject(WM_CLOSE);
  });
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(CloseState, 2);
  EXPECT_EQ(ShutDownDone, 1);
  EXPECT_FALSE(hl::WindowCreated());
}

TEST(MainLoop, BlinkIsOnForOneSecondThenOffForAFifth) {
  std::vector<std::pair<uint32_t, int>> samples;
  uint32_t t0 = 0;
  RunGame([&] {
    uint32_t now = static_cast<uint32_t>(hl::NowMicros() / 1000);
    if (samples.empty()) t0 = BlinkNextTime - 1000;
    samples.push_back({now - t0, BlinkOn});
    if (now - t0 > 2600) hl::Inject(WM_KEYDOWN, 27);
  });
  int checked = 0;
  for (auto [t, on] : samples) {
    int want = t < 1000 ? 1 : (t >= 1030 && t < 1200) ? 0 : (t >= 1230 && t < 2200) ? 1 : (t >= 2230 && t < 2400) ? 0 : -1;
    if (want >= 0) {
      EXPECT_EQ(on, want) << t;
    }
    ++checked;
  }
  EXPECT_GT(checked, 100);
}

TEST(MainLoop, FramesArePacedAndInactiveTimeIsNotFrameTime) {
  int turns = 0;
  std::vector<float> seconds;
  RunGame([&] {
    ++turns;
    if (turns > 2) seconds.push_back(FrameSeconds);
    if (turns == 10) {
      hl::Inject(WM_ACTIVATEAPP, 0);
    } else if (turns == 11) {
      // Inactive: the loop waits for messages; five seconds pass before the player comes back.
      hl::AdvanceMs(5000);
      hl::Inject(WM_ACTIVATEAPP, 1);
    } else if (turns == 20) {
      hl::Inject(WM_KEYDOWN, 27);
    }
  });
  ASSERT_FALSE(seconds.empty());
  for (float s : seconds) {
    EXPECT_LT(s, 0.05f);
  }
}

TEST(MainLoop, SecondCopyRaisesTheFirstAndEndsAtOnce) {
  PrivateRuntimeDir();
  int ready[2], done[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(done), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The first copy: holds the lock and waits for the second to ask it to come forward.
    bool only = plat::AcquireInstance("大盛り:ElMutex") == plat::InstanceCheck::kOnly;
    char c = only ? '1' : '0';
    if (write(ready[1], &c, 1) != 1) _exit(3);
    if (read(done[0], &c, 1) != 1) _exit(3);
    bool raised = plat::PollInstanceRequests();
    plat::ReleaseInstance();
    _exit(raised ? 0 : 1);
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, '1');
  hl::Reset();
  ShutDownDone = 0;
  char name[] = "oomori";
  char* argv[] = {name, nullptr};
  EXPECT_EQ(GameMain(1, argv), 0);
  EXPECT_FALSE(hl::WindowCreated());
  EXPECT_FALSE(InstanceMutex);
  ASSERT_EQ(write(done[1], "x", 1), 1);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the first copy was not asked to come forward";
  // With the first copy gone, the lock is free again.
  EXPECT_EQ(plat::AcquireInstance("大盛り:ElMutex"), plat::InstanceCheck::kOnly);
  plat::ReleaseInstance();
}

// The lock's place when another local user has been at the shared temporary directory first. The
// first copy runs in a child; this process is the second.
TEST(MainLoop, SecondCopyIsFoundOrToldWhenTheTemporaryDirectoryIsTaken) {
  using plat::InstanceCheck;
  char buf[512];
  const std::string base = std::string(getcwd(buf, sizeof buf)) + "/instance";
  const std::string tmp = base + "/tmp", home = base + "/home", mine = base + "/mine";
  const std::string tmpDir = tmp + "/oomori-" + std::to_string(getuid());
  ASSERT_EQ(std::system(("rm -rf " + base).c_str()), 0);
  for (const std::string& d : {base, tmp, home, mine}) ASSERT_EQ(mkdir(d.c_str(), 0700), 0);
  auto secondCopy = [&] {
    int ready[2], done[2];
    if (pipe(ready) != 0 || pipe(done) != 0) return std::make_pair(InstanceCheck::kOnly, '?');
    pid_t child = fork();
    if (child == 0) {
      char c = "oan"[static_cast<int>(plat::AcquireInstance("大盛り:ElMutex"))];
      if (write(ready[1], &c, 1) != 1 || read(done[0], &c, 1) != 1) _exit(3);
      plat::ReleaseInstance();
      _exit(0);
    }
    char first = '?';
    if (read(ready[0], &first, 1) != 1) first = '?';
    InstanceCheck second = plat::AcquireInstance("大盛り:ElMutex");
    plat::ReleaseInstance();
    if (write(done[1], "x", 1) != 1) first = '?';
    waitpid(child, nullptr, 0);
    for (int fd : {ready[0], ready[1], done[0], done[1]}) close(fd);
    return std::make_pair(second, first);
  };
  // The environment as it was, for the cases after this one.
  std::vector<std::pair<const char*, std::string>> saved;
  for (const char* v : {"HOME", "TMPDIR"})
    if (const char* value = std::getenv(v)) saved.emplace_back(v, value);
  unsetenv("XDG_RUNTIME_DIR");
  setenv("TMPDIR", tmp.c_str(), 1);

  // Taken by another user: the copies meet in the user's own cache directory instead.
  ASSERT_EQ(mkdir(tmpDir.c_str(), 0700), 0);
  ASSERT_EQ(chown(tmpDir.c_str(), 65534, 65534), 0);
  setenv("HOME", home.c_str(), 1);
  auto r = secondCopy();
  EXPECT_EQ(r.second, 'o');
  EXPECT_EQ(r.first, InstanceCheck::kAnother);
  EXPECT_EQ(std::string(plat::InstanceDir()), home + "/.cache/oomori");

  // No home either: both copies say that they cannot tell, neither claims to be the only one.
  unsetenv("HOME");
  r = secondCopy();
  EXPECT_EQ(r.second, 'n');
  EXPECT_EQ(r.first, InstanceCheck::kNoSafePlace);
  EXPECT_STREQ(plat::InstanceDir(), "");
  // The game still starts, unchecked.
  EXPECT_EQ(elSystem::CheckInstance("大盛り"), 1);
  EXPECT_FALSE(InstanceMutex);

  // A link in its place, even to a private directory of this user, is refused as well.
  ASSERT_EQ(rmdir(tmpDir.c_str()), 0);
  ASSERT_EQ(symlink(mine.c_str(), tmpDir.c_str()), 0);
  r = secondCopy();
  EXPECT_EQ(r.first, InstanceCheck::kNoSafePlace);

  // The shared directory, when it is really this user's, still serves.
  ASSERT_EQ(unlink(tmpDir.c_str()), 0);
  r = secondCopy();
  EXPECT_EQ(r.second, 'o');
  EXPECT_EQ(r.first, InstanceCheck::kAnother);
  EXPECT_EQ(std::string(plat::InstanceDir()), tmpDir);
  unsetenv("TMPDIR");
  for (const auto& [v, value] : saved) setenv(v, value.c_str(), 1);
  PrivateRuntimeDir();
}

// The command line is read before anything starts: an unknown option prints the usage on stderr and
// ends with 2, --help prints it on stdout and ends with 0; neither makes a window or takes the lock.
TEST(CommandLine, UsageEndsBeforeAnythingStarts) {
  struct Case {
    std::vector<std::string> args;
    int status;
    bool usageOnStderr;
  };
  const Case cases[] = {
      {{"--bogus"}, 2, true},
      {{"--window", "-x"}, 2, true},
      {{"--help"}, 0, false},
      {{"--window", "--help"}, 0, false},
  };
  for (const Case& c : cases) {
    hl::Reset();
    ShutDownDone = 0;
    InstanceMutex = false;
    std::vector<std::string> store = {"oomori"};
    store.insert(store.end(), c.args.begin(), c.args.end());
    std::vector<char*> argv;
    for (std::string& a : store) argv.push_back(a.data());
    argv.push_back(nullptr);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int status = GameMain(static_cast<int>(store.size()), argv.data());
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, c.status) << c.args.back();
    EXPECT_NE((c.usageOnStderr ? err : out).find("usage: oomori"), std::string::npos) << c.args.back();
    EXPECT_FALSE(hl::WindowCreated()) << c.args.back();
    EXPECT_FALSE(InstanceMutex) << c.args.back();
  }
}

}  // namespace
