// Sound packs, the loaders' reports, streamed objects and echoes, heard through the headless device.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
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
    mkdir((ProgDir() + dir_).c_str(), 0755);
    std::remove((ProgDir() + pack_).c_str());
  }
  void TearDown() override {
    elSound::Release();
    for (const std::string& f : files_) std::remove(f.c_str());
    std::remove((ProgDir() + pack_).c_str());
    rmdir((ProgDir() + dir_).c_str());
  }
  // A file in the program directory (name may lead into dir_), removed after the test.
  void Put(const std::string& name, const std::vector<uint8_t>& bytes) {
    WriteFile(ProgDir() + name, bytes);
    files_.push_back(ProgDir() + name);
  }
  // A pack of the given samples (8-bit mono at kRate) made from dir_, set as the pack file.
  void Pack(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& entries) {
    for (const auto& [name, samples] : entries) Put(dir_ + "/" + name, Wave(samples, kRate));
    ASSERT_EQ(elSound::MakePack(pack_.c_str(), dir_.c_str(), 1), 1);
    elSound::SetPackFile(pack_.c_str());
  }
  // What frames frames of 1/60 s sound like, the stream refilled after each as a frame loop does;
  // ends early when object o stops.
  std::vector<uint8_t> Listen(int o, int frames) {
    std::vector<uint8_t> heard;
    for (int f = 0; f < frames && Playing(SoundObject[o].buffer[0]); ++f) {
      std::vector<int16_t> out = hl::PullAudio(kRate / 60);
      elSound::Streaming();
      for (size_t i = 0; i < out.size() / 2; ++i) heard.push_back(Heard(out, i));
    }
    return heard;
  }
  const std::string dir_ = "sndtest_pack_dir", pack_ = "sndtest.pak";
  std::vector<std::string> files_;
};

// The index of the first sample where heard differs from want (the shorter length when none).
size_t FirstDifference(const std::vector<uint8_t>& heard, const std::vector<uint8_t>& want) {
  return static_cast<size_t>(std::mismatch(heard.begin(), heard.end(), want.begin(), want.end()).first - heard.begin());
}

// A recognisable 8-bit pattern that never uses 128 (silence), so silence can be told apart.
std::vector<uint8_t> Pattern(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) {
    uint8_t b = static_cast<uint8_t>((i * 7 + i / 251) & 0xFF);
    v[i] = b == 128 ? 129 : b;
  }
  return v;
}

std::vector<uint8_t> Entry(const std::string& name, const std::vector<uint8_t>& samples) {
  std::vector<uint8_t> v;
  Put32(v, static_cast<uint32_t>(samples.size()));
  v.insert(v.end(), name.begin(), name.end());
  v.push_back(0);
  Put32(v, 18);
  std::vector<uint8_t> f = PcmFormat(kRate, 8, 1);
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
  std::vector<uint8_t> want = {0, 0, 0, 0, 'B', 'A', 'D', '.', 'W', 'A', 'V', 0, 0, 0, 0, 0};
  std::vector<uint8_t> other = Entry("OTHER.WAV", Ramp(10)), paku = Entry("PAKU.WAV", Ramp(300, 3));
  want.insert(want.begin(), other.begin(), other.end());
  want.insert(want.end(), paku.begin(), paku.end());
  EXPECT_EQ(ReadFile(ProgDir() + pack_), want);
  // Appended by AddToPack under the file's own name, upper-cased; a lower-case entry written by hand.
  Put(dir_ + "/boing.wav", Wave(Ramp(30, 70), kRate));
  elSound::AddToPack(pack_.c_str(), (dir_ + "/boing.wav").c_str());
  elSound::AddToPack(nullptr, (dir_ + "/boing.wav").c_str());
  std::vector<uint8_t> plop = Entry("plop.wav", {40, 41, 42, 43});
  FILE* f = std::fopen((ProgDir() + pack_).c_str(), "ab");
  std::fwrite(plop.data(), 1, plop.size(), f);
  std::fclose(f);
  for (auto [name, first] : {std::pair<const char*, int>{"paku.wav", 3}, {"Boing.wav", 70}, {"PLOP.WAV", 40}}) {
    int o = elSound::LoadPack(name, 2);
    ASSERT_GE(o, 0) << name;
    elSound::Play(o, -1);
    EXPECT_EQ(Heard(hl::PullAudio(1), 0), first) << name;
    elSound::Stop(o, -1);
  }
  EXPECT_STREQ(SoundObject[0].name, "paku.wav");
  EXPECT_TRUE(hl::Boxes().empty());
  // Fresh 0 appends (the first entry of a name wins); fresh 1 starts over.
  Put(dir_ + "/paku.wav", Wave(Ramp(80, 9), kRate));
  elSound::MakePack(pack_.c_str(), dir_.c_str(), 0);
  uint32_t size = 0;
  plat::AudioGetSize(SoundObject[elSound::LoadPack("paku.wav", 1)].buffer[0], &size);
  EXPECT_EQ(size, 300u);
  elSound::MakePack(pack_.c_str(), dir_.c_str(), 1);
  plat::AudioGetSize(SoundObject[elSound::LoadPack("paku.wav", 1)].buffer[0], &size);
  EXPECT_EQ(size, 80u);
}

