// Sound packs, the loaders' reports, streamed objects and echoes, heard through the headless device.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

#include "el/system/state.h"
#include "tests/support/sound_support.h"

namespace hl = plat::headless;
using namespace soundtest;

namespace {

constexpr uint32_t kRate = 11025;  // 8-bit mono: one byte a sample, device at the same rate
constexpr uint32_t kFrame = kRate / 60;

class SoundPacks : public ::testing::Test {
 protected:
  void SetUp() override {
    Fresh(kRate);
    mkdir((ProgDir() + dir_).c_str(), 0755);
  }
  void TearDown() override {
    elSound::Release();
    for (const std::string& f : files_) std::remove(f.c_str());
    rmdir((ProgDir() + dir_).c_str());
  }
  // A file in the program directory (name may lead into dir_), removed after the test.
  void Put(const std::string& name, const std::vector<uint8_t>& bytes) {
    files_.push_back(ProgDir() + name);
    WriteFile(files_.back(), bytes);
  }
  // A fresh pack of the given samples (8-bit mono at kRate) made from dir_, set as the pack file.
  void Pack(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& entries) {
    for (const auto& [name, samples] : entries) Put(dir_ + "/" + name, Wave(samples, kRate));
    Put(pack_, {});
    ASSERT_EQ(elSound::MakePack(pack_.c_str(), dir_.c_str(), 1), 1);
    elSound::SetPackFile(pack_.c_str());
  }
  // What frames frames of 1/60 s sound like, refilled after each as a frame loop does; ends early
  // when object o stops.
  std::vector<uint8_t> Listen(int o, int frames) {
    std::vector<uint8_t> heard;
    for (int f = 0; f < frames && Playing(SoundObject[o].buffer[0]); ++f) {
      std::vector<int16_t> out = hl::PullAudio(kFrame);
      elSound::Streaming();
      for (size_t i = 0; i < kFrame; ++i) heard.push_back(Heard(out, i));
    }
    return heard;
  }
  const std::string dir_ = "sndtest_pack_dir", pack_ = "sndtest.pak";
  std::vector<std::string> files_;
};

// Where heard first differs from want (the shorter length when nowhere).
size_t FirstDifference(const std::vector<uint8_t>& heard, const std::vector<uint8_t>& want) {
  return static_cast<size_t>(std::mismatch(heard.begin(), heard.end(), want.begin(), want.end()).first - heard.begin());
}

// A recognisable 8-bit pattern that never uses 128 (silence), so silence can be told apart.
std::vector<uint8_t> Pattern(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) {
    v[i] = static_cast<uint8_t>(i * 7 + i / 251);
    if (v[i] == 128) v[i] = 129;
  }
  return v;
}

// A pack entry as the pack format lays it out: data length, name, format length and record, data.
std::vector<uint8_t> Entry(const std::string& name, const std::vector<uint8_t>& samples, uint32_t dataLength = 0) {
  std::vector<uint8_t> v, f = PcmFormat(kRate, 8, 1);
  Put32(v, dataLength ? dataLength : static_cast<uint32_t>(samples.size()));
  v.insert(v.end(), name.c_str(), name.c_str() + name.size() + 1);
  Put32(v, 18);
  v.insert(v.end(), f.begin(), f.end());
  Put16(v, 0);
  v.insert(v.end(), samples.begin(), samples.end());
  return v;
}

TEST_F(SoundPacks, PacksHoldUpperCasedEntriesThatLoadByAnyCase) {
  Put(dir_ + "/notes.txt", {1, 2, 3});
  Put(dir_ + "/bad.wav", {'R', 'I', 'F', 'F', 1, 2});
  Pack({{"paku.wav", Ramp(300, 3)}, {"Other.Wav", Ramp(10)}});
  // By name; the unreadable WAVE as an empty entry; nothing but WAVE files.
  std::vector<uint8_t> want = Entry("OTHER.WAV", Ramp(10)), paku = Entry("PAKU.WAV", Ramp(300, 3));
  want.insert(want.end(), {0, 0, 0, 0, 'B', 'A', 'D', '.', 'W', 'A', 'V', 0, 0, 0, 0, 0});
  want.insert(want.end(), paku.begin(), paku.end());
  EXPECT_EQ(ReadFile(ProgDir() + pack_), want);
  // AddToPack appends under the file's own name, upper-cased; a lower-case entry written by hand.
  Put(dir_ + "/boing.wav", Wave(Ramp(30, 70), kRate));
  elSound::AddToPack(pack_.c_str(), (dir_ + "/boing.wav").c_str());
  elSound::AddToPack(nullptr, (dir_ + "/boing.wav").c_str());
  WriteFile(ProgDir() + pack_, Entry("plop.wav", {40, 41, 42, 43}), "ab");
  for (auto [name, first] : {std::pair<const char*, int>{"paku.wav", 3}, {"Boing.wav", 70}, {"PLOP.WAV", 40}}) {
    int o = elSound::LoadPack(name, 2);
    ASSERT_GE(o, 0) << name;
    elSound::Play(o, -1);
    EXPECT_EQ(Heard(hl::PullAudio(1), 0), first) << name;
    elSound::Stop(o, -1);
  }
  EXPECT_TRUE(BoxTexts().empty());
  // Fresh 0 appends (the first entry of a name wins); fresh 1 starts over.
  Put(dir_ + "/paku.wav", Wave(Ramp(80, 9), kRate));
  uint32_t size[2] = {};
  for (uint32_t fresh : {0, 1}) {
    elSound::MakePack(pack_.c_str(), dir_.c_str(), fresh);
    plat::AudioGetSize(SoundObject[elSound::LoadPack("paku.wav", 1)].buffer[0], &size[fresh]);
  }
  EXPECT_EQ(std::vector<uint32_t>(size, size + 2), std::vector<uint32_t>({300, 80}));
}

