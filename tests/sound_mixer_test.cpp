// The mixer behind the sound buffers, pulled on the headless device.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "platform/audio.h"
#include "platform/headless/headless_audio.h"
#include "tests/support/sound_support.h"

namespace hl = plat::headless;
using namespace soundtest;

namespace {

constexpr uint32_t kCtrl = plat::kAudioCtrlFrequency | plat::kAudioCtrlPan | plat::kAudioCtrlVolume;

class Mixer : public ::testing::Test {
 protected:
  void Open(uint32_t rate) {
    plat::AudioReleaseDevice();
    hl::SetAudioDeviceAvailable(true);
    hl::SetAudioDeviceRate(rate);
    hl::SetAudioPeriodFrames(0);
    ASSERT_EQ(plat::AudioCreateDevice(), plat::kAudioOk);
  }
  void SetUp() override { Open(11025); }
  void TearDown() override { plat::AudioReleaseDevice(); }

  plat::AudioBuffer Make(const std::vector<uint8_t>& samples, uint32_t rate = 11025, uint16_t bits = 8,
                         uint16_t channels = 1, uint32_t flags = kCtrl | plat::kAudioStatic) {
    std::vector<uint8_t> f = PcmFormat(rate, bits, channels);
    plat::AudioBuffer b = 0;
    EXPECT_EQ(plat::AudioCreateBuffer(flags, static_cast<uint32_t>(samples.size()), f.data(), 16, &b),
              plat::kAudioOk);
    void *p1, *p2;
    uint32_t n1, n2;
    EXPECT_EQ(plat::AudioLock(b, 0, static_cast<uint32_t>(samples.size()), &p1, &n1, &p2, &n2, 0), plat::kAudioOk);
    std::memcpy(p1, samples.data(), n1);
    EXPECT_EQ(plat::AudioUnlock(b, p1, n1, p2, n2), plat::kAudioOk);
    return b;
  }
};

TEST_F(Mixer, AtTheDeviceRateSamplesPassExactlyAndAOncePlayStopsAtItsEnd) {
  std::vector<uint8_t> s = {128, 129, 127, 255, 0, 200};
  plat::AudioBuffer b = Make(s);
  ASSERT_EQ(plat::AudioPlay(b, 0), plat::kAudioOk);
  std::vector<int16_t> out = hl::PullAudio(8);
  for (size_t i = 0; i < s.size(); ++i) {
    EXPECT_EQ(out[2 * i], (s[i] - 128) * 256) << i;
    EXPECT_EQ(out[2 * i + 1], (s[i] - 128) * 256) << i;
  }
  EXPECT_EQ(out[12], 0);
  EXPECT_EQ(out[14], 0);
  EXPECT_FALSE(Playing(b));
  EXPECT_EQ(Cursor(b), 0u);
}

TEST_F(Mixer, LoopingWrapsAndSixteenBitStereoKeepsItsChannels) {
  std::vector<uint8_t> s;
  for (int16_t v : {1000, -1000, 2000, -2000}) Put16(s, static_cast<uint16_t>(v));
  plat::AudioBuffer b = Make(s, 11025, 16, 2);
  plat::AudioPlay(b, plat::kAudioPlayLooping);
  std::vector<int16_t> out = hl::PullAudio(5);
  EXPECT_EQ(out[0], 1000);
  EXPECT_EQ(out[1], -1000);
  EXPECT_EQ(out[2], 2000);
  EXPECT_EQ(out[3], -2000);
  EXPECT_EQ(out[4], 1000);  // round again
  EXPECT_EQ(out[9], -1000);
  EXPECT_TRUE(Playing(b));
  EXPECT_EQ(Cursor(b), 4u);  // frame 1 of 2, four bytes a frame
}

TEST_F(Mixer, TwiceTheFrequencyMovesTheCursorTwiceAsFast) {
  Open(44100);
  plat::AudioBuffer a = Make(std::vector<uint8_t>(20000, 128));
  plat::AudioBuffer b = Make(std::vector<uint8_t>(20000, 128));
  ASSERT_EQ(plat::AudioSetFrequency(b, 22050), plat::kAudioOk);
  plat::AudioPlay(a, 0);
  plat::AudioPlay(b, 0);
  hl::PullAudio(4410);  // 0.1 s
  EXPECT_EQ(Cursor(a), 1102u);
  EXPECT_EQ(Cursor(b), 2205u);
  uint32_t hz = 0;
  plat::AudioGetFrequency(b, &hz);
  EXPECT_EQ(hz, 22050u);
  plat::AudioSetFrequency(b, 0);  // back to the format's own rate
  plat::AudioGetFrequency(b, &hz);
  EXPECT_EQ(hz, 11025u);
}

TEST_F(Mixer, VolumeAndPanInHundredthsOfADecibel) {
  plat::AudioBuffer b = Make(std::vector<uint8_t>(100, 192));  // +64 -> 16384
  plat::AudioPlay(b, plat::kAudioPlayLooping);
  plat::AudioSetVolume(b, -10000);
  for (int16_t v : hl::PullAudio(50)) EXPECT_EQ(v, 0);
  plat::AudioSetVolume(b, -600);  // about half
  std::vector<int16_t> out = hl::PullAudio(4);
  EXPECT_NEAR(out[0], 16384 * 0.501, 20);
  EXPECT_NEAR(out[1], 16384 * 0.501, 20);
  plat::AudioSetVolume(b, 0);
  plat::AudioSetPan(b, 10000);  // right: the left side is silenced
  out = hl::PullAudio(4);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], 16384);
  plat::AudioSetPan(b, -2000);  // left of centre: the right side 20 dB down
  out = hl::PullAudio(4);
  EXPECT_EQ(out[0], 16384);
  EXPECT_NEAR(out[1], 1638, 2);
  EXPECT_EQ(plat::AudioSetVolume(b, 1), plat::kAudioErrInvalidParam);
  EXPECT_EQ(plat::AudioSetVolume(b, -10001), plat::kAudioErrInvalidParam);
  EXPECT_EQ(plat::AudioSetPan(b, 10001), plat::kAudioErrInvalidParam);
  EXPECT_EQ(plat::AudioSetFrequency(b, 99), plat::kAudioErrInvalidParam);
  EXPECT_EQ(plat::AudioSetFrequency(b, 100001), plat::kAudioErrInvalidParam);
  int32_t v = 1;
  plat::AudioGetVolume(b, &v);
  EXPECT_EQ(v, 0);  // the refused values changed nothing
}

