// Whole games on the headless host: scripted clicks through the real main loop, the game state
// checked along the way, the ranking and rank.dat at the end.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "el/elSystem.h"
#include "game/game_state.h"
#include "game/ranking.h"
#include "game/scenes.h"
#include "el/elMusic.h"
#include "el/elStream.h"
#include "el/sound/sound_state.h"
#include "platform/audio.h"
#include "platform/midi.h"
#include "platform/headless/headless.h"
#include "tests/support/game_driver.h"
#include "tests/support/game_script.h"

using namespace gametest;

namespace {

// From the next frame on, play runs fast until one second is left, then at the normal pace.
void FastUntilLastSecond(Driver& d) {
  d.Then([&d] {
    d.EachFrame([](int) {
      if (SceneNo == 20 && TimeLeft > 1) plat::headless::AdvanceMs(1000);
    });
  });
}

// Ends play in the coming frame (its countdown second is over).
void EndPlayNow() { plat::headless::AdvanceMs(1000); }

}  // namespace

TEST(GamePlay, BowlsGoIntoTheRankingAndRankDat) {
  RunResult r = RunGame([](Driver& d) {
    StartFromTitle(d);
    EatBowls(d, 3);
    FastClock(d);
    d.WhenScene(30, [] {
      // First frame of the result screen has run: the result is in the ranking.
      EXPECT_EQ(Bowls, 3);
      EXPECT_EQ(Rice, 10);
      EXPECT_EQ(RankPlace, 0);
      EXPECT_STREQ(RankGrade, "Ｅ");
      EXPECT_EQ(Ranking.Get(0), 30);
      EXPECT_EQ(Ranking.Get(1), -1);
      EXPECT_FALSE(Ranking.IsEmpty());
    });
    ReturnAndQuit(d);
  });
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.status, 0);
  long size = 0;
  std::vector<int32_t> v = ReadRankFile(&size);
  ASSERT_EQ(size, 40);
  const std::vector<int32_t> want = {30, -1, -1, -1, -1, 30 ^ 0x96, -1 ^ 0x96, -1 ^ 0x96, -1 ^ 0x96, -1 ^ 0x96};
  EXPECT_EQ(v, want);
}

TEST(GamePlay, ResultIsOnDiskBeforeTheProgramEnds) {
  // Killed on the result screen: no exit hook runs, so only a save made when the result was
  // entered can have put it into rank.dat.
  std::remove("rank.dat");
  RunResult r = RunGame(
      [](Driver& d) {
        StartFromTitle(d);
        EatBowls(d, 4);
        FastClock(d);
        d.WhenScene(30, [] { kill(getpid(), SIGKILL); });
      },
      SIGKILL);
  EXPECT_FALSE(r.exited);
  const std::vector<int32_t> want = {40, -1, -1, -1, -1, 40 ^ 0x96, -1 ^ 0x96, -1 ^ 0x96, -1 ^ 0x96, -1 ^ 0x96};
  EXPECT_EQ(ReadRankFile(), want);
}

TEST(GamePlay, LaterGamesStartFreshAndLoadNothing) {
  RunResult r = RunGame([](Driver& d) {
    auto objects = [] {
      return std::vector<int32_t>{TitleBackPic, TitleBack2Pic, BackPic, Gohan1Pic, Gohan2Pic, Hito1Pic, Hito2Pic,
                                  Hito3Pic, Hito4Pic, OwanPic, MisoPic, TablePic, ReadyPic, GoPic, SokoPic,
                                  TsubuPic, ReadySound, GoSound, PakuSound, OkawariSound, PlayMusic};
    };
    static std::vector<int32_t> first;
    // Game 1: two bowls.
    StartFromTitle(d);
    EatBowls(d, 2);
    FastClock(d);
    d.WhenScene(30, [objects] {
      EXPECT_EQ(Bowls, 2);
      EXPECT_EQ(RankPlace, 0);
      first = objects();
      EXPECT_GT(BackPic, 0);
      EXPECT_GT(TsubuPic, 0);
    });
    d.Then(LeftClick);
    // Game 2: five bowls, ranked first.
    d.WhenScene(10, [] {
      EXPECT_EQ(AssetsLoaded, 1);
      EXPECT_EQ(TimeLeft, 30);
      EXPECT_EQ(Bowls, 0);
      EXPECT_EQ(Rice, 10);
      EXPECT_EQ(TitleMenuShown, 0);
      LeftClick();
    });
    d.Then(LeftClick);
    d.WhenScene(15, [objects] { EXPECT_EQ(objects(), first) << "the second game loaded its assets again"; });
    d.WhenScene(20, [] {
      EXPECT_EQ(TimeLeft, 30);
      EXPECT_EQ(Bowls, 0);
      EXPECT_EQ(Rice, 10);
    });
    EatBowls(d, 5);
    FastClock(d);
    d.WhenScene(30, [] {
      EXPECT_EQ(Bowls, 5);
      EXPECT_EQ(RankPlace, 0);
      EXPECT_EQ(Ranking.Get(0), 50);
      EXPECT_EQ(Ranking.Get(1), 20);
    });
    d.Then(LeftClick);
    // Game 3: no bowl at all still enters 0 into an empty place.
    StartFromTitle(d);
    FastClock(d);
    d.WhenScene(30, [] {
      EXPECT_EQ(Bowls, 0);
      EXPECT_EQ(RankPlace, 2);
      EXPECT_STREQ(RankGrade, "Ｅ");
      EXPECT_EQ(Ranking.Get(2), 0);
    });
    ReturnAndQuit(d);
  });
  EXPECT_EQ(r.status, 0);
  std::vector<int32_t> v = ReadRankFile();
  ASSERT_EQ(v.size(), 10u);
  EXPECT_EQ(v[0], 50);
  EXPECT_EQ(v[1], 20);
  EXPECT_EQ(v[2], 0);
  EXPECT_EQ(v[3], -1);
}

