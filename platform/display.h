// The display: device and mode, the capabilities the drawing code asks about, the vertical blank, and
// showing the primary surface. Called by elDraw::Screen and elDraw::Release (set-up and shutdown) and by
// elDraw::Present (once per frame, after the back screen was copied onto the primary).
// Real host (platform/sdl/display_sdl.cpp): the primary reaches the window through a streaming texture,
// scaled by the largest whole factor (nearest neighbour), then smoothly to fit, letterboxed.
// Headless host (platform/headless/display_headless.cpp): the last shown frame is kept for the tests.
#pragma once
#include <cstdint>

#include "platform/surface.h"

namespace plat {

struct DisplayCaps {
  bool threeD;             // the device draws 3D in hardware
  bool texture;            // the device's surfaces can be textures
  bool driverStretch;      // the driver stretches in blits
  bool emulationStretch;   // the software emulation stretches in blits
};

// Opens the display device; false when there is none.
bool DisplayOpen();
// Closes it (after every surface of it was released).
void DisplayClose();
DisplayCaps DisplayGetCaps();

// Full screen: asks for a mode of width x height at bits per pixel; false when it is refused.
bool DisplaySetMode(int32_t width, int32_t height, int32_t bits);
void DisplayRestoreMode();
// Bits per pixel of the display: the mode set, or the desktop's before any mode was set.
int32_t DisplayBits();
// The pixel format of surfaces on the current display (of the mode set, else of the desktop).
// False when the display has no RGB format of 16 or 32 bits.
bool DisplayFormat(PixelFormat* out);

// Waits for the start of the next vertical blank: on the real host the next Show is synchronised to
// the display's refresh. DD_OK, or an error when the display cannot wait.
HResult DisplayWaitVerticalBlank();

// Shows the primary surface (the game screen).
void DisplayShow(const Surface& primary);

}  // namespace plat
