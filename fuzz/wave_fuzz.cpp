// Arbitrary bytes as a WAVE file and as a WAVE resource image: the RIFF reader must never read
// outside the input, must hand back a well-formed record when it accepts, and a load of the file
// must either make a playable object or be refused with a report.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "el/elSound.h"
#include "el/elSystem.h"
#include "el/sound/sound_internal.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_audio.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool started = [] {
    plat::headless::SetAudioDeviceRate(8000);
    elSound::Init();
    elSound::ClearObjects();
    return true;
  }();
  (void)started;
  // The input in a buffer of its own size exactly, so that any read past it is caught.
  std::vector<uint8_t> image(data, data + size);
  std::vector<uint8_t> format, samples;
  elSound::detail::MemorySource src(image.data(), image.size());
  if (elSound::detail::ParseWave(src, &format, &samples)) {
    if (format.size() < 18 || samples.size() > size) std::abort();
    if (static_cast<size_t>(format[16] | (format[17] << 8)) + 18 != format.size()) std::abort();
  }
  elSound::detail::WaveView view;
  std::vector<uint8_t> of, od;
  if (elSound::detail::ResourceWave(image.data(), image.size(), &view, &of, &od)) {
    const uint8_t* lo = image.data();
    const uint8_t* hi = image.data() + image.size();
    bool inImage = view.data >= lo && view.data + view.dataSize <= hi;
    bool inOwned = view.data == od.data() && view.dataSize == od.size();
    if (!inImage && !inOwned) std::abort();
  }

  const std::string name = "wave_fuzz_input.wav";
  const std::string path = std::string(elSystem::GetProgramDir(0)) + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
  uint8_t *pf = nullptr, *pd = nullptr;
  uint32_t nf = 0, nd = 0;
  int r = elSound::ReadWave(path.c_str(), &pf, &nf, &pd, &nd);
  if (r == 0 && (nf != format.size() || nd != samples.size() || std::memcmp(pf, format.data(), nf) != 0)) {
    std::abort();  // the file reader and the memory reader must agree
  }
  if (r != 0 && (pf || pd || nd)) std::abort();
  std::free(pf);
  std::free(pd);

  plat::headless::Boxes().clear();
  int o = elSound::LoadObject(name.c_str(), 2);
  if (o >= 0) {
    elSound::Play(o, -1);
    elSound::ShiftFrequency(o, 37, -1);
    elSound::PlayLoop(o, -1);
    plat::headless::PullAudio(300);
    elSound::ReleaseObject(o);
  } else if (plat::headless::Boxes().size() != 1) {
    std::abort();  // refused, and said so once
  }
  std::remove(path.c_str());
  return 0;
}
