// The portable mixer behind platform/audio.h. The backend's audio thread pulls AudioMix; everything
// else runs on the program's thread. State is guarded by Mutex; FillMutex is held for a whole mix pass
// so that fillers never run concurrently with their removal (lock order: FillMutex, then Mutex).
#include "platform/audio.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace plat {
namespace {

using FillFn = void (*)(void*, void*, uint32_t);

struct Buffer {
  uint32_t flags = 0;
  AudioFormat format{};
  std::vector<uint8_t> data;  // never resized after creation
  uint32_t frames = 0;        // whole sample frames in data
  bool playing = false;
  bool looping = false;
  uint64_t pos = 0;  // play position in frames, 32.32 fixed point
  uint32_t frequency = 0;
  int32_t volume = 0;
  int32_t pan = 0;
  float gainLeft = 1.0f;
  float gainRight = 1.0f;
  FillFn fill = nullptr;
  void* fillUser = nullptr;
  uint32_t fillAhead = 0;  // frames from the play frame on that the filler has already rendered
  bool locked = false;
  std::vector<uint8_t> stage;  // the locked regions, copied back at unlock
  uint32_t lockOffset = 0, lockBytes1 = 0, lockBytes2 = 0;
};

std::mutex Mutex;
std::mutex FillMutex;
bool DeviceOpen = false;
uint32_t DeviceRate = 48000;
uint32_t PeriodFrames = 0;
AudioFormat Primary{1, 2, 22050, 44100, 2, 8, 0};
AudioBuffer NextId = 1;
std::unordered_map<AudioBuffer, std::unique_ptr<Buffer>> Buffers;
std::vector<float> Accum;  // mixing thread only (under FillMutex)

struct FillTask {
  FillFn fill;
  void* user;
  uint8_t* dst1;
  uint32_t bytes1;
  uint8_t* dst2;
  uint32_t bytes2;
};
std::vector<FillTask> FillTasks;  // mixing thread only

Buffer* Find(AudioBuffer id) {
  auto it = Buffers.find(id);
  return it == Buffers.end() ? nullptr : it->second.get();
}

// Hundredths of a decibel to a linear factor; -10000 and below is exact silence.
float DbToGain(int32_t hundredths) {
  if (hundredths <= kAudioVolumeMin) return 0.0f;
  if (hundredths >= 0) return 1.0f;
  return static_cast<float>(std::pow(10.0, hundredths / 2000.0));
}

void UpdateGains(Buffer& b) {
  float g = DbToGain(b.volume);
  float left = g, right = g;
  if (b.pan > 0) left *= DbToGain(-b.pan);
  if (b.pan < 0) right *= DbToGain(b.pan);
  b.gainLeft = left;
  b.gainRight = right;
}

bool ValidFormat(const AudioFormat& f) {
  if (f.formatTag != 1) return false;
  if (f.channels != 1 && f.channels != 2) return false;
  if (f.bitsPerSample != 8 && f.bitsPerSample != 16) return false;
  if (f.blockAlign != f.channels * (f.bitsPerSample / 8)) return false;
  if (f.samplesPerSec < kAudioMinFrequency || f.samplesPerSec > kAudioMaxFrequency) return false;
  return f.avgBytesPerSec == f.samplesPerSec * f.blockAlign;
}

uint64_t StepFor(const Buffer& b) { return (static_cast<uint64_t>(b.frequency) << 32) / DeviceRate; }

// Frames the next pass of frames output frames will read, the interpolation's look-ahead included.
uint32_t FramesNeeded(const Buffer& b, uint32_t frames) {
  uint64_t span = ((b.pos & 0xFFFFFFFFu) + StepFor(b) * frames) >> 32;
  return static_cast<uint32_t>(std::min<uint64_t>(span + 2, b.frames));
}

inline float Sample16(const uint8_t* p) {
  int16_t s;
  std::memcpy(&s, p, 2);
  return s;
}

// One sample frame as floats on the 16-bit scale.
template <int Bits, int Channels>
inline void Fetch(const uint8_t* d, uint32_t i, float& l, float& r) {
  if constexpr (Bits == 8) {
    if constexpr (Channels == 1) {
      l = r = static_cast<float>((static_cast<int>(d[i]) - 128) * 256);
    } else {
      l = static_cast<float>((static_cast<int>(d[2 * i]) - 128) * 256);
      r = static_cast<float>((static_cast<int>(d[2 * i + 1]) - 128) * 256);
    }
  } else {
    if constexpr (Channels == 1) {
      l = r = Sample16(d + 2 * i);
    } else {
      l = Sample16(d + 4 * i);
      r = Sample16(d + 4 * i + 2);
    }
  }
}

// Adds k frames from frame first on to acc when the buffer plays at the device's rate from a whole
// frame (and none of them is the buffer's last): the interpolation weight is 0 throughout, so each
// frame is the sample times the gain, bit for bit what MixVoice's interpolation gives (l0 + (l1 - l0)
// * 0 is l0 exactly). Sounds recorded at the device rate are common, so this gets four frames a step
// where SSE2 is there.
template <int Bits, int Channels>
inline void MixUnit(const uint8_t* d, uint32_t first, float gl, float gr, float* acc, uint32_t k) {
  uint32_t i = 0;
#if defined(__SSE2__)
  const __m128 gain = _mm_setr_ps(gl, gr, gl, gr);
  const __m128i zero = _mm_setzero_si128();
  for (; i + 4 <= k; i += 4) {
    __m128 lo, hi;  // frames i, i+1 and i+2, i+3 as left, right pairs
    if constexpr (Bits == 16 && Channels == 2) {
      __m128i s;
      std::memcpy(&s, d + 4 * (first + i), 16);
      lo = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(s, s), 16));
      hi = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpackhi_epi16(s, s), 16));
    } else if constexpr (Bits == 16) {
      int64_t raw;
      std::memcpy(&raw, d + 2 * (first + i), 8);
      __m128i s = _mm_cvtsi64_si128(raw);
      __m128 v = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(s, s), 16));
      lo = _mm_unpacklo_ps(v, v);
      hi = _mm_unpackhi_ps(v, v);
    } else {
      // (byte - 128) * 256 as a signed 16-bit value; stereo has 8 bytes for 4 frames, mono 4.
      __m128i s;
      if constexpr (Channels == 2) {
        int64_t raw;
        std::memcpy(&raw, d + 2 * (first + i), 8);
        s = _mm_cvtsi64_si128(raw);
      } else {
        int32_t raw;
        std::memcpy(&raw, d + (first + i), 4);
        s = _mm_cvtsi32_si128(raw);
      }
      s = _mm_slli_epi16(_mm_sub_epi16(_mm_unpacklo_epi8(s, zero), _mm_set1_epi16(128)), 8);
      if constexpr (Channels == 2) {
        lo = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(s, s), 16));
        hi = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpackhi_epi16(s, s), 16));
      } else {
        __m128 v = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(s, s), 16));
        lo = _mm_unpacklo_ps(v, v);
        hi = _mm_unpackhi_ps(v, v);
      }
    }
    float* a = acc + 2 * i;
    _mm_storeu_ps(a, _mm_add_ps(_mm_loadu_ps(a), _mm_mul_ps(lo, gain)));
    _mm_storeu_ps(a + 4, _mm_add_ps(_mm_loadu_ps(a + 4), _mm_mul_ps(hi, gain)));
  }
