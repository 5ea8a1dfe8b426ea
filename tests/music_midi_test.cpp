// The MIDI platform layer (file checks, the synthesizer port) and the MCI sequencer's command strings.
#include <gtest/gtest.h>

#include "platform/audio.h"
#include "platform/host.h"
#include "platform/mci.h"
#include "platform/midi.h"
#include "tests/support/music_support.h"

using namespace plat;
using musictest::Peak;
using musictest::ReadData;
using Bytes = std::vector<uint8_t>;
namespace hl = plat::headless;

namespace {

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}
Bytes Header(uint16_t format, uint16_t tracks, uint16_t division) {
  return {'M', 'T', 'h', 'd', 0, 0, 0, 6, uint8_t(format >> 8), uint8_t(format), uint8_t(tracks >> 8), uint8_t(tracks),
          uint8_t(division >> 8), uint8_t(division)};
}
// A track chunk of the events, with an end-of-track event after them unless end is false.
Bytes Track(Bytes ev, bool end = true) {
  if (end) ev.insert(ev.end(), {0x00, 0xFF, 0x2F, 0x00});
  size_t n = ev.size();
  return Cat({{'M', 'T', 'r', 'k', uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)}, ev});
}
Bytes Smf(const Bytes& events, uint16_t division = 96) { return Cat({Header(0, 1, division), Track(events)}); }
Bytes Tempo(uint32_t us) { return {0xFF, 0x51, 0x03, uint8_t(us >> 16), uint8_t(us >> 8), uint8_t(us)}; }
// The length in ms, or -1 when the file is refused.
int LengthMs(const Bytes& f) {
  uint32_t ms = 0;
  return MidiCheckFile(f.data(), f.size(), &ms) ? int(ms) : -1;
}
const Bytes kNote = {0x00, 0x90, 0x3C, 0x40};

}  // namespace