TEST_F(Mixer, ControlsMustHaveBeenAskedFor) {
  plat::AudioBuffer b = Make(std::vector<uint8_t>(16, 128), 11025, 8, 1, plat::kAudioStatic);
  EXPECT_EQ(plat::AudioSetVolume(b, -100), plat::kAudioErrControlUnavailable);
  EXPECT_EQ(plat::AudioSetPan(b, 100), plat::kAudioErrControlUnavailable);
  EXPECT_EQ(plat::AudioSetFrequency(b, 8000), plat::kAudioErrControlUnavailable);
}

TEST_F(Mixer, MixingSumsAndClipsVoices) {
  plat::AudioBuffer a = Make(std::vector<uint8_t>(10, 255));
  plat::AudioBuffer b = Make(std::vector<uint8_t>(10, 255));
  plat::AudioBuffer c = Make(std::vector<uint8_t>(10, 64));
  plat::AudioPlay(a, 0);
  std::vector<int16_t> one = hl::PullAudio(1);
  plat::AudioPlay(b, 0);
  std::vector<int16_t> two = hl::PullAudio(1);
  EXPECT_EQ(one[0], 127 * 256);
  EXPECT_EQ(two[0], 32767);  // clipped
  plat::AudioStop(a);
  plat::AudioStop(b);
  plat::AudioPlay(c, 0);
  EXPECT_EQ(hl::PullAudio(1)[0], -64 * 256);
}

