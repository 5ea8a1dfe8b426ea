// elMusic: music objects from MIDI resources on their channel groups, the synthesizer's sound object,
// the ports, the level wrappers and the failure reports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "el/elMusic.h"
#include "el/elSound.h"
#include "el/elSystem.h"
#include "el/sound/sound_state.h"
#include "platform/audio.h"
#include "platform/midi.h"
#include "platform/resources.h"
#include "tests/support/music_support.h"

namespace hl = plat::headless;
using musictest::BoxTexts;
using musictest::Peak;
using Texts = std::vector<std::string>;

namespace {

constexpr uint32_t kRate = 22050;

void AddResource(const char* type, const char* name, std::vector<uint8_t> bytes) {
  static std::vector<std::vector<uint8_t>> kept(16);
  static size_t used = 0;
  kept[used] = std::move(bytes);
  plat::AddResource(type, name, kept[used].data(), kept[used].size());
  ++used;
}

class Music : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    AddResource("MIDI", "HALF", musictest::ReadData("note_half_second.mid"));
    AddResource("MIDI", "LONG", musictest::ReadData("note_two_seconds.mid"));
    AddResource("MIDI", "TUNE", musictest::ReadData("tune.mid"));
    std::vector<uint8_t> cut = musictest::ReadData("tune.mid");
    cut.resize(cut.size() - 5);
    AddResource("MIDI", "CUT", cut);
    AddResource("MIDI", "EMPTY", {});
    AddResource("WAVE", "BLIP", {'R', 'I', 'F', 'F', 40, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
                                 1, 0, 1, 0, 0x11, 0x2B, 0, 0, 0x11, 0x2B, 0, 0, 1, 0, 8, 0, 'd', 'a', 't', 'a', 4, 0,
                                 0, 0, 128, 200, 128, 50});
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
  static int Loud(uint32_t ms) { return Peak(musictest::Pull(ms, kRate)); }
  static void Voices(std::initializer_list<int> on, std::initializer_list<int> off) {
    for (int ch : on) EXPECT_GT(plat::MidiTestVoices(ch), 0) << "channel " << ch;
    for (int ch : off) EXPECT_EQ(plat::MidiTestVoices(ch), 0) << "channel " << ch;
  }
};

TEST_F(Music, ObjectsPlayTogetherOnTheirOwnGroupsOnceOrRepeating) {
  ASSERT_EQ(elMusic::Init(), 1);
  EXPECT_TRUE(hl::Boxes().empty());
  EXPECT_EQ(elSound::LoadObject("BLIP", 1), 1) << "sound object 0 carries the synthesizer";
  EXPECT_EQ(elMusic::LoadObject("LONG"), 0);
  EXPECT_EQ(elMusic::LoadObject("long"), 1) << "names match without regard to case";
  EXPECT_EQ(elMusic::LoadObject("TUNE"), 2);
  EXPECT_LT(Loud(100), 4) << "nothing plays before Play";
  for (int i = 0; i < 3; ++i) elMusic::Play(i, 1);
  musictest::Pull(5, kRate);
  // Each piece plays MIDI channel 0 (the tune also the drums on 9), on its own group's channels.
  Voices({0, 16, 32, 32 + 9}, {9, 48});
  EXPECT_GT(Loud(100), 500);
  elMusic::Stop(1);
  musictest::Pull(20, kRate);
  Voices({0, 32}, {16});
  elMusic::StopAll();
  musictest::Pull(300, kRate);
  EXPECT_LT(Loud(300), 4);
  // Played again, a piece starts afresh; once it is over by itself, repeating it goes on.
  elMusic::Play(2, 0);
  EXPECT_GT(Loud(100), 300);
  ASSERT_EQ(elMusic::LoadObject("HALF"), 3);
  ASSERT_EQ(elMusic::LoadObject("HALF"), 4);
  elMusic::Play(3, 0);
  musictest::Pull(3000, kRate);
  EXPECT_LT(Loud(300), 4) << "played once, then silent";
  elMusic::Play(4, 1);
  musictest::Pull(3000, kRate);
  EXPECT_GT(Loud(300), 500) << "still repeating after six rounds";
  Voices({64}, {48});
  elMusic::Play(3, 1);
  EXPECT_GT(Loud(50), 500) << "a restart sounds at once";
  Voices({48}, {});
}