TEST(MidiFile, LengthsOfGoodFilesAndRefusalOfBadOnes) {
  Bytes many = Header(1, 128, 96), wait;
  for (int i = 0; i < 128; ++i) many = Cat({many, Track(kNote)});
  Bytes tooMany = Cat({many, Track(kNote)}), overlong = Smf(kNote);
  tooMany[11] = 129;
  overlong[21] += 1;  // the track claims a byte more than there is
  for (int i = 0; i < 9; ++i) wait = Cat({wait, {0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x01, 0x00}});
  Bytes notes;  // 20,000 ticks in a track of 80,000 bytes: its length needs three bytes
  for (int i = 0; i < 20000; ++i) notes.insert(notes.end(), {0x01, 0x90, 0x3C, 0x40});
  const struct {
    const char* what;
    Bytes file;
    int ms;
  } cases[] = {
      {"half second", ReadData("note_half_second.mid"), 500}, {"format 1", ReadData("tune.mid"), 1000},
      {"default tempo", Smf({0x85, 0xEE, 0x00, 0x90, 0x3C, 0x40}), 500000}, {"128 tracks", many, 0},
      {"long track", Smf(notes, 100), 100000},
      {"running status, one byte for a program", Smf({0, 0xC0, 5, 0x60, 0x90, 0x3C, 0x40, 0x60, 0x3C, 0}), 1000},
      {"tempo change", Smf(Cat({{0}, Tempo(500000), {0x83, 0x60}, Tempo(1000000), {0x83, 0x60, 0x90, 0x3C, 0}}), 480),
       1500},
      {"499 us", Smf(Cat({{0}, Tempo(499), {0x01, 0x90, 0x3C, 0x40}}), 1), 0},
      {"500 us", Smf(Cat({{0}, Tempo(500), {0x01, 0x90, 0x3C, 0x40}}), 1), 1},
      {"system exclusive", Smf({0x00, 0xF0, 0x02, 0x7E, 0xF7}), 0}, {"nothing", {}, -1},
      {"bytes after the last track", Cat({Smf(kNote), {'J', 'U', 'N', 'K', 0xFF}}), 0},
      {"format 2", Cat({Header(2, 1, 96), Track(kNote)}), -1}, {"real-time", Smf({0x00, 0xF8}), -1},
      {"format 0, two tracks", Cat({Header(0, 2, 96), Track(kNote), Track(kNote)}), -1},
      {"no tracks", Header(1, 0, 96), -1}, {"129 tracks", tooMany, -1}, {"division 0", Smf(kNote, 0), -1},
      {"time code", Smf(kNote, 0xE728), -1}, {"track past the end", overlong, -1},
      {"header of 8", Cat({{'M', 'T', 'h', 'd', 0, 0, 0, 8, 0, 0, 0, 1, 0, 96, 0, 0}, Track(kNote)}), -1},
      {"chunk among the tracks", Cat({Header(0, 1, 96), {'J', 'U', 'N', 'K', 0, 0, 0, 0}, Track(kNote)}), -1},
      {"no status", Smf({0x00, 0x3C, 0x40}), -1}, {"data byte 0x80", Smf({0x00, 0x90, 0x3C, 0x80}), -1},
      {"tempo 0", Smf(Cat({{0}, Tempo(0)})), -1}, {"tempo of 2", Smf({0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1}), -1},
      {"time signature of 3", Smf({0x00, 0xFF, 0x58, 0x03, 4, 2, 24}), -1}, {"meta 0x81", Smf({0, 0xFF, 0x81, 0}), -1},
      {"end of track with data", Cat({Header(0, 1, 96), Track({0x00, 0xFF, 0x2F, 0x01, 0x00}, false)}), -1},
      {"five-byte delta", Smf({0x80, 0x80, 0x80, 0x80, 0x00}), -1}, {"ticks overflow", Smf(wait), -1},
      {"empty exclusive", Smf({0x00, 0xF0, 0x00}), -1}, {"exclusive past end", Smf({0x00, 0xF0, 0x85, 0x00}), -1},
      {"escaped", Smf({0x00, 0xF7, 0x01, 0xF7}), -1},
      {"running status after meta", Smf({0x00, 0x90, 0x3C, 0x40, 0x00, 0xFF, 0x01, 0x00, 0x10, 0x3E, 0x40}), -1},
  };
  for (const auto& c : cases) EXPECT_EQ(LengthMs(c.file), c.ms) << c.what;
  // A good file cut short is refused, also inside a track whose chunk length is right: end of track comes last.
  const Bytes good = ReadData("note_half_second.mid"), events(good.begin() + 22, good.end());
  for (size_t n = 0; n < good.size(); ++n) EXPECT_EQ(LengthMs(Bytes(good.begin(), good.begin() + long(n))), -1) << n;
  for (size_t n = 0; n < events.size(); ++n)
    EXPECT_EQ(LengthMs(Cat({Header(0, 1, 96), Track(Bytes(events.begin(), events.begin() + long(n)), false)})), -1);
}

class MidiSynth : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    MidiTestSetSoundFont(musictest::SmallSoundFont());
    MidiTestSetPorts(true, true);
    ASSERT_TRUE(MidiOpen());
  }
  static void TearDownTestSuite() { MidiClose(); }
  void SetUp() override { ASSERT_EQ(MidiCreatePort(Caps(0).portId, {16, false}, &port_), MIDI_OK); }  // inactive
  void TearDown() override {
    for (MidiPerformance* p : perfs_) MidiReleasePerformance(p);
    for (MidiSegment* s : segs_) MidiReleaseSegment(s);
    MidiReleasePort(port_);
  }
  static MidiPortCaps Caps(uint32_t index) {
    MidiPortCaps caps;
    EXPECT_EQ(MidiEnumPort(index, &caps), MIDI_OK);
    return caps;
  }
  // A performance on a channel group of the port (group 0: not even initialised).
  MidiPerformance* Perf(uint32_t group) {
    MidiPerformance* p = nullptr;
    EXPECT_EQ(MidiCreatePerformance(&p), MIDI_OK);
    perfs_.push_back(p);
    if (group == 0) return p;
    EXPECT_EQ(MidiPerformanceInit(p), MIDI_OK);
    EXPECT_EQ(MidiPerformanceAddPort(p, port_), MIDI_OK);
    EXPECT_EQ(MidiPerformanceAssignBlock(p, 0, port_, group), MIDI_OK);
    return p;
  }
  MidiSegment* Seg(const Bytes& bytes, uint32_t repeats = 0) {
    MidiSegment* s = nullptr;
    EXPECT_EQ(MidiLoadSegment(bytes.data(), bytes.size(), &s), MIDI_OK);
    segs_.push_back(s);
    MidiSegmentSetRepeats(s, repeats);
    return s;
  }
  // Peak of ms of the port's 16-bit stereo.
  int Render(uint32_t ms) {
    std::vector<int16_t> out(size_t(22050) * ms / 1000 * 2);
    EXPECT_EQ(MidiPortRender(port_, out.data(), uint32_t(out.size() * 2)), MIDI_OK);
    return Peak(out);
  }
  MidiPort* port_ = nullptr;
  std::vector<MidiPerformance*> perfs_;
  std::vector<MidiSegment*> segs_;
};

