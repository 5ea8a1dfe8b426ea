// Mixing cost against SDL_mixer, like for like, at 32 and 128 voices into a 48 kHz 16-bit stereo
// device, one period (1024 frames) at a time. Both mixers are called the same way: in a plain loop on
// this thread, timed by its CPU clock (best of five rounds). SDL_mixer's mixing callback is taken
// from its call to SDL_OpenAudioDevice (wrapped below) and its device is paused, so nothing else
// calls it. The work compared:
//  - same: the same 48 kHz 16-bit stereo bytes per voice (a quarter-second tone, looping), a volume
//    per voice, no pan. SDL_mixer gets the bytes as they are (no conversion); ours plays them at the
//    device rate. Both do one multiply and one add per sample.
//  - pan: as same, plus a pan per voice; SDL_mixer's pan is its separate effect pass (Mix_SetPanning),
//    ours a second gain in the same pass.
//  - 11k: 11025 Hz 8-bit mono sounds, as the game's sound effects are, with volume and pan. SDL_mixer
//    converts them to the device format when they are loaded (not timed); ours resamples with
//    linear interpolation while mixing (timed). So this compares unequal work, in SDL_mixer's favour.
// Volumes and pans are alike but not equal in value (decibels against SDL_mixer's linear scale).
// Ends with "ratio NAME X" lines: our CPU time over SDL_mixer's for the same audio (below 1 is ours
// cheaper). bench/sound_instructions.sh runs it under callgrind for the same comparison in
// instructions, which load does not disturb.
#include <SDL.h>
#include <SDL_mixer.h>
#include <dlfcn.h>
#include <valgrind/valgrind.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/audio.h"
#include "platform/headless/headless_audio.h"

namespace {

constexpr int kDeviceRate = 48000;
constexpr int kPeriod = 1024;
constexpr double kSeconds = 2.0;  // of audio per round

double ThreadCpu() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

struct Work {
  const char* name;
  bool deviceFormat;  // 48 kHz 16-bit stereo, else 11025 Hz 8-bit mono
  bool pan;
};

uint32_t RateOf(const Work& w) { return w.deviceFormat ? kDeviceRate : 11025; }

// A quarter second of a tone per voice, in the work's format.
std::vector<uint8_t> Tone(const Work& w, int voice) {
  const uint32_t rate = RateOf(w);
  const size_t frames = rate / 4;
  const double hz = 110.0 * std::pow(2.0, (voice % 48) / 12.0);
  std::vector<uint8_t> s(frames * (w.deviceFormat ? 4 : 1));
  for (size_t i = 0; i < frames; ++i) {
    double v = std::sin(2 * M_PI * hz * i / rate);
    if (w.deviceFormat) {
      int16_t l = static_cast<int16_t>(9000 * v), r = static_cast<int16_t>(7000 * v);
      std::memcpy(&s[4 * i], &l, 2);
      std::memcpy(&s[4 * i + 2], &r, 2);
    } else {
      s[i] = static_cast<uint8_t>(128 + 40 * v);
    }
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
  u32(24, 11025);
  u32(28, 11025);
  u16(32, 1);
  u16(34, 8);
  std::memcpy(&v[36], "data", 4);
  u32(40, static_cast<uint32_t>(samples.size()));
  std::memcpy(&v[44], samples.data(), samples.size());
  return v;
}

void StartOurVoices(const Work& w, int voices) {
  for (int i = 0; i < voices; ++i) {
    std::vector<uint8_t> s = Tone(w, i);
    const uint16_t channels = w.deviceFormat ? 2 : 1, bits = w.deviceFormat ? 16 : 8;
    const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
    plat::AudioFormat f{1, channels, RateOf(w), RateOf(w) * align, align, bits, 0};
    plat::AudioBuffer b = 0;
    if (plat::AudioCreateBuffer(0xE2, static_cast<uint32_t>(s.size()), &f, 16, &b) != plat::kAudioOk) {
      std::fprintf(stderr, "buffer creation failed\n");
      std::exit(1);
    }
    void *p1, *p2;
    uint32_t n1, n2;
    plat::AudioLock(b, 0, static_cast<uint32_t>(s.size()), &p1, &n1, &p2, &n2, 0);
    std::memcpy(p1, s.data(), n1);
    plat::AudioUnlock(b, p1, n1, p2, n2);
    plat::AudioSetVolume(b, -(i % 8) * 300);
    if (w.pan) plat::AudioSetPan(b, (i % 5 - 2) * 1000);
    plat::AudioPlay(b, plat::kAudioPlayLooping);
  }
}

// SDL_mixer's callback, caught as it opens its device.
SDL_AudioCallback TheirCallback = nullptr;
void* TheirUserdata = nullptr;
SDL_AudioDeviceID TheirDevice = 0;

std::vector<int16_t> Out(kPeriod * 2);

// One function per comparison (Id), so that an instruction count per function is one per comparison.
template <int Id>
__attribute__((noinline)) void MixOursOnce() {
  plat::AudioMix(Out.data(), kPeriod);
}
template <int Id>
__attribute__((noinline)) void MixTheirsOnce() {
  TheirCallback(TheirUserdata, reinterpret_cast<Uint8*>(Out.data()), kPeriod * 4);
}
using MixFn = void (*)();
constexpr MixFn OursOnce[] = {MixOursOnce<0>, MixOursOnce<1>, MixOursOnce<2>,
                              MixOursOnce<3>, MixOursOnce<4>, MixOursOnce<5>};
constexpr MixFn TheirsOnce[] = {MixTheirsOnce<0>, MixTheirsOnce<1>, MixTheirsOnce<2>,
                                MixTheirsOnce<3>, MixTheirsOnce<4>, MixTheirsOnce<5>};

// CPU seconds per second of audio: best of five rounds of kSeconds of audio each (under valgrind,
// where only instructions count, one round of a quarter of that, after the same warm-up).
double Measure(MixFn mixOnce) {
  const bool valgrind = RUNNING_ON_VALGRIND;
  const long periods = static_cast<long>(kDeviceRate * kSeconds / kPeriod) / (valgrind ? 4 : 1);
  for (long i = 0; i < periods / 4; ++i) mixOnce();
  double best = 1e300;
  for (int round = 0; round < (valgrind ? 1 : 5); ++round) {
    double t0 = ThreadCpu();
    for (long i = 0; i < periods; ++i) mixOnce();
    best = std::min(best, ThreadCpu() - t0);
  }
  return best / (periods * static_cast<double>(kPeriod) / kDeviceRate);
}

double Ours(const Work& w, int voices, int id) {
  plat::AudioCreateDevice();
  StartOurVoices(w, voices);
  double t = Measure(OursOnce[id]);
  plat::AudioReleaseDevice();
  return t;
}

double Theirs(const Work& w, int voices, int id) {
  if (Mix_OpenAudioDevice(kDeviceRate, AUDIO_S16SYS, 2, kPeriod, nullptr, 0) != 0) {
    std::fprintf(stderr, "Mix_OpenAudioDevice: %s\n", Mix_GetError());
    std::exit(1);
  }
  if (TheirCallback == nullptr || TheirDevice == 0) {
    std::fprintf(stderr, "SDL_mixer's mixing callback was not caught\n");
    std::exit(1);
  }
  SDL_PauseAudioDevice(TheirDevice, 1);
  Mix_AllocateChannels(voices);
  std::vector<std::vector<uint8_t>> data;
  std::vector<Mix_Chunk*> chunks;
  for (int i = 0; i < voices; ++i) {
    Mix_Chunk* c;
    if (w.deviceFormat) {
      data.push_back(Tone(w, i));
      c = Mix_QuickLoad_RAW(data.back().data(), static_cast<Uint32>(data.back().size()));
    } else {
      std::vector<uint8_t> img = WaveImage(Tone(w, i));
      c = Mix_LoadWAV_RW(SDL_RWFromConstMem(img.data(), static_cast<int>(img.size())), 1);
    }
    if (!c) {
      std::fprintf(stderr, "loading a chunk: %s\n", Mix_GetError());
      std::exit(1);
    }
    chunks.push_back(c);
    Mix_PlayChannel(i, c, -1);
    Mix_Volume(i, MIX_MAX_VOLUME * (8 - i % 8) / 8);
    if (w.pan) {
      Mix_SetPanning(i, static_cast<Uint8>(127 - (i % 5 - 2) * 50), static_cast<Uint8>(127 + (i % 5 - 2) * 50));
    }
  }
  double t = Measure(TheirsOnce[id]);
  Mix_CloseAudio();
  for (Mix_Chunk* c : chunks) Mix_FreeChunk(c);
  TheirCallback = nullptr;
  TheirDevice = 0;
  return t;
}

}  // namespace

// SDL_mixer opens its device through this wrapper, which keeps its callback and forwards to SDL.
extern "C" SDL_AudioDeviceID SDL_OpenAudioDevice(const char* device, int iscapture, const SDL_AudioSpec* desired,
                                                 SDL_AudioSpec* obtained, int allowed_changes) {
  using Open = SDL_AudioDeviceID (*)(const char*, int, const SDL_AudioSpec*, SDL_AudioSpec*, int);
  static Open real = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "SDL_OpenAudioDevice"));
  SDL_AudioDeviceID id = real(device, iscapture, desired, obtained, allowed_changes);
  if (id != 0 && desired != nullptr) {
    TheirCallback = desired->callback;
    TheirUserdata = desired->userdata;
    TheirDevice = id;
  }
  return id;
}

