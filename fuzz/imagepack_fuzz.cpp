// Arbitrary bytes as an image pack: searching and loading entries must never read outside the file's
// data or the surfaces, a damaged pack is refused with a report, and every object made is whole.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "el/draw/draw_state.h"
#include "el/elDraw.h"
#include "el/elSystem.h"
#include "el/system/sysinfo.h"
#include "platform/headless/display_headless.h"
#include "platform/headless/headless.h"

namespace {

bool SetUpOnce() {
  plat::headless::Reset();
  plat::headless::ResetDisplay();
  char cwd[512];
  if (!getcwd(cwd, sizeof cwd)) std::abort();
  elSystem::SetExecutablePathForTest((std::string(cwd) + "/oomori").c_str());
  MainWindow = true;
  FullScreen = 1;
  elDraw::SetColorDepth(16, 0, 0);
  if (elDraw::Screen(640, 480, 1) != 1) std::abort();
  return true;
}

void Check(int32_t n) {
  if (n == 0) return;
  const DrawObjectRecord& o = DrawObject[n];
  if (!o.surface || o.surface->Width() != o.width || o.surface->Height() != o.height || o.sourceKind != 1)
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = SetUpOnce();
  (void)ready;
  FILE* f = std::fopen("fuzz.pak", "wb");
  if (!f) return 0;
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
  elDraw::SetPackFile("fuzz.pak");
  plat::headless::Boxes().clear();

  // The first entry's own name, as far as the data holds one.
  std::string first;
  for (size_t i = 4; i < size && data[i] && first.size() < 200; ++i) first += static_cast<char>(data[i]);
  const char* names[] = {"A.BMP", "b.bmp", first.c_str()};
  for (const char* name : names) {
    const int32_t n = elDraw::LoadPack(name, 2);
    Check(n);
    if (n == 0 && plat::headless::Boxes().empty()) std::abort();  // a refusal is always reported
    plat::headless::Boxes().clear();
    if (n != 0) {
      Check(elDraw::SwapPack(name, n, 2));
      elDraw::ReleaseObject(n);
    }
  }
  for (int32_t n = 4; n < kDrawObjects; ++n)
    if (DrawObject[n].name[0] != 0) std::abort();  // nothing is left behind
  return 0;
}
