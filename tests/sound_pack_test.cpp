// Sound packs, streamed objects and echoes, heard through the headless device.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <string>

#include "el/system/state.h"
#include "tests/support/sound_support.h"

namespace hl = plat::headless;
using namespace soundtest;

namespace {

constexpr uint32_t kRate = 11025;  // 8-bit mono: one byte a sample, device at the same rate

class SoundPacks : public ::testing::Test {
 protected:
  void SetUp() override {
    Fresh(kRate);
    dir_ = "sndtest_pack_dir";
    mkdir((ProgDir() + dir_).c_str(), 0755);
    pack_ = "sndtest.pak";
    std::remove((ProgDir() + pack_).c_str());
  }
  void TearDown() override {
    elSound::Release();
    for (const std::string& f : files_) std::remove(f.c_str());
    std::remove((ProgDir() + pack_).c_str());
    rmdir((ProgDir() + dir_).c_str());
  }
  void DirFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::string path = ProgDir() + dir_ + "/" + name;
    WriteFile(path, bytes);
    files_.push_back(path);
  }
  // A pack of the given samples, named NAME.WAV, 8-bit mono at kRate.
  void Pack(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& entries) {
    for (const auto& [name, samples] : entries) DirFile(name, Wave(samples, kRate));
    ASSERT_EQ(elSound::MakePack(pack_.c_str(), dir_.c_str(), 1), 1);
    elSound::SetPackFile(pack_.c_str());
  }
  // Pulls one frame of 1/60 s, then lets the stream refill as a frame loop would.
  std::vector<int16_t> Frame(uint32_t frames = kRate / 60) {
    std::vector<int16_t> out = hl::PullAudio(frames);
    elSound::Streaming();
    return out;
  }
  std::string dir_, pack_;
  std::vector<std::string> files_;
};

// The sample value heard at output frame i (left channel), back as an unsigned 8-bit sample.
uint8_t Heard(const std::vector<int16_t>& out, size_t i) { return static_cast<uint8_t>(out[2 * i] / 256 + 128); }

// A recognisable 8-bit pattern of n bytes: every position differs from its neighbours, and
// 128 (silence) is never used, so silence can be told apart.
std::vector<uint8_t> Pattern(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) {
    uint8_t b = static_cast<uint8_t>((i * 7 + i / 251) & 0xFF);
    v[i] = b == 128 ? 129 : b;
  }
  return v;
}

TEST_F(SoundPacks, MakePackWritesEntriesAndLoadPackFindsThemUpperCased) {
  Pack({{"paku.wav", Ramp(300, 3)}, {"Other.Wav", Ramp(10)}});
  DirFile("notes.txt", {1, 2, 3});
  std::vector<uint8_t> pack = ReadFile(ProgDir() + pack_);
  // Entry 1 (sorted by name): OTHER.WAV.
  ASSERT_GE(pack.size(), 4u + 10 + 4 + 18 + 10);
  EXPECT_EQ(pack[0], 10);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(pack.data() + 4)), "OTHER.WAV");
  EXPECT_EQ(pack[4 + 10], 18);  // format length
  EXPECT_EQ(pack.size(), (4 + 10 + 4 + 18 + 10) + (4 + 9 + 4 + 18 + 300u));
  int o = elSound::LoadPack("paku.wav", 2);
  ASSERT_EQ(o, 0);
  EXPECT_EQ(SoundObject[o].packed, 1u);
  EXPECT_EQ(SoundObject[o].mixCount, 2);
  EXPECT_STREQ(SoundObject[o].name, "paku.wav");
  elSound::Play(o, -1);
  std::vector<int16_t> out = hl::PullAudio(300);
  for (size_t i = 0; i < 300; ++i) ASSERT_EQ(Heard(out, i), static_cast<uint8_t>(3 + i));
  EXPECT_EQ(hl::Boxes().size(), 0u);
}