#endif
  for (; i < k; ++i) {
    float l, r;
    Fetch<Bits, Channels>(d, first + i, l, r);
    acc[2 * i] += l * gl;
    acc[2 * i + 1] += r * gr;
  }
}

// A position at or past the buffer's end: a buffer played once stops and goes back to 0 (false);
// a looping one wraps, counting the frames it went through.
inline bool WrapAround(Buffer& b, uint64_t& pos, uint64_t& consumed) {
  if (!b.looping) {
    b.playing = false;
    b.pos = 0;
    b.fillAhead = 0;
    return false;
  }
  const uint64_t end = static_cast<uint64_t>(b.frames) << 32;
  while (pos >= end) pos -= end, consumed += b.frames;  // a step may be above the buffer length
  return true;
}

// After a mixing loop: wraps a position left at the end, stores it, and takes the frames gone by
// from those filled ahead.
inline void Settle(Buffer& b, uint64_t pos, uint64_t startFrame, uint64_t consumed) {
  if (pos >= static_cast<uint64_t>(b.frames) << 32 && !WrapAround(b, pos, consumed)) return;
  consumed += (pos >> 32);
  consumed -= startFrame;
  b.pos = pos;
  b.fillAhead = b.fillAhead > consumed ? static_cast<uint32_t>(b.fillAhead - consumed) : 0;
}

