// The MIDI file piece: the MCI sequencer's command strings and end notification, and elMusic's file
// piece through the shared performance or through the sequencer and the window's notification.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "el/elMusic.h"
#include "el/elSound.h"
#include "el/elSystem.h"
#include "el/sound/sound_state.h"
#include "platform/audio.h"
#include "platform/host.h"
#include "platform/mci.h"
#include "platform/midi.h"
#include "tests/support/music_support.h"

namespace hl = plat::headless;
using Notes = std::vector<uintptr_t>;

namespace {

constexpr uint32_t kRate = 22050;

long Send(const std::string& command) { return plat::MciSendString(command.c_str(), nullptr, 0); }
std::string Open(const std::string& file) {
  return "open \"" + musictest::DataPath(file) + "\" type sequencer alias midi";
}
std::string Mode() {
  char reply[32] = "x";
  plat::MciSendString("status midi mode", reply, sizeof reply);
  return reply;
}
int Loud(uint32_t ms) { return musictest::Peak(musictest::Pull(ms, kRate)); }
// The notifications posted to the window so far; handed to the window procedure when deliver is set.
Notes Posted(bool deliver = false) {
  Notes out;
  plat::Msg m;
  while (plat::PeekMsg(&m)) {
    if (m.message == plat::MM_MCINOTIFY) out.push_back(m.wParam);
    if (deliver) elSystem::WindowProc(m.message, m.wParam, m.lParam);
  }
  return out;
}

class Mci : public ::testing::Test {
 protected:
  void SetUp() override {
    hl::Reset();
    plat::MidiTestSetSoundFont(musictest::SmallSoundFont());
    hl::SetAudioDeviceAvailable(true);
    hl::SetAudioDeviceRate(kRate);
    ASSERT_EQ(plat::AudioCreateDevice(), plat::kAudioOk);
  }
  void TearDown() override {
    Send("close midi");
    plat::AudioReleaseDevice();
    plat::MidiTestSetSoundFont(nullptr);
  }
};

TEST_F(Mci, PlaysToTheEndAndNotifiesOnce) {
  ASSERT_EQ(Send(Open("note_half_second.mid")), 0);
  EXPECT_EQ(Mode(), "stopped");
  ASSERT_EQ(Send("play midi notify"), 0);
  EXPECT_EQ(Mode(), "playing");
  EXPECT_GT(Loud(300), 300);
  EXPECT_EQ(Posted(), Notes{});
  Loud(300);
  EXPECT_EQ(Posted(), Notes{plat::MCI_NOTIFY_SUCCESSFUL});
  EXPECT_EQ(Mode(), "stopped");
  Loud(500);
  EXPECT_EQ(Posted(), Notes{});
  // Played out: another play ends at once; from the start it plays again.
  ASSERT_EQ(Send("play midi notify"), 0);
  EXPECT_EQ(Posted(), Notes{plat::MCI_NOTIFY_SUCCESSFUL});
  ASSERT_EQ(Send("seek midi to start"), 0);
  ASSERT_EQ(Send("play midi"), 0);
  EXPECT_EQ(Mode(), "playing");
  EXPECT_GT(Loud(200), 300);
}

TEST_F(Mci, APlayCutShortIsNotifiedOnceAsSuch) {
  ASSERT_EQ(Send(Open("note_half_second.mid")), 0);
  ASSERT_EQ(Send("play midi notify"), 0);
  Loud(300);
  ASSERT_EQ(Send("stop midi"), 0);
  ASSERT_EQ(Send("stop midi"), 0);
  EXPECT_EQ(Posted(), Notes{plat::MCI_NOTIFY_ABORTED});
  EXPECT_EQ(Mode(), "stopped");
  Loud(1000);
  EXPECT_EQ(Posted(), Notes{}) << "a stopped piece does not end";
  // Played on, it ends after the rest of its length (about 200 ms).
  ASSERT_EQ(Send("play midi notify"), 0);
  Loud(100);
  EXPECT_EQ(Posted(), Notes{});
  Loud(150);
  EXPECT_EQ(Posted(), Notes{plat::MCI_NOTIFY_SUCCESSFUL});
  ASSERT_EQ(Send("seek midi to start"), 0);
  ASSERT_EQ(Send("play midi notify"), 0);
  ASSERT_EQ(Send("play midi notify"), 0);
  ASSERT_EQ(Send("seek midi to start"), 0);
  ASSERT_EQ(Send("play midi notify"), 0);
  ASSERT_EQ(Send("close midi"), 0);
  EXPECT_EQ(Posted(), (Notes{plat::MCI_NOTIFY_SUPERSEDED, plat::MCI_NOTIFY_ABORTED, plat::MCI_NOTIFY_ABORTED}));
  EXPECT_LT(Loud(100), 4);
  EXPECT_EQ(Send("status midi mode"), plat::MCIERR_INVALID_DEVICE_NAME);
}

TEST_F(Mci, RefusesWhatItDoesNotKnow) {
  char reply[8] = "xxxxxxx";
  EXPECT_EQ(plat::MciSendString("status midi mode", reply, sizeof reply), plat::MCIERR_INVALID_DEVICE_NAME);
  EXPECT_STREQ(reply, "") << "the answer is emptied";
  EXPECT_EQ(plat::MciSendString(nullptr, nullptr, 0), plat::MCIERR_UNRECOGNIZED_COMMAND);
  struct Case {
    std::string command;
    long result;
  } cases[] = {
      {"open \"nofile.mid\" type sequencer alias midi", plat::MCIERR_FILE_NOT_FOUND},
      {"open \"" + musictest::DataPath("quadrants.png") + "\" type sequencer alias midi", plat::MCIERR_INVALID_FILE},
      {"open \"x.mid type sequencer alias midi", plat::MCIERR_NO_CLOSING_QUOTE},
      {"open x.mid type waveaudio alias midi", plat::MCIERR_INVALID_DEVICE_NAME},
      {"open x.mid type sequencer", plat::MCIERR_UNRECOGNIZED_KEYWORD},
      {"", plat::MCIERR_MISSING_PARAMETER},
      {"play", plat::MCIERR_MISSING_PARAMETER},
      {Open("tune.mid"), 0},
      {Open("tune.mid"), plat::MCIERR_DUPLICATE_ALIAS},
      {"play other", plat::MCIERR_INVALID_DEVICE_NAME},
      {"rewind midi", plat::MCIERR_UNRECOGNIZED_COMMAND},
      {"seek midi to end", plat::MCIERR_UNRECOGNIZED_KEYWORD},
      {"play midi wait", plat::MCIERR_UNRECOGNIZED_KEYWORD},
      {"play midi notify now", plat::MCIERR_UNRECOGNIZED_KEYWORD},
      {"stop midi now", plat::MCIERR_UNRECOGNIZED_KEYWORD},
      {"close midi now", plat::MCIERR_UNRECOGNIZED_KEYWORD},
      {"status midi length", plat::MCIERR_UNRECOGNIZED_KEYWORD},
      {"PLAY MIDI", 0},  // names are not case-sensitive
  };
  for (const Case& c : cases) EXPECT_EQ(Send(c.command), c.result) << c.command;
  char small[4] = "xxx";
  ASSERT_EQ(plat::MciSendString("Status Midi Mode", small, sizeof small), 0);
  EXPECT_STREQ(small, "pla") << "the answer is cut to the buffer";
  EXPECT_GT(Loud(200), 300);
  // Without an audio device there is no sequencer.
  Send("close midi");
  plat::AudioReleaseDevice();
  hl::SetAudioDeviceAvailable(false);
  EXPECT_NE(plat::AudioCreateDevice(), plat::kAudioOk);
  EXPECT_EQ(Send(Open("tune.mid")), plat::MCIERR_HARDWARE);
  EXPECT_EQ(Send("play midi"), plat::MCIERR_INVALID_DEVICE_NAME);
}

const char* const kPiece = "music_mci_test_half.mid";

class FilePiece : public ::testing::Test {
 protected:
  void SetUp() override {
    hl::Reset();
    hl::SetAudioDeviceAvailable(true);
    hl::SetAudioDeviceRate(kRate);
    plat::MidiTestSetSoundFont(musictest::SmallSoundFont());
    SoundReady = 0;
    ASSERT_EQ(elSound::Init(), 1);
    elSound::ClearObjects();
    ASSERT_EQ(elMusic::Init(), 1);
    const std::vector<uint8_t> bytes = musictest::ReadData("note_half_second.mid");
    FILE* f = std::fopen(path_.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  void TearDown() override {
    elMusic::Release();
    elSound::Release();
    plat::AudioReleaseDevice();
    plat::MidiTestSetSoundFont(nullptr);
    std::remove(path_.c_str());
  }
  const std::string path_ = std::string(elSystem::GetProgramDir(0)) + kPiece;
};

TEST_F(FilePiece, PlaysThroughTheSharedPerformanceOnceOrRepeating) {
  hl::SetTimeMs(5000);
  hl::SetReadStepMicros(0);
  MusicFileEnded = 1;
  const std::string cwd = musictest::Cwd();
  elMusic::PlayFile(kPiece, 0);
  EXPECT_EQ(musictest::Cwd(), cwd);
  EXPECT_EQ(MusicFileEnded, 0);
  EXPECT_EQ(MusicCheckTime, 8000u) << "the main loop's first check three seconds on";
  EXPECT_TRUE(elMusic::IsFileSegmentPlaying());
  EXPECT_GT(Loud(200), 500);
  Loud(400);
  EXPECT_FALSE(elMusic::IsFileSegmentPlaying()) << "played once";
  elMusic::PlayFile(kPiece, 1);
  // Object numbers outside the table are left alone.
  elMusic::Play(-1, 1);
  elMusic::Play(kMusicObjects, 1);
  elMusic::Stop(kMusicObjects);
  elMusic::ReleaseObject(kMusicObjects);
  Loud(2000);
  EXPECT_TRUE(elMusic::IsFileSegmentPlaying()) << "repeating";
  EXPECT_GT(Loud(200), 100);
  elMusic::StopAll();
  EXPECT_FALSE(elMusic::IsFileSegmentPlaying());
  Loud(300);
  EXPECT_LT(Loud(200), 4);
  // A file that is not there is not reported; nothing plays.
  elMusic::PlayFile("no-such-piece.mid", 0);
  EXPECT_TRUE(hl::Boxes().empty());
  EXPECT_FALSE(elMusic::IsFileSegmentPlaying());
}

TEST_F(FilePiece, TheSequencerRepeatsOrStopsItAtTheWindowsNotification) {
  MusicReady = 0;  // the path taken when the MIDI system did not start
  elMusic::PlayFile(kPiece, 1);
  EXPECT_EQ(Mode(), "playing");
  EXPECT_GT(Loud(200), 500);
  for (int round = 0; round < 2; ++round) {
    Loud(round == 0 ? 400 : 500);
    EXPECT_EQ(Posted(true), Notes{plat::MCI_NOTIFY_SUCCESSFUL});
    EXPECT_EQ(Mode(), "playing") << "played again";
    EXPECT_GT(Loud(100), 500);
  }
  elMusic::PlayFile(kPiece, 0);
  EXPECT_EQ(Posted(true), Notes{plat::MCI_NOTIFY_ABORTED}) << "the earlier play was cut short";
  // Other notifications, and a success while the piece still plays, change nothing.
  elSystem::WindowProc(plat::MM_MCINOTIFY, plat::MCI_NOTIFY_ABORTED, 0);
  elSystem::WindowProc(plat::MM_MCINOTIFY, plat::MCI_NOTIFY_SUCCESSFUL, 0);
  EXPECT_EQ(MusicFilePlaying, 1);
  EXPECT_EQ(Mode(), "playing");
  Loud(600);
  EXPECT_EQ(Posted(true), Notes{plat::MCI_NOTIFY_SUCCESSFUL});
  EXPECT_EQ(MusicFilePlaying, 0);
  EXPECT_EQ(Mode(), "") << "closed";
  MusicReady = 1;
}

}  // namespace