TEST_F(SoundPacks, ReportsOfTheEntrySearch) {
  EXPECT_EQ(elSound::LoadPack("paku.wav", 1), -1);  // before SetPackFile
  EXPECT_EQ(elSound::LoadStream("paku.wav", 0), -1);
  Pack({{"paku.wav", Ramp(30)}});
  EXPECT_EQ(elSound::LoadPack("none.wav", 1), -1);
  EXPECT_EQ(elSound::LoadStream("none.wav", 0), -1);
  EXPECT_EQ(elSound::LoadPack("paku.wav", 11), -1);
  std::string n31 = std::string(27, 'p') + ".wav";
  DirFile(n31, Wave(Ramp(30), kRate));
  elSound::AddToPack(pack_.c_str(), (dir_ + "/" + n31).c_str());
  // AddToPack keeps the name as given, and the search upper-cases the request: never found.
  EXPECT_EQ(elSound::LoadPack(n31.c_str(), 1), -1);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{
                            "elSound::LoadPack : パックファイル名が指定されていません",
                            "elSound::LoadStream : パックファイル名が指定されていません",
                            "elSound::LoadPack : WAVEファイルを読み込めません",
                            "elSound::LoadStream : WAVEファイルを読み込めません",
                            "elSound::LoadPack : ミックス数が多過ぎます",
                            "elSound::LoadPack : WAVEファイルを読み込めません",
                        }));
  hl::Boxes().clear();
  std::string up31 = std::string(27, 'P') + ".WAV";
  DirFile(up31, Wave(Ramp(30), kRate));
  elSound::AddToPack(pack_.c_str(), (dir_ + "/" + up31).c_str());
  EXPECT_EQ(elSound::LoadPack(up31.c_str(), 1), -1);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"elSound::LoadPack : ファイル名が長すぎます"});
  EXPECT_EQ(SoundObject[0].used, 1u);
}

TEST_F(SoundPacks, FreshZeroAppendsAndTheFirstEntryWins) {
  Pack({{"a.wav", Ramp(50, 1)}});
  DirFile("a.wav", Wave(Ramp(80, 9), kRate));
  elSound::MakePack(pack_.c_str(), dir_.c_str(), 0);
  int o = elSound::LoadPack("A.WAV", 1);
  ASSERT_GE(o, 0);
  uint32_t size = 0;
  plat::AudioGetSize(SoundObject[o].buffer[0], &size);
  EXPECT_EQ(size, 50u);
  elSound::MakePack(pack_.c_str(), dir_.c_str(), 1);  // fresh: only the new sample
  o = elSound::LoadPack("A.WAV", 1);
  plat::AudioGetSize(SoundObject[o].buffer[0], &size);
  EXPECT_EQ(size, 80u);
}

TEST_F(SoundPacks, AnUnreadableWaveBecomesAnEmptyEntry) {
  DirFile("bad.wav", {'R', 'I', 'F', 'F', 1, 2});
  Pack({{"good.wav", Ramp(40)}});
  std::vector<uint8_t> pack = ReadFile(ProgDir() + pack_);
  ASSERT_GE(pack.size(), 4u + 8 + 4);
  EXPECT_EQ(std::vector<uint8_t>(pack.begin(), pack.begin() + 4), std::vector<uint8_t>(4, 0));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(pack.data() + 4)), "BAD.WAV");
  EXPECT_EQ(std::vector<uint8_t>(pack.begin() + 12, pack.begin() + 16), std::vector<uint8_t>(4, 0));
  EXPECT_GE(elSound::LoadPack("good.wav", 1), 0);  // found behind the empty entry
  EXPECT_EQ(elSound::LoadPack("bad.wav", 1), -1);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"elSound::LoadPack : サウンドバッファが生成できません"});
}

TEST_F(SoundPacks, AHostileEntryLengthIsNotBelieved) {
  Pack({{"a.wav", Ramp(40)}, {"b.wav", Ramp(40)}});
  std::vector<uint8_t> pack = ReadFile(ProgDir() + pack_);
  pack[0] = pack[1] = pack[2] = 0xFF;  // A.WAV claims 16 MB of data
  WriteFile(ProgDir() + pack_, pack);
  EXPECT_EQ(elSound::LoadPack("a.wav", 1), -1);
  EXPECT_EQ(elSound::LoadPack("b.wav", 1), -1);  // the skip runs past the end: the scan stops
  EXPECT_EQ(hl::Boxes().size(), 2u);
}

