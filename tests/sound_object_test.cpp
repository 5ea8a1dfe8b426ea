// Sound objects: the table, loading, round robin, playback and the level family, heard through the
// headless device.
#include <gtest/gtest.h>

#include <cstring>
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
  // A WAVE file in the program directory, removed after the test.
  std::string File(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::string path = ProgDir() + name;
    WriteFile(path, bytes);
    files_.push_back(path);
    return name;
  }
  int Load(const std::vector<uint8_t>& samples, int mix, const std::string& name = "sndtest_a.wav") {
    return elSound::LoadObject(File(name, Wave(samples)).c_str(), mix);
  }
  std::vector<std::string> files_;
};

TEST_F(SoundObjects, MixThreeTakesBuffersZeroOneTwoZero) {
  int o = Load(std::vector<uint8_t>(5000, 128), 3);
  ASSERT_EQ(o, 0);
  const SoundSlot& s = SoundObject[o];
  ASSERT_EQ(s.mixCount, 3);
  for (int b = 0; b < 3; ++b) ASSERT_NE(s.buffer[b], 0u);
  EXPECT_EQ(s.buffer[3], 0u);
  elSound::Play(o, -1);
  hl::PullAudio(100);
  elSound::Play(o, -1);
  hl::PullAudio(100);
  elSound::Play(o, -1);
  hl::PullAudio(100);
  EXPECT_EQ(Cursor(s.buffer[0]), 300u);
  EXPECT_EQ(Cursor(s.buffer[1]), 200u);
  EXPECT_EQ(Cursor(s.buffer[2]), 100u);
  elSound::Play(o, -1);  // the fourth play restarts buffer 0
  EXPECT_EQ(Cursor(s.buffer[0]), 0u);
  EXPECT_TRUE(Playing(s.buffer[0]));
  EXPECT_EQ(Cursor(s.buffer[1]), 200u);
  EXPECT_EQ(s.cursor, 1);
}

TEST_F(SoundObjects, ARestartCutsTheOldSoundOff) {
  int o = Load(Ramp(3000, 1), 1);
  elSound::Play(o, -1);
  std::vector<int16_t> first = hl::PullAudio(1000);
  EXPECT_EQ(first[2 * 999], (static_cast<uint8_t>(1 + 999) - 128) * 256);
  elSound::Play(o, -1);  // same buffer, from the start: only one voice sounds
  std::vector<int16_t> again = hl::PullAudio(3);
  EXPECT_EQ(again[0], (1 - 128) * 256);
  EXPECT_EQ(again[2], (2 - 128) * 256);
  EXPECT_EQ(again[4], (3 - 128) * 256);
}

TEST_F(SoundObjects, PlayOnceEndsAndPlayLoopGoesOn) {
  int o = Load(std::vector<uint8_t>(100, 200), 2);
  elSound::Play(o, 0);
  elSound::PlayLoop(o, 1);
  hl::PullAudio(250);
  EXPECT_FALSE(Playing(SoundObject[o].buffer[0]));
  EXPECT_TRUE(Playing(SoundObject[o].buffer[1]));
  EXPECT_EQ(SoundObject[o].looping, 1u);
  EXPECT_EQ(SoundObject[o].cursor, 0);  // explicit buffers do not move the turn
  elSound::Stop(o, -1);
  EXPECT_FALSE(Playing(SoundObject[o].buffer[1]));
  EXPECT_EQ(Cursor(SoundObject[o].buffer[1]), 0u);
}

TEST_F(SoundObjects, MixLimitsAndSigns) {
  EXPECT_EQ(Load(Ramp(100), 10), 0);
  EXPECT_EQ(SoundObject[0].mixCount, 10);
  EXPECT_EQ(SoundObject[0].echo, 0);
  EXPECT_EQ(hl::Boxes().size(), 0u);
  EXPECT_EQ(Load(Ramp(100), 11), -1);
  EXPECT_EQ(Load(Ramp(100), -11), -1);
  ASSERT_EQ(hl::Boxes().size(), 2u);
  EXPECT_EQ(hl::Boxes()[0].text, "elSound::LoadObject : ミックス数が多過ぎます");
  EXPECT_EQ(hl::Boxes()[0].caption, "エラー発生");
  EXPECT_EQ(SoundObject[1].used, 0u);
  int o = Load(Ramp(100), -3);
  EXPECT_EQ(SoundObject[o].mixCount, 3);
  EXPECT_EQ(SoundObject[o].echo, -1);
  int z = Load(Ramp(100), 0);  // counts as one buffer
  EXPECT_EQ(SoundObject[z].mixCount, 1);
  EXPECT_NE(SoundObject[z].buffer[0], 0u);
  EXPECT_EQ(SoundObject[z].echo, -1);
}

