// elMusic: music objects from MIDI resources on their channel groups, the synthesizer's sound object,
// the port, the level wrappers and the failure reports.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "el/elMusic.h"
#include "el/elSound.h"
#include "el/elSystem.h"
#include "game/game_state.h"
#include "game/scenes.h"
#include "el/sound/sound_state.h"
#include "platform/audio.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_audio.h"
#include "platform/midi.h"
#include "platform/resources.h"
#include "tests/support/game_driver.h"
#include "tests/support/game_script.h"
#include "tests/support/music_support.h"

namespace hl = plat::headless;
using musictest::Peak;

namespace {

constexpr uint32_t kRate = 22050;

std::vector<uint8_t>& Keep(std::vector<uint8_t> bytes) {
  static std::vector<std::vector<uint8_t>> kept;
  kept.reserve(16);
  kept.push_back(std::move(bytes));
  return kept.back();
}

void AddMidi(const char* name, const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t>& kept = Keep(bytes);
  plat::AddResource("MIDI", name, kept.data(), kept.size());
}

std::string Cwd() {
  char buf[4096];
  return getcwd(buf, sizeof buf) ? buf : "";
}

std::vector<std::string> BoxTexts() {
  std::vector<std::string> t;
  for (const auto& b : hl::Boxes()) t.push_back(b.text);
  return t;
}

bool Started(int32_t object) {
  if (object < 0) return false;
  const MusicSlot& m = MusicObject[object];
  return m.performance != nullptr && m.segment != nullptr &&
         plat::MidiPerformanceIsPlaying(m.performance, m.segment, 0) == plat::MIDI_OK;
}

// Whole games, each in a process of its own that starts from this one's state: a freshly set-up host.
// They come first, before this process has loaded a SoundFont: the loader's thread pool does not
// survive into a forked child, whose own load would then wait for it for ever.
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
      EXPECT_EQ(ResultMusic, -1);
      EXPECT_EQ(OwariMusic, -1);
    });
    d.WhenScene(20, [] { EXPECT_TRUE(Started(0)) << "the play tune"; });
    gametest::FastClock(d);
    d.WhenScene(25, [] { EXPECT_FALSE(Started(0)) << "the play tune again, as the time-up jingle"; });
    d.WhenScene(30, [] { EXPECT_FALSE(Started(0)) << "the play tune again, as the result tune"; });
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
    d.AtEnd([] { EXPECT_EQ(BoxTexts(), std::vector<std::string>{"elMusic::Port : MIDIポートが使えません"}); });
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.log, "");
}

class Music : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    AddMidi("HALF", musictest::ReadData("note_half_second.mid"));
    AddMidi("LONG", musictest::ReadData("note_two_seconds.mid"));
    AddMidi("TUNE", musictest::ReadData("tune.mid"));
    std::vector<uint8_t> cut = musictest::ReadData("tune.mid");
    cut.resize(cut.size() - 5);
    AddMidi("CUT", cut);
    AddMidi("EMPTY", {});
  }
  void SetUp() override {
    hl::Reset();
    hl::SetAudioDeviceAvailable(true);
    hl::SetAudioDeviceRate(kRate);
    hl::SetAudioPeriodFrames(0);
    plat::MidiTestSetSoundFont(musictest::SmallSoundFont());
    plat::MidiTestSetPorts(true, false);
    SoundReady = 0;
    ASSERT_EQ(elSound::Init(), 1);
    elSound::ClearObjects();
  }
  void TearDown() override {
    elMusic::Release();
    elSound::Release();
    plat::AudioReleaseDevice();
    plat::MidiTestSetPorts(true, false);
    plat::MidiTestSetSoundFont(nullptr);
  }
  static std::vector<int16_t> Pull(uint32_t ms) { return musictest::Pull(ms, kRate); }
};

