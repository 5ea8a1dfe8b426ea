// Helpers of the music and stream tests: fixture files, audio measures, the small SoundFont, boxes.
#pragma once
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/headless/headless_audio.h"

namespace musictest {

// A file of tests/data.
inline std::string DataPath(const std::string& name) {
  const char* root = std::getenv("OOMORI_SOURCE_DIR");
  return std::string(root ? root : ".") + "/tests/data/" + name;
}

inline std::vector<uint8_t> ReadData(const std::string& name) {
  std::ifstream f(DataPath(name), std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// The small General MIDI SoundFont: the tests load it instead of the large default one for speed.
inline const char* SmallSoundFont() { return "/usr/share/sounds/sf2/TimGM6mb.sf2"; }

// Largest magnitude of 16-bit samples in [from, to).
inline int Peak(const std::vector<int16_t>& v, size_t from = 0, size_t to = SIZE_MAX) {
  int peak = 0;
  for (size_t i = from; i < v.size() && i < to; ++i) peak = std::max(peak, std::abs(int(v[i])));
  return peak;
}

// Pulls ms of the headless device's mix (at rate Hz) the way the device does: in short periods, so
// the fillers render all of it.
inline std::vector<int16_t> Pull(uint32_t ms, uint32_t rate) {
  std::vector<int16_t> all;
  uint32_t frames = static_cast<uint32_t>(uint64_t(rate) * ms / 1000);
  while (frames > 0) {
    uint32_t n = std::min<uint32_t>(frames, rate / 50);
    std::vector<int16_t> part = plat::headless::PullAudio(n);
    all.insert(all.end(), part.begin(), part.end());
    frames -= n;
  }
  return all;
}

// Texts of the message boxes shown so far ("operation : message").
inline std::vector<std::string> BoxTexts() {
  std::vector<std::string> t;
  for (const auto& b : plat::headless::Boxes()) t.push_back(b.text);
  return t;
}

inline std::string Cwd() {
  char buf[4096];
  return getcwd(buf, sizeof buf) ? buf : "";
}

}  // namespace musictest