TEST_F(SoundObjects, TheSeventyFirstLoadIsRefused) {
  File("sndtest_a.wav", Wave(Ramp(16)));
  for (int i = 0; i < 70; ++i) ASSERT_EQ(elSound::LoadObject("sndtest_a.wav", 1), i);
  EXPECT_EQ(elSound::LoadObject("sndtest_a.wav", 1), -1);
  ASSERT_EQ(hl::Boxes().size(), 1u);
  EXPECT_EQ(hl::Boxes()[0].text, "elSound::LoadObject : オブジェクト数が多過ぎます");
  EXPECT_EQ(ErrorFlag, 1);
  for (int i = 0; i < 70; ++i) EXPECT_STREQ(SoundObject[i].name, "sndtest_a.wav");
}

TEST_F(SoundObjects, NamesUpToThirtyCharactersAreKept) {
  std::string n30 = "sndtest_" + std::string(18, 'x') + ".wav";
  std::string n31 = "sndtest_" + std::string(19, 'x') + ".wav";
  ASSERT_EQ(n30.size(), 30u);
  File(n30, Wave(Ramp(16)));
  File(n31, Wave(Ramp(16)));
  EXPECT_EQ(elSound::LoadObject(n30.c_str(), 1), 0);
  EXPECT_EQ(SoundObject[0].name, n30);
  EXPECT_EQ(elSound::LoadObject(n31.c_str(), 1), -1);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"elSound::LoadObject : ファイル名またはリソース名が長すぎます"});
  EXPECT_EQ(SoundObject[1].used, 1u);  // made, but unnamed
  EXPECT_STREQ(SoundObject[1].name, "");
  EXPECT_EQ(elSound::LoadObject(n30.c_str(), 1), 2);
}

TEST_F(SoundObjects, MissingAndUnreadableSamplesAreReported) {
  EXPECT_EQ(elSound::LoadObject("sndtest_none.wav", 1), -1);
  std::vector<uint8_t> cut = Wave(Ramp(100));
  cut.resize(cut.size() - 10);
  EXPECT_EQ(elSound::LoadObject(File("sndtest_cut.wav", cut).c_str(), 1), -1);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"elSound::LoadObject : WAVEリソースが見つかりません",
                                                  "elSound::LoadObject : WAVEリソースが見つかりません"}));
  // Readable but not playable: three sample bytes, or a compressed format.
  EXPECT_EQ(elSound::LoadObject(File("sndtest_tiny.wav", Wave(Ramp(3))).c_str(), 1), -1);
  std::vector<uint8_t> adpcmFormat = PcmFormat(11025, 8, 1);
  adpcmFormat[0] = 2;
  Put16(adpcmFormat, 0);
  std::vector<uint8_t> adpcm = Riff({{"fmt ", adpcmFormat}, {"data", Ramp(100)}});
  EXPECT_EQ(elSound::LoadObject(File("sndtest_adpcm.wav", adpcm).c_str(), 3), -1);
  ASSERT_EQ(hl::Boxes().size(), 4u);
  EXPECT_EQ(hl::Boxes()[3].text, "elSound::LoadObject : サウンドバッファが生成できません");
  EXPECT_EQ(SoundObject[0].used, 0u);
  for (int b = 0; b < kSoundBuffers; ++b) EXPECT_EQ(SoundObject[0].buffer[b], 0u);
}