TEST_F(Music, InitSetsUpTheSynthesizerInSoundObjectZero) {
  ASSERT_EQ(elMusic::Init(), 1);
  EXPECT_TRUE(hl::Boxes().empty());
  EXPECT_EQ(MusicReady, 1);
  EXPECT_EQ(MusicFileLoop, 1);
  EXPECT_EQ(MusicFilePlaying, 0);
  EXPECT_EQ(PortCount, 1);
  EXPECT_EQ(SynthPort, 0);
  EXPECT_STREQ(PortName[0], "Microsoft Synthesizer");
  EXPECT_EQ(ChannelGroups, plat::MIDI_SYNTH_GROUPS);
  EXPECT_EQ(MusicSynthBuffer, 1u);
  EXPECT_EQ(PortSettings[0], 0);
  EXPECT_EQ(PortSettings[1], 2);
  EXPECT_EQ(PortSettings[2], 22050);
  EXPECT_EQ(PortSettings[3], 8);
  const SoundSlot& s = SoundObject[0];
  EXPECT_EQ(s.used, 1u);
  EXPECT_STREQ(s.name, "DirectMusic");
  EXPECT_EQ(s.mixCount, 1);
  EXPECT_EQ(s.echo, -1);
  EXPECT_NE(s.buffer[0], 0u);
  EXPECT_EQ(s.baseFrequency, 22050u);
  EXPECT_EQ(s.frequency[0], 22050u);
  uint32_t status = 0;
  plat::AudioGetStatus(s.buffer[0], &status);
  EXPECT_EQ(status & (plat::kAudioStatusPlaying | plat::kAudioStatusLooping),
            plat::kAudioStatusPlaying | plat::kAudioStatusLooping);
  // Sound effects loaded afterwards start at 1.
  std::vector<uint8_t> wave = {'R', 'I', 'F', 'F', 40, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
                               1, 0, 1, 0, 0x11, 0x2B, 0, 0, 0x11, 0x2B, 0, 0, 1, 0, 8, 0, 'd', 'a', 't', 'a', 4, 0,
                               0, 0, 128, 200, 128, 50};
  std::vector<uint8_t>& kept = Keep(wave);
  plat::AddResource("WAVE", "BLIP", kept.data(), kept.size());
  EXPECT_EQ(elSound::LoadObject("BLIP", 1), 1);
}

TEST_F(Music, ThreeObjectsOnGroupsOneTwoThreeSoundTogether) {
  ASSERT_EQ(elMusic::Init(), 1);
  EXPECT_EQ(elMusic::LoadObject("LONG"), 0);
  EXPECT_EQ(elMusic::LoadObject("long"), 1) << "names match without regard to case";
  EXPECT_EQ(elMusic::LoadObject("TUNE"), 2);
  EXPECT_TRUE(hl::Boxes().empty());
  EXPECT_LT(Peak(Pull(100)), 4) << "nothing plays before Play";
  elMusic::Play(0, 1);
  elMusic::Play(1, 1);
  elMusic::Play(2, 1);
  Pull(5);
  // Each piece plays MIDI channel 0 (the tune also the drums on 9): on its own group's channels.
  EXPECT_GT(plat::MidiTestVoices(0), 0);
  EXPECT_GT(plat::MidiTestVoices(16), 0);
  EXPECT_GT(plat::MidiTestVoices(32), 0);
  EXPECT_GT(plat::MidiTestVoices(32 + 9), 0);
  EXPECT_EQ(plat::MidiTestVoices(9), 0);
  EXPECT_EQ(plat::MidiTestVoices(48), 0);
  EXPECT_GT(Peak(Pull(100)), 500);
  // Stopping one leaves the others.
  elMusic::Stop(1);
  Pull(20);
  EXPECT_EQ(plat::MidiTestVoices(16), 0);
  EXPECT_GT(plat::MidiTestVoices(0), 0);
  // StopAll silences everything; a later Play starts a piece afresh.
  elMusic::StopAll();
  Pull(300);
  EXPECT_LT(Peak(Pull(300)), 4);
  elMusic::Play(2, 0);
  EXPECT_GT(Peak(Pull(100)), 300);
  EXPECT_GT(plat::MidiTestVoices(32), 0);
}