int main() {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  if (SDL_Init(SDL_INIT_AUDIO) != 0) {
    std::fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
    return 1;
  }
  // Our mixer's device is the headless one, which only has to open; this thread pulls the mix.
  plat::headless::SetAudioDeviceRate(kDeviceRate);
  plat::headless::SetAudioPeriodFrames(kPeriod);

  const Work works[] = {{"same", true, false}, {"pan", true, true}, {"11k", false, true}};
  std::vector<std::string> ratios;
  std::printf("Both mixers called in a loop, %d frames a call, into 48 kHz 16-bit stereo:\n"
              "  same: identical 48 kHz 16-bit stereo sounds, a volume each, no pan\n"
              "  pan:  as same, plus a pan each (SDL_mixer: its Mix_SetPanning effect pass)\n"
              "  11k:  11025 Hz 8-bit mono sounds, volume and pan; SDL_mixer converted them when loading\n"
              "        (untimed), ours resamples while mixing (timed)\n",
              kPeriod);
  std::printf("CPU time per second of audio, %% of one core (best of 5 x %.0f s of audio)\n", kSeconds);
  int id = 0;
  for (const Work& w : works) {
    for (int voices : {32, 128}) {
      double ours = Ours(w, voices, id);
      double theirs = Theirs(w, voices, id);
      ++id;
      std::printf("%-4s %3d voices: ours %.3f %%   SDL_mixer %.3f %%\n", w.name, voices, 100 * ours, 100 * theirs);
      char line[96];
      std::snprintf(line, sizeof line, "ratio sound_mix_%s_%d %.3f", w.name, voices, ours / theirs);
      ratios.push_back(line);
    }
  }
  for (const std::string& r : ratios) std::printf("%s\n", r.c_str());
  SDL_Quit();
  return 0;
}
