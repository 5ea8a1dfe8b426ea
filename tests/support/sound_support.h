// Helpers of the sound tests: WAVE images, files in the program directory, a fresh sound module.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "el/elSound.h"
#include "el/elSystem.h"
#include "el/sound/sound_state.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_audio.h"
#include "tests/support/files.h"

namespace soundtest {

inline void Put16(std::vector<uint8_t>& v, uint16_t x) { v.insert(v.end(), {uint8_t(x), uint8_t(x >> 8)}); }
inline void Put32(std::vector<uint8_t>& v, uint32_t x) { Put16(v, uint16_t(x)), Put16(v, uint16_t(x >> 16)); }

// The 16-byte PCM part of a format record.
inline std::vector<uint8_t> PcmFormat(uint32_t rate, uint16_t bits, uint16_t channels) {
  std::vector<uint8_t> f;
  const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
  Put16(f, 1), Put16(f, channels), Put32(f, rate), Put32(f, rate * align), Put16(f, align), Put16(f, bits);
  return f;
}

// A RIFF WAVE image of the given chunks, in order, each padded to an even size.
inline std::vector<uint8_t> Riff(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& chunks) {
  std::vector<uint8_t> body = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  for (const auto& [id, bytes] : chunks) {
    for (char c : id) body.push_back(static_cast<uint8_t>(c));
    Put32(body, static_cast<uint32_t>(bytes.size()));
    body.insert(body.end(), bytes.begin(), bytes.end());
    if (bytes.size() & 1) body.push_back(0);
  }
  const uint32_t n = static_cast<uint32_t>(body.size() - 8);
  for (int i = 0; i < 4; ++i) body[4 + i] = static_cast<uint8_t>(n >> (8 * i));
  return body;
}

// A canonical 44-byte-header WAVE image.
inline std::vector<uint8_t> Wave(const std::vector<uint8_t>& samples, uint32_t rate = 11025, uint16_t bits = 8,
                                 uint16_t channels = 1) {
  return Riff({{"fmt ", PcmFormat(rate, bits, channels)}, {"data", samples}});
}

// n 8-bit samples counting up from first (wrapping), so every position is recognisable.
inline std::vector<uint8_t> Ramp(size_t n, uint8_t first = 0) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(first + i);
  return v;
}

inline std::string ProgDir() { return elSystem::GetProgramDir(0); }

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes, const char* mode = "wb") {
  const void* p = bytes.empty() ? static_cast<const void*>("") : bytes.data();  // fwrite takes no null
  if (FILE* f = std::fopen(path.c_str(), mode)) std::fwrite(p, 1, bytes.size(), f), std::fclose(f);
}

// A fresh module on an open headless device of the given rate, with an empty table and no boxes.
inline void Fresh(uint32_t rate = 11025) {
  elSound::Release();
  plat::headless::Reset(), plat::headless::SetAudioDeviceAvailable(true);
  plat::headless::SetAudioDeviceRate(rate), plat::headless::SetAudioPeriodFrames(0);
  SoundReady = 0, PackPath[0] = 0;
  elSound::Init(), elSound::ClearObjects();
}

// The texts of the boxes shown since the last call, which forgets them.
inline std::vector<std::string> BoxTexts() {
  std::vector<std::string> t;
  for (const auto& b : plat::headless::Boxes()) t.push_back(b.text);
  plat::headless::Boxes().clear();
  return t;
}

// A buffer's play cursor, its status bits, whether it plays.
inline uint32_t Cursor(plat::AudioBuffer b) { return [&](uint32_t p) { return plat::AudioGetPosition(b, &p, nullptr), p; }(0); }
inline uint32_t Status(plat::AudioBuffer b) { return [&](uint32_t s) { return plat::AudioGetStatus(b, &s), s; }(0); }
inline bool Playing(plat::AudioBuffer b) { return (Status(b) & plat::kAudioStatusPlaying) != 0; }

// The 8-bit sample heard at output frame i (left channel) of a mix at unit gain.
inline uint8_t Heard(const std::vector<int16_t>& out, size_t i) { return static_cast<uint8_t>(out[2 * i] / 256 + 128); }

}  // namespace soundtest
