// The MIDI platform layer: file checks, the synthesizer port, performances on channel groups.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/midi.h"
#include "tests/support/music_support.h"

using namespace plat;
using musictest::Peak;
using musictest::ReadData;

namespace {

// Standard MIDI file pieces.
std::vector<uint8_t> Header(uint16_t format, uint16_t tracks, uint16_t division) {
  return {'M', 'T', 'h', 'd', 0, 0, 0, 6, uint8_t(format >> 8), uint8_t(format), uint8_t(tracks >> 8),
          uint8_t(tracks), uint8_t(division >> 8), uint8_t(division)};
}
std::vector<uint8_t> Track(const std::vector<uint8_t>& body) {
  std::vector<uint8_t> t = {'M', 'T', 'r', 'k', uint8_t(body.size() >> 24), uint8_t(body.size() >> 16),
                            uint8_t(body.size() >> 8), uint8_t(body.size())};
  t.insert(t.end(), body.begin(), body.end());
  return t;
}
std::vector<uint8_t> File(const std::vector<uint8_t>& header, const std::vector<std::vector<uint8_t>>& bodies) {
  std::vector<uint8_t> f = header;
  for (const auto& b : bodies) {
    std::vector<uint8_t> t = Track(b);
    f.insert(f.end(), t.begin(), t.end());
  }
  return f;
}
const std::vector<uint8_t> kEnd = {0x00, 0xFF, 0x2F, 0x00};
std::vector<uint8_t> Body(std::vector<uint8_t> events) {
  events.insert(events.end(), kEnd.begin(), kEnd.end());
  return events;
}
bool Check(const std::vector<uint8_t>& f, uint32_t* ms = nullptr) { return MidiCheckFile(f.data(), f.size(), ms); }

}  // namespace

TEST(MidiFile, FixturesPassWithTheirLengths) {
  uint32_t ms = 0;
  EXPECT_TRUE(Check(ReadData("note_half_second.mid"), &ms));
  EXPECT_EQ(ms, 500u);
  EXPECT_TRUE(Check(ReadData("note_two_seconds.mid"), &ms));
  EXPECT_EQ(ms, 2000u);
  EXPECT_TRUE(Check(ReadData("tune.mid"), &ms));
  EXPECT_EQ(ms, 1000u);
}

TEST(MidiFile, TempoChangesCountFromWhereTheyStand) {
  // 480 ticks at 120 bpm (500 ms), then 480 ticks at 60 bpm (1000 ms).
  auto f = File(Header(0, 1, 480), {Body({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x83, 0x60, 0xFF, 0x51, 0x03, 0x0F,
                                          0x42, 0x40, 0x83, 0x60, 0x90, 0x3C, 0x00})});
  uint32_t ms = 0;
  ASSERT_TRUE(Check(f, &ms));
  EXPECT_EQ(ms, 1500u);
}

