// What the four examples share: the window, the library's start-up, and a frame loop that calls the
// example's frame function once per idle turn until Escape, the window closing, or a frame limit.
#pragma once

struct Example {
  const char* title;  // window title, code page 932
  bool (*setup)();    // after elDraw::Screen: load pictures and sounds; false ends the program
  void (*frame)();    // draws one frame into the back screen and presents it
};

// Runs the example. `--frames N` (or the environment variable EL_FRAMES=N) ends it after N frames,
// which is how the examples run unattended. Returns the exit status.
int RunExample(const Example& example, int argc, char** argv);

// The frame being drawn, counted from 1.
int FrameNumber();

// The host hooks, chosen at link time like the host itself: host_plain.cpp does nothing (the SDL
// build), host_probe.cpp scripts input and captures frames and sound on the headless host.
void ExampleHostStart();           // before the window is made
void ExampleHostFrame(int frame);  // after frame `frame` was presented
void ExampleHostEnd();             // after the loop