TEST_F(SoundPacks, UnderFiveSecondsAStreamIsAPlainPackedObject) {
  Pack({{"short.wav", Pattern(kRate * 49 / 10)}});
  int o = elSound::LoadStream("short.wav", 0);
  ASSERT_EQ(o, 0);
  EXPECT_EQ(SoundObject[o].stream.dataSize, 0u);
  EXPECT_EQ(SoundObject[o].packed, 1u);
  EXPECT_EQ(SoundObject[o].mixCount, 1);
  uint32_t size = 0;
  plat::AudioGetSize(SoundObject[o].buffer[0], &size);
  EXPECT_EQ(size, kRate * 49 / 10);
}

TEST_F(SoundPacks, FiveSecondsStreamInChunksOfTwoThenOneAndAHalfTwice) {
  Pack({{"five.wav", Pattern(kRate * 5)}});
  int o = elSound::LoadStream("five.wav", 0);
  ASSERT_EQ(o, 0);
  const StreamState& st = SoundObject[o].stream;
  EXPECT_EQ(st.halfSize, 2 * kRate);
  EXPECT_EQ(st.bufferSize, 4 * kRate);
  EXPECT_EQ(st.dataRead, 2 * kRate);  // the first chunk on load
  elSound::Play(o, -1);
  EXPECT_EQ(st.dataRead, 2 * kRate);  // and again on the rewind
  std::vector<uint32_t> chunks;
  uint32_t before = st.dataRead;
  std::vector<uint8_t> heard;
  for (int f = 0; f < 60 * 6 && hl::AudioDeviceIsOpen(); ++f) {
    std::vector<int16_t> out = Frame();
    for (size_t i = 0; i < out.size() / 2; ++i) heard.push_back(Heard(out, i));
    if (st.dataRead != before) {
      chunks.push_back(st.dataRead > before ? st.dataRead - before : st.dataSize - before + st.dataRead);
      before = st.dataRead;
    }
    if (chunks.size() == 2) break;
  }
    // 3 s left: half of them (an odd byte count at 11025 Hz), then the rest.
  EXPECT_EQ(chunks, (std::vector<uint32_t>{kRate * 3 / 2, kRate * 3 - kRate * 3 / 2}));
  EXPECT_EQ(st.endCountdown, 2);
}

TEST_F(SoundPacks, ANonLoopingStreamPlaysItsTenSecondsAndStops) {
  const std::vector<uint8_t> data = Pattern(kRate * 10);
  Pack({{"ten.wav", data}});
  int o = elSound::LoadStream("ten.wav", 0);
  ASSERT_GE(o, 0);
  elSound::Play(o, -1);
  std::vector<uint8_t> heard;
  int frames = 0;
  while (Playing(SoundObject[o].buffer[0]) && frames < 60 * 12) {
    std::vector<int16_t> out = Frame();
    ++frames;
    for (size_t i = 0; i < out.size() / 2; ++i) heard.push_back(Heard(out, i));
  }
  EXPECT_FALSE(Playing(SoundObject[o].buffer[0]));
  // Every sample in order, no gap and no repeat; then at most a frame of silence before the stop.
  ASSERT_GE(heard.size(), data.size());
  EXPECT_TRUE(std::equal(data.begin(), data.end(), heard.begin()));
  EXPECT_LE(heard.size() - data.size(), kRate / 60 + 1);
  for (size_t i = data.size(); i < heard.size(); ++i) ASSERT_EQ(heard[i], 128) << i;
  EXPECT_EQ(hl::Boxes().size(), 0u);
}