// Adds one frame, interpolated between the frame at pos and the next, into acc[0..1].
template <int Bits, int Channels>
inline void MixFrame(const Buffer& b, const uint8_t* d, uint64_t pos, float gl, float gr, float* acc) {
  const uint32_t n = b.frames;
  uint32_t idx = static_cast<uint32_t>(pos >> 32);
  uint32_t next = idx + 1 < n ? idx + 1 : (b.looping ? 0 : idx);
  float frac = static_cast<float>(pos & 0xFFFFFFFFu) * (1.0f / 4294967296.0f);
  float l0, r0, l1, r1;
  Fetch<Bits, Channels>(d, idx, l0, r0);
  Fetch<Bits, Channels>(d, next, l1, r1);
  acc[0] += (l0 + (l1 - l0) * frac) * gl;
  acc[1] += (r0 + (r1 - r0) * frac) * gr;
}

// Adds the buffer into acc (stereo) for frames frames with linear interpolation and moves its
// position on; a buffer played once stops at its end and goes back to 0.
template <int Bits, int Channels>
void MixVoiceAny(Buffer& b, float* acc, uint32_t frames) {
  const uint8_t* d = b.data.data();
  const uint32_t n = b.frames;
  const uint64_t end = static_cast<uint64_t>(n) << 32;
  const uint64_t step = StepFor(b);
  const float gl = b.gainLeft, gr = b.gainRight;
  uint64_t pos = b.pos;
  const uint64_t startFrame = pos >> 32;
  uint64_t consumed = 0;
  for (uint32_t i = 0; i < frames; ++i) {
    if (pos >= end && !WrapAround(b, pos, consumed)) return;
    MixFrame<Bits, Channels>(b, d, pos, gl, gr, acc + 2 * static_cast<size_t>(i));
    pos += step;
  }
  Settle(b, pos, startFrame, consumed);
}

// MixVoiceAny for a buffer at the device rate from a whole frame: the frames up to the buffer's last
// go in runs (MixUnit), the rest as MixVoiceAny does them. Elsewhere MixVoiceAny's plain loop stays:
// wrap-free runs with interpolation ran fewer instructions but measured slower.
template <int Bits, int Channels>
void MixVoiceUnit(Buffer& b, float* acc, uint32_t frames) {
  const uint8_t* d = b.data.data();
  const uint32_t n = b.frames;
  const uint64_t end = static_cast<uint64_t>(n) << 32;
  const uint64_t safeEnd = static_cast<uint64_t>(n - 1) << 32;  // below it, frame idx + 1 exists
  const uint64_t step = StepFor(b);
  const float gl = b.gainLeft, gr = b.gainRight;
  uint64_t pos = b.pos;
  const uint64_t startFrame = pos >> 32;
  uint64_t consumed = 0;
  uint32_t i = 0;
  while (i < frames) {
    if (pos >= end && !WrapAround(b, pos, consumed)) return;
    if (pos < safeEnd) {
      const uint32_t run = std::min(static_cast<uint32_t>((safeEnd - pos) >> 32), frames - i);
      MixUnit<Bits, Channels>(d, static_cast<uint32_t>(pos >> 32), gl, gr, acc + 2 * static_cast<size_t>(i), run);
      pos += step * run;
      i += run;
      continue;
    }
    MixFrame<Bits, Channels>(b, d, pos, gl, gr, acc + 2 * static_cast<size_t>(i));
    pos += step;
    ++i;
  }
  Settle(b, pos, startFrame, consumed);
}

template <int Bits, int Channels>
void MixVoice(Buffer& b, float* acc, uint32_t frames) {
  if (StepFor(b) == (uint64_t{1} << 32) && (b.pos & 0xFFFFFFFFu) == 0) {
    MixVoiceUnit<Bits, Channels>(b, acc, frames);
  } else {
    MixVoiceAny<Bits, Channels>(b, acc, frames);
  }
}

