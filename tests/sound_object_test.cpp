// Sound objects, packs and streams: the loaders and their reports, round robin, the level family,
// the reloads, streaming and echoes, heard through the headless device; and the mixer beneath.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <string>

#include "el/sound/sound_internal.h"
#include "el/system/state.h"
#include "el/system/sysinfo.h"
#include "platform/resources.h"
#include "tests/support/sound_support.h"

namespace hl = plat::headless;
using namespace soundtest;

namespace {

constexpr uint32_t kRate = 11025;  // 8-bit mono: one byte a sample, device at the same rate
constexpr uint32_t kFrame = kRate / 60;

class Sound : public ::testing::Test {
 protected:
  void SetUp() override { Fresh(kRate), mkdir((ProgDir() + dir_).c_str(), 0755); }
  void TearDown() override {
    elSound::Release();
    for (const std::string& f : files_) std::remove(f.c_str());
    rmdir((ProgDir() + dir_).c_str());
  }
  // A file in the program directory (the name may lead into dir_), removed after the test; its name.
  std::string Put(const std::string& name, const std::vector<uint8_t>& bytes) {
    return files_.push_back(ProgDir() + name), WriteFile(files_.back(), bytes), name;
  }
  int Load(const std::vector<uint8_t>& samples, int mix, const std::string& name = "sndtest_a.wav") {
    return elSound::LoadObject(Put(name, Wave(samples)).c_str(), mix);
  }
  // A fresh pack of the given samples (8-bit mono) made from dir_, set as the pack file.
  void Pack(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& entries) {
    for (const auto& [name, samples] : entries) Put(dir_ + "/" + name, Wave(samples));
    Put(pack_, {});
    ASSERT_EQ(elSound::MakePack(pack_.c_str(), dir_.c_str(), 1), 1);
    elSound::SetPackFile(pack_.c_str());
  }
  // What frames frames of 1/60 s sound like, refilled after each as a frame loop does, until o stops.
  std::vector<uint8_t> Listen(int o, int frames) {
    std::vector<uint8_t> heard;
    for (int f = 0; f < frames && Playing(Buf(o, 0)); ++f) {
      std::vector<int16_t> out = hl::PullAudio(kFrame);
      elSound::Streaming();
      for (size_t i = 0; i < kFrame; ++i) heard.push_back(Heard(out, i));
    }
    return heard;
  }
  plat::AudioBuffer Buf(int o, int b) { return SoundObject[o].buffer[b]; }
  // What buffer b of object o plays at: frequency, pan, volume.
  std::vector<int64_t> Levels(int o, int b) {
    uint32_t h = 0;
    int32_t p = 0, v = 0;
    plat::AudioGetFrequency(Buf(o, b), &h), plat::AudioGetPan(Buf(o, b), &p), plat::AudioGetVolume(Buf(o, b), &v);
    return {h, p, v};
  }
  const std::string dir_ = "sndtest_dir", pack_ = "sndtest.pak";
  std::vector<std::string> files_;
};

// Where heard first differs from want (the shorter length when nowhere).
size_t FirstDifference(const std::vector<uint8_t>& heard, const std::vector<uint8_t>& want) {
  return static_cast<size_t>(std::mismatch(heard.begin(), heard.end(), want.begin(), want.end()).first - heard.begin());
}

// A recognisable 8-bit pattern that never uses 128 (silence), so silence can be told apart.
std::vector<uint8_t> Pattern(size_t n) {
  std::vector<uint8_t> v = Ramp(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 7 + i / 251) == 128 ? 129 : uint8_t(i * 7 + i / 251);
  return v;
}

// A pack entry: data length, name, format length and record, data.
std::vector<uint8_t> Entry(const std::string& name, const std::vector<uint8_t>& samples, uint32_t dataLength = 0) {
  std::vector<uint8_t> v, f = PcmFormat(kRate, 8, 1);
  Put32(v, dataLength ? dataLength : static_cast<uint32_t>(samples.size()));
  v.insert(v.end(), name.c_str(), name.c_str() + name.size() + 1);
  Put32(v, 18), v.insert(v.end(), f.begin(), f.end()), Put16(v, 0);
  v.insert(v.end(), samples.begin(), samples.end());
  return v;
}

TEST_F(Sound, RoundRobinRestartsOnceAndLooping) {
  int o = Load(Ramp(5000, 1), 3);
  for (int i = 0; i < 3; ++i) elSound::Play(o, -1), hl::PullAudio(100);
  EXPECT_EQ(std::vector<uint32_t>({Cursor(Buf(o, 0)), Cursor(Buf(o, 1)), Cursor(Buf(o, 2))}), std::vector<uint32_t>({300, 200, 100}));
  elSound::Stop(o, 1), elSound::Stop(o, 2);
  elSound::Play(o, -1);  // the fourth play cuts buffer 0 off and starts it again
  std::vector<int16_t> out = hl::PullAudio(3);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(Heard(out, i), 1 + i);
  elSound::Stop(o, -1);
  // Explicit buffers do not move the turn; once stops at the end, looping goes on; Stop -1 rewinds all.
  int p = Load(Ramp(100), 2, "sndtest_b.wav");
  elSound::Play(p, 0), elSound::PlayLoop(p, 1), hl::PullAudio(250);
  EXPECT_EQ(std::vector<uint32_t>({Status(Buf(p, 0)), Status(Buf(p, 1))}), std::vector<uint32_t>({0, 5}));
  elSound::Play(p, -1), elSound::Stop(p, -1);
  for (int b = 0; b < 2; ++b) EXPECT_FALSE(Playing(Buf(p, b)) || Cursor(Buf(p, b)));
}

// Every operation of the level family with every kind of selector, against a model of its table:
// what each buffer of the object plays at after each call.
TEST_F(Sound, TheLevelFamilyFollowsItsTableForEverySelector) {
  int o = Load(std::vector<uint8_t>(1000, 128), 3), cursor = 0;
  const int64_t base = kRate;
  int64_t hz[3] = {base, base, base}, pan[3] = {}, vol[3] = {};
  auto clamp = [](int64_t v, int64_t lo, int64_t hi) { return std::min(std::max(v, lo), hi); };
  std::mt19937 rng(7);
  for (int step = 0; step < 3000; ++step) {
    const int s = std::vector<int>{-3, -2, -1, 0, 1, 2, 3, 9, 10}[rng() % 9];
    const int64_t v = static_cast<int>(rng() % 2001) - 1000;  // whole units, past every limit both ways
    const std::vector<int> all = {0, 1, 2}, picked = s == -2 ? std::vector<int>{cursor} : s < 0 ? all
                                                     : s < 3 ? std::vector<int>{s} : std::vector<int>{};
    auto each = [&](int64_t* field, auto value) {
      for (int b : picked) field[b] = value(field[b]);
    };
    switch (rng() % 13) {
      case 0: elSound::ShiftFrequency(o, v, s), each(hz, [&](int64_t x) { return clamp(x + v * 100, 100, 100000); }); break;
      case 1: elSound::ResetFrequency(o, s), each(hz, [&](int64_t) { return base; }); break;
      case 2: elSound::SetFrequency(o, v, s), each(hz, [&](int64_t) { return clamp(base + v * 100, 100, 100000); }); break;
      case 3: elSound::ShiftPan(o, v, s), each(pan, [&](int64_t x) { return clamp(x + v * 100, -10000, 10000); }); break;
      case 4: elSound::ResetPan(o, s), each(pan, [&](int64_t) { return 0; }); break;
      case 5: elSound::SetPan(o, v, s), each(pan, [&](int64_t) { return clamp(v * 100, -10000, 10000); }); break;
      case 6: elSound::PanLeft(o, s), each(pan, [&](int64_t) { return -10000; }); break;
      case 7: elSound::PanRight(o, s), each(pan, [&](int64_t) { return 10000; }); break;
      case 8: elSound::ShiftVolume(o, v, s), each(vol, [&](int64_t x) { return clamp(x + v * 100, -10000, 0); }); break;
      case 9: elSound::ResetVolume(o, s), each(vol, [&](int64_t) { return 0; }); break;
      case 10: elSound::SetVolume(o, v, s), each(vol, [&](int64_t) { return clamp(v * 100, -10000, 0); }); break;
      case 11: elSound::Play(o, -1), cursor = (cursor + 1) % 3; break;
      default:  // starts an echo: every level reset
        elSound::Play(o, -2), cursor = (cursor + 1) % 3;
        for (int b : all) hz[b] = base, pan[b] = vol[b] = 0;
    }
    for (int b : all) ASSERT_EQ(Levels(o, b), std::vector<int64_t>({hz[b], pan[b], vol[b]})) << step << " " << s;
  }
}

TEST_F(Sound, FreedSlotsBadNumbersAndNoDeviceDoNothing) {
  int o = Load(Ramp(100), 4);
  const plat::AudioBuffer b = Buf(o, 2);
  elSound::SetVolume(o, -10, -1), elSound::ReleaseObject(o);
  EXPECT_EQ(plat::AudioReleaseBuffer(b), plat::kAudioErrInvalidParam);  // gone already
  EXPECT_EQ(Load(Ramp(100), 1), o);  // the slot again, at full volume
  EXPECT_EQ(Levels(o, 0), std::vector<int64_t>({kRate, 0, 0}));
  for (int32_t bad : {-1, 70, INT32_MIN}) {
    elSound::Play(bad, -1), elSound::PlayLoop(bad, 0), elSound::Stop(bad, -1), elSound::Pause(bad, -1);
    elSound::SetVolume(bad, -10, -1), elSound::SetFrequency(bad, 3, -1), elSound::ReleaseObject(bad);
    EXPECT_EQ(elSound::GetPosition(bad) + 0LL + elSound::ResetStream(bad), 0);
  }
  elSound::Release();
  EXPECT_EQ(elSound::GetPosition(o), 0u);
  hl::SetAudioDeviceAvailable(false), SoundReady = 0;  // no device at all: every loader answers -1, unreported
  EXPECT_EQ(elSound::Init() + elSound::LoadObject("p", 1) + elSound::LoadPack("p", 1) + elSound::LoadStream("p", 0), -3);
  EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(Sound, RestoreAndSelectFormatRebuildEveryObjectWithItsLevels) {
  int a = Load(Ramp(1000), 2, "sndtest_a.wav");
  elSound::SetVolume(a, -12, 1), elSound::SetPan(a, 7, 1), elSound::SetFrequency(a, 20, 1), elSound::Play(a, -1);
  const uint32_t opens = hl::AudioOpenCount();
  auto check = [&] {
    EXPECT_EQ(Levels(a, 1), std::vector<int64_t>({13025, 700, -1200}));
    elSound::Play(a, -1);  // the turn was kept: buffer 1, then 0
    EXPECT_TRUE(Playing(Buf(a, 1)));
    elSound::Play(a, -1), elSound::Stop(a, -1);
  };
  EXPECT_EQ((elSound::Restore(), hl::AudioOpenCount()), opens + 1);  // a new device
  check();
  // PlaySync has the device to itself for the while: a sound that no device plays out is given up
  // a second after its length; a file that cannot be read is no wait. The objects come back.
  Put("sndtest_sync.wav", Wave(std::vector<uint8_t>(kRate, 128)));
  hl::SetReadStepMicros(0);  // the clock moves by the sleeps alone
  for (auto [file, ms] : {std::pair<std::string, double>{"sndtest_sync.wav", 2000}, {"sndtest_none.wav", 0}}) {
    const uint64_t t0 = hl::NowMicros();
    elSound::PlaySync((ProgDir() + file).c_str());
    const double waited = (hl::NowMicros() - t0) / 1000.0;  // in sleeps of 10 ms
    EXPECT_TRUE(waited >= ms && waited < ms + 10) << file << " " << waited;
    check();
  }
  plat::AudioFormat f{};
  for (auto [code, hz] : {std::pair{8, 8000u}, {11, 11025u}, {44, 44100u}, {22, 22050u}}) {  // rates by their codes
    EXPECT_EQ(elSound::SelectFormat(2, code, 16) + plat::AudioGetPrimaryFormat(&f), 1);
    EXPECT_EQ(f.avgBytesPerSec, hz * 4);
  }
  check();
  EXPECT_EQ(elSound::SelectFormat(3, 44, 16) + elSound::SelectFormat(-1, -5, 99999), 0);  // refused
  plat::AudioGetPrimaryFormat(&f);
  EXPECT_EQ(f.samplesPerSec, 22050u);  // the old format holds, and the objects play on
  check();
  EXPECT_EQ(BoxTexts(), std::vector<std::string>(2, "elSound::SelectFormat : 再生フォーマットを変更できません"));
}

TEST_F(Sound, PacksHoldUpperCasedEntriesThatLoadByAnyCase) {
  Put(dir_ + "/notes.txt", {1, 2, 3});
  Put(dir_ + "/bad.wav", {'R', 'I', 'F', 'F', 1, 2});
  Pack({{"paku.wav", Ramp(300, 3)}, {"Other.Wav", Ramp(10)}});
  // By name; the unreadable WAVE as an empty entry; nothing but WAVE files.
  std::vector<uint8_t> want = Entry("OTHER.WAV", Ramp(10)), paku = Entry("PAKU.WAV", Ramp(300, 3));
  want.insert(want.end(), {0, 0, 0, 0, 'B', 'A', 'D', '.', 'W', 'A', 'V', 0, 0, 0, 0, 0});
  want.insert(want.end(), paku.begin(), paku.end());
  EXPECT_EQ(testfiles::ReadFile(ProgDir() + pack_), want);
  // AddToPack appends under the file's own name, upper-cased; a lower-case entry written by hand;
  // a file of the name in the program directory comes before a resource.
  Put(dir_ + "/boing.wav", Wave(Ramp(30, 70)));
  elSound::AddToPack(pack_.c_str(), (dir_ + "/boing.wav").c_str());
  elSound::AddToPack(nullptr, (dir_ + "/boing.wav").c_str());
  WriteFile(ProgDir() + pack_, Entry("plop.wav", {40, 41, 42, 43}), "ab");
  Put("PAKU", Wave(Ramp(30, 90)));
  std::strcpy(DataRoot, "/nonexistent");  // a data root moves the number files, not the sounds
  for (auto [name, first] : {std::pair<std::string, int>{"paku.wav", 3}, {"Boing.wav", 70}, {"PLOP.WAV", 40}, {"PAKU", 90}}) {
    int o = name == "PAKU" ? elSound::LoadObject("PAKU", 1) : elSound::LoadPack(name.c_str(), 2);
    ASSERT_GE(o, 0) << name;
    elSound::Play(o, -1);
    EXPECT_EQ(Heard(hl::PullAudio(1), 0), first) << name;
    elSound::Stop(o, -1);
  }
  DataRoot[0] = 0;
  // Fresh 0 appends (the first entry of a name wins); fresh 1 starts over.
  Put(dir_ + "/paku.wav", Wave(Ramp(80, 9)));
  uint32_t size[2] = {};
  for (uint32_t fresh : {0, 1}) {
    elSound::MakePack(pack_.c_str(), dir_.c_str(), fresh);
    plat::AudioGetSize(Buf(elSound::LoadPack("paku.wav", 1), 0), &size[fresh]);
  }
  EXPECT_EQ(std::vector<uint32_t>(size, size + 2), std::vector<uint32_t>({300, 80}));
  // A format other than PCM keeps its extra bytes.
  std::vector<uint8_t> adpcm = PcmFormat(kRate, 4, 1), want2;
  adpcm[0] = 2, Put16(adpcm, 2), adpcm.insert(adpcm.end(), {0xAB, 0xCD});
  Put(dir_ + "/x.wav", Riff({{"fmt ", adpcm}, {"data", {5, 6}}}));
  std::remove((ProgDir() + Put("sndtest_x.pak", {})).c_str());  // a pack that is not there yet is made
  elSound::AddToPack("sndtest_x.pak", (dir_ + "/x.wav").c_str());
  Put32(want2, 2), want2.insert(want2.end(), {'X', '.', 'W', 'A', 'V', 0}), Put32(want2, 20);
  want2.insert(want2.end(), adpcm.begin(), adpcm.end()), want2.insert(want2.end(), {5, 6});
  EXPECT_EQ(testfiles::ReadFile(ProgDir() + "sndtest_x.pak"), want2);
}

TEST_F(Sound, EveryLoaderReportsItsFailuresAndReturnsMinusOne) {
  const std::string n31 = std::string(27, 'p') + ".wav";
  Pack({{"paku.wav", Ramp(30)}, {n31, Ramp(30)}});
  std::vector<uint8_t> cut = Wave(Ramp(100)), huge = Wave({});
  cut.resize(cut.size() - 10);
  huge[43] = 0x10;  // a byte over the mixer's limit, and the file has it (as a hole)
  Put("sndtest_cut.wav", cut), Put("sndtest_tiny.wav", Wave(Ramp(3)));  // three bytes: below any buffer
  Put("sndtest_huge.wav", huge), Put("sndtest_huge.pak", Entry("HUGE.WAV", {}, 0xF0000000u));  // 3.75 GB
  Put(n31, Wave(Ramp(30))), Put(dir_ + "/bad.wav", {'R', 'I', 'F', 'F'});
  for (const char* f : {"sndtest_huge.wav", "sndtest_huge.pak"}) ASSERT_EQ(truncate((ProgDir() + f).c_str(), 0xF0000100), 0);
  elSound::AddToPack(pack_.c_str(), (dir_ + "/bad.wav").c_str());
  files_.push_back(ProgDir() + "sndtest_fifo.wav"), mkfifo(files_.back().c_str(), 0600);
  Put("sndtest_nodata.wav", Riff({{"fmt ", PcmFormat(kRate, 8, 1)}}));
  std::vector<uint8_t> adpcm = PcmFormat(kRate, 4, 1), longEntry = Entry("LONG.WAV", Ramp(5 * kRate));
  adpcm[0] = 2, Put16(adpcm, 2);  // two extra format bytes named, and the file ends
  Put("sndtest_cutformat.wav", Riff({{"fmt ", adpcm}}));
  longEntry.pop_back();  // a stream's samples a byte short
  Put("sndtest_cut.pak", longEntry);
  // A load from another pack (a path too long to be kept is none), after which ours is set again.
  auto inPack = [&](const std::string& pack, const std::function<int()>& load) {
    return [=, this] {
      elSound::SetPackFile(pack.c_str());
      const int r = load();
      return elSound::SetPackFile(pack_.c_str()), r;
    };
  };
  const std::string tooLong(kSoundPathSize - ProgDir().size(), 'x');  // with the directory, a byte too long
  Put(tooLong, testfiles::ReadFile(ProgDir() + pack_));  // and a real pack under that name
  const std::string obj = "elSound::LoadObject : ", pak = "elSound::LoadPack : ", str = "elSound::LoadStream : ";
  const std::string mix = "ミックス数が多過ぎます", noWave = "WAVEファイルを読み込めません";
  const std::string noBuf = "サウンドバッファが生成できません", noPack = "パックファイル名が指定されていません",
                    noRes = "WAVEリソースが見つかりません";
  const std::vector<std::tuple<std::function<int()>, std::string, int>> cases = {  // load, box, slots made
      {[] { return elSound::LoadObject("paku.wav", 11); }, obj + mix, 0},
      {[] { return elSound::LoadObject("paku.wav", -11); }, obj + mix, 0},
      {[] { return elSound::LoadPack("paku.wav", 11); }, pak + mix, 0},
      {[] { return elSound::LoadPack("paku.wav", -11); }, pak + mix, 0},
      {[] { return elSound::LoadObject("sndtest_no.wav", 1); }, obj + noRes, 0},
      {[] { return elSound::LoadObject("sndtest_cut.wav", 1); }, obj + noRes, 0},
      {[] { return elSound::LoadObject("sndtest_huge.wav", 1); }, obj + noRes, 0},
      {[] { return elSound::LoadObject("sndtest_tiny.wav", 1); }, obj + noBuf, 0},
      {[] { return elSound::LoadObject("sndtest_fifo.wav", 1); }, obj + noRes, 0},  // not waited for
      {[] { return elSound::LoadObject("sndtest_nodata.wav", 1); }, obj + noRes, 0},
      {[] { return elSound::LoadObject("sndtest_cutformat.wav", 1); }, obj + noRes, 0},
      {inPack("sndtest_cut.pak", [] { return elSound::LoadStream("long.wav", 0); }), str + noWave, 0},
      {[] { return elSound::LoadPack("bad.wav", 1); }, pak + noBuf, 0},
      {inPack("sndtest_huge.pak", [] { return elSound::LoadPack("huge.wav", 1); }), pak + noBuf, 0},
      {[] { return elSound::LoadPack("none.wav", 1); }, pak + noWave, 0},
      {[] { return elSound::LoadStream("none.wav", 0); }, str + noWave, 0},
      {inPack(tooLong, [] { return elSound::LoadPack("paku.wav", 1); }), pak + noPack, 0},
      {inPack(tooLong, [] { return elSound::LoadStream("paku.wav", 1); }), str + noPack, 0},
      {[&] { return elSound::LoadObject(n31.c_str(), 1); }, obj + "ファイル名またはリソース名が長すぎます", 1},
      {[&] { return elSound::LoadPack(n31.c_str(), 1); }, pak + "ファイル名が長すぎます", 1},
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
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{obj + full, pak + full, str + full}));
  EXPECT_EQ(SoundObject[2].name + std::to_string(SoundObject[2].mixCount), "paku.wav10");
}

TEST_F(Sound, StreamsPlayEverySampleInOrderThroughAPauseAndStopAtTheirEnd) {
  const std::vector<uint8_t> data = Pattern(kRate * 10), shortData = Pattern(kRate * 49 / 10);
  Pack({{"ten.wav", data}, {"short.wav", shortData}});
  int s = elSound::LoadStream("short.wav", 0), o = elSound::LoadStream("ten.wav", 0);
  elSound::SetVolume(o, -10, -2);  // the buffer whose turn it is: a stream's only one, from the start
  EXPECT_EQ(Levels(o, 0)[2], -1000);
  elSound::ResetVolume(o, -1);
  elSound::Play(s, -1);  // under five seconds: a plain object, played whole
  EXPECT_EQ(FirstDifference(Listen(s, 60 * 6), shortData), shortData.size());
  elSound::Play(o, -1);
  std::vector<uint8_t> heard = Listen(o, 60);
  elSound::Pause(o, -1);
  for (int f = 0; f < 30; ++f) EXPECT_EQ(Heard(hl::PullAudio(kFrame), 0), 128) << "paused";
  EXPECT_EQ(elSound::Streaming(), 1);
  std::vector<uint8_t> rest = (elSound::Pause(o, -1), Listen(o, 60 * 12));
  heard.insert(heard.end(), rest.begin(), rest.end());
  // Past the four seconds the buffer holds, to the end; then at most a frame of silence.
  EXPECT_FALSE(Playing(Buf(o, 0)));
  ASSERT_GE(heard.size(), data.size());
  EXPECT_EQ(FirstDifference(heard, data), data.size());
  EXPECT_LE(heard.size() - data.size(), kFrame);
  EXPECT_TRUE(std::all_of(heard.begin() + data.size(), heard.end(), [](uint8_t v) { return v == 128; }));
}

TEST_F(Sound, LoopingStreamsRepeatFromTheirLoopOffsetsAndReloadFromTheirOwnPacks) {
  const std::vector<uint8_t> data = Pattern(kRate * 5);
  Pack({{"five.wav", data}, {"p.wav", Ramp(100, 50)}});
  int s = elSound::LoadStream("five.wav", 7), p = elSound::LoadPack("p.wav", 3);
  const int w = elSound::LoadStream("five.wav", kRate * 9);  // a loop point past the end: from the start
  elSound::SetPackFile("sndtest_other.pak");  // not there: only the objects' own packs can serve
  elSound::Restore();
  elSound::Play(p, 2);
  EXPECT_EQ(Heard(hl::PullAudio(1), 0), 50);
  elSound::Stop(p, -1);
  for (auto [o, from] : {std::pair<int, size_t>{s, 7}, {w, 0}}) {
    elSound::PlayLoop(o, -1);  // the data once, then from the loop point over and over, without a gap
    std::vector<uint8_t> heard = Listen(o, 60 * 13), want(data);
    while (want.size() < heard.size()) want.insert(want.end(), data.begin() + from, data.end());
    EXPECT_EQ(FirstDifference(heard, want), 780u * kFrame) << from;
    elSound::Stop(o, -1);
  }
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

TEST_F(Sound, EchoesAtTwoFourAndSixHundredMillisecondsTenDecibelsApart) {
  Fresh(48000);
  Pack({{"hit.wav", std::vector<uint8_t>(kRate / 20, 192)}});  // 50 ms at +64
  int o = elSound::LoadPack("hit.wav", 4);
  elSound::Restore();  // rebuilt objects keep their echo
  FrameSeconds = 1.0f / 60.0f, elSound::SetVolume(o, -3, -1);  // the start resets the levels
  elSound::Play(o, -2);
  elSound::SetPan(o, -5, -1);  // Echo leaves the pan alone (to the left: the left side is measured)
  std::vector<std::pair<double, int>> onsets;  // where the sound starts after silence, with its level
  int16_t last = 0;
  for (int f = 0; f < 60; ++f) {
    elSound::Echo(o, 200, 3, 10);
    std::vector<int16_t> out = hl::PullAudio(800);
    for (size_t i = 0; i < 800; last = out[2 * i++]) {
      if (out[2 * i] != 0 && last == 0) onsets.push_back({(f * 800 + i) / 48.0, out[2 * i]});
    }
  }
  ASSERT_EQ(onsets.size(), 4u);
  EXPECT_EQ(onsets[0], std::make_pair(0.0, 16384));
  for (int k = 1; k <= 3; ++k) {
    EXPECT_NEAR(onsets[k].first, 200.0 * k, 17.0) << k;  // within a frame
    EXPECT_NEAR(20 * std::log10(onsets[k].second / 16384.0), -10.0 * k, 0.05) << k;
  }
  EXPECT_EQ(Levels(o, 3)[1], -500);
  elSound::Play(o, -2), elSound::Stop(o, -1);  // the turn moves on, all quiet
  // EchoPan: 0.1 s x 100 x 100 = 1000 dB a step, so each echo is at an end of the sweep, the other one.
  FrameSeconds = 0.1f;
  elSound::PlayLoop(o, -2);
  for (int64_t k = 1, side = 0; k <= 3; ++k) {
    elSound::EchoPan(o, 50, 5, 3, 100);
    const int64_t pan = Levels(o, (k + 1) % 4)[1];
    EXPECT_EQ(Levels(o, (k + 1) % 4), std::vector<int64_t>({kRate, side ? -side : pan > 0 ? 3000 : -3000, -300 * k}));
    EXPECT_EQ(Status(Buf(o, (k + 1) % 4)), plat::kAudioStatusPlaying | plat::kAudioStatusLooping);
    side = pan;
  }
  hl::PullAudio(480);  // 10 ms
  EXPECT_EQ(elSound::GetPosition(o), 110u);  // the play cursor of buffer 0, at 11025 Hz
}

// The mixer under the sound objects, driven through the platform calls: a buffer of these bytes.
constexpr uint32_t kCtrl = plat::kAudioCtrlFrequency | plat::kAudioCtrlPan | plat::kAudioCtrlVolume;
plat::AudioBuffer Make(const std::vector<uint8_t>& bytes, uint16_t bits = 8, uint16_t channels = 1) {
  std::vector<uint8_t> f = PcmFormat(kRate, bits, channels);
  plat::AudioBuffer b = 0;
  EXPECT_EQ(plat::AudioCreateBuffer(kCtrl, static_cast<uint32_t>(bytes.size()), f.data(), 16, &b), plat::kAudioOk);
  EXPECT_EQ(elSound::detail::WriteBuffer(b, 0, bytes.data(), static_cast<uint32_t>(bytes.size())), plat::kAudioOk);
  return b;
}

// Random voices of every sample format at the device rate, at random volumes and pans, played once or
// looping and pulled in passes of random length, against a model: each output sample is the sum of
// the voices' samples times their gains (hundredths of a decibel; pan attenuates the other side),
// clipped to 16 bits.
TEST_F(Sound, MixerVoicesSumToTheirSamplesTimesTheirGains) {
  Fresh(2 * kRate);
  std::mt19937 rng(11);
  auto gain = [](int hundredths) { return hundredths <= -10000 ? 0.0 : std::pow(10.0, hundredths / 2000.0); };
  for (int round = 0; round < 40; ++round) {
    struct Voice {
      plat::AudioBuffer b;
      std::vector<double> side[2];  // left, right
      bool loop, on = true, half;  // half: at half the device rate, so every other sample lies between two
      size_t pos = 0, align;       // frames; pos then counts half frames
      double gain[2];
    };
    std::vector<Voice> voices(1 + rng() % 4);
    for (Voice& v : voices) {
      const uint16_t bits = rng() % 2 ? 16 : 8, ch = static_cast<uint16_t>(1 + rng() % 2);
      std::vector<uint8_t> bytes((4 + rng() % 300) * ch * bits / 8);
      for (uint8_t& x : bytes) x = static_cast<uint8_t>(rng());
      v.b = Make(bytes, bits, ch), v.align = ch * bits / 8u;
      for (size_t i = 0; i < bytes.size(); i += bits / 8) {
        const double x = bits == 8 ? (bytes[i] - 128) * 256.0 : int16_t(bytes[i] | (bytes[i + 1] << 8));
        v.side[ch == 2 && (i / (bits / 8)) % 2].push_back(x);
        if (ch == 1) v.side[1].push_back(x);
      }
      const int vol = rng() % 3 ? -static_cast<int>(rng() % 3000) : rng() % 2 ? 0 : -10000;
      const int pan = rng() % 3 ? static_cast<int>(rng() % 4001) - 2000 : rng() % 2 ? 10000 : -10000;
      ASSERT_EQ(plat::AudioSetVolume(v.b, vol) + plat::AudioSetPan(v.b, pan), plat::kAudioOk);
      v.gain[0] = gain(vol) * (pan > 0 ? gain(-pan) : 1.0), v.gain[1] = gain(vol) * (pan < 0 ? gain(pan) : 1.0);
      v.half = rng() % 3 == 0;
      ASSERT_EQ(plat::AudioSetFrequency(v.b, v.half ? kRate : 2 * kRate), plat::kAudioOk);
      v.loop = rng() % 2, plat::AudioPlay(v.b, v.loop ? plat::kAudioPlayLooping : 0);
    }
    for (int pass = 0; pass < 8; ++pass) {
      const uint32_t frames = 1 + rng() % 97;
      std::vector<int16_t> out = hl::PullAudio(frames);
      for (uint32_t i = 0; i < frames; ++i) {
        double sum[2] = {0, 0};
        for (Voice& v : voices) {  // the last frame leads to the first when looping, else to itself
          const size_t n = v.side[0].size(), at = v.half ? v.pos / 2 : v.pos, next = at + 1 < n ? at + 1 : v.loop ? 0 : at;
          const double frac = v.half && v.pos % 2 ? 0.5 : 0.0;
          for (int c = 0; c < 2 && v.on; ++c) sum[c] += (v.side[c][at] + (v.side[c][next] - v.side[c][at]) * frac) * v.gain[c];
          if (v.on && ++v.pos == n * (v.half ? 2 : 1)) v.pos = 0, v.on = v.loop;
        }
        for (int c = 0; c < 2; ++c) ASSERT_NEAR(out[2 * i + c], std::clamp(sum[c], -32768.0, 32767.0), 1) << round;
      }
    }
    for (Voice& v : voices) {
      EXPECT_EQ(std::make_pair(Playing(v.b), Cursor(v.b)), std::make_pair(v.on, uint32_t(v.on ? (v.half ? v.pos / 2 : v.pos) * v.align : 0)));
      plat::AudioReleaseBuffer(v.b);
    }
  }
}

// A looping buffer with a filler (as the synthesizer's is) plays each frame the filler rendered, once
// and in order, however the device's pulls fall across the buffer's end; the filler is never more
// than a buffer ahead.
TEST_F(Sound, AFillerRendersEveryFrameOnceBeforeItIsPlayed) {
  struct Counter { int16_t next = 1; uint32_t rendered = 0; } c;
  plat::AudioBuffer b = Make(std::vector<uint8_t>(200), 16, 1);  // 100 frames
  plat::AudioSetFiller(b, [](void* user, void* dst, uint32_t bytes) {
    auto* c = static_cast<Counter*>(user);
    for (uint32_t i = 0; i < bytes / 2; ++i) static_cast<int16_t*>(dst)[i] = c->next++;
    c->rendered += bytes / 2;
  }, &c);
  plat::AudioPlay(b, plat::kAudioPlayLooping);
  std::vector<int16_t> heard;
  for (uint32_t n : {37u, 64u, 1u, 99u, 100u, 13u, 80u}) {  // a pass at most a buffer long
    const std::vector<int16_t> out = hl::PullAudio(n);
    for (uint32_t i = 0; i < n; ++i) heard.push_back(out[2 * i]);
    EXPECT_LE(c.rendered, heard.size() + 100);
  }
  for (size_t i = 0; i < heard.size(); ++i) ASSERT_EQ(heard[i], static_cast<int16_t>(i + 1)) << i;
  plat::AudioReleaseBuffer(b);
}

TEST_F(Sound, MixerInvalidCallsAreRefusedAndChangeNothing) {
  const std::vector<uint8_t> f = PcmFormat(kRate, 8, 1);
  auto with = [&](size_t at, uint8_t v) { return [&](std::vector<uint8_t> g) { return g[at] = v, g; }(f); };
  const int32_t param = plat::kAudioErrInvalidParam, format = plat::kAudioErrBadFormat;
  const std::vector<std::tuple<uint32_t, uint32_t, std::vector<uint8_t>, uint32_t, int32_t>> creates = {
      {kCtrl, 100, f, 15, param}, {kCtrl, 3, f, 16, param}, {kCtrl, 0x10000000, f, 16, param}, {1, 100, f, 16, param},
      {kCtrl, 100, with(0, 2), 16, format}, {kCtrl, 100, with(2, 3), 16, format}, {kCtrl, 100, with(14, 12), 16, format},
      {kCtrl, 100, with(12, 2), 16, format}, {kCtrl, 100, with(8, 1), 16, format},
      {kCtrl, 100, PcmFormat(99, 8, 1), 16, format}, {kCtrl, 100, PcmFormat(100001, 8, 1), 16, format}};
  plat::AudioBuffer b = 7, fixed = 0;
  for (const auto& [flags, bytes, fmt, size, result] : creates) {
    EXPECT_EQ(plat::AudioCreateBuffer(flags, bytes, fmt.data(), size, &b), result);
    EXPECT_EQ(b, 0u);
  }
  for (uint32_t rate : {100u, 100000u}) {  // the rates at either end are taken
    EXPECT_EQ(plat::AudioCreateBuffer(kCtrl, 100, PcmFormat(rate, 8, 1).data(), 16, &b), plat::kAudioOk) << rate;
    plat::AudioReleaseBuffer(b);
  }
  b = Make(Ramp(10));
  ASSERT_EQ(plat::AudioCreateBuffer(plat::kAudioStatic, 16, f.data(), 16, &fixed), plat::kAudioOk);
  void *p1 = nullptr, *p2 = nullptr;
  uint32_t n1 = 0, n2 = 0;
  for (int32_t r : {plat::AudioSetVolume(b, 1), plat::AudioSetVolume(b, -10001), plat::AudioSetPan(b, 10001),
                    plat::AudioSetPan(b, -10001), plat::AudioSetFrequency(b, 99), plat::AudioSetFrequency(b, 100001),
                    plat::AudioSetPosition(b, 10), plat::AudioPlay(b, 2), plat::AudioSetVolume(0, 0),
                    plat::AudioLock(b, 10, 1, &p1, &n1, &p2, &n2, 0), plat::AudioLock(b, 0, 0, &p1, &n1, &p2, &n2, 0),
                    plat::AudioLock(b, 0, 11, &p1, &n1, &p2, &n2, 0),
                    plat::AudioLock(b, 8, 4, &p1, &n1, nullptr, nullptr, 0), plat::AudioGetFormat(b, nullptr)}) {
    EXPECT_EQ(r, param);
  }
  EXPECT_EQ(std::vector<int32_t>({plat::AudioSetVolume(fixed, -1), plat::AudioSetPan(fixed, 1), plat::AudioSetFrequency(fixed, 800)}),
            std::vector<int32_t>(3, plat::kAudioErrControlUnavailable));
  // A lock over the end gives two regions.
  ASSERT_EQ(plat::AudioLock(b, 8, 4, &p1, &n1, &p2, &n2, 0), plat::kAudioOk);
  std::memset(p1, 128, 2), std::memset(p2, 128, 2);
  ASSERT_EQ(plat::AudioUnlock(b, p1, 2, p2, 2), plat::kAudioOk);
  ASSERT_EQ(plat::AudioLock(b, 7, 3, &p1, &n1, &p2, &n2, plat::kAudioLockEntireBuffer), plat::kAudioOk);  // all of it, from 0
  EXPECT_TRUE(n1 == 10 && n2 == 0 && static_cast<uint8_t*>(p1)[2] == 2) << n1 << " " << n2;
  ASSERT_EQ(plat::AudioUnlock(b, p1, n1, p2, n2), plat::kAudioOk);
  plat::AudioPlay(b, 0);
  std::vector<int16_t> out = hl::PullAudio(10);
  for (size_t i = 0; i < 10; ++i) EXPECT_EQ(Heard(out, i), i < 2 || i > 7 ? 128 : i) << i;
  EXPECT_EQ(plat::AudioReleaseBuffer(b) + 0LL + plat::AudioReleaseBuffer(b), param);
}

}  // namespace
