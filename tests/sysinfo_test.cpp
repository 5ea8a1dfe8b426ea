#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>

#include "el/elSystem.h"
#include "el/system/sysinfo.h"
#include "platform/headless/headless.h"

namespace {

std::string Cwd() {
  char buf[512];
  return getcwd(buf, sizeof buf) ? buf : "";
}

class SysInfoTest : public ::testing::Test {
 protected:
  void TearDown() override {
    elSystem::SetExecutablePathForTest(nullptr);
    DataRoot[0] = 0;
  }
};

TEST_F(SysInfoTest, ProgramDirAndDataRoot) {
  elSystem::SetExecutablePathForTest("/games/GAME/x.bin");
  DataRoot[0] = 0;
  EXPECT_STREQ(elSystem::GetProgramDir(0), "/games/GAME/");
  EXPECT_STREQ(elSystem::GetProgramDir(1), "/games/GAME/");
  std::strcpy(DataRoot, "/data");
  EXPECT_STREQ(elSystem::GetProgramDir(0), "/games/GAME/");
  EXPECT_STREQ(elSystem::GetProgramDir(1), "/data/GAME/");
  EXPECT_STREQ(ProgramFolder, "GAME/");
}

TEST_F(SysInfoTest, ProgramDirEdgeCases) {
  // At the root there is no earlier separator: the folder keeps what it held.
  std::strcpy(ProgramFolder, "OLD/");
  std::strcpy(DataRoot, "/data");
  elSystem::SetExecutablePathForTest("/x.bin");
  EXPECT_STREQ(elSystem::GetProgramDir(0), "/");
  EXPECT_STREQ(elSystem::GetProgramDir(1), "/data/OLD/");
  // A root and folder too long for the buffer are refused, not cut.
  std::string root = "/" + std::string(250, 'r');
  std::strcpy(DataRoot, root.c_str());
  elSystem::SetExecutablePathForTest("/games/GAMEFOLDER/x.bin");
  EXPECT_STREQ(elSystem::GetProgramDir(1), "/games/GAMEFOLDER/");
  // Only the directory has to fit: a long file name is fine, a directory too long is refused
  // (empty) rather than cut to some other directory, and the number files go nowhere.
  DataRoot[0] = 0;
  std::string longDir = "/" + std::string(200, 'd') + "/";
  elSystem::SetExecutablePathForTest((longDir + std::string(100, 'x')).c_str());
  EXPECT_EQ(std::string(elSystem::GetProgramDir(0)), longDir);
  elSystem::SetExecutablePathForTest(("/" + std::string(254, 'd') + "/x.bin").c_str());
  EXPECT_STREQ(elSystem::GetProgramDir(0), "");
  std::strcpy(DataRoot, "/data");
  EXPECT_STREQ(elSystem::GetProgramDir(1), "");
  EXPECT_EQ(elSystem::WriteNumber("n.txt", 5), 0);
  // The real executable lies in the build directory.
  elSystem::SetExecutablePathForTest(nullptr);
  DataRoot[0] = 0;
  std::string dir = elSystem::GetProgramDir(0);
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '/');
  struct stat st;
  EXPECT_EQ(stat((dir + "sysinfo_test").c_str(), &st), 0);
}

TEST_F(SysInfoTest, LoadDataRootDropsOneLineFeedAndOneSeparator) {
  std::string cfg = Cwd() + "/cfg";
  mkdir(cfg.c_str(), 0700);
  setenv("XDG_CONFIG_HOME", cfg.c_str(), 1);
  {
    std::ofstream f(cfg + "/root.txt");
    f << "/srv/data/\nsecond line\n";
    std::ofstream g(cfg + "/crlf.txt", std::ios::binary);
    g << "/srv/other/\r\n";
    std::ofstream h(Cwd() + "/outside.txt");
    h << "/srv/outside\n";
  }
  elSystem::LoadDataRoot("root.txt");
  EXPECT_STREQ(DataRoot, "/srv/data");
  elSystem::LoadDataRoot("crlf.txt");
  EXPECT_STREQ(DataRoot, "/srv/other");
  elSystem::LoadDataRoot("missing.txt");
  EXPECT_STREQ(DataRoot, "");
  // A name that leaves the settings directory is not followed.
  elSystem::LoadDataRoot("../outside.txt");
  EXPECT_STREQ(DataRoot, "");
  unsetenv("XDG_CONFIG_HOME");
}

