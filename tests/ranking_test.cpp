// The ranking table and rank.dat: insertion against a model over random results, loading of good,
// damaged and short files, and saving where the file or its directory cannot be written.
#include <gtest/gtest.h>

#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "game/ranking.h"
#include "platform/headless/headless.h"
#include "tests/support/files.h"

namespace hl = plat::headless;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes FileBytes(const std::string& name = "rank.dat") { return testfiles::ReadFile(name); }
using testfiles::RankFile;

void Write(const Bytes& b, const char* name = "rank.dat") {
  std::ofstream(name, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(b.data()), b.size());
}

std::vector<int32_t> Places(const RankingTable& t) {
  std::vector<int32_t> v;
  for (int i = -1; i <= 5; ++i) v.push_back(t.Get(i));
  return v;  // -1 and 5 read as empty places
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class Ranking : public ::testing::Test {
 protected:
  void SetUp() override {
    hl::Reset();
    std::error_code ignored;
    for (const char* n : {"rank.dat", "rank.dat.new", "rank.dat.bad", "rank.dat.bad2"}) std::filesystem::remove_all(n, ignored);
  }
};

// The model: every result ever entered, in order after the five empty places of a fresh file; the
// table is their stable sort, best first, cut to five (so an equal result ranks below the earlier).
TEST_F(Ranking, InsertSaveAndLoadAgreeWithASortedHistory) {
  std::mt19937 rng(20261206);
  std::vector<int32_t> history(5, -1);
  auto top5 = [&history] {
    std::vector<int32_t> s = history;
    std::stable_sort(s.begin(), s.end(), std::greater<int32_t>());
    return std::vector<int32_t>(s.begin(), s.begin() + 5);
  };
  for (int session = 0; session < 12; ++session) {
    RankingTable t;  // the first time from no file: written empty at once
    ASSERT_TRUE(hl::Boxes().empty());
    EXPECT_EQ(FileBytes(), RankFile(top5()));
    EXPECT_EQ(t.IsEmpty(), top5()[0] == -1) << session;
    for (int n = 0; n < 15; ++n) {
      const int32_t v = rng() % 8 == 0 ? static_cast<int32_t>(rng()) : static_cast<int32_t>(rng() % 40) - 3;
      std::vector<int32_t> before = top5();
      history.push_back(v);
      std::vector<int32_t> after = top5();
      // The place of the new entry in the stable sort, if it made the five.
      int32_t want = -1;
      if (after != before) want = static_cast<int32_t>(std::mismatch(after.begin(), after.end(), before.begin()).first - after.begin());
      ASSERT_EQ(t.Insert(v), want) << "insert " << v;
      if (want < 0) history.pop_back();  // it can never rank later either
      std::vector<int32_t> expect = top5();
      expect.insert(expect.begin(), -1);
      expect.push_back(-1);
      ASSERT_EQ(Places(t), expect);
      EXPECT_TRUE(want < 0 || t.IsEmpty() == 0);
    }
    if (session % 2) {
      EXPECT_TRUE(t.Save());
      EXPECT_EQ(FileBytes(), RankFile(top5()));
    }
  }  // and written back when the table ends
  EXPECT_EQ(FileBytes(), RankFile(top5()));
}

TEST_F(Ranking, GradesByBowls) {
  struct Band { int from; const char* grade; };
  const Band bands[] = {{121, "神"}, {111, "SS"}, {101, "Ｓ"}, {91, "Ａ"}, {81, "Ｂ"}, {51, "Ｃ"}, {30, "Ｄ"}, {0, "Ｅ"}};
  RankingTable t;
  for (int b = 0; b <= 140; ++b) {
    const Band* band = std::find_if(std::begin(bands), std::end(bands), [b](const Band& x) { return b >= x.from; });
    EXPECT_STREQ(t.GetGrade(b), band->grade) << b;
  }
}

// A wrong check value at any place, or a file cut short anywhere, is damage: both boxes, the file
// copied aside byte for byte (never over an older copy), an empty table written at once.
TEST_F(Ranking, DamagedAndShortFilesAreKeptAsideAndReset) {
  std::vector<std::pair<Bytes, std::string>> cases;
  const int32_t rice[] = {300, 250, 120, 40, 7};
  for (int place = 0; place < 5; ++place) {
    Bytes b = RankFile({rice, rice + 5});
    b[20 + 4 * place] ^= 0x10;
    const int32_t r = rice[place];
    cases.push_back({b, "checkData[i] = " + std::to_string((r ^ 0x96) ^ 0x10) + "\nrice[i] = " + std::to_string(r) +
                            "\nrice[i] ^ 0x96 = " + std::to_string(r ^ 0x96)});
  }
  // Five results of 150 with no check values: 150 ^ 0x96 is 0, which a zero-filled read would match.
  const Bytes full = RankFile({150, 150, 150, 150, 150});
  for (size_t size : {0, 4, 20, 24, 39}) cases.push_back({Bytes(full.begin(), full.begin() + size), ""});
  for (const auto& [bytes, debug] : cases) {
    SCOPED_TRACE(bytes.size());
    SetUp();
    Write(RankFile({1, 1, 1, 1, 1}), "rank.dat.bad");
    Write(bytes);
    RankingTable t;
    ASSERT_EQ(hl::Boxes().size(), 2u);
    EXPECT_EQ(hl::Boxes()[0].caption, "エラー - Oomori.exe");
    EXPECT_EQ(hl::Boxes()[0].text, "ランキングデータの入ったファイルが壊れている可能性があります。\n新しくランキングデータを作ります。");
    EXPECT_EQ(hl::Boxes()[0].style, 0x30u);
    EXPECT_EQ(hl::Boxes()[1].caption, "debug");
    EXPECT_TRUE(debug.empty() || hl::Boxes()[1].text == debug) << hl::Boxes()[1].text;
    EXPECT_EQ(t.IsEmpty(), 1);
    EXPECT_EQ(Places(t), std::vector<int32_t>(7, -1));
    EXPECT_EQ(FileBytes(), RankFile({-1, -1, -1, -1, -1}));
    EXPECT_EQ(FileBytes("rank.dat.bad"), RankFile({1, 1, 1, 1, 1}));
    EXPECT_EQ(FileBytes("rank.dat.bad2"), bytes);
  }
  SetUp();  // the first copy aside takes the plain name
  Bytes damaged = RankFile({1, 2, 3, 4, 6});
  Write((damaged[24] ^= 1, damaged));
  EXPECT_EQ((RankingTable(), FileBytes("rank.dat.bad")), damaged);
}

TEST_F(Ranking, OnlyAChangedTableIsWritten) {
  const Bytes newer = RankFile({400, 300, 250, -1, -1});
  Write(RankFile({300, 250, -1, -1, -1}));
  {
    // A second copy loads the file and ends at once; the first has meanwhile saved a newer table.
    RankingTable second;
    Write(newer);
    EXPECT_EQ(second.Insert(-7), -1);
  }
  EXPECT_EQ(FileBytes(), newer);
}

// Cases the player may not read or write run in a forked child as "nobody" (root ignores mode bits)
// in a scratch directory; a child that cannot set itself up exits kCannotRun.
constexpr uid_t kNobody = 65534;
constexpr int kCannotRun = 77;

struct Scratch {
  std::string dir;
  Scratch() {
    char name[] = "/tmp/oomori-rank-XXXXXX";
    if (mkdtemp(name)) dir = name;
    chmod(dir.c_str(), 0755);
    if (geteuid() == 0 && chown(dir.c_str(), kNobody, kNobody) != 0) dir.clear();
  }
  ~Scratch() {
    chmod(dir.c_str(), 0700);
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }
  std::string Path(const char* name) const { return dir + "/" + name; }
};

void RunChild(const Scratch& s, bool asNobody, const std::function<void()>& fn) {
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    if (s.dir.empty() || chdir(s.dir.c_str()) != 0) _exit(kCannotRun);
    if (asNobody && geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0))
      _exit(kCannotRun);
    hl::Reset();
    fn();
    std::fflush(nullptr);
    _exit(testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status) && WEXITSTATUS(status) == kCannotRun) GTEST_SKIP() << "cannot set up the child here";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child failed (see its output)";
}

