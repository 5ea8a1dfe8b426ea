// Arbitrary bytes as a sound pack: entry search, packed loads and streaming must never read or
// write outside their buffers; every refusal is one report.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "el/elSound.h"
#include "el/elSystem.h"
#include "el/sound/sound_state.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_audio.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool started = [] {
    // A slow device, so that a few pulls carry a low-rate stream through several refills.
    plat::headless::SetAudioDeviceRate(1000);
    elSound::Init();
    elSound::ClearObjects();
    return true;
  }();
  (void)started;
  const std::string pack = "soundpack_fuzz_input.pak";
  const std::string path = std::string(elSystem::GetProgramDir(0)) + pack;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
  elSound::SetPackFile(pack.c_str());

  plat::headless::Boxes().clear();
  int a = elSound::LoadPack("b.wav", 3);
  if (a < 0 && plat::headless::Boxes().size() != 1) std::abort();
  plat::headless::Boxes().clear();
  uint32_t loop = size ? data[size - 1] * 3u : 0;
  int s = elSound::LoadStream("a.wav", loop);
  if (s < 0 && plat::headless::Boxes().size() != 1) std::abort();
  if (a >= 0) elSound::Play(a, -2);
  if (s >= 0) {
    (size & 1) ? elSound::PlayLoop(s, -1) : elSound::Play(s, -1);
    for (int i = 0; i < 40; ++i) {
      plat::headless::PullAudio(150);
      elSound::Streaming();
    }
  }
  for (int o = 0; o < kSoundObjects; ++o) elSound::ReleaseObject(o);
  std::remove(path.c_str());
  return 0;
}