void MixBuffer(Buffer& b, float* acc, uint32_t frames) {
  bool stereo = b.format.channels == 2;
  if (b.format.bitsPerSample == 8) {
    stereo ? MixVoice<8, 2>(b, acc, frames) : MixVoice<8, 1>(b, acc, frames);
  } else {
    stereo ? MixVoice<16, 2>(b, acc, frames) : MixVoice<16, 1>(b, acc, frames);
  }
}

// Collects the regions the fillers must render before this pass reads them (under Mutex).
void CollectFills(uint32_t frames) {
  FillTasks.clear();
  for (auto& [id, bp] : Buffers) {
    Buffer& b = *bp;
    if (!b.fill || !b.playing || !b.looping) continue;
    uint32_t need = FramesNeeded(b, frames);
    if (b.fillAhead >= need) continue;
    uint32_t ba = b.format.blockAlign;
    uint32_t start = static_cast<uint32_t>(((b.pos >> 32) + b.fillAhead) % b.frames);
    uint32_t count = need - b.fillAhead;
    uint32_t first = std::min(count, b.frames - start);
    FillTask t{b.fill, b.fillUser, b.data.data() + static_cast<size_t>(start) * ba, first * ba, nullptr, 0};
    if (count > first) {
      t.dst2 = b.data.data();
      t.bytes2 = (count - first) * ba;
    }
    FillTasks.push_back(t);
    b.fillAhead = need;
  }
}

}  // namespace

void AudioMix(int16_t* out, uint32_t frames) {
  if (out == nullptr || frames == 0) return;
  std::lock_guard<std::mutex> fillLock(FillMutex);
  if (Accum.size() < static_cast<size_t>(frames) * 2) Accum.resize(static_cast<size_t>(frames) * 2);
  {
    std::lock_guard<std::mutex> lock(Mutex);
    CollectFills(frames);
  }
  // Fillers run outside Mutex so that they may take time (or locks of their own) without holding up
  // the program's calls; their buffers cannot go away meanwhile, since releasing takes FillMutex.
  for (const FillTask& t : FillTasks) {
    t.fill(t.user, t.dst1, t.bytes1);
    if (t.bytes2) t.fill(t.user, t.dst2, t.bytes2);
  }
  float* acc = Accum.data();
  std::fill(acc, acc + static_cast<size_t>(frames) * 2, 0.0f);
  {
    std::lock_guard<std::mutex> lock(Mutex);
    for (auto& [id, bp] : Buffers) {
      if (bp->playing) MixBuffer(*bp, acc, frames);
    }
  }
  size_t i = 0;
#if defined(__SSE2__)
  // Clamped, then rounded by the current rounding mode as lrint does; eight samples a step.
  const __m128 hi = _mm_set1_ps(32767.0f), lo = _mm_set1_ps(-32768.0f);
  for (; i + 8 <= static_cast<size_t>(frames) * 2; i += 8) {
    __m128i a = _mm_cvtps_epi32(_mm_max_ps(_mm_min_ps(_mm_loadu_ps(acc + i), hi), lo));
    __m128i b = _mm_cvtps_epi32(_mm_max_ps(_mm_min_ps(_mm_loadu_ps(acc + i + 4), hi), lo));
    __m128i packed = _mm_packs_epi32(a, b);
    std::memcpy(out + i, &packed, 16);
  }
#endif
  for (; i < static_cast<size_t>(frames) * 2; ++i) {
    float v = acc[i];
    v = v > 32767.0f ? 32767.0f : (v < -32768.0f ? -32768.0f : v);
    out[i] = static_cast<int16_t>(std::lrint(v));
  }
}

int32_t AudioCreateDevice() {
  {
    std::lock_guard<std::mutex> lock(Mutex);
    if (DeviceOpen) return kAudioOk;
  }
  uint32_t rate = 0, period = 0;
  if (!audio::backend::Open(&rate, &period) || rate == 0) {
    // The program goes on silent without a box for it; the console says why, once.
    static bool told = false;
    if (!told) std::fprintf(stderr, "oomori: no audio output device could be opened: sound and music are off\n");
    told = true;
    return kAudioErrNoDriver;
  }
  std::lock_guard<std::mutex> lock(Mutex);
  DeviceOpen = true;
  DeviceRate = rate;
  PeriodFrames = period;
  return kAudioOk;
}