TEST_F(SoundPacks, EveryLoaderReportsItsFailuresAndReturnsMinusOne) {
  const std::string n31 = std::string(27, 'p') + ".wav";
  Pack({{"paku.wav", Ramp(30)}, {n31, Ramp(30)}});
  std::vector<uint8_t> cut = Wave(Ramp(100)), adpcm = PcmFormat(kRate, 8, 1), huge = Wave({});
  cut.resize(cut.size() - 10);
  adpcm[0] = 2;
  Put16(adpcm, 0);
  huge[43] = 0x10;  // a byte over the mixer's limit, and the file has it (as a hole)
  Put("sndtest_cut.wav", cut);
  Put("sndtest_tiny.wav", Wave(Ramp(3)));  // three bytes: below any buffer
  Put("sndtest_adpcm.wav", Riff({{"fmt ", adpcm}, {"data", Ramp(100)}}));
  Put("sndtest_huge.wav", huge);
  Put("sndtest_huge.pak", Entry("HUGE.WAV", {}, 0xF0000000u));  // 3.75 GB of data
  Put(n31, Wave(Ramp(30)));
  Put(dir_ + "/bad.wav", {'R', 'I', 'F', 'F'});
  for (const char* f : {"sndtest_huge.wav", "sndtest_huge.pak"}) {
    ASSERT_EQ(truncate((ProgDir() + f).c_str(), off_t{0xF0000100}), 0);
  }
  elSound::AddToPack(pack_.c_str(), (dir_ + "/bad.wav").c_str());
  auto inPack = [&](const char* pack, const std::function<int()>& load) {
    return [=, this] {
      elSound::SetPackFile(pack);
      int r = load();
      elSound::SetPackFile(pack_.c_str());
      return r;
    };
  };
  const std::string tooLong(300, 'x');  // a pack path too long to be kept: no pack
  const std::string mix = "ミックス数が多過ぎます", noWave = "WAVEファイルを読み込めません";
  const std::string noBuffer = "サウンドバッファが生成できません", noPack = "パックファイル名が指定されていません";
  const std::vector<std::tuple<std::function<int()>, std::string, int>> cases = {  // load, box, slots made
      {[] { return elSound::LoadObject("paku.wav", 11); }, "elSound::LoadObject : " + mix, 0},
      {[] { return elSound::LoadObject("paku.wav", -11); }, "elSound::LoadObject : " + mix, 0},
      {[] { return elSound::LoadPack("paku.wav", 11); }, "elSound::LoadPack : " + mix, 0},
      {[] { return elSound::LoadPack("paku.wav", -11); }, "elSound::LoadPack : " + mix, 0},
      {[] { return elSound::LoadObject("sndtest_no.wav", 1); }, "elSound::LoadObject : WAVEリソースが見つかりません", 0},
      {[] { return elSound::LoadObject("sndtest_cut.wav", 1); }, "elSound::LoadObject : WAVEリソースが見つかりません", 0},
      {[] { return elSound::LoadObject("sndtest_huge.wav", 1); }, "elSound::LoadObject : WAVEリソースが見つかりません", 0},
      {[] { return elSound::LoadObject("sndtest_tiny.wav", 1); }, "elSound::LoadObject : " + noBuffer, 0},
      {[] { return elSound::LoadObject("sndtest_adpcm.wav", 3); }, "elSound::LoadObject : " + noBuffer, 0},
      {[] { return elSound::LoadPack("bad.wav", 1); }, "elSound::LoadPack : " + noBuffer, 0},
      {inPack("sndtest_huge.pak", [] { return elSound::LoadPack("huge.wav", 1); }), "elSound::LoadPack : " + noBuffer, 0},
      {[] { return elSound::LoadPack("none.wav", 1); }, "elSound::LoadPack : " + noWave, 0},
      {[] { return elSound::LoadStream("none.wav", 0); }, "elSound::LoadStream : " + noWave, 0},
      {inPack(tooLong.c_str(), [] { return elSound::LoadPack("paku.wav", 1); }), "elSound::LoadPack : " + noPack, 0},
      {inPack(tooLong.c_str(), [] { return elSound::LoadStream("paku.wav", 1); }), "elSound::LoadStream : " + noPack, 0},
      {[&] { return elSound::LoadObject(n31.c_str(), 1); }, "elSound::LoadObject : ファイル名またはリソース名が長すぎます", 1},
      {[&] { return elSound::LoadPack(n31.c_str(), 1); }, "elSound::LoadPack : ファイル名が長すぎます", 1},
  };
  auto used = [] { return std::count_if(SoundObject, SoundObject + kSoundObjects, [](auto& s) { return s.used; }); };
  for (const auto& [load, box, made] : cases) {
    const auto before = used();
    EXPECT_EQ(load(), -1) << box;
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{box});
    EXPECT_EQ(used(), before + made) << box;
  }
  // A full table: the 71st object of any loader is refused and no slot changes.
  while (used() < kSoundObjects) ASSERT_GE(elSound::LoadPack("paku.wav", 10), 0);
  EXPECT_EQ(elSound::LoadObject("paku.wav", 1) + elSound::LoadPack("paku.wav", 1) + elSound::LoadStream("p", 0), -3);
  const std::string full = "オブジェクト数が多過ぎます";
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"elSound::LoadObject : " + full, "elSound::LoadPack : " + full,
                                                  "elSound::LoadStream : " + full}));
  EXPECT_EQ(SoundObject[2].name + std::to_string(SoundObject[2].mixCount), "paku.wav10");
}