TEST_F(SoundObjects, TwoLoadsOfOneNameAreIndependent) {
  File("sndtest_a.wav", Wave(Ramp(500)));
  int a = elSound::LoadObject("sndtest_a.wav", 1);
  int b = elSound::LoadObject("sndtest_a.wav", 1);
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 1);
  EXPECT_NE(SoundObject[a].buffer[0], SoundObject[b].buffer[0]);
  elSound::Play(a, -1);
  hl::PullAudio(50);
  EXPECT_EQ(Cursor(SoundObject[a].buffer[0]), 50u);
  EXPECT_FALSE(Playing(SoundObject[b].buffer[0]));
}

TEST_F(SoundObjects, LevelClampsAndUnits) {
  int o = Load(std::vector<uint8_t>(1000, 128), 2);
  const SoundSlot& s = SoundObject[o];
  EXPECT_EQ(s.baseFrequency, 11025u);
  elSound::ShiftVolume(o, 5, -1);
  EXPECT_EQ(s.volume[0], 0);
  elSound::ShiftVolume(o, -30, -1);
  EXPECT_EQ(s.volume[1], -3000);
  elSound::ShiftVolume(o, -200, -1);
  EXPECT_EQ(s.volume[0], -10000);
  elSound::SetPan(o, 150, -1);
  EXPECT_EQ(s.pan[0], 10000);
  elSound::ShiftPan(o, -250, -1);
  EXPECT_EQ(s.pan[1], -10000);
  elSound::ShiftFrequency(o, -200, -1);  // 11025 - 20000 < 0
  EXPECT_EQ(s.frequency[0], 100u);
  elSound::SetFrequency(o, 1000, -1);  // 11025 + 100000
  EXPECT_EQ(s.frequency[1], 100000u);
  elSound::SetFrequency(o, -110, -1);  // 25 Hz
  EXPECT_EQ(s.frequency[0], 100u);
  // What is stored is what the buffer has.
  uint32_t hz = 0;
  int32_t vol = 1, pan = 0;
  plat::AudioGetFrequency(s.buffer[1], &hz);
  plat::AudioGetVolume(s.buffer[1], &vol);
  plat::AudioGetPan(s.buffer[1], &pan);
  EXPECT_EQ(hz, 100u);
  EXPECT_EQ(vol, -10000);
  EXPECT_EQ(pan, -10000);
  elSound::ResetFrequency(o, -1);
  elSound::ResetVolume(o, -1);
  elSound::PanLeft(o, 0);
  elSound::PanRight(o, 1);
  EXPECT_EQ(s.frequency[0], 11025u);
  EXPECT_EQ(s.volume[1], 0);
  EXPECT_EQ(s.pan[0], -10000);
  EXPECT_EQ(s.pan[1], 10000);
  elSound::ResetPan(o, 1);
  EXPECT_EQ(s.pan[0], -10000);
  EXPECT_EQ(s.pan[1], 0);
}

TEST_F(SoundObjects, SelectorMinusTwoChangesOnlyTheNextBufferInTurn) {
  int o = Load(std::vector<uint8_t>(1000, 128), 3);
  elSound::Play(o, -1);  // the turn moves to buffer 1
  elSound::SetVolume(o, -20, -2);
  EXPECT_EQ(SoundObject[o].volume[0], 0);
  EXPECT_EQ(SoundObject[o].volume[1], -2000);
  EXPECT_EQ(SoundObject[o].volume[2], 0);
  elSound::SetVolume(o, -5, 7);  // a buffer the object does not have: nothing
  EXPECT_EQ(SoundObject[o].volume[7], 0);
  elSound::SetVolume(o, -5, -7);  // any other negative: every buffer
  for (int b = 0; b < 3; ++b) EXPECT_EQ(SoundObject[o].volume[b], -500);
}

TEST_F(SoundObjects, MinusTenThousandIsSilenceAndTwiceTheFrequencyTwiceTheSpeed) {
  Fresh(44100);
  int o = Load(std::vector<uint8_t>(20000, 255), 2);
  elSound::SetVolume(o, -100, 0);
  elSound::Play(o, 0);
  for (int16_t v : hl::PullAudio(2000)) ASSERT_EQ(v, 0);
  elSound::Stop(o, -1);
  elSound::ResetVolume(o, -1);
  elSound::SetFrequency(o, 110, 1);  // 11025 + 11000 Hz, the nearest step to twice
  elSound::Play(o, 0);
  elSound::Play(o, 1);
  hl::PullAudio(4410);  // 0.1 s
  EXPECT_EQ(Cursor(SoundObject[o].buffer[0]), 1102u);
  EXPECT_EQ(Cursor(SoundObject[o].buffer[1]), 2202u);
}