void ExpectOneBox(const char* cause) {
  char cwd[PATH_MAX];
  const std::string path = std::string(getcwd(cwd, sizeof cwd) ? cwd : "?") + "/rank.dat";
  ASSERT_EQ(hl::Boxes().size(), 1u);
  EXPECT_EQ(hl::Boxes()[0].caption, "エラー - Oomori.exe");
  EXPECT_TRUE(Has(hl::Boxes()[0].text, path) && Has(hl::Boxes()[0].text, cause)) << hl::Boxes()[0].text;
}

TEST(RankingFiles, ReadOnlyDirectoryIsToldOnceRetriedAndAnExistingFileWrittenInPlace) {
  Scratch s;
  RunChild(s, true, [] {
    chmod(".", 0555);
    RankingTable t;  // no file, and no fresh one can be made
    ExpectOneBox("Permission denied");
    EXPECT_EQ(t.Insert(50), 0);
    EXPECT_FALSE(t.Save());
    EXPECT_EQ(hl::Boxes().size(), 1u);
    EXPECT_EQ(t.Get(0), 50);
    chmod(".", 0755);
    EXPECT_TRUE(t.Save());
    EXPECT_EQ(FileBytes(), RankFile({50, -1, -1, -1, -1}));
    // The directory read-only again, the file writable: written over in place.
    chmod(".", 0555);
    EXPECT_EQ(t.Insert(60), 0);
    EXPECT_TRUE(t.Save());
    EXPECT_EQ(FileBytes(), RankFile({60, 50, -1, -1, -1}));
    // Neither writable: told again, since the last save worked.
    chmod("rank.dat", 0444);
    EXPECT_EQ(t.Insert(70), 0);
    EXPECT_FALSE(t.Save());
    EXPECT_EQ(hl::Boxes().size(), 2u);
  });
}