TEST_F(SoundPacks, StreamsPlayEverySampleInOrderThroughAPauseAndStopAtTheirEnd) {
  const std::vector<uint8_t> data = Pattern(kRate * 10), shortData = Pattern(kRate * 49 / 10);
  Pack({{"ten.wav", data}, {"short.wav", shortData}});
  // Under five seconds: a plain packed object, played whole with no refill.
  int s = elSound::LoadStream("short.wav", 0);
  elSound::Play(s, -1);
  EXPECT_EQ(FirstDifference(Listen(s, 60 * 6), shortData), shortData.size());
  int o = elSound::LoadStream("ten.wav", 0);
  elSound::Play(o, -1);
  std::vector<uint8_t> heard = Listen(o, 60);
  elSound::Pause(o, -1);
  for (int f = 0; f < 30; ++f) EXPECT_EQ(Heard(hl::PullAudio(kFrame), 0), 128) << "paused";
  EXPECT_EQ(elSound::Streaming(), 1);
  elSound::Pause(o, -1);
  std::vector<uint8_t> rest = Listen(o, 60 * 12);
  heard.insert(heard.end(), rest.begin(), rest.end());
  // Past the four seconds the buffer holds, to the end; then at most a frame of silence.
  EXPECT_FALSE(Playing(SoundObject[o].buffer[0]));
  ASSERT_GE(heard.size(), data.size());
  EXPECT_EQ(FirstDifference(heard, data), data.size());
  EXPECT_LE(heard.size() - data.size(), kFrame);
  EXPECT_TRUE(std::all_of(heard.begin() + data.size(), heard.end(), [](uint8_t v) { return v == 128; }));
  EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(SoundPacks, ALoopingStreamRepeatsFromItsLoopOffsetWithoutAGap) {
  const std::vector<uint8_t> data = Pattern(kRate * 6);
  Pack({{"loop.wav", data}});
  // A loop point past the end loops from the start.
  for (auto [offset, from] : {std::pair<uint32_t, uint32_t>{kRate * 3 / 2 + 1, kRate * 3 / 2 + 1}, {kRate * 9, 0}}) {
    int o = elSound::LoadStream("loop.wav", offset);
    elSound::PlayLoop(o, -1);
    std::vector<uint8_t> heard = Listen(o, 60 * 15), want(data);
    while (want.size() < heard.size()) want.insert(want.end(), data.begin() + from, data.end());
    EXPECT_EQ(FirstDifference(heard, want), 900u * kFrame) << "offset " << offset;
    elSound::ReleaseObject(o);
  }
}

TEST_F(SoundPacks, StreamsReportAPackGoneAndReloadFromTheirOwnPacks) {
  const std::vector<uint8_t> data = Pattern(kRate * 5);
  Pack({{"five.wav", data}, {"p.wav", Ramp(100, 50)}});
  int s = elSound::LoadStream("five.wav", 7), p = elSound::LoadPack("p.wav", 3);
  elSound::SetPackFile("sndtest_other.pak");  // not there: only the objects' own packs can serve
  elSound::Restore();
  elSound::Play(p, 2);
  EXPECT_EQ(Heard(hl::PullAudio(1), 0), 50);
  elSound::Stop(p, -1);
  elSound::PlayLoop(s, -1);
  std::vector<uint8_t> heard = Listen(s, 60 * 6), want(data);
  want.insert(want.end(), data.begin() + 7, data.end());
  EXPECT_EQ(FirstDifference(heard, want), heard.size());
  EXPECT_TRUE(BoxTexts().empty());
  elSound::Play(s, -1);  // rewound: the next refill is due at once
  std::remove((ProgDir() + pack_).c_str());
  EXPECT_EQ(elSound::Streaming() + elSound::ResetStream(s), 0);
  WriteFile(ProgDir() + pack_, {1, 2, 3});  // the pack shrank: its data is gone
  EXPECT_EQ(elSound::ResetStream(s), 0);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"elSound::Streaming : パックファイル名が指定されていません",
                                                  "elSound::ResetStream : パックファイル名が指定されていません",
                                                  "elSound::ResetStream : ストリーミング再生できません"}));
}