TEST_F(SoundObjects, PauseTogglesAndResumesWhereItStopped) {
  int o = Load(std::vector<uint8_t>(5000, 128), 1);
  plat::AudioBuffer b = SoundObject[o].buffer[0];
  elSound::Pause(o, -1);  // never paused: starts from 0
  EXPECT_TRUE(Playing(b));
  hl::PullAudio(300);
  elSound::Pause(o, -1);
  EXPECT_FALSE(Playing(b));
  EXPECT_EQ(SoundObject[o].pausePos[0], 300u);
  elSound::Play(o, -1);
  hl::PullAudio(100);
  elSound::Stop(o, 0);
  elSound::Pause(o, 0);
  EXPECT_TRUE(Playing(b));
  EXPECT_EQ(Cursor(b), 300u);
}

TEST_F(SoundObjects, ReleaseObjectFreesTheSlot) {
  int o = Load(std::vector<uint8_t>(100, 128), 4);
  elSound::SetVolume(o, -10, -1);
  plat::AudioBuffer b = SoundObject[o].buffer[2];
  elSound::ReleaseObject(o);
  const SoundSlot& s = SoundObject[o];
  EXPECT_EQ(s.used, 0u);
  EXPECT_EQ(s.mixCount, 1);
  EXPECT_EQ(s.echo, -1);
  EXPECT_STREQ(s.name, "");
  for (int i = 0; i < kSoundBuffers; ++i) {
    EXPECT_EQ(s.buffer[i], 0u);
    EXPECT_EQ(s.volume[i], 0);
  }
  uint32_t st;
  EXPECT_EQ(plat::AudioGetStatus(b, &st), plat::kAudioErrInvalidParam);
  EXPECT_EQ(Load(std::vector<uint8_t>(100, 128), 1), o);
}

TEST_F(SoundObjects, OutOfRangeObjectsAndSelectorsDoNothing) {
  int o = Load(std::vector<uint8_t>(100, 128), 1);
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
  elSound::Play(o, 10);
  elSound::Play(o, 5);
  elSound::Pause(o, 99);
  EXPECT_FALSE(Playing(SoundObject[o].buffer[0]));
  EXPECT_EQ(hl::Boxes().size(), 0u);
}

TEST_F(SoundObjects, WithoutADeviceEverythingIsQuiet) {
  elSound::Release();
  hl::SetAudioDeviceAvailable(false);
  EXPECT_EQ(elSound::Init(), 0);
  EXPECT_EQ(SoundReady, 0u);
  elSound::ClearObjects();
  File("sndtest_a.wav", Wave(Ramp(100)));
  EXPECT_EQ(elSound::LoadObject("sndtest_a.wav", 1), -1);
  EXPECT_EQ(elSound::LoadObject("sndtest_a.wav", 20), -1);
  EXPECT_EQ(elSound::LoadPack("x", 1), -1);
  EXPECT_EQ(elSound::LoadStream("x", 0), -1);
  elSound::Play(0, -1);
  elSound::SetVolume(0, -10, -1);
  EXPECT_EQ(SoundObject[0].volume[0], 0);
  EXPECT_EQ(elSound::SelectFormat(2, 44, 16), 0);
  EXPECT_EQ(elSound::Streaming(), 0);
  elSound::Restore();
  EXPECT_EQ(hl::Boxes().size(), 0u);
  hl::SetAudioDeviceAvailable(true);
}

