// elMusic: music objects on their channel groups, ports, levels, the file piece, the reports.
#include <gtest/gtest.h>

#include "el/elMusic.h"
#include "el/elSound.h"
#include "el/elSystem.h"
#include "el/sound/sound_state.h"
#include "platform/host.h"
#include "platform/resources.h"
#include "tests/support/music_support.h"

namespace hl = plat::headless;
using musictest::BoxTexts;
using musictest::Voices;
using Texts = std::vector<std::string>;

namespace {

const char* const kPiece = "music_objects_test_tune.mid", *const kLongPiece = "music_objects_test_long.mid";
const std::string kNoGroup = "elMusic::LoadObject : チャンネルグループ数を超えています";
const std::string kNoPort = "elMusic::Port : MIDIポートが使えません";

int Loud(uint32_t ms) { return musictest::Peak(musictest::Pull(ms, 22050)); }
// After ms of the mix: the sequencer's mode, then the MCI notifications the window procedure was given.
std::string After(uint32_t ms) {
  musictest::Pull(ms, 22050);
  std::string notes;
  for (plat::Msg m; plat::PeekMsg(&m); elSystem::WindowProc(m.message, m.wParam, m.lParam))
    if (m.message == plat::MM_MCINOTIFY) notes += " " + std::to_string(m.wParam);
  char reply[32] = {};
  elMusic::SendCommand("status midi mode", reply, sizeof reply);
  return reply + notes;
}

class Music : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static std::vector<uint8_t> tune = musictest::ReadData("tune.mid"), half = musictest::ReadData("note_half_second.mid");
    static std::vector<uint8_t> lng = musictest::ReadData("note_two_seconds.mid");
    static const uint8_t wave[] = {'R', 'I', 'F', 'F', 40,  0,   0,   0,    'W', 'A',  'V', 'E', 'f', 'm', 't', ' ',
                                   16,  0,   0,   0,   1,   0,   1,   0,    0x11, 0x2B, 0,  0,   0x11, 0x2B, 0, 0,
                                   1,   0,   8,   0,   'd', 'a', 't', 'a',  4,   0,   0,   0,   128, 200, 128, 50};
    plat::AddResource("MIDI", "HALF", half.data(), half.size());
    plat::AddResource("MIDI", "LONG", lng.data(), lng.size());
    plat::AddResource("MIDI", "TUNE", tune.data(), tune.size());
    plat::AddResource("MIDI", "CUT", tune.data(), tune.size() - 5);
    plat::AddResource("MIDI", "EMPTY", tune.data(), 0);
    plat::AddResource("WAVE", "BLIP", wave, sizeof wave);
    musictest::WriteFile(std::string(elSystem::GetProgramDir(0)) + kPiece, tune);
    musictest::WriteFile(std::string(elSystem::GetProgramDir(0)) + kLongPiece, lng);
  }
  void SetUp() override { SetUp(true, true, false); }
  void SetUp(bool device, bool synthesizer, bool external) {
    hl::Reset();
    hl::SetAudioDeviceAvailable(device);
    hl::SetAudioDeviceRate(22050);
    plat::MidiTestSetSoundFont(musictest::SmallSoundFont());
    plat::MidiTestSetPorts(synthesizer, external);
    SoundReady = 0;
    EXPECT_EQ(elSound::Init(), device ? 1 : 0);
    elSound::ClearObjects();
  }
  void TearDown() override {
    elMusic::Release();
    elSound::Release();
    plat::AudioReleaseDevice();
    plat::MidiTestSetSoundFont(nullptr);
  }
};

TEST_F(Music, ObjectsPlayTogetherOnTheirOwnGroupsOnceOrRepeating) {
  ASSERT_EQ(elMusic::Init(), 1);
  EXPECT_EQ(elSound::LoadObject("BLIP", 1), 1) << "sound object 0 carries the synthesizer";
  EXPECT_EQ(elMusic::LoadObject("LONG"), 0);
  EXPECT_EQ(elMusic::LoadObject("long"), 1) << "names match without regard to case";
  EXPECT_EQ(elMusic::LoadObject("TUNE"), 2);
  for (int i = 0; i < 3; ++i) elMusic::Play(i, 1);
  musictest::Pull(5, 22050);
  // Each piece plays MIDI channel 0 (the tune also the drums on 9), on its own group's channels.
  EXPECT_EQ(Voices({0, 16, 32, 41, 9, 48}), "++++--");
  EXPECT_GT(Loud(100), 500);
  elMusic::Stop(1);
  musictest::Pull(20, 22050);
  EXPECT_EQ(Voices({0, 16, 32}), "+-+");
  elMusic::StopAll();
  ASSERT_EQ(elMusic::LoadObject("HALF"), 3);
  ASSERT_EQ(elMusic::LoadObject("HALF"), 4);
  elMusic::Play(3, 0);
  elMusic::Play(4, 1);
  musictest::Pull(1800, 22050);
  EXPECT_EQ(Voices({48}), "-") << "once: the half second and its release are over";
  musictest::Pull(1200, 22050);
  EXPECT_EQ(Voices({0, 32}), "--");
  EXPECT_EQ(Voices({48, 64}), "-+") << "once, then silent; repeating, still there after six rounds";
  elMusic::Play(3, 1);
  EXPECT_GT(Loud(20), 300) << "played again, a piece starts afresh";
}

