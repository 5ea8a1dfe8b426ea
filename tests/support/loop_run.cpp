#include "tests/support/loop_run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <utility>

#include "el/elSystem.h"
#include "game/winmain.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_input.h"

namespace looptest {

void PrivateRuntimeDir() {
  static std::string dir;
  if (dir.empty()) {
    char buf[512];
    dir = std::string(getcwd(buf, sizeof buf)) + "/runtime";
    mkdir(dir.c_str(), 0700);
  }
  setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
}

int RunGame(std::function<void()> hook) {
  namespace hl = plat::headless;
  PrivateRuntimeDir();
  ShutDownDone = 0;
  hl::Reset();
  hl::ResetInput();
  hl::SetTimeMs(10000);
  elSystem::SetFrameRate(60);  // the fake clock went back: start the frame pacing afresh
  hl::SetIdleHook(std::move(hook));
  char name[] = "oomori";
  char* argv[] = {name, nullptr};
  return GameMain(1, argv);
}

}  // namespace looptest