TEST(GamePlay, ResultEqualToFifthPlaceDoesNotRank) {
  RunResult r = RunGame([](Driver& d) {
    for (int32_t v : {50, 40, 30, 20, 10}) Ranking.Insert(v);
    StartFromTitle(d);
    EatBowls(d, 1);
    FastClock(d);
    d.WhenScene(30, [] {
      EXPECT_EQ(Bowls, 1);
      EXPECT_EQ(RankPlace, -1);
      EXPECT_EQ(Ranking.Get(4), 10);
    });
    ReturnAndQuit(d);
  });
  EXPECT_EQ(r.status, 0);
}

// The refill: a right click counts the bowl and the new one arrives at the end of the 19th frame;
// a left click while more than 3 frames of it remain brings it at the end of that frame.
TEST(GamePlay, RefillTiming) {
  RunResult r = RunGame([](Driver& d) {
    static int clickFrame = -1;
    static std::vector<int> riceAfter;  // Rice after each frame since the right click
    StartFromTitle(d);
    d.When([] { return SceneNo == 20 && Rice == 10; }, LeftClick);
    d.When([] { return SceneNo == 20; }, [] {
      // The bite has emptied the bowl at the end of the frame.
      EXPECT_EQ(Rice, -1);
      EXPECT_EQ(EatFrames, 4);
      // A left click on the empty bowl changes nothing.
      LeftClick();
    });
    d.Then([&d] {
      EXPECT_EQ(Rice, -1);
      EXPECT_EQ(EatFrames, 3);
      clickFrame = d.Frame();
      RightClick();
    });
    d.EachFrame([](int frame) {
      if (clickFrame >= 0 && frame > clickFrame && frame <= clickFrame + 20) riceAfter.push_back(Rice);
    });
    d.AfterFrames(20, [] {
      EXPECT_EQ(Bowls, 1);
      ASSERT_EQ(riceAfter.size(), 20u);
      // After frames 1..18 (counting the click's frame as 1) the bowl is still coming.
      for (int i = 0; i < 18; ++i) EXPECT_EQ(riceAfter[i], -1) << "after frame " << i + 1;
      EXPECT_EQ(riceAfter[18], 10);
      EXPECT_EQ(riceAfter[19], 10);
      EXPECT_EQ(RefillFrames, 0);
    });
    // A right click on a full bowl does nothing.
    d.Then(RightClick);
    d.Then([] {
      EXPECT_EQ(Bowls, 1);
      EXPECT_EQ(RefillFrames, 0);
      LeftClick();
    });
    d.Then(RightClick);
    // During the refill: a second right click changes nothing, a left click with 3 frames left
    // changes nothing, one with more than 3 frames left hurries it.
    d.Then([] {
      EXPECT_EQ(RefillFrames, 19);
      RightClick();
    });
    d.Then([] {
      EXPECT_EQ(Bowls, 2);
      EXPECT_EQ(RefillFrames, 18);
      LeftClick();
    });
    d.Then([] {
      EXPECT_EQ(RefillFrames, 1);
      EXPECT_EQ(Rice, 10) << "a left click with 18 refill frames left brings the bowl at once";
      LeftClick();  // eat it
    });
    d.Then(RightClick);
    d.When([] { return RefillFrames == 3; }, LeftClick);
    d.Then([] {
      EXPECT_EQ(RefillFrames, 2) << "a left click with 3 refill frames left changes nothing";
      EXPECT_EQ(Rice, -1);
    });
    d.Then([] {
      EXPECT_EQ(RefillFrames, 1);
      EXPECT_EQ(Rice, 10);
      EXPECT_EQ(Bowls, 3);
    });
    FastClock(d);
    ReturnAndQuit(d);
  });
  EXPECT_EQ(r.status, 0);
}