void AudioReleaseDevice() {
  {
    std::lock_guard<std::mutex> lock(Mutex);
    if (!DeviceOpen) return;
  }
  // Closing waits for the audio thread's pass to end, so it runs without our locks held.
  audio::backend::Close();
  std::lock_guard<std::mutex> fillLock(FillMutex);
  std::lock_guard<std::mutex> lock(Mutex);
  Buffers.clear();
  DeviceOpen = false;
}

bool AudioDeviceReady() {
  std::lock_guard<std::mutex> lock(Mutex);
  return DeviceOpen;
}

int32_t AudioSetPrimaryFormat(const AudioFormat* format) {
  if (format == nullptr) return kAudioErrInvalidParam;
  std::lock_guard<std::mutex> lock(Mutex);
  if (!DeviceOpen) return kAudioErrInvalidCall;
  if (!ValidFormat(*format)) return kAudioErrBadFormat;
  Primary = *format;
  Primary.extraSize = 0;
  return kAudioOk;
}

int32_t AudioGetPrimaryFormat(AudioFormat* out) {
  if (out == nullptr) return kAudioErrInvalidParam;
  std::lock_guard<std::mutex> lock(Mutex);
  if (!DeviceOpen) return kAudioErrInvalidCall;
  *out = Primary;
  return kAudioOk;
}

int32_t AudioCreateBuffer(uint32_t flags, uint32_t bytes, const void* format, uint32_t formatSize,
                          AudioBuffer* out) {
  if (out == nullptr) return kAudioErrInvalidParam;
  *out = 0;
  constexpr uint32_t known = kAudioStatic | kAudioCtrlFrequency | kAudioCtrlPan | kAudioCtrlVolume |
                             kAudioGlobalFocus | kAudioAccuratePos;
  if ((flags & ~known) != 0) return kAudioErrInvalidParam;
  if (format == nullptr || formatSize < 16) return kAudioErrInvalidParam;
  if (bytes < kAudioMinBufferBytes || bytes > kAudioMaxBufferBytes) return kAudioErrInvalidParam;
  AudioFormat f{};
  std::memcpy(&f, format, 16);  // the PCM part; a PCM record's extra size is not looked at
  if (!ValidFormat(f)) return kAudioErrBadFormat;
  std::unique_ptr<Buffer> b;
  try {
    b = std::make_unique<Buffer>();
    b->data.assign(bytes, f.bitsPerSample == 8 ? 0x80 : 0x00);
  } catch (const std::bad_alloc&) {
    return kAudioErrOutOfMemory;
  }
  b->flags = flags;
  b->format = f;
  b->frames = bytes / f.blockAlign;
  b->frequency = f.samplesPerSec;
  std::lock_guard<std::mutex> lock(Mutex);
  if (!DeviceOpen) return kAudioErrInvalidCall;
  AudioBuffer id = NextId++;
  Buffers.emplace(id, std::move(b));
  *out = id;
  return kAudioOk;
}

int32_t AudioReleaseBuffer(AudioBuffer buffer) {
  std::lock_guard<std::mutex> fillLock(FillMutex);
  std::lock_guard<std::mutex> lock(Mutex);
  return Buffers.erase(buffer) ? kAudioOk : kAudioErrInvalidParam;
}

int32_t AudioGetFormat(AudioBuffer buffer, AudioFormat* out) {
  std::lock_guard<std::mutex> lock(Mutex);
  Buffer* b = Find(buffer);
  if (b == nullptr || out == nullptr) return kAudioErrInvalidParam;
  *out = b->format;
  return kAudioOk;
}

int32_t AudioGetSize(AudioBuffer buffer, uint32_t* bytes) {
  std::lock_guard<std::mutex> lock(Mutex);
  Buffer* b = Find(buffer);
  if (b == nullptr || bytes == nullptr) return kAudioErrInvalidParam;
  *bytes = static_cast<uint32_t>(b->data.size());
  return kAudioOk;
}