TEST_F(SoundPacks, EchoesAtTwoFourAndSixHundredMillisecondsTenDecibelsApart) {
  Fresh(48000);
  Pack({{"hit.wav", std::vector<uint8_t>(kRate / 20, 192)}});  // 50 ms at +64
  int o = elSound::LoadPack("hit.wav", 4), one = elSound::LoadPack("hit.wav", -4);
  FrameSeconds = 1.0f / 60.0f;
  elSound::SetVolume(o, -3, -1);  // the start resets the levels
  elSound::Play(o, -2);
  std::vector<int16_t> all;
  for (int f = 0; f < 60; ++f) {
    elSound::Echo(o, 200, 3, 10);
    std::vector<int16_t> out = hl::PullAudio(800);
    all.insert(all.end(), out.begin(), out.end());
  }
  // Onsets: where the sound starts after silence, with the level there.
  std::vector<std::pair<double, int>> onsets;
  for (size_t i = 0; i < all.size() / 2; ++i) {
    if (all[2 * i] != 0 && (i == 0 || all[2 * i - 2] == 0)) onsets.push_back({i / 48.0, all[2 * i]});
  }
  ASSERT_EQ(onsets.size(), 4u);
  EXPECT_EQ(onsets[0], std::make_pair(0.0, 16384));
  for (int k = 1; k <= 3; ++k) {
    EXPECT_NEAR(onsets[k].first, 200.0 * k, 17.0) << k;  // within a frame
    EXPECT_NEAR(20 * std::log10(onsets[k].second / 16384.0), -10.0 * k, 0.05) << k;
  }
  // Nothing for an object made without echo (mix below 2), nor after Stop.
  elSound::Play(one, -2);
  elSound::Stop(one, 0);
  elSound::Play(o, -2);
  elSound::Stop(o, -1);
  elSound::Echo(one, 0, 3, 10);
  elSound::Echo(o, 0, 3, 10);
  EXPECT_EQ(hl::PullAudio(100), std::vector<int16_t>(200, 0));
}

TEST_F(SoundPacks, EchoPanSweepsToItsEndsAndGetPositionFollowsBufferZero) {
  Pack({{"hit.wav", std::vector<uint8_t>(kRate, 192)}});
  int o = elSound::LoadPack("hit.wav", 3);
  FrameSeconds = 0.1f;
  elSound::PlayLoop(o, -2);
  std::vector<int32_t> pans;
  for (int k = 1; k <= 3; ++k) {
    elSound::EchoPan(o, 50, 5, 3, 100);  // 0.1 s x 100 x 100 = 1000 dB: to an end at once
    const plat::AudioBuffer b = SoundObject[o].buffer[k % 3];
    int32_t pan = 0, vol = 0;
    plat::AudioGetPan(b, &pan), plat::AudioGetVolume(b, &vol);
    pans.push_back(pan);
    EXPECT_EQ(std::abs(pan), 3000);
    EXPECT_EQ(vol, -300 * k);
    EXPECT_EQ(Status(b), plat::kAudioStatusPlaying | plat::kAudioStatusLooping);  // echoes of a PlayLoop loop
  }
  EXPECT_EQ(pans[0], pans[2]);
  EXPECT_EQ(pans[1], -pans[0]);
  elSound::Stop(o, -1);
  elSound::Play(o, 0);
  elSound::Play(o, 1);
  hl::PullAudio(123);
  elSound::Stop(o, 1);
  EXPECT_EQ(elSound::GetPosition(o), 123u);
  EXPECT_EQ(elSound::GetPosition(5), 0u);  // a free slot: no buffer, no position
}

}  // namespace