TEST_F(SoundObjects, RestoreRebuildsEveryObjectWithItsLevels) {
  int a = Load(Ramp(1000), 2, "sndtest_a.wav");
  int b = Load(Ramp(1000), -2, "sndtest_b.wav");
  elSound::SetVolume(a, -12, 1);
  elSound::SetPan(a, 7, 1);
  elSound::SetFrequency(a, 20, 1);
  elSound::Play(a, -1);
  plat::AudioBuffer old = SoundObject[a].buffer[1];
  const uint32_t opens = hl::AudioOpenCount();
  elSound::Restore();
  EXPECT_EQ(hl::AudioOpenCount(), opens + 1);
  EXPECT_EQ(hl::Boxes().size(), 0u);
  const SoundSlot& s = SoundObject[a];
  EXPECT_NE(s.buffer[1], old);
  EXPECT_EQ(s.cursor, 1);  // kept
  int32_t vol = 0, pan = 0;
  uint32_t hz = 0;
  plat::AudioGetVolume(s.buffer[1], &vol);
  plat::AudioGetPan(s.buffer[1], &pan);
  plat::AudioGetFrequency(s.buffer[1], &hz);
  EXPECT_EQ(vol, -1200);
  EXPECT_EQ(pan, 700);
  EXPECT_EQ(hz, 13025u);
  EXPECT_EQ(s.baseFrequency, 11025u);
  EXPECT_EQ(SoundObject[b].mixCount, 2);
  EXPECT_EQ(SoundObject[b].echo, -1);  // made without echo, and stays so
  EXPECT_EQ(SoundObject[a].echo, 0);
  elSound::Play(b, -1);
  std::vector<int16_t> out = hl::PullAudio(2);
  EXPECT_EQ(out[2], (1 - 128) * 256);
}

TEST_F(SoundObjects, SelectFormatReloadsAndAFailureKeepsTheObjectsPlayable) {
  int o = Load(Ramp(1000), 1);
  EXPECT_EQ(elSound::SelectFormat(2, 44, 16), 1);
  plat::AudioFormat f{};
  plat::AudioGetPrimaryFormat(&f);
  EXPECT_EQ(f.samplesPerSec, 44100u);
  EXPECT_EQ(f.avgBytesPerSec, 176400u);
  EXPECT_NE(SoundObject[o].buffer[0], 0u);
  EXPECT_EQ(elSound::SelectFormat(2, 22, 16), 1);
  plat::AudioGetPrimaryFormat(&f);
  EXPECT_EQ(f.samplesPerSec, 22050u);
  EXPECT_EQ(elSound::SelectFormat(3, 44, 16), 0);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"elSound::SelectFormat : 再生フォーマットを変更できません"});
  plat::AudioGetPrimaryFormat(&f);
  EXPECT_EQ(f.samplesPerSec, 22050u);
  ASSERT_NE(SoundObject[o].buffer[0], 0u);
  elSound::Play(o, -1);
  EXPECT_EQ(hl::PullAudio(2)[2], (1 - 128) * 256);
  EXPECT_EQ(elSound::SelectFormat(-1, -5, 99999), 0);
}

TEST_F(SoundObjects, PlaySyncLeavesTheTableRestored) {
  int o = Load(Ramp(1000), 1);
  std::string sys = ProgDir() + "sndtest_sys.wav";
  WriteFile(sys, Wave(Ramp(1100)));
  files_.push_back(sys);
  hl::ClearSleeps();
  elSound::PlaySync(sys.c_str());
  // Nothing pulls the headless device, so the call waited out the sound's own length (0.1 s) and
  // the second of grace, then gave up.
  EXPECT_GE(hl::Sleeps().size(), 100u);
  EXPECT_TRUE(hl::AudioDeviceIsOpen());
  ASSERT_NE(SoundObject[o].buffer[0], 0u);
  elSound::Play(o, -1);
  EXPECT_EQ(hl::PullAudio(2)[2], (1 - 128) * 256);
  elSound::PlaySync("sndtest_no_such_file.wav");
  EXPECT_NE(SoundObject[o].buffer[0], 0u);
  EXPECT_EQ(hl::Boxes().size(), 0u);
}