TEST_F(Music, FailedLoadsAreReportedAndTakeNoSlot) {
  ASSERT_EQ(elMusic::Init(), 1);
  const std::string cwd = musictest::Cwd();
  for (const char* name : {"NOSUCH", "CUT", "EMPTY"}) EXPECT_EQ(elMusic::LoadObject(name), -1) << name;
  EXPECT_EQ(musictest::Cwd(), cwd) << "the working directory is put back";
  EXPECT_EQ(BoxTexts(), Texts(3, "elMusic::LoadObject : MIDIファイルを読み込みできません"));
  for (int i = 0; i < 16; ++i) ASSERT_EQ(elMusic::LoadObject("HALF"), i);
  EXPECT_EQ(elMusic::LoadObject("HALF"), -1) << "the port has sixteen groups";
  EXPECT_EQ(BoxTexts().back(), kNoGroup);
  elMusic::ReleaseObject(3);
  EXPECT_EQ(elMusic::LoadObject("TUNE"), 3);
  elMusic::ReleaseObject(-1);
  EXPECT_EQ(elMusic::LoadObject("TUNE"), 0);
  elMusic::Play(0, 1), elMusic::ReleaseObject(0);
  EXPECT_LT(Loud(100), 4) << "a released piece is silent";
}

TEST_F(Music, LevelsActOnTheSynthesizersMusicOnlyWhichFollowsPortChangesAndRestores) {
  SetUp(true, true, true);
  ASSERT_EQ(elMusic::Init(), 1);
  ASSERT_EQ(elMusic::LoadObject("LONG"), 0);
  elMusic::Play(0, 1);
  const int loud = Loud(200);
  elMusic::SetVolume(-20);
  EXPECT_LT(Loud(100), loud / 5);
  elMusic::ShiftFrequency(1);  // steps of 100 Hz from the buffer's own rate
  EXPECT_EQ(SoundObject[0].frequency[0], 22150u);
  elMusic::SetFrequency(100);
  EXPECT_EQ(SoundObject[0].frequency[0], 32050u);
  auto levels = [] { return std::vector<int64_t>{SoundObject[0].frequency[0], SoundObject[0].pan[0], SoundObject[0].volume[0]}; };
  elMusic::ResetFrequency(), elMusic::ShiftPan(5), elMusic::ShiftPan(2), elMusic::ShiftVolume(-3);
  EXPECT_EQ(levels(), (std::vector<int64_t>{22050, 700, -2300}));
  elMusic::PanRight();
  const int64_t right = levels()[1];
  elMusic::SetPan(-7), elMusic::ShiftVolume(3);
  EXPECT_EQ(levels(), (std::vector<int64_t>{22050, -700, -2000}));
  elMusic::ResetPan();
  EXPECT_EQ(right + levels()[1], 10000);
  // Another port: one group, nothing heard, no levels; sound object 0 stays taken.
  ASSERT_EQ(elMusic::Port(1, 2, 44, 16, 0), 1);
  EXPECT_EQ(std::vector<int32_t>(PortSettings, PortSettings + 4), (std::vector<int32_t>{1, 2, 44100, 16}));
  EXPECT_EQ(elSound::LoadObject("BLIP", 1), 1);
  EXPECT_EQ(elMusic::LoadObject("LONG"), -1);
  elMusic::Play(0, 1);
  EXPECT_LT(Loud(100), 4);
  elMusic::ResetVolume();
  elMusic::PanLeft();
  EXPECT_EQ(std::pair(SoundObject[0].volume[0], SoundObject[0].pan[0]), std::pair(-2000, 0));
  EXPECT_EQ(elMusic::Port(7, 2, 22, 8, 0), 0) << "no such port";
  // Back to the synthesizer and its reverb: the object follows at full level, also across a restore.
  ASSERT_EQ(elMusic::Port(-1, 2, 22, 8, 0), 1);
  elMusic::SetReverb(1);
  elMusic::Play(0, 1);
  const int again = Loud(300);
  EXPECT_GT(again, loud / 2);
  elSound::Restore();
  EXPECT_GT(Loud(300), again * 2 / 3);
  EXPECT_EQ(BoxTexts(), (Texts{kNoGroup, kNoPort}));
}