TEST(GamePlay, TwoLeftClicksInOneFrameEatOnce) {
  RunResult r = RunGame([](Driver& d) {
    StartFromTitle(d);
    d.When([] { return SceneNo == 20 && Rice == 10; }, [] {
      LeftClick();
      LeftClick();
    });
    d.Then([] {
      EXPECT_EQ(Rice, -1);
      EXPECT_EQ(EatFrames, 4);
      int active = 0;
      for (const Grain& g : Grains) active += g.active;
      EXPECT_EQ(active, 5) << "one bite throws five grains";
    });
    FastClock(d);
    ReturnAndQuit(d);
  });
  EXPECT_EQ(r.status, 0);
}

// A right click in the frame that ends play, or in any of the 17 before it, counts the bowl but its
// refill does not arrive; time-up then refills it without counting it again.
TEST(GamePlay, RightClickInTheLastEighteenFrames) {
  for (int before : {0, 17, 18}) {
    SCOPED_TRACE(before);
    RunResult r = RunGame([before](Driver& d) {
      StartFromTitle(d);
      FastUntilLastSecond(d);
      d.When([] { return SceneNo == 20 && TimeLeft == 1 && Rice == 10; }, LeftClick);
      d.When([] { return Rice == -1; }, RightClick);
      if (before == 0) {
        // The click's own frame ends play.
        d.EachFrame([](int) {
          static bool done = false;
          if (!done && SceneNo == 20 && Rice == -1 && RefillFrames == 0 && Bowls == 0 && TimeLeft == 1) {
            done = true;
            EndPlayNow();
          }
        });
      } else {
        d.AfterFrames(before - 1, EndPlayNow);
      }
      d.WhenScene(25, [before] {
        EXPECT_EQ(Bowls, 1);
        if (before < 18) {
          EXPECT_EQ(Rice, -1) << "the refill has not arrived";
          EXPECT_EQ(RefillFrames, 19 - before);
        } else {
          EXPECT_EQ(Rice, 10);
        }
      });
      d.WhenScene(30, [] {
        EXPECT_EQ(Bowls, 1);
        EXPECT_EQ(Rice, 10);
        EXPECT_EQ(Ranking.Get(0), 10);
      });
      ReturnAndQuit(d);
    });
    EXPECT_EQ(r.status, 0);
  }
}

TEST(GamePlay, EmptiedBowlWithoutRightClickCountsAtTimeUp) {
  RunResult r = RunGame([](Driver& d) {
    StartFromTitle(d);
    EatBowls(d, 2);
    FastUntilLastSecond(d);
    d.When([] { return SceneNo == 20 && TimeLeft == 1 && Rice == 10 && RefillFrames == 0; }, LeftClick);
    d.Then(EndPlayNow);
    d.WhenScene(25, [] {
      EXPECT_EQ(Bowls, 2);
      EXPECT_EQ(Rice, -1);
      EXPECT_EQ(RefillFrames, 0);
    });
    d.WhenScene(30, [] {
      EXPECT_EQ(Bowls, 3);
      EXPECT_EQ(Rice, 10);
      EXPECT_EQ(Ranking.Get(0), 30);
    });
    ReturnAndQuit(d);
  });
  EXPECT_EQ(r.status, 0);
}

TEST(GamePlay, AtMostFiftyGrainsFly) {
  RunResult r = RunGame([](Driver& d) {
    static int most = 0;
    d.EachFrame([](int) {
      int active = 0;
      for (const Grain& g : Grains) {
        active += g.active;
        if (g.active) {
          // Thrown up to 30 degrees either side of straight up at 10 pixels a frame.
          EXPECT_LE(std::abs(g.vx), 5.01);
          EXPECT_LE(g.y, 480);
        }
      }
      EXPECT_LE(active, kGrainCount);
      if (active > most) most = active;
    });
    StartFromTitle(d);
    EatBowls(d, 15, /*hurry=*/true);
    d.Then([] {
      EXPECT_EQ(most, kGrainCount) << "fast eating fills the grain table";
      // With every grain in flight a bite throws none.
      for (Grain& g : Grains) g.active = 1;
      Grain before[kGrainCount];
      std::memcpy(before, Grains, sizeof before);
      BurstGrains();
      EXPECT_EQ(std::memcmp(before, Grains, sizeof before), 0);
    });
    FastClock(d);
    ReturnAndQuit(d);
  });
  EXPECT_EQ(r.status, 0);
}

