// System services: frame pacing, wait slots, reports and boxes, the debug log, the program directory and
// number files, and the single-instance lock between two processes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <numeric>
#include <string>

#include "el/elSystem.h"
#include "el/system/sysinfo.h"
#include "platform/clock.h"
#include "platform/headless/headless.h"
#include "platform/instance.h"
#include "platform/resources.h"

namespace hl = plat::headless;

namespace {

std::string Cwd() { char buf[512]; return getcwd(buf, sizeof buf) ? buf : ""; }

std::string ReadFile(const std::string& name) { std::stringstream s; s << std::ifstream(name).rdbuf(); return s.str(); }

// The last box shown: text, caption and style.
std::string LastBox() { const hl::Box& b = hl::Boxes().back(); return b.text + "|" + b.caption + "|" + std::to_string(b.style); }

// Frames of 1000 / rate whole milliseconds: the wait sleeps all but the last 3 ms of the frame (0 when
// less is left) and ends on the frame boundary; a frame that ran over ends at once and is not made up.
TEST(FrameTiming, FramesLastAThousandthOverTheRateWithTheLastThreeMillisecondsSpun) {
  std::mt19937 rng(5);
  for (int i = 0; i < 200; ++i) {
    const uint32_t rate = i == 0 ? 7 : i == 1 ? 1000 : i == 2 ? 0 : 1 + rng() % 250;  // 0 counts as 1
    const uint32_t frame = rate ? 1000 / rate : 1000, scene = rng() % (frame + 10);
    SCOPED_TRACE("rate " + std::to_string(rate) + " scene " + std::to_string(scene));
    hl::Reset(), hl::SetTimeMs(50000);
    ASSERT_TRUE(elSystem::SetFrameRate(rate));
    hl::AdvanceMs(scene);
    elSystem::WaitFrame();
    ASSERT_EQ(hl::Sleeps(), std::vector<uint32_t>{scene + 3 < frame ? frame - scene - 3 : 0});
    ASSERT_EQ(hl::NowMicros() / 1000 - 50000, std::max(frame, scene));
    const uint64_t end = hl::NowMicros() / 1000;  // the next frame is measured from here
    hl::AdvanceMs(1);
    elSystem::WaitFrame();
    ASSERT_EQ(hl::NowMicros() / 1000 - end, std::max<uint64_t>(frame, 1));
  }
  const uint64_t before = hl::NowMicros();
  elSystem::SetFrameWait(0), elSystem::WaitFrame(), elSystem::SetFrameWait(1);  // paced by the display instead
  EXPECT_EQ(hl::NowMicros(), before);
}

// The host shows a paced frame's picture inside that frame, no later than 8 ms into it, also where the
// frame crosses the clock's wrap; pictures outside the paced frames (a stale frame, the wait off) at once.
TEST(FrameTiming, PicturesAreDueInsideTheFrameThatTheWaitStarts) {
  for (const uint32_t from : {50000u, 0xFFFFFFE9u, 0xFFFFFFFFu})
    for (const uint32_t rate : {1u, 30u, 60u, 100u, 500u}) {
      hl::Reset(), hl::SetTimeMs(from);
      elSystem::SetFrameRate(rate), elSystem::WaitFrame();
      const uint64_t start = hl::NowMicros(), frameUs = (1000 / rate) * 1000ull;
      const uint64_t due = plat::ShowingDelayUs(plat::CurrentFrame, start);
      EXPECT_TRUE(due > 0 && due <= 8000 && due * 2 <= frameUs) << from << " " << rate << " " << due;
      EXPECT_EQ(plat::ShowingDelayUs(plat::CurrentFrame, start + 700), due > 700 ? due - 700 : 0);
      EXPECT_EQ(plat::ShowingDelayUs(plat::CurrentFrame, start + frameUs + 2592000000000ull), 0u);  // 30 days on
    }
  elSystem::SetFrameWait(0), elSystem::WaitFrame();
  EXPECT_EQ(plat::ShowingDelayUs(plat::CurrentFrame, hl::NowMicros()), 0u);
  elSystem::SetFrameWait(1);
}

// Frames whose wait ends 1 to 3 ms late now and then (the spin lost its CPU), now and then a stall of
// 10 to 40 ms or a picture drawn 9 to 15 ms into its frame, across the clock's wrap. Every picture is
// shown after it is drawn and within 5 ms of its frame's own time (at once if drawn later), and fewer
// than 1 in 200 intervals between frames that only ran late fall outside 16 +- 0.5 ms; shown at their
// own times, 1 in 55 did.
TEST(FrameTiming, PicturesKeepASteadyCadenceThroughLateFrames) {
  std::mt19937 rng(5);
  plat::ShowCadence cadence;
  uint64_t startUs = (0x100000000ull - 500) * 1000, lastShownUs = 0;
  int steady = 0, uneven = 0, stalls = 0;
  for (int i = 0; i < 6000; ++i) {
    const uint32_t pick = rng() % 1000;
    const uint64_t lateMs = pick < 15 ? 1 + rng() % 3 : pick < 18 ? 10 + rng() % 31 : 0;
    startUs += (16 + lateMs) * 1000;
    const uint64_t drawnUs = startUs + (pick >= 995 ? 9000 + rng() % 6000 : 300 + rng() % 2000);
    const plat::PacedFrame frame{static_cast<uint32_t>(startUs / 1000), 16, true};
    const uint64_t dueUs = drawnUs + plat::ShowingDelayUs(frame, drawnUs);
    const uint64_t at = plat::CadencedShowingUs(cadence, dueUs, 16, drawnUs);
    ASSERT_GE(at, drawnUs) << i;
    ASSERT_LE(std::max(at, dueUs) - std::min(at, dueUs), std::max<uint64_t>(drawnUs > dueUs ? drawnUs - dueUs : 0, 5000)) << i;
    if (i > 0 && lateMs < 10 && drawnUs < dueUs) {
      ++steady;
      uneven += at - lastShownUs < 15500 || at - lastShownUs > 16500;
    }
    stalls += lateMs >= 10;
    lastShownUs = at;
  }
  EXPECT_LT(uneven * 200, steady) << uneven << " of " << steady;
  EXPECT_GT(stalls, 10);
}

TEST(FrameTiming, FrameSecondsAndWaitSlotsAcrossTheClock) {
  hl::Reset(), hl::SetReadStepMicros(0), hl::SetTimeMs(0xFFFFFF00u);  // the millisecond clock wraps in between
  elSystem::ResetFrameClock();
  hl::AdvanceMs(250);
  elSystem::UpdateFrameClock();
  EXPECT_FLOAT_EQ(FrameSeconds, 0.25f);
  hl::SetReadStepMicros(100), elSystem::Delay(0);  // returns once the clock has moved on; no frame time
  EXPECT_EQ(FrameSeconds, 0.0f);
  hl::SetReadStepMicros(0);

  hl::SetTimeMs(1000), hl::SetReadStepMicros(100), elSystem::Delay(20);  // ends on the clock, not before
  EXPECT_NEAR(hl::NowMicros() / 1000.0, 1021, 0.5);  // the first millisecond past the end
  // A millisecond's sleep a turn while more than 2 are left: turns read the clock (0.1 ms) at 1000.1,
  // 1001.2, ... 1017.7 (3 left), so 17 sleeps; the rest is spun.
  const std::vector<uint32_t> slept = hl::Sleeps();
  EXPECT_EQ(std::accumulate(slept.begin(), slept.end(), 0u), 17u) << slept.size();
  hl::SetReadStepMicros(0), hl::SetTimeMs(1000);
  for (int slot : {0, 11, -1}) {
    EXPECT_TRUE(elSystem::SetWait(slot, 100) == 0 && LastBox() == "elSystem::SetWait : ウェイトNoが範囲外です|エラー発生|4144");
    EXPECT_TRUE(elSystem::InitWait(slot) == 0 && LastBox() == "elSystem::InitWait : ウェイトNoが範囲外です|エラー発生|4144");
  }
  EXPECT_EQ(elSystem::CheckWait(7), 1);  // never set: passed
  EXPECT_TRUE(elSystem::SetWait(10, 500) == 1 && elSystem::SetWait(1, 0) == 1 && elSystem::InitWait(3) == 1);
  hl::AdvanceMs(499);
  EXPECT_TRUE(elSystem::CheckWait(10) == 0 && elSystem::CheckWait(1) == 1);
  hl::AdvanceMs(1);
  EXPECT_EQ(elSystem::CheckWait(10), 1);
  hl::AdvanceMs(1000000);
  EXPECT_EQ(elSystem::CheckWait(3), 0);  // out of use
  EXPECT_TRUE(elSystem::Init() && elSystem::CheckWait(1) == 0 && elSystem::CheckWait(10) == 0);  // all out of use
  EXPECT_TRUE(elSystem::CheckWait(-1) == 1 && elSystem::CheckWait(11) == 1);  // no such slot: passed, nothing read
}

TEST(ErrorReport, BoxesBeepFlagAndLog) {
  hl::Reset(), ErrorFlag = 0;
  EXPECT_EQ(elSystem::CheckError(), 0);
  EXPECT_EQ(elSystem::ReportError("elDraw::Screen", "DirectDrawが使用できません", 0x887600E1), 0);
  EXPECT_EQ(LastBox(), "elDraw::Screen : DirectDrawが使用できません|エラー発生|4144");
  EXPECT_TRUE(hl::BeepCount() == 1 && elSystem::GetError() == 1 && ShutDownDone == 0);
  EXPECT_EQ(elSystem::CheckError(), 1);  // a reported failure shuts the program down
  EXPECT_EQ(ShutDownDone, 1);
  ShutDownDone = 0;
  // Texts too long for the 256-byte buffers are cut inside them, the line end kept.
  const std::string x(600, 'x');
  elSystem::ReportError(x.c_str(), "m");
  EXPECT_EQ(hl::Boxes().back().text, x.substr(0, 255));
  elSystem::Message("%s", x.c_str());
  EXPECT_EQ(hl::Boxes().back().text, x.substr(0, 253) + "\r\n");

  hl::SetReadStepMicros(0), hl::SetTimeMs(5000);
  FrameSeconds = 3.0f, CursorShown = 0;
  elSystem::Message("score %d", 42);
  EXPECT_EQ(LastBox(), "score 42\r\n|メッセージ|4144");
  EXPECT_TRUE(CursorShown == 1 && MessageBoxUp == 0 && FrameSeconds == 0.0f && LastTurnTime == 5000);  // no frame time
  for (const int answer : {plat::IDYES, plat::IDNO, plat::IDCANCEL}) {
    hl::SetBoxAnswer(answer);
    EXPECT_EQ(elSystem::Question("again %s?", "now"), answer == plat::IDYES ? 1 : 0);
    EXPECT_EQ(LastBox(), "again now?\r\n|メッセージ|36");
  }

  { std::ofstream("DEBUG.TXT") << "kept\n"; }
  elSystem::DebugLog("first %d", 1), elSystem::DebugLog("second");
  EXPECT_EQ(ReadFile("DEBUG.TXT"), "kept\nfirst 1\nsecond\n");
  std::remove("DEBUG.TXT");
}

class SysInfoTest : public ::testing::Test {
  void TearDown() override { elSystem::SetExecutablePathForTest(nullptr), DataRoot[0] = 0; }
};

TEST_F(SysInfoTest, ProgramDirWithAndWithoutADataRoot) {

  const struct {
    const char* exe;
    int rootLength;  // 0: no data root; else "/" and that many more bytes
    const char* want0;
    std::string want1;
  } cases[] = {
      {"/games/GAME/x.bin", 0, "/games/GAME/", "/games/GAME/"},
      {"/games/GAME/x.bin", 5, "/games/GAME/", "/rrrrr/GAME/"},
      {"/x.bin", 5, "/", "/rrrrr/GAME/"},  // no folder above: the last one found stays
      {"/games/GAME/x.bin", 248, "/games/GAME/", "/" + std::string(248, 'r') + "/GAME/"},  // 255 bytes fit
      {"/games/GAME/x.bin", 249, "/games/GAME/", "/games/GAME/"},  // 256 do not: refused, not cut
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.exe) + " " + std::to_string(c.rootLength));
    elSystem::SetExecutablePathForTest(c.exe);
    std::snprintf(DataRoot, sizeof DataRoot, "%s", c.rootLength ? ("/" + std::string(c.rootLength, 'r')).c_str() : "");
    EXPECT_STREQ(elSystem::GetProgramDir(0), c.want0);
    EXPECT_EQ(elSystem::GetProgramDir(1), c.want1);
  }
  // A long file name is fine; a directory too long for the buffer is refused with one warning.
  elSystem::SetExecutablePathForTest(("/" + std::string(253, 'd') + "/" + std::string(300, 'x')).c_str());
  EXPECT_EQ(elSystem::GetProgramDir(0), "/" + std::string(253, 'd') + "/");
  elSystem::SetExecutablePathForTest(("/" + std::string(254, 'd') + "/x.bin").c_str());
  testing::internal::CaptureStderr();
  EXPECT_STREQ(elSystem::GetProgramDir(1), "");
  const std::string warned = testing::internal::GetCapturedStderr();
  EXPECT_NE(warned.find("program directory longer than 255 bytes"), std::string::npos) << warned;
  testing::internal::CaptureStderr();
  EXPECT_TRUE(elSystem::GetProgramDir(0)[0] == 0 && elSystem::GetProgramDir(0)[0] == 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_TRUE(elSystem::WriteNumber("n.txt", 5) == 0 && elSystem::ReadNumber("n.txt") == 0);
}