TEST_F(SoundPacks, EveryLoaderReportsItsFailuresAndReturnsMinusOne) {
  const std::string n31 = std::string(27, 'p') + ".wav";
  Pack({{"paku.wav", Ramp(30)}, {n31, Ramp(30)}});
  std::vector<uint8_t> cut = Wave(Ramp(100));
  cut.resize(cut.size() - 10);
  std::vector<uint8_t> adpcm = PcmFormat(kRate, 8, 1);
  adpcm[0] = 2;
  Put16(adpcm, 0);
  Put("sndtest_cut.wav", cut);
  Put("sndtest_tiny.wav", Wave(Ramp(3)));  // three bytes: below any buffer
  Put("sndtest_adpcm.wav", Riff({{"fmt ", adpcm}, {"data", Ramp(100)}}));
  Put(n31, Wave(Ramp(30)));
  Put(dir_ + "/bad.wav", {'R', 'I', 'F', 'F'});
  elSound::AddToPack(pack_.c_str(), (dir_ + "/bad.wav").c_str());
  auto noPack = [&](const std::function<int()>& load) {
    return [=, this] {
      elSound::SetPackFile(std::string(300, 'x').c_str());  // too long to be kept: no pack
      int r = load();
      elSound::SetPackFile(pack_.c_str());
      return r;
    };
  };
  const std::string mix = "ミックス数が多過ぎます", noWave = "WAVEファイルを読み込めません";
  const std::string noBuffer = "サウンドバッファが生成できません", noPackFile = "パックファイル名が指定されていません";
  struct Case {
    std::function<int()> load;
    std::string box;
    int madeSlots;  // a name too long is refused after the object was made
  } cases[] = {
      {[] { return elSound::LoadObject("paku.wav", 11); }, "elSound::LoadObject : " + mix, 0},
      {[] { return elSound::LoadObject("paku.wav", -11); }, "elSound::LoadObject : " + mix, 0},
      {[] { return elSound::LoadPack("paku.wav", 11); }, "elSound::LoadPack : " + mix, 0},
      {[] { return elSound::LoadPack("paku.wav", -11); }, "elSound::LoadPack : " + mix, 0},
      {[] { return elSound::LoadObject("sndtest_none.wav", 1); }, "elSound::LoadObject : WAVEリソースが見つかりません", 0},
      {[] { return elSound::LoadObject("sndtest_cut.wav", 1); }, "elSound::LoadObject : WAVEリソースが見つかりません", 0},
      {[] { return elSound::LoadObject("sndtest_tiny.wav", 1); }, "elSound::LoadObject : " + noBuffer, 0},
      {[] { return elSound::LoadObject("sndtest_adpcm.wav", 3); }, "elSound::LoadObject : " + noBuffer, 0},
      {[] { return elSound::LoadPack("bad.wav", 1); }, "elSound::LoadPack : " + noBuffer, 0},
      {[] { return elSound::LoadPack("none.wav", 1); }, "elSound::LoadPack : " + noWave, 0},
      {[] { return elSound::LoadStream("none.wav", 0); }, "elSound::LoadStream : " + noWave, 0},
      {noPack([] { return elSound::LoadPack("paku.wav", 1); }), "elSound::LoadPack : " + noPackFile, 0},
      {noPack([] { return elSound::LoadStream("paku.wav", 1); }), "elSound::LoadStream : " + noPackFile, 0},
      {[&] { return elSound::LoadObject(n31.c_str(), 1); }, "elSound::LoadObject : ファイル名またはリソース名が長すぎます", 1},
      {[&] { return elSound::LoadPack(n31.c_str(), 1); }, "elSound::LoadPack : ファイル名が長すぎます", 1},
  };
  auto used = [] {
    int n = 0;
    for (const SoundSlot& s : SoundObject) n += s.used ? 1 : 0;
    return n;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.box);
    hl::Boxes().clear();
    const int before = used();
    EXPECT_EQ(c.load(), -1);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{c.box});
    EXPECT_EQ(used(), before + c.madeSlots);
  }
  // A full table: the 71st object of any loader is refused and no slot changes.
  while (used() < kSoundObjects) ASSERT_GE(elSound::LoadPack("paku.wav", 10), 0);
  hl::Boxes().clear();
  EXPECT_EQ(elSound::LoadObject("paku.wav", 1), -1);
  EXPECT_EQ(elSound::LoadPack("paku.wav", 1), -1);
  EXPECT_EQ(elSound::LoadStream("paku.wav", 0), -1);
  const std::string full = "オブジェクト数が多過ぎます";
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"elSound::LoadObject : " + full, "elSound::LoadPack : " + full,
                                                  "elSound::LoadStream : " + full}));
  EXPECT_EQ(SoundObject[2].name, std::string("paku.wav"));
  EXPECT_EQ(SoundObject[2].mixCount, 10);
}

