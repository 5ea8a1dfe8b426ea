// The mixer behind the sound buffers, pulled on the headless device.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "platform/audio.h"
#include "tests/support/sound_support.h"

namespace hl = plat::headless;
using namespace soundtest;

namespace {

constexpr uint32_t kCtrl = plat::kAudioCtrlFrequency | plat::kAudioCtrlPan | plat::kAudioCtrlVolume;

class Mixer : public ::testing::Test {
 protected:
  void Open(uint32_t rate, uint32_t period = 0) {
    plat::AudioReleaseDevice();
    hl::SetAudioDeviceAvailable(true);
    hl::SetAudioDeviceRate(rate);
    hl::SetAudioPeriodFrames(period);
    ASSERT_EQ(plat::AudioCreateDevice(), plat::kAudioOk);
  }
  void SetUp() override { Open(11025); }
  void TearDown() override { plat::AudioReleaseDevice(); }
  plat::AudioBuffer Make(const std::vector<uint8_t>& bytes, uint16_t bits = 8, uint16_t channels = 1) {
    std::vector<uint8_t> f = PcmFormat(11025, bits, channels);
    plat::AudioBuffer b = 0;
    EXPECT_EQ(plat::AudioCreateBuffer(kCtrl, static_cast<uint32_t>(bytes.size()), f.data(), 16, &b), plat::kAudioOk);
    void *p1, *p2;
    uint32_t n1, n2;
    EXPECT_EQ(plat::AudioLock(b, 0, 0, &p1, &n1, &p2, &n2, plat::kAudioLockEntireBuffer), plat::kAudioOk);
    std::memcpy(p1, bytes.data(), n1);
    EXPECT_EQ(plat::AudioUnlock(b, p1, n1, p2, n2), plat::kAudioOk);
    return b;
  }
};

// Random voices of every sample format at the device rate, at random volumes and pans, played once or
// looping and pulled in passes of random length, against a model: each output sample is the sum of
// the voices' samples times their gains (hundredths of a decibel; pan attenuates the other side),
// clipped to 16 bits.
TEST_F(Mixer, VoicesSumToTheirSamplesTimesTheirGains) {
  std::mt19937 rng(11);
  auto gain = [](int hundredths) { return hundredths <= -10000 ? 0.0 : std::pow(10.0, hundredths / 2000.0); };
  for (int round = 0; round < 40; ++round) {
    struct Voice {
      plat::AudioBuffer b;
      std::vector<double> l, r;
      bool loop, on = true;
      size_t pos = 0;
      uint32_t align;
      double gl, gr;
    };
    std::vector<Voice> voices(1 + rng() % 4);
    for (Voice& v : voices) {
      const uint16_t bits = rng() % 2 ? 16 : 8, ch = static_cast<uint16_t>(1 + rng() % 2);
      std::vector<uint8_t> bytes((4 + rng() % 300) * ch * bits / 8);
      for (uint8_t& x : bytes) x = static_cast<uint8_t>(rng());
      v.b = Make(bytes, bits, ch);
      v.align = ch * bits / 8u;
      for (size_t i = 0; i < bytes.size(); i += bits / 8) {
        double s = bits == 8 ? (bytes[i] - 128) * 256.0 : static_cast<int16_t>(bytes[i] | (bytes[i + 1] << 8));
        (ch == 2 && (i / (bits / 8)) % 2 ? v.r : v.l).push_back(s);
      }
      if (ch == 1) v.r = v.l;
      const int vol = rng() % 3 ? -static_cast<int>(rng() % 3000) : rng() % 2 ? 0 : -10000;
      const int pan = rng() % 3 ? static_cast<int>(rng() % 4001) - 2000 : rng() % 2 ? 10000 : -10000;
      ASSERT_EQ(plat::AudioSetVolume(v.b, vol), plat::kAudioOk);
      ASSERT_EQ(plat::AudioSetPan(v.b, pan), plat::kAudioOk);
      v.gl = gain(vol) * (pan > 0 ? gain(-pan) : 1.0);
      v.gr = gain(vol) * (pan < 0 ? gain(pan) : 1.0);
      v.loop = rng() % 2;
      plat::AudioPlay(v.b, v.loop ? plat::kAudioPlayLooping : 0);
    }
    for (int pass = 0; pass < 8; ++pass) {
      const uint32_t frames = 1 + rng() % 97;
      std::vector<int16_t> out = hl::PullAudio(frames);
      for (uint32_t i = 0; i < frames; ++i) {
        double l = 0, r = 0;
        for (Voice& v : voices) {
          if (!v.on) continue;
          l += v.l[v.pos] * v.gl;
          r += v.r[v.pos] * v.gr;
          if (++v.pos == v.l.size()) v.pos = 0, v.on = v.loop;
        }
        ASSERT_NEAR(out[2 * i], std::clamp(l, -32768.0, 32767.0), 1) << "round " << round << " frame " << i;
        ASSERT_NEAR(out[2 * i + 1], std::clamp(r, -32768.0, 32767.0), 1) << "round " << round << " frame " << i;
      }
    }
    for (Voice& v : voices) {
      EXPECT_EQ(Playing(v.b), v.on);
      EXPECT_EQ(Cursor(v.b), v.on ? v.pos * v.align : 0u);
      plat::AudioReleaseBuffer(v.b);
    }
  }
}

TEST_F(Mixer, FrequencySetsTheSpeedAndTheWriteCursorRunsAPeriodAhead) {
  Open(11025, 100);
  plat::AudioBuffer a = Make(Ramp(1000)), b = Make(Ramp(1000));
  ASSERT_EQ(plat::AudioSetFrequency(b, 22050), plat::kAudioOk);
  plat::AudioPlay(a, 0);
  plat::AudioPlay(b, 0);
  plat::AudioSetVolume(a, -10000);
  std::vector<int16_t> out = hl::PullAudio(300);
  for (size_t i = 0; i < 300; ++i) ASSERT_EQ(Heard(out, i), static_cast<uint8_t>(2 * i)) << i;
  uint32_t play = 0, write = 0;
  plat::AudioGetPosition(a, &play, &write);
  EXPECT_EQ(play, 300u);
  EXPECT_EQ(write, 400u);
  plat::AudioGetPosition(b, &play, &write);
  EXPECT_EQ(play, 600u);
  EXPECT_EQ(write, 800u);
  uint32_t hz = 0;
  plat::AudioSetFrequency(b, 0);  // back to the format's own rate
  plat::AudioGetFrequency(b, &hz);
  EXPECT_EQ(hz, 11025u);
}

TEST_F(Mixer, InvalidCallsAreRefusedAndChangeNothing) {
  const std::vector<uint8_t> f = PcmFormat(11025, 8, 1);
  auto with = [&](size_t at, uint16_t v) {
    std::vector<uint8_t> g = f;
    g[at] = static_cast<uint8_t>(v);
    g[at + 1] = static_cast<uint8_t>(v >> 8);
    return g;
  };
  plat::AudioBuffer b = 7;
  struct Create {
    uint32_t flags, bytes;
    std::vector<uint8_t> format;
    uint32_t formatSize;
    int32_t result;
  } creates[] = {
      {kCtrl, 100, f, 15, plat::kAudioErrInvalidParam},  {kCtrl, 3, f, 16, plat::kAudioErrInvalidParam},
      {kCtrl, 0x10000000, f, 16, plat::kAudioErrInvalidParam}, {0x1, 100, f, 16, plat::kAudioErrInvalidParam},
      {kCtrl, 100, with(0, 2), 16, plat::kAudioErrBadFormat},  {kCtrl, 100, with(2, 3), 16, plat::kAudioErrBadFormat},
      {kCtrl, 100, with(14, 12), 16, plat::kAudioErrBadFormat}, {kCtrl, 100, with(12, 2), 16, plat::kAudioErrBadFormat},
      {kCtrl, 100, with(8, 1), 16, plat::kAudioErrBadFormat},  {kCtrl, 100, PcmFormat(99, 8, 1), 16, plat::kAudioErrBadFormat},
      {kCtrl, 100, PcmFormat(100001, 8, 1), 16, plat::kAudioErrBadFormat},
  };
  for (const Create& c : creates) {
    EXPECT_EQ(plat::AudioCreateBuffer(c.flags, c.bytes, c.format.data(), c.formatSize, &b), c.result);
    EXPECT_EQ(b, 0u);
  }
  b = Make(Ramp(10));
  plat::AudioBuffer fixed = 0;
  ASSERT_EQ(plat::AudioCreateBuffer(plat::kAudioStatic, 16, f.data(), 16, &fixed), plat::kAudioOk);
  void *p1 = nullptr, *p2 = nullptr, *q1, *q2;
  uint32_t n1 = 0, n2 = 0, m1, m2;
  const int32_t refused[] = {
      plat::AudioSetVolume(b, 1), plat::AudioSetVolume(b, -10001), plat::AudioSetPan(b, 10001),
      plat::AudioSetPan(b, -10001), plat::AudioSetFrequency(b, 99), plat::AudioSetFrequency(b, 100001),
      plat::AudioSetPosition(b, 10), plat::AudioPlay(b, 2), plat::AudioSetVolume(0, 0),
      plat::AudioLock(b, 10, 1, &p1, &n1, &p2, &n2, 0), plat::AudioLock(b, 0, 0, &p1, &n1, &p2, &n2, 0),
      plat::AudioLock(b, 0, 11, &p1, &n1, &p2, &n2, 0), plat::AudioLock(b, 8, 4, &p1, &n1, nullptr, nullptr, 0),
  };
  for (int32_t r : refused) EXPECT_EQ(r, plat::kAudioErrInvalidParam);
  EXPECT_EQ(plat::AudioSetVolume(fixed, -100), plat::kAudioErrControlUnavailable);
  EXPECT_EQ(plat::AudioSetPan(fixed, 100), plat::kAudioErrControlUnavailable);
  EXPECT_EQ(plat::AudioSetFrequency(fixed, 8000), plat::kAudioErrControlUnavailable);
  // A lock over the end gives two regions holding the current bytes; one lock at a time; Unlock takes
  // only what Lock gave.
  ASSERT_EQ(plat::AudioLock(b, 8, 4, &p1, &n1, &p2, &n2, 0), plat::kAudioOk);
  EXPECT_EQ(std::vector<uint32_t>({n1, n2, static_cast<uint8_t*>(p1)[0], static_cast<uint8_t*>(p2)[1]}),
            std::vector<uint32_t>({2, 2, 8, 1}));
  EXPECT_EQ(plat::AudioLock(b, 0, 1, &q1, &m1, &q2, &m2, 0), plat::kAudioErrInvalidCall);
  std::memset(p1, 128, n1);
  std::memset(p2, 128, n2);
  EXPECT_EQ(plat::AudioUnlock(b, p2, n1, p2, n2), plat::kAudioErrInvalidParam);
  EXPECT_EQ(plat::AudioUnlock(b, p1, n1 + 1, p2, n2), plat::kAudioErrInvalidParam);
  ASSERT_EQ(plat::AudioUnlock(b, p1, n1, p2, n2), plat::kAudioOk);
  EXPECT_EQ(plat::AudioUnlock(b, p1, n1, p2, n2), plat::kAudioErrInvalidCall);
  plat::AudioPlay(b, 0);
  std::vector<uint8_t> heard;
  std::vector<int16_t> out = hl::PullAudio(10);
  for (size_t i = 0; i < 10; ++i) heard.push_back(Heard(out, i));
  EXPECT_EQ(heard, std::vector<uint8_t>({128, 128, 2, 3, 4, 5, 6, 7, 128, 128}));
  int32_t v = 1;
  plat::AudioGetVolume(b, &v);
  EXPECT_EQ(v, 0);
  ASSERT_EQ(plat::AudioReleaseBuffer(b), plat::kAudioOk);
  uint32_t s = 0;
  EXPECT_EQ(plat::AudioGetStatus(b, &s), plat::kAudioErrInvalidParam);
  EXPECT_EQ(plat::AudioReleaseBuffer(b), plat::kAudioErrInvalidParam);
  plat::AudioFormat bad{1, 3, 44100, 176400, 4, 16, 0}, primary{};
  EXPECT_EQ(plat::AudioSetPrimaryFormat(&bad), plat::kAudioErrBadFormat);
  plat::AudioGetPrimaryFormat(&primary);
  EXPECT_NE(primary.channels, 3);
  // Without a device nothing opens; a device closed and opened again plays.
  plat::AudioReleaseDevice();
  EXPECT_FALSE(plat::AudioDeviceReady());
  hl::SetAudioDeviceAvailable(false);
  EXPECT_EQ(plat::AudioCreateDevice(), plat::kAudioErrNoDriver);
  EXPECT_EQ(plat::AudioCreateBuffer(kCtrl, 100, f.data(), 16, &b), plat::kAudioErrInvalidCall);
  Open(11025);
  EXPECT_TRUE(hl::AudioDeviceIsOpen());
}

struct FillLog {
  std::vector<uint32_t> sizes;
  uint8_t next = 0;
  static void Fill(void* user, void* dst, uint32_t bytes) {
    FillLog* log = static_cast<FillLog*>(user);
    log->sizes.push_back(bytes);
    for (uint32_t i = 0; i < bytes; ++i) static_cast<uint8_t*>(dst)[i] = log->next++;
  }
};

TEST_F(Mixer, AFillerRendersEachRegionJustBeforeItIsPlayed) {
  // A circular buffer of 64 frames; the filler writes a counter, so the output must be the counter's
  // values in order, across many wraps, with nothing skipped or written twice.
  plat::AudioBuffer b = Make(std::vector<uint8_t>(64, 128));
  FillLog log;
  plat::AudioSetFiller(b, FillLog::Fill, &log);
  hl::PullAudio(20);
  EXPECT_TRUE(log.sizes.empty());  // not playing: not called
  plat::AudioPlay(b, plat::kAudioPlayLooping);
  for (uint32_t i = 0; i < 20 * 13; i += 13) {
    std::vector<int16_t> out = hl::PullAudio(13);
    for (uint32_t k = 0; k < 13; ++k) ASSERT_EQ(Heard(out, k), static_cast<uint8_t>(i + k)) << i + k;
  }
  for (uint32_t n : log.sizes) EXPECT_LE(n, 64u);
  // At twice the rate it renders twice as much, never more than a pass ahead.
  plat::AudioSetFrequency(b, 22050);
  const uint8_t before = log.next;
  hl::PullAudio(20);
  EXPECT_EQ(static_cast<uint8_t>(log.next - before), 40);
  plat::AudioStop(b);
  const size_t calls = log.sizes.size();
  hl::PullAudio(30);
  plat::AudioPlay(b, plat::kAudioPlayLooping);
  plat::AudioSetFiller(b, nullptr, nullptr);  // removed: never called again
  hl::PullAudio(100);
  EXPECT_EQ(log.sizes.size(), calls);
}

}  // namespace