TEST_F(Mixer, CreationRefusesWhatCannotBePlayed) {
  plat::AudioBuffer b = 7;
  std::vector<uint8_t> f = PcmFormat(11025, 8, 1);
  auto with = [&](size_t at, uint16_t v) {
    std::vector<uint8_t> g = f;
    g[at] = static_cast<uint8_t>(v);
    g[at + 1] = static_cast<uint8_t>(v >> 8);
    return g;
  };
  EXPECT_EQ(plat::AudioCreateBuffer(kCtrl, 100, f.data(), 15, &b), plat::kAudioErrInvalidParam);
  EXPECT_EQ(b, 0u);
  EXPECT_EQ(plat::AudioCreateBuffer(kCtrl, 3, f.data(), 16, &b), plat::kAudioErrInvalidParam);
  EXPECT_EQ(plat::AudioCreateBuffer(kCtrl, 0x10000000, f.data(), 16, &b), plat::kAudioErrInvalidParam);
  EXPECT_EQ(plat::AudioCreateBuffer(0x1, 100, f.data(), 16, &b), plat::kAudioErrInvalidParam);
  EXPECT_EQ(plat::AudioCreateBuffer(kCtrl, 100, with(0, 2).data(), 16, &b), plat::kAudioErrBadFormat);   // ADPCM
  EXPECT_EQ(plat::AudioCreateBuffer(kCtrl, 100, with(2, 3).data(), 16, &b), plat::kAudioErrBadFormat);   // 3 ch
  EXPECT_EQ(plat::AudioCreateBuffer(kCtrl, 100, with(14, 12).data(), 16, &b), plat::kAudioErrBadFormat); // 12 bit
  EXPECT_EQ(plat::AudioCreateBuffer(kCtrl, 100, with(12, 2).data(), 16, &b), plat::kAudioErrBadFormat);  // align
  EXPECT_EQ(plat::AudioCreateBuffer(kCtrl, 100, with(8, 1).data(), 16, &b), plat::kAudioErrBadFormat);   // byte rate
  EXPECT_EQ(plat::AudioCreateBuffer(kCtrl, 100, PcmFormat(99, 8, 1).data(), 16, &b), plat::kAudioErrBadFormat);
  EXPECT_EQ(plat::AudioCreateBuffer(kCtrl, 100, PcmFormat(100001, 8, 1).data(), 16, &b), plat::kAudioErrBadFormat);
  EXPECT_EQ(plat::AudioCreateBuffer(kCtrl, 100, f.data(), 16, &b), plat::kAudioOk);
  EXPECT_NE(b, 0u);
}

