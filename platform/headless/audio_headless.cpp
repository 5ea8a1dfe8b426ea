// The headless audio device: nothing is heard; tests pull the mix with PullAudio.
#include <atomic>

#include "platform/audio.h"
#include "platform/headless/headless_audio.h"

namespace plat {
namespace {
std::atomic<bool> Available{true};
std::atomic<uint32_t> Rate{48000};
std::atomic<uint32_t> Period{0};
std::atomic<bool> Open{false};
std::atomic<uint32_t> Opens{0};
}  // namespace

namespace audio::backend {
bool Open(uint32_t* rate, uint32_t* periodFrames) {
  if (!Available) return false;
  *rate = Rate;
  *periodFrames = Period;
  plat::Open = true;
  ++Opens;
  return true;
}
void Close() { plat::Open = false; }
}  // namespace audio::backend

namespace headless {
void SetAudioDeviceAvailable(bool available) { Available = available; }
void SetAudioDeviceRate(uint32_t hz) { Rate = hz; }
void SetAudioPeriodFrames(uint32_t frames) { Period = frames; }
bool AudioDeviceIsOpen() { return plat::Open; }
uint32_t AudioOpenCount() { return Opens; }

std::vector<int16_t> PullAudio(uint32_t frames) {
  std::vector<int16_t> out(static_cast<size_t>(frames) * 2, 0);
  if (plat::Open && frames) AudioMix(out.data(), frames);
  return out;
}
}  // namespace headless

}  // namespace plat