// Runs body in a child whose address space may grow by only 128 MB (not under the address
// sanitizer, whose shadow memory cannot live under such a limit): its answer, or 3 when it threw.
int WithLittleMemory(const std::function<int()>& body) {
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
#if !defined(__SANITIZE_ADDRESS__)
    long pages = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
      if (std::fscanf(f, "%ld", &pages) != 1) pages = 0;
      std::fclose(f);
    }
    rlimit limit;
    limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + (128u << 20);
    setrlimit(RLIMIT_AS, &limit);
#endif
    int code = 3;
    try {
      code = body();
    } catch (...) {
    }
    _exit(code);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST_F(SoundPacks, HugeDeclaredSizesAreRefusedBeforeAnythingIsAllocated) {
  // Files that declare gigabytes (and have them, as holes): a load that allocated what they declare
  // would die of it.
  std::vector<uint8_t> wave = Wave({});
  wave[40] = wave[41] = wave[42] = 0;
  wave[43] = 0x10;  // one byte over the mixer's limit
  std::vector<uint8_t> entry = Entry("HUGE.WAV", {});
  entry[3] = 0xF0;  // 3.75 GB
  std::vector<uint8_t> format = Entry("HUGE.WAV", {});
  format[16] = 0xF0;  // a format of 3.75 GB
  struct Case {
    std::vector<uint8_t> head;
    std::function<int()> load;
    const char* box;
  } cases[] = {
      {wave, [] { return elSound::LoadObject("sndtest_huge", 1); }, "elSound::LoadObject : WAVEリソースが見つかりません"},
      {entry, [] { return elSound::LoadPack("huge.wav", 1); }, "elSound::LoadPack : サウンドバッファが生成できません"},
      {format, [] { return elSound::LoadStream("huge.wav", 0); }, "elSound::LoadStream : WAVEファイルを読み込めません"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.box);
    const std::string path = ProgDir() + "sndtest_huge";
    WriteFile(path, c.head);
    ASSERT_EQ(truncate(path.c_str(), off_t{0xF0000100}), 0);
    elSound::SetPackFile("sndtest_huge");
    hl::Boxes().clear();
    EXPECT_EQ(WithLittleMemory([&] { return c.load() == -1 && BoxTexts() == std::vector<std::string>{c.box} ? 0 : 1; }), 0);
    std::remove(path.c_str());
  }
}

