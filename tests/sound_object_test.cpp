// Sound objects: round robin, playback, the level family, the reloads, and the RIFF reader.
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
  // A file in the program directory, removed after the test; its name.
  std::string File(const std::string& name, const std::vector<uint8_t>& bytes) {
    files_.push_back(ProgDir() + name);
    WriteFile(files_.back(), bytes);
    return name;
  }
  int Load(const std::vector<uint8_t>& samples, int mix, const std::string& name = "sndtest_a.wav") {
    return elSound::LoadObject(File(name, Wave(samples)).c_str(), mix);
  }
  plat::AudioBuffer Buf(int o, int b) { return SoundObject[o].buffer[b]; }
  std::vector<std::string> files_;
};

TEST_F(SoundObjects, RoundRobinRestartsOnceAndLooping) {
  int o = Load(Ramp(5000, 1), 3);
  for (int i = 0; i < 3; ++i) elSound::Play(o, -1), hl::PullAudio(100);
  EXPECT_EQ(std::vector<uint32_t>({Cursor(Buf(o, 0)), Cursor(Buf(o, 1)), Cursor(Buf(o, 2))}),
            std::vector<uint32_t>({300, 200, 100}));
  elSound::Stop(o, 1);
  elSound::Stop(o, 2);
  elSound::Play(o, -1);  // the fourth play cuts buffer 0 off and starts it again
  std::vector<int16_t> out = hl::PullAudio(3);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(Heard(out, i), 1 + i);
  // Explicit buffers do not move the turn; once stops at the end, looping goes on; Stop -1 rewinds all.
  int p = Load(Ramp(100), 2, "sndtest_b.wav");
  elSound::Play(p, 0);
  elSound::PlayLoop(p, 1);
  hl::PullAudio(250);
  EXPECT_EQ(std::vector<uint32_t>({Status(Buf(p, 0)), Status(Buf(p, 1))}), std::vector<uint32_t>({0, 5}));
  elSound::Play(p, -1);
  EXPECT_TRUE(Playing(Buf(p, 0)));
  elSound::Stop(p, -1);
  for (int b = 0; b < 2; ++b) EXPECT_FALSE(Playing(Buf(p, b)) || Cursor(Buf(p, b)));
}

// Every operation of the level family with every kind of selector, against a model of its table:
// what each buffer of the object plays at after each call.
TEST_F(SoundObjects, TheLevelFamilyFollowsItsTableForEverySelector) {
  int o = Load(std::vector<uint8_t>(1000, 128), 3);
  const int64_t base = 11025;
  int64_t hz[3] = {base, base, base}, pan[3] = {}, vol[3] = {};
  int cursor = 0;
  auto clamp = [](int64_t v, int64_t lo, int64_t hi) { return v < lo ? lo : v > hi ? hi : v; };
  std::mt19937 rng(7);
  for (int step = 0; step < 3000; ++step) {
    const int sel = std::vector<int>{-3, -2, -1, 0, 1, 2, 3, 9, 10}[rng() % 9];
    const int64_t v = static_cast<int>(rng() % 2001) - 1000;  // whole units, past every limit both ways
    std::vector<int> picked = sel == -2 ? std::vector<int>{cursor} : sel < 0 ? std::vector<int>{0, 1, 2}
                              : sel < 3 ? std::vector<int>{sel} : std::vector<int>{};
    auto each = [&](auto call, auto model) { call(), [&] { for (int b : picked) model(b); }(); };
    switch (rng() % 13) {
      case 0: each([&] { elSound::ShiftFrequency(o, v, sel); }, [&](int b) { hz[b] = clamp(hz[b] + v * 100, 100, 100000); }); break;
      case 1: each([&] { elSound::ResetFrequency(o, sel); }, [&](int b) { hz[b] = base; }); break;
      case 2: each([&] { elSound::SetFrequency(o, v, sel); }, [&](int b) { hz[b] = clamp(base + v * 100, 100, 100000); }); break;
      case 3: each([&] { elSound::ShiftPan(o, v, sel); }, [&](int b) { pan[b] = clamp(pan[b] + v * 100, -10000, 10000); }); break;
      case 4: each([&] { elSound::ResetPan(o, sel); }, [&](int b) { pan[b] = 0; }); break;
      case 5: each([&] { elSound::SetPan(o, v, sel); }, [&](int b) { pan[b] = clamp(v * 100, -10000, 10000); }); break;
      case 6: each([&] { elSound::PanLeft(o, sel); }, [&](int b) { pan[b] = -10000; }); break;
      case 7: each([&] { elSound::PanRight(o, sel); }, [&](int b) { pan[b] = 10000; }); break;
      case 8: each([&] { elSound::ShiftVolume(o, v, sel); }, [&](int b) { vol[b] = clamp(vol[b] + v * 100, -10000, 0); }); break;
      case 9: each([&] { elSound::ResetVolume(o, sel); }, [&](int b) { vol[b] = 0; }); break;
      case 10: each([&] { elSound::SetVolume(o, v, sel); }, [&](int b) { vol[b] = clamp(v * 100, -10000, 0); }); break;
      case 11: elSound::Play(o, -1), cursor = (cursor + 1) % 3; break;
      case 12:  // starts an echo: every level reset
        elSound::Play(o, -2), cursor = (cursor + 1) % 3;
        for (int b = 0; b < 3; ++b) hz[b] = base, pan[b] = vol[b] = 0;
    }
    for (int b = 0; b < 3; ++b) {
      uint32_t h = 0;
      int32_t p = 0, vl = 0;
      plat::AudioGetFrequency(Buf(o, b), &h), plat::AudioGetPan(Buf(o, b), &p), plat::AudioGetVolume(Buf(o, b), &vl);
      ASSERT_EQ(std::vector<int64_t>({h, p, vl}), std::vector<int64_t>({hz[b], pan[b], vol[b]}))
          << "step " << step << " selector " << sel << " buffer " << b;
    }
  }
}