TEST_F(SoundPacks, ALoopingStreamRepeatsFromItsLoopOffsetWithoutAGap) {
  const std::vector<uint8_t> data = Pattern(kRate * 6);
  Pack({{"loop.wav", data}});
  const uint32_t d = kRate * 3 / 2 + 1;
  int o = elSound::LoadStream("loop.wav", d);
  ASSERT_GE(o, 0);
  elSound::PlayLoop(o, -1);
  std::vector<uint8_t> heard;
  for (int f = 0; f < 60 * 16; ++f) {
    std::vector<int16_t> out = Frame();
    for (size_t i = 0; i < out.size() / 2; ++i) heard.push_back(Heard(out, i));
  }
  ASSERT_TRUE(Playing(SoundObject[o].buffer[0]));
  // The data once, then from byte d over and over.
  std::vector<uint8_t> want(data);
  while (want.size() < heard.size()) want.insert(want.end(), data.begin() + d, data.end());
  want.resize(heard.size());
  size_t mismatch = 0;
  while (mismatch < heard.size() && heard[mismatch] == want[mismatch]) ++mismatch;
  EXPECT_EQ(mismatch, heard.size()) << "first difference at sample " << mismatch;
}

TEST_F(SoundPacks, ALoopingStreamWithOffsetZeroRepeatsFromTheStart) {
  const std::vector<uint8_t> data = Pattern(kRate * 5 + 17);
  Pack({{"loop.wav", data}});
  int o = elSound::LoadStream("loop.wav", 0);
  elSound::PlayLoop(o, -1);
  std::vector<uint8_t> heard;
  for (int f = 0; f < 60 * 12; ++f) {
    std::vector<int16_t> out = Frame();
    for (size_t i = 0; i < out.size() / 2; ++i) heard.push_back(Heard(out, i));
  }
  for (size_t i = 0; i < heard.size(); ++i) ASSERT_EQ(heard[i], data[i % data.size()]) << i;
}

TEST_F(SoundPacks, ALoopOffsetPastTheEndLoopsFromTheStart) {
  const std::vector<uint8_t> data = Pattern(kRate * 5);
  Pack({{"loop.wav", data}});
  int o = elSound::LoadStream("loop.wav", kRate * 9);
  ASSERT_GE(o, 0);
  EXPECT_EQ(SoundObject[o].stream.loopStart, SoundObject[o].stream.dataStart);
}

TEST_F(SoundPacks, ResetStreamAndStreamingReportAMissingPack) {
  Pack({{"five.wav", Pattern(kRate * 5)}});
  int o = elSound::LoadStream("five.wav", 0);
  elSound::Play(o, -1);
  std::remove((ProgDir() + pack_).c_str());
  EXPECT_EQ(elSound::Streaming(), 0);
  EXPECT_EQ(elSound::ResetStream(o), 0);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"elSound::Streaming : パックファイル名が指定されていません",
                                                  "elSound::ResetStream : パックファイル名が指定されていません"}));
  hl::Boxes().clear();
  WriteFile(ProgDir() + pack_, {1, 2, 3});  // the pack shrank: its data is gone
  EXPECT_EQ(elSound::ResetStream(o), 0);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"elSound::ResetStream : ストリーミング再生できません"});
}

TEST_F(SoundPacks, RestoreReloadsStreamsAndPackedObjectsFromTheirOwnPacks) {
  Pack({{"five.wav", Pattern(kRate * 5)}, {"p.wav", Ramp(100, 50)}});
  int s = elSound::LoadStream("five.wav", 7);
  int p = elSound::LoadPack("p.wav", 3);
  ASSERT_EQ(s, 0);
  ASSERT_EQ(p, 1);
  elSound::SetPackFile("sndtest_other.pak");  // not there: only the objects' own packs can serve
  elSound::Restore();
  EXPECT_EQ(hl::Boxes().size(), 0u);
  EXPECT_NE(SoundObject[s].buffer[0], 0u);
  EXPECT_EQ(SoundObject[s].stream.loopStart - SoundObject[s].stream.dataStart, 7u);
  EXPECT_EQ(SoundObject[p].mixCount, 3);
  elSound::Play(p, -1);
  EXPECT_EQ(Heard(hl::PullAudio(1), 0), 50);
  EXPECT_EQ(std::string(PackPath), ProgDir() + "sndtest_other.pak");
}