TEST_F(Mixer, LockChecksEveryOffsetAndSizeAndWrapsIntoTwoRegions) {
  plat::AudioBuffer b = Make(Ramp(10));
  void *p1 = nullptr, *p2 = nullptr;
  uint32_t n1 = 0, n2 = 0;
  EXPECT_EQ(plat::AudioLock(b, 10, 1, &p1, &n1, &p2, &n2, 0), plat::kAudioErrInvalidParam);
  EXPECT_EQ(plat::AudioLock(b, 0, 0, &p1, &n1, &p2, &n2, 0), plat::kAudioErrInvalidParam);
  EXPECT_EQ(plat::AudioLock(b, 0, 11, &p1, &n1, &p2, &n2, 0), plat::kAudioErrInvalidParam);
  EXPECT_EQ(plat::AudioLock(b, 8, 4, &p1, &n1, nullptr, nullptr, 0), plat::kAudioErrInvalidParam);
  ASSERT_EQ(plat::AudioLock(b, 8, 4, &p1, &n1, &p2, &n2, 0), plat::kAudioOk);
  EXPECT_EQ(n1, 2u);
  EXPECT_EQ(n2, 2u);
  EXPECT_EQ(static_cast<uint8_t*>(p1)[0], 8);  // the current bytes
  EXPECT_EQ(static_cast<uint8_t*>(p2)[1], 1);
  void *q1, *q2;
  uint32_t m1, m2;
  EXPECT_EQ(plat::AudioLock(b, 0, 1, &q1, &m1, &q2, &m2, 0), plat::kAudioErrInvalidCall);  // one lock at a time
  std::memset(p1, 128, n1);
  std::memset(p2, 128, n2);
  EXPECT_EQ(plat::AudioUnlock(b, p2, n1, p2, n2), plat::kAudioErrInvalidParam);  // not what Lock gave
  EXPECT_EQ(plat::AudioUnlock(b, p1, n1 + 1, p2, n2), plat::kAudioErrInvalidParam);
  ASSERT_EQ(plat::AudioUnlock(b, p1, n1, p2, n2), plat::kAudioOk);
  EXPECT_EQ(plat::AudioUnlock(b, p1, n1, p2, n2), plat::kAudioErrInvalidCall);
  plat::AudioPlay(b, 0);
  std::vector<int16_t> out = hl::PullAudio(10);
  EXPECT_EQ(out[0], 0);                    // byte 0 rewritten to 128
  EXPECT_EQ(out[2 * 2], (2 - 128) * 256);  // byte 2 untouched
  EXPECT_EQ(out[2 * 9], 0);
  EXPECT_EQ(plat::AudioSetPosition(b, 10), plat::kAudioErrInvalidParam);
  ASSERT_EQ(plat::AudioLock(b, 5, 1, &p1, &n1, &p2, &n2, plat::kAudioLockEntireBuffer), plat::kAudioOk);
  EXPECT_EQ(n1, 10u);
  EXPECT_EQ(n2, 0u);
  EXPECT_EQ(plat::AudioUnlock(b, p1, 0, nullptr, 0), plat::kAudioOk);
}

TEST_F(Mixer, ReleasedAndUnknownBuffersAnswerWithAnError) {
  plat::AudioBuffer b = Make(Ramp(10));
  ASSERT_EQ(plat::AudioReleaseBuffer(b), plat::kAudioOk);
  uint32_t s = 0;
  EXPECT_EQ(plat::AudioPlay(b, 0), plat::kAudioErrInvalidParam);
  EXPECT_EQ(plat::AudioGetStatus(b, &s), plat::kAudioErrInvalidParam);
  EXPECT_EQ(plat::AudioReleaseBuffer(b), plat::kAudioErrInvalidParam);
  EXPECT_EQ(plat::AudioSetVolume(0, 0), plat::kAudioErrInvalidParam);
  plat::AudioSetFiller(b, nullptr, nullptr);  // ignored
}

TEST_F(Mixer, WithoutADeviceNothingOpens) {
  plat::AudioReleaseDevice();
  hl::SetAudioDeviceAvailable(false);
  EXPECT_EQ(plat::AudioCreateDevice(), plat::kAudioErrNoDriver);
  EXPECT_FALSE(plat::AudioDeviceReady());
  plat::AudioBuffer b = 0;
  std::vector<uint8_t> f = PcmFormat(11025, 8, 1);
  EXPECT_EQ(plat::AudioCreateBuffer(kCtrl, 100, f.data(), 16, &b), plat::kAudioErrInvalidCall);
  hl::SetAudioDeviceAvailable(true);
}

TEST_F(Mixer, PrimaryFormatIsValidatedAndKept) {
  plat::AudioFormat f{1, 2, 44100, 176400, 4, 16, 0};
  EXPECT_EQ(plat::AudioSetPrimaryFormat(&f), plat::kAudioOk);
  plat::AudioFormat g{};
  plat::AudioGetPrimaryFormat(&g);
  EXPECT_EQ(g.samplesPerSec, 44100u);
  f.channels = 3;
  EXPECT_EQ(plat::AudioSetPrimaryFormat(&f), plat::kAudioErrBadFormat);
  plat::AudioGetPrimaryFormat(&g);
  EXPECT_EQ(g.channels, 2);
}