TEST_F(SoundObjects, PauseTogglesAndResumesWhereItStopped) {
  int o = Load(Ramp(5000), 2);
  elSound::Pause(o, 0);  // never paused: starts from 0
  hl::PullAudio(300);
  elSound::Pause(o, -1);  // buffer 0 stops, buffer 1 (not playing) starts
  EXPECT_EQ(std::vector<bool>({Playing(Buf(o, 0)), Playing(Buf(o, 1))}), std::vector<bool>({false, true}));
  elSound::Stop(o, 1);
  elSound::Play(o, 0);
  hl::PullAudio(100);
  elSound::Stop(o, 0);
  elSound::Pause(o, 0);
  EXPECT_EQ(Heard(hl::PullAudio(1), 0), static_cast<uint8_t>(300));
}

TEST_F(SoundObjects, ReleaseObjectFreesTheSlotAndItsBuffers) {
  int o = Load(Ramp(100), 4);
  elSound::SetVolume(o, -10, -1);
  plat::AudioBuffer b = Buf(o, 2);
  elSound::ReleaseObject(o);
  EXPECT_EQ(Status(b), 0u);
  EXPECT_EQ(plat::AudioReleaseBuffer(b), plat::kAudioErrInvalidParam);  // gone already
  EXPECT_EQ(Load(Ramp(100), 1), o);
  int32_t vol = 1;
  plat::AudioGetVolume(Buf(o, 0), &vol);
  EXPECT_EQ(vol, 0);
}

TEST_F(SoundObjects, OutOfRangeObjectsAndSelectorsDoNothing) {
  int o = Load(Ramp(100), 1);
  for (int32_t bad : {-1, 70, INT32_MIN, INT32_MAX}) {
    elSound::Play(bad, -1), elSound::PlayLoop(bad, 0), elSound::Stop(bad, -1), elSound::Pause(bad, -1);
    elSound::SetVolume(bad, -10, -1), elSound::ResetFrequency(bad, -1), elSound::SetFrequency(bad, 3, -1);
    elSound::ReleaseObject(bad);
    EXPECT_EQ(elSound::GetPosition(bad), 0u);
  }
  for (int32_t sel : {1, 5, 10, 99, INT32_MAX}) elSound::Play(o, sel), elSound::Pause(o, sel);
  EXPECT_FALSE(Playing(Buf(o, 0)));
  EXPECT_TRUE(BoxTexts().empty());
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
  EXPECT_EQ(elSound::SelectFormat(2, 44, 16) + elSound::Streaming() + elSound::ResetStream(0), 0);
  elSound::Restore();
  EXPECT_EQ(SoundObject[0].used, 0u);
  EXPECT_TRUE(BoxTexts().empty());
  hl::SetAudioDeviceAvailable(true);
}