TEST_F(MidiSynth, PortsAndTheCallsTheyRefuse) {
  EXPECT_EQ(std::string(Caps(0).description) + "|" + Caps(1).description, "Microsoft Synthesizer|External MIDI Port");
  MidiPort* ext = nullptr;
  EXPECT_EQ(MidiCreatePort(Caps(0).portId, {1, false}, &ext), MIDI_E_INUSE) << "one synthesizer port at a time";
  EXPECT_EQ(MidiCreatePort(Caps(1).portId, {2, false}, &ext), MIDI_E_INVALIDARG) << "the external port has one group";
  ASSERT_EQ(MidiCreatePort(Caps(1).portId, {1, false}, &ext), MIDI_OK);
  MidiPerformance* p = Perf(0);
  EXPECT_EQ(MidiPerformanceAddPort(p, ext), MIDI_E_NOTOPEN) << "before Init";
  EXPECT_EQ(MidiPerformanceAddPort(nullptr, ext) + MidiPerformanceAddPort(p, nullptr), 2 * MIDI_E_INVALIDARG);
  ASSERT_EQ(MidiPerformanceInit(p), MIDI_OK);
  EXPECT_EQ(MidiPerformanceAssignBlock(p, 0, ext, 1), MIDI_E_NOPORT) << "the port must be added first";
  ASSERT_EQ(MidiPerformanceAddPort(p, ext), MIDI_OK);
  EXPECT_EQ(MidiPerformanceAssignBlock(p, 0, ext, 2) + MidiPerformanceAssignBlock(p, 1, ext, 1), 2 * MIDI_E_INVALIDARG);
  ASSERT_EQ(MidiPerformanceAssignBlock(p, 0, ext, 1), MIDI_OK);
  ASSERT_EQ(MidiPerformancePlay(p, Seg(ReadData("note_two_seconds.mid")), nullptr), MIDI_OK);
  MidiPortActivate(port_, true);
  EXPECT_LT(Render(200), 4) << "what plays on the external port is not heard from the synthesizer";
  // Back on the synthesizer: taking a port off silences the channels only when they sound there.
  ASSERT_EQ(MidiPerformanceAddPort(p, port_) + MidiPerformanceAssignBlock(p, 0, port_, 1), MIDI_OK);
  ASSERT_EQ(MidiPerformancePlay(p, Seg(ReadData("note_two_seconds.mid")), nullptr), MIDI_OK);
  EXPECT_EQ(MidiPerformanceRemovePort(p, ext), MIDI_OK);
  Render(300);  // past any echo of a silenced note
  EXPECT_GT(Render(100), 500) << "still sounding";
  EXPECT_EQ(MidiPerformanceRemovePort(p, ext) + MidiPerformanceRemovePort(p, port_), MIDI_E_NOPORT);
  Render(100);
  EXPECT_LT(Render(100), 4);
  MidiReleasePort(ext);
}

