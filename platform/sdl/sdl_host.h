// What the SDL backend's services share: the window, and a hook through which each service sees the
// native events as the host pump translates them.
#pragma once
#include <SDL.h>

namespace plat::sdl {

// The main window, or null before CreateMainWindow / after DestroyMainWindow.
SDL_Window* Window();

// Bits per pixel that a windowed main window offers as the desktop's; 0 for full screen (then the
// desktop's own depth stands).
int WindowedBits();

// True when the window is on an X server without a window manager (platform/sdl/x11_wm_sdl.cpp).
bool X11WithoutWindowManager(SDL_Window* window);

// Makes sure SDL's video subsystem is up (the window, message boxes and the display need it).
bool EnsureVideo();

// Called for every native event the pump takes, before it is turned into a window message.
using EventHook = void (*)(const SDL_Event& e);
void AddEventHook(EventHook hook);

// The frame log (platform/sdl/frame_log_sdl.cpp), kept when OOMORI_FRAME_LOG names a file. The display
// reads FrameLogClock as it starts showing a frame (0 once the log is known to be off) and calls
// LogFrame, with that time and the microseconds it slept for the frame's showing time, after the present.
uint64_t FrameLogClock();
void LogFrame(SDL_Renderer* renderer, uint64_t showStart, uint64_t slept);

}  // namespace plat::sdl