TEST_F(SoundObjects, RestoreAndSelectFormatRebuildEveryObjectWithItsLevels) {
  int a = Load(Ramp(1000), 2, "sndtest_a.wav"), b = Load(Ramp(1000), -2, "sndtest_b.wav");
  elSound::SetVolume(a, -12, 1);
  elSound::SetPan(a, 7, 1);
  elSound::SetFrequency(a, 20, 1);
  elSound::Play(a, -1);
  const uint32_t opens = hl::AudioOpenCount();
  auto check = [&] {
    int32_t vol = 0, pan = 0;
    uint32_t hz = 0;
    plat::AudioGetVolume(Buf(a, 1), &vol), plat::AudioGetPan(Buf(a, 1), &pan), plat::AudioGetFrequency(Buf(a, 1), &hz);
    EXPECT_EQ(std::vector<int64_t>({vol, pan, hz}), std::vector<int64_t>({-1200, 700, 13025}));
    elSound::Play(a, -1);  // the turn was kept: buffer 1
    EXPECT_TRUE(Playing(Buf(a, 1)));
    elSound::Stop(a, -1);
    elSound::Play(a, -1);  // back to buffer 1 next time
    elSound::Stop(a, -1);
    elSound::Play(b, -2);  // made without echo, and stays so: the levels are not reset
    elSound::SetVolume(b, -100, -1);
    elSound::Play(b, -2);
    EXPECT_EQ(hl::PullAudio(2), std::vector<int16_t>(4, 0));
    elSound::ResetVolume(b, -1);
    elSound::Stop(b, -1);
  };
  elSound::Restore();
  EXPECT_EQ(hl::AudioOpenCount(), opens + 1);  // a new device
  check();
  EXPECT_EQ(elSound::SelectFormat(2, 44, 16), 1);
  plat::AudioFormat f{};
  plat::AudioGetPrimaryFormat(&f);
  EXPECT_EQ(f.avgBytesPerSec, 176400u);
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
  check();
  EXPECT_EQ(BoxTexts(), std::vector<std::string>(2, "elSound::SelectFormat : 再生フォーマットを変更できません"));
}

