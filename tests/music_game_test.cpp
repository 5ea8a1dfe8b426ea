// Music in whole games, each forked. This process never loads a SoundFont: the loader's thread pool
// does not survive into a child forked after it started, whose own load would then wait for ever.
#include <gtest/gtest.h>

#include "el/elMusic.h"
#include "game/game_state.h"
#include "tests/support/game_driver.h"
#include "tests/support/game_script.h"
#include "tests/support/music_support.h"

namespace {

bool Sounding(int32_t object) {
  const MusicSlot& m = MusicObject[object];
  return m.performance != nullptr && plat::MidiPerformanceIsPlaying(m.performance, m.segment, 0) == plat::MIDI_OK;
}

// A port of one channel group: "MUSIC2" loads as object 0, the two after it are refused. Object 0
// must not then be played in their place at time up and at the result.
TEST(MusicInTheGame, APieceThatFailedToLoadIsNotPlayedInPlaceOfAnother) {
  plat::headless::Reset();
  plat::MidiTestSetPorts(false, true);
  plat::MidiTestSetSoundFont(musictest::SmallSoundFont());
  const gametest::RunResult r = gametest::RunGame([](gametest::Driver& d) {
    d.WhenScene(10, [] { ASSERT_EQ(elMusic::Port(0, 2, 22, 8, 0), 1); });
    gametest::StartFromTitle(d);
    d.WhenScene(20, [] {
      EXPECT_EQ(std::vector<int>({PlayMusic, OwariMusic, ResultMusic}), std::vector<int>({0, -1, -1}));
      EXPECT_TRUE(Sounding(0)) << "the play tune";
    });
    gametest::FastClock(d);
    d.WhenScene(25, [] { EXPECT_FALSE(Sounding(0)) << "the play tune again, as the time-up jingle"; });
    d.WhenScene(30, [] { EXPECT_FALSE(Sounding(0)) << "the play tune again, as the result tune"; });
    d.Then(gametest::PressEscape);
  });
  EXPECT_EQ(std::to_string(r.status) + r.log, "0");
}

}  // namespace
