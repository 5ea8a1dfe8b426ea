#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "game/ranking.h"
#include "platform/headless/headless.h"

namespace hl = plat::headless;

namespace {

std::vector<unsigned char> FileBytes() {
  std::ifstream f("rank.dat", std::ios::binary);
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

const std::vector<int32_t> kEmptyFile = {-1, -1, -1, -1, -1, -1 ^ 0x96, -1 ^ 0x96, -1 ^ 0x96, -1 ^ 0x96, -1 ^ 0x96};

class RankingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hl::Reset();
    std::remove("rank.dat");
    rmdir("rank.dat.new");
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
  EXPECT_EQ(Words(), (std::vector<int32_t>{300, 260, 250, 120, 40, 300 ^ 0x96, 260 ^ 0x96, 250 ^ 0x96, 120 ^ 0x96,
                                           40 ^ 0x96}));
}

TEST_F(RankingTest, EditedFileShowsBothBoxesAndStartsEmpty) {
  WriteFile({300, 9999, 120, 40, -1, 300 ^ 0x96, 250 ^ 0x96, 120 ^ 0x96, 40 ^ 0x96, -1 ^ 0x96});
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

TEST_F(RankingTest, UnwritableFileLeavesTableAndOldFileAlone) {
  WriteFile({300, 250, 120, 40, -1, 300 ^ 0x96, 250 ^ 0x96, 120 ^ 0x96, 40 ^ 0x96, -1 ^ 0x96});
  std::vector<unsigned char> before = FileBytes();
  ASSERT_EQ(mkdir("rank.dat.new", 0700), 0);  // the save's temporary file cannot be created
  {
    RankingTable t;
    EXPECT_EQ(t.Insert(500), 0);
    t.Reset();
    EXPECT_EQ(t.Get(0), -1);
    EXPECT_EQ(FileBytes(), before);
    EXPECT_EQ(t.Insert(7), 0);
    EXPECT_EQ(t.Get(0), 7);
  }
  EXPECT_EQ(FileBytes(), before);
  rmdir("rank.dat.new");
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
