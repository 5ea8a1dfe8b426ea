// The MIDI platform layer: file checks and lengths, the synthesizer port, performances on channel groups.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "platform/audio.h"
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
Bytes VarLen(uint32_t v) {
  Bytes b = {uint8_t(v & 0x7F)};
  while (v >>= 7) b.insert(b.begin(), uint8_t(0x80 | (v & 0x7F)));
  return b;
}
// The length in ms, or -1 when the file is refused.
int LengthMs(const Bytes& f) {
  uint32_t ms = 0;
  return MidiCheckFile(f.data(), f.size(), &ms) ? int(ms) : -1;
}

const Bytes kNote = {0x00, 0x90, 0x3C, 0x40};

TEST(MidiFile, LengthsOfGoodFilesAndRefusalOfBadOnes) {
  Bytes longWait;
  for (int i = 0; i < 9; ++i) longWait.insert(longWait.end(), {0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x01, 0x00});
  const Bytes longHeader = Cat({{'M', 'T', 'h', 'd', 0, 0, 0, 8, 0, 0, 0, 1, 0, 96, 0, 0}, Track(kNote)});
  Bytes many = Header(1, 128, 96);
  for (int i = 0; i < 128; ++i) many = Cat({many, Track(kNote)});
  Bytes tooMany = Cat({many, Track(kNote)});
  tooMany[11] = 129;
  Bytes overlong = Smf(kNote);
  overlong[21] += 1;  // the track claims a byte more than there is
  struct Case {
    const char* what;
    Bytes file;
    int ms;
  } cases[] = {
      {"half-second fixture", ReadData("note_half_second.mid"), 500},
      {"two-second fixture", ReadData("note_two_seconds.mid"), 2000},
      {"format 1 fixture", ReadData("tune.mid"), 1000},
      {"default tempo", Smf({0x60, 0x90, 0x3C, 0x40}), 500},
      {"running status", Smf({0x00, 0x90, 0x3C, 0x40, 0x60, 0x3C, 0x00}), 500},
      {"program change has one data byte", Smf({0x00, 0xC0, 0x05, 0x60, 0x90, 0x3C, 0x40}), 500},
      {"tempo change", Smf(Cat({{0}, Tempo(500000), {0x83, 0x60}, Tempo(1000000), {0x83, 0x60, 0x90, 0x3C, 0}}), 480),
       1500},
      {"499 us round down", Smf(Cat({{0}, Tempo(499), {0x01, 0x90, 0x3C, 0x40}}), 1), 0},
      {"500 us round up", Smf(Cat({{0}, Tempo(500), {0x01, 0x90, 0x3C, 0x40}}), 1), 1},
      {"system exclusive", Smf({0x00, 0xF0, 0x02, 0x7E, 0xF7}), 0},
      {"128 tracks", many, 0},
      {"bytes after the last track", Cat({Smf(kNote), {'J', 'U', 'N', 'K', 0xFF}}), 0},
      {"no file", {}, -1},
      {"format 2", Cat({Header(2, 1, 96), Track(kNote)}), -1},
      {"format 0 with two tracks", Cat({Header(0, 2, 96), Track(kNote), Track(kNote)}), -1},
      {"no tracks", Header(1, 0, 96), -1},
      {"129 tracks", tooMany, -1},
      {"division 0", Smf(kNote, 0), -1},
      {"time code division", Smf(kNote, 0xE728), -1},
      {"header of eight bytes", longHeader, -1},
      {"track longer than the file", overlong, -1},
      {"another chunk among the tracks", Cat({Header(0, 1, 96), {'J', 'U', 'N', 'K', 0, 0, 0, 0}, Track(kNote)}), -1},
      {"data without status", Smf({0x00, 0x3C, 0x40}), -1},
      {"data byte with top bit", Smf({0x00, 0x90, 0x3C, 0x80}), -1},
      {"tempo 0", Smf(Cat({{0}, Tempo(0)})), -1},
      {"tempo of two bytes", Smf({0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1}), -1},
      {"time signature of three bytes", Smf({0x00, 0xFF, 0x58, 0x03, 4, 2, 24}), -1},
      {"key signature of three bytes", Smf({0x00, 0xFF, 0x59, 0x03, 0, 0, 0}), -1},
      {"offset of four bytes", Smf({0x00, 0xFF, 0x54, 0x04, 0, 0, 0, 0}), -1},
      {"meta type with top bit", Smf({0x00, 0xFF, 0x81, 0x00}), -1},
      {"meta event past the end", Cat({Header(0, 1, 96), Track({0x00, 0xFF, 0x01, 0x7F}, false)}), -1},
      {"no end of track", Cat({Header(0, 1, 96), Track(kNote, false)}), -1},
      {"end of track with data", Cat({Header(0, 1, 96), Track({0x00, 0xFF, 0x2F, 0x01, 0x00}, false)}), -1},
      {"five-byte delta", Smf({0x80, 0x80, 0x80, 0x80, 0x00, 0x90, 0x3C, 0x40}), -1},
      {"ticks past what the player counts", Smf(longWait), -1},
      {"system exclusive past the end", Smf({0x00, 0xF0, 0x85, 0x00}), -1},
      {"empty system exclusive", Smf({0x00, 0xF0, 0x00}), -1},
      {"escaped message", Smf({0x00, 0xF7, 0x01, 0xF7}), -1},
      {"real-time message", Smf({0x00, 0xF8}), -1},
      {"running status across a meta event", Smf({0x00, 0x90, 0x3C, 0x40, 0x00, 0xFF, 0x01, 0x00, 0x10, 0x3E, 0x40}),
       -1},
  };
  for (const Case& c : cases) EXPECT_EQ(LengthMs(c.file), c.ms) << c.what;
  EXPECT_FALSE(MidiCheckFile(nullptr, 100, nullptr));
  // Whatever is cut off a good file, also inside a track whose chunk says how long it is, is refused:
  // the end-of-track event comes last.
  const Bytes good = ReadData("note_half_second.mid");
  const Bytes events(good.begin() + 22, good.end());
  for (size_t n = 0; n < good.size(); ++n) EXPECT_EQ(LengthMs(Bytes(good.begin(), good.begin() + long(n))), -1) << n;
  for (size_t n = 0; n < events.size(); ++n)
    EXPECT_EQ(LengthMs(Cat({Header(0, 1, 480), Track(Bytes(events.begin(), events.begin() + long(n)), false)})), -1)
        << n;
}