TEST_F(SysInfoTest, NumberFilesRoundTrip) {
  mkdir("prog", 0700);
  elSystem::SetExecutablePathForTest((Cwd() + "/prog/x.bin").c_str());
  EXPECT_EQ(elSystem::WriteNumber("n.txt", 1), 1);
  std::ifstream f("prog/n.txt");
  std::string content((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "1");
  EXPECT_EQ(elSystem::ReadNumber("n.txt"), 1);
  EXPECT_EQ(elSystem::WriteNumber2("n.txt", -7), 1);
  EXPECT_EQ(elSystem::ReadNumber2("n.txt"), -7);
  EXPECT_EQ(elSystem::ReadNumber("absent.txt"), 0);
  // Read as "%d" reads, except that a number past 32 bits is no number.
  const std::pair<const char*, int32_t> kTexts[] = {
      {"abc", 0}, {" \n\t+12abc", 12}, {"-2147483648", INT32_MIN}, {"2147483647 1", INT32_MAX},
      {"2147483648", 0}, {"-99999999999999999999", 0}, {"-", 0}, {"0000000000000000000000000000000000000007", 7}};
  for (const auto& [text, value] : kTexts) {
    { std::ofstream g("prog/words.txt"); g << text; }
    EXPECT_EQ(elSystem::ReadNumber("words.txt"), value) << text;
  }
  EXPECT_EQ(elSystem::WriteNumber("no/such/dir.txt", 3), 0);

  // Names that leave the program directory are refused both ways.
  { std::ofstream g("up.txt"); g << "42"; }
  for (const char* name : std::initializer_list<const char*>{"../up.txt", "..", "/tmp/abs.txt", "a/../../up.txt",
                                                             "..\\up.txt", "", nullptr}) {
    SCOPED_TRACE(name ? name : "(null)");
    EXPECT_EQ(elSystem::ReadNumber(name), 0);
    EXPECT_EQ(elSystem::WriteNumber(name, 9), 0);
  }
  std::ifstream up("up.txt");
  std::string upContent((std::istreambuf_iterator<char>(up)), std::istreambuf_iterator<char>());
  EXPECT_EQ(upContent, "42");
  struct stat st;
  EXPECT_NE(stat("/tmp/abs.txt", &st), 0);
  // A name that only looks like one is a plain file inside.
  EXPECT_EQ(elSystem::WriteNumber("..x", 3), 1);
  EXPECT_EQ(elSystem::ReadNumber("..x"), 3);
}

TEST(SysInfo, VersionCodes) {
  EXPECT_EQ(elSystem::VersionCode(0, 3, 10), 310u);
  EXPECT_EQ(elSystem::VersionCode(1, 4, 0), 950u);
  EXPECT_EQ(elSystem::VersionCode(1, 4, 10), 980u);
  EXPECT_EQ(elSystem::VersionCode(1, 4, 90), 980u);
  EXPECT_EQ(elSystem::VersionCode(2, 5, 0), 2000u);
  EXPECT_EQ(elSystem::VersionCode(2, 5, 1), 2000u);
  EXPECT_EQ(elSystem::VersionCode(2, 6, 0), 6000u);
  EXPECT_EQ(elSystem::VersionCode(2, 4, 0), 4000u);
  EXPECT_EQ(elSystem::GetOSVersion(), 0xFFFFFFFFu);
}

TEST(SysInfo, DelayZeroWaitsForTheClockToMove) {
  plat::headless::Reset();
  plat::headless::SetTimeMs(100);
  elSystem::Delay(0);
  EXPECT_GT(plat::headless::NowMicros(), 101000u);
  EXPECT_EQ(FrameSeconds, 0.0f);
  plat::headless::SetTimeMs(100);
  elSystem::Delay(50);
  EXPECT_GE(plat::headless::NowMicros(), 151000u);
  EXPECT_LT(plat::headless::NowMicros(), 153000u);
}

TEST(SysInfo, DateTimeAndQueries) {
  uint32_t y = 0, mo = 0, d = 0, h = 99, mi = 99, s = 99;
  char wd[3] = {1, 1, 1};
  elSystem::GetDate(&y, &mo, &d, wd);
  EXPECT_GE(y, 2024u);
  EXPECT_TRUE(mo >= 1 && mo <= 12);
  EXPECT_TRUE(d >= 1 && d <= 31);
  EXPECT_EQ(wd[2], 0);
  static const char* kDays[] = {"日", "月", "火", "水", "木", "金", "土"};
  bool found = false;
  for (const char* k : kDays) found |= std::strcmp(wd, k) == 0;
  EXPECT_TRUE(found);
  elSystem::GetTime(&h, &mi, &s);
  EXPECT_LT(h, 24u);
  EXPECT_LT(mi, 60u);
  EXPECT_LT(s, 61u);
  EXPECT_GT(elSystem::GetAvailMemory(), 0u);
  FullScreen = 1;
  EXPECT_EQ(elSystem::IsWindowed(), 0);
  FullScreen = 0;
  EXPECT_EQ(elSystem::IsWindowed(), 1);
  FullScreen = 1;
}

}  // namespace