int32_t AudioLock(AudioBuffer buffer, uint32_t offset, uint32_t bytes, void** region1, uint32_t* bytes1,
                  void** region2, uint32_t* bytes2, uint32_t flags) {
  std::lock_guard<std::mutex> lock(Mutex);
  Buffer* b = Find(buffer);
  if (b == nullptr || region1 == nullptr || bytes1 == nullptr) return kAudioErrInvalidParam;
  const uint32_t size = static_cast<uint32_t>(b->data.size());
  if (flags & kAudioLockEntireBuffer) {
    offset = 0;
    bytes = size;
  }
  if (offset >= size || bytes == 0 || bytes > size) return kAudioErrInvalidParam;
  const uint32_t n1 = std::min(bytes, size - offset);
  const uint32_t n2 = bytes - n1;
  if (n2 != 0 && (region2 == nullptr || bytes2 == nullptr)) return kAudioErrInvalidParam;
  if (b->locked) return kAudioErrInvalidCall;
  try {
    b->stage.resize(bytes);
  } catch (const std::bad_alloc&) {
    return kAudioErrOutOfMemory;
  }
  std::memcpy(b->stage.data(), b->data.data() + offset, n1);
  if (n2) std::memcpy(b->stage.data() + n1, b->data.data(), n2);
  b->locked = true;
  b->lockOffset = offset;
  b->lockBytes1 = n1;
  b->lockBytes2 = n2;
  *region1 = b->stage.data();
  *bytes1 = n1;
  if (region2) *region2 = n2 ? b->stage.data() + n1 : nullptr;
  if (bytes2) *bytes2 = n2;
  return kAudioOk;
}

int32_t AudioUnlock(AudioBuffer buffer, void* region1, uint32_t bytes1, void* region2, uint32_t bytes2) {
  std::lock_guard<std::mutex> lock(Mutex);
  Buffer* b = Find(buffer);
  if (b == nullptr) return kAudioErrInvalidParam;
  if (!b->locked) return kAudioErrInvalidCall;
  if (region1 != b->stage.data() || bytes1 > b->lockBytes1) return kAudioErrInvalidParam;
  if (bytes2 != 0 && (b->lockBytes2 == 0 || region2 != b->stage.data() + b->lockBytes1 ||
                      bytes2 > b->lockBytes2)) {
    return kAudioErrInvalidParam;
  }
  std::memcpy(b->data.data() + b->lockOffset, b->stage.data(), bytes1);
  if (bytes2) std::memcpy(b->data.data(), b->stage.data() + b->lockBytes1, bytes2);
  b->locked = false;
  return kAudioOk;
}

int32_t AudioPlay(AudioBuffer buffer, uint32_t flags) {
  std::lock_guard<std::mutex> lock(Mutex);
  Buffer* b = Find(buffer);
  if (b == nullptr || (flags & ~kAudioPlayLooping) != 0) return kAudioErrInvalidParam;
  if (!b->playing) b->fillAhead = 0;
  b->playing = true;
  b->looping = (flags & kAudioPlayLooping) != 0;
  return kAudioOk;
}

int32_t AudioStop(AudioBuffer buffer) {
  std::lock_guard<std::mutex> lock(Mutex);
  Buffer* b = Find(buffer);
  if (b == nullptr) return kAudioErrInvalidParam;
  b->playing = false;
  b->fillAhead = 0;
  return kAudioOk;
}

int32_t AudioSetPosition(AudioBuffer buffer, uint32_t position) {
  std::lock_guard<std::mutex> lock(Mutex);
  Buffer* b = Find(buffer);
  if (b == nullptr || position >= b->data.size()) return kAudioErrInvalidParam;
  uint32_t frame = position / b->format.blockAlign;
  if (frame >= b->frames) frame = 0;
  b->pos = static_cast<uint64_t>(frame) << 32;
  b->fillAhead = 0;
  return kAudioOk;
}

