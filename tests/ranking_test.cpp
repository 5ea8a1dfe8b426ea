#include <gtest/gtest.h>

#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "game/ranking.h"
#include "platform/headless/headless.h"

namespace hl = plat::headless;

namespace {

std::vector<unsigned char> FileBytes(const char* name = "rank.dat") {
  std::ifstream f(name, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void WriteFile(const std::vector<int32_t>& words) {
  std::ofstream f("rank.dat", std::ios::binary | std::ios::trunc);
  for (int32_t w : words) {
    uint32_t u = static_cast<uint32_t>(w);
    for (int i = 0; i < 4; ++i) f.put(static_cast<char>(u >> (8 * i)));
  }
}

std::vector<int32_t> Words() {
  std::vector<unsigned char> b = FileBytes();
  std::vector<int32_t> w;
  for (size_t i = 0; i + 4 <= b.size(); i += 4)
    w.push_back(static_cast<int32_t>(b[i] | b[i + 1] << 8 | b[i + 2] << 16 | static_cast<uint32_t>(b[i + 3]) << 24));
  return w;
}

// A well-formed file of these five results.
std::vector<int32_t> File(std::vector<int32_t> rice) {
  for (int i = 0; i < 5; ++i) rice.push_back(rice[i] ^ 0x96);
  return rice;
}

const std::vector<int32_t> kEmptyFile = File({-1, -1, -1, -1, -1});
const std::vector<int32_t> kTwoResults = File({300, 250, -1, -1, -1});

bool Exists(const char* name) {
  struct stat st;
  return lstat(name, &st) == 0;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The file's full name as the boxes must give it.
std::string FullPath() {
  char cwd[PATH_MAX];
  return std::string(getcwd(cwd, sizeof cwd) ? cwd : "?") + "/rank.dat";
}

class RankingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hl::Reset();
    std::error_code ignored;
    for (const char* name : {"rank.dat", "rank.dat.new", "rank.dat.bad", "rank.dat.bad2"})
      std::filesystem::remove_all(name, ignored);
  }
};

TEST_F(RankingTest, MissingFileGivesAnEmptyTableAndAFreshFileAtOnce) {
  RankingTable t;
  EXPECT_EQ(t.IsEmpty(), 1);
  EXPECT_TRUE(hl::Boxes().empty());
  EXPECT_EQ(Words(), kEmptyFile);
  EXPECT_EQ(FileBytes()[20], 0x69);  // 0xFFFFFFFF ^ 0x96, low byte
}

TEST_F(RankingTest, ValidFileLoadsAndIsWrittenBackAtDestruction) {
  WriteFile({300, 250, 120, 40, -1, 300 ^ 0x96, 250 ^ 0x96, 120 ^ 0x96, 40 ^ 0x96, -1 ^ 0x96});
  {
    RankingTable t;
    EXPECT_TRUE(hl::Boxes().empty());
    EXPECT_EQ(t.IsEmpty(), 0);
    EXPECT_EQ(t.Get(0), 300);
    EXPECT_EQ(t.Get(3), 40);
    EXPECT_EQ(t.Get(4), -1);
    EXPECT_EQ(t.Insert(260), 1);
  }
  EXPECT_EQ(Words(), File({300, 260, 250, 120, 40}));
}

TEST_F(RankingTest, EditedFileIsKeptAsideShowsBothBoxesAndStartsEmpty) {
  WriteFile({300, 9999, 120, 40, -1, 300 ^ 0x96, 250 ^ 0x96, 120 ^ 0x96, 40 ^ 0x96, -1 ^ 0x96});
  const std::vector<unsigned char> edited = FileBytes();
  {
    RankingTable t;
    ASSERT_EQ(hl::Boxes().size(), 2u);
    EXPECT_EQ(hl::Boxes()[0].caption, "エラー - Oomori.exe");
    EXPECT_EQ(hl::Boxes()[0].text,
              "ランキングデータの入ったファイルが壊れている可能性があります。\n新しくランキングデータを作ります。");
    EXPECT_EQ(hl::Boxes()[0].style, 0x30u);
    EXPECT_FALSE(hl::Boxes()[0].owned);
    EXPECT_EQ(hl::Boxes()[1].caption, "debug");
    EXPECT_EQ(hl::Boxes()[1].text, "checkData[i] = 108\nrice[i] = 9999\nrice[i] ^ 0x96 = 10137");
    EXPECT_EQ(t.IsEmpty(), 1);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(t.Get(i), -1);
    EXPECT_EQ(Words(), kEmptyFile);
  }
  EXPECT_EQ(FileBytes("rank.dat.bad"), edited);
  // A second damaged file does not overwrite the first copy.
  WriteFile({1, 2, 3, 4, 5});
  const std::vector<unsigned char> second = FileBytes();
  RankingTable u;
  EXPECT_EQ(hl::Boxes().size(), 4u);
  EXPECT_EQ(FileBytes("rank.dat.bad"), edited);
  EXPECT_EQ(FileBytes("rank.dat.bad2"), second);
  EXPECT_EQ(Words(), kEmptyFile);
}

TEST_F(RankingTest, ShortFileIsDamagedEvenWhereZeroFillWouldPass) {
  // Five results of 150 with no check values: 150 ^ 0x96 is 0, which a zero-filled read would match.
  WriteFile({150, 150, 150, 150, 150});
  RankingTable t;
  EXPECT_EQ(hl::Boxes().size(), 2u);
  EXPECT_EQ(t.Get(0), -1);
  EXPECT_EQ(t.IsEmpty(), 1);
  EXPECT_EQ(Words(), kEmptyFile);
  hl::Boxes().clear();
  { std::ofstream f("rank.dat", std::ios::binary | std::ios::trunc); }
  RankingTable u;
  EXPECT_EQ(hl::Boxes().size(), 2u);
  EXPECT_EQ(Words(), kEmptyFile);
}

TEST_F(RankingTest, OnlyAChangedTableIsWritten) {
  WriteFile(kTwoResults);
  {
    // A second copy of the game loads the file and ends at once; meanwhile the first one has
    // written a newer table, which must survive.
    RankingTable second;
    WriteFile(File({400, 300, 250, -1, -1}));
    EXPECT_EQ(second.Insert(-7), -1);  // ranks nowhere: no change
  }
  EXPECT_EQ(Words(), File({400, 300, 250, -1, -1}));
  RankingTable t;
  EXPECT_TRUE(t.Save());
  WriteFile(kTwoResults);
  EXPECT_TRUE(t.Save());  // nothing new since the load
  EXPECT_EQ(Words(), kTwoResults);
  EXPECT_EQ(t.Insert(260), 2);
  EXPECT_TRUE(t.Save());
  EXPECT_EQ(Words(), File({400, 300, 260, 250, -1}));
}

TEST_F(RankingTest, DirectoryNamedLikeTheFileIsNeitherDamagedNorReplaced) {
  ASSERT_EQ(mkdir("rank.dat", 0755), 0);
  {
    RankingTable t;
    ASSERT_EQ(hl::Boxes().size(), 1u);
    const std::string& text = hl::Boxes()[0].text;
    EXPECT_EQ(hl::Boxes()[0].caption, "エラー - Oomori.exe");
    EXPECT_TRUE(Contains(text, FullPath())) << text;
    EXPECT_TRUE(Contains(text, "Is a directory")) << text;
    EXPECT_TRUE(Contains(text, "保存されません")) << text;
    EXPECT_EQ(t.IsEmpty(), 1);
    EXPECT_EQ(t.Insert(50), 0);
    EXPECT_FALSE(t.Save());
    EXPECT_EQ(hl::Boxes().size(), 1u);  // told once, at the start
  }
  struct stat st;
  ASSERT_EQ(stat("rank.dat", &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_FALSE(Exists("rank.dat.new"));
  EXPECT_FALSE(Exists("rank.dat.bad"));
  EXPECT_EQ(hl::Boxes().size(), 1u);
}

// Cases whose file or directory the player may not read or write. They run in a forked child as the
// unprivileged user "nobody" when the tests run as root, since root ignores mode bits. The child's
// failures are printed by the child and make it exit 1.
constexpr uid_t kNobody = 65534;
constexpr int kCannotRun = 77;

struct Scratch {
  std::string dir;
  Scratch() {
    char name[] = "/tmp/oomori-rank-XXXXXX";
    if (mkdtemp(name)) dir = name;
    chmod(dir.c_str(), 0755);
  }
  ~Scratch() {
    std::error_code ignored;
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(dir, ignored);
  }
  std::string Path(const char* name) const { return dir + "/" + name; }
};

// Returns the child's exit status, or kCannotRun when it could not become "nobody" or could not
// set up what it needs.
int RunChild(const std::string& dir, bool unprivileged, const std::function<void()>& fn) {
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    if (unprivileged && geteuid() == 0 &&
        (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
      _exit(kCannotRun);
    }
    if (chdir(dir.c_str()) != 0) _exit(kCannotRun);
    hl::Reset();
    fn();
    std::fflush(nullptr);
    _exit(testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void WriteFileAt(const Scratch& s, const std::vector<int32_t>& words, mode_t mode) {
  std::string cwd = std::filesystem::current_path();
  ASSERT_EQ(chdir(s.dir.c_str()), 0);
  WriteFile(words);
  ASSERT_EQ(chdir(cwd.c_str()), 0);
  chmod(s.Path("rank.dat").c_str(), mode);
}

TEST(RankingFiles, UnwritableDirectoryIsToldOnceAndRetried) {
  Scratch s;
  // The directory belongs to the player, who may make it writable again while the game runs.
  if (geteuid() == 0) {
    ASSERT_EQ(chown(s.dir.c_str(), kNobody, kNobody), 0);
  }
  chmod(s.dir.c_str(), 0555);
  int status = RunChild(s.dir, true, [] {
    RankingTable t;  // no file: the fresh one cannot be made
    ASSERT_EQ(hl::Boxes().size(), 1u);
    EXPECT_EQ(hl::Boxes()[0].caption, "エラー - Oomori.exe");
    EXPECT_TRUE(Contains(hl::Boxes()[0].text, FullPath())) << hl::Boxes()[0].text;
    EXPECT_TRUE(Contains(hl::Boxes()[0].text, "Permission denied")) << hl::Boxes()[0].text;
    EXPECT_EQ(t.Insert(50), 0);
    EXPECT_FALSE(t.Save());
    EXPECT_EQ(hl::Boxes().size(), 1u);
    EXPECT_EQ(t.Get(0), 50);  // kept in memory

    chmod(".", 0755);
    EXPECT_TRUE(t.Save());
    EXPECT_EQ(Words(), File({50, -1, -1, -1, -1}));

    // After a save that worked, the next failure is told again.
    chmod("rank.dat", 0444);
    chmod(".", 0555);
    EXPECT_EQ(t.Insert(60), 0);
    EXPECT_FALSE(t.Save());
    ASSERT_EQ(hl::Boxes().size(), 2u);
    EXPECT_TRUE(Contains(hl::Boxes()[1].text, "Permission denied"));
  });
  if (status == kCannotRun) GTEST_SKIP() << "cannot run a child as user nobody (65534)";
  EXPECT_EQ(status, 0);
}

TEST(RankingFiles, ReadOnlyDirectoryWithWritableFileIsWrittenInPlace) {
  Scratch s;
  WriteFileAt(s, kTwoResults, 0666);
  chmod(s.dir.c_str(), 0555);
  int status = RunChild(s.dir, true, [] {
    {
      RankingTable t;
      EXPECT_EQ(t.Insert(280), 1);
      EXPECT_TRUE(t.Save());
      EXPECT_EQ(t.Insert(10), 3);
    }  // and at exit
    EXPECT_TRUE(hl::Boxes().empty());
    EXPECT_EQ(Words(), File({300, 280, 250, 10, -1}));
  });
  if (status == kCannotRun) GTEST_SKIP() << "cannot run a child as user nobody (65534)";
  EXPECT_EQ(status, 0);
}

TEST(RankingFiles, UnreadableFileIsNeverReplaced) {
  Scratch s;
  WriteFileAt(s, kTwoResults, 0000);
  chmod(s.dir.c_str(), 0777);  // the directory would allow replacing it
  const std::vector<unsigned char> before = FileBytes(s.Path("rank.dat").c_str());
  int status = RunChild(s.dir, true, [] {
    {
      RankingTable t;
      ASSERT_EQ(hl::Boxes().size(), 1u);  // neither "damaged" box
      const std::string& text = hl::Boxes()[0].text;
      EXPECT_TRUE(Contains(text, FullPath())) << text;
      EXPECT_TRUE(Contains(text, "Permission denied")) << text;
      EXPECT_TRUE(Contains(text, "保存されません")) << text;
      EXPECT_EQ(t.IsEmpty(), 1);
      EXPECT_EQ(t.Insert(50), 0);
      EXPECT_FALSE(t.Save());
    }
    EXPECT_EQ(hl::Boxes().size(), 1u);
  });
  if (status == kCannotRun) GTEST_SKIP() << "cannot run a child as user nobody (65534)";
  EXPECT_EQ(status, 0);
  struct stat st;
  ASSERT_EQ(stat(s.Path("rank.dat").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0u);
  EXPECT_EQ(FileBytes(s.Path("rank.dat").c_str()), before);
  EXPECT_FALSE(Exists(s.Path("rank.dat.new").c_str()));
  EXPECT_FALSE(Exists(s.Path("rank.dat.bad").c_str()));
}

TEST(RankingFiles, DamagedFileThatCannotBeKeptAsideStaysAsItIs) {
  Scratch s;
  WriteFileAt(s, {300, 9999, -1, -1, -1, 1, 2, 3, 4, 5}, 0666);
  chmod(s.dir.c_str(), 0555);
  const std::vector<unsigned char> before = FileBytes(s.Path("rank.dat").c_str());
  int status = RunChild(s.dir, true, [] {
    RankingTable t;
    ASSERT_EQ(hl::Boxes().size(), 1u);
    const std::string& text = hl::Boxes()[0].text;
    EXPECT_TRUE(Contains(text, "rank.dat.bad")) << text;
    EXPECT_TRUE(Contains(text, FullPath())) << text;
    EXPECT_TRUE(Contains(text, "Permission denied")) << text;
    EXPECT_EQ(t.Get(0), -1);
    EXPECT_EQ(t.Insert(50), 0);
    EXPECT_FALSE(t.Save());
  });
  if (status == kCannotRun) GTEST_SKIP() << "cannot run a child as user nobody (65534)";
  EXPECT_EQ(status, 0);
  EXPECT_EQ(FileBytes(s.Path("rank.dat").c_str()), before);
}

TEST(RankingFiles, FullDisk) {
  // A one-page memory file system, mounted in a mount namespace of the child's own, so it is gone
  // with the child. Making one needs the right to mount.
  Scratch s;
  int status = RunChild(s.dir, false, [&s] {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", s.dir.c_str(), "tmpfs", 0, "size=4k") != 0 || chdir("/") != 0 || chdir(s.dir.c_str()) != 0) {
      _exit(kCannotRun);
    }
    {
      // No file and no room for one: told, and saved once there is room.
      std::ofstream("filler") << std::string(4096, 'x');
      RankingTable t;
      ASSERT_EQ(hl::Boxes().size(), 1u);
      EXPECT_TRUE(Contains(hl::Boxes()[0].text, FullPath())) << hl::Boxes()[0].text;
      EXPECT_TRUE(Contains(hl::Boxes()[0].text, "No space left on device")) << hl::Boxes()[0].text;
      EXPECT_FALSE(Exists("rank.dat"));
      EXPECT_FALSE(Exists("rank.dat.new"));
      EXPECT_EQ(t.Insert(70), 0);
      EXPECT_FALSE(t.Save());
      EXPECT_EQ(hl::Boxes().size(), 1u);
      std::remove("filler");
      EXPECT_TRUE(t.Save());
      EXPECT_EQ(Words(), File({70, -1, -1, -1, -1}));
    }
    // The file fills the disk: no room for a second file beside it, so it is written in place.
    WriteFile(kTwoResults);
    hl::Boxes().clear();
    RankingTable u;
    EXPECT_EQ(u.Insert(270), 1);
    EXPECT_TRUE(u.Save());
    EXPECT_TRUE(hl::Boxes().empty());
    EXPECT_EQ(Words(), File({300, 270, 250, -1, -1}));
  });
  if (status == kCannotRun) GTEST_SKIP() << "cannot mount a small memory file system here (needs the right to mount)";
  EXPECT_EQ(status, 0);
}

TEST_F(RankingTest, InsertOrderTiesAndOverflow) {
  RankingTable t;
  EXPECT_EQ(t.Insert(0), 0);  // any result beats an empty place
  EXPECT_EQ(t.IsEmpty(), 0);
  EXPECT_EQ(t.Insert(50), 0);
  EXPECT_EQ(t.Insert(30), 1);
  EXPECT_EQ(t.Insert(30), 2);  // an equal result ranks below the earlier one
  EXPECT_EQ(t.Insert(40), 1);
  EXPECT_EQ(t.Get(0), 50);
  EXPECT_EQ(t.Get(1), 40);
  EXPECT_EQ(t.Get(2), 30);
  EXPECT_EQ(t.Get(3), 30);
  EXPECT_EQ(t.Get(4), 0);
  EXPECT_EQ(t.Insert(0), -1);  // equal to the fifth place: not good enough
  EXPECT_EQ(t.Insert(-5), -1);
  EXPECT_EQ(t.Insert(35), 2);  // the fifth falls out
  EXPECT_EQ(t.Get(4), 30);
}

TEST_F(RankingTest, Grades) {
  RankingTable t;
  EXPECT_STREQ(t.GetGrade(121), "神");
  EXPECT_STREQ(t.GetGrade(120), "SS");
  EXPECT_STREQ(t.GetGrade(111), "SS");
  EXPECT_STREQ(t.GetGrade(110), "Ｓ");
  EXPECT_STREQ(t.GetGrade(100), "Ａ");
  EXPECT_STREQ(t.GetGrade(90), "Ｂ");
  EXPECT_STREQ(t.GetGrade(80), "Ｃ");
  EXPECT_STREQ(t.GetGrade(51), "Ｃ");
  EXPECT_STREQ(t.GetGrade(50), "Ｄ");
  EXPECT_STREQ(t.GetGrade(30), "Ｄ");
  EXPECT_STREQ(t.GetGrade(29), "Ｅ");
  EXPECT_STREQ(t.GetGrade(0), "Ｅ");
}

}  // namespace