TEST(MidiFile, MalformedFilesAreRefused) {
  const auto good = ReadData("note_half_second.mid");
  ASSERT_TRUE(Check(good));
  // Every cut of a good file is refused: the end-of-track event is the last thing in it.
  for (size_t n = 0; n < good.size(); ++n) {
    std::vector<uint8_t> cut(good.begin(), good.begin() + long(n));
    EXPECT_FALSE(Check(cut)) << "cut at " << n;
  }
  EXPECT_FALSE(MidiCheckFile(nullptr, 100, nullptr));

  auto note = Body({0x00, 0x90, 0x3C, 0x40});
  EXPECT_TRUE(Check(File(Header(0, 1, 96), {note})));
  EXPECT_FALSE(Check(File(Header(2, 1, 96), {note}))) << "format 2";
  EXPECT_FALSE(Check(File(Header(0, 2, 96), {note, note}))) << "format 0 with two tracks";
  EXPECT_FALSE(Check(File(Header(1, 0, 96), {}))) << "no tracks";
  EXPECT_FALSE(Check(File(Header(1, 129, 96), std::vector<std::vector<uint8_t>>(129, note)))) << "too many tracks";
  EXPECT_TRUE(Check(File(Header(1, 128, 96), std::vector<std::vector<uint8_t>>(128, note))));
  EXPECT_FALSE(Check(File(Header(0, 1, 0), {note}))) << "division 0";
  EXPECT_FALSE(Check(File(Header(0, 1, 0xE728), {note}))) << "time code division";
  EXPECT_FALSE(Check(File(Header(0, 1, 96), {{0x00, 0x3C, 0x40, 0x00, 0xFF, 0x2F, 0x00}}))) << "data without status";
  EXPECT_FALSE(Check(File(Header(0, 1, 96), {Body({0x00, 0x90, 0x3C, 0x80})}))) << "data byte with top bit";
  EXPECT_FALSE(Check(File(Header(0, 1, 96), {Body({0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1})}))) << "short tempo";
  EXPECT_FALSE(Check(File(Header(0, 1, 96), {Body({0x00, 0xFF, 0x51, 0x03, 0, 0, 0})}))) << "tempo 0";
  EXPECT_FALSE(Check(File(Header(0, 1, 96), {Body({0x00, 0xFF, 0x58, 0x03, 4, 2, 24})}))) << "short time signature";
  EXPECT_FALSE(Check(File(Header(0, 1, 96), {{0x00, 0x90, 0x3C, 0x40}}))) << "no end of track";
  EXPECT_FALSE(Check(File(Header(0, 1, 96), {{0x00, 0xFF, 0x2F, 0x01, 0x00}}))) << "end of track with data";
  EXPECT_FALSE(Check(File(Header(0, 1, 96), {Body({0x80, 0x80, 0x80, 0x80, 0x00, 0x90, 0x3C, 0x40})})))
      << "five-byte delta";
  EXPECT_FALSE(Check(File(Header(0, 1, 96), {Body({0x00, 0xF0, 0x85, 0x00})}))) << "system exclusive past the end";
  EXPECT_FALSE(Check(File(Header(0, 1, 96), {Body({0x00, 0xF8})}))) << "real-time message";
  // Deltas adding up past what the player can count.
  std::vector<uint8_t> longWait;
  for (int i = 0; i < 9; ++i) longWait.insert(longWait.end(), {0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x01, 0x00});
  EXPECT_FALSE(Check(File(Header(0, 1, 96), {Body(longWait)}))) << "ticks overflow";
  EXPECT_FALSE(Check(File(Header(0, 1, 96), {Body({0x00, 0xF0, 0x00})}))) << "empty system exclusive";
  EXPECT_TRUE(Check(File(Header(0, 1, 96), {Body({0x00, 0xF0, 0x02, 0x7E, 0xF7})})));
  EXPECT_FALSE(Check(File(Header(0, 1, 96), {Body({0x00, 0xF7, 0x01, 0xF7})}))) << "escaped message";
  EXPECT_FALSE(Check(File(Header(0, 1, 96), {Body({0x00, 0x90, 0x3C, 0x40, 0x00, 0xFF, 0x01, 0x00, 0x10, 0x3E, 0x40})})))
      << "running status across a meta event";
  auto longHeader = Header(0, 1, 96);
  longHeader[7] = 8;
  longHeader.insert(longHeader.end(), {0, 0});
  auto t0 = Track(note);
  longHeader.insert(longHeader.end(), t0.begin(), t0.end());
  EXPECT_FALSE(Check(longHeader)) << "header longer than six bytes";
  auto oddChunk = Header(0, 1, 96);
  oddChunk.insert(oddChunk.end(), {0x87, 'T', 'h', 'd', 0, 0, 0, 0});
  oddChunk.insert(oddChunk.end(), t0.begin(), t0.end());
  EXPECT_FALSE(Check(oddChunk)) << "chunk name outside ASCII";
  // A track chunk that claims more bytes than the file has.
  auto f = File(Header(0, 1, 96), {note});
  f[18 + 3] += 1;
  EXPECT_FALSE(Check(f));
  // Other chunks among the tracks are refused (the player would take them for the end); after
  // the last track anything may follow.
  auto withJunk = Header(0, 1, 96);
  withJunk.insert(withJunk.end(), {'J', 'U', 'N', 'K', 0, 0, 0, 2, 1, 2});
  auto t = Track(note);
  withJunk.insert(withJunk.end(), t.begin(), t.end());
  EXPECT_FALSE(Check(withJunk));
  auto trailing = File(Header(0, 1, 96), {note});
  trailing.insert(trailing.end(), {'J', 'U', 'N', 'K', 0xFF});
  EXPECT_TRUE(Check(trailing));
}