TEST_F(SoundPacks, UnderFiveSecondsAStreamIsAPlainPackedObject) {
  Pack({{"short.wav", Pattern(kRate * 49 / 10)}});
  int o = elSound::LoadStream("short.wav", 0);
  ASSERT_EQ(o, 0);
  uint32_t size = 0;
  plat::AudioGetSize(SoundObject[o].buffer[0], &size);
  EXPECT_EQ(size, kRate * 49 / 10);
  elSound::Play(o, -1);
  std::vector<uint8_t> heard = Listen(o, 60 * 6);  // once, whole, with no refill
  EXPECT_EQ(FirstDifference(heard, Pattern(kRate * 49 / 10)), kRate * 49 / 10);
  EXPECT_LE(heard.size(), kRate * 5u);
}

TEST_F(SoundPacks, ANonLoopingStreamPlaysItsTenSecondsThroughAPauseAndStops) {
  const std::vector<uint8_t> data = Pattern(kRate * 10);
  Pack({{"ten.wav", data}});
  int o = elSound::LoadStream("ten.wav", 0);
  ASSERT_EQ(o, 0);
  elSound::Play(o, -1);
  std::vector<uint8_t> heard = Listen(o, 60);
  elSound::Pause(o, -1);
  for (int f = 0; f < 30; ++f) {
    EXPECT_EQ(Heard(hl::PullAudio(kRate / 60), 0), 128) << "paused";
    elSound::Streaming();
  }
  elSound::Pause(o, -1);
  std::vector<uint8_t> rest = Listen(o, 60 * 12);
  heard.insert(heard.end(), rest.begin(), rest.end());
  // Every sample in order, past the four seconds the buffer holds; then at most a frame of silence.
  EXPECT_FALSE(Playing(SoundObject[o].buffer[0]));
  ASSERT_GE(heard.size(), data.size());
  EXPECT_EQ(FirstDifference(heard, data), data.size());
  EXPECT_LE(heard.size() - data.size(), kRate / 60 + 1);
  EXPECT_TRUE(std::all_of(heard.begin() + data.size(), heard.end(), [](uint8_t v) { return v == 128; }));
  EXPECT_EQ(hl::Boxes().size(), 0u);
}

TEST_F(SoundPacks, ALoopingStreamRepeatsFromItsLoopOffsetWithoutAGap) {
  const std::vector<uint8_t> data = Pattern(kRate * 6);
  Pack({{"loop.wav", data}});
  // A loop point past the end loops from the start.
  for (auto [offset, from] : {std::pair<uint32_t, uint32_t>{kRate * 3 / 2 + 1, kRate * 3 / 2 + 1}, {kRate * 9, 0}}) {
    int o = elSound::LoadStream("loop.wav", offset);
    ASSERT_EQ(o, 0);
    elSound::PlayLoop(o, -1);
    std::vector<uint8_t> heard = Listen(o, 60 * 15);
    std::vector<uint8_t> want(data);
    while (want.size() < heard.size()) want.insert(want.end(), data.begin() + from, data.end());
    ASSERT_EQ(heard.size(), 900u * (kRate / 60));
    EXPECT_EQ(FirstDifference(heard, want), heard.size()) << "offset " << offset;
    elSound::ReleaseObject(o);
  }
}

TEST_F(SoundPacks, ResetStreamAndStreamingReportAMissingPack) {
  Pack({{"five.wav", Pattern(kRate * 5)}});
  int o = elSound::LoadStream("five.wav", 0);
  elSound::Play(o, -1);
  std::remove((ProgDir() + pack_).c_str());
  EXPECT_EQ(elSound::Streaming(), 0);
  EXPECT_EQ(elSound::ResetStream(o), 0);
  WriteFile(ProgDir() + pack_, {1, 2, 3});  // the pack shrank: its data is gone
  EXPECT_EQ(elSound::ResetStream(o), 0);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"elSound::Streaming : パックファイル名が指定されていません",
                                                  "elSound::ResetStream : パックファイル名が指定されていません",
                                                  "elSound::ResetStream : ストリーミング再生できません"}));
}