TEST_F(Mixer, WriteCursorRunsOnePeriodAhead) {
  plat::AudioReleaseDevice();
  hl::SetAudioPeriodFrames(100);
  ASSERT_EQ(plat::AudioCreateDevice(), plat::kAudioOk);
  plat::AudioBuffer b = Make(std::vector<uint8_t>(1000, 128));
  plat::AudioPlay(b, 0);
  hl::PullAudio(10);
  uint32_t play = 0, write = 0;
  plat::AudioGetPosition(b, &play, &write);
  EXPECT_EQ(play, 10u);
  EXPECT_EQ(write, 110u);
}

struct FillLog {
  std::vector<uint32_t> sizes;
  uint8_t next = 0;
  static void Fill(void* user, void* dst, uint32_t bytes) {
    FillLog* log = static_cast<FillLog*>(user);
    log->sizes.push_back(bytes);
    uint8_t* d = static_cast<uint8_t*>(dst);
    for (uint32_t i = 0; i < bytes; ++i) d[i] = log->next++;
  }
};

TEST_F(Mixer, AFillerRendersEachRegionJustBeforeItIsPlayed) {
  // A circular buffer of 64 frames; the filler writes a counter, so the output must be the
  // counter's values in order, across many wraps, with nothing skipped or written twice.
  std::vector<uint8_t> f = PcmFormat(11025, 8, 1);
  plat::AudioBuffer b = 0;
  ASSERT_EQ(plat::AudioCreateBuffer(kCtrl, 64, f.data(), 16, &b), plat::kAudioOk);
  FillLog log;
  plat::AudioSetFiller(b, FillLog::Fill, &log);
  for (int i = 0; i < 3; ++i) hl::PullAudio(20);
  EXPECT_TRUE(log.sizes.empty());  // not playing: not called
  plat::AudioPlay(b, plat::kAudioPlayLooping);
  std::vector<int16_t> all;
  for (int i = 0; i < 20; ++i) {
    std::vector<int16_t> out = hl::PullAudio(13);
    all.insert(all.end(), out.begin(), out.end());
  }
  for (size_t i = 0; i < all.size() / 2; ++i) {
    ASSERT_EQ(all[2 * i], (static_cast<uint8_t>(i) - 128) * 256) << i;
  }
  for (uint32_t n : log.sizes) EXPECT_LE(n, 64u);
  // Volume and Stop act on the rendered sound like on any other.
  plat::AudioSetVolume(b, -10000);
  for (int16_t v : hl::PullAudio(30)) EXPECT_EQ(v, 0);
  plat::AudioStop(b);
  size_t calls = log.sizes.size();
  hl::PullAudio(30);
  EXPECT_EQ(log.sizes.size(), calls);
  // Removed: never called again.
  plat::AudioSetVolume(b, 0);
  plat::AudioPlay(b, plat::kAudioPlayLooping);
  plat::AudioSetFiller(b, nullptr, nullptr);
  hl::PullAudio(100);
  EXPECT_EQ(log.sizes.size(), calls);
}

TEST_F(Mixer, AFillerFollowsTheBufferFrequency) {
  Open(22050);
  std::vector<uint8_t> f = PcmFormat(11025, 8, 1);
  plat::AudioBuffer b = 0;
  ASSERT_EQ(plat::AudioCreateBuffer(kCtrl, 1000, f.data(), 16, &b), plat::kAudioOk);
  FillLog log;
  plat::AudioSetFiller(b, FillLog::Fill, &log);
  plat::AudioPlay(b, plat::kAudioPlayLooping);
  plat::AudioSetFrequency(b, 44100);  // two buffer frames per device frame
  uint64_t filled = 0;
  for (int i = 0; i < 50; ++i) hl::PullAudio(100);
  for (uint32_t n : log.sizes) filled += n;
  // 5000 device frames consume 10000 buffer frames; the filler stays at most one pass ahead.
  EXPECT_GE(filled, 10000u);
  EXPECT_LE(filled, 10000u + 202u);
  hl::PullAudio(50);
  EXPECT_EQ(Cursor(b), 100u);
}

}  // namespace