TEST_F(SysInfoTest, DataRootAndNumberFiles) {
  mkdir("cfg", 0700), mkdir("prog", 0700), setenv("XDG_CONFIG_HOME", (Cwd() + "/cfg").c_str(), 1);
  { std::ofstream("cfg/root.txt") << "/srv/data/\r\nsecond line\n"; }
  { std::ofstream("outside.txt") << "/srv/outside\n"; }
  for (const char* name : {"root.txt", "missing.txt", "../outside.txt"})
    EXPECT_STREQ((std::strcpy(DataRoot, "/old"), elSystem::LoadDataRoot(name), DataRoot), name[0] == 'r' ? "/srv/data" : "");

  elSystem::SetExecutablePathForTest((Cwd() + "/prog/x.bin").c_str());
  EXPECT_EQ(elSystem::WriteNumber("n.txt", 1), 1);
  EXPECT_EQ(ReadFile("prog/n.txt"), "1");
  EXPECT_EQ(elSystem::ReadNumber("n.txt"), 1);
  EXPECT_TRUE(elSystem::WriteNumber2("n.txt", -7) == 1 && elSystem::ReadNumber2("n.txt") == -7);
  // Read as "%d" reads, except that a number past 32 bits is no number.
  using Numbers = std::initializer_list<std::pair<const char*, int32_t>>;
  for (const auto& [text, value] : Numbers{{"abc", 0}, {" \n\t+12abc", 12}, {"-2147483648", INT32_MIN},
                                           {"2147483647 1", INT32_MAX}, {"2147483648", 0}, {"-99999999999999999999", 0},
                                           {"-", 0}, {"000000000000000000000000000007", 7}}) {
    { std::ofstream("prog/words.txt") << text; }
    EXPECT_EQ(elSystem::ReadNumber("words.txt"), value) << text;
  }
  // Names that leave the program directory are refused both ways.
  { std::ofstream("up.txt") << "42"; }
  for (const char* name : std::initializer_list<const char*>{"../up.txt", "..", "/tmp/abs.txt", "a/../../up.txt", "..\\up.txt", "", "no/d.txt"}) {
    EXPECT_EQ(elSystem::ReadNumber(name), 0) << name;
    EXPECT_EQ(elSystem::WriteNumber(name, 9), 0) << name;
  }
  EXPECT_EQ(ReadFile("up.txt"), "42");
  EXPECT_TRUE(elSystem::WriteNumber("..x", 3) == 1 && elSystem::ReadNumber("..x") == 3);  // only looks like one
  // A device or a FIFO under the name is no file: nothing read or written, and no wait for a writer.
  unlink("prog/full.txt"), unlink("prog/pipe.txt"), unlink("cfg/pipe.txt");
  ASSERT_EQ(symlink("/dev/full", "prog/full.txt") + mkfifo("prog/pipe.txt", 0600) + mkfifo("cfg/pipe.txt", 0600), 0);
  EXPECT_EQ(elSystem::WriteNumber("full.txt", 4) + elSystem::ReadNumber("pipe.txt") + elSystem::WriteNumber("pipe.txt", 5), 0);
  EXPECT_STREQ((elSystem::LoadDataRoot("pipe.txt"), DataRoot), "");
}

