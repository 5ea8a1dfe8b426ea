// The mixer pulled on a thread of its own, as the host's audio callback pulls it, while the program's
// thread loads, plays, pauses, frees and reloads sound objects, streams a pack entry, runs the media
// stream and sets the sound module up again. Also run under ThreadSanitizer (test.sh).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <random>
#include <set>
#include <thread>

#include "el/elStream.h"
#include "tests/support/sound_support.h"

using namespace soundtest;

namespace {

constexpr uint32_t kPass = 256;  // frames a pass, as a device period
constexpr int kMixed = 1 << 20;

// Pulls passes until destroyed, counting the samples outside allowed while checking is on.
class Puller {
 public:
  explicit Puller(std::set<int> allowed) : allowed_(std::move(allowed)), thread_([this] { Run(); }) {}
  ~Puller() { stop_ = true, thread_.join(); }
  // Waits until n passes have begun and ended after the call; the value of every sample of the last
  // of them (kMixed when they differ).
  int After(uint64_t n) {
    for (const uint64_t target = passes_ + n; passes_ < target;) std::this_thread::yield();
    std::lock_guard<std::mutex> lock(mutex_);
    return uniform_;
  }
  // Whether some pass after the call sounds, within a second of sound.
  bool Sounds() {
    for (int k = 0; k < 40; ++k) {
      if (After(1) != 0) return true;
    }
    return false;
  }
  // Microseconds to rest after each pass: a device's pace, slowed down (0: as fast as it goes).
  void Pace(int us) { pace_ = us; }
  // The strays so far; from now on counted only when on.
  uint64_t Strays(bool on) {
    std::lock_guard<std::mutex> lock(mutex_);
    return checking_ = on, strays_;
  }

 private:
  void Run() {
    std::vector<int16_t> out(2 * kPass);
    while (!stop_) {
      plat::AudioMix(out.data(), kPass);
      std::lock_guard<std::mutex> lock(mutex_);
      uniform_ = out[0];
      for (int16_t v : out) strays_ += checking_ && !allowed_.count(v), uniform_ = v == uniform_ ? v : kMixed;
      ++passes_;
      if (pace_) std::this_thread::sleep_for(std::chrono::microseconds(pace_));
    }
  }
  const std::set<int> allowed_;
  std::atomic<bool> stop_{false};
  std::atomic<uint64_t> passes_{0};
  std::atomic<int> pace_{0};
  std::mutex mutex_;
  bool checking_ = true;
  int uniform_ = 0;
  uint64_t strays_ = 0;
  std::thread thread_;
};

TEST(SoundThreads, TheProgramsCallsRaceTheMixerWithoutTearingIt) {
  Fresh(11025);
  const std::string dir = ProgDir() + "sndtest_threads";
  mkdir(dir.c_str(), 0755);
  // Constant waves: a of 256 with three buffers, b of 1024 with two, the stream of 4096. Whatever the
  // interleaving, every output sample is a sum of whole voices (silenced or panned away voices add 0).
  WriteFile(ProgDir() + "sndtest_a.wav", Wave(std::vector<uint8_t>(3000, 129)));
  WriteFile(dir + "/b.wav", Wave(std::vector<uint8_t>(2000, 132)));
  WriteFile(dir + "/long.wav", Wave(std::vector<uint8_t>(11025 * 6, 144)));
  ASSERT_EQ(elSound::MakePack("sndtest_threads.pak", "sndtest_threads", 1), 1);
  elSound::SetPackFile("sndtest_threads.pak");
  std::set<int> allowed;
  for (int k = 0; k < 4 * 3 * 2; ++k) allowed.insert(256 * (k % 4) + 1024 * (k / 4 % 3) + 4096 * (k / 12));
  int a = elSound::LoadObject("sndtest_a.wav", 3);
  const int b = elSound::LoadPack("b.wav", 2), s = elSound::LoadStream("long.wav", 11025);
  ASSERT_EQ(std::vector<int>({a, b, s}), std::vector<int>({0, 1, 2}));
  {
    Puller puller(allowed);
    std::mt19937 rng(5);
    for (int step = 0; step < 400; ++step) {
      switch (rng() % 12) {
        case 0: elSound::Play(a, -1); break;
        case 1: elSound::PlayLoop(b, -1); break;
        case 2: elSound::Pause(a, -1); break;
        case 3: elSound::Stop(b, -1); break;
        case 4: elSound::ReleaseObject(a), a = elSound::LoadObject("sndtest_a.wav", 3); break;
        case 5: elSound::SetVolume(a, rng() % 2 ? 0 : -100, -1); break;
        case 6: (rng() % 2 ? elSound::PanLeft : elSound::PanRight)(b, -1); break;
        case 7: elSound::PlayLoop(s, -1); break;
        case 8: elSound::Stop(s, -1); break;
        case 9: elSound::Pause(s, -1); break;
        case 10: rng() % 8 ? elSound::ResetPan(b, -1) : elSound::Restore(); break;
        default: EXPECT_EQ(elSound::SelectFormat(2, 22, 16), 1); break;
      }
      elSound::Streaming();
    }
    // A burst of level changes on sounding buffers, as a fade or a sweep makes.
    elSound::PlayLoop(a, -1), elSound::PlayLoop(b, -1);
    for (int i = 0; i < 2000; ++i) {
      elSound::SetVolume(a, i % 2 ? 0 : -100, -1);
      (i % 3 ? elSound::PanLeft : elSound::PanRight)(b, -1);
    }
    for (int o : {a, b, s}) elSound::Stop(o, -1);
    EXPECT_EQ(puller.After(2), 0);  // everything stopped: the passes begun afterwards are silent
    elSound::ResetVolume(a, -1), elSound::PlayLoop(a, 0);
    EXPECT_EQ(puller.After(2), 256);  // one buffer of a at full volume: its sample, exactly
    elSound::Stop(a, -1);
    EXPECT_EQ(puller.Strays(false), 0u);

    // The media stream's sound is decoded on the mixing thread: no fixed set of values there. Paced, so
    // that the tune does not run out meanwhile (23 ms of sound every 2 ms).
    puller.Pace(2000);
    elStream::Init();
    ASSERT_EQ(elStream::LoadObject("titlebgm.mp3", 1), 1);  // the title tune, beside the executable
    EXPECT_EQ(elStream::GetState(), 3);
    elStream::Play();
    EXPECT_TRUE(elStream::GetState() == 1 && puller.Sounds());
    elStream::Forward(100), elStream::Pause();
    EXPECT_EQ(elStream::GetState(), 2);
    EXPECT_EQ(puller.After(2), 0);
    elStream::Pause();
    elSound::Restore();  // the device goes from under the stream; its sound comes back on a new one
    elStream::Backward(50);
    EXPECT_TRUE(puller.Sounds());
    elStream::Stop();
    EXPECT_EQ(elStream::GetState(), 3);
    EXPECT_EQ(puller.After(2), 0);
    ASSERT_EQ(elStream::LoadObject("titlebgm.mp3", 1), 1);  // opened again while the mixer pulls
    elStream::Play(), elStream::ReleaseObject();
    EXPECT_EQ(elStream::GetState(), 0);
    EXPECT_EQ(puller.After(2), 0);
  }
  elSound::Release();
  for (const char* f : {"sndtest_a.wav", "sndtest_threads.pak", "sndtest_threads/b.wav", "sndtest_threads/long.wav",
                        "sndtest_threads"}) {
    std::remove((ProgDir() + f).c_str());  // (the directory last, once empty)
  }
}

}  // namespace