TEST_F(MidiSynth, OnlyAnActivePortSoundsInItsBuffersFormat) {
  hl::Reset();
  hl::SetAudioDeviceRate(22050);
  ASSERT_EQ(AudioCreateDevice(), kAudioOk);
  ASSERT_EQ(MidiPerformancePlay(Perf(1), Seg(ReadData("note_two_seconds.mid"), ~0u), nullptr), MIDI_OK);
  EXPECT_EQ(Render(100), 0) << "not activated";
  for (uint16_t bits : {16, 8})
    for (uint16_t channels : {1, 2}) {
      const uint16_t align = uint16_t(channels * bits / 8);
      AudioFormat f{1, channels, 22050, 22050u * align, align, bits, 0};
      AudioBuffer buffer = 0;
      ASSERT_EQ(AudioCreateBuffer(0, 22050u * align, &f, sizeof f, &buffer), kAudioOk);
      ASSERT_EQ(MidiPortSetOutput(port_, buffer), MIDI_OK);
      for (bool active : {false, true}) {
        Bytes out(2205u * align + 1, 0x5A);  // 100 ms and a byte
        ASSERT_EQ(MidiPortActivate(port_, active), MIDI_OK);
        ASSERT_EQ(MidiPortRender(port_, out.data(), uint32_t(out.size() - 1)), MIDI_OK);
        int peak = 0;
        for (size_t i = 0; i + 1 < out.size(); i += bits / 8)
          peak = std::max(peak, std::abs(bits == 8 ? (out[i] - 128) * 256 : int(int16_t(out[i] | out[i + 1] << 8))));
        EXPECT_EQ(peak > 500, active) << channels << " x " << bits << ": " << peak;
        EXPECT_EQ(out.back(), 0x5A) << "nothing written past the end";
      }
      AudioReleaseBuffer(buffer);
    }
  AudioReleaseDevice();
  // A piece that ends where it starts, repeated without end, plays once and lets the render return.
  MidiPerformance* p = Perf(2);
  MidiSegment* empty = Seg(Smf({0x00, 0xC0, 0x05}), MIDI_REPEAT_INFINITE);
  ASSERT_EQ(MidiPerformancePlay(p, empty, nullptr), MIDI_OK);
  Render(100);
  EXPECT_EQ(MidiPerformanceIsPlaying(p, empty, 0), MIDI_S_FALSE);
}

// A short piece repeated without end sounds through one long render: its loop is armed within the
// render in which its first round ends.
TEST_F(MidiSynth, AShortEndlessPieceKeepsSoundingThroughOneLongRender) {
  MidiPortActivate(port_, true);
  const Bytes note = Smf({0x00, 0x90, 0x3C, 0x64, 0x13, 0x80, 0x3C, 0x00});  // 100 ms
  ASSERT_EQ(MidiPerformancePlay(Perf(1), Seg(note, MIDI_REPEAT_INFINITE), nullptr), MIDI_OK);
  std::vector<int16_t> out(size_t(22050) * 2);  // one second
  ASSERT_EQ(MidiPortRender(port_, out.data(), uint32_t(out.size() * 2)), MIDI_OK);
  EXPECT_GT(Peak(std::vector<int16_t>(out.end() - 4410, out.end())), 500) << "still sounding in its tenth round";
}

// A segment made without a repeat count plays once.
TEST_F(MidiSynth, ASegmentPlaysOnceUnlessToldToRepeat) {
  MidiPortActivate(port_, true);
  const Bytes note = Smf({0x00, 0x90, 0x3C, 0x64, 0x13, 0x80, 0x3C, 0x00});  // 100 ms
  MidiSegment* s = nullptr;
  ASSERT_EQ(MidiLoadSegment(note.data(), note.size(), &s), MIDI_OK);
  segs_.push_back(s);
  MidiPerformance* p = Perf(1);
  ASSERT_EQ(MidiPerformancePlay(p, s, nullptr), MIDI_OK);
  EXPECT_GT(Render(50), 500);
  Render(80);  // past the end of one play, inside a second
  EXPECT_NE(MidiPerformanceIsPlaying(p, s, 0), MIDI_OK);
}

// The SoundFont loads behind MidiOpen: a close while it loads is clean, and a play asked for at once
// waits for it and sounds from its first note (a 100 ms note).
TEST_F(MidiSynth, CloseWhileLoadingThenPlayAtOnce) {
  MidiReleasePort(port_);
  MidiClose();
  ASSERT_TRUE(MidiOpen());
  MidiClose();
  ASSERT_TRUE(MidiOpen());
  ASSERT_EQ(MidiCreatePort(Caps(0).portId, {16, false}, &port_), MIDI_OK);
  MidiPortActivate(port_, true);
  EXPECT_EQ(MidiPerformancePlay(Perf(1), Seg(Smf({0x00, 0x90, 0x3C, 0x64, 0x13, 0x80, 0x3C, 0x00})), nullptr), MIDI_OK);
  EXPECT_GT(Render(100), 500);
}