int32_t AudioGetPosition(AudioBuffer buffer, uint32_t* play, uint32_t* write) {
  std::lock_guard<std::mutex> lock(Mutex);
  Buffer* b = Find(buffer);
  if (b == nullptr) return kAudioErrInvalidParam;
  uint32_t frame = static_cast<uint32_t>(b->pos >> 32);
  if (play) *play = frame * b->format.blockAlign;
  if (write) {
    uint64_t ahead = b->playing ? ((StepFor(*b) * PeriodFrames) >> 32) : 0;
    *write = static_cast<uint32_t>((frame + ahead) % b->frames) * b->format.blockAlign;
  }
  return kAudioOk;
}

int32_t AudioGetStatus(AudioBuffer buffer, uint32_t* status) {
  std::lock_guard<std::mutex> lock(Mutex);
  Buffer* b = Find(buffer);
  if (b == nullptr || status == nullptr) return kAudioErrInvalidParam;
  *status = b->playing ? (kAudioStatusPlaying | (b->looping ? kAudioStatusLooping : 0)) : 0;
  return kAudioOk;
}

int32_t AudioSetFrequency(AudioBuffer buffer, uint32_t hz) {
  std::lock_guard<std::mutex> lock(Mutex);
  Buffer* b = Find(buffer);
  if (b == nullptr) return kAudioErrInvalidParam;
  if (!(b->flags & kAudioCtrlFrequency)) return kAudioErrControlUnavailable;
  if (hz == 0) hz = b->format.samplesPerSec;
  if (hz < kAudioMinFrequency || hz > kAudioMaxFrequency) return kAudioErrInvalidParam;
  b->frequency = hz;
  return kAudioOk;
}

int32_t AudioGetFrequency(AudioBuffer buffer, uint32_t* hz) {
  std::lock_guard<std::mutex> lock(Mutex);
  Buffer* b = Find(buffer);
  if (b == nullptr || hz == nullptr) return kAudioErrInvalidParam;
  if (!(b->flags & kAudioCtrlFrequency)) return kAudioErrControlUnavailable;
  *hz = b->frequency;
  return kAudioOk;
}

int32_t AudioSetVolume(AudioBuffer buffer, int32_t volume) {
  std::lock_guard<std::mutex> lock(Mutex);
  Buffer* b = Find(buffer);
  if (b == nullptr) return kAudioErrInvalidParam;
  if (!(b->flags & kAudioCtrlVolume)) return kAudioErrControlUnavailable;
  if (volume < kAudioVolumeMin || volume > kAudioVolumeMax) return kAudioErrInvalidParam;
  b->volume = volume;
  UpdateGains(*b);
  return kAudioOk;
}

int32_t AudioGetVolume(AudioBuffer buffer, int32_t* volume) {
  std::lock_guard<std::mutex> lock(Mutex);
  Buffer* b = Find(buffer);
  if (b == nullptr || volume == nullptr) return kAudioErrInvalidParam;
  if (!(b->flags & kAudioCtrlVolume)) return kAudioErrControlUnavailable;
  *volume = b->volume;
  return kAudioOk;
}

int32_t AudioSetPan(AudioBuffer buffer, int32_t pan) {
  std::lock_guard<std::mutex> lock(Mutex);
  Buffer* b = Find(buffer);
  if (b == nullptr) return kAudioErrInvalidParam;
  if (!(b->flags & kAudioCtrlPan)) return kAudioErrControlUnavailable;
  if (pan < kAudioPanLeft || pan > kAudioPanRight) return kAudioErrInvalidParam;
  b->pan = pan;
  UpdateGains(*b);
  return kAudioOk;
}

int32_t AudioGetPan(AudioBuffer buffer, int32_t* pan) {
  std::lock_guard<std::mutex> lock(Mutex);
  Buffer* b = Find(buffer);
  if (b == nullptr || pan == nullptr) return kAudioErrInvalidParam;
  if (!(b->flags & kAudioCtrlPan)) return kAudioErrControlUnavailable;
  *pan = b->pan;
  return kAudioOk;
}

void AudioSetFiller(AudioBuffer buffer, void (*fill)(void* user, void* dst, uint32_t bytes), void* user) {
  std::lock_guard<std::mutex> fillLock(FillMutex);
  std::lock_guard<std::mutex> lock(Mutex);
  Buffer* b = Find(buffer);
  if (b == nullptr) return;
  b->fill = fill;
  b->fillUser = fill ? user : nullptr;
  b->fillAhead = 0;
}

}  // namespace plat
