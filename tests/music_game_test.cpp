// Music in whole games, each in a forked process of its own. This binary never loads a SoundFont
// itself: the SoundFont loader's thread pool does not survive into a child forked after it started,
// whose own load would then wait for it for ever.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "el/elMusic.h"
#include "el/elSystem.h"
#include "game/game_state.h"
#include "game/scenes.h"
#include "platform/clock.h"
#include "platform/midi.h"
#include "tests/support/game_driver.h"
#include "tests/support/game_script.h"
#include "tests/support/music_support.h"

namespace hl = plat::headless;

namespace {

bool Sounding(int32_t object) {
  if (object < 0) return false;
  const MusicSlot& m = MusicObject[object];
  return m.performance != nullptr && plat::MidiPerformanceIsPlaying(m.performance, m.segment, 0) == plat::MIDI_OK;
}

class MusicInTheGame : public ::testing::Test {
 protected:
  void SetUp() override {
    hl::Reset();
    hl::SetAudioDeviceAvailable(true);
    hl::SetAudioDeviceRate(48000);
    hl::SetAudioPeriodFrames(0);
    plat::MidiTestSetPorts(true, false);
    plat::MidiTestSetSoundFont(musictest::SmallSoundFont());
  }
  void TearDown() override { plat::MidiTestSetSoundFont(nullptr); }
};

// A port of one channel group: "MUSIC2" loads as object 0, the two after it are refused. Object 0
// must not then be played in their place at time up and at the result.
TEST_F(MusicInTheGame, APieceThatFailedToLoadIsNotPlayedInPlaceOfAnother) {
  gametest::RunResult r = gametest::RunGame([](gametest::Driver& d) {
    plat::MidiTestSetPorts(false, true);
    d.WhenScene(10, [] { ASSERT_EQ(elMusic::Port(0, 2, 22, 8, 0), 1); });
    gametest::StartFromTitle(d);
    d.WhenScene(15, [] {
      EXPECT_EQ(PlayMusic, 0);
      EXPECT_EQ(OwariMusic, -1);
      EXPECT_EQ(ResultMusic, -1);
    });
    d.WhenScene(20, [] { EXPECT_TRUE(Sounding(0)) << "the play tune"; });
    gametest::FastClock(d);
    d.WhenScene(25, [] { EXPECT_FALSE(Sounding(0)) << "the play tune again, as the time-up jingle"; });
    d.WhenScene(30, [] { EXPECT_FALSE(Sounding(0)) << "the play tune again, as the result tune"; });
    d.Then(gametest::PressEscape);
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.log, "");
}

// Without an audio device: the port's one report at start, then a silent game with no more boxes.
TEST_F(MusicInTheGame, WithoutAnAudioDeviceOneReportThenSilence) {
  gametest::RunResult r = gametest::RunGame([](gametest::Driver& d) {
    hl::SetAudioDeviceAvailable(false);
    gametest::StartFromTitle(d);
    d.WhenScene(20, [] { EXPECT_EQ(PlayMusic, -1); });
    gametest::FastClock(d);
    d.WhenScene(30, gametest::PressEscape);
    d.AtEnd([] {
      EXPECT_EQ(musictest::BoxTexts(), std::vector<std::string>{"elMusic::Port : MIDIポートが使えません"});
    });
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.log, "");
}

// The main loop's once-a-second check ends a non-repeating file piece and raises MusicFileEnded; the
// first check comes three seconds after the start.
TEST_F(MusicInTheGame, TheEndCheckFindsTheFilePieceOverAndSetsMusicFileEnded) {
  gametest::RunResult r = gametest::RunGame([](gametest::Driver& d) {
    static const std::string file = std::string(elSystem::GetProgramDir(0)) + "music_game_test_half.mid";
    const std::vector<uint8_t> bytes = musictest::ReadData("note_half_second.mid");
    FILE* f = std::fopen(file.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    static uint32_t started;
    d.EachFrame([](int) { musictest::Pull(16, 48000); });  // the device plays as the frames go by
    d.WhenScene(10, [] {
      elMusic::PlayFile("music_game_test_half.mid", 0);
      started = plat::TimeMs();
    });
    d.When([] { return MusicFileEnded != 0 || plat::TimeMs() - started > 10000; }, [] {
      const uint32_t after = plat::TimeMs() - started;
      EXPECT_GE(after, 3000u);
      EXPECT_LT(after, 3200u);
      EXPECT_EQ(MusicFileEnded, 1);
      EXPECT_EQ(MusicFilePlaying, 0);
      gametest::PressEscape();
    });
    d.AtEnd([] { std::remove(file.c_str()); });
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.log, "");
}

}  // namespace