TEST_F(SoundObjects, TheSynthesizerSlotIsLeftToTheMusicModuleOnReload) {
  // As the music module sets it up: a circular buffer in slot 0, named "DirectMusic".
  std::vector<uint8_t> f = PcmFormat(22050, 16, 2);
  ASSERT_EQ(plat::AudioCreateBuffer(0xE0, 88200, f.data(), 16, &SoundObject[0].buffer[0]), plat::kAudioOk);
  SoundObject[0].used = 1;
  std::strcpy(SoundObject[0].name, "DirectMusic");
  const plat::AudioBuffer synth = SoundObject[0].buffer[0];
  int o = Load(Ramp(100), 1);
  EXPECT_EQ(o, 1);
  EXPECT_EQ(elSound::SelectFormat(1, 11, 8), 1);  // the synthesizer's buffer plays on
  EXPECT_EQ(SoundObject[0].buffer[0], synth);
  EXPECT_TRUE(plat::AudioPlay(synth, 1) == plat::kAudioOk);
  elSound::Restore();  // a new device: the music module makes its buffer again
  EXPECT_EQ(hl::Boxes().size(), 0u);
  EXPECT_EQ(SoundObject[0].used, 1u);
  EXPECT_EQ(SoundObject[0].buffer[0], 0u);
  EXPECT_NE(SoundObject[1].buffer[0], 0u);
}

// The RIFF reader, over files.
class WaveFiles : public SoundObjects {
 protected:
  int Read(const std::vector<uint8_t>& bytes, std::vector<uint8_t>* format, std::vector<uint8_t>* data) {
    std::string path = ProgDir() + File("sndtest_r.wav", bytes);
    uint8_t *f = nullptr, *d = nullptr;
    uint32_t fn = 7, dn = 7;
    int r = elSound::ReadWave(path.c_str(), &f, &fn, &d, &dn);
    if (r == 0) {
      format->assign(f, f + fn);
      data->assign(d, d + dn);
    } else {
      EXPECT_EQ(f, nullptr);
      EXPECT_EQ(d, nullptr);
      EXPECT_EQ(dn, 0u);
    }
    std::free(f);
    std::free(d);
    return r;
  }
};

TEST_F(WaveFiles, DataMayStandBeforeTheFormatAndOddChunksArePadded) {
  std::vector<uint8_t> fmt, data;
  auto pcm = PcmFormat(22050, 16, 2);
  ASSERT_EQ(Read(Riff({{"LIST", {1, 2, 3}}, {"data", Ramp(8, 10)}, {"fmt ", pcm}}), &fmt, &data), 0);
  ASSERT_EQ(fmt.size(), 18u);
  EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), fmt.begin()));
  EXPECT_EQ(fmt[16], 0);
  EXPECT_EQ(data, Ramp(8, 10));
}

TEST_F(WaveFiles, NonPcmFormatsCarryTheirExtraBytes) {
  std::vector<uint8_t> fmt, data;
  auto f = PcmFormat(8000, 4, 1);
  f[0] = 0x11;
  Put16(f, 2);
  f.push_back(0xAB);
  f.push_back(0xCD);
  ASSERT_EQ(Read(Riff({{"fmt ", f}, {"data", Ramp(4)}}), &fmt, &data), 0);
  ASSERT_EQ(fmt.size(), 20u);
  EXPECT_EQ(fmt[16], 2);
  EXPECT_EQ(fmt[19], 0xCD);
  // The extra size promises more than the file holds.
  f[16] = 0xFF;
  auto v = Riff({{"fmt ", f}});
  EXPECT_EQ(Read(v, &fmt, &data), 1);
}