// A file that cannot be read (no permission, a directory of that name), or a damaged one that cannot
// be copied aside, is left as it is for the whole run: told once, never written.
TEST(RankingFiles, UnreadableOrUncopyableFilesAreNeverReplaced) {
  for (int kind : {0, 1, 2}) {
    Scratch s;
    Bytes before = RankFile({300, 250, -1, -1, -1});
    if (kind == 1) before[4] ^= 0x10;  // damaged
    if (kind < 2) Write(before, s.Path("rank.dat").c_str());
    if (kind == 2) mkdir(s.Path("rank.dat").c_str(), 0755);
    chmod(s.Path("rank.dat").c_str(), kind == 0 ? 0000 : 0666);
    if (kind == 1) chmod(s.dir.c_str(), 0555);  // no room for the copy
    RunChild(s, true, [kind] {
      {
        RankingTable t;
        ExpectOneBox(kind == 2 ? "Is a directory" : "Permission denied");
        EXPECT_TRUE(Has(hl::Boxes()[0].text, kind == 1 ? "rank.dat.bad" : "保存されません"));
        EXPECT_EQ(t.Get(0), -1);
        EXPECT_EQ(t.Insert(50), 0);
        EXPECT_FALSE(t.Save());
      }
      EXPECT_EQ(hl::Boxes().size(), 1u);
    });
    EXPECT_EQ(FileBytes(s.Path("rank.dat")), kind < 2 ? before : Bytes());
    EXPECT_EQ(std::filesystem::is_directory(s.Path("rank.dat")), kind == 2);
    EXPECT_FALSE(std::filesystem::exists(s.Path("rank.dat.new")) || std::filesystem::exists(s.Path("rank.dat.bad")));
  }
}

TEST(RankingFiles, FullDisk) {
  // A one-page memory file system in a mount namespace of the child's own.
  Scratch s;
  RunChild(s, false, [&s] {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", s.dir.c_str(), "tmpfs", 0, "size=4k") != 0 || chdir("/") != 0 || chdir(s.dir.c_str()) != 0)
      _exit(kCannotRun);
    std::ofstream("filler") << std::string(4096, 'x');
    RankingTable t;
    ExpectOneBox("No space left on device");
    EXPECT_FALSE(std::filesystem::exists("rank.dat") || std::filesystem::exists("rank.dat.new"));
    EXPECT_EQ(t.Insert(70), 0);
    EXPECT_FALSE(t.Save());
    std::remove("filler");
    EXPECT_TRUE(t.Save());
    EXPECT_EQ(FileBytes(), RankFile({70, -1, -1, -1, -1}));
  });
}

}  // namespace
