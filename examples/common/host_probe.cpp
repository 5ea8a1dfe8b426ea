// The host hooks of a headless build: an example runs unattended, fed scripted input, and leaves
// pictures of chosen frames and a recording of everything it played for a test to examine.
//
//   EL_SCRIPT="F:key:SC:1 F:key:SC:0 F:click:X:Y F:joy:AXIS:VALUE F:joybutton:B:1"
//       input given before frame F: a key by scan code pressed (1) or released (0), a left click at
//       (X, Y), joystick 0's axis (0 x, 1 y) set to a raw reading (-32768..32767), a joystick button
//   EL_SHOTS="F:path.png F:path.png"   the screen as presented by frame F
//   EL_AUDIO=path.wav                  the mix of every frame (16-bit stereo, 48000 Hz)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "example.h"
#include "platform/headless/display_headless.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_audio.h"
#include "platform/headless/headless_input.h"

namespace hl = plat::headless;

namespace {

constexpr uint32_t kRate = 48000;

struct Step {
  int frame;
  std::string what;
  long a, b;
};
std::vector<Step> script;
size_t nextStep = 0;
std::vector<std::pair<int, std::string>> shots;
std::vector<int16_t> recording;
int joystick = -1;

std::vector<std::string> Words(const char* env) {
  std::vector<std::string> out;
  std::istringstream in(env ? env : "");
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

std::vector<std::string> Fields(const std::string& word) {
  std::vector<std::string> out;
  std::istringstream in(word);
  for (std::string f; std::getline(in, f, ':');) out.push_back(f);
  return out;
}

void Apply(const Step& s) {
  if (s.what == "key") s.b ? hl::KeyPress(static_cast<uint8_t>(s.a)) : hl::KeyRelease(static_cast<uint8_t>(s.a));
  if (s.what == "click") {
    hl::PointerMoveTo(static_cast<int32_t>(s.a), static_cast<int32_t>(s.b));
    hl::PointerClick(0);
  }
  if (s.what == "joy" && joystick >= 0) hl::JoystickAxis(joystick, static_cast<int>(s.a), static_cast<int32_t>(s.b));
  if (s.what == "joybutton" && joystick >= 0) hl::JoystickButton(joystick, static_cast<int>(s.a), s.b != 0);
}

void Put32(FILE* f, uint32_t v) { std::fwrite(&v, 4, 1, f); }  // the host is little-endian, as WAVE is
void Put16(FILE* f, uint16_t v) { std::fwrite(&v, 2, 1, f); }

void WriteWave(const std::string& path, const std::vector<int16_t>& samples) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  const uint32_t bytes = static_cast<uint32_t>(samples.size() * 2);
  std::fwrite("RIFF", 1, 4, f), Put32(f, 36 + bytes), std::fwrite("WAVEfmt ", 1, 8, f);
  Put32(f, 16), Put16(f, 1), Put16(f, 2), Put32(f, kRate), Put32(f, kRate * 4), Put16(f, 4), Put16(f, 16);
  std::fwrite("data", 1, 4, f), Put32(f, bytes);
  std::fwrite(samples.data(), 2, samples.size(), f);
  std::fclose(f);
}

}  // namespace

void ExampleHostStart() {
  hl::SetAudioDeviceRate(kRate);
  for (const std::string& w : Words(std::getenv("EL_SCRIPT"))) {
    std::vector<std::string> f = Fields(w);
    if (f.size() < 3) continue;
    script.push_back({std::atoi(f[0].c_str()), f[1], std::strtol(f[2].c_str(), nullptr, 0),
                      f.size() > 3 ? std::strtol(f[3].c_str(), nullptr, 0) : 0});
    if (f[1].rfind("joy", 0) == 0 && joystick < 0) joystick = hl::AttachJoystick();
  }
  std::stable_sort(script.begin(), script.end(), [](const Step& x, const Step& y) { return x.frame < y.frame; });
  for (const std::string& w : Words(std::getenv("EL_SHOTS"))) {
    std::vector<std::string> f = Fields(w);
    if (f.size() == 2) shots.emplace_back(std::atoi(f[0].c_str()), f[1]);
  }
  // The program finds its queue empty just before each frame: the script's input goes in then.
  hl::SetIdleHook([] {
    while (nextStep < script.size() && script[nextStep].frame <= FrameNumber() + 1) Apply(script[nextStep++]);
  });
}

void ExampleHostFrame(int frame) {
  // One frame's worth of sound, pulled as the audio device would pull it.
  std::vector<int16_t> mix = hl::PullAudio(kRate / 60);
  recording.insert(recording.end(), mix.begin(), mix.end());
  for (const auto& [at, path] : shots)
    if (at == frame && !hl::WritePng(hl::LastFrame(), path)) std::fprintf(stderr, "cannot write %s\n", path.c_str());
}

void ExampleHostEnd() {
  if (const char* path = std::getenv("EL_AUDIO")) WriteWave(path, recording);
}
