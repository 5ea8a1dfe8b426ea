// System services: frame pacing and wait slots, the error report and message boxes, the debug log,
// system information and number files, and the single-instance lock between two processes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>

#include "el/elSystem.h"
#include "el/system/sysinfo.h"
#include "platform/headless/headless.h"
#include "platform/instance.h"

namespace hl = plat::headless;

namespace {

std::string Cwd() {
  char buf[512];
  return getcwd(buf, sizeof buf) ? buf : "";
}

std::string ReadFile(const std::string& name) {
  std::ifstream f(name, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// Frames of 1000 / rate whole milliseconds: the wait sleeps all but the last 3 ms of the frame (0 when
// less is left) and ends on the frame boundary; a frame that ran over ends at once and is not made up.
TEST(FrameTiming, FramesLastAThousandthOverTheRateWithTheLastThreeMillisecondsSpun) {
  std::mt19937 rng(5);
  for (int i = 0; i < 200; ++i) {
    const uint32_t rate = i == 0 ? 7 : i == 1 ? 1000 : i == 2 ? 0 : 1 + rng() % 250;  // 0 counts as 1
    const uint32_t frame = rate ? 1000 / rate : 1000, scene = rng() % (frame + 10);
    SCOPED_TRACE("rate " + std::to_string(rate) + " scene " + std::to_string(scene));
    hl::Reset();
    hl::SetTimeMs(50000);
    elSystem::SetFrameRate(rate);
    elSystem::SetFrameWait(1);
    hl::ClearSleeps();
    hl::AdvanceMs(scene);
    elSystem::WaitFrame();
    ASSERT_EQ(hl::Sleeps(), std::vector<uint32_t>{scene + 3 < frame ? frame - scene - 3 : 0});
    ASSERT_EQ(hl::NowMicros() / 1000 - 50000, std::max(frame, scene));
    // The next frame is measured from where this one ended.
    const uint64_t end = hl::NowMicros() / 1000;
    hl::AdvanceMs(1);
    elSystem::WaitFrame();
    ASSERT_EQ(hl::NowMicros() / 1000 - end, std::max<uint64_t>(frame, 1));
  }
  elSystem::SetFrameRate(60);
  elSystem::SetFrameWait(0);  // paced by the display instead: no wait at all
  hl::ClearSleeps();
  const uint64_t before = hl::NowMicros();
  elSystem::WaitFrame();
  EXPECT_TRUE(hl::Sleeps().empty());
  EXPECT_EQ(hl::NowMicros(), before);
  elSystem::SetFrameWait(1);
}

TEST(FrameTiming, FrameSecondsAndWaitSlotsAcrossTheClock) {
  hl::Reset();
  hl::SetReadStepMicros(0);
  hl::SetTimeMs(0xFFFFFF00u);  // the millisecond clock wraps in between
  elSystem::ResetFrameClock();
  hl::AdvanceMs(250);
  elSystem::UpdateFrameClock();
  EXPECT_FLOAT_EQ(FrameSeconds, 0.25f);
  elSystem::ResetFrameClock();
  EXPECT_EQ(FrameSeconds, 0.0f);

  hl::SetTimeMs(1000);
  for (int slot : {0, 11, -1}) {
    EXPECT_EQ(elSystem::SetWait(slot, 100), 0);
    EXPECT_EQ(elSystem::InitWait(slot), 0);
  }
  ASSERT_EQ(hl::Boxes().size(), 6u);
  EXPECT_EQ(hl::Boxes()[0].text, "elSystem::SetWait : ウェイトNoが範囲外です");
  EXPECT_EQ(hl::Boxes()[1].text, "elSystem::InitWait : ウェイトNoが範囲外です");
  EXPECT_EQ(elSystem::CheckWait(7), 1);  // never set: passed
  EXPECT_EQ(elSystem::SetWait(10, 500), 1);
  EXPECT_EQ(elSystem::SetWait(1, 0), 1);
  EXPECT_EQ(elSystem::InitWait(3), 1);
  hl::AdvanceMs(499);
  EXPECT_EQ(elSystem::CheckWait(10), 0);
  EXPECT_EQ(elSystem::CheckWait(1), 1);
  hl::AdvanceMs(1);
  EXPECT_EQ(elSystem::CheckWait(10), 1);
  hl::AdvanceMs(1000000);
  EXPECT_EQ(elSystem::CheckWait(3), 0);  // out of use
}

TEST(ErrorReport, BoxesBeepFlagAndLog) {
  hl::Reset();
  ErrorFlag = 0;
  EXPECT_EQ(elSystem::CheckError(), 0);
  EXPECT_EQ(elSystem::ReportError("elDraw::Screen", "DirectDrawが使用できません", 0x887600E1), 0);
  ASSERT_EQ(hl::Boxes().size(), 1u);
  EXPECT_EQ(hl::Boxes()[0].text, "elDraw::Screen : DirectDrawが使用できません");
  EXPECT_EQ(hl::Boxes()[0].caption, "エラー発生");
  EXPECT_EQ(hl::Boxes()[0].style, 0x1030u);
  EXPECT_EQ(hl::BeepCount(), 1);
  EXPECT_EQ(elSystem::GetError(), 1);
  EXPECT_EQ(ShutDownDone, 0);
  EXPECT_EQ(elSystem::CheckError(), 1);  // a reported failure shuts the program down
  EXPECT_EQ(ShutDownDone, 1);
  ShutDownDone = 0;

  // Texts too long for the 256-byte buffers are cut inside them, the line end kept.
  const std::string longText(600, 'x');
  elSystem::ReportError(longText.c_str(), "m");
  EXPECT_EQ(hl::Boxes().back().text, longText.substr(0, 255));
  elSystem::Message("%s", longText.c_str());
  EXPECT_EQ(hl::Boxes().back().text, longText.substr(0, 253) + "\r\n");

  hl::SetReadStepMicros(0);
  hl::SetTimeMs(5000);
  LastTurnTime = 1000;
  FrameSeconds = 3.0f;
  CursorShown = 0;
  elSystem::Message("score %d", 42);
  EXPECT_EQ(hl::Boxes().back().text, "score 42\r\n");
  EXPECT_EQ(hl::Boxes().back().caption, "メッセージ");
  EXPECT_EQ(hl::Boxes().back().style, 0x1030u);
  EXPECT_EQ(CursorShown, 1u);
  EXPECT_EQ(MessageBoxUp, 0);
  EXPECT_EQ(FrameSeconds, 0.0f);  // time in the box is no frame time
  EXPECT_EQ(LastTurnTime, 5000u);
  for (const auto& [answer, want] : std::initializer_list<std::pair<int, int>>{{plat::IDYES, 1}, {plat::IDNO, 0}, {plat::IDCANCEL, 0}}) {
    hl::SetBoxAnswer(answer);
    EXPECT_EQ(elSystem::Question("again %s?", "now"), want);
    EXPECT_EQ(hl::Boxes().back().text, "again now?\r\n");
    EXPECT_EQ(hl::Boxes().back().style, 0x24u);
  }

  std::remove("DEBUG.TXT");
  { std::ofstream("DEBUG.TXT") << "kept\n"; }
  elSystem::DebugLog("first %d", 1);
  elSystem::DebugLog("second");
  EXPECT_EQ(ReadFile("DEBUG.TXT"), "kept\nfirst 1\nsecond\n");
  std::remove("DEBUG.TXT");
}

class SysInfoTest : public ::testing::Test {
 protected:
  void TearDown() override {
    elSystem::SetExecutablePathForTest(nullptr);
    DataRoot[0] = 0;
  }
};

TEST_F(SysInfoTest, ProgramDirWithAndWithoutADataRoot) {
  // The real executable lies in the build directory.
  const std::string real = elSystem::GetProgramDir(0);
  struct stat st;
  EXPECT_EQ(stat((real + "system_test").c_str(), &st), 0);

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
  DataRoot[0] = 0;
  const std::string longDir = "/" + std::string(253, 'd') + "/";
  elSystem::SetExecutablePathForTest((longDir + std::string(300, 'x')).c_str());
  EXPECT_EQ(elSystem::GetProgramDir(0), longDir);
  elSystem::SetExecutablePathForTest(("/" + std::string(254, 'd') + "/x.bin").c_str());
  testing::internal::CaptureStderr();
  EXPECT_STREQ(elSystem::GetProgramDir(1), "");
  const std::string warned = testing::internal::GetCapturedStderr();
  EXPECT_NE(warned.find("program directory longer than 255 bytes"), std::string::npos) << warned;
  testing::internal::CaptureStderr();
  EXPECT_STREQ(elSystem::GetProgramDir(0), "");
  EXPECT_STREQ(elSystem::GetProgramDir(0), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(elSystem::WriteNumber("n.txt", 5), 0);
  EXPECT_EQ(elSystem::ReadNumber("n.txt"), 0);
}

TEST_F(SysInfoTest, DataRootAndNumberFiles) {
  const std::string cfg = Cwd() + "/cfg";
  mkdir(cfg.c_str(), 0700);
  setenv("XDG_CONFIG_HOME", cfg.c_str(), 1);
  { std::ofstream(cfg + "/root.txt") << "/srv/data/\nsecond line\n"; }
  { std::ofstream(cfg + "/crlf.txt", std::ios::binary) << "/srv/other/\r\n"; }
  { std::ofstream(Cwd() + "/outside.txt") << "/srv/outside\n"; }
  using Texts = std::initializer_list<std::pair<const char*, const char*>>;
  for (const auto& [name, want] : Texts{{"root.txt", "/srv/data"}, {"crlf.txt", "/srv/other"}, {"missing.txt", ""},
                                        {"../outside.txt", ""}}) {
    std::strcpy(DataRoot, "/old");
    elSystem::LoadDataRoot(name);
    EXPECT_STREQ(DataRoot, want) << name;
  }
  unsetenv("XDG_CONFIG_HOME");

  mkdir("prog", 0700);
  elSystem::SetExecutablePathForTest((Cwd() + "/prog/x.bin").c_str());
  EXPECT_EQ(elSystem::WriteNumber("n.txt", 1), 1);
  EXPECT_EQ(ReadFile("prog/n.txt"), "1");
  EXPECT_EQ(elSystem::ReadNumber("n.txt"), 1);
  EXPECT_EQ(elSystem::WriteNumber2("n.txt", -7), 1);
  EXPECT_EQ(elSystem::ReadNumber2("n.txt"), -7);
  EXPECT_EQ(elSystem::ReadNumber("absent.txt"), 0);
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
  for (const char* name : std::initializer_list<const char*>{"../up.txt", "..", "/tmp/abs.txt", "a/../../up.txt", "..\\up.txt", "", "no/dir.txt"}) {
    EXPECT_EQ(elSystem::ReadNumber(name), 0) << name;
    EXPECT_EQ(elSystem::WriteNumber(name, 9), 0) << name;
  }
  EXPECT_EQ(ReadFile("up.txt"), "42");
  EXPECT_EQ(elSystem::WriteNumber("..x", 3), 1);  // only looks like one
  EXPECT_EQ(elSystem::ReadNumber("..x"), 3);
}

TEST(SysInfo, VersionDateDelayAndScreen) {
  const struct {
    uint32_t platform, major, minor, code;
  } kVersions[] = {{0, 3, 10, 310},  {1, 4, 0, 950},   {1, 4, 10, 980},   {1, 4, 90, 980}, {1, 3, 51, 351},
                   {2, 5, 0, 2000}, {2, 5, 1, 2000}, {2, 6, 0, 6000}, {2, 4, 0, 4000}, {2, 10, 3, 10030}};
  for (const auto& v : kVersions) EXPECT_EQ(elSystem::VersionCode(v.platform, v.major, v.minor), v.code);
  EXPECT_EQ(elSystem::GetOSVersion(), 0xFFFFFFFFu);

  uint32_t y = 0, mo = 0, d = 0, h = 99, mi = 99, s = 99;
  char wd[3] = {1, 1, 1};
  elSystem::GetDate(&y, &mo, &d, wd);
  elSystem::GetTime(&h, &mi, &s);
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  const char* kDays[] = {"日", "月", "火", "水", "木", "金", "土"};
  if (tm.tm_sec > 0 && tm.tm_sec < 59) {  // not at a minute's edge
    EXPECT_EQ(y, static_cast<uint32_t>(tm.tm_year + 1900));
    EXPECT_EQ(mo, static_cast<uint32_t>(tm.tm_mon + 1));
    EXPECT_EQ(d, static_cast<uint32_t>(tm.tm_mday));
    EXPECT_STREQ(wd, kDays[tm.tm_wday]);
    EXPECT_EQ(h, static_cast<uint32_t>(tm.tm_hour));
    EXPECT_EQ(mi, static_cast<uint32_t>(tm.tm_min));
  }

  hl::Reset();
  hl::SetTimeMs(100);
  FrameSeconds = 1.0f;
  elSystem::Delay(0);  // returns once the clock has moved on
  EXPECT_GT(hl::NowMicros(), 101000u);
  EXPECT_EQ(FrameSeconds, 0.0f);
  hl::SetTimeMs(100);
  elSystem::Delay(50);
  EXPECT_GE(hl::NowMicros(), 151000u);
  EXPECT_LT(hl::NowMicros(), 153000u);
  FullScreen = 0;
  EXPECT_EQ(elSystem::IsWindowed(), 1);
  FullScreen = 1;
  EXPECT_EQ(elSystem::IsWindowed(), 0);
}

// A first copy in a child process runs first() (which takes the lock); then second() runs here.
// Answers 'y' when the first copy was then asked to raise its window, 'n' when not, 'x' when first()
// failed.
char FirstCopyAsked(const std::function<bool()>& first, const std::function<void()>& second) {
  int ready[2], done[2];
  if (pipe(ready) != 0 || pipe(done) != 0) return '?';
  const pid_t pid = fork();
  if (pid == 0) {
    char c = first() ? 'r' : 'x';
    if (write(ready[1], &c, 1) != 1 || c == 'x') _exit(1);
    if (read(done[0], &c, 1) != 1) _exit(1);
    c = plat::PollInstanceRequests() ? 'y' : 'n';
    plat::ReleaseInstance();
    _exit(write(ready[1], &c, 1) == 1 ? 0 : 1);
  }
  char c = '?';
  if (read(ready[0], &c, 1) == 1 && c == 'r') {
    second();
    if (write(done[1], &c, 1) != 1 || read(ready[0], &c, 1) != 1) c = '?';
  }
  waitpid(pid, nullptr, 0);
  for (int fd : {ready[0], ready[1], done[0], done[1]}) close(fd);
  return c;
}

TEST(SingleInstance, SecondCopyIsRefusedAndRaisesTheFirst) {
  const std::string dir = Cwd() + "/runtime";
  mkdir(dir.c_str(), 0700);
  setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  using plat::InstanceCheck;
  auto takes = [](std::string name) {
    return [name] { return plat::AcquireInstance(name.c_str()) == InstanceCheck::kOnly; };
  };
  int answer = -1;
  auto check = [&](std::string title) {
    return [&answer, title] {
      answer = elSystem::CheckInstance(title.c_str());
      if (answer) plat::ReleaseInstance(), InstanceMutex = false;
    };
  };
  EXPECT_EQ(FirstCopyAsked(takes("大盛り:ElMutex"), check("大盛り")), 'y');
  EXPECT_EQ(answer, 0);
  EXPECT_FALSE(InstanceMutex);
  // Long titles are cut at 240 bytes before the suffix.
  EXPECT_EQ(FirstCopyAsked(takes(std::string(240, 't') + ":ElMutex"), check(std::string(300, 't'))), 'y');
  EXPECT_EQ(answer, 0);
  EXPECT_EQ(FirstCopyAsked(takes(std::string(239, 't') + ":ElMutex"), check(std::string(240, 't'))), 'n');
  EXPECT_EQ(answer, 1);
  // A copy that gave the lock up and took it again is still found and raised.
  auto again = [] {
    const bool first = plat::AcquireInstance("again") == InstanceCheck::kOnly;
    plat::ReleaseInstance();
    return first && plat::AcquireInstance("again") == InstanceCheck::kOnly;
  };
  EXPECT_EQ(FirstCopyAsked(again, [] { EXPECT_EQ(plat::AcquireInstance("again"), InstanceCheck::kAnother); }), 'y');

  // A runtime directory that cannot be made is passed over for the next place.
  const std::string home = Cwd() + "/home";
  mkdir(home.c_str(), 0700);
  const char* oldHome = std::getenv("HOME");
  const std::string savedHome = oldHome ? oldHome : "";
  setenv("HOME", home.c_str(), 1);
  setenv("XDG_RUNTIME_DIR", "/nonexistent/run", 1);
  EXPECT_EQ(plat::AcquireInstance("moved"), InstanceCheck::kOnly);
  EXPECT_EQ(std::string(plat::InstanceDir()), home + "/.cache/oomori");
  plat::ReleaseInstance();
  setenv("HOME", savedHome.c_str(), 1);
  setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
}

}  // namespace