TEST_F(SoundObjects, PlaySyncLeavesTheTableRestoredAndTheSynthesizerSlotToMusic) {
  // Slot 0 as the music module sets it up: a circular buffer named "DirectMusic", with no WAVE behind it.
  std::vector<uint8_t> f = PcmFormat(22050, 16, 2);
  ASSERT_EQ(plat::AudioCreateBuffer(0xE0, 88200, f.data(), 16, &SoundObject[0].buffer[0]), plat::kAudioOk);
  SoundObject[0].used = 1;
  std::strcpy(SoundObject[0].name, "DirectMusic");
  const plat::AudioBuffer synth = Buf(0, 0);
  int o = Load(Ramp(1000), 1);
  EXPECT_EQ(elSound::SelectFormat(1, 11, 8), 1);  // the synthesizer's buffer plays on
  EXPECT_EQ(plat::AudioPlay(synth, 1), plat::kAudioOk);
  const std::string sys = ProgDir() + File("sndtest_sys.wav", Wave(Ramp(1100)));
  hl::ClearSleeps();
  elSound::PlaySync(sys.c_str());
  // Nothing pulls the headless device: the call waited out the sound's length and a second more.
  EXPECT_GE(hl::Sleeps().size(), 100u);
  elSound::PlaySync("sndtest_no_such_file.wav");
  EXPECT_EQ(Buf(0, 0), 0u);  // a new device: the music module makes its buffer again
  elSound::Play(o, -1);
  EXPECT_EQ(Heard(hl::PullAudio(2), 1), 1);
  EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(SoundObjects, TheRiffReaderTakesChunksInAnyOrderAndRefusesBrokenFiles) {
  auto pcm = PcmFormat(22050, 16, 2), adpcm = PcmFormat(8000, 4, 1), pcm18 = pcm;
  adpcm[0] = 0x11;
  adpcm.insert(adpcm.end(), {2, 0, 0xAB, 0xCD});
  auto shortExtra = adpcm;
  shortExtra[16] = 0xFF;  // promises more extra bytes than the chunk holds
  pcm18.insert(pcm18.end(), {0, 0});
  auto riffShort = Riff({{"fmt ", pcm}, {"data", Ramp(4)}}), notWave = riffShort;
  riffShort[4] = 28;  // hides the data chunk
  notWave[8] = 'A';
  auto cut = Riff({{"fmt ", pcm}, {"data", Ramp(40)}});
  cut.resize(cut.size() - 1);
  auto hugeList = Riff({{"LIST", Ramp(4)}, {"fmt ", pcm}, {"data", Ramp(4)}});
  std::memset(hugeList.data() + 16, 0xFF, 4);
  const std::vector<uint8_t> none;
  const std::vector<std::pair<std::vector<uint8_t>, std::pair<std::vector<uint8_t>, std::vector<uint8_t>>>> cases = {
      {Riff({{"LIST", {1, 2, 3}}, {"data", Ramp(8, 10)}, {"fmt ", pcm}}), {pcm18, Ramp(8, 10)}},
      {Riff({{"fmt ", adpcm}, {"data", Ramp(4)}}), {adpcm, Ramp(4)}},
      {{}, {}}, {Riff({{"data", Ramp(4)}}), {}}, {Riff({{"fmt ", pcm}}), {}},
      {Riff({{"fmt ", Ramp(14)}, {"data", Ramp(4)}}), {}}, {Riff({{"fmt ", shortExtra}, {"data", Ramp(4)}}), {}},
      {notWave, {}}, {cut, {}}, {hugeList, {}}, {riffShort, {}},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    const auto& [file, want] = cases[i];
    std::string path = ProgDir() + File("sndtest_r.wav", file);
    uint8_t *f = nullptr, *d = nullptr;
    uint32_t fn = 7, dn = 7;
    EXPECT_EQ(elSound::ReadWave(path.c_str(), &f, &fn, &d, &dn), want.first.empty() ? 1 : 0) << i;
    EXPECT_EQ(std::vector<uint8_t>(f, f + (f ? fn : 0)), want.first) << i;
    EXPECT_EQ(std::vector<uint8_t>(d, d + (d ? dn : 0)), want.second) << i;
    EXPECT_EQ(dn, want.second.size()) << i;
    std::free(f);
    std::free(d);
  }
}

TEST_F(SoundObjects, ResourcesAreUsedInPlaceUnlessAFileOfTheNameIsThere) {
  std::vector<uint8_t> img = Wave(Ramp(20, 5)), of, od;
  elSound::detail::WaveView v;
  ASSERT_TRUE(elSound::detail::ResourceWave(img.data(), img.size(), &v, &of, &od));
  EXPECT_EQ(std::vector<const uint8_t*>({v.format, v.data}), std::vector<const uint8_t*>({&img[20], &img[44]}));
  img[40] = 21;  // a length past the image's end is not believed
  EXPECT_FALSE(elSound::detail::ResourceWave(img.data(), img.size(), &v, &of, &od));
  img = Riff({{"LIST", {0, 0}}, {"fmt ", PcmFormat(11025, 8, 1)}, {"data", Ramp(6, 100)}});  // parsed
  ASSERT_TRUE(elSound::detail::ResourceWave(img.data(), img.size(), &v, &of, &od));
  EXPECT_EQ(std::vector<uint8_t>(v.data, v.data + v.dataSize), Ramp(6, 100));
  for (unsigned i = 0; i < plat::kResourceCount; ++i) {
    const plat::ResourceEntry& e = plat::kResourceTable[i];
    if (std::strcmp(e.type, "WAVE") != 0) continue;
    ASSERT_GE(elSound::LoadObject(e.name, 1), 0) << e.name;
    int f = Load(Ramp(77), 1, e.name);
    uint32_t size = 0;
    plat::AudioGetSize(Buf(f, 0), &size);
    EXPECT_EQ(size, 77u);
    return;
  }
  ADD_FAILURE() << "no WAVE resource in this build";
}

}  // namespace
