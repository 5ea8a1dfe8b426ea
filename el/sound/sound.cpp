// Sound objects: the device, the object table, loading from WAVE files and resources, playback and
// the frequency/pan/volume family.

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "el/elSound.h"
#include "el/elSystem.h"
#include "el/sound/sound_internal.h"
#include "platform/clock.h"
#include "platform/resources.h"

uint32_t SoundReady;
bool SoundRestoring;
int32_t SoundCurrent;
SoundSlot SoundObject[kSoundObjects];
char PackPath[kSoundPathSize];
uint32_t SoundPosition;
void (*SynthBufferRemake)();

namespace elSound {
namespace detail {

std::string ProgramDir() {
  const char* dir = elSystem::GetProgramDir(0);
  return dir ? std::string(dir) : std::string();
}

int32_t WriteBuffer(plat::AudioBuffer buffer, uint32_t offset, const uint8_t* src, uint32_t n) {
  void* p1 = nullptr;
  void* p2 = nullptr;
  uint32_t n1 = 0, n2 = 0;
  int32_t hr = plat::AudioLock(buffer, offset, n, &p1, &n1, &p2, &n2, 0);
  if (hr != plat::kAudioOk) return hr;
  std::memcpy(p1, src, n1);
  if (n2) std::memcpy(p2, src + n1, n2);
  return plat::AudioUnlock(buffer, p1, n1, p2, n2);
}

bool ValidObject(int32_t object) { return object >= 0 && object < kSoundObjects; }

int32_t FreeSlot() {
  for (int32_t i = 0; i < kSoundObjects; ++i) {
    if (!SoundObject[i].used) return i;
  }
  return -1;
}

bool ClaimSlot(const char* op) {
  if (!SoundRestoring) {
    SoundCurrent = FreeSlot();
    if (SoundCurrent < 0) {
      SoundCurrent = 0;
      elSystem::ReportError(op, "オブジェクト数が多過ぎます");
      return false;
    }
  }
  return ValidObject(SoundCurrent);
}

void DropBuffers(SoundSlot& s) {
  for (int32_t b = 0; b < kSoundBuffers; ++b) {
    if (s.buffer[b]) {
      plat::AudioStop(s.buffer[b]);
      plat::AudioReleaseBuffer(s.buffer[b]);
      s.buffer[b] = 0;
    }
  }
}

bool BuildBuffers(const char* op, int32_t mixCount, uint32_t flags, const uint8_t* format, uint32_t formatSize,
                  const uint8_t* data, uint32_t dataSize, uint32_t writeBytes) {
  SoundSlot& s = SoundObject[SoundCurrent];
  for (int32_t b = 0; b < mixCount; ++b) {
    plat::AudioBuffer buf = 0;
    int32_t hr = plat::AudioCreateBuffer(flags, dataSize, format, formatSize, &buf);
    if (hr != plat::kAudioOk) {
      // The buffers already made would be orphans in a slot that stays free (or silent, when
      // restoring): release them rather than leak them.
      DropBuffers(s);
      elSystem::ReportError(op, "サウンドバッファが生成できません", hr);
      return false;
    }
    s.buffer[b] = buf;
    if (writeBytes) WriteBuffer(buf, 0, data, writeBytes);
    if (!SoundRestoring) {
      uint32_t hz = 0;
      plat::AudioGetFrequency(buf, &hz);
      s.frequency[b] = hz;
      s.baseFrequency = hz;
      s.volume[b] = 0;
      s.pan[b] = 0;
    } else {
      plat::AudioSetVolume(buf, s.volume[b]);
      plat::AudioSetFrequency(buf, s.frequency[b]);
      plat::AudioSetPan(buf, s.pan[b]);
    }
  }
  return true;
}

bool StoreName(const char* op, const char* message, const char* name) {
  SoundSlot& s = SoundObject[SoundCurrent];
  if (std::strlen(name) >= static_cast<size_t>(kSoundNameSize)) {
    s.name[0] = 0;
    elSystem::ReportError(op, message);
    return false;
  }
  std::strcpy(s.name, name);
  return true;
}

bool SynthesizerSlot(int32_t object) {
  const SoundSlot& s = SoundObject[object];
  return object == 0 && s.used && !s.packed && std::strcmp(s.name, "DirectMusic") == 0;
}

void ReloadAll() {
  SoundRestoring = true;
  for (SoundCurrent = 0; SoundCurrent < kSoundObjects; ++SoundCurrent) {
    SoundSlot& s = SoundObject[SoundCurrent];
    if (!s.used) continue;
    // Slot 0 carrying the synthesizer's output has no WAVE behind it to reload: its buffer belongs
    // to the music module, which makes it again when the device went (Restore, PlaySync).
    // SelectFormat leaves it alone (the mixer plays any format).
    if (SynthesizerSlot(SoundCurrent)) {
      if (SynthBufferRemake) SynthBufferRemake();
      continue;
    }
    // An object whose name was refused has nothing to be reloaded by; it stays silent.
    if (s.name[0] == 0) continue;
    const int32_t echo = s.echo;
    if (s.stream.dataSize != 0) {
      char saved[kSoundPathSize];
      std::memcpy(saved, PackPath, sizeof saved);
      std::memcpy(PackPath, s.stream.packPath, sizeof PackPath);
      LoadStream(s.name, s.stream.loopStart - s.stream.dataStart);
      std::memcpy(PackPath, saved, sizeof PackPath);
    } else if (s.packed) {
      // Each packed object keeps the pack it came from (in its stream record's path), so a
      // reload reads the same pack even after SetPackFile named another.
      char saved[kSoundPathSize];
      std::memcpy(saved, PackPath, sizeof saved);
      if (s.stream.packPath[0]) std::memcpy(PackPath, s.stream.packPath, sizeof PackPath);
      LoadPack(s.name, s.mixCount);
      std::memcpy(PackPath, saved, sizeof PackPath);
    } else {
      LoadObject(s.name, s.mixCount);
    }
    // The reload passes the positive buffer count; an object made without echo keeps it off.
    if (echo < 0) s.echo = -1;
  }
  SoundRestoring = false;
}

}  // namespace detail

using namespace detail;

namespace {

enum class Family { Play, All, Level };

// The buffers a selector picks, for the family of operation.
int32_t Selected(const SoundSlot& s, int32_t selector, Family family, int32_t* out) {
  int32_t n = 0;
  if (selector >= 0) {
    if (selector < s.mixCount && selector < kSoundBuffers) out[n++] = selector;
  } else if (selector == -2 && family == Family::Level) {
    if (s.cursor >= 0 && s.cursor < s.mixCount) out[n++] = s.cursor;
  } else {
    for (int32_t b = 0; b < s.mixCount && b < kSoundBuffers; ++b) out[n++] = b;
  }
  return n;
}

enum class Level { Frequency, Pan, Volume };

template <class F>
void ApplyLevel(int32_t object, int32_t selector, Level level, F value) {
  if (!SoundReady || !ValidObject(object)) return;
  SoundSlot& s = SoundObject[object];
  if (!s.used) return;
  int32_t sel[kSoundBuffers];
  int32_t n = Selected(s, selector, Family::Level, sel);
  for (int32_t i = 0; i < n; ++i) {
    int32_t b = sel[i];
    switch (level) {
      case Level::Frequency:
        s.frequency[b] = static_cast<uint32_t>(value(static_cast<int64_t>(s.frequency[b])));
        plat::AudioSetFrequency(s.buffer[b], s.frequency[b]);
        break;
      case Level::Pan:
        s.pan[b] = static_cast<int32_t>(value(s.pan[b]));
        plat::AudioSetPan(s.buffer[b], s.pan[b]);
        break;
      case Level::Volume:
        s.volume[b] = static_cast<int32_t>(value(s.volume[b]));
        plat::AudioSetVolume(s.buffer[b], s.volume[b]);
        break;
    }
  }
}

int64_t Clamp(int64_t v, int64_t lo, int64_t hi) { return std::min(std::max(v, lo), hi); }

void ClearSlot(SoundSlot& s) {
  std::memset(&s, 0, sizeof s);
  s.mixCount = 1;
  s.echo = -1;
}

void StartPlay(int32_t object, int32_t selector, bool loop) {
  if (!SoundReady || !ValidObject(object)) return;
  SoundSlot& s = SoundObject[object];
  if (s.mixCount < 1 || s.mixCount > kSoundBuffers) return;
  int32_t b;
  if (selector < 0) {
    if (s.cursor < 0 || s.cursor >= s.mixCount) s.cursor = 0;
    if (selector == -2 && s.echo >= 0) {
      ResetFrequency(object, -1);
      ResetPan(object, -1);
      ResetVolume(object, -1);
      s.echo = 1;
      s.echoTime = 0;
      s.echoLoop = loop ? 1 : 0;
      s.echoPan = static_cast<float>(s.pan[s.cursor]);
      s.echoPanDir = (std::rand() & 1) ? 1 : -1;
    }
    b = s.cursor;
  } else {
    if (selector >= kSoundBuffers) return;
    b = selector;
  }
  plat::AudioStop(s.buffer[b]);
  plat::AudioSetPosition(s.buffer[b], 0);
  if (s.stream.dataSize != 0) {
    ResetStream(object);
    plat::AudioPlay(s.buffer[b], plat::kAudioPlayLooping);
  } else {
    plat::AudioPlay(s.buffer[b], loop ? plat::kAudioPlayLooping : 0);
  }
  if (selector < 0) s.cursor = (s.cursor + 1) % s.mixCount;
  s.looping = loop != 0;
}

}  // namespace

int Init() {
  // A device still open from before is closed, so that no buffer of it plays on unowned.
  plat::AudioReleaseDevice();
  if (plat::AudioCreateDevice() != plat::kAudioOk) {
    SoundReady = 0;
    return 0;
  }
  for (SoundSlot& s : SoundObject) {
    for (plat::AudioBuffer& b : s.buffer) b = 0;
  }
  SoundRestoring = false;
  SoundReady = 1;
  return 1;
}

void ClearObjects() {
  for (SoundSlot& s : SoundObject) {
    if (SoundReady) DropBuffers(s);
    ClearSlot(s);
  }
}

void Release() {
  if (!SoundReady) return;
  for (SoundSlot& s : SoundObject) {
    if (s.used) DropBuffers(s);
  }
  plat::AudioReleaseDevice();
}

int LoadObject(const char* name, int32_t mix) {
  static const char* const kOp = "elSound::LoadObject";
  if (!SoundReady) return -1;
  if (name == nullptr) name = "";
  if (mix > kSoundBuffers || mix < -kSoundBuffers) {
    elSystem::ReportError(kOp, "ミックス数が多過ぎます");
    return -1;
  }
  if (!ClaimSlot(kOp)) return -1;

  uint8_t* fileFormat = nullptr;
  uint8_t* fileData = nullptr;
  uint32_t fileFormatSize = 0, fileDataSize = 0;
  detail::WaveView wave;
  std::vector<uint8_t> ownedFormat, ownedData;
  std::string path = ProgramDir() + name;
  if (ReadWave(path.c_str(), &fileFormat, &fileFormatSize, &fileData, &fileDataSize) == 0) {
    wave.format = fileFormat;
    wave.formatSize = fileFormatSize;
    wave.data = fileData;
    wave.dataSize = fileDataSize;
  } else {
    plat::Resource res;
    bool found = plat::FindResource("WAVE", name, &res) || plat::FindResource("RCDATA", name, &res);
    if (!found || !ResourceWave(res.data, res.size, &wave, &ownedFormat, &ownedData)) {
      elSystem::ReportError(kOp, "WAVEリソースが見つかりません");
      return -1;
    }
  }

  SoundSlot& s = SoundObject[SoundCurrent];
  // Mix 0 would make an object without buffers that nothing could play: it counts as 1.
  const int32_t count = std::max(1, std::abs(mix));
  const int32_t echo = mix >= 2 ? 0 : -1;
  if (!BuildBuffers(kOp, count, 0xE2, wave.format, wave.formatSize, wave.data, wave.dataSize, wave.dataSize)) {
    std::free(fileFormat);
    std::free(fileData);
    return -1;
  }
  s.mixCount = count;
  s.echo = echo;
  if (!SoundRestoring) s.cursor = 0;
  s.used = true;
  s.packed = false;
  s.stream.dataSize = 0;
  std::free(fileFormat);
  std::free(fileData);
  if (!SoundRestoring) {
    if (!StoreName(kOp, "ファイル名またはリソース名が長すぎます", name)) return -1;
  }
  return SoundCurrent;
}

void ReleaseObject(int32_t object) {
  if (!SoundReady || !ValidObject(object)) return;
  SoundSlot& s = SoundObject[object];
  if (!s.used) return;
  s.used = false;
  s.baseFrequency = 0;
  s.name[0] = 0;
  s.packed = false;
  s.stream.dataSize = 0;
  DropBuffers(s);  // levels need no reset: a load sets every buffer's afresh
  s.mixCount = 1;
  // A freed slot also goes back to the other free-slot values, so a later load starts clean.
  s.echo = -1;
  s.cursor = 0;
  s.looping = false;
  s.stream.packPath[0] = 0;
}

void Restore() {
  if (!SoundReady) return;
  Init();
  ReloadAll();
}

int SelectFormat(int32_t channels, int32_t rate, int32_t bits) {
  if (!SoundReady) return 0;
  for (int32_t i = 0; i < kSoundObjects; ++i) {
    if (SoundObject[i].used && !SynthesizerSlot(i)) DropBuffers(SoundObject[i]);
  }
  int64_t hz = rate;
  if (rate == 8) hz = 8000;
  if (rate == 11) hz = 11025;
  if (rate == 22) hz = 22050;
  if (rate == 44) hz = 44100;
  int32_t hr = plat::kAudioErrBadFormat;
  int64_t align = static_cast<int64_t>(channels) * (bits / 8);
  if (channels > 0 && channels <= 0xFFFF && bits > 0 && bits <= 0xFFFF && hz > 0 && hz <= 0xFFFFFFFFLL &&
      align <= 0xFFFF && hz * align <= 0xFFFFFFFFLL) {
    plat::AudioFormat f{1, static_cast<uint16_t>(channels), static_cast<uint32_t>(hz),
                        static_cast<uint32_t>(hz * align), static_cast<uint16_t>(align),
                        static_cast<uint16_t>(bits), 0};
    hr = plat::AudioSetPrimaryFormat(&f);
  }
  if (hr != plat::kAudioOk) {
    // The old format still holds, so the objects are rebuilt at it rather than left silent.
    ReloadAll();
    return elSystem::ReportError("elSound::SelectFormat", "再生フォーマットを変更できません", hr);
  }
  ReloadAll();
  return 1;
}

void PlaySync(const char* file) {
  Release();
  // The system sound call: the file as named, played once to its end on a device of its own.
  if (file != nullptr && plat::AudioCreateDevice() == plat::kAudioOk) {
    uint8_t* format = nullptr;
    uint8_t* data = nullptr;
    uint32_t formatSize = 0, dataSize = 0;
    plat::AudioBuffer buf = 0;
    if (ReadWave(file, &format, &formatSize, &data, &dataSize) == 0 &&
        plat::AudioCreateBuffer(plat::kAudioStatic, dataSize, format, formatSize, &buf) == plat::kAudioOk) {
      WriteBuffer(buf, 0, data, dataSize);
      plat::AudioFormat f{};
      plat::AudioGetFormat(buf, &f);
      // Bounded by the sound's own length (and a second more), in case the device stalls.
      const uint32_t limit = static_cast<uint32_t>(static_cast<uint64_t>(dataSize) * 1000 / f.avgBytesPerSec) + 1000;
      const uint32_t start = plat::TimeMs();
      plat::AudioPlay(buf, 0);
      uint32_t status = plat::kAudioStatusPlaying;
      while (plat::AudioGetStatus(buf, &status) == plat::kAudioOk && (status & plat::kAudioStatusPlaying) &&
             plat::TimeMs() - start < limit) {
        plat::SleepMs(10);
      }
      plat::AudioReleaseBuffer(buf);
    }
    std::free(format);
    std::free(data);
    plat::AudioReleaseDevice();
  }
  Restore();
}

void Play(int32_t object, int32_t selector) { StartPlay(object, selector, false); }
void PlayLoop(int32_t object, int32_t selector) { StartPlay(object, selector, true); }

void Stop(int32_t object, int32_t selector) {
  if (!SoundReady || !ValidObject(object)) return;
  SoundSlot& s = SoundObject[object];
  if (selector < 0 && s.echo >= 0) s.echo = 0;
  int32_t sel[kSoundBuffers];
  int32_t n = Selected(s, selector, Family::All, sel);
  for (int32_t i = 0; i < n; ++i) {
    plat::AudioStop(s.buffer[sel[i]]);
    plat::AudioSetPosition(s.buffer[sel[i]], 0);
  }
}

void Pause(int32_t object, int32_t selector) {
  if (!SoundReady || !ValidObject(object)) return;
  SoundSlot& s = SoundObject[object];
  int32_t sel[kSoundBuffers];
  int32_t n = Selected(s, selector, Family::All, sel);
  for (int32_t i = 0; i < n; ++i) {
    int32_t b = sel[i];
    uint32_t status = 0;
    if (plat::AudioGetStatus(s.buffer[b], &status) != plat::kAudioOk) continue;
    if (!(status & plat::kAudioStatusPlaying)) {
      plat::AudioSetPosition(s.buffer[b], s.pausePos[b]);
      // A streamed object's buffer is circular and always plays looping: its end is the stream's
      // end countdown, not the end of the buffer.
      const bool loop = s.looping || s.stream.dataSize != 0;
      plat::AudioPlay(s.buffer[b], loop ? plat::kAudioPlayLooping : 0);
    } else {
      uint32_t play = 0;
      plat::AudioGetPosition(s.buffer[b], &play, nullptr);
      s.pausePos[b] = play;
      plat::AudioStop(s.buffer[b]);
    }
  }
}

void ShiftFrequency(int32_t object, int32_t steps, int32_t selector) {
  ApplyLevel(object, selector, Level::Frequency,
             [&](int64_t v) { return Clamp(v + int64_t{steps} * 100, 100, 100000); });
}
void ResetFrequency(int32_t object, int32_t selector) {
  if (!ValidObject(object)) return;
  const uint32_t base = SoundObject[object].baseFrequency;
  ApplyLevel(object, selector, Level::Frequency, [&](int64_t) { return int64_t{base}; });
}
void SetFrequency(int32_t object, int32_t steps, int32_t selector) {
  if (!ValidObject(object)) return;
  const int64_t base = SoundObject[object].baseFrequency;
  ApplyLevel(object, selector, Level::Frequency,
             [&](int64_t) { return Clamp(base + int64_t{steps} * 100, 100, 100000); });
}
void ShiftPan(int32_t object, int32_t db, int32_t selector) {
  ApplyLevel(object, selector, Level::Pan, [&](int64_t v) { return Clamp(v + int64_t{db} * 100, -10000, 10000); });
}
void ResetPan(int32_t object, int32_t selector) {
  ApplyLevel(object, selector, Level::Pan, [](int64_t) { return int64_t{0}; });
}
void SetPan(int32_t object, int32_t db, int32_t selector) {
  ApplyLevel(object, selector, Level::Pan, [&](int64_t) { return Clamp(int64_t{db} * 100, -10000, 10000); });
}
void PanLeft(int32_t object, int32_t selector) {
  ApplyLevel(object, selector, Level::Pan, [](int64_t) { return int64_t{-10000}; });
}
void PanRight(int32_t object, int32_t selector) {
  ApplyLevel(object, selector, Level::Pan, [](int64_t) { return int64_t{10000}; });
}
void ShiftVolume(int32_t object, int32_t db, int32_t selector) {
  ApplyLevel(object, selector, Level::Volume, [&](int64_t v) { return Clamp(v + int64_t{db} * 100, -10000, 0); });
}
void ResetVolume(int32_t object, int32_t selector) {
  ApplyLevel(object, selector, Level::Volume, [](int64_t) { return int64_t{0}; });
}
void SetVolume(int32_t object, int32_t db, int32_t selector) {
  ApplyLevel(object, selector, Level::Volume, [&](int64_t) { return Clamp(int64_t{db} * 100, -10000, 0); });
}

}  // namespace elSound