class MidiSynth : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    MidiTestSetSoundFont(musictest::SmallSoundFont());
    MidiTestSetPorts(true, true);
    ASSERT_TRUE(MidiOpen());
  }
  static void TearDownTestSuite() { MidiClose(); }

  void SetUp() override {
    MidiPortCaps caps;
    ASSERT_EQ(MidiEnumPort(0, &caps), MIDI_OK);
    MidiPortParams params;
    params.channelGroups = caps.maxChannelGroups;
    ASSERT_EQ(MidiCreatePort(caps.portId, params, &port_), MIDI_OK);
    ASSERT_EQ(MidiPortActivate(port_, true), MIDI_OK);
  }
  void TearDown() override {
    for (MidiPerformance* p : perfs_) MidiReleasePerformance(p);
    for (MidiSegment* s : segs_) MidiReleaseSegment(s);
    MidiReleasePort(port_);
  }

  MidiPerformance* Perf(uint32_t group) {
    MidiPerformance* p = nullptr;
    EXPECT_EQ(MidiCreatePerformance(&p), MIDI_OK);
    EXPECT_EQ(MidiPerformanceInit(p), MIDI_OK);
    EXPECT_EQ(MidiPerformanceAddPort(p, port_), MIDI_OK);
    EXPECT_EQ(MidiPerformanceAssignBlock(p, 0, port_, group), MIDI_OK);
    perfs_.push_back(p);
    return p;
  }
  MidiSegment* Seg(const char* file) {
    auto bytes = ReadData(file);
    MidiSegment* s = nullptr;
    EXPECT_EQ(MidiLoadSegment(bytes.data(), bytes.size(), &s), MIDI_OK);
    segs_.push_back(s);
    return s;
  }
  // ms of 16-bit stereo at the synthesizer's rate.
  std::vector<int16_t> Render(uint32_t ms) {
    MidiFormat f;
    EXPECT_EQ(MidiPortGetFormat(port_, &f), MIDI_OK);
    std::vector<int16_t> out(size_t(f.rate) * ms / 1000 * 2);
    EXPECT_EQ(MidiPortRender(port_, out.data(), uint32_t(out.size() * 2)), MIDI_OK);
    return out;
  }

  MidiPort* port_ = nullptr;
  std::vector<MidiPerformance*> perfs_;
  std::vector<MidiSegment*> segs_;
};

TEST_F(MidiSynth, PortsListTheSynthesizerFirst) {
  MidiPortCaps caps;
  ASSERT_EQ(MidiEnumPort(0, &caps), MIDI_OK);
  EXPECT_STREQ(caps.description, "Microsoft Synthesizer");
  EXPECT_EQ(caps.portClass, MIDI_PORT_CLASS_OUTPUT);
  EXPECT_GE(caps.maxChannelGroups, 16u);
  EXPECT_TRUE(caps.software);
  ASSERT_EQ(MidiEnumPort(1, &caps), MIDI_OK);
  EXPECT_EQ(caps.maxChannelGroups, 1u);
  EXPECT_FALSE(caps.software);
  EXPECT_EQ(MidiEnumPort(2, &caps), MIDI_S_FALSE);
  MidiFormat f;
  ASSERT_EQ(MidiPortGetFormat(port_, &f), MIDI_OK);
  EXPECT_EQ(f.channels, 2);
  EXPECT_EQ(f.bits, 16);
  EXPECT_EQ(f.rate, 22050u);
  // One synthesizer port at a time.
  MidiPort* second = nullptr;
  MidiPortParams params;
  EXPECT_EQ(MidiCreatePort(caps.portId - 1, params, &second), MIDI_E_INUSE);
  EXPECT_EQ(second, nullptr);
}

TEST_F(MidiSynth, PerformancesPlayOnTheirOwnChannelGroupsAtOnce) {
  MidiPerformance* a = Perf(1);
  MidiPerformance* b = Perf(2);
  MidiPerformance* c = Perf(3);
  MidiSegment* s1 = Seg("note_two_seconds.mid");
  MidiSegment* s2 = Seg("note_two_seconds.mid");
  MidiSegment* s3 = Seg("tune.mid");
  ASSERT_EQ(MidiPerformancePlay(a, s1, nullptr), MIDI_OK);
  ASSERT_EQ(MidiPerformancePlay(b, s2, nullptr), MIDI_OK);
  ASSERT_EQ(MidiPerformancePlay(c, s3, nullptr), MIDI_OK);
  auto audio = Render(20);
  EXPECT_GT(Peak(audio), 500);
  // All three pieces play MIDI channel 0 (the tune also channel 9): each lands on its group's block.
  EXPECT_GT(MidiTestVoices(0), 0);
  EXPECT_GT(MidiTestVoices(16), 0);
  EXPECT_GT(MidiTestVoices(32), 0);
  EXPECT_GT(MidiTestVoices(32 + 9), 0);
  EXPECT_EQ(MidiTestVoices(9), 0);
  EXPECT_EQ(MidiTestVoices(48), 0);
  EXPECT_EQ(MidiPerformanceIsPlaying(a, s1, 0), MIDI_OK);
  EXPECT_EQ(MidiPerformanceIsPlaying(a, s2, 0), MIDI_S_FALSE) << "another segment";
  // Stopping one leaves the others sounding.
  ASSERT_EQ(MidiPerformanceStop(b, nullptr), MIDI_OK);
  Render(20);
  EXPECT_EQ(MidiTestVoices(16), 0);
  EXPECT_GT(MidiTestVoices(0), 0);
  EXPECT_EQ(MidiPerformanceIsPlaying(b, s2, 0), MIDI_S_FALSE);
}

