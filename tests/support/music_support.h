// Helpers of the music and stream tests: fixture files, audio measures, the small SoundFont, boxes.
#pragma once
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/headless/headless_audio.h"
#include "platform/midi.h"

namespace musictest {

inline std::string DataPath(const std::string& name) {
  const char* root = std::getenv("OOMORI_SOURCE_DIR");
  return std::string(root ? root : ".") + "/tests/data/" + name;
}
inline std::vector<uint8_t> ReadData(const std::string& name) {
  std::ifstream f(DataPath(name), std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}
inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
}

// The small General MIDI SoundFont, for speed.
inline const char* SmallSoundFont() { return "/usr/share/sounds/sf2/TimGM6mb.sf2"; }

inline int Peak(const std::vector<int16_t>& v) {
  int peak = 0;
  for (int16_t s : v) peak = std::max(peak, std::abs(int(s)));
  return peak;
}
// Pulls ms of the headless device's mix (rate Hz) in short periods, as the device does.
inline std::vector<int16_t> Pull(uint32_t ms, uint32_t rate) {
  std::vector<int16_t> all;
  for (uint32_t frames = uint32_t(uint64_t(rate) * ms / 1000), n; frames > 0; frames -= n) {
    std::vector<int16_t> part = plat::headless::PullAudio(n = std::min(frames, rate / 50));
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}
// '+' for each synthesizer channel with voices sounding, '-' for each silent one.
inline std::string Voices(std::initializer_list<int> channels) {
  std::string s;
  for (int ch : channels) s += plat::MidiTestVoices(ch) > 0 ? '+' : '-';
  return s;
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
