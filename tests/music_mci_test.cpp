// The MCI sequencer's command strings and its end notification.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/audio.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_audio.h"
#include "platform/host.h"
#include "platform/mci.h"
#include "platform/midi.h"
#include "tests/support/music_support.h"

namespace hl = plat::headless;
using plat::MciSendString;

namespace {

class Mci : public ::testing::Test {
 protected:
  void SetUp() override {
    hl::Reset();
    plat::MidiTestSetSoundFont(musictest::SmallSoundFont());
    hl::SetAudioDeviceAvailable(true);
    hl::SetAudioDeviceRate(22050);
    ASSERT_EQ(plat::AudioCreateDevice(), plat::kAudioOk);
  }
  void TearDown() override {
    MciSendString("close midi", nullptr, 0);
    plat::AudioReleaseDevice();
    plat::MidiTestSetSoundFont(nullptr);
  }
  std::string Open(const std::string& file) { return "open \"" + musictest::DataPath(file) + "\" type sequencer alias midi"; }
  std::string Mode() {
    char reply[32] = "x";
    EXPECT_EQ(MciSendString("status midi mode", reply, sizeof reply), 0);
    return reply;
  }
  // Notifications posted to the window so far.
  std::vector<uintptr_t> Notes() {
    std::vector<uintptr_t> out;
    plat::Msg m;
    while (plat::PeekMsg(&m))
      if (m.message == plat::MM_MCINOTIFY) out.push_back(m.wParam);
    return out;
  }
  int Peak(uint32_t ms) { return musictest::Peak(musictest::Pull(ms, 22050)); }
};

TEST_F(Mci, PlaysToTheEndAndNotifiesOnce) {
  ASSERT_EQ(MciSendString(Open("note_half_second.mid").c_str(), nullptr, 0), 0);
  EXPECT_EQ(Mode(), "stopped");
  ASSERT_EQ(MciSendString("seek midi to start", nullptr, 0), 0);
  ASSERT_EQ(MciSendString("play midi notify", nullptr, 0), 0);
  EXPECT_EQ(Mode(), "playing");
  EXPECT_GT(Peak(300), 300);
  EXPECT_TRUE(Notes().empty());
  Peak(300);
  EXPECT_EQ(Notes(), std::vector<uintptr_t>{plat::MCI_NOTIFY_SUCCESSFUL});
  EXPECT_EQ(Mode(), "stopped");
  Peak(500);
  EXPECT_TRUE(Notes().empty());
  // Played out: another play ends at once; from the start it plays again.
  ASSERT_EQ(MciSendString("play midi notify", nullptr, 0), 0);
  EXPECT_EQ(Notes(), std::vector<uintptr_t>{plat::MCI_NOTIFY_SUCCESSFUL});
  ASSERT_EQ(MciSendString("seek midi to start", nullptr, 0), 0);
  ASSERT_EQ(MciSendString("play midi notify", nullptr, 0), 0);
  EXPECT_EQ(Mode(), "playing");
  EXPECT_GT(Peak(200), 300);
}

TEST_F(Mci, StopPausesAndCutsTheNotificationShort) {
  ASSERT_EQ(MciSendString(Open("note_half_second.mid").c_str(), nullptr, 0), 0);
  ASSERT_EQ(MciSendString("play midi notify", nullptr, 0), 0);
  Peak(300);
  ASSERT_EQ(MciSendString("stop midi", nullptr, 0), 0);
  EXPECT_EQ(Notes(), std::vector<uintptr_t>{plat::MCI_NOTIFY_ABORTED});
  EXPECT_EQ(Mode(), "stopped");
  Peak(1000);
  EXPECT_TRUE(Notes().empty()) << "a stopped piece does not end";
  // Played on, it ends after the rest of its length (about 200 ms).
  ASSERT_EQ(MciSendString("play midi notify", nullptr, 0), 0);
  Peak(100);
  EXPECT_TRUE(Notes().empty());
  Peak(150);
  EXPECT_EQ(Notes(), std::vector<uintptr_t>{plat::MCI_NOTIFY_SUCCESSFUL});
  // A second notify replaces the first.
  ASSERT_EQ(MciSendString("seek midi to start", nullptr, 0), 0);
  ASSERT_EQ(MciSendString("play midi notify", nullptr, 0), 0);
  ASSERT_EQ(MciSendString("play midi notify", nullptr, 0), 0);
  EXPECT_EQ(Notes(), std::vector<uintptr_t>{plat::MCI_NOTIFY_SUPERSEDED});
  ASSERT_EQ(MciSendString("close midi", nullptr, 0), 0);
  EXPECT_EQ(Notes(), std::vector<uintptr_t>{plat::MCI_NOTIFY_ABORTED});
  EXPECT_LT(Peak(100), 4);
  EXPECT_EQ(MciSendString("status midi mode", nullptr, 0), plat::MCIERR_INVALID_DEVICE_NAME);
}

TEST_F(Mci, RefusesWhatItDoesNotKnow) {
  char reply[8] = "xxxxxxx";
  EXPECT_EQ(MciSendString("status midi mode", reply, sizeof reply), plat::MCIERR_INVALID_DEVICE_NAME);
  EXPECT_STREQ(reply, "") << "the answer is emptied";
  EXPECT_EQ(MciSendString("open \"nofile.mid\" type sequencer alias midi", nullptr, 0), plat::MCIERR_FILE_NOT_FOUND);
  std::string bad = "open \"" + musictest::DataPath("quadrants.png") + "\" type sequencer alias midi";
  EXPECT_EQ(MciSendString(bad.c_str(), nullptr, 0), plat::MCIERR_INVALID_FILE);
  EXPECT_EQ(MciSendString("open \"x.mid type sequencer alias midi", nullptr, 0), plat::MCIERR_NO_CLOSING_QUOTE);
  EXPECT_EQ(MciSendString("open x.mid type waveaudio alias midi", nullptr, 0), plat::MCIERR_INVALID_DEVICE_NAME);
  EXPECT_EQ(MciSendString(nullptr, nullptr, 0), plat::MCIERR_UNRECOGNIZED_COMMAND);
  EXPECT_EQ(MciSendString("", nullptr, 0), plat::MCIERR_MISSING_PARAMETER);

  ASSERT_EQ(MciSendString(Open("tune.mid").c_str(), nullptr, 0), 0);
  EXPECT_EQ(MciSendString(Open("tune.mid").c_str(), nullptr, 0), plat::MCIERR_DUPLICATE_ALIAS);
  EXPECT_EQ(MciSendString("play other", nullptr, 0), plat::MCIERR_INVALID_DEVICE_NAME);
  EXPECT_EQ(MciSendString("rewind midi", nullptr, 0), plat::MCIERR_UNRECOGNIZED_COMMAND);
  EXPECT_EQ(MciSendString("seek midi to end", nullptr, 0), plat::MCIERR_UNRECOGNIZED_KEYWORD);
  EXPECT_EQ(MciSendString("play midi wait", nullptr, 0), plat::MCIERR_UNRECOGNIZED_KEYWORD);
  // Names are not case-sensitive; the answer is cut to the buffer.
  ASSERT_EQ(MciSendString("PLAY MIDI", nullptr, 0), 0);
  char small[4] = "xxx";
  ASSERT_EQ(MciSendString("Status Midi Mode", small, sizeof small), 0);
  EXPECT_STREQ(small, "pla");
}

TEST_F(Mci, NoAudioDeviceNoSequencer) {
  plat::AudioReleaseDevice();
  hl::SetAudioDeviceAvailable(false);
  EXPECT_NE(plat::AudioCreateDevice(), plat::kAudioOk);
  EXPECT_EQ(MciSendString(Open("tune.mid").c_str(), nullptr, 0), plat::MCIERR_HARDWARE);
  EXPECT_EQ(MciSendString("play midi", nullptr, 0), plat::MCIERR_INVALID_DEVICE_NAME);
}

}  // namespace
