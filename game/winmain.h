// The program's entry: what the desktop entry point did, on any host.
#pragma once

// Runs the program: single-instance check, window, title set-up and the main loop until the quit
// message. Returns the exit status (0 in every case).
int GameMain(int argc, char** argv);