// Switching away during play stops the frames; back again, the countdown has lost one second.
TEST(GamePlay, CountdownAfterTheWindowWasInactive) {
  RunResult r = RunGame([](Driver& d) {
    static int32_t leftBefore = 0;
    static int resumeFrame = 0;
    static int nextTick = -1;
    StartFromTitle(d);
    d.When([] { return SceneNo == 20 && TimeLeft == 27; }, [&d] {
      leftBefore = TimeLeft;
      d.PauseApp(10000);
    });
    d.Then([&d] {
      // The first frame after the pause has counted one second, however long the pause was.
      EXPECT_EQ(TimeLeft, leftBefore - 1);
      resumeFrame = d.Frame() - 1;
    });
    d.When([] { return TimeLeft == leftBefore - 2; }, [&d] { nextTick = d.Frame(); });
    d.Then([] {
      // The second restarted at that frame, so the next one took a full second of frames.
      EXPECT_GE(nextTick - resumeFrame, 55);
      EXPECT_LE(nextTick - resumeFrame, 66);
    });
    FastClock(d);
    ReturnAndQuit(d);
  });
  EXPECT_EQ(r.status, 0);
}

namespace {

bool MusicPlaying(int32_t object) {
  const MusicSlot& m = MusicObject[object];
  return m.performance != nullptr && m.segment != nullptr &&
         plat::MidiPerformanceIsPlaying(m.performance, m.segment, 0) == plat::MIDI_OK;
}

bool SoundPlaying(int32_t object) {
  if (object < 0) return false;
  uint32_t status = 0;
  plat::AudioGetStatus(SoundObject[object].buffer[0], &status);
  return (status & plat::kAudioStatusPlaying) != 0;
}

}  // namespace

// The four sounds start with their captions and clicks, not before.
TEST(GamePlay, SoundsOfTheGame) {
  RunResult r = RunGame([](Driver& d) {
    StartFromTitle(d);
    d.When([] { return SceneNo == 15 && ReadyFrame == 60; }, [] {
      EXPECT_GE(ReadySound, 0);
      EXPECT_FALSE(SoundPlaying(ReadySound));
    });
    d.Then([] {
      EXPECT_TRUE(SoundPlaying(ReadySound)) << "S-READY with the ready caption";
      EXPECT_FALSE(SoundPlaying(GoSound));
    });
    d.When([] { return ReadyFrame == 121; }, [] { EXPECT_TRUE(SoundPlaying(GoSound)) << "S-GO with the go caption"; });
    d.When([] { return SceneNo == 20 && Rice == 10; }, [] {
      EXPECT_FALSE(SoundPlaying(PakuSound));
      LeftClick();
    });
    d.Then([] {
      EXPECT_TRUE(SoundPlaying(PakuSound)) << "PAKU with the bite";
      EXPECT_FALSE(SoundPlaying(OkawariSound));
      RightClick();
    });
    d.Then([] { EXPECT_TRUE(SoundPlaying(OkawariSound)) << "OKAWARI with the call for another bowl"; });
    d.Then(PressEscape);
  });
  EXPECT_EQ(r.status, 0);
}

// The play music through the game, the time-up jingle, the result music, and the title tune back
// on the title.
TEST(GamePlay, MusicOfTheGame) {
  RunResult r = RunGame([](Driver& d) {
    d.WhenScene(10, [] { EXPECT_EQ(elStream::GetState(), 1) << "title tune"; });
    StartFromTitle(d);
    d.WhenScene(15, [] {
      EXPECT_NE(elStream::GetState(), 1) << "the title tune stops when a game starts";
      EXPECT_FALSE(MusicPlaying(PlayMusic));
    });
    d.WhenScene(20, [] { EXPECT_TRUE(MusicPlaying(PlayMusic)); });
    FastClock(d);
    d.WhenScene(25, [] {
      EXPECT_FALSE(MusicPlaying(PlayMusic));
      EXPECT_TRUE(MusicPlaying(OwariMusic));
    });
    d.WhenScene(30, [] { EXPECT_TRUE(MusicPlaying(ResultMusic)); });
    d.Then(LeftClick);
    d.WhenScene(10, [] {
      EXPECT_FALSE(MusicPlaying(ResultMusic));
      EXPECT_FALSE(MusicPlaying(OwariMusic));
      EXPECT_EQ(elStream::GetState(), 1) << "title tune again";
    });
    d.Then(PressEscape);
  });
  EXPECT_EQ(r.status, 0);
}
