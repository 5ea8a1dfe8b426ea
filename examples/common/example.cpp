#include "example.h"

#include <cstdlib>
#include <cstring>

#include "el/elDraw.h"
#include "el/elSystem.h"
#include "platform/host.h"

namespace {

int frameNumber = 0;

long FrameLimit(int argc, char** argv) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--frames") == 0) return std::atol(argv[i + 1]);
  const char* env = std::getenv("EL_FRAMES");
  return env ? std::atol(env) : 0;
}

}  // namespace

int FrameNumber() { return frameNumber; }

int RunExample(const Example& example, int argc, char** argv) {
  const long limit = FrameLimit(argc, argv);
  elSystem::ResetState();
  ExampleHostStart();
  if (!plat::CreateMainWindow(example.title, elSystem::WindowProc)) return 1;
  MainWindow = true;
  plat::ShowMainWindow();
  // One call starts the display, sound, music, input, fonts, the media stream and the joysticks.
  // Sound and music fail quietly without an audio device: the program then runs mute.
  if (!elDraw::Screen(640, 480, 1) || !example.setup()) {
    elSystem::Shutdown();
    return 1;
  }
  elSystem::ResetFrameClock();

  // The main loop: window messages first (keys, the close button); with none waiting, one frame.
  for (;;) {
    plat::Msg m;
    if (plat::PeekMsg(&m)) {
      if (m.message == plat::WM_QUIT) break;
      plat::DispatchMsg(m);  // Escape reaches elSystem::WindowProc here and shuts the library down
    } else if (AppActive == 0) {
      plat::WaitMsg();  // the window is in the background: sleep until it comes back
    } else {
      elSystem::UpdateFrameClock();  // FrameSeconds: the time the last frame took
      elSystem::UpdateInput();
      ++frameNumber;
      example.frame();
      elSystem::WaitFrame();  // 60 frames a second
      ExampleHostFrame(frameNumber);
      if (limit > 0 && frameNumber >= limit) elSystem::Shutdown();
    }
  }
  ExampleHostEnd();
  return 0;
}