TEST_F(Music, OnceEndsByItselfRepeatKeepsGoing) {
  ASSERT_EQ(elMusic::Init(), 1);
  int once = elMusic::LoadObject("HALF");
  int loop = elMusic::LoadObject("HALF");
  ASSERT_EQ(once, 0);
  ASSERT_EQ(loop, 1);
  elMusic::Play(once, 0);
  EXPECT_GT(Peak(Pull(300)), 500);
  Pull(3000);
  EXPECT_LT(Peak(Pull(300)), 4) << "played once, then silent";
  elMusic::Play(loop, 1);
  Pull(3000);
  EXPECT_GT(Peak(Pull(300)), 500) << "still repeating after six rounds";
  EXPECT_EQ(plat::MidiTestVoices(0), 0);
  // Playing again restarts it: the note starts over at once.
  elMusic::Play(once, 1);
  EXPECT_GT(Peak(Pull(50)), 500);
  EXPECT_GT(plat::MidiTestVoices(0), 0);
}

TEST_F(Music, MissingOrMalformedResourcesAreReportedAndTheWorkingDirectoryStays) {
  ASSERT_EQ(elMusic::Init(), 1);
  std::string before = Cwd();
  EXPECT_EQ(elMusic::LoadObject("NOSUCH"), -1);
  EXPECT_EQ(Cwd(), before);
  EXPECT_EQ(elMusic::LoadObject("CUT"), -1);
  EXPECT_EQ(elMusic::LoadObject("EMPTY"), -1);
  EXPECT_EQ(Cwd(), before);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>(3, "elMusic::LoadObject : MIDIファイルを読み込みできません"));
  EXPECT_EQ(hl::Boxes()[0].caption, "エラー発生");
  EXPECT_EQ(ErrorFlag, 1);
  // Failed loads took no slot; a good one after them gets 0, also in the working directory it had.
  EXPECT_EQ(elMusic::LoadObject("TUNE"), 0);
  EXPECT_EQ(Cwd(), before);
  EXPECT_EQ(MusicObject[1].segment, nullptr);
}

TEST_F(Music, NoSoundFontNoMusic) {
  plat::MidiTestSetSoundFont("/nonexistent/none.sf2");
  EXPECT_EQ(elMusic::Init(), 0);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"elMusic::Init : DirectMusicが使用できません"});
  EXPECT_EQ(MusicReady, 0);
  EXPECT_EQ(SoundObject[0].used, 0u) << "slot 0 stays free for effects";
  hl::Boxes().clear();
  EXPECT_EQ(elMusic::LoadObject("TUNE"), -1);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"elMusic::LoadObject : DirectMusicが無効になっています"});
  // Playback operations stay quiet.
  elMusic::Play(0, 1);
  elMusic::Stop(0);
  elMusic::StopAll();
  elMusic::SetVolume(-10);
  EXPECT_EQ(elMusic::Port(-1, 2, 22, 8, 0), 0);
  EXPECT_EQ(hl::Boxes().size(), 1u);
}