// Random format 1 files against a model: every tick lasts the tempo set last at or before it, in any
// track (500000 us a quarter note before the first); the piece lasts until its longest track ends.
TEST(MidiFile, LengthFollowsTheTempoMapOfAllTracks) {
  std::mt19937 rng(7);
  const uint32_t division = 128;
  for (int round = 0; round < 200; ++round) {
    std::vector<std::pair<uint32_t, uint32_t>> tempos;  // tick, us a quarter note; in file order
    uint32_t endTick = 0;
    const int tracks = 1 + int(rng() % 3);
    Bytes file = Header(1, uint16_t(tracks), division);
    for (int t = 0; t < tracks; ++t) {
      Bytes ev;
      uint32_t tick = 0;
      for (int e = int(rng() % 6); e >= 0; --e) {
        uint32_t delta = rng() % 400;
        tick += delta;
        bool tempo = e > 0 && rng() % 2;
        if (tempo) tempos.push_back({tick, 1 + rng() % 2000000});
        ev = Cat({ev, VarLen(delta), tempo ? Tempo(tempos.back().second) : Bytes{0x90, 0x3C, 0x40}});
      }
      endTick = std::max(endTick, tick);
      file = Cat({file, Track(ev)});
    }
    uint64_t total = 0;  // us x division
    for (uint32_t k = 0; k < endTick; ++k) {
      uint32_t us = 500000, at = 0;
      for (const auto& [tick, value] : tempos)
        if (tick <= k && tick >= at) {
          at = tick;
          us = value;
        }
      total += us;
    }
    const uint64_t expected = (2 * total + 1000 * division) / (2000 * division);  // to the nearest ms
    ASSERT_EQ(LengthMs(file), int(expected)) << "round " << round;
  }
}

