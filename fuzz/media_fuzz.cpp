// Arbitrary bytes as a media file: elStream::LoadObject opens it or makes one of its two
// reports; an opened file plays, draws and reports a state without harm.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "el/elDraw.h"
#include "el/elStream.h"
#include "el/elSystem.h"
#include "el/system/sysinfo.h"
#include "platform/headless/display_headless.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_audio.h"
#include "platform/midi.h"

namespace {

void SetUpOnce() {
  static bool done = false;
  if (done) return;
  done = true;
  plat::headless::Reset();
  plat::headless::ResetDisplay();
  char cwd[1024];
  if (getcwd(cwd, sizeof cwd) == nullptr) std::abort();
  elSystem::SetExecutablePathForTest((std::string(cwd) + "/oomori").c_str());
  plat::MidiTestSetSoundFont("/usr/share/sounds/sf2/TimGM6mb.sf2");
  MainWindow = true;
  FullScreen = 1;
  elDraw::SetColorDepth(16, 0, 0);
  if (elDraw::Screen(640, 480, 1) != 1) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SetUpOnce();
  FILE* f = std::fopen("media_fuzz_input", "wb");
  if (!f) return 0;
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
  plat::headless::Boxes().clear();
  int r = elStream::LoadObject("media_fuzz_input", 1);
  const auto& boxes = plat::headless::Boxes();
  if (r == 1) {
    if (!boxes.empty() || StreamLoaded != 1 || elStream::GetState() == 0) std::abort();
    elStream::Play();
    for (int i = 0; i < 3; ++i) {
      elStream::Draw(-5, -5, -1);
      plat::headless::PullAudio(512);
    }
    int state = elStream::GetState();
    if (state < 1 || state > 4) std::abort();
    elStream::Forward(100000);
    elStream::Draw(0, 0, -1);
    elStream::ReleaseObject();
  } else {
    if (r != 0 || boxes.size() != 1 || StreamLoaded != 0) std::abort();
    if (boxes[0].text != "elStream::LoadObject : ストリームを読み込めません" &&
        boxes[0].text != "elStream::LoadObject : DirectShow/ActiveMovieが使えません")
      std::abort();
  }
  return 0;
}