TEST_F(WaveFiles, BrokenFilesAreRefused) {
  std::vector<uint8_t> fmt, data;
  auto pcm = PcmFormat(11025, 8, 1);
  EXPECT_EQ(Read({}, &fmt, &data), 1);
  EXPECT_EQ(Read(Riff({{"data", Ramp(4)}}), &fmt, &data), 1);                       // no format
  EXPECT_EQ(Read(Riff({{"fmt ", pcm}}), &fmt, &data), 1);                           // no data
  EXPECT_EQ(Read(Riff({{"fmt ", Ramp(14)}, {"data", Ramp(4)}}), &fmt, &data), 1);  // format too short
  auto notWave = Riff({{"fmt ", pcm}, {"data", Ramp(4)}});
  notWave[8] = 'A';
  EXPECT_EQ(Read(notWave, &fmt, &data), 1);
  auto longData = Riff({{"fmt ", pcm}, {"data", Ramp(40)}});
  longData.resize(longData.size() - 1);  // the last sample is missing
  EXPECT_EQ(Read(longData, &fmt, &data), 1);
  auto hugeChunk = Riff({{"LIST", Ramp(4)}, {"fmt ", pcm}, {"data", Ramp(4)}});
  hugeChunk[16] = hugeChunk[17] = hugeChunk[18] = hugeChunk[19] = 0xFF;  // LIST claims 4 GB
  EXPECT_EQ(Read(hugeChunk, &fmt, &data), 1);
  auto hugeData = Riff({{"fmt ", pcm}, {"data", Ramp(4)}});
  hugeData[40] = hugeData[41] = hugeData[42] = hugeData[43] = 0xFF;
  EXPECT_EQ(Read(hugeData, &fmt, &data), 1);
  // A RIFF size shorter than the file hides the chunks behind it.
  auto shortRiff = Riff({{"fmt ", pcm}, {"data", Ramp(4)}});
  shortRiff[4] = 28;
  shortRiff[5] = shortRiff[6] = shortRiff[7] = 0;
  EXPECT_EQ(Read(shortRiff, &fmt, &data), 1);
}

TEST(WaveResource, CanonicalImagesAreUsedInPlaceOthersParsed) {
  std::vector<uint8_t> img = Wave(Ramp(20, 5));
  elSound::detail::WaveView v;
  std::vector<uint8_t> of, od;
  ASSERT_TRUE(elSound::detail::ResourceWave(img.data(), img.size(), &v, &of, &od));
  EXPECT_EQ(v.format, img.data() + 20);
  EXPECT_EQ(v.data, img.data() + 44);
  EXPECT_EQ(v.dataSize, 20u);
  // A length past the image's end is not believed.
  img[40] = 21;
  EXPECT_FALSE(elSound::detail::ResourceWave(img.data(), img.size(), &v, &of, &od));
  EXPECT_FALSE(elSound::detail::ResourceWave(img.data(), 43, &v, &of, &od));
  // A header with another chunk in between is read by the RIFF reader instead of at fixed offsets.
  std::vector<uint8_t> fmt = PcmFormat(11025, 8, 1);
  std::vector<uint8_t> other;
  PutId(other, "RIFF");
  Put32(other, 4 + 8 + 2 + 8 + 16 + 8 + 6);
  PutId(other, "WAVE");
  PutId(other, "LIST");
  Put32(other, 2);
  other.push_back(0);
  other.push_back(0);
  PutId(other, "fmt ");
  Put32(other, 16);
  other.insert(other.end(), fmt.begin(), fmt.end());
  PutId(other, "data");
  Put32(other, 6);
  for (uint8_t b : Ramp(6, 100)) other.push_back(b);
  ASSERT_TRUE(elSound::detail::ResourceWave(other.data(), other.size(), &v, &of, &od));
  EXPECT_EQ(v.dataSize, 6u);
  EXPECT_EQ(v.data[0], 100);
  EXPECT_EQ(v.formatSize, 18u);
}

TEST(WaveResource, AFileOfTheNameComesBeforeTheResource) {
  // The resources embedded in this binary, if any: a program-directory file of the same name wins.
  Fresh();
  for (unsigned i = 0; i < plat::kResourceCount; ++i) {
    const plat::ResourceEntry& e = plat::kResourceTable[i];
    if (std::strcmp(e.type, "WAVE") != 0) continue;
    int r = elSound::LoadObject(e.name, 1);
    ASSERT_GE(r, 0) << e.name;
    uint32_t size = 0;
    plat::AudioGetSize(SoundObject[r].buffer[0], &size);
    std::string path = ProgDir() + e.name;
    WriteFile(path, Wave(Ramp(77)));
    int f = elSound::LoadObject(e.name, 1);
    std::remove(path.c_str());
    ASSERT_GE(f, 0);
    plat::AudioGetSize(SoundObject[f].buffer[0], &size);
    EXPECT_EQ(size, 77u);
    return;
  }
  GTEST_SKIP() << "no WAVE resource in this build";
}

}  // namespace