class MidiSynth : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    MidiTestSetSoundFont(musictest::SmallSoundFont());
    MidiTestSetPorts(true, true);
    ASSERT_TRUE(MidiOpen());
  }
  static void TearDownTestSuite() {
    MidiClose();
    MidiTestSetSoundFont(nullptr);
  }
  void SetUp() override { port_ = NewPort(); }
  void TearDown() override {
    for (MidiPerformance* p : perfs_) MidiReleasePerformance(p);
    for (MidiSegment* s : segs_) MidiReleaseSegment(s);
    MidiReleasePort(port_);
  }
  // The synthesizer port, not yet active.
  static MidiPort* NewPort() {
    MidiPortCaps caps;
    EXPECT_EQ(MidiEnumPort(0, &caps), MIDI_OK);
    MidiPortParams params;
    params.channelGroups = caps.maxChannelGroups;
    MidiPort* p = nullptr;
    EXPECT_EQ(MidiCreatePort(caps.portId, params, &p), MIDI_OK);
    return p;
  }
  MidiPerformance* Perf(uint32_t group, MidiPort* port = nullptr) {
    port = port ? port : port_;
    MidiPerformance* p = nullptr;
    EXPECT_EQ(MidiCreatePerformance(&p), MIDI_OK);
    perfs_.push_back(p);
    EXPECT_EQ(MidiPerformanceInit(p), MIDI_OK);
    EXPECT_EQ(MidiPerformanceAddPort(p, port), MIDI_OK);
    EXPECT_EQ(MidiPerformanceAssignBlock(p, 0, port, group), MIDI_OK);
    return p;
  }
  MidiSegment* Seg(const Bytes& bytes, uint32_t repeats = 0) {
    MidiSegment* s = nullptr;
    EXPECT_EQ(MidiLoadSegment(bytes.data(), bytes.size(), &s), MIDI_OK);
    segs_.push_back(s);
    MidiSegmentSetRepeats(s, repeats);
    return s;
  }
  // ms of the port's 16-bit stereo, activating it first unless asked not to.
  std::vector<int16_t> Render(uint32_t ms, bool activate = true) {
    if (activate) MidiPortActivate(port_, true);
    std::vector<int16_t> out(size_t(22050) * ms / 1000 * 2);
    EXPECT_EQ(MidiPortRender(port_, out.data(), uint32_t(out.size() * 2)), MIDI_OK);
    return out;
  }

  MidiPort* port_ = nullptr;
  std::vector<MidiPerformance*> perfs_;
  std::vector<MidiSegment*> segs_;
};

TEST_F(MidiSynth, PortsAndTheCallsTheyRefuse) {
  MidiPortCaps caps;
  ASSERT_EQ(MidiEnumPort(0, &caps), MIDI_OK);
  EXPECT_STREQ(caps.description, "Microsoft Synthesizer");
  EXPECT_EQ(caps.maxChannelGroups, 16u);
  MidiPortCaps ext;
  ASSERT_EQ(MidiEnumPort(1, &ext), MIDI_OK);
  EXPECT_STREQ(ext.description, "External MIDI Port");
  EXPECT_EQ(MidiEnumPort(2, &ext), MIDI_S_FALSE);
  MidiPort* other = nullptr;
  MidiPortParams params;
  EXPECT_EQ(MidiCreatePort(caps.portId, params, &other), MIDI_E_INUSE) << "one synthesizer port at a time";
  EXPECT_EQ(MidiCreatePort(99, params, &other), MIDI_E_NOPORT);
  params.channelGroups = 2;
  EXPECT_EQ(MidiCreatePort(ext.portId, params, &other), MIDI_E_INVALIDARG) << "the external port has one group";
  params.channelGroups = 1;
  ASSERT_EQ(MidiCreatePort(ext.portId, params, &other), MIDI_OK);
  MidiFormat f;
  EXPECT_EQ(MidiPortGetFormat(other, &f), MIDI_E_FAIL);
  MidiPerformance* p = nullptr;
  ASSERT_EQ(MidiCreatePerformance(&p), MIDI_OK);
  perfs_.push_back(p);
  EXPECT_EQ(MidiPerformanceAddPort(p, port_), MIDI_E_NOTOPEN) << "before Init";
  ASSERT_EQ(MidiPerformanceInit(p), MIDI_OK);
  EXPECT_EQ(MidiPerformanceAssignBlock(p, 0, other, 1), MIDI_E_NOPORT) << "the port must be added first";
  ASSERT_EQ(MidiPerformanceAddPort(p, other), MIDI_OK);
  EXPECT_EQ(MidiPerformanceAssignBlock(p, 0, other, 2), MIDI_E_INVALIDARG);
  EXPECT_EQ(MidiPerformanceAssignBlock(p, 1, other, 1), MIDI_E_INVALIDARG);
  ASSERT_EQ(MidiPerformanceAssignBlock(p, 0, other, 1), MIDI_OK);
  // What plays on the external port is not heard from the synthesizer.
  ASSERT_EQ(MidiPerformancePlay(p, Seg(ReadData("note_two_seconds.mid")), nullptr), MIDI_OK);
  EXPECT_LT(Peak(Render(200)), 4);
  EXPECT_EQ(MidiTestVoices(0), 0);
  MidiReleasePort(other);
}