// No synthesizer or no audio device: the port is reported (at Init and when asked for), loads fail
// without more. No SoundFont: Init's report and each load's. Slot 0 stays free for effects.
TEST_F(Music, WithoutTheSynthesizerTheMusicIsSilent) {
  const struct {
    bool device, synthesizer, font;
    int init, effect;
    Texts boxes;
  } cases[] = {{true, false, true, 1, 0, {kNoPort, kNoPort}},
               {false, true, true, 1, -1, {kNoPort, kNoPort}},
               {true, true, false, 0, 0, {"elMusic::Init : DirectMusicが使用できません",
                                          "elMusic::LoadObject : DirectMusicが無効になっています"}}};
  for (const auto& c : cases) {
    TearDown();
    SetUp(c.device, c.synthesizer, !c.synthesizer);
    if (!c.font) plat::MidiTestSetSoundFont("/nonexistent/none.sf2");
    EXPECT_EQ(elMusic::Init(), c.init);
    for (int i = std::max(PortCount, 0); i < kMusicPorts; ++i) EXPECT_STREQ(PortName[i], "") << "absent port " << i;
    EXPECT_EQ(elSound::LoadObject("BLIP", 1), c.effect);
    EXPECT_EQ(elMusic::LoadObject("HALF"), -1);
    elMusic::Play(0, 1);
    elMusic::SetVolume(-10);
    EXPECT_EQ(elMusic::Port(-1, 2, 22, 8, 0), 0);
    EXPECT_EQ(BoxTexts(), c.boxes);
    EXPECT_EQ(SoundObject[0].volume[0], 0);
  }
}

TEST_F(Music, TheFilePiecePlaysThroughTheSharedPerformanceOnceOrRepeating) {
  ASSERT_EQ(elMusic::Init(), 1);
  const plat::AudioBuffer first = SoundObject[0].buffer[0];
  MusicFileEnded = 1;  // a set-up again: the earlier one's buffer goes; a piece that ended is not news
  ASSERT_EQ(elMusic::Init(), 1);
  EXPECT_EQ(MusicFileEnded * 10 + plat::AudioReleaseBuffer(first), plat::kAudioErrInvalidParam);
  hl::SetTimeMs(5000);
  hl::SetReadStepMicros(0);
  const std::string cwd = musictest::Cwd();
  elMusic::PlayFile(kPiece, 0);
  EXPECT_EQ(musictest::Cwd(), cwd);
  EXPECT_EQ(MusicCheckTime, 8000u) << "the main loop's first check three seconds on";
  EXPECT_GT(Loud(900), 500);
  EXPECT_TRUE(elMusic::IsFileSegmentPlaying());
  Loud(200);
  EXPECT_FALSE(elMusic::IsFileSegmentPlaying()) << "played once";
  elMusic::PlayFile(kPiece, 1);
  // Object numbers outside the table are left alone.
  elMusic::Play(-1, 1);
  elMusic::Play(kMusicObjects, 1);
  elMusic::Stop(kMusicObjects);
  elMusic::ReleaseObject(kMusicObjects);
  Loud(2000);
  EXPECT_TRUE(elMusic::IsFileSegmentPlaying()) << "repeating";
  elMusic::StopAll();
  EXPECT_FALSE(elMusic::IsFileSegmentPlaying());
  elMusic::PlayFile("no-such-piece.mid", 0);
  EXPECT_TRUE(hl::Boxes().empty()) << "a file that is not there is not reported";
}

TEST_F(Music, TheFilePieceThroughTheSequencerRepeatsOrStopsAtTheWindowsNotification) {
  ASSERT_EQ(elMusic::Init(), 1);
  MusicReady = 0;  // the path taken when the MIDI system did not start
  elMusic::PlayFile(kPiece, 1);
  EXPECT_GT(Loud(500), 500);
  EXPECT_EQ(After(600), "playing 1") << "the end is notified, and the piece played again";
  EXPECT_EQ(After(1100), "playing 1");
  elMusic::PlayFile(kLongPiece, 0);
  EXPECT_EQ(After(0), "playing 4") << "the earlier play was cut short";
  EXPECT_EQ(After(1100), "playing") << "the new piece lasts two seconds";
  EXPECT_EQ(After(1000), " 1") << "ended once: stopped and closed";
  EXPECT_EQ(MusicFilePlaying, 0);
  elMusic::PlayFile(kPiece, 1);
  elMusic::Release();
  EXPECT_LT(Loud(300), 4) << "released: the sequencer is stopped and closed";
  MusicReady = 1;
}

}  // namespace
