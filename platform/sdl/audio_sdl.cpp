// The real audio device: SDL's default output, pulling the mixer from SDL's audio thread.
// The mix is 16-bit stereo; SDL converts if the hardware wants another sample format or layout.
#include <SDL.h>

#include "platform/audio.h"

namespace plat::audio::backend {
namespace {
SDL_AudioDeviceID Device = 0;

void Callback(void*, Uint8* stream, int len) {
  AudioMix(reinterpret_cast<int16_t*>(stream), static_cast<uint32_t>(len) / 4);
}
}  // namespace

bool Open(uint32_t* rate, uint32_t* periodFrames) {
  if (Device != 0) Close();
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  SDL_AudioSpec want{}, have{};
  want.freq = 48000;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = 1024;
  want.callback = Callback;
  Device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
  if (Device == 0 || have.freq <= 0) {
    if (Device != 0) SDL_CloseAudioDevice(Device);
    Device = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  *rate = static_cast<uint32_t>(have.freq);
  *periodFrames = have.samples;
  SDL_PauseAudioDevice(Device, 0);
  return true;
}

void Close() {
  if (Device == 0) return;
  SDL_CloseAudioDevice(Device);  // returns once the callback has finished
  Device = 0;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

}  // namespace plat::audio::backend
