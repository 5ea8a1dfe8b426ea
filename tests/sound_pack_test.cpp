// Sound packs, streamed objects and echoes, heard through the headless device.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{
                            "elSound::LoadPack : パックファイル名が指定されていません",
                            "elSound::LoadStream : パックファイル名が指定されていません",
                            "elSound::LoadPack : WAVEファイルを読み込めません",
                            "elSound::LoadStream : WAVEファイルを読み込めません",
                            "elSound::LoadPack : ミックス数が多過ぎます",
                        }));
  hl::Boxes().clear();
  // A name of 31 characters is found, and refused after the object has been made.
  std::string n31 = std::string(27, 'p') + ".wav";
  DirFile(n31, Wave(Ramp(30), kRate));
  elSound::AddToPack(pack_.c_str(), (dir_ + "/" + n31).c_str());
  EXPECT_EQ(elSound::LoadPack(n31.c_str(), 1), -1);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"elSound::LoadPack : ファイル名が長すぎます"});
  EXPECT_EQ(SoundObject[0].used, 1u);
}

TEST_F(SoundPacks, EntriesAreFoundWhateverTheCaseTheyWereWrittenIn) {
  elSound::SetPackFile(pack_.c_str());
  DirFile("boing.wav", Wave(Ramp(30, 70), kRate));
  elSound::AddToPack(pack_.c_str(), (dir_ + "/boing.wav").c_str());
  // The entry is written under the upper-case name that the search compares.
  std::vector<uint8_t> pack = ReadFile(ProgDir() + pack_);
  ASSERT_GT(pack.size(), 14u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(pack.data() + 4)), "BOING.WAV");
  // A pack written with a lower-case name (by hand, or by an earlier version) is read all the same.
  std::vector<uint8_t> old;
  Put32(old, 4);
  for (char c : std::string("plop.wav")) old.push_back(static_cast<uint8_t>(c));
  old.push_back(0);
  std::vector<uint8_t> format = PcmFormat(kRate, 8, 1);
  Put32(old, 18);
  old.insert(old.end(), format.begin(), format.end());
  Put16(old, 0);
  for (uint8_t b : {40, 41, 42, 43}) old.push_back(b);
  FILE* f = std::fopen((ProgDir() + pack_).c_str(), "ab");
  ASSERT_NE(f, nullptr);
  std::fwrite(old.data(), 1, old.size(), f);
  std::fclose(f);
  int boing = elSound::LoadPack("Boing.wav", 1);
  int plop = elSound::LoadPack("PLOP.WAV", 1);
  ASSERT_GE(boing, 0);
  ASSERT_GE(plop, 0);
  EXPECT_TRUE(hl::Boxes().empty());
  elSound::Play(boing, -1);
  EXPECT_EQ(Heard(hl::PullAudio(1), 0), 70);
  elSound::Stop(boing, -1);
  elSound::Play(plop, -1);
  std::vector<int16_t> out = hl::PullAudio(2);
  EXPECT_EQ(Heard(out, 0), 40);
  EXPECT_EQ(Heard(out, 1), 41);
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

// A file of size bytes that begins with head and holds nothing else (sparse: no disk is used).
void SparseFile(const std::string& path, const std::vector<uint8_t>& head, uint64_t size) {
  WriteFile(path, head);
  ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(size)), 0);
}

