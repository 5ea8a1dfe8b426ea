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

// Makes sure SDL's video subsystem is up (the window, message boxes and the display need it).
bool EnsureVideo();

// Called for every native event the pump takes, before it is turned into a window message.
using EventHook = void (*)(const SDL_Event& e);
void AddEventHook(EventHook hook);

// Appends a line for a presented frame to the frame log when OOMORI_FRAME_LOG names one
// (platform/sdl/frame_log_sdl.cpp); called by the display after each present.
void LogFrame(SDL_Renderer* renderer);

}  // namespace plat::sdl