class Mci : public ::testing::Test {
 protected:
  void SetUp() override {
    hl::Reset();
    MidiTestSetSoundFont(musictest::SmallSoundFont());
    hl::SetAudioDeviceRate(22050);
    ASSERT_EQ(AudioCreateDevice(), kAudioOk);
  }
  void TearDown() override { Send("close midi"); AudioReleaseDevice(); }
  static long Send(const std::string& command, char* reply = nullptr, uint32_t size = 0) {
    return MciSendString(command.c_str(), reply, size);
  }
  static std::string Open(const char* f) { return "open \"" + musictest::DataPath(f) + "\" type sequencer alias midi"; }
  // After ms of the mix: the mode, '+' if it sounded, the notifications (1 done, 2 superseded, 4 aborted).
  static std::string After(uint32_t ms) {
    std::string s = Peak(musictest::Pull(ms, 22050)) > 300 ? "+" : "";
    char reply[32] = "x";
    s = (Send("status midi mode", reply, sizeof reply) ? "closed" : reply) + s;
    for (Msg m; PeekMsg(&m);) s += m.message == MM_MCINOTIFY ? " " + std::to_string(m.wParam) : " ?";
    return s;
  }
};

TEST_F(Mci, PlaysToTheEndAndNotifiesOnceOrAsCutShort) {
  ASSERT_EQ(Send(Open("note_half_second.mid")), 0);
  EXPECT_EQ(After(0), "stopped");
  ASSERT_EQ(Send("play midi notify"), 0);
  EXPECT_EQ(After(300), "playing+") << "no notification while it plays";
  EXPECT_EQ(After(300), "stopped+ 1");
  EXPECT_EQ(After(500), "stopped");
  ASSERT_EQ(Send("play midi notify"), 0);
  EXPECT_EQ(After(0), "stopped 1") << "played out: the play ends at once";
  // From the start again; a stop holds the place and cuts the notification short, once.
  for (const char* c : {"seek midi to start", "play midi notify", "stop midi", "stop midi"}) ASSERT_EQ(Send(c), 0);
  EXPECT_EQ(After(1000), "stopped 4");
  ASSERT_EQ(Send("play midi notify"), 0);
  EXPECT_EQ(After(100), "playing+");
  EXPECT_EQ(After(400), "stopped+ 1") << "the rest of its length played";
  for (const char* c : {"seek midi to start", "play midi notify", "play midi notify", "seek midi to start",
                        "play midi notify", "close midi"})
    ASSERT_EQ(Send(c), 0) << c;
  EXPECT_EQ(After(100), "closed 2 4 4");
}

TEST_F(Mci, RefusesWhatItDoesNotKnow) {
  const struct {
    std::string command;
    long result;
  } cases[] = {
      {Open("nofile.mid"), MCIERR_FILE_NOT_FOUND}, {Open("quadrants.png"), MCIERR_INVALID_FILE},
      {"open \"x.mid type sequencer alias midi", MCIERR_NO_CLOSING_QUOTE}, {"play", MCIERR_MISSING_PARAMETER},
      {"open x.mid type waveaudio alias midi", MCIERR_INVALID_DEVICE_NAME},
      {"status midi mode", MCIERR_INVALID_DEVICE_NAME}, {Open("tune.mid"), 0},
      {Open("tune.mid"), MCIERR_DUPLICATE_ALIAS}, {"play other", MCIERR_INVALID_DEVICE_NAME},
      {"rewind midi", MCIERR_UNRECOGNIZED_COMMAND}, {"seek midi to end", MCIERR_UNRECOGNIZED_KEYWORD},
      {"play midi wait", MCIERR_UNRECOGNIZED_KEYWORD}, {"PLAY MIDI", 0},  // names are not case-sensitive
  };
  for (const auto& c : cases) EXPECT_EQ(Send(c.command), c.result) << c.command;
  char reply[4] = "xxx";
  ASSERT_EQ(Send("Status Midi Mode", reply, 4), 0);
  EXPECT_STREQ(reply, "pla") << "the answer is cut to the buffer";
  EXPECT_EQ(After(200), "playing+");
  Send("close midi");
  AudioReleaseDevice();
  hl::SetAudioDeviceAvailable(false);
  EXPECT_EQ(Send(Open("tune.mid")), MCIERR_HARDWARE) << "without an audio device there is no sequencer";
}