TEST_F(MidiSynth, OnceEndsAndFallsSilentEndlessKeepsGoing) {
  MidiPerformance* once = Perf(1);
  MidiSegment* seg = Seg("note_half_second.mid");
  uint32_t state = 0;
  ASSERT_EQ(MidiPerformancePlay(once, seg, &state), MIDI_OK);
  EXPECT_NE(state, 0u);
  EXPECT_GT(Peak(Render(300)), 500);
  EXPECT_EQ(MidiPerformanceIsPlaying(once, seg, state), MIDI_OK);
  Render(700);
  EXPECT_EQ(MidiPerformanceIsPlaying(once, seg, state), MIDI_S_FALSE);
  Render(2000);  // the release of the last note dies away
  EXPECT_LT(Peak(Render(200)), 4);

  MidiSegmentSetRepeats(seg, MIDI_REPEAT_INFINITE);
  uint32_t again = 0;
  ASSERT_EQ(MidiPerformancePlay(once, seg, &again), MIDI_OK);
  EXPECT_NE(again, state);
  EXPECT_EQ(MidiPerformanceIsPlaying(once, seg, state), MIDI_S_FALSE) << "the earlier play is over";
  Render(2900);
  EXPECT_EQ(MidiPerformanceIsPlaying(once, seg, again), MIDI_OK);
  EXPECT_GT(Peak(Render(200)), 500) << "the sixth round sounds";
}

TEST_F(MidiSynth, ReleasingThePortSilencesItsPerformancesUntilAttachedAgain) {
  MidiPerformance* p = Perf(2);
  MidiSegment* seg = Seg("note_two_seconds.mid");
  MidiSegmentSetRepeats(seg, MIDI_REPEAT_INFINITE);
  ASSERT_EQ(MidiPerformancePlay(p, seg, nullptr), MIDI_OK);
  Render(50);
  EXPECT_GT(MidiTestVoices(16), 0);
  MidiReleasePort(port_);
  port_ = nullptr;
  MidiPortCaps caps;
  ASSERT_EQ(MidiEnumPort(0, &caps), MIDI_OK);
  MidiPortParams params;
  params.channelGroups = caps.maxChannelGroups;
  ASSERT_EQ(MidiCreatePort(caps.portId, params, &port_), MIDI_OK);
  ASSERT_EQ(MidiPortActivate(port_, true), MIDI_OK);
  Render(300);  // the effects' tails
  EXPECT_LT(Peak(Render(2500)), 4) << "a performance without its port is silent";
  EXPECT_EQ(MidiPerformanceAssignBlock(p, 0, port_, 2), MIDI_E_NOPORT) << "the port must be added first";
  ASSERT_EQ(MidiPerformanceAddPort(p, port_), MIDI_OK);
  ASSERT_EQ(MidiPerformanceAssignBlock(p, 0, port_, 2), MIDI_OK);
  ASSERT_EQ(MidiPerformancePlay(p, seg, nullptr), MIDI_OK);
  EXPECT_GT(Peak(Render(100)), 500);
}

TEST_F(MidiSynth, TheExternalPortTakesOneGroupAndSoundsNothing) {
  MidiPortCaps caps;
  ASSERT_EQ(MidiEnumPort(1, &caps), MIDI_OK);
  MidiPort* ext = nullptr;
  MidiPortParams params;
  params.channelGroups = 2;
  EXPECT_EQ(MidiCreatePort(caps.portId, params, &ext), MIDI_E_INVALIDARG);
  params.channelGroups = 1;
  ASSERT_EQ(MidiCreatePort(caps.portId, params, &ext), MIDI_OK);
  MidiFormat f;
  EXPECT_EQ(MidiPortGetFormat(ext, &f), MIDI_E_FAIL);
  MidiPerformance* p = nullptr;
  ASSERT_EQ(MidiCreatePerformance(&p), MIDI_OK);
  perfs_.push_back(p);
  ASSERT_EQ(MidiPerformanceInit(p), MIDI_OK);
  ASSERT_EQ(MidiPerformanceAddPort(p, ext), MIDI_OK);
  EXPECT_EQ(MidiPerformanceAssignBlock(p, 0, ext, 2), MIDI_E_INVALIDARG);
  ASSERT_EQ(MidiPerformanceAssignBlock(p, 0, ext, 1), MIDI_OK);
  ASSERT_EQ(MidiPerformancePlay(p, Seg("note_two_seconds.mid"), nullptr), MIDI_OK);
  Render(300);  // the effects' tails of earlier tests
  EXPECT_LT(Peak(Render(200)), 4);
  EXPECT_EQ(MidiTestVoices(0), 0);
  MidiReleasePort(ext);
}