TEST_F(Music, TheTableAndTheChannelGroupsLimitTheObjects) {
  ASSERT_EQ(elMusic::Init(), 1);
  for (uint32_t i = 0; i < ChannelGroups; ++i) ASSERT_EQ(elMusic::LoadObject("HALF"), int(i));
  EXPECT_TRUE(hl::Boxes().empty());
  EXPECT_EQ(elMusic::LoadObject("HALF"), -1);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"elMusic::LoadObject : チャンネルグループ数を超えています"});
  // Object numbers out of range are left alone.
  elMusic::Play(-1, 1);
  elMusic::Play(kMusicObjects, 1);
  elMusic::Stop(500);
  elMusic::ReleaseObject(kMusicObjects);
  // A released slot is taken again.
  elMusic::ReleaseObject(3);
  EXPECT_EQ(MusicObject[3].segment, nullptr);
  EXPECT_EQ(elMusic::LoadObject("TUNE"), 3);
  elMusic::ReleaseObject(-1);
  for (const MusicSlot& s : MusicObject) EXPECT_EQ(s.performance, nullptr);
  // Every slot taken (a port with more groups than slots is not to be had): the table's own report.
  hl::Boxes().clear();
  uint32_t groups = ChannelGroups;
  ChannelGroups = 1000;
  static int taken;
  for (MusicSlot& s : MusicObject) s.segment = reinterpret_cast<plat::MidiSegment*>(&taken);
  EXPECT_EQ(elMusic::LoadObject("HALF"), -1);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"elMusic::LoadObject : オブジェクト数が多過ぎます"});
  for (MusicSlot& s : MusicObject) s.segment = nullptr;
  ChannelGroups = groups;
}

TEST_F(Music, AnotherPortHasOneGroupAndNoLevels) {
  plat::MidiTestSetPorts(true, true);
  ASSERT_EQ(elMusic::Init(), 1);
  ASSERT_EQ(PortCount, 2);
  EXPECT_STREQ(PortName[1], "External MIDI Port");
  ASSERT_EQ(elMusic::Port(1, 2, 44, 16, 0), 1);
  EXPECT_EQ(ChannelGroups, 1u);
  EXPECT_EQ(MusicSynthBuffer, 0u);
  EXPECT_EQ(SoundObject[0].used, 1u) << "slot 0 stays taken";
  EXPECT_EQ(SoundObject[0].buffer[0], 0u) << "the synthesizer's buffer is gone with its port";
  EXPECT_EQ(PortSettings[0], 1);
  EXPECT_EQ(PortSettings[2], 44100);
  EXPECT_EQ(elMusic::LoadObject("HALF"), 0);
  EXPECT_EQ(elMusic::LoadObject("HALF"), -1);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"elMusic::LoadObject : チャンネルグループ数を超えています"});
  // The level wrappers do nothing without the synthesizer's buffer.
  int32_t volume = SoundObject[0].volume[0];
  elMusic::SetVolume(-20);
  elMusic::ShiftPan(5);
  EXPECT_EQ(SoundObject[0].volume[0], volume);
  EXPECT_EQ(SoundObject[0].pan[0], 0);
  // Back to the synthesizer: the loaded object follows onto its group and sounds.
  ASSERT_EQ(elMusic::Port(-1, 2, 22, 8, 0), 1);
  EXPECT_EQ(ChannelGroups, plat::MIDI_SYNTH_GROUPS);
  elMusic::Play(0, 1);
  EXPECT_GT(Peak(Pull(100)), 500);
}

TEST_F(Music, WithoutTheSynthesizerThePortIsReported) {
  plat::MidiTestSetPorts(false, true);
  EXPECT_EQ(elMusic::Init(), 1);
  EXPECT_EQ(SynthPort, -1);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"elMusic::Port : MIDIポートが使えません"});
  EXPECT_EQ(MusicPort, nullptr);
  EXPECT_EQ(elMusic::Port(7, 2, 22, 8, 0), 0) << "no such port";
  ASSERT_EQ(elMusic::Port(0, 2, 22, 8, 0), 1);
  EXPECT_EQ(ChannelGroups, 1u);
}

