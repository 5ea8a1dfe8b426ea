// Mixing cost: 32 voices of 11025 Hz 8-bit mono into a 48 kHz 16-bit stereo device for 10 seconds
// of audio, as CPU time over the audio's duration. Our mixer and SDL_mixer each run from the audio
// thread of an SDL device on the dummy driver (paced in real time, nothing heard), and each is timed
// by that thread's own CPU clock read in the mixing callback, so both carry the same driver overhead.
// Our mixer is also timed on its own, called in a plain loop. Run by hand: ./build/sound_bench
#include <SDL.h>
#include <SDL_mixer.h>
#include <time.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/audio.h"
#include "platform/headless/headless_audio.h"

namespace {

constexpr int kVoices = 32;
constexpr int kDeviceRate = 48000;
constexpr int kPeriod = 1024;
constexpr double kSeconds = 10.0;
constexpr uint32_t kSampleRate = 11025;

double ThreadCpu() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

// One second of a tone per voice, 8-bit unsigned.
std::vector<uint8_t> Tone(int voice) {
  std::vector<uint8_t> s(kSampleRate);
  double hz = 110.0 * std::pow(2.0, voice / 12.0);
  for (size_t i = 0; i < s.size(); ++i) {
    s[i] = static_cast<uint8_t>(128 + 40 * std::sin(2 * M_PI * hz * i / kSampleRate));
  }
  return s;
}

std::vector<uint8_t> WaveImage(const std::vector<uint8_t>& samples) {
  std::vector<uint8_t> v(44 + samples.size());
  auto u32 = [&](size_t at, uint32_t x) { std::memcpy(&v[at], &x, 4); };
  auto u16 = [&](size_t at, uint16_t x) { std::memcpy(&v[at], &x, 2); };
  std::memcpy(&v[0], "RIFF", 4);
  u32(4, static_cast<uint32_t>(36 + samples.size()));
  std::memcpy(&v[8], "WAVEfmt ", 8);
  u32(16, 16);
  u16(20, 1);
  u16(22, 1);
  u32(24, kSampleRate);
  u32(28, kSampleRate);
  u16(32, 1);
  u16(34, 8);
  std::memcpy(&v[36], "data", 4);
  u32(40, static_cast<uint32_t>(samples.size()));
  std::memcpy(&v[44], samples.data(), samples.size());
  return v;
}

void StartOurVoices() {
  for (int i = 0; i < kVoices; ++i) {
    std::vector<uint8_t> s = Tone(i);
    uint8_t fmt[16];
    uint16_t h[8] = {1, 1, 0, 0, 0, 0, 1, 8};
    std::memcpy(fmt, h, 16);
    uint32_t rate = kSampleRate;
    std::memcpy(fmt + 4, &rate, 4);
    std::memcpy(fmt + 8, &rate, 4);
    plat::AudioBuffer b = 0;
    if (plat::AudioCreateBuffer(0xE2, static_cast<uint32_t>(s.size()), fmt, 16, &b) != plat::kAudioOk) {
      std::fprintf(stderr, "buffer creation failed\n");
      std::exit(1);
    }
    void *p1, *p2;
    uint32_t n1, n2;
    plat::AudioLock(b, 0, static_cast<uint32_t>(s.size()), &p1, &n1, &p2, &n2, 0);
    std::memcpy(p1, s.data(), n1);
    plat::AudioUnlock(b, p1, n1, p2, n2);
    plat::AudioSetVolume(b, -(i % 8) * 300);
    plat::AudioSetPan(b, (i % 5 - 2) * 1000);
    plat::AudioPlay(b, plat::kAudioPlayLooping);
  }
}

struct Timing {
  std::atomic<bool> armed{false};
  std::atomic<long> frames{0};
  std::atomic<double> cpuAtStart{-1};
  std::atomic<double> cpuNow{0};
};
Timing OurTiming, MixTiming;

void Note(Timing& t, long frames) {
  if (!t.armed) return;
  double now = ThreadCpu();
  double expect = -1;
  t.cpuAtStart.compare_exchange_strong(expect, now);
  t.cpuNow = now;
  t.frames += frames;
}

void OurCallback(void*, Uint8* stream, int len) {
  // Timed from the end of the first pass: the thread's start-up is not mixing.
  plat::AudioMix(reinterpret_cast<int16_t*>(stream), static_cast<uint32_t>(len) / 4);
  Note(OurTiming, len / 4);
}

void MixPostHook(void*, Uint8*, int len) { Note(MixTiming, len / 4); }

void WaitFor(Timing& t) {
  while (t.frames < kDeviceRate * kSeconds) SDL_Delay(50);
}

double Fraction(const Timing& t) {
  double audio = static_cast<double>(t.frames - kPeriod) / kDeviceRate;
  return (t.cpuNow - t.cpuAtStart) / audio;
}

}  // namespace

