// Sound objects: the table, loading, round robin, playback, the level family and the reloads, heard
// through the headless device; and the RIFF reader.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "el/sound/sound_internal.h"
#include "platform/resources.h"
#include "tests/support/sound_support.h"

namespace hl = plat::headless;
using namespace soundtest;

namespace {

class SoundObjects : public ::testing::Test {
 protected:
  void SetUp() override { Fresh(); }
  void TearDown() override {
    elSound::Release();
    for (const std::string& f : files_) std::remove(f.c_str());
  }
  // A file in the program directory, removed after the test.
  std::string File(const std::string& name, const std::vector<uint8_t>& bytes) {
    WriteFile(ProgDir() + name, bytes);
    files_.push_back(ProgDir() + name);
    return name;
  }
  int Load(const std::vector<uint8_t>& samples, int mix, const std::string& name = "sndtest_a.wav") {
    return elSound::LoadObject(File(name, Wave(samples)).c_str(), mix);
  }
  std::vector<std::string> files_;
};

TEST_F(SoundObjects, RoundRobinRestartsAndOnceOrLooping) {
  int o = Load(Ramp(5000, 1), 3);
  ASSERT_EQ(o, 0);
  const SoundSlot& s = SoundObject[o];
  for (int i = 0; i < 3; ++i) {
    elSound::Play(o, -1);
    hl::PullAudio(100);
  }
  EXPECT_EQ(Cursor(s.buffer[0]), 300u);
  EXPECT_EQ(Cursor(s.buffer[1]), 200u);
  EXPECT_EQ(Cursor(s.buffer[2]), 100u);
  elSound::Stop(o, 1);
  elSound::Stop(o, 2);
  elSound::Play(o, -1);  // the fourth play cuts buffer 0 off and starts it again
  std::vector<int16_t> out = hl::PullAudio(3);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(Heard(out, i), 1 + i);
  EXPECT_EQ(Cursor(s.buffer[1]), 0u);
  // Explicit buffers do not move the turn; once stops at the end, looping goes on; Stop -1 rewinds all.
  int p = Load(Ramp(100), 2, "sndtest_b.wav");
  elSound::Play(p, 0);
  elSound::PlayLoop(p, 1);
  hl::PullAudio(250);
  EXPECT_FALSE(Playing(SoundObject[p].buffer[0]));
  EXPECT_TRUE(Playing(SoundObject[p].buffer[1]));
  elSound::Play(p, -1);
  EXPECT_TRUE(Playing(SoundObject[p].buffer[0]));
  elSound::Stop(p, -1);
  for (int b = 0; b < 2; ++b) EXPECT_FALSE(Playing(SoundObject[p].buffer[b]) || Cursor(SoundObject[p].buffer[b]));
  EXPECT_TRUE(hl::Boxes().empty());
}

// Every operation of the level family with every kind of selector, against a model of its table:
// what each buffer of the object plays at after each call.
TEST_F(SoundObjects, TheLevelFamilyFollowsItsTableForEverySelector) {
  int o = Load(std::vector<uint8_t>(1000, 128), 3);
  ASSERT_GE(o, 0);
  const int64_t base = 11025;
  int64_t hz[3] = {base, base, base}, pan[3] = {}, vol[3] = {};
  int cursor = 0;
  auto clamp = [](int64_t v, int64_t lo, int64_t hi) { return v < lo ? lo : v > hi ? hi : v; };
  const int selectors[] = {-3, -2, -1, 0, 1, 2, 3, 9, 10};
  std::mt19937 rng(7);
  for (int step = 0; step < 3000; ++step) {
    const int op = static_cast<int>(rng() % 13), sel = selectors[rng() % 9];
    const int v = static_cast<int>(rng() % 2001) - 1000;  // whole units, past every limit both ways
    std::vector<int> picked = {0, 1, 2};
    if (sel >= 0) picked = sel < 3 ? std::vector<int>{sel} : std::vector<int>{};
    if (sel == -2) picked = {cursor};
    switch (op) {
      case 0: elSound::ShiftFrequency(o, v, sel); break;
      case 1: elSound::ResetFrequency(o, sel); break;
      case 2: elSound::SetFrequency(o, v, sel); break;
      case 3: elSound::ShiftPan(o, v, sel); break;
      case 4: elSound::ResetPan(o, sel); break;
      case 5: elSound::SetPan(o, v, sel); break;
      case 6: elSound::PanLeft(o, sel); break;
      case 7: elSound::PanRight(o, sel); break;
      case 8: elSound::ShiftVolume(o, v, sel); break;
      case 9: elSound::ResetVolume(o, sel); break;
      case 10: elSound::SetVolume(o, v, sel); break;
      case 11: elSound::Play(o, -1), picked = {}; break;
      case 12: elSound::Play(o, -2), picked = {0, 1, 2}; break;  // starts an echo: every level reset
    }
    for (int b : picked) {
      switch (op) {
        case 0: hz[b] = clamp(hz[b] + v * 100, 100, 100000); break;
        case 1: hz[b] = base; break;
        case 2: hz[b] = clamp(base + v * 100, 100, 100000); break;
        case 3: pan[b] = clamp(pan[b] + v * 100, -10000, 10000); break;
        case 4: pan[b] = 0; break;
        case 5: pan[b] = clamp(v * 100, -10000, 10000); break;
        case 6: pan[b] = -10000; break;
        case 7: pan[b] = 10000; break;
        case 8: vol[b] = clamp(vol[b] + v * 100, -10000, 0); break;
        case 9: vol[b] = 0; break;
        case 10: vol[b] = clamp(v * 100, -10000, 0); break;
        case 12: hz[b] = base, pan[b] = vol[b] = 0; break;
      }
    }
    if (op >= 11) cursor = (cursor + 1) % 3;
    for (int b = 0; b < 3; ++b) {
      plat::AudioBuffer buf = SoundObject[o].buffer[b];
      uint32_t h = 0;
      int32_t p = 0, vl = 0;
      plat::AudioGetFrequency(buf, &h);
      plat::AudioGetPan(buf, &p);
      plat::AudioGetVolume(buf, &vl);
      ASSERT_EQ(h, hz[b]) << "step " << step << " op " << op << " sel " << sel << " buffer " << b;
      ASSERT_EQ(p, pan[b]) << "step " << step << " op " << op << " sel " << sel << " buffer " << b;
      ASSERT_EQ(vl, vol[b]) << "step " << step << " op " << op << " sel " << sel << " buffer " << b;
    }
  }
}

TEST_F(SoundObjects, LevelsAreHeard) {
  Fresh(44100);
  int o = Load(std::vector<uint8_t>(20000, 192), 2);  // +64: 16384 at full volume
  elSound::SetVolume(o, -100, 0);
  elSound::Play(o, 0);
  for (int16_t v : hl::PullAudio(2000)) ASSERT_EQ(v, 0);
  elSound::Stop(o, -1);
  elSound::ResetVolume(o, -1);
  elSound::SetVolume(o, -6, 1);
  elSound::PanRight(o, 1);
  elSound::SetFrequency(o, 110, 1);  // 11025 + 11000 Hz, the nearest step to twice
  elSound::Play(o, 0);
  elSound::Play(o, 1);
  std::vector<int16_t> out = hl::PullAudio(4410);  // 0.1 s
  EXPECT_EQ(out[0], 16384);
  EXPECT_NEAR(out[1], 16384 + 16384 * 0.501, 20);
  EXPECT_EQ(Cursor(SoundObject[o].buffer[0]), 1102u);
  EXPECT_EQ(Cursor(SoundObject[o].buffer[1]), 2202u);
}

TEST_F(SoundObjects, PauseTogglesAndResumesWhereItStopped) {
  int o = Load(Ramp(5000), 2);
  plat::AudioBuffer b = SoundObject[o].buffer[0];
  elSound::Pause(o, 0);  // never paused: starts from 0
  EXPECT_TRUE(Playing(b));
  hl::PullAudio(300);
  elSound::Pause(o, -1);
  EXPECT_FALSE(Playing(b));
  EXPECT_TRUE(Playing(SoundObject[o].buffer[1]));  // the other was not playing: it starts
  elSound::Stop(o, 1);
  elSound::Play(o, 0);
  hl::PullAudio(100);
  elSound::Stop(o, 0);
  elSound::Pause(o, 0);
  EXPECT_TRUE(Playing(b));
  EXPECT_EQ(Heard(hl::PullAudio(1), 0), static_cast<uint8_t>(300));
}

TEST_F(SoundObjects, ReleaseObjectFreesTheSlotAndItsBuffers) {
  int o = Load(Ramp(100), 4);
  elSound::SetVolume(o, -10, -1);
  plat::AudioBuffer b = SoundObject[o].buffer[2];
  elSound::ReleaseObject(o);
  uint32_t st;
  EXPECT_EQ(plat::AudioGetStatus(b, &st), plat::kAudioErrInvalidParam);
  for (int i = 0; i < kSoundBuffers; ++i) EXPECT_EQ(SoundObject[o].buffer[i], 0u);
  elSound::Play(o, -1);  // a free slot plays nothing
  EXPECT_EQ(Load(Ramp(100), 1), o);
  int32_t vol = 1;
  plat::AudioGetVolume(SoundObject[o].buffer[0], &vol);
  EXPECT_EQ(vol, 0);
  EXPECT_EQ(SoundObject[o].echo, -1);
}

TEST_F(SoundObjects, OutOfRangeObjectsAndSelectorsDoNothing) {
  int o = Load(Ramp(100), 1);
  for (int32_t bad : {-1, 70, 1000, INT32_MIN, INT32_MAX}) {
    elSound::Play(bad, -1);
    elSound::PlayLoop(bad, 0);
    elSound::Stop(bad, -1);
    elSound::Pause(bad, -1);
    elSound::SetVolume(bad, -10, -1);
    elSound::ResetFrequency(bad, -1);
    elSound::SetFrequency(bad, 3, -1);
    elSound::ReleaseObject(bad);
    EXPECT_EQ(elSound::GetPosition(bad), 0u);
  }
  for (int32_t sel : {1, 5, 10, 99, INT32_MAX}) {
    elSound::Play(o, sel);
    elSound::Pause(o, sel);
  }
  EXPECT_FALSE(Playing(SoundObject[o].buffer[0]));
  EXPECT_EQ(hl::Boxes().size(), 0u);
}

TEST_F(SoundObjects, WithoutADeviceEverythingIsQuiet) {
  elSound::Release();
  hl::SetAudioDeviceAvailable(false);
  EXPECT_EQ(elSound::Init(), 0);
  elSound::ClearObjects();
  File("sndtest_a.wav", Wave(Ramp(100)));
  EXPECT_EQ(elSound::LoadObject("sndtest_a.wav", 1), -1);
  EXPECT_EQ(elSound::LoadObject("sndtest_a.wav", 20), -1);
  EXPECT_EQ(elSound::LoadPack("x", 1), -1);
  EXPECT_EQ(elSound::LoadStream("x", 0), -1);
  elSound::Play(0, -1);
  elSound::SetVolume(0, -10, -1);
  EXPECT_EQ(elSound::SelectFormat(2, 44, 16), 0);
  EXPECT_EQ(elSound::Streaming(), 0);
  EXPECT_EQ(elSound::ResetStream(0), 0);
  elSound::Restore();
  EXPECT_EQ(SoundObject[0].used, 0u);
  EXPECT_EQ(hl::Boxes().size(), 0u);
  hl::SetAudioDeviceAvailable(true);
}

TEST_F(SoundObjects, RestoreAndSelectFormatRebuildEveryObjectWithItsLevels) {
  int a = Load(Ramp(1000), 2, "sndtest_a.wav");
  int b = Load(Ramp(1000), -2, "sndtest_b.wav");
  elSound::SetVolume(a, -12, 1);
  elSound::SetPan(a, 7, 1);
  elSound::SetFrequency(a, 20, 1);
  elSound::Play(a, -1);
  const uint32_t opens = hl::AudioOpenCount();
  elSound::Restore();
  EXPECT_EQ(hl::AudioOpenCount(), opens + 1);  // a new device
  EXPECT_TRUE(plat::AudioDeviceReady());
  auto check = [&] {
    int32_t vol = 0, pan = 0;
    uint32_t hz = 0;
    plat::AudioGetVolume(SoundObject[a].buffer[1], &vol);
    plat::AudioGetPan(SoundObject[a].buffer[1], &pan);
    plat::AudioGetFrequency(SoundObject[a].buffer[1], &hz);
    EXPECT_EQ(vol, -1200);
    EXPECT_EQ(pan, 700);
    EXPECT_EQ(hz, 13025u);
    elSound::Play(a, -1);  // the turn was kept: buffer 1, then buffer 0
    EXPECT_TRUE(Playing(SoundObject[a].buffer[1]));
    elSound::Stop(a, -1);
    elSound::Play(b, -2);  // made without echo, and stays so: plays buffer 0, echoes nothing
    EXPECT_EQ(Heard(hl::PullAudio(2), 1), 1);
    elSound::Stop(b, -1);
  };
  check();
  EXPECT_EQ(elSound::SelectFormat(2, 44, 16), 1);
  plat::AudioFormat f{};
  plat::AudioGetPrimaryFormat(&f);
  EXPECT_EQ(f.avgBytesPerSec, 176400u);
  elSound::Play(a, -1);  // back to buffer 1 in turn
  check();
  for (int rate : {8, 11, 22}) {
    EXPECT_EQ(elSound::SelectFormat(1, rate, 8), 1);
    plat::AudioGetPrimaryFormat(&f);
    EXPECT_EQ(f.samplesPerSec, rate == 8 ? 8000u : rate == 11 ? 11025u : 22050u);
  }
  EXPECT_EQ(elSound::SelectFormat(3, 44, 16), 0);  // refused: the old format holds, objects play on
  EXPECT_EQ(elSound::SelectFormat(-1, -5, 99999), 0);
  plat::AudioGetPrimaryFormat(&f);
  EXPECT_EQ(f.samplesPerSec, 22050u);
  elSound::Play(a, -1);
  check();
  EXPECT_EQ(BoxTexts(), std::vector<std::string>(2, "elSound::SelectFormat : 再生フォーマットを変更できません"));
}

TEST_F(SoundObjects, PlaySyncLeavesTheTableRestored) {
  int o = Load(Ramp(1000), 1);
  std::string sys = ProgDir() + File("sndtest_sys.wav", Wave(Ramp(1100)));
  hl::ClearSleeps();
  elSound::PlaySync(sys.c_str());
  // Nothing pulls the headless device: the call waited out the sound's length and a second more.
  EXPECT_GE(hl::Sleeps().size(), 100u);
  elSound::PlaySync("sndtest_no_such_file.wav");
  EXPECT_TRUE(hl::AudioDeviceIsOpen());
  elSound::Play(o, -1);
  EXPECT_EQ(Heard(hl::PullAudio(2), 1), 1);
  EXPECT_EQ(hl::Boxes().size(), 0u);
}

TEST_F(SoundObjects, TheSynthesizerSlotIsLeftToTheMusicModuleOnReload) {
  // As the music module sets it up: a circular buffer in slot 0, named "DirectMusic".
  std::vector<uint8_t> f = PcmFormat(22050, 16, 2);
  ASSERT_EQ(plat::AudioCreateBuffer(0xE0, 88200, f.data(), 16, &SoundObject[0].buffer[0]), plat::kAudioOk);
  SoundObject[0].used = 1;
  std::strcpy(SoundObject[0].name, "DirectMusic");
  const plat::AudioBuffer synth = SoundObject[0].buffer[0];
  EXPECT_EQ(Load(Ramp(100), 1), 1);
  EXPECT_EQ(elSound::SelectFormat(1, 11, 8), 1);  // the synthesizer's buffer plays on
  EXPECT_EQ(plat::AudioPlay(synth, 1), plat::kAudioOk);
  elSound::Restore();  // a new device: the music module makes its buffer again
  EXPECT_EQ(hl::Boxes().size(), 0u);
  EXPECT_EQ(SoundObject[0].buffer[0], 0u);
  EXPECT_NE(SoundObject[1].buffer[0], 0u);
}

TEST_F(SoundObjects, TheRiffReaderTakesChunksInAnyOrderAndRefusesBrokenFiles) {
  auto pcm = PcmFormat(22050, 16, 2);
  auto adpcm = PcmFormat(8000, 4, 1);
  adpcm[0] = 0x11;
  Put16(adpcm, 2);
  adpcm.push_back(0xAB);
  adpcm.push_back(0xCD);
  auto shortExtra = adpcm;
  shortExtra[16] = 0xFF;  // promises more extra bytes than the chunk holds
  auto riffShort = Riff({{"fmt ", pcm}, {"data", Ramp(4)}});
  riffShort[4] = 28;  // hides the data chunk
  auto notWave = Riff({{"fmt ", pcm}, {"data", Ramp(4)}});
  notWave[8] = 'A';
  auto cut = Riff({{"fmt ", pcm}, {"data", Ramp(40)}});
  cut.resize(cut.size() - 1);
  auto hugeList = Riff({{"LIST", Ramp(4)}, {"fmt ", pcm}, {"data", Ramp(4)}});
  std::memset(hugeList.data() + 16, 0xFF, 4);
  auto pcmBytes = pcm;
  pcmBytes.insert(pcmBytes.end(), {0, 0});
  struct Case {
    const char* what;
    std::vector<uint8_t> file, format, data;
    int result;
  } cases[] = {
      {"data before fmt, odd chunk padded", Riff({{"LIST", {1, 2, 3}}, {"data", Ramp(8, 10)}, {"fmt ", pcm}}),
       pcmBytes, Ramp(8, 10), 0},
      {"non-PCM carries its extra bytes", Riff({{"fmt ", adpcm}, {"data", Ramp(4)}}), adpcm, Ramp(4), 0},
      {"empty", {}, {}, {}, 1},
      {"no format", Riff({{"data", Ramp(4)}}), {}, {}, 1},
      {"no data", Riff({{"fmt ", pcm}}), {}, {}, 1},
      {"format too short", Riff({{"fmt ", Ramp(14)}, {"data", Ramp(4)}}), {}, {}, 1},
      {"extra bytes missing", Riff({{"fmt ", shortExtra}, {"data", Ramp(4)}}), {}, {}, 1},
      {"not WAVE", notWave, {}, {}, 1},
      {"last sample missing", cut, {}, {}, 1},
      {"chunk claims 4 GB", hugeList, {}, {}, 1},
      {"RIFF size hides the data", riffShort, {}, {}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string path = ProgDir() + File("sndtest_r.wav", c.file);
    uint8_t *f = nullptr, *d = nullptr;
    uint32_t fn = 7, dn = 7;
    ASSERT_EQ(elSound::ReadWave(path.c_str(), &f, &fn, &d, &dn), c.result);
    EXPECT_EQ(std::vector<uint8_t>(f, f + (f ? fn : 0)), c.format);
    EXPECT_EQ(std::vector<uint8_t>(d, d + (d ? dn : 0)), c.data);
    EXPECT_EQ(dn, c.data.size());
    std::free(f);
    std::free(d);
  }
  EXPECT_EQ(elSound::ReadWave(nullptr, nullptr, nullptr, nullptr, nullptr), 1);
}

TEST(WaveResource, CanonicalImagesAreUsedInPlaceOthersParsed) {
  std::vector<uint8_t> img = Wave(Ramp(20, 5));
  elSound::detail::WaveView v;
  std::vector<uint8_t> of, od;
  ASSERT_TRUE(elSound::detail::ResourceWave(img.data(), img.size(), &v, &of, &od));
  EXPECT_EQ(v.format, img.data() + 20);
  EXPECT_EQ(v.data, img.data() + 44);
  EXPECT_EQ(v.dataSize, 20u);
  img[40] = 21;  // a length past the image's end is not believed
  EXPECT_FALSE(elSound::detail::ResourceWave(img.data(), img.size(), &v, &of, &od));
  std::vector<uint8_t> other = Riff({{"LIST", {0, 0}}, {"fmt ", PcmFormat(11025, 8, 1)}, {"data", Ramp(6, 100)}});
  ASSERT_TRUE(elSound::detail::ResourceWave(other.data(), other.size(), &v, &of, &od));
  EXPECT_EQ(std::vector<uint8_t>(v.data, v.data + v.dataSize), Ramp(6, 100));
  EXPECT_EQ(v.formatSize, 18u);
}

TEST(WaveResource, AFileOfTheNameComesBeforeTheResource) {
  Fresh();
  for (unsigned i = 0; i < plat::kResourceCount; ++i) {
    const plat::ResourceEntry& e = plat::kResourceTable[i];
    if (std::strcmp(e.type, "WAVE") != 0) continue;
    ASSERT_GE(elSound::LoadObject(e.name, 1), 0) << e.name;
    std::string path = ProgDir() + e.name;
    WriteFile(path, Wave(Ramp(77)));
    int f = elSound::LoadObject(e.name, 1);
    std::remove(path.c_str());
    ASSERT_GE(f, 0);
    uint32_t size = 0;
    plat::AudioGetSize(SoundObject[f].buffer[0], &size);
    EXPECT_EQ(size, 77u);
    return;
  }
  GTEST_SKIP() << "no WAVE resource in this build";
}

}  // namespace
