// Music in whole games, each in a forked process of its own. This binary never loads a SoundFont
// itself: the SoundFont loader's thread pool does not survive into a child forked after it started,
// whose own load would then wait for it for ever.
#include <gtest/gtest.h>

#include "el/elMusic.h"
#include "el/elSystem.h"
#include "game/game_state.h"
#include "platform/clock.h"
#include "tests/support/game_driver.h"
#include "tests/support/game_script.h"
#include "tests/support/music_support.h"

namespace {

bool Sounding(int32_t object) {
  const MusicSlot& m = MusicObject[object];
  return m.performance != nullptr && plat::MidiPerformanceIsPlaying(m.performance, m.segment, 0) == plat::MIDI_OK;
}

// Runs a game whose host has an audio device, the small SoundFont and the given MIDI ports.
void RunGame(bool synthesizer, const std::function<void(gametest::Driver&)>& script) {
  plat::headless::Reset();
  plat::headless::SetAudioDeviceRate(48000);
  plat::MidiTestSetPorts(synthesizer, !synthesizer);
  plat::MidiTestSetSoundFont(musictest::SmallSoundFont());
  gametest::RunResult r = gametest::RunGame(script);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.log, "");
}

// A port of one channel group: "MUSIC2" loads as object 0, the two after it are refused. Object 0
// must not then be played in their place at time up and at the result.
TEST(MusicInTheGame, APieceThatFailedToLoadIsNotPlayedInPlaceOfAnother) {
  RunGame(false, [](gametest::Driver& d) {
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
}

// The main loop's once-a-second check ends a non-repeating file piece and raises MusicFileEnded; the
// first check comes three seconds after the start.
TEST(MusicInTheGame, TheEndCheckFindsTheFilePieceOverAndSetsMusicFileEnded) {
  RunGame(true, [](gametest::Driver& d) {
    static const std::string file = std::string(elSystem::GetProgramDir(0)) + "music_game_test_half.mid";
    musictest::WriteFile(file, musictest::ReadData("note_half_second.mid"));
    static uint32_t started;
    d.EachFrame([](int) { musictest::Pull(16, 48000); });  // the device plays as the frames go by
    d.WhenScene(10, [] {
      elMusic::PlayFile("music_game_test_half.mid", 0);
      started = plat::TimeMs();
    });
    d.When([] { return MusicFileEnded != 0 || plat::TimeMs() - started > 10000; }, [] {
      EXPECT_GE(plat::TimeMs() - started, 3000u);
      EXPECT_LT(plat::TimeMs() - started, 3200u);
      EXPECT_EQ(MusicFilePlaying, 0);
      gametest::PressEscape();
    });
    d.AtEnd([] { std::remove(file.c_str()); });
  });
}

}  // namespace