int main() {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  if (SDL_Init(SDL_INIT_AUDIO) != 0) {
    std::fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
    return 1;
  }

  // 1. Our mixer alone, in a loop (the headless device only has to open).
  plat::headless::SetAudioDeviceRate(kDeviceRate);
  plat::headless::SetAudioPeriodFrames(kPeriod);
  plat::AudioCreateDevice();
  StartOurVoices();
  std::vector<int16_t> out(kPeriod * 2);
  const long periods = static_cast<long>(kDeviceRate * kSeconds / kPeriod);
  double t0 = ThreadCpu();
  for (long i = 0; i < periods; ++i) plat::AudioMix(out.data(), kPeriod);
  double loop = ThreadCpu() - t0;
  double audio = periods * static_cast<double>(kPeriod) / kDeviceRate;
  std::printf("our mixer, plain loop:        %7.3f ms CPU for %.2f s of audio = %.4f %% of real time\n",
              loop * 1e3, audio, 100 * loop / audio);

  // 2. Our mixer from an SDL device's audio thread.
  SDL_AudioSpec want{}, have{};
  want.freq = kDeviceRate;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = kPeriod;
  want.callback = OurCallback;
  SDL_AudioDeviceID dev = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (dev == 0) {
    std::fprintf(stderr, "SDL_OpenAudioDevice: %s\n", SDL_GetError());
    return 1;
  }
  OurTiming.armed = true;
  SDL_PauseAudioDevice(dev, 0);
  WaitFor(OurTiming);
  SDL_CloseAudioDevice(dev);
  plat::AudioReleaseDevice();
  std::printf("our mixer, SDL audio thread:  %7.3f ms CPU for %.2f s of audio = %.4f %% of real time\n",
              (OurTiming.cpuNow - OurTiming.cpuAtStart) * 1e3,
              static_cast<double>(OurTiming.frames - kPeriod) / kDeviceRate, 100 * Fraction(OurTiming));

  // 3. SDL_mixer with the same voices (its chunks are converted to the device format when loaded).
  if (Mix_OpenAudioDevice(kDeviceRate, AUDIO_S16SYS, 2, kPeriod, nullptr, 0) != 0) {
    std::fprintf(stderr, "Mix_OpenAudioDevice: %s\n", Mix_GetError());
    return 1;
  }
  Mix_AllocateChannels(kVoices);
  std::vector<Mix_Chunk*> chunks;
  Mix_SetPostMix(MixPostHook, nullptr);
  Mix_Pause(-1);
  for (int i = 0; i < kVoices; ++i) {
    std::vector<uint8_t> img = WaveImage(Tone(i));
    Mix_Chunk* c = Mix_LoadWAV_RW(SDL_RWFromConstMem(img.data(), static_cast<int>(img.size())), 1);
    if (!c) {
      std::fprintf(stderr, "Mix_LoadWAV_RW: %s\n", Mix_GetError());
      return 1;
    }
    chunks.push_back(c);
    Mix_PlayChannel(i, c, -1);
    Mix_Volume(i, MIX_MAX_VOLUME * (8 - i % 8) / 8);
    Mix_SetPanning(i, static_cast<Uint8>(127 - (i % 5 - 2) * 50), static_cast<Uint8>(127 + (i % 5 - 2) * 50));
  }
  Mix_Resume(-1);
  MixTiming.armed = true;
  WaitFor(MixTiming);
  Mix_CloseAudio();
  for (Mix_Chunk* c : chunks) Mix_FreeChunk(c);
  std::printf("SDL_mixer, SDL audio thread:  %7.3f ms CPU for %.2f s of audio = %.4f %% of real time\n",
              (MixTiming.cpuNow - MixTiming.cpuAtStart) * 1e3,
              static_cast<double>(MixTiming.frames - kPeriod) / kDeviceRate, 100 * Fraction(MixTiming));
  SDL_Quit();
  return 0;
}
