// Runs the whole program in this process on the headless host, for tests of the main loop.
#pragma once
#include <functional>

namespace looptest {

// Points $XDG_RUNTIME_DIR at a private directory under the working directory, so the
// single-instance lock never meets a game running on the machine.
void PrivateRuntimeDir();

// Resets the headless host (clock at 10 s, no scripted input) and runs GameMain; hook is called
// whenever the message queue is empty, before each idle turn.
int RunGame(std::function<void()> hook);

}  // namespace looptest