TEST_F(Music, FailedLoadsAreReportedAndTakeNoSlot) {
  ASSERT_EQ(elMusic::Init(), 1);
  const std::string cwd = musictest::Cwd();
  for (const char* name : {"NOSUCH", "CUT", "EMPTY"}) EXPECT_EQ(elMusic::LoadObject(name), -1) << name;
  EXPECT_EQ(musictest::Cwd(), cwd);
  EXPECT_EQ(BoxTexts(), Texts(3, "elMusic::LoadObject : MIDIファイルを読み込みできません"));
  EXPECT_EQ(hl::Boxes()[0].caption, "エラー発生");
  EXPECT_EQ(ErrorFlag, 1);
  hl::Boxes().clear();
  // Up to the port's sixteen groups, then the group limit.
  for (int i = 0; i < 16; ++i) ASSERT_EQ(elMusic::LoadObject("HALF"), i);
  EXPECT_EQ(musictest::Cwd(), cwd);
  EXPECT_EQ(elMusic::LoadObject("HALF"), -1);
  EXPECT_EQ(BoxTexts(), Texts{"elMusic::LoadObject : チャンネルグループ数を超えています"});
  // A released slot is taken again; -1 releases every one.
  elMusic::ReleaseObject(3);
  EXPECT_EQ(elMusic::LoadObject("TUNE"), 3);
  elMusic::ReleaseObject(-1);
  EXPECT_EQ(elMusic::LoadObject("TUNE"), 0);
  elMusic::Play(0, 1);
  EXPECT_GT(Loud(100), 300);
  // Every slot taken (no port has more groups than there are slots): the table's own report.
  hl::Boxes().clear();
  const uint32_t groups = ChannelGroups;
  ChannelGroups = 1000;
  static int taken;
  std::vector<MusicSlot> saved(MusicObject, MusicObject + kMusicObjects);
  for (MusicSlot& s : MusicObject) s.segment = reinterpret_cast<plat::MidiSegment*>(&taken);
  EXPECT_EQ(elMusic::LoadObject("HALF"), -1);
  std::copy(saved.begin(), saved.end(), MusicObject);
  ChannelGroups = groups;
  EXPECT_EQ(BoxTexts(), Texts{"elMusic::LoadObject : オブジェクト数が多過ぎます"});
}

TEST_F(Music, WithoutTheMidiSystemOnlyTheReportsAreHeard) {
  plat::MidiTestSetSoundFont("/nonexistent/none.sf2");
  EXPECT_EQ(elMusic::Init(), 0);
  EXPECT_EQ(BoxTexts(), Texts{"elMusic::Init : DirectMusicが使用できません"});
  EXPECT_EQ(elSound::LoadObject("BLIP", 1), 0) << "sound object 0 stays free for effects";
  EXPECT_EQ(elMusic::LoadObject("TUNE"), -1);
  elMusic::Play(0, 1);
  elMusic::Stop(0);
  elMusic::StopAll();
  elMusic::SetVolume(-10);
  EXPECT_EQ(elMusic::Port(-1, 2, 22, 8, 0), 0);
  EXPECT_EQ(BoxTexts(), (Texts{"elMusic::Init : DirectMusicが使用できません",
                               "elMusic::LoadObject : DirectMusicが無効になっています"}));
  EXPECT_EQ(SoundObject[0].volume[0], 0);
}

TEST_F(Music, AnotherPortHasOneGroupAndNoLevels) {
  plat::MidiTestSetPorts(true, true);
  ASSERT_EQ(elMusic::Init(), 1);
  EXPECT_STREQ(PortName[1], "External MIDI Port");
  ASSERT_EQ(elMusic::Port(1, 2, 44, 16, 0), 1);
  EXPECT_EQ(std::vector<int32_t>(PortSettings, PortSettings + 4), (std::vector<int32_t>{1, 2, 44100, 16}));
  EXPECT_EQ(elSound::LoadObject("BLIP", 1), 1) << "sound object 0 stays taken";
  EXPECT_EQ(elMusic::LoadObject("LONG"), 0);
  EXPECT_EQ(elMusic::LoadObject("LONG"), -1);
  EXPECT_EQ(BoxTexts(), Texts{"elMusic::LoadObject : チャンネルグループ数を超えています"});
  elMusic::Play(0, 1);
  EXPECT_LT(Loud(100), 4) << "the external port is not heard";
  elMusic::SetVolume(-20);
  elMusic::PanLeft();
  EXPECT_EQ(SoundObject[0].volume[0], 0);
  EXPECT_EQ(SoundObject[0].pan[0], 0);
  EXPECT_EQ(elMusic::Port(7, 2, 22, 8, 0), 0);
  EXPECT_EQ(BoxTexts().back(), "elMusic::Port : MIDIポートが使えません");
  // Back to the synthesizer: the loaded object follows onto its group and sounds.
  ASSERT_EQ(elMusic::Port(-1, 2, 22, 8, 0), 1);
  elMusic::Play(0, 1);
  EXPECT_GT(Loud(100), 500);
}