TEST_F(MidiSynth, SegmentsAreCheckedAndCopied) {
  std::vector<uint8_t> bytes = ReadData("note_half_second.mid");
  MidiSegment* s = nullptr;
  ASSERT_EQ(MidiLoadSegment(bytes.data(), bytes.size(), &s), MIDI_OK);
  segs_.push_back(s);
  std::fill(bytes.begin(), bytes.end(), 0);  // the caller's bytes may go away
  MidiPerformance* p = Perf(1);
  ASSERT_EQ(MidiPerformancePlay(p, s, nullptr), MIDI_OK);
  EXPECT_GT(Peak(Render(200)), 500);
  MidiSegment* bad = reinterpret_cast<MidiSegment*>(1);
  EXPECT_EQ(MidiLoadSegment(bytes.data(), bytes.size(), &bad), MIDI_E_BADFILE);
  EXPECT_EQ(bad, nullptr);
  EXPECT_EQ(MidiLoadSegment(nullptr, 0, &bad), MIDI_E_BADFILE);
  EXPECT_EQ(MidiLoadSegmentFile("no-such-file.mid", &bad), MIDI_E_BADFILE);
  std::string path = musictest::DataPath("tune.mid");
  ASSERT_EQ(MidiLoadSegmentFile(path.c_str(), &bad), MIDI_OK);
  segs_.push_back(bad);
}

TEST_F(MidiSynth, AnEmptyPieceRepeatedEndlesslyDoesNotHangTheRender) {
  std::vector<uint8_t> empty = File(Header(0, 1, 96), {Body({0x00, 0xC0, 0x05})});
  MidiSegment* s = nullptr;
  ASSERT_EQ(MidiLoadSegment(empty.data(), empty.size(), &s), MIDI_OK);
  segs_.push_back(s);
  MidiSegmentSetRepeats(s, MIDI_REPEAT_INFINITE);
  MidiPerformance* p = Perf(1);
  ASSERT_EQ(MidiPerformancePlay(p, s, nullptr), MIDI_OK);
  Render(100);  // returns
  EXPECT_EQ(MidiPerformanceIsPlaying(p, s, 0), MIDI_S_FALSE);
}

TEST(MidiSystem, OomoriSoundFontNamesTheFileAndTheConsoleTellsWhatWasLookedFor) {
  MidiTestSetSoundFont("/nonexistent/installed.sf2");  // stands in for the distribution's places
  unsetenv("OOMORI_SOUNDFONT");
  testing::internal::CaptureStderr();
  EXPECT_FALSE(MidiOpen());
  std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("/nonexistent/installed.sf2"), std::string::npos) << said;
  EXPECT_NE(said.find("OOMORI_SOUNDFONT"), std::string::npos) << said;
  // A file that is there but no SoundFont is named as such, and the search goes on past it.
  const std::string notFont = "midi_not_a_soundfont.sf2";
  if (FILE* f = std::fopen(notFont.c_str(), "wb")) {
    std::fputs("RIFF....sfbk nothing more", f);
    std::fclose(f);
  }
  setenv("OOMORI_SOUNDFONT", notFont.c_str(), 1);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(MidiOpen());
  said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find(notFont + " (not a SoundFont that loads)"), std::string::npos) << said;
  EXPECT_NE(said.find("/nonexistent/installed.sf2 (missing"), std::string::npos) << said;
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

TEST(MidiSystem, MissingSoundFontMeansNoMidi) {
  MidiTestSetSoundFont("/nonexistent/none.sf2");
  EXPECT_FALSE(MidiOpen());
  EXPECT_FALSE(MidiIsOpen());
  MidiPortCaps caps;
  EXPECT_EQ(MidiEnumPort(0, &caps), MIDI_E_NOTOPEN);
  MidiPerformance* p = nullptr;
  ASSERT_EQ(MidiCreatePerformance(&p), MIDI_OK);
  EXPECT_EQ(MidiPerformanceInit(p), MIDI_E_NOTOPEN);
  MidiReleasePerformance(p);
  MidiTestSetSoundFont(nullptr);
}