TEST_F(MidiSynth, PerformancesPlayOnTheirOwnChannelGroupsAtOnceUntilTheyEnd) {
  MidiPerformance* a = Perf(1);
  MidiPerformance* b = Perf(2);
  MidiPerformance* c = Perf(3);
  MidiSegment* once = Seg(ReadData("note_half_second.mid"));
  MidiSegment* endless = Seg(ReadData("note_half_second.mid"), MIDI_REPEAT_INFINITE);
  MidiSegment* tune = Seg(ReadData("tune.mid"));
  uint32_t state = 0;
  ASSERT_EQ(MidiPerformancePlay(a, once, &state), MIDI_OK);
  ASSERT_EQ(MidiPerformancePlay(b, endless, nullptr), MIDI_OK);
  ASSERT_EQ(MidiPerformancePlay(c, tune, nullptr), MIDI_OK);
  EXPECT_GT(Peak(Render(20)), 500);
  // Each plays MIDI channel 0 (the tune also the drums on 9) on its own group's channels.
  for (int ch : {0, 16, 32, 32 + 9}) EXPECT_GT(MidiTestVoices(ch), 0) << ch;
  for (int ch : {9, 48}) EXPECT_EQ(MidiTestVoices(ch), 0) << ch;
  EXPECT_EQ(MidiPerformanceIsPlaying(a, once, state), MIDI_OK);
  EXPECT_EQ(MidiPerformanceIsPlaying(a, endless, 0), MIDI_S_FALSE) << "another segment";
  EXPECT_EQ(MidiPerformanceIsPlaying(a, once, state + 1), MIDI_S_FALSE) << "another play";
  // Stopping one leaves the others sounding.
  ASSERT_EQ(MidiPerformanceStop(c, nullptr), MIDI_OK);
  Render(20);
  EXPECT_EQ(MidiTestVoices(32), 0);
  EXPECT_GT(MidiTestVoices(0), 0);
  // The single play ends after its half second; the endless one is still there in its sixth round.
  Render(450);
  EXPECT_EQ(MidiPerformanceIsPlaying(a, once, state), MIDI_OK);
  Render(20);
  EXPECT_EQ(MidiPerformanceIsPlaying(a, once, state), MIDI_S_FALSE);
  Render(2300);
  EXPECT_EQ(MidiTestVoices(0), 0);
  EXPECT_GT(MidiTestVoices(16), 0);
  EXPECT_EQ(MidiPerformanceIsPlaying(b, endless, 0), MIDI_OK);
}

TEST_F(MidiSynth, OnlyAnActivePortSoundsInItsBuffersFormat) {
  hl::Reset();
  hl::SetAudioDeviceRate(22050);
  ASSERT_EQ(AudioCreateDevice(), kAudioOk);
  MidiSegment* seg = Seg(ReadData("note_two_seconds.mid"), MIDI_REPEAT_INFINITE);
  ASSERT_EQ(MidiPerformancePlay(Perf(1), seg, nullptr), MIDI_OK);
  EXPECT_EQ(Peak(Render(100, false)), 0) << "not activated";
  struct Case {
    uint16_t channels, bits;
  } cases[] = {{2, 16}, {1, 16}, {2, 8}, {1, 8}};
  for (const Case& c : cases) {
    const uint16_t align = uint16_t(c.channels * c.bits / 8);
    AudioFormat f{1, c.channels, 22050, 22050u * align, align, c.bits, 0};
    AudioBuffer buffer = 0;
    ASSERT_EQ(AudioCreateBuffer(0, 22050u * align, &f, sizeof f, &buffer), kAudioOk);
    ASSERT_EQ(MidiPortSetOutput(port_, buffer), MIDI_OK);
    const uint32_t bytes = 2205u * align;  // 100 ms
    Bytes out(bytes + 8, 0x5A);
    for (bool active : {false, true}) {
      ASSERT_EQ(MidiPortActivate(port_, active), MIDI_OK);
      ASSERT_EQ(MidiPortRender(port_, out.data(), bytes), MIDI_OK);
      int peak = 0;
      for (uint32_t i = 0; i < bytes; i += c.bits / 8) {
        int v = c.bits == 8 ? (out[i] - 128) * 256 : int16_t(out[i] | out[i + 1] << 8);
        peak = std::max(peak, std::abs(v));
      }
      if (active)
        EXPECT_GT(peak, 500) << c.channels << " x " << c.bits;
      else
        EXPECT_EQ(peak, 0) << c.channels << " x " << c.bits;
      EXPECT_EQ(out[bytes], 0x5A) << "nothing written past the end";
    }
    MidiPortActivate(port_, false);
    AudioReleaseBuffer(buffer);
  }
  AudioFormat f{1, 2, 44100, 44100 * 4, 4, 16, 0};
  AudioBuffer fast = 0;
  ASSERT_EQ(AudioCreateBuffer(0, 44100 * 4, &f, sizeof f, &fast), kAudioOk);
  EXPECT_EQ(MidiPortSetOutput(port_, fast), MIDI_E_BADFORMAT) << "not the synthesizer's rate";
  AudioReleaseBuffer(fast);
  AudioReleaseDevice();
}