TEST_F(Music, WithoutTheSynthesizerOrAnAudioDeviceThePortIsReportedOnce) {
  plat::MidiTestSetPorts(false, true);
  EXPECT_EQ(elMusic::Init(), 1);
  EXPECT_EQ(SynthPort, -1);
  EXPECT_EQ(elMusic::LoadObject("HALF"), -1) << "no port: nothing more reported";
  EXPECT_EQ(BoxTexts(), Texts{"elMusic::Port : MIDIポートが使えません"});
  ASSERT_EQ(elMusic::Port(0, 2, 22, 8, 0), 1);
  EXPECT_EQ(elMusic::LoadObject("HALF"), 0);
  EXPECT_EQ(elMusic::LoadObject("HALF"), -1);
  elMusic::Release();
  elSound::Release();
  plat::AudioReleaseDevice();
  hl::Boxes().clear();
  hl::SetAudioDeviceAvailable(false);
  plat::MidiTestSetPorts(true, false);
  SoundReady = 0;
  EXPECT_EQ(elSound::Init(), 0);
  EXPECT_EQ(elMusic::Init(), 1);
  EXPECT_EQ(BoxTexts(), Texts{"elMusic::Port : MIDIポートが使えません"});
  EXPECT_EQ(elMusic::LoadObject("HALF"), -1);
  EXPECT_EQ(hl::Boxes().size(), 1u);
}

TEST_F(Music, LevelsActOnTheMusicAsAWholeAcrossReverbAndRestores) {
  ASSERT_EQ(elMusic::Init(), 1);
  ASSERT_EQ(elMusic::LoadObject("LONG"), 0);
  elMusic::Play(0, 1);
  musictest::Pull(100, kRate);
  const int loud = Loud(100);
  elMusic::SetVolume(-20);
  const int quiet = Loud(100);
  EXPECT_LT(quiet, loud / 5);
  EXPECT_GT(quiet, 0);
  elMusic::ResetVolume();
  elMusic::PanLeft();
  std::vector<int16_t> left = musictest::Pull(100, kRate);
  int right = 0;
  for (size_t i = 1; i < left.size(); i += 2) right = std::max(right, std::abs(int(left[i])));
  EXPECT_EQ(right, 0);
  EXPECT_GT(Peak(left), loud / 2);
  elMusic::ResetPan();
  elMusic::SetFrequency(100);  // steps of 100 Hz from the buffer's own rate
  EXPECT_EQ(SoundObject[0].frequency[0], 32050u);
  elMusic::ResetFrequency();
  EXPECT_EQ(SoundObject[0].frequency[0], 22050u);
  // The reverb switch re-runs the port with the same settings; the music goes on.
  elMusic::SetReverb(1);
  EXPECT_TRUE(hl::Boxes().empty());
  elMusic::Play(0, 1);
  elMusic::SetVolume(-6);
  const int before = Loud(300);
  ASSERT_GT(before, 500);
  // A sound restore opens a new device, and so does the release around the system sound call: each
  // time the music goes on at the level it had.
  elSound::Restore();
  const int restored = Loud(300);
  EXPECT_GT(restored, before * 2 / 3);
  EXPECT_LT(restored, before * 3 / 2);
  elSound::PlaySync("sndtest_no_such_sound.wav");
  EXPECT_GT(Loud(300), before * 2 / 3);
  elMusic::SetVolume(-40);
  EXPECT_LT(Loud(300), before / 20);
  // The display set up again: the sound module forgets its handles, the music starts over.
  const plat::AudioBuffer first = SoundObject[0].buffer[0];
  SoundReady = 0;
  ASSERT_EQ(elSound::Init(), 1);
  ASSERT_EQ(elMusic::Init(), 1);
  uint32_t status = 0;
  EXPECT_NE(plat::AudioGetStatus(first, &status), plat::kAudioOk) << "the old buffer is gone";
  musictest::Pull(300, kRate);
  EXPECT_LT(Loud(200), 4);
  ASSERT_EQ(elMusic::LoadObject("LONG"), 0);
  elMusic::Play(0, 1);
  EXPECT_GT(Loud(100), 500);
  EXPECT_TRUE(hl::Boxes().empty());
}

}  // namespace