// The clock's time of day, each part asked for alone as well, the date, and the version code (no platform it names).
TEST(SystemInfo, TimeOfDay) {
  uint32_t h = 99, m = 99, s = 99, alone = 99;
  elSystem::GetTime(&h, &m, &s);
  elSystem::GetTime(nullptr, &alone, nullptr);
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  const int64_t day = 86400, diff = (tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec) - int64_t(h * 3600 + m * 60 + s);
  EXPECT_TRUE((diff + day) % day <= 2) << h << ":" << m << ":" << s;
  EXPECT_TRUE(alone == m || alone == (m + 1) % 60) << alone;
  uint32_t y = 0, mo = 0, d = 0;
  char wd[3] = {};
  elSystem::GetDate(&y, &mo, &d, wd);
  const char* const days[] = {"日", "月", "火", "水", "木", "金", "土"};
  EXPECT_TRUE(y == tm.tm_year + 1900u && mo == tm.tm_mon + 1u && d == unsigned(tm.tm_mday) && std::string(wd) == days[tm.tm_wday]);
  EXPECT_EQ(elSystem::GetOSVersion(), 0xFFFFFFFFu);
}

// A child process runs first() (taking the lock), then second() runs here. Answers 'y' when the child was
// then asked to raise its window, else 'n' ('x': first() failed).
char FirstCopyAsked(const std::function<bool()>& first, const std::function<void()>& second) {
  int up[2], down[2];
  char c = '?';
  if (pipe(up) != 0 || pipe(down) != 0) return c;
  const pid_t pid = fork();
  if (pid == 0) {
    c = first() ? 'r' : 'x';
    if (write(up[1], &c, 1) == 1 && c == 'r' && read(down[0], &c, 1) == 1) c = plat::PollInstanceRequests() ? 'y' : 'n';
    _exit(write(up[1], &c, 1) == 1 ? 0 : 1);
  }
  if (read(up[0], &c, 1) == 1 && c == 'r') second();
  if (write(down[1], &c, 1) != 1 || read(up[0], &c, 1) != 1) c = '?';
  waitpid(pid, nullptr, 0);
  for (int fd : {up[0], up[1], down[0], down[1]}) close(fd);
  return c;
}

