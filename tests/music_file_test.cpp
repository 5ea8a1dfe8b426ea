// The MIDI file piece: through the shared performance with the main loop's end check, and through the
// MCI sequencer with the window's end notification.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

#include "el/elMusic.h"
#include "el/elSound.h"
#include "el/elSystem.h"
#include "el/sound/sound_state.h"
#include "game/winmain.h"
#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_audio.h"
#include "platform/host.h"
#include "platform/mci.h"
#include "platform/midi.h"
#include "tests/support/loop_run.h"
#include "tests/support/music_support.h"

namespace hl = plat::headless;

namespace {

constexpr uint32_t kRate = 22050;
const char* const kPiece = "music_file_test_half.mid";

std::string ProgramFile(const char* name) { return std::string(elSystem::GetProgramDir(0)) + name; }

void CopyFixture(const char* fixture, const char* name) {
  std::vector<uint8_t> bytes = musictest::ReadData(fixture);
  FILE* f = std::fopen(ProgramFile(name).c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

std::string Mode() {
  char reply[32] = {};
  elMusic::SendCommand("status midi mode", reply, sizeof reply);
  return reply;
}

// Hands the window procedure what was posted to the window; returns the MCI notifications seen.
std::vector<uintptr_t> Deliver() {
  std::vector<uintptr_t> seen;
  plat::Msg m;
  while (plat::PeekMsg(&m)) {
    if (m.message == plat::MM_MCINOTIFY) seen.push_back(m.wParam);
    elSystem::WindowProc(m.message, m.wParam, m.lParam);
  }
  return seen;
}

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
    CopyFixture("note_half_second.mid", kPiece);
  }
  void TearDown() override {
    elMusic::Release();
    elSound::Release();
    plat::AudioReleaseDevice();
    plat::MidiTestSetSoundFont(nullptr);
    std::remove(ProgramFile(kPiece).c_str());
  }
  static std::vector<int16_t> Pull(uint32_t ms) { return musictest::Pull(ms, kRate); }
};

TEST_F(FilePiece, PlaysThroughTheSharedPerformance) {
  hl::SetTimeMs(5000);
  hl::SetReadStepMicros(0);
  MusicFileEnded = 1;
  char before[4096];
  ASSERT_NE(getcwd(before, sizeof before), nullptr);
  elMusic::PlayFile(kPiece, 0);
  char after[4096];
  ASSERT_NE(getcwd(after, sizeof after), nullptr);
  EXPECT_STREQ(after, before);
  EXPECT_EQ(MusicFilePlaying, 1);
  EXPECT_EQ(MusicFileEnded, 0);
  EXPECT_EQ(MusicFileLoop, 0);
  EXPECT_EQ(MusicCheckTime, 8000u) << "the first check three seconds on";
  EXPECT_TRUE(elMusic::IsFileSegmentPlaying());
  EXPECT_GT(musictest::Peak(Pull(200)), 500);
  Pull(400);
  EXPECT_FALSE(elMusic::IsFileSegmentPlaying()) << "played once";
  // Repeating, it goes on.
  elMusic::PlayFile(kPiece, 1);
  EXPECT_EQ(MusicFileLoop, 1);
  Pull(2000);
  EXPECT_TRUE(elMusic::IsFileSegmentPlaying());
  EXPECT_GT(musictest::Peak(Pull(200)), 100);
  elMusic::StopAll();
  EXPECT_EQ(MusicFilePlaying, 0);
  EXPECT_EQ(MusicFileSegment, nullptr);
  EXPECT_FALSE(elMusic::IsFileSegmentPlaying());
  // A file that is not there is not reported; nothing plays.
  elMusic::PlayFile("no-such-piece.mid", 0);
  EXPECT_TRUE(hl::Boxes().empty());
  EXPECT_EQ(MusicFilePlaying, 1);
  EXPECT_FALSE(elMusic::IsFileSegmentPlaying());
}

TEST_F(FilePiece, MciPlaysRepeatsAndStopsThroughTheWindow) {
  // The path the module takes when the MIDI system did not start.
  MusicReady = 0;
  elMusic::PlayFile(kPiece, 1);
  EXPECT_EQ(MusicFilePlaying, 1);
  EXPECT_EQ(Mode(), "playing");
  EXPECT_GT(musictest::Peak(Pull(200)), 500);
  Pull(400);
  // The end arrives as a notification; the window procedure asks the mode and repeats the piece.
  EXPECT_EQ(Deliver(), std::vector<uintptr_t>{plat::MCI_NOTIFY_SUCCESSFUL});
  EXPECT_EQ(Mode(), "playing");
  EXPECT_EQ(MusicFilePlaying, 1);
  EXPECT_GT(musictest::Peak(Pull(100)), 500);
  Pull(500);
  EXPECT_EQ(Deliver(), std::vector<uintptr_t>{plat::MCI_NOTIFY_SUCCESSFUL});
  EXPECT_EQ(Mode(), "playing");
  // Once: the end stops and closes it.
  elMusic::PlayFile(kPiece, 0);
  EXPECT_EQ(Deliver(), std::vector<uintptr_t>{plat::MCI_NOTIFY_ABORTED}) << "the earlier play was cut short";
  Pull(600);
  EXPECT_EQ(Deliver(), std::vector<uintptr_t>{plat::MCI_NOTIFY_SUCCESSFUL});
  EXPECT_EQ(MusicFilePlaying, 0);
  EXPECT_EQ(Mode(), "") << "closed";
  // Notify does nothing on the MIDI system's path.
  MusicReady = 1;
  elMusic::Notify();
  EXPECT_EQ(Mode(), "");
  MusicReady = 0;
}

TEST_F(FilePiece, NotificationsOtherThanSuccessAreIgnored) {
  MusicReady = 0;
  elMusic::PlayFile(kPiece, 0);
  elSystem::WindowProc(plat::MM_MCINOTIFY, plat::MCI_NOTIFY_ABORTED, 0);
  EXPECT_EQ(MusicFilePlaying, 1);
  // A success that arrives while the piece still plays (the mode is not "stopped") does nothing.
  elSystem::WindowProc(plat::MM_MCINOTIFY, plat::MCI_NOTIFY_SUCCESSFUL, 0);
  EXPECT_EQ(MusicFilePlaying, 1);
  EXPECT_EQ(Mode(), "playing");
  elMusic::StopAll();
  EXPECT_EQ(MusicFilePlaying, 0);
}

// The main loop's once-a-second check ends a non-repeating piece and raises MusicFileEnded.
TEST(FilePieceMainLoop, TheEndCheckSetsMusicFileEnded) {
  looptest::PrivateRuntimeDir();
  hl::Reset();
  hl::SetAudioDeviceAvailable(true);
  hl::SetAudioDeviceRate(kRate);
  plat::MidiTestSetSoundFont(musictest::SmallSoundFont());
  CopyFixture("note_half_second.mid", kPiece);
  ShutDownDone = 0;
  hl::SetTimeMs(10000);
  elSystem::SetFrameRate(60);
  uint32_t started = 0, endedAt = 0;
  bool stillPlayingBeforeCheck = false;
  hl::SetIdleHook([&] {
    uint32_t now = plat::TimeMs();
    if (started == 0) {
      ASSERT_EQ(MusicReady, 1);
      elMusic::PlayFile(kPiece, 0);
      started = now;
      return;
    }
    musictest::Pull(16, kRate);  // the device plays while the frames go by
    if (now - started < 2900 && MusicFileEnded) stillPlayingBeforeCheck = true;
    if (MusicFileEnded && endedAt == 0) {
      endedAt = now;
      hl::Inject(plat::WM_KEYDOWN, 27);
    }
    if (now - started > 10000) hl::Inject(plat::WM_KEYDOWN, 27);
  });
  char name[] = "oomori";
  char* argv[] = {name, nullptr};
  GameMain(1, argv);
  hl::SetIdleHook(nullptr);
  plat::MidiTestSetSoundFont(nullptr);
  std::remove(ProgramFile(kPiece).c_str());
  EXPECT_FALSE(stillPlayingBeforeCheck);
  ASSERT_NE(endedAt, 0u) << "MusicFileEnded never set";
  EXPECT_GE(endedAt - started, 3000u);
  EXPECT_LT(endedAt - started, 3200u) << "the first check, three seconds after the start, finds it over";
  EXPECT_EQ(MusicFilePlaying, 0);
}

}  // namespace