TEST_F(SoundPacks, RestoreReloadsStreamsAndPackedObjectsFromTheirOwnPacks) {
  const std::vector<uint8_t> data = Pattern(kRate * 5);
  Pack({{"five.wav", data}, {"p.wav", Ramp(100, 50)}});
  int s = elSound::LoadStream("five.wav", 7);
  int p = elSound::LoadPack("p.wav", 3);
  ASSERT_EQ(p, 1);
  elSound::SetPackFile("sndtest_other.pak");  // not there: only the objects' own packs can serve
  elSound::Restore();
  EXPECT_EQ(hl::Boxes().size(), 0u);
  elSound::Play(p, 2);
  EXPECT_EQ(Heard(hl::PullAudio(1), 0), 50);
  elSound::Stop(p, -1);
  elSound::PlayLoop(s, -1);
  std::vector<uint8_t> heard = Listen(s, 60 * 6);
  std::vector<uint8_t> want(data);
  want.insert(want.end(), data.begin() + 7, data.end());
  EXPECT_EQ(FirstDifference(heard, want), heard.size());
}

TEST_F(SoundPacks, EchoesAtTwoFourAndSixHundredMillisecondsTenDecibelsApart) {
  Fresh(48000);
  Pack({{"hit.wav", std::vector<uint8_t>(kRate / 20, 192)}});  // 50 ms at +64
  int o = elSound::LoadPack("hit.wav", 4);
  ASSERT_GE(o, 0);
  FrameSeconds = 1.0f / 60.0f;
  elSound::SetVolume(o, -3, -1);  // the start resets the levels
  elSound::Play(o, -2);
  std::vector<int16_t> all;
  for (int f = 0; f < 60; ++f) {
    elSound::Echo(o, 200, 3, 10);
    std::vector<int16_t> out = hl::PullAudio(800);
    all.insert(all.end(), out.begin(), out.end());
  }
  // Onsets: where the sound starts after a stretch of silence, with the level there.
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
  // Nothing for an object loaded with one buffer, nor after Stop.
  int one = elSound::LoadPack("hit.wav", -4);
  elSound::Play(one, -2);
  elSound::Stop(o, -1);
  elSound::Stop(one, 0);
  elSound::Echo(one, 0, 3, 10);
  elSound::Echo(o, 0, 3, 10);
  for (int16_t v : hl::PullAudio(100)) ASSERT_EQ(v, 0);
}

TEST_F(SoundPacks, EchoPanSweepsToItsEndAndTurns) {
  Pack({{"hit.wav", std::vector<uint8_t>(kRate, 192)}});
  int o = elSound::LoadPack("hit.wav", 3);
  FrameSeconds = 0.1f;
  elSound::PlayLoop(o, -2);
  int side = 0;
  for (int k = 1; k <= 3; ++k) {
    elSound::EchoPan(o, 50, 5, 3, 100);  // 0.1 s x 100 x 100 = 1000 dB: to an end at once
    plat::AudioBuffer b = SoundObject[o].buffer[k % 3];
    int32_t pan = 0, vol = 0;
    uint32_t status = 0;
    plat::AudioGetPan(b, &pan);
    plat::AudioGetVolume(b, &vol);
    plat::AudioGetStatus(b, &status);
    ASSERT_EQ(std::abs(pan), 3000);
    if (k > 1) {
      EXPECT_EQ(pan, -side) << "turns at the end";
    }
    side = pan;
    EXPECT_EQ(vol, -300 * k);
    EXPECT_EQ(status, plat::kAudioStatusPlaying | plat::kAudioStatusLooping);  // echoes of a PlayLoop loop
  }
}

TEST_F(SoundPacks, GetPositionIsBufferZerosCursor) {
  Pack({{"p.wav", Ramp(1000)}});
  int o = elSound::LoadPack("p.wav", 2);
  elSound::Play(o, 0);
  elSound::Play(o, 1);
  hl::PullAudio(123);
  elSound::Stop(o, 1);
  EXPECT_EQ(elSound::GetPosition(o), 123u);
  EXPECT_EQ(elSound::GetPosition(5), 0u);  // a free slot: no buffer, no position
  elSound::Release();
  EXPECT_EQ(elSound::GetPosition(o), 0u);
}

}  // namespace