// Runs body in a child process whose address space may grow by at most headroom bytes (not under
// the address sanitizer, whose shadow memory cannot live under such a limit). Its answer, 3 when it
// threw, or 128 + the signal that ended it.
int WithLittleMemory(const std::function<int()>& body, uint64_t headroom) {
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
    limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + headroom;
    setrlimit(RLIMIT_AS, &limit);
#else
    (void)headroom;
#endif
    int code = 3;
    try {
      code = body();
    } catch (...) {  // out of memory: the exception must not run on into the rest of the suite
    }
    _exit(code);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST_F(SoundPacks, HugeDeclaredSizesAreRefusedBeforeAnythingIsAllocated) {
  // Files that declare gigabytes (and have them, as holes), loaded with 128 MB to spare: a load
  // that allocated what the file declares would die of it.
  const std::vector<uint8_t> format = PcmFormat(kRate, 8, 1);
  auto wave = [&](uint32_t dataSize) {
    std::vector<uint8_t> v;
    PutId(v, "RIFF");
    Put32(v, 36 + dataSize);
    PutId(v, "WAVE");
    PutId(v, "fmt ");
    Put32(v, 16);
    v.insert(v.end(), format.begin(), format.end());
    PutId(v, "data");
    Put32(v, dataSize);
    return v;
  };
  auto entry = [&](uint32_t dataSize, const char* name, uint32_t formatSize) {
    std::vector<uint8_t> v;
    Put32(v, dataSize);
    for (const char* c = name; *c; ++c) v.push_back(static_cast<uint8_t>(*c));
    v.push_back(0);
    Put32(v, formatSize);
    v.insert(v.end(), format.begin(), format.end());
    Put16(v, 0);
    return v;
  };
  struct Case {
    const char* what;
    std::string file;
    std::vector<uint8_t> head;
    uint64_t size;
    std::function<int()> load;
    const char* box;
  };
  const uint32_t over = plat::kAudioMaxBufferBytes + 1;
  const std::string wav = "sndtest_huge.wav", pak = "sndtest_huge.pak";
  const std::vector<Case> cases = {
      {"WAVE data of 3.75 GB", wav, wave(0xF0000000u), 44 + uint64_t{0xF0000000u},
       [&] { return elSound::LoadObject(wav.c_str(), 1); }, "elSound::LoadObject : WAVEリソースが見つかりません"},
      {"WAVE data one byte over the mixer's limit", wav, wave(over), 44 + uint64_t{over},
       [&] { return elSound::LoadObject(wav.c_str(), 1); }, "elSound::LoadObject : WAVEリソースが見つかりません"},
      {"pack entry data of 3.75 GB", pak, entry(0xF0000000u, "HUGE.WAV", 18), 35 + uint64_t{0xF0000000u},
       [&] {
         elSound::SetPackFile(pak.c_str());
         return elSound::LoadPack("huge.wav", 1);
       },
       "elSound::LoadPack : サウンドバッファが生成できません"},
      {"pack entry format of 3.75 GB", pak, entry(4, "HUGE.WAV", 0xF0000000u), 17 + uint64_t{0xF0000004u},
       [&] {
         elSound::SetPackFile(pak.c_str());
         return elSound::LoadStream("huge.wav", 0);
       },
       "elSound::LoadStream : WAVEファイルを読み込めません"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = ProgDir() + c.file;
    SparseFile(path, c.head, c.size);
    hl::Boxes().clear();
    int code = WithLittleMemory(
        [&] {
          if (c.load() != -1) return 1;
          return BoxTexts() == std::vector<std::string>{c.box} ? 0 : 2;
        },
        128u << 20);
    EXPECT_EQ(code, 0) << "1: loaded, 2: other boxes, 3: out of memory, above 128: killed by a signal";
    std::remove(path.c_str());
  }
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

TEST_F(SoundPacks, APausedStreamResumesAndStillPlaysToItsEnd) {
  const std::vector<uint8_t> data = Pattern(kRate * 10);
  Pack({{"ten.wav", data}});
  int o = elSound::LoadStream("ten.wav", 0);
  ASSERT_GE(o, 0);
  elSound::Play(o, -1);
  std::vector<uint8_t> heard;
  auto listen = [&](int frames) {
    for (int f = 0; f < frames && Playing(SoundObject[o].buffer[0]); ++f) {
      std::vector<int16_t> out = Frame();
      for (size_t i = 0; i < out.size() / 2; ++i) heard.push_back(Heard(out, i));
    }
  };
  listen(60);
  elSound::Pause(o, -1);
  for (int f = 0; f < 30; ++f) EXPECT_EQ(Heard(Frame(), 0), 128) << "paused";
  elSound::Pause(o, -1);
  listen(60 * 12);
  // The whole of the data in order, past the four seconds the buffer holds, then the stop.
  EXPECT_FALSE(Playing(SoundObject[o].buffer[0]));
  ASSERT_GE(heard.size(), data.size());
  size_t mismatch = 0;
  while (mismatch < data.size() && heard[mismatch] == data[mismatch]) ++mismatch;
  EXPECT_EQ(mismatch, data.size()) << "first difference at sample " << mismatch;
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