TEST(SingleInstance, SecondCopyIsRefusedAndRaisesTheFirst) {
  const std::string dir = Cwd() + "/runtime", home = Cwd() + "/home";
  mkdir(dir.c_str(), 0700), mkdir(home.c_str(), 0700), setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  using plat::InstanceCheck;
  auto takes = [](std::string name) { return [name] { return plat::AcquireInstance(name.c_str()) == InstanceCheck::kOnly; }; };
  int answer = -1;
  auto check = [&answer](std::string title) {
    return [&answer, title] { (answer = elSystem::CheckInstance(title.c_str())) ? plat::ReleaseInstance() : void(); };
  };
  auto run = [&](const std::string& lock, const std::string& title) {
    const char raised = FirstCopyAsked(takes(lock), check(title));
    return raised + std::to_string(answer);  // and what CheckInstance answered
  };
  EXPECT_EQ(run("大盛り:ElMutex", "大盛り"), "y0");
  // Long titles are cut at 240 bytes before the suffix.
  EXPECT_EQ(run(std::string(240, 't') + ":ElMutex", std::string(300, 't')), "y0");
  EXPECT_EQ(run(std::string(239, 't') + ":ElMutex", std::string(240, 't')), "n1");
  // A copy that gave the lock up and took it again is still found and raised.
  auto again = [] {
    const bool first = plat::AcquireInstance("again") == InstanceCheck::kOnly;
    plat::ReleaseInstance();
    return first && plat::AcquireInstance("again") == InstanceCheck::kOnly;
  };
  EXPECT_EQ(FirstCopyAsked(again, [] { EXPECT_EQ(plat::AcquireInstance("again"), InstanceCheck::kAnother); }), 'y');
  // A second copy started with standard input closed (as some launchers do) still asks.
  auto noStdin = [] {
    const int saved = dup(0);
    close(0);
    EXPECT_EQ(plat::AcquireInstance("stdin"), InstanceCheck::kAnother);
    dup2(saved, 0), close(saved);
  };
  EXPECT_EQ(FirstCopyAsked(takes("stdin"), noStdin), 'y');

  // A runtime directory that cannot be made is passed over for the next place.
  const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  setenv("HOME", home.c_str(), 1), setenv("XDG_RUNTIME_DIR", "/nonexistent/run", 1);
  EXPECT_EQ(plat::AcquireInstance("moved"), InstanceCheck::kOnly);
  EXPECT_EQ(std::string(plat::InstanceDir()), home + "/.cache/oomori");
  plat::ReleaseInstance();
  setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace

// A program's own resources added from files: found by type and name in any case, with the file's
// bytes; a file that cannot be read adds nothing.
TEST(Resources, AddedFromFilesAreFoundWithTheirBytes) {
  std::ofstream("added.bin") << "three";
  ASSERT_TRUE(plat::AddResourceFile("MIDI", "ADDED", "added.bin"));
  plat::Resource r;
  ASSERT_TRUE(plat::FindResource("midi", "Added", &r));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.data), r.size), "three");
  EXPECT_FALSE(plat::FindResource("WAVE", "ADDED", &r)) << "found by type and name";
  EXPECT_FALSE(plat::AddResourceFile("MIDI", "GONE", "missing.bin"));
  EXPECT_FALSE(plat::FindResource("MIDI", "GONE", &r));
  EXPECT_FALSE(plat::FindResource("MIDI", nullptr, &r));
  plat::AddResource("MIDI", "NOBYTES", nullptr, 1);  // a size without its bytes adds nothing
  EXPECT_FALSE(plat::FindResource("MIDI", "NOBYTES", &r));
}