TEST_F(Music, LevelWrappersActOnTheMusicAsAWhole) {
  ASSERT_EQ(elMusic::Init(), 1);
  ASSERT_EQ(elMusic::LoadObject("LONG"), 0);
  elMusic::Play(0, 1);
  Pull(100);
  int loud = Peak(Pull(100));
  elMusic::SetVolume(-20);
  EXPECT_EQ(SoundObject[0].volume[0], -2000);
  int quiet = Peak(Pull(100));
  EXPECT_LT(quiet, loud / 5);
  EXPECT_GT(quiet, 0);
  elMusic::ResetVolume();
  EXPECT_EQ(SoundObject[0].volume[0], 0);
  elMusic::PanLeft();
  EXPECT_EQ(SoundObject[0].pan[0], -10000);
  std::vector<int16_t> left = Pull(100);
  int rightPeak = 0;
  for (size_t i = 1; i < left.size(); i += 2) rightPeak = std::max(rightPeak, std::abs(int(left[i])));
  EXPECT_EQ(rightPeak, 0);
  elMusic::ResetPan();
  elMusic::SetFrequency(100);  // steps of 100 Hz from the buffer's own rate
  EXPECT_EQ(SoundObject[0].frequency[0], 32050u);
  elMusic::ResetFrequency();
  EXPECT_EQ(SoundObject[0].frequency[0], 22050u);
  // The reverb switch re-runs the port with the same settings; the music goes on.
  elMusic::SetReverb(1);
  EXPECT_TRUE(hl::Boxes().empty());
  EXPECT_EQ(MusicSynthBuffer, 1u);
  EXPECT_EQ(SoundObject[0].volume[0], 0);
  elMusic::Play(0, 1);
  EXPECT_GT(Peak(Pull(100)), 500);
}

TEST_F(Music, ASecondInitStartsAfresh) {
  ASSERT_EQ(elMusic::Init(), 1);
  ASSERT_EQ(elMusic::LoadObject("LONG"), 0);
  elMusic::Play(0, 1);
  plat::AudioBuffer first = SoundObject[0].buffer[0];
  // The display set up again: the sound module forgets its handles, music starts over.
  SoundReady = 0;
  ASSERT_EQ(elSound::Init(), 1);
  ASSERT_EQ(elMusic::Init(), 1);
  EXPECT_TRUE(hl::Boxes().empty());
  EXPECT_NE(SoundObject[0].buffer[0], first);
  uint32_t status = 0;
  EXPECT_NE(plat::AudioGetStatus(first, &status), plat::kAudioOk) << "the old buffer is gone";
  EXPECT_EQ(MusicObject[0].segment, nullptr);
  Pull(300);
  EXPECT_LT(Peak(Pull(200)), 4);
  ASSERT_EQ(elMusic::LoadObject("LONG"), 0);
  elMusic::Play(0, 1);
  EXPECT_GT(Peak(Pull(100)), 500);
}

TEST_F(Music, TheMusicSoundsAgainAfterTheSoundModuleRestores) {
  ASSERT_EQ(elMusic::Init(), 1);
  ASSERT_EQ(elMusic::LoadObject("LONG"), 0);
  elMusic::Play(0, 1);
  elMusic::SetVolume(-6);
  const int before = Peak(Pull(300));
  ASSERT_GT(before, 500);
  // A restore opens a new device, and so does the release around the system sound call: each time
  // the music goes on, at the level it had.
  elSound::Restore();
  const int restored = Peak(Pull(300));
  EXPECT_GT(restored, before * 2 / 3);
  EXPECT_LT(restored, before * 3 / 2);
  elSound::PlaySync("sndtest_no_such_sound.wav");
  EXPECT_GT(Peak(Pull(300)), before * 2 / 3);
  EXPECT_TRUE(hl::Boxes().empty());
  // The levels still act on the music as a whole.
  elMusic::SetVolume(-40);
  EXPECT_LT(Peak(Pull(300)), before / 20);
}

TEST_F(Music, NoAudioDeviceMeansNoPort) {
  elSound::Release();
  plat::AudioReleaseDevice();
  hl::SetAudioDeviceAvailable(false);
  SoundReady = 0;
  EXPECT_EQ(elSound::Init(), 0);
  EXPECT_EQ(elMusic::Init(), 1);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"elMusic::Port : MIDIポートが使えません"});
  EXPECT_EQ(MusicSynthBuffer, 0u);
}

}  // namespace
