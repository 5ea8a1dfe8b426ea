// The program's entry: what the desktop entry point did, on any host.
#pragma once

// Runs the program: options, single-instance check, window, title set-up and the main loop until the
// quit message. Returns the exit status: 0, also for a second copy; 1 when no window can be made;
// 2 for an unknown option.
int GameMain(int argc, char** argv);
