// Arbitrary bytes as a MIDI resource: elMusic::LoadObject either gives an object (exactly when the
// file passes the MIDI checks) or makes its load report; an object that loads plays on the
// synthesizer for a moment without harm.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "el/elMusic.h"
#include "el/elSound.h"
#include "el/elSystem.h"
#include "el/sound/sound_state.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_audio.h"
#include "platform/midi.h"
#include "platform/resources.h"

namespace {

void SetUpOnce() {
  static bool done = false;
  if (done) return;
  done = true;
  plat::headless::Reset();
  plat::headless::SetAudioDeviceRate(22050);
  plat::MidiTestSetSoundFont("/usr/share/sounds/sf2/TimGM6mb.sf2");
  elSound::Init();
  elSound::ClearObjects();
  if (elMusic::Init() != 1 || !plat::headless::Boxes().empty()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SetUpOnce();
  static std::vector<uint8_t> bytes;
  bytes.assign(data, data + size);
  plat::AddResource("MIDI", "FUZZ", bytes.data(), bytes.size());
  plat::headless::Boxes().clear();
  bool good = plat::MidiCheckFile(bytes.data(), bytes.size(), nullptr);
  int object = elMusic::LoadObject("FUZZ");
  const auto& boxes = plat::headless::Boxes();
  if (good) {
    if (object != 0 || !boxes.empty()) std::abort();
    elMusic::Play(object, 1);
    plat::headless::PullAudio(1024);
    plat::headless::PullAudio(1024);
    elMusic::Stop(object);
    elMusic::ReleaseObject(object);
  } else {
    if (object != -1 || boxes.size() != 1 || boxes[0].text != "elMusic::LoadObject : MIDIファイルを読み込みできません")
      std::abort();
    if (MusicObject[0].segment != nullptr) std::abort();
  }
  return 0;
}