TEST_F(SoundPacks, EchoesAtTwoFourAndSixHundredMillisecondsTenDecibelsApart) {
  Fresh(48000);
  Pack({{"hit.wav", std::vector<uint8_t>(kRate / 20, 192)}});  // 50 ms at +64
  int o = elSound::LoadPack("hit.wav", 4);
  ASSERT_GE(o, 0);
  FrameSeconds = 1.0f / 60.0f;
  elSound::Play(o, -2);
  EXPECT_EQ(SoundObject[o].echo, 1);
  std::vector<int16_t> all;
  for (int f = 0; f < 60; ++f) {
    elSound::Echo(o, 200, 3, 10);
    std::vector<int16_t> out = hl::PullAudio(800);
    all.insert(all.end(), out.begin(), out.end());
  }
  EXPECT_EQ(SoundObject[o].echo, 0);  // over
  // Onsets: where the sound starts after a stretch of silence, with the level there.
  std::vector<std::pair<double, int>> onsets;
  bool quiet = true;
  for (size_t i = 0; i < all.size() / 2; ++i) {
    int v = all[2 * i];
    if (quiet && v != 0) onsets.push_back({i / 48.0, v});
    quiet = v == 0;
  }
  ASSERT_EQ(onsets.size(), 4u);
  EXPECT_NEAR(onsets[0].first, 0, 1);
  EXPECT_EQ(onsets[0].second, 16384);
  for (int k = 1; k <= 3; ++k) {
    EXPECT_NEAR(onsets[k].first, 200.0 * k, 17.0) << k;  // within a frame
    EXPECT_NEAR(20 * std::log10(onsets[k].second / 16384.0), -10.0 * k, 0.05) << k;
  }
  // Echo does nothing for an object loaded with one buffer.
  int one = elSound::LoadPack("hit.wav", 1);
  elSound::Play(one, -2);
  EXPECT_EQ(SoundObject[one].echo, -1);
  elSound::Echo(one, 0, 3, 10);
  EXPECT_FALSE(Playing(SoundObject[one].buffer[0]) && Cursor(SoundObject[one].buffer[0]) == 0 &&
               SoundObject[one].volume[0] != 0);
  EXPECT_EQ(SoundObject[one].volume[0], 0);
}

TEST_F(SoundPacks, EchoPanSweepsAndStopEndsTheEcho) {
  Pack({{"hit.wav", std::vector<uint8_t>(kRate, 192)}});
  int o = elSound::LoadPack("hit.wav", 3);
  FrameSeconds = 0.1f;
  elSound::PlayLoop(o, -2);
  const int dir = SoundObject[o].echoPanDir;
  ASSERT_TRUE(dir == 1 || dir == -1);
  elSound::EchoPan(o, 50, 5, 3, 100);  // 0.1 s x 100 x 100 = 1000 dB: to the end at once
  EXPECT_EQ(SoundObject[o].echoPan, 30.0f * dir);
  EXPECT_EQ(SoundObject[o].echoPanDir, -dir);
  EXPECT_EQ(SoundObject[o].pan[1], 3000 * dir);
  EXPECT_EQ(SoundObject[o].volume[1], -300);
  EXPECT_TRUE(Playing(SoundObject[o].buffer[1]));
  uint32_t status = 0;
  plat::AudioGetStatus(SoundObject[o].buffer[1], &status);
  EXPECT_TRUE(status & plat::kAudioStatusLooping);  // echoes of a PlayLoop loop
  elSound::Stop(o, -1);
  EXPECT_EQ(SoundObject[o].echo, 0);
  elSound::EchoPan(o, 50, 5, 3, 1);
  EXPECT_FALSE(Playing(SoundObject[o].buffer[2]));
}

TEST_F(SoundPacks, GetPositionIsBufferZerosCursor) {
  Pack({{"p.wav", Ramp(1000)}});
  int o = elSound::LoadPack("p.wav", 2);
  elSound::Play(o, 0);
  hl::PullAudio(123);
  EXPECT_EQ(elSound::GetPosition(o), 123u);
  EXPECT_EQ(SoundPosition, 123u);
  EXPECT_EQ(elSound::GetPosition(5), 0u);  // a free slot: no buffer, no position
  elSound::Release();
  EXPECT_EQ(elSound::GetPosition(o), 0u);
}

}  // namespace
