// The title menu and the ranking screen, driven through the real main loop.
#include <gtest/gtest.h>

#include "el/elSystem.h"
#include "game/game_state.h"
#include "game/ranking.h"
#include "tests/support/game_driver.h"
#include "tests/support/game_script.h"

using namespace gametest;

TEST(GameTitle, MenuNeedsTheFirstClickAndAnEmptyRankingOffersNoRankingScreen) {
  RunResult r = RunGame([](Driver& d) {
    d.WhenScene(10, [] {
      EXPECT_TRUE(Ranking.IsEmpty());
      EXPECT_EQ(TitleMenuShown, 0);
      RightClick();  // before the menu: nothing
    });
    d.AfterFrames(2, [] {
      EXPECT_EQ(SceneNo, 10);
      EXPECT_EQ(TitleMenuShown, 0);
      LeftClick();  // the first left click only shows the menu
    });
    d.AfterFrames(2, [] {
      EXPECT_EQ(SceneNo, 10);
      EXPECT_EQ(TitleMenuShown, 1);
      EXPECT_EQ(BackPic, 0) << "no game asset is loaded before a game starts";
      RightClick();  // empty ranking: nothing
    });
    d.AfterFrames(2, [] {
      EXPECT_EQ(SceneNo, 10);
      EXPECT_EQ(TitleMenuShown, 1);
      PressEscape();
    });
  });
  EXPECT_EQ(r.status, 0);
  // Escape on the title: the (empty) ranking is written at exit.
  long size = 0;
  std::vector<int32_t> v = ReadRankFile(&size);
  EXPECT_EQ(size, 40);
  ASSERT_EQ(v.size(), 10u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(v[i], -1);
}

TEST(GameTitle, RankingScreenAndBack) {
  RunResult r = RunGame([](Driver& d) {
    for (int32_t v : {1215, 1150, 1010, 35}) Ranking.Insert(v);
    d.WhenScene(10, LeftClick);
    d.Then(RightClick);
    d.WhenScene(40, [] {
      // Grades taken on entry; the empty place gets the grade of 0 bowls.
      EXPECT_STREQ(RankGrades[0], "神");
      EXPECT_STREQ(RankGrades[1], "SS");
      EXPECT_STREQ(RankGrades[2], "Ｓ");
      EXPECT_STREQ(RankGrades[3], "Ｅ");
      EXPECT_STREQ(RankGrades[4], "Ｅ");
      RightClick();  // nothing here
    });
    d.AfterFrames(2, [] {
      EXPECT_EQ(SceneNo, 40);
      LeftClick();
    });
    d.Then([] {
      EXPECT_EQ(SceneNo, 10);
      EXPECT_EQ(TitleMenuShown, 1) << "the menu stays up on return";
      // Right then left in one frame: the game starts.
      RightClick();
      LeftClick();
    });
    d.Then([] {
      EXPECT_EQ(SceneNo, 15);
      EXPECT_EQ(TitleMenuShown, 0);
      EXPECT_GT(BackPic, 0);
    });
    d.WhenScene(20, PressEscape);
  });
  EXPECT_EQ(r.status, 0);
  // The game was left during play: only the four results stand.
  std::vector<int32_t> v = ReadRankFile();
  ASSERT_EQ(v.size(), 10u);
  EXPECT_EQ(v[0], 1215);
  EXPECT_EQ(v[3], 35);
  EXPECT_EQ(v[4], -1);
}

TEST(GameTitle, LeftThenRightInOneFrameStartsTheGame) {
  RunResult r = RunGame([](Driver& d) {
    Ranking.Insert(20);
    d.WhenScene(10, LeftClick);
    d.Then([] {
      LeftClick();
      RightClick();
    });
    d.Then([] { EXPECT_EQ(SceneNo, 15); });
    d.Then(PressEscape);
  });
  EXPECT_EQ(r.status, 0);
}

TEST(GameTitle, ReadySceneLeadsToPlayAfter182Frames) {
  RunResult r = RunGame([](Driver& d) {
    static int start = 0;
    StartFromTitle(d);
    d.WhenScene(15, [&d] {
      start = d.Frame() - 1;  // the ready scene's first frame has run
      EXPECT_EQ(ReadyFrame, 1);
    });
    d.WhenScene(20, [&d] {
      EXPECT_EQ(d.Frame() - 1 - start, 182) << "frames of the ready scene";
      PressEscape();
    });
  });
  EXPECT_EQ(r.status, 0);
}