TEST_F(MidiSynth, AReleasedPortSilencesItsPerformancesUntilAttachedAgain) {
  MidiPerformance* p = Perf(2);
  MidiSegment* seg = Seg(ReadData("note_two_seconds.mid"), MIDI_REPEAT_INFINITE);
  ASSERT_EQ(MidiPerformancePlay(p, seg, nullptr), MIDI_OK);
  Render(50);
  EXPECT_GT(MidiTestVoices(16), 0);
  MidiReleasePort(port_);
  port_ = NewPort();
  Render(300);  // the effects' tails
  EXPECT_LT(Peak(Render(2500)), 4);
  ASSERT_EQ(MidiPerformanceAddPort(p, port_), MIDI_OK);
  ASSERT_EQ(MidiPerformanceAssignBlock(p, 0, port_, 2), MIDI_OK);
  ASSERT_EQ(MidiPerformancePlay(p, seg, nullptr), MIDI_OK);
  EXPECT_GT(Peak(Render(100)), 500);
}

TEST_F(MidiSynth, SegmentsAreCheckedAndCopied) {
  Bytes bytes = ReadData("note_half_second.mid");
  MidiSegment* s = Seg(bytes);
  std::fill(bytes.begin(), bytes.end(), 0);  // the caller's bytes may go away
  ASSERT_EQ(MidiPerformancePlay(Perf(1), s, nullptr), MIDI_OK);
  EXPECT_GT(Peak(Render(200)), 500);
  MidiSegment* bad = reinterpret_cast<MidiSegment*>(1);
  EXPECT_EQ(MidiLoadSegment(bytes.data(), bytes.size(), &bad), MIDI_E_BADFILE);
  EXPECT_EQ(bad, nullptr);
  EXPECT_EQ(MidiLoadSegmentFile("no-such-file.mid", &bad), MIDI_E_BADFILE);
  ASSERT_EQ(MidiLoadSegmentFile(musictest::DataPath("tune.mid").c_str(), &bad), MIDI_OK);
  segs_.push_back(bad);
  // A piece that ends where it starts, repeated without end, plays once and lets the render return.
  MidiSegment* empty = Seg(Smf({0x00, 0xC0, 0x05}), MIDI_REPEAT_INFINITE);
  MidiPerformance* p = Perf(2);
  ASSERT_EQ(MidiPerformancePlay(p, empty, nullptr), MIDI_OK);
  Render(100);
  EXPECT_EQ(MidiPerformanceIsPlaying(p, empty, 0), MIDI_S_FALSE);
}

TEST(MidiSystem, TheSoundFontSearchTellsWhatItLookedForAndWithoutOneThereIsNoMidi) {
  MidiTestSetSoundFont("/nonexistent/installed.sf2");  // stands in for the distribution's places
  const std::string notFont = "midi_not_a_soundfont.sf2";
  if (FILE* f = std::fopen(notFont.c_str(), "wb")) {
    std::fputs("RIFF....sfbk nothing more", f);
    std::fclose(f);
  }
  setenv("OOMORI_SOUNDFONT", notFont.c_str(), 1);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(MidiOpen());
  std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find(notFont + " (not a SoundFont that loads)"), std::string::npos) << said;
  EXPECT_NE(said.find("/nonexistent/installed.sf2 (missing"), std::string::npos) << said;
  EXPECT_FALSE(MidiIsOpen());
  MidiPortCaps caps;
  EXPECT_EQ(MidiEnumPort(0, &caps), MIDI_E_NOTOPEN);
  MidiPerformance* p = nullptr;
  ASSERT_EQ(MidiCreatePerformance(&p), MIDI_OK);
  EXPECT_EQ(MidiPerformanceInit(p), MIDI_E_NOTOPEN);
  MidiReleasePerformance(p);
  // The variable names the one that serves.
  setenv("OOMORI_SOUNDFONT", musictest::SmallSoundFont(), 1);
  testing::internal::CaptureStderr();
  EXPECT_TRUE(MidiOpen());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  MidiClose();
  unsetenv("OOMORI_SOUNDFONT");
  std::remove(notFont.c_str());
  MidiTestSetSoundFont(nullptr);
}

}  // namespace