// After a reset no real key is watched: their releases are not counted until one is named.
TEST(WatchedKey, NoneAfterAResetThenOnlyTheNamedOne) {
  elSystem::ResetState();
  for (uintptr_t key : {1, 13, 65}) elSystem::WindowProc(plat::WM_KEYUP, key, 0);
  EXPECT_EQ(elSystem::GetWatchCount(), 0u);
  elSystem::SetWatchKey(13);
  for (uintptr_t key : {13, 16, 1, 13}) elSystem::WindowProc(plat::WM_KEYUP, key, 0);
  EXPECT_TRUE(elSystem::GetWatchCount() == 2 && ShiftToggle == 1);  // shift's release toggles, no other
  // Double clicks are noted unless input is locked.
  for (uint32_t locked : {1u, 0u}) {
    InputLocked = locked, LButtonDblClk = RButtonDblClk = 0;
    for (uint32_t m : {plat::WM_LBUTTONDBLCLK, plat::WM_RBUTTONDBLCLK}) elSystem::WindowProc(m, 0, 0);
    EXPECT_TRUE(LButtonDblClk == !locked && RButtonDblClk == !locked) << locked;
  }
  // Moves place the pointer; Alt keys count in their mode only; the print-screen hot keys are
  // presses of keys 44 and 257 unless input is locked.
  elSystem::WindowProc(plat::WM_MOUSEMOVE, 0, 300 << 16 | 200);
  EXPECT_TRUE(MouseX == 200 && MouseY == 300);
  std::string keys;
  for (uint32_t mode : {0u, 2u, 1u})
    for (uintptr_t key : {uintptr_t{18}, uintptr_t{'F'}}) elSystem::SetSysKeyMode(mode), elSystem::WindowProc(plat::WM_SYSKEYDOWN, key, 0), keys += std::to_string(LastKey) + " ";
  for (uint32_t locked : {1u, 0u})
    for (uintptr_t id : {uintptr_t{0xBF01}, uintptr_t{0xBF02}}) InputLocked = locked, elSystem::WindowProc(plat::WM_HOTKEY, id, 0), keys += std::to_string(LastKey) + " ";
  EXPECT_EQ(keys, "0 0 0 70 18 70 70 70 44 257 ");
  // Full screen hides the pointer over the window; losing the foreground shows it again.
  FullScreen = 0;
  EXPECT_EQ(elSystem::IsWindowed(), 1);
  FullScreen = 1, MessageBoxUp = 0, CursorShown = 0;
  EXPECT_EQ(elSystem::IsWindowed(), 0);
  EXPECT_TRUE(elSystem::WindowProc(plat::WM_SETCURSOR, 0, 0) == 1 && !hl::CursorVisible());
  elSystem::WindowProc(plat::WM_ACTIVATEAPP, 0, 0);
  EXPECT_TRUE(CursorShown == 1 && hl::CursorVisible());
}
